// CXSlider: sliders made from skin elements, the geometry of the thumb's travel, drags with the scroll
// messages the parent gets, the arrow keys, the picture (thumb position, focus look, the form showing
// through) and the range's edges.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "SkinTestSupport.h"
#include "XCaptionSupport.h"
#include "XSlider.h"

namespace {

using skintest::CountPixels;
using skintest::PixelBounds;
using skintest::RectInParent;
using skintest::ToString;
using user::test::OnScreen;
using user::test::RunUntilIdle;
using user::test::WindowPixel;

constexpr COLORREF kForm = RGB(0x40, 0x80, 0xC0);
constexpr COLORREF kBar = RGB(0x20, 0x20, 0x20);
constexpr COLORREF kBarFocus = RGB(0x00, 0xFF, 0x00);
constexpr COLORREF kThumb = RGB(0xFF, 0x00, 0x00);
constexpr COLORREF kThumbFocus = RGB(0xFF, 0xFF, 0x00);
// A bar frame 200 x 20 makes a window 199 x 19: W = 199. With both indents 10 the thumb's left edge
// travels 179 pixels, from 10 to 189.
constexpr int kBarWidth = 200;
constexpr int kBarHeight = 20;
constexpr int kThumbWidth = 10;
constexpr int kThumbHeight = 12;
constexpr int kTop = 4;
// The bar's two top rows are transparent: the form shows there.
constexpr int kClearRows = 2;

const char* const kGeometry = R"( leftIndent="10" rightIndent="10" topIndent="4")";

// Scroll messages as the parent saw them, with the watched slider's position when each arrived.
struct Scroll {
    UINT message;
    UINT code;
    UINT high;
    LPARAM from;
    int pos;
};

std::string Describe(const Scroll& s, HWND slider) {
    std::string text = s.message == WM_HSCROLL ? "H" : s.message == WM_VSCROLL ? "V" : "?";
    text += s.code == SB_THUMBTRACK ? " track " : s.code == SB_ENDSCROLL ? " end " : " code ";
    text += std::to_string(s.pos);
    if (s.high != 0)
        text += " high " + std::to_string(s.high);
    if (s.from != 0)
        text += reinterpret_cast<HWND>(s.from) == slider ? " from slider" : " from ?";
    return text;
}

class ScrollHost : public skintest::CSkinHost {
public:
    using CSkinHost::CSkinHost;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_HSCROLL || message == WM_VSCROLL) {
            auto* slider = dynamic_cast<CXSlider*>(CWnd::FromHandlePermanent(::GetDlgItem(m_hWnd, m_watch)));
            m_scrolls.push_back(
                {message, LOWORD(wParam), HIWORD(wParam), lParam, slider ? slider->GetPos() : -1});
        }
        return CSkinHost::WindowProc(message, wParam, lParam);
    }

    int m_watch = 1;
    std::vector<Scroll> m_scrolls;
};

