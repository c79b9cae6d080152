// Windows of other processes: FindWindowW across the device's processes, WM_COPYDATA with its bytes and
// its reply, SetForegroundWindow, and every other message refused.

#include <gtest/gtest.h>

#include <string>

#include "kernel/Errors.h"
#include "user/ProgramWindowTest.h"
#include "user/User.h"

namespace {

class RemoteTest : public user::test::ProgramWindowTest {
protected:
    RemoteTest() : ProgramWindowTest(USER_PEER_MANIFEST, u"\\windows\\UserPeer.exe") {}
};

struct Received {
    static inline std::u16string text;
    static inline ULONG_PTR data = 0;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COPYDATA) {
            const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            data = copy->dwData;
            text.assign(static_cast<const char16_t*>(copy->lpData), copy->cbData / sizeof(char16_t));
            return 0x5A;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

TEST_F(RemoteTest, CopyDataFromAnotherProcessArrivesWithItsBytesAndItsReplyGoesBack) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Received::Proc;
    wc.lpszClassName = u"MainWindow";
    RegisterClassW(&wc);
    HWND main = CreateWindowExW(0, u"MainWindow", u"Ferrovane", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(main, nullptr);
    Received::text.clear();
    PROCESS_INFORMATION peer = Start(u"send Ferrovane \"hello world\"");
    ASSERT_TRUE(user::test::RunUntil([&] { return Ended(peer); }, std::chrono::seconds(30)));
    // The exit code is the low byte of the reply: the send waited for it.
    EXPECT_EQ(ExitCode(peer), 0x5Au);
    EXPECT_EQ(Received::text, u"hello world");
    EXPECT_EQ(Received::data, 1u);
    DestroyWindow(main);
    UnregisterClassW(u"MainWindow", nullptr);
}

TEST_F(RemoteTest, AWindowOfAnotherProcessIsFoundByTitleAndTakesOnlyCopyData) {
    PROCESS_INFORMATION peer = Start(u"window \"Peer Title\"");
    HWND found = nullptr;
    ASSERT_TRUE(user::test::RunUntil([&] { return (found = FindWindowW(nullptr, u"peer title")) != nullptr; },
                                     std::chrono::seconds(30)));
    DWORD pid = 0;
    GetWindowThreadProcessId(found, &pid);
    EXPECT_EQ(pid, peer.dwProcessId);
    EXPECT_TRUE(IsWindow(found));
    WCHAR title[32];
    EXPECT_EQ(GetWindowTextW(found, title, 32), 10);
    EXPECT_EQ(std::u16string(title), u"Peer Title");
    EXPECT_EQ(FindWindowW(u"PeerWindow", nullptr), found);
    WCHAR module[MAX_PATH];
    ASSERT_GT(GetWindowModuleFileNameW(found, module, MAX_PATH), 0u);
    EXPECT_EQ(std::u16string(module), u"\\windows\\UserPeer.exe");
    bool listed = false;
    EnumWindows(
        [](HWND h, LPARAM l) {
            if (h == *reinterpret_cast<HWND*>(l))
                *reinterpret_cast<HWND*>(l) = nullptr;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    listed = found == nullptr;
    EXPECT_TRUE(listed);
    found = FindWindowW(nullptr, u"Peer Title");
    // Other messages fail cleanly.
    SetLastError(0);
    EXPECT_EQ(SendMessageW(found, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(PostMessageW(found, WM_CLOSE, 0, 0));
    EXPECT_FALSE(SetWindowTextW(found, u"x"));
    EXPECT_FALSE(DestroyWindow(found));
    EXPECT_FALSE(ShowWindow(found, SW_HIDE));
    // Copy data goes through with its reply; the foreground request is served.
    const char bytes[] = {1, 2, 3};
    COPYDATASTRUCT data{2, 3, const_cast<char*>(bytes)};
    EXPECT_EQ(SendMessageW(found, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 2006);
    COPYDATASTRUCT bad{2, 3, nullptr};
    EXPECT_EQ(SendMessageW(found, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&bad)), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(found) | 1)));
    // The peer quits on dwData 99; its window is gone afterwards.
    COPYDATASTRUCT quit{99, 0, nullptr};
    SendMessageW(found, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&quit));
    ASSERT_TRUE(user::test::RunUntil([&] { return Ended(peer); }, std::chrono::seconds(30)));
    EXPECT_EQ(ExitCode(peer), 0u);
    EXPECT_FALSE(IsWindow(found));
    EXPECT_EQ(FindWindowW(nullptr, u"Peer Title"), nullptr);
    SetLastError(0);
    EXPECT_EQ(SendMessageW(found, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

} // namespace
