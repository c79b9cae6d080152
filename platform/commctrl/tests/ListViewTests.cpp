// The list view in report view: taps, holds, double taps and keys with their notifications in order,
// item states and the selection mark, sorting by a callback, custom draw, its header, and its messages'
// answers to good and bad arguments.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "ControlTest.h"

namespace {

using commctrl_test::Notice;
using commctrl_test::OnScreen;
using commctrl_test::Parent;
using testing::ElementsAre;
using testing::ElementsAreArray;

constexpr int kListId = 50;

class ListViewTest : public commctrl_test::ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        m_list = Child(WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS, RECT{10, 10, 210, 210}, kListId);
        ASSERT_NE(m_list, nullptr);
        SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        AddColumn(0, u"Name", 100);
        AddColumn(1, u"Size", 60);
        for (int i = 0; i < 5; ++i)
            AddItem(i, u"Item " + std::u16string(1, static_cast<char16_t>(u'0' + i)), 100 + i);
        user::test::RunUntilIdle();
        Parent::Clear();
    }
    void AddColumn(int index, std::u16string text, int width) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = width;
        column.pszText = text.data();
        ASSERT_EQ(SendMessageW(m_list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(&column)),
                  index);
    }
    int AddItem(int index, std::u16string text, LPARAM data) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = index;
        item.pszText = text.data();
        item.lParam = data;
        return static_cast<int>(SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    }
    std::u16string Text(int index, int subItem = 0) {
        WCHAR buffer[64] = {};
        LVITEMW item{};
        item.iSubItem = subItem;
        item.pszText = buffer;
        item.cchTextMax = 64;
        SendMessageW(m_list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        return buffer;
    }
    UINT State(int index) {
        return static_cast<UINT>(
            SendMessageW(m_list, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED | LVIS_FOCUSED));
    }
    POINT RowPoint(int index) {
        RECT rect{};
        rect.left = LVIR_BOUNDS;
        EXPECT_TRUE(SendMessageW(m_list, LVM_GETITEMRECT, static_cast<WPARAM>(index),
                                 reinterpret_cast<LPARAM>(&rect)));
        return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    std::vector<int> Selected() {
        std::vector<int> out;
        for (int i = -1; (i = static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(i),
                                                           LVNI_SELECTED))) >= 0;)
            out.push_back(i);
        return out;
    }

    HWND m_list = nullptr;
};

TEST_F(ListViewTest, TapSelectsTheItemUnderTheStylusAndClicksOnRelease) {
    TapAt(m_list, RowPoint(2));
    EXPECT_THAT(Parent::Codes(), ElementsAre(LVN_ITEMCHANGING, LVN_ITEMCHANGED, NM_CLICK));
    auto changed = Parent::Notices(LVN_ITEMCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].item, 2);
    EXPECT_EQ(changed[0].newState, static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_EQ(changed[0].lParam, 102);
    EXPECT_EQ(Parent::Notices(NM_CLICK)[0].item, 2);
    EXPECT_EQ(SendMessageW(m_list, LVM_GETSELECTIONMARK, 0, 0), 2);
    EXPECT_EQ(GetFocus(), m_list);

    // A second item takes the selection and the focus from the first.
    Parent::Clear();
    TapAt(m_list, RowPoint(4));
    EXPECT_THAT(Selected(), ElementsAre(4));
    EXPECT_EQ(State(2), 0u);
    auto changes = Parent::Notices(LVN_ITEMCHANGED);
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].item, 2); // deselected
    EXPECT_EQ(changes[1].item, 2); // focus moves away
    EXPECT_EQ(changes[2].item, 4);

    // Below the last item: nothing is selected and the click names no item.
    Parent::Clear();
    TapAt(m_list, POINT{50, 190});
    EXPECT_TRUE(Selected().empty());
    ASSERT_EQ(Parent::Notices(NM_CLICK).size(), 1u);
    EXPECT_EQ(Parent::Notices(NM_CLICK)[0].item, -1);
}

