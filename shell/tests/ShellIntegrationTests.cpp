// The shell's own roads into the entry points once Tallowick is registered: its New menu, and opening a
// container file by its type.

#include <gtest/gtest.h>

#include "ShellEntryTest.h"
#include "Tallowick.h"
#include "shell/Shell.h"

namespace {

using namespace shell_entry_test;

class ShellIntegrationTest : public ShellEntryTest {
protected:
    void SetUp() override {
        ShellEntryTest::SetUp();
        ASSERT_EQ(RunTallowickExport("DllRegisterServer"), S_OK);
    }
};

TEST_F(ShellIntegrationTest, TheNewMenuEntryStartsTheMainProgramToCreateAContainer) {
    std::vector<shell::NewMenuEntry> entries = shell::NewMenuEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, u"Encrypted Folder");
    EXPECT_TRUE(entries[0].clsid == CLSID_MenuHandler);

    EXPECT_EQ(shell::ChooseNewMenuEntry(CLSID_MenuHandler), S_OK);
    EXPECT_EQ(TakeMainProgramReport(), u"-new");
    EXPECT_EQ(MainProgramStarts(), 1u);
    // The shell let the object go, and the run time the server.
    EXPECT_EQ(GetModuleHandleW(kTallowickPath), nullptr);
}

TEST_F(ShellIntegrationTest, OpeningAContainerFileRunsDrovelWhichStartsTheMainProgram) {
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = u"\\Containers\\secret.fvc";
    info.nShow = SW_SHOW;
    ASSERT_TRUE(ShellExecuteEx(&info)) << GetLastError();
    ASSERT_NE(info.hProcess, nullptr);
    // Only Drovel turns the file into "-o " and its path.
    EXPECT_EQ(TakeMainProgramReport(), u"-o \\Containers\\secret.fvc");
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(info.hProcess);
}

} // namespace
