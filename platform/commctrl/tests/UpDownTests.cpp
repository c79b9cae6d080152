// The up-down control: its range and position, taps on its arrows (repeating while held) and keys, with
// UDN_DELTAPOS and the scroll messages in order, and the integer in its buddy window.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ControlTest.h"

namespace {

using commctrl_test::Notice;
using commctrl_test::Parent;
using testing::ElementsAre;

constexpr int kSpinId = 70;
constexpr int kBuddyId = 71;

// A plain window that keeps its text, as the buddy.
HWND MakeBuddy(HWND parent) {
    WNDCLASSW wc{};
    if (!GetClassInfoW(nullptr, u"SpinBuddy", &wc)) {
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"SpinBuddy";
        RegisterClassW(&wc);
    }
    return CreateWindowExW(0, u"SpinBuddy", u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, 60, 16, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBuddyId)), nullptr, nullptr);
}

class UpDownTest : public commctrl_test::ControlTest {
protected:
    HWND Make(DWORD style) {
        HWND spin = Child(UPDOWN_CLASSW, style, RECT{80, 10, 112, 26}, kSpinId);
        EXPECT_NE(spin, nullptr);
        return spin;
    }
    static int Position(HWND spin) { return static_cast<int>(SendMessageW(spin, UDM_GETPOS32, 0, 0)); }
    // A tap on the arrow that raises the value (right half when horizontal, top half when vertical).
    static void TapRaise(HWND spin, bool horizontal) {
        TapAt(spin, horizontal ? POINT{24, 8} : POINT{16, 3});
    }
    static void TapLower(HWND spin, bool horizontal) {
        TapAt(spin, horizontal ? POINT{6, 8} : POINT{16, 13});
    }
};

TEST_F(UpDownTest, TheDefaultRangeRunsDownFromAHundred) {
    HWND spin = Make(0);
    EXPECT_EQ(SendMessageW(spin, UDM_GETRANGE, 0, 0), MAKELONG(0, 100));
    // Up moves towards the upper end, which is 0, so from 0 it stays.
    TapRaise(spin, false);
    EXPECT_EQ(Position(spin), 0);
    TapLower(spin, false);
    EXPECT_EQ(Position(spin), 1);
}

TEST_F(UpDownTest, ATapStepsThePositionWithDeltaPosThenTheScrollMessage) {
    HWND spin = Make(UDS_HORZ);
    SendMessageW(spin, UDM_SETRANGE32, 100, 65535);
    SendMessageW(spin, UDM_SETPOS32, 0, 100);
    Parent::Clear();
    TapRaise(spin, true);
    EXPECT_EQ(Position(spin), 101);
    ASSERT_EQ(Parent::Log().size(), 3u);
    const Notice& delta = Parent::Log()[0];
    EXPECT_EQ(delta.code, static_cast<UINT>(UDN_DELTAPOS));
    EXPECT_EQ(delta.position, 100);
    EXPECT_EQ(delta.delta, 1);
    EXPECT_EQ(Parent::Log()[1].message, static_cast<UINT>(WM_HSCROLL));
    EXPECT_EQ(Parent::Log()[1].code, static_cast<UINT>(SB_THUMBPOSITION));
    EXPECT_EQ(Parent::Log()[1].position, 101);
    EXPECT_EQ(Parent::Log()[2].code, static_cast<UINT>(SB_ENDSCROLL));
    TapLower(spin, true);
    TapLower(spin, true);
    EXPECT_EQ(Position(spin), 100); // the lower end holds
}

TEST_F(UpDownTest, ARefusedDeltaLeavesThePosition) {
    HWND spin = Make(0);
    SendMessageW(spin, UDM_SETRANGE32, 0, 10);
    Parent::Answering() = [](NMHDR* header) -> LRESULT { return header->code == UDN_DELTAPOS; };
    TapRaise(spin, false);
    EXPECT_EQ(Position(spin), 0);
}

TEST_F(UpDownTest, HoldingAnArrowRepeats) {
    HWND spin = Make(0);
    SendMessageW(spin, UDM_SETRANGE32, 0, 1000);
    POINT point{16, 3};
    ClientToScreen(spin, &point);
    user::test::StylusDown(point);
    user::test::RunUntilIdle();
    EXPECT_EQ(Position(spin), 1);
    user::test::AdvanceTime(500 + 100 * 10);
    user::test::StylusUp(point);
    user::test::RunUntilIdle();
    EXPECT_GE(Position(spin), 10);
    int held = Position(spin);
    user::test::AdvanceTime(1000);
    EXPECT_EQ(Position(spin), held); // released: no more steps
    // After two seconds held, each step is five.
    user::test::StylusDown(point);
    user::test::RunUntilIdle();
    user::test::AdvanceTime(2100);
    int before = Position(spin);
    user::test::AdvanceTime(100);
    EXPECT_EQ(Position(spin), before + 5);
    user::test::StylusUp(point);
    user::test::RunUntilIdle();
}

