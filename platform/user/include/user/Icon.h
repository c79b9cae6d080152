#pragma once
// Icons: an image and its transparency of one size, made from a module's icon resources or from bits, and
// drawn with DrawIconEx.
//
// What a caller may rely on:
// - An RT_GROUP_ICON resource is the icon directory that a resource compiler writes (a 6-byte header:
//   reserved 0, type 1, count; then 14-byte entries of width, height, colour count, reserved, planes, bit
//   count, byte count and the id of an RT_ICON resource). An RT_ICON resource is an icon image as an .ico
//   file holds it: a BITMAPINFOHEADER of twice the image's height, the colour table, the colour rows (1, 4,
//   8, 24 or 32 bits, BI_RGB, bottom-up), then the 1-bit AND mask (1 = transparent). A 32-bit image whose
//   alpha bytes are not all 0 is opaque where alpha is 128 or more, whatever its mask says.
// - LoadIconW gives the group's image of SM_CXICON (32) pixels, LoadImageW(IMAGE_ICON) the size asked for
//   (0 x 0: the first image's own size). Without an image of that width the nearest one is scaled (the
//   larger one when two are as near). Malformed resources give NULL with ERROR_INVALID_DATA.
// - Every call that gives an icon makes a new one, which DestroyIcon frees (unknown handles:
//   ERROR_INVALID_CURSOR_HANDLE). Icons hold no GDI object and may be used from any thread.
// - DrawIconEx with DI_NORMAL leaves the destination where the icon is transparent (the mask is ANDed, the
//   image ORed); DI_IMAGE alone copies the image (black where transparent), DI_MASK alone copies the mask
//   (white where transparent, black where opaque). cx and cy of 0 draw the icon at its own size; other
//   sizes scale it to the nearest pixel.

#include "crt/Types.h"

#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2

#define LR_DEFAULTCOLOR 0x0000
#define LR_DEFAULTSIZE 0x0040
#define LR_SHARED 0x8000

#define DI_MASK 0x0001
#define DI_IMAGE 0x0002
#define DI_NORMAL 0x0003

// The icon of the group resource of a module (NULL: the program), of SM_CXICON x SM_CYICON pixels.
HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);
// IMAGE_ICON only (ERROR_NOT_SUPPORTED for other types); LR_DEFAULTSIZE takes SM_CXICON for a 0 size.
// LR_SHARED is accepted and changes nothing: the icon is the caller's all the same.
HANDLE LoadImageW(HINSTANCE hinst, LPCWSTR lpszName, UINT uType, int cxDesired, int cyDesired, UINT fuLoad);
// An icon from a device-dependent AND mask (1 bit, rows of whole 16-bit words, 1 = transparent) and image
// bits: 1 bit per pixel (rows as the mask's; 1 = white) or 32 (0x00RRGGBB in native order, rows of
// width * 4 bytes). One plane, 1 to 256 pixels a side; ERROR_INVALID_PARAMETER otherwise.
HICON CreateIcon(HINSTANCE hInstance, int nWidth, int nHeight, BYTE cPlanes, BYTE cBitsPixel,
                 const BYTE* lpbANDbits, const BYTE* lpbXORbits);
HICON CopyIcon(HICON hIcon);
BOOL DestroyIcon(HICON hIcon);
// istepIfAniCur and hbrFlickerFreeDraw are accepted and not used.
BOOL DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth, UINT istepIfAniCur,
                HBRUSH hbrFlickerFreeDraw, UINT diFlags);
BOOL DrawIcon(HDC hDC, int X, int Y, HICON hIcon);
