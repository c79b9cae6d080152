// CWnd: the handle map, attaching windows by creation and by subclassing, the window procedure that
// feeds the message maps, reflection to controls, and the thin wrappers of the window calls.

#include "classlib/Wnd.h"

#include <memory>
#include <unordered_map>
#include <vector>

#include "Internal.h"
#include "classlib/App.h"
#include "classlib/Dialog.h"
#include "kernel/Processes.h"
#include "user/System.h"

namespace classlib::detail {
namespace {

// The handle map, the creation hook and the message being handled, of one thread. It is never freed:
// objects of static storage may still detach from their windows after the thread's own storage is gone.
struct WindowState {
    std::unordered_map<HWND, CWnd*> permanent;
    std::unordered_map<HWND, std::unique_ptr<CWnd>> temporary;
    // Temporary objects replaced by one of another class; deleted with the rest.
    std::vector<std::unique_ptr<CWnd>> retired;
    CWnd* pendingCreate = nullptr;
    HHOOK hook = nullptr;
    int hookUsers = 0;
    MSG current{};
};

WindowState& State() {
    thread_local WindowState* state = new WindowState;
    return *state;
}

// Temporary objects of windows that are gone serve nobody; past this many they are dropped at once,
// since a program that lives in a modal loop never reaches the idle time that deletes them.
constexpr size_t kPruneAbove = 128;

void ReleaseTemporary(std::unique_ptr<CWnd>& wnd) {
    wnd->m_hWnd = nullptr;
    wnd.reset();
}

void PruneDeadTemporaries(WindowState& state) {
    if (state.temporary.size() <= kPruneAbove)
        return;
    for (auto it = state.temporary.begin(); it != state.temporary.end();) {
        if (!::IsWindow(it->first)) {
            ReleaseTemporary(it->second);
            it = state.temporary.erase(it);
        } else {
            ++it;
        }
    }
}

void SetPermanent(HWND hwnd, CWnd* wnd) {
    WindowState& state = State();
    if (wnd)
        state.permanent[hwnd] = wnd;
    else
        state.permanent.erase(hwnd);
}

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM) {
    WindowState& state = State();
    if (code != HCBT_CREATEWND || !state.pendingCreate)
        return 0;
    CWnd* wnd = state.pendingCreate;
    state.pendingCreate = nullptr;
    auto hwnd = reinterpret_cast<HWND>(wParam);
    if (wnd->Attach(hwnd)) {
        wnd->PreSubclassWindow();
        SubclassAttached(wnd, hwnd);
    }
    return 0;
}

} // namespace

PendingCreation::PendingCreation(CWnd* wnd) : m_wnd(wnd) {
    WindowState& state = State();
    m_previous = state.pendingCreate;
    state.pendingCreate = wnd;
    if (state.hookUsers++ == 0)
        state.hook = ::SetWindowsHookExW(WH_CBT, CreationHook, nullptr, GetCurrentThreadId());
}

PendingCreation::~PendingCreation() {
    WindowState& state = State();
    if (state.pendingCreate == m_wnd)
        state.pendingCreate = m_previous;
    if (--state.hookUsers == 0 && state.hook) {
        ::UnhookWindowsHookEx(state.hook);
        state.hook = nullptr;
    }
}

bool PendingCreation::Consumed() const {
    return State().pendingCreate != m_wnd;
}

CWnd* FindPermanent(HWND hwnd) {
    WindowState& state = State();
    auto it = state.permanent.find(hwnd);
    return it == state.permanent.end() ? nullptr : it->second;
}

CWnd* FindOrMakeTemporary(HWND hwnd, const CRuntimeClass* wanted) {
    if (!hwnd)
        return nullptr;
    WindowState& state = State();
    if (auto it = state.permanent.find(hwnd); it != state.permanent.end())
        if (!wanted || it->second->IsKindOf(wanted))
            return it->second;
    auto it = state.temporary.find(hwnd);
    if (it != state.temporary.end()) {
        if (!wanted || it->second->IsKindOf(wanted))
            return it->second.get();
        state.retired.push_back(std::move(it->second));
        state.temporary.erase(it);
    }
    PruneDeadTemporaries(state);
    std::unique_ptr<CWnd> made;
    if (wanted && wanted->m_pfnCreateObject)
        made.reset(static_cast<CWnd*>(wanted->CreateObject()));
    if (!made)
        made = std::make_unique<CWnd>();
    made->m_hWnd = hwnd;
    CWnd* result = made.get();
    state.temporary.emplace(hwnd, std::move(made));
    return result;
}

