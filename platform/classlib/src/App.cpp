#include "classlib/App.h"

#include <string>
#include <string_view>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/Gdi.h"
#include "kernel/Errors.h"
#include "kernel/Handles.h"
#include "kernel/Modules.h"
#include "kernel/Processes.h"
#include "kernel/Program.h"
#include "kernel/Scoped.h"
#include "kernel/Sync.h"
#include "kernel/Time.h"
#include "user/Icon.h"
#include "user/User.h"

namespace {

constexpr int kInstanceSearchTries = 40;
constexpr DWORD kInstanceSearchPauseMs = 250;

CWinApp* g_app = nullptr;
HINSTANCE g_resourceHandle = nullptr;

bool EndsFirstToken(char16_t c) {
    return c <= u' ';
}

// The tokens of a command line: the first one up to a blank or control character, or as one quoted string
// taken as it is written; the rest by the run-time library's rules.
std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
    std::vector<std::u16string> tokens;
    size_t i = 0;
    while (i < line.size() && EndsFirstToken(line[i]))
        ++i;
    if (i == line.size())
        return tokens;
    if (line[i] == u'"') {
        size_t close = line.find(u'"', i + 1);
        size_t end = close == std::u16string_view::npos ? line.size() : close;
        tokens.emplace_back(line.substr(i + 1, end - i - 1));
        i = close == std::u16string_view::npos ? line.size() : close + 1;
    } else {
        size_t start = i;
        while (i < line.size() && !EndsFirstToken(line[i]))
            ++i;
        tokens.emplace_back(line.substr(start, i - start));
        if (i < line.size())
            ++i; // the character that ended the token
    }
    for (std::u16string& token : kernel::SplitCommandLine(line.substr(i)))
        tokens.push_back(std::move(token));
    return tokens;
}

std::u16string ModulePath(HINSTANCE module) {
    WCHAR path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return std::u16string(path, length < MAX_PATH ? length : 0);
}

struct InstanceSearch {
    const std::u16string* modulePath;
    HWND found = nullptr;
};

BOOL FindInstanceWindow(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<InstanceSearch*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId())
        return TRUE;
    WCHAR module[MAX_PATH] = {};
    if (GetWindowModuleFileNameW(hwnd, module, MAX_PATH) == 0)
        return TRUE;
    if (CString(module).CompareNoCase(search->modulePath->c_str()) != 0)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

// Holds the single-instance mutex for the life of the program's start.
class InstanceMutex {
public:
    // False when another instance of the program runs; its window, when one shows up, is brought to the
    // front.
    bool Acquire(const std::u16string& modulePath) {
        std::u16string name = modulePath;
        for (char16_t& c : name)
            if (c == u'\\')
                c = u'/';
        m_handle.Reset(CreateMutexW(nullptr, FALSE, name.c_str()));
        if (!m_handle.IsOpen() || GetLastError() != ERROR_ALREADY_EXISTS)
            return true; // no mutex at all cannot stop the start
        InstanceSearch search{&modulePath};
        for (int tries = 0; tries < kInstanceSearchTries; ++tries) {
            if (tries > 0)
                Sleep(kInstanceSearchPauseMs);
            EnumWindows(FindInstanceWindow, reinterpret_cast<LPARAM>(&search));
            if (search.found)
                break;
        }
        // The low bit brings the window's owned windows along.
        if (search.found)
            SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(search.found) | 1));
        return false;
    }

private:
    kernel::ScopedHandle m_handle;
};

} // namespace

// ---- The command line.

void CCommandLineInfo::ParseParam(LPCTSTR pszParam, BOOL bFlag, BOOL) {
    if (bFlag || !m_strFileName.IsEmpty())
        return;
    m_strFileName = pszParam;
    m_nShellCommand = FileOpen;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) {
    std::vector<std::u16string> tokens = SplitCommandLine(m_lpCmdLine ? m_lpCmdLine : u"");
    for (size_t i = 0; i < tokens.size(); ++i) {
        std::u16string& token = tokens[i];
        bool flag = !token.empty() && (token[0] == u'-' || token[0] == u'/');
        if (flag)
            token.erase(0, 1);
        rCmdInfo.ParseParam(token.c_str(), flag ? TRUE : FALSE, i + 1 == tokens.size() ? TRUE : FALSE);
    }
}

// ---- The application.

IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)

