#include "gdi/Scoped.h"

namespace gdi {

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
    SolidBrush brush(color);
    FillRect(dc, &rect, brush.Get());
}

void DrawArrow(HDC dc, const RECT& box, Arrow direction, int depth, HBRUSH brush) {
    int cx = (box.left + box.right) / 2;
    int cy = (box.top + box.bottom) / 2;
    bool vertical = direction == Arrow::Up || direction == Arrow::Down;
    bool forward = direction == Arrow::Down || direction == Arrow::Right;
    int half = depth - 1;
    for (int row = 0; row < depth; ++row) {
        // Row 0 is the tip, half a depth from the centre.
        int along = forward ? half / 2 - row : row - half / 2;
        RECT line = vertical ? RECT{cx - row, cy + along, cx + row + 1, cy + along + 1}
                             : RECT{cx + along, cy - row, cx + along + 1, cy + row + 1};
        FillRect(dc, &line, brush);
    }
}

HFONT FontOrSystem(HFONT font) {
    return font ? font : reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

int FontLineHeight(HFONT font) {
    constexpr int kFallback = 8;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return kFallback;
    TEXTMETRICW metrics{};
    {
        SelectedObject selected(dc, FontOrSystem(font));
        GetTextMetricsW(dc, &metrics);
    }
    DeleteDC(dc);
    return metrics.tmHeight > 0 ? metrics.tmHeight : kFallback;
}

} // namespace gdi