void SubclassAttached(CWnd* wnd, HWND hwnd) {
    auto old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    WndAccess::SetSuper(wnd, old == &AfxWndProc ? nullptr : old);
}

} // namespace classlib::detail

using namespace classlib::detail;

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    WindowState& state = State();
    CWnd* wnd = FindPermanent(hWnd);
    if (!wnd)
        return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    MSG saved = state.current;
    state.current = MSG{hWnd, nMsg, wParam, lParam, 0, POINT{0, 0}};
    LRESULT result = wnd->WindowProc(nMsg, wParam, lParam);
    state.current = saved;
    // A WM_NCDESTROY handler that did not call the base's still leaves the window detached. (The object
    // may be gone by now: only the map is asked.)
    if (nMsg == WM_NCDESTROY && FindPermanent(hWnd) == wnd)
        wnd->FinishNcDestroy();
    return result;
}

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)
IMPLEMENT_DYNCREATE(CScrollBar, CWnd)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
ON_WM_NCDESTROY()
ON_WM_CTLCOLOR()
ON_WM_DRAWITEM()
ON_WM_MEASUREITEM()
END_MESSAGE_MAP()

CWnd::~CWnd() {
    // The application must not keep pointing at a main window object that is gone, window or not.
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
    if (!m_hWnd)
        return;
    if (FindPermanent(m_hWnd) == this) {
        ::DestroyWindow(m_hWnd);
        if (m_hWnd && FindPermanent(m_hWnd) == this) {
            // The window could not be destroyed here (another thread's): leave it to its default procedure.
            if (m_pfnSuper &&
                reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC)) == AfxWndProc)
                SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
            Detach();
        }
    }
    m_hWnd = nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    return FindOrMakeTemporary(hWnd, nullptr);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    return hWnd ? FindPermanent(hWnd) : nullptr;
}

void CWnd::DeleteTempMap() {
    WindowState& state = State();
    auto temporary = std::move(state.temporary);
    auto retired = std::move(state.retired);
    state.temporary.clear();
    state.retired.clear();
    for (auto& [hwnd, wnd] : temporary)
        ReleaseTemporary(wnd);
    for (auto& wnd : retired)
        ReleaseTemporary(wnd);
}

BOOL CWnd::Attach(HWND hWndNew) {
    if (!hWndNew || m_hWnd || FindPermanent(hWndNew) || !::IsWindow(hWndNew))
        return FALSE;
    m_hWnd = hWndNew;
    SetPermanent(hWndNew, this);
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hwnd = m_hWnd;
    if (hwnd && FindPermanent(hwnd) == this)
        SetPermanent(hwnd, nullptr);
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    SubclassAttached(this, hWnd);
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    if (!pParent || !pParent->m_hWnd)
        return FALSE;
    HWND control = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID));
    return control ? SubclassWindow(control) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
    if (!m_hWnd)
        return nullptr;
    if (m_pfnSuper && reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC)) == AfxWndProc)
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

namespace {

// The class of windows made without a class name: it brings its messages straight to AfxWndProc.
LPCWSTR DefaultClass() {
    constexpr LPCWSTR kName = u"AfxWnd";
    WNDCLASS wc{};
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &AfxWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = ::GetSysColorBrush(COLOR_WINDOW);
    wc.lpszClassName = kName;
    AfxRegisterClass(&wc);
    return kName;
}

} // namespace

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs) {
    if (!cs.lpszClass)
        cs.lpszClass = DefaultClass();
    return TRUE;
}

void CWnd::PreSubclassWindow() {}

void CWnd::PostNcDestroy() {}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x,
                    int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam) {
    if (m_hWnd)
        return FALSE;
    CREATESTRUCT cs{lpParam, AfxGetInstanceHandle(),     nIDorHMenu,     hWndParent,    nHeight,  nWidth, y,
                    x,       static_cast<LONG>(dwStyle), lpszWindowName, lpszClassName, dwExStyle};
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return FALSE;
    }
    HWND hwnd = nullptr;
    bool attached = false;
    {
        PendingCreation pending(this);
        hwnd =
            ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x,
                              cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
        attached = pending.Consumed();
    }
    if (!attached) {
        // The window never reached this object: the creation failed before it began.
        PostNcDestroy();
        return FALSE;
    }
    // A window refused by WM_NCCREATE or WM_CREATE has had its WM_NCDESTROY, which detached it.
    return hwnd != nullptr;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, pParentWnd ? pParentWnd->m_hWnd : nullptr,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), lpParam);
}

