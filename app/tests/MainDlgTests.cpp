// The main dialog on the installed skin with the driver loaded: the create panel of a "-new" start and of
// a WM_COPYDATA request, creating, opening and unmounting through the panels and buttons, leaving with and
// without containers, the tray icon bringing a hidden window back, and the form chosen by screen height.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "AutoMountList.h"
#include "MainDlg.h"
#include "MountSupport.h"
#include "Resource.h"
#include "SkinListBox.h"
#include "SkinSupport.h"
#include "XCheckBox.h"
#include "commctrl/CommCtrl.h"
#include "devices/DeviceManager.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Files.h"
#include "kernel/Modules.h"
#include "kernel/Program.h"
#include "shell/FullScreen.h"
#include "shell/Shell.h"
#include "user/TestSurface.h"
#include "user/Window.h"

namespace {

// Installed as \windows\fexplore.exe and started by the dialog, this program only writes down its
// command line in the device root and ends.
constexpr char kExplorerReport[] = "explorer-command-line.txt";
const bool kStartedAsExplorer = [] {
    const char* commandLine = std::getenv(kernel::kCommandLineVariable);
    const char* root = std::getenv("DEVICE_ROOT");
    if (commandLine == nullptr || root == nullptr)
        return false;
    // Written whole under another name first: the test takes the report as soon as it exists.
    const std::filesystem::path report = std::filesystem::path(root) / kExplorerReport;
    const std::filesystem::path part = report.string() + ".part";
    std::ofstream(part) << commandLine;
    std::error_code ignored;
    std::filesystem::rename(part, report, ignored);
    std::_Exit(0);
}();

using user::test::ModalInfo;
using user::test::ModalKind;

constexpr char16_t kPassword[] = u"password1";

bool FolderExists(const std::u16string& folder) {
    return GetFileAttributesW((u"\\" + folder).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::u16string> Items(HWND list) {
    std::vector<std::u16string> items;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR text[MAX_PATH] = {};
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.emplace_back(text);
    }
    return items;
}

class MainDlgTest : public apptest::InstalledSkinTest {
protected:
    void SetUp() override {
        InstalledSkinTest::SetUp();
        InstallSkin();
        m_driver = std::make_unique<apptest::LoadedDriver>();
    }
    void TearDown() override {
        m_driver.reset();
        InstalledSkinTest::TearDown();
    }
    // Runs the dialog; the action drives it from inside its loop and must end it.
    INT_PTR Run(Main_Dlg& dialog, const std::function<void(HWND)>& action) {
        user::test::OnNextModal(ModalKind::Dialog, u"Ferrovane", [&](const ModalInfo& info) {
            user::test::RunUntilIdle();
            action(info.window);
        });
        const INT_PTR result = dialog.DoModal();
        // Whatever stayed mounted goes before the driver does.
        for (int slot = 0; slot <= dialog.MountTable().LastUsed(); ++slot)
            if (dialog.MountTable().IsUsed(slot))
                DeactivateDevice(dialog.MountTable().Device(slot));
        return result;
    }
    // Answers the program's next message box with that button and keeps its text.
    void ExpectMessage(int button = IDC_MESSAGE_OK) {
        user::test::OnNextModal(ModalKind::Dialog, u"", [this, button](const ModalInfo& info) {
            m_messages.push_back(user::test::Text(GetDlgItem(info.window, IDC_MESSAGE_TEXT)));
            SendMessageW(info.window, WM_COMMAND, static_cast<WPARAM>(button), 0);
        });
    }
    static void Command(HWND window, int id) {
        SendMessageW(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
        user::test::RunUntilIdle();
    }
    static void SetText(HWND window, int id, const std::u16string& text) {
        SetWindowTextW(GetDlgItem(window, id), text.c_str());
    }
    static std::u16string TextOf(HWND window, int id) { return user::test::Text(GetDlgItem(window, id)); }
    static bool Visible(HWND window, int id) { return IsWindowVisible(GetDlgItem(window, id)) != FALSE; }
    // The screen point in the middle of a list item.
    static POINT ItemPoint(HWND window, int item) {
        HWND list = GetDlgItem(window, IDC_MAIN_FOLDERS);
        RECT rect{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect));
        POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ClientToScreen(list, &point);
        return point;
    }
    // Selects the list item by tapping it, apart in time from any tap before.
    static void TapItem(HWND window, int item) {
        user::test::AdvanceTime(1000);
        user::test::Tap(ItemPoint(window, item));
        user::test::RunUntilIdle();
    }
    // Holds the stylus on the item until its menu comes (answered by what the test scripted), then lifts it.
    static void HoldItem(HWND window, int item) {
        user::test::AdvanceTime(1000);
        const POINT point = ItemPoint(window, item);
        user::test::StylusDown(point);
        user::test::RunUntilIdle();
        user::test::AdvanceTime(CSkinListBox::kHoldTime);
        user::test::StylusUp(point);
        user::test::RunUntilIdle();
    }
    static void DoubleTapItem(HWND window, int item) {
        user::test::AdvanceTime(1000);
        user::test::Tap(ItemPoint(window, item));
        user::test::Tap(ItemPoint(window, item));
        user::test::RunUntilIdle();
    }
    static std::vector<int> SelectedItems(HWND window) {
        HWND list = GetDlgItem(window, IDC_MAIN_FOLDERS);
        std::vector<int> selected;
        const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            if (SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0)
                selected.push_back(i);
        return selected;
    }

    std::unique_ptr<apptest::LoadedDriver> m_driver;
    std::vector<std::u16string> m_messages;
};

TEST_F(MainDlgTest, ANewStartCreatesAContainerThroughTheCreatePanel) {
    Main_Dlg dialog;
    dialog.m_newRequest = true;
    const INT_PTR result = Run(dialog, [&](HWND window) {
        EXPECT_TRUE(dialog.IsLayerVisible(u"create"));
        EXPECT_FALSE(dialog.IsLayerVisible(u"main"));
        EXPECT_EQ(TextOf(window, IDC_MAIN_SIZE), u"100");
        EXPECT_EQ(TextOf(window, IDC_MAIN_FOLDER), u"Encrypted Folder");
        EXPECT_FALSE(Visible(window, IDC_MAIN_FOLDERS));
        EXPECT_TRUE(Visible(window, IDC_MAIN_SIZE_SPIN));
        EXPECT_TRUE(Visible(window, IDC_MAIN_UNIT_KB));

        SetText(window, IDC_MAIN_PATH, u"\\new");
        SetText(window, IDC_MAIN_FOLDER, u"Secret");
        SetFocus(GetDlgItem(window, IDC_MAIN_PASSWORD_EDIT));
        user::test::TypeText(kPassword);
        user::test::RunUntilIdle();
        EXPECT_EQ(TextOf(window, IDC_MAIN_PASSWORD_EDIT), kPassword);
        ExpectMessage();
        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_PANEL_OK));
        user::test::RunUntilIdle();
        EXPECT_EQ(m_messages, std::vector<std::u16string>{u"\nContainer mounted\n successfully"});
        EXPECT_TRUE(dialog.IsLayerVisible(u"main"));
        EXPECT_FALSE(dialog.IsLayerVisible(u"create"));
        EXPECT_TRUE(Visible(window, IDC_MAIN_FOLDERS));
        EXPECT_FALSE(Visible(window, IDC_MAIN_SIZE_SPIN));
        HWND list = GetDlgItem(window, IDC_MAIN_FOLDERS);
        EXPECT_EQ(Items(list), std::vector<std::u16string>{u"Secret"});
        EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
        EXPECT_TRUE(FolderExists(u"Secret"));
        apptest::InstalledSkinTest::SaveReviewShot("main_panel");

        // The same name again is refused before anything is made.
        Command(window, IDC_MAIN_NEW);
        SetText(window, IDC_MAIN_PATH, u"\\new");
        ExpectMessage();
        Command(window, IDC_MAIN_PANEL_OK);
        EXPECT_EQ(m_messages.back(), u"\nWARNING:\nExisting container name!\n Try another.");
        EXPECT_TRUE(dialog.IsLayerVisible(u"create"));
        Command(window, IDC_MAIN_PANEL_BACK);
        EXPECT_TRUE(dialog.IsLayerVisible(u"main"));

        // Leaving asks first; No keeps everything.
        ExpectMessage(IDC_MESSAGE_NO);
        Command(window, IDC_MAIN_EXIT);
        EXPECT_EQ(m_messages.back(),
                  u"WARNING:\nAll containers will be\n unmounted.\n Do you wnat to proceed?");
        EXPECT_TRUE(IsWindow(window));
        EXPECT_TRUE(FolderExists(u"Secret"));
        ExpectMessage(IDC_MESSAGE_YES);
        ExpectMessage();
        Command(window, IDC_MAIN_EXIT);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(m_messages.back(), u"\nContainers unmounted\n succesfully.");
    EXPECT_FALSE(FolderExists(u"Secret"));
}

} // namespace

namespace {

constexpr char16_t kStartupLink[] = u"\\Windows\\StartUp\\ferrovane.exe.lnk";

// Tests that start with containers made and left unmounted, an auto-mount list, a start-up link.
class MainDlgServicesTest : public MainDlgTest {
protected:
    // A container file of the password kPassword whose trailer keeps the folder name.
    static void MakeContainer(const std::u16string& path, const std::u16string& folder) {
        const apptest::MountedContainer made = apptest::MountNewContainer(path, kPassword, folder);
        ASSERT_EQ(made.record.status, MOUNT_OK);
        DeactivateDevice(made.device);
    }
    static std::string Entry(const std::string& path, const std::string& folder) {
        return "[container]\n" + path + "\n" + folder + "\n[/container]\n";
    }
    void WriteList(const std::string& entries) {
        WriteDeviceFile(automount::kListPath, automount::Preamble() + entries);
    }
    std::string ReadList() {
        const auto host = kernel::DeviceToHostPath(automount::kListPath, nullptr);
        std::ifstream in(*host, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Answers the next password prompt with the password and keeps the folder it names.
    void AnswerPrompt(const std::u16string& password) {
        user::test::OnNextModal(ModalKind::Dialog, u"", [this, password](const ModalInfo& info) {
            m_prompts.push_back(user::test::Text(GetDlgItem(info.window, IDC_AMOUNT_FOLDER)));
            SetFocus(GetDlgItem(info.window, IDC_AMOUNT_PASSWORD));
            user::test::TypeText(password);
            user::test::RunUntilIdle();
            SendMessageW(info.window, WM_COMMAND, IDOK, 0);
        });
    }
    // Opens the container through the open panel; the next message is the outcome.
    void OpenThroughPanel(HWND window, const std::u16string& path, const std::u16string& password) {
        Command(window, IDC_MAIN_OPEN);
        SetText(window, IDC_MAIN_OPEN_PATH, path);
        SetText(window, IDC_MAIN_OPEN_PASSWORD, password);
        ExpectMessage();
        Command(window, IDC_MAIN_PANEL_OK);
    }
    // Whether the open popup menu draws a check mark beside the item.
    static bool MenuItemTicked(UINT id) {
        const std::optional<RECT> item = user::test::MenuItemRect(id);
        if (!item)
            return false;
        const COLORREF background = user::test::ScreenPixel(item->left + 14, (item->top + item->bottom) / 2);
        for (int x = item->left; x < item->left + 14; ++x)
            for (int y = item->top; y < item->bottom; ++y)
                if (user::test::ScreenPixel(x, y) != background)
                    return true;
        return false;
    }

    // This test program stands in for File Explorer, which writes down the command line it got.
    static void InstallExplorer() {
        const auto explorer = kernel::DeviceToHostPath(u"\\windows\\fexplore.exe", nullptr);
        ASSERT_TRUE(explorer);
        std::filesystem::create_directories(explorer->parent_path());
        std::filesystem::copy_file("/proc/self/exe", *explorer,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    // The command line of the File Explorer started last, once it has written it down; empty when none
    // started.
    static std::string ExplorerCommandLine() {
        const std::filesystem::path report = kernel::DeviceRoot() / kExplorerReport;
        if (!user::test::RunUntil([&] { return std::filesystem::exists(report); }))
            return {};
        std::string commandLine;
        std::getline(std::ifstream(report), commandLine);
        std::filesystem::remove(report);
        return commandLine;
    }
    // The folder name of a slot's record.
    static std::u16string FolderOfSlot(const Main_Dlg& dialog, int slot) {
        return dialog.MountTable().Record(slot).folderName;
    }
    static uint64_t FileSize(const std::u16string& path) {
        WIN32_FIND_DATAW data{};
        HANDLE search = FindFirstFileW(path.c_str(), &data);
        if (search == INVALID_HANDLE_VALUE)
            return 0;
        FindClose(search);
        return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    // Whether the container opens with the password (and lets go again).
    static bool Opens(const std::u16string& path, const std::u16string& password) {
        CONTAINER_PARAMS record = apptest::MakeRecord(path, password, u"Check", 0);
        record.status = 0;
        HANDLE device = ActivateDeviceEx(u"Drivers\\Builtin\\Ferrovane", nullptr, 0, &record);
        if (device != nullptr)
            DeactivateDevice(device);
        return device != nullptr && record.status == MOUNT_OK;
    }

    std::vector<std::u16string> m_prompts;
};

TEST_F(MainDlgServicesTest, TheListedContainersAreMountedAtStartTheLastOneFirst) {
    MakeContainer(u"\\x.fvc", u"X");
    MakeContainer(u"\\y.fvc", u"Y");
    MakeContainer(u"\\z.fvc", u"Z");
    WriteList(Entry("\\x.fvc", "X") + Entry("\\y.fvc", "Y") + Entry("\\z.fvc", "Z"));
    for (int i = 0; i < 3; ++i) {
        AnswerPrompt(kPassword);
        ExpectMessage();
    }
    Main_Dlg dialog;
    std::vector<std::u16string> items;
    Run(dialog, [&](HWND window) {
        items = Items(GetDlgItem(window, IDC_MAIN_FOLDERS));
        EXPECT_TRUE(FolderExists(u"X") && FolderExists(u"Y") && FolderExists(u"Z"));
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(m_prompts, (std::vector<std::u16string>{u" Folder: X", u" Folder: Y", u" Folder: Z"}));
    EXPECT_EQ(items, (std::vector<std::u16string>{u"Z", u"Y", u"X"}));
    EXPECT_EQ(std::u16string(dialog.MountTable().Record(0).folderName), u"Z");
    EXPECT_EQ(std::u16string(dialog.MountTable().Record(2).folderName), u"X");
}

TEST_F(MainDlgServicesTest, EntriesOfMissingFilesAreRemovedAndTheOthersAsked) {
    MakeContainer(u"\\b.fvc", u"B");
    WriteList(Entry("\\a.fvc", "A") + Entry("\\b.fvc", "B") + Entry("\\gone1.fvc", "G1") +
              Entry("\\gone2.fvc", "G2") + Entry("\\nofolder\\c.fvc", "C"));
    // Cancel skips B without touching its entry.
    user::test::OnNextModal(ModalKind::Dialog, u"", [](const ModalInfo& info) {
        SendMessageW(info.window, WM_COMMAND, IDCANCEL, 0);
    });
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        EXPECT_TRUE(Items(GetDlgItem(window, IDC_MAIN_FOLDERS)).empty());
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    // A file missing from a folder that is not there at all (a card taken out) keeps its entry.
    EXPECT_EQ(ReadList(), automount::Preamble() + Entry("\\b.fvc", "B") + Entry("\\nofolder\\c.fvc", "C"));
}

TEST_F(MainDlgServicesTest, AWrongPasswordIsAskedAgainAndTheContainersOwnNameWins) {
    MakeContainer(u"\\s.fvc", u"Stored");
    WriteList(Entry("\\s.fvc", "Listed"));
    AnswerPrompt(u"wrongpassword");
    ExpectMessage();
    AnswerPrompt(kPassword);
    ExpectMessage();
    Main_Dlg dialog;
    std::vector<std::u16string> items;
    Run(dialog, [&](HWND window) {
        items = Items(GetDlgItem(window, IDC_MAIN_FOLDERS));
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(m_prompts, (std::vector<std::u16string>{u" Folder: Listed", u" Folder: Listed"}));
    EXPECT_EQ(m_messages,
              (std::vector<std::u16string>{u"Wrong password.", u"\nContainer mounted\n successfully"}));
    EXPECT_EQ(items, std::vector<std::u16string>{u"Stored"});
}

TEST_F(MainDlgServicesTest, OpenUnmountAndLeaveThroughTheButtons) {
    MakeContainer(u"\\a.fvc", u"A");
    MakeContainer(u"\\b.fvc", u"B");
    Main_Dlg dialog;
    const INT_PTR result = Run(dialog, [&](HWND window) {
        HWND list = GetDlgItem(window, IDC_MAIN_FOLDERS);
        OpenThroughPanel(window, u"\\a.fvc", kPassword);
        // A wrong password keeps the open panel with what was typed.
        OpenThroughPanel(window, u"\\b.fvc", u"wrongpassword");
        EXPECT_EQ(m_messages.back(), u"WARNING:\nFile format or password\n is wrong");
        EXPECT_TRUE(dialog.IsLayerVisible(u"open"));
        EXPECT_EQ(TextOf(window, IDC_MAIN_OPEN_PATH), u"\\b.fvc");
        SetText(window, IDC_MAIN_OPEN_PASSWORD, kPassword);
        ExpectMessage();
        Command(window, IDC_MAIN_PANEL_OK);
        EXPECT_EQ(Items(list), (std::vector<std::u16string>{u"A", u"B"}));

        TapItem(window, 0);
        ExpectMessage();
        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_UNMOUNT));
        user::test::RunUntilIdle();
        EXPECT_EQ(m_messages.back(), u"\nContainer unmounted\n succesfully.");
        EXPECT_EQ(Items(list), std::vector<std::u16string>{u"B"});
        EXPECT_FALSE(FolderExists(u"A"));

        OpenThroughPanel(window, u"\\a.fvc", kPassword);
        ExpectMessage();
        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_UNMOUNT_ALL));
        user::test::RunUntilIdle();
        EXPECT_EQ(m_messages.back(), u"\nContainers unmounted\n succesfully.");
        EXPECT_TRUE(Items(list).empty());

        // A container that cannot be unmounted does not keep the program from ending.
        OpenThroughPanel(window, u"\\a.fvc", kPassword);
        DeactivateDevice(dialog.MountTable().Device(0));
        ExpectMessage(IDC_MESSAGE_YES);
        ExpectMessage();
        Command(window, IDC_MAIN_EXIT);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(m_messages.back(), u"\nCan't unmount some files.");

    // With nothing mounted the program ends without a question.
    Main_Dlg again;
    EXPECT_EQ(Run(again, [](HWND window) { Command(window, IDC_MAIN_EXIT); }), 0);
}

TEST_F(MainDlgServicesTest, AutomountToggleAndTheContextMenuFollowTheList) {
    MakeContainer(u"\\a.fvc", u"A");
    // An entry whose folder is not there stays through the start.
    WriteList(Entry("\\card\\other.fvc", "O"));
    const std::string before = ReadList();
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        // Nothing selected: nothing happens.
        Command(window, IDC_MAIN_AUTOMOUNT);
        EXPECT_EQ(ReadList(), before);

        OpenThroughPanel(window, u"\\a.fvc", kPassword);
        bool ticked = true;
        user::test::OnNextModal(ModalKind::Menu, u"", [&](const ModalInfo&) {
            user::test::RunUntilIdle();
            ticked = MenuItemTicked(ID_FOLDER_AUTOMOUNT);
            user::test::PressKey(VK_ESCAPE);
            user::test::RunUntilIdle();
        });
        HoldItem(window, 0);
        EXPECT_FALSE(ticked) << "not listed, although the resource has it checked";

        // The menu's item adds the entry, the button takes it out again.
        user::test::AnswerNextMenu(ID_FOLDER_AUTOMOUNT);
        HoldItem(window, 0);
        EXPECT_EQ(ReadList(), before + Entry("\\a.fvc", "A"));
        user::test::OnNextModal(ModalKind::Menu, u"", [&](const ModalInfo&) {
            user::test::RunUntilIdle();
            ticked = MenuItemTicked(ID_FOLDER_AUTOMOUNT);
            user::test::PressKey(VK_ESCAPE);
            user::test::RunUntilIdle();
        });
        HoldItem(window, 0);
        EXPECT_TRUE(ticked);
        Command(window, IDC_MAIN_AUTOMOUNT);
        EXPECT_EQ(ReadList(), before);
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
}

TEST_F(MainDlgServicesTest, TheStartupBoxKeepsTheLink) {
    WriteDeviceFile(kStartupLink, std::string("4#\"x\""));
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        auto* box = dynamic_cast<CXCheckBox*>(CWnd::FromHandle(GetDlgItem(window, IDC_MAIN_STARTUP)));
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->GetCheck()) << "the link was there at start";
        EXPECT_TRUE(dialog.m_linkExists);
        EXPECT_NE(GetFileAttributesW(kStartupLink), INVALID_FILE_ATTRIBUTES) << "looking leaves it";

        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_STARTUP));
        user::test::RunUntilIdle();
        EXPECT_EQ(GetFileAttributesW(kStartupLink), INVALID_FILE_ATTRIBUTES);

        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_STARTUP));
        user::test::RunUntilIdle();
        EXPECT_FALSE(dialog.m_linkExists) << "the state before the action";
        WCHAR target[MAX_PATH] = {};
        ASSERT_TRUE(SHGetShortcutTarget(kStartupLink, target, MAX_PATH));
        EXPECT_EQ(std::u16string(target), u"\"\\program files\\ferrovane\\ferrovane.exe\" -hide");
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });

