#pragma once
// The platform's own side of the drawing library: the screen that the window system and the display
// share, the DCs that the window system makes for windows, and counters for tests.
//
// The screen is one 16-bit RGB565 pixel buffer per process (240 x 320 until SetScreenSize), black at the
// start. A surface DC draws on it with its (0, 0) at an origin given in screen pixels and never outside a
// visible region given in screen pixels; the DC's own clip region (SelectClipRgn) is relative to its
// origin, as a window's client coordinates are. Such a DC is deleted with DeleteSurfaceDC, not DeleteDC.
// Every change of the screen's pixels grows a damage rectangle that the display takes to show them.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "crt/Types.h"
#include "gdi/Region.h"

namespace gdi {

// Clears the screen to black with the new size. Width and height are 1 to 4096.
bool SetScreenSize(int width, int height);
SIZE ScreenSize();
// The screen's pixels: row y starts at ScreenPixels() + y * ScreenStride() (in pixels). Valid until the
// next SetScreenSize.
const uint16_t* ScreenPixels();
size_t ScreenStride();
// The bounding box of the pixels that changed since the last call (empty when none did).
RECT TakeScreenDamage();

HDC CreateSurfaceDC(POINT origin, const Region& visible);
// Moves a surface DC, for a window that moved or whose visible part changed while it holds the DC.
bool SetSurfaceDCPlacement(HDC hdc, POINT origin, const Region& visible);
bool DeleteSurfaceDC(HDC hdc);

// Inverts every other pixel along the edges of rect, as a focus rectangle is drawn: along the top and
// bottom rows from the left edge on, along the left and right columns from two pixels below the top.
// False for a bad DC.
bool InvertDottedFrame(HDC hdc, const RECT& rect);

// The region behind an HRGN, and a new HRGN holding a region; false or NULL for a bad handle.
bool GetRegion(HRGN rgn, Region& region);
HRGN CreateRegionHandle(const Region& region);

// The font file that renders a font (empty when none can be loaded), for tests of the face mapping.
std::filesystem::path FontFileOf(HFONT font);

// The number of GDI objects and DCs that exist, stock objects left out: tests check that every path
// deletes what it made.
size_t OpenObjectCount();

} // namespace gdi
