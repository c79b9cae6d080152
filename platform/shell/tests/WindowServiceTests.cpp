// The shell's window services: full-screen states per window and the task bar that follows the window in
// front; the tray's icons in their slots, their callback messages, and a hidden window brought back
// through its icon.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "kernel/Errors.h"
#include "shell/FullScreen.h"
#include "shell/Tray.h"
#include "user/Icon.h"
#include "user/User.h"
#include "user/WindowTest.h"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

namespace {

using user::test::ScreenPixel;

constexpr UINT kTrayMessage = WM_APP + 100;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

struct App {
    static inline std::vector<std::pair<WPARAM, LPARAM>> callbacks;
    static inline bool showOnCallback = false;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kTrayMessage) {
            callbacks.emplace_back(wParam, lParam);
            if (showOnCallback) {
                ShowWindow(hwnd, SW_SHOW);
                SetForegroundWindow(hwnd);
            }
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

class ShellWindowTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        App::callbacks.clear();
        App::showOnCallback = false;
        WNDCLASSW wc{};
        if (!GetClassInfoW(nullptr, u"ShellTestApp", &wc)) {
            wc.lpfnWndProc = App::Proc;
            wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            wc.lpszClassName = u"ShellTestApp";
            RegisterClassW(&wc);
        }
    }
    void TearDown() override {
        for (HICON icon : m_icons)
            DestroyIcon(icon);
        WindowTest::TearDown();
    }
    // A white window over the whole screen, in front.
    static HWND MakeWindow(const WCHAR* title) {
        HWND hwnd = CreateWindowExW(0, u"ShellTestApp", title, WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                    nullptr, nullptr, nullptr);
        SetForegroundWindow(hwnd);
        return hwnd;
    }
    HICON SolidIcon(COLORREF colour) {
        std::vector<BYTE> mask(16 * 2, 0);
        std::vector<uint32_t> pixels(16 * 16, (GetRValue(colour) << 16) | (GetGValue(colour) << 8) |
                                                  GetBValue(colour));
        HICON icon =
            CreateIcon(nullptr, 16, 16, 1, 32, mask.data(), reinterpret_cast<const BYTE*>(pixels.data()));
        m_icons.push_back(icon);
        return icon;
    }
    static NOTIFYICONDATA Data(HWND hwnd, UINT id, UINT flags, UINT callback = 0, HICON icon = nullptr) {
        NOTIFYICONDATA data{};
        data.cbSize = sizeof data;
        data.hWnd = hwnd;
        data.uID = id;
        data.uFlags = flags;
        data.uCallbackMessage = callback;
        data.hIcon = icon;
        return data;
    }
    static bool BarShown() {
        HWND bar = shell::TaskBarWindow();
        return bar && IsWindowVisible(bar) && ScreenPixel(5, 5) != kWhite;
    }
    static COLORREF SlotColour(HWND hwnd, UINT id) {
        std::optional<RECT> slot = shell::TrayIconRect(hwnd, id);
        return slot ? ScreenPixel((slot->left + slot->right) / 2, (slot->top + slot->bottom) / 2)
                    : CLR_INVALID;
    }

    std::vector<HICON> m_icons;
};

TEST_F(ShellWindowTest, TheTaskBarFollowsTheFullScreenStateOfTheWindowInFront) {
    HWND a = MakeWindow(u"A");
    ASSERT_TRUE(SHFullScreen(a, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON));
    user::test::RunUntilIdle();
    EXPECT_FALSE(BarShown());
    EXPECT_FALSE(shell::CurrentFullScreenState().inputPanelButtonShown);
    EXPECT_EQ(ScreenPixel(5, 5), kWhite);

    // A window that never set a state shows both.
    HWND b = MakeWindow(u"B");
    user::test::RunUntilIdle();
    EXPECT_TRUE(BarShown());
    EXPECT_TRUE(shell::CurrentFullScreenState().inputPanelButtonShown);
    EXPECT_FALSE(shell::FullScreenStateOf(a).taskBarShown);

    SetForegroundWindow(a);
    user::test::RunUntilIdle();
    EXPECT_FALSE(BarShown());

    // A child's call sets its top-level window's state; showing again takes effect at once.
    HWND child = CreateWindowExW(0, u"ShellTestApp", u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, b, nullptr,
                                 nullptr, nullptr);
    ASSERT_TRUE(SHFullScreen(child, SHFS_HIDETASKBAR));
    EXPECT_FALSE(shell::FullScreenStateOf(b).taskBarShown);
    ASSERT_TRUE(SHFullScreen(a, SHFS_SHOWTASKBAR));
    user::test::RunUntilIdle();
    EXPECT_TRUE(BarShown());
    EXPECT_FALSE(shell::CurrentFullScreenState().inputPanelButtonShown);

    // The window that comes to the front when the front one goes brings its own state.
    SetForegroundWindow(b);
    user::test::RunUntilIdle();
    EXPECT_FALSE(BarShown());
    DestroyWindow(b);
    user::test::RunUntilIdle();
    EXPECT_EQ(GetForegroundWindow(), a);
    EXPECT_TRUE(BarShown());
}

