#pragma once
// Window classes and windows: creation and destruction, the parent/child tree and z-order, geometry,
// styles and window data, visibility, enabling, focus, activation and foreground, capture, window text,
// and the windows of other processes.
//
// What a caller may rely on:
// - Class names are case-insensitive and global to the process (the instance given to RegisterClassW is
//   kept but not used to tell classes apart). The standard controls' classes exist from the start.
// - HWND values are never reused; each carries the id of its process, so any process can tell a window
//   of another process from one of its own. The lowest bit of a window handle is always 0.
// - A child window (WS_CHILD) lies inside its parent's client area and is positioned in its parent's
//   client coordinates; other windows are top-level, positioned in screen coordinates, and a parent given
//   to them becomes their owner (GetParent answers the owner). New children go to the bottom of their
//   siblings' z-order, so creation order is the order of GetWindow(GW_CHILD)/GW_HWNDNEXT and the dialog
//   manager's tab order; new top-level windows go to the top (WS_EX_TOPMOST windows stay above others).
// - The client area is the window less its frame: WS_BORDER alone is 1 pixel, WS_DLGFRAME (and so
//   WS_CAPTION) kDialogFrame pixels, WS_CAPTION adds a caption bar of SM_CYCAPTION pixels,
//   WS_EX_CLIENTEDGE a 2-pixel sunken edge. The frame follows the current style at once.
// - DestroyWindow destroys owned windows and then the window: WM_DESTROY goes to the window, then to each
//   descendant (parents before children); WM_NCDESTROY then goes to every descendant before its parent,
//   the window last. Timers and queued messages of a destroyed window go with it.
// - A top-level window becomes the active window when it is shown (SW_SHOW, SW_SHOWNORMAL), raised by
//   SetWindowPos without SWP_NOACTIVATE, or pressed with the stylus; never when disabled, hidden or
//   WS_EX_NOACTIVATE (drop-down lists, popup menus).
// - ShowWindow sends WM_SHOWWINDOW before the change, EnableWindow sends WM_ENABLE after it. Focus changes
//   send WM_KILLFOCUS to the old window, then WM_SETFOCUS to the new one. SetCapture sends the mouse to
//   the capture window wherever the stylus is.
// - Other processes: FindWindowW, EnumWindows, GetWindowTextW, GetWindowModuleFileNameW,
//   GetWindowThreadProcessId, IsWindow and SetForegroundWindow reach the top-level windows of every
//   process of the device root (through a socket of each process in the root's run-time folder, served
//   whenever that process waits for messages).

#include <string>

#include "crt/Types.h"
#include "user/Messages.h"

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)
#define WS_CHILDWINDOW WS_CHILD

#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_NOPARENTNOTIFY 0x00000004L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_ACCEPTFILES 0x00000010L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTEXTHELP 0x00000400L
#define WS_EX_STATICEDGE 0x00020000L
#define WS_EX_CONTROLPARENT 0x00010000L
#define WS_EX_NOACTIVATE 0x08000000L
#define WS_EX_CAPTIONOKBTN 0x80000000L

// Class styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define CS_CLASSDC 0x0040
#define CS_PARENTDC 0x0080
#define CS_NOCLOSE 0x0200
#define CS_SAVEBITS 0x0800
#define CS_GLOBALCLASS 0x4000

#define CW_USEDEFAULT (static_cast<int>(0x80000000))

// Window data (GetWindowLongW and GetWindowLongPtrW). Non-negative offsets address the class's
// cbWndExtra bytes.
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_ID (-12)
#define GWL_USERDATA (-21)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWLP_USERDATA (-21)

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9

// SetWindowPos.
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_DRAWFRAME SWP_FRAMECHANGED
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOCOPYBITS 0x0100
#define SWP_NOOWNERZORDER 0x0200
#define SWP_NOREPOSITION SWP_NOOWNERZORDER
#define SWP_NOSENDCHANGING 0x0400
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_BOTTOM (reinterpret_cast<HWND>(1))
#define HWND_TOPMOST (reinterpret_cast<HWND>(-1))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(-2))
#define HWND_DESKTOP (reinterpret_cast<HWND>(0))

// GetWindow.
#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5

// GetAncestor.
#define GA_PARENT 1
#define GA_ROOT 2
#define GA_ROOTOWNER 3

// ChildWindowFromPointEx.
#define CWP_ALL 0x0000
#define CWP_SKIPINVISIBLE 0x0001
#define CWP_SKIPDISABLED 0x0002
#define CWP_SKIPTRANSPARENT 0x0004

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};
using WNDCLASS = WNDCLASSW;
using PWNDCLASSW = WNDCLASSW*;
using LPWNDCLASSW = WNDCLASSW*;

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};
using LPCREATESTRUCTW = CREATESTRUCTW*;
using CREATESTRUCT = CREATESTRUCTW;
using LPCREATESTRUCT = CREATESTRUCTW*;

struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};
using LPWINDOWPOS = WINDOWPOS*;
using PWINDOWPOS = WINDOWPOS*;

struct STYLESTRUCT {
    DWORD styleOld;
    DWORD styleNew;
};
using LPSTYLESTRUCT = STYLESTRUCT*;

using WNDENUMPROC = BOOL (*)(HWND, LPARAM);