CWinApp::CWinApp(LPCTSTR lpszAppName) {
    if (lpszAppName) {
        m_appName = lpszAppName;
        m_pszAppName = m_appName;
    }
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

void CWinApp::SetUp(HINSTANCE hInstance, LPCTSTR lpCmdLine, int nCmdShow) {
    m_hInstance = hInstance ? hInstance : GetModuleHandleW(nullptr);
    m_commandLine = lpCmdLine ? lpCmdLine : u"";
    m_lpCmdLine = m_commandLine.data();
    m_nCmdShow = nCmdShow;

    std::u16string path = ModulePath(m_hInstance);
    std::u16string name = path.substr(path.find_last_of(u'\\') + 1);
    if (size_t dot = name.find_last_of(u'.'); dot != std::u16string::npos && dot > 0)
        name.erase(dot);
    m_exeName = name.c_str();
    m_pszExeName = m_exeName;

    if (m_appName.IsEmpty() && !m_appName.LoadString(AFX_IDS_APP_TITLE))
        m_appName = m_exeName;
    m_pszAppName = m_appName;
}

BOOL CWinApp::InitApplication() {
    return TRUE;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return m_exitCode;
}

int CWinApp::Run() {
    MSG msg{};
    for (;;) {
        for (LONG idle = 0; !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);)
            if (!OnIdle(idle++))
                break;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_exitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got < 0)
            break;
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return ExitInstance();
}

BOOL CWinApp::OnIdle(LONG lCount) {
    if (lCount == 0) {
        CWnd::DeleteTempMap();
        CMenu::DeleteTempMap();
        CDC::DeleteTempMap();
        CGdiObject::DeleteTempMap();
        CImageList::DeleteTempMap();
    }
    return FALSE;
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg) {
    if (!pMsg)
        return FALSE;
    HWND mainWnd = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    bool offeredToMain = false;
    for (HWND hwnd = pMsg->hwnd; hwnd;) {
        if (CWnd* wnd = CWnd::FromHandlePermanent(hwnd); wnd && wnd->PreTranslateMessage(pMsg))
            return TRUE;
        offeredToMain = offeredToMain || hwnd == mainWnd;
        if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
            break;
        hwnd = GetParent(hwnd);
    }
    // The main window gets a last chance at messages of windows outside it (modeless dialogs).
    if (!offeredToMain && m_pMainWnd && m_pMainWnd->m_hWnd)
        return m_pMainWnd->PreTranslateMessage(pMsg);
    return FALSE;
}

int CWinApp::DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT) {
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    return MessageBoxW(owner, lpszPrompt, m_pszAppName, nType);
}

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey) {
    m_registryKey = lpszRegistryKey;
    m_pszRegistryKey = m_registryKey;
    m_profileName = m_pszAppName;
    m_pszProfileName = m_profileName;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCE(nIDResource));
}

HICON CWinApp::LoadIcon(LPCTSTR lpszResourceName) const {
    return LoadIconW(AfxGetResourceHandle(), lpszResourceName);
}

// ---- Global functions.

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app ? g_app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle() {
    if (g_app && g_app->m_hInstance)
        return g_app->m_hInstance;
    return GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    return g_resourceHandle ? g_resourceHandle : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstResource) {
    g_resourceHandle = hInstResource;
}

BOOL AfxRegisterClass(WNDCLASS* lpWndClass) {
    if (!lpWndClass || !lpWndClass->lpszClassName)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    WNDCLASS existing{};
    if (GetClassInfoW(lpWndClass->hInstance, lpWndClass->lpszClassName, &existing))
        return TRUE;
    return RegisterClassW(lpWndClass) != 0 ? TRUE : FALSE;
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT nIDHelp) {
    if (g_app)
        return g_app->DoMessageBox(lpszText, nType, nIDHelp);
    return MessageBoxW(nullptr, lpszText, nullptr, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
    CString prompt;
    prompt.LoadString(nIDPrompt);
    return AfxMessageBox(prompt, nType, nIDHelp == UINT(-1) ? nIDPrompt : nIDHelp);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPTSTR lpCmdLine, int nCmdShow) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->SetUp(hInstance, lpCmdLine, nCmdShow);
    InstanceMutex instance;
    if (!instance.Acquire(ModulePath(app->m_hInstance)))
        return 0;
    if (!app->InitApplication())
        return -1;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
