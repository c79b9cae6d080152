#pragma once
// CWnd: a C++ object attached to a window. What a caller may rely on:
// - A window made by CreateEx or Create, or taken over by SubclassWindow (SubclassDlgItem, DDX_Control),
//   is attached to its object for its life: its messages go to WindowProc, which gives OnWndMsg every
//   message first; OnWndMsg runs the message maps (classlib/MessageMap.h), and what no map takes goes to
//   DefWindowProc, the window's previous procedure. Default() passes the message being handled on there.
// - A control's WM_COMMAND, WM_NOTIFY, control-colour, WM_DRAWITEM and WM_MEASUREITEM messages to its
//   parent are first reflected to the control's own object (OnChildNotify: entries made with
//   ON_NOTIFY_REFLECT, ON_CONTROL_REFLECT, ON_WM_CTLCOLOR_REFLECT...); what the control takes, the parent
//   does not see.
// - The handle map: FromHandlePermanent finds the object attached to a window; FromHandle also makes a
//   temporary CWnd for a window that has none. Temporary objects belong to the class library, live until
//   the next DeleteTempMap (the application's idle time) and never destroy their windows; those of
//   windows that are gone may go earlier, when many have gathered.
// - WM_NCDESTROY detaches the object (its m_hWnd becomes NULL) and then calls PostNcDestroy, which may
//   delete the object. Destroying an object whose window still exists destroys the window.
// - Everything here is per thread, like the windows themselves.

#include <memory>

#include "classlib/Gdi.h"
#include "classlib/Geometry.h"
#include "classlib/MessageMap.h"
#include "classlib/String.h"
#include "commctrl/CommCtrl.h"
#include "crt/Types.h"
#include "user/Controls.h"
#include "user/User.h"

class CWnd;
class CMenu;
class CScrollBar;
class CDataExchange;
struct CCreateContext;

namespace classlib::detail {
struct WndAccess;
} // namespace classlib::detail

// The window procedure of every window that a CWnd is attached to.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

