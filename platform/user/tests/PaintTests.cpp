// The paint model: invalid areas, erasing, clipping of parents, children and siblings, redraw switches.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FillPaint.h"
#include "user/User.h"
#include "user/WindowTest.h"

namespace {

using testing::ElementsAre;

// Windows of this class fill their whole client area with the colour in GWLP_USERDATA when they paint,
// and log the paints and erases.
struct Painter {
    struct Event {
        HWND hwnd;
        UINT message;
        RECT paint;
        BOOL erase;
    };
    static std::vector<Event>& Log() {
        static std::vector<Event> log;
        return log;
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_PAINT) {
            PAINTSTRUCT ps = user_test::FillWithUserDataColor(hwnd);
            Log().push_back(Event{hwnd, WM_PAINT, ps.rcPaint, ps.fErase});
            return 0;
        }
        if (message == WM_ERASEBKGND)
            Log().push_back(Event{hwnd, WM_ERASEBKGND, RECT{}, FALSE});
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    static HWND Create(DWORD style, RECT r, COLORREF color, HWND parent = nullptr) {
        WNDCLASSW wc{};
        if (!GetClassInfoW(nullptr, u"Painter", &wc)) {
            wc.lpfnWndProc = Proc;
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = u"Painter";
            RegisterClassW(&wc);
        }
        HWND hwnd = CreateWindowExW(0, u"Painter", u"", style, r.left, r.top, r.right - r.left,
                                    r.bottom - r.top, parent, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(color));
        return hwnd;
    }
    static std::vector<HWND> Painted() {
        std::vector<HWND> out;
        for (const Event& e : Log())
            if (e.message == WM_PAINT)
                out.push_back(e.hwnd);
        return out;
    }
};

// A colour as the 16-bit screen shows it.
COLORREF OnScreen(COLORREF c) {
    auto expand5 = [](unsigned v) { return ((v >> 3) << 3) | ((v >> 3) >> 2); };
    auto expand6 = [](unsigned v) { return ((v >> 2) << 2) | ((v >> 2) >> 4); };
    return RGB(expand5(GetRValue(c)), expand6(GetGValue(c)), expand5(GetBValue(c)));
}

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);

class PaintTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Painter::Log().clear();
    }
};

TEST_F(PaintTest, AClipChildrenParentNeverPaintsOverItsChildren) {
    HWND parent = Painter::Create(WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, RECT{0, 0, 200, 200}, kRed);
    Painter::Create(WS_CHILD | WS_VISIBLE, RECT{50, 50, 100, 100}, kBlue, parent);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::ScreenPixel(60, 60), kBlue);
    EXPECT_EQ(user::test::ScreenPixel(10, 10), kRed);
    Painter::Log().clear();
    InvalidateRect(parent, nullptr, TRUE);
    user::test::RunUntilIdle();
    EXPECT_THAT(Painter::Painted(), ElementsAre(parent));
    EXPECT_EQ(user::test::ScreenPixel(60, 60), kBlue);
    EXPECT_EQ(user::test::ScreenPixel(99, 99), kBlue);
    EXPECT_EQ(user::test::ScreenPixel(100, 100), kRed);
    // A DC from GetDC is clipped the same way.
    HDC dc = GetDC(parent);
    RECT all{0, 0, 200, 200};
    HBRUSH green = CreateSolidBrush(kGreen);
    FillRect(dc, &all, green);
    DeleteObject(green);
    ReleaseDC(parent, dc);
    EXPECT_EQ(user::test::ScreenPixel(60, 60), kBlue);
    EXPECT_EQ(user::test::ScreenPixel(10, 10), kGreen);
    DestroyWindow(parent);
}