class SliderTest : public skintest::SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        auto clear = [](int, int y) { return y < kClearRows; };
        WriteDeviceFile(u"\\skins\\bar.png", skintest::StripPng(kBarWidth, kBarHeight, {kBar}, clear));
        WriteDeviceFile(u"\\skins\\bar2.png",
                        skintest::StripPng(kBarWidth, kBarHeight, {kBar, kBarFocus}, clear));
        WriteDeviceFile(u"\\skins\\thumb.png", skintest::StripPng(kThumbWidth, kThumbHeight, {kThumb}));
        WriteDeviceFile(u"\\skins\\thumb2.png",
                        skintest::StripPng(kThumbWidth, kThumbHeight, {kThumb, kThumbFocus}));
    }
    void TearDown() override {
        m_host.reset();
        CWnd::DeleteTempMap();
        SkinTest::TearDown();
    }

    ScrollHost& Open(std::string_view elements) {
        WriteDeviceFile(u"\\skins\\slider.xml", skintest::OneLayerSkin(elements, kForm));
        m_host = std::make_unique<ScrollHost>(u"\\skins\\slider.xml");
        EXPECT_TRUE(m_host->Open());
        EXPECT_TRUE(m_host->m_skinLoaded);
        return *m_host;
    }
    // A slider of the usual strips and geometry at (20, y).
    static std::string Element(int id, int y, std::string_view more = {}) {
        return "<xSlider id=\"" + std::to_string(id) + "\" barBitmap=\"bar.png\" thumbBitmap=\"thumb.png\"" +
               " x=\"20\" y=\"" + std::to_string(y) + "\"" + kGeometry + std::string(more) + "/>";
    }
    HWND Window(int id) const { return ::GetDlgItem(m_host->m_hWnd, id); }
    CXSlider* Slider(int id) const { return dynamic_cast<CXSlider*>(CWnd::FromHandlePermanent(Window(id))); }
    // A point of the slider's client area on the screen.
    POINT OnSlider(int id, int x, int y) const {
        const RECT rect = user::test::ScreenRect(Window(id));
        return POINT{rect.left + x, rect.top + y};
    }
    std::vector<std::string> Scrolls() const {
        std::vector<std::string> texts;
        for (const Scroll& s : m_host->m_scrolls)
            texts.push_back(Describe(s, Window(m_host->m_watch)));
        return texts;
    }
    // Where the thumb shows, as "(l, t)-(r, b)".
    std::string ThumbShown(int id, COLORREF colour = kThumb) const {
        auto bounds = PixelBounds(Window(id), colour);
        return bounds ? ToString(*bounds) : "nowhere";
    }
    static std::string ThumbAt(int left) {
        return ToString(RECT{left, kTop, left + kThumbWidth, kTop + kThumbHeight});
    }

    std::unique_ptr<ScrollHost> m_host;
};

using Texts = std::vector<std::string>;

TEST_F(SliderTest, SkinMakesSliderOneLessThanTheBarFrame) {
    struct Case {
        int id;
        const char* attributes;
        bool made;
    };
    const Case cases[] = {
        {1, R"(id="1" barBitmap="bar.png" thumbBitmap="thumb.png" x="20" y="30")", true},
        {2, R"(id="2" thumbBitmap="thumb.png")", false},
        {3, R"(id="3" barBitmap="bar.png")", false},
        {4, R"(id="4" barBitmap="bar.png" thumbBitmap="missing.png")", false},
        {5, R"(id="5" barBitmap="missing.png" thumbBitmap="thumb.png")", false},
        {6, R"(barBitmap="bar.png" thumbBitmap="thumb.png")", false},
    };
    std::string elements;
    for (const Case& c : cases)
        elements += std::string("<xSlider ") + c.attributes + "/>";
    ScrollHost& host = Open(elements);
    EXPECT_EQ(host.GetControlCount(), 6) << "every element joins the layer, made or not";
    for (const Case& c : cases) {
        if (c.id == 6)
            continue;
        EXPECT_EQ(Window(c.id) != nullptr, c.made) << c.attributes;
    }
    int windows = 0;
    for (HWND child = ::GetWindow(host.m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ++windows;
    EXPECT_EQ(windows, 1) << "an element without id makes no window";

    HWND window = Window(1);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ToString(RectInParent(window)),
              ToString(RECT{20, 30, 20 + kBarWidth - 1, 30 + kBarHeight - 1}));
    char16_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    EXPECT_EQ(std::u16string(className), u"XSLIDER");
    EXPECT_EQ(user::test::Style(window) & (WS_CHILD | WS_VISIBLE | WS_TABSTOP),
              static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_TABSTOP));
    CXSlider* slider = Slider(1);
    EXPECT_EQ(slider->GetRangeMin(), 0);
    EXPECT_EQ(slider->GetRangeMax(), 100);
    EXPECT_EQ(slider->GetPos(), 0);
    // Without indents the thumb starts at the left edge and stands at the top.
    EXPECT_EQ(ThumbShown(1), ToString(RECT{0, 0, kThumbWidth, kThumbHeight}));
}

