#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Canvas.h"
#include "gdi/Gdi.h"
#include "gdi/Region.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"

namespace {

struct BadHandleCase {
    const char* call;
    // Runs the call with the handle; true when it reported failure.
    std::function<bool(HGDIOBJ)> fails;
};

// Every call that takes a handle answers a deleted or made-up handle with an error, not a crash.
TEST(GdiObjectTest, BadHandlesAreRefused) {
    HBRUSH deleted = CreateSolidBrush(kRed);
    ASSERT_TRUE(DeleteObject(deleted));
    HDC deletedDc = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(DeleteDC(deletedDc));
    RECT rect{0, 0, 4, 4};
    SIZE size{};
    TEXTMETRICW metrics{};
    BITMAP bitmap{};
    Canvas canvas(4, 4);
    auto asDc = [](HGDIOBJ h) { return reinterpret_cast<HDC>(h); };
    const std::vector<BadHandleCase> cases = {
        {"SelectObject", [&](HGDIOBJ h) { return !SelectObject(canvas.Dc(), h); }},
        {"SelectObject on the DC",
         [&](HGDIOBJ h) { return !SelectObject(asDc(h), GetStockObject(BLACK_PEN)); }},
        {"DeleteObject", [](HGDIOBJ h) { return !DeleteObject(h); }},
        {"GetObjectW", [&](HGDIOBJ h) { return GetObjectW(h, sizeof bitmap, &bitmap) == 0; }},
        {"GetObjectType", [](HGDIOBJ h) { return GetObjectType(h) == 0; }},
        {"DeleteDC", [&](HGDIOBJ h) { return !DeleteDC(asDc(h)); }},
        {"CreateCompatibleDC", [&](HGDIOBJ h) { return !CreateCompatibleDC(asDc(h)); }},
        {"CreateCompatibleBitmap", [&](HGDIOBJ h) { return !CreateCompatibleBitmap(asDc(h), 2, 2); }},
        {"BitBlt destination",
         [&](HGDIOBJ h) { return !BitBlt(asDc(h), 0, 0, 2, 2, canvas.Dc(), 0, 0, SRCCOPY); }},
        {"BitBlt source",
         [&](HGDIOBJ h) { return !BitBlt(canvas.Dc(), 0, 0, 2, 2, asDc(h), 0, 0, SRCCOPY); }},
        {"FillRect brush",
         [&](HGDIOBJ h) { return !FillRect(canvas.Dc(), &rect, reinterpret_cast<HBRUSH>(h)); }},
        {"FrameRect", [&](HGDIOBJ h) { return !FrameRect(asDc(h), &rect, GetSysColorBrush(COLOR_WINDOW)); }},
        {"SetTextColor", [&](HGDIOBJ h) { return SetTextColor(asDc(h), kRed) == CLR_INVALID; }},
        {"GetPixel", [&](HGDIOBJ h) { return GetPixel(asDc(h), 0, 0) == CLR_INVALID; }},
        {"LineTo", [&](HGDIOBJ h) { return !LineTo(asDc(h), 3, 3); }},
        {"SelectClipRgn",
         [&](HGDIOBJ h) { return SelectClipRgn(canvas.Dc(), reinterpret_cast<HRGN>(h)) == ERROR; }},
        {"DrawTextW", [&](HGDIOBJ h) { return DrawTextW(asDc(h), u"x", 1, &rect, 0) == 0; }},
        {"GetTextExtentPoint32W", [&](HGDIOBJ h) { return !GetTextExtentPoint32W(asDc(h), u"x", 1, &size); }},
        {"GetTextMetricsW", [&](HGDIOBJ h) { return !GetTextMetricsW(asDc(h), &metrics); }},
    };
    for (HGDIOBJ bad : {reinterpret_cast<HGDIOBJ>(deleted), reinterpret_cast<HGDIOBJ>(deletedDc),
                        reinterpret_cast<HGDIOBJ>(UINT_PTR{0x12345677})}) {
        for (const auto& testCase : cases) {
            SetLastError(0);
            EXPECT_TRUE(testCase.fails(bad)) << testCase.call;
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << testCase.call;
        }
    }
}

TEST(GdiObjectTest, TypesOfEveryKind) {
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HBRUSH brush = CreateSolidBrush(kRed);
    HDC memory = CreateCompatibleDC(nullptr);
    HDC surface = gdi::CreateSurfaceDC(POINT{0, 0}, gdi::Region(RECT{0, 0, 10, 10}));
    LOGFONTW logFont{};
    HFONT font = CreateFontIndirectW(&logFont);
    HBITMAP bitmap = CreateBitmap(2, 2, 1, 16, nullptr);
    HRGN region = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(GetObjectType(memory), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_EQ(GetObjectType(surface), static_cast<DWORD>(OBJ_DC));
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(GetObjectType(region), static_cast<DWORD>(OBJ_REGION));
    // DCs of windows are not deleted with DeleteDC, nor any DC with DeleteObject.
    EXPECT_FALSE(DeleteDC(surface));
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(memory)));
    EXPECT_TRUE(gdi::DeleteSurfaceDC(surface));
    EXPECT_FALSE(gdi::DeleteSurfaceDC(memory));
    EXPECT_TRUE(DeleteDC(memory));
    for (HGDIOBJ object :
         {reinterpret_cast<HGDIOBJ>(pen), reinterpret_cast<HGDIOBJ>(brush), reinterpret_cast<HGDIOBJ>(font),
          reinterpret_cast<HGDIOBJ>(bitmap), reinterpret_cast<HGDIOBJ>(region)})
        EXPECT_TRUE(DeleteObject(object));
}

