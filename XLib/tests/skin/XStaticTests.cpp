// CXStatic: statics made from skin elements and in code, their text, colours, frames, outlines and font
// on the screen, taps reported to the parent, and painting under the dialog's redraw lock.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "SkinTestSupport.h"
#include "XCaptionSupport.h"
#include "XStatic.h"

namespace {

using skintest::CountPixels;
using skintest::Hex;
using skintest::PixelBounds;
using skintest::RectInParent;
using skintest::ToString;
using user::test::OnScreen;
using user::test::RunUntilIdle;
using user::test::WindowPixel;

constexpr COLORREF kForm = RGB(0x40, 0x80, 0xC0);
constexpr COLORREF kText = RGB(0xFF, 0, 0);
constexpr COLORREF kFill = RGB(0, 0xFF, 0);
constexpr COLORREF kLine = RGB(0xFF, 0xFF, 0);
constexpr COLORREF kRed = RGB(0xF8, 0, 0);
constexpr COLORREF kGreen = RGB(0, 0xFC, 0);
constexpr COLORREF kBlue = RGB(0, 0, 0xF8);

// A skin host that also records what its statics post when tapped (WM_RBUTTONDBLCLK).
class CTapHost : public skintest::CSkinHost {
public:
    using CSkinHost::CSkinHost;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_RBUTTONDBLCLK)
            m_taps.emplace_back(wParam, lParam);
        return CSkinHost::WindowProc(message, wParam, lParam);
    }
    std::vector<std::pair<WPARAM, LPARAM>> m_taps;
};

class StaticTest : public skintest::SkinTest {
protected:
    void TearDown() override {
        m_host.reset();
        CWnd::DeleteTempMap();
        SkinTest::TearDown();
    }

    // Opens a host on a one-layer skin of these elements; bitmap paths are relative to \skins.
    CTapHost& Open(std::string_view elements) {
        WriteDeviceFile(u"\\skins\\static.xml", skintest::OneLayerSkin(elements, kForm));
        m_host = std::make_unique<CTapHost>(u"\\skins\\static.xml");
        EXPECT_TRUE(m_host->Open());
        EXPECT_TRUE(m_host->m_skinLoaded);
        return *m_host;
    }
    HWND Window(int id) const { return ::GetDlgItem(m_host->m_hWnd, id); }
    CXStatic* Static(int id) const { return dynamic_cast<CXStatic*>(CWnd::FromHandlePermanent(Window(id))); }

    std::unique_ptr<CTapHost> m_host;
};

TEST_F(StaticTest, SkinElementsMakeStaticsAtTheirPlaces) {
    WriteDeviceFile(u"\\skins\\strip.png", skintest::StripPng(16, 12, {kRed, kGreen, kBlue}));
    struct Case {
        int id;
        std::string attributes;
        std::optional<RECT> rect; // none: no window
    };
    const Case cases[] = {
        {100, R"(x="10" y="20" width="100" height="30")", RECT{10, 20, 110, 50}},
        // A bitmap static takes one frame's size, whatever width and height say.
        {101,
         R"(x="10" y="60" width="100" height="30" controlBitmap="strip.png" controlBitmapFrameCount="3")",
         RECT{10, 60, 26, 72}},
        {102, R"(x="30" y="80" controlBitmap="strip.png")", RECT{30, 80, 78, 92}},
        {103, R"(x="10" y="100" width="50" height="20" controlBitmap="missing.png")", std::nullopt},
        {104, R"(x="10" y="120" controlBitmap="strip.png" controlBitmapFrameCount="0")", std::nullopt},
    };
    std::string elements;
    for (const Case& c : cases)
        elements += "<xStatic id=\"" + std::to_string(c.id) + "\" " + c.attributes + "/>";
    CTapHost& host = Open(elements);
    EXPECT_EQ(host.GetControlCount(), 5) << "a static that failed still joins its layer";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        HWND window = Window(c.id);
        ASSERT_EQ(window != nullptr, c.rect.has_value());
        if (!window)
            continue;
        EXPECT_EQ(ToString(RectInParent(window)), ToString(*c.rect));
        EXPECT_EQ(user::test::Style(window) & (WS_VISIBLE | WS_TABSTOP), static_cast<DWORD>(WS_VISIBLE));
    }
    EXPECT_EQ(Static(101)->GetFrame(), 0u);
}

