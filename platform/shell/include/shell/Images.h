#pragma once
// The shell's image loaders. Both give a 16-bit device bitmap that the caller owns (DeleteObject), or NULL
// with the reason in GetLastError: the file or resource errors of the kernel, or the BMP errors of
// gdi/Dib.h. BMP files and bitmap resources of 1, 4, 8, 16, 24 and 32 bits per pixel are served.

#include "crt/Types.h"

// A BMP file on a device path. Files larger than 64 MiB are refused with ERROR_NOT_ENOUGH_MEMORY.
HBITMAP SHLoadDIBitmap(LPCWSTR fileName);
// The RT_BITMAP resource with this id of a module (NULL: the program).
HBITMAP SHLoadImageResource(HINSTANCE instance, UINT id);
