#pragma once
// Device-independent bitmaps turned into 16-bit device bitmaps: BMP files, packed DIBs (the bytes of a
// bitmap resource) and LoadBitmapW. Served: BITMAPINFOHEADER and its longer versions, 1, 4, 8, 16, 24 and
// 32 bits per pixel, BI_RGB and (16 and 32 bits) BI_BITFIELDS, bottom-up and top-down rows. Anything
// malformed or cut short is refused with ERROR_INVALID_DATA, a format that is not served (RLE, a core
// header) with ERROR_NOT_SUPPORTED, an image too large for a bitmap with ERROR_NOT_ENOUGH_MEMORY.

#include <cstddef>
#include <cstdint>

#include "crt/Types.h"

namespace gdi {

// A BMP file image: BITMAPFILEHEADER, then a packed DIB whose pixels start at bfOffBits.
HBITMAP CreateBitmapFromBmpFile(const uint8_t* bytes, size_t size);
HBITMAP CreateBitmapFromPackedDib(const uint8_t* bytes, size_t size);

} // namespace gdi

// The RT_BITMAP resource of a module as a 16-bit device bitmap.
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);
