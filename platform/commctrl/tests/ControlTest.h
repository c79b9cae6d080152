#pragma once
// What the common-control tests share: a parent window that records the notifications, commands and
// scroll messages its controls send (and can answer them), and a fixture on the window test surface.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "commctrl/CommCtrl.h"
#include "user/WindowTest.h"

namespace commctrl_test {

struct Notice {
    UINT message; // WM_NOTIFY, WM_COMMAND, WM_VSCROLL, WM_HSCROLL
    UINT code;    // the notification code, the command id, or the scroll code
    int item = -1;
    int subItem = 0;
    UINT newState = 0;
    UINT oldState = 0;
    LPARAM lParam = 0;
    UINT action = 0;
    HTREEITEM oldItem = nullptr;
    HTREEITEM newItem = nullptr;
    int position = 0;
    int delta = 0;
    DWORD stage = 0;
};

using user::test::OnScreen;

class Parent {
public:
    // Answers a WM_NOTIFY before it is recorded; the answer is what the parent returns.
    using Answer = std::function<LRESULT(NMHDR*)>;

    static HWND Create(RECT rect = RECT{0, 0, 240, 320});
    static std::vector<Notice>& Log();
    static Answer& Answering();
    static void Clear();
    // The codes of the WM_NOTIFY messages recorded, oldest first (without custom draw and focus ones).
    static std::vector<UINT> Codes();
    static std::vector<Notice> Notices(UINT code);
};

class ControlTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Parent::Clear();
        m_parent = Parent::Create();
        ASSERT_NE(m_parent, nullptr);
    }
    void TearDown() override {
        Parent::Clear();
        WindowTest::TearDown();
    }
    HWND Child(LPCWSTR className, DWORD style, RECT rect, int id) {
        return CreateWindowExW(0, className, u"", WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                               rect.right - rect.left, rect.bottom - rect.top, m_parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    // A tap at a point of a window's client area, then a pause longer than a double tap.
    static void TapAt(HWND window, POINT client) {
        user::test::TapWindow(window, client);
        user::test::RunUntilIdle();
        user::test::AdvanceTime(1000);
    }

    HWND m_parent = nullptr;
};

} // namespace commctrl_test
