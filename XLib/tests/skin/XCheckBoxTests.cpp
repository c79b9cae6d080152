// CXCheckBox: check boxes made from skin elements, their size and caption, the frame of each state, taps,
// Enter and SetCheck with and without commands, focus colours, outlines and the arrow keys.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SkinTestSupport.h"
#include "XCaptionSupport.h"
#include "XCheckBox.h"

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
constexpr COLORREF kFocusText = RGB(0xFF, 0, 0xFF);
constexpr COLORREF kFill = RGB(0, 0xFF, 0);
constexpr COLORREF kLine = RGB(0xFF, 0xFF, 0);
// The strip's six frames: unchecked, checked and pressed, each enabled then disabled.
const std::vector<COLORREF> kFrames = {RGB(0x10, 0x10, 0x10), RGB(0x20, 0x20, 0x20), RGB(0x30, 0x30, 0x30),
                                       RGB(0x40, 0x40, 0x40), RGB(0x50, 0x50, 0x50), RGB(0x60, 0x60, 0x60)};
constexpr int kBox = 12;

class CheckBoxTest : public skintest::SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        WriteDeviceFile(u"\\skins\\box.png", skintest::StripPng(kBox, kBox, kFrames));
    }
    void TearDown() override {
        m_host.reset();
        CWnd::DeleteTempMap();
        SkinTest::TearDown();
    }

    // Opens a host on a one-layer skin of these elements; bitmap paths are relative to \skins.
    skintest::CSkinHost& Open(std::string_view elements) {
        WriteDeviceFile(u"\\skins\\check.xml", skintest::OneLayerSkin(elements, kForm));
        m_host = std::make_unique<skintest::CSkinHost>(u"\\skins\\check.xml");
        EXPECT_TRUE(m_host->Open());
        EXPECT_TRUE(m_host->m_skinLoaded);
        return *m_host;
    }
    HWND Window(int id) const { return ::GetDlgItem(m_host->m_hWnd, id); }
    CXCheckBox* Box(int id) const { return dynamic_cast<CXCheckBox*>(CWnd::FromHandlePermanent(Window(id))); }
    // The frame colour the box shows.
    COLORREF Shown(int id) const { return WindowPixel(Window(id), kBox / 2, kBox / 2); }
    // The caption's extent in the default font.
    static SIZE Extent(HWND window, const char16_t* caption) {
        SIZE size{};
        HDC dc = ::GetDC(window);
        GetTextExtentPoint32W(dc, caption, static_cast<int>(std::u16string_view(caption).size()), &size);
        ::ReleaseDC(window, dc);
        return size;
    }
    std::vector<std::pair<UINT, UINT>> CommandsOf(int id) const {
        std::vector<std::pair<UINT, UINT>> commands;
        for (auto command : m_host->m_commands)
            if (command.first == static_cast<UINT>(id))
                commands.push_back(command);
        return commands;
    }

    std::unique_ptr<skintest::CSkinHost> m_host;
};

TEST_F(CheckBoxTest, WindowFitsBoxAndCaption) {
    Open(R"(<xCheckBox id="1" caption="Start" x="10" y="20" controlBitmap="box.png" transparent="true")"
         R"( leftCheckBox="true" textColor=")" +
         Hex(kText) + R"("/>)" +
         R"(<xCheckBox id="2" x="10" y="50" controlBitmap="box.png" transparent="true" leftCheckBox="true")"
         R"( outlineWidth="1" outlineColor=")" +
         Hex(kLine) + R"("/>)" +
         R"(<xCheckBox id="3" caption="Big" x="10" y="80" controlBitmap="box.png" fontName="Arial")"
         R"( fontSize="30" transparent="true" leftCheckBox="true"/>)");

    const SIZE start = Extent(Window(1), u"Start");
    EXPECT_EQ(ToString(RectInParent(Window(1))),
              ToString(RECT{10, 20, 10 + kBox + 5 + start.cx, 20 + std::max<LONG>(kBox, start.cy)}));
    std::optional<RECT> text = PixelBounds(Window(1), kText);
    ASSERT_TRUE(text.has_value());
    EXPECT_GE(text->left, kBox + 3) << "the caption lies right of the box";

    // Without a caption: box and spacing across, a line of text high, and neither text nor outline.
    const SIZE none = Extent(Window(2), u"");
    ASSERT_GT(none.cy, kBox) << "the line is higher than the box";
    EXPECT_EQ(ToString(RectInParent(Window(2))), ToString(RECT{10, 50, 10 + kBox + 5, 50 + none.cy}));
    EXPECT_EQ(CountPixels(Window(2), kLine), 0);

    RECT big = RectInParent(Window(3));
    EXPECT_GE(big.bottom - big.top, 30) << "the skin font's character height";

    // New text resizes the window at once.
    ::SetWindowTextW(Window(1), u"Start with the device");
    const SIZE longer = Extent(Window(1), u"Start with the device");
    EXPECT_EQ(RectInParent(Window(1)).right, 10 + kBox + 5 + longer.cx);
}

