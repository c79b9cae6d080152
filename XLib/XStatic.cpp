#include "XStatic.h"

#include "XDialog.h"
#include "classlib/App.h"

IMPLEMENT_DYNAMIC(CXStatic, CXControl)

BEGIN_MESSAGE_MAP(CXStatic, CXControl)
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_WM_LBUTTONDOWN()
ON_WM_DESTROY()
ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

namespace {

// The id of a label that its element gives none.
constexpr int kLabelId = 0xFFFF;

} // namespace

CXStatic::CXStatic() : CXControl(u"XSTATIC", CS_HREDRAW | CS_VREDRAW, nullptr, nullptr) {}

CXStatic::~CXStatic() = default;

bool CXStatic::Create(UINT bitmapId, bool plainLoader, UINT frameCount, LPCWSTR caption, int x, int y,
                      CWnd* parent, UINT id) {
    m_strip.LoadFromResource(AfxGetResourceHandle(), bitmapId, frameCount, true, plainLoader);
    if (!AdoptStrip())
        return false;
    const CRect rect(x, y, x + static_cast<int>(m_strip.GetFrameWidth()), y + m_strip.GetFrameHeight());
    return MakeWindow(caption, rect, parent, id);
}

bool CXStatic::Create(LPCWSTR bitmapPath, UINT frameCount, LPCWSTR caption, int x, int y, CWnd* parent,
                      UINT id) {
    m_strip.LoadFromFile(bitmapPath, frameCount, true);
    if (!AdoptStrip())
        return false;
    const CRect rect(x, y, x + static_cast<int>(m_strip.GetFrameWidth()), y + m_strip.GetFrameHeight());
    return MakeWindow(caption, rect, parent, id);
}

bool CXStatic::Create(LPCWSTR caption, int x, int y, int width, int height, CWnd* parent, UINT id) {
    return MakeWindow(caption, CRect(x, y, x + width, y + height), parent, id);
}

bool CXStatic::MakeWindow(LPCWSTR caption, const RECT& rect, CWnd* parent, UINT id) {
    if (!CreateEx(0, u"XSTATIC", caption, WS_CHILD | WS_VISIBLE, rect, parent, id))
        return false;
    SetStyle(RGB(0, 0, 0), RGB(255, 255, 255), DT_CENTER | DT_VCENTER, true, 0, RGB(0, 0, 0));
    return true;
}

// A new strip shows its first frame; false when it did not load.
bool CXStatic::AdoptStrip() {
    m_frame = 0;
    return m_strip.GetFrameWidth() != 0;
}

bool CXStatic::LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR basePath) {
    if (!element)
        return false;
    int id = kLabelId;
    CString caption;
    CString bitmap;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int frameCount = 1;
    int textAlign = DT_VCENTER;
    element->GetIntAttribute(u"id", &id);
    element->GetAttribute(u"caption", &caption);
    element->GetIntAttribute(u"x", &x);
    element->GetIntAttribute(u"y", &y);
    element->GetIntAttribute(u"width", &width);
    element->GetIntAttribute(u"height", &height);
    element->GetAttribute(u"controlBitmap", &bitmap);
    element->GetIntAttribute(u"controlBitmapFrameCount", &frameCount);
    element->GetIntAttribute(u"textAlign", &textAlign);
    CaptionLook look;
    ReadCaptionLook(*element, &look);
    CaptionFont font;
    const bool hasFont = ReadCaptionFont(*element, &font);

    bool created = false;
    if (bitmap.IsEmpty()) {
        created = Create(caption, x, y, width, height, dialog, static_cast<UINT>(id));
    } else {
        const CString path = CString(basePath ? basePath : u"") + bitmap;
        created = Create(path, static_cast<UINT>(frameCount), caption, x, y, dialog, static_cast<UINT>(id));
    }
    if (!created)
        return false;
    SetStyle(look.textColor, look.backgroundColor, static_cast<UINT>(textAlign), look.transparent,
             look.outlineWidth, look.outlineColor);
    if (hasFont)
        SetFont(font.faceName, font.size, font.bold, font.italic);
    return true;
}

