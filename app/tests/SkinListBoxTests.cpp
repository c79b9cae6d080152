// The skinned list box on a skinned dialog whose background is a bitmap: item texts drawn over the snapshot
// of that background with and without their shadow, in the selected and disabled colours; taps, holds and
// double taps reported to the dialog; the snapshot taken again after a move or a resize; scrolling by
// steps kept within the items.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SkinListBox.h"
#include "SkinTestSupport.h"

namespace {

using skintest::CSkinHost;
using user::test::AdvanceTime;
using user::test::OnScreen;
using user::test::RunUntilIdle;

constexpr UINT kListId = 1009;
// The skin's two halves, left and right.
constexpr COLORREF kLeft = RGB(0x30, 0xA0, 0x30);
constexpr COLORREF kRight = RGB(0xE0, 0x80, 0x20);
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kSelected = 0xAA0000;
constexpr COLORREF kShadow = 0xAAAAAA;

constexpr int kActivate = static_cast<int>(LVN_ITEMACTIVATE);
constexpr int kClick = static_cast<int>(NM_CLICK);
constexpr int kRightClick = static_cast<int>(NM_RCLICK);
constexpr int kDoubleClick = static_cast<int>(NM_DBLCLK);

// Pixels of the window's client area within area that show the colour as the screen does.
int CountPixels(HWND window, COLORREF colour, const RECT& area) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += user::test::WindowPixel(window, x, y) == OnScreen(colour) ? 1 : 0;
    return count;
}

// The rectangle around those pixels; none when the colour does not show.
std::optional<RECT> PixelBounds(HWND window, COLORREF colour, const RECT& area) {
    std::optional<RECT> bounds;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            if (user::test::WindowPixel(window, x, y) != OnScreen(colour))
                continue;
            if (!bounds)
                bounds = RECT{x, y, x + 1, y + 1};
            bounds->left = std::min<LONG>(bounds->left, x);
            bounds->top = std::min<LONG>(bounds->top, y);
            bounds->right = std::max<LONG>(bounds->right, x + 1);
            bounds->bottom = std::max<LONG>(bounds->bottom, y + 1);
        }
    return bounds;
}

class SkinListBoxTest : public skintest::SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        WriteDeviceFile(u"\\skins\\back.png", skintest::StripPng(120, 320, {kLeft, kRight}));
        WriteDeviceFile(
            u"\\skins\\main.xml",
            std::string("<xForm backgroundColor=\"0xFFFFFF\" backgroundBitmap=\"\\skins\\back.png\">"
                        "<xLayer name=\"main\"/></xForm>"));
        m_host = std::make_unique<CSkinHost>(u"\\skins\\main.xml");
        ASSERT_TRUE(m_host->Open());
        ASSERT_TRUE(m_host->m_skinLoaded);
        // Taps of one test are apart in time, so that none is taken for a double tap.
        AdvanceTime(1000);
    }
    void TearDown() override {
        m_list.reset();
        m_host.reset();
        CWnd::DeleteTempMap();
        SkinTest::TearDown();
    }

    // The main dialog's folder list at rect, with its font and colours and the items given.
    CSkinListBox& MakeList(const RECT& rect, std::vector<std::u16string> items, bool shadow = true) {
        // The dialog paints its skin where a list of the test was before.
        m_list.reset();
        RunUntilIdle();
        m_list = std::make_unique<CSkinListBox>();
        EXPECT_TRUE(m_list->Create(WS_VISIBLE | WS_BORDER | WS_TABSTOP | LBS_NOTIFY | LBS_MULTIPLESEL, rect,
                                   m_host.get(), kListId));
        m_list->SetListFont(14, u"Arial", kText, kSelected, shadow, 1, kShadow);
        for (size_t i = 0; i < items.size(); ++i)
            EXPECT_EQ(m_list->AddItem(items[i].c_str(), 100 + i), static_cast<int>(i));
        RunUntilIdle();
        m_host->m_notifications.clear();
        m_host->m_commands.clear();
        return *m_list;
    }
    CRect Client() const {
        CRect client;
        m_list->GetClientRect(&client);
        return client;
    }
    // Row index of the list's client area (the list scrolled to the top).
    CRect RowRect(int index) const {
        const int height = m_list->GetItemHeight(0);
        return CRect(0, index * height, Client().right, (index + 1) * height);
    }
    // Screen point in the middle of a row's left part.
    POINT RowPoint(int index) const {
        const CRect row = RowRect(index);
        POINT point{10, (row.top + row.bottom) / 2};
        m_list->ClientToScreen(&point);
        return point;
    }
    // The notification codes the dialog got from the list.
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (auto [id, code] : m_host->m_notifications)
            if (id == kListId)
                codes.push_back(code);
        return codes;
    }

    std::unique_ptr<CSkinHost> m_host;
    std::unique_ptr<CSkinListBox> m_list;
};

