#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "display/Display.h"
#include "gdi/Gdi.h"
#include "gdi/Region.h"
#include "gdi/Surface.h"
#include "testing/PngReader.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kBand = RGB(0, 0, 255);
constexpr COLORREF kChecker = RGB(255, 255, 0);
constexpr COLORREF kDiamond = RGB(255, 0, 0);
constexpr COLORREF kFrame = RGB(0, 255, 0);
constexpr COLORREF kPanel = RGB(255, 0, 255);

// The checkerboard under the strip: yellow and white cells of 8 pixels.
COLORREF Checker(int x, int y) {
    bool inBoard = x >= 8 && x < 232 && y >= 40 && y < 104;
    return inBoard && ((x / 8 + y / 8) % 2 == 0) ? kChecker : kWhite;
}

void Fill(HDC dc, RECT rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

HFONT MakeFont(const char16_t* face, LONG height, LONG weight) {
    LOGFONTW logFont{};
    logFont.lfHeight = height;
    logFont.lfWeight = weight;
    std::u16string name(face);
    std::memcpy(logFont.lfFaceName, name.c_str(), (name.size() + 1) * sizeof(char16_t));
    return CreateFontIndirectW(&logFont);
}

// A strip of three 32 x 32 frames with a mask half below: each frame a diamond, transparent outside it.
HBITMAP MakeStrip() {
    constexpr int kSide = 32;
    HBITMAP strip = CreateBitmap(3 * kSide, 2 * kSide, 1, 16, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, strip);
    const COLORREF colors[3] = {kDiamond, RGB(0, 255, 255), RGB(255, 255, 255)};
    for (int frame = 0; frame < 3; ++frame)
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                bool inside = std::abs(x - 16) + std::abs(y - 16) < 14;
                SetPixel(dc, frame * kSide + x, y, inside ? colors[frame] : kBlack);
                SetPixel(dc, frame * kSide + x, kSide + y, inside ? kBlack : kWhite);
            }
    SelectObject(dc, previous);
    DeleteDC(dc);
    return strip;
}

