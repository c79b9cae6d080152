#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Canvas.h"
#include "gdi/Gdi.h"
#include "gdi/Region.h"
#include "gdi/Surface.h"

namespace {

COLORREF Expand565(uint16_t v) {
    unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

void FillWith(HDC dc, const RECT& rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

struct RopCase {
    const char* name;
    DWORD rop;
    uint32_t (*expected)(uint32_t p, uint32_t s, uint32_t d);
};

const RopCase kRops[] = {
    {"SRCCOPY", SRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return s; }},
    {"SRCAND", SRCAND, [](uint32_t, uint32_t s, uint32_t d) { return s & d; }},
    {"SRCPAINT", SRCPAINT, [](uint32_t, uint32_t s, uint32_t d) { return s | d; }},
    {"SRCINVERT", SRCINVERT, [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; }},
    {"NOTSRCCOPY", NOTSRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return ~s; }},
    {"SRCERASE", SRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; }},
    {"MERGECOPY", MERGECOPY, [](uint32_t p, uint32_t s, uint32_t) { return p & s; }},
    {"PATCOPY", PATCOPY, [](uint32_t p, uint32_t, uint32_t) { return p; }},
    {"PATINVERT", PATINVERT, [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; }},
    {"DSTINVERT", DSTINVERT, [](uint32_t, uint32_t, uint32_t d) { return ~d; }},
    {"BLACKNESS", BLACKNESS, [](uint32_t, uint32_t, uint32_t) { return 0u; }},
    {"WHITENESS", WHITENESS, [](uint32_t, uint32_t, uint32_t) { return ~0u; }},
};

class RopTest : public ::testing::TestWithParam<RopCase> {};

// Every operation combines the 16-bit pixel values bit by bit.
TEST_P(RopTest, WorksBitwiseOnSixteenBitPixels) {
    const uint16_t source = 0xA5C3;
    const uint16_t dest = 0x3C5A;
    const uint16_t pattern = 0x1234;
    // 19 pixels a row: rows are worked in runs of eight pixels and a remainder.
    Canvas from(19, 2);
    Canvas to(19, 2);
    from.Fill(Expand565(source));
    to.Fill(Expand565(dest));
    HBRUSH brush = CreateSolidBrush(Expand565(pattern));
    HGDIOBJ previous = SelectObject(to.Dc(), brush);
    ASSERT_TRUE(BitBlt(to.Dc(), 0, 0, 19, 2, from.Dc(), 0, 0, GetParam().rop));
    SelectObject(to.Dc(), previous);
    DeleteObject(brush);
    uint16_t expected = static_cast<uint16_t>(GetParam().expected(pattern, source, dest));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 19; ++x)
            EXPECT_EQ(to.Value(x, y), expected) << x << "," << y;
}

// The same operations on a 24-bit destination work on its 24-bit values.
TEST_P(RopTest, WorksBitwiseOnTwentyFourBitPixels) {
    const COLORREF source = RGB(0x5A, 0xC3, 0x96);
    const COLORREF dest = RGB(0x0F, 0xF0, 0x3C);
    const COLORREF pattern = RGB(0x81, 0x42, 0x24);
    auto value = [](COLORREF c) {
        return uint32_t{GetBValue(c)} | (GetGValue(c) << 8) | (GetRValue(c) << 16);
    };
    Canvas from(2, 2, CanvasFormat::Bgr24);
    Canvas to(2, 2, CanvasFormat::Bgr24);
    from.Fill(source);
    to.Fill(dest);
    HBRUSH brush = CreateSolidBrush(pattern);
    HGDIOBJ previous = SelectObject(to.Dc(), brush);
    ASSERT_TRUE(BitBlt(to.Dc(), 0, 0, 2, 2, from.Dc(), 0, 0, GetParam().rop));
    SelectObject(to.Dc(), previous);
    DeleteObject(brush);
    uint32_t expected = GetParam().expected(value(pattern), value(source), value(dest)) & 0xFFFFFF;
    COLORREF result = to.At(1, 1);
    EXPECT_EQ(value(result), expected);
}