class CWnd : public CCmdTarget {
    DECLARE_DYNCREATE(CWnd)
public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The handle map. FromHandle(NULL) is NULL.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);
    static void DeleteTempMap();
    // Puts the object in the handle map without taking the window's messages; false when the object or
    // the window is attached already.
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // Attaches and takes the window's messages (its procedure becomes AfxWndProc; the old one is what
    // DefWindowProc calls). PreSubclassWindow runs first.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    // Gives the window its old procedure back and detaches it.
    HWND UnsubclassWindow();

    // Creation: the window is attached to this object before its first message (WM_NCCREATE). Create makes
    // a child window (WS_CHILD is added); a NULL class is the class library's own window class. FALSE
    // when the window could not be made (PostNcDestroy has run then).
    virtual BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID, CCreateContext* pContext = nullptr);
    virtual BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                          int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                          LPVOID lpParam = nullptr);
    BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                  const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    virtual BOOL DestroyWindow();
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    // Called when a window is attached by creation (before WM_NCCREATE) or by subclassing.
    virtual void PreSubclassWindow();
    virtual void PostNcDestroy();

    // Dispatch. WindowProc gives OnWndMsg every message; what OnWndMsg does not take goes to DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Reflects the message being handled to the object of a child window; true when it took it.
    static BOOL ReflectLastMsg(HWND hWndChild, LRESULT* pResult = nullptr);
    BOOL SendChildNotifyLastMsg(LRESULT* pResult = nullptr);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    LRESULT Default();
    // The message being handled on this thread (the innermost one).
    static const MSG* GetCurrentMessage();

    // Data exchange with the window's controls (see classlib/Dialog.h).
    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // The window.
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    int GetDlgCtrlID() const;
    int SetDlgCtrlID(int nID);
    CWnd* GetParent() const;
    CWnd* SetParent(CWnd* pWndNewParent);
    CWnd* GetOwner() const;
    CWnd* GetTopLevelParent() const;
    CWnd* GetWindow(UINT nCmd) const;
    CWnd* GetTopWindow() const;
    BOOL IsChild(const CWnd* pWnd) const;
    static CWnd* FindWindow(LPCTSTR lpszClassName, LPCTSTR lpszWindowName);
    void SetWindowText(LPCTSTR lpszString);
    int GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const;
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    CFont* GetFont() const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    HICON GetIcon(BOOL bBigIcon) const;

    // Geometry.
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;
    void MapWindowPoints(CWnd* pwndTo, LPRECT lpRect) const;
    void MapWindowPoints(CWnd* pwndTo, LPPOINT lpPoint, UINT nCount) const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    // Centres a top-level window on its owner (or pAlternateOwner) when that is visible, else on the
    // work area, keeping it inside the work area; a child window in its parent's client area.
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    void BringWindowToTop();

    // State.
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    CWnd* SetCapture();
    static CWnd* GetCapture();
    CWnd* SetActiveWindow();
    static CWnd* GetActiveWindow();
    BOOL SetForegroundWindow();
    static CWnd* GetForegroundWindow();
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);

    // Painting.
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    void ValidateRect(LPCRECT lpRect);
    void UpdateWindow();
    BOOL RedrawWindow(LPCRECT lpRectUpdate = nullptr, CRgn* prgnUpdate = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    void SetRedraw(BOOL bRedraw = TRUE);
    // A temporary CDC of the client area (or the whole window), to give back with ReleaseDC.
    CDC* GetDC();
    CDC* GetWindowDC();
    int ReleaseDC(CDC* pDC);

    // Messages.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    int MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption = nullptr, UINT nType = MB_OK);

    // Dialog items.
    CWnd* GetDlgItem(int nID) const;
    void GetDlgItem(int nID, HWND* phWnd) const;
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void SetDlgItemText(int nID, LPCTSTR lpszString);
    int GetDlgItemText(int nID, LPTSTR lpStr, int nMaxCount) const;
    int GetDlgItemText(int nID, CString& rString) const;
    void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE);
    UINT GetDlgItemInt(int nID, BOOL* lpTrans = nullptr, BOOL bSigned = TRUE) const;
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;
    void CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton);
    CWnd* GetNextDlgTabItem(CWnd* pWndCtl, BOOL bPrevious = FALSE) const;
    CWnd* GetNextDlgGroupItem(CWnd* pWndCtl, BOOL bPrevious = FALSE) const;

    // The default handlers: each passes its message on (Default()). A derived class's handler calls the
    // base's to get the default processing.
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnDestroy();
    afx_msg void OnNcDestroy();
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnClose();
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnMove(int x, int y);
    afx_msg void OnShowWindow(BOOL bShow, UINT nStatus);
    afx_msg void OnEnable(BOOL bEnable);
    afx_msg void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg void OnKillFocus(CWnd* pNewWnd);
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDblClk(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg UINT OnGetDlgCode();
    // A scroll message from a control is reflected to the control's object first.
    afx_msg void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    afx_msg void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    afx_msg BOOL OnCopyData(CWnd* pWnd, COPYDATASTRUCT* pCopyDataStruct);
    afx_msg void OnSettingChange(UINT uFlags, LPCTSTR lpszSection);
    afx_msg void OnCaptureChanged(CWnd* pWnd);
    // Reflects the colour query to the control's object; without one the default colours.
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    // Reflected to the control's object.
    afx_msg void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
    afx_msg void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct);

protected:
    // The procedure that messages go on to: the window's own before it was subclassed.
    WNDPROC m_pfnSuper = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend struct classlib::detail::WndAccess;
    // Detaches after WM_NCDESTROY and calls PostNcDestroy.
    void FinishNcDestroy();
};

// The scroll-bar argument of OnHScroll and OnVScroll: the window that sent the message.
class CScrollBar : public CWnd {
    DECLARE_DYNCREATE(CScrollBar)
};

// Menus from a module's resources or made in code; the object owns its menu unless Detach is called.
class CMenu : public CObject {
    DECLARE_DYNCREATE(CMenu)
public:
    CMenu() = default;
    ~CMenu() override;

    HMENU m_hMenu = nullptr;
    operator HMENU() const { return m_hMenu; }
    HMENU GetSafeHmenu() const { return m_hMenu; }
    // A temporary CMenu for a menu that no object holds (a submenu); it never destroys its menu and is
    // deleted at the next DeleteTempMap.
    static CMenu* FromHandle(HMENU hMenu);
    static void DeleteTempMap();
    // FALSE when the handle is NULL or this object holds a menu already.
    BOOL Attach(HMENU hMenu);
    HMENU Detach();

