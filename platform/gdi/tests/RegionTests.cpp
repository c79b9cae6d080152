#include <gtest/gtest.h>

#include <vector>

#include "Canvas.h"
#include "gdi/Gdi.h"
#include "gdi/Region.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"

namespace {

using gdi::Region;
using Op = Region::Operation;

// A region from rectangles, united one by one.
Region Of(std::initializer_list<RECT> rects) {
    Region region;
    for (const RECT& rect : rects)
        region.UniteWith(Region(rect));
    return region;
}

// Every pixel of a 12 x 12 field, for checking a region against a predicate.
template <typename Predicate>
void ExpectPixels(const Region& region, Predicate inside) {
    for (int y = -1; y < 12; ++y)
        for (int x = -1; x < 12; ++x)
            EXPECT_EQ(region.Contains(x, y), inside(x, y)) << "at " << x << "," << y;
}

bool InRect(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

struct CombineCase {
    const char* name;
    Op operation;
    bool (*expected)(bool inA, bool inB);
};

class RegionCombineTest : public ::testing::TestWithParam<CombineCase> {};

// Two overlapping rectangles, combined every way, give exactly the pixels the operation describes.
TEST_P(RegionCombineTest, PixelsFollowTheOperation) {
    const RECT a{1, 1, 7, 6};
    const RECT b{4, 3, 10, 9};
    Region result = Region::Combine(Region(a), Region(b), GetParam().operation);
    ExpectPixels(result, [&](int x, int y) { return GetParam().expected(InRect(a, x, y), InRect(b, x, y)); });
}

INSTANTIATE_TEST_SUITE_P(Operations, RegionCombineTest,
                         ::testing::Values(CombineCase{"And", Op::And, [](bool a, bool b) { return a && b; }},
                                           CombineCase{"Or", Op::Or, [](bool a, bool b) { return a || b; }},
                                           CombineCase{"Xor", Op::Xor, [](bool a, bool b) { return a != b; }},
                                           CombineCase{"Diff", Op::Diff,
                                                       [](bool a, bool b) { return a && !b; }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RegionTest, EqualSetsHaveEqualRepresentations) {
    // The same L shape built two ways.
    Region first = Of({{0, 0, 4, 2}, {0, 2, 2, 6}});
    Region second = Of({{0, 0, 2, 6}, {2, 0, 4, 2}});
    EXPECT_EQ(first, second);
    // Touching rectangles merge into one.
    EXPECT_EQ(Of({{0, 0, 3, 3}, {3, 0, 6, 3}}), Region(RECT{0, 0, 6, 3}));
    EXPECT_EQ(Of({{0, 0, 3, 3}, {0, 3, 3, 6}}), Region(RECT{0, 0, 3, 6}));
}

TEST(RegionTest, ComplexityAndBounds) {
    EXPECT_EQ(Region().Complexity(), NULLREGION);
    EXPECT_EQ(Region(RECT{5, 5, 5, 9}).Complexity(), NULLREGION);
    EXPECT_EQ(Region(RECT{1, 2, 3, 4}).Complexity(), SIMPLEREGION);
    Region two = Of({{0, 0, 2, 2}, {5, 5, 8, 9}});
    EXPECT_EQ(two.Complexity(), COMPLEXREGION);
    EXPECT_TRUE((two.Bounds() == RECT{0, 0, 8, 9}));
    EXPECT_EQ(two.Rectangles().size(), 2u);
}

TEST(RegionTest, SubtractingAHoleLeavesAFrame) {
    Region frame = Region::Combine(Region(RECT{0, 0, 10, 10}), Region(RECT{2, 2, 8, 8}), Op::Diff);
    EXPECT_EQ(frame.Complexity(), COMPLEXREGION);
    ExpectPixels(frame, [](int x, int y) {
        return InRect(RECT{0, 0, 10, 10}, x, y) && !InRect(RECT{2, 2, 8, 8}, x, y);
    });
    EXPECT_TRUE(frame.Intersects(RECT{1, 1, 3, 3}));
    EXPECT_FALSE(frame.Intersects(RECT{3, 3, 7, 7}));
}

TEST(RegionTest, OffsetMovesEveryPixelAndSurvivesTheLimits) {
    Region region = Of({{0, 0, 2, 2}, {4, 4, 6, 6}});
    region.Offset(3, -1);
    EXPECT_EQ(region, Of({{3, -1, 5, 1}, {7, 3, 9, 5}}));
    region.Offset(INT_MAX, INT_MAX); // clamped, not wrapped
    EXPECT_FALSE(region.Contains(3, -1));
}

TEST(RegionHandleTest, CallsMatchTheRegionValues) {
    HRGN a = CreateRectRgn(1, 1, 7, 6);
    HRGN b = CreateRectRgn(10, 9, 4, 3); // edges put in order
    HRGN result = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(result, a, b, RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(result, 9, 8));
    EXPECT_FALSE(PtInRegion(result, 0, 0));
    RECT box{};
    EXPECT_EQ(GetRgnBox(result, &box), COMPLEXREGION);
    EXPECT_TRUE((box == RECT{1, 1, 10, 9}));
    EXPECT_EQ(CombineRgn(result, a, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_TRUE(EqualRgn(result, a));
    EXPECT_EQ(OffsetRgn(result, 100, 0), SIMPLEREGION);
    EXPECT_FALSE(EqualRgn(result, a));
    RECT probe{100, 0, 102, 2};
    EXPECT_TRUE(RectInRegion(result, &probe));
    EXPECT_TRUE(SetRectRgn(result, 0, 0, 0, 5));
    EXPECT_EQ(GetRgnBox(result, &box), NULLREGION);
    for (HRGN rgn : {a, b, result})
        EXPECT_TRUE(DeleteObject(rgn));
}

TEST(RegionHandleTest, BadHandlesAndModesAreErrors) {
    HRGN a = CreateRectRgn(0, 0, 4, 4);
    HRGN gone = CreateRectRgn(0, 0, 1, 1);
    ASSERT_TRUE(DeleteObject(gone));
    SetLastError(0);
    EXPECT_EQ(CombineRgn(a, gone, a, RGN_AND), ERROR);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(CombineRgn(a, a, a, 99), ERROR);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(OffsetRgn(gone, 1, 1), ERROR);
    EXPECT_FALSE(PtInRegion(gone, 0, 0));
    EXPECT_EQ(GetRgnBox(a, nullptr), ERROR);
    // A brush is not a region.
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(CombineRgn(a, reinterpret_cast<HRGN>(brush), a, RGN_AND), ERROR);
    DeleteObject(brush);
    DeleteObject(a);
}

} // namespace