INSTANTIATE_TEST_SUITE_P(Operations, RopTest, ::testing::ValuesIn(kRops),
                         [](const auto& info) { return std::string(info.param.name); });

// The transparent drawing of bitmap strips: the mask ANDed on, then the image ORed on, leaves the
// background exactly where the mask is white and the image exactly where it is black.
TEST(BitBltTest, MaskThenImageDrawsTransparently) {
    Canvas screen(4, 1);
    const COLORREF background[] = {RGB(10, 20, 30), RGB(200, 100, 50), RGB(255, 255, 0), RGB(0, 128, 255)};
    for (int x = 0; x < 4; ++x)
        SetPixel(screen.Dc(), x, 0, background[x]);
    // Image row 0, mask row 1: pixels 0 and 2 opaque, 1 and 3 transparent.
    Canvas strip(4, 2);
    const COLORREF image[] = {RGB(255, 0, 255), kBlack, RGB(16, 32, 64), kBlack};
    const COLORREF mask[] = {kBlack, kWhite, kBlack, kWhite};
    for (int x = 0; x < 4; ++x) {
        SetPixel(strip.Dc(), x, 0, image[x]);
        SetPixel(strip.Dc(), x, 1, mask[x]);
    }
    ASSERT_TRUE(BitBlt(screen.Dc(), 0, 0, 4, 1, strip.Dc(), 0, 1, SRCAND));
    ASSERT_TRUE(BitBlt(screen.Dc(), 0, 0, 4, 1, strip.Dc(), 0, 0, SRCPAINT));
    EXPECT_EQ(screen.At(0, 0), In565(image[0]));
    EXPECT_EQ(screen.At(1, 0), In565(background[1]));
    EXPECT_EQ(screen.At(2, 0), In565(image[2]));
    EXPECT_EQ(screen.At(3, 0), In565(background[3]));
}