TEST_F(ShellWindowTest, TheTaskBarCoversTheTopOfTheScreenAndIsNeverActive) {
    HWND app = MakeWindow(u"App");
    ASSERT_TRUE(SHInitExtraControls());
    user::test::RunUntilIdle();
    HWND bar = shell::TaskBarWindow();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(user::test::ScreenRect(bar).bottom, shell::kTaskBarHeight);
    EXPECT_TRUE(BarShown());
    EXPECT_EQ(ScreenPixel(5, shell::kTaskBarHeight), kWhite);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(work.top, shell::kTaskBarHeight);
    // A tap on the bar leaves the window in front where it is.
    user::test::Tap(POINT{5, 5});
    user::test::RunUntilIdle();
    EXPECT_EQ(GetActiveWindow(), app);
    // The window system's reset takes the bar away; the shell makes it again.
    user::test::ResetWindowSystem();
    EXPECT_EQ(shell::TaskBarWindow(), nullptr);
    SHInitExtraControls();
    EXPECT_NE(shell::TaskBarWindow(), nullptr);
}

TEST_F(ShellWindowTest, FullScreenRequestsThatDoNotFitAreRefused) {
    HWND app = MakeWindow(u"App");
    struct Case {
        HWND window;
        DWORD state;
        DWORD error;
    };
    for (const Case& c :
         {Case{app, SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR, ERROR_INVALID_PARAMETER},
          Case{app, SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON, ERROR_INVALID_PARAMETER},
          Case{app, 0x10, ERROR_INVALID_PARAMETER},
          Case{nullptr, SHFS_HIDETASKBAR, ERROR_INVALID_WINDOW_HANDLE},
          Case{reinterpret_cast<HWND>(0x1230), SHFS_HIDETASKBAR, ERROR_INVALID_WINDOW_HANDLE}}) {
        SetLastError(0);
        EXPECT_FALSE(SHFullScreen(c.window, c.state)) << c.state;
        EXPECT_EQ(GetLastError(), c.error) << c.state;
    }
    EXPECT_TRUE(shell::FullScreenStateOf(app).taskBarShown);
}

TEST_F(ShellWindowTest, TrayIconsAreAddedModifiedAndDeletedInTheirSlots) {
    HWND app = MakeWindow(u"App");
    NOTIFYICONDATA first = Data(app, 200, NIF_ICON, 0, SolidIcon(kRed));
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &first));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    NOTIFYICONDATA second = Data(app, 201, NIF_ICON, 0, SolidIcon(kBlue));
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &second));
    // The shell draws its own copies.
    for (HICON icon : m_icons)
        DestroyIcon(icon);
    m_icons.clear();
    user::test::RunUntilIdle();
    EXPECT_EQ(shell::TrayIconRect(app, 200), (RECT{218, 0, 240, 26}));
    EXPECT_EQ(shell::TrayIconRect(app, 201), (RECT{196, 0, 218, 26}));
    EXPECT_EQ(SlotColour(app, 200), kRed);
    EXPECT_EQ(SlotColour(app, 201), kBlue);

    NOTIFYICONDATA change = Data(app, 200, NIF_ICON, 0, SolidIcon(kBlue));
    ASSERT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &change));
    user::test::RunUntilIdle();
    EXPECT_EQ(SlotColour(app, 200), kBlue);

    ASSERT_TRUE(Shell_NotifyIcon(NIM_DELETE, &first));
    user::test::RunUntilIdle();
    EXPECT_FALSE(shell::TrayIconRect(app, 200).has_value());
    EXPECT_EQ(shell::TrayIconRect(app, 201), (RECT{218, 0, 240, 26}));
    EXPECT_EQ(ScreenPixel(207, 13), ScreenPixel(5, 5)); // the freed slot shows the bar
    EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_FOUND));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_FOUND));

    // A window's icons go with it.
    DestroyWindow(app);
    EXPECT_FALSE(shell::TrayIconRect(app, 201).has_value());
}