    // Without the link the box starts clear.
    DeleteFileW(kStartupLink);
    Main_Dlg again;
    Run(again, [](HWND window) {
        auto* box = dynamic_cast<CXCheckBox*>(CWnd::FromHandle(GetDlgItem(window, IDC_MAIN_STARTUP)));
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->GetCheck());
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
}

// A fresh device has its Startup folder: ticking the box makes the link there. A link that cannot be made
// leaves the box clear.
TEST_F(MainDlgServicesTest, TheStartupLinkIsMadeOnAFreshDevice) {
    EXPECT_NE(GetFileAttributesW(u"\\Windows\\StartUp") & FILE_ATTRIBUTE_DIRECTORY, 0u);
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        auto* box = dynamic_cast<CXCheckBox*>(CWnd::FromHandle(GetDlgItem(window, IDC_MAIN_STARTUP)));
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->GetCheck());
        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_STARTUP));
        user::test::RunUntilIdle();
        EXPECT_TRUE(box->GetCheck());
        WCHAR target[MAX_PATH] = {};
        EXPECT_TRUE(SHGetShortcutTarget(kStartupLink, target, MAX_PATH));
        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_STARTUP));
        user::test::RunUntilIdle();
        EXPECT_FALSE(box->GetCheck());

        // A file where the Startup folder should be.
        ASSERT_TRUE(RemoveDirectoryW(u"\\Windows\\StartUp"));
        WriteDeviceFile(u"\\Windows\\StartUp", std::string("not a folder"));
        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_STARTUP));
        user::test::RunUntilIdle();
        EXPECT_FALSE(box->GetCheck()) << "no link could be made";
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
}

