// Stylus and key input: routing, the order of messages, capture, double taps and focus.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Recorder.h"
#include "user/WindowTest.h"

namespace {

using testing::ElementsAre;
using user_test::Received;
using user_test::Recorder;

class InputTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Recorder::Clear();
        m_top = Recorder::Create(WS_POPUP | WS_VISIBLE, RECT{20, 40, 220, 240});
        m_child = Recorder::Create(WS_CHILD | WS_VISIBLE, RECT{10, 10, 60, 40}, m_top, 100);
        m_other = Recorder::Create(WS_CHILD | WS_VISIBLE, RECT{100, 100, 180, 180}, m_top, 101);
        user::test::RunUntilIdle();
        Recorder::Log().clear();
    }
    void TearDown() override {
        Recorder::Clear();
        WindowTest::TearDown();
    }
    static std::vector<Received> MouseOf(HWND hwnd) {
        std::vector<Received> out;
        for (const Received& r : Recorder::Log())
            if (r.hwnd == hwnd && ((r.message >= WM_MOUSEFIRST && r.message <= WM_MOUSELAST)))
                out.push_back(r);
        return out;
    }
    HWND m_top = nullptr;
    HWND m_child = nullptr;
    HWND m_other = nullptr;
};

TEST_F(InputTest, ATapOnACustomWindowGivesDownThenUpAtClientPoints) {
    Recorder::Handler() = [](HWND, UINT message, WPARAM, LPARAM, LRESULT&) {
        return message == WM_ACTIVATE; // keep the focus where it is
    };
    // The child's client area starts at (30, 50) on the screen.
    user::test::Tap(POINT{35, 57});
    user::test::RunUntilIdle();
    auto mouse = MouseOf(m_child);
    ASSERT_EQ(mouse.size(), 2u);
    EXPECT_EQ(mouse[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(mouse[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(LOWORD(mouse[0].lParam), 5);
    EXPECT_EQ(HIWORD(mouse[0].lParam), 7);
    EXPECT_EQ(mouse[1].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(mouse[1].wParam, 0u);
    // A hit test comes before each button message; the parent gets nothing of the tap.
    auto order = Recorder::MessagesOf(m_child, {WM_NCHITTEST, WM_LBUTTONDOWN, WM_LBUTTONUP});
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order.front(), static_cast<UINT>(WM_NCHITTEST));
    EXPECT_TRUE(MouseOf(m_top).empty());
}

TEST_F(InputTest, TheCaptureWindowGetsTheReleaseWhereverTheStylusIsLifted) {
    Recorder::Handler() = [](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_LBUTTONDOWN)
            SetCapture(hwnd);
        if (message == WM_LBUTTONUP)
            ReleaseCapture();
        return false;
    };
    // Press on the child, slide over the other child and off the window, lift outside everything.
    user::test::Drag(POINT{40, 60}, POINT{230, 300}, 3);
    user::test::RunUntilIdle();
    auto mouse = MouseOf(m_child);
    ASSERT_EQ(mouse.size(), 5u);
    EXPECT_EQ(mouse[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(mouse[4].message, static_cast<UINT>(WM_LBUTTONUP));
    // Coordinates relative to the capturing window, even outside it.
    EXPECT_EQ(static_cast<SHORT>(LOWORD(mouse[4].lParam)), 230 - 30);
    EXPECT_EQ(static_cast<SHORT>(HIWORD(mouse[4].lParam)), 300 - 50);
    EXPECT_TRUE(MouseOf(m_other).empty());
    EXPECT_EQ(GetCapture(), nullptr);
    // Without the capture the release goes to the window under the point.
    Recorder::Handler() = nullptr;
    Recorder::Log().clear();
    user::test::Drag(POINT{40, 60}, POINT{150, 170}, 1);
    user::test::RunUntilIdle();
    EXPECT_THAT(Recorder::MessagesOf(m_other, {WM_LBUTTONUP}), ElementsAre(WM_LBUTTONUP));
}

TEST_F(InputTest, CaptureChangesAreReported) {
    EXPECT_EQ(SetCapture(m_child), nullptr);
    EXPECT_EQ(SetCapture(m_other), m_child);
    EXPECT_THAT(Recorder::MessagesOf(m_child, {WM_CAPTURECHANGED}), ElementsAre(WM_CAPTURECHANGED));
    ASSERT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_THAT(Recorder::MessagesOf(m_other, {WM_CAPTURECHANGED}), ElementsAre(WM_CAPTURECHANGED));
    // A destroyed capture window lets go of the stylus.
    SetCapture(m_other);
    DestroyWindow(m_other);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, AQuickSecondTapIsADoubleTapOnlyWhereTheClassAsksForIt) {
    user::test::Tap(POINT{35, 57});
    user::test::Tap(POINT{36, 58});
    user::test::Tap(POINT{36, 58});
    user::test::RunUntilIdle();
    EXPECT_THAT(Recorder::MessagesOf(m_child, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}),
                ElementsAre(WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN));
    // A slow second tap is a plain one.
    Recorder::Log().clear();
    user::test::AdvanceTime(1000);
    user::test::Tap(POINT{35, 57});
    user::test::AdvanceTime(600);
    user::test::Tap(POINT{35, 57});
    user::test::RunUntilIdle();
    EXPECT_THAT(Recorder::MessagesOf(m_child, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}),
                ElementsAre(WM_LBUTTONDOWN, WM_LBUTTONDOWN));
    // A class without CS_DBLCLKS never gets one.
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"PlainTapTarget";
    RegisterClassW(&wc);
    HWND plain = CreateWindowExW(0, u"PlainTapTarget", u"", WS_CHILD | WS_VISIBLE, 0, 150, 50, 40, m_top,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(plain, nullptr);
    struct Spy {
        static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
            if (m == WM_LBUTTONDBLCLK || m == WM_LBUTTONDOWN)
                Messages().push_back(m);
            return DefWindowProcW(h, m, w, l);
        }
        static std::vector<UINT>& Messages() {
            static std::vector<UINT> messages;
            return messages;
        }
    };
    SetWindowLongPtrW(plain, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Spy::Proc));
    user::test::Tap(POINT{30, 200});
    user::test::Tap(POINT{30, 200});
    user::test::RunUntilIdle();
    EXPECT_THAT(Spy::Messages(), ElementsAre(WM_LBUTTONDOWN, WM_LBUTTONDOWN));
    DestroyWindow(plain);
    UnregisterClassW(u"PlainTapTarget", nullptr);
}

TEST_F(InputTest, ADisabledChildPassesTheTapToItsParentAndADisabledWindowGetsNone) {
    EnableWindow(m_child, FALSE);
    user::test::Tap(POINT{35, 57});
    user::test::RunUntilIdle();
    EXPECT_TRUE(MouseOf(m_child).empty());
    EXPECT_THAT(Recorder::MessagesOf(m_top, {WM_LBUTTONDOWN, WM_LBUTTONUP}),
                ElementsAre(WM_LBUTTONDOWN, WM_LBUTTONUP));
    Recorder::Log().clear();
    EnableWindow(m_top, FALSE);
    user::test::Tap(POINT{150, 170});
    user::test::RunUntilIdle();
    EXPECT_TRUE(MouseOf(m_top).empty());
    EXPECT_TRUE(MouseOf(m_other).empty());
}

TEST_F(InputTest, KeysGoToTheFocusWindowAndTranslateToCharacters) {
    SetFocus(m_other);
    Recorder::Log().clear();
    user::test::TypeText(u"a7");
    user::test::PressKey(VK_LEFT);
    user::test::RunUntilIdle();
    std::vector<std::pair<UINT, WPARAM>> keys;
    for (const Received& r : Recorder::Log())
        if (r.hwnd == m_other && (r.message == WM_KEYDOWN || r.message == WM_KEYUP || r.message == WM_CHAR))
            keys.emplace_back(r.message, r.wParam);
    EXPECT_THAT(keys,
                ElementsAre(std::pair<UINT, WPARAM>(WM_KEYDOWN, 'A'), std::pair<UINT, WPARAM>(WM_CHAR, u'a'),
                            std::pair<UINT, WPARAM>(WM_KEYUP, 'A'), std::pair<UINT, WPARAM>(WM_KEYDOWN, '7'),
                            std::pair<UINT, WPARAM>(WM_CHAR, u'7'), std::pair<UINT, WPARAM>(WM_KEYUP, '7'),
                            std::pair<UINT, WPARAM>(WM_KEYDOWN, VK_LEFT),
                            std::pair<UINT, WPARAM>(WM_KEYUP, VK_LEFT)));
    EXPECT_TRUE(Recorder::MessagesOf(m_child, {WM_KEYDOWN, WM_CHAR}).empty());
}

TEST_F(InputTest, FocusChangesSendKillFocusThenSetFocusWithTheOtherWindow) {
    SetFocus(m_child);
    Recorder::Log().clear();
    EXPECT_EQ(SetFocus(m_other), m_child);
    std::vector<Received> focus;
    for (const Received& r : Recorder::Log())
        if (r.message == WM_SETFOCUS || r.message == WM_KILLFOCUS)
            focus.push_back(r);
    ASSERT_EQ(focus.size(), 2u);
    EXPECT_EQ(focus[0].hwnd, m_child);
    EXPECT_EQ(focus[0].message, static_cast<UINT>(WM_KILLFOCUS));
    EXPECT_EQ(reinterpret_cast<HWND>(focus[0].wParam), m_other);
    EXPECT_EQ(focus[1].hwnd, m_other);
    EXPECT_EQ(focus[1].message, static_cast<UINT>(WM_SETFOCUS));
    EXPECT_EQ(reinterpret_cast<HWND>(focus[1].wParam), m_child);
    EXPECT_EQ(GetFocus(), m_other);
    // Setting the focus to the window that has it sends nothing.
    Recorder::Log().clear();
    EXPECT_EQ(SetFocus(m_other), m_other);
    EXPECT_TRUE(Recorder::MessagesOf(m_other, {WM_SETFOCUS, WM_KILLFOCUS}).empty());
    // Destroying the focus window gives the focus to its parent.
    DestroyWindow(m_other);
    EXPECT_EQ(GetFocus(), m_top);
}

TEST_F(InputTest, ActivationMovesWithTapsAndTheFocusFollowsIt) {
    HWND second = Recorder::Create(WS_POPUP | WS_VISIBLE, RECT{0, 250, 100, 300});
    user::test::RunUntilIdle();
    EXPECT_EQ(GetActiveWindow(), second);
    EXPECT_EQ(GetFocus(), second);
    Recorder::Log().clear();
    user::test::Tap(POINT{35, 57});
    user::test::RunUntilIdle();
    EXPECT_EQ(GetActiveWindow(), m_top);
    ASSERT_THAT(Recorder::MessagesOf(second, {WM_ACTIVATE, WM_KILLFOCUS}),
                ElementsAre(WM_ACTIVATE, WM_KILLFOCUS));
    EXPECT_THAT(Recorder::MessagesOf(m_top, {WM_ACTIVATE, WM_SETFOCUS}),
                ElementsAre(WM_ACTIVATE, WM_SETFOCUS));
    EXPECT_EQ(GetFocus(), m_top);
    // Hiding the active window activates the next one.
    ShowWindow(m_top, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), second);
}

} // namespace
