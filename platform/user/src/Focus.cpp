#include <algorithm>

#include "Internal.h"
#include "kernel/Errors.h"
#include "user/Paint.h"

namespace user::detail {

HWND g_focus = nullptr;
HWND g_active = nullptr;
HWND g_capture = nullptr;
HWND g_foreground = nullptr;

namespace {

void RaiseToTop(Window* top) {
    Window* desktop = Desktop();
    auto& siblings = desktop->children;
    auto it = std::find(siblings.begin(), siblings.end(), top);
    if (it == siblings.end())
        return;
    siblings.erase(it);
    auto place = siblings.begin();
    if (!(top->exStyle & WS_EX_TOPMOST))
        while (place != siblings.end() && ((*place)->exStyle & WS_EX_TOPMOST))
            ++place;
    bool moved = place == siblings.end() || *place != top;
    siblings.insert(place, top);
    if (moved) {
        BumpEpoch();
        if (IsDrawable(top))
            InvalidateWhole(top, true);
    }
}

bool CanActivate(const Window* w) {
    return w && !IsDesktop(w) && !w->destroying && !w->destroyed && (w->style & WS_VISIBLE) &&
           !(w->style & WS_DISABLED) && !(w->exStyle & WS_EX_NOACTIVATE);
}

} // namespace

HWND SetFocusTo(Window* w) {
    HWND old = g_focus;
    if (w && w->handle == old)
        return old;
    if (!w && !old)
        return nullptr;
    if (w) {
        Window* top = TopLevelOf(w);
        if (top && !IsDesktop(top) && g_active != top->handle && CanActivate(top)) {
            Activate(top, WA_ACTIVE);
            if (w->destroyed)
                return old;
            if (g_focus == w->handle)
                return old;
        }
        old = g_focus;
    }
    Window* previous = Peek(old);
    if (previous) {
        auto keep = previous->shared_from_this();
        g_focus = nullptr;
        Send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(w ? w->handle : nullptr), 0);
        if (g_focus != nullptr)
            return old; // the handler moved the focus itself
    }
    if (w && w->destroyed)
        return old;
    g_focus = w ? w->handle : nullptr;
    if (w)
        Send(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous ? old : nullptr), 0);
    return old;
}

void Activate(Window* top, WORD state) {
    HWND oldHandle = g_active;
    if (top && top->handle == oldHandle)
        return;
    Window* old = Peek(oldHandle);
    std::shared_ptr<Window> keepOld = old ? old->shared_from_this() : nullptr;
    std::shared_ptr<Window> keepNew = top ? top->shared_from_this() : nullptr;
    g_active = top ? top->handle : nullptr;
    g_foreground = g_active;
    NotifyForegroundChanged();
    if (old && !old->destroyed) {
        Send(old, WM_NCACTIVATE, FALSE, 0);
        Send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0),
             reinterpret_cast<LPARAM>(top ? top->handle : nullptr));
        Window* focus = Peek(g_focus);
        if (focus && IsDescendant(old, focus) && !(top && IsDescendant(top, focus)))
            SetFocusTo(nullptr);
    }
    if (g_active != (top ? top->handle : nullptr))
        return; // a handler activated another window
    if (!top) {
        SetFocusTo(nullptr);
        return;
    }
    if (top->destroyed)
        return;
    RaiseToTop(top);
    Send(top, WM_NCACTIVATE, TRUE, 0);
    if (!top->destroyed)
        Send(top, WM_ACTIVATE, MAKEWPARAM(state, 0), reinterpret_cast<LPARAM>(oldHandle));
}

void ActivateNext(Window* leaving) {
    Window* next = nullptr;
    for (Window* owner = leaving->owner; owner && !next; owner = owner->owner)
        if (CanActivate(owner) && !IsDescendant(leaving, owner))
            next = owner;
    if (!next) {
        for (Window* top : Desktop()->children) {
            if (top != leaving && CanActivate(top) && top->thread == leaving->thread) {
                next = top;
                break;
            }
        }
    }
    Activate(next, WA_ACTIVE);
}

void ReleaseCaptureIfInside(Window* w) {
    Window* capture = Peek(g_capture);
    if (capture && IsDescendant(w, capture))
        g_capture = nullptr;
}

} // namespace user::detail

