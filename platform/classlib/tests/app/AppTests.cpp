// The application: its name, AfxWinMain's order and exit code, the end of Run when the main window goes,
// the single-instance start within one process, and where PreTranslateMessage offers a message.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/App.h"
#include "classlib/Dialog.h"
#include "kernel/Modules.h"
#include "kernel/Sync.h"
#include "kernel/Time.h"
#include "user/WindowTest.h"

namespace {

class AppTest : public user::test::WindowTest {};

TEST_F(AppTest, TheNameComesFromTheConstructorElseFromTheStringTable) {
    {
        CWinApp app;
        app.SetUp(nullptr, u"", SW_SHOW);
        EXPECT_EQ(CString(app.m_pszAppName), u"FerrovaneEx");
        EXPECT_EQ(CString(app.m_pszExeName), u"classlib_app_tests");
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_EQ(AfxGetInstanceHandle(), GetModuleHandleW(nullptr));
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
    CWinApp named(u"Given Name");
    named.SetUp(nullptr, u"", SW_SHOW);
    EXPECT_EQ(CString(named.m_pszAppName), u"Given Name");
}

enum class Ending { MainWindowClosed, QuitPosted };

// Records the calls AfxWinMain makes. With InitInstance succeeding it either makes a main window and asks
// it to close, or posts WM_QUIT with a code.
class ScriptedApp : public CWinApp {
public:
    BOOL InitApplication() override {
        m_calls.push_back("InitApplication");
        return m_initApplication;
    }
    BOOL InitInstance() override {
        m_calls.push_back("InitInstance");
        if (!m_initInstance)
            return FALSE;
        if (m_ending == Ending::QuitPosted) {
            PostQuitMessage(7);
            return TRUE;
        }
        if (!m_main.CreateEx(0, nullptr, u"Main", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr))
            return FALSE;
        m_mainHandle = m_main.m_hWnd;
        m_pMainWnd = &m_main;
        m_main.PostMessage(WM_CLOSE);
        // Should the loop outlive the main window, this ends it with a code the test does not expect.
        m_watchdog = SetTimer(nullptr, 0, 60000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); });
        return TRUE;
    }
    int Run() override {
        m_calls.push_back("Run");
        return CWinApp::Run();
    }
    int ExitInstance() override {
        m_calls.push_back("ExitInstance");
        if (m_watchdog)
            KillTimer(nullptr, m_watchdog);
        return CWinApp::ExitInstance() + 40;
    }

    BOOL m_initApplication = TRUE;
    BOOL m_initInstance = TRUE;
    Ending m_ending = Ending::MainWindowClosed;
    std::vector<std::string> m_calls;
    CWnd m_main;
    HWND m_mainHandle = nullptr;
    UINT_PTR m_watchdog = 0;
};

struct OrderCase {
    const char* name;
    BOOL initApplication;
    BOOL initInstance;
    Ending ending;
    std::vector<std::string> calls;
    int result;
};

TEST_F(AppTest, WinMainRunsOnlyAfterASuccessfulInitInstanceAndEndsWithExitInstance) {
    const OrderCase cases[] = {
        {"main window closed",
         TRUE,
         TRUE,
         Ending::MainWindowClosed,
         {"InitApplication", "InitInstance", "Run", "ExitInstance"},
         40},
        {"quit posted",
         TRUE,
         TRUE,
         Ending::QuitPosted,
         {"InitApplication", "InitInstance", "Run", "ExitInstance"},
         47},
        {"InitInstance fails",
         TRUE,
         FALSE,
         Ending::MainWindowClosed,
         {"InitApplication", "InitInstance", "ExitInstance"},
         40},
        {"InitApplication fails", FALSE, TRUE, Ending::MainWindowClosed, {"InitApplication"}, -1},
    };
    for (const OrderCase& test : cases) {
        SCOPED_TRACE(test.name);
        ScriptedApp app;
        app.m_initApplication = test.initApplication;
        app.m_initInstance = test.initInstance;
        app.m_ending = test.ending;
        EXPECT_EQ(AfxWinMain(nullptr, nullptr, const_cast<LPTSTR>(u"-new"), SW_SHOW), test.result);
        EXPECT_EQ(app.m_calls, test.calls);
        EXPECT_EQ(CString(app.m_lpCmdLine), u"-new");
        // Run ended because the main window was destroyed, which let go of it.
        EXPECT_EQ(app.m_pMainWnd, nullptr);
        if (app.m_mainHandle) {
            EXPECT_FALSE(IsWindow(app.m_mainHandle));
        }
    }
}

