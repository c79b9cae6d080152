#include "XControlSupport.h"

#include <algorithm>

#include "XDialog.h"

void ReadCaptionLook(const CXmlElement& element, CaptionLook* look) {
    int value = 0;
    if (element.GetIntAttribute(u"textColor", &value))
        look->textColor = static_cast<COLORREF>(value);
    if (element.GetIntAttribute(u"backgroundColor", &value))
        look->backgroundColor = static_cast<COLORREF>(value);
    element.GetBoolAttribute(u"transparent", &look->transparent);
    element.GetIntAttribute(u"outlineWidth", &look->outlineWidth);
    if (element.GetIntAttribute(u"outlineColor", &value))
        look->outlineColor = static_cast<COLORREF>(value);
}

bool ReadCaptionFont(const CXmlElement& element, CaptionFont* font) {
    CString faceName;
    if (!element.GetAttribute(u"fontName", &faceName) || faceName.IsEmpty())
        return false;
    font->faceName = faceName;
    element.GetIntAttribute(u"fontSize", &font->size);
    element.GetBoolAttribute(u"fontBold", &font->bold);
    element.GetBoolAttribute(u"fontItalic", &font->italic);
    return true;
}

void CreateCaptionFont(CFont& font, CWnd* window, const CaptionFont& spec) {
    font.DeleteObject();
    CDC* dc = window->GetSafeHwnd() ? window->GetDC() : nullptr;
    if (!dc)
        return;
    LOGFONTW logFont{};
    CFont* current = dc->GetCurrentFont();
    if (current)
        current->GetLogFont(&logFont);
    window->ReleaseDC(dc);

    // The face name is cut to what a LOGFONT holds, its terminator included.
    const int length = std::min(spec.faceName.GetLength(), LF_FACESIZE - 1);
    std::copy_n(static_cast<LPCWSTR>(spec.faceName), length, logFont.lfFaceName);
    logFont.lfFaceName[length] = u'\0';
    logFont.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = spec.italic ? 1 : 0;
    // A character height in pixels, not a cell height; without one the DC font's height stays.
    if (spec.size != 0)
        logFont.lfHeight = -spec.size;
    font.CreateFontIndirect(&logFont);
}

void SetControlFont(CWnd* window, CFont& font, const CaptionFont& spec) {
    CFont made;
    CreateCaptionFont(made, window, spec);
    if (made.GetSafeHandle() == nullptr)
        return;
    window->SetFont(&made, TRUE);
    font.DeleteObject();
    font.Attach(made.Detach());
}

bool MoveFocusAlongTabOrder(CWnd* control, TabStep step) {
    auto* dialog = DYNAMIC_DOWNCAST(CXDialog, control->GetParent());
    if (dialog == nullptr)
        return false;
    CWnd* target =
        step == TabStep::Previous ? dialog->GetPrevTabControl(control) : dialog->GetNextTabControl(control);
    if (target == nullptr)
        return false;
    if (target != control)
        target->SetFocus();
    return true;
}

bool NotifyParentBare(CWnd* control, UINT code) {
    HWND window = control->GetSafeHwnd();
    HWND parent = window != nullptr ? ::GetParent(window) : nullptr;
    if (parent == nullptr)
        return false;
    NMHDR header{};
    header.hwndFrom = window;
    header.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(window));
    header.code = code;
    ::SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    // The parent may have destroyed the control (and deleted its object) meanwhile.
    return ::IsWindow(window) != FALSE;
}

LRESULT WithEnterKey(LRESULT code, const MSG* message) {
    if (message != nullptr && message->message == WM_KEYDOWN && message->wParam == VK_RETURN)
        code |= DLGC_WANTMESSAGE;
    return code;
}

void DrawCaptionText(CDC* dc, CFont& font, const CString& text, RECT rect, UINT format, COLORREF textColor,
                     const CaptionLook& look) {
    dc->SetTextColor(textColor);
    dc->SetBkColor(look.backgroundColor);
    dc->SetBkMode(look.transparent ? TRANSPARENT : OPAQUE);
    if (text.IsEmpty())
        return;
    const CSelectedObject selected(*dc, &font);
    dc->DrawText(text, &rect, format);
}

void DrawCaptionOutline(CDC* dc, RECT rect, const CaptionLook& look) {
    if (look.outlineWidth <= 0)
        return;
    CBrush brush(look.outlineColor);
    CRect frame(rect);
    for (int i = 0; i < look.outlineWidth && !frame.IsRectEmpty(); ++i) {
        dc->FrameRect(&frame, &brush);
        frame.SetRect(frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1);
    }
}

CXControlPaint::CXControlPaint(CWnd* control) {
    auto* dialog = dynamic_cast<CXDialog*>(control->GetParent());
    if (dialog && dialog->IsRedrawLocked())
        return;
    m_paint = std::make_unique<CPaintDC>(control);
    control->GetClientRect(&m_client);
    m_buffer = std::make_unique<CXMemDC>(m_paint.get(), m_client.right, m_client.bottom);
    if (dialog && m_buffer->GetDC())
        dialog->PaintBackground(control->GetDlgCtrlID(), m_buffer->GetDC());
}

// The buffer goes to the window before the paint ends.
CXControlPaint::~CXControlPaint() {
    m_buffer.reset();
    m_paint.reset();
}