BOOL CWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, CCreateContext* pContext) {
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID, pContext);
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CWnd::FinishNcDestroy() {
    Detach();
    m_pfnSuper = nullptr;
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
    PostNcDestroy();
}

// ---- Dispatch.

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    LRESULT result = 0;
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        result = 1;
    } else if (message == WM_NOTIFY) {
        if (!lParam || !OnNotify(wParam, lParam, &result))
            return FALSE;
    } else {
        UINT key = message;
        UINT code = 0;
        if (user::IsCtlColorMessage(message))
            key = WM_CTLCOLOR;
        if (message == WM_REFLECT_BASE + WM_COMMAND)
            code = HIWORD(wParam);
        if (message == WM_REFLECT_BASE + WM_NOTIFY) {
            if (!lParam)
                return FALSE;
            code = reinterpret_cast<const NMHDR*>(lParam)->code;
        }
        const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(key, code, 0);
        if (!entry)
            return FALSE;
        afx::Message m{message, wParam, lParam};
        if (!entry->pfn(this, m))
            return FALSE;
        result = m.result;
    }
    if (pResult)
        *pResult = result;
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

namespace {

BOOL ReflectTo(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    CWnd* control = CWnd::FromHandlePermanent(child);
    if (!control)
        return FALSE;
    LRESULT result = 0;
    BOOL taken = control->OnChildNotify(message, wParam, lParam, &result);
    if (taken && pResult)
        *pResult = result;
    return taken;
}

} // namespace

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam);
    UINT code = HIWORD(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    if (control) {
        if (ReflectTo(control, WM_COMMAND, wParam, lParam, nullptr))
            return TRUE;
    } else {
        code = 0; // menus and accelerators are commands alike
    }
    afx::Message m{WM_COMMAND, wParam, lParam};
    if (const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(WM_COMMAND, code, id))
        return entry->pfn(this, m);
    // A command that no window takes goes to the application.
    CWinApp* app = AfxGetApp();
    if (!control && app)
        if (const AFX_MSGMAP_ENTRY* entry = app->FindMessageEntry(WM_COMMAND, 0, id))
            return entry->pfn(app, m);
    return FALSE;
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header)
        return FALSE;
    if (header->hwndFrom && ReflectTo(header->hwndFrom, WM_NOTIFY, wParam, lParam, pResult))
        return TRUE;
    const AFX_MSGMAP_ENTRY* entry =
        FindMessageEntry(WM_NOTIFY, header->code, static_cast<UINT>(header->idFrom));
    if (!entry)
        return FALSE;
    afx::Message m{WM_NOTIFY, wParam, lParam};
    if (!entry->pfn(this, m))
        return FALSE;
    if (pResult)
        *pResult = m.result;
    return TRUE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
        return OnWndMsg(WM_REFLECT_BASE + message, wParam, lParam, pResult);
    default:
        break;
    }
    if (!user::IsCtlColorMessage(message))
        return FALSE;
    afx::CtlColorArgs args{m_hWnd, reinterpret_cast<HDC>(wParam), message - WM_CTLCOLORMSGBOX};
    return OnWndMsg(WM_REFLECT_BASE + WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&args), pResult);
}

BOOL CWnd::ReflectLastMsg(HWND hWndChild, LRESULT* pResult) {
    const MSG& current = State().current;
    return ReflectTo(hWndChild, current.message, current.wParam, current.lParam, pResult);
}

BOOL CWnd::SendChildNotifyLastMsg(LRESULT* pResult) {
    const MSG& current = State().current;
    LRESULT result = 0;
    BOOL taken = OnChildNotify(current.message, current.wParam, current.lParam, &result);
    if (taken && pResult)
        *pResult = result;
    return taken;
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CWnd::Default() {
    const MSG& current = State().current;
    return DefWindowProc(current.message, current.wParam, current.lParam);
}

const MSG* CWnd::GetCurrentMessage() {
    return &State().current;
}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange exchange(this, bSaveAndValidate);
    DoDataExchange(&exchange);
    return exchange.Failed() ? FALSE : TRUE;
}

// ---- The window.

DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const {
    return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE));
}

