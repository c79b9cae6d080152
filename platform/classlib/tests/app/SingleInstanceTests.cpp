// The single-instance start across two real device processes of one program (InstanceProgram.cpp).

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "user/ProgramWindowTest.h"
#include "user/RemoteControl.h"
#include "user/User.h"

namespace {

constexpr char16_t kProgram[] = u"\\program files\\test\\Instance.exe";

class SingleInstanceTest : public user::test::ProgramWindowTest {
protected:
    SingleInstanceTest() : ProgramWindowTest(CLASSLIB_APP_MANIFEST, kProgram) {}

    static std::optional<HWND> ActiveWindow(const PROCESS_INFORMATION& info) {
        auto windows = user::remote::Windows(info.dwProcessId);
        if (!windows)
            return std::nullopt;
        return windows->active;
    }
    // The command lines of the program's InitInstance calls, as it logged them.
    std::u16string InstanceLog() const {
        std::ifstream file(m_root.Store() / "instances.log", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::u16string text(bytes.size() / 2, u'\0');
        bytes.copy(reinterpret_cast<char*>(text.data()), text.size() * 2);
        return text;
    }

    size_t InitInstanceCalls() const {
        std::u16string log = InstanceLog();
        return static_cast<size_t>(std::count(log.begin(), log.end(), u'\n'));
    }
};

TEST_F(SingleInstanceTest, ASecondStartBringsTheFirstWindowToTheFrontAndEndsWithoutInitInstance) {
    PROCESS_INFORMATION first = Start(u"-background");
    // Without a string table the application is named after its program file.
    HWND window = nullptr;
    ASSERT_TRUE(user::test::RunUntil([&] { return (window = FindWindowW(nullptr, u"Instance")) != nullptr; },
                                     std::chrono::seconds(30)));
    // The first instance has put itself in the background.
    ASSERT_TRUE(user::test::RunUntil([&] { return ActiveWindow(first) == std::optional<HWND>(nullptr); },
                                     std::chrono::seconds(30)));

    PROCESS_INFORMATION second = Start(u"-new");
    ASSERT_TRUE(user::test::RunUntil([&] { return Ended(second); }, std::chrono::seconds(30)));
    EXPECT_EQ(ExitCode(second), 0u);
    EXPECT_EQ(ActiveWindow(first), std::optional<HWND>(window));
    EXPECT_EQ(InstanceLog(), u"-background\n");

    // Closing the main window ends the first instance's message loop and so the program.
    COPYDATASTRUCT close{99, 0, nullptr};
    SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&close));
    ASSERT_TRUE(user::test::RunUntil([&] { return Ended(first); }, std::chrono::seconds(30)));
    EXPECT_EQ(ExitCode(first), 0u);

    // With no instance left, the next start runs its InitInstance.
    PROCESS_INFORMATION third = Start(u"-o \"\\My Documents\\a.fvc\"");
    ASSERT_TRUE(user::test::RunUntil([&] { return FindWindowW(nullptr, u"Instance") != nullptr; },
                                     std::chrono::seconds(30)))
        << "ended: " << Ended(third) << ", exit code " << ExitCode(third) << ", InitInstance calls "
        << InitInstanceCalls();
    EXPECT_EQ(InstanceLog(), u"-background\n-o \"\\My Documents\\a.fvc\"\n");
    SendMessageW(FindWindowW(nullptr, u"Instance"), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&close));
    ASSERT_TRUE(user::test::RunUntil([&] { return Ended(third); }, std::chrono::seconds(30)));
}

} // namespace