    BOOL CreatePopupMenu();
    // An RT_MENU resource of the resource module (AfxGetResourceHandle).
    BOOL LoadMenu(UINT nIDResource);
    BOOL LoadMenu(LPCTSTR lpszResourceName);
    BOOL DestroyMenu();
    CMenu* GetSubMenu(int nPos) const;
    UINT GetMenuItemCount() const;
    UINT GetMenuState(UINT nID, UINT nFlags) const;
    UINT CheckMenuItem(UINT nIDCheckItem, UINT nCheck);
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr);
    // A modal popup at a screen point; the chosen item reaches pWnd as WM_COMMAND.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr);
};

// Device contexts of windows: CPaintDC begins a paint in its constructor and ends it in its destructor;
// CClientDC and CWindowDC take the client area's or the whole window's DC and give it back.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd = nullptr;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

protected:
    HWND m_hWnd = nullptr;
};

class CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd* pWnd);
    ~CWindowDC() override;

protected:
    HWND m_hWnd = nullptr;
};

// ---------------------------------------------------------------------------------------------------
// The thunks that crack messages into their handlers' arguments. Each checks its handler's signature.

namespace afx {

// What a reflected control-colour message carries in its lParam.
struct CtlColorArgs {
    HWND hwnd;
    HDC hdc;
    UINT type;
};

inline CPoint PointOf(LPARAM lParam) {
    return CPoint(lParam);
}

template <auto Fn>
bool VoidHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void()>, "the handler must be void ()");
    (Target<Fn>(target)->*Fn)();
    m.result = 0;
    return true;
}

template <auto Fn>
bool CreateHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, int(LPCREATESTRUCT)>, "the handler must be int (LPCREATESTRUCT)");
    m.result = (Target<Fn>(target)->*Fn)(reinterpret_cast<LPCREATESTRUCT>(m.lParam));
    return true;
}

template <auto Fn>
bool EraseHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, BOOL(CDC*)>, "the handler must be BOOL (CDC*)");
    m.result = (Target<Fn>(target)->*Fn)(CDC::FromHandle(reinterpret_cast<HDC>(m.wParam)));
    return true;
}

template <auto Fn>
bool KeyHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(UINT, UINT, UINT)>, "the handler must be void (UINT, UINT, UINT)");
    (Target<Fn>(target)->*Fn)(static_cast<UINT>(m.wParam), LOWORD(m.lParam), HIWORD(m.lParam));
    m.result = 0;
    return true;
}

template <auto Fn>
bool MouseHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(UINT, CPoint)>, "the handler must be void (UINT, CPoint)");
    (Target<Fn>(target)->*Fn)(static_cast<UINT>(m.wParam), PointOf(m.lParam));
    m.result = 0;
    return true;
}

template <auto Fn>
bool TimerHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(UINT_PTR)>, "the handler must be void (UINT_PTR)");
    (Target<Fn>(target)->*Fn)(static_cast<UINT_PTR>(m.wParam));
    m.result = 0;
    return true;
}

template <auto Fn>
bool WindowHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(CWnd*)>, "the handler must be void (CWnd*)");
    HWND other =
        m.message == WM_CAPTURECHANGED ? reinterpret_cast<HWND>(m.lParam) : reinterpret_cast<HWND>(m.wParam);
    (Target<Fn>(target)->*Fn)(CWnd::FromHandle(other));
    m.result = 0;
    return true;
}

template <auto Fn>
bool BoolHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(BOOL)>, "the handler must be void (BOOL)");
    (Target<Fn>(target)->*Fn)(static_cast<BOOL>(m.wParam));
    m.result = 0;
    return true;
}

template <auto Fn>
bool ShowWindowHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(BOOL, UINT)>, "the handler must be void (BOOL, UINT)");
    (Target<Fn>(target)->*Fn)(static_cast<BOOL>(m.wParam), static_cast<UINT>(m.lParam));
    m.result = 0;
    return true;
}

template <auto Fn>
bool SizeHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(UINT, int, int)>, "the handler must be void (UINT, int, int)");
    (Target<Fn>(target)->*Fn)(static_cast<UINT>(m.wParam), static_cast<SHORT>(LOWORD(m.lParam)),
                              static_cast<SHORT>(HIWORD(m.lParam)));
    m.result = 0;
    return true;
}

