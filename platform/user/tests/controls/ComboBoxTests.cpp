// Combo boxes: the drop-down list chosen by tap, by a drag from the field and by keys with the
// notifications in order, closing it without a choice, the editable field, the CB_ messages with good
// and bad arguments, and the geometry of the field and the list.

#include "ControlTest.h"

namespace {

using controls_test::Notification;

constexpr int kFirst = 70;
constexpr int kCombo = 71;

class ComboBoxTest : public controls_test::ControlTest {
protected:
    HWND MakeCombo(DWORD type, std::initializer_list<const char16_t*> texts, short y = 20, short cy = 60) {
        const user::DialogItem items[] = {
            {user::kButtonClass, u"First", kFirst, 4, 4, 40, 12, WS_TABSTOP},
            {user::kComboBoxClass, nullptr, kCombo, 4, y, 80, cy, static_cast<DWORD>(WS_TABSTOP | WS_VSCROLL | type)}};
        MakeDialog(items, 150, 200);
        HWND combo = Item(kCombo);
        for (const char16_t* text : texts)
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        user::test::RunUntilIdle();
        TakeNotifications();
        return combo;
    }

    static HWND DroppedList() { return FindWindowW(u"ComboLBox", nullptr); }

    static bool Dropped(HWND combo) { return SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }

    static POINT ItemCentre(HWND list, int index) {
        RECT r{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
};

TEST_F(ComboBoxTest, DropDownListIsChosenFromByTap) {
    HWND combo = MakeCombo(CBS_DROPDOWNLIST, {u"one", u"two", u"three"});
    TapAt(combo, POINT{10, 5});
    ASSERT_TRUE(Dropped(combo));
    HWND list = DroppedList();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(GetFocus(), combo);
    RECT field = user::test::ScreenRect(combo);
    RECT dropped = user::test::ScreenRect(list);
    EXPECT_EQ(dropped.top, field.bottom);
    EXPECT_EQ(dropped.left, field.left);
    EXPECT_EQ(dropped.right, field.right);

    TapAt(list, ItemCentre(list, 2));
    EXPECT_FALSE(Dropped(combo));
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(TextOf(combo), u"three");
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kCombo, CBN_SETFOCUS},
                                                              {kCombo, CBN_DROPDOWN},
                                                              {kCombo, CBN_CLOSEUP},
                                                              {kCombo, CBN_SELCHANGE}}));
    // Choosing the selected item again closes the list without CBN_SELCHANGE.
    TapAt(combo, POINT{10, 5});
    TapAt(DroppedList(), ItemCentre(DroppedList(), 2));
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kCombo, CBN_DROPDOWN}, {kCombo, CBN_CLOSEUP}}));
}

TEST_F(ComboBoxTest, DragFromTheFieldIntoTheListChoosesWhereTheStylusIsLifted) {
    HWND combo = MakeCombo(CBS_DROPDOWNLIST, {u"one", u"two", u"three"});
    RECT field = user::test::ScreenRect(combo);
    POINT press{field.left + 10, (field.top + field.bottom) / 2};
    user::test::StylusDown(press);
    user::test::RunUntilIdle();
    HWND list = DroppedList();
    ASSERT_TRUE(Dropped(combo));
    POINT over = ItemCentre(list, 1);
    ClientToScreen(list, &over);
    user::test::StylusMove(over);
    user::test::StylusUp(over);
    user::test::RunUntilIdle();
    EXPECT_FALSE(Dropped(combo));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
}

TEST_F(ComboBoxTest, KeysChangeTheSelectionDropTheListChooseAndCancel) {
    HWND combo = MakeCombo(CBS_DROPDOWNLIST, {u"one", u"two", u"three", u"four"});
    SetFocus(combo);
    TakeNotifications();
    Press(VK_DOWN);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kCombo, CBN_SELCHANGE}}));

    Press(0x73); // F4
    ASSERT_TRUE(Dropped(combo));
    Press(VK_DOWN);
    Press(VK_DOWN);
    // The highlight moves; the selection changes when the list closes.
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    Press(VK_RETURN, u'\r');
    EXPECT_FALSE(Dropped(combo));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kCombo, CBN_DROPDOWN},
                                                              {kCombo, CBN_CLOSEUP},
                                                              {kCombo, CBN_SELCHANGE}}));

    user::test::KeyDown(VK_MENU);
    Press(VK_DOWN);
    user::test::KeyUp(VK_MENU);
    ASSERT_TRUE(Dropped(combo));
    Press(VK_UP);
    Press(VK_ESCAPE);
    EXPECT_FALSE(Dropped(combo));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kCombo, CBN_DROPDOWN}, {kCombo, CBN_CLOSEUP}}));
    // Typing a letter selects the next item that starts with it.
    Type(u"f");
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 3);
    // Closed, the combo box leaves Enter to the dialog.
    MSG enter{combo, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_EQ(SendMessageW(combo, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) & DLGC_WANTMESSAGE, 0);
}

