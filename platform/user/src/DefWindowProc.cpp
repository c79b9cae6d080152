#include <algorithm>

#include "Internal.h"
#include "gdi/Gdi.h"
#include "kernel/Errors.h"
#include "user/Paint.h"

using namespace user::detail;

namespace {

LRESULT NonClientHitTest(Window* w, LPARAM lParam) {
    POINT pt{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    RECT whole = WindowScreenRect(w);
    if (!PtInRect(&whole, pt))
        return HTNOWHERE;
    RECT client = ClientScreenRect(w);
    if (PtInRect(&client, pt))
        return HTCLIENT;
    if ((w->style & WS_CAPTION) == WS_CAPTION && pt.y < client.top && pt.x >= client.left &&
        pt.x < client.right)
        return HTCAPTION;
    return HTBORDER;
}

void PaintFrame(Window* w) {
    HDC hdc = GetWindowDC(w->handle);
    if (!hdc)
        return;
    // Borders and edges stay inside the frame's insets; only a caption's text could reach the client area.
    if ((w->style & WS_CAPTION) == WS_CAPTION) {
        RECT whole = WindowScreenRect(w);
        RECT client = ClientScreenRect(w);
        OffsetRect(&client, -whole.left, -whole.top);
        ExcludeClipRect(hdc, client.left, client.top, client.right, client.bottom);
    }
    DrawFrame(w, hdc);
    ReleaseDC(w->handle, hdc);
}

// The system colours of a control kind: text and background on hdc, and the background's brush.
LRESULT DefaultCtlColor(UINT message, HDC hdc) {
    int background = message == WM_CTLCOLORBTN || message == WM_CTLCOLORSCROLLBAR ? COLOR_BTNFACE
                     : message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORDLG  ? COLOR_STATIC
                                                                                  : COLOR_WINDOW;
    SetTextColor(hdc, GetSysColor(message == WM_CTLCOLORSTATIC ? COLOR_STATICTEXT : COLOR_WINDOWTEXT));
    SetBkColor(hdc, GetSysColor(background));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
}

} // namespace

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return 0;
    switch (Msg) {
    case WM_NCCREATE: {
        auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (create && create->lpszName && !IS_INTRESOURCE(create->lpszName))
            w->text = create->lpszName;
        return TRUE;
    }
    case WM_SETTEXT: {
        auto* text = reinterpret_cast<LPCWSTR>(lParam);
        w->text = text ? text : u"";
        if ((w->style & WS_CAPTION) == WS_CAPTION && IsDrawable(w))
            w->frameDirty = true;
        return TRUE;
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        size_t count = std::min(w->text.size(), static_cast<size_t>(wParam - 1));
        std::copy_n(w->text.data(), count, buffer);
        buffer[count] = 0;
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (BeginPaint(hWnd, &ps))
            EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush = w->windowClass->info.hbrBackground;
        if (!brush)
            return 0;
        RECT client;
        GetClientRect(hWnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return 1;
    }
    case WM_NCPAINT:
        PaintFrame(w);
        return 0;
    case WM_NCACTIVATE:
        if ((w->style & WS_CAPTION) == WS_CAPTION && IsDrawable(w))
            w->frameDirty = true;
        return TRUE;
    case WM_NCHITTEST:
        return NonClientHitTest(w, lParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            Window* focus = Peek(g_focus);
            if (!focus || !IsDescendant(w, focus))
                SetFocusTo(w);
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!pos)
            return 0;
        if (!(pos->flags & SWP_NOSIZE)) {
            RECT client;
            GetClientRect(hWnd, &client);
            Send(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
        }
        if (!(pos->flags & SWP_NOMOVE) && !w->destroyed) {
            POINT origin = ClientScreenOrigin(w);
            POINT parentOrigin = ClientScreenOrigin(w->parent);
            Send(w, WM_MOVE, 0,
                 MAKELPARAM(static_cast<WORD>(origin.x - parentOrigin.x),
                            static_cast<WORD>(origin.y - parentOrigin.y)));
        }
        return 0;
    }
    case WM_SETREDRAW:
        if (w->redraw != (wParam != 0)) {
            w->redraw = wParam != 0;
            BumpEpoch();
        }
        return 0;
    case WM_CANCELMODE:
        if (g_capture == hWnd)
            ReleaseCapture();
        return 0;
    case WM_SETICON: {
        HICON& slot = wParam == ICON_BIG ? w->iconBig : w->iconSmall;
        HICON old = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON:
        return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? w->iconBig : w->iconSmall);
    default:
        return user::IsCtlColorMessage(Msg) ? DefaultCtlColor(Msg, reinterpret_cast<HDC>(wParam)) : 0;
    }
}