// Bitmaps, frames and text on the screen, saved as a screenshot and checked at chosen pixels.
TEST(SceneTest, ScreenshotShowsBitmapsFramesAndText) {
    display::ScreenOptions options;
    options.backend = display::Backend::Headless;
    ASSERT_TRUE(display::OpenScreen(options));
    HDC screen = gdi::CreateSurfaceDC(POINT{0, 0}, gdi::Region(RECT{0, 0, 240, 320}));

    Fill(screen, RECT{0, 0, 240, 320}, kWhite);
    Fill(screen, RECT{0, 0, 240, 26}, kBand);
    // A checkerboard for the transparent strip to stand on.
    for (int y = 40; y < 104; y += 8)
        for (int x = 8; x < 232; x += 8)
            if (Checker(x, y) == kChecker)
                Fill(screen, RECT{x, y, x + 8, y + 8}, kChecker);
    // Frame 0 of the strip drawn masked at (20, 56), the whole strip with its mask at (100, 40).
    HBITMAP strip = MakeStrip();
    HDC source = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(source, strip);
    BitBlt(screen, 20, 56, 32, 32, source, 0, 32, SRCAND);
    BitBlt(screen, 20, 56, 32, 32, source, 0, 0, SRCPAINT);
    BitBlt(screen, 100, 40, 96, 64, source, 0, 0, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
    DeleteObject(strip);
    // A panel with a frame, a two-pixel outline and a cross of lines.
    HPEN pen = CreatePen(PS_SOLID, 2, kBlack);
    HBRUSH panel = CreateSolidBrush(kPanel);
    HGDIOBJ oldPen = SelectObject(screen, pen);
    HGDIOBJ oldBrush = SelectObject(screen, panel);
    Rectangle(screen, 20, 120, 220, 200);
    SelectObject(screen, oldPen);
    SelectObject(screen, oldBrush);
    DeleteObject(pen);
    DeleteObject(panel);
    HBRUSH frame = CreateSolidBrush(kFrame);
    RECT frameRect{10, 112, 230, 208};
    FrameRect(screen, &frameRect, frame);
    DeleteObject(frame);
    MoveToEx(screen, 30, 130, nullptr);
    LineTo(screen, 210, 190);
    // Text: a centred white title, a label and wrapped lines.
    HFONT title = MakeFont(u"Arial", -14, FW_BOLD);
    HFONT body = MakeFont(u"MS Shell Dlg", -12, FW_NORMAL);
    HGDIOBJ oldFont = SelectObject(screen, title);
    SetBkMode(screen, TRANSPARENT);
    SetTextColor(screen, kWhite);
    RECT band{0, 0, 240, 26};
    DrawTextW(screen, u"Ferrovane", -1, &band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SIZE titleExtent{};
    GetTextExtentPoint32W(screen, u"Ferrovane", 9, &titleExtent);
    SelectObject(screen, body);
    SetTextColor(screen, kBlack);
    RECT text{16, 216, 224, 316};
    DrawTextW(screen, u"Containers are encrypted folders. Tap &Open to mount one.\nTabs\tand lines.", -1,
              &text, DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(screen, oldFont);
    DeleteObject(title);
    DeleteObject(body);
    gdi::DeleteSurfaceDC(screen);

    std::filesystem::path file = std::filesystem::path(DISPLAY_TEST_OUTPUT_DIR) / "scene.png";
    ASSERT_TRUE(display::SaveScreenshot(file));
    auto image = ReadPng(file);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, 240);
    ASSERT_EQ(image->height, 320);
    EXPECT_EQ(image->At(2, 2), kBand);
    // The masked frame: background at its corners, the diamond at its centre.
    for (POINT corner : {POINT{20, 56}, POINT{24, 56}, POINT{51, 87}, POINT{20, 87}})
        EXPECT_EQ(image->At(corner.x, corner.y), Checker(corner.x, corner.y));
    EXPECT_EQ(image->At(20 + 16, 56 + 16), kDiamond);
    EXPECT_EQ(image->At(20 + 16, 56 + 4), kDiamond);
    // The unmasked strip: black around the first diamond, its mask below.
    EXPECT_EQ(image->At(100, 40), kBlack);
    EXPECT_EQ(image->At(100, 40 + 32), kWhite);
    EXPECT_EQ(image->At(100 + 16, 40 + 32 + 16), kBlack);
    // Frame, outline, fill and line.
    EXPECT_EQ(image->At(10, 112), kFrame);
    EXPECT_EQ(image->At(229, 207), kFrame);
    EXPECT_EQ(image->At(11, 113), kWhite);
    EXPECT_EQ(image->At(20, 160), kBlack);
    EXPECT_EQ(image->At(200, 160), kPanel);
    EXPECT_EQ(image->At(30, 130), kBlack);
    // The title's white ink lies in its centred extent on the band.
    int inkLeft = 240;
    int inkRight = 0;
    for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 240; ++x) {
            COLORREF c = image->At(x, y);
            EXPECT_TRUE(c == kBand || c == kWhite) << x << "," << y;
            if (c == kWhite) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x + 1);
            }
        }
    int extentLeft = (240 - titleExtent.cx) / 2;
    EXPECT_GE(inkLeft, extentLeft);
    EXPECT_LE(inkRight, extentLeft + titleExtent.cx);
    EXPECT_GT(inkRight - inkLeft, titleExtent.cx * 3 / 4);
    // The body text is black on white.
    int black = 0;
    for (int y = 216; y < 316; ++y)
        for (int x = 16; x < 224; ++x)
            black += image->At(x, y) == kBlack;
    EXPECT_GT(black, 200);
}

TEST(SceneTest, ScreenSizeIsSettable) {
    display::ScreenOptions options;
    options.width = 240;
    options.height = 240;
    options.backend = display::Backend::Headless;
    ASSERT_TRUE(display::OpenScreen(options));
    EXPECT_EQ(display::CurrentBackend(), display::Backend::Headless);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 240);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 240);
    DeleteDC(dc);
    EXPECT_EQ(display::ScreenPixel(239, 239), kBlack);
    EXPECT_EQ(display::ScreenPixel(0, 240), 0xFFFFFFFFu);
    EXPECT_EQ(display::InputFd(), -1);
    EXPECT_EQ(display::PumpInput(), 0);
    options.width = 0;
    EXPECT_FALSE(display::OpenScreen(options));
    EXPECT_FALSE(display::SaveScreenshot("/nonexistent-folder/shot.png"));
}

} // namespace
