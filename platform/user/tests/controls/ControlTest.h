#pragma once
// The fixture of the standard controls' tests: a modeless dialog made from a table of controls, whose
// dialog procedure records the WM_COMMAND notifications and the colour requests it gets, and a few
// helpers for taps, keys and pixels.

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "user/Controls.h"
#include "user/User.h"
#include "user/WindowTest.h"

namespace controls_test {

struct Notification {
    int id;
    int code;
    bool operator==(const Notification&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Notification& n) {
    return out << "{" << n.id << ", " << n.code << "}";
}

using user::test::OnScreen;

inline COLORREF SystemOnScreen(int index) {
    return OnScreen(GetSysColor(index));
}

class ControlTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Log().clear();
        ColorRequests().clear();
        Handler() = nullptr;
    }
    void TearDown() override {
        Handler() = nullptr;
        WindowTest::TearDown();
    }

    // A visible modeless dialog of the system font holding the items, at the top left of the work area.
    HWND MakeDialog(std::span<const user::DialogItem> items, short cx = 150, short cy = 180) {
        const user::DialogTemplateBytes bytes({WS_POPUP | WS_BORDER | WS_VISIBLE, 0, 0, 0, cx, cy}, items);
        m_dialog = CreateDialogIndirectParamW(nullptr, bytes.Template(), nullptr, DialogProc, 0);
        EXPECT_NE(m_dialog, nullptr);
        user::test::RunUntilIdle();
        TakeNotifications();
        return m_dialog;
    }

    HWND Item(int id) const { return GetDlgItem(m_dialog, id); }

    static std::vector<Notification> TakeNotifications() {
        std::vector<Notification> taken;
        taken.swap(Log());
        return taken;
    }

    // The WM_CTLCOLOR* messages the dialog got, with the control that asked.
    static std::vector<std::pair<UINT, HWND>>& ColorRequests() {
        static std::vector<std::pair<UINT, HWND>> requests;
        return requests;
    }

    // What the dialog does with a message besides recording it; answers true when it handled it.
    static std::function<bool(HWND, UINT, WPARAM, LPARAM, INT_PTR&)>& Handler() {
        static std::function<bool(HWND, UINT, WPARAM, LPARAM, INT_PTR&)> handler;
        return handler;
    }

    // A tap at a point of a window's client area, then time enough that the next tap is not a double tap.
    static void TapAt(HWND window, POINT client) {
        user::test::TapWindow(window, client);
        user::test::RunUntilIdle();
        user::test::AdvanceTime(1000);
    }

    static void Press(UINT key, WCHAR character = 0) {
        user::test::PressKey(key, character);
        user::test::RunUntilIdle();
    }

    // A key pressed while Shift is held.
    static void ShiftPress(UINT key) {
        user::test::KeyDown(VK_SHIFT);
        user::test::PressKey(key);
        user::test::KeyUp(VK_SHIFT);
        user::test::RunUntilIdle();
    }

    static void Type(std::u16string_view text) {
        user::test::TypeText(text);
        user::test::RunUntilIdle();
    }

    static std::u16string TextOf(HWND window) {
        int length = GetWindowTextLengthW(window);
        std::u16string text(static_cast<size_t>(length) + 1, u'\0');
        int copied = GetWindowTextW(window, text.data(), length + 1);
        text.resize(static_cast<size_t>(std::max(0, copied)));
        return text;
    }

    static std::pair<DWORD, DWORD> Selection(HWND edit) {
        DWORD start = 0;
        DWORD end = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }

    // The client-area columns of a row whose pixel has the colour.
    static std::vector<int> ColumnsOf(HWND window, int y, COLORREF color) {
        RECT client;
        GetClientRect(window, &client);
        std::vector<int> columns;
        for (int x = 0; x < client.right; ++x)
            if (user::test::WindowPixel(window, x, y) == color)
                columns.push_back(x);
        return columns;
    }

    HWND m_dialog = nullptr;

private:
    static std::vector<Notification>& Log() {
        static std::vector<Notification> log;
        return log;
    }

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COMMAND && lParam)
            Log().push_back({LOWORD(wParam), HIWORD(wParam)});
        if (user::IsCtlColorMessage(message))
            ColorRequests().emplace_back(message, reinterpret_cast<HWND>(lParam));
        INT_PTR result = FALSE;
        if (Handler() && Handler()(hwnd, message, wParam, lParam, result))
            return result;
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }
};

} // namespace controls_test
