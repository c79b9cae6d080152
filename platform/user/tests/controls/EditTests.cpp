// Edits: typing, keys and messages on a table of cases, the notifications, password masking, number-only
// and read-only edits, the limit, scrolling of long text, the stylus, and bad input.

#include "ControlTest.h"

namespace {

using controls_test::Notification;
using controls_test::SystemOnScreen;

constexpr int kEdit = 50;
constexpr int kOther = 51;

class EditTest : public controls_test::ControlTest {
protected:
    // A dialog with the edit and a button to take the focus away.
    HWND MakeEdit(DWORD style, const char16_t* text = u"", short cx = 120, short cy = 12) {
        const user::DialogItem items[] = {
            {user::kEditClass, text, kEdit, 4, 4, cx, cy, static_cast<DWORD>(WS_BORDER | WS_TABSTOP | style)},
            {user::kButtonClass, u"Other", kOther, 4, static_cast<short>(cy + 10), 40, 12, WS_TABSTOP}};
        MakeDialog(items);
        return Item(kEdit);
    }
};

struct Step {
    enum Kind { Type, Key, ShiftKey, Replace, SetSel } kind;
    UINT key = 0;
    const char16_t* text = nullptr;
    int anchor = 0;
    int caret = 0;
};

Step TypeStep(const char16_t* text) {
    return Step{Step::Type, 0, text};
}
Step KeyStep(UINT key) {
    return Step{Step::Key, key};
}
Step ShiftStep(UINT key) {
    return Step{Step::ShiftKey, key};
}
Step ReplaceStep(const char16_t* text) {
    return Step{Step::Replace, 0, text};
}
Step SetSelStep(int anchor, int caret) {
    return Step{Step::SetSel, 0, nullptr, anchor, caret};
}

struct EditCase {
    const char* name;
    DWORD style;
    const char16_t* text;
    int anchor;
    int caret;
    std::vector<Step> steps;
    const char16_t* expected;
    DWORD selStart;
    DWORD selEnd;
};

void PrintTo(const EditCase& c, std::ostream* out) {
    *out << c.name;
}

class EditCaseTest : public EditTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(EditCaseTest, GivesTextAndSelection) {
    const EditCase& c = GetParam();
    HWND edit = MakeEdit(c.style, c.text, 120, (c.style & ES_MULTILINE) ? 40 : 12);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(c.anchor), c.caret);
    for (const Step& step : c.steps) {
        switch (step.kind) {
        case Step::Type:
            Type(step.text);
            break;
        case Step::Key:
            Press(step.key);
            break;
        case Step::ShiftKey:
            ShiftPress(step.key);
            break;
        case Step::Replace:
            SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(step.text));
            break;
        case Step::SetSel:
            SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(step.anchor), step.caret);
            break;
        }
    }
    EXPECT_EQ(TextOf(edit), std::u16string(c.expected));
    EXPECT_EQ(Selection(edit), std::make_pair(c.selStart, c.selEnd));
}

constexpr DWORD kSingle = ES_AUTOHSCROLL;
constexpr DWORD kMulti = ES_MULTILINE | ES_AUTOVSCROLL;

