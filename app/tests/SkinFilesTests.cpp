// The installed skin files: each loads completely, has the size, caption, layers and controls the program
// relies on, keeps its controls inside the window and clear of what the program places itself, and gives
// a repeated id one place only. Screenshots of every form and panel go to the build folder for review.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Amount.h"
#include "Resource.h"
#include "SkinSupport.h"
#include "XBitmap.h"
#include "classlib/Geometry.h"
#include "crt/Utf8.h"
#include "user/TestSurface.h"

namespace {

using skintest::CSkinHost;

constexpr char16_t kButton[] = u"XBUTTON";
constexpr char16_t kCheckBox[] = u"XCHECKBOX";
constexpr char16_t kStatic[] = u"XSTATIC";
constexpr char16_t kEdit[] = u"EDIT";

struct Control {
    int id;
    const char16_t* className;
};

// A panel of a form: the controls it must show, and the rectangles that the program fills itself while
// it is up, which its skin controls must keep clear of.
struct Panel {
    const char16_t* layer;
    std::set<int> shows;
    std::vector<CRect> programAreas;
};

struct SkinFile {
    const char16_t* name;
    SIZE size;
    bool mainWindow;
    std::vector<const char16_t*> layers;
    std::vector<Control> controls;
    // Where the controls may lie: the skin's size, or more for a box that grows.
    SIZE reach;
    std::vector<Panel> panels;
};

std::vector<Control> MainFormControls() {
    std::vector<Control> controls;
    for (int id : {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1010, 1016, 1031, 1032, 1034})
        controls.push_back({id, kButton});
    controls.push_back({1019, kCheckBox});
    for (int id : {1011, 1012, 1014, 1015, 1026, 1027, 1017, 1023, 1024, 1025})
        controls.push_back({id, kEdit});
    controls.push_back({1057, kStatic});
    return controls;
}

std::vector<Panel> MainFormPanels(int listBottom) {
    const CRect sizeRow(136, 55, 240, 71); // the size spin and the Kb and Mb buttons
    return {
        {u"main",
         {1010, 1004, 1005, 1006, 1034, 1031, 1032, 1019, 1008, 1007, 1003},
         {CRect(5, 5, 145, listBottom)}},
        {u"create", {1011, 1012, 1014, 1015, 1001, 1002, 1016}, {sizeRow}},
        {u"open", {1026, 1027, 1001, 1002, 1016}, {}},
        {u"resize", {1017, 1057, 1002, 1016}, {CRect(136, 55, 168, 71)}},
        {u"change", {1023, 1024, 1025, 1002, 1016}, {}},
        {u"settings", {1031, 1032, 1016}, {}},
    };
}

const std::vector<const char16_t*> kMainLayers = {u"main",   u"create", u"open",
                                                  u"resize", u"change", u"settings"};

std::vector<SkinFile> SkinFiles() {
    return {
        // The main forms fit below the task bar: 26 pixels less than the screen.
        {u"form240x320.xml",
         {240, 294},
         true,
         kMainLayers,
         MainFormControls(),
         {240, 294},
         MainFormPanels(240)},
        {u"form240x240.xml",
         {240, 214},
         true,
         kMainLayers,
         MainFormControls(),
         {240, 214},
         MainFormPanels(167)},
        {u"messagebox.xml",
         {200, 140},
         false,
         {},
         {{IDC_MESSAGE_ACCEPT, kButton},
          {IDC_MESSAGE_TEXT, kStatic},
          {IDC_MESSAGE_OK, kButton},
          {IDC_MESSAGE_YES, kButton},
          {IDC_MESSAGE_NO, kButton}},
         {200, 140},
         {}},
        {u"form_amount.xml",
         {210, 162},
         false,
         {},
         {{IDC_AMOUNT_PATH, kStatic}, {IDC_AMOUNT_FOLDER, kStatic}, {IDOK, kButton}, {IDCANCEL, kButton}},
         {210, 162},
         {}},
        // The about box grows to a client area of 196 x 156, which brings 131 and 135 into view; its
        // top-left corner takes the taps it counts.
        {u"about.xml",
         {196, 112},
         false,
         {u"about"},
         {{IDC_ABOUT_COUNT, kButton}, {IDC_ABOUT_HIDDEN1, kStatic}, {IDC_ABOUT_HIDDEN2, kStatic}},
         {196, 156},
         {{u"about", {IDC_ABOUT_COUNT, IDC_ABOUT_HIDDEN1, IDC_ABOUT_HIDDEN2}, {CRect(0, 0, 20, 20)}}}},
    };
}

std::u16string ClassOf(HWND window) {
    WCHAR name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The child's rectangle in the dialog's client coordinates.
CRect ClientRectOf(HWND dialog, HWND child) {
    CRect rect(user::test::ScreenRect(child));
    ScreenToClient(dialog, reinterpret_cast<POINT*>(&rect.left));
    ScreenToClient(dialog, reinterpret_cast<POINT*>(&rect.right));
    return rect;
}

std::vector<HWND> Children(HWND dialog) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

std::string Name(const char16_t* text) {
    return crt::ToUtf8(text);
}

class SkinFilesTest : public apptest::InstalledSkinTest {
protected:
    static std::u16string PathOf(const char16_t* name) { return std::u16string(apptest::kSkinFolder) + name; }
};

TEST_F(SkinFilesTest, EachSkinFileGivesWhatItsDialogNeeds) {
    InstallSkin();
    for (const SkinFile& file : SkinFiles()) {
        SCOPED_TRACE(Name(file.name));
        CSkinHost host(PathOf(file.name));
        ASSERT_TRUE(host.Open());
        ASSERT_TRUE(host.m_skinLoaded);
        const HWND dialog = host.GetSafeHwnd();
        EXPECT_EQ(host.GetSkinWidth(), file.size.cx);
        EXPECT_EQ(host.GetSkinHeight(), file.size.cy);
        // The shell entry points find the main window by this title, so no other box may carry it.
        EXPECT_EQ(user::test::Text(dialog) == u"Ferrovane", file.mainWindow);

        // Every element made its window: a bitmap that did not load leaves a control without one.
        const std::vector<HWND> children = Children(dialog);
        EXPECT_EQ(static_cast<int>(children.size()), host.GetControlCount());
        for (const char16_t* layer : file.layers)
            EXPECT_TRUE(host.IsLayerVisible(layer)) << "no layer " << Name(layer);
        for (const Control& control : file.controls) {
            HWND window = GetDlgItem(dialog, control.id);
            ASSERT_NE(window, nullptr) << "no control " << control.id;
            EXPECT_EQ(ClassOf(window), control.className) << "control " << control.id;
        }

        std::map<int, CRect> places;
        for (HWND child : children) {
            const CRect rect = ClientRectOf(dialog, child);
            const int id = GetDlgCtrlID(child);
            EXPECT_TRUE(rect.left >= 0 && rect.top >= 0 && rect.right <= file.reach.cx &&
                        rect.bottom <= file.reach.cy)
                << "control " << id << " lies outside the window";
            // A repeated id (one copy per panel) must keep one place: the background is lent by id.
            const auto [place, first] = places.emplace(id, rect);
            EXPECT_TRUE(first || place->second == rect) << "control " << id << " has two places";
        }

        // The main window fills the screen, as the program shows it, for the pictures.
        if (file.mainWindow)
            SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        std::set<int> required;
        for (const Control& control : file.controls)
            required.insert(control.id);
        for (const Panel& panel : file.panels) {
            SCOPED_TRACE(Name(panel.layer));
            for (const char16_t* layer : file.layers)
                host.ShowLayer(layer, false);
            host.ShowLayer(panel.layer, true);
            user::test::RunUntilIdle();
            std::set<int> shown;
            for (HWND child : children) {
                if (!IsWindowVisible(child))
                    continue;
                if (required.count(GetDlgCtrlID(child)) != 0)
                    shown.insert(GetDlgCtrlID(child));
                const CRect rect = ClientRectOf(dialog, child);
                for (const CRect& area : panel.programAreas) {
                    CRect overlap;
                    EXPECT_FALSE(overlap.IntersectRect(&rect, &area)) << "control " << GetDlgCtrlID(child);
                }
            }
            EXPECT_EQ(shown, panel.shows);
            SaveReviewShot(Name(file.name).substr(0, Name(file.name).find('.')) + "_" + Name(panel.layer));
        }
    }
}

TEST_F(SkinFilesTest, TheSplashImageLoads) {
    InstallSkin();
    CXBitmap splash;
    splash.LoadFromFile(PathOf(u"about.png").c_str(), 1, false);
    EXPECT_EQ(splash.GetFrameWidth(), 200u);
    EXPECT_EQ(splash.GetFrameHeight(), 120);
}

TEST_F(SkinFilesTest, ThePasswordDialogsLabelsKeepClearOfItsPasswordBox) {
    InstallSkin();
    CAmount dialog;
    std::u16string path = u"\\My Documents\\Private.fvc";
    std::u16string folder = u"Private";
    path.copy(dialog.m_record.containerPath, path.size());
    folder.copy(dialog.m_record.folderName, folder.size());
    user::test::OnNextModal(user::test::ModalKind::Dialog, u"", [](const user::test::ModalInfo& info) {
        const HWND box = info.window;
        const CRect password = ClientRectOf(box, GetDlgItem(box, IDC_AMOUNT_PASSWORD));
        RECT client{};
        GetClientRect(box, &client);
        EXPECT_TRUE(password.right <= client.right && password.bottom <= client.bottom);
        for (HWND child : Children(box)) {
            if (GetDlgCtrlID(child) == IDC_AMOUNT_PASSWORD)
                continue;
            CRect overlap;
            const CRect rect = ClientRectOf(box, child);
            EXPECT_FALSE(overlap.IntersectRect(&rect, &password)) << "control " << GetDlgCtrlID(child);
        }
        user::test::RunUntilIdle();
        SaveReviewShot("form_amount");
        SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

} // namespace