TEST_F(MainDlgServicesTest, ExploreStartsFileExplorerOnTheFolder) {
    InstallExplorer();
    MakeContainer(u"\\a.fvc", u"My Files");
    Main_Dlg dialog;
    std::string commandLine;
    Run(dialog, [&](HWND window) {
        OpenThroughPanel(window, u"\\a.fvc", kPassword);
        // Nothing selected: nothing is started.
        SendMessageW(GetDlgItem(window, IDC_MAIN_FOLDERS), LB_SETSEL, FALSE, -1);
        Command(window, ID_FOLDER_EXPLORE);
        user::test::AnswerNextMenu(ID_FOLDER_EXPLORE);
        HoldItem(window, 0);
        commandLine = ExplorerCommandLine();
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(commandLine, "My Files");
}

// A and B open, B opened last and so selected: what the user touches is what the buttons, the hold's menu
// and the double tap act on, and exactly that item shows selected.
TEST_F(MainDlgServicesTest, TheButtonsTheMenuAndTheDoubleTapActOnTheTouchedItem) {
    InstallExplorer();
    MakeContainer(u"\\a.fvc", u"A");
    MakeContainer(u"\\b.fvc", u"B");
    MakeContainer(u"\\c.fvc", u"A"); // mounted at \A2 while the first A is up
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        OpenThroughPanel(window, u"\\a.fvc", kPassword);
        OpenThroughPanel(window, u"\\b.fvc", kPassword);
        EXPECT_EQ(SelectedItems(window), std::vector<int>{1});

        // Nothing selected: the main panel's resize button does nothing.
        SendMessageW(GetDlgItem(window, IDC_MAIN_FOLDERS), LB_SETSEL, FALSE, -1);
        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_RESIZE));
        user::test::RunUntilIdle();
        EXPECT_TRUE(dialog.IsLayerVisible(u"main"));

        TapItem(window, 0);
        EXPECT_EQ(SelectedItems(window), std::vector<int>{0});
        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_RESIZE));
        user::test::RunUntilIdle();
        ASSERT_TRUE(dialog.IsLayerVisible(u"resize"));
        EXPECT_EQ(TextOf(window, IDC_MAIN_CURRENT_SIZE), u"Current size: 1024 Kb");
        SetText(window, IDC_MAIN_NEW_SIZE, u"2048");
        ExpectMessage();
        Command(window, IDC_MAIN_PANEL_OK);
        EXPECT_EQ(m_messages.back(), u"\n\nContainer resizing ok");
        EXPECT_EQ(FileSize(u"\\a.fvc"), 2048u * 1024);
        EXPECT_EQ(FileSize(u"\\b.fvc"), 1024u * 1024);
        EXPECT_EQ(dialog.MountTable().Record(0).size, 2048u * 1024);

        TapItem(window, 0);
        ASSERT_TRUE(user::test::TapControl(window, IDC_MAIN_PASSWORD));
        user::test::RunUntilIdle();
        ASSERT_TRUE(dialog.IsLayerVisible(u"change"));
        SetText(window, IDC_MAIN_OLD_PASSWORD, kPassword);
        SetText(window, IDC_MAIN_NEW_PASSWORD, u"new password");
        SetText(window, IDC_MAIN_CONFIRM_PASSWORD, u"new password");
        ExpectMessage();
        Command(window, IDC_MAIN_PANEL_OK);
        EXPECT_EQ(m_messages.back(), u"\n\nPassword changed");
        EXPECT_EQ(std::u16string(dialog.MountTable().Record(0).password), u"new password");
        EXPECT_EQ(std::u16string(dialog.MountTable().Record(1).password), kPassword);

        // A tap on A, then a hold on B: its menu closes B.
        TapItem(window, 0);
        user::test::AnswerNextMenu(ID_FOLDER_CLOSE);
        ExpectMessage();
        HoldItem(window, 1);
        EXPECT_EQ(m_messages.back(), u"\nContainer unmounted\n succesfully.");
        EXPECT_FALSE(FolderExists(u"B"));
        EXPECT_TRUE(FolderExists(u"A"));
        EXPECT_EQ(Items(GetDlgItem(window, IDC_MAIN_FOLDERS)), std::vector<std::u16string>{u"A"});

        // A double tap on the item that an open has just selected explores it; the second container
        // under the name A is explored at its own folder.
        OpenThroughPanel(window, u"\\b.fvc", kPassword);
        DoubleTapItem(window, 1);
        EXPECT_EQ(SelectedItems(window), std::vector<int>{1});
        EXPECT_EQ(ExplorerCommandLine(), "B");
        OpenThroughPanel(window, u"\\c.fvc", kPassword);
        EXPECT_TRUE(FolderExists(u"A2"));
        DoubleTapItem(window, 2);
        EXPECT_EQ(ExplorerCommandLine(), "A2");
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(Opens(u"\\a.fvc", u"new password"));
    EXPECT_TRUE(Opens(u"\\b.fvc", kPassword));
}

