// A dialog holding every standard control: rendered headless, saved as a PNG beside the test binary and
// checked at chosen pixels; and shown in an X11 window under Xvfb, where a tap sent through X works it.

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ControlTest.h"
#include "display/Display.h"
#include "testing/Xvfb.h"

// Xlib's macros collide with names above; it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

// Every pixel of the screen, row by row.
std::vector<COLORREF> ScreenPixels(SIZE size) {
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            pixels.push_back(user::test::ScreenPixel(x, y));
    return pixels;
}

// Every pixel of the X window as the server holds it, row by row; empty when it cannot be read.
std::vector<COLORREF> WindowPixels(::Display* peer, Window window, SIZE size) {
    XImage* image = XGetImage(peer, window, 0, 0, static_cast<unsigned>(size.cx),
                              static_cast<unsigned>(size.cy), AllPlanes, ZPixmap);
    if (!image)
        return {};
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) {
            unsigned long v = XGetPixel(image, x, y);
            pixels.push_back(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
        }
    XDestroyImage(image);
    return pixels;
}

// Empty when the images are equal, else how many pixels differ and where the first one is.
std::string Difference(const std::vector<COLORREF>& shown, const std::vector<COLORREF>& expected, SIZE size) {
    if (shown.size() != expected.size())
        return "the images differ in size";
    size_t count = 0;
    std::ostringstream first;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == expected[i])
            continue;
        if (count++ == 0)
            first << " first at (" << i % static_cast<size_t>(size.cx) << ", "
                  << i / static_cast<size_t>(size.cx) << "): " << std::hex << shown[i] << " instead of "
                  << expected[i];
    }
    return count == 0 ? std::string() : std::to_string(count) + " pixels differ," + first.str();
}

// A stylus tap as the X server would send it for a mouse click at a window pixel.
void TapThroughX(::Display* peer, Window window, POINT at) {
    for (int type : {ButtonPress, ButtonRelease}) {
        XEvent event{};
        event.xbutton.type = type;
        event.xbutton.display = peer;
        event.xbutton.window = window;
        event.xbutton.root = DefaultRootWindow(peer);
        event.xbutton.x = at.x;
        event.xbutton.y = at.y;
        event.xbutton.button = Button1;
        event.xbutton.same_screen = True;
        XSendEvent(peer, window, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &event);
    }
    XFlush(peer);
}

class ControlDialogTest : public controls_test::ControlTest {
protected:
    // A captioned dialog with one or more of every standard control, filled in: the list's second item
    // selected, a choice in each combo box, the check box and the first radio button checked, a selection
    // in the notes and the caret at the end of the focused name.
    HWND MakeEveryControlDialog() {
        const user::DialogItem items[] = {
            {user::kStaticClass, u"Name:", kLabel, 4, 5, 30, 8, SS_LEFT},
            {user::kEditClass, u"Ferrovane", kName, 36, 3, 112, 12, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
            {user::kEditClass, u"secret", kPassword, 36, 17, 112, 12, WS_BORDER | WS_TABSTOP | ES_PASSWORD},
            {user::kStaticClass, u"Centred label", kCentred, 4, 32, 144, 8, SS_CENTER},
            {user::kButtonClass, u"Check", kCheck, 4, 44, 60, 10, WS_TABSTOP | BS_AUTOCHECKBOX},
            {user::kButtonClass, u"Group", kGroup, 70, 40, 78, 32, BS_GROUPBOX},
            {user::kButtonClass, u"Kb", kRadioA, 76, 50, 60, 9, WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON},
            {user::kButtonClass, u"Mb", kRadioB, 76, 60, 60, 9, BS_AUTORADIOBUTTON},
            {user::kListBoxClass, nullptr, kList, 4, 76, 64, 52,
             WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY},
            {user::kComboBoxClass, nullptr, kDropList, 72, 76, 76, 60,
             WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST},
            {user::kComboBoxClass, u"", kDropDown, 72, 92, 76, 60, WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN},
            {user::kEditClass, u"First line\r\nSecond line\r\nThird line\r\nFourth line", kNotes, 72, 108, 76,
             24, WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL},
            {user::kButtonClass, u"OK", IDOK, 28, 138, 44, 14, WS_TABSTOP | BS_DEFPUSHBUTTON},
            {user::kButtonClass, u"Cancel", IDCANCEL, 80, 138, 44, 14, WS_TABSTOP},
        };
        const user::DialogTemplateBytes bytes(
            {WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 2, 14, 152, 156, u"Controls", 8, u"MS Shell Dlg"}, items);
        m_dialog = CreateDialogIndirectParamW(nullptr, bytes.Template(), nullptr, nullptr, 0);
        if (!m_dialog)
            return nullptr;

        for (const char16_t* text :
             {u"Alpha", u"Beta", u"Gamma", u"Delta", u"Epsilon", u"Zeta", u"Eta", u"Theta"})
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
        return m_dialog;
    }
};

TEST_F(ControlDialogTest, EveryStandardControlRendersInTheHandheldLook) {
    ASSERT_NE(MakeEveryControlDialog(), nullptr);

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

TEST_F(ControlDialogTest, TheDialogShowsTheSameInAnX11WindowAndATapThroughXUnchecksTheCheckBox) {
    ASSERT_NE(MakeEveryControlDialog(), nullptr);
    const SIZE size = ScreenSize();
    const std::vector<COLORREF> headless = ScreenPixels(size);

    Xvfb server;
    ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start (is the xvfb package installed?)";
    // Back to the headless screen before the server goes, however the test ends.
    struct Headless {
        ~Headless() { user::test::ResetWindowSystem(); }
    } headlessAgain;
    ASSERT_TRUE(user::test::UseX11Display(server.Name(), 1));
    user::test::RunUntilIdle();
    std::unique_ptr<::Display, int (*)(::Display*)> peer(XOpenDisplay(server.Name().c_str()), XCloseDisplay);
    ASSERT_NE(peer, nullptr);
    Window window = display::X11WindowId();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(Difference(WindowPixels(peer.get(), window, size), headless, size), "");

    // A tap on the check box's box unticks it, on the screen and in the X window.
    RECT check = user::test::ScreenRect(Item(kCheck));
    TapThroughX(peer.get(), window, POINT{check.left + 6, (check.top + check.bottom) / 2});
    EXPECT_TRUE(user::test::RunUntil([&] { return IsDlgButtonChecked(m_dialog, kCheck) == BST_UNCHECKED; },
                                     std::chrono::seconds(5)));
    user::test::RunUntilIdle();
    POINT tick{6, (check.bottom - check.top - 13) / 2 + 7};
    ClientToScreen(Item(kCheck), &tick);
    size_t at = static_cast<size_t>(tick.y) * static_cast<size_t>(size.cx) + static_cast<size_t>(tick.x);
    std::vector<COLORREF> shown = WindowPixels(peer.get(), window, size);
    ASSERT_EQ(shown.size(), headless.size());
    EXPECT_EQ(headless[at], SystemOnScreen(COLOR_WINDOWTEXT));
    EXPECT_EQ(shown[at], SystemOnScreen(COLOR_WINDOW));
    EXPECT_EQ(Difference(shown, ScreenPixels(size), size), "");
}

} // namespace
