// The skinned list: its window, font and columns from the skin's "xList" element, the header's skin and
// focus colours on the screen, the focus handler's selection, and the keys that report a tap or move the
// focus along the dialog's tab order.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "SkinTestSupport.h"
#include "XCaptionSupport.h"
#include "XList.h"

namespace skintest {
namespace {

using user::test::OnScreen;
using user::test::PressKey;
using user::test::RunUntilIdle;
using user::test::WindowPixel;

constexpr int kFirst = 10;
constexpr int kSecond = 20;
constexpr int kThird = 30;
constexpr COLORREF kFormColour = RGB(0x40, 0x40, 0x40);

// Three lists, one under the other, in this tab order; the second holds the header given.
std::string ThreeLists(const std::string& secondHeader) {
    return "<xList id=\"10\" x=\"0\" y=\"0\" width=\"200\" height=\"90\"/>\n"
           "<xList id=\"20\" x=\"0\" y=\"100\" width=\"200\" height=\"100\">" +
           secondHeader +
           "</xList>\n"
           "<xList id=\"30\" x=\"0\" y=\"210\" width=\"200\" height=\"100\"/>\n";
}

class XListTest : public SkinTest {
protected:
    void TearDown() override {
        m_host.reset();
        CWnd::DeleteTempMap();
        SkinTest::TearDown();
    }

    // Opens a dialog of one layer with these elements.
    CSkinHost& Open(const std::string& elements) {
        WriteDeviceFile(u"\\skins\\list.xml", OneLayerSkin(elements, kFormColour));
        m_host = std::make_unique<CSkinHost>(u"\\skins\\list.xml");
        EXPECT_TRUE(m_host->Open());
        EXPECT_TRUE(m_host->m_skinLoaded);
        return *m_host;
    }
    CXList* List(int id) const { return DYNAMIC_DOWNCAST(CXList, m_host->GetDlgItem(id)); }
    static void Fill(CXList* list, int count) {
        for (int i = 0; i < count; ++i)
            list->InsertItem(i, u"item");
    }
    // The taps that the list with this id reported to the dialog.
    std::vector<int> Taps(int id) const {
        std::vector<int> codes;
        for (auto [from, code] : m_host->m_notifications)
            if (static_cast<int>(from) == id &&
                (code == static_cast<int>(LVN_ITEMACTIVATE) || code == static_cast<int>(NM_CLICK)))
                codes.push_back(code);
        return codes;
    }

    std::unique_ptr<CSkinHost> m_host;
};

const std::vector<int> kTap{static_cast<int>(LVN_ITEMACTIVATE), static_cast<int>(NM_CLICK)};

TEST_F(XListTest, WindowFontAndColumnsComeFromTheElement) {
    Open("<xList id=\"10\" x=\"5\" y=\"8\" width=\"100\" height=\"60\" fontName=\"Face of exactly thirty-two "
         "units\" fontSize=\"13\" fontBold=\"true\" fontItalic=\"TRUE\">"
         "<xHeader><column name=\"Name\" width=\"70\" format=\"0\"/><note/><!-- aside -->"
         "<column name=\"Size\" width=\"-1\" format=\"1\"/></xHeader></xList>"
         "<xList id=\"20\" x=\"110\" y=\"0\" width=\"100\" height=\"60\"/>");
    CXList* list = List(10);
    ASSERT_NE(list, nullptr);
    // One pixel narrower and lower than the element's size.
    EXPECT_EQ(ToString(RectInParent(list->m_hWnd)), "(5, 8)-(104, 67)");
    EXPECT_EQ(list->GetStyle() & 0xFFFF000F, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_BORDER |
                                                                WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS));
    EXPECT_EQ(list->GetExtendedStyle(), static_cast<DWORD>(LVS_EX_FULLROWSELECT));

    LOGFONTW font{};
    ASSERT_NE(list->GetFont(), nullptr);
    ASSERT_NE(list->GetFont()->GetLogFont(&font), 0);
    EXPECT_EQ(std::u16string(font.lfFaceName), u"Face of exactly thirty-two unit");
    EXPECT_EQ(font.lfHeight, -13);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_EQ(font.lfItalic, 1);
    // The header shows the list's font too.
    EXPECT_EQ(list->GetHeader().GetFont()->m_hObject, list->GetFont()->m_hObject);
    // A new font replaces it in both (the old one is freed: the fixture checks for GDI leaks).
    list->SetFont(u"Other", 20, false, false);
    ASSERT_NE(list->GetFont()->GetLogFont(&font), 0);
    EXPECT_EQ(std::u16string(font.lfFaceName), u"Other");
    EXPECT_EQ(font.lfHeight, -20);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(font.lfItalic, 0);
    EXPECT_EQ(list->GetHeader().GetFont()->m_hObject, list->GetFont()->m_hObject);