namespace {

BOOL Modify(HWND hwnd, int index, DWORD remove, DWORD add, UINT flags) {
    DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, index));
    DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongW(hwnd, index, static_cast<LONG>(changed));
    if (flags)
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

} // namespace

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    return Modify(m_hWnd, GWL_STYLE, dwRemove, dwAdd, nFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    return Modify(m_hWnd, GWL_EXSTYLE, dwRemove, dwAdd, nFlags);
}

int CWnd::GetDlgCtrlID() const {
    return ::GetDlgCtrlID(m_hWnd);
}

int CWnd::SetDlgCtrlID(int nID) {
    return static_cast<int>(::SetWindowLongPtrW(m_hWnd, GWLP_ID, nID));
}

CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}

CWnd* CWnd::SetParent(CWnd* pWndNewParent) {
    return FromHandle(::SetParent(m_hWnd, pWndNewParent ? pWndNewParent->m_hWnd : nullptr));
}

CWnd* CWnd::GetOwner() const {
    return FromHandle(::GetWindow(m_hWnd, GW_OWNER));
}

CWnd* CWnd::GetTopLevelParent() const {
    return FromHandle(::GetAncestor(m_hWnd, GA_ROOT));
}

CWnd* CWnd::GetWindow(UINT nCmd) const {
    return FromHandle(::GetWindow(m_hWnd, nCmd));
}

CWnd* CWnd::GetTopWindow() const {
    return FromHandle(::GetTopWindow(m_hWnd));
}

BOOL CWnd::IsChild(const CWnd* pWnd) const {
    return pWnd && ::IsChild(m_hWnd, pWnd->m_hWnd);
}

CWnd* CWnd::FindWindow(LPCTSTR lpszClassName, LPCTSTR lpszWindowName) {
    return FromHandle(::FindWindowW(lpszClassName, lpszWindowName));
}

void CWnd::SetWindowText(LPCTSTR lpszString) {
    ::SetWindowTextW(m_hWnd, lpszString);
}

int CWnd::GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const {
    return ::GetWindowTextW(m_hWnd, lpszStringBuf, nMaxCount);
}

void CWnd::GetWindowText(CString& rString) const {
    int length = ::GetWindowTextLengthW(m_hWnd);
    LPWSTR buffer = rString.GetBuffer(length);
    ::GetWindowTextW(m_hWnd, buffer, length + 1);
    rString.ReleaseBuffer();
}

int CWnd::GetWindowTextLength() const {
    return ::GetWindowTextLengthW(m_hWnd);
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(pFont ? pFont->m_hObject : nullptr), bRedraw);
}

CFont* CWnd::GetFont() const {
    return CFont::FromHandle(reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)));
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                                  reinterpret_cast<LPARAM>(hIcon)));
}

HICON CWnd::GetIcon(BOOL bBigIcon) const {
    return reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_GETICON, bBigIcon ? ICON_BIG : ICON_SMALL, 0));
}

// ---- Geometry.