TEST_F(PaintTest, AParentWithoutClipChildrenPaintsFirstAndItsChildrenAfterIt) {
    HWND parent = Painter::Create(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200}, kRed);
    HWND child = Painter::Create(WS_CHILD | WS_VISIBLE, RECT{50, 50, 100, 100}, kBlue, parent);
    user::test::RunUntilIdle();
    Painter::Log().clear();
    RECT part{40, 40, 70, 70};
    InvalidateRect(parent, &part, FALSE);
    user::test::RunUntilIdle();
    EXPECT_THAT(Painter::Painted(), ElementsAre(parent, child));
    EXPECT_EQ(user::test::ScreenPixel(60, 60), kBlue);
    // The child's paint covers only the part of it that was invalidated.
    const Painter::Event& childPaint = Painter::Log().back();
    EXPECT_EQ(childPaint.paint.left, 0);
    EXPECT_EQ(childPaint.paint.right, 20);
    EXPECT_EQ(childPaint.paint.bottom, 20);
    DestroyWindow(parent);
}

TEST_F(PaintTest, BeginPaintErasesOnlyWhenAskedAndReportsAnUnansweredErase) {
    HWND w = Painter::Create(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50}, kRed);
    user::test::RunUntilIdle();
    Painter::Log().clear();
    InvalidateRect(w, nullptr, FALSE);
    user::test::RunUntilIdle();
    ASSERT_EQ(Painter::Log().size(), 1u);
    EXPECT_EQ(Painter::Log()[0].message, static_cast<UINT>(WM_PAINT));
    Painter::Log().clear();
    InvalidateRect(w, nullptr, TRUE);
    user::test::RunUntilIdle();
    ASSERT_EQ(Painter::Log().size(), 2u);
    EXPECT_EQ(Painter::Log()[0].message, static_cast<UINT>(WM_ERASEBKGND));
    EXPECT_FALSE(Painter::Log()[1].erase); // the class brush erased it
    // Without a class brush the erase answers 0 and the paint is told to erase.
    WNDCLASSW wc{};
    wc.lpfnWndProc = Painter::Proc;
    wc.lpszClassName = u"BrushlessPainter";
    RegisterClassW(&wc);
    HWND bare = CreateWindowExW(0, u"BrushlessPainter", u"", WS_POPUP | WS_VISIBLE, 60, 0, 50, 50, nullptr,
                                nullptr, nullptr, nullptr);
    user::test::RunUntilIdle();
    Painter::Log().clear();
    InvalidateRect(bare, nullptr, TRUE);
    user::test::RunUntilIdle();
    ASSERT_EQ(Painter::Log().size(), 2u);
    EXPECT_TRUE(Painter::Log()[1].erase);
    DestroyWindow(bare);
    UnregisterClassW(u"BrushlessPainter", nullptr);
    DestroyWindow(w);
}

TEST_F(PaintTest, RedrawOffDropsPaintsUntilItIsOnAgain) {
    HWND w = Painter::Create(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50}, kRed);
    user::test::RunUntilIdle();
    Painter::Log().clear();
    SendMessageW(w, WM_SETREDRAW, FALSE, 0);
    InvalidateRect(w, nullptr, TRUE);
    user::test::RunUntilIdle();
    EXPECT_TRUE(Painter::Painted().empty());
    SendMessageW(w, WM_SETREDRAW, TRUE, 0);
    user::test::RunUntilIdle();
    EXPECT_TRUE(Painter::Painted().empty()); // turning it on invalidates nothing by itself
    InvalidateRect(w, nullptr, TRUE);
    EXPECT_TRUE(UpdateWindow(w)); // paints at once, without the loop
    EXPECT_THAT(Painter::Painted(), ElementsAre(w));
    DestroyWindow(w);
}

TEST_F(PaintTest, HidingAChildRepaintsWhatWasUnderIt) {
    HWND parent = Painter::Create(WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, RECT{0, 0, 200, 200}, kRed);
    HWND child = Painter::Create(WS_CHILD | WS_VISIBLE, RECT{50, 50, 100, 100}, kBlue, parent);
    user::test::RunUntilIdle();
    Painter::Log().clear();
    ShowWindow(child, SW_HIDE);
    user::test::RunUntilIdle();
    ASSERT_THAT(Painter::Painted(), ElementsAre(parent));
    RECT painted = Painter::Log().back().paint;
    EXPECT_EQ(painted.left, 50);
    EXPECT_EQ(painted.top, 50);
    EXPECT_EQ(painted.right, 100);
    EXPECT_EQ(painted.bottom, 100);
    EXPECT_EQ(user::test::ScreenPixel(60, 60), kRed);
    DestroyWindow(parent);
    // The desktop paints where the window was.
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::ScreenPixel(60, 60), OnScreen(GetSysColor(COLOR_BACKGROUND)));
}

