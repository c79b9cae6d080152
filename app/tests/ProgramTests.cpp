// FerrovaneEx as a whole: its command line, its name from the string table, and the installed program
// started on a device, showing its create panel for "-new" and ending through its exit button.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "ManagerApp.h"
#include "crt/Utf8.h"
#include "kernel/Processes.h"
#include "kernel/Sync.h"
#include "user/ProgramWindowTest.h"
#include "user/RemoteControl.h"
#include "user/User.h"

namespace {

using user::remote::WindowInfo;

// The installed program, started in processes the fixture ends and reaps on every way out of a test.
class ProgramTest : public user::test::ProgramWindowTest {
protected:
    ProgramTest() : ProgramWindowTest(DEVICE_FILES_MANIFEST, u"\\program files\\ferrovane\\ferrovane.exe") {}
};

TEST_F(ProgramTest, OnlyTheLastTokenOfTheCommandLineCounts) {
    const struct {
        const char16_t* line;
        bool hide;
        bool isNew;
    } cases[] = {
        {u"", false, false},
        {u"-new", false, true},
        {u"/new", false, true},
        {u"--new", false, false},
        {u"NEW", false, false},
        {u"-hide", true, false},
        {u"-new -hide", true, false},
        {u"-hide -new", false, true},
        {u"-o \\My Documents\\a b.fvc", false, false},
        {u"-o \"\\My Documents\\a b.fvc\"", false, false},
        {u"-new -o", false, false},
    };
    for (const auto& c : cases) {
        CManagerApp app;
        app.SetUp(nullptr, c.line, SW_SHOW);
        CManagerCommandLineInfo info;
        app.ParseCommandLine(info);
        EXPECT_EQ(info.IsHideRequested(), c.hide) << crt::ToUtf8(c.line);
        EXPECT_EQ(info.IsNewRequested(), c.isNew) << crt::ToUtf8(c.line);
        EXPECT_EQ(CString(app.m_pszAppName), u"FerrovaneEx") << "from the string table";
    }
}

TEST_F(ProgramTest, TheInstalledProgramStartsWithItsCreatePanelAndEndsThroughItsExitButton) {
    const PROCESS_INFORMATION program = Start(u"-new");
    ASSERT_NE(program.hProcess, nullptr);
    ASSERT_TRUE(user::test::RunUntil([] { return FindWindowW(nullptr, u"Ferrovane") != nullptr; },
                                     std::chrono::seconds(30)));
    ASSERT_TRUE(user::remote::WaitUntilIdle(program.dwProcessId, std::chrono::seconds(20)));

    auto tree = user::remote::Windows(program.dwProcessId);
    ASSERT_TRUE(tree.has_value());
    auto control = [&](int id) {
        auto it = std::find_if(tree->windows.begin(), tree->windows.end(),
                               [id](const WindowInfo& w) { return w.depth == 1 && w.id == id && w.visible; });
        return it == tree->windows.end() ? WindowInfo{} : *it;
    };
    EXPECT_TRUE(std::any_of(tree->windows.begin(), tree->windows.end(), [](const WindowInfo& w) {
        return w.depth == 0 && w.text == u"Ferrovane" && w.visible;
    }));
    EXPECT_EQ(control(1012).text, u"100");
    EXPECT_EQ(control(1015).text, u"Encrypted Folder");
    const std::filesystem::path review =
        std::filesystem::path(FERROVANE_SKIN_MANIFEST).parent_path() / "review";
    std::filesystem::create_directories(review);
    if (auto png = user::remote::ScreenPng(program.dwProcessId))
        std::ofstream(review / "program-create-panel.png", std::ios::binary)
            .write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));

    // Back to the main panel, then the exit button: nothing is mounted, so no question.
    auto tap = [&](int id) {
        const RECT r = control(id).rect;
        ASSERT_TRUE(user::remote::SendInput(
            program.dwProcessId, user::remote::TapEvents({(r.left + r.right) / 2, (r.top + r.bottom) / 2})));
        ASSERT_TRUE(user::remote::WaitUntilIdle(program.dwProcessId, std::chrono::seconds(20)));
        tree = user::remote::Windows(program.dwProcessId);
        ASSERT_TRUE(tree.has_value());
    };
    ASSERT_NE(control(1016).handle, nullptr) << "the create panel's back button";
    tap(1016);
    ASSERT_NE(control(1003).handle, nullptr) << "the main panel's exit button";
    const RECT exitButton = control(1003).rect;
    ASSERT_TRUE(user::remote::SendInput(program.dwProcessId,
                                        user::remote::TapEvents({(exitButton.left + exitButton.right) / 2,
                                                                 (exitButton.top + exitButton.bottom) / 2})));
    ASSERT_EQ(WaitForSingleObject(program.hProcess, 30000), WAIT_OBJECT_0) << "the program ended";
    EXPECT_EQ(ExitCode(program), 0u);
}

} // namespace
