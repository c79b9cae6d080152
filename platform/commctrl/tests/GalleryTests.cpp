// Every common control on one screen, saved as commctrl_gallery.png in the build folder for a look.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ControlTest.h"

namespace {

class GalleryTest : public commctrl_test::ControlTest {};

TEST_F(GalleryTest, TheControlsDrawTogether) {
    HWND list = Child(WC_LISTVIEWW, WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS, RECT{5, 5, 205, 125}, 1);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 120;
    column.pszText = const_cast<LPWSTR>(u"File name");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    column.cx = 60;
    column.pszText = const_cast<LPWSTR>(u"Comment");
    SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    for (int i = 0; i < 12; ++i) {
        std::u16string name = u"file " + std::u16string(1, static_cast<char16_t>(u'a' + i));
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = name.data();
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        LVITEMW size{};
        size.iSubItem = 1;
        size.pszText = const_cast<LPWSTR>(u"1.0K");
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&size));
    }
    LVITEMW state{};
    state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));
    SetFocus(list);

    HWND tree = Child(WC_TREEVIEWW, WS_BORDER | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                      RECT{5, 130, 155, 230}, 2);
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<LPWSTR>(u"Documents");
    auto documents = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    insert.hParent = documents;
    insert.item.pszText = const_cast<LPWSTR>(u"Letters");
    auto letters = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    insert.hParent = TVI_ROOT;
    insert.item.pszText = const_cast<LPWSTR>(u"Music");
    SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(letters));

    Child(UPDOWN_CLASSW, UDS_HORZ, RECT{165, 130, 197, 146}, 3);
    Child(UPDOWN_CLASSW, 0, RECT{205, 130, 221, 154}, 4);
    user::test::RunUntilIdle();

    std::filesystem::path file = std::filesystem::path(COMMCTRL_TEST_OUTPUT_DIR) / "commctrl_gallery.png";
    ASSERT_TRUE(user::test::SaveScreenshot(file));
    EXPECT_GT(std::filesystem::file_size(file), 100u);
    // The header's face, the focused row's highlight, the tree's button frame.
    EXPECT_EQ(user::test::WindowPixel(list, 190, 3), commctrl_test::OnScreen(GetSysColor(COLOR_BTNFACE)));
}

} // namespace