INSTANTIATE_TEST_SUITE_P(
    Cases, EditCaseTest,
    ::testing::Values(
        EditCase{"TypingInserts", kSingle, u"ac", 1, 1, {TypeStep(u"b")}, u"abc", 2, 2},
        EditCase{"TypingReplacesTheSelection", kSingle, u"hello", 0, 5, {TypeStep(u"hi")}, u"hi", 2, 2},
        EditCase{"BackspaceAtTheEnd", kSingle, u"abc", 3, 3, {KeyStep(VK_BACK)}, u"ab", 2, 2},
        EditCase{"BackspaceAtTheStartDoesNothing", kSingle, u"abc", 0, 0, {KeyStep(VK_BACK)}, u"abc", 0, 0},
        EditCase{"BackspaceDeletesTheSelection", kSingle, u"abcdef", 1, 4, {KeyStep(VK_BACK)}, u"aef", 1, 1},
        EditCase{"DeleteTakesTheNextCharacter", kSingle, u"abc", 1, 1, {KeyStep(VK_DELETE)}, u"ac", 1, 1},
        EditCase{"DeleteAtTheEndDoesNothing", kSingle, u"abc", 3, 3, {KeyStep(VK_DELETE)}, u"abc", 3, 3},
        EditCase{"LeftCollapsesToTheStart", kSingle, u"abcd", 1, 3, {KeyStep(VK_LEFT)}, u"abcd", 1, 1},
        EditCase{"RightCollapsesToTheEnd", kSingle, u"abcd", 1, 3, {KeyStep(VK_RIGHT)}, u"abcd", 3, 3},
        EditCase{"ShiftLeftExtends", kSingle, u"abcd", 4, 4, {ShiftStep(VK_LEFT), ShiftStep(VK_LEFT)}, u"abcd", 2, 4},
        EditCase{"HomeAndEnd", kSingle, u"abcd", 2, 2, {KeyStep(VK_HOME), TypeStep(u"<"), KeyStep(VK_END),
                                                         TypeStep(u">")},
                 u"<abcd>", 6, 6},
        EditCase{"ShiftHomeSelectsToTheStart", kSingle, u"abcd", 3, 3, {ShiftStep(VK_HOME)}, u"abcd", 0, 3},
        EditCase{"UpAndDownMoveLikeLeftAndRightInOneLine", kSingle, u"abcd", 2, 2,
                 {KeyStep(VK_UP), KeyStep(VK_UP), KeyStep(VK_DOWN)}, u"abcd", 1, 1},
        EditCase{"ReplaceSelMessage", kSingle, u"hello world", 6, 11, {ReplaceStep(u"there")}, u"hello there", 11,
                 11},
        EditCase{"SetSelIsClampedAndOrdered", kSingle, u"abcdef", 8, 2, {}, u"abcdef", 2, 6},
        EditCase{"SetSelMinusOneToSelectAll", kSingle, u"abc", 0, -1, {}, u"abc", 0, 3},
        EditCase{"SetSelMinusOneAnchorDeselects", kSingle, u"abc", 0, 2, {SetSelStep(-1, 0)}, u"abc", 2, 2},
        EditCase{"ShiftMovesTheCaretEndOfAReversedSelection", kSingle, u"abcdef", 5, 2, {ShiftStep(VK_RIGHT)},
                 u"abcdef", 3, 5},
        EditCase{"BackspaceJoinsLines", kMulti, u"ab\r\ncd", 4, 4, {KeyStep(VK_BACK)}, u"abcd", 2, 2},
        EditCase{"DeleteJoinsLines", kMulti, u"ab\r\ncd", 2, 2, {KeyStep(VK_DELETE)}, u"abcd", 2, 2},
        EditCase{"RightStepsOverALineBreak", kMulti, u"ab\r\ncd", 2, 2, {KeyStep(VK_RIGHT)}, u"ab\r\ncd", 4, 4},
        EditCase{"SetSelNeverSplitsALineBreak", kMulti, u"ab\r\ncd", 3, 3, {}, u"ab\r\ncd", 2, 2},
        EditCase{"DownKeepsTheColumn", kMulti, u"abc\r\nabc", 2, 2, {KeyStep(VK_DOWN)}, u"abc\r\nabc", 7, 7},
        EditCase{"DownOnTheLastLineStays", kMulti, u"ab\r\ncd", 5, 5, {KeyStep(VK_DOWN)}, u"ab\r\ncd", 5, 5},
        EditCase{"UpOnTheFirstLineStays", kMulti, u"ab\r\ncd", 1, 1, {KeyStep(VK_UP)}, u"ab\r\ncd", 1, 1},
        EditCase{"HomeAndEndOfALine", kMulti, u"ab\r\ncd\r\nef", 5, 5, {KeyStep(VK_HOME), ShiftStep(VK_END)},
                 u"ab\r\ncd\r\nef", 4, 6},
        EditCase{"EnterWithWantReturnBreaksTheLine", kMulti | ES_WANTRETURN, u"ab", 1, 1, {KeyStep(VK_RETURN)},
                 u"a\r\nb", 3, 3},
        EditCase{"EnterWithoutWantReturnIsTheDialogs", kMulti, u"ab", 1, 1, {KeyStep(VK_RETURN)}, u"ab", 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditTest, ChangesNotifyUpdateThenChangeAndFocusIsReported) {
    HWND edit = MakeEdit(ES_AUTOHSCROLL);
    ASSERT_EQ(GetFocus(), edit);
    Type(u"ab");
    Press(VK_BACK);
    Press(VK_LEFT); // moving the caret changes nothing
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kEdit, EN_UPDATE},
                                                              {kEdit, EN_CHANGE},
                                                              {kEdit, EN_UPDATE},
                                                              {kEdit, EN_CHANGE},
                                                              {kEdit, EN_UPDATE},
                                                              {kEdit, EN_CHANGE}}));
    Press(VK_TAB);
    Press(VK_TAB);
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kEdit, EN_KILLFOCUS}, {kEdit, EN_SETFOCUS}}));
    SetWindowTextW(edit, u"set");
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kEdit, EN_UPDATE}, {kEdit, EN_CHANGE}}));
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{0}));
}