TEST_F(ListViewTest, HoldingTheStylusIsARightClickAndNoClick) {
    POINT point = RowPoint(1);
    ClientToScreen(m_list, &point);
    user::test::StylusDown(point);
    user::test::RunUntilIdle();
    user::test::AdvanceTime(600);
    user::test::StylusUp(point);
    user::test::RunUntilIdle();
    EXPECT_THAT(Parent::Codes(), ElementsAre(LVN_ITEMCHANGING, LVN_ITEMCHANGED, NM_RCLICK));
    EXPECT_EQ(Parent::Notices(NM_RCLICK)[0].item, 1);

    // A short press is a click.
    Parent::Clear();
    user::test::AdvanceTime(1000);
    user::test::StylusDown(point);
    user::test::RunUntilIdle();
    user::test::AdvanceTime(300);
    user::test::StylusUp(point);
    user::test::RunUntilIdle();
    EXPECT_THAT(Parent::Codes(), ElementsAre(NM_CLICK));
}

TEST_F(ListViewTest, DoubleTapActivatesTheItem) {
    POINT point = RowPoint(3);
    user::test::TapWindow(m_list, point);
    user::test::TapWindow(m_list, point);
    user::test::RunUntilIdle();
    EXPECT_THAT(Parent::Codes(), ElementsAre(LVN_ITEMCHANGING, LVN_ITEMCHANGED, NM_CLICK, NM_DBLCLK,
                                             LVN_ITEMACTIVATE));
    EXPECT_EQ(Parent::Notices(LVN_ITEMACTIVATE)[0].item, 3);
    EXPECT_EQ(Parent::Notices(LVN_ITEMACTIVATE)[0].lParam, 103);
}

TEST_F(ListViewTest, KeysMoveTheSelectionAndTheMarkAndEnterActivates) {
    SetFocus(m_list);
    user::test::PressKey(VK_DOWN);
    user::test::RunUntilIdle();
    EXPECT_THAT(Selected(), ElementsAre(0)); // nothing was focused: the first item
    user::test::PressKey(VK_DOWN);
    user::test::PressKey(VK_DOWN);
    user::test::RunUntilIdle();
    EXPECT_THAT(Selected(), ElementsAre(2));
    EXPECT_EQ(SendMessageW(m_list, LVM_GETSELECTIONMARK, 0, 0), 2);
    user::test::PressKey(VK_END);
    user::test::RunUntilIdle();
    EXPECT_THAT(Selected(), ElementsAre(4));
    user::test::PressKey(VK_DOWN); // stays on the last item
    user::test::RunUntilIdle();
    EXPECT_THAT(Selected(), ElementsAre(4));
    Parent::Clear();
    user::test::PressKey(VK_RETURN);
    user::test::RunUntilIdle();
    EXPECT_THAT(Parent::Codes(), ElementsAre(LVN_KEYDOWN, NM_RETURN, LVN_ITEMACTIVATE));
    EXPECT_EQ(Parent::Notices(LVN_ITEMACTIVATE)[0].item, 4);
}

