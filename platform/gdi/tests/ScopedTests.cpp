// The scoped GDI helpers the controls share: the arrow's shape in every direction, objects selected
// for a scope, and the focus rectangle's dots drawn in one call as the per-dot blits draw them.

#include <vector>

#include <gtest/gtest.h>

#include "Canvas.h"
#include "gdi/Scoped.h"
#include "gdi/Surface.h"

namespace {

constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kPaper = RGB(255, 255, 255);

TEST(DrawArrowTest, IsATriangleCentredInItsBoxPointingItsWay) {
    struct Case {
        gdi::Arrow direction;
        bool vertical;
        bool tipFirst; // the tip is the topmost row (or leftmost column)
    } const cases[] = {
        {gdi::Arrow::Up, true, true},
        {gdi::Arrow::Down, true, false},
        {gdi::Arrow::Left, false, true},
        {gdi::Arrow::Right, false, false},
    };
    const RECT box{3, 5, 16, 18}; // 13 x 13, centre (9, 11)
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.direction));
        Canvas canvas(24, 24);
        canvas.Fill(kPaper);
        gdi::DrawArrow(canvas.Dc(), box, c.direction, 4,
                       reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        RECT drawn = canvas.BoundsOf([](COLORREF color) { return color == kInk; });
        EXPECT_GE(drawn.left, box.left);
        EXPECT_LE(drawn.right, box.right);
        EXPECT_GE(drawn.top, box.top);
        EXPECT_LE(drawn.bottom, box.bottom);
        // Lines across the arrow's direction, from top (or left) to bottom (or right).
        std::vector<int> widths;
        int first = c.vertical ? drawn.top : drawn.left;
        int last = c.vertical ? drawn.bottom : drawn.right;
        for (int line = first; line < last; ++line) {
            int width = 0;
            for (int k = 0; k < 24; ++k)
                width += canvas.At(c.vertical ? k : line, c.vertical ? line : k) == kInk;
            widths.push_back(width);
        }
        std::vector<int> expected = c.tipFirst ? std::vector<int>{1, 3, 5, 7} : std::vector<int>{7, 5, 3, 1};
        EXPECT_EQ(widths, expected);
        // Centred across its direction on the box's centre line.
        EXPECT_EQ(c.vertical ? canvas.At(9, c.tipFirst ? drawn.top : drawn.bottom - 1)
                             : canvas.At(c.tipFirst ? drawn.left : drawn.right - 1, 11),
                  kInk);
        EXPECT_EQ(canvas.Count(kInk), 16);
    }
}

TEST(SelectedObjectTest, SelectsForItsScopeAndThenThePreviousObject) {
    Canvas canvas(4, 4);
    HGDIOBJ before = GetCurrentObject(canvas.Dc(), OBJ_BRUSH);
    {
        gdi::SolidBrush brush(RGB(10, 20, 30));
        gdi::SelectedObject selected(canvas.Dc(), brush.Get());
        EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_BRUSH), reinterpret_cast<HGDIOBJ>(brush.Get()));
    }
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_BRUSH), before);
}

TEST(FontLineHeightTest, IsTheCellHeightOfTheFontOrOfTheSystemFont) {
    Canvas canvas(4, 4);
    TEXTMETRICW metrics{};
    ASSERT_TRUE(GetTextMetricsW(canvas.Dc(), &metrics)); // a new DC holds the system font
    EXPECT_EQ(gdi::FontLineHeight(nullptr), metrics.tmHeight);

    LOGFONTW logFont{};
    logFont.lfHeight = -20;
    HFONT font = CreateFontIndirectW(&logFont);
    {
        gdi::SelectedObject selected(canvas.Dc(), font);
        ASSERT_TRUE(GetTextMetricsW(canvas.Dc(), &metrics));
    }
    EXPECT_EQ(gdi::FontLineHeight(font), metrics.tmHeight);
    EXPECT_GT(metrics.tmHeight, 20);
    DeleteObject(font);
}

TEST(InvertDottedFrameTest, InvertsTheDotsThatOneBlitADotWould) {
    const RECT rects[] = {{2, 3, 17, 12}, {4, 4, 5, 12}, {1, 6, 14, 7},
                          {3, 3, 5, 5},   {5, 5, 5, 5},  {-3, -2, 30, 30}};
    for (const RECT& r : rects) {
        SCOPED_TRACE(testing::PrintToString(r));
        Canvas fast(20, 16);
        Canvas dots(20, 16);
        fast.Fill(RGB(40, 120, 200));
        dots.Fill(RGB(40, 120, 200));
        ASSERT_TRUE(gdi::InvertDottedFrame(fast.Dc(), r));
        for (int x = r.left; x < r.right; x += 2) {
            PatBlt(dots.Dc(), x, r.top, 1, 1, DSTINVERT);
            if (r.bottom - 1 > r.top)
                PatBlt(dots.Dc(), x, r.bottom - 1, 1, 1, DSTINVERT);
        }
        for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
            PatBlt(dots.Dc(), r.left, y, 1, 1, DSTINVERT);
            if (r.right - 1 > r.left)
                PatBlt(dots.Dc(), r.right - 1, y, 1, 1, DSTINVERT);
        }
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 20; ++x)
                ASSERT_EQ(fast.Value(x, y), dots.Value(x, y)) << x << ", " << y;
    }
    EXPECT_FALSE(gdi::InvertDottedFrame(nullptr, RECT{0, 0, 4, 4}));
}

} // namespace