// The resize panel lends the spin its box and the Kb range; the create panel gets both back.
TEST_F(MainDlgServicesTest, TheSizeArrowsStepTheSizeBoxAfterTheResizePanel) {
    MakeContainer(u"\\a.fvc", u"A");
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        OpenThroughPanel(window, u"\\a.fvc", kPassword);
        HWND spin = GetDlgItem(window, IDC_MAIN_SIZE_SPIN);
        RECT spinRect{};
        GetClientRect(spin, &spinRect);
        const POINT up{spinRect.right * 3 / 4, spinRect.bottom / 2};
        auto showAfterResize = [&] {
            TapItem(window, 0);
            Command(window, IDC_MAIN_RESIZE);
            ASSERT_TRUE(dialog.IsLayerVisible(u"resize"));
            Command(window, IDC_MAIN_PANEL_BACK); // to "settings"
            Command(window, IDC_MAIN_PANEL_BACK); // to "main"
            Command(window, IDC_MAIN_NEW);
            ASSERT_TRUE(dialog.IsLayerVisible(u"create"));
        };
        showAfterResize();
        ASSERT_TRUE(user::test::TapWindow(spin, up));
        user::test::RunUntilIdle();
        EXPECT_EQ(TextOf(window, IDC_MAIN_SIZE), u"101");
        EXPECT_EQ(TextOf(window, IDC_MAIN_NEW_SIZE), u"1024");

        // In Mb the arrows stop at 415 Mb's neighbour 425, also after the resize panel.
        Command(window, IDC_MAIN_UNIT_MB);
        Command(window, IDC_MAIN_PANEL_BACK);
        showAfterResize();
        SetText(window, IDC_MAIN_SIZE, u"425");
        ASSERT_TRUE(user::test::TapWindow(spin, up));
        user::test::RunUntilIdle();
        EXPECT_EQ(TextOf(window, IDC_MAIN_SIZE), u"425");
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
}

