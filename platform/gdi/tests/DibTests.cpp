#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Canvas.h"
#include "gdi/Dib.h"
#include "gdi/Gdi.h"
#include "kernel/Errors.h"
#include "testing/BmpBuilder.h"

namespace {

const COLORREF kColors[6] = {RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(0, 0, 255),
                             RGB(255, 255, 0), RGB(0, 255, 255), RGB(128, 64, 32)};

int IndexOf(int x, int y) {
    return y * 3 + x;
}
uint32_t Rgb(COLORREF c) {
    return (uint32_t{GetRValue(c)} << 16) | (GetGValue(c) << 8) | GetBValue(c);
}
uint32_t Scale(uint32_t value, uint32_t max) {
    return (value * 255 + max / 2) / max;
}

std::vector<uint32_t> Palette(int count) {
    std::vector<uint32_t> palette;
    for (int i = 0; i < count; ++i)
        palette.push_back(Rgb(kColors[i % 6]));
    return palette;
}

struct DepthCase {
    const char* name;
    BmpSpec spec;
    // The colour that pixel (x, y) has before it is stored in 16 bits.
    std::function<COLORREF(int x, int y)> expected;
};

std::vector<DepthCase> DepthCases() {
    std::vector<DepthCase> cases;
    auto add = [&](const char* name, BmpSpec spec, std::function<COLORREF(int, int)> expected) {
        cases.push_back({name, spec, expected});
        spec.topDown = true;
        cases.push_back({name, spec, expected});
    };
    auto direct = [](int x, int y) { return kColors[IndexOf(x, y)]; };
    BmpSpec one;
    one.bits = 1;
    one.palette = Palette(2);
    one.value = [](int x, int y) { return static_cast<uint32_t>((x + y) % 2); };
    add("1bpp", one, [](int x, int y) { return kColors[(x + y) % 2]; });
    BmpSpec four;
    four.bits = 4;
    four.palette = Palette(16);
    four.value = [](int x, int y) { return static_cast<uint32_t>(IndexOf(x, y)); };
    add("4bpp", four, direct);
    BmpSpec eight;
    eight.bits = 8;
    eight.palette = Palette(6);
    eight.value = four.value;
    add("8bpp", eight, direct);
    BmpSpec rgb555;
    rgb555.bits = 16;
    rgb555.value = [](int x, int y) {
        COLORREF c = kColors[IndexOf(x, y)];
        return ((GetRValue(c) >> 3u) << 10) | ((GetGValue(c) >> 3u) << 5) | (GetBValue(c) >> 3u);
    };
    add("16bpp555", rgb555, [](int x, int y) {
        COLORREF c = kColors[IndexOf(x, y)];
        return RGB(Scale(GetRValue(c) >> 3, 31), Scale(GetGValue(c) >> 3, 31), Scale(GetBValue(c) >> 3, 31));
    });
    BmpSpec rgb565 = rgb555;
    rgb565.compression = BI_BITFIELDS;
    rgb565.masks = {0xF800, 0x07E0, 0x001F};
    rgb565.value = [](int x, int y) {
        COLORREF c = kColors[IndexOf(x, y)];
        return ((GetRValue(c) >> 3u) << 11) | ((GetGValue(c) >> 2u) << 5) | (GetBValue(c) >> 3u);
    };
    add("16bpp565", rgb565, [](int x, int y) {
        COLORREF c = kColors[IndexOf(x, y)];
        return RGB(Scale(GetRValue(c) >> 3, 31), Scale(GetGValue(c) >> 2, 63), Scale(GetBValue(c) >> 3, 31));
    });
    BmpSpec deep;
    deep.value = [](int x, int y) { return Rgb(kColors[IndexOf(x, y)]); };
    add("24bpp", deep, direct);
    BmpSpec wide = deep;
    wide.bits = 32;
    add("32bpp", wide, direct);
    BmpSpec fields = wide;
    fields.compression = BI_BITFIELDS;
    fields.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    fields.headerSize = 124;
    fields.value = [](int x, int y) {
        COLORREF c = kColors[IndexOf(x, y)];
        return uint32_t{GetRValue(c)} | (GetGValue(c) << 8) | (GetBValue(c) << 16);
    };
    add("32bppFieldsInV5Header", fields, direct);
    return cases;
}

void ExpectPixels(HBITMAP bitmap, const DepthCase& c) {
    ASSERT_NE(bitmap, nullptr) << GetLastError();
    BITMAP record{};
    ASSERT_TRUE(GetObjectW(bitmap, sizeof record, &record));
    EXPECT_EQ(record.bmWidth, c.spec.width);
    EXPECT_EQ(record.bmHeight, c.spec.height);
    EXPECT_EQ(record.bmBitsPixel, 16);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    for (int y = 0; y < c.spec.height; ++y)
        for (int x = 0; x < c.spec.width; ++x)
            EXPECT_EQ(GetPixel(dc, x, y), In565(c.expected(x, y))) << x << "," << y;
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

class BmpDepthTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(BmpDepthTest, FileLoadsUpright) {
    std::vector<uint8_t> file = BmpFile(GetParam().spec);
    ExpectPixels(gdi::CreateBitmapFromBmpFile(file.data(), file.size()), GetParam());
}

TEST_P(BmpDepthTest, PackedDibLoadsUpright) {
    std::vector<uint8_t> dib = PackedDib(GetParam().spec);
    ExpectPixels(gdi::CreateBitmapFromPackedDib(dib.data(), dib.size()), GetParam());
}

// A file cut anywhere is refused, never read past its end.
TEST_P(BmpDepthTest, EveryTruncationIsRefused) {
    std::vector<uint8_t> file = BmpFile(GetParam().spec);
    for (size_t size = 0; size < file.size(); ++size) {
        SetLastError(0);
        HBITMAP bitmap = gdi::CreateBitmapFromBmpFile(file.data(), size);
        EXPECT_EQ(bitmap, nullptr) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA)) << size;
        if (bitmap)
            DeleteObject(bitmap);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpDepthTest, ::testing::ValuesIn(DepthCases()), [](const auto& info) {
    return std::string(info.param.name) + (info.param.spec.topDown ? "TopDown" : "BottomUp");
});

BmpSpec Plain() {
    BmpSpec spec;
    spec.value = [](int, int) { return 0x112233u; };
    return spec;
}

struct MalformedCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    DWORD error;
};