TEST_F(UpDownTest, TheBuddyShowsThePositionAsANumber) {
    HWND buddy = MakeBuddy(m_parent);
    HWND spin = Make(UDS_SETBUDDYINT);
    SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
    EXPECT_EQ(SendMessageW(spin, UDM_GETBUDDY, 0, 0), reinterpret_cast<LRESULT>(buddy));
    SendMessageW(spin, UDM_SETRANGE32, 0, 5000);
    SendMessageW(spin, UDM_SETPOS32, 0, 999);
    EXPECT_EQ(user::test::Text(buddy), u"999");
    TapRaise(spin, false);
    EXPECT_EQ(user::test::Text(buddy), u"1,000");
    // What the user typed is where the next step starts.
    SetWindowTextW(buddy, u"  2,500 ");
    EXPECT_EQ(Position(spin), 2500);
    TapRaise(spin, false);
    EXPECT_EQ(user::test::Text(buddy), u"2,501");
    // Text that is no number in the range is an error, and the position stays.
    for (const char* bad : {"abc", "", "7000", "12x", "-"}) {
        std::u16string text(bad, bad + std::strlen(bad));
        SetWindowTextW(buddy, text.c_str());
        BOOL error = FALSE;
        EXPECT_EQ(SendMessageW(spin, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)), 2501) << bad;
        EXPECT_TRUE(error) << bad;
        EXPECT_EQ(HIWORD(SendMessageW(spin, UDM_GETPOS, 0, 0)), 1) << bad;
    }
}

TEST_F(UpDownTest, NoThousandsKeepsTheDigitsTogether) {
    HWND buddy = MakeBuddy(m_parent);
    HWND spin = Make(UDS_SETBUDDYINT | UDS_NOTHOUSANDS);
    SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
    SendMessageW(spin, UDM_SETRANGE32, 100, 65535);
    SendMessageW(spin, UDM_SETPOS32, 0, 65535);
    EXPECT_EQ(user::test::Text(buddy), u"65535");
}

TEST_F(UpDownTest, ArrowKeysInTheBuddyStepThePosition) {
    HWND buddy = MakeBuddy(m_parent);
    HWND spin = Make(UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_HORZ);
    SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
    SendMessageW(spin, UDM_SETRANGE32, 1, 425);
    SendMessageW(spin, UDM_SETPOS32, 0, 1);
    SetFocus(buddy);
    user::test::PressKey(VK_UP);
    user::test::PressKey(VK_UP);
    user::test::PressKey(VK_DOWN);
    user::test::RunUntilIdle();
    EXPECT_EQ(Position(spin), 2);
    EXPECT_EQ(user::test::Text(buddy), u"2");
    // Without the style the buddy's keys are its own.
    SetWindowLongW(spin, GWL_STYLE, GetWindowLongW(spin, GWL_STYLE) & ~UDS_ARROWKEYS);
    user::test::PressKey(VK_UP);
    user::test::RunUntilIdle();
    EXPECT_EQ(Position(spin), 2);
    // The buddy outlives the control and works on its own.
    DestroyWindow(spin);
    SetWindowTextW(buddy, u"still here");
    EXPECT_EQ(user::test::Text(buddy), u"still here");
}

TEST_F(UpDownTest, WrapGoesRoundAndSetPosKeepsToTheRange) {
    HWND spin = Make(UDS_WRAP);
    SendMessageW(spin, UDM_SETRANGE32, 1, 3);
    SendMessageW(spin, UDM_SETPOS32, 0, 3);
    TapRaise(spin, false);
    EXPECT_EQ(Position(spin), 1);
    SendMessageW(spin, UDM_SETPOS32, 0, 50);
    EXPECT_EQ(Position(spin), 3);
    SendMessageW(spin, UDM_SETPOS32, 0, -50);
    EXPECT_EQ(Position(spin), 1);
    int lower = 0;
    int upper = 0;
    SendMessageW(spin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lower), reinterpret_cast<LPARAM>(&upper));
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 3);
    SendMessageW(spin, UDM_GETRANGE32, 0, 0); // no records: nothing is written
}

TEST_F(UpDownTest, KeysOnTheControlStepToo) {
    HWND spin = Make(0);
    SendMessageW(spin, UDM_SETRANGE32, 0, 9);
    SetFocus(spin);
    user::test::PressKey(VK_UP);
    user::test::PressKey(VK_RIGHT);
    user::test::RunUntilIdle();
    EXPECT_EQ(Position(spin), 2);
    EXPECT_EQ(Parent::Notices(UDN_DELTAPOS).size(), 2u);
}

} // namespace
