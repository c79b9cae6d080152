// The file chooser: a device folder listed with its sub-folders first and the files of the chosen type
// with their icons and sizes, folders opened by a tap and left by the command bar's button, a file chosen
// by a tap, by Enter on the list or by its typed name, Cancel, the paths it refuses, and its layout on a
// screen of another shape.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FileDialog.h"
#include "Resource.h"
#include "SkinTestSupport.h"
#include "kernel/Files.h"
#include "kernel/Modules.h"
#include "kernel/Registry.h"
#include "shell/FileInfo.h"
#include "user/Dialog.h"
#include "user/Icon.h"

namespace {

using user::test::AdvanceTime;
using user::test::ModalInfo;
using user::test::ModalKind;
using user::test::RunUntilIdle;

const char16_t kTitle[] = u"Choose file: ";
const char16_t kFilter[] = u"Ferrovane Containers(*.fvc)|*.fvc|All files(*.*)|*.*||";
constexpr int kFile = shell::kFileIconIndex;
constexpr int kFolder = shell::kFolderIconIndex;

// A row of the list as it shows: name, comment and icon.
struct Row {
    std::u16string name;
    std::u16string comment;
    int icon;
    bool operator==(const Row&) const = default;
};

[[maybe_unused]] std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "{" << std::string(row.name.begin(), row.name.end()) << ", "
               << std::string(row.comment.begin(), row.comment.end()) << ", " << row.icon << "}";
}

class FileDialogTest : public skintest::SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        // The main dialog's place: the whole screen below the task bar.
        ASSERT_TRUE(m_main.CreateEx(0, nullptr, u"Ferrovane", WS_POPUP | WS_VISIBLE, 0, 26, 240, 294, nullptr,
                                    nullptr));
        // The first run makes what lives to the end of the program: the shell's icon list and the title
        // font. The fixture counts GDI objects after it.
        CPocketFileDialog first(&m_main);
        Run(first, u"\\", [](HWND dialog) { Cancel(dialog); });
        m_objectsAtStart = gdi::OpenObjectCount();
    }
    void TearDown() override {
        m_main.DestroyWindow();
        CWnd::DeleteTempMap();
        SkinTest::TearDown();
    }

    // \Data: two folders and a text file beside containers of three sizes, names in both letter cases.
    void WriteDataFolder() {
        WriteDeviceFile(u"\\Data\\b.fvc", std::string(1023, 'b'));
        WriteDeviceFile(u"\\Data\\a.fvc", std::string(1024, 'a'));
        WriteDeviceFile(u"\\Data\\C.fvc", std::string(1048576, 'c'));
        WriteDeviceFile(u"\\Data\\notes.txt", "notes");
        WriteDeviceFile(u"\\Data\\sub\\inner.fvc", "inner");
        ASSERT_TRUE(CreateDirectoryW(u"\\Data\\Empty", nullptr));
    }

    // Runs the chooser with the action inside its loop, once the dialog has painted; the chooser's result.
    static INT_PTR Run(CPocketFileDialog& dialog, LPCWSTR initialPath, std::function<void(HWND)> action,
                       LPCWSTR filter = kFilter) {
        user::test::OnNextModal(ModalKind::Dialog, u"", [action](const ModalInfo& info) {
            RunUntilIdle();
            action(info.window);
        });
        return dialog.Browse(kTitle, filter, initialPath);
    }

    static void Cancel(HWND dialog) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }
    static CListCtrl* List(HWND dialog) {
        return static_cast<CListCtrl*>(CWnd::FromHandlePermanent(GetDlgItem(dialog, IDC_FILE_LIST)));
    }
    static std::vector<Row> Rows(HWND dialog) {
        std::vector<Row> rows;
        CListCtrl* list = List(dialog);
        for (int i = 0; i < list->GetItemCount(); ++i) {
            LVITEM item{};
            item.mask = LVIF_IMAGE;
            item.iItem = i;
            list->GetItem(&item);
            rows.push_back({std::u16string(list->GetItemText(i, 0)), std::u16string(list->GetItemText(i, 1)),
                            item.iImage});
        }
        return rows;
    }
    static std::vector<std::u16string> Names(HWND dialog) {
        std::vector<std::u16string> names;
        for (const Row& row : Rows(dialog))
            names.push_back(row.name);
        return names;
    }
    static int RowOf(HWND dialog, std::u16string_view name) {
        const std::vector<std::u16string> names = Names(dialog);
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return static_cast<int>(i);
        return -1;
    }
    static std::u16string Folder(HWND dialog) {
        return user::test::Text(GetDlgItem(dialog, IDC_FILE_FOLDER));
    }
    static std::u16string NameBox(HWND dialog) { return user::test::Text(GetDlgItem(dialog, IDC_FILE_NAME)); }

    // A tap on the row's name, apart in time from the tap before it.
    static void TapRow(HWND dialog, std::u16string_view name) {
        const int row = RowOf(dialog, name);
        ASSERT_GE(row, 0) << std::string(name.begin(), name.end());
        CRect rect;
        List(dialog)->GetItemRect(row, &rect, LVIR_LABEL);
        AdvanceTime(1000);
        ASSERT_TRUE(user::test::TapWindow(List(dialog)->m_hWnd, rect.CenterPoint()));
        RunUntilIdle();
    }
    // A tap on the command bar's button.
    static void TapUp(HWND dialog) {
        HWND bar = GetDlgItem(dialog, AFX_IDW_TOOLBAR);
        ASSERT_NE(bar, nullptr);
        RECT button{};
        ASSERT_TRUE(SendMessageW(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button)));
        POINT centre{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
        ClientToScreen(bar, &centre);
        AdvanceTime(1000);
        user::test::Tap(centre);
        RunUntilIdle();
    }
    // Chooses the type box's item as the user does: the selection, then its notification to the dialog.
    static void ChooseType(HWND dialog, int item) {
        HWND types = GetDlgItem(dialog, IDC_FILE_TYPE);
        SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_FILE_TYPE, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(types));
        RunUntilIdle();
    }

    CWnd m_main;
};

