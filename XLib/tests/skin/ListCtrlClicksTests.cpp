// CListCtrlClicks: taps select the item under the stylus and reach the parent as LVN_ITEMACTIVATE then
// NM_CLICK, the list view itself never sees a tap, hold mode reports NM_RCLICK after 500 ms and a tap on
// an early release, double taps and the list view's scroll bar still work.

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "ListCtrlClicks.h"
#include "classlib/Wnd.h"
#include "user/WindowTest.h"

namespace {

using user::test::AdvanceTime;
using user::test::RunUntilIdle;

constexpr UINT kListId = 40;
constexpr int kItemCount = 5;

// Hold mode has no operation of its own; a derived class switches it.
class CHoldableList : public CListCtrlClicks {
public:
    void SetHoldMode(bool hold) { m_holdMode = hold; }
};

// A notification as the parent saw it, with the list's first selected item at that moment.
struct Seen {
    int code;
    int selected;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << "{" << seen.code << ", " << seen.selected << "}";
}

class CRecordingParent : public CWnd {
public:
    std::vector<Seen> m_seen;

    // The notifications of these codes only (the list view's own item changes and focus come too).
    std::vector<Seen> Taps() const {
        std::vector<Seen> taps;
        for (const Seen& seen : m_seen)
            if (seen.code == static_cast<int>(LVN_ITEMACTIVATE) || seen.code == static_cast<int>(NM_CLICK) ||
                seen.code == static_cast<int>(NM_RCLICK) || seen.code == static_cast<int>(NM_DBLCLK))
                taps.push_back(seen);
        return taps;
    }

protected:
    BOOL OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) override {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        int selected = static_cast<int>(
            ::SendMessageW(header->hwndFrom, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        m_seen.push_back({static_cast<int>(header->code), selected});
        *pResult = 0;
        return TRUE;
    }
};

constexpr int kActivate = static_cast<int>(LVN_ITEMACTIVATE);
constexpr int kClick = static_cast<int>(NM_CLICK);
constexpr int kRightClick = static_cast<int>(NM_RCLICK);
constexpr int kDoubleClick = static_cast<int>(NM_DBLCLK);

class ListCtrlClicksTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(m_parent.CreateEx(0, nullptr, u"Parent", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                      nullptr));
        ASSERT_TRUE(m_list.Create(WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS,
                                  CRect(10, 10, 210, 160), &m_parent, kListId));
        m_list.InsertColumn(0, u"Name", LVCFMT_LEFT, 150);
        for (int i = 0; i < kItemCount; ++i)
            m_list.InsertItem(i, u"item");
        RunUntilIdle();
        m_parent.m_seen.clear();
        // Taps of one test are apart in time, so that none of them is taken for a double tap.
        AdvanceTime(1000);
    }
    void TearDown() override {
        CWnd::DeleteTempMap();
        WindowTest::TearDown();
    }

    // Screen point on an item's label; below the last item for kItemCount.
    POINT ItemPoint(int item) const {
        CRect rect;
        if (item < kItemCount) {
            m_list.GetItemRect(item, &rect, LVIR_LABEL);
        } else {
            m_list.GetItemRect(kItemCount - 1, &rect, LVIR_LABEL);
            rect.OffsetRect(0, rect.Height());
        }
        POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        m_list.ClientToScreen(&point);
        return point;
    }
    void Down(int item) {
        user::test::StylusDown(ItemPoint(item));
        RunUntilIdle();
    }
    void Up(int item) {
        user::test::StylusUp(ItemPoint(item));
        RunUntilIdle();
    }
    std::vector<int> Selected() const {
        std::vector<int> items;
        for (int i = m_list.GetNextItem(-1, LVNI_SELECTED); i != -1; i = m_list.GetNextItem(i, LVNI_SELECTED))
            items.push_back(i);
        return items;
    }

    CRecordingParent m_parent;
    CHoldableList m_list;
};

