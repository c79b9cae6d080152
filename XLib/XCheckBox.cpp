#include "XCheckBox.h"

#include "XDialog.h"

IMPLEMENT_DYNAMIC(CXCheckBox, CXControl)

BEGIN_MESSAGE_MAP(CXCheckBox, CXControl)
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_WM_KEYDOWN()
ON_WM_KEYUP()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_CAPTURECHANGED()
ON_WM_DESTROY()
ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

namespace {

constexpr UINT kStripFrames = 6;
// Gap between the box and the caption, and around the caption.
constexpr int kSpacing = 2;

} // namespace

CXCheckBox::CXCheckBox() : CXControl(u"XCHECKBOX", CS_HREDRAW | CS_VREDRAW, nullptr, nullptr) {}

CXCheckBox::~CXCheckBox() = default;

bool CXCheckBox::Create(LPCWSTR bitmapPath, LPCWSTR caption, int x, int y, CWnd* parent, UINT id) {
    m_strip.LoadFromFile(bitmapPath, kStripFrames, true);
    if (m_strip.GetFrameWidth() == 0)
        return false;
    const CRect rect(x, y, x + static_cast<int>(m_strip.GetFrameWidth()), y + m_strip.GetFrameHeight());
    if (!CreateEx(0, u"XCHECKBOX", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect, parent, id))
        return false;
    m_spacing = kSpacing;
    RecalcLayout();
    return true;
}

bool CXCheckBox::LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR basePath) {
    m_state = 0;
    if (!element)
        return false;
    // A check box that its dialog cannot find or tell apart in its commands is not made.
    int id = 0;
    if (!element->GetIntAttribute(u"id", &id))
        return false;
    CString caption;
    CString bitmap;
    int x = 0;
    int y = 0;
    element->GetAttribute(u"caption", &caption);
    element->GetIntAttribute(u"x", &x);
    element->GetIntAttribute(u"y", &y);
    element->GetAttribute(u"controlBitmap", &bitmap);
    CaptionLook look;
    ReadCaptionLook(*element, &look);
    int focusTextColor = static_cast<int>(look.textColor);
    element->GetIntAttribute(u"focusTextColor", &focusTextColor);
    bool leftCheckBox = true;
    element->GetBoolAttribute(u"leftCheckBox", &leftCheckBox);
    CaptionFont font;
    const bool hasFont = ReadCaptionFont(*element, &font);

    // Without a strip there is no box: Create refuses the empty path.
    const CString path = bitmap.IsEmpty() ? CString() : CString(basePath ? basePath : u"") + bitmap;
    if (!Create(path, caption, x, y, dialog, static_cast<UINT>(id)))
        return false;
    SetStyle(look.textColor, static_cast<COLORREF>(focusTextColor), look.backgroundColor, leftCheckBox,
             look.transparent, look.outlineWidth, look.outlineColor);
    if (hasFont)
        SetFont(font.faceName, font.size, font.bold, font.italic);
    return true;
}

void CXCheckBox::SetStyle(COLORREF textColor, COLORREF focusTextColor, COLORREF backgroundColor,
                          bool leftCheckBox, bool transparent, int outlineWidth, COLORREF outlineColor) {
    m_look.textColor = textColor;
    m_focusTextColor = focusTextColor;
    m_look.backgroundColor = backgroundColor;
    m_leftCheckBox = leftCheckBox;
    m_look.transparent = transparent;
    m_look.outlineWidth = outlineWidth;
    m_look.outlineColor = outlineColor;
    RecalcLayout();
}

void CXCheckBox::SetTextColor(COLORREF color) {
    m_look.textColor = color;
    Repaint();
}

void CXCheckBox::SetFocusTextColor(COLORREF color) {
    m_focusTextColor = color;
    Repaint();
}

void CXCheckBox::SetBackgroundColor(COLORREF color) {
    m_look.backgroundColor = color;
    Repaint();
}

void CXCheckBox::SetTransparent(bool transparent) {
    m_look.transparent = transparent;
    Repaint();
}

void CXCheckBox::SetOutline(int width, COLORREF color) {
    m_look.outlineWidth = width;
    m_look.outlineColor = color;
    Repaint();
}

void CXCheckBox::SetLeftCheckBox(bool leftCheckBox) {
    m_leftCheckBox = leftCheckBox;
    RecalcLayout();
}

void CXCheckBox::SetFont(LPCWSTR faceName, int size, bool bold, bool italic) {
    CreateCaptionFont(m_font, this, CaptionFont{faceName ? faceName : u"", size, bold, italic});
    RecalcLayout();
}

