// The skinned push button: made from its skin element or in code, its frames on screen, taps, the hold
// command, Enter and the arrow keys, and its paint over the dialog's background.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BmpWriter.h"
#include "SkinTestSupport.h"
#include "XButton.h"
#include "kernel/Resources.h"

namespace skintest {
namespace {

using user::test::AdvanceTime;
using user::test::OnScreen;
using user::test::PressKey;
using user::test::RunUntilIdle;
using user::test::StylusDown;
using user::test::StylusMove;
using user::test::StylusUp;
using user::test::WindowPixel;

constexpr COLORREF kNormal = RGB(200, 0, 0);
constexpr COLORREF kPressed = RGB(0, 200, 0);
constexpr COLORREF kDisabled = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kFocus = RGB(0, 0, 200);
constexpr COLORREF kBackground = RGB(0, 255, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A 16 x 20 resource strip of 3 frames with a mask half: frames of 5 x 10.
const Bytes kResourceDib = PackedDibOf(16, 20, RGB(255, 0, 0));
const kernel::ResourceEntry kResources[] = {
    {RT_BITMAP, MAKEINTRESOURCE(301), kResourceDib.data(), kResourceDib.size()}};
const kernel::ResourceTable kTable(kResources);

std::string Skin(const std::string& buttons, const std::string& form = "backgroundColor=\"0xFFFF00\"") {
    return "<?xml version=\"1.0\"?>\n<xForm relativePathes=\"true\" width=\"240\" height=\"320\" " + form +
           ">\n<xLayer name=\"main\">\n" + buttons + "</xLayer>\n</xForm>\n";
}

std::string Button(int id, int x, int y, const std::string& bitmap = "three.png", bool focusImage = false) {
    return "<xButton id=\"" + std::to_string(id) + "\" controlBitmap=\"" + bitmap + "\" x=\"" +
           std::to_string(x) + "\" y=\"" + std::to_string(y) + "\"" +
           (focusImage ? " hasFocusImage=\"true\"" : "") + "/>\n";
}

// A skin host that also records the key messages and the commands' lParam that reach it.
class CButtonHost : public CSkinHost {
public:
    using CSkinHost::CSkinHost;
    struct Seen {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Seen> m_seen;

    std::vector<WPARAM> Keys(UINT message) const {
        std::vector<WPARAM> keys;
        for (const Seen& seen : m_seen)
            if (seen.message == message)
                keys.push_back(seen.wParam);
        return keys;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_COMMAND)
            m_seen.push_back({message, wParam, lParam});
        return CSkinHost::WindowProc(message, wParam, lParam);
    }
};

using Commands = std::vector<std::pair<UINT, UINT>>;

class XButtonTest : public SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        // Frames of 20 x 10: normal, pressed, disabled and, in the second strip, focused.
        WriteDeviceFile(u"\\skins\\three.png", StripPng(20, 10, {kNormal, kPressed, kDisabled}));
        WriteDeviceFile(u"\\skins\\four.png", StripPng(20, 10, {kNormal, kPressed, kDisabled, kFocus}));
    }
    std::unique_ptr<CButtonHost> Open(const std::string& skin) {
        WriteDeviceFile(u"\\skins\\form.xml", skin);
        auto host = std::make_unique<CButtonHost>(u"\\skins\\form.xml");
        EXPECT_TRUE(host->Open());
        EXPECT_TRUE(host->m_skinLoaded);
        return host;
    }
    static CXButton* ButtonOf(CSkinHost& host, int id) {
        return DYNAMIC_DOWNCAST(CXButton, host.GetDlgItem(id));
    }
    // The button's rectangle in the dialog's client area.
    static CRect RectOf(CSkinHost& host, CWnd& button) {
        CRect rect;
        button.GetWindowRect(&rect);
        host.ScreenToClient(&rect);
        return rect;
    }
    static POINT Centre(CWnd& button) {
        const RECT rect = user::test::ScreenRect(button.m_hWnd);
        return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    static COLORREF Shown(CWnd& button) { return WindowPixel(button.m_hWnd, 10, 5); }
};

TEST_F(XButtonTest, SkinElementsMakeButtonsOfOneFrame) {
    const struct {
        const char* element;
        int id;
        bool made;
        RECT rect;
    } cases[] = {
        {"<xButton id=\"101\" controlBitmap=\"three.png\" x=\"30\" y=\"40\"/>", 101, true, {30, 40, 50, 50}},
        // Hexadecimal id, position 0 by default, the focus frame named.
        {"<xButton id=\"0x66\" controlBitmap=\"four.png\" hasFocusImage=\"TRUE\"/>",
         102,
         true,
         {0, 0, 20, 10}},
        // Without hasFocusImage the four frames are cut in three.
        {"<xButton id=\"103\" controlBitmap=\"four.png\" x=\"100\" y=\"200\"/>",
         103,
         true,
         {100, 200, 126, 210}},
        {"<xButton id=\"104\" controlBitmap=\"\" x=\"1\"/>", 104, false, {}},
        {"<xButton id=\"105\" x=\"1\"/>", 105, false, {}},
        {"<xButton id=\"106\" controlBitmap=\"missing.png\"/>", 106, false, {}},
    };
    std::string elements;
    for (const auto& c : cases)
        elements += std::string(c.element) + "\n";
    // No id: no button either.
    elements += "<xButton controlBitmap=\"three.png\" x=\"60\" y=\"60\"/>\n";
    auto host = Open(Skin(elements));

    for (const auto& c : cases) {
        SCOPED_TRACE(c.element);
        CXButton* button = ButtonOf(*host, c.id);
        ASSERT_EQ(button != nullptr, c.made);
        if (!c.made)
            continue;
        EXPECT_EQ(RectOf(*host, *button), CRect(c.rect));
        EXPECT_EQ(button->GetStyle() & (WS_CHILD | WS_VISIBLE | WS_TABSTOP),
                  static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_TABSTOP));
        EXPECT_EQ(Shown(*button), OnScreen(kNormal));
    }
    int children = 0;
    for (HWND child = GetWindow(host->m_hWnd, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        ++children;
    EXPECT_EQ(children, 3);
    // The buttons that did not load still joined the layer.
    EXPECT_EQ(host->GetControlCount(), 7);
}

TEST_F(XButtonTest, APressPostsTheCommandWhereverTheStylusIsLifted) {
    auto host = Open(Skin(Button(101, 30, 40)));
    CXButton* button = ButtonOf(*host, 101);
    ASSERT_NE(button, nullptr);

    // The dialog gave its first tab stop the focus; a tap does not take it back.
    ::SetFocus(nullptr);
    ASSERT_TRUE(user::test::TapControl(host->m_hWnd, 101));
    RunUntilIdle();
    EXPECT_EQ(host->m_commands, (Commands{{101, BN_CLICKED}}));
    ASSERT_EQ(host->m_seen.size(), 1u);
    EXPECT_EQ(host->m_seen[0].lParam, reinterpret_cast<LPARAM>(button->m_hWnd));
    EXPECT_EQ(::GetFocus(), nullptr);

    // Pressed, slid off and lifted elsewhere: the command all the same, and the button is released.
    host->m_commands.clear();
    StylusDown(Centre(*button));
    RunUntilIdle();
    EXPECT_EQ(Shown(*button), OnScreen(kPressed));
    EXPECT_EQ(::GetCapture(), button->m_hWnd);
    StylusMove(POINT{200, 300});
    StylusUp(POINT{200, 300});
    RunUntilIdle();
    EXPECT_EQ(host->m_commands, (Commands{{101, BN_CLICKED}}));
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_EQ(Shown(*button), OnScreen(kNormal));

    // A disabled button takes no press at all.
    host->m_commands.clear();
    button->EnableWindow(FALSE);
    StylusDown(Centre(*button));
    RunUntilIdle();
    EXPECT_EQ(::GetCapture(), nullptr);
    StylusUp(Centre(*button));
    RunUntilIdle();
    EXPECT_TRUE(host->m_commands.empty());
    EXPECT_EQ(Shown(*button), OnScreen(kDisabled));
}

TEST_F(XButtonTest, FramesFollowPressEnablingAndFocus) {
    const struct {
        bool focusImage;
        bool focused;
        bool pressed;
        bool disabled;
        COLORREF shown;
    } cases[] = {
        {false, false, false, false, kNormal}, {false, true, false, false, kNormal},
        {false, false, true, false, kPressed}, {false, false, false, true, kDisabled},
        {false, true, false, true, kDisabled}, {true, false, false, false, kNormal},
        {true, true, false, false, kFocus},    {true, true, true, false, kPressed},
        {true, false, false, true, kDisabled}, {true, true, false, true, kFocus},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "focus image " << c.focusImage << ", focused " << c.focused
                                        << ", pressed " << c.pressed << ", disabled " << c.disabled);
        auto host = Open(Skin(Button(101, 30, 40, c.focusImage ? "four.png" : "three.png", c.focusImage)));
        CXButton* button = ButtonOf(*host, 101);
        ASSERT_NE(button, nullptr);
        ::SetFocus(c.focused ? button->m_hWnd : nullptr);
        if (c.pressed)
            StylusDown(Centre(*button));
        if (c.disabled)
            button->EnableWindow(FALSE);
        RunUntilIdle();
        EXPECT_EQ(Shown(*button), OnScreen(c.shown));
        if (c.pressed) {
            StylusUp(Centre(*button));
            RunUntilIdle();
        }
    }
}

TEST_F(XButtonTest, TransparentPixelsShowTheDialogBackgroundUnderTheButton) {
    // The background: green left of x = 120, blue from there; the button straddles the edge at x = 110.
    WriteDeviceFile(u"\\skins\\back.png", StripPng(120, 320, {RGB(0, 255, 0), RGB(0, 0, 255)}));
    WriteDeviceFile(u"\\skins\\masked.png", StripPng(20, 10, {kNormal, kPressed, kDisabled},
                                                     [](int x, int) { return x < 4 || x >= 14; }));
    auto host = Open(Skin(Button(101, 110, 50, "masked.png"), "backgroundBitmap=\"back.png\""));
    CXButton* button = ButtonOf(*host, 101);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(RectOf(*host, *button), CRect(110, 50, 130, 60)) << "the mask half is not part of the frame";
    EXPECT_EQ(WindowPixel(button->m_hWnd, 1, 3), OnScreen(RGB(0, 255, 0)));
    EXPECT_EQ(WindowPixel(button->m_hWnd, 8, 3), OnScreen(kNormal));
    EXPECT_EQ(WindowPixel(button->m_hWnd, 17, 3), OnScreen(RGB(0, 0, 255)));

    // Without a background bitmap, the background colour.
    auto plain = Open(Skin(Button(101, 110, 50, "masked.png"), "backgroundColor=\"0xFFFF00\""));
    EXPECT_EQ(WindowPixel(ButtonOf(*plain, 101)->m_hWnd, 1, 3), OnScreen(kBackground));
}

TEST_F(XButtonTest, HoldingPostsTheHoldCommandInsteadOfTheTap) {
    const struct {
        UINT holdTime;
        ULONGLONG held;
        Commands posted;
    } cases[] = {
        {1000, 1500, {{900, BN_CLICKED}}},
        {1000, 500, {{101, BN_CLICKED}}},
        {0, 5000, {{101, BN_CLICKED}}}, // no hold command: a press starts no timer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "hold " << c.holdTime << " ms, held " << c.held << " ms");
        auto host = Open(Skin(Button(101, 30, 40)));
        CXButton* button = ButtonOf(*host, 101);
        ASSERT_NE(button, nullptr);
        button->SetHoldCommand(900, c.holdTime);
        StylusDown(Centre(*button));
        RunUntilIdle();
        AdvanceTime(c.held);
        const bool fired = c.held >= c.holdTime && c.holdTime != 0;
        if (fired) {
            // Fired while the stylus is still down: the capture is gone, and the pressed frame stays
            // until the next repaint.
            EXPECT_EQ(Shown(*button), OnScreen(kPressed));
            EXPECT_EQ(::GetCapture(), nullptr);
        }
        StylusUp(Centre(*button));
        RunUntilIdle();
        EXPECT_EQ(Shown(*button), OnScreen(kNormal)) << "the lift over the button repaints it";
        AdvanceTime(3000);
        EXPECT_EQ(host->m_commands, c.posted);
    }
}

TEST_F(XButtonTest, EnterPostsOneCommandPerPress) {
    auto host = Open(Skin(Button(101, 30, 40) + Button(102, 30, 60)));
    CXButton* button = ButtonOf(*host, 101);
    ASSERT_NE(button, nullptr);
    button->SetFocus();
    RunUntilIdle();

    // Through the dialog manager, whichever way the shared Enter state stands.
    for (int press = 0; press < 3; ++press) {
        PressKey(VK_RETURN);
        RunUntilIdle();
    }
    EXPECT_EQ(host->m_commands, (Commands{{101, BN_CLICKED}, {101, BN_CLICKED}, {101, BN_CLICKED}}));

    // The dialog manager's queries: two Enter queries make one press, other keys change nothing.
    host->m_commands.clear();
    EXPECT_EQ(button->SendMessage(WM_GETDLGCODE, VK_RETURN, 0) & DLGC_DEFPUSHBUTTON, DLGC_DEFPUSHBUTTON);
    RunUntilIdle();
    const size_t afterFirst = host->m_commands.size();
    EXPECT_EQ(Shown(*button), OnScreen(afterFirst == 0 ? kPressed : kNormal));
    button->SendMessage(WM_GETDLGCODE, 'A', 0);
    RunUntilIdle();
    EXPECT_EQ(host->m_commands.size(), afterFirst);
    button->SendMessage(WM_GETDLGCODE, VK_RETURN, 0);
    RunUntilIdle();
    EXPECT_EQ(host->m_commands, (Commands{{101, BN_CLICKED}}));

    // The key itself: pressed on the way down, the command on the way up, nothing for a lone key up.
    host->m_commands.clear();
    button->SendMessage(WM_KEYDOWN, VK_RETURN, 1);
    RunUntilIdle();
    EXPECT_EQ(Shown(*button), OnScreen(kPressed));
    button->SendMessage(WM_KEYUP, VK_RETURN, 1);
    button->SendMessage(WM_KEYUP, VK_RETURN, 1);
    RunUntilIdle();
    EXPECT_EQ(host->m_commands, (Commands{{101, BN_CLICKED}}));
    EXPECT_EQ(Shown(*button), OnScreen(kNormal));

    // A disabled button that keeps the focus posts nothing, however Enter reaches it.
    host->m_commands.clear();
    button->EnableWindow(FALSE);
    for (int press = 0; press < 2; ++press) {
        PressKey(VK_RETURN);
        button->SendMessage(WM_GETDLGCODE, VK_RETURN, 0);
        button->SendMessage(WM_KEYDOWN, VK_RETURN, 1);
        button->SendMessage(WM_KEYUP, VK_RETURN, 1);
        RunUntilIdle();
    }
    EXPECT_TRUE(host->m_commands.empty());
}

TEST_F(XButtonTest, ArrowsFollowTheDialogsTabOrderAndOtherKeysGoToTheParent) {
    auto host = Open(Skin(Button(101, 10, 10) + Button(102, 10, 30) + Button(103, 10, 50)));
    ButtonOf(*host, 102)->EnableWindow(FALSE);
    // A window of the dialog that is no tab stop and not in the dialog's tab order: the arrows skip it.
    HWND label = CreateWindowExW(0, u"STATIC", u"label", WS_CHILD | WS_VISIBLE, 10, 70, 40, 10, host->m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(104)), nullptr, nullptr);
    ASSERT_NE(label, nullptr);
    ButtonOf(*host, 101)->SetFocus();
    RunUntilIdle();