template <auto Fn>
bool MoveHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(int, int)>, "the handler must be void (int, int)");
    (Target<Fn>(target)->*Fn)(static_cast<SHORT>(LOWORD(m.lParam)), static_cast<SHORT>(HIWORD(m.lParam)));
    m.result = 0;
    return true;
}

template <auto Fn>
bool GetDlgCodeHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, UINT()>, "the handler must be UINT ()");
    m.result = static_cast<LRESULT>((Target<Fn>(target)->*Fn)());
    return true;
}

template <auto Fn>
bool ScrollHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(UINT, UINT, CScrollBar*)>,
                  "the handler must be void (UINT, UINT, CScrollBar*)");
    auto* bar = static_cast<CScrollBar*>(CWnd::FromHandle(reinterpret_cast<HWND>(m.lParam)));
    (Target<Fn>(target)->*Fn)(LOWORD(m.wParam), static_cast<UINT>(static_cast<SHORT>(HIWORD(m.wParam))), bar);
    m.result = 0;
    return true;
}

template <auto Fn>
bool ActivateHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(UINT, CWnd*, BOOL)>, "the handler must be void (UINT, CWnd*, BOOL)");
    (Target<Fn>(target)->*Fn)(LOWORD(m.wParam), CWnd::FromHandle(reinterpret_cast<HWND>(m.lParam)),
                              HIWORD(m.wParam) != 0);
    m.result = 0;
    return true;
}

template <auto Fn>
bool CopyDataHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, BOOL(CWnd*, COPYDATASTRUCT*)>,
                  "the handler must be BOOL (CWnd*, COPYDATASTRUCT*)");
    m.result = (Target<Fn>(target)->*Fn)(CWnd::FromHandle(reinterpret_cast<HWND>(m.wParam)),
                                         reinterpret_cast<COPYDATASTRUCT*>(m.lParam));
    return true;
}

template <auto Fn>
bool SettingChangeHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(UINT, LPCTSTR)>, "the handler must be void (UINT, LPCTSTR)");
    (Target<Fn>(target)->*Fn)(static_cast<UINT>(m.wParam), reinterpret_cast<LPCTSTR>(m.lParam));
    m.result = 0;
    return true;
}

template <auto Fn>
bool CtlColorHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, HBRUSH(CDC*, CWnd*, UINT)>,
                  "the handler must be HBRUSH (CDC*, CWnd*, UINT)");
    HBRUSH brush = (Target<Fn>(target)->*Fn)(CDC::FromHandle(reinterpret_cast<HDC>(m.wParam)),
                                             CWnd::FromHandle(reinterpret_cast<HWND>(m.lParam)),
                                             m.message - WM_CTLCOLORMSGBOX);
    m.result = reinterpret_cast<LRESULT>(brush);
    return true;
}

// A control's answer to its own colour query; NULL leaves the query to its parent.
template <auto Fn>
bool CtlColorReflectHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, HBRUSH(CDC*, UINT)>, "the handler must be HBRUSH (CDC*, UINT)");
    auto* args = reinterpret_cast<const CtlColorArgs*>(m.lParam);
    HBRUSH brush = (Target<Fn>(target)->*Fn)(CDC::FromHandle(args->hdc), args->type);
    m.result = reinterpret_cast<LRESULT>(brush);
    return brush != nullptr;
}

template <auto Fn>
bool DrawItemHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(int, LPDRAWITEMSTRUCT)>,
                  "the handler must be void (int, LPDRAWITEMSTRUCT)");
    (Target<Fn>(target)->*Fn)(static_cast<int>(m.wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(m.lParam));
    m.result = TRUE;
    return true;
}

template <auto Fn>
bool MeasureItemHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(int, LPMEASUREITEMSTRUCT)>,
                  "the handler must be void (int, LPMEASUREITEMSTRUCT)");
    (Target<Fn>(target)->*Fn)(static_cast<int>(m.wParam), reinterpret_cast<LPMEASUREITEMSTRUCT>(m.lParam));
    m.result = TRUE;
    return true;
}

template <auto Fn>
bool CommandHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void()>, "the handler must be void ()");
    (Target<Fn>(target)->*Fn)();
    m.result = 0;
    return true;
}