TEST_F(ListViewTest, ItemChangingCanRefuseAChange) {
    Parent::Answering() = [](NMHDR* header) -> LRESULT { return header->code == LVN_ITEMCHANGING; };
    LVITEMW state{};
    state.state = LVIS_SELECTED;
    state.stateMask = LVIS_SELECTED;
    SendMessageW(m_list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(State(1), 0u);
    EXPECT_TRUE(Parent::Notices(LVN_ITEMCHANGED).empty());
}

TEST_F(ListViewTest, StatesChangeUnderTheirMaskAndOneItemKeepsTheFocus) {
    LVITEMW state{};
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(m_list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    SendMessageW(m_list, LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&state));
    // Multiple selection keeps both selected; the focus moved.
    EXPECT_THAT(Selected(), ElementsAre(1, 3));
    EXPECT_EQ(State(1), static_cast<UINT>(LVIS_SELECTED));
    EXPECT_EQ(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 3);
    EXPECT_EQ(SendMessageW(m_list, LVM_GETSELECTEDCOUNT, 0, 0), 2);
    // Clearing only the selection bit keeps the focus.
    state.state = 0;
    state.stateMask = LVIS_SELECTED;
    SendMessageW(m_list, LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(State(3), static_cast<UINT>(LVIS_FOCUSED));
    // Index -1 changes every item.
    state.state = LVIS_SELECTED;
    SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(Selected().size(), 5u);
}

TEST_F(ListViewTest, SingleSelectionListsKeepOneSelectedItem) {
    SetWindowLongW(m_list, GWL_STYLE, GetWindowLongW(m_list, GWL_STYLE) | LVS_SINGLESEL);
    LVITEMW state{};
    state.state = LVIS_SELECTED;
    state.stateMask = LVIS_SELECTED;
    SendMessageW(m_list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    SendMessageW(m_list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));
    EXPECT_THAT(Selected(), ElementsAre(2));
}

int CALLBACK ByDataDescending(LPARAM a, LPARAM b, LPARAM) {
    return static_cast<int>(b - a);
}

struct SortProbe {
    HWND list;
    int calls = 0;
    bool insertRefused = true;
    bool itemsStable = true;
};

int CALLBACK ProbingCompare(LPARAM a, LPARAM b, LPARAM parameter) {
    auto* probe = reinterpret_cast<SortProbe*>(parameter);
    ++probe->calls;
    // The items stay in place while the sort runs, and nothing can be inserted.
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = 0;
    SendMessageW(probe->list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    probe->itemsStable = probe->itemsStable && item.lParam == 100;
    LVITEMW insert{};
    insert.mask = LVIF_TEXT;
    if (SendMessageW(probe->list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)) != -1)
        probe->insertRefused = false;
    return a < b ? 1 : (a > b ? -1 : 0);
}

int CALLBACK Inconsistent(LPARAM, LPARAM, LPARAM parameter) {
    int& calls = *reinterpret_cast<int*>(parameter);
    return (++calls % 3) - 1;
}

TEST_F(ListViewTest, SortingByACallbackOrdersTheItemsAndKeepsTheMarkOnItsItem) {
    SendMessageW(m_list, LVM_SETSELECTIONMARK, 0, 1);
    ASSERT_TRUE(SendMessageW(m_list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(ByDataDescending)));
    EXPECT_EQ(Text(0), u"Item 4");
    EXPECT_EQ(Text(4), u"Item 0");
    EXPECT_EQ(SendMessageW(m_list, LVM_GETSELECTIONMARK, 0, 0), 3); // "Item 1" is now fourth

    AddItem(5, u"Item 2 again", 102);
    SendMessageW(m_list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(ByDataDescending));
    // Equal items keep their order.
    EXPECT_EQ(Text(2), u"Item 2");
    EXPECT_EQ(Text(3), u"Item 2 again");
}

TEST_F(ListViewTest, TheSortCallbackSeesStableItemsAndCannotInsert) {
    SortProbe probe{m_list};
    ASSERT_TRUE(SendMessageW(m_list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&probe),
                             reinterpret_cast<LPARAM>(ProbingCompare)));
    EXPECT_GT(probe.calls, 0);
    EXPECT_TRUE(probe.itemsStable);
    EXPECT_TRUE(probe.insertRefused);
    EXPECT_EQ(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0), 5);
}

TEST_F(ListViewTest, AnInconsistentCallbackStillLeavesEveryItem) {
    for (int i = 5; i < 40; ++i)
        AddItem(i, u"more", 100 + i);
    int calls = 0;
    ASSERT_TRUE(SendMessageW(m_list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&calls),
                             reinterpret_cast<LPARAM>(Inconsistent)));
    std::vector<LPARAM> data;
    for (int i = 0; i < 40; ++i) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        SendMessageW(m_list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        data.push_back(item.lParam);
    }
    std::sort(data.begin(), data.end());
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(data[static_cast<size_t>(i)], 100 + i);
}