void CWnd::GetWindowRect(LPRECT lpRect) const {
    ::GetWindowRect(m_hWnd, lpRect);
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    ::GetClientRect(m_hWnd, lpRect);
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const {
    ::ClientToScreen(m_hWnd, lpPoint);
}

void CWnd::ClientToScreen(LPRECT lpRect) const {
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const {
    ::ScreenToClient(m_hWnd, lpPoint);
}

void CWnd::ScreenToClient(LPRECT lpRect) const {
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::MapWindowPoints(CWnd* pwndTo, LPRECT lpRect) const {
    ::MapWindowPoints(m_hWnd, pwndTo ? pwndTo->m_hWnd : nullptr, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::MapWindowPoints(CWnd* pwndTo, LPPOINT lpPoint, UINT nCount) const {
    ::MapWindowPoints(m_hWnd, pwndTo ? pwndTo->m_hWnd : nullptr, lpPoint, nCount);
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
    MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top,
               bRepaint);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    return ::SetWindowPos(m_hWnd, pWndInsertAfter ? pWndInsertAfter->m_hWnd : nullptr, x, y, cx, cy, nFlags);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    CRect window;
    GetWindowRect(&window);
    CRect area;
    CRect centre;
    if (GetStyle() & WS_CHILD) {
        HWND parent = ::GetParent(m_hWnd);
        ::GetClientRect(parent, &area);
        centre = area;
        // The rectangle in the parent's client coordinates.
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<LPPOINT>(&window), 2);
    } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        HWND owner = pAlternateOwner ? pAlternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
        if (owner && ::IsWindowVisible(owner))
            ::GetWindowRect(owner, &centre);
        else
            centre = area;
    }
    int left = (centre.left + centre.right) / 2 - window.Width() / 2;
    int top = (centre.top + centre.bottom) / 2 - window.Height() / 2;
    if (left + window.Width() > area.right)
        left = area.right - window.Width();
    if (left < area.left)
        left = area.left;
    if (top + window.Height() > area.bottom)
        top = area.bottom - window.Height();
    if (top < area.top)
        top = area.top;
    ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::BringWindowToTop() {
    ::BringWindowToTop(m_hWnd);
}

// ---- State.

BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::IsWindowVisible() const {
    return ::IsWindowVisible(m_hWnd);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_hWnd);
}

CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}

CWnd* CWnd::GetFocus() {
    return FromHandle(::GetFocus());
}

CWnd* CWnd::SetCapture() {
    return FromHandle(::SetCapture(m_hWnd));
}

CWnd* CWnd::GetCapture() {
    return FromHandle(::GetCapture());
}

CWnd* CWnd::SetActiveWindow() {
    return FromHandle(::SetActiveWindow(m_hWnd));
}

CWnd* CWnd::GetActiveWindow() {
    return FromHandle(::GetActiveWindow());
}

BOOL CWnd::SetForegroundWindow() {
    return ::SetForegroundWindow(m_hWnd);
}

CWnd* CWnd::GetForegroundWindow() {
    return FromHandle(::GetForegroundWindow());
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    return ::KillTimer(m_hWnd, nIDEvent);
}

// ---- Painting.

void CWnd::Invalidate(BOOL bErase) {
    ::InvalidateRect(m_hWnd, nullptr, bErase);
}

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase) {
    ::InvalidateRect(m_hWnd, lpRect, bErase);
}

void CWnd::ValidateRect(LPCRECT lpRect) {
    ::ValidateRect(m_hWnd, lpRect);
}

void CWnd::UpdateWindow() {
    ::UpdateWindow(m_hWnd);
}

BOOL CWnd::RedrawWindow(LPCRECT lpRectUpdate, CRgn* prgnUpdate, UINT flags) {
    return ::RedrawWindow(m_hWnd, lpRectUpdate, prgnUpdate ? static_cast<HRGN>(*prgnUpdate) : nullptr, flags);
}

void CWnd::SetRedraw(BOOL bRedraw) {
    ::SendMessageW(m_hWnd, WM_SETREDRAW, static_cast<WPARAM>(bRedraw), 0);
}

CDC* CWnd::GetDC() {
    return CDC::FromHandle(::GetDC(m_hWnd));
}

CDC* CWnd::GetWindowDC() {
    return CDC::FromHandle(::GetWindowDC(m_hWnd));
}

int CWnd::ReleaseDC(CDC* pDC) {
    if (!pDC)
        return 0;
    return ::ReleaseDC(m_hWnd, pDC->m_hDC);
}

// ---- Messages.

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType) {
    CWinApp* app = AfxGetApp();
    if (!lpszCaption && app)
        lpszCaption = app->m_pszAppName;
    return ::MessageBoxW(m_hWnd, lpszText, lpszCaption, nType);
}

// ---- Dialog items.

CWnd* CWnd::GetDlgItem(int nID) const {
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

void CWnd::GetDlgItem(int nID, HWND* phWnd) const {
    if (phWnd)
        *phWnd = ::GetDlgItem(m_hWnd, nID);
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessageW(m_hWnd, nID, message, wParam, lParam);
}

void CWnd::SetDlgItemText(int nID, LPCTSTR lpszString) {
    ::SetDlgItemTextW(m_hWnd, nID, lpszString);
}

int CWnd::GetDlgItemText(int nID, LPTSTR lpStr, int nMaxCount) const {
    return static_cast<int>(::GetDlgItemTextW(m_hWnd, nID, lpStr, nMaxCount));
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
    rString.Empty();
    HWND item = ::GetDlgItem(m_hWnd, nID);
    if (!item)
        return 0;
    int length = ::GetWindowTextLengthW(item);
    ::GetWindowTextW(item, rString.GetBuffer(length), length + 1);
    rString.ReleaseBuffer();
    return rString.GetLength();
}

void CWnd::SetDlgItemInt(int nID, UINT nValue, BOOL bSigned) {
    ::SetDlgItemInt(m_hWnd, nID, nValue, bSigned);
}

UINT CWnd::GetDlgItemInt(int nID, BOOL* lpTrans, BOOL bSigned) const {
    return ::GetDlgItemInt(m_hWnd, nID, lpTrans, bSigned);
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
    ::CheckDlgButton(m_hWnd, nIDButton, nCheck);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    return ::IsDlgButtonChecked(m_hWnd, nIDButton);
}

void CWnd::CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    ::CheckRadioButton(m_hWnd, nIDFirstButton, nIDLastButton, nIDCheckButton);
}

