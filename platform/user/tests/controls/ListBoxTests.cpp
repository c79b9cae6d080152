// List boxes: the LB_ messages on a table of good and bad arguments, taps, double taps and keys with
// their notifications, multiple and extended selection, the top index, item heights and scrolling.

#include "ControlTest.h"

namespace {

using controls_test::Notification;

constexpr int kList = 60;

class ListBoxTest : public controls_test::ControlTest {
protected:
    HWND MakeList(DWORD style, std::initializer_list<const char16_t*> texts, short cy = 50) {
        const user::DialogItem items[] = {
            {user::kListBoxClass, nullptr, kList, 4, 4, 80, cy, static_cast<DWORD>(WS_BORDER | WS_TABSTOP | style)},
            {user::kButtonClass, u"Other", 61, 90, 4, 40, 12, WS_TABSTOP}};
        MakeDialog(items);
        HWND list = Item(kList);
        for (const char16_t* text : texts)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        user::test::RunUntilIdle();
        TakeNotifications();
        return list;
    }

    // The centre of an item, in the list's client coordinates.
    static POINT ItemCentre(HWND list, int index) {
        RECT r{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    static std::vector<int> SelectedItems(HWND list) {
        int items[32];
        LRESULT count = SendMessageW(list, LB_GETSELITEMS, 32, reinterpret_cast<LPARAM>(items));
        return count < 0 ? std::vector<int>{} : std::vector<int>(items, items + count);
    }
};

struct MessageCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
};

void PrintTo(const MessageCase& c, std::ostream* out) {
    *out << c.name;
}

class ListBoxMessageTest : public ListBoxTest, public ::testing::WithParamInterface<MessageCase> {};

WCHAR g_buffer[64];
RECT g_rect;
int g_items[8];

TEST_P(ListBoxMessageTest, AnswersAsThePlatformDoes) {
    const MessageCase& c = GetParam();
    HWND list = MakeList(0, {u"zero", u"one", u"two"});
    SendMessageW(list, LB_SETITEMDATA, 1, 0x1234);
    EXPECT_EQ(SendMessageW(list, c.message, c.wParam, c.lParam), c.result);
}

constexpr WPARAM kMinusOne = static_cast<WPARAM>(-1);
LPARAM Text(const char16_t* text) {
    return reinterpret_cast<LPARAM>(text);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ListBoxMessageTest,
    ::testing::Values(
        MessageCase{"CountIsThree", LB_GETCOUNT, 0, 0, 3},
        MessageCase{"AddAppends", LB_ADDSTRING, 0, Text(u"three"), 3},
        MessageCase{"AddWithoutTextFails", LB_ADDSTRING, 0, 0, LB_ERR},
        MessageCase{"InsertAtTheEnd", LB_INSERTSTRING, 3, Text(u"x"), 3},
        MessageCase{"InsertMinusOneAppends", LB_INSERTSTRING, kMinusOne, Text(u"x"), 3},
        MessageCase{"InsertPastTheEndFails", LB_INSERTSTRING, 4, Text(u"x"), LB_ERR},
        MessageCase{"InsertWithoutTextFails", LB_INSERTSTRING, 0, 0, LB_ERR},
        MessageCase{"DeleteAnswersTheCount", LB_DELETESTRING, 0, 0, 2},
        MessageCase{"DeletePastTheEndFails", LB_DELETESTRING, 3, 0, LB_ERR},
        MessageCase{"DeleteMinusOneFails", LB_DELETESTRING, kMinusOne, 0, LB_ERR},
        MessageCase{"TextLength", LB_GETTEXTLEN, 2, 0, 3},
        MessageCase{"TextLengthOfABadIndex", LB_GETTEXTLEN, 3, 0, LB_ERR},
        MessageCase{"TextIntoABuffer", LB_GETTEXT, 0, reinterpret_cast<LPARAM>(g_buffer), 4},
        MessageCase{"TextOfABadIndex", LB_GETTEXT, 5, reinterpret_cast<LPARAM>(g_buffer), LB_ERR},
        MessageCase{"TextWithoutABuffer", LB_GETTEXT, 0, 0, LB_ERR},
        MessageCase{"ItemData", LB_GETITEMDATA, 1, 0, 0x1234},
        MessageCase{"ItemDataOfABadIndex", LB_GETITEMDATA, 3, 0, LB_ERR},
        MessageCase{"SetItemDataOfABadIndex", LB_SETITEMDATA, kMinusOne, 5, LB_ERR},
        MessageCase{"NoSelectionAtFirst", LB_GETCURSEL, 0, 0, LB_ERR},
        MessageCase{"SelectAnItem", LB_SETCURSEL, 2, 0, 2},
        MessageCase{"SelectNothingAnswersErr", LB_SETCURSEL, kMinusOne, 0, LB_ERR},
        MessageCase{"SelectPastTheEnd", LB_SETCURSEL, 3, 0, LB_ERR},
        MessageCase{"GetSelOfABadIndex", LB_GETSEL, 3, 0, LB_ERR},
        MessageCase{"GetSelOfAnUnselectedItem", LB_GETSEL, 0, 0, 0},
        MessageCase{"SetSelNeedsSeveralSelections", LB_SETSEL, TRUE, 0, LB_ERR},
        MessageCase{"SelCountNeedsSeveralSelections", LB_GETSELCOUNT, 0, 0, LB_ERR},
        MessageCase{"SelItemsNeedsSeveralSelections", LB_GETSELITEMS, 8, reinterpret_cast<LPARAM>(g_items), LB_ERR},
        MessageCase{"TopIndexOfABadIndex", LB_SETTOPINDEX, 3, 0, LB_ERR},
        MessageCase{"TopIndex", LB_SETTOPINDEX, 0, 0, LB_OKAY},
        MessageCase{"ItemHeightZeroFails", LB_SETITEMHEIGHT, 0, MAKELPARAM(0, 0), LB_ERR},
        MessageCase{"ItemHeightOver255Fails", LB_SETITEMHEIGHT, 0, MAKELPARAM(256, 0), LB_ERR},
        MessageCase{"ItemHeight", LB_SETITEMHEIGHT, 0, MAKELPARAM(20, 0), LB_OKAY},
        MessageCase{"ItemRectWithoutARect", LB_GETITEMRECT, 0, 0, LB_ERR},
        MessageCase{"ItemRectOfABadIndex", LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&g_rect), LB_ERR},
        MessageCase{"FindAPrefixWithoutRegardToCase", LB_FINDSTRING, kMinusOne, Text(u"TW"), 2},
        MessageCase{"FindWrapsAroundFromTheStart", LB_FINDSTRING, 1, Text(u"z"), 0},
        MessageCase{"FindNothing", LB_FINDSTRING, kMinusOne, Text(u"q"), LB_ERR},
        MessageCase{"FindWithoutText", LB_FINDSTRING, kMinusOne, 0, LB_ERR},
        MessageCase{"FindExactNeedsTheWholeText", LB_FINDSTRINGEXACT, kMinusOne, Text(u"tw"), LB_ERR},
        MessageCase{"FindExact", LB_FINDSTRINGEXACT, kMinusOne, Text(u"ONE"), 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListBoxTest, SortedListInsertsInOrderWithoutRegardToCase) {
    HWND list = MakeList(LBS_SORT, {u"delta", u"Alpha", u"charlie", u"Bravo"});
    EXPECT_EQ(SendMessageW(list, LB_ADDSTRING, 0, Text(u"beta")), 1);
    std::vector<std::u16string> texts;
    for (int i = 0; i < 5; ++i) {
        WCHAR text[16];
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        texts.emplace_back(text);
    }
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"Alpha", u"beta", u"Bravo", u"charlie", u"delta"}));
}