TEST_F(FileDialogTest, ListsSubFoldersFirstThenTheFilesOfTheChosenType) {
    WriteDataFolder();
    CPocketFileDialog dialog(&m_main);
    const INT_PTR result = Run(dialog, u"\\Data\\start.fvc", [](HWND window) {
        EXPECT_EQ(user::test::Text(window), kTitle);
        // The title line in its own colour.
        HWND title = GetDlgItem(window, IDC_FILE_TITLE);
        EXPECT_EQ(user::test::Text(title), kTitle);
        RECT line{};
        GetClientRect(title, &line);
        int titlePixels = 0;
        for (int y = 0; y < line.bottom; ++y)
            for (int x = 0; x < line.right; ++x)
                titlePixels += user::test::WindowPixel(title, x, y) == user::test::OnScreen(0xAF0000) ? 1 : 0;
        EXPECT_GT(titlePixels, 20);
        EXPECT_EQ(Folder(window), u"\\Data\\");
        EXPECT_EQ(NameBox(window), u"start.fvc");
        // Each group in ordinal order: upper-case names before lower-case ones.
        EXPECT_EQ(Rows(window), (std::vector<Row>{{u"Empty", u"Folder", kFolder},
                                                  {u"sub", u"Folder", kFolder},
                                                  {u"C.fvc", u"1.0M", kFile},
                                                  {u"a.fvc", u"1.0K", kFile},
                                                  {u"b.fvc", u"1023B", kFile}}));

        HWND types = GetDlgItem(window, IDC_FILE_TYPE);
        ASSERT_EQ(SendMessageW(types, CB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(SendMessageW(types, CB_GETCURSEL, 0, 0), 0);
        WCHAR text[64] = {};
        SendMessageW(types, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text));
        EXPECT_EQ(std::u16string(text), u"All files(*.*)");
        // All files: the same folder again, with the text file.
        ChooseType(window, 1);
        EXPECT_EQ(Folder(window), u"\\Data\\");
        EXPECT_EQ(Names(window), (std::vector<std::u16string>{u"Empty", u"sub", u"C.fvc", u"a.fvc", u"b.fvc",
                                                              u"notes.txt"}));
        Cancel(window);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(std::u16string(dialog.GetPathName()), u"");
}

// Once the container file type is registered as its registration script does it, container files show the
// program's own icon for them (icon 145), a padlock on a sheet; other files keep the plain one.
TEST_F(FileDialogTest, ContainerFilesShowTheProgramsIconForThem) {
    kernel::SetProgramDevicePath(u"\\program files\\ferrovane\\ferrovane.exe");
    auto setDefault = [](const std::u16string& key, const std::u16string& text) {
        HKEY handle = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, 0, nullptr, &handle, nullptr),
            ERROR_SUCCESS);
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * 2));
        RegCloseKey(handle);
    };
    setDefault(u".fvc", u"FerrovaneContainer");
    setDefault(u"FerrovaneContainer\\DefaultIcon", u"\\program files\\ferrovane\\ferrovane.exe,-145");
    WriteDataFolder();
    CPocketFileDialog dialog(&m_main);
    int containerIcon = kFile;
    Run(dialog, u"\\Data\\", [&](HWND window) {
        ChooseType(window, 1);
        const std::vector<Row> rows = Rows(window);
        ASSERT_EQ(rows.size(), 6u);
        containerIcon = rows[2].icon;
        for (size_t i = 2; i < 5; ++i)
            EXPECT_EQ(rows[i].icon, containerIcon) << std::string(rows[i].name.begin(), rows[i].name.end());
        EXPECT_EQ(rows[5].icon, kFile) << "notes.txt";
        Cancel(window);
    });
    kernel::SetProgramDevicePath({});
    // The shell's icon list keeps the type's icons to the end of the process.
    m_objectsAtStart = gdi::OpenObjectCount();
    ASSERT_GT(containerIcon, kFolder);
    // The padlock's dark body in the middle of the white sheet.
    HICON icon = shell::SystemIcon(containerIcon, false);
    ASSERT_NE(icon, nullptr);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    EXPECT_EQ(GetPixel(dc, 10, 20), user::test::OnScreen(RGB(0x30, 0x30, 0x30)));
    EXPECT_EQ(GetPixel(dc, 6, 28), user::test::OnScreen(RGB(0xFF, 0xFF, 0xFF)));
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST_F(FileDialogTest, TapsOpenFoldersAndTheBarButtonGoesUpToTheRootAndNoFurther) {
    WriteDataFolder();
    CPocketFileDialog dialog(&m_main);
    // An empty initial path is the root.
    Run(dialog, u"", [](HWND window) {
        // The bar's button lies under no other control, so it shows whole and takes the tap.
        HWND bar = GetDlgItem(window, AFX_IDW_TOOLBAR);
        RECT button{};
        ASSERT_TRUE(SendMessageW(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button)));
        MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&button), 2);
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            RECT place = user::test::ScreenRect(child);
            RECT overlap{};
            if (child != bar && IsWindowVisible(child)) {
                EXPECT_FALSE(IntersectRect(&overlap, &place, &button)) << "control " << GetDlgCtrlID(child);
            }
        }
        EXPECT_EQ(Folder(window), u"\\");
        TapRow(window, u"Data");
        EXPECT_EQ(Folder(window), u"\\Data\\");
        TapRow(window, u"sub");
        EXPECT_EQ(Folder(window), u"\\Data\\sub\\");
        EXPECT_EQ(Rows(window), (std::vector<Row>{{u"inner.fvc", u"5B", kFile}}));
        TapUp(window);
        EXPECT_EQ(Folder(window), u"\\Data\\");
        EXPECT_EQ(RowOf(window, u"a.fvc"), 3);
        TapRow(window, u"Empty");
        EXPECT_EQ(Folder(window), u"\\Data\\Empty\\");
        EXPECT_TRUE(Rows(window).empty());
        for (const char16_t* expected : {u"\\Data\\", u"\\", u"\\"}) {
            TapUp(window);
            EXPECT_EQ(Folder(window), expected);
        }
        EXPECT_GE(RowOf(window, u"Data"), 0);
        Cancel(window);
    });
}

