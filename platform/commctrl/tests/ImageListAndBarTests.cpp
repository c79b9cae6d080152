// Image lists (adding strips, masks from a colour, drawing, checked handles) and the command bar
// (buttons from a bitmap resource, taps that send their commands, the menu bar).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ControlTest.h"
#include "gdi/Dib.h"
#include "kernel/Modules.h"
#include "kernel/Resources.h"

namespace {

using commctrl_test::OnScreen;
using commctrl_test::Parent;

constexpr COLORREF kGrey = RGB(192, 192, 192);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A packed 24-bit DIB of a strip of 16 x 15 images: image i is filled with colours[i] and has a grey
// border of one pixel.
std::vector<uint8_t> Strip(std::vector<COLORREF> colors) {
    int width = 16 * static_cast<int>(colors.size());
    int height = 15;
    int stride = (width * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes(sizeof(BITMAPINFOHEADER) + static_cast<size_t>(stride * height));
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    std::memcpy(bytes.data(), &header, sizeof header);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int local = x % 16;
            bool border = local == 0 || local == 15 || y == 0 || y == height - 1;
            COLORREF color = border ? kGrey : colors[static_cast<size_t>(x / 16)];
            uint8_t* pixel = bytes.data() + sizeof header + static_cast<size_t>((height - 1 - y) * stride + x * 3);
            pixel[0] = GetBValue(color);
            pixel[1] = GetGValue(color);
            pixel[2] = GetRValue(color);
        }
    return bytes;
}

const std::vector<uint8_t> kButtons = Strip({kRed, kBlue});
const user::MenuEntry kMenu[] = {{0, 0, 0, u"File"}, {1, 0, 301, u"Open"}, {1, 0, 302, u"Close"}};
const user::MenuTemplateBytes kMenuBytes(kMenu);
const kernel::ResourceEntry kResources[] = {
    {RT_BITMAP, MAKEINTRESOURCE(2003), kButtons.data(), kButtons.size()},
    {RT_MENU, MAKEINTRESOURCE(128), kMenuBytes.Data(), kMenuBytes.Size()},
};
const kernel::ResourceTable kResourceTable(kResources);

class ImageListTest : public commctrl_test::ControlTest {
protected:
    HBITMAP LoadStrip() { return LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCE(2003)); }
    // Draws image i onto a green 16 x 15 bitmap and reads one pixel back.
    COLORREF DrawnPixel(HIMAGELIST list, int image, UINT style, int x, int y) {
        HDC screen = GetDC(nullptr);
        HBITMAP target = CreateCompatibleBitmap(screen, 16, 15);
        ReleaseDC(nullptr, screen);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, target);
        RECT all{0, 0, 16, 15};
        HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
        FillRect(dc, &all, green);
        DeleteObject(green);
        EXPECT_TRUE(ImageList_Draw(list, image, dc, 0, 0, style));
        COLORREF pixel = GetPixel(dc, x, y);
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(target);
        return pixel;
    }
};

TEST_F(ImageListTest, AStripBecomesOneImageForEachWidth) {
    HIMAGELIST list = ImageList_Create(16, 15, ILC_COLOR16, 2, 2);
    ASSERT_NE(list, nullptr);
    HBITMAP strip = LoadStrip();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(ImageList_Add(list, strip, nullptr), 0);
    EXPECT_EQ(ImageList_Add(list, strip, nullptr), 2);
    EXPECT_EQ(ImageList_GetImageCount(list), 4);
    int cx = 0;
    int cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 15);
    // Without a mask the whole image is copied, border included.
    EXPECT_EQ(DrawnPixel(list, 1, ILD_NORMAL, 8, 7), OnScreen(kBlue));
    EXPECT_EQ(DrawnPixel(list, 1, ILD_NORMAL, 0, 0), OnScreen(kGrey));
    ASSERT_TRUE(ImageList_Remove(list, 0));
    EXPECT_EQ(DrawnPixel(list, 0, ILD_NORMAL, 8, 7), OnScreen(kBlue));
    ASSERT_TRUE(ImageList_Remove(list, -1));
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    DeleteObject(strip);
    EXPECT_TRUE(ImageList_Destroy(list));
}

TEST_F(ImageListTest, AMaskColourLetsTheBackgroundShowThrough) {
    HIMAGELIST list = ImageList_Create(16, 15, ILC_COLOR16 | ILC_MASK, 2, 2);
    HBITMAP strip = LoadStrip();
    ASSERT_EQ(ImageList_AddMasked(list, strip, kGrey), 0);
    EXPECT_EQ(DrawnPixel(list, 0, ILD_NORMAL, 8, 7), OnScreen(kRed));
    EXPECT_EQ(DrawnPixel(list, 0, ILD_NORMAL, 0, 0), RGB(0, 255, 0)); // the grey border is transparent
    // The mask alone: black where the image covers, white where it does not.
    EXPECT_EQ(DrawnPixel(list, 0, ILD_MASK, 8, 7), RGB(0, 0, 0));
    EXPECT_EQ(DrawnPixel(list, 0, ILD_MASK, 0, 0), RGB(255, 255, 255));
    // A background colour fills the transparent part, unless the drawing asks for transparency.
    EXPECT_EQ(ImageList_SetBkColor(list, kBlue), CLR_NONE);
    EXPECT_EQ(DrawnPixel(list, 0, ILD_NORMAL, 0, 0), OnScreen(kBlue));
    EXPECT_EQ(DrawnPixel(list, 0, ILD_TRANSPARENT, 0, 0), RGB(0, 255, 0));
    DeleteObject(strip);
    ImageList_Destroy(list);
}

