// File information: folders and files in the system icon list, a file type's own icon from its
// DefaultIcon, the icon handed out, and the requests refused.

#include "shell/FileInfo.h"

#include <gtest/gtest.h>

#include <string>

#include "commctrl/CommCtrl.h"
#include "kernel/Kernel.h"
#include "kernel/Resources.h"
#include "testing/IconBytes.h"
#include "user/Icon.h"
#include "user/User.h"
#include "user/WindowTest.h"

namespace {

constexpr COLORREF kGreen = RGB(0, 255, 0);

// Icon resource 145 of this program, green at 16 and at 32 pixels.
const std::vector<uint8_t> kSmallImage = icon_bytes::IconImage(
    16, 24, [](int, int) { return true; }, [](int, int) { return kGreen; });
const std::vector<uint8_t> kLargeImage = icon_bytes::IconImage(
    32, 24, [](int, int) { return true; }, [](int, int) { return kGreen; });
const std::vector<uint8_t> kGroup = icon_bytes::Group({{16, 24, 11}, {32, 24, 12}});
const kernel::ResourceEntry kResources[] = {
    {RT_ICON, MAKEINTRESOURCE(11), kSmallImage.data(), kSmallImage.size()},
    {RT_ICON, MAKEINTRESOURCE(12), kLargeImage.data(), kLargeImage.size()},
    {RT_GROUP_ICON, MAKEINTRESOURCE(145), kGroup.data(), kGroup.size()},
};
const kernel::ResourceTable kResourceTable(kResources);

void SetDefault(const std::u16string& key, const std::u16string& text) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, 0, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * 2));
    RegCloseKey(handle);
}

class FileInfoTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        kernel::SetProgramDevicePath(u"\\program files\\ferrovane\\ferrovane.exe");
        SetDefault(u".fvc", u"FerrovaneContainer");
        SetDefault(u"FerrovaneContainer\\DefaultIcon", u"\\Program Files\\Ferrovane\\ferrovane.exe,-145");
        SetDefault(u".nomodule", u"NoModuleType");
        SetDefault(u"NoModuleType\\DefaultIcon", u"\\windows\\NotLoaded.dll,-1");
        SetDefault(u".badicon", u"BadIconType");
        SetDefault(u"BadIconType\\DefaultIcon", u"no comma here");
        // The system image lists, with the container type's icon, live as long as the process: they are
        // made before the fixture counts GDI objects.
        m_small = reinterpret_cast<HIMAGELIST>(IndexAndList(u"x.fvc", SHGFI_SMALLICON).second);
        m_large = reinterpret_cast<HIMAGELIST>(IndexAndList(u"x.fvc", SHGFI_LARGEICON).second);
        WindowTest::SetUp();
        CreateDirectoryW(u"\\Folder", nullptr);
    }
    static std::pair<int, DWORD_PTR> IndexAndList(const WCHAR* path, UINT size) {
        SHFILEINFO info{};
        DWORD_PTR list =
            SHGetFileInfo(path, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | size);
        return {info.iIcon, list};
    }
    void TearDown() override {
        kernel::SetProgramDevicePath(u"");
        WindowTest::TearDown();
    }

    HIMAGELIST m_small = nullptr;
    HIMAGELIST m_large = nullptr;
    static int IndexOf(const WCHAR* path, DWORD attributes, UINT extraFlags = SHGFI_USEFILEATTRIBUTES) {
        SHFILEINFO info{};
        info.iIcon = -1;
        DWORD_PTR list = SHGetFileInfo(path, attributes, &info, sizeof info,
                                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON | extraFlags);
        return list != 0 ? info.iIcon : -2;
    }
    // The colour of the icon's middle, drawn on a bitmap of the screen's kind.
    static COLORREF Middle(HICON icon, int size) {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 64);
        ReleaseDC(nullptr, screen);
        HGDIOBJ previous = SelectObject(dc, bitmap);
        EXPECT_TRUE(DrawIconEx(dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
        COLORREF middle = GetPixel(dc, size / 2, size / 2);
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
        return middle;
    }
};