TEST_F(SliderTest, TravelMapsBetweenXAndPosition) {
    Open(Element(1, 40));
    CXSlider* slider = Slider(1);
    struct Case {
        int x;
        int pos;
    };
    // U = 199 - 10 - 10 = 179; the travel's ends and beyond give the range's ends.
    for (Case c : {Case{-5, 0}, Case{10, 0}, Case{11, 0}, Case{100, 50}, Case{188, 99}, Case{189, 100},
                   Case{250, 100}})
        EXPECT_EQ(slider->PosFromX(c.x), c.pos) << c.x;
    for (Case c : {Case{10, 0}, Case{99, 50}, Case{189, 100}}) {
        RECT rect{};
        slider->GetThumbRect(&rect, c.pos);
        EXPECT_EQ(ToString(rect), ToString(RECT{c.x, kTop, c.x + kThumbWidth - 1, kTop + kThumbHeight - 1}));
    }
    slider->GetThumbRect(nullptr, 0);
    // The thumb rectangle's right and bottom edges are not on the thumb.
    EXPECT_TRUE(slider->HitThumb(10, kTop));
    EXPECT_TRUE(slider->HitThumb(18, kTop + kThumbHeight - 2));
    EXPECT_FALSE(slider->HitThumb(19, kTop));
    EXPECT_FALSE(slider->HitThumb(10, kTop + kThumbHeight - 1));
    EXPECT_FALSE(slider->HitThumb(9, kTop));
}

TEST_F(SliderTest, DragPostsTrackingThenEndWithClampedPositions) {
    struct Case {
        bool vertical;
        const char* kind;
    };
    // "vertical" changes only the message; the drag is horizontal either way.
    for (Case c : {Case{false, "H"}, Case{true, "V"}}) {
        SCOPED_TRACE(c.kind);
        Open(Element(1, 40, c.vertical ? R"( vertical="true")" : ""));
        CXSlider* slider = Slider(1);
        const int y = kTop + 3;
        user::test::StylusDown(OnSlider(1, 12, y));
        RunUntilIdle();
        EXPECT_TRUE(slider->IsDragging());
        EXPECT_EQ(CWnd::GetCapture(), slider);
        // Beyond the right end the drag point stops at W; left of the bar is the range's start.
        for (int x : {100, 210, -15, 150}) {
            user::test::StylusMove(OnSlider(1, x, y + 30));
            RunUntilIdle();
        }
        slider->SetPos(20);
        EXPECT_EQ(slider->GetPos(), 78) << "SetPos during a drag is ignored";
        EXPECT_EQ(ThumbShown(1), ThumbAt(10 + 78 * 179 / 100));
        user::test::StylusUp(OnSlider(1, 150, y + 30));
        RunUntilIdle();

        const std::string t = std::string(c.kind) + " track ";
        EXPECT_EQ(Scrolls(), (Texts{t + "50 from slider", t + "100 from slider", t + "0 from slider",
                                    t + "78 from slider", std::string(c.kind) + " end 78"}));
        EXPECT_FALSE(slider->IsDragging());
        EXPECT_EQ(CWnd::GetCapture(), nullptr);
        EXPECT_EQ(slider->GetPos(), 78);
        m_host.reset();
    }
}

TEST_F(SliderTest, TapOnThumbTakesTheTapsPositionAndBesideItNothing) {
    Open(Element(1, 40) + Element(2, 80));
    CXSlider* slider = Slider(1);
    Slider(2)->SetFocus();
    // The thumb spans x 10 to 18 at position 0: a tap on its right part moves it right.
    ASSERT_TRUE(user::test::TapWindow(Window(1), POINT{18, kTop + 2}));
    RunUntilIdle();
    EXPECT_EQ(slider->GetPos(), 8 * 100 / 179);
    EXPECT_EQ(Scrolls(), (Texts{"H end 4"}));

    ASSERT_TRUE(user::test::TapWindow(Window(1), POINT{120, kTop + 2}));
    RunUntilIdle();
    EXPECT_EQ(slider->GetPos(), 4);
    EXPECT_EQ(Scrolls().size(), 1u);
    EXPECT_EQ(::GetFocus(), Window(2)) << "a tap gives no focus";
}

