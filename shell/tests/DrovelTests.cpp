// Drovel, the open command of container files, run as a device program.

#include <gtest/gtest.h>

#include <string>

#include "ShellEntryTest.h"

namespace {

using namespace shell_entry_test;

// A main window "Ferrovane" in this process that keeps what WM_COPYDATA brought.
struct MainWindow {
    static inline int requests = 0;
    static inline ULONG_PTR data = 0;
    static inline DWORD size = 0;
    static inline bool hasData = false;
    static inline WPARAM target = 0;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_COPYDATA)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        ++requests;
        data = copy->dwData;
        size = copy->cbData;
        hasData = copy->lpData != nullptr;
        target = wParam;
        return TRUE;
    }
};

class DrovelTest : public ShellEntryTest {
protected:
    void TearDown() override {
        if (m_mainWindow)
            DestroyWindow(m_mainWindow);
        UnregisterClassW(u"DrovelTestMain", nullptr);
        ShellEntryTest::TearDown();
    }
    HWND ShowMainWindow() {
        MainWindow::requests = 0;
        WNDCLASSW wc{};
        wc.lpfnWndProc = MainWindow::Proc;
        wc.lpszClassName = u"DrovelTestMain";
        RegisterClassW(&wc);
        m_mainWindow = CreateWindowExW(0, u"DrovelTestMain", u"Ferrovane", WS_POPUP | WS_VISIBLE, 0, 0, 240,
                                       320, nullptr, nullptr, nullptr, nullptr);
        return m_mainWindow;
    }

    HWND m_mainWindow = nullptr;
};

TEST_F(DrovelTest, WithTheMainProgramRunningItSendsTheOpenRequestWithoutTheBytes) {
    HWND mainWindow = ShowMainWindow();
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_EQ(RunToExit(Start(kDrovelPath, u"\\Containers\\secret.fvc")), 0u);
    EXPECT_EQ(MainWindow::requests, 1);
    EXPECT_EQ(MainWindow::data, 1u);
    EXPECT_EQ(MainWindow::size, 0u);
    // The path stayed in Drovel: no bytes cross into the main program.
    EXPECT_FALSE(MainWindow::hasData);
    EXPECT_EQ(MainWindow::target, reinterpret_cast<WPARAM>(mainWindow));
    EXPECT_EQ(MainProgramStarts(), 0u);
}

TEST_F(DrovelTest, WithoutTheMainProgramItStartsItWithOAndThePath) {
    const std::u16string longest = u"\\" + std::u16string(251, u'x') + u".fvc"; // 256 units
    struct StartCase {
        const char* name;
        std::u16string commandLine;
        std::u16string expected;
    };
    const StartCase cases[] = {
        {"a path", u"\\Containers\\secret.fvc", u"-o \\Containers\\secret.fvc"},
        {"a quoted path with a blank", u"\"\\My Documents\\my secret.fvc\"",
         u"-o \\My Documents\\my secret.fvc"},
        {"an unquoted path, cut at its blank", u"\\My Documents\\my secret.fvc", u"-o \\My"},
        {"a path that just fits", longest, u"-o " + longest},
    };
    for (const StartCase& entry : cases) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(RunToExit(Start(kDrovelPath, entry.commandLine)), 0u);
        EXPECT_EQ(TakeMainProgramReport(), entry.expected);
    }
    EXPECT_EQ(MainProgramStarts(), 4u);
}

TEST_F(DrovelTest, WithoutAPathThatFitsItDoesNothing) {
    const std::u16string tooLong = u"\\" + std::u16string(252, u'x') + u".fvc"; // 257 units
    const std::u16string cases[] = {u"", tooLong};

    ASSERT_NE(ShowMainWindow(), nullptr);
    for (const std::u16string& commandLine : cases) {
        SCOPED_TRACE(commandLine.size());
        EXPECT_EQ(RunToExit(Start(kDrovelPath, commandLine)), 0u);
    }
    EXPECT_EQ(MainWindow::requests, 0);

    DestroyWindow(m_mainWindow);
    m_mainWindow = nullptr;
    for (const std::u16string& commandLine : cases) {
        SCOPED_TRACE(commandLine.size());
        EXPECT_EQ(RunToExit(Start(kDrovelPath, commandLine)), 0u);
    }
    // A start that works afterwards is the only one the main program saw.
    EXPECT_EQ(RunToExit(Start(kDrovelPath, u"\\a.fvc")), 0u);
    EXPECT_EQ(TakeMainProgramReport(), u"-o \\a.fvc");
    EXPECT_EQ(MainProgramStarts(), 1u);
}

} // namespace
