#pragma once
// The application: one CWinApp object per program (a global of a class derived from it), started by the
// class library's WinMain (link platform_classlib_entry), and the command-line parser.
//
// What a caller may rely on:
// - Constructing a CWinApp makes it the application (AfxGetApp) until it is destroyed.
// - AfxWinMain runs, in order: the application's module, command line and names (the constructor's name,
//   else string AFX_IDS_APP_TITLE of the program's string table, else the program's file name without
//   its extension); the single-instance start; InitApplication (FALSE ends with -1); InitInstance; then
//   Run when InitInstance answered TRUE (the message loop until WM_QUIT, then ExitInstance), else
//   ExitInstance. Its result is ExitInstance's, which by default is the wParam of WM_QUIT (0 before one).
// - Single instance: a named mutex whose name is the program's module path with every '\' turned into '/'.
//   When it exists already another instance runs: the start looks (up to 40 times, 250 ms apart on the
//   platform's clock) for a top-level window of a program with the same module path (compared without
//   regard to case), brings the first one found to the front with SetForegroundWindow, and ends with 0
//   without calling InitApplication or InitInstance, also when it found no window.
// - When the main window (m_pMainWnd) is destroyed, WM_QUIT is posted and m_pMainWnd becomes NULL.
// - ParseCommandLine splits m_lpCmdLine: the first token up to the first blank or control character, or
//   as one double-quoted string (the quotes removed); the rest by the run-time library's rules (blanks
//   and tabs separate, double quotes group and are removed, backslashes are literal except before a
//   double quote). A leading '-' or '/' is removed from a token and sets the flag; then
//   ParseParam(token, flag, last) for each token in order. An empty line gives no call.

#include <string>

#include "classlib/String.h"
#include "classlib/Wnd.h"
#include "crt/Types.h"

// The string that names the application.
#define AFX_IDS_APP_TITLE 0xE000
#define ID_APP_ABOUT 0xE140
#define ID_APP_EXIT 0xE141

class CCommandLineInfo : public CObject {
public:
    CCommandLineInfo() = default;
    ~CCommandLineInfo() override = default;

    // Takes one token. The base keeps the first token that is not a flag as the file to open.
    virtual void ParseParam(LPCTSTR pszParam, BOOL bFlag, BOOL bLast);

    enum ShellCommand { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppUnregister, FileNothing = -1 };
    ShellCommand m_nShellCommand = FileNew;
    CString m_strFileName;
};

class CWinApp : public CCmdTarget {
    DECLARE_DYNAMIC(CWinApp)
public:
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    ~CWinApp() override;

    HINSTANCE m_hInstance = nullptr;
    LPTSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOW;
    LPCTSTR m_pszAppName = nullptr;
    LPCTSTR m_pszExeName = nullptr;
    LPCTSTR m_pszRegistryKey = nullptr;
    LPCTSTR m_pszProfileName = nullptr;
    CWnd* m_pMainWnd = nullptr;

    virtual BOOL InitApplication();
    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // The message loop: idle work while the queue is empty, PreTranslateMessage, then translation and
    // dispatch; on WM_QUIT it returns ExitInstance().
    virtual int Run();
    // Idle work between messages of Run (lCount counts the calls since the last message): deletes the
    // temporary objects of the handle maps. TRUE asks for another call.
    virtual BOOL OnIdle(LONG lCount);
    // Offers a message to the objects of its window and that window's parents up to the top-level window,
    // then to the main window; TRUE when one of them took it (it is then not dispatched).
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // What AfxMessageBox shows: a message box captioned with the application's name, owned by the main
    // window.
    virtual int DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT nIDPrompt);

    void ParseCommandLine(CCommandLineInfo& rCmdInfo);
    // The registry key under HKEY_CURRENT_USER\Software that the application's profile would use; the
    // profile is named after the application.
    void SetRegistryKey(LPCTSTR lpszRegistryKey);

    // An icon of the resource module (AfxGetResourceHandle).
    HICON LoadIcon(UINT nIDResource) const;
    HICON LoadIcon(LPCTSTR lpszResourceName) const;
    CWnd* GetMainWnd() const { return m_pMainWnd; }

    // What AfxWinMain does before the single-instance start: the module, the command line and the names.
    void SetUp(HINSTANCE hInstance, LPCTSTR lpCmdLine, int nCmdShow);

private:
    CString m_appName;
    CString m_exeName;
    CString m_registryKey;
    CString m_profileName;
    std::u16string m_commandLine;
    int m_exitCode = 0;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// The application's module (the program when there is no application object).
HINSTANCE AfxGetInstanceHandle();
// Where dialog templates, menus, strings and bitmaps are found: the application's module unless changed.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
// Registers a window class unless one of that name exists; FALSE when it cannot be registered.
BOOL AfxRegisterClass(WNDCLASS* lpWndClass);
// A message box captioned with the application's name, owned by the main window (CWinApp::DoMessageBox);
// the second form shows string nIDPrompt of the resource module.
int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = UINT(-1));

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
