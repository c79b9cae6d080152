// Driving another process's windows: its window tree with rectangles and texts, taps, drags and typed text
// into its queue, its screen as a PNG image, the items of its list, and the failures of each request.

#include "user/RemoteControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "kernel/Errors.h"
#include "kernel/Install.h"
#include "kernel/Processes.h"
#include "kernel/Sync.h"
#include "testing/PngReader.h"
#include "user/User.h"
#include "user/WindowTest.h"

namespace {

using user::remote::WindowInfo;

class RemoteControlTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_EQ(kernel::InstallDeviceManifest(USER_PEER_MANIFEST), 0u);
        WCHAR line[] = u"form";
        ASSERT_TRUE(CreateProcessW(u"\\windows\\ControlPeer.exe", line, nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, nullptr, &m_peer));
        HWND form = nullptr;
        ASSERT_TRUE(
            user::test::RunUntil([&] { return (form = FindWindowW(nullptr, u"Control Peer")) != nullptr; },
                                 std::chrono::seconds(30)));
        ASSERT_TRUE(user::remote::WaitUntilIdle(m_peer.dwProcessId, std::chrono::seconds(10)));
    }
    void TearDown() override {
        if (m_peer.hProcess) {
            TerminateProcess(m_peer.hProcess, 0);
            WaitForSingleObject(m_peer.hProcess, 10000);
            CloseHandle(m_peer.hProcess);
            CloseHandle(m_peer.hThread);
        }
        WindowTest::TearDown();
    }
    user::remote::ProcessWindows Tree() {
        auto tree = user::remote::Windows(m_peer.dwProcessId);
        EXPECT_TRUE(tree.has_value()) << GetLastError();
        return tree.value_or(user::remote::ProcessWindows{});
    }
    static WindowInfo Child(const user::remote::ProcessWindows& tree, int id) {
        auto it = std::find_if(tree.windows.begin(), tree.windows.end(),
                               [id](const WindowInfo& w) { return w.depth == 1 && w.id == id; });
        return it == tree.windows.end() ? WindowInfo{} : *it;
    }
    static POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    void Send(const std::vector<user::remote::InputEvent>& events) {
        ASSERT_TRUE(user::remote::SendInput(m_peer.dwProcessId, events)) << GetLastError();
    }
    void Settle() { ASSERT_TRUE(user::remote::WaitUntilIdle(m_peer.dwProcessId, std::chrono::seconds(10))); }

    PROCESS_INFORMATION m_peer{};
};

TEST_F(RemoteControlTest, TheTreeListsEveryWindowWithItsPlaceAndText) {
    auto tree = Tree();
    EXPECT_EQ(tree.program, u"\\windows\\ControlPeer.exe");
    EXPECT_EQ(tree.screen.cx, 240);
    EXPECT_EQ(tree.screen.cy, 320);
    ASSERT_FALSE(tree.windows.empty());
    const WindowInfo& form = tree.windows.front();
    EXPECT_EQ(form.className, u"ControlPeerWindow");
    EXPECT_EQ(form.text, u"Control Peer");
    EXPECT_EQ(form.depth, 0);
    EXPECT_EQ(form.parent, nullptr);
    EXPECT_TRUE(form.visible);
    EXPECT_EQ(form.rect.top, 26);
    EXPECT_EQ(tree.active, form.handle);
    // Children follow their parent in creation order, in screen coordinates.
    std::vector<int> ids;
    for (size_t i = 1; i < tree.windows.size(); ++i) {
        EXPECT_EQ(tree.windows[i].parent, form.handle);
        ids.push_back(tree.windows[i].id);
    }
    EXPECT_EQ(ids, (std::vector<int>{101, 102, 103, 104, 105}));
    WindowInfo button = Child(tree, 102);
    EXPECT_EQ(button.text, u"Copy");
    EXPECT_EQ(button.rect.left, 10);
    EXPECT_EQ(button.rect.top, 26 + 44);
    EXPECT_EQ(button.rect.right, 110);
    EXPECT_EQ(button.style & WS_CHILD, static_cast<DWORD>(WS_CHILD));
}

