#include "XCaptionSupport.h"

#include <algorithm>
#include <cstdio>

#include "user/User.h"
#include "user/WindowTest.h"

namespace skintest {

std::string Hex(COLORREF colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(colour));
    return text;
}

std::string OneLayerSkin(std::string_view elements, COLORREF background) {
    return "<xForm relativePathes=\"true\" backgroundColor=\"" + Hex(background) +
           "\" width=\"240\" height=\"320\"><xLayer name=\"main\">" + std::string(elements) +
           "</xLayer></xForm>";
}

RECT RectInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string ToString(const RECT& rect) {
    char text[64];
    std::snprintf(text, sizeof text, "(%ld, %ld)-(%ld, %ld)", static_cast<long>(rect.left),
                  static_cast<long>(rect.top), static_cast<long>(rect.right), static_cast<long>(rect.bottom));
    return text;
}

namespace {

template <typename Visit>
void ForEachPixel(HWND window, COLORREF colour, const std::optional<RECT>& area, Visit visit) {
    RECT client{};
    GetClientRect(window, &client);
    const RECT bounds = area.value_or(client);
    const COLORREF wanted = user::test::OnScreen(colour);
    for (int y = bounds.top; y < bounds.bottom; ++y)
        for (int x = bounds.left; x < bounds.right; ++x)
            if (user::test::WindowPixel(window, x, y) == wanted)
                visit(x, y);
}

} // namespace

int CountPixels(HWND window, COLORREF colour, std::optional<RECT> area) {
    int count = 0;
    ForEachPixel(window, colour, area, [&count](int, int) { ++count; });
    return count;
}

std::optional<RECT> PixelBounds(HWND window, COLORREF colour) {
    std::optional<RECT> bounds;
    ForEachPixel(window, colour, std::nullopt, [&bounds](int x, int y) {
        if (!bounds) {
            bounds = RECT{x, y, x + 1, y + 1};
            return;
        }
        bounds->left = std::min<LONG>(bounds->left, x);
        bounds->top = std::min<LONG>(bounds->top, y);
        bounds->right = std::max<LONG>(bounds->right, x + 1);
        bounds->bottom = std::max<LONG>(bounds->bottom, y + 1);
    });
    return bounds;
}

} // namespace skintest
