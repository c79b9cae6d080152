// The platform's own push button, for its message boxes: a raised face with its text, pressed while the
// stylus is down on it, clicked (WM_COMMAND BN_CLICKED to the parent) when the stylus is lifted over it,
// by BM_CLICK, or by the space key.

#include "Internal.h"
#include "gdi/Gdi.h"
#include "user/Paint.h"
#include "user/ScopedPaint.h"

namespace user::detail {

namespace {

struct ButtonState {
    bool pressed = false;
    bool tracking = false;
    HFONT font = nullptr;
};

ButtonState* StateOf(HWND hwnd) {
    return reinterpret_cast<ButtonState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void Click(HWND hwnd) {
    HWND parent = GetParent(hwnd);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
}

void Paint(HWND hwnd, ButtonState* state) {
    ScopedPaint paint(hwnd);
    if (!paint)
        return;
    HDC hdc = paint.Dc();
    RECT r = paint.Client();
    bool isDefault = (GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    if (isDefault) {
        FrameRect(hdc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    FillRect(hdc, &r, GetSysColorBrush(COLOR_BTNFACE));
    RECT edge = r;
    DrawEdge(hdc, &edge, state->pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    std::u16string text = WindowText(hwnd);
    HGDIOBJ old = SelectObject(hdc, state->font ? state->font : SystemFont());
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, GetSysColor(IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    RECT textRect = r;
    if (state->pressed)
        OffsetRect(&textRect, 1, 1);
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(hdc, old);
    if (GetFocus() == hwnd) {
        RECT focus = r;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(hdc, &focus);
    }
}

bool Inside(HWND hwnd, LPARAM lParam) {
    RECT r;
    GetClientRect(hwnd, &r);
    POINT pt{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    return PtInRect(&r, pt) != FALSE;
}

} // namespace

LRESULT CALLBACK PushButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ButtonState* state = StateOf(hwnd);
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new ButtonState));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_NCDESTROY:
        delete state;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return 0;
    default:
        break;
    }
    if (!state)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        Paint(hwnd, state);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        if (lParam)
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(state->font);
    case WM_GETDLGCODE:
        return DLGC_BUTTON |
               ((GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON
                                                                                    : DLGC_UNDEFPUSHBUTTON);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!IsWindowEnabled(hwnd))
            return 0;
        state->pressed = true;
        state->tracking = true;
        SetCapture(hwnd);
        SetFocus(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        if (state->tracking && state->pressed != Inside(hwnd, lParam)) {
            state->pressed = !state->pressed;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_LBUTTONUP: {
        if (!state->tracking)
            return 0;
        bool click = Inside(hwnd, lParam);
        state->tracking = false;
        state->pressed = false;
        ReleaseCapture();
        InvalidateRect(hwnd, nullptr, FALSE);
        if (click)
            Click(hwnd);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (state->tracking && reinterpret_cast<HWND>(lParam) != hwnd) {
            state->tracking = false;
            state->pressed = false;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && !state->pressed) {
            state->pressed = true;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && state->pressed) {
            state->pressed = false;
            InvalidateRect(hwnd, nullptr, FALSE);
            Click(hwnd);
        }
        return 0;
    case BM_CLICK:
        if (IsWindowEnabled(hwnd))
            Click(hwnd);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_SETTEXT: {
        LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return result;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace user::detail
