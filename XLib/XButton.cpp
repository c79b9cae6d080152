#include "XButton.h"

#include "XControlSupport.h"
#include "XDialog.h"
#include "classlib/App.h"

IMPLEMENT_DYNAMIC(CXButton, CXControl)

BEGIN_MESSAGE_MAP(CXButton, CXControl)
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_WM_KEYDOWN()
ON_WM_KEYUP()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_TIMER()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_DESTROY()
ON_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
END_MESSAGE_MAP()

namespace {

constexpr UINT_PTR kHoldTimerId = 1;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

// Shared by every button: the dialog manager's Enter queries alternate between press and release, and
// the release may be asked of another button than the press. Only the user-interface thread touches it.
bool g_enterToggle = false;

UINT FrameCount(bool hasFocusImage) {
    return hasFocusImage ? 4 : 3;
}

} // namespace

CXButton::CXButton() : CXControl(u"XBUTTON", CS_HREDRAW | CS_VREDRAW, nullptr, nullptr) {}

CXButton::~CXButton() {
    // WM_DESTROY must still find a CXButton, so the window goes before the members do.
    if (m_hWnd != nullptr)
        DestroyWindow();
    ReleaseResources();
}

bool CXButton::Create(UINT bitmapId, bool plainLoader, bool hasFocusImage, int x, int y, CWnd* parent,
                      UINT id) {
    m_strip.LoadFromResource(AfxGetResourceHandle(), bitmapId, FrameCount(hasFocusImage), true, plainLoader);
    return CreateWindowForStrip(x, y, parent, id);
}

bool CXButton::Create(LPCWSTR bitmapPath, bool hasFocusImage, int x, int y, CWnd* parent, UINT id) {
    m_strip.LoadFromFile(bitmapPath, FrameCount(hasFocusImage), true);
    return CreateWindowForStrip(x, y, parent, id);
}

bool CXButton::CreateWindowForStrip(int x, int y, CWnd* parent, UINT id) {
    if (m_strip.GetFrameWidth() == 0)
        return false;
    m_state = 0;
    const CRect rect(x, y, x + static_cast<int>(m_strip.GetFrameWidth()), y + m_strip.GetFrameHeight());
    return CreateEx(0, u"XBUTTON", u"", kButtonStyle, rect, parent, id) != FALSE;
}

bool CXButton::LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR basePath) {
    if (element == nullptr)
        return false;
    // The id is what the dialog knows the button by (its commands, its background): no id, no button.
    int id = 0;
    if (!element->GetIntAttribute(u"id", &id))
        return false;
    CString bitmap;
    element->GetAttribute(u"controlBitmap", &bitmap);
    bool hasFocusImage = false;
    element->GetBoolAttribute(u"hasFocusImage", &hasFocusImage);
    int x = 0;
    int y = 0;
    element->GetIntAttribute(u"x", &x);
    element->GetIntAttribute(u"y", &y);
    if (bitmap.IsEmpty())
        return false;
    const CString path = CString(basePath != nullptr ? basePath : u"") + bitmap;
    return Create(path, hasFocusImage, x, y, dialog, static_cast<UINT>(id));
}

bool CXButton::SetBitmap(LPCWSTR bitmapPath, bool hasFocusImage) {
    m_strip.LoadFromFile(bitmapPath, FrameCount(hasFocusImage), true);
    Repaint();
    return m_strip.GetFrameWidth() != 0;
}

void CXButton::SetHoldCommand(UINT command, UINT milliseconds) {
    m_holdCommand = command;
    m_holdTime = milliseconds;
}

void CXButton::ReleaseResources() {
    StopHoldTimer();
    m_strip.Free();
}

// --- Helpers -----------------------------------------------------------------------------------------------

// The skinned dialog the button sits on, by its type: a dialog's run-time class record may name another
// base (CAmount's names CDialog), and the tab order is the CXDialog's all the same.
CXDialog* CXButton::ParentDialog() const {
    return dynamic_cast<CXDialog*>(GetParent());
}

int CXButton::CurrentFrame() const {
    const bool pressed = (m_state & kPressed) != 0;
    int frame = !IsWindowEnabled() ? 2 : pressed ? 1 : 0;
    if (m_strip.GetFrameCount() == 4 && !pressed && m_hWnd != nullptr && ::GetFocus() == m_hWnd)
        frame = 3;
    return frame;
}