TEST_F(EditTest, SettingTheTextOfAMultiLineEditNotifiesNothing) {
    HWND edit = MakeEdit(ES_MULTILINE, u"", 120, 30);
    SetWindowTextW(edit, u"one\r\ntwo");
    EXPECT_TRUE(TakeNotifications().empty());
    EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 2);
}

TEST_F(EditTest, PasswordEditShowsOneMaskCharacterPerCharacter) {
    const user::DialogItem items[] = {
        {user::kEditClass, u"", 1, 4, 4, 80, 12, WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL},
        {user::kEditClass, u"***", 2, 4, 20, 80, 12, WS_BORDER | ES_AUTOHSCROLL},
        {user::kEditClass, u"###", 3, 4, 36, 80, 12, WS_BORDER | ES_AUTOHSCROLL},
        {user::kEditClass, u"wxy", 4, 4, 52, 80, 12, WS_BORDER | ES_AUTOHSCROLL},
        {user::kButtonClass, u"Focus", 5, 4, 70, 40, 12, WS_TABSTOP}};
    MakeDialog(items);
    HWND password = Item(1);
    SetFocus(password);
    Type(u"wxy");
    SetFocus(Item(5));
    user::test::RunUntilIdle();
    EXPECT_EQ(TextOf(password), u"wxy");
    EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), u'*');
    auto sameRows = [&](HWND a, HWND b) {
        RECT client;
        GetClientRect(a, &client);
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x)
                if (user::test::WindowPixel(a, x, y) != user::test::WindowPixel(b, x, y))
                    return false;
        return true;
    };
    EXPECT_TRUE(sameRows(password, Item(2)));
    SendMessageW(password, EM_SETPASSWORDCHAR, u'#', 0);
    user::test::RunUntilIdle();
    EXPECT_TRUE(sameRows(password, Item(3)));
    SendMessageW(password, EM_SETPASSWORDCHAR, 0, 0);
    user::test::RunUntilIdle();
    EXPECT_TRUE(sameRows(password, Item(4)));
    EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_FALSE(GetWindowLongW(password, GWL_STYLE) & ES_PASSWORD);
}

TEST_F(EditTest, NumberEditTakesOnlyTypedDigits) {
    HWND edit = MakeEdit(ES_NUMBER | ES_AUTOHSCROLL);
    Type(u"1a2 -3");
    EXPECT_EQ(TextOf(edit), u"123");
    // Programs may put anything there.
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"x"));
    EXPECT_EQ(TextOf(edit), u"123x");
}

TEST_F(EditTest, ReadOnlyEditRefusesTypingButKeepsTheCaretAndAsksForStaticColours) {
    HWND edit = MakeEdit(ES_READONLY | ES_AUTOHSCROLL, u"fixed");
    ASSERT_EQ(GetFocus(), edit);
    SendMessageW(edit, EM_SETSEL, 5, 5);
    Type(u"x");
    Press(VK_BACK);
    Press(VK_HOME);
    Press(VK_DELETE);
    EXPECT_EQ(TextOf(edit), u"fixed");
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{0}));
    EXPECT_TRUE(TakeNotifications().empty());
    auto askedWith = [&](UINT message) {
        return std::any_of(ColorRequests().begin(), ColorRequests().end(),
                           [&](const auto& request) { return request.first == message && request.second == edit; });
    };
    EXPECT_TRUE(askedWith(WM_CTLCOLORSTATIC));
    EXPECT_FALSE(askedWith(WM_CTLCOLOREDIT));

    EXPECT_EQ(SendMessageW(edit, EM_SETREADONLY, FALSE, 0), TRUE);
    Type(u">");
    EXPECT_EQ(TextOf(edit), u">fixed");
    EXPECT_TRUE(askedWith(WM_CTLCOLOREDIT));
}