TEST(GdiObjectTest, SelectedObjectsCannotBeDeleted) {
    size_t before = gdi::OpenObjectCount();
    HDC dc = CreateCompatibleDC(nullptr);
    HBRUSH brush = CreateSolidBrush(kRed);
    HGDIOBJ previous = SelectObject(dc, brush);
    ASSERT_EQ(previous, GetStockObject(WHITE_BRUSH));
    SetLastError(0);
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), reinterpret_cast<HGDIOBJ>(brush));
    EXPECT_EQ(SelectObject(dc, previous), reinterpret_cast<HGDIOBJ>(brush));
    EXPECT_TRUE(DeleteObject(brush));
    // DeleteDC lets go of what the DC held.
    HPEN pen = CreatePen(PS_SOLID, 2, kBlue);
    SelectObject(dc, pen);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(gdi::OpenObjectCount(), before);
}

TEST(GdiObjectTest, StockObjectsSurviveDeletion) {
    struct Stock {
        int index;
        DWORD type;
    };
    for (Stock stock :
         {Stock{WHITE_BRUSH, OBJ_BRUSH}, Stock{BLACK_BRUSH, OBJ_BRUSH}, Stock{NULL_BRUSH, OBJ_BRUSH},
          Stock{BLACK_PEN, OBJ_PEN}, Stock{NULL_PEN, OBJ_PEN}, Stock{WHITE_PEN, OBJ_PEN},
          Stock{SYSTEM_FONT, OBJ_FONT}, Stock{DEFAULT_GUI_FONT, OBJ_FONT}}) {
        HGDIOBJ object = GetStockObject(stock.index);
        ASSERT_NE(object, nullptr) << stock.index;
        EXPECT_EQ(GetStockObject(stock.index), object);
        EXPECT_TRUE(DeleteObject(object));
        EXPECT_EQ(GetObjectType(object), stock.type);
    }
    EXPECT_EQ(GetStockObject(99), nullptr);
    HBRUSH highlight = GetSysColorBrush(COLOR_HIGHLIGHT);
    EXPECT_TRUE(DeleteObject(highlight));
    LOGBRUSH logBrush{};
    ASSERT_EQ(GetObjectW(highlight, sizeof logBrush, &logBrush), static_cast<int>(sizeof logBrush));
    EXPECT_EQ(logBrush.lbColor, GetSysColor(COLOR_HIGHLIGHT));
}