TEST_F(FileInfoTest, FoldersFilesAndTypesGetTheirIndicesInTheSystemList) {
    SHFILEINFO info{};
    ASSERT_NE(m_small, nullptr);
    ASSERT_NE(m_large, nullptr);
    EXPECT_NE(m_small, m_large);
    EXPECT_EQ(SHGetFileInfo(u"~.~", 0, &info, sizeof info,
                            SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES),
              reinterpret_cast<DWORD_PTR>(m_small));
    EXPECT_EQ(info.iIcon, shell::kFileIconIndex);

    EXPECT_EQ(IndexOf(u"\\Folder", 0, 0), shell::kFolderIconIndex); // read from the folder itself
    EXPECT_EQ(IndexOf(u"\\Anything", FILE_ATTRIBUTE_DIRECTORY), shell::kFolderIconIndex);
    EXPECT_EQ(IndexOf(u"\\Folder\\notes.txt", 0), shell::kFileIconIndex);
    EXPECT_EQ(IndexOf(u"\\Folder\\x.nomodule", 0), shell::kFileIconIndex);
    EXPECT_EQ(IndexOf(u"\\Folder\\x.badicon", 0), shell::kFileIconIndex);

    int container = IndexOf(u"\\Folder\\secret.fvc", 0);
    EXPECT_GE(container, 2);
    EXPECT_EQ(IndexOf(u"\\Other\\SECOND.FVC", 0), container); // one entry a type
    EXPECT_GT(shell::SystemIconCount(), container);
    EXPECT_EQ(Middle(shell::SystemIcon(container, true), 16), kGreen);
    EXPECT_EQ(Middle(shell::SystemIcon(container, false), 32), kGreen);
    EXPECT_EQ(shell::SystemIcon(shell::SystemIconCount(), true), nullptr);
}

TEST_F(FileInfoTest, TheImageListsHoldTheSystemIcons) {
    int container = IndexAndList(u"y.fvc", SHGFI_SMALLICON).first;
    for (HIMAGELIST list : {m_small, m_large}) {
        int side = list == m_small ? 16 : 32;
        EXPECT_EQ(ImageList_GetImageCount(list), shell::SystemIconCount());
        int cx = 0, cy = 0;
        ASSERT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
        EXPECT_EQ(cx, side);
        EXPECT_EQ(cy, side);
        // Drawn on white: the type's icon is green all over; the folder icon's corner shows through.
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 64);
        ReleaseDC(nullptr, screen);
        HGDIOBJ previous = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, 64, 64, WHITENESS);
        ASSERT_TRUE(ImageList_Draw(list, container, dc, 0, 0, ILD_NORMAL));
        ASSERT_TRUE(ImageList_Draw(list, shell::kFolderIconIndex, dc, 32, 32, ILD_NORMAL));
        EXPECT_EQ(GetPixel(dc, side / 2, side / 2), kGreen);
        EXPECT_EQ(GetPixel(dc, 32, 32), RGB(255, 255, 255));
        EXPECT_NE(GetPixel(dc, 32 + side / 2, 32 + side / 2), RGB(255, 255, 255));
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}

TEST_F(FileInfoTest, TheIconAndTheNameAreTheCallers) {
    SHFILEINFO info{};
    ASSERT_EQ(SHGetFileInfo(u"\\Folder\\secret.fvc", 0, &info, sizeof info,
                            SHGFI_ICON | SHGFI_DISPLAYNAME | SHGFI_USEFILEATTRIBUTES),
              1u);
    ASSERT_NE(info.hIcon, nullptr);
    EXPECT_EQ(std::u16string(info.szDisplayName), u"secret.fvc");
    EXPECT_EQ(Middle(info.hIcon, 32), kGreen);
    EXPECT_TRUE(DestroyIcon(info.hIcon));
    // The list's own icon stays.
    EXPECT_EQ(Middle(shell::SystemIcon(info.iIcon, false), 32), kGreen);
}

TEST_F(FileInfoTest, RequestsThatCannotBeAnsweredFail) {
    SHFILEINFO info{};
    struct Case {
        const WCHAR* path;
        SHFILEINFO* record;
        UINT size;
        UINT flags;
        DWORD error;
    };
    for (const Case& c : {
             Case{u"\\Folder\\missing.txt", &info, sizeof info, SHGFI_SYSICONINDEX, ERROR_FILE_NOT_FOUND},
             Case{nullptr, &info, sizeof info, SHGFI_SYSICONINDEX, ERROR_INVALID_PARAMETER},
             Case{u"~.~", &info, sizeof info - 4, SHGFI_SYSICONINDEX, ERROR_INVALID_PARAMETER},
             Case{u"~.~", &info, sizeof info, SHGFI_SYSICONINDEX | 0x400, ERROR_INVALID_PARAMETER},
             Case{u"~.~", nullptr, 0, SHGFI_ICON | SHGFI_USEFILEATTRIBUTES, ERROR_INVALID_PARAMETER},
         }) {
        SetLastError(0);
        EXPECT_EQ(SHGetFileInfo(c.path, 0, c.record, c.size, c.flags), 0u);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_NE(SHGetFileInfo(u"~.~", 0, nullptr, 0, SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES), 0u);
}

} // namespace
