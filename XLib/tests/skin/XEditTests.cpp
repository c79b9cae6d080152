// The skinned edit box and tree: their windows, styles and fonts from the skin's "xEdit" and "xTree"
// elements, the edit's skin colours on the screen, typing, the Up and Down keys that leave an edit along
// the dialog's tab order, and the tree's Enter.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "SkinTestSupport.h"
#include "XCaptionSupport.h"
#include "XEdit.h"

namespace skintest {
namespace {

using user::test::PressKey;
using user::test::RunUntilIdle;
using user::test::TypeText;

constexpr COLORREF kFormColour = RGB(0x40, 0x40, 0x40);
constexpr DWORD kControlStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP;
constexpr DWORD kSingleLine = kControlStyle | ES_AUTOHSCROLL;
constexpr DWORD kMultiLine = kControlStyle | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;

class XEditTest : public SkinTest {
protected:
    void TearDown() override {
        m_host.reset();
        CWnd::DeleteTempMap();
        SkinTest::TearDown();
    }

    // Opens a dialog of one layer with these elements.
    CSkinHost& Open(const std::string& elements) {
        WriteDeviceFile(u"\\skins\\edit.xml", OneLayerSkin(elements, kFormColour));
        m_host = std::make_unique<CSkinHost>(u"\\skins\\edit.xml");
        EXPECT_TRUE(m_host->Open());
        EXPECT_TRUE(m_host->m_skinLoaded);
        return *m_host;
    }
    CXEdit* Edit(int id) const { return DYNAMIC_DOWNCAST(CXEdit, m_host->GetDlgItem(id)); }
    CXTree* Tree(int id) const { return DYNAMIC_DOWNCAST(CXTree, m_host->GetDlgItem(id)); }
    int FocusId() const {
        CWnd* focus = CWnd::GetFocus();
        return focus != nullptr ? focus->GetDlgCtrlID() : 0;
    }

