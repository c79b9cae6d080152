// The program's message box on the installed skin: the buttons each kind shows and the answer each gives,
// the text, the place it goes back to after a settings change, and a box whose skin is missing.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "MessageBox.h"
#include "Resource.h"
#include "SkinSupport.h"
#include "classlib/Geometry.h"
#include "user/TestSurface.h"

namespace {

using user::test::ModalInfo;
using user::test::ModalKind;

constexpr char16_t kQuestion[] = u"WARNING:\nAll containers will be\n unmounted.\n Do you wnat to proceed?";
constexpr char16_t kNotice[] = u"\nContainer mounted\n successfully";

class MessageBoxTest : public apptest::InstalledSkinTest {
protected:
    // Shows the box; the action answers it from inside its loop.
    static BOOL Show(LPCWSTR text, BOOL yesNo, const std::function<void(HWND)>& action) {
        user::test::OnNextModal(ModalKind::Dialog, u"", [&](const ModalInfo& info) { action(info.window); });
        return ShowMessage(nullptr, text, yesNo);
    }
    static bool Visible(HWND box, int id) {
        HWND control = GetDlgItem(box, id);
        return control != nullptr && IsWindowVisible(control);
    }
};

TEST_F(MessageBoxTest, EachButtonGivesItsAnswer) {
    InstallSkin();
    struct Case {
        const char* name;
        BOOL yesNo;
        int button;
        BOOL answer;
    };
    const Case cases[] = {
        {"notice_ok", FALSE, IDC_MESSAGE_OK, TRUE},         {"notice_badge", FALSE, IDC_MESSAGE_ACCEPT, TRUE},
        {"question_yes", TRUE, IDC_MESSAGE_YES, TRUE},      {"question_no", TRUE, IDC_MESSAGE_NO, FALSE},
        {"question_badge", TRUE, IDC_MESSAGE_ACCEPT, TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LPCWSTR text = c.yesNo ? kQuestion : kNotice;
        std::u16string shown;
        const BOOL answer = Show(text, c.yesNo, [&](HWND box) {
            shown = user::test::Text(GetDlgItem(box, IDC_MESSAGE_TEXT));
            EXPECT_TRUE(Visible(box, IDC_MESSAGE_ACCEPT));
            EXPECT_TRUE(Visible(box, IDC_MESSAGE_TEXT));
            EXPECT_EQ(Visible(box, IDC_MESSAGE_OK), !c.yesNo);
            EXPECT_EQ(Visible(box, IDC_MESSAGE_YES), !!c.yesNo);
            EXPECT_EQ(Visible(box, IDC_MESSAGE_NO), !!c.yesNo);
            if (c.button == IDC_MESSAGE_ACCEPT)
                SaveReviewShot(c.yesNo ? "messagebox_question" : "messagebox_notice");
            ASSERT_TRUE(user::test::TapControl(box, c.button));
            user::test::RunUntilIdle();
        });
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(shown, text);
    }
}

TEST_F(MessageBoxTest, ASettingsChangePutsTheBoxBack) {
    InstallSkin();
    EXPECT_FALSE(Show(kNotice, FALSE, [](HWND box) {
        const RECT placed = user::test::ScreenRect(box);
        SetWindowPos(box, nullptr, 0, 0, 60, 40, SWP_NOZORDER);
        SendMessageW(box, WM_SETTINGCHANGE, 0, 0);
        EXPECT_TRUE(CRect(user::test::ScreenRect(box)) == placed);
        user::test::PressKey(VK_ESCAPE);
        user::test::RunUntilIdle();
    }));
}

TEST_F(MessageBoxTest, WithoutItsSkinTheKeysEndTheBox) {
    struct Case {
        UINT key;
        BOOL answer;
    };
    for (const Case c : {Case{VK_RETURN, TRUE}, Case{VK_ESCAPE, FALSE}}) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(Show(kNotice, TRUE,
                       [&](HWND box) {
                           EXPECT_EQ(GetWindow(box, GW_CHILD), nullptr);
                           user::test::PressKey(c.key);
                           user::test::RunUntilIdle();
                       }),
                  c.answer);
    }
}

} // namespace