TEST(GdiObjectTest, ABitmapLivesInOneDcAtATime) {
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 16, nullptr);
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(nullptr);
    ASSERT_NE(SelectObject(first, bitmap), nullptr);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);
    EXPECT_TRUE(DeleteDC(first));
    EXPECT_NE(SelectObject(second, bitmap), nullptr);
    // Surface DCs take no bitmap.
    HDC surface = gdi::CreateSurfaceDC(POINT{0, 0}, gdi::Region(RECT{0, 0, 1, 1}));
    EXPECT_EQ(SelectObject(surface, CreateBitmap(1, 1, 1, 16, nullptr)), nullptr);
    gdi::DeleteSurfaceDC(surface);
    EXPECT_TRUE(DeleteDC(second));
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(GdiObjectTest, BitmapRecords) {
    struct Case {
        HBITMAP bitmap;
        LONG width;
        LONG height;
        LONG widthBytes;
        WORD bits;
    };
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 3, 2, 1, 24, BI_RGB, 0, 1, 1, 0, 0};
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    for (const Case& c :
         {Case{CreateBitmap(3, 2, 1, 16, nullptr), 3, 2, 6, 16},
          Case{CreateBitmap(10, 1, 1, 1, nullptr), 10, 1, 2, 1},
          Case{CreateBitmap(17, 3, 1, 1, nullptr), 17, 3, 4, 1}, Case{section, 3, 2, 12, 24}}) {
        BITMAP record{};
        ASSERT_EQ(GetObjectW(c.bitmap, sizeof record, &record), static_cast<int>(sizeof record));
        EXPECT_EQ(record.bmWidth, c.width);
        EXPECT_EQ(record.bmHeight, c.height);
        EXPECT_EQ(record.bmWidthBytes, c.widthBytes);
        EXPECT_EQ(record.bmBitsPixel, c.bits);
        EXPECT_EQ(record.bmPlanes, 1);
        EXPECT_EQ(record.bmBits, c.bitmap == section ? bits : nullptr);
        DeleteObject(c.bitmap);
    }
}

TEST(GdiObjectTest, FontRecordIsTheLogFont) {
    static_assert(sizeof(LOGFONTW) == 92);
    LOGFONTW logFont{};
    logFont.lfHeight = -13;
    logFont.lfWeight = FW_BOLD;
    logFont.lfItalic = 1;
    std::memcpy(logFont.lfFaceName, u"Arial", sizeof u"Arial");
    HFONT font = CreateFontIndirectW(&logFont);
    EXPECT_EQ(GetObjectW(font, 0, nullptr), 92);
    LOGFONTW back{};
    ASSERT_EQ(GetObjectW(font, sizeof back, &back), 92);
    EXPECT_EQ(std::memcmp(&back, &logFont, sizeof logFont), 0);
    // A shorter buffer gets the start of the record.
    LONG height = 0;
    EXPECT_EQ(GetObjectW(font, sizeof height, &height), static_cast<int>(sizeof height));
    EXPECT_EQ(height, -13);
    // The DC's default font is the system font.
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
    DeleteDC(dc);
    DeleteObject(font);
    EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
}

TEST(GdiObjectTest, MemoryDcStartsWithAMonochromePixel) {
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAP record{};
    ASSERT_TRUE(GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof record, &record));
    EXPECT_EQ(record.bmWidth, 1);
    EXPECT_EQ(record.bmHeight, 1);
    EXPECT_EQ(record.bmBitsPixel, 1);
    // Compatible with what the DC holds: monochrome now, 16 bits once a 16-bit bitmap is selected.
    HBITMAP mono = CreateCompatibleBitmap(dc, 8, 8);
    ASSERT_TRUE(GetObjectW(mono, sizeof record, &record));
    EXPECT_EQ(record.bmBitsPixel, 1);
    HBITMAP colour = CreateBitmap(8, 8, 1, 16, nullptr);
    HGDIOBJ previous = SelectObject(dc, colour);
    HBITMAP compatible = CreateCompatibleBitmap(dc, 8, 8);
    ASSERT_TRUE(GetObjectW(compatible, sizeof record, &record));
    EXPECT_EQ(record.bmBitsPixel, 16);
    // A window's DC makes screen bitmaps.
    HDC surface = gdi::CreateSurfaceDC(POINT{0, 0}, gdi::Region(RECT{0, 0, 1, 1}));
    HBITMAP screenCompatible = CreateCompatibleBitmap(surface, 5, 5);
    ASSERT_TRUE(GetObjectW(screenCompatible, sizeof record, &record));
    EXPECT_EQ(record.bmBitsPixel, 16);
    EXPECT_EQ(GetDeviceCaps(surface, BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), gdi::ScreenSize().cx);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), gdi::ScreenSize().cy);
    gdi::DeleteSurfaceDC(surface);
    SelectObject(dc, previous);
    DeleteDC(dc);
    for (HBITMAP bitmap : {mono, colour, compatible, screenCompatible})
        DeleteObject(bitmap);
}