TEST_F(ListBoxTest, TapsSelectAndDoubleTapsReport) {
    HWND list = MakeList(LBS_NOTIFY, {u"a", u"b", u"c"});
    SetFocus(Item(61));
    TakeNotifications();
    TapAt(list, ItemCentre(list, 1));
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(GetFocus(), list);
    // The same item again changes nothing.
    TapAt(list, ItemCentre(list, 1));
    user::test::TapWindow(list, ItemCentre(list, 2));
    user::test::TapWindow(list, ItemCentre(list, 2));
    user::test::RunUntilIdle();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(TakeNotifications(), (std::vector<Notification>{{kList, LBN_SETFOCUS},
                                                              {kList, LBN_SELCHANGE},
                                                              {kList, LBN_SELCHANGE},
                                                              {kList, LBN_DBLCLK}}));
    // A tap below the last item selects nothing.
    user::test::AdvanceTime(1000);
    RECT client;
    GetClientRect(list, &client);
    TapAt(list, POINT{5, client.bottom - 2});
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
    EXPECT_TRUE(TakeNotifications().empty());
}

TEST_F(ListBoxTest, ListWithoutNotifyStaysSilent) {
    HWND list = MakeList(0, {u"a", u"b"});
    TapAt(list, ItemCentre(list, 1));
    Press(VK_UP);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(TakeNotifications().empty());
}