TEST_F(EditTest, TheLimitCutsTypingAndReplacementsButNotSetText) {
    HWND edit = MakeEdit(ES_AUTOHSCROLL);
    SendMessageW(edit, EM_LIMITTEXT, 4, 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 4);
    Type(u"abcdef");
    EXPECT_EQ(TextOf(edit), u"abcd");
    std::vector<Notification> notes = TakeNotifications();
    EXPECT_EQ(std::count(notes.begin(), notes.end(), Notification{kEdit, EN_MAXTEXT}), 2);
    SendMessageW(edit, EM_SETSEL, 1, 2);
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"xyz"));
    EXPECT_EQ(TextOf(edit), u"axcd");
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kEdit, EN_UPDATE}, {kEdit, EN_CHANGE}, {kEdit, EN_MAXTEXT}}));
    SetWindowTextW(edit, u"longer than four");
    EXPECT_EQ(TextOf(edit), u"longer than four");
    // Deleting from a text over the limit still works; adding does not.
    SendMessageW(edit, EM_SETSEL, 16, 16);
    Press(VK_BACK);
    Type(u"r");
    EXPECT_EQ(TextOf(edit), u"longer than fou");
    SendMessageW(edit, EM_LIMITTEXT, 0, 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
}

TEST_F(EditTest, LongTextScrollsWithAutoHScrollAndIsRefusedWithout) {
    HWND scrolling = MakeEdit(ES_AUTOHSCROLL, u"", 40);
    Type(u"abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(TextOf(scrolling), u"abcdefghijklmnopqrstuvwxyz");
    LRESULT first = SendMessageW(scrolling, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_GT(first, 5);
    // The caret stays in view, near the right edge.
    RECT client;
    GetClientRect(scrolling, &client);
    std::vector<int> ink = ColumnsOf(scrolling, client.bottom / 2, SystemOnScreen(COLOR_WINDOWTEXT));
    ASSERT_FALSE(ink.empty());
    EXPECT_GT(ink.back(), client.right / 2);
    Press(VK_HOME);
    EXPECT_EQ(SendMessageW(scrolling, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    DestroyWindow(m_dialog);

    HWND fixed = MakeEdit(0, u"", 40);
    Type(u"abcdefghijklmnopqrstuvwxyz");
    std::u16string text = TextOf(fixed);
    EXPECT_LT(text.size(), 26u);
    EXPECT_GT(text.size(), 3u);
    EXPECT_EQ(SendMessageW(fixed, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    std::vector<Notification> notes = TakeNotifications();
    EXPECT_EQ(notes.back(), (Notification{kEdit, EN_MAXTEXT}));
}

TEST_F(EditTest, MultiLineEditWrapsCountsLinesAndScrollsToTheCaret) {
    HWND edit = MakeEdit(ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL, u"", 60, 30);
    SetWindowTextW(edit, u"one two three four five six seven eight nine ten");
    LRESULT wrapped = SendMessageW(edit, EM_GETLINECOUNT, 0, 0);
    EXPECT_GT(wrapped, 2);
    SetWindowTextW(edit, u"");
    EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 1);
    for (int i = 0; i < 8; ++i) {
        Type(u"line");
        Press(VK_RETURN);
    }
    EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 9);
    LRESULT first = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_GT(first, 3);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(edit, SB_VERT, &info));
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 8);
    EXPECT_EQ(info.nPos, first);
    EXPECT_EQ(static_cast<LRESULT>(info.nPos + static_cast<int>(info.nPage)), 9);
    Press(VK_PRIOR);
    Press(VK_PRIOR);
    Press(VK_PRIOR);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_EQ(Selection(edit).first, 0u);
}

TEST_F(EditTest, MultiLineEditWithoutAutoVScrollRefusesLinesThatDoNotFit) {
    HWND edit = MakeEdit(ES_MULTILINE | ES_WANTRETURN, u"", 60, 20);
    for (int i = 0; i < 6; ++i)
        Press(VK_RETURN);
    LRESULT lines = SendMessageW(edit, EM_GETLINECOUNT, 0, 0);
    EXPECT_GE(lines, 1);
    EXPECT_LT(lines, 6);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(EditTest, ScrollBarArrowScrollsAndRepeatsWhileHeld) {
    HWND edit = MakeEdit(ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, u"", 60, 30);
    std::u16string text;
    for (int i = 0; i < 30; ++i)
        text += u"line\r\n";
    SetWindowTextW(edit, text.c_str());
    user::test::RunUntilIdle();
    RECT client;
    GetClientRect(edit, &client);
    int barWidth = GetSystemMetrics(SM_CXVSCROLL);
    POINT down{client.right - barWidth / 2, client.bottom - barWidth / 2};
    TapAt(edit, down);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 1);
    // Held: one line at once, then one after 400 ms and one every 100 ms.
    POINT screen = down;
    ClientToScreen(edit, &screen);
    user::test::StylusDown(screen);
    user::test::RunUntilIdle();
    user::test::AdvanceTime(400 + 3 * 100);
    user::test::StylusUp(screen);
    user::test::RunUntilIdle();
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 1 + 1 + 4);
    // The up arrow's tap scrolls back.
    TapAt(edit, POINT{client.right - barWidth / 2, barWidth / 2});
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 5);
    // The caret did not move.
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{0}));
}

