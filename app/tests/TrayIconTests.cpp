// The tray icon: shown for the main window with its callback message, brought to the desktop's front, and
// taken away once however often it is removed.

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "TrayIcon.h"
#include "user/Icon.h"
#include "user/User.h"
#include "user/WindowTest.h"

namespace {

constexpr UINT kCallback = 0x8064;

std::vector<std::pair<WPARAM, LPARAM>> g_callbacks;

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCallback)
        g_callbacks.emplace_back(wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

class TrayIconTest : public user::test::WindowTest {
protected:
    // A 16 x 16 icon of one colour, the test's to destroy.
    HICON Icon() {
        std::vector<BYTE> mask(16 * 2, 0);
        std::vector<uint32_t> pixels(16 * 16, 0x00FF0000);
        m_icon =
            CreateIcon(nullptr, 16, 16, 1, 32, mask.data(), reinterpret_cast<const BYTE*>(pixels.data()));
        return m_icon;
    }
    void SetUp() override {
        WindowTest::SetUp();
        g_callbacks.clear();
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = MainProc;
        windowClass.lpszClassName = u"TrayIconTestMain";
        RegisterClassW(&windowClass);
        m_main = CreateWindowExW(0, u"TrayIconTestMain", u"Ferrovane", WS_POPUP | WS_VISIBLE, 0, 26, 240, 294,
                                 nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_main, nullptr);
        SetForegroundWindow(m_main);
    }
    void TearDown() override {
        DestroyWindow(m_main);
        DestroyIcon(m_icon);
        WindowTest::TearDown();
    }
    HWND m_main = nullptr;
    HICON m_icon = nullptr;
};

TEST_F(TrayIconTest, ATapOnTheIconReachesTheMainWindow) {
    {
        CTrayIcon tray;
        tray.Add(m_main, kCallback, Icon());
        EXPECT_EQ(GetForegroundWindow(), GetDesktopWindow());
        user::test::RunUntilIdle();
        const auto slot = shell::TrayIconRect(m_main, CTrayIcon::kIconId);
        ASSERT_TRUE(slot.has_value());
        user::test::Tap(POINT{(slot->left + slot->right) / 2, (slot->top + slot->bottom) / 2});
        user::test::RunUntilIdle();
        EXPECT_EQ(g_callbacks, (std::vector<std::pair<WPARAM, LPARAM>>{{CTrayIcon::kIconId, WM_LBUTTONDOWN},
                                                                       {CTrayIcon::kIconId, WM_LBUTTONUP}}));
        tray.Remove();
        EXPECT_FALSE(shell::TrayIconRect(m_main, CTrayIcon::kIconId).has_value());
        tray.Remove(); // again, and once more from the destructor: nothing happens
    }
    CTrayIcon never;
    never.Remove();
}

TEST_F(TrayIconTest, TheDestructorTakesTheIconAway) {
    {
        CTrayIcon tray;
        tray.Add(m_main, kCallback, Icon());
        EXPECT_TRUE(shell::TrayIconRect(m_main, CTrayIcon::kIconId).has_value());
    }
    EXPECT_FALSE(shell::TrayIconRect(m_main, CTrayIcon::kIconId).has_value());
}

} // namespace
