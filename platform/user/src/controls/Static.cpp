// The STATIC class: a text label. SS_LEFT, SS_CENTER and SS_RIGHT wrap words; SS_LEFTNOWORDWRAP and
// SS_SIMPLE break lines only at line breaks; SS_CENTERIMAGE centres a single line vertically;
// SS_NOPREFIX shows '&' as it is. The parent chooses the colours with WM_CTLCOLORSTATIC. Taps go through
// a static to the window under it, as on the handheld.

#include "ControlSupport.h"
#include "user/Dialog.h"

namespace user::controls {

namespace {

class Static : public ControlBase {
public:
    Static(HWND hwnd, const CREATESTRUCTW&) : ControlBase(hwnd) {}

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case WM_SETFONT:
            m_font = reinterpret_cast<HFONT>(wParam);
            if (lParam)
                InvalidateRect(m_hwnd, nullptr, FALSE);
            return 0;
        case WM_SETTEXT: {
            LRESULT result = DefWindowProcW(m_hwnd, message, wParam, lParam);
            InvalidateRect(m_hwnd, nullptr, FALSE);
            return result;
        }
        case WM_ENABLE:
        case WM_STYLECHANGED:
            InvalidateRect(m_hwnd, nullptr, FALSE);
            return 0;
        default:
            return DefWindowProcW(m_hwnd, message, wParam, lParam);
        }
    }

private:
    UINT Format(LONG style) const {
        UINT format = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
        switch (style & SS_TYPEMASK) {
        case SS_CENTER:
            format |= DT_CENTER | DT_WORDBREAK;
            break;
        case SS_RIGHT:
            format |= DT_RIGHT | DT_WORDBREAK;
            break;
        case SS_LEFTNOWORDWRAP:
            format |= DT_LEFT | DT_EXPANDTABS;
            break;
        case SS_SIMPLE:
            format |= DT_LEFT | DT_SINGLELINE;
            break;
        default:
            format |= DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS;
            break;
        }
        if (style & SS_CENTERIMAGE)
            format = (format & ~(DT_WORDBREAK | DT_EXPANDTABS)) | DT_SINGLELINE | DT_VCENTER;
        return format;
    }

    void Paint() override {
        ScopedPaint paint(m_hwnd, m_font);
        if (!paint)
            return;
        HDC hdc = paint.Dc();
        RECT client = paint.Client();
        HBRUSH background = RequestColors(m_hwnd, hdc, WM_CTLCOLORSTATIC);
        FillRect(hdc, &client, background);
        if (!IsWindowEnabled(m_hwnd))
            SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(hdc, TRANSPARENT);
        std::u16string text = WindowText(m_hwnd);
        DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &client,
                  Format(GetWindowLongW(m_hwnd, GWL_STYLE)));
    }
};

} // namespace

const SystemClass kStaticWindowClass(WNDCLASSW{CS_PARENTDC, ControlProc<Static>, 0, kStateBytes, nullptr,
                                               nullptr, nullptr, nullptr, nullptr, u"STATIC"});

} // namespace user::controls
