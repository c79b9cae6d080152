// CCommandBar: buttons and images from the module's toolbar and bitmap resources, and a tap on a button
// reaching its command handler in the parent's message map.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/Wnd.h"
#include "kernel/Resources.h"
#include "user/WindowTest.h"

namespace {

constexpr UINT kBar = 2003;
constexpr UINT kBadVersion = 2004;
constexpr UINT kTruncated = 2005;
constexpr WORD kUp = 32771;
constexpr WORD kDisabledLater = 32772;

// A packed 24-bit DIB of two 16 x 15 images, red then blue.
std::vector<uint8_t> Strip() {
    constexpr int kWidth = 32, kHeight = 15, kStride = (kWidth * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes(sizeof(BITMAPINFOHEADER) + kStride * kHeight);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    std::memcpy(bytes.data(), &header, sizeof header);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* pixel = bytes.data() + sizeof header + y * kStride + x * 3;
            pixel[x < 16 ? 2 : 0] = 0xFF; // bytes are blue, green, red
        }
    return bytes;
}

const std::vector<uint8_t> kStrip = Strip();
// Version 1, 16 x 15 images, three entries: a button, a separator, a button.
const WORD kToolbar[] = {1, 16, 15, 3, kUp, 0, kDisabledLater};
const WORD kWrongVersion[] = {2, 16, 15, 1, kUp};
const WORD kCut[] = {1, 16, 15, 3, kUp};
const kernel::ResourceEntry kResources[] = {
    {RT_BITMAP, MAKEINTRESOURCE(kBar), kStrip.data(), kStrip.size()},
    {RT_TOOLBAR, MAKEINTRESOURCE(kBar), kToolbar, sizeof kToolbar},
    {RT_TOOLBAR, MAKEINTRESOURCE(kBadVersion), kWrongVersion, sizeof kWrongVersion},
    {RT_TOOLBAR, MAKEINTRESOURCE(kTruncated), kCut, sizeof kCut},
};
const kernel::ResourceTable kResourceTable(kResources);

class CBarParent : public CWnd {
public:
    afx_msg void OnUp() { ++m_ups; }
    int m_ups = 0;

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBarParent, CWnd)
ON_COMMAND(kUp, OnUp)
END_MESSAGE_MAP()

class CommandBarTest : public user::test::WindowTest {};

TEST_F(CommandBarTest, ToolbarResourceGivesButtonsWhoseTapsReachTheParentsMap) {
    CBarParent parent;
    ASSERT_TRUE(
        parent.CreateEx(0, nullptr, u"Chooser", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr));
    CCommandBar bar;
    ASSERT_TRUE(bar.Create(&parent));
    EXPECT_EQ(bar.GetDlgCtrlID(), AFX_IDW_TOOLBAR);
    ASSERT_TRUE(bar.LoadToolBar(kBar));
    EXPECT_EQ(bar.SendMessage(TB_BUTTONCOUNT), 3);
    user::test::RunUntilIdle();

    RECT first{};
    ASSERT_TRUE(bar.SendMessage(TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)));
    POINT centre{(first.left + first.right) / 2, (first.top + first.bottom) / 2};
    // The first image of the strip is the first button's.
    EXPECT_EQ(user::test::WindowPixel(bar, centre.x, centre.y), RGB(255, 0, 0));
    bar.ClientToScreen(&centre);
    user::test::Tap(centre);
    user::test::RunUntilIdle();
    EXPECT_EQ(parent.m_ups, 1);
    parent.DestroyWindow();
}

TEST_F(CommandBarTest, MissingAndMalformedToolbarsAreRefused) {
    CBarParent parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, u"Chooser", WS_POPUP, 0, 0, 240, 320, nullptr, nullptr));
    CCommandBar unmade;
    EXPECT_FALSE(unmade.LoadToolBar(kBar));
    CCommandBar bar;
    ASSERT_TRUE(bar.Create(&parent));
    for (UINT id : {2999u, kBadVersion, kTruncated}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(bar.LoadToolBar(id));
    }
    EXPECT_EQ(bar.SendMessage(TB_BUTTONCOUNT), 0);
    parent.DestroyWindow();
}

} // namespace
