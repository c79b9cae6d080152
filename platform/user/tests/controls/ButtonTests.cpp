// Buttons: clicks by tap, space, Enter and BM_CLICK with BN_CLICKED, the automatic check boxes and radio
// groups, the pressed look, and what a disabled button or a handler that destroys the dialog does.

#include "ControlTest.h"

namespace {

using controls_test::Notification;

class ButtonTest : public controls_test::ControlTest {};

struct ToggleCase {
    const char* name;
    DWORD type;
    // BM_GETCHECK after each of three clicks.
    UINT afterClicks[3];
};

void PrintTo(const ToggleCase& c, std::ostream* out) {
    *out << c.name;
}

class ButtonToggleTest : public ButtonTest, public ::testing::WithParamInterface<ToggleCase> {};

TEST_P(ButtonToggleTest, TapSpaceAndMessageEachClickOnce) {
    const ToggleCase& c = GetParam();
    const user::DialogItem items[] = {{user::kButtonClass, u"Option", 100, 5, 5, 60, 12, static_cast<DWORD>(WS_TABSTOP | c.type)}};
    MakeDialog(items);
    HWND box = Item(100);
    ASSERT_EQ(GetFocus(), box);

    TapAt(box, POINT{5, 5});
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(c.afterClicks[0]));
    Press(VK_SPACE, u' ');
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(c.afterClicks[1]));
    SendMessageW(box, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(c.afterClicks[2]));
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>(3, {100, BN_CLICKED})));
}

INSTANTIATE_TEST_SUITE_P(Types, ButtonToggleTest,
                         ::testing::Values(ToggleCase{"AutoCheckBox", BS_AUTOCHECKBOX, {1, 0, 1}},
                                           ToggleCase{"AutoThreeState", BS_AUTO3STATE, {1, 2, 0}},
                                           ToggleCase{"PlainCheckBox", BS_CHECKBOX, {0, 0, 0}},
                                           ToggleCase{"PushButton", BS_PUSHBUTTON, {0, 0, 0}},
                                           ToggleCase{"AutoRadioButton", BS_AUTORADIOBUTTON, {1, 1, 1}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ButtonTest, AutoRadioButtonsKeepOneCheckedPerGroup) {
    const user::DialogItem items[] = {
        {user::kButtonClass, u"A", 1, 5, 5, 50, 12, WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON},
        {user::kButtonClass, u"B", 2, 5, 20, 50, 12, BS_AUTORADIOBUTTON},
        {user::kButtonClass, u"C", 3, 5, 35, 50, 12, BS_AUTORADIOBUTTON},
        {user::kButtonClass, u"X", 4, 70, 5, 50, 12, WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON},
        {user::kButtonClass, u"Y", 5, 70, 20, 50, 12, BS_AUTORADIOBUTTON}};
    MakeDialog(items);
    auto checked = [&] {
        std::vector<int> ids;
        for (int id = 1; id <= 5; ++id)
            if (IsDlgButtonChecked(m_dialog, id) == BST_CHECKED)
                ids.push_back(id);
        return ids;
    };
    TapAt(Item(4), POINT{3, 3});
    TapAt(Item(2), POINT{3, 3});
    EXPECT_EQ(checked(), (std::vector<int>{2, 4}));
    TapAt(Item(3), POINT{3, 3});
    EXPECT_EQ(checked(), (std::vector<int>{3, 4}));
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{4, BN_CLICKED}, {2, BN_CLICKED}, {3, BN_CLICKED}}));

    // The arrows move within the group, clicking each radio button they reach, and wrap at its end.
    ASSERT_EQ(GetFocus(), Item(3));
    Press(VK_DOWN);
    EXPECT_EQ(GetFocus(), Item(1));
    EXPECT_EQ(checked(), (std::vector<int>{1, 4}));
    Press(VK_UP);
    EXPECT_EQ(checked(), (std::vector<int>{3, 4}));
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{1, BN_CLICKED}, {3, BN_CLICKED}}));
}

TEST_F(ButtonTest, PlainRadioButtonsLeaveTheCheckToTheParent) {
    const user::DialogItem items[] = {{user::kButtonClass, u"Kb", 1105, 5, 5, 30, 12, BS_RADIOBUTTON},
                                      {user::kButtonClass, u"Mb", 1106, 40, 5, 30, 12, BS_RADIOBUTTON}};
    MakeDialog(items);
    CheckRadioButton(m_dialog, 1105, 1106, 1105);
    TapAt(Item(1106), POINT{3, 3});
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{1106, BN_CLICKED}}));
    EXPECT_EQ(IsDlgButtonChecked(m_dialog, 1105), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(m_dialog, 1106), static_cast<UINT>(BST_UNCHECKED));
    CheckRadioButton(m_dialog, 1105, 1106, 1106);
    EXPECT_EQ(IsDlgButtonChecked(m_dialog, 1105), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(m_dialog, 1106), static_cast<UINT>(BST_CHECKED));
}