TEST_F(CheckBoxTest, ElementsWithoutBoxOrIdMakeNoWindow) {
    struct Case {
        int id;
        const char* attributes;
        bool made;
    };
    const Case cases[] = {
        {1, R"(id="1" controlBitmap="box.png")", true},
        {2, R"(id="2")", false},
        {3, R"(id="3" controlBitmap="missing.png")", false},
        {4, R"(controlBitmap="box.png")", false},
    };
    std::string elements;
    int y = 0;
    for (const Case& c : cases)
        elements += std::string("<xCheckBox ") + c.attributes + " y=\"" + std::to_string(y += 20) + "\"/>";
    skintest::CSkinHost& host = Open(elements);
    EXPECT_EQ(host.GetControlCount(), 4);
    for (const Case& c : cases)
        EXPECT_EQ(Window(c.id) != nullptr, c.made) << c.attributes;
    EXPECT_EQ(user::test::Style(Window(1)) & (WS_VISIBLE | WS_TABSTOP),
              static_cast<DWORD>(WS_VISIBLE | WS_TABSTOP));
    EXPECT_FALSE(Box(1)->GetCheck());
}

TEST_F(CheckBoxTest, FrameFollowsCheckedEnabledAndPressed) {
    Open(R"(<xCheckBox id="1" caption="On" x="10" y="10" controlBitmap="box.png" transparent="true"/>)");
    CXCheckBox* box = Box(1);
    struct Case {
        bool checked;
        bool enabled;
        int frame;
    };
    for (Case c : {Case{false, true, 0}, Case{false, false, 1}, Case{true, true, 2}, Case{true, false, 3}}) {
        SCOPED_TRACE(c.frame);
        box->SetCheck(c.checked);
        box->EnableWindow(c.enabled);
        RunUntilIdle();
        EXPECT_EQ(Shown(1), OnScreen(kFrames[c.frame]));
    }

    // While the stylus is down the box looks pressed, checked or not.
    box->EnableWindow(TRUE);
    const RECT rect = user::test::ScreenRect(Window(1));
    const POINT onBox{rect.left + 3, rect.top + 3};
    for (bool checked : {false, true}) {
        box->SetCheck(checked);
        user::test::StylusDown(onBox);
        RunUntilIdle();
        EXPECT_EQ(Shown(1), OnScreen(kFrames[4]));
        user::test::StylusUp(onBox);
        RunUntilIdle();
        EXPECT_EQ(box->GetCheck(), !checked);
    }

    // Disabled while held: the press ends there, without a toggle, and leaves no pressed look behind.
    box->SetCheck(false);
    user::test::StylusDown(onBox);
    RunUntilIdle();
    box->EnableWindow(FALSE);
    RunUntilIdle();
    EXPECT_EQ(Shown(1), OnScreen(kFrames[1]));
    user::test::StylusUp(onBox);
    box->EnableWindow(TRUE);
    RunUntilIdle();
    EXPECT_EQ(Shown(1), OnScreen(kFrames[0]));
    EXPECT_FALSE(box->GetCheck());
    EXPECT_EQ(CommandsOf(1).size(), 2u) << "only the two enabled taps";
}

TEST_F(CheckBoxTest, TapTogglesAndPostsOneCommand) {
    Open(R"(<xCheckBox id="42" caption="Auto" x="10" y="10" controlBitmap="box.png"/>)");
    CXCheckBox* box = Box(42);
    using Commands = std::vector<std::pair<UINT, UINT>>;
    ASSERT_TRUE(user::test::TapWindow(Window(42)));
    RunUntilIdle();
    EXPECT_TRUE(box->GetCheck());
    EXPECT_EQ(CommandsOf(42), (Commands{{42, BN_CLICKED}}));
    EXPECT_EQ(Shown(42), OnScreen(kFrames[2]));
    EXPECT_EQ(CWnd::GetCapture(), nullptr);

    ASSERT_TRUE(user::test::TapWindow(Window(42)));
    RunUntilIdle();
    EXPECT_FALSE(box->GetCheck());
    EXPECT_EQ(CommandsOf(42).size(), 2u);

    box->EnableWindow(FALSE);
    ASSERT_TRUE(user::test::TapWindow(Window(42)));
    RunUntilIdle();
    EXPECT_FALSE(box->GetCheck());
    EXPECT_EQ(CommandsOf(42).size(), 2u);
    EXPECT_EQ(Shown(42), OnScreen(kFrames[1]));
}

