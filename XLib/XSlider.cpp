#include "XSlider.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "XControlSupport.h"
#include "XDialog.h"

IMPLEMENT_DYNAMIC(CXSlider, CXControl)

BEGIN_MESSAGE_MAP(CXSlider, CXControl)
ON_WM_PAINT()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_MOUSEMOVE()
ON_WM_CAPTURECHANGED()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_KEYUP()
ON_WM_GETDLGCODE()
END_MESSAGE_MAP()

namespace {

// The key step is a twentieth of the range.
constexpr int64_t kKeySteps = 20;

int ToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

} // namespace

CXSlider::CXSlider() : CXControl(u"XSLIDER", CS_HREDRAW | CS_VREDRAW, nullptr, nullptr) {}

CXSlider::~CXSlider() {
    // WM_DESTROY and a lost capture must still find a CXSlider, so the window goes before the members do.
    if (m_hWnd != nullptr)
        DestroyWindow();
    ReleaseResources();
}

bool CXSlider::Create(LPCWSTR barPath, LPCWSTR thumbPath, int x, int y, int leftIndent, int rightIndent,
                      int topIndent, bool hasFocusImage, bool vertical, CWnd* parent, UINT id) {
    const UINT frames = hasFocusImage ? 2 : 1;
    m_bar.LoadFromFile(barPath, frames, false);
    m_thumb.LoadFromFile(thumbPath, frames, false);
    if (m_bar.GetFrameWidth() == 0 || m_thumb.GetFrameWidth() == 0) {
        ReleaseResources();
        return false;
    }
    // One pixel narrower and lower than a bar frame.
    const CRect rect(x, y, x + static_cast<int>(m_bar.GetFrameWidth()) - 1, y + m_bar.GetFrameHeight() - 1);
    const BOOL created = CreateEx(0, u"XSLIDER", u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect, parent, id);
    m_vertical = vertical;
    if (!created)
        return false;
    m_dragging = false;
    m_pos = 0;
    SetRange(0, 100);
    GetClientRect(&m_client);
    m_leftIndent = leftIndent;
    m_rightIndent = rightIndent;
    m_topIndent = topIndent;
    m_thumbRect.SetRect(0, 0, static_cast<int>(m_thumb.GetFrameWidth()) - 1, m_thumb.GetFrameHeight() - 1);
    return true;
}

bool CXSlider::LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR basePath) {
    if (element == nullptr)
        return false;
    // The dialog knows the slider by its id (its background, its scroll messages): no id, no slider.
    int id = 0;
    if (!element->GetIntAttribute(u"id", &id))
        return false;
    CString bar;
    CString thumb;
    element->GetAttribute(u"barBitmap", &bar);
    element->GetAttribute(u"thumbBitmap", &thumb);
    int x = 0;
    int y = 0;
    int leftIndent = 0;
    int rightIndent = 0;
    int topIndent = 0;
    bool hasFocusImage = false;
    bool vertical = false;
    element->GetIntAttribute(u"x", &x);
    element->GetIntAttribute(u"y", &y);
    element->GetIntAttribute(u"leftIndent", &leftIndent);
    element->GetIntAttribute(u"rightIndent", &rightIndent);
    element->GetIntAttribute(u"topIndent", &topIndent);
    element->GetBoolAttribute(u"hasFocusImage", &hasFocusImage);
    element->GetBoolAttribute(u"vertical", &vertical);
    if (bar.IsEmpty() || thumb.IsEmpty())
        return false;
    const CString base = basePath != nullptr ? basePath : u"";
    return Create(base + bar, base + thumb, x, y, leftIndent, rightIndent, topIndent, hasFocusImage, vertical,
                  dialog, static_cast<UINT>(id));
}

void CXSlider::ReleaseResources() {
    m_bar.Free();
    m_thumb.Free();
}

void CXSlider::SetRange(int first, int second) {
    m_min = std::min(first, second);
    m_max = std::max(first, second);
    // The position is the caller's to bring into the new range.
    Repaint();
}

void CXSlider::SetPos(int pos) {
    if (m_dragging || pos < m_min || pos > m_max)
        return;
    m_pos = pos;
    Repaint();
}

// Products and quotients are taken in 64 bits: a wide range would overflow 32.
int CXSlider::ThumbOffset(int position) const {
    const int64_t usable = int64_t{m_client.right} - m_leftIndent - m_rightIndent;
    const int64_t span = int64_t{m_max} - m_min;
    // A range of one value has nowhere to go: the thumb stays at the travel's start.
    if (span == 0)
        return m_leftIndent;
    return ToInt(m_leftIndent + (int64_t{position} - m_min) * usable / span);
}