TEST(BitBltTest, ConvertsBetweenFormats) {
    // 24-bit to 16-bit keeps the top bits of each channel.
    Canvas deep(1, 1, CanvasFormat::Bgr24);
    SetPixel(deep.Dc(), 0, 0, RGB(255, 128, 0));
    Canvas shallow(1, 1);
    BitBlt(shallow.Dc(), 0, 0, 1, 1, deep.Dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(shallow.Value(0, 0), 0xFC00);
    // 16-bit to 24-bit widens them again.
    SetPixel(shallow.Dc(), 0, 0, Expand565(0x8410));
    BitBlt(deep.Dc(), 0, 0, 1, 1, shallow.Dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(deep.At(0, 0), Expand565(0x8410));

    // Monochrome to colour: 0 bits take the destination's text colour, 1 bits its background colour.
    Canvas mono(2, 1, CanvasFormat::Mono);
    SetPixel(mono.Dc(), 0, 0, kBlack);
    SetPixel(mono.Dc(), 1, 0, kWhite);
    Canvas colour(2, 1);
    SetTextColor(colour.Dc(), kRed);
    SetBkColor(colour.Dc(), kBlue);
    BitBlt(colour.Dc(), 0, 0, 2, 1, mono.Dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(colour.At(0, 0), kRed);
    EXPECT_EQ(colour.At(1, 0), kBlue);

    // Colour to monochrome: pixels of the source's background colour become 1, all others 0.
    SetBkColor(colour.Dc(), kRed);
    BitBlt(mono.Dc(), 0, 0, 2, 1, colour.Dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(mono.At(0, 0), kWhite);
    EXPECT_EQ(mono.At(1, 0), kBlack);
}

TEST(BitBltTest, OverlappingCopyInOneBitmap) {
    Canvas canvas(5, 1);
    const COLORREF row[] = {kRed, kGreen, kBlue, kWhite, kBlack};
    for (int x = 0; x < 5; ++x)
        SetPixel(canvas.Dc(), x, 0, row[x]);
    BitBlt(canvas.Dc(), 1, 0, 4, 1, canvas.Dc(), 0, 0, SRCCOPY);
    const COLORREF shifted[] = {kRed, kRed, kGreen, kBlue, kWhite};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(canvas.At(x, 0), shifted[x]) << x;
}

TEST(BitBltTest, SourceOutsideItsBitmapLeavesTheDestination) {
    Canvas from(2, 2);
    from.Fill(kRed);
    Canvas to(4, 4);
    to.Fill(kBlue);
    BitBlt(to.Dc(), 0, 0, 4, 4, from.Dc(), -1, -1, SRCCOPY);
    EXPECT_EQ(to.Count(kRed), 4);
    EXPECT_EQ(to.BoundsOf([](COLORREF c) { return c == kRed; }), (RECT{1, 1, 3, 3}));
    // Empty or negative extents draw nothing and succeed.
    EXPECT_TRUE(BitBlt(to.Dc(), 0, 0, 0, 4, from.Dc(), 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(to.Dc(), 0, 0, -3, 4, from.Dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(to.Count(kRed), 4);
    // Operations without a source need no source DC.
    EXPECT_TRUE(BitBlt(to.Dc(), 0, 0, 1, 1, nullptr, 0, 0, BLACKNESS));
    EXPECT_EQ(to.At(0, 0), kBlack);
    EXPECT_FALSE(BitBlt(to.Dc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
}

TEST(DrawingTest, FillAndFrameCoverTheirRectangles) {
    Canvas canvas(8, 8);
    canvas.Fill(kWhite);
    FillWith(canvas.Dc(), RECT{1, 2, 5, 4}, kRed);
    EXPECT_EQ(canvas.BoundsOf([](COLORREF c) { return c == kRed; }), (RECT{1, 2, 5, 4}));
    EXPECT_EQ(canvas.Count(kRed), 8);
    // A rectangle with its edges the wrong way round fills nothing.
    FillWith(canvas.Dc(), RECT{5, 5, 3, 7}, kBlue);
    EXPECT_EQ(canvas.Count(kBlue), 0);

    canvas.Fill(kWhite);
    HBRUSH brush = CreateSolidBrush(kBlue);
    RECT frame{1, 1, 6, 5};
    FrameRect(canvas.Dc(), &frame, brush);
    DeleteObject(brush);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            bool inside = x >= 1 && x < 6 && y >= 1 && y < 5;
            bool border = inside && (x == 1 || x == 5 || y == 1 || y == 4);
            EXPECT_EQ(canvas.At(x, y), border ? kBlue : kWhite) << x << "," << y;
        }
}

TEST(DrawingTest, RectangleDrawsPenOutlineAndBrushInside) {
    Canvas canvas(8, 8);
    canvas.Fill(kWhite);
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HBRUSH brush = CreateSolidBrush(kGreen);
    HGDIOBJ oldPen = SelectObject(canvas.Dc(), pen);
    HGDIOBJ oldBrush = SelectObject(canvas.Dc(), brush);
    Rectangle(canvas.Dc(), 1, 1, 6, 5);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            bool inside = x >= 1 && x < 6 && y >= 1 && y < 5;
            bool border = inside && (x == 1 || x == 5 || y == 1 || y == 4);
            EXPECT_EQ(canvas.At(x, y), border ? kRed : inside ? kGreen : kWhite) << x << "," << y;
        }
    // Without a pen the fill is one pixel smaller to the right and below.
    canvas.Fill(kWhite);
    SelectObject(canvas.Dc(), GetStockObject(NULL_PEN));
    Rectangle(canvas.Dc(), 1, 1, 6, 5);
    EXPECT_EQ(canvas.BoundsOf([](COLORREF c) { return c == kGreen; }), (RECT{1, 1, 5, 4}));
    SelectObject(canvas.Dc(), oldPen);
    SelectObject(canvas.Dc(), oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(DrawingTest, LinesStopBeforeTheirEndPoint) {
    Canvas canvas(10, 10);
    canvas.Fill(kWhite);
    HPEN pen = CreatePen(PS_SOLID, 1, kBlue);
    HGDIOBJ old = SelectObject(canvas.Dc(), pen);
    POINT previous{};
    MoveToEx(canvas.Dc(), 2, 1, nullptr);
    LineTo(canvas.Dc(), 7, 1);
    EXPECT_EQ(canvas.BoundsOf([](COLORREF c) { return c == kBlue; }), (RECT{2, 1, 7, 2}));
    MoveToEx(canvas.Dc(), 7, 1, &previous);
    EXPECT_EQ(previous.x, 7);
    LineTo(canvas.Dc(), 7, 1); // zero length: nothing
    EXPECT_EQ(canvas.Count(kBlue), 5);
    // Lines drawn backwards and diagonally.
    canvas.Fill(kWhite);
    MoveToEx(canvas.Dc(), 8, 3, nullptr);
    LineTo(canvas.Dc(), 4, 3);
    EXPECT_EQ(canvas.BoundsOf([](COLORREF c) { return c == kBlue; }), (RECT{5, 3, 9, 4}));
    canvas.Fill(kWhite);
    MoveToEx(canvas.Dc(), 0, 0, nullptr);
    LineTo(canvas.Dc(), 4, 4);
    EXPECT_EQ(canvas.Count(kBlue), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(canvas.At(i, i), kBlue);
    // A wide pen covers its width across the line.
    HPEN wide = CreatePen(PS_SOLID, 3, kRed);
    SelectObject(canvas.Dc(), wide);
    canvas.Fill(kWhite);
    MoveToEx(canvas.Dc(), 2, 5, nullptr);
    LineTo(canvas.Dc(), 7, 5);
    EXPECT_EQ(canvas.BoundsOf([](COLORREF c) { return c == kRed; }), (RECT{1, 4, 8, 7}));
    SelectObject(canvas.Dc(), old);
    DeleteObject(pen);
    DeleteObject(wide);
}

TEST(DrawingTest, PixelsReportWhatWasSet) {
    Canvas canvas(3, 3);
    EXPECT_EQ(SetPixel(canvas.Dc(), 1, 1, RGB(13, 77, 201)), In565(RGB(13, 77, 201)));
    EXPECT_EQ(GetPixel(canvas.Dc(), 1, 1), In565(RGB(13, 77, 201)));
    EXPECT_EQ(SetPixel(canvas.Dc(), 3, 0, kRed), CLR_INVALID);
    EXPECT_EQ(GetPixel(canvas.Dc(), -1, 0), CLR_INVALID);
}

TEST(ClippingTest, DrawingStaysInsideTheClipRegion) {
    Canvas canvas(10, 10);
    canvas.Fill(kWhite);
    // An L-shaped region.
    HRGN top = CreateRectRgn(0, 0, 10, 3);
    HRGN left = CreateRectRgn(0, 0, 3, 10);
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(shape, top, left, RGN_OR);
    EXPECT_EQ(SelectClipRgn(canvas.Dc(), shape), COMPLEXREGION);
    // The DC keeps its own copy.
    SetRectRgn(shape, 0, 0, 1, 1);
    FillWith(canvas.Dc(), RECT{0, 0, 10, 10}, kRed);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(canvas.At(x, y) == kRed, x < 3 || y < 3) << x << "," << y;
    RECT box{};
    EXPECT_EQ(GetClipBox(canvas.Dc(), &box), COMPLEXREGION);
    EXPECT_EQ(box, (RECT{0, 0, 10, 10}));
    // Reading the clip back.
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(canvas.Dc(), copy), 1);
    EXPECT_TRUE(PtInRegion(copy, 1, 8));
    EXPECT_FALSE(PtInRegion(copy, 8, 8));
    // Removing the clip region makes the whole bitmap drawable again.
    EXPECT_EQ(SelectClipRgn(canvas.Dc(), nullptr), SIMPLEREGION);
    EXPECT_EQ(GetClipRgn(canvas.Dc(), copy), 0);
    FillWith(canvas.Dc(), RECT{0, 0, 10, 10}, kBlue);
    EXPECT_EQ(canvas.Count(kBlue), 100);
    for (HRGN rgn : {top, left, shape, copy})
        DeleteObject(rgn);
}

TEST(ClippingTest, IntersectAndExcludeInLogicalCoordinates) {
    Canvas canvas(10, 10);
    canvas.Fill(kWhite);
    SetViewportOrgEx(canvas.Dc(), 2, 1, nullptr);
    EXPECT_EQ(IntersectClipRect(canvas.Dc(), 0, 0, 6, 6), SIMPLEREGION);
    EXPECT_EQ(ExcludeClipRect(canvas.Dc(), 2, 2, 4, 4), COMPLEXREGION);
    FillWith(canvas.Dc(), RECT{-5, -5, 20, 20}, kRed);
    RECT box{};
    GetClipBox(canvas.Dc(), &box);
    EXPECT_EQ(box, (RECT{0, 0, 6, 6}));
    POINT origin{};
    GetViewportOrgEx(canvas.Dc(), &origin);
    EXPECT_EQ(origin.x, 2);
    EXPECT_EQ(origin.y, 1);
    // Clipping everything away.
    EXPECT_EQ(IntersectClipRect(canvas.Dc(), 20, 20, 30, 30), NULLREGION);
    EXPECT_EQ(GetClipBox(canvas.Dc(), &box), NULLREGION);

    SetViewportOrgEx(canvas.Dc(), 0, 0, &origin);
    SelectClipRgn(canvas.Dc(), nullptr);
    // Logical (0, 0) was pixel (2, 1).
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            bool inKept = x >= 2 && x < 8 && y >= 1 && y < 7;
            bool inHole = x >= 4 && x < 6 && y >= 3 && y < 5;
            EXPECT_EQ(canvas.At(x, y) == kRed, inKept && !inHole) << x << "," << y;
        }
}

TEST(SurfaceTest, WindowDcsDrawAtTheirOriginInsideTheirVisibleRegion) {
    ASSERT_TRUE(gdi::SetScreenSize(240, 320));
    gdi::TakeScreenDamage();
    // A window at (20, 30) whose right part is covered by another.
    gdi::Region visible(RECT{20, 30, 60, 70});
    visible.Subtract(gdi::Region(RECT{50, 30, 60, 70}));
    HDC dc = gdi::CreateSurfaceDC(POINT{20, 30}, visible);
    FillWith(dc, RECT{0, 0, 100, 100}, kRed);
    HDC screen = gdi::CreateSurfaceDC(POINT{0, 0}, gdi::Region(RECT{0, 0, 240, 320}));
    EXPECT_EQ(GetPixel(screen, 20, 30), kRed);
    EXPECT_EQ(GetPixel(screen, 49, 69), kRed);
    EXPECT_EQ(GetPixel(screen, 50, 30), kBlack);
    EXPECT_EQ(GetPixel(screen, 19, 30), kBlack);
    EXPECT_EQ(GetPixel(screen, 20, 70), kBlack);
    EXPECT_EQ(GetPixel(dc, 0, 0), kRed);
    RECT damage = gdi::TakeScreenDamage();
    EXPECT_EQ(damage, (RECT{20, 30, 50, 70}));
    EXPECT_EQ(gdi::TakeScreenDamage(), (RECT{0, 0, 0, 0}));
    // The DC's own clip region is in its own coordinates.
    HRGN clip = CreateRectRgn(0, 0, 5, 5);
    SelectClipRgn(dc, clip);
    FillWith(dc, RECT{0, 0, 100, 100}, kBlue);
    EXPECT_EQ(GetPixel(screen, 24, 34), kBlue);
    EXPECT_EQ(GetPixel(screen, 25, 34), kRed);
    // Moving the DC.
    ASSERT_TRUE(gdi::SetSurfaceDCPlacement(dc, POINT{100, 100}, gdi::Region(RECT{100, 100, 110, 110})));
    FillWith(dc, RECT{0, 0, 100, 100}, kGreen);
    EXPECT_EQ(GetPixel(screen, 100, 100), kGreen);
    EXPECT_EQ(GetPixel(screen, 105, 100), kBlack);
    // Blits from the screen read it at the DC's origin.
    Canvas copy(2, 2);
    BitBlt(copy.Dc(), 0, 0, 2, 2, dc, 0, 0, SRCCOPY);
    EXPECT_EQ(copy.At(0, 0), kGreen);
    DeleteObject(clip);
    gdi::DeleteSurfaceDC(dc);
    gdi::DeleteSurfaceDC(screen);
    EXPECT_FALSE(gdi::SetScreenSize(0, 10));
}

} // namespace