    const struct {
        UINT key;
        int focus;
    } steps[] = {{VK_RIGHT, 103}, {VK_RIGHT, 101}, {VK_LEFT, 103}, {VK_DOWN, 101}, {VK_UP, 103}};
    for (const auto& step : steps) {
        PressKey(step.key);
        RunUntilIdle();
        EXPECT_EQ(::GetFocus(), host->GetDlgItem(step.focus)->m_hWnd) << "key " << step.key;
    }
    PressKey('A');
    RunUntilIdle();

    EXPECT_EQ(host->Keys(WM_KEYDOWN), (std::vector<WPARAM>{'A'}));
    EXPECT_EQ(host->Keys(WM_KEYUP), (std::vector<WPARAM>{VK_RIGHT, VK_RIGHT, VK_LEFT, VK_DOWN, VK_UP, 'A'}));
    EXPECT_TRUE(host->m_commands.empty());
}

TEST_F(XButtonTest, NothingIsPaintedWhileTheDialogsRedrawIsLocked) {
    auto host = Open(Skin(Button(101, 30, 40)));
    CXButton* button = ButtonOf(*host, 101);
    ASSERT_NE(button, nullptr);
    host->LockRedraw(true);
    button->EnableWindow(FALSE);
    RunUntilIdle();
    EXPECT_EQ(Shown(*button), OnScreen(kNormal));
    host->LockRedraw(false);
    RunUntilIdle();
    EXPECT_EQ(Shown(*button), OnScreen(kDisabled));
}

TEST_F(XButtonTest, ButtonsMadeInCode) {
    auto host = Open(Skin(""));

    // From a resource of the program: 3 frames of 5 x 10 below their mask half.
    for (bool plainLoader : {true, false}) {
        CXButton fromResource;
        EXPECT_TRUE(fromResource.Create(301, plainLoader, false, 7, 8, host.get(), 201)) << plainLoader;
        EXPECT_EQ(RectOf(*host, fromResource), CRect(7, 8, 12, 18));
        CXButton missing;
        EXPECT_FALSE(missing.Create(302, plainLoader, false, 7, 8, host.get(), 202));
        EXPECT_EQ(missing.m_hWnd, nullptr);
    }

    // From a file, then another strip: the window keeps its size; a strip that does not load leaves white.
    auto button = std::make_unique<CXButton>();
    ASSERT_TRUE(button->Create(u"\\skins\\three.png", false, 50, 60, host.get(), 203));
    RunUntilIdle();
    EXPECT_EQ(Shown(*button), OnScreen(kNormal));
    WriteDeviceFile(u"\\skins\\wide.png", StripPng(30, 10, {kFocus, kPressed, kDisabled}));
    EXPECT_TRUE(button->SetBitmap(u"\\skins\\wide.png", false));
    RunUntilIdle();
    EXPECT_EQ(Shown(*button), OnScreen(kFocus));
    EXPECT_FALSE(button->SetBitmap(u"\\skins\\missing.png", false));
    RunUntilIdle();
    EXPECT_EQ(Shown(*button), OnScreen(kWhite));
    EXPECT_EQ(RectOf(*host, *button), CRect(50, 60, 70, 70));

    // Deleted while held: its window, timer and strip go with it, and nothing is posted later.
    ASSERT_TRUE(button->SetBitmap(u"\\skins\\three.png", false));
    button->SetHoldCommand(900, 1000);
    StylusDown(Centre(*button));
    RunUntilIdle();
    const HWND window = button->m_hWnd;
    button.reset();
    EXPECT_FALSE(IsWindow(window));
    AdvanceTime(2000);
    StylusUp(POINT{60, 65});
    RunUntilIdle();
    EXPECT_TRUE(host->m_commands.empty());
}

} // namespace
} // namespace skintest