TEST_F(SkinListBoxTest, TextsAreDrawnOverTheSkinWithOrWithoutTheirShadow) {
    for (bool shadow : {true, false}) {
        SCOPED_TRACE(shadow ? "shadow" : "no shadow");
        CSkinListBox& list = MakeList({10, 10, 110, 200}, {u"HHHH", u"IIII"}, shadow);
        // Rows are as high as the list font's text.
        CClientDC dc(&list);
        CFont* previous = dc.SelectObject(list.GetListFont());
        EXPECT_EQ(list.GetItemHeight(0), dc.GetTextExtent(u"XYZ", 3).cy);
        dc.SelectObject(previous);

        // Below the items, and around the texts, the skin shows.
        const CRect below(0, RowRect(2).top + 2, Client().right, Client().bottom);
        EXPECT_EQ(CountPixels(list, kLeft, below), below.Width() * below.Height());
        for (int row = 0; row < 2; ++row) {
            const auto text = PixelBounds(list, kText, RowRect(row));
            ASSERT_TRUE(text.has_value()) << row;
            EXPECT_GT(CountPixels(list, kLeft, RowRect(row)), 0);
            const auto drop = PixelBounds(list, kShadow, RowRect(row));
            if (!shadow) {
                EXPECT_FALSE(drop.has_value());
                continue;
            }
            // The shadow lies one pixel right of and below the text.
            ASSERT_TRUE(drop.has_value()) << row;
            EXPECT_EQ(drop->right, text->right + 1);
            EXPECT_EQ(drop->bottom, text->bottom + 1);
        }
    }
}

TEST_F(SkinListBoxTest, SelectedItemsTakeTheirColourAndADisabledListIsGrey) {
    CSkinListBox& list = MakeList({10, 10, 110, 200}, {u"HHHH", u"IIII", u"MMMM"});
    auto shows = [&list, this](int row, COLORREF colour) {
        return CountPixels(list, colour, RowRect(row)) > 0;
    };

    user::test::Tap(RowPoint(1));
    RunUntilIdle();
    EXPECT_TRUE(shows(0, kText));
    EXPECT_FALSE(shows(0, kSelected));
    EXPECT_TRUE(shows(1, kSelected));
    EXPECT_FALSE(shows(1, kText));
    // Keys repaint the list too: Space marks the caret's item (the tapped one) again, here unselecting it.
    user::test::PressKey(VK_SPACE, u' ');
    RunUntilIdle();
    EXPECT_EQ(list.GetSel(1), 0);
    EXPECT_TRUE(shows(1, kText));
    EXPECT_FALSE(shows(1, kSelected));

    // New colours show at the next paint.
    list.SetSel(2, TRUE);
    list.SetColors(RGB(0x10, 0x10, 0x70), RGB(0x70, 0x10, 0x10), kShadow);
    list.Invalidate();
    RunUntilIdle();
    EXPECT_TRUE(shows(0, RGB(0x10, 0x10, 0x70)));
    EXPECT_TRUE(shows(2, RGB(0x70, 0x10, 0x10)));

    list.EnableWindow(FALSE);
    RunUntilIdle();
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_TRUE(shows(row, CSkinListBox::kDisabledTextColor));
        EXPECT_TRUE(shows(row, CSkinListBox::kDisabledShadowColor));
        EXPECT_FALSE(shows(row, RGB(0x10, 0x10, 0x70)));
        EXPECT_FALSE(shows(row, RGB(0x70, 0x10, 0x10)));
    }
}