TEST_F(SliderTest, LostCaptureEndsTheDrag) {
    Open(Element(1, 40));
    CXSlider* slider = Slider(1);
    user::test::StylusDown(OnSlider(1, 12, kTop + 3));
    user::test::StylusMove(OnSlider(1, 100, kTop + 3));
    RunUntilIdle();
    ::ReleaseCapture();
    RunUntilIdle();
    EXPECT_FALSE(slider->IsDragging());
    EXPECT_EQ(Scrolls(), (Texts{"H track 50 from slider", "H end 50"}));
    user::test::StylusUp(OnSlider(1, 100, kTop + 3));
    RunUntilIdle();
    EXPECT_EQ(Scrolls().size(), 2u) << "the release after it ends nothing";
    slider->SetPos(30);
    EXPECT_EQ(slider->GetPos(), 30);
}

TEST_F(SliderTest, ArrowKeysStepOnReleaseAndMoveTheFocus) {
    ScrollHost& host = Open(Element(1, 40) + Element(2, 80));
    CXSlider* slider = Slider(1);
    slider->SetFocus();
    slider->SetPos(90);
    // Through the dialog manager: left and right stay with the focused slider.
    for (int i = 0; i < 5; ++i)
        user::test::PressKey(VK_RIGHT);
    user::test::PressKey(VK_LEFT);
    RunUntilIdle();
    EXPECT_EQ(Scrolls(), (Texts{"H end 95", "H end 100", "H end 100", "H end 100", "H end 100", "H end 95"}));
    EXPECT_EQ(CWnd::GetFocus(), slider);
    EXPECT_EQ(Slider(2)->GetPos(), 0);

    // A held key moves the slider once, when it is released.
    host.m_scrolls.clear();
    for (int i = 0; i < 3; ++i)
        user::test::KeyDown(VK_LEFT);
    RunUntilIdle();
    EXPECT_EQ(slider->GetPos(), 95);
    user::test::KeyUp(VK_LEFT);
    user::test::PressKey(VK_SPACE);
    RunUntilIdle();
    EXPECT_EQ(Scrolls(), (Texts{"H end 90"}));

    // Up and down follow the dialog's tab items.
    user::test::PressKey(VK_DOWN);
    RunUntilIdle();
    EXPECT_EQ(::GetFocus(), Window(2));
    user::test::PressKey(VK_UP);
    RunUntilIdle();
    EXPECT_EQ(::GetFocus(), Window(1));
    EXPECT_EQ(Scrolls().size(), 1u);
}

TEST_F(SliderTest, KeyStepIsATwentiethOfTheRangeAndAtLeastOne) {
    Open(Element(1, 40));
    CXSlider* slider = Slider(1);
    slider->SetFocus();
    struct Case {
        int min;
        int max;
        int step;
    };
    for (Case c : {Case{0, 18, 1}, Case{0, 19, 1}, Case{0, 39, 1}, Case{0, 40, 2}, Case{0, 100, 5},
                   Case{-100, 100, 10}}) {
        slider->SetRange(c.min, c.max);
        slider->SetPos(c.min);
        user::test::PressKey(VK_RIGHT);
        RunUntilIdle();
        EXPECT_EQ(slider->GetPos(), c.min + c.step) << c.min << ".." << c.max;
    }
}