    std::unique_ptr<CSkinHost> m_host;
};

std::u16string TextOf(const CWnd& window) {
    CString text;
    window.GetWindowText(text);
    return std::u16string(static_cast<LPCWSTR>(text));
}

std::pair<int, int> Selection(const CXEdit& edit) {
    int start = -1;
    int end = -1;
    edit.GetSel(start, end);
    return {start, end};
}

LOGFONTW FontOf(const CWnd& window) {
    LOGFONTW font{};
    CFont* shown = window.GetFont();
    EXPECT_NE(shown, nullptr);
    if (shown != nullptr) {
        EXPECT_NE(shown->GetLogFont(&font), 0);
    }
    return font;
}

TEST_F(XEditTest, ControlsComeFromTheirElements) {
    Open("<xEdit id=\"10\" x=\"5\" y=\"8\" width=\"100\" height=\"20\" caption=\"Encrypted Folder\"/>"
         "<xEdit id=\"11\" x=\"5\" y=\"40\" width=\"120\" height=\"60\" multiline=\"true\" readOnly=\"TRUE\""
         " caption=\"\" fontName=\"Face of exactly thirty-two units\" fontSize=\"15\" fontBold=\"true\""
         " fontItalic=\"True\"/>"
         "<xEdit id=\"12\" x=\"0\" y=\"110\" width=\"50\" height=\"20\" readOnly=\"maybe\"/>"
         "<xTree id=\"20\" x=\"130\" y=\"8\" width=\"100\" height=\"150\" fontName=\"Tree face\" "
         "fontSize=\"12\"/>"
         "<xTree id=\"21\" x=\"130\" y=\"170\" width=\"100\" height=\"50\"/>");
    struct Case {
        int id;
        const char* rect;
        DWORD style;
        std::u16string text;
        bool hasFont;
    };
    const Case cases[] = {
        {10, "(5, 8)-(104, 27)", kSingleLine, u"Encrypted Folder", false},
        {11, "(5, 40)-(124, 99)", kMultiLine | ES_READONLY, u"", true},
        {12, "(0, 110)-(49, 129)", kSingleLine, u"", false},
        {20, "(130, 8)-(229, 157)", kControlStyle, u"", true},
        {21, "(130, 170)-(229, 219)", kControlStyle, u"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        CWnd* control = m_host->GetDlgItem(c.id);
        ASSERT_NE(control, nullptr);
        // One pixel narrower and lower than the element's size.
        EXPECT_EQ(ToString(RectInParent(control->m_hWnd)), c.rect);
        EXPECT_EQ(control->GetStyle(), c.style);
        EXPECT_EQ(TextOf(*control), c.text);
        EXPECT_EQ(control->GetFont() != nullptr, c.hasFont);
    }
    ASSERT_NE(Edit(10), nullptr);
    ASSERT_NE(Tree(20), nullptr);

    LOGFONTW font = FontOf(*Edit(11));
    EXPECT_EQ(std::u16string(font.lfFaceName), u"Face of exactly thirty-two unit");
    EXPECT_EQ(font.lfHeight, -15);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_EQ(font.lfItalic, 1);
    font = FontOf(*Tree(20));
    EXPECT_EQ(std::u16string(font.lfFaceName), u"Tree face");
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(font.lfItalic, 0);

    // A new font replaces the old one, which is freed (the fixture checks for GDI leaks).
    Edit(11)->SetFont(u"Other", 20, false, false);
    Tree(20)->SetFont(u"Other", 9, true, true);
    RunUntilIdle();
    EXPECT_EQ(FontOf(*Edit(11)).lfHeight, -20);
    EXPECT_EQ(FontOf(*Tree(20)).lfWeight, FW_BOLD);

    CXEdit unmadeEdit;
    EXPECT_FALSE(unmadeEdit.LoadFromXml(nullptr, m_host.get()));
    EXPECT_EQ(unmadeEdit.m_hWnd, nullptr);
    CXTree unmadeTree;
    EXPECT_FALSE(unmadeTree.LoadFromXml(nullptr, m_host.get(), u""));
    EXPECT_EQ(unmadeTree.m_hWnd, nullptr);
}

TEST_F(XEditTest, EditPaintsInSkinColoursAlsoWhenReadOnly) {
    const COLORREF kNavy = RGB(0, 0, 0x80);
    const COLORREF kCream = RGB(0xF0, 0xE0, 0xA0);
    struct Case {
        const char* name;
        std::string attributes;
        COLORREF text;
        COLORREF background;
    };
    const std::string colours = " textColor=\"" + Hex(kNavy) + "\" backgroundColor=\"" + Hex(kCream) + "\"";
    const Case cases[] = {
        {"no colours", "", RGB(0, 0, 0), RGB(255, 255, 255)},
        {"skin colours", colours, kNavy, kCream},
        {"read-only", colours + " readOnly=\"true\"", kNavy, kCream},
        {"read-only multi-line", colours + " readOnly=\"true\" multiline=\"true\"", kNavy, kCream},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open("<xEdit id=\"10\" x=\"10\" y=\"10\" width=\"150\" height=\"40\" caption=\"WWW\"" + c.attributes +
             "/><xEdit id=\"11\" x=\"10\" y=\"100\" width=\"150\" height=\"20\"/>");
        CXEdit* edit = Edit(10);
        ASSERT_NE(edit, nullptr);
        // The caret, drawn in the text colour, stays out of the way.
        Edit(11)->SetFocus();
        RunUntilIdle();
        const HWND window = edit->m_hWnd;
        RECT client;
        ::GetClientRect(window, &client);
        const RECT text{0, 0, 60, client.bottom};
        EXPECT_GT(CountPixels(window, c.background, RECT{100, 0, 120, client.bottom}), 20 * 30);
        EXPECT_GT(CountPixels(window, c.text, text), 10);

        edit->SetColors(RGB(0xFF, 0, 0), RGB(0, 0x80, 0));
        RunUntilIdle();
        EXPECT_EQ(CountPixels(window, c.background), 0);
        EXPECT_GT(CountPixels(window, RGB(0, 0x80, 0), RECT{100, 0, 120, client.bottom}), 20 * 30);
        EXPECT_GT(CountPixels(window, RGB(0xFF, 0, 0), text), 10);
        m_host.reset();
    }
}

TEST_F(XEditTest, TypingGoesIntoTheEditUnlessItIsReadOnly) {
    Open("<xEdit id=\"10\" x=\"0\" y=\"0\" width=\"150\" height=\"20\" caption=\"a\"/>"
         "<xEdit id=\"11\" x=\"0\" y=\"30\" width=\"150\" height=\"20\" caption=\"b\" readOnly=\"true\"/>"
         "<xEdit id=\"12\" x=\"0\" y=\"60\" width=\"150\" height=\"60\" multiline=\"true\"/>");
    const std::pair<int, std::u16string> cases[] = {{10, u"a typed"}, {11, u"b"}, {12, u" typed"}};
    for (const auto& [id, expected] : cases) {
        SCOPED_TRACE(id);
        CXEdit* edit = Edit(id);
        ASSERT_NE(edit, nullptr);
        edit->SetFocus();
        edit->SetSel(1, 1);
        TypeText(u" typed");
        RunUntilIdle();
        EXPECT_EQ(TextOf(*edit), expected);
    }
}

TEST_F(XEditTest, UpAndDownLeaveTheEditFromItsFirstAndLastLine) {
    constexpr int kBefore = 10;
    constexpr int kEdit = 20;
    constexpr int kAfter = 30;
    struct Case {
        const char* name;
        bool multiline;
        std::u16string text;
        std::pair<int, int> selection;
        UINT key;
        int focusAfter;
    };
    const std::u16string twoLines = u"ab\r\ncd";
    const std::u16string wrapped = u"one long line that the edit wraps over several rows";
    const Case cases[] = {
        {"first line, Up", true, twoLines, {1, 1}, VK_UP, kBefore},
        {"first line, Down", true, twoLines, {1, 1}, VK_DOWN, kEdit},
        {"last line, Up", true, twoLines, {5, 5}, VK_UP, kEdit},
        {"last line, Down", true, twoLines, {5, 5}, VK_DOWN, kAfter},
        {"just before the line break, Up", true, twoLines, {2, 2}, VK_UP, kBefore},
        {"just before the line break, Down", true, twoLines, {2, 2}, VK_DOWN, kEdit},
        {"start of the last line, Up", true, twoLines, {4, 4}, VK_UP, kEdit},
        {"wrapped line, Up from its end", true, wrapped, {40, 40}, VK_UP, kBefore},
        {"empty multi-line edit, Down", true, u"", {0, 0}, VK_DOWN, kAfter},
        {"selection, Up", true, twoLines, {0, 1}, VK_UP, kEdit},
        {"selection across lines, Down", true, twoLines, {1, 5}, VK_DOWN, kEdit},
        {"single line, Up", false, u"hello", {3, 3}, VK_UP, kBefore},
        {"single line, Down", false, u"hello", {3, 3}, VK_DOWN, kAfter},
        {"single line selection, Down", false, u"hello", {1, 3}, VK_DOWN, kEdit},
        {"single line, Left", false, u"hello", {3, 3}, VK_LEFT, kEdit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(std::string("<xEdit id=\"10\" x=\"0\" y=\"0\" width=\"150\" height=\"20\"/>") +
             "<xEdit id=\"20\" x=\"0\" y=\"30\" width=\"100\" height=\"80\" multiline=\"" +
             (c.multiline ? "true" : "false") +
             "\"/>"
             "<xEdit id=\"30\" x=\"0\" y=\"120\" width=\"150\" height=\"20\"/>");
        CXEdit* edit = Edit(kEdit);
        ASSERT_NE(edit, nullptr);
        edit->SetWindowText(c.text.c_str());
        if (c.text == wrapped) {
            ASSERT_GT(edit->GetLineCount(), 1);
        }
        edit->SetFocus();
        edit->SetSel(c.selection.first, c.selection.second);
        RunUntilIdle();

        PressKey(c.key);
        RunUntilIdle();
        EXPECT_EQ(FocusId(), c.focusAfter);
        // A key that leaves the edit is not the edit's: its caret and selection stay; a key that stays is.
        if (c.focusAfter == kEdit) {
            EXPECT_NE(Selection(*edit), c.selection);
        } else {
            EXPECT_EQ(Selection(*edit), c.selection);
        }
        EXPECT_EQ(TextOf(*edit), c.text);
        m_host.reset();
    }
}

TEST_F(XEditTest, UpAndDownStayInTheEditWhenNoOtherControlTakesTheFocus) {
    // The only tab-stop control takes the keys without moving its caret.
    Open("<xEdit id=\"10\" x=\"0\" y=\"0\" width=\"150\" height=\"20\" caption=\"hello\"/>"
         "<xEdit id=\"11\" x=\"0\" y=\"30\" width=\"150\" height=\"20\"/>");
    CXEdit* edit = Edit(10);
    ASSERT_NE(edit, nullptr);
    Edit(11)->EnableWindow(FALSE);
    edit->SetFocus();
    edit->SetSel(3, 3);
    for (UINT key : {VK_UP, VK_DOWN}) {
        PressKey(key);
        RunUntilIdle();
        EXPECT_EQ(FocusId(), 10);
        EXPECT_EQ(Selection(*edit), std::make_pair(3, 3));
    }

    // An edit that is not one of the dialog's controls, or whose parent is no skinned dialog, keeps the
    // keys as an edit's own.
    CXEdit loose;
    ASSERT_TRUE(loose.Create(u"hello", 0, 60, 150, 20, false, m_host.get(), 99));
    CWnd frame;
    ASSERT_TRUE(frame.CreateEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 100), nullptr, 0));
    CXEdit framed;
    ASSERT_TRUE(framed.Create(u"hello", 0, 0, 150, 20, false, &frame, 98));
    for (CXEdit* other : {&loose, &framed}) {
        other->SetFocus();
        other->SetSel(3, 3);
        PressKey(VK_UP);
        RunUntilIdle();
        EXPECT_EQ(CWnd::GetFocus(), other);
        EXPECT_EQ(Selection(*other), std::make_pair(2, 2));
    }
    framed.DestroyWindow();
    frame.DestroyWindow();
}

TEST_F(XEditTest, TreeEnterReportsAClickAndArrowsMoveItsSelection) {
    Open("<xTree id=\"20\" x=\"0\" y=\"0\" width=\"200\" height=\"150\"/>");
    CXTree* tree = Tree(20);
    ASSERT_NE(tree, nullptr);
    tree->SetFocus();
    RunUntilIdle();
    const std::vector<std::pair<UINT, int>> click{{20u, static_cast<int>(NM_CLICK)}};

    // With nothing selected, Enter still reports; it never reaches the dialog as its default button.
    m_host->m_notifications.clear();
    PressKey(VK_RETURN);
    RunUntilIdle();
    EXPECT_EQ(m_host->m_notifications, click);

    const HTREEITEM first = tree->InsertItem(u"first");
    const HTREEITEM second = tree->InsertItem(u"second");
    ASSERT_TRUE(tree->SelectItem(first));
    PressKey(VK_DOWN);
    RunUntilIdle();
    EXPECT_EQ(tree->GetSelectedItem(), second);
    EXPECT_EQ(FocusId(), 20);

    m_host->m_notifications.clear();
    PressKey(VK_RETURN);
    RunUntilIdle();
    EXPECT_EQ(m_host->m_notifications, click);
    EXPECT_EQ(tree->GetSelectedItem(), second);
    EXPECT_TRUE(m_host->m_commands.empty());
}

} // namespace
} // namespace skintest
