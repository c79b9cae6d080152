// Icons: the group resource's image chosen by size, transparency from the AND mask and from alpha, drawing
// with scaling and the DI_ flags, icons from bits, copies, and the malformed resources refused.

#include "user/Icon.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kernel/Errors.h"
#include "kernel/Resources.h"
#include "testing/IconBytes.h"
#include "user/User.h"
#include "user/WindowTest.h"

namespace {

using icon_bytes::Group;
using icon_bytes::IconImage;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// 16 x 16, 24 bits: the left half red, the right half transparent. 32 x 32 with alpha: the top half blue,
// the bottom half transparent.
const std::vector<uint8_t> kSmall = IconImage(
    16, 24, [](int x, int) { return x < 8; }, [](int, int) { return kRed; });
const std::vector<uint8_t> kLarge = IconImage(
    32, 32, [](int, int y) { return y < 16; }, [](int, int) { return kBlue; });
const std::vector<uint8_t> kCut(kSmall.begin(), kSmall.begin() + 100);
const std::vector<uint8_t> kGroup = Group({{16, 24, 1}, {32, 32, 2}});
const std::vector<uint8_t> kShortGroup = Group({{16, 24, 1}}, 3);
const std::vector<uint8_t> kCutGroup = Group({{16, 24, 3}});
const std::vector<uint8_t> kMissingImageGroup = Group({{16, 24, 9}});

const kernel::ResourceEntry kResources[] = {
    {RT_ICON, MAKEINTRESOURCE(1), kSmall.data(), kSmall.size()},
    {RT_ICON, MAKEINTRESOURCE(2), kLarge.data(), kLarge.size()},
    {RT_ICON, MAKEINTRESOURCE(3), kCut.data(), kCut.size()},
    {RT_GROUP_ICON, MAKEINTRESOURCE(100), kGroup.data(), kGroup.size()},
    {RT_GROUP_ICON, MAKEINTRESOURCE(101), kShortGroup.data(), kShortGroup.size()},
    {RT_GROUP_ICON, MAKEINTRESOURCE(102), kCutGroup.data(), kCutGroup.size()},
    {RT_GROUP_ICON, MAKEINTRESOURCE(103), kMissingImageGroup.data(), kMissingImageGroup.size()},
};
const kernel::ResourceTable kResourceTable(kResources);

// A 64 x 64 green canvas to draw icons on.
class IconTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        HDC screen = GetDC(nullptr);
        m_dc = CreateCompatibleDC(screen);
        m_bitmap = CreateCompatibleBitmap(screen, 64, 64);
        ReleaseDC(nullptr, screen);
        m_previous = SelectObject(m_dc, m_bitmap);
        Clear();
    }
    void TearDown() override {
        SelectObject(m_dc, m_previous);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
        WindowTest::TearDown();
    }
    void Clear() {
        HBRUSH green = CreateSolidBrush(kGreen);
        RECT all{0, 0, 64, 64};
        FillRect(m_dc, &all, green);
        DeleteObject(green);
    }
    COLORREF At(int x, int y) { return GetPixel(m_dc, x, y); }
    // Draws and destroys the icon; the size of what was drawn from its top-left corner.
    SIZE DrawnSize(HICON icon, int cx = 0, int cy = 0, UINT flags = DI_NORMAL) {
        Clear();
        EXPECT_TRUE(DrawIconEx(m_dc, 0, 0, icon, cx, cy, 0, nullptr, flags));
        EXPECT_TRUE(DestroyIcon(icon));
        SIZE size{0, 0};
        while (size.cx < 64 && At(size.cx, 0) != kGreen)
            ++size.cx;
        return size;
    }

    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
};

TEST_F(IconTest, TheGroupsImageNearestTheSizeIsChosenAndScaled) {
    struct Case {
        int side;
        COLORREF colour;
        int drawnWidth; // of the opaque top row
    };
    // LoadIconW takes 32; a tie between 16 and 32 goes to the larger image, which is scaled.
    for (const Case& c : {Case{0, kRed, 8}, Case{16, kRed, 8}, Case{32, kBlue, 32}, Case{24, kBlue, 24},
                          Case{12, kRed, 6}, Case{48, kBlue, 48}}) {
        HICON icon = c.side == 32 ? LoadIconW(nullptr, MAKEINTRESOURCE(100))
                                  : static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCE(100), IMAGE_ICON,
                                                                  c.side, c.side, 0));
        ASSERT_NE(icon, nullptr) << c.side;
        Clear();
        ASSERT_TRUE(DrawIcon(m_dc, 0, 0, icon));
        EXPECT_EQ(At(0, 0), c.colour) << c.side;
        int width = 0;
        while (width < 64 && At(width, 0) == c.colour)
            ++width;
        EXPECT_EQ(width, c.drawnWidth) << c.side;
        DestroyIcon(icon);
    }
}