TEST_F(FileDialogTest, ATapOnAFileOrEnterOnTheListOpensOrChoosesTheSelectedRow) {
    WriteDataFolder();
    struct Case {
        const char* name;
        bool enter;
        std::u16string row;
        INT_PTR result;
        std::u16string path;
    };
    const Case cases[] = {
        {"tap on a file", false, u"a.fvc", IDOK, u"\\Data\\a.fvc"},
        {"Enter on a file", true, u"b.fvc", IDOK, u"\\Data\\b.fvc"},
        // The folder opens; the dialog goes on until the test cancels it.
        {"Enter on a folder", true, u"sub", IDCANCEL, u""},
        // Nothing selected: Enter does nothing, and is not taken for OK either.
        {"Enter without a selection", true, u"", IDCANCEL, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPocketFileDialog dialog(&m_main);
        const INT_PTR result = Run(dialog, u"\\Data\\typed.fvc", [&c](HWND window) {
            if (!c.enter) {
                TapRow(window, c.row);
                return;
            }
            CListCtrl* list = List(window);
            list->SetFocus();
            if (!c.row.empty())
                list->SetItemState(RowOf(window, c.row), LVIS_SELECTED, LVIS_SELECTED);
            user::test::PressKey(VK_RETURN);
            RunUntilIdle();
            if (c.result == IDOK)
                return;
            EXPECT_EQ(Folder(window), c.row.empty() ? u"\\Data\\" : u"\\Data\\" + c.row + u"\\");
            Cancel(window);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(std::u16string(dialog.GetPathName()), c.path);
    }
}

TEST_F(FileDialogTest, OkTakesTheFolderAndTheTypedName) {
    WriteDataFolder();
    struct Case {
        const char* name;
        std::u16string typed;
        std::u16string path;
    };
    const Case cases[] = {
        {"a new name", u"new.fvc", u"\\Data\\new.fvc"},
        // An empty name box gives the folder itself; the caller checks the path.
        {"nothing", u"", u"\\Data\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPocketFileDialog dialog(&m_main);
        const INT_PTR result = Run(dialog, u"\\Data\\start.fvc", [&c](HWND window) {
            HWND name = GetDlgItem(window, IDC_FILE_NAME);
            SetFocus(name);
            SendMessageW(name, EM_SETSEL, 0, -1);
            user::test::PressKey(VK_BACK);
            user::test::TypeText(c.typed);
            // Enter in the name box is the dialog's OK.
            user::test::PressKey(VK_RETURN);
            RunUntilIdle();
        });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(std::u16string(dialog.GetPathName()), c.path);
    }
}

TEST_F(FileDialogTest, BrowseRunsNothingForAPathWithoutBackslashOrTooLong) {
    const std::u16string longest = u"\\" + std::u16string(MAX_PATH - 2, u'n');
    const std::u16string tooLong = longest + u"n";
    for (const std::u16string& path : {std::u16string(u"start.fvc"), tooLong}) {
        SCOPED_TRACE(path.size());
        CPocketFileDialog dialog(&m_main);
        // No modal loop is expected: one would fail the test.
        EXPECT_EQ(dialog.Browse(kTitle, kFilter, path.c_str()), IDCANCEL);
        EXPECT_EQ(std::u16string(dialog.GetPathName()), u"");
    }
    CPocketFileDialog dialog(&m_main);
    EXPECT_EQ(Run(dialog, longest.c_str(), [](HWND window) { PostMessageW(window, WM_COMMAND, IDOK, 0); }),
              IDOK);
    EXPECT_EQ(std::u16string(dialog.GetPathName()), longest);
}

TEST_F(FileDialogTest, PathsLongerThanADevicePathAreNeitherListedNorChosen) {
    // The folder's path has 252 units with its '\'; an entry may add 7 more.
    const std::u16string folder = u"\\" + std::u16string(250, u'd') + u"\\";
    WriteDeviceFile(folder + u"seven.x", "1");
    WriteDeviceFile(folder + u"eight.xy", "2");
    WriteDeviceFile(folder + u"sixsix\\x", "3");
    WriteDeviceFile(folder + u"seven77\\x", "4");
    CPocketFileDialog dialog(&m_main);
    const INT_PTR result = Run(
        dialog, folder.c_str(),
        [&folder](HWND window) {
            // A folder is opened with a '\' after its name, which must fit too.
            EXPECT_EQ(Names(window), (std::vector<std::u16string>{u"sixsix", u"seven.x"}));
            TapRow(window, u"sixsix");
            // 259 units: a search in it cannot be made, so the list is empty; the folder still shows.
            EXPECT_EQ(Folder(window), folder + u"sixsix\\");
            EXPECT_TRUE(Rows(window).empty());
            TapUp(window);
            // A typed name that makes the path too long keeps the dialog open.
            HWND name = GetDlgItem(window, IDC_FILE_NAME);
            SetWindowTextW(name, u"eight.xy");
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            RunUntilIdle();
            ASSERT_EQ(user::test::CurrentModalWindow(), window);
            EXPECT_EQ(GetFocus(), name);
            SetWindowTextW(name, u"seven.x");
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            RunUntilIdle();
        },
        u"All files(*.*)|*.*||");
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(std::u16string(dialog.GetPathName()), folder + u"seven.x");
}

TEST(FileDialogFilterTest, PairsAreReadUpToTheDoubleBar) {
    struct Case {
        const char16_t* filter;
        std::vector<std::pair<std::u16string, std::u16string>> pairs;
    };
    const Case cases[] = {
        {u"Containers(*.fvc)|*.fvc|All files(*.*)|*.*||",
         {{u"Containers(*.fvc)", u"*.fvc"}, {u"All files(*.*)", u"*.*"}}},
        {u"One|*.a|", {{u"One", u"*.a"}}},
        // Without the closing bars: the last pattern runs to the end; a description alone is no pair.
        {u"One|*.a|Two|*.b", {{u"One", u"*.a"}, {u"Two", u"*.b"}}},
        {u"One|*.a|Two", {{u"One", u"*.a"}}},
        {u"One|*.a|Two|", {{u"One", u"*.a"}}},
        {u"One||", {}},
        {u"|*.a|", {}},
        {u"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.filter, c.filter + std::char_traits<char16_t>::length(c.filter)));
        std::vector<std::pair<std::u16string, std::u16string>> pairs;
        const CString filter(c.filter);
        for (int pos = 0; pos >= 0;) {
            CString description;
            CString pattern;
            pos = CPocketFileDialog::ParseFilterPair(filter, pos, &description, &pattern);
            if (!pattern.IsEmpty())
                pairs.emplace_back(std::u16string(description), std::u16string(pattern));
            else
                EXPECT_TRUE(description.IsEmpty());
        }
        EXPECT_EQ(pairs, c.pairs);
    }
}

TEST(FileDialogSizeTest, SizesInBytesKilobytesAndMegabytes) {
    const std::pair<DWORD, std::u16string> cases[] = {
        {0, u"0B"},         {1023, u"1023B"},         {1024, u"1.0K"}, {1536, u"1.5K"}, {1048575, u"1024.0K"},
        {1048576, u"1.0M"}, {0xFFFFFFFF, u"4096.0M"},
    };
    for (const auto& [size, text] : cases)
        EXPECT_EQ(std::u16string(CPocketFileDialog::FormatFileSize(size)), text) << size;
}

// On a landscape screen the controls widen and the list ends higher, by the screen's change of shape.
class FileDialogLandscapeTest : public FileDialogTest {
protected:
    SIZE ScreenSize() const override { return SIZE{320, 240}; }
};

TEST_F(FileDialogLandscapeTest, ControlsFollowTheScreensShape) {
    CPocketFileDialog dialog(&m_main);
    Run(dialog, u"\\", [](HWND window) {
        // The template's place of a control, in pixels, and where it is now.
        auto templateRect = [window](RECT units) {
            MapDialogRect(window, &units);
            return units;
        };
        auto placed = [window](int id) {
            RECT rect{};
            GetWindowRect(GetDlgItem(window, id), &rect);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
            return rect;
        };
        const RECT list = templateRect({6, 60, 156, 164});
        EXPECT_EQ(placed(IDC_FILE_LIST).right, list.right + 80);
        EXPECT_EQ(placed(IDC_FILE_LIST).bottom, list.bottom - 80);
        for (int id : {IDC_FILE_FOLDER, IDC_FILE_NAME})
            EXPECT_EQ(placed(id).right, templateRect({30, 17, 156, 31}).right + 80) << id;
        const RECT cancel = templateRect({114, 1, 158, 15});
        EXPECT_EQ(placed(IDCANCEL).left, cancel.left + 80);
        EXPECT_EQ(placed(IDC_FILE_TITLE).right,
                  templateRect({6, 3, 108, 15}).right + 80 - (cancel.right - cancel.left));
        Cancel(window);
    });
}

} // namespace