TEST_F(ImageListTest, BadHandlesAndIndexesFail) {
    HIMAGELIST list = ImageList_Create(16, 15, ILC_COLOR16, 1, 1);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(ImageList_Draw(list, 0, dc, 0, 0, ILD_NORMAL)); // empty list
    EXPECT_EQ(ImageList_Add(list, nullptr, nullptr), -1);
    EXPECT_FALSE(ImageList_Remove(list, 3));
    ASSERT_TRUE(ImageList_Destroy(list));
    // The destroyed handle is refused everywhere.
    EXPECT_FALSE(ImageList_Destroy(list));
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    EXPECT_EQ(ImageList_Add(list, nullptr, nullptr), -1);
    EXPECT_FALSE(ImageList_Draw(list, 0, dc, 0, 0, ILD_NORMAL));
    EXPECT_FALSE(ImageList_Draw(nullptr, 0, dc, 0, 0, ILD_NORMAL));
    EXPECT_EQ(ImageList_Create(0, 16, ILC_COLOR16, 1, 1), nullptr);
    DeleteDC(dc);
}

TEST_F(ImageListTest, CommandBarButtonsSendTheirCommands) {
    HWND bar = CommandBar_Create(GetModuleHandleW(nullptr), m_parent, 0xE800);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(CommandBar_Height(bar), 26);
    RECT barRect;
    GetWindowRect(bar, &barRect);
    EXPECT_EQ(barRect.right - barRect.left, 240);
    ASSERT_EQ(CommandBar_AddBitmap(bar, GetModuleHandleW(nullptr), 2003, 2, 16, 15), 0);
    TBBUTTON buttons[] = {{0, 32771, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
                          {0, 0, 0, TBSTYLE_SEP, {}, 0, 0},
                          {1, 32772, 0, TBSTYLE_BUTTON, {}, 0, 0}};
    ASSERT_TRUE(CommandBar_AddButtons(bar, 3, buttons));
    EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 3);
    user::test::RunUntilIdle();
    RECT first{};
    ASSERT_TRUE(SendMessageW(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)));
    POINT centre{(first.left + first.right) / 2, (first.top + first.bottom) / 2};
    // The image is drawn without its grey border, over the bar's face.
    EXPECT_EQ(user::test::WindowPixel(bar, centre.x, centre.y), OnScreen(kRed));
    TapAt(bar, centre);
    ASSERT_EQ(Parent::Log().size(), 1u);
    EXPECT_EQ(Parent::Log()[0].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(Parent::Log()[0].code, 32771u);
    // A disabled button sends nothing until it is enabled.
    Parent::Clear();
    RECT third{};
    SendMessageW(bar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&third));
    EXPECT_EQ(third.left, first.right + 6);
    POINT thirdCentre{(third.left + third.right) / 2, (third.top + third.bottom) / 2};
    TapAt(bar, thirdCentre);
    EXPECT_TRUE(Parent::Log().empty());
    SendMessageW(bar, TB_ENABLEBUTTON, 32772, TRUE);
    TapAt(bar, thirdCentre);
    ASSERT_EQ(Parent::Log().size(), 1u);
    EXPECT_EQ(Parent::Log()[0].code, 32772u);
    // A press that leaves the button before the release sends nothing.
    Parent::Clear();
    POINT from = centre;
    POINT to{centre.x + 100, centre.y};
    ClientToScreen(bar, &from);
    ClientToScreen(bar, &to);
    user::test::Drag(from, to);
    user::test::RunUntilIdle();
    EXPECT_TRUE(Parent::Log().empty());
}

TEST_F(ImageListTest, TheMenuBarDropsItsPopupAndTheChoiceReachesTheParent) {
    HWND bar = CommandBar_Create(GetModuleHandleW(nullptr), m_parent, 1);
    ASSERT_TRUE(CommandBar_InsertMenubar(bar, GetModuleHandleW(nullptr), 128, 0));
    EXPECT_NE(CommandBar_GetMenu(bar, 0), nullptr);
    RECT item{};
    ASSERT_TRUE(SendMessageW(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)));
    user::test::AnswerNextMenu(302);
    TapAt(bar, POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    ASSERT_EQ(Parent::Log().size(), 1u);
    EXPECT_EQ(Parent::Log()[0].code, 302u);
    EXPECT_FALSE(CommandBar_InsertMenubar(bar, GetModuleHandleW(nullptr), 999, 0));
    EXPECT_FALSE(CommandBar_InsertMenubar(m_parent, GetModuleHandleW(nullptr), 128, 0));
}

} // namespace
