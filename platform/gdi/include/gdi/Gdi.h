#pragma once
// The drawing calls of the handheld platform: device contexts, bitmaps, brushes, pens, fonts, regions,
// raster operations, text and the system colours.
//
// What a caller may rely on:
// - GDI handles are their own values, never kernel handles; a handle is never reused within a process.
//   Every call checks its handles: an unknown, deleted or wrong-typed handle makes it fail (FALSE, NULL,
//   0 or CLR_INVALID as the platform answers) with ERROR_INVALID_HANDLE, never crash.
// - The screen is 16-bit RGB565. Compatible bitmaps and bitmaps made with CreateBitmap(16 bits) hold
//   RGB565 pixels; a memory DC starts with a 1 x 1 monochrome bitmap, so CreateCompatibleBitmap on a
//   memory DC that still holds it makes a monochrome bitmap, as on the handheld.
// - Raster operations work bitwise on the destination's pixel values: the source is first converted to
//   the destination's format (monochrome to colour through the destination's text and background
//   colours, colour to monochrome by comparing with the source's background colour).
// - DeleteObject refuses (FALSE, ERROR_BUSY) an object that is selected into a DC; stock objects are never
//   deleted. A bitmap can be selected into one memory DC at a time. CreateBitmap and
//   CreateCompatibleBitmap with a width or height of 0 give the shared 1 x 1 monochrome bitmap.
// - Objects may be made, selected and deleted from any thread; a DC is drawn on by one thread at a time.
// - The handle types of objects (HBITMAP, HBRUSH, ...) pass where an HGDIOBJ is taken.
// - Text is rendered with FreeType, one bit per pixel, so text pixels are exactly the text colour.
//   "Arial" and "MS Shell Dlg" map to Liberation Sans, every other face to DejaVu Sans; weights of 600
//   and more are bold. A negative lfHeight is the character (em) height in pixels, a positive one the
//   cell height, 0 the height of the system font.

#include <type_traits>

#include "crt/Types.h"

// Object types (GetObjectType).
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_MEMDC 10

// Stock objects.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

// Raster operations (the ternary code is in bits 16-23; every code is evaluated).
#define SRCCOPY 0x00CC0020
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define SRCINVERT 0x00660046
#define SRCERASE 0x00440328
#define NOTSRCCOPY 0x00330008
#define NOTSRCERASE 0x001100A6
#define MERGECOPY 0x00C000CA
#define MERGEPAINT 0x00BB0226
#define PATCOPY 0x00F00021
#define PATPAINT 0x00FB0A09
#define PATINVERT 0x005A0049
#define DSTINVERT 0x00550009
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062

// Background modes.
#define TRANSPARENT 1
#define OPAQUE 2

// Pens and brushes.
#define PS_SOLID 0
#define PS_NULL 5
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL

#define CLR_INVALID 0xFFFFFFFF

// Regions.
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RGN_ERROR ERROR
#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5

// DrawTextW formats.
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800

// ExtTextOutW options.
#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004

// Device-independent bitmaps.
#define BI_RGB 0
#define BI_RLE8 1
#define BI_RLE4 2
#define BI_BITFIELDS 3
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

// GetDeviceCaps indexes.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define LOGPIXELSX 88
#define LOGPIXELSY 90

// Font fields.
#define LF_FACESIZE 32
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_SWISS 0x20

// System colours. GetSysColor also takes the indexes with the handheld's SYS_COLOR_INDEX_FLAG set.
#define SYS_COLOR_INDEX_FLAG 0x40000000
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_ACTIVECAPTION 2
#define COLOR_INACTIVECAPTION 3
#define COLOR_MENU 4
#define COLOR_WINDOW 5
#define COLOR_WINDOWFRAME 6
#define COLOR_MENUTEXT 7
#define COLOR_WINDOWTEXT 8
#define COLOR_CAPTIONTEXT 9
#define COLOR_ACTIVEBORDER 10
#define COLOR_INACTIVEBORDER 11
#define COLOR_APPWORKSPACE 12
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_INACTIVECAPTIONTEXT 19
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22
#define COLOR_INFOTEXT 23
#define COLOR_INFOBK 24
#define COLOR_STATIC 25
#define COLOR_STATICTEXT 26
#define COLOR_GRADIENTACTIVECAPTION 27
#define COLOR_GRADIENTINACTIVECAPTION 28
#define COLOR_DESKTOP COLOR_BACKGROUND
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_3DSHADOW COLOR_BTNSHADOW
#define COLOR_3DHIGHLIGHT COLOR_BTNHIGHLIGHT
#define COLOR_BTNHILIGHT COLOR_BTNHIGHLIGHT

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};
using PBITMAP = BITMAP*;
using LPBITMAP = BITMAP*;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
using PBITMAPINFOHEADER = BITMAPINFOHEADER*;
using LPBITMAPINFOHEADER = BITMAPINFOHEADER*;

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
using PBITMAPINFO = BITMAPINFO*;
using LPBITMAPINFO = BITMAPINFO*;

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTW) == 92);
using LOGFONT = LOGFONTW;
using PLOGFONTW = LOGFONTW*;
using LPLOGFONTW = LOGFONTW*;