TEST_F(EditTest, TapsPlaceTheCaretAndDragsSelect) {
    HWND edit = MakeEdit(ES_AUTOHSCROLL, u"abcdef", 100);
    RECT client;
    GetClientRect(edit, &client);
    TapAt(edit, POINT{client.right - 3, client.bottom / 2});
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{6}, DWORD{6}));
    TapAt(edit, POINT{1, client.bottom / 2});
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{0}));
    POINT from{1, client.bottom / 2};
    POINT to{client.right - 3, client.bottom / 2};
    ClientToScreen(edit, &from);
    ClientToScreen(edit, &to);
    user::test::Drag(from, to);
    user::test::RunUntilIdle();
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{6}));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(EditTest, CaretIsASolidBarAndTheSelectionIsInverted) {
    HWND edit = MakeEdit(ES_AUTOHSCROLL, u"", 100);
    ASSERT_EQ(GetFocus(), edit);
    RECT client;
    GetClientRect(edit, &client);
    const COLORREF ink = SystemOnScreen(COLOR_WINDOWTEXT);
    // Empty: only the caret has ink, two pixels wide at the left margin.
    EXPECT_EQ(ColumnsOf(edit, client.bottom / 2, ink), (std::vector<int>{2, 3}));
    Type(u"mm");
    SendMessageW(edit, EM_SETSEL, 0, -1);
    user::test::RunUntilIdle();
    std::vector<int> selected = ColumnsOf(edit, 2, SystemOnScreen(COLOR_HIGHLIGHT));
    ASSERT_FALSE(selected.empty());
    EXPECT_EQ(selected.front(), 2);
    // Without the focus the selection is hidden.
    SetFocus(Item(kOther));
    user::test::RunUntilIdle();
    EXPECT_TRUE(ColumnsOf(edit, 2, SystemOnScreen(COLOR_HIGHLIGHT)).empty());
}

TEST_F(EditTest, BadArgumentsFailCleanly) {
    HWND edit = MakeEdit(ES_AUTOHSCROLL, u"abcdef");
    EXPECT_EQ(SendMessageW(edit, EM_REPLACESEL, TRUE, 0), 0);
    EXPECT_EQ(TextOf(edit), u"abcdef");
    WCHAR small[3] = {u'x', u'x', u'x'};
    EXPECT_EQ(SendMessageW(edit, WM_GETTEXT, 3, reinterpret_cast<LPARAM>(small)), 2);
    EXPECT_EQ(std::u16string(small), u"ab");
    WCHAR untouched[1] = {u'x'};
    EXPECT_EQ(SendMessageW(edit, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(untouched)), 0);
    EXPECT_EQ(untouched[0], u'x');
    EXPECT_EQ(SendMessageW(edit, WM_GETTEXT, 10, 0), 0);
    SendMessageW(edit, EM_SETSEL, 100, 200);
    EXPECT_EQ(SendMessageW(edit, EM_GETSEL, 0, 0), MAKELRESULT(6, 6));
    SendMessageW(edit, WM_SETTEXT, 0, 0);
    EXPECT_EQ(TextOf(edit), u"");
}

} // namespace