void CXSlider::GetThumbRect(LPRECT rect, int position) const {
    if (rect == nullptr)
        return;
    CRect thumb = m_thumbRect;
    thumb.OffsetRect(ThumbOffset(position < 0 ? m_pos : position), m_topIndent);
    *rect = thumb;
}

int CXSlider::PosFromX(int x) const {
    const int64_t end = int64_t{m_client.right} - m_rightIndent;
    if (x <= m_leftIndent)
        return m_min;
    if (x >= end)
        return m_max;
    const int64_t usable = end - m_leftIndent;
    return ToInt(m_min + (int64_t{x} - m_leftIndent) * (int64_t{m_max} - m_min) / usable);
}

bool CXSlider::HitThumb(int x, int y) const {
    CRect thumb;
    GetThumbRect(&thumb);
    return thumb.PtInRect(CPoint(x, y));
}

// --- Messages ----------------------------------------------------------------------------------------------

void CXSlider::OnPaint() {
    CXControlPaint paint(this);
    CDC* dc = paint.Dc();
    if (dc == nullptr)
        return;
    const int frame = m_bar.GetFrameCount() > 1 && ::GetFocus() == m_hWnd ? 1 : 0;
    m_bar.DrawFrame(dc, frame, 0, 0);
    // During a drag the thumb follows the stylus. The offset is taken directly: a position of a negative
    // range is not "the current one" here.
    const int position = m_dragging ? PosFromX(m_dragPoint.x) : m_pos;
    m_thumb.DrawFrame(dc, frame, m_thumbRect.left + ThumbOffset(position), m_thumbRect.top + m_topIndent);
}

// Only a press on the thumb starts a drag; the bar beside it does not move the thumb.
void CXSlider::OnLButtonDown(UINT, CPoint point) {
    if (!HitThumb(point.x, point.y))
        return;
    SetCapture();
    m_dragging = true;
    m_dragPoint = point;
    Repaint();
}

void CXSlider::OnMouseMove(UINT, CPoint point) {
    if (!m_dragging)
        return;
    m_dragPoint = CPoint(std::min<int>(point.x, m_client.right), point.y);
    m_pos = PosFromX(m_dragPoint.x);
    Notify(SB_THUMBTRACK, reinterpret_cast<LPARAM>(m_hWnd));
    Repaint();
}

void CXSlider::OnLButtonUp(UINT, CPoint) {
    if (m_dragging)
        EndDrag();
}

// A drag that loses the stylus (a modal window taking the capture) ends where it was, as a release
// would: otherwise the slider would stay dragging and refuse every SetPos.
void CXSlider::OnCaptureChanged(CWnd*) {
    if (m_dragging)
        EndDrag();
}

// The position of the last move, or of the press when there was none; the picture already shows it.
void CXSlider::EndDrag() {
    m_dragging = false;
    m_pos = PosFromX(m_dragPoint.x);
    Notify(SB_ENDSCROLL, 0);
    if (GetCapture() == this)
        ReleaseCapture();
}

void CXSlider::OnSetFocus(CWnd*) {
    Repaint();
}

void CXSlider::OnKillFocus(CWnd*) {
    Repaint();
}

// Keys act when released, so a held key moves the slider once.
void CXSlider::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) {
    const int64_t step = std::max<int64_t>((int64_t{m_max} - m_min) / kKeySteps, 1);
    switch (nChar) {
    case VK_LEFT:
        m_pos = ToInt(std::max<int64_t>(m_pos - step, m_min));
        Repaint();
        Notify(SB_ENDSCROLL, 0);
        return;
    case VK_RIGHT:
        m_pos = ToInt(std::min<int64_t>(m_pos + step, m_max));
        Repaint();
        Notify(SB_ENDSCROLL, 0);
        return;
    case VK_UP:
    case VK_DOWN: {
        CWnd* parent = GetParent();
        CWnd* next = parent != nullptr ? parent->GetNextDlgTabItem(this, nChar == VK_UP) : nullptr;
        if (next != nullptr)
            next->SetFocus();
        return;
    }
    default:
        CXControl::OnKeyUp(nChar, nRepCnt, nFlags);
    }
}

// The arrows are the slider's own: left to the dialog manager, their key-down would move the focus to
// another control, which would then get the release.
UINT CXSlider::OnGetDlgCode() {
    return DLGC_WANTARROWS;
}

void CXSlider::Notify(UINT code, LPARAM lParam) {
    CWnd* parent = GetParent();
    if (parent != nullptr)
        parent->PostMessage(m_vertical ? WM_VSCROLL : WM_HSCROLL, code, lParam);
}

void CXSlider::Repaint() {
    if (m_hWnd != nullptr)
        InvalidateRect(nullptr, FALSE);
}
