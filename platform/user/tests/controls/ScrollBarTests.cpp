// Scroll bars: the values SetScrollInfo keeps on a table of cases, the errors of the scroll calls, the
// messages a dragged thumb sends, and a list box showing its bar only when it can scroll.

#include "ControlTest.h"
#include "kernel/Errors.h"

namespace {

class ScrollBarTest : public controls_test::ControlTest {
protected:
    // A plain top-level window, with the style bits asked for.
    static HWND MakeWindow(DWORD style) {
        return CreateWindowExW(0, u"STATIC", u"", WS_POPUP | style, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                               nullptr);
    }
};

struct ClampCase {
    const char* name;
    int min;
    int max;
    UINT page;
    int pos;
    int wantMax;
    UINT wantPage;
    int wantPos;
};

void PrintTo(const ClampCase& c, std::ostream* out) {
    *out << c.name;
}

class ScrollClampTest : public ScrollBarTest, public ::testing::WithParamInterface<ClampCase> {};

TEST_P(ScrollClampTest, KeepsTheValuesInRange) {
    const ClampCase& c = GetParam();
    HWND window = MakeWindow(WS_VSCROLL);
    SCROLLINFO in{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, c.min, c.max, c.page, c.pos, 0};
    EXPECT_EQ(SetScrollInfo(window, SB_VERT, &in, FALSE), c.wantPos);
    SCROLLINFO out{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(window, SB_VERT, &out));
    EXPECT_EQ(out.nMin, c.min);
    EXPECT_EQ(out.nMax, c.wantMax);
    EXPECT_EQ(out.nPage, c.wantPage);
    EXPECT_EQ(out.nPos, c.wantPos);
    EXPECT_EQ(out.nTrackPos, c.wantPos);
    DestroyWindow(window);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScrollClampTest,
                         ::testing::Values(ClampCase{"InRange", 0, 9, 3, 4, 9, 3, 4},
                                           ClampCase{"PosStopsAtTheLastPage", 0, 9, 3, 9, 9, 3, 7},
                                           ClampCase{"PosBelowTheMinimum", 10, 20, 0, -5, 20, 0, 10},
                                           ClampCase{"PageAtMostTheRange", 0, 9, 50, 5, 9, 10, 0},
                                           ClampCase{"MaxBelowMinBecomesMin", 5, 2, 0, 3, 5, 0, 5},
                                           ClampCase{"NoPageStopsAtMax", 0, 100, 0, 500, 100, 0, 100}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScrollBarTest, CallsFailWithThePlatformsErrors) {
    HWND plain = MakeWindow(0);
    HWND barred = MakeWindow(WS_HSCROLL);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    SetLastError(0);
    EXPECT_FALSE(GetScrollInfo(plain, SB_VERT, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SCROLLBARS));
    EXPECT_TRUE(GetScrollInfo(barred, SB_HORZ, &info));
    EXPECT_FALSE(GetScrollInfo(barred, SB_VERT, &info));
    EXPECT_FALSE(GetScrollInfo(barred, SB_HORZ, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SCROLLINFO wrongSize = info;
    wrongSize.cbSize = sizeof(SCROLLINFO) - 4;
    EXPECT_EQ(SetScrollInfo(barred, SB_HORZ, &wrongSize, FALSE), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetScrollInfo(barred, 2, &info, FALSE), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    DestroyWindow(barred);
    EXPECT_FALSE(GetScrollInfo(barred, SB_HORZ, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

    // Values set on a window without the style are kept.
    EXPECT_TRUE(SetScrollRange(plain, SB_VERT, 0, 50, FALSE));
    EXPECT_EQ(SetScrollPos(plain, SB_VERT, 30, FALSE), 0);
    EXPECT_EQ(SetScrollPos(plain, SB_VERT, 70, FALSE), 30);
    EXPECT_EQ(GetScrollPos(plain, SB_VERT), 50);
    int low = -1;
    int high = -1;
    EXPECT_TRUE(GetScrollRange(plain, SB_VERT, &low, &high));
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 50);
    EXPECT_FALSE(GetScrollRange(plain, SB_VERT, nullptr, &high));
    DestroyWindow(plain);
}

// The WM_VSCROLL codes a list box gets, recorded by a subclass.
std::vector<WORD> g_codes;
WNDPROC g_listProc = nullptr;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_VSCROLL)
        g_codes.push_back(LOWORD(wParam));
    return CallWindowProcW(g_listProc, hwnd, message, wParam, lParam);
}

TEST_F(ScrollBarTest, DraggedThumbTracksThenSetsThePositionAndEnds) {
    const user::DialogItem items[] = {
        {user::kListBoxClass, nullptr, 1, 4, 4, 80, 60, WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT}};
    MakeDialog(items);
    HWND list = Item(1);
    for (int i = 0; i < 40; ++i)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"item"));
    user::test::RunUntilIdle();
    g_codes.clear();
    g_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
    RECT client;
    GetClientRect(list, &client);
    int width = GetSystemMetrics(SM_CXVSCROLL);
    POINT from{client.right - width / 2, width + 2};
    POINT to{client.right - width / 2, client.bottom / 2};
    ClientToScreen(list, &from);
    ClientToScreen(list, &to);
    user::test::StylusDown(from);
    user::test::StylusMove(to);
    user::test::RunUntilIdle();
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS | SIF_TRACKPOS, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(list, SB_VERT, &info));
    EXPECT_GT(info.nTrackPos, 0);
    user::test::StylusUp(to);
    user::test::RunUntilIdle();
    ASSERT_GE(g_codes.size(), 3u);
    EXPECT_EQ(g_codes[g_codes.size() - 3], SB_THUMBTRACK);
    EXPECT_EQ(g_codes[g_codes.size() - 2], SB_THUMBPOSITION);
    EXPECT_EQ(g_codes.back(), SB_ENDSCROLL);
    EXPECT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(GetScrollPos(list, SB_VERT), SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
}

TEST_F(ScrollBarTest, ListShowsItsBarOnlyWhenItCanScrollUnlessAskedToKeepIt) {
    const user::DialogItem items[] = {
        {user::kListBoxClass, nullptr, 1, 4, 4, 60, 40, WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT},
        {user::kListBoxClass, nullptr, 2, 70, 4, 60, 40,
         WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_DISABLENOSCROLL}};
    MakeDialog(items);
    auto itemRight = [](HWND list) {
        RECT r{};
        SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
        return r.right;
    };
    RECT client;
    GetClientRect(Item(1), &client);
    int width = GetSystemMetrics(SM_CXVSCROLL);
    for (int id : {1, 2})
        SendMessageW(Item(id), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"one"));
    EXPECT_EQ(itemRight(Item(1)), client.right);
    EXPECT_EQ(itemRight(Item(2)), client.right - width);
    for (int i = 0; i < 20; ++i)
        SendMessageW(Item(1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"more"));
    EXPECT_EQ(itemRight(Item(1)), client.right - width);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::WindowPixel(Item(1), client.right - 1, client.bottom / 2),
              controls_test::SystemOnScreen(COLOR_WINDOWFRAME));
    SendMessageW(Item(1), LB_RESETCONTENT, 0, 0);
    SendMessageW(Item(1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"one"));
    EXPECT_EQ(itemRight(Item(1)), client.right);
}

} // namespace