template <auto Fn>
bool CommandRangeHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(UINT)>, "the handler must be void (UINT)");
    (Target<Fn>(target)->*Fn)(LOWORD(m.wParam));
    m.result = 0;
    return true;
}

template <auto Fn>
bool CommandExHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, BOOL()>, "the handler must be BOOL ()");
    m.result = 0;
    return (Target<Fn>(target)->*Fn)() != FALSE;
}

template <auto Fn>
bool NotifyHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, void(NMHDR*, LRESULT*)>, "the handler must be void (NMHDR*, LRESULT*)");
    LRESULT result = 0;
    (Target<Fn>(target)->*Fn)(reinterpret_cast<NMHDR*>(m.lParam), &result);
    m.result = result;
    return true;
}

template <auto Fn>
bool NotifyExHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, BOOL(NMHDR*, LRESULT*)>, "the handler must be BOOL (NMHDR*, LRESULT*)");
    LRESULT result = 0;
    BOOL handled = (Target<Fn>(target)->*Fn)(reinterpret_cast<NMHDR*>(m.lParam), &result);
    m.result = result;
    return handled != FALSE;
}

template <auto Fn>
bool MessageHandler(CCmdTarget* target, Message& m) {
    static_assert(kHasSignature<Fn, LRESULT(WPARAM, LPARAM)>, "the handler must be LRESULT (WPARAM, LPARAM)");
    m.result = (Target<Fn>(target)->*Fn)(m.wParam, m.lParam);
    return true;
}

} // namespace afx

// Window messages.
#define ON_WM_CREATE() {WM_CREATE, 0, 0, 0, &afx::CreateHandler<&ThisClass::OnCreate>},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, &afx::VoidHandler<&ThisClass::OnDestroy>},
#define ON_WM_NCDESTROY() {WM_NCDESTROY, 0, 0, 0, &afx::VoidHandler<&ThisClass::OnNcDestroy>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, &afx::VoidHandler<&ThisClass::OnPaint>},
#define ON_WM_ERASEBKGND() {WM_ERASEBKGND, 0, 0, 0, &afx::EraseHandler<&ThisClass::OnEraseBkgnd>},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, 0, &afx::VoidHandler<&ThisClass::OnClose>},
#define ON_WM_SIZE() {WM_SIZE, 0, 0, 0, &afx::SizeHandler<&ThisClass::OnSize>},
#define ON_WM_MOVE() {WM_MOVE, 0, 0, 0, &afx::MoveHandler<&ThisClass::OnMove>},
#define ON_WM_SHOWWINDOW() {WM_SHOWWINDOW, 0, 0, 0, &afx::ShowWindowHandler<&ThisClass::OnShowWindow>},
#define ON_WM_ENABLE() {WM_ENABLE, 0, 0, 0, &afx::BoolHandler<&ThisClass::OnEnable>},
#define ON_WM_ACTIVATE() {WM_ACTIVATE, 0, 0, 0, &afx::ActivateHandler<&ThisClass::OnActivate>},
#define ON_WM_SETFOCUS() {WM_SETFOCUS, 0, 0, 0, &afx::WindowHandler<&ThisClass::OnSetFocus>},
#define ON_WM_KILLFOCUS() {WM_KILLFOCUS, 0, 0, 0, &afx::WindowHandler<&ThisClass::OnKillFocus>},
#define ON_WM_CAPTURECHANGED()                                                                               \
    {WM_CAPTURECHANGED, 0, 0, 0, &afx::WindowHandler<&ThisClass::OnCaptureChanged>},