TEST_F(ListBoxTest, ArrowsMoveTheSelectionAndTypingJumpsToAnItem) {
    HWND list = MakeList(LBS_NOTIFY, {u"apple", u"banana", u"cherry", u"blueberry"});
    SetFocus(list);
    TakeNotifications();
    Press(VK_DOWN);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
    Press(VK_DOWN);
    Press(VK_END);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 3);
    Press(VK_DOWN); // already at the end: nothing
    Press(VK_HOME);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
    Type(u"b");
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
    Type(u"b");
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 3);
    EXPECT_EQ(TakeNotifications(), std::vector<Notification>(6, {kList, LBN_SELCHANGE}));
}

TEST_F(ListBoxTest, MultipleSelectionTogglesByTapAndSpace) {
    HWND list = MakeList(LBS_NOTIFY | LBS_MULTIPLESEL, {u"a", u"b", u"c", u"d"});
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
    TapAt(list, ItemCentre(list, 1));
    TapAt(list, ItemCentre(list, 3));
    EXPECT_EQ(SelectedItems(list), (std::vector<int>{1, 3}));
    EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 3);
    // Tapping the caret item again unselects it: the current selection is then the other selected item.
    TapAt(list, ItemCentre(list, 3));
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
    // The arrows move only the caret; space toggles the caret item.
    Press(VK_UP);
    Press(VK_SPACE, u' ');
    EXPECT_EQ(SelectedItems(list), (std::vector<int>{1, 2}));
    EXPECT_EQ(SendMessageW(list, LB_GETCARETINDEX, 0, 0), 2);
    EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_SETSEL, FALSE, -1), LB_OKAY);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_SETSEL, TRUE, 2), LB_OKAY);
    EXPECT_EQ(SendMessageW(list, LB_SETSEL, TRUE, 9), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_GETSEL, 2, 0), 1);
    EXPECT_EQ(SendMessageW(list, LB_GETSELITEMS, 4, 0), LB_ERR);
    std::vector<Notification> notes = TakeNotifications();
    EXPECT_EQ(std::count(notes.begin(), notes.end(), Notification{kList, LBN_SELCHANGE}), 4);
}

TEST_F(ListBoxTest, ExtendedSelectionSelectsOneItemOrARangeWithShift) {
    HWND list = MakeList(LBS_EXTENDEDSEL, {u"a", u"b", u"c", u"d", u"e"});
    TapAt(list, ItemCentre(list, 1));
    TapAt(list, ItemCentre(list, 2));
    EXPECT_EQ(SelectedItems(list), (std::vector<int>{2}));
    user::test::KeyDown(VK_SHIFT);
    TapAt(list, ItemCentre(list, 4));
    user::test::KeyUp(VK_SHIFT);
    user::test::RunUntilIdle();
    EXPECT_EQ(SelectedItems(list), (std::vector<int>{2, 3, 4}));
    ShiftPress(VK_UP);
    EXPECT_EQ(SelectedItems(list), (std::vector<int>{2, 3}));
    // A drag selects the range it covers.
    POINT from = ItemCentre(list, 0);
    POINT to = ItemCentre(list, 2);
    ClientToScreen(list, &from);
    ClientToScreen(list, &to);
    user::test::Drag(from, to);
    user::test::RunUntilIdle();
    EXPECT_EQ(SelectedItems(list), (std::vector<int>{0, 1, 2}));
}