// A container that the list mounted at start: its own size and, for an empty stored name, the program's.
TEST_F(MainDlgServicesTest, AnAutoMountedContainerShowsItsSizeAndItsStoredName) {
    MakeContainer(u"\\e.fvc", u"");
    WriteList(Entry("\\e.fvc", "Listed"));
    AnswerPrompt(kPassword);
    ExpectMessage();
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        EXPECT_EQ(Items(GetDlgItem(window, IDC_MAIN_FOLDERS)),
                  std::vector<std::u16string>{u"Encrypted Folder"});
        EXPECT_TRUE(FolderExists(u"Encrypted Folder"));
        TapItem(window, 0);
        Command(window, IDC_MAIN_RESIZE);
        EXPECT_EQ(TextOf(window, IDC_MAIN_CURRENT_SIZE), u"Current size: 1024 Kb");
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
}

// A resize or password change unmounts the container; when it cannot be mounted again its slot goes, so
// that the list shows only what is mounted and unmounting everything works.
TEST_F(MainDlgServicesTest, ARewriteWhoseRemountFailsLeavesNoDeadSlot) {
    MakeContainer(u"\\a.fvc", u"A");
    MakeContainer(u"\\b.fvc", u"B");
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        OpenThroughPanel(window, u"\\a.fvc", kPassword);
        OpenThroughPanel(window, u"\\b.fvc", kPassword);
        TapItem(window, 0);
        Command(window, IDC_MAIN_PASSWORD);
        SetText(window, IDC_MAIN_OLD_PASSWORD, kPassword);
        SetText(window, IDC_MAIN_NEW_PASSWORD, u"new password");
        SetText(window, IDC_MAIN_CONFIRM_PASSWORD, u"new password");
        // The driver's key is gone: the container is let go and rewritten, but cannot come back.
        ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Drivers\\Builtin\\Ferrovane"), ERROR_SUCCESS);
        user::test::AnswerNextMessageBox(IDOK);
        Command(window, IDC_MAIN_PANEL_OK);
        EXPECT_FALSE(FolderExists(u"A"));
        EXPECT_EQ(dialog.MountTable().LastUsed(), 0);
        EXPECT_EQ(FolderOfSlot(dialog, 0), u"B");
        Command(window, IDC_MAIN_PANEL_BACK);
        EXPECT_EQ(Items(GetDlgItem(window, IDC_MAIN_FOLDERS)), std::vector<std::u16string>{u"B"});
        ExpectMessage();
        Command(window, IDC_MAIN_UNMOUNT_ALL);
        EXPECT_EQ(m_messages.back(), u"\nContainers unmounted\n succesfully.");
        EXPECT_FALSE(FolderExists(u"B"));
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
}