TEST_F(ListCtrlClicksTest, TapSelectsOnlyTheItemUnderTheStylusAndReportsActivateThenClick) {
    struct Case {
        const char* name;
        int target; // kItemCount: empty space below the last item
        std::vector<int> selected;
    };
    const Case cases[] = {
        {"on an item", 3, {3}},
        {"below the last item", kItemCount, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Two selected items, item 0 focused, the selection mark on 1: the tap keeps focus and mark.
        m_list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        m_list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        m_list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
        m_list.SetSelectionMark(1);
        ::SetFocus(m_parent.m_hWnd);
        RunUntilIdle();
        m_parent.m_seen.clear();

        Down(c.target);
        const int selected = c.selected.empty() ? -1 : c.selected.front();
        EXPECT_EQ(m_parent.Taps(), (std::vector<Seen>{{kActivate, selected}, {kClick, selected}}));
        EXPECT_EQ(Selected(), c.selected);
        EXPECT_EQ(m_list.GetItemState(0, LVIS_FOCUSED), static_cast<UINT>(LVIS_FOCUSED));
        EXPECT_EQ(m_list.GetSelectionMark(), 1);
        EXPECT_EQ(CWnd::GetFocus(), &m_list);
        // The selection changed through the list view, whose notifications come before the tap's.
        auto position = [&](int code) {
            auto& seen = m_parent.m_seen;
            return std::find_if(seen.rbegin(), seen.rend(), [&](const Seen& s) { return s.code == code; })
                       .base() -
                   seen.begin();
        };
        EXPECT_GT(position(static_cast<int>(LVN_ITEMCHANGED)), 0);
        EXPECT_LT(position(static_cast<int>(LVN_ITEMCHANGED)), position(kActivate));

        // The release adds nothing, and the list view never took the press (no capture, no click).
        m_parent.m_seen.clear();
        EXPECT_EQ(CWnd::GetCapture(), nullptr);
        Up(c.target);
        AdvanceTime(1000);
        EXPECT_TRUE(m_parent.m_seen.empty());
    }
}

TEST_F(ListCtrlClicksTest, DoubleTapStillReachesTheListView) {
    user::test::Tap(ItemPoint(2));
    user::test::Tap(ItemPoint(2));
    RunUntilIdle();
    EXPECT_EQ(m_parent.Taps(),
              (std::vector<Seen>{{kActivate, 2}, {kClick, 2}, {kDoubleClick, 2}, {kActivate, 2}}));
}

TEST_F(ListCtrlClicksTest, TapOnTheListViewsScrollBarScrollsAndIsNoTap) {
    for (int i = kItemCount; i < 40; ++i)
        m_list.InsertItem(i, u"more");
    m_list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    RunUntilIdle();
    m_parent.m_seen.clear();
    ASSERT_EQ(m_list.SendMessage(LVM_GETTOPINDEX), 0);

    CRect client;
    m_list.GetClientRect(&client);
    POINT bottomOfBar{client.right - 2, client.bottom - 4};
    m_list.ClientToScreen(&bottomOfBar);
    user::test::Tap(bottomOfBar);
    RunUntilIdle();
    EXPECT_GT(m_list.SendMessage(LVM_GETTOPINDEX), 0);
    EXPECT_TRUE(m_parent.Taps().empty());
    EXPECT_EQ(Selected(), std::vector<int>{0});
}

// Hold mode: a script of stylus events and clock moves, and what the parent sees.
struct HoldStep {
    enum Kind { Down, Up, Wait } kind;
    int value; // the item (kItemCount: empty space), or milliseconds
};

TEST_F(ListCtrlClicksTest, HoldModeReportsRightClickAfterTheHoldAndATapOnAnEarlyRelease) {
    struct Case {
        const char* name;
        std::vector<HoldStep> steps;
        std::vector<Seen> seen;
        std::vector<int> selected;
    };
    const Case cases[] = {
        {"held on an item", {{HoldStep::Down, 1}, {HoldStep::Wait, 499}}, {}, {1}},
        {"held on an item for the whole hold",
         {{HoldStep::Down, 1}, {HoldStep::Wait, 500}, {HoldStep::Wait, 1000}},
         {{kRightClick, 1}},
         {1}},
        // The release that ends a hold is no tap.
        {"released after the hold",
         {{HoldStep::Down, 1}, {HoldStep::Wait, 600}, {HoldStep::Up, 1}},
         {{kRightClick, 1}},
         {1}},
        // The tap is reported at the release, with the item under the release point.
        {"released early on another item",
         {{HoldStep::Down, 1}, {HoldStep::Wait, 200}, {HoldStep::Up, 3}, {HoldStep::Wait, 1000}},
         {{kActivate, 3}, {kClick, 3}},
         {3}},
        {"held on empty space",
         {{HoldStep::Down, kItemCount}, {HoldStep::Wait, 600}, {HoldStep::Up, kItemCount}},
         {},
         {}},
        // A second press restarts the hold; only one right click can follow.
        {"pressed twice",
         {{HoldStep::Down, 1}, {HoldStep::Wait, 300}, {HoldStep::Down, 2}, {HoldStep::Wait, 300}},
         {},
         {2}},
        {"pressed twice and held",
         {{HoldStep::Down, 1}, {HoldStep::Wait, 300}, {HoldStep::Down, 2}, {HoldStep::Wait, 1500}},
         {{kRightClick, 2}},
         {2}},
    };
    m_list.SetHoldMode(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_list.SetItemState(-1, 0, LVIS_SELECTED);
        m_list.CancelHoldTimer();
        AdvanceTime(1000);
        m_parent.m_seen.clear();
        for (const HoldStep& step : c.steps) {
            if (step.kind == HoldStep::Down)
                Down(step.value);
            else if (step.kind == HoldStep::Up)
                Up(step.value);
            else
                AdvanceTime(static_cast<ULONGLONG>(step.value));
        }
        EXPECT_EQ(m_parent.Taps(), c.seen);
        EXPECT_EQ(Selected(), c.selected);
        user::test::StylusUp(ItemPoint(0));
        RunUntilIdle();
    }
}

TEST_F(ListCtrlClicksTest, OtherTimersOfTheListNeitherReportNorEndAHold) {
    constexpr UINT_PTR kOwnTimer = 7;
    m_list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    ASSERT_EQ(m_list.SetTimer(kOwnTimer, 100, nullptr), kOwnTimer);
    AdvanceTime(350);
    EXPECT_TRUE(m_parent.Taps().empty());

    m_list.SetHoldMode(true);
    Down(1);
    AdvanceTime(450);
    EXPECT_TRUE(m_parent.Taps().empty());
    AdvanceTime(50);
    EXPECT_EQ(m_parent.Taps(), (std::vector<Seen>{{kRightClick, 1}}));
    m_list.KillTimer(kOwnTimer);
    Up(1);
}

} // namespace
