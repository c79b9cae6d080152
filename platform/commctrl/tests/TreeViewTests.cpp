// The tree view: inserting, selecting by taps and keys with TVN_SELCHANGING/TVN_SELCHANGED, expanding and
// collapsing, deleting, stale handles, and its font.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ControlTest.h"

namespace {

using commctrl_test::Notice;
using commctrl_test::Parent;
using testing::ElementsAre;

constexpr int kTreeId = 60;

class TreeViewTest : public commctrl_test::ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        m_tree = Child(WC_TREEVIEWW, TVS_HASBUTTONS | TVS_LINESATROOT, RECT{10, 10, 210, 210}, kTreeId);
        ASSERT_NE(m_tree, nullptr);
        // Documents (with Letters and Notes), Music, Pictures.
        m_documents = Insert(TVI_ROOT, TVI_LAST, u"Documents", 1);
        m_letters = Insert(m_documents, TVI_LAST, u"Letters", 2);
        m_notes = Insert(m_documents, TVI_LAST, u"Notes", 3);
        m_music = Insert(TVI_ROOT, TVI_LAST, u"Music", 4);
        m_pictures = Insert(TVI_ROOT, TVI_LAST, u"Pictures", 5);
        user::test::RunUntilIdle();
        Parent::Clear();
    }
    HTREEITEM Insert(HTREEITEM parent, HTREEITEM after, std::u16string text, LPARAM data) {
        TVINSERTSTRUCTW insert{};
        insert.hParent = parent;
        insert.hInsertAfter = after;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = text.data();
        insert.item.lParam = data;
        return reinterpret_cast<HTREEITEM>(SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    HTREEITEM Next(UINT code, HTREEITEM item = nullptr) {
        return reinterpret_cast<HTREEITEM>(SendMessageW(m_tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
    }
    HTREEITEM Selected() { return Next(TVGN_CARET); }
    std::u16string Text(HTREEITEM handle) {
        WCHAR buffer[64] = {};
        TVITEMW item{};
        item.mask = TVIF_TEXT;
        item.hItem = handle;
        item.pszText = buffer;
        item.cchTextMax = 64;
        if (!SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
            return u"(none)";
        return buffer;
    }
    bool IsExpanded(HTREEITEM handle) {
        TVITEMW item{};
        item.mask = TVIF_STATE;
        item.hItem = handle;
        item.stateMask = TVIS_EXPANDED;
        SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return (item.state & TVIS_EXPANDED) != 0;
    }
    POINT LabelPoint(HTREEITEM handle) {
        RECT rect{};
        std::memcpy(&rect, &handle, sizeof handle);
        EXPECT_TRUE(SendMessageW(m_tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)));
        return POINT{rect.left + 3, (rect.top + rect.bottom) / 2};
    }
    void Press(UINT key) {
        user::test::PressKey(key);
        user::test::RunUntilIdle();
    }

    HWND m_tree = nullptr;
    HTREEITEM m_documents = nullptr;
    HTREEITEM m_letters = nullptr;
    HTREEITEM m_notes = nullptr;
    HTREEITEM m_music = nullptr;
    HTREEITEM m_pictures = nullptr;
};

TEST_F(TreeViewTest, ItemsHangUnderTheirParentsInOrder) {
    EXPECT_EQ(Next(TVGN_ROOT), m_documents);
    EXPECT_EQ(Next(TVGN_NEXT, m_documents), m_music);
    EXPECT_EQ(Next(TVGN_PREVIOUS, m_music), m_documents);
    EXPECT_EQ(Next(TVGN_CHILD, m_documents), m_letters);
    EXPECT_EQ(Next(TVGN_PARENT, m_notes), m_documents);
    EXPECT_EQ(Next(TVGN_PARENT, m_documents), nullptr);
    EXPECT_EQ(Next(TVGN_NEXT, m_pictures), nullptr);
    EXPECT_EQ(SendMessageW(m_tree, TVM_GETCOUNT, 0, 0), 5);
    // Collapsed children do not show.
    EXPECT_EQ(Next(TVGN_NEXTVISIBLE, m_documents), m_music);
    EXPECT_EQ(Next(TVGN_NEXTVISIBLE, m_letters), nullptr);
    HTREEITEM sorted = Insert(TVI_ROOT, TVI_SORT, u"movies", 6);
    EXPECT_EQ(Next(TVGN_NEXT, m_documents), sorted); // "movies" sorts before "Music", whatever the case
    EXPECT_EQ(Insert(TVI_FIRST, TVI_LAST, u"bad parent", 0), nullptr);
}

TEST_F(TreeViewTest, TapSelectsAndNotifiesBeforeAndAfter) {
    TapAt(m_tree, LabelPoint(m_music));
    EXPECT_EQ(Selected(), m_music);
    EXPECT_THAT(Parent::Codes(), ElementsAre(TVN_SELCHANGINGW, TVN_SELCHANGEDW, NM_CLICK));
    Notice changed = Parent::Notices(TVN_SELCHANGEDW)[0];
    EXPECT_EQ(changed.action, static_cast<UINT>(TVC_BYMOUSE));
    EXPECT_EQ(changed.oldItem, nullptr);
    EXPECT_EQ(changed.newItem, m_music);
    EXPECT_EQ(changed.lParam, 4);
    EXPECT_EQ(GetFocus(), m_tree);

    Parent::Clear();
    TapAt(m_tree, LabelPoint(m_pictures));
    changed = Parent::Notices(TVN_SELCHANGEDW)[0];
    EXPECT_EQ(changed.oldItem, m_music);
    EXPECT_EQ(changed.newItem, m_pictures);
}

TEST_F(TreeViewTest, SelChangingCanRefuseTheChange) {
    Parent::Answering() = [](NMHDR* header) -> LRESULT { return header->code == TVN_SELCHANGINGW; };
    EXPECT_FALSE(SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(m_music)));
    EXPECT_EQ(Selected(), nullptr);
    EXPECT_TRUE(Parent::Notices(TVN_SELCHANGEDW).empty());
}

TEST_F(TreeViewTest, KeysWalkTheVisibleItemsAndExpandAndCollapse) {
    SetFocus(m_tree);
    Press(VK_DOWN);
    EXPECT_EQ(Selected(), m_documents);
    EXPECT_EQ(Parent::Notices(TVN_SELCHANGEDW).back().action, static_cast<UINT>(TVC_BYKEYBOARD));
    Press(VK_DOWN);
    EXPECT_EQ(Selected(), m_music); // Documents is collapsed
    Press(VK_UP);
    Parent::Clear();
    Press(VK_RIGHT); // expands
    EXPECT_TRUE(IsExpanded(m_documents));
    EXPECT_THAT(Parent::Codes(), ElementsAre(TVN_KEYDOWN, TVN_ITEMEXPANDINGW, TVN_ITEMEXPANDEDW));
    EXPECT_EQ(Parent::Notices(TVN_ITEMEXPANDEDW)[0].action, static_cast<UINT>(TVE_EXPAND));
    Press(VK_RIGHT); // to the first child
    EXPECT_EQ(Selected(), m_letters);
    Press(VK_DOWN);
    EXPECT_EQ(Selected(), m_notes);
    Press(VK_LEFT); // to the parent
    EXPECT_EQ(Selected(), m_documents);
    Press(VK_LEFT); // collapses
    EXPECT_FALSE(IsExpanded(m_documents));
    Press(VK_END);
    EXPECT_EQ(Selected(), m_pictures);
    Parent::Clear();
    Press(VK_RETURN);
    EXPECT_THAT(Parent::Codes(), ElementsAre(TVN_KEYDOWN, NM_RETURN));
}

TEST_F(TreeViewTest, CollapsingAParentOfTheSelectionSelectsTheParent) {
    SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(m_notes));
    EXPECT_TRUE(IsExpanded(m_documents)); // selecting showed the item
    ASSERT_TRUE(SendMessageW(m_tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(m_documents)));
    EXPECT_EQ(Selected(), m_documents);
    // Items without children do not expand.
    EXPECT_FALSE(SendMessageW(m_tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(m_music)));
}

TEST_F(TreeViewTest, ExpandingCanBeRefused) {
    Parent::Answering() = [](NMHDR* header) -> LRESULT { return header->code == TVN_ITEMEXPANDINGW; };
    EXPECT_FALSE(SendMessageW(m_tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(m_documents)));
    EXPECT_FALSE(IsExpanded(m_documents));
}

TEST_F(TreeViewTest, TheButtonExpandsAndADoubleTapToggles) {
    RECT row{};
    std::memcpy(&row, &m_documents, sizeof m_documents);
    SendMessageW(m_tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&row));
    // The button stands in the indent before the label.
    TVHITTESTINFO hit{};
    hit.pt = POINT{row.left - 10, (row.top + row.bottom) / 2};
    EXPECT_EQ(reinterpret_cast<HTREEITEM>(SendMessageW(m_tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit))),
              m_documents);
    ASSERT_EQ(hit.flags, static_cast<UINT>(TVHT_ONITEMBUTTON));
    TapAt(m_tree, hit.pt);
    EXPECT_TRUE(IsExpanded(m_documents));
    EXPECT_EQ(Selected(), nullptr); // the button does not select
    POINT label = LabelPoint(m_documents);
    user::test::TapWindow(m_tree, label);
    user::test::TapWindow(m_tree, label);
    user::test::RunUntilIdle();
    EXPECT_FALSE(IsExpanded(m_documents));
    EXPECT_EQ(Parent::Notices(NM_DBLCLK).size(), 1u);
}