// Device files read and written through the platform's calls, so also on a mounted volume.
std::string ReadThroughPlatform(const std::u16string& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    return text.substr(0, read);
}

bool WriteThroughPlatform(const std::u16string& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(file);
    return ok;
}

// A program at the root of the store finds its form in "\skin".
TEST_F(MainDlgTest, AProgramAtTheRootFindsItsForm) {
    kernel::SetProgramDevicePath(u"\\ferrovane.exe");
    InstallSkin(u"\\skin\\");
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        EXPECT_TRUE(dialog.IsLayerVisible(u"main"));
        EXPECT_NE(GetDlgItem(window, IDC_MAIN_EXIT), nullptr);
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
}

// The auto-mount list on a volume that is full: the start-up reader cannot rewrite it without the entry
// of a container that is gone, and the list stays whole.
TEST_F(MainDlgServicesTest, AListThatCannotBeRewrittenStaysAsItWas) {
    // The program and its skin elsewhere, so that "\program files" can be a small volume of its own.
    kernel::SetProgramDevicePath(u"\\apps\\ferrovane.exe");
    InstallSkin(u"\\apps\\skin\\");
    const std::optional<std::filesystem::path> programFiles =
        kernel::DeviceToHostPath(u"\\program files", nullptr);
    ASSERT_TRUE(programFiles);
    std::filesystem::remove_all(*programFiles);
    apptest::MountedContainer volume =
        apptest::MountNewContainer(u"\\vol.fvc", kPassword, u"program files", 256 * 1024);
    // The volume goes before the driver does, whatever the test found.
    const std::unique_ptr<void, BOOL (*)(HANDLE)> unmount(volume.device, DeactivateDevice);
    ASSERT_EQ(volume.record.status, MOUNT_OK);
    ASSERT_TRUE(FolderExists(u"program files"));
    ASSERT_TRUE(CreateDirectoryW(u"\\program files\\ferrovane", nullptr));
    const std::string list = automount::Preamble() + Entry("\\gone.fvc", "Gone") + Entry("\\b.fvc", "B");
    ASSERT_TRUE(WriteThroughPlatform(automount::kListPath, list));
    // Every cluster taken.
    HANDLE filler =
        CreateFileW(u"\\program files\\filler", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(filler, INVALID_HANDLE_VALUE);
    const std::vector<char> chunk(512, 'x');
    DWORD written = 0;
    while (WriteFile(filler, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) &&
           written == chunk.size()) {
    }
    CloseHandle(filler);

    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        EXPECT_TRUE(dialog.IsLayerVisible(u"main")) << "the skin loaded, and the list was read";
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(ReadThroughPlatform(automount::kListPath), list);
    EXPECT_EQ(GetFileAttributesW(automount::kTempPath), INVALID_FILE_ATTRIBUTES);
}

// A host program holds the new folder while a container is made, so that its first mount cannot be let
// go for the trailer: a file stored there meanwhile survives, whether the folder is let go within the
// program's wait or only later, and no mount is left that the program does not track.
struct HeldCase {
    const char* name;
    apptest::FolderHolders::Holder holder;
    int refusals;
};

class MainDlgHeldFolderTest : public MainDlgServicesTest, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(MainDlgHeldFolderTest, ACreateWhoseNewFolderIsHeldLosesNothing) {
    using apptest::FolderHolders;
    FolderHolders holders(GetParam().holder);
    auto kept = [] {
        const std::u16string path = std::u16string(u"\\Secret\\") + FolderHolders::kKeptName;
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return std::string();
        char text[128] = {};
        DWORD read = 0;
        ReadFile(file, text, sizeof text - 1, &read, nullptr);
        CloseHandle(file);
        return std::string(text, read);
    };
    Main_Dlg dialog;
    dialog.m_newRequest = true;
    Run(dialog, [&](HWND window) {
        HWND list = GetDlgItem(window, IDC_MAIN_FOLDERS);
        holders.HoldNextFolder(GetParam().refusals);
        SetText(window, IDC_MAIN_PATH, u"\\new");
        SetText(window, IDC_MAIN_FOLDER, u"Secret");
        SetText(window, IDC_MAIN_PASSWORD_EDIT, kPassword);
        ExpectMessage();
        Command(window, IDC_MAIN_PANEL_OK);
        if (!holders.Held()) {
            // No host program can hold a folder that is not shared with the host.
            SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        EXPECT_EQ(m_messages, std::vector<std::u16string>{u"\nContainer mounted\n successfully"});
        EXPECT_GE(holders.Refused(), 1);
        // The one container mounted is the one the list shows.
        ASSERT_EQ(devices::ActiveDevices().size(), 1u);
        EXPECT_EQ(Items(list), std::vector<std::u16string>{u"Secret"});
        EXPECT_EQ(kept(), FolderHolders::kKeptText);

        // Let go at last and unmounted through the program: the container opens with its password and
        // keeps the file.
        holders.LetGo();
        TapItem(window, 0);
        ExpectMessage();
        Command(window, IDC_MAIN_UNMOUNT);
        EXPECT_EQ(m_messages.back(), u"\nContainer unmounted\n succesfully.");
        EXPECT_TRUE(devices::ActiveDevices().empty());
        OpenThroughPanel(window, u"\\new.fvc", kPassword);
        EXPECT_EQ(m_messages.back(), u"\nContainer mounted\n successfully");
        EXPECT_EQ(kept(), FolderHolders::kKeptText);
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    if (!holders.Held())
        GTEST_SKIP() << "the mounted folder is not shared with host programs here";
}

INSTANTIATE_TEST_SUITE_P(
    Holders, MainDlgHeldFolderTest,
    ::testing::Values(HeldCase{"FakeLetsGoInTime", apptest::FolderHolders::Holder::Fake, 2},
                      HeldCase{"FakeHoldsOn", apptest::FolderHolders::Holder::Fake,
                               apptest::FolderHolders::kAlways},
                      HeldCase{"HostShellLetsGoInTime", apptest::FolderHolders::Holder::HostProcess, 2},
                      HeldCase{"HostShellHoldsOn", apptest::FolderHolders::Holder::HostProcess,
                               apptest::FolderHolders::kAlways}),
    [](const ::testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.name); });

TEST_F(MainDlgTest, ACopyDataRequestAndTheTrayBringTheWindowBack) {
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        EXPECT_TRUE(dialog.IsLayerVisible(u"main"));
        // An open request carries a path; it is answered as a new one.
        std::u16string path = u"\\a.fvc";
        COPYDATASTRUCT data{1, static_cast<DWORD>(path.size() * 2), path.data()};
        Command(window, IDC_MAIN_HIDE);
        EXPECT_FALSE(IsWindowVisible(window));
        SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        user::test::RunUntilIdle();
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_TRUE(dialog.IsLayerVisible(u"create"));
        EXPECT_EQ(TextOf(window, IDC_MAIN_SIZE), u"100");
        EXPECT_EQ(TextOf(window, IDC_MAIN_FOLDER), u"Encrypted Folder");
        EXPECT_FALSE(Visible(window, IDC_MAIN_FOLDERS));
        Command(window, IDC_MAIN_PANEL_BACK);
        EXPECT_TRUE(dialog.IsLayerVisible(u"main"));
        EXPECT_TRUE(Visible(window, IDC_MAIN_FOLDERS));

        Command(window, IDC_MAIN_HIDE);
        EXPECT_FALSE(IsWindowVisible(window));
        SendMessageW(window, Main_Dlg::kTrayMessage, CTrayIcon::kIconId, WM_LBUTTONUP);
        user::test::RunUntilIdle();
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(GetForegroundWindow(), window);
        // WM_CLOSE does not end the program.
        SendMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(window));
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
}

// The form and the list's place follow the screen's height.
struct ScreenCase {
    int height;
    int listBottom;
    int exitHeight;
};

class MainDlgScreenTest : public MainDlgTest, public ::testing::WithParamInterface<ScreenCase> {
protected:
    SIZE ScreenSize() const override { return SIZE{240, GetParam().height}; }
};

TEST_P(MainDlgScreenTest, TheFormAndTheListFitTheScreen) {
    Main_Dlg dialog;
    Run(dialog, [&](HWND window) {
        RECT list = user::test::ScreenRect(GetDlgItem(window, IDC_MAIN_FOLDERS));
        RECT exit = user::test::ScreenRect(GetDlgItem(window, IDC_MAIN_EXIT));
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        EXPECT_EQ(list.left - origin.x, 5);
        EXPECT_EQ(list.top - origin.y, 5);
        EXPECT_EQ(list.right - origin.x, 145);
        EXPECT_EQ(list.bottom - origin.y, GetParam().listBottom);
        // The small form's buttons are the lower ones.
        EXPECT_EQ(exit.bottom - exit.top, GetParam().exitHeight);
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
}

INSTANTIATE_TEST_SUITE_P(Heights, MainDlgScreenTest,
                         ::testing::Values(ScreenCase{240, 167, 24}, ScreenCase{241, 240, 26}),
                         [](const ::testing::TestParamInfo<ScreenCase>& info) {
                             return "Screen" + std::to_string(info.param.height);
                         });

} // namespace
