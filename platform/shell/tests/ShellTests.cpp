#include "shell/Shell.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "com/Runtime.h"
#include "crt/Crt.h"
#include "kernel/Kernel.h"
#include "testing/DeviceRootTest.h"
#include "testing/TestServer.h" // the in-process server of the COM tests

namespace {

std::string HostText(const WCHAR* devicePath) {
    DWORD error = 0;
    std::ifstream in(kernel::DeviceToHostPath(devicePath, &error).value_or(""), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void SetDefault(HKEY root, const std::u16string& key, const std::u16string& text) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, 0, nullptr, &handle, nullptr), ERROR_SUCCESS);
    RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * 2));
    RegCloseKey(handle);
}

// The test program reports its command line under HKCU\Software\KernelTests.
class ShellTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        Install(SHELL_TEST_MANIFEST);
    }
    static BOOL Execute(const WCHAR* file, const WCHAR* parameters, HANDLE* process) {
        SHELLEXECUTEINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpFile = file;
        info.lpParameters = parameters;
        info.nShow = SW_SHOW;
        BOOL ok = ShellExecuteEx(&info);
        *process = info.hProcess;
        return ok;
    }
    static void WaitAndClose(HANDLE process) {
        ASSERT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
        CloseHandle(process);
    }
};

TEST_F(ShellTest, SpecialFoldersAreTheHandheldsOnEveryDeviceAndCanBeMadeAgain) {
    // A fresh device root holds every one of them.
    for (int folder :
         {CSIDL_PROGRAMS, CSIDL_PERSONAL, CSIDL_FAVORITES, CSIDL_STARTUP, CSIDL_RECENT, CSIDL_STARTMENU,
          CSIDL_DESKTOPDIRECTORY, CSIDL_FONTS, CSIDL_WINDOWS, CSIDL_PROGRAM_FILES}) {
        WCHAR path[MAX_PATH];
        ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, folder, FALSE)) << folder;
        EXPECT_NE(GetFileAttributesW(path) & FILE_ATTRIBUTE_DIRECTORY, 0u) << folder;
        EXPECT_NE(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES) << folder;
    }
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_STARTUP, FALSE));
    EXPECT_EQ(std::u16string(path), u"\\Windows\\StartUp");
    ASSERT_TRUE(RemoveDirectoryW(path));
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_STARTUP, TRUE));
    EXPECT_NE(GetFileAttributesW(path) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x7777, FALSE));
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, nullptr, CSIDL_STARTUP, FALSE));
}

TEST_F(ShellTest, ShortcutsAreTheCountAHashAndTheTarget) {
    WCHAR path[MAX_PATH];
    SHGetSpecialFolderPath(nullptr, path, CSIDL_STARTUP, TRUE);
    std::u16string link = std::u16string(path) + u"\\ferrovane.exe.lnk";
    WCHAR target[] = u"\"\\program files\\ferrovane\\ferrovane.exe\" -hide";
    ASSERT_TRUE(SHCreateShortcut(link.data(), target));
    EXPECT_EQ(HostText(link.c_str()), "46#\"\\program files\\ferrovane\\ferrovane.exe\" -hide");

    WCHAR back[MAX_PATH];
    ASSERT_TRUE(SHGetShortcutTarget(link.c_str(), back, MAX_PATH));
    EXPECT_EQ(std::u16string(back), target);

    WCHAR missingFolder[] = u"\\No Such Folder\\x.lnk";
    EXPECT_FALSE(SHCreateShortcut(missingFolder, target));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(ShellTest, ExecuteStartsAProgramWithItsParameters) {
    HANDLE process = nullptr;
    ASSERT_TRUE(Execute(u"TestProgram.exe", u"report  two  blanks", &process)) << GetLastError();
    WaitAndClose(process);
    EXPECT_EQ(testing_support::ReportedCommandLine(), u"report  two  blanks");

    EXPECT_FALSE(Execute(u"\\program files\\ferrovane\\ferrovane.exe", u"-new", &process));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ShellTest, DocumentsOpenThroughTheirTypesCommand) {
    SetDefault(HKEY_CLASSES_ROOT, u".fvc", u"FerrovaneContainer");
    SetDefault(HKEY_CLASSES_ROOT, u"FerrovaneContainer\\Shell\\Open\\Command", u"TestProgram.exe  report %1");
    HANDLE process = nullptr;
    ASSERT_TRUE(Execute(u"\\My Documents\\secret.fvc", nullptr, &process)) << GetLastError();
    WaitAndClose(process);
    EXPECT_EQ(testing_support::ReportedCommandLine(), u"report \\My Documents\\secret.fvc");

    EXPECT_FALSE(Execute(u"\\My Documents\\notes.xyz", nullptr, &process));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
}

TEST_F(ShellTest, ChoosingANewMenuEntryCreatesTheRegisteredObject) {
    const std::u16string entry =
        std::u16string(u"SOFTWARE\\Microsoft\\Shell\\Extensions\\NewMenu\\") + kTestObjectClsidText;
    SetDefault(HKEY_LOCAL_MACHINE, entry, u"Test Object");
    EXPECT_TRUE(shell::NewMenuEntries().empty()); // not enabled yet
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, entry.c_str(), 0, 0, &key);
    DWORD one = 1;
    RegSetValueExW(key, u"Enabled", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
    RegCloseKey(key);
    auto entries = shell::NewMenuEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, u"Test Object");
    EXPECT_TRUE(entries[0].clsid == CLSID_TestObject);

    // Until the server is registered the choice finds no class.
    EXPECT_EQ(shell::ChooseNewMenuEntry(CLSID_TestObject), REGDB_E_CLASSNOTREG);
    HMODULE server = LoadLibraryW(u"\\windows\\TestServer.dll");
    ASSERT_NE(server, nullptr);
    auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(server, "DllRegisterServer"));
    ASSERT_EQ(registerServer(), S_OK);
    auto constructions =
        reinterpret_cast<TestServerCounter>(GetProcAddress(server, "TestServerConstructions"));
    LONG before = constructions();
    EXPECT_EQ(shell::ChooseNewMenuEntry(CLSID_TestObject), S_OK);
    EXPECT_EQ(constructions(), before + 1);
    FreeLibrary(server);
}

} // namespace