TEST_F(ListBoxTest, SelectionStyleIsFixedWhenTheListIsCreated) {
    HWND list = MakeList(LBS_NOTIFY, {u"a", u"b"});
    SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) | LBS_NOSEL | LBS_MULTIPLESEL);
    TapAt(list, ItemCentre(list, 1));
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), LB_ERR);
}

TEST_F(ListBoxTest, DeletingAndInsertingKeepTheSelectionOnItsItem) {
    HWND list = MakeList(0, {u"a", u"b", u"c", u"d"});
    SendMessageW(list, LB_SETCURSEL, 2, 0);
    SendMessageW(list, LB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
    SendMessageW(list, LB_INSERTSTRING, 0, Text(u"z"));
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
    SendMessageW(list, LB_DELETESTRING, 2, 0);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_RESETCONTENT, 0, 0), LB_OKAY);
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST_F(ListBoxTest, TopIndexStopsAtTheLastFullPageAndFollowsTheSelection) {
    HWND list = MakeList(WS_VSCROLL, {u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9"}, 40);
    int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    RECT client;
    GetClientRect(list, &client);
    // Without LBS_NOINTEGRALHEIGHT the list holds whole items.
    EXPECT_EQ(client.bottom % height, 0);
    int page = client.bottom / height;
    ASSERT_LT(page, 10);
    EXPECT_EQ(SendMessageW(list, LB_SETTOPINDEX, 9, 0), LB_OKAY);
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 10 - page);
    RECT r;
    SendMessageW(list, LB_GETITEMRECT, 9, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.top, (page - 1) * height);
    EXPECT_EQ(SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(5, 1)), MAKELRESULT(10 - page, 0));
    EXPECT_EQ(SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(5, client.bottom + 30)), MAKELRESULT(9, 1));
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(list, SB_VERT, &info));
    EXPECT_EQ(info.nMax, 9);
    EXPECT_EQ(info.nPage, static_cast<UINT>(page));
    // A tap on the bar's track below the thumb pages down.
    int barWidth = GetSystemMetrics(SM_CXVSCROLL);
    TapAt(list, POINT{client.right - barWidth / 2, client.bottom - barWidth - 2});
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), std::min(page, 10 - page));
    // Dragging the thumb to the top scrolls back.
    SendMessageW(list, LB_SETTOPINDEX, 10 - page, 0);
    user::test::RunUntilIdle();
    POINT from{client.right - barWidth / 2, client.bottom - barWidth - 3};
    POINT to{client.right - barWidth / 2, 0};
    ClientToScreen(list, &from);
    ClientToScreen(list, &to);
    user::test::Drag(from, to);
    user::test::RunUntilIdle();
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
}

TEST_F(ListBoxTest, ItemHeightDecidesWhereItemsAreAndWhichOneATapHits) {
    HWND list = MakeList(LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, {u"a", u"b", u"c"}, 60);
    ASSERT_EQ(SendMessageW(list, LB_SETITEMHEIGHT, 0, MAKELPARAM(25, 0)), LB_OKAY);
    EXPECT_EQ(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), 25);
    RECT r;
    SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.top, 25);
    EXPECT_EQ(r.bottom, 50);
    TapAt(list, POINT{5, 30});
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(user::test::WindowPixel(list, 60, 47), controls_test::SystemOnScreen(COLOR_HIGHLIGHT));
    EXPECT_EQ(user::test::WindowPixel(list, 60, 52), controls_test::SystemOnScreen(COLOR_WINDOW));
}

TEST_F(ListBoxTest, EmptyListAnswersErrorsAndIgnoresKeys) {
    HWND list = MakeList(LBS_NOTIFY, {});
    SetFocus(list);
    TakeNotifications();
    Press(VK_DOWN);
    TapAt(list, POINT{5, 5});
    EXPECT_TRUE(TakeNotifications().empty());
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_SETTOPINDEX, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_FINDSTRING, kMinusOne, Text(u"")), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(5, 5)), MAKELRESULT(0, 1));
}

} // namespace