TEST_F(TreeViewTest, DeletingTheSelectionSelectsTheNextItemAndOldHandlesAreRefused) {
    SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(m_music));
    Parent::Clear();
    ASSERT_TRUE(SendMessageW(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(m_music)));
    EXPECT_EQ(Selected(), m_pictures);
    auto deleted = Parent::Notices(TVN_DELETEITEMW);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].oldItem, m_music);
    EXPECT_EQ(deleted[0].lParam, 4);
    EXPECT_EQ(Text(m_music), u"(none)");
    EXPECT_FALSE(SendMessageW(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(m_music)));
    EXPECT_FALSE(SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(m_music)));
    EXPECT_EQ(Next(TVGN_NEXT, m_music), nullptr);
    // A subtree goes with its children, each notified.
    Parent::Clear();
    ASSERT_TRUE(SendMessageW(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(m_documents)));
    EXPECT_EQ(Parent::Notices(TVN_DELETEITEMW).size(), 3u);
    EXPECT_EQ(SendMessageW(m_tree, TVM_GETCOUNT, 0, 0), 1);
    ASSERT_TRUE(SendMessageW(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)));
    EXPECT_EQ(SendMessageW(m_tree, TVM_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(Selected(), nullptr);
}

TEST_F(TreeViewTest, AFontChangesTheItemHeight) {
    int before = static_cast<int>(SendMessageW(m_tree, TVM_GETITEMHEIGHT, 0, 0));
    LOGFONTW large{};
    large.lfHeight = -24;
    HFONT font = CreateFontIndirectW(&large);
    SendMessageW(m_tree, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    EXPECT_EQ(SendMessageW(m_tree, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
    int after = static_cast<int>(SendMessageW(m_tree, TVM_GETITEMHEIGHT, 0, 0));
    EXPECT_GT(after, before + 5);
    RECT second{};
    std::memcpy(&second, &m_music, sizeof m_music);
    SendMessageW(m_tree, TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&second));
    EXPECT_EQ(second.top, after);
    DestroyWindow(m_tree);
    DeleteObject(font);
}

TEST_F(TreeViewTest, TheSelectedLabelIsHighlightedWhileFocused) {
    SetFocus(m_tree);
    SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(m_music));
    user::test::RunUntilIdle();
    POINT label = LabelPoint(m_music);
    EXPECT_EQ(user::test::WindowPixel(m_tree, label.x - 2, label.y), commctrl_test::OnScreen(GetSysColor(COLOR_HIGHLIGHT)));
    POINT other = LabelPoint(m_pictures);
    EXPECT_EQ(user::test::WindowPixel(m_tree, other.x - 2, other.y), commctrl_test::OnScreen(GetSysColor(COLOR_WINDOW)));
}

} // namespace