    // The note and the comment between the columns make no column; the columns keep document order.
    ASSERT_EQ(list->GetHeader().GetItemCount(), 2);
    const std::pair<std::u16string, int> columns[] = {{u"Name", LVCFMT_LEFT}, {u"Size", LVCFMT_RIGHT}};
    for (int i = 0; i < 2; ++i) {
        WCHAR text[16] = {};
        LVCOLUMN column{};
        column.mask = LVCF_TEXT | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = 16;
        ASSERT_TRUE(
            list->SendMessage(LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(std::u16string(text), columns[i].first);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, columns[i].second);
    }
    EXPECT_EQ(list->GetColumnWidth(0), 70);

    // Without a font name the list keeps the platform's font; without children it has no columns.
    CXList* plain = List(20);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->GetFont(), nullptr);
    EXPECT_EQ(plain->GetHeader().GetItemCount(), 0);

    CXList unmade;
    EXPECT_FALSE(unmade.LoadFromXml(nullptr, m_host.get()));
    EXPECT_EQ(unmade.m_hWnd, nullptr);
}

TEST_F(XListTest, OnlyALeadingHeaderElementGivesColumns) {
    Open("<xList id=\"10\" x=\"0\" y=\"0\" width=\"100\" height=\"60\"><note/>"
         "<xHeader><column name=\"Name\" width=\"70\" format=\"0\"/></xHeader></xList>");
    ASSERT_NE(List(10), nullptr);
    EXPECT_EQ(List(10)->GetHeader().GetItemCount(), 0);
}

struct HeaderLook {
    COLORREF background;
    COLORREF separator;
    COLORREF text;
};

TEST_F(XListTest, HeaderPaintsInSkinColoursAndInFocusColoursWhileTheListHasTheFocus) {
    struct Case {
        const char* name;
        std::string header;
        HeaderLook unfocused;
        HeaderLook focused;
    };
    const COLORREF kCream = RGB(0xF0, 0xE0, 0xA0);
    const COLORREF kNavy = RGB(0, 0, 0x80);
    const COLORREF kRed = RGB(0xFF, 0, 0);
    const COLORREF kTeal = RGB(0, 0x80, 0x80);
    const COLORREF kYellow = RGB(0xFF, 0xFF, 0);
    const COLORREF kGreen = RGB(0, 0xC0, 0);
    const std::string plain = "backgroundColor=\"" + Hex(kCream) + "\" fontColor=\"" + Hex(kNavy) +
                              "\" columnSeparatorColor=\"" + Hex(kRed) + "\"";
    const std::string focus = " focusBackgroundColor=\"" + Hex(kTeal) + "\" focusFontColor=\"" +
                              Hex(kYellow) + "\" focusColumnSeparatorColor=\"" + Hex(kGreen) + "\"";
    const Case cases[] = {
        {"all six colours", plain + focus, {kCream, kRed, kNavy}, {kTeal, kGreen, kYellow}},
        {"no focus colours", plain, {kCream, kRed, kNavy}, {kCream, kRed, kNavy}},
        {"no colours", "", {RGB(255, 255, 255), 0, 0}, {RGB(255, 255, 255), 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(ThreeLists("<xHeader " + c.header +
                        "><column name=\"Name\" width=\"60\" format=\"0\"/>"
                        "<column name=\"Kind\" width=\"60\" format=\"0\"/></xHeader>"));
        CXList* list = List(kSecond);
        ASSERT_NE(list, nullptr);
        HWND header = list->GetHeader().m_hWnd;
        ASSERT_NE(header, nullptr);
        RECT client;
        ::GetClientRect(header, &client);
        const int middle = client.bottom / 2;

        auto expectLook = [&](const HeaderLook& look) {
            // Right of the last column, the separators at each column's right edge, the headings' text.
            EXPECT_EQ(WindowPixel(header, client.right - 3, middle), OnScreen(look.background));
            EXPECT_EQ(WindowPixel(header, 59, middle), OnScreen(look.separator));
            EXPECT_EQ(WindowPixel(header, 119, middle), OnScreen(look.separator));
            EXPECT_GT(CountPixels(header, look.text, RECT{4, 0, 56, client.bottom}), 0);
            EXPECT_GT(CountPixels(header, look.text, RECT{64, 0, 116, client.bottom}), 0);
        };
        List(kFirst)->SetFocus();
        RunUntilIdle();
        expectLook(c.unfocused);
        list->SetFocus();
        RunUntilIdle();
        expectLook(c.focused);
        List(kThird)->SetFocus();
        RunUntilIdle();
        expectLook(c.unfocused);
        m_host.reset();
    }
}

TEST_F(XListTest, FocusSelectsTheFirstItemOnlyWhenNothingIsSelected) {
    Open(ThreeLists("<xHeader><column name=\"Name\" width=\"60\" format=\"0\"/></xHeader>"));
    CXList* list = List(kSecond);
    ASSERT_NE(list, nullptr);
    Fill(list, 4);
    list->SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    list->SetSelectionMark(3);
    list->SetFocus();
    RunUntilIdle();
    EXPECT_EQ(list->GetSelectedItem(), 2);
    EXPECT_EQ(list->GetSelectionMark(), 3);

    List(kFirst)->SetFocus();
    list->SetItemState(-1, 0, LVIS_SELECTED);
    list->SetFocus();
    RunUntilIdle();
    EXPECT_EQ(list->GetSelectedItem(), 0);
    EXPECT_EQ(list->GetSelectionMark(), 0);
    CRect row;
    ASSERT_TRUE(list->GetItemRect(0, &row, LVIR_BOUNDS));
    const POINT selection{row.right - 5, row.CenterPoint().y};
    EXPECT_EQ(WindowPixel(list->m_hWnd, selection.x, selection.y), OnScreen(GetSysColor(COLOR_HIGHLIGHT)));

    // An empty list takes the focus without a selection. Of the list it left only the header hears of the
    // loss: the list view itself still draws its selection as focused.
    CXList* empty = List(kThird);
    empty->SetFocus();
    RunUntilIdle();
    EXPECT_EQ(empty->GetSelectedItem(), -1);
    EXPECT_EQ(CWnd::GetFocus(), empty);
    EXPECT_EQ(WindowPixel(list->m_hWnd, selection.x, selection.y), OnScreen(GetSysColor(COLOR_HIGHLIGHT)));
}

TEST_F(XListTest, KeysReportTapsAndMoveTheFocusAlongTheTabOrder) {
    struct Case {
        const char* name;
        int items;
        int mark; // -1: none, the focus handler then selects item 0
        UINT key;
        int focusAfter;
        int markAfter;
        std::vector<int> taps;
    };
    const Case cases[] = {
        {"Enter with nothing selected", 0, -1, VK_RETURN, kSecond, -1, kTap},
        {"Enter on an item", 4, 2, VK_RETURN, kSecond, 2, kTap},
        {"Up on the first item", 4, 0, VK_UP, kFirst, 0, {}},
        {"Up on a later item", 4, 2, VK_UP, kSecond, 1, {}},
        {"Down on the last item", 4, 3, VK_DOWN, kThird, 3, {}},
        {"Down on an earlier item", 4, 1, VK_DOWN, kSecond, 2, {}},
        {"Down in an empty list", 0, -1, VK_DOWN, kThird, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(ThreeLists(""));
        CXList* list = List(kSecond);
        ASSERT_NE(list, nullptr);
        Fill(list, c.items);
        if (c.mark >= 0) {
            list->SetItemState(c.mark, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            list->SetSelectionMark(c.mark);
        }
        list->SetFocus();
        RunUntilIdle();
        m_host->m_notifications.clear();

        PressKey(c.key);
        RunUntilIdle();
        EXPECT_EQ(CWnd::GetFocus(), List(c.focusAfter));
        EXPECT_EQ(list->GetSelectionMark(), c.markAfter);
        EXPECT_EQ(Taps(kSecond), c.taps);
        // Enter belongs to the list: the dialog gets no command from it.
        EXPECT_TRUE(m_host->m_commands.empty());
        m_host.reset();
    }
}

TEST_F(XListTest, TapLeavesTheSelectionMarkSoUpThenLeavesTheList) {
    Open(ThreeLists("<xHeader><column name=\"Name\" width=\"150\" format=\"0\"/></xHeader>"));
    CXList* list = List(kSecond);
    ASSERT_NE(list, nullptr);
    Fill(list, 5);
    list->SetFocus();
    RunUntilIdle();
    ASSERT_EQ(list->GetSelectionMark(), 0);

    CRect item;
    ASSERT_TRUE(list->GetItemRect(3, &item, LVIR_BOUNDS));
    ASSERT_TRUE(user::test::TapWindow(list->m_hWnd, item.CenterPoint()));
    RunUntilIdle();
    EXPECT_EQ(list->GetSelectedItem(), 3);
    EXPECT_EQ(Taps(kSecond), kTap);
    EXPECT_EQ(list->GetSelectionMark(), 0);

    PressKey(VK_UP);
    RunUntilIdle();
    EXPECT_EQ(CWnd::GetFocus(), List(kFirst));
}

} // namespace
} // namespace skintest