// Classes. The class name may be an atom (MAKEINTRESOURCE of RegisterClassW's result).
// ERROR_CLASS_ALREADY_EXISTS for a name in use.
ATOM RegisterClassW(const WNDCLASSW* lpWndClass);
// ERROR_CLASS_DOES_NOT_EXIST for a name not in use, ERROR_CLASS_HAS_WINDOWS while windows of it exist;
// the standard classes cannot be unregistered.
BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance);
BOOL GetClassInfoW(HINSTANCE hInstance, LPCWSTR lpClassName, LPWNDCLASSW lpWndClass);
int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount);

// Windows. hMenu is the control id of a child window. ERROR_CANNOT_FIND_WND_CLASS for an unknown class,
// ERROR_INVALID_WINDOW_HANDLE for a bad parent, ERROR_TLW_WITH_WSCHILD for WS_CHILD without a parent;
// NULL also when WM_NCCREATE answers FALSE or WM_CREATE answers -1 (the window is destroyed then).
HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                     LPVOID lpParam);
inline HWND CreateWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y, int nWidth,
                          int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
    return CreateWindowExW(0, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hWndParent, hMenu,
                           hInstance, lpParam);
}
BOOL DestroyWindow(HWND hWnd);
BOOL IsWindow(HWND hWnd);

// The tree.
HWND GetDesktopWindow();
// The parent of a child window, the owner of a top-level one.
HWND GetParent(HWND hWnd);
// Makes a window a child of another (NULL: the desktop, making it top-level); the old parent.
HWND SetParent(HWND hWndChild, HWND hWndNewParent);
HWND GetWindow(HWND hWnd, UINT uCmd);
HWND GetAncestor(HWND hWnd, UINT gaFlags);
HWND GetTopWindow(HWND hWnd);
BOOL IsChild(HWND hWndParent, HWND hWnd);
// Every descendant, in z-order, each before its own children; stops when the callback answers FALSE.
BOOL EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam);
// The top-level windows of this process in z-order, then those of the device's other processes.
BOOL EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam);
// A top-level window of any process of the device: the class compared without regard to case (NULL:
// any), the title likewise (NULL: any); this process's windows first, in z-order.
HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName);
DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);
// The device path of the program that owns the window.
UINT GetWindowModuleFileNameW(HWND hwnd, LPWSTR pszFileName, UINT cchFileNameMax);

// Geometry.
BOOL GetWindowRect(HWND hWnd, LPRECT lpRect);
BOOL GetClientRect(HWND hWnd, LPRECT lpRect);
BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint);
BOOL BringWindowToTop(HWND hWnd);
// Grows a client rectangle to the window rectangle that the style gives.
BOOL AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle);
BOOL AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu);
// A NULL window is the screen. Returns the horizontal shift in the low word and the vertical in the high.
int MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints);
BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint);
BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint);
// The deepest visible, enabled window under a screen point.
HWND WindowFromPoint(POINT Point);
// The child (of any state) under a point in the parent's client coordinates; the parent itself when no
// child is there, NULL when the point is outside the parent.
HWND ChildWindowFromPoint(HWND hWndParent, POINT Point);
HWND ChildWindowFromPointEx(HWND hwnd, POINT pt, UINT flags);

// Window data. SetWindowLongW(GWL_STYLE) sends WM_STYLECHANGING/WM_STYLECHANGED; it changes the flag
// WS_VISIBLE without showing or hiding anything, as on the handheld. ERROR_INVALID_INDEX for an offset
// outside the window's extra bytes.
LONG GetWindowLongW(HWND hWnd, int nIndex);
LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong);
LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex);
LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);

// Visibility and enabling.
BOOL ShowWindow(HWND hWnd, int nCmdShow);
// WS_VISIBLE on the window and every ancestor.
BOOL IsWindowVisible(HWND hWnd);
// Nonzero when the window was disabled before.
BOOL EnableWindow(HWND hWnd, BOOL bEnable);
BOOL IsWindowEnabled(HWND hWnd);

// Focus, activation and foreground. The foreground window of a process is its active window (or the
// desktop after SetForegroundWindow(GetDesktopWindow())). SetForegroundWindow ignores the lowest bit of
// the handle, which the handheld uses to bring a window's owned windows along.
HWND SetFocus(HWND hWnd);
HWND GetFocus();
HWND SetActiveWindow(HWND hWnd);
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND hWnd);
HWND GetForegroundWindow();

// Capture.
HWND SetCapture(HWND hWnd);
BOOL ReleaseCapture();
HWND GetCapture();

// Window text, through WM_SETTEXT and WM_GETTEXT for this process's windows.
BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString);
int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
int GetWindowTextLengthW(HWND hWnd);

#ifndef ERROR_CLASS_HAS_WINDOWS
#define ERROR_CLASS_HAS_WINDOWS 1412L
#endif
#ifndef ERROR_TLW_WITH_WSCHILD
#define ERROR_TLW_WITH_WSCHILD 1406L
#endif

namespace user {

// Frame sizes in pixels.
inline constexpr int kBorder = 1;
inline constexpr int kDialogFrame = 2;
inline constexpr int kClientEdge = 2;
inline constexpr int kCaptionHeight = 20;

// A standard window class that every process has from the start. The standard controls declare one
// object of static storage duration each, inside this library:
//     const user::SystemClass kButtonClass({CS_DBLCLKS, ButtonProc, 0, sizeof(void*), ..., u"BUTTON"});
class SystemClass {
public:
    explicit SystemClass(const WNDCLASSW& windowClass);
    SystemClass(const SystemClass&) = delete;
    SystemClass& operator=(const SystemClass&) = delete;
};

// The window's text without a message, for a caller that holds only the handle (any process).
std::u16string WindowText(HWND hWnd);

} // namespace user