TEST_F(AppTest, AMainWindowObjectThatNeverGotItsWindowIsForgottenWhenItGoes) {
    CWinApp app;
    app.SetUp(nullptr, u"", SW_SHOW);
    {
        // A main dialog whose template is missing never has a window, so nothing posts WM_NCDESTROY.
        CDialog main(399u);
        app.m_pMainWnd = &main;
        EXPECT_EQ(main.DoModal(), -1);
        EXPECT_EQ(AfxGetMainWnd(), &main);
    }
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
}

TEST_F(AppTest, WhileAnotherInstanceHoldsTheMutexTheStartSearchesOnThePlatformClockAndEnds) {
    std::u16string name = kernel::ProgramDevicePath();
    for (char16_t& c : name)
        if (c == u'\\')
            c = u'/';
    HANDLE held = CreateMutexW(nullptr, FALSE, name.c_str());
    ASSERT_NE(held, nullptr);
    ScriptedApp app;
    DWORD before = GetTickCount();
    EXPECT_EQ(AfxWinMain(nullptr, nullptr, const_cast<LPTSTR>(u""), SW_SHOW), 0);
    EXPECT_TRUE(app.m_calls.empty());
    // No window of another instance showed up: 40 looks with 250 ms between them.
    EXPECT_EQ(GetTickCount() - before, 39u * 250u);
    CloseHandle(held);

    // Once the other instance is gone, the program starts.
    app.m_ending = Ending::QuitPosted;
    EXPECT_EQ(AfxWinMain(nullptr, nullptr, const_cast<LPTSTR>(u""), SW_SHOW), 47);
}

// Answers PreTranslateMessage for one message, noting every offer.
class OfferedWnd : public CWnd {
public:
    OfferedWnd(std::vector<HWND>& offers, UINT takes) : m_offers(offers), m_takes(takes) {}
    BOOL PreTranslateMessage(MSG* pMsg) override {
        m_offers.push_back(m_hWnd);
        return pMsg->message == m_takes;
    }

private:
    std::vector<HWND>& m_offers;
    UINT m_takes;
};

TEST_F(AppTest, PreTranslateMessageOffersTheWindowItsParentsThenTheMainWindow) {
    std::vector<HWND> offers;
    OfferedWnd main(offers, WM_USER + 1);
    OfferedWnd child(offers, WM_USER + 2);
    OfferedWnd grandchild(offers, 0);
    OfferedWnd popup(offers, 0);
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"Main", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr));
    ASSERT_TRUE(child.CreateEx(0, nullptr, u"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, main.m_hWnd, nullptr));
    ASSERT_TRUE(
        grandchild.CreateEx(0, nullptr, u"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, child.m_hWnd, nullptr));
    // A modeless window owned by the main window: its chain ends with it, the main window comes last.
    ASSERT_TRUE(
        popup.CreateEx(0, nullptr, u"Popup", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, main.m_hWnd, nullptr));
    CWinApp app;
    app.m_pMainWnd = &main;

    struct OfferCase {
        const char* name;
        HWND target;
        UINT message;
        BOOL taken;
        std::vector<HWND> offers;
    };
    const OfferCase cases[] = {
        {"taken by the main window",
         grandchild.m_hWnd,
         WM_USER + 1,
         TRUE,
         {grandchild.m_hWnd, child.m_hWnd, main.m_hWnd}},
        {"taken by the parent", grandchild.m_hWnd, WM_USER + 2, TRUE, {grandchild.m_hWnd, child.m_hWnd}},
        {"taken by nobody",
         grandchild.m_hWnd,
         WM_USER,
         FALSE,
         {grandchild.m_hWnd, child.m_hWnd, main.m_hWnd}},
        {"modeless window", popup.m_hWnd, WM_USER + 1, TRUE, {popup.m_hWnd, main.m_hWnd}},
        {"main window itself", main.m_hWnd, WM_USER, FALSE, {main.m_hWnd}},
    };
    for (const OfferCase& test : cases) {
        SCOPED_TRACE(test.name);
        offers.clear();
        MSG msg{test.target, test.message, 0, 0, 0, {}};
        EXPECT_EQ(app.PreTranslateMessage(&msg), test.taken);
        EXPECT_EQ(offers, test.offers);
    }
    app.m_pMainWnd = nullptr;
}

} // namespace
