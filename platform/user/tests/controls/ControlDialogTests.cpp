// A dialog holding every standard control, rendered headless, saved as a PNG beside the test binary and
// checked at chosen pixels.

#include <filesystem>

#include "ControlTest.h"

namespace {

using controls_test::OnScreen;
using controls_test::SystemOnScreen;

enum : WORD {
    kLabel = 10,
    kName,
    kPassword,
    kCentred,
    kCheck,
    kRadioA,
    kRadioB,
    kGroup,
    kList,
    kDropList,
    kDropDown,
    kNotes,
};

class ControlDialogTest : public controls_test::ControlTest {};

TEST_F(ControlDialogTest, EveryStandardControlRendersInTheHandheldLook) {
    const user::DialogItem items[] = {
        {user::kStaticClass, u"Name:", kLabel, 4, 5, 30, 8, SS_LEFT},
        {user::kEditClass, u"Ferrovane", kName, 36, 3, 112, 12, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
        {user::kEditClass, u"secret", kPassword, 36, 17, 112, 12, WS_BORDER | WS_TABSTOP | ES_PASSWORD},
        {user::kStaticClass, u"Centred label", kCentred, 4, 32, 144, 8, SS_CENTER},
        {user::kButtonClass, u"Check", kCheck, 4, 44, 60, 10, WS_TABSTOP | BS_AUTOCHECKBOX},
        {user::kButtonClass, u"Group", kGroup, 70, 40, 78, 32, BS_GROUPBOX},
        {user::kButtonClass, u"Kb", kRadioA, 76, 50, 60, 9, WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON},
        {user::kButtonClass, u"Mb", kRadioB, 76, 60, 60, 9, BS_AUTORADIOBUTTON},
        {user::kListBoxClass, nullptr, kList, 4, 76, 64, 52, WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY},
        {user::kComboBoxClass, nullptr, kDropList, 72, 76, 76, 60, WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST},
        {user::kComboBoxClass, u"", kDropDown, 72, 92, 76, 60, WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN},
        {user::kEditClass, u"First line\r\nSecond line\r\nThird line\r\nFourth line", kNotes, 72, 108, 76, 24,
         WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL},
        {user::kButtonClass, u"OK", IDOK, 28, 138, 44, 14, WS_TABSTOP | BS_DEFPUSHBUTTON},
        {user::kButtonClass, u"Cancel", IDCANCEL, 80, 138, 44, 14, WS_TABSTOP},
    };
    const user::DialogTemplateBytes bytes(
        {WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 2, 14, 152, 156, u"Controls", 8, u"MS Shell Dlg"}, items);
    m_dialog = CreateDialogIndirectParamW(nullptr, bytes.Template(), nullptr, nullptr, 0);
    ASSERT_NE(m_dialog, nullptr);

    for (const char16_t* text : {u"Alpha", u"Beta", u"Gamma", u"Delta", u"Epsilon", u"Zeta", u"Eta", u"Theta"})
        SendMessageW(Item(kList), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(Item(kList), LB_SETCURSEL, 1, 0);
    for (const char16_t* text : {u"Containers (*.fvc)", u"All files (*.*)"}) {
        SendMessageW(Item(kDropList), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        SendMessageW(Item(kDropDown), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageW(Item(kDropList), CB_SETCURSEL, 0, 0);
    SendMessageW(Item(kDropDown), CB_SETCURSEL, 1, 0);
    CheckDlgButton(m_dialog, kCheck, BST_CHECKED);
    CheckDlgButton(m_dialog, kRadioA, BST_CHECKED);
    SendMessageW(Item(kNotes), EM_SETSEL, 0, 5);
    SetFocus(Item(kName));
    SendMessageW(Item(kName), EM_SETSEL, 9, 9);
    user::test::RunUntilIdle();

    std::filesystem::path png = std::filesystem::path(CONTROLS_TEST_OUTPUT_DIR) / "standard-controls.png";
    ASSERT_TRUE(user::test::SaveScreenshot(png));
    EXPECT_GT(std::filesystem::file_size(png), 0u);

    const COLORREF white = SystemOnScreen(COLOR_WINDOW);
    const COLORREF black = SystemOnScreen(COLOR_WINDOWTEXT);
    const COLORREF highlight = SystemOnScreen(COLOR_HIGHLIGHT);
    // Edits: white inside a thin black border, the caret after the text of the focused one.
    HWND name = Item(kName);
    RECT nameClient;
    GetClientRect(name, &nameClient);
    EXPECT_EQ(user::test::WindowPixel(name, -1, 2), black);
    EXPECT_EQ(user::test::WindowPixel(name, nameClient.right - 2, 2), white);
    std::vector<int> caretColumns = ColumnsOf(name, nameClient.bottom / 2, black);
    ASSERT_FALSE(caretColumns.empty());
    // The password shows as many stars as it has characters: a row through them has ink, but fewer
    // distinct runs than letters would give is not asserted; only that it is drawn.
    EXPECT_FALSE(ColumnsOf(Item(kPassword), 6, black).empty());
    // The selection of the multi-line edit is inverted even without the focus (ES_NOHIDESEL).
    EXPECT_EQ(user::test::WindowPixel(Item(kNotes), 2, 2), highlight);
    // The list's selected item is highlighted, the others white.
    RECT item;
    SendMessageW(Item(kList), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(user::test::WindowPixel(Item(kList), item.right - 2, item.top + 1), highlight);
    SendMessageW(Item(kList), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(user::test::WindowPixel(Item(kList), item.right - 2, item.top + 1), white);
    // The check box shows its tick, the checked radio button its dot.
    RECT check;
    GetClientRect(Item(kCheck), &check);
    int boxTop = (check.bottom - 13) / 2;
    EXPECT_EQ(user::test::WindowPixel(Item(kCheck), 0, boxTop + 6), SystemOnScreen(COLOR_WINDOWFRAME));
    EXPECT_EQ(user::test::WindowPixel(Item(kCheck), 6, boxTop + 7), black);
    EXPECT_EQ(user::test::WindowPixel(Item(kCheck), 6, boxTop + 2), white);
    RECT radio;
    GetClientRect(Item(kRadioA), &radio);
    EXPECT_EQ(user::test::WindowPixel(Item(kRadioA), 6, radio.bottom / 2), black);
    EXPECT_EQ(user::test::WindowPixel(Item(kRadioB), 6, radio.bottom / 2), white);
    // Push buttons: the default one's frame is two pixels thick.
    EXPECT_EQ(user::test::WindowPixel(Item(IDOK), 1, 1), SystemOnScreen(COLOR_WINDOWFRAME));
    EXPECT_EQ(user::test::WindowPixel(Item(IDCANCEL), 1, 1), white);
    // The combo boxes keep the height of their field and show their button's arrow.
    RECT combo = user::test::ScreenRect(Item(kDropList));
    EXPECT_LT(combo.bottom - combo.top, 30);
    RECT comboClient;
    GetClientRect(Item(kDropList), &comboClient);
    int arrowX = comboClient.right - 1 - GetSystemMetrics(SM_CXVSCROLL) / 2 - 1;
    EXPECT_EQ(user::test::WindowPixel(Item(kDropList), arrowX, comboClient.bottom / 2), black);

    // Dropped down, the list lies over the controls below, its selected item highlighted.
    SendMessageW(Item(kDropList), CB_SHOWDROPDOWN, TRUE, 0);
    user::test::RunUntilIdle();
    ASSERT_TRUE(user::test::SaveScreenshot(std::filesystem::path(CONTROLS_TEST_OUTPUT_DIR) /
                                           "standard-controls-dropped.png"));
    HWND list = FindWindowW(u"ComboLBox", nullptr);
    ASSERT_NE(list, nullptr);
    SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(user::test::WindowPixel(list, item.right - 2, item.top + 1), highlight);
    SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(user::test::WindowPixel(list, item.right - 2, item.top + 1), white);
    RECT dropped = user::test::ScreenRect(list);
    EXPECT_EQ(user::test::ScreenPixel(dropped.left, dropped.top + 2), SystemOnScreen(COLOR_WINDOWFRAME));
    // The button shows the list is down.
    EXPECT_EQ(user::test::WindowPixel(Item(kDropList), arrowX - 3, 3), black);
    DestroyWindow(m_dialog);
}

} // namespace