TEST_F(ComboBoxTest, TapOutsideTheListClosesItWithoutAChoiceAndIsNotPassedOn) {
    HWND combo = MakeCombo(CBS_DROPDOWNLIST, {u"one", u"two"});
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    user::test::RunUntilIdle();
    ASSERT_TRUE(Dropped(combo));
    TapAt(Item(kFirst), POINT{5, 5});
    EXPECT_FALSE(Dropped(combo));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kCombo, CBN_DROPDOWN}, {kCombo, CBN_CLOSEUP}}));
    // A tap on the field while the list is down closes it too.
    TapAt(combo, POINT{10, 5});
    ASSERT_TRUE(Dropped(combo));
    TapAt(combo, POINT{10, 5});
    EXPECT_FALSE(Dropped(combo));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ComboBoxTest, DropDownHasAnEditableFieldThatFollowsTheChoice) {
    HWND combo = MakeCombo(CBS_DROPDOWN | CBS_AUTOHSCROLL, {u"*.fvc", u"*.*"});
    HWND edit = GetDlgItem(combo, 1001);
    ASSERT_NE(edit, nullptr);
    SetFocus(combo);
    EXPECT_EQ(GetFocus(), edit);
    TakeNotifications();
    Type(u"ab");
    EXPECT_EQ(TextOf(combo), u"ab");
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kCombo, CBN_EDITUPDATE},
                                                              {kCombo, CBN_EDITCHANGE},
                                                              {kCombo, CBN_EDITUPDATE},
                                                              {kCombo, CBN_EDITCHANGE}}));
    // A tap on the field's text does not drop the list; one on the button does.
    TapAt(edit, POINT{3, 3});
    EXPECT_FALSE(Dropped(combo));
    RECT client;
    GetClientRect(combo, &client);
    TapAt(combo, POINT{client.right - 4, client.bottom / 2});
    ASSERT_TRUE(Dropped(combo));
    TapAt(DroppedList(), ItemCentre(DroppedList(), 1));
    EXPECT_EQ(TextOf(combo), u"*.*");
    EXPECT_EQ(TextOf(edit), u"*.*");
    // The arrows in the field change the selection.
    Press(VK_UP);
    EXPECT_EQ(TextOf(combo), u"*.fvc");
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{5}));
    std::vector<Notification> notes = TakeNotifications();
    EXPECT_EQ(std::count(notes.begin(), notes.end(), Notification{kCombo, CBN_SELCHANGE}), 2);
    EXPECT_EQ(std::count(notes.begin(), notes.end(), Notification{kCombo, CBN_EDITCHANGE}), 0);
}

struct ComboMessageCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
    // CB_GETCURSEL afterwards (the selection starts at 1).
    LRESULT selection;
};

void PrintTo(const ComboMessageCase& c, std::ostream* out) {
    *out << c.name;
}

class ComboMessageTest : public ComboBoxTest, public ::testing::WithParamInterface<ComboMessageCase> {};

WCHAR g_text[32];

TEST_P(ComboMessageTest, AnswersAsThePlatformDoes) {
    const ComboMessageCase& c = GetParam();
    HWND combo = MakeCombo(CBS_DROPDOWNLIST, {u"alpha", u"beta", u"gamma"});
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    SendMessageW(combo, CB_SETITEMDATA, 2, 77);
    EXPECT_EQ(SendMessageW(combo, c.message, c.wParam, c.lParam), c.result);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), c.selection);
    EXPECT_TRUE(TakeNotifications().empty());
}

constexpr WPARAM kMinusOne = static_cast<WPARAM>(-1);

