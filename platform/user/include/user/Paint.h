#pragma once
// Painting: invalid regions, WM_PAINT and the DCs of windows, and the rectangle helpers.
//
// What a caller may rely on:
// - Each window keeps an invalid region in its client area. Invalidating a window without
//   WS_CLIPCHILDREN invalidates its visible children under the area too (they paint after it);
//   invalidations of hidden windows and of windows whose redraw is off (WM_SETREDRAW FALSE) are dropped.
// - BeginPaint sends WM_NCPAINT when the frame needs drawing and WM_ERASEBKGND when the invalid area was
//   invalidated with erasing (fErase is TRUE when that message answered 0), validates the window and
//   returns a DC clipped to the invalid area. DefWindowProcW's WM_PAINT begins and ends a paint; a
//   WM_PAINT handled without any BeginPaint validates the window so that the loop cannot spin.
// - Every DC of a window draws only on the window's visible part: inside its ancestors' client areas,
//   never on top-level windows above it, never on siblings above it when it has WS_CLIPSIBLINGS, and
//   never on its children when it has WS_CLIPCHILDREN. A DC follows the window when it moves while held.
// - GetDC(NULL) draws on the whole screen. Every DC from GetDC, GetWindowDC and BeginPaint goes back with
//   ReleaseDC or EndPaint.

#include "crt/Types.h"

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
using LPPAINTSTRUCT = PAINTSTRUCT*;
using PPAINTSTRUCT = PAINTSTRUCT*;

// RedrawWindow flags.
#define RDW_INVALIDATE 0x0001
#define RDW_INTERNALPAINT 0x0002
#define RDW_ERASE 0x0004
#define RDW_VALIDATE 0x0008
#define RDW_NOINTERNALPAINT 0x0010
#define RDW_NOERASE 0x0020
#define RDW_NOCHILDREN 0x0040
#define RDW_ALLCHILDREN 0x0080
#define RDW_UPDATENOW 0x0100
#define RDW_ERASENOW 0x0200
#define RDW_FRAME 0x0400
#define RDW_NOFRAME 0x0800

// DrawEdge.
#define BDR_RAISEDOUTER 0x0001
#define BDR_SUNKENOUTER 0x0002
#define BDR_RAISEDINNER 0x0004
#define BDR_SUNKENINNER 0x0008
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define EDGE_ETCHED (BDR_SUNKENOUTER | BDR_RAISEDINNER)
#define EDGE_BUMP (BDR_RAISEDOUTER | BDR_SUNKENINNER)
#define BF_LEFT 0x0001
#define BF_TOP 0x0002
#define BF_RIGHT 0x0004
#define BF_BOTTOM 0x0008
#define BF_RECT (BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM)
#define BF_ADJUST 0x2000
#define BF_FLAT 0x4000
#define BF_MONO 0x8000

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint);
BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint);
// A NULL rectangle is the whole client area; a NULL window invalidates every window.
BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase);
BOOL InvalidateRgn(HWND hWnd, HRGN hRgn, BOOL bErase);
BOOL ValidateRect(HWND hWnd, const RECT* lpRect);
BOOL ValidateRgn(HWND hWnd, HRGN hRgn);
// The bounding box of the invalid area; nonzero when there is one.
BOOL GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase);
// Copies the invalid area into hRgn; the region's complexity.
int GetUpdateRgn(HWND hWnd, HRGN hRgn, BOOL bErase);
// Paints the window and its descendants that have an invalid area, at once.
BOOL UpdateWindow(HWND hWnd);
BOOL RedrawWindow(HWND hWnd, const RECT* lprcUpdate, HRGN hrgnUpdate, UINT flags);

// The client area's DC; NULL is the screen.
HDC GetDC(HWND hWnd);
// The whole window's DC, frame included.
HDC GetWindowDC(HWND hWnd);
int ReleaseDC(HWND hWnd, HDC hDC);

// Rectangles (half-open, as everywhere).
BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom);
BOOL SetRectEmpty(LPRECT lprc);
BOOL CopyRect(LPRECT lprcDst, const RECT* lprcSrc);
BOOL InflateRect(LPRECT lprc, int dx, int dy);
BOOL OffsetRect(LPRECT lprc, int dx, int dy);
BOOL IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
BOOL UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
BOOL SubtractRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
BOOL EqualRect(const RECT* lprc1, const RECT* lprc2);
BOOL IsRectEmpty(const RECT* lprc);
BOOL PtInRect(const RECT* lprc, POINT pt);

// Drawing helpers of the window system: a dotted focus rectangle (drawn by inverting, so drawing it twice
// removes it) and 3-D edges in the system colours.
BOOL DrawFocusRect(HDC hDC, const RECT* lprc);
BOOL DrawEdge(HDC hdc, LPRECT qrc, UINT edge, UINT grfFlags);