void CXStatic::SetStyle(COLORREF textColor, COLORREF backgroundColor, UINT textFormat, bool transparent,
                        int outlineWidth, COLORREF outlineColor) {
    m_look.textColor = textColor;
    m_look.backgroundColor = backgroundColor;
    m_textFormat = textFormat;
    m_look.transparent = transparent;
    m_look.outlineWidth = outlineWidth;
    m_look.outlineColor = outlineColor;
    Repaint();
}

void CXStatic::SetTextColor(COLORREF color) {
    m_look.textColor = color;
    Repaint();
}

void CXStatic::SetBackgroundColor(COLORREF color) {
    m_look.backgroundColor = color;
    Repaint();
}

void CXStatic::SetTextAlign(UINT format) {
    m_textFormat = format;
    Repaint();
}

void CXStatic::SetTransparent(bool transparent) {
    m_look.transparent = transparent;
    Repaint();
}

void CXStatic::SetOutline(int width, COLORREF color) {
    m_look.outlineWidth = width;
    m_look.outlineColor = color;
    Repaint();
}

bool CXStatic::SetBitmap(UINT bitmapId, bool plainLoader) {
    m_strip.LoadFromResource(AfxGetResourceHandle(), bitmapId, 1, true, plainLoader);
    return FitToStrip();
}

bool CXStatic::SetBitmap(LPCWSTR bitmapPath) {
    m_strip.LoadFromFile(bitmapPath, 1, true);
    return FitToStrip();
}

// The window takes the new strip's frame size; a strip that did not load leaves none to show.
bool CXStatic::FitToStrip() {
    const bool loaded = AdoptStrip();
    if (loaded && GetSafeHwnd())
        SetWindowPos(nullptr, 0, 0, static_cast<int>(m_strip.GetFrameWidth()), m_strip.GetFrameHeight(),
                     SWP_NOMOVE | SWP_NOZORDER);
    Repaint();
    return loaded;
}

void CXStatic::SetFrame(UINT index) {
    if (m_strip.GetFrameWidth() == 0 || index >= m_strip.GetFrameCount())
        return;
    m_frame = index;
    Repaint();
}

void CXStatic::SetFont(LPCWSTR faceName, int size, bool bold, bool italic) {
    CreateCaptionFont(m_font, this, CaptionFont{faceName ? faceName : u"", size, bold, italic});
    Repaint();
}

void CXStatic::Repaint() {
    if (GetSafeHwnd())
        InvalidateRect(nullptr, FALSE);
}

BOOL CXStatic::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CXStatic::OnPaint() {
    CXControlPaint paint(this);
    CDC* dc = paint.Dc();
    if (!dc)
        return;
    const CRect& client = paint.Client();
    if (m_strip.GetFrameWidth() != 0) {
        m_strip.DrawFrame(dc, static_cast<int>(m_frame), 0, 0);
    } else if (!m_look.transparent) {
        CBrush brush(m_look.backgroundColor);
        dc->FillRect(&client, &brush);
    }
    CString text;
    GetWindowText(text);
    DrawCaptionText(dc, m_font, text, client, m_textFormat, m_look.textColor, m_look);
    DrawCaptionOutline(dc, client, m_look);
}

// The tap goes to the parent as the static's id and the point in its client area.
void CXStatic::OnLButtonDown(UINT, CPoint point) {
    CWnd* parent = GetParent();
    if (parent)
        parent->PostMessage(WM_RBUTTONDBLCLK, static_cast<WPARAM>(GetDlgCtrlID()),
                            MAKELPARAM(point.x, point.y));
}

void CXStatic::OnDestroy() {
    m_strip.Free();
    CXControl::OnDestroy();
}

LRESULT CXStatic::OnSetText(WPARAM, LPARAM) {
    const LRESULT result = Default();
    Repaint();
    return result;
}