TEST_F(ListViewTest, CustomDrawDeliversTheStagesThatTheParentAsksFor) {
    SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
    AddItem(0, u"first", 1);
    AddItem(1, u"second", 2);
    Parent::Clear();
    Parent::Answering() = [](NMHDR* header) -> LRESULT {
        if (header->code != NM_CUSTOMDRAW)
            return 0;
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
            return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            if (draw->nmcd.dwItemSpec == 1)
                draw->clrTextBk = RGB(0, 0, 255);
            return draw->nmcd.dwItemSpec == 0 ? CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT : CDRF_DODEFAULT;
        }
        return CDRF_DODEFAULT;
    };
    InvalidateRect(m_list, nullptr, FALSE);
    user::test::RunUntilIdle();
    std::vector<std::pair<DWORD, int>> stages;
    for (const Notice& notice : Parent::Notices(NM_CUSTOMDRAW))
        stages.emplace_back(notice.stage, (notice.stage & CDDS_SUBITEM) ? notice.subItem
                                          : (notice.stage & CDDS_ITEM)  ? notice.item
                                                                        : -1);
    EXPECT_THAT(stages, ElementsAre(std::pair<DWORD, int>{CDDS_PREPAINT, -1},
                                    std::pair<DWORD, int>{CDDS_ITEMPREPAINT, 0},
                                    std::pair<DWORD, int>{CDDS_ITEMPREPAINT | CDDS_SUBITEM, 0},
                                    std::pair<DWORD, int>{CDDS_ITEMPREPAINT | CDDS_SUBITEM, 1},
                                    std::pair<DWORD, int>{CDDS_ITEMPOSTPAINT, 0},
                                    std::pair<DWORD, int>{CDDS_ITEMPREPAINT, 1},
                                    std::pair<DWORD, int>{CDDS_POSTPAINT, -1}));
    // The colour that the parent gave the second row is the one it is drawn in.
    POINT second = RowPoint(1);
    EXPECT_EQ(user::test::WindowPixel(m_list, 150, second.y), RGB(0, 0, 255));
    POINT first = RowPoint(0);
    EXPECT_EQ(user::test::WindowPixel(m_list, 150, first.y), GetSysColor(COLOR_WINDOW));
}

TEST_F(ListViewTest, SelectionIsDrawnInTheHighlightWhileFocusedAndInTheButtonFaceOtherwise) {
    TapAt(m_list, RowPoint(1));
    POINT row = RowPoint(1);
    // Right of the text, inside the full row.
    EXPECT_EQ(user::test::WindowPixel(m_list, 150, row.y), OnScreen(GetSysColor(COLOR_HIGHLIGHT)));
    SetFocus(m_parent);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::WindowPixel(m_list, 150, row.y), OnScreen(GetSysColor(COLOR_BTNFACE)));
    SetWindowLongW(m_list, GWL_STYLE, GetWindowLongW(m_list, GWL_STYLE) & ~LVS_SHOWSELALWAYS);
    InvalidateRect(m_list, nullptr, FALSE);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::WindowPixel(m_list, 150, row.y), GetSysColor(COLOR_WINDOW));
}

TEST_F(ListViewTest, TheHeaderHoldsTheColumns) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(m_list, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(IsChild(m_list, header));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 2);
    WCHAR text[8] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_WIDTH;
    item.pszText = text;
    item.cchTextMax = 3; // cut to two characters
    ASSERT_TRUE(SendMessageW(header, HDM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(std::u16string(text), u"Si");
    EXPECT_EQ(item.cxy, 60);
    RECT rect{};
    ASSERT_TRUE(SendMessageW(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rect)));
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.right, 160);
    EXPECT_FALSE(SendMessageW(header, HDM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rect)));
    // Rows begin below the header.
    RECT headerRect;
    GetClientRect(header, &headerRect);
    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessageW(m_list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    EXPECT_EQ(row.top, headerRect.bottom);
    EXPECT_EQ(SendMessageW(m_list, LVM_GETCOLUMNWIDTH, 0, 0), 100);
}