INSTANTIATE_TEST_SUITE_P(
    Messages, ComboMessageTest,
    ::testing::Values(
        ComboMessageCase{"Count", CB_GETCOUNT, 0, 0, 3, 1},
        ComboMessageCase{"Add", CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"delta"), 3, 1},
        ComboMessageCase{"AddWithoutText", CB_ADDSTRING, 0, 0, CB_ERR, 1},
        ComboMessageCase{"InsertBeforeTheSelection", CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(u"x"), 0, 2},
        ComboMessageCase{"InsertPastTheEnd", CB_INSERTSTRING, 4, reinterpret_cast<LPARAM>(u"x"), CB_ERR, 1},
        ComboMessageCase{"DeleteTheSelection", CB_DELETESTRING, 1, 0, 2, CB_ERR},
        ComboMessageCase{"DeleteABadIndex", CB_DELETESTRING, 3, 0, CB_ERR, 1},
        ComboMessageCase{"Select", CB_SETCURSEL, 2, 0, 2, 2},
        ComboMessageCase{"SelectABadIndexClears", CB_SETCURSEL, 3, 0, CB_ERR, CB_ERR},
        ComboMessageCase{"SelectMinusOneClears", CB_SETCURSEL, kMinusOne, 0, CB_ERR, CB_ERR},
        ComboMessageCase{"ItemText", CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(g_text), 5, 1},
        ComboMessageCase{"ItemTextOfABadIndex", CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(g_text), CB_ERR, 1},
        ComboMessageCase{"ItemTextWithoutABuffer", CB_GETLBTEXT, 0, 0, CB_ERR, 1},
        ComboMessageCase{"ItemTextLength", CB_GETLBTEXTLEN, 0, 0, 5, 1},
        ComboMessageCase{"ItemTextLengthOfABadIndex", CB_GETLBTEXTLEN, kMinusOne, 0, CB_ERR, 1},
        ComboMessageCase{"ItemData", CB_GETITEMDATA, 2, 0, 77, 1},
        ComboMessageCase{"ItemDataOfABadIndex", CB_GETITEMDATA, 9, 0, CB_ERR, 1},
        ComboMessageCase{"SetItemDataOfABadIndex", CB_SETITEMDATA, 9, 1, CB_ERR, 1},
        ComboMessageCase{"FindAPrefix", CB_FINDSTRING, kMinusOne, reinterpret_cast<LPARAM>(u"GA"), 2, 1},
        ComboMessageCase{"FindExact", CB_FINDSTRINGEXACT, kMinusOne, reinterpret_cast<LPARAM>(u"beta"), 1, 1},
        ComboMessageCase{"FindWithoutText", CB_FINDSTRINGEXACT, kMinusOne, 0, CB_ERR, 1},
        ComboMessageCase{"ResetContent", CB_RESETCONTENT, 0, 0, CB_OKAY, CB_ERR},
        ComboMessageCase{"LimitTextNeedsAnEditableField", CB_LIMITTEXT, 10, 0, CB_ERR, 1},
        ComboMessageCase{"SetTextSelectsTheItem", WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"GAMMA"), TRUE, 2},
        ComboMessageCase{"SetTextOfNoItem", WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"omega"), CB_ERR, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComboBoxTest, FieldKeepsItsHeightAndTheRestBoundsTheList) {
    std::initializer_list<const char16_t*> many = {u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9",
                                                   u"10", u"11", u"12", u"13", u"14", u"15"};
    HWND combo = MakeCombo(CBS_DROPDOWNLIST, many, 20, 80);
    RECT field = user::test::ScreenRect(combo);
    RECT dialogUnits{0, 0, 0, 80};
    MapDialogRect(m_dialog, &dialogUnits);
    int fieldHeight = field.bottom - field.top;
    EXPECT_LT(fieldHeight, dialogUnits.bottom / 2);
    // A taller SetWindowPos keeps the field and makes a taller list.
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    HWND list = DroppedList();
    RECT dropped = user::test::ScreenRect(list);
    int itemHeight = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    EXPECT_LE(dropped.bottom - dropped.top, dialogUnits.bottom - fieldHeight);
    EXPECT_EQ((dropped.bottom - dropped.top - 2) % itemHeight, 0);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(list, SB_VERT, &info));
    EXPECT_EQ(info.nMax, 15);
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    SetWindowPos(combo, nullptr, 0, 0, 100, fieldHeight + 4 * itemHeight + 2, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(user::test::ScreenRect(combo).bottom - user::test::ScreenRect(combo).top, fieldHeight);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    dropped = user::test::ScreenRect(list);
    EXPECT_EQ(dropped.bottom - dropped.top, 4 * itemHeight + 2);
    // Moving the combo box closes its list.
    SetWindowPos(combo, nullptr, 10, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_FALSE(Dropped(combo));
    // A short list is only as tall as its items.
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"only"));
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    dropped = user::test::ScreenRect(list);
    EXPECT_EQ(dropped.bottom - dropped.top, itemHeight + 2);
}

TEST_F(ComboBoxTest, ListDropsUpwardsWhenThereIsNoRoomBelow) {
    HWND combo = MakeCombo(CBS_DROPDOWNLIST, {u"a", u"b", u"c"}, 170, 60);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    RECT field = user::test::ScreenRect(combo);
    RECT dropped = user::test::ScreenRect(DroppedList());
    ASSERT_GT(field.bottom + (dropped.bottom - dropped.top), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(dropped.bottom, field.top);
}

TEST_F(ComboBoxTest, DestroyingTheComboBoxDestroysItsList) {
    HWND combo = MakeCombo(CBS_DROPDOWNLIST, {u"a"});
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    HWND list = DroppedList();
    ASSERT_NE(list, nullptr);
    DestroyWindow(m_dialog);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(GetCapture(), nullptr);
}

} // namespace