#define ON_WM_KEYDOWN() {WM_KEYDOWN, 0, 0, 0, &afx::KeyHandler<&ThisClass::OnKeyDown>},
#define ON_WM_KEYUP() {WM_KEYUP, 0, 0, 0, &afx::KeyHandler<&ThisClass::OnKeyUp>},
#define ON_WM_CHAR() {WM_CHAR, 0, 0, 0, &afx::KeyHandler<&ThisClass::OnChar>},
#define ON_WM_LBUTTONDOWN() {WM_LBUTTONDOWN, 0, 0, 0, &afx::MouseHandler<&ThisClass::OnLButtonDown>},
#define ON_WM_LBUTTONUP() {WM_LBUTTONUP, 0, 0, 0, &afx::MouseHandler<&ThisClass::OnLButtonUp>},
#define ON_WM_LBUTTONDBLCLK() {WM_LBUTTONDBLCLK, 0, 0, 0, &afx::MouseHandler<&ThisClass::OnLButtonDblClk>},
#define ON_WM_MOUSEMOVE() {WM_MOUSEMOVE, 0, 0, 0, &afx::MouseHandler<&ThisClass::OnMouseMove>},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, &afx::TimerHandler<&ThisClass::OnTimer>},
#define ON_WM_GETDLGCODE() {WM_GETDLGCODE, 0, 0, 0, &afx::GetDlgCodeHandler<&ThisClass::OnGetDlgCode>},
#define ON_WM_HSCROLL() {WM_HSCROLL, 0, 0, 0, &afx::ScrollHandler<&ThisClass::OnHScroll>},
#define ON_WM_VSCROLL() {WM_VSCROLL, 0, 0, 0, &afx::ScrollHandler<&ThisClass::OnVScroll>},
#define ON_WM_COPYDATA() {WM_COPYDATA, 0, 0, 0, &afx::CopyDataHandler<&ThisClass::OnCopyData>},
#define ON_WM_SETTINGCHANGE()                                                                                \
    {WM_SETTINGCHANGE, 0, 0, 0, &afx::SettingChangeHandler<&ThisClass::OnSettingChange>},
#define ON_WM_CTLCOLOR() {WM_CTLCOLOR, 0, 0, 0, &afx::CtlColorHandler<&ThisClass::OnCtlColor>},
#define ON_WM_DRAWITEM() {WM_DRAWITEM, 0, 0, 0, &afx::DrawItemHandler<&ThisClass::OnDrawItem>},
#define ON_WM_MEASUREITEM() {WM_MEASUREITEM, 0, 0, 0, &afx::MeasureItemHandler<&ThisClass::OnMeasureItem>},
#define ON_MESSAGE(message, memberFxn) {message, 0, 0, 0, &afx::MessageHandler<&ThisClass::memberFxn>},

// Commands and control notifications.
#define ON_COMMAND(id, memberFxn)                                                                            \
    {WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(id),                                            \
     &afx::CommandHandler<&ThisClass::memberFxn>},
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                                              \
    {WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(idLast),                                        \
     &afx::CommandRangeHandler<&ThisClass::memberFxn>},
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                                               \
    {WM_COMMAND, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id), static_cast<UINT>(id),               \
     &afx::CommandHandler<&ThisClass::memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_DROPDOWN(id, memberFxn) ON_CONTROL(CBN_DROPDOWN, id, memberFxn)
#define ON_NOTIFY(wNotifyCode, id, memberFxn)                                                                \
    {WM_NOTIFY, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id), static_cast<UINT>(id),                \
     &afx::NotifyHandler<&ThisClass::memberFxn>},

// Reflected to the control itself.
#define ON_CONTROL_REFLECT(wNotifyCode, memberFxn)                                                           \
    {WM_REFLECT_BASE + WM_COMMAND, static_cast<UINT>(wNotifyCode), 0, 0,                                     \
     &afx::CommandHandler<&ThisClass::memberFxn>},
#define ON_CONTROL_REFLECT_EX(wNotifyCode, memberFxn)                                                        \
    {WM_REFLECT_BASE + WM_COMMAND, static_cast<UINT>(wNotifyCode), 0, 0,                                     \
     &afx::CommandExHandler<&ThisClass::memberFxn>},
#define ON_NOTIFY_REFLECT(wNotifyCode, memberFxn)                                                            \
    {WM_REFLECT_BASE + WM_NOTIFY, static_cast<UINT>(wNotifyCode), 0, 0,                                      \
     &afx::NotifyHandler<&ThisClass::memberFxn>},
#define ON_NOTIFY_REFLECT_EX(wNotifyCode, memberFxn)                                                         \
    {WM_REFLECT_BASE + WM_NOTIFY, static_cast<UINT>(wNotifyCode), 0, 0,                                      \
     &afx::NotifyExHandler<&ThisClass::memberFxn>},
#define ON_WM_CTLCOLOR_REFLECT()                                                                             \
    {WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0, 0, &afx::CtlColorReflectHandler<&ThisClass::CtlColor>},
