#pragma once
// PNG files as platform bitmaps, through the toolkit's own decoder (PngDecoder.h).

#include "crt/Types.h"

// Reads the PNG file at a device path and makes a bitmap of it, which the caller owns: with want16Bit a
// 16-bit device bitmap (CreateBitmap), else a 24-bit bottom-up DIB section standing upright. An image
// with an alpha channel is twice its height: the colour premultiplied by alpha above a grey mask of
// 255 - alpha, and hasAlpha is set true; otherwise hasAlpha is set false. NULL on any failure (a file
// that cannot be opened or is empty, a decode error, a bitmap that cannot be made); hasAlpha is then
// not written.
HBITMAP LoadPngBitmap(LPCWSTR path, bool want16Bit, bool& hasAlpha);