void CXButton::Repaint() {
    if (m_hWnd != nullptr)
        InvalidateRect(nullptr, FALSE);
}

void CXButton::PostCommand(UINT command) {
    if (CWnd* parent = GetParent())
        parent->PostMessage(WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
}

void CXButton::StopHoldTimer() {
    if (m_holdTimer == 0)
        return;
    if (m_hWnd != nullptr)
        KillTimer(m_holdTimer);
    m_holdTimer = 0;
}

// --- Messages ----------------------------------------------------------------------------------------------

BOOL CXButton::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CXButton::OnPaint() {
    CXControlPaint paint(this);
    CDC* dc = paint.Dc();
    if (dc == nullptr)
        return;
    if (m_strip.GetFrameWidth() != 0)
        m_strip.DrawFrame(dc, CurrentFrame(), 0, 0);
    else
        dc->FillSolidRect(&paint.Client(), RGB(255, 255, 255));
}

void CXButton::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    switch (nChar) {
    case VK_RETURN:
        // A disabled button that holds the focus takes no press.
        if (IsWindowEnabled()) {
            m_state |= kPressed;
            Repaint();
        }
        return;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
        CXDialog* parent = ParentDialog();
        if (parent == nullptr)
            return;
        const bool previous = nChar == VK_LEFT || nChar == VK_UP;
        if (CWnd* next = previous ? parent->GetPrevTabControl(this) : parent->GetNextTabControl(this))
            next->SetFocus();
        return;
    }
    default:
        if (CWnd* parent = GetParent())
            parent->PostMessage(WM_KEYDOWN, nChar, MAKELPARAM(nRepCnt, nFlags));
        return;
    }
}

void CXButton::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar != VK_RETURN) {
        if (CWnd* parent = GetParent())
            parent->PostMessage(WM_KEYUP, nChar, MAKELPARAM(nRepCnt, nFlags));
        return;
    }
    if ((m_state & kPressed) == 0)
        return;
    m_state &= ~kPressed;
    Repaint();
    if (IsWindowEnabled())
        PostCommand(static_cast<UINT>(GetDlgCtrlID()));
}

void CXButton::OnLButtonDown(UINT, CPoint) {
    if (!IsWindowEnabled())
        return;
    m_state |= kPressed;
    SetCapture();
    Repaint();
    if (m_holdTime != 0)
        m_holdTimer = SetTimer(kHoldTimerId, m_holdTime, nullptr);
}

// A press that began on the button posts its command wherever the stylus is lifted.
void CXButton::OnLButtonUp(UINT, CPoint) {
    const bool wasPressed = (m_state & kPressed) != 0;
    // Also when the button was disabled while held: no timer and no pressed look may outlive the press.
    StopHoldTimer();
    m_state &= ~kPressed;
    if (wasPressed && IsWindowEnabled())
        PostCommand(static_cast<UINT>(GetDlgCtrlID()));
    ::ReleaseCapture();
    Repaint();
}

void CXButton::OnTimer(UINT_PTR) {
    // Only a running hold timer counts; the hold fires once.
    if (m_holdTimer == 0)
        return;
    StopHoldTimer();
    if (IsWindowEnabled())
        PostCommand(m_holdCommand);
    m_state &= ~kPressed;
    ::ReleaseCapture();
    // No repaint: the pressed frame stays until the button's next repaint, the lift over it.
}

void CXButton::OnSetFocus(CWnd*) {
    Repaint();
}

void CXButton::OnKillFocus(CWnd*) {
    Repaint();
}

void CXButton::OnDestroy() {
    ReleaseResources();
    CXControl::OnDestroy();
}

// Enter through the dialog manager: one query shows the press, the next (possibly to another button)
// shows the release and posts that button's command. The arrows are taken here, so that they follow the
// dialog's tab order rather than the dialog manager's.
LRESULT CXButton::OnGetDlgCode(WPARAM wParam, LPARAM) {
    if (wParam == VK_RETURN && IsWindowEnabled()) {
        g_enterToggle = !g_enterToggle;
        m_state = g_enterToggle ? kPressed : 0;
        Repaint();
        if (!g_enterToggle)
            PostCommand(static_cast<UINT>(GetDlgCtrlID()));
    }
    return DLGC_DEFPUSHBUTTON | DLGC_WANTARROWS;
}