TEST_F(StaticTest, TransparentShowsTheFormUnderTheTextAndOpaqueFillsWithItsColour) {
    const std::string colours = " textColor=\"" + Hex(kText) + "\" backgroundColor=\"" + Hex(kFill) + "\"";
    Open(R"(<xStatic id="1" caption="MMMM" x="10" y="10" width="80" height="20" transparent="true")" +
         colours + "/>" +
         R"(<xStatic id="2" caption="MMMM" x="10" y="40" width="80" height="20" transparent="false")" +
         colours + "/>" + R"(<xStatic id="3" caption="MMMM" x="10" y="70" width="80" height="20")" + colours +
         "/>");
    struct Case {
        int id;
        COLORREF under;
    };
    for (Case c : {Case{1, kForm}, Case{2, kFill}, Case{3, kForm}}) {
        SCOPED_TRACE(c.id);
        HWND window = Window(c.id);
        const int text = CountPixels(window, kText);
        EXPECT_GT(text, 20);
        EXPECT_EQ(CountPixels(window, c.under) + text, 80 * 20) << "only the text covers the background";
    }
}

TEST_F(StaticTest, SkinTextStartsAtTheLeftUnlessAligned) {
    Open(
        R"(<xStatic id="1" caption="ab" x="0" y="0" width="100" height="20" transparent="true"/>)"
        R"(<xStatic id="2" caption="ab" x="0" y="30" width="100" height="20" textAlign="5" transparent="true"/>)"
        R"(<xStatic id="3" caption="ab" x="0" y="60" width="100" height="20" textAlign="2" transparent="true"/>)");
    CXStatic code;
    ASSERT_TRUE(code.Create(u"ab", 0, 90, 100, 20, m_host.get(), 4));
    RunUntilIdle();
    enum Align { kLeft, kCentre, kRight };
    struct Case {
        int id;
        Align align;
    };
    for (Case c : {Case{1, kLeft}, Case{2, kCentre}, Case{3, kRight}, Case{4, kCentre}}) {
        SCOPED_TRACE(c.id);
        std::optional<RECT> text = PixelBounds(Window(c.id), RGB(0, 0, 0));
        ASSERT_TRUE(text.has_value());
        if (c.align == kLeft)
            EXPECT_LE(text->left, 2);
        else if (c.align == kRight)
            EXPECT_GE(text->right, 98);
        else
            EXPECT_NEAR(text->left + text->right, 100, 3);
    }
}

TEST_F(StaticTest, ChosenFrameShowsUnderTheText) {
    // The first 4 columns of every frame are transparent and show the form.
    WriteDeviceFile(u"\\skins\\lamp.png",
                    skintest::StripPng(40, 16, {kRed, kGreen, kBlue}, [](int x, int) { return x < 4; }));
    Open(R"(<xStatic id="7" caption="I" x="10" y="10" controlBitmap="lamp.png" controlBitmapFrameCount="3")"
         R"( textColor=")" +
         Hex(kText) + R"(" transparent="true"/>)");
    CXStatic* lamp = Static(7);
    ASSERT_NE(lamp, nullptr);
    HWND window = Window(7);
    struct Step {
        UINT setFrame;
        COLORREF shown;
    };
    // Frame 3 is past the strip's end and changes nothing.
    for (Step step : {Step{0, kRed}, Step{2, kBlue}, Step{3, kBlue}, Step{1, kGreen}}) {
        SCOPED_TRACE(step.setFrame);
        lamp->SetFrame(step.setFrame);
        RunUntilIdle();
        EXPECT_EQ(WindowPixel(window, 10, 2), OnScreen(step.shown));
        EXPECT_EQ(WindowPixel(window, 1, 2), OnScreen(kForm));
        EXPECT_GT(CountPixels(window, kText), 0);
    }
}

TEST_F(StaticTest, OutlineRectanglesNestAndShowWithoutText) {
    Open(R"(<xStatic id="5" x="20" y="20" width="50" height="20" transparent="false" outlineWidth="2")"
         R"( outlineColor=")" +
         Hex(kLine) + R"(" backgroundColor=")" + Hex(kFill) + R"("/>)");
    HWND window = Window(5);
    // Two rings of 50 x 20 and 48 x 18 pixels.
    EXPECT_EQ(CountPixels(window, kLine), (2 * (50 + 20) - 4) + (2 * (48 + 18) - 4));
    for (POINT p : {POINT{0, 0}, POINT{1, 1}, POINT{49, 19}, POINT{48, 18}, POINT{25, 1}})
        EXPECT_EQ(WindowPixel(window, p.x, p.y), OnScreen(kLine)) << p.x << ", " << p.y;
    for (POINT p : {POINT{2, 2}, POINT{47, 17}, POINT{25, 10}})
        EXPECT_EQ(WindowPixel(window, p.x, p.y), OnScreen(kFill)) << p.x << ", " << p.y;
}

TEST_F(StaticTest, TapIsPostedToTheParentWithIdAndPoint) {
    CTapHost& host = Open(R"(<xStatic id="1500" caption="tap" x="30" y="40" width="60" height="20"/>)");
    CWnd* focus = CWnd::GetFocus();
    ASSERT_TRUE(user::test::TapWindow(Window(1500), POINT{10, 3}));
    RunUntilIdle();
    ASSERT_EQ(host.m_taps.size(), 1u);
    EXPECT_EQ(host.m_taps[0].first, 1500u);
    EXPECT_EQ(host.m_taps[0].second, MAKELPARAM(10, 3));
    EXPECT_TRUE(host.m_commands.empty());
    EXPECT_EQ(CWnd::GetFocus(), focus) << "the static takes no focus";
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
}