TEST_F(SkinListBoxTest, TapsHoldsAndDoubleTapsReachTheDialog) {
    enum Step { Down, Up, Wait299, Wait1, DownOutside, UpOnList };
    struct Case {
        const char* name;
        std::vector<std::u16string> items;
        std::vector<Step> steps;
        // The codes the dialog has after each step.
        std::vector<std::vector<int>> codes;
    };
    const std::vector<std::u16string> two{u"one", u"two"};
    const Case cases[] = {
        {"tap", two, {Down, Up}, {{}, {kActivate, kClick}}},
        {"hold", two, {Down, Wait299, Wait1, Up}, {{}, {}, {kRightClick}, {kRightClick, kActivate, kClick}}},
        {"double tap",
         two,
         {Down, Up, Down, Up},
         {{}, {kActivate, kClick}, {kActivate, kClick}, {kActivate, kClick, kDoubleClick}}},
        // Nothing is current in an empty list: the hold reports nothing, its release the tap.
        {"hold on an empty list", {}, {Down, Wait299, Wait1, Up}, {{}, {}, {}, {kActivate, kClick}}},
        // A release whose press was on the dialog reports nothing.
        {"release only", two, {DownOutside, UpOnList}, {{}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeList({10, 10, 110, 200}, c.items);
        AdvanceTime(1000);
        const POINT item = RowPoint(0);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            switch (c.steps[i]) {
            case Down:
                user::test::StylusDown(item);
                break;
            case Up:
            case UpOnList:
                user::test::StylusUp(item);
                break;
            case Wait299:
                AdvanceTime(CSkinListBox::kHoldTime - 1);
                break;
            case Wait1:
                AdvanceTime(1);
                break;
            case DownOutside:
                user::test::StylusDown(POINT{200, 300});
                break;
            }
            RunUntilIdle();
            EXPECT_EQ(Codes(), c.codes[i]) << "after step " << i;
        }
    }
    // The list box's own selection change reaches the dialog too, and the press is where a menu belongs.
    CSkinListBox& list = MakeList({10, 10, 110, 200}, two);
    AdvanceTime(1000);
    user::test::Tap(RowPoint(1));
    RunUntilIdle();
    EXPECT_EQ(std::count(m_host->m_commands.begin(), m_host->m_commands.end(),
                         std::pair<UINT, UINT>{kListId, LBN_SELCHANGE}),
              1);
    EXPECT_EQ(list.GetSel(1), 1);
    POINT press = RowPoint(1);
    list.ScreenToClient(&press);
    EXPECT_EQ(list.GetLastTapPoint().x, press.x);
    EXPECT_EQ(list.GetLastTapPoint().y, press.y);
}

// The main dialog creates its list with LBS_MULTIPLESEL: a tap, a hold or a double tap still leaves the
// touched item the only one selected, and so the current one.
TEST_F(SkinListBoxTest, APressSelectsTheTouchedItemAlone) {
    CSkinListBox& list = MakeList({10, 10, 110, 200}, {u"one", u"two", u"three"});
    auto selected = [&list] {
        std::vector<int> items;
        for (int i = 0; i < list.GetCount(); ++i)
            if (list.GetSel(i) > 0)
                items.push_back(i);
        return items;
    };
    // As a create or an open selects the item it adds.
    list.SetSel(2, TRUE);
    enum Gesture { Tap, Hold, DoubleTap };
    struct Step {
        Gesture gesture;
        int row;
    };
    const Step steps[] = {{Tap, 0}, {Tap, 0}, {Hold, 1}, {Tap, 2}, {DoubleTap, 2}, {DoubleTap, 0}};
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "gesture " << step.gesture << " on row " << step.row);
        AdvanceTime(1000);
        const POINT point = RowPoint(step.row);
        user::test::StylusDown(point);
        RunUntilIdle();
        if (step.gesture == Hold) {
            AdvanceTime(CSkinListBox::kHoldTime);
            RunUntilIdle();
            EXPECT_EQ(list.GetCurSel(), step.row) << "what the hold's menu is for";
        }
        user::test::StylusUp(point);
        RunUntilIdle();
        if (step.gesture == DoubleTap) {
            user::test::Tap(point);
            RunUntilIdle();
        }
        EXPECT_EQ(selected(), std::vector<int>{step.row});
        EXPECT_EQ(list.GetCurSel(), step.row);
    }
    const std::vector<int> codes = Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), kDoubleClick), 2);
}

TEST_F(SkinListBoxTest, MovingOrResizingTakesTheBackgroundAgain) {
    CSkinListBox& list = MakeList({10, 10, 110, 200}, {u"one"});
    auto emptyArea = [this] { return CRect(0, RowRect(1).top + 2, Client().right, Client().bottom); };
    auto fullOf = [&list](COLORREF colour, const CRect& area) {
        return CountPixels(list, colour, area) == area.Width() * area.Height();
    };
    ASSERT_TRUE(fullOf(kLeft, emptyArea()));

    // Onto the right half of the skin.
    list.MoveWindow(130, 10, 100, 190);
    RunUntilIdle();
    EXPECT_TRUE(fullOf(kRight, emptyArea()));
    EXPECT_GT(CountPixels(list, kText, RowRect(0)), 0);

    // Across both halves: the new size is copied whole, each part from where it lies.
    list.MoveWindow(60, 10, 120, 250);
    RunUntilIdle();
    const CRect area = emptyArea();
    const int middle = 120 - 60 - 1; // the list's border is one pixel
    EXPECT_TRUE(fullOf(kLeft, CRect(area.left, area.top, middle, area.bottom)));
    EXPECT_TRUE(fullOf(kRight, CRect(middle, area.top, area.right, area.bottom)));
}

TEST_F(SkinListBoxTest, ScrollingStopsAtTheFirstAndTheLastItem) {
    std::vector<std::u16string> items;
    for (int i = 0; i < 20; ++i)
        items.push_back(u"item " + std::u16string(1, static_cast<char16_t>(u'a' + i)));
    CSkinListBox& list = MakeList({10, 10, 110, 100}, items);
    list.SetTopIndex(19);
    const int lastTop = list.GetTopIndex();
    list.SetTopIndex(0);

    list.ScrollDown(3);
    EXPECT_EQ(list.GetTopIndex(), 3);
    list.ScrollUp(5);
    EXPECT_EQ(list.GetTopIndex(), 0);
    list.ScrollDown(1000);
    EXPECT_EQ(list.GetTopIndex(), lastTop);
    list.ScrollUp(1000);
    EXPECT_EQ(list.GetTopIndex(), 0);
}

} // namespace
