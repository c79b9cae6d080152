// An application on the class library for the tests of its start across processes. Each InitInstance
// appends its command line and a line feed to \instances.log. The main window, titled with the
// application's name, closes on WM_COPYDATA with dwData 99; the command-line flag "background" leaves the
// program without an active window after the start.

#include <string>

#include "classlib/App.h"
#include "kernel/Files.h"
#include "kernel/Handles.h"

namespace {

class CInstanceWnd : public CWnd {
public:
    afx_msg BOOL OnCopyData(CWnd*, COPYDATASTRUCT* pCopyDataStruct) {
        if (pCopyDataStruct->dwData == 99)
            PostMessage(WM_CLOSE);
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CInstanceWnd, CWnd)
ON_WM_COPYDATA()
END_MESSAGE_MAP()

class CInstanceCommandLineInfo : public CCommandLineInfo {
public:
    void ParseParam(LPCTSTR pszParam, BOOL bFlag, BOOL) override {
        if (bFlag && std::u16string(pszParam) == u"background")
            m_background = true;
    }
    bool m_background = false;
};

void AppendToLog(const std::u16string& line) {
    HANDLE file = CreateFileW(u"\\instances.log", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(char16_t)), &written, nullptr);
    CloseHandle(file);
}

class CInstanceApp : public CWinApp {
public:
    BOOL InitInstance() override {
        AppendToLog(std::u16string(m_lpCmdLine) + u"\n");
        CInstanceCommandLineInfo info;
        ParseCommandLine(info);
        if (!m_window.CreateEx(0, nullptr, m_pszAppName, WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                               nullptr))
            return FALSE;
        m_pMainWnd = &m_window;
        if (info.m_background)
            ::SetForegroundWindow(GetDesktopWindow());
        return TRUE;
    }

private:
    CInstanceWnd m_window;
};

CInstanceApp theApp;

} // namespace