TEST(GdiObjectTest, BitmapCreationRules) {
    // Rows as given, top row first.
    const uint16_t rows[2][2] = {{0xF800, 0x07E0}, {0x001F, 0xFFFF}};
    HBITMAP bitmap = CreateBitmap(2, 2, 1, 16, rows);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    EXPECT_EQ(GetPixel(dc, 0, 0), kRed);
    EXPECT_EQ(GetPixel(dc, 1, 0), kGreen);
    EXPECT_EQ(GetPixel(dc, 0, 1), kBlue);
    EXPECT_EQ(GetPixel(dc, 1, 1), kWhite);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);

    // An empty size gives the shared 1 x 1 monochrome bitmap.
    HBITMAP empty = CreateBitmap(0, 5, 1, 16, nullptr);
    BITMAP record{};
    ASSERT_TRUE(GetObjectW(empty, sizeof record, &record));
    EXPECT_EQ(record.bmBitsPixel, 1);

    for (UINT bits : {8u, 24u, 32u}) {
        SetLastError(0);
        EXPECT_EQ(CreateBitmap(4, 4, 1, bits, nullptr), nullptr) << bits;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(CreateBitmap(4, 4, 2, 16, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(-4, 4, 1, 16, nullptr), nullptr);
    // Sizes whose pixels would not fit are refused before anything is allocated.
    SetLastError(0);
    EXPECT_EQ(CreateBitmap(0x7FFFFFFF, 0x7FFFFFFF, 1, 16, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(GdiObjectTest, DibSectionsFollowTheSignOfTheHeight) {
    for (LONG height : {3, -3}) {
        BITMAPINFO info{};
        info.bmiHeader = BITMAPINFOHEADER{40, 2, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(section, nullptr);
        // The first row in memory: blue, green, red bytes of pure red.
        auto* memory = static_cast<uint8_t*>(bits);
        memory[0] = 0;
        memory[1] = 0;
        memory[2] = 255;
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, section);
        int firstRow = height > 0 ? 2 : 0; // bottom-up sections keep the bottom row first
        EXPECT_EQ(GetPixel(dc, 0, firstRow), kRed) << height;
        EXPECT_EQ(GetPixel(dc, 0, 2 - firstRow), kBlack) << height;
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(section);
    }
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 2, 2, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(GdiObjectTest, SystemColours) {
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), kWhite);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), kBlack);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT | SYS_COLOR_INDEX_FLAG), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(GetSysColorBrush(COLOR_BTNFACE), GetSysColorBrush(COLOR_BTNFACE | SYS_COLOR_INDEX_FLAG));
    EXPECT_EQ(GetSysColorBrush(200), nullptr);
    // FillRect takes a system colour as a brush.
    Canvas canvas(4, 4);
    RECT all{0, 0, 4, 4};
    EXPECT_TRUE(FillRect(canvas.Dc(), &all, reinterpret_cast<HBRUSH>(UINT_PTR{COLOR_HIGHLIGHT + 1})));
    EXPECT_EQ(canvas.At(2, 2), In565(GetSysColor(COLOR_HIGHLIGHT)));
}

} // namespace