TEST_F(ShellWindowTest, ATapOnAnIconPostsItsCallbackMessageWithItsId) {
    HWND app = MakeWindow(u"App");
    // Added as the main program adds it: callback message 0 first, set by the modification that follows.
    NOTIFYICONDATA data = Data(app, 200, NIF_MESSAGE | NIF_ICON, 0, SolidIcon(kRed));
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &data));
    user::test::RunUntilIdle();
    RECT slot = *shell::TrayIconRect(app, 200);
    POINT centre{(slot.left + slot.right) / 2, 13};
    user::test::Tap(centre);
    user::test::RunUntilIdle();
    EXPECT_TRUE(App::callbacks.empty());

    data.uCallbackMessage = kTrayMessage;
    ASSERT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &data));
    user::test::Tap(centre);
    user::test::RunUntilIdle();
    using Callback = std::pair<WPARAM, LPARAM>;
    EXPECT_EQ(App::callbacks, (std::vector<Callback>{{200, WM_LBUTTONDOWN}, {200, WM_LBUTTONUP}}));
    // The release counts wherever the stylus leaves the screen; the bar away from icons sends nothing.
    App::callbacks.clear();
    user::test::Drag(centre, POINT{120, 200});
    user::test::Tap(POINT{5, 5});
    user::test::RunUntilIdle();
    EXPECT_EQ(App::callbacks, (std::vector<Callback>{{200, WM_LBUTTONDOWN}, {200, WM_LBUTTONUP}}));
    EXPECT_EQ(GetActiveWindow(), app);
}

TEST_F(ShellWindowTest, AHiddenWindowComesBackThroughItsTrayIcon) {
    HWND app = MakeWindow(u"Ferrovane");
    App::showOnCallback = true;
    NOTIFYICONDATA data = Data(app, 200, NIF_MESSAGE | NIF_ICON, kTrayMessage, SolidIcon(kRed));
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &data));
    ASSERT_TRUE(SHFullScreen(app, SHFS_HIDETASKBAR));
    user::test::RunUntilIdle();
    EXPECT_FALSE(BarShown());
    // Hiding the window, as the main program's hide command does, leaves the bar with the icon in front.
    ASSERT_TRUE(SHFullScreen(app, SHFS_SHOWTASKBAR));
    ShowWindow(app, SW_HIDE);
    user::test::RunUntilIdle();
    EXPECT_FALSE(IsWindowVisible(app));
    ASSERT_TRUE(BarShown());
    EXPECT_EQ(SlotColour(app, 200), kRed);
    RECT slot = *shell::TrayIconRect(app, 200);
    user::test::Tap(POINT{(slot.left + slot.right) / 2, 13});
    user::test::RunUntilIdle();
    EXPECT_TRUE(IsWindowVisible(app));
    EXPECT_EQ(GetForegroundWindow(), app);
    EXPECT_EQ(ScreenPixel(120, 200), kWhite);
}

TEST_F(ShellWindowTest, TrayRequestsThatDoNotFitAreRefused) {
    HWND app = MakeWindow(u"App");
    NOTIFYICONDATA good = Data(app, 1, NIF_MESSAGE, kTrayMessage);
    NOTIFYICONDATA shortRecord = good;
    shortRecord.cbSize = 152; // the handheld's own size of the record
    NOTIFYICONDATA unknownFlag = Data(app, 1, 0x8);
    NOTIFYICONDATA noWindow = Data(nullptr, 1, NIF_MESSAGE, kTrayMessage);
    struct Case {
        DWORD message;
        NOTIFYICONDATA* data;
        DWORD error;
    };
    for (const Case& c :
         {Case{NIM_ADD, nullptr, ERROR_INVALID_PARAMETER},
          Case{NIM_ADD, &shortRecord, ERROR_INVALID_PARAMETER},
          Case{NIM_ADD, &unknownFlag, ERROR_INVALID_PARAMETER}, Case{3, &good, ERROR_INVALID_PARAMETER},
          Case{NIM_ADD, &noWindow, ERROR_INVALID_WINDOW_HANDLE}}) {
        SetLastError(0);
        EXPECT_FALSE(Shell_NotifyIcon(c.message, c.data));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_FALSE(shell::TrayIconRect(app, 1).has_value());
}

} // namespace