struct TEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
using TEXTMETRIC = TEXTMETRICW;
using LPTEXTMETRICW = TEXTMETRICW*;

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
};

struct LOGPEN {
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
};

// Objects.
DWORD GetObjectType(HGDIOBJ h);
HGDIOBJ GetStockObject(int i);
// Returns the previously selected object; for a region, the region type of the new clip (or ERROR).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
BOOL DeleteObject(HGDIOBJ h);
// BITMAP for bitmaps, LOGFONTW for fonts, LOGBRUSH for brushes, LOGPEN for pens. A NULL buffer asks for
// the size; a buffer smaller than the record receives as much of it as fits.
int GetObjectW(HGDIOBJ h, int c, LPVOID pv);

// Device contexts. CreateCompatibleDC(NULL) makes a memory DC compatible with the screen.
HDC CreateCompatibleDC(HDC hdc);
// Memory DCs only; the DCs of windows go back to the window system.
BOOL DeleteDC(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous);
BOOL GetViewportOrgEx(HDC hdc, LPPOINT origin);

// Bitmaps. CreateBitmap takes rows of ((width * bits + 15) / 16) * 2 bytes, top row first; 1 and 16
// bits per pixel are served. CreateDIBSection serves 24-bit BI_RGB sections, bottom-up for a positive
// height and top-down for a negative one, with rows of ((width * 3 + 3) / 4) * 4 bytes.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);

// Brushes and pens.
HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);

// Raster operations.
BOOL BitBlt(HDC dest, int x, int y, int cx, int cy, HDC source, int x1, int y1, DWORD rop);
BOOL PatBlt(HDC hdc, int x, int y, int cx, int cy, DWORD rop);

// Drawing. FillRect and FrameRect also take a system colour as (HBRUSH)(COLOR_x + 1).
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);
BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous);
// Draws from the current position up to, not including, the end point, which becomes the position.
BOOL LineTo(HDC hdc, int x, int y);

// Regions and clipping. Clip regions are in device units of the DC; IntersectClipRect and
// ExcludeClipRect take logical coordinates.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
int CombineRgn(HRGN dest, HRGN source1, HRGN source2, int mode);
int OffsetRgn(HRGN rgn, int x, int y);
int GetRgnBox(HRGN rgn, LPRECT rect);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush);
// A copy of the region is selected; NULL removes the DC's clip region.
int SelectClipRgn(HDC hdc, HRGN rgn);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);
// The bounding box of what can be drawn, in logical coordinates.
int GetClipBox(HDC hdc, LPRECT rect);
// 1 and a copy of the DC's clip region in rgn, 0 when it has none, -1 on an error.
int GetClipRgn(HDC hdc, HRGN rgn);

// Fonts and text.
HFONT CreateFontIndirectW(const LOGFONTW* logFont);
BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW metrics);
// cx is the sum of the characters' advances, cy the font's cell height (tmHeight).
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size);
// (x, y) is the top left of the text's cell. dx, when given, holds the advance of each character.
BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const int* dx);
BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count);
// Lines break at "\n" (a "\r" before it is dropped) and, with DT_WORDBREAK, between words that would pass
// the right edge. DT_VCENTER and DT_BOTTOM apply to DT_SINGLELINE text only, as on the handheld; other
// text starts at the top. Without DT_NOPREFIX "&x" draws x underlined and "&&" draws "&". DT_CALCRECT
// sets the rectangle to the text's extent (the right edge moves; with DT_WORDBREAK the width stays and
// the bottom moves) and draws nothing. The result is the height of the text, or with DT_VCENTER or
// DT_BOTTOM the offset from the rectangle's top to the text's bottom; 0 on an error.
int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format);

// System colours.
DWORD GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);

// The handles of GDI objects pass where an HGDIOBJ is taken, as they do on the handheld.
template <typename H>
concept GdiObjectHandle =
    std::is_same_v<H, HBITMAP> || std::is_same_v<H, HBRUSH> || std::is_same_v<H, HPEN> ||
    std::is_same_v<H, HFONT> || std::is_same_v<H, HRGN> || std::is_same_v<H, HPALETTE>;
template <GdiObjectHandle H>
HGDIOBJ SelectObject(HDC hdc, H h) {
    return SelectObject(hdc, reinterpret_cast<HGDIOBJ>(h));
}
template <GdiObjectHandle H>
BOOL DeleteObject(H h) {
    return DeleteObject(reinterpret_cast<HGDIOBJ>(h));
}
template <GdiObjectHandle H>
int GetObjectW(H h, int c, LPVOID pv) {
    return GetObjectW(reinterpret_cast<HGDIOBJ>(h), c, pv);
}
template <typename H>
requires GdiObjectHandle<H> || std::is_same_v<H, HDC> DWORD GetObjectType(H h) {
    return GetObjectType(reinterpret_cast<HGDIOBJ>(h));
}