TEST_F(PaintTest, TopLevelWindowsAndClipSiblingsChildrenDoNotDrawOverWindowsAboveThem) {
    HWND below = Painter::Create(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100}, kRed);
    HWND above = Painter::Create(WS_POPUP | WS_VISIBLE, RECT{50, 50, 150, 150}, kBlue);
    user::test::RunUntilIdle();
    Painter::Log().clear();
    InvalidateRect(below, nullptr, TRUE);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::ScreenPixel(60, 60), kBlue);
    EXPECT_EQ(user::test::ScreenPixel(40, 40), kRed);
    // Siblings overlap freely unless they clip each other.
    HWND parent = Painter::Create(WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, RECT{0, 160, 200, 300}, kGreen);
    HWND first = Painter::Create(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, RECT{0, 0, 60, 60}, kBlue, parent);
    HWND second =
        Painter::Create(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, RECT{30, 30, 90, 90}, kRed, parent);
    user::test::RunUntilIdle();
    // The first created is on top.
    EXPECT_EQ(user::test::ScreenPixel(40, 200), kBlue);
    InvalidateRect(second, nullptr, TRUE);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::ScreenPixel(40, 200), kBlue);
    EXPECT_EQ(user::test::ScreenPixel(80, 240), kRed);
    // Raising the second puts it on top.
    SetWindowPos(second, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::ScreenPixel(40, 200), kRed);
    (void)first;
    DestroyWindow(parent);
    DestroyWindow(above);
    DestroyWindow(below);
}

struct NoPaint {
    static inline int paints = 0;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_PAINT) {
            ++paints;
            return 0; // never begins a paint
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

TEST_F(PaintTest, AWindowThatNeverBeginsAPaintGetsOneWmPaintNotAnEndlessStream) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = NoPaint::Proc;
    wc.lpszClassName = u"NoPaint";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, u"NoPaint", u"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                             nullptr, nullptr);
    NoPaint::paints = 0;
    user::test::RunUntilIdle();
    EXPECT_EQ(NoPaint::paints, 1);
    InvalidateRect(w, nullptr, FALSE);
    user::test::RunUntilIdle();
    EXPECT_EQ(NoPaint::paints, 2);
    DestroyWindow(w);
    UnregisterClassW(u"NoPaint", nullptr);
}

TEST_F(PaintTest, BordersAndCaptionsAreDrawnByThePlatform) {
    HWND w = Painter::Create(WS_POPUP | WS_CAPTION | WS_VISIBLE, RECT{10, 10, 110, 110}, kGreen);
    SetWindowTextW(w, u"Box");
    HWND framed = Painter::Create(WS_CHILD | WS_BORDER | WS_VISIBLE, RECT{10, 10, 40, 40}, kBlue, w);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::ScreenPixel(10, 10), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(user::test::ScreenPixel(100, 10 + user::kDialogFrame + 2),
              OnScreen(GetSysColor(COLOR_ACTIVECAPTION)));
    RECT r = user::test::ScreenRect(framed);
    EXPECT_EQ(user::test::ScreenPixel(r.left, r.top), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(user::test::ScreenPixel(r.left + 1, r.top + 1), kBlue);
    // An inactive caption is drawn in the inactive colour.
    HWND other = Painter::Create(WS_POPUP | WS_VISIBLE, RECT{150, 150, 200, 200}, kRed);
    user::test::RunUntilIdle();
    EXPECT_EQ(user::test::ScreenPixel(100, 10 + user::kDialogFrame + 2),
              OnScreen(GetSysColor(COLOR_INACTIVECAPTION)));
    DestroyWindow(other);
    DestroyWindow(w);
}

} // namespace
