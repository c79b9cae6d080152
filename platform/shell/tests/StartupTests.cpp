// The Startup folder at boot: each shortcut's target started with its arguments, in the order of the
// shortcuts' names, failures reported one by one.

#include "shell/Startup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "kernel/Kernel.h"
#include "shell/Shell.h"
#include "testing/DeviceRootTest.h"

namespace {

std::u16string QueryText(HKEY root, const WCHAR* key, const WCHAR* name) {
    HKEY handle = nullptr;
    WCHAR text[512] = {};
    DWORD size = sizeof text - 2;
    if (RegOpenKeyExW(root, key, 0, 0, &handle) == ERROR_SUCCESS) {
        RegQueryValueExW(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(handle);
    }
    return text;
}

bool WaitFor(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class StartupTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        Install(SHELL_TEST_MANIFEST);
    }
    static void Link(const std::u16string& name, std::u16string target) {
        WCHAR folder[MAX_PATH];
        ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, folder, CSIDL_STARTUP, TRUE));
        std::u16string path = std::u16string(folder) + u"\\" + name;
        ASSERT_TRUE(SHCreateShortcut(path.data(), target.data()));
    }
};

TEST_F(StartupTest, EachShortcutsTargetStartsWithItsArgumentsInNameOrder) {
    EXPECT_TRUE(shell::RunStartupFolder().empty()); // no shortcut yet
    Link(u"b write.lnk", u"\"\\windows\\TestProgram.exe\" write second 1");
    Link(u"A report.lnk", u"\"\\windows\\TestProgram.exe\" report  one \"two three\"");
    Link(u"c missing.lnk", u"\"\\windows\\Missing.exe\" x");
    HANDLE other =
        CreateFileW(u"\\Windows\\StartUp\\readme.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    CloseHandle(other);

    std::vector<shell::StartupItem> items = shell::RunStartupFolder();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].shortcut, u"\\Windows\\StartUp\\A report.lnk");
    EXPECT_EQ(items[0].target, u"\"\\windows\\TestProgram.exe\" report  one \"two three\"");
    EXPECT_EQ(items[0].error, 0u);
    EXPECT_EQ(items[1].shortcut, u"\\Windows\\StartUp\\b write.lnk");
    EXPECT_EQ(items[1].error, 0u);
    EXPECT_EQ(items[2].error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    EXPECT_TRUE(WaitFor([] {
        return QueryText(HKEY_CURRENT_USER, u"Software\\KernelTests", u"CommandLine") ==
               u"report  one \"two three\"";
    }));
    EXPECT_TRUE(WaitFor([] {
        HKEY key = nullptr;
        DWORD value = 99, size = sizeof value;
        bool there = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\KernelTests\\Shared", 0, 0, &key) ==
                         ERROR_SUCCESS &&
                     RegQueryValueExW(key, u"second0", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                                      &size) == ERROR_SUCCESS;
        if (key)
            RegCloseKey(key);
        return there && value == 0;
    }));
}

} // namespace
