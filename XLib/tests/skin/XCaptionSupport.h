#pragma once
// Fixtures of the skinned static and check box tests: a one-layer skin around control elements, and
// where a colour shows in a window.

#include <optional>
#include <string>
#include <string_view>

#include "crt/Types.h"

namespace skintest {

// A colour as a skin attribute value, "0x00BBGGRR".
std::string Hex(COLORREF colour);
// A 240 x 320 form in the background colour with one layer "main" holding the elements; bitmap paths are
// relative to the skin file.
std::string OneLayerSkin(std::string_view elements, COLORREF background);

// The window's rectangle in its parent's client coordinates, and a rectangle as "(l, t)-(r, b)".
RECT RectInParent(HWND window);
std::string ToString(const RECT& rect);

// Pixels of the window's client area (within area, when given) that show the colour as the screen does.
int CountPixels(HWND window, COLORREF colour, std::optional<RECT> area = std::nullopt);
// The smallest rectangle around those pixels; none when the colour does not show.
std::optional<RECT> PixelBounds(HWND window, COLORREF colour);

} // namespace skintest