TEST_F(RemoteControlTest, TapsAndTypedTextReachTheProgramAndItsScreenShowsTheResult) {
    auto tree = Tree();
    WindowInfo edit = Child(tree, 101);
    Send(user::remote::TapEvents(Centre(edit.rect)));
    Send(user::remote::TextEvents(u"Hello wurld"));
    for (int i = 0; i < 4; ++i)
        Send(user::remote::KeyPressEvents(VK_BACK, u'\b'));
    Send(user::remote::TextEvents(u"orld!"));
    Send(user::remote::TapEvents(Centre(Child(tree, 102).rect)));
    WindowInfo handle = Child(tree, 104);
    POINT grab = Centre(handle.rect);
    Send(user::remote::DragEvents(grab, POINT{grab.x + 100, grab.y + 40}, 5));
    Settle();

    auto after = Tree();
    EXPECT_EQ(after.focus, edit.handle);
    EXPECT_EQ(Child(after, 101).text, u"Hello world!");
    EXPECT_EQ(Child(after, 103).text, u"Hello world!");
    RECT moved = Child(after, 104).rect;
    EXPECT_EQ(moved.left, handle.rect.left + 100);
    EXPECT_EQ(moved.top, handle.rect.top + 40);

    auto png = user::remote::ScreenPng(m_peer.dwProcessId);
    ASSERT_TRUE(png.has_value()) << GetLastError();
    std::filesystem::path file = m_root.Path() / "peer.png";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
    auto image = ReadPng(file);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, 240);
    EXPECT_EQ(image->height, 320);
    RECT label = Child(after, 103).rect;
    EXPECT_EQ(image->At(label.right - 3, label.top + 2), RGB(0, 255, 0)); // text present: green
    EXPECT_EQ(image->At(moved.left + 2, moved.top + 2), RGB(255, 0, 0));
    EXPECT_EQ(image->At(handle.rect.left + 2, handle.rect.top + 2), RGB(255, 255, 255)); // where it was
}

TEST_F(RemoteControlTest, ListItemsAreReadThroughTheListBoxMessages) {
    auto items = user::remote::ListBoxItems(Child(Tree(), 105).handle);
    ASSERT_TRUE(items.has_value()) << GetLastError();
    EXPECT_EQ(items->items, (std::vector<std::u16string>{u"alpha", u"beta", u"gamma"}));
    EXPECT_EQ(items->selected, 1);
    // A window that is no list answers no items.
    items = user::remote::ListBoxItems(Child(Tree(), 102).handle);
    ASSERT_TRUE(items.has_value());
    EXPECT_TRUE(items->items.empty());
}

TEST_F(RemoteControlTest, RequestsToMissingProcessesAndWindowsFail) {
    DWORD peer = m_peer.dwProcessId;
    auto listed = user::remote::Processes();
    EXPECT_NE(std::find(listed.begin(), listed.end(), peer), listed.end());
    EXPECT_EQ(std::find(listed.begin(), listed.end(), GetCurrentProcessId()), listed.end());

    SetLastError(0);
    EXPECT_FALSE(user::remote::Windows(GetCurrentProcessId()).has_value());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(user::remote::Windows(0x7FFFFFF0).has_value());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(user::remote::SendInput(0x7FFFFFF0, user::remote::TapEvents(POINT{1, 1})));
    EXPECT_FALSE(user::remote::ScreenPng(0x7FFFFFF0).has_value());

    // A window of the peer that does not exist.
    HWND form = Tree().windows.front().handle;
    HWND gone = reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(form) + 0x7FFF0);
    EXPECT_FALSE(user::remote::ListBoxItems(gone).has_value());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

    // Once the peer has ended nothing reaches it.
    TerminateProcess(m_peer.hProcess, 0);
    WaitForSingleObject(m_peer.hProcess, 10000);
    EXPECT_FALSE(user::remote::Windows(peer).has_value());
    EXPECT_FALSE(user::remote::WaitUntilIdle(peer, std::chrono::milliseconds(100)));
}

} // namespace