void CXCheckBox::SetCheck(bool checked) {
    if (checked)
        m_state |= kChecked;
    else
        m_state &= ~kChecked;
    Repaint();
}

void CXCheckBox::RecalcLayout() {
    if (!GetSafeHwnd())
        return;
    CDC* dc = GetDC();
    if (!dc)
        return;
    GetWindowText(m_caption);
    CSize extent;
    {
        const CSelectedObject font(*dc, &m_font);
        // Measured even when empty: no width then, but a line's height.
        extent = dc->GetTextExtent(m_caption);
    }
    ReleaseDC(dc);

    const int frameWidth = static_cast<int>(m_strip.GetFrameWidth());
    const int height = m_strip.GetFrameHeight() > extent.cy ? m_strip.GetFrameHeight() : extent.cy;
    const int width = frameWidth + 3 * m_spacing + extent.cx - 1;
    SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    if (extent.cx != 0 && extent.cy != 0)
        m_captionRect.SetRect(frameWidth + 2 * m_spacing - 1, 0, width, height);
    else
        m_captionRect.SetRect(-1, 0, 0, 0);
    Repaint();
}

// 2 x look + disabled, the look being pressed (2), checked (1) or neither (0).
int CXCheckBox::Frame() const {
    const int look = (m_state & kPressed) ? 2 : (m_state & kChecked) ? 1 : 0;
    return 2 * look + (IsWindowEnabled() ? 0 : 1);
}

void CXCheckBox::Repaint() {
    if (GetSafeHwnd())
        InvalidateRect(nullptr, FALSE);
}

BOOL CXCheckBox::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CXCheckBox::OnPaint() {
    CXControlPaint paint(this);
    CDC* dc = paint.Dc();
    if (!dc)
        return;
    m_strip.DrawFrame(dc, Frame(), 0, 0);
    if (m_captionRect.left < 0)
        return;
    const COLORREF textColor = ::GetFocus() == m_hWnd ? m_focusTextColor : m_look.textColor;
    DrawCaptionText(dc, m_font, m_caption, m_captionRect, DT_CENTER | DT_VCENTER, textColor, m_look);
    DrawCaptionOutline(dc, m_captionRect, m_look);
}

void CXCheckBox::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_LEFT || nChar == VK_UP || nChar == VK_RIGHT || nChar == VK_DOWN) {
        CWnd* parent = GetParent();
        const BOOL previous = nChar == VK_LEFT || nChar == VK_UP;
        CWnd* next = parent ? parent->GetNextDlgTabItem(this, previous) : nullptr;
        if (next)
            next->SetFocus();
        return;
    }
    CXControl::OnKeyDown(nChar, nRepCnt, nFlags);
}

void CXCheckBox::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_RETURN) {
        SetCheck(!GetCheck());
        return;
    }
    CXControl::OnKeyUp(nChar, nRepCnt, nFlags);
}

void CXCheckBox::OnSetFocus(CWnd*) {
    Repaint();
}

void CXCheckBox::OnKillFocus(CWnd*) {
    Repaint();
}

void CXCheckBox::OnLButtonDown(UINT, CPoint) {
    if (!IsWindowEnabled())
        return;
    m_state |= kPressed;
    SetCapture();
    Repaint();
}

// Wherever the stylus is lifted, a press on an enabled box toggles it.
void CXCheckBox::OnLButtonUp(UINT, CPoint) {
    const bool pressed = (m_state & kPressed) != 0;
    m_state &= ~kPressed;
    if (pressed && IsWindowEnabled()) {
        m_state ^= kChecked;
        CWnd* parent = GetParent();
        if (parent)
            parent->PostMessage(WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED),
                                reinterpret_cast<LPARAM>(m_hWnd));
    }
    if (GetCapture() == this)
        ReleaseCapture();
    Repaint();
}

// A press that loses the stylus (the box disabled while held, a modal window taking the capture) ends
// without a toggle; the box would otherwise keep its pressed look.
void CXCheckBox::OnCaptureChanged(CWnd*) {
    if (!(m_state & kPressed))
        return;
    m_state &= ~kPressed;
    Repaint();
}

void CXCheckBox::OnDestroy() {
    m_strip.Free();
    CXControl::OnDestroy();
}

LRESULT CXCheckBox::OnSetText(WPARAM, LPARAM) {
    const LRESULT result = Default();
    RecalcLayout();
    return result;
}
