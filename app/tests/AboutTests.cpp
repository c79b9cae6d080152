// The about box on the installed skin: a tap closes it, quick corner taps and presses of the mark grow it
// to the middle of the screen and bring its hidden lines into view, and the corner timer clears the count.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "About.h"
#include "Resource.h"
#include "SkinSupport.h"
#include "classlib/Geometry.h"
#include "kernel/Modules.h"
#include "user/TestSurface.h"

namespace {

using user::test::ModalInfo;
using user::test::ModalKind;

// 200 x 180 in the middle of the 240 x 320 screen.
const CRect kGrown(20, 70, 220, 250);

class AboutTest : public apptest::InstalledSkinTest {
protected:
    // Runs the box modally; the action answers it from inside its loop.
    static INT_PTR Run(const std::function<void(HWND)>& action) {
        CAbout about;
        user::test::OnNextModal(ModalKind::Dialog, u"", [&](const ModalInfo& info) { action(info.window); });
        return about.DoModal();
    }
    // Whether the control lies wholly inside the box's client area.
    static bool InView(HWND box, int id) {
        HWND control = GetDlgItem(box, id);
        if (control == nullptr)
            return false;
        RECT client{};
        GetClientRect(box, &client);
        CRect rect(user::test::ScreenRect(control));
        ScreenToClient(box, reinterpret_cast<POINT*>(&rect.left));
        ScreenToClient(box, reinterpret_cast<POINT*>(&rect.right));
        return rect.left >= 0 && rect.top >= 0 && rect.right <= client.right &&
               rect.bottom <= client.bottom && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    }
    static void CornerTap(HWND box) { SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)); }
    static void PressMark(HWND box) { SendMessageW(box, WM_COMMAND, IDC_ABOUT_COUNT, 0); }
};

TEST_F(AboutTest, ATapOnTheBoxClosesIt) {
    InstallSkin();
    EXPECT_EQ(Run([](HWND box) {
                  EXPECT_TRUE(IsWindowVisible(GetDlgItem(box, IDC_ABOUT_COUNT)));
                  user::test::RunUntilIdle();
                  SaveReviewShot("about");
                  ASSERT_TRUE(user::test::TapWindow(box, POINT{150, 75}));
                  user::test::RunUntilIdle();
              }),
              IDOK);
}

TEST_F(AboutTest, WithoutItsSkinATapStillClosesIt) {
    EXPECT_EQ(Run([](HWND box) {
                  EXPECT_EQ(GetWindow(box, GW_CHILD), nullptr);
                  ASSERT_TRUE(user::test::TapWindow(box));
                  user::test::RunUntilIdle();
              }),
              IDOK);
}

TEST_F(AboutTest, ThreePressesOfTheMarkAndACornerTapGrowTheBox) {
    InstallSkin();
    CRect grown;
    bool hiddenAtFirst = false;
    bool shownGrown = false;
    EXPECT_EQ(Run([&](HWND box) {
                  hiddenAtFirst = !InView(box, IDC_ABOUT_HIDDEN1) && !InView(box, IDC_ABOUT_HIDDEN2);
                  for (int i = 0; i < 3; ++i) {
                      ASSERT_TRUE(user::test::TapControl(box, IDC_ABOUT_COUNT));
                      user::test::RunUntilIdle();
                  }
                  // Presses of the mark count without closing the box.
                  EXPECT_EQ(user::test::CurrentModalWindow(), box);
                  EXPECT_TRUE(CRect(user::test::ScreenRect(box)) != kGrown);
                  ASSERT_TRUE(user::test::TapWindow(box, POINT{5, 5}));
                  user::test::RunUntilIdle();
                  grown = user::test::ScreenRect(box);
                  shownGrown = InView(box, IDC_ABOUT_HIDDEN1) && InView(box, IDC_ABOUT_HIDDEN2);
              }),
              IDOK);
    EXPECT_TRUE(hiddenAtFirst);
    EXPECT_TRUE(grown == kGrown);
    EXPECT_TRUE(shownGrown);
}

// Run without a modal loop, so that one box takes several corner taps: each tap ends a modal run.
TEST_F(AboutTest, OnlyTheCornerTimerClearsTheCount) {
    InstallSkin();
    struct Case {
        const char* name;
        std::function<void(HWND)> between;
        bool grows;
        const char* reviewShot;
    };
    const Case cases[] = {
        {"its own tick", [](HWND) { user::test::AdvanceTime(300); }, false, nullptr},
        {"before its tick", [](HWND) { user::test::AdvanceTime(250); }, true, nullptr},
        {"another timer's tick", [](HWND box) { SendMessageW(box, WM_TIMER, 124, 0); }, true, "about_grown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAbout about;
        ASSERT_TRUE(about.Create(IDD_ABOUT));
        about.ShowWindow(SW_SHOW);
        user::test::RunUntilIdle();
        const HWND box = about.GetSafeHwnd();
        const CRect placed(user::test::ScreenRect(box));
        PressMark(box);
        PressMark(box);
        CornerTap(box); // the third counted tap starts the timer
        EXPECT_TRUE(CRect(user::test::ScreenRect(box)) == placed);
        c.between(box);
        CornerTap(box);
        EXPECT_EQ(CRect(user::test::ScreenRect(box)) == kGrown, c.grows);
        if (c.reviewShot != nullptr) {
            // The tap ended the box, which hides a box without a modal loop; shown again for the picture.
            about.ShowWindow(SW_SHOW);
            user::test::RunUntilIdle();
            SaveReviewShot(c.reviewShot);
        }
        about.DestroyWindow();
    }
}

// The program's version text comes from its own version information, also when it runs from elsewhere;
// a program path too long for the routine's buffer of 100 units gives none.
TEST_F(AboutTest, TheFileVersionIsTheProgramsOwn) {
    EXPECT_EQ(std::u16string(CAbout::GetFileVersion()), u"1, 0, 0, 0");
    kernel::SetProgramDevicePath(u"\\ferrovane.exe");
    EXPECT_EQ(std::u16string(CAbout::GetFileVersion()), u"1, 0, 0, 0");
    kernel::SetProgramDevicePath(u"\\" + std::u16string(100, u'p') + u"\\ferrovane.exe");
    EXPECT_EQ(std::u16string(CAbout::GetFileVersion()), u"");
}

} // namespace