TEST_F(StaticTest, NewTextRepaintsButNeverResizes) {
    Open(R"(<xStatic id="9" caption="x" x="10" y="10" width="60" height="20" textColor=")" + Hex(kText) +
         R"(" transparent="true"/>)");
    HWND window = Window(9);
    const int shortText = CountPixels(window, kText);
    ::SetWindowTextW(window, u"WWWWWWWWWWWWWWWWWWWWWWWW");
    RunUntilIdle();
    EXPECT_GT(CountPixels(window, kText), shortText);
    EXPECT_EQ(ToString(RectInParent(window)), ToString(RECT{10, 10, 70, 30}));
    ::SetWindowTextW(window, u"");
    RunUntilIdle();
    EXPECT_EQ(CountPixels(window, kText), 0);
    EXPECT_EQ(CountPixels(window, kForm), 60 * 20);
}

TEST_F(StaticTest, SkinFontSetsTheTextHeight) {
    const std::string common =
        R"( caption="Hg" x="0" width="120" height="60" transparent="true" textColor=")" + Hex(kText) + "\"";
    Open(R"(<xStatic id="1" y="0")" + common + "/>" +
         R"(<xStatic id="2" y="60" fontName="Arial" fontSize="40")" + common + "/>" +
         R"(<xStatic id="3" y="120" fontName="Arial" fontSize="40" fontBold="true")" + common + "/>");
    auto height = [this](int id) {
        std::optional<RECT> text = PixelBounds(Window(id), kText);
        return text ? text->bottom - text->top : 0;
    };
    auto width = [this](int id) {
        std::optional<RECT> text = PixelBounds(Window(id), kText);
        return text ? text->right - text->left : 0;
    };
    EXPECT_GT(height(1), 5);
    EXPECT_GT(height(2), height(1) + 15);
    EXPECT_LE(height(2), 40) << "the size is a character height, not a cell height";
    EXPECT_GT(width(3), width(2)) << "bold";
    EXPECT_EQ(ToString(RectInParent(Window(2))), ToString(RECT{0, 60, 120, 120})) << "a font never resizes";
}

TEST_F(StaticTest, NothingPaintsWhileTheDialogRedrawIsLocked) {
    CTapHost& host = Open(R"(<xStatic id="3" caption="MMM" x="10" y="10" width="60" height="20"/>)");
    CXStatic* label = Static(3);
    host.LockRedraw(true);
    label->SetTextColor(kText);
    RunUntilIdle();
    EXPECT_EQ(CountPixels(Window(3), kText), 0);
    // Unlocking repaints the controls too, though the dialog clips its children.
    host.LockRedraw(false);
    RunUntilIdle();
    EXPECT_GT(CountPixels(Window(3), kText), 0);
}

TEST_F(StaticTest, CodeFormsAndBitmapsSizeTheWindow) {
    WriteDeviceFile(u"\\skins\\two.png", skintest::StripPng(20, 10, {kRed, kGreen}));
    WriteDeviceFile(u"\\skins\\wide.png", skintest::StripPng(50, 8, {kBlue}));
    Open("");
    CXStatic missing;
    EXPECT_FALSE(missing.Create(u"\\skins\\none.png", 2, u"", 5, 5, m_host.get(), 10));
    EXPECT_EQ(missing.GetSafeHwnd(), nullptr);

    CXStatic lamp;
    ASSERT_TRUE(lamp.Create(u"\\skins\\two.png", 2, u"", 5, 6, m_host.get(), 11));
    EXPECT_EQ(ToString(RectInParent(lamp)), ToString(RECT{5, 6, 25, 16}));
    lamp.SetFrame(1);
    RunUntilIdle();
    EXPECT_EQ(WindowPixel(lamp, 3, 3), OnScreen(kGreen));

    // A new one-frame bitmap resizes the window in place and shows from its first frame.
    ASSERT_TRUE(lamp.SetBitmap(u"\\skins\\wide.png"));
    RunUntilIdle();
    EXPECT_EQ(ToString(RectInParent(lamp)), ToString(RECT{5, 6, 55, 14}));
    EXPECT_EQ(lamp.GetFrame(), 0u);
    EXPECT_EQ(WindowPixel(lamp, 40, 3), OnScreen(kBlue));

    // A bitmap that does not load leaves no strip: the transparent static shows the form.
    EXPECT_FALSE(lamp.SetBitmap(u"\\skins\\none.png"));
    RunUntilIdle();
    EXPECT_EQ(WindowPixel(lamp, 40, 3), OnScreen(kForm));
}

} // namespace