TEST_F(ButtonTest, PushButtonLooksPressedWhileHeldAndClicksOnlyWhenReleasedOverIt) {
    const user::DialogItem items[] = {{user::kButtonClass, u"Go", 7, 10, 10, 60, 20, WS_TABSTOP}};
    MakeDialog(items);
    HWND button = Item(7);
    RECT r = user::test::ScreenRect(button);
    POINT inside{r.left + 4, r.top + 4};
    EXPECT_EQ(user::test::WindowPixel(button, 5, 5), controls_test::SystemOnScreen(COLOR_WINDOW));
    EXPECT_EQ(user::test::WindowPixel(button, 0, 0), controls_test::SystemOnScreen(COLOR_WINDOWFRAME));

    user::test::StylusDown(inside);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::WindowPixel(button, 5, 5), controls_test::SystemOnScreen(COLOR_BTNTEXT));
    EXPECT_TRUE(SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED);
    // Sliding off the button lifts it; lifting the stylus there does not click.
    user::test::StylusMove(POINT{r.right + 20, r.bottom + 20});
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::WindowPixel(button, 5, 5), controls_test::SystemOnScreen(COLOR_WINDOW));
    user::test::StylusUp(POINT{r.right + 20, r.bottom + 20});
    user::test::RunUntilIdle();
    EXPECT_TRUE(TakeNotifications().empty());

    user::test::AdvanceTime(1000);
    TapAt(button, POINT{5, 5});
    // Enter on a focused push button clicks it too.
    Press(VK_RETURN, u'\r');
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{7, BN_CLICKED}, {7, BN_CLICKED}}));
    EXPECT_EQ(SendMessageW(button, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
}

TEST_F(ButtonTest, DefaultPushButtonHasAHeavierFrameAndTakesEnterFromOtherControls) {
    const user::DialogItem items[] = {{user::kEditClass, u"", 20, 5, 5, 60, 12, WS_TABSTOP | WS_BORDER},
                                      {user::kButtonClass, u"OK", IDOK, 5, 25, 50, 14, WS_TABSTOP | BS_DEFPUSHBUTTON},
                                      {user::kButtonClass, u"Cancel", IDCANCEL, 60, 25, 50, 14, WS_TABSTOP}};
    MakeDialog(items);
    EXPECT_EQ(user::test::WindowPixel(Item(IDOK), 1, 1), controls_test::SystemOnScreen(COLOR_WINDOWFRAME));
    EXPECT_EQ(user::test::WindowPixel(Item(IDCANCEL), 1, 1), controls_test::SystemOnScreen(COLOR_WINDOW));
    EXPECT_EQ(SendMessageW(Item(IDOK), WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
    ASSERT_EQ(GetFocus(), Item(20));
    Press(VK_RETURN, u'\r');
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{IDOK, BN_CLICKED}}));
    EXPECT_EQ(TextOf(Item(20)), u"");
}

TEST_F(ButtonTest, DisabledButtonIgnoresTapsKeysAndClicks) {
    const user::DialogItem items[] = {
        {user::kButtonClass, u"Off", 9, 5, 5, 60, 12, WS_TABSTOP | WS_DISABLED | BS_AUTOCHECKBOX}};
    MakeDialog(items);
    HWND box = Item(9);
    TapAt(box, POINT{3, 3});
    SendMessageW(box, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(TakeNotifications().empty());
}

TEST_F(ButtonTest, CheckStatesAreClampedToTheButtonType) {
    const user::DialogItem items[] = {{user::kButtonClass, u"Two", 1, 5, 5, 60, 12, BS_AUTOCHECKBOX},
                                      {user::kButtonClass, u"Three", 2, 5, 20, 60, 12, BS_3STATE},
                                      {user::kButtonClass, u"Push", 3, 5, 35, 60, 12, BS_PUSHBUTTON}};
    MakeDialog(items);
    SendMessageW(Item(1), BM_SETCHECK, BST_INDETERMINATE, 0);
    SendMessageW(Item(2), BM_SETCHECK, BST_INDETERMINATE, 0);
    SendMessageW(Item(3), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageW(Item(1), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Item(2), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    EXPECT_EQ(SendMessageW(Item(3), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // The check colours come from the parent: check boxes ask with WM_CTLCOLORSTATIC.
    user::test::RunUntilIdle();
    bool asked = false;
    for (auto& [message, control] : ColorRequests())
        asked = asked || (message == WM_CTLCOLORSTATIC && control == Item(2));
    EXPECT_TRUE(asked);
}

TEST_F(ButtonTest, HandlerThatDestroysTheDialogOnClickIsSafe) {
    const user::DialogItem items[] = {{user::kButtonClass, u"Close", 5, 5, 5, 60, 14, WS_TABSTOP | BS_AUTOCHECKBOX}};
    MakeDialog(items);
    Handler() = [](HWND dialog, UINT message, WPARAM wParam, LPARAM, INT_PTR&) {
        if (message == WM_COMMAND && LOWORD(wParam) == 5)
            DestroyWindow(dialog);
        return false;
    };
    HWND dialog = m_dialog;
    TapAt(Item(5), POINT{3, 3});
    EXPECT_FALSE(IsWindow(dialog));
}

} // namespace