TEST_F(SliderTest, ANewRangeLeavesThePositionWhereItIs) {
    Open(Element(1, 40));
    CXSlider* slider = Slider(1);
    slider->SetFocus();
    slider->SetPos(150);
    slider->SetPos(-1);
    EXPECT_EQ(slider->GetPos(), 0) << "positions outside the range are ignored";

    // Bounds in either order; the position stays, also outside the new range.
    slider->SetRange(100, 20);
    EXPECT_EQ(slider->GetRangeMin(), 20);
    EXPECT_EQ(slider->GetRangeMax(), 100);
    EXPECT_EQ(slider->GetPos(), 0);
    slider->SetPos(80);
    slider->SetRange(0, 50);
    EXPECT_EQ(slider->GetPos(), 80);
    // A step to the right lowers it to the new end.
    user::test::PressKey(VK_RIGHT);
    RunUntilIdle();
    EXPECT_EQ(slider->GetPos(), 50);
    EXPECT_EQ(ThumbShown(1), ThumbAt(189));

    // A range of one value: the thumb stays at the travel's start and the keys keep the value.
    slider->SetRange(7, 7);
    user::test::PressKey(VK_RIGHT);
    RunUntilIdle();
    EXPECT_EQ(slider->GetPos(), 7);
    EXPECT_EQ(slider->PosFromX(100), 7);
    EXPECT_EQ(ThumbShown(1), ThumbAt(10));

    // The widest range maps without overflow.
    slider->SetRange(INT_MIN, INT_MAX);
    EXPECT_EQ(slider->PosFromX(100), static_cast<int>(INT_MIN + 90 * (int64_t{INT_MAX} - INT_MIN) / 179));
    slider->SetPos(INT_MAX);
    user::test::PressKey(VK_RIGHT);
    RunUntilIdle();
    EXPECT_EQ(slider->GetPos(), INT_MAX);
    EXPECT_EQ(ThumbShown(1), ThumbAt(189));
    slider->SetPos(INT_MIN);
    RunUntilIdle();
    EXPECT_EQ(ThumbShown(1), ThumbAt(10));
}

TEST_F(SliderTest, ThumbIsDrawnAtItsPositionOverTheForm) {
    Open(Element(1, 40));
    CXSlider* slider = Slider(1);
    HWND window = Window(1);
    for (int pos : {0, 50, 100}) {
        slider->SetPos(pos);
        RunUntilIdle();
        EXPECT_EQ(ThumbShown(1), ThumbAt(10 + pos * 179 / 100)) << pos;
    }
    // The bar fills the rest, and the form shows through its transparent rows.
    RECT client{};
    ::GetClientRect(window, &client);
    const RECT clear{0, 0, client.right, kClearRows};
    EXPECT_EQ(CountPixels(window, kForm, clear), client.right * kClearRows);
    EXPECT_EQ(CountPixels(window, kBar),
              client.right * (client.bottom - kClearRows) - kThumbWidth * kThumbHeight);
}

TEST_F(SliderTest, FocusLookNeedsTheFocusImage) {
    Open(
        Element(1, 40) +
        R"(<xSlider id="2" barBitmap="bar2.png" thumbBitmap="thumb2.png" x="20" y="80" hasFocusImage="true")" +
        kGeometry + "/>");
    struct Case {
        int focus;
        COLORREF bar2;
        COLORREF thumb2;
    };
    for (Case c : {Case{1, kBar, kThumb}, Case{2, kBarFocus, kThumbFocus}, Case{1, kBar, kThumb}}) {
        SCOPED_TRACE(c.focus);
        Slider(c.focus)->SetFocus();
        RunUntilIdle();
        EXPECT_EQ(WindowPixel(Window(1), 100, 10), OnScreen(kBar)) << "one frame: no focus look";
        EXPECT_EQ(ThumbShown(1), ThumbAt(10));
        EXPECT_EQ(WindowPixel(Window(2), 100, 10), OnScreen(c.bar2));
        EXPECT_EQ(ThumbShown(2, c.thumb2), ThumbAt(10));
    }
}

TEST_F(SliderTest, LockedDialogLeavesTheSliderUnpainted) {
    ScrollHost& host = Open(Element(1, 40));
    host.LockRedraw(true);
    Slider(1)->SetPos(100);
    RunUntilIdle();
    EXPECT_EQ(ThumbShown(1), ThumbAt(10)) << "the old picture stays";
    host.LockRedraw(false);
    RunUntilIdle();
    EXPECT_EQ(ThumbShown(1), ThumbAt(189));
}

} // namespace