TEST_F(CheckBoxTest, EnterAndSetCheckToggleWithoutCommand) {
    Open(R"(<xCheckBox id="7" caption="Key" x="10" y="10" controlBitmap="box.png"/>)");
    CXCheckBox* box = Box(7);
    box->SetFocus();
    user::test::PressKey(VK_RETURN);
    RunUntilIdle();
    EXPECT_TRUE(box->GetCheck());
    EXPECT_EQ(Shown(7), OnScreen(kFrames[2]));
    user::test::PressKey(VK_RETURN);
    RunUntilIdle();
    EXPECT_FALSE(box->GetCheck());

    box->SetCheck(true);
    RunUntilIdle();
    EXPECT_TRUE(box->GetCheck());
    EXPECT_EQ(Shown(7), OnScreen(kFrames[2]));
    EXPECT_TRUE(CommandsOf(7).empty());
}

TEST_F(CheckBoxTest, FocusedCaptionTakesTheFocusColour) {
    const std::string text = " textColor=\"" + Hex(kText) + "\"";
    Open(R"(<xCheckBox id="1" caption="One" x="10" y="10" controlBitmap="box.png" focusTextColor=")" +
         Hex(kFocusText) + "\"" + text + "/>" +
         R"(<xCheckBox id="2" caption="Two" x="10" y="40" controlBitmap="box.png")" + text + "/>");
    struct Case {
        int focus;
        COLORREF first;
        COLORREF second;
    };
    // Without focusTextColor the text colour serves for both.
    for (Case c : {Case{1, kFocusText, kText}, Case{2, kText, kText}}) {
        SCOPED_TRACE(c.focus);
        Box(c.focus)->SetFocus();
        RunUntilIdle();
        EXPECT_GT(CountPixels(Window(1), c.first), 0);
        EXPECT_GT(CountPixels(Window(2), c.second), 0);
        EXPECT_EQ(CountPixels(Window(1), c.first == kText ? kFocusText : kText), 0);
    }
}

TEST_F(CheckBoxTest, OutlineRectanglesNestAroundTheCaption) {
    Open(R"(<xCheckBox id="1" caption="Frame" x="10" y="10" controlBitmap="box.png" outlineWidth="2")"
         R"( outlineColor=")" +
         Hex(kLine) + R"("/>)");
    HWND window = Window(1);
    RECT client{};
    GetClientRect(window, &client);
    const int left = kBox + 3;
    const int width = client.right - left;
    const int height = client.bottom;
    EXPECT_EQ(CountPixels(window, kLine), (2 * (width + height) - 4) + (2 * (width - 2 + height - 2) - 4));
    for (POINT p : {POINT{left, 0}, POINT{left + 1, 1}, POINT{client.right - 1, height - 1},
                    POINT{client.right - 2, height - 2}})
        EXPECT_EQ(WindowPixel(window, p.x, p.y), OnScreen(kLine)) << p.x << ", " << p.y;
    EXPECT_NE(WindowPixel(window, left + 2, 2), OnScreen(kLine));
    EXPECT_NE(WindowPixel(window, left - 1, 0), OnScreen(kLine)) << "the box has no outline";
}

TEST_F(CheckBoxTest, OpaqueCaptionHasItsBackgroundColour) {
    const std::string colours = " backgroundColor=\"" + Hex(kFill) + "\"";
    Open(R"(<xCheckBox id="1" caption="Opaque" x="10" y="10" controlBitmap="box.png" transparent="false")" +
         colours + "/>" +
         R"(<xCheckBox id="2" caption="Clear" x="10" y="40" controlBitmap="box.png" transparent="true")" +
         colours + "/>");
    EXPECT_GT(CountPixels(Window(1), kFill), 0);
    EXPECT_EQ(CountPixels(Window(2), kFill), 0);
    EXPECT_GT(CountPixels(Window(2), kForm), 0) << "the form shows around the clear caption";
}

TEST_F(CheckBoxTest, ArrowKeysMoveAlongTheDialogTabItems) {
    Open(R"(<xCheckBox id="1" caption="A" x="10" y="10" controlBitmap="box.png"/>)"
         R"(<xCheckBox id="2" caption="B" x="10" y="40" controlBitmap="box.png"/>)"
         R"(<xCheckBox id="3" caption="C" x="10" y="70" controlBitmap="box.png"/>)");
    // The dialog's tab items follow the windows' order, now 1, 3, 2; the skin's own order stays 1, 2, 3.
    ASSERT_TRUE(::SetWindowPos(Window(2), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    Box(1)->SetFocus();
    struct Step {
        UINT key;
        int focus;
    };
    const Step steps[] = {{VK_DOWN, 3}, {VK_RIGHT, 2}, {VK_DOWN, 1}, {VK_UP, 2}, {VK_LEFT, 3}, {VK_UP, 1}};
    for (Step step : steps) {
        ::SendMessageW(::GetFocus(), WM_KEYDOWN, step.key, 0);
        EXPECT_EQ(::GetFocus(), Window(step.focus)) << "key " << step.key << " to " << step.focus;
    }
}

} // namespace