using namespace user::detail;

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    auto keep = w->shared_from_this();
    bool wasVisible = (w->style & WS_VISIBLE) != 0;
    bool show = nCmdShow != SW_HIDE && nCmdShow != SW_MINIMIZE && nCmdShow != SW_SHOWMINIMIZED &&
                nCmdShow != SW_SHOWMINNOACTIVE;
    bool activate = nCmdShow == SW_SHOW || nCmdShow == SW_SHOWNORMAL || nCmdShow == SW_RESTORE ||
                    nCmdShow == SW_SHOWMAXIMIZED;
    if (show == wasVisible) {
        if (show && activate && IsTopLevel(w) && CanActivate(w))
            Activate(w, WA_ACTIVE);
        return wasVisible ? TRUE : FALSE;
    }
    Send(w, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (w->destroyed)
        return wasVisible ? TRUE : FALSE;
    if (show) {
        w->style |= WS_VISIBLE;
        BumpEpoch();
        InvalidateWhole(w, true);
        if (activate && IsTopLevel(w) && CanActivate(w))
            Activate(w, WA_ACTIVE);
    } else {
        gdi::Region exposed = VisibleRegion(w, Part::Whole);
        w->style &= ~WS_VISIBLE;
        BumpEpoch();
        if (!exposed.IsEmpty())
            InvalidateScreenRegion(exposed, IsTopLevel(w) ? Desktop() : w->parent, w);
        ReleaseCaptureIfInside(w);
        Window* active = Peek(g_active);
        if (active && IsDescendant(w, active))
            ActivateNext(w);
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hWnd) {
    Locked lock;
    Window* w = Peek(hWnd);
    return w && IsShown(w) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !bEnable)
        return wasDisabled ? TRUE : FALSE;
    auto keep = w->shared_from_this();
    if (!bEnable) {
        Send(w, WM_CANCELMODE, 0, 0);
        if (w->destroyed)
            return FALSE;
        w->style |= WS_DISABLED;
        ReleaseCaptureIfInside(w);
    } else {
        w->style &= ~WS_DISABLED;
    }
    Send(w, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hWnd) {
    Locked lock;
    Window* w = Peek(hWnd);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND SetFocus(HWND hWnd) {
    Locked lock;
    if (!hWnd)
        return SetFocusTo(nullptr);
    Window* w = Find(hWnd);
    if (!w)
        return nullptr;
    if (w->thread.get() != &CurrentThread())
        return kernel::Fail(ERROR_ACCESS_DENIED, nullptr);
    if (IsDesktop(w))
        return kernel::Fail(ERROR_INVALID_PARAMETER, nullptr);
    return SetFocusTo(w);
}

HWND GetFocus() {
    Locked lock;
    return Peek(g_focus) ? g_focus : nullptr;
}

HWND SetActiveWindow(HWND hWnd) {
    Locked lock;
    HWND old = g_active;
    Window* w = Find(hWnd);
    if (!w)
        return nullptr;
    Window* top = TopLevelOf(w);
    if (IsDesktop(top))
        return nullptr;
    Activate(top, WA_ACTIVE);
    return old;
}

HWND GetActiveWindow() {
    Locked lock;
    return Peek(g_active) ? g_active : nullptr;
}

BOOL SetForegroundWindow(HWND hWnd) {
    hWnd = reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(hWnd) & ~UINT_PTR{1});
    if (IsForeignHandle(hWnd))
        return RemoteSetForeground(hWnd) ? TRUE : FALSE;
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    if (IsDesktop(w)) {
        Activate(nullptr, WA_ACTIVE);
        g_foreground = w->handle;
        NotifyForegroundChanged();
        return TRUE;
    }
    Window* top = TopLevelOf(w);
    if (g_active == top->handle) {
        g_foreground = top->handle;
        return TRUE;
    }
    Activate(top, WA_ACTIVE);
    return TRUE;
}

HWND GetForegroundWindow() {
    Locked lock;
    if (Peek(g_foreground))
        return g_foreground;
    return Peek(g_active) ? g_active : nullptr;
}

HWND SetCapture(HWND hWnd) {
    Locked lock;
    HWND old = Peek(g_capture) ? g_capture : nullptr;
    Window* w = Find(hWnd);
    if (!w)
        return nullptr;
    if (old == hWnd)
        return old;
    g_capture = hWnd;
    if (Window* previous = Peek(old))
        Send(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hWnd));
    return old;
}

BOOL ReleaseCapture() {
    Locked lock;
    Window* previous = Peek(g_capture);
    g_capture = nullptr;
    if (previous)
        Send(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    Locked lock;
    return Peek(g_capture) ? g_capture : nullptr;
}