CWnd* CWnd::GetNextDlgTabItem(CWnd* pWndCtl, BOOL bPrevious) const {
    return FromHandle(::GetNextDlgTabItem(m_hWnd, pWndCtl ? pWndCtl->m_hWnd : nullptr, bPrevious));
}

CWnd* CWnd::GetNextDlgGroupItem(CWnd* pWndCtl, BOOL bPrevious) const {
    return FromHandle(::GetNextDlgGroupItem(m_hWnd, pWndCtl ? pWndCtl->m_hWnd : nullptr, bPrevious));
}

// ---- Default handlers.

int CWnd::OnCreate(LPCREATESTRUCT) {
    return static_cast<int>(Default());
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnNcDestroy() {
    Default();
    FinishNcDestroy();
}
void CWnd::OnPaint() {
    Default();
}
BOOL CWnd::OnEraseBkgnd(CDC*) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnClose() {
    Default();
}
void CWnd::OnSize(UINT, int, int) {
    Default();
}
void CWnd::OnMove(int, int) {
    Default();
}
void CWnd::OnShowWindow(BOOL, UINT) {
    Default();
}
void CWnd::OnEnable(BOOL) {
    Default();
}
void CWnd::OnActivate(UINT, CWnd*, BOOL) {
    Default();
}
void CWnd::OnSetFocus(CWnd*) {
    Default();
}
void CWnd::OnKillFocus(CWnd*) {
    Default();
}
void CWnd::OnKeyDown(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnKeyUp(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnChar(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDblClk(UINT, CPoint) {
    Default();
}
void CWnd::OnMouseMove(UINT, CPoint) {
    Default();
}
void CWnd::OnTimer(UINT_PTR) {
    Default();
}
UINT CWnd::OnGetDlgCode() {
    return static_cast<UINT>(Default());
}
void CWnd::OnHScroll(UINT, UINT, CScrollBar* pScrollBar) {
    if (pScrollBar && pScrollBar->SendChildNotifyLastMsg())
        return;
    Default();
}
void CWnd::OnVScroll(UINT, UINT, CScrollBar* pScrollBar) {
    if (pScrollBar && pScrollBar->SendChildNotifyLastMsg())
        return;
    Default();
}
BOOL CWnd::OnCopyData(CWnd*, COPYDATASTRUCT*) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnSettingChange(UINT, LPCTSTR) {
    Default();
}
void CWnd::OnCaptureChanged(CWnd*) {
    Default();
}

HBRUSH CWnd::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    LRESULT result = 0;
    if (pWnd && pDC &&
        ReflectTo(pWnd->m_hWnd, WM_CTLCOLORMSGBOX + nCtlColor, reinterpret_cast<WPARAM>(pDC->m_hDC),
                  reinterpret_cast<LPARAM>(pWnd->m_hWnd), &result))
        return reinterpret_cast<HBRUSH>(result);
    return reinterpret_cast<HBRUSH>(Default());
}

void CWnd::OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct) {
    if (lpDrawItemStruct && lpDrawItemStruct->CtlType != ODT_MENU &&
        ReflectTo(lpDrawItemStruct->hwndItem, WM_DRAWITEM, static_cast<WPARAM>(nIDCtl),
                  reinterpret_cast<LPARAM>(lpDrawItemStruct), nullptr))
        return;
    Default();
}

void CWnd::OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    HWND control = ::GetDlgItem(m_hWnd, nIDCtl);
    if (lpMeasureItemStruct && control && lpMeasureItemStruct->CtlType != ODT_MENU &&
        ReflectTo(control, WM_MEASUREITEM, static_cast<WPARAM>(nIDCtl),
                  reinterpret_cast<LPARAM>(lpMeasureItemStruct), nullptr))
        return;
    Default();
}