TEST(BmpTest, MalformedFilesAreRefused) {
    auto set32 = [](std::vector<uint8_t>& file, size_t offset, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            file[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    };
    auto set16 = [](std::vector<uint8_t>& file, size_t offset, uint16_t value) {
        file[offset] = static_cast<uint8_t>(value);
        file[offset + 1] = static_cast<uint8_t>(value >> 8);
    };
    const std::vector<MalformedCase> cases = {
        {"signature", [](auto& f) { f[0] = 'X'; }, ERROR_INVALID_DATA},
        {"pixels past the end", [&](auto& f) { set32(f, 10, 1000); }, ERROR_INVALID_DATA},
        {"pixel offset wrapping", [&](auto& f) { set32(f, 10, 0xFFFFFFFF); }, ERROR_INVALID_DATA},
        {"zero width", [&](auto& f) { set32(f, 18, 0); }, ERROR_INVALID_DATA},
        {"zero height", [&](auto& f) { set32(f, 22, 0); }, ERROR_INVALID_DATA},
        {"two planes", [&](auto& f) { set16(f, 26, 2); }, ERROR_INVALID_DATA},
        {"12 bits", [&](auto& f) { set16(f, 28, 12); }, ERROR_INVALID_DATA},
        {"run-length", [&](auto& f) { set32(f, 30, BI_RLE8); }, ERROR_NOT_SUPPORTED},
        {"bit fields at 24 bits", [&](auto& f) { set32(f, 30, BI_BITFIELDS); }, ERROR_INVALID_DATA},
        {"core header", [&](auto& f) { set32(f, 14, 12); }, ERROR_NOT_SUPPORTED},
        {"short header", [&](auto& f) { set32(f, 14, 20); }, ERROR_INVALID_DATA},
        {"header past the end", [&](auto& f) { set32(f, 14, 4000); }, ERROR_INVALID_DATA},
        {"huge size",
         [&](auto& f) {
             set32(f, 18, 100000);
             set32(f, 22, 100000);
         },
         ERROR_NOT_ENOUGH_MEMORY},
        {"most negative height", [&](auto& f) { set32(f, 22, 0x80000000); }, ERROR_INVALID_DATA},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> file = BmpFile(Plain());
        c.damage(file);
        SetLastError(0);
        EXPECT_EQ(gdi::CreateBitmapFromBmpFile(file.data(), file.size()), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    EXPECT_EQ(gdi::CreateBitmapFromBmpFile(nullptr, 100), nullptr);
}

TEST(BmpTest, PaletteRules) {
    // More than 256 entries is malformed.
    BmpSpec spec;
    spec.bits = 8;
    spec.palette = Palette(257);
    spec.value = [](int, int) { return 0u; };
    std::vector<uint8_t> file = BmpFile(spec);
    EXPECT_EQ(gdi::CreateBitmapFromBmpFile(file.data(), file.size()), nullptr);
    // An index beyond a short palette is black.
    spec.palette = Palette(2);
    spec.value = [](int x, int) { return x == 2 ? 200u : 1u; };
    file = BmpFile(spec);
    HBITMAP bitmap = gdi::CreateBitmapFromBmpFile(file.data(), file.size());
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    EXPECT_EQ(GetPixel(dc, 1, 0), In565(kColors[1]));
    EXPECT_EQ(GetPixel(dc, 2, 0), kBlack);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

} // namespace
