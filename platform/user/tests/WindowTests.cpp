// Classes, the window tree, destruction, geometry, window data, visibility and enabling.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Recorder.h"
#include "kernel/Errors.h"
#include "kernel/Processes.h"
#include "user/WindowTest.h"

namespace {

using testing::ElementsAre;
using user_test::Received;
using user_test::Recorder;

class WindowTreeTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Recorder::Clear();
    }
    void TearDown() override {
        Recorder::Clear();
        WindowTest::TearDown();
    }
};

TEST_F(WindowTreeTest, ClassesAreRegisteredOnceAndFoundWithoutRegardToCase) {
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;
    wc.cbWndExtra = 8;
    wc.lpszClassName = u"XCLASSTEST";
    ATOM atom = RegisterClassW(&wc);
    ASSERT_NE(atom, 0);
    SetLastError(0);
    EXPECT_EQ(RegisterClassW(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    WNDCLASSW found{};
    ASSERT_TRUE(GetClassInfoW(nullptr, u"xClassTest", &found));
    EXPECT_EQ(found.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(found.cbWndExtra, 8);
    HWND w = CreateWindowExW(0, MAKEINTRESOURCE(atom), u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
    ASSERT_NE(w, nullptr);
    WCHAR name[32];
    EXPECT_EQ(GetClassNameW(w, name, 32), 10);
    EXPECT_EQ(std::u16string(name), u"XCLASSTEST");
    // Window bytes start at zero and hold what is stored.
    EXPECT_EQ(GetWindowLongPtrW(w, 0), 0);
    SetWindowLongPtrW(w, 0, 0x1234567890LL);
    EXPECT_EQ(GetWindowLongPtrW(w, 0), 0x1234567890LL);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(w, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_FALSE(UnregisterClassW(u"XClassTest", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(w);
    EXPECT_TRUE(UnregisterClassW(u"XClassTest", nullptr));
    EXPECT_FALSE(GetClassInfoW(nullptr, u"XCLASSTEST", &found));
    EXPECT_EQ(
        CreateWindowExW(0, u"XCLASSTEST", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(WindowTreeTest, CreationSendsItsMessagesInOrder) {
    HWND top = Recorder::Create(WS_POPUP | WS_VISIBLE, RECT{5, 6, 105, 56}, nullptr, 0, u"Title");
    ASSERT_NE(top, nullptr);
    EXPECT_THAT(
        Recorder::MessagesOf(top, {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_ACTIVATE}),
        ElementsAre(WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_ACTIVATE));
    EXPECT_EQ(user::test::Text(top), u"Title");
    // WM_CREATE answering -1 refuses the window, which is destroyed.
    Recorder::Handler() = [](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_CREATE)
            return false;
        result = -1;
        return true;
    };
    Recorder::Log().clear();
    EXPECT_EQ(Recorder::Create(WS_POPUP, RECT{0, 0, 10, 10}), nullptr);
    std::vector<UINT> messages;
    for (const Received& r : Recorder::Log())
        messages.push_back(r.message);
    EXPECT_THAT(messages, testing::IsSupersetOf({WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowTreeTest, TheTreeKeepsCreationOrderAndOwners) {
    HWND top = Recorder::Create(WS_POPUP, RECT{0, 0, 200, 200});
    HWND a = Recorder::Create(WS_CHILD, RECT{0, 0, 10, 10}, top, 1);
    HWND b = Recorder::Create(WS_CHILD, RECT{0, 0, 10, 10}, top, 2);
    HWND c = Recorder::Create(WS_CHILD, RECT{0, 0, 10, 10}, b, 3);
    HWND owned = Recorder::Create(WS_POPUP, RECT{0, 0, 10, 10}, a);
    EXPECT_EQ(GetWindow(top, GW_CHILD), a);
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), nullptr);
    EXPECT_EQ(GetParent(c), b);
    EXPECT_EQ(GetParent(owned), top); // the owner is the top-level window of the given parent
    EXPECT_EQ(GetParent(top), nullptr);
    EXPECT_TRUE(IsChild(top, c));
    EXPECT_FALSE(IsChild(top, owned));
    EXPECT_EQ(GetDlgItem(top, 2), b);
    EXPECT_EQ(GetDlgItem(top, 3), nullptr); // only direct children
    EXPECT_EQ(GetDlgCtrlID(c), 3);
    std::vector<HWND> visited;
    EnumChildWindows(
        top,
        [](HWND h, LPARAM l) {
            reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&visited));
    EXPECT_THAT(visited, ElementsAre(a, b, c));
    // SetParent moves a window to another parent and back to the top level.
    EXPECT_EQ(SetParent(c, a), b);
    EXPECT_EQ(GetParent(c), a);
    EXPECT_EQ(SetParent(a, c), nullptr); // a window cannot go below its own descendant
    // The process ids of windows are told apart by their handles.
    DWORD pid = 0;
    GetWindowThreadProcessId(c, &pid);
    EXPECT_EQ(pid, GetCurrentProcessId());
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(c) & 1, 0u);
    DestroyWindow(top);
}

TEST_F(WindowTreeTest, DestroyWindowGoesParentsFirstThenChildrenFirstAndTakesOwnedWindows) {
    HWND top = Recorder::Create(WS_POPUP, RECT{0, 0, 200, 200});
    HWND a = Recorder::Create(WS_CHILD, RECT{0, 0, 10, 10}, top, 1);
    HWND a1 = Recorder::Create(WS_CHILD, RECT{0, 0, 5, 5}, a, 2);
    HWND b = Recorder::Create(WS_CHILD, RECT{0, 0, 10, 10}, top, 3);
    HWND owned = Recorder::Create(WS_POPUP, RECT{0, 0, 10, 10}, top);
    Recorder::Log().clear();
    ASSERT_TRUE(DestroyWindow(top));
    std::vector<std::pair<HWND, UINT>> order;
    for (const Received& r : Recorder::Log())
        if (r.message == WM_DESTROY || r.message == WM_NCDESTROY)
            order.emplace_back(r.hwnd, r.message);
    using P = std::pair<HWND, UINT>;
    EXPECT_THAT(order, ElementsAre(P(owned, WM_DESTROY), P(owned, WM_NCDESTROY), P(top, WM_DESTROY),
                                   P(a, WM_DESTROY), P(a1, WM_DESTROY), P(b, WM_DESTROY), P(a1, WM_NCDESTROY),
                                   P(a, WM_NCDESTROY), P(b, WM_NCDESTROY), P(top, WM_NCDESTROY)));
    for (HWND h : {top, a, a1, b, owned})
        EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowTreeTest, AChildDestroyedFromItsParentsDestroyHandlerGoesOnce) {
    HWND top = Recorder::Create(WS_POPUP, RECT{0, 0, 200, 200});
    HWND child = Recorder::Create(WS_CHILD, RECT{0, 0, 10, 10}, top, 1);
    Recorder::Handler() = [&](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (hwnd == top && message == WM_DESTROY) {
            EXPECT_TRUE(DestroyWindow(child));
        }
        return false;
    };
    ASSERT_TRUE(DestroyWindow(top));
    EXPECT_THAT(Recorder::MessagesOf(child, {WM_DESTROY, WM_NCDESTROY}),
                ElementsAre(WM_DESTROY, WM_NCDESTROY));
}

TEST_F(WindowTreeTest, GeometryFollowsFramesAndParents) {
    HWND top = Recorder::Create(WS_POPUP | WS_CAPTION | WS_VISIBLE, RECT{10, 30, 210, 230});
    HWND child = Recorder::Create(WS_CHILD | WS_BORDER | WS_VISIBLE, RECT{5, 6, 55, 46}, top, 1);
    RECT r;
    GetWindowRect(top, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.bottom, 230);
    GetClientRect(top, &r);
    int frame = user::kDialogFrame;
    EXPECT_EQ(r.right, 200 - 2 * frame);
    EXPECT_EQ(r.bottom, 200 - 2 * frame - user::kCaptionHeight);
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 10 + frame + 5);
    EXPECT_EQ(r.top, 30 + frame + user::kCaptionHeight + 6);
    POINT pt{0, 0};
    ClientToScreen(child, &pt);
    EXPECT_EQ(pt.x, r.left + 1);
    EXPECT_EQ(pt.y, r.top + 1);
    ScreenToClient(top, &pt);
    EXPECT_EQ(pt.x, 6);
    EXPECT_EQ(pt.y, 7);
    POINT points[2] = {{0, 0}, {3, 4}};
    MapWindowPoints(child, top, points, 2);
    EXPECT_EQ(points[1].x, 9);
    EXPECT_EQ(points[1].y, 11);
    RECT adjusted{0, 0, 100, 50};
    AdjustWindowRectEx(&adjusted, WS_POPUP | WS_CAPTION, FALSE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(adjusted.left, -frame - user::kClientEdge);
    EXPECT_EQ(adjusted.top, -frame - user::kClientEdge - user::kCaptionHeight);
    EXPECT_EQ(adjusted.right, 100 + frame + user::kClientEdge);
    // A style change moves the client area at once.
    SetWindowLongW(child, GWL_STYLE, GetWindowLongW(child, GWL_STYLE) & ~WS_BORDER);
    GetClientRect(child, &r);
    EXPECT_EQ(r.right, 50);
    EXPECT_EQ(WindowFromPoint(POINT{150, 150}), top);
    GetWindowRect(child, &r);
    EXPECT_EQ(WindowFromPoint(POINT{r.left + 1, r.top + 1}), child);
    DestroyWindow(top);
}

TEST_F(WindowTreeTest, SetWindowPosReportsMovesAndSizes) {
    HWND top = Recorder::Create(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    Recorder::Log().clear();
    ASSERT_TRUE(SetWindowPos(top, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    EXPECT_THAT(Recorder::MessagesOf(top, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}),
                ElementsAre(WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE));
    Recorder::Log().clear();
    ASSERT_TRUE(MoveWindow(top, 20, 30, 60, 70, TRUE));
    auto sizes = Recorder::MessagesOf(top, {WM_MOVE, WM_SIZE});
    EXPECT_THAT(sizes, ElementsAre(WM_SIZE));
    for (const Received& r : Recorder::Log()) {
        if (r.message == WM_SIZE) {
            EXPECT_EQ(LOWORD(r.lParam), 60);
            EXPECT_EQ(HIWORD(r.lParam), 70);
        }
    }
    // WM_WINDOWPOSCHANGING may change the request.
    Recorder::Handler() = [](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT&) {
        if (message == WM_WINDOWPOSCHANGING)
            reinterpret_cast<WINDOWPOS*>(lParam)->cx = 33;
        return false;
    };
    SetWindowPos(top, nullptr, 0, 0, 80, 80, SWP_NOMOVE | SWP_NOZORDER);
    RECT r;
    GetWindowRect(top, &r);
    EXPECT_EQ(r.right - r.left, 33);
    EXPECT_EQ(r.bottom - r.top, 80);
    DestroyWindow(top);
}

TEST_F(WindowTreeTest, ShowWindowAndEnableWindowSendTheirMessages) {
    HWND top = Recorder::Create(WS_POPUP, RECT{0, 0, 100, 100});
    HWND child = Recorder::Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, top, 1);
    EXPECT_FALSE(IsWindowVisible(child)); // its parent is hidden
    EXPECT_FALSE(ShowWindow(top, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_TRUE(ShowWindow(top, SW_SHOW));
    EXPECT_TRUE(ShowWindow(child, SW_HIDE));
    std::vector<Received> shows;
    for (const Received& r : Recorder::Log())
        if (r.message == WM_SHOWWINDOW)
            shows.push_back(r);
    ASSERT_EQ(shows.size(), 2u);
    EXPECT_EQ(shows[0].hwnd, top);
    EXPECT_EQ(shows[0].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(shows[1].hwnd, child);
    EXPECT_EQ(shows[1].wParam, static_cast<WPARAM>(FALSE));
    EXPECT_FALSE(EnableWindow(child, FALSE));
    EXPECT_FALSE(IsWindowEnabled(child));
    EXPECT_TRUE(EnableWindow(child, FALSE)); // already disabled: nothing is sent
    EXPECT_TRUE(EnableWindow(child, TRUE));
    std::vector<Received> enables;
    for (const Received& r : Recorder::Log())
        if (r.message == WM_ENABLE)
            enables.push_back(r);
    ASSERT_EQ(enables.size(), 2u);
    EXPECT_EQ(enables[0].wParam, static_cast<WPARAM>(FALSE));
    EXPECT_EQ(enables[1].wParam, static_cast<WPARAM>(TRUE));
    // The style flag alone changes nothing on the screen and sends nothing.
    Recorder::Log().clear();
    SetWindowLongW(child, GWL_STYLE, GetWindowLongW(child, GWL_STYLE) | WS_VISIBLE);
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_TRUE(Recorder::MessagesOf(child, {WM_SHOWWINDOW}).empty());
    DestroyWindow(top);
}

TEST_F(WindowTreeTest, WindowTextGoesThroughTheWindowProcedure) {
    HWND top = Recorder::Create(WS_POPUP, RECT{0, 0, 100, 100}, nullptr, 0, u"first");
    Recorder::Log().clear();
    ASSERT_TRUE(SetWindowTextW(top, u"second text"));
    EXPECT_THAT(Recorder::MessagesOf(top, {WM_SETTEXT}), ElementsAre(WM_SETTEXT));
    WCHAR buffer[7];
    EXPECT_EQ(GetWindowTextW(top, buffer, 7), 6);
    EXPECT_EQ(std::u16string(buffer), u"second");
    EXPECT_EQ(GetWindowTextLengthW(top), 11);
    EXPECT_THAT(Recorder::MessagesOf(top, {WM_GETTEXT, WM_GETTEXTLENGTH}),
                ElementsAre(WM_GETTEXT, WM_GETTEXTLENGTH));
    // A window that keeps its own text answers for it.
    Recorder::Handler() = [](HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        if (message != WM_GETTEXT)
            return false;
        auto* out = reinterpret_cast<LPWSTR>(lParam);
        if (wParam >= 3) {
            out[0] = u'o';
            out[1] = u'k';
            out[2] = 0;
        }
        result = 2;
        return true;
    };
    WCHAR own[16];
    EXPECT_EQ(GetWindowTextW(top, own, 16), 2);
    EXPECT_EQ(std::u16string(own), u"ok");
    EXPECT_EQ(FindWindowW(nullptr, u"SECOND TEXT"), top);
    EXPECT_EQ(FindWindowW(u"recorder", u"second text"), top);
    EXPECT_EQ(FindWindowW(u"Other", u"second text"), nullptr);
    DestroyWindow(top);
}

} // namespace

namespace {

class SmallScreenTest : public user::test::WindowTest {
protected:
    SIZE ScreenSize() const override { return SIZE{240, 240}; }
};

TEST_F(SmallScreenTest, MetricsAndTheWorkAreaFollowTheScreen) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 240);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), user::kCaptionHeight);
    RECT area{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(area.top, 26);
    EXPECT_EQ(area.bottom, 240);
    RECT full{0, 0, 240, 240};
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &full, 0));
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
    // A window of the default size fills the work area.
    HWND w = CreateWindowExW(0, u"#32770", u"", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.bottom - r.top, 240);
    DestroyWindow(w);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCE(1)), nullptr);
}

} // namespace

namespace {

struct Subclass {
    static inline WNDPROC previous = nullptr;
    static inline int seen = 0;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SETTEXT)
            ++seen;
        return CallWindowProcW(previous, hwnd, message, wParam, lParam);
    }
};

TEST_F(WindowTreeTest, ASubclassSeesMessagesFirstAndPassesThemOn) {
    HWND w = Recorder::Create(WS_POPUP, RECT{0, 0, 10, 10});
    Subclass::seen = 0;
    Subclass::previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass::Proc)));
    ASSERT_NE(Subclass::previous, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(Subclass::Proc));
    SetWindowTextW(w, u"through");
    EXPECT_EQ(Subclass::seen, 1);
    EXPECT_THAT(Recorder::MessagesOf(w, {WM_SETTEXT}), ElementsAre(WM_SETTEXT));
    EXPECT_EQ(user::test::Text(w), u"through");
    SetLastError(0);
    EXPECT_EQ(GetWindowLongW(w, GWLP_WNDPROC), 0); // a pointer does not fit a LONG
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    DestroyWindow(w);
}

} // namespace