TEST_F(IconTest, TransparencyComesFromTheMaskOrFromAlpha) {
    HICON large = LoadIconW(nullptr, MAKEINTRESOURCE(100));
    HICON small = static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCE(100), IMAGE_ICON, 16, 16, 0));
    ASSERT_TRUE(DrawIcon(m_dc, 0, 0, large));
    EXPECT_EQ(At(31, 15), kBlue);
    EXPECT_EQ(At(31, 16), kGreen); // alpha 0 although the mask says opaque
    EXPECT_EQ(At(32, 0), kGreen);
    Clear();
    ASSERT_TRUE(DrawIconEx(m_dc, 10, 10, small, 32, 32, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(At(10, 10), kRed);
    EXPECT_EQ(At(25, 41), kRed);
    EXPECT_EQ(At(26, 10), kGreen);
    // The mask alone and the image alone.
    ASSERT_TRUE(DrawIconEx(m_dc, 0, 0, small, 0, 0, 0, nullptr, DI_MASK));
    EXPECT_EQ(At(0, 0), kBlack);
    EXPECT_EQ(At(15, 0), kWhite);
    ASSERT_TRUE(DrawIconEx(m_dc, 0, 0, small, 0, 0, 0, nullptr, DI_IMAGE));
    EXPECT_EQ(At(0, 0), kRed);
    EXPECT_EQ(At(15, 0), kBlack);
    DestroyIcon(large);
    DestroyIcon(small);
}

TEST_F(IconTest, IconsFromBitsAndCopiesLiveOnTheirOwn) {
    // 4 x 2: the mask makes the right half transparent; the image is yellow.
    const BYTE mask[] = {0x30, 0x00, 0x30, 0x00};
    std::vector<uint32_t> pixels(8, 0x00FFFF00);
    HICON icon = CreateIcon(nullptr, 4, 2, 1, 32, mask, reinterpret_cast<const BYTE*>(pixels.data()));
    ASSERT_NE(icon, nullptr);
    HICON copy = CopyIcon(icon);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_EQ(DrawnSize(copy).cx, 2);
    EXPECT_EQ(At(1, 1), RGB(255, 255, 0));

    const BYTE white[] = {0xF0, 0x00, 0xF0, 0x00};
    HICON mono = CreateIcon(nullptr, 4, 2, 1, 1, mask, white);
    ASSERT_NE(mono, nullptr);
    EXPECT_EQ(DrawnSize(mono).cx, 2);
    EXPECT_EQ(At(0, 0), kWhite);

    EXPECT_EQ(CreateIcon(nullptr, 4, 2, 1, 8, mask, white), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateIcon(nullptr, 0, 2, 1, 1, mask, white), nullptr);
}

TEST_F(IconTest, MissingAndMalformedIconsAreRefused) {
    struct Case {
        const char16_t* what;
        WORD id;
        DWORD error;
    };
    for (const Case& c : {Case{u"no such group", 999, ERROR_RESOURCE_NAME_NOT_FOUND},
                          Case{u"entries cut short", 101, ERROR_INVALID_DATA},
                          Case{u"an image cut short", 102, ERROR_INVALID_DATA},
                          Case{u"a missing image", 103, ERROR_INVALID_DATA}}) {
        SetLastError(0);
        EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCE(c.id)), nullptr);
        EXPECT_EQ(GetLastError(), c.error) << static_cast<int>(c.id);
    }
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCE(100), IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));

    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCE(100));
    ASSERT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_CURSOR_HANDLE));
    EXPECT_FALSE(DrawIcon(m_dc, 0, 0, icon));
    EXPECT_EQ(At(0, 0), kGreen);
}

} // namespace