TEST_F(ListViewTest, SubItemsHaveTheirOwnTexts) {
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = const_cast<LPWSTR>(u"1.0K");
    ASSERT_TRUE(SendMessageW(m_list, LVM_SETITEMTEXTW, 2, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(Text(2, 1), u"1.0K");
    EXPECT_EQ(Text(2, 0), u"Item 2");
    EXPECT_EQ(Text(3, 1), u"");
    // A text callback is not served: the item keeps an empty text.
    item.pszText = LPSTR_TEXTCALLBACKW;
    item.iSubItem = 0;
    ASSERT_TRUE(SendMessageW(m_list, LVM_SETITEMTEXTW, 2, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(Text(2), u"");
}

TEST_F(ListViewTest, BadIndexesAndMissingRecordsFailCleanly) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = 5;
    EXPECT_FALSE(SendMessageW(m_list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    item.iItem = -1;
    EXPECT_FALSE(SendMessageW(m_list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_FALSE(SendMessageW(m_list, LVM_GETITEMW, 0, 0));
    EXPECT_FALSE(SendMessageW(m_list, LVM_SETITEMW, 0, 0));
    EXPECT_EQ(SendMessageW(m_list, LVM_INSERTITEMW, 0, 0), -1);
    EXPECT_FALSE(SendMessageW(m_list, LVM_DELETEITEM, 9, 0));
    EXPECT_FALSE(SendMessageW(m_list, LVM_SETITEMSTATE, 7, 0));
    EXPECT_EQ(SendMessageW(m_list, LVM_GETITEMSTATE, 7, LVIS_SELECTED), 0);
    EXPECT_EQ(SendMessageW(m_list, LVM_HITTEST, 0, 0), -1);
    EXPECT_FALSE(SendMessageW(m_list, LVM_GETITEMRECT, 0, 0));
    EXPECT_EQ(SendMessageW(m_list, LVM_INSERTCOLUMNW, 0, 0), -1);
    EXPECT_FALSE(SendMessageW(m_list, LVM_SORTITEMS, 0, 0));
    // A text buffer of 0 units receives nothing; the item still answers.
    WCHAR buffer[4] = {u'z', 0, 0, 0};
    item.iItem = 0;
    item.mask = LVIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 0;
    EXPECT_TRUE(SendMessageW(m_list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(buffer[0], u'z');
    // An index past the end appends.
    EXPECT_EQ(AddItem(99, u"last", 7), 5);
}

TEST_F(ListViewTest, InsertionsAndDeletionsKeepTheMarkOnItsItem) {
    SendMessageW(m_list, LVM_SETSELECTIONMARK, 0, 2);
    AddItem(0, u"new first", 9);
    EXPECT_EQ(SendMessageW(m_list, LVM_GETSELECTIONMARK, 0, 0), 3);
    ASSERT_TRUE(SendMessageW(m_list, LVM_DELETEITEM, 0, 0));
    EXPECT_EQ(SendMessageW(m_list, LVM_GETSELECTIONMARK, 0, 0), 2);
    ASSERT_TRUE(SendMessageW(m_list, LVM_DELETEITEM, 2, 0));
    EXPECT_EQ(SendMessageW(m_list, LVM_GETSELECTIONMARK, 0, 0), -1);
    Parent::Clear();
    ASSERT_TRUE(SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0));
    EXPECT_THAT(Parent::Codes(), ElementsAre(LVN_DELETEALLITEMS, LVN_DELETEITEM, LVN_DELETEITEM,
                                             LVN_DELETEITEM, LVN_DELETEITEM));
    EXPECT_EQ(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(ListViewTest, FindItemByDataAndByText) {
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = 103;
    EXPECT_EQ(SendMessageW(m_list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), 3);
    find.flags = LVFI_STRING;
    find.psz = u"item 1";
    EXPECT_EQ(SendMessageW(m_list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), 1);
    find.psz = u"Item";
    EXPECT_EQ(SendMessageW(m_list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), -1);
    find.flags = LVFI_PARTIAL;
    EXPECT_EQ(SendMessageW(m_list, LVM_FINDITEMW, 1, reinterpret_cast<LPARAM>(&find)), 2);
}

TEST_F(ListViewTest, KeysScrollTheFocusedItemIntoView) {
    for (int i = 5; i < 30; ++i)
        AddItem(i, u"row", 100 + i);
    int page = static_cast<int>(SendMessageW(m_list, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(page, 3);
    ASSERT_LT(page, 30);
    SetFocus(m_list);
    user::test::PressKey(VK_END);
    user::test::RunUntilIdle();
    EXPECT_EQ(SendMessageW(m_list, LVM_GETTOPINDEX, 0, 0), 30 - page);
    user::test::PressKey(VK_HOME);
    user::test::RunUntilIdle();
    EXPECT_EQ(SendMessageW(m_list, LVM_GETTOPINDEX, 0, 0), 0);
    ASSERT_TRUE(SendMessageW(m_list, LVM_ENSUREVISIBLE, 20, FALSE));
    EXPECT_EQ(SendMessageW(m_list, LVM_GETTOPINDEX, 0, 0), 21 - page);
    // The row under a tap is found below the scrolled rows.
    TapAt(m_list, RowPoint(20));
    EXPECT_EQ(Selected(), std::vector<int>{20});
}

TEST_F(ListViewTest, RedrawOffDropsPaintingUntilItIsOnAgain) {
    user::test::RunUntilIdle();
    SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(m_list, LVM_SETBKCOLOR, 0, RGB(255, 0, 0));
    user::test::RunUntilIdle();
    POINT below{100, 195};
    EXPECT_EQ(user::test::WindowPixel(m_list, below.x, below.y), GetSysColor(COLOR_WINDOW));
    SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::WindowPixel(m_list, below.x, below.y), RGB(255, 0, 0));
}

TEST_F(ListViewTest, AParentThatDestroysTheListInANotificationEndsTheTapSafely) {
    HWND list = m_list;
    Parent::Answering() = [list](NMHDR* header) -> LRESULT {
        if (header->code == LVN_ITEMCHANGED)
            DestroyWindow(list);
        return 0;
    };
    TapAt(m_list, RowPoint(1));
    EXPECT_FALSE(IsWindow(m_list));
    EXPECT_EQ(Parent::Codes().back(), static_cast<UINT>(LVN_DELETEITEM));
}

TEST_F(ListViewTest, SmallImagesAreDrawnBeforeTheFirstColumnsText) {
    HIMAGELIST images = ImageList_Create(8, 8, ILC_COLOR16, 1, 1);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, 8, 8};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &all, green);
    DeleteObject(green);
    SelectObject(dc, old);
    DeleteDC(dc);
    ASSERT_EQ(ImageList_Add(images, bitmap, nullptr), 0);
    DeleteObject(bitmap);
    EXPECT_EQ(SendMessageW(m_list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)), 0);
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = 0;
    item.iImage = 0;
    SendMessageW(m_list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    user::test::RunUntilIdle();
    RECT icon{};
    icon.left = LVIR_ICON;
    SendMessageW(m_list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&icon));
    EXPECT_EQ(icon.right - icon.left, 10);
    EXPECT_EQ(user::test::WindowPixel(m_list, icon.left + 4, (icon.top + icon.bottom) / 2), RGB(0, 255, 0));
    LVHITTESTINFO hit{};
    hit.pt = POINT{icon.left + 4, (icon.top + icon.bottom) / 2};
    EXPECT_EQ(SendMessageW(m_list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), 0);
    EXPECT_EQ(hit.flags, static_cast<UINT>(LVHT_ONITEMICON));
    // The list view destroys a list it does not share.
    DestroyWindow(m_list);
    EXPECT_EQ(ImageList_GetImageCount(images), 0);
    EXPECT_FALSE(ImageList_Destroy(images));
}

} // namespace
