#include "SkinListBox.h"

#include <algorithm>

#include "XControlSupport.h"
#include "XMemDC.h"

IMPLEMENT_DYNAMIC(CSkinListBox, CListBox)

BEGIN_MESSAGE_MAP(CSkinListBox, CListBox)
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_WM_VSCROLL()
ON_CONTROL_REFLECT_EX(LBN_SELCHANGE, OnSelChange)
ON_WM_KEYDOWN()
ON_WM_CHAR()
ON_WM_MOVE()
ON_WM_SIZE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONDBLCLK()
ON_WM_LBUTTONUP()
ON_WM_TIMER()
END_MESSAGE_MAP()

namespace {

// Clipping precision of the list font (a LOGFONT value).
constexpr BYTE kClipCharacterPrecis = 1;
constexpr UINT kTextFormat = DT_NOPREFIX | DT_EXPANDTABS;

// A memory DC holding the background bitmap for as long as it lives.
class CBackgroundDC {
public:
    CBackgroundDC(CDC* compatible, CBitmap& bitmap) {
        if (bitmap.GetSafeHandle() == nullptr || !m_dc.CreateCompatibleDC(compatible))
            return;
        m_previous = m_dc.SelectObject(&bitmap);
        m_ready = true;
    }
    ~CBackgroundDC() {
        if (m_ready)
            m_dc.SelectObject(m_previous);
    }
    CBackgroundDC(const CBackgroundDC&) = delete;
    CBackgroundDC& operator=(const CBackgroundDC&) = delete;

    CDC* Dc() { return m_ready ? &m_dc : nullptr; }
    // Copies the part of the bitmap under rect to the same place of target.
    void CopyTo(CDC* target, const RECT& rect) {
        if (m_ready)
            target->BitBlt(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, &m_dc,
                           rect.left, rect.top, SRCCOPY);
    }

private:
    CDC m_dc;
    CBitmap* m_previous = nullptr;
    bool m_ready = false;
};

} // namespace

CSkinListBox::CSkinListBox()
    : m_textColor(GetSysColor(COLOR_WINDOWTEXT)), m_selectedTextColor(GetSysColor(COLOR_HIGHLIGHTTEXT)) {}

CSkinListBox::~CSkinListBox() {
    // The window goes before the font and the bitmap that its paints use.
    if (m_hWnd != nullptr)
        DestroyWindow();
}

void CSkinListBox::SetListFont(int height, LPCWSTR faceName, COLORREF textColor, COLORREF selectedTextColor,
                               bool shadow, int shadowOffset, COLORREF shadowColor) {
    m_textColor = textColor;
    m_selectedTextColor = selectedTextColor;
    m_shadow = shadow;
    m_shadowOffset = shadowOffset;
    m_shadowColor = shadowColor;

    LOGFONTW logFont{};
    logFont.lfHeight = height;
    logFont.lfWeight = FW_BOLD;
    logFont.lfCharSet = ANSI_CHARSET;
    logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
    logFont.lfClipPrecision = kClipCharacterPrecis;
    logFont.lfQuality = DEFAULT_QUALITY;
    logFont.lfPitchAndFamily = DEFAULT_PITCH;
    const CString face(faceName != nullptr ? faceName : u"");
    const int length = std::min(face.GetLength(), LF_FACESIZE - 1);
    std::copy_n(static_cast<LPCWSTR>(face), length, logFont.lfFaceName);
    CFont font;
    if (!font.CreateFontIndirect(&logFont))
        return;
    m_listFont.DeleteObject();
    m_listFont.Attach(font.Detach());
    // The platform's list box is not owner-drawn, so the rows are given the list font's height here.
    if (m_hWnd != nullptr) {
        SetItemHeight(0, static_cast<UINT>(MeasureRowHeight()));
        Invalidate();
    }
}

void CSkinListBox::SetColors(COLORREF textColor, COLORREF selectedTextColor, COLORREF shadowColor) {
    m_textColor = textColor;
    m_selectedTextColor = selectedTextColor;
    m_shadowColor = shadowColor;
}

int CSkinListBox::AddItem(LPCWSTR text, DWORD_PTR data) {
    const int index = AddString(text);
    if (index >= 0)
        SetItemData(index, data);
    return index;
}

int CSkinListBox::InsertItem(int index, LPCWSTR text, DWORD_PTR data) {
    const int inserted = InsertString(index, text);
    if (inserted >= 0)
        SetItemData(inserted, data);
    return inserted;
}

CFont* CSkinListBox::GetListFont() {
    return m_listFont.GetSafeHandle() != nullptr ? &m_listFont : GetFont();
}

void CSkinListBox::DrawListItem(CDC* dc, int index, const RECT& rect, bool selected) {
    if (index < 0 || index >= GetCount())
        return;
    dc->SetBkMode(TRANSPARENT);
    const CSelectedObject font(*dc, GetListFont());
    CBackgroundDC(dc, m_background).CopyTo(dc, rect);

    CString text;
    GetText(index, text);
    const bool enabled = IsWindowEnabled() != FALSE;
    if (m_shadow) {
        dc->SetTextColor(enabled ? m_shadowColor : kDisabledShadowColor);
        CRect shadow(rect);
        shadow.OffsetRect(m_shadowOffset, m_shadowOffset);
        dc->DrawText(text, &shadow, kTextFormat);
    }
    dc->SetTextColor(!enabled ? kDisabledTextColor : selected ? m_selectedTextColor : m_textColor);
    CRect place(rect);
    dc->DrawText(text, &place, kTextFormat);
}

void CSkinListBox::DefaultAndRedraw(bool repaint) {
    HWND list = m_hWnd;
    Default();
    if (!repaint || !::IsWindow(list))
        return;
    Invalidate(TRUE);
    UpdateWindow();
}

int CSkinListBox::ScrollToItem(int index) {
    SetRedraw(FALSE);
    const int result = SetTopIndex(index);
    SetRedraw(TRUE);
    Invalidate();
    UpdateWindow();
    return result;
}

void CSkinListBox::ScrollUp(int count) {
    const long long top = static_cast<long long>(GetTopIndex()) - count;
    ScrollToItem(static_cast<int>(std::max(0LL, top)));
}

void CSkinListBox::ScrollDown(int count) {
    const long long top = static_cast<long long>(GetTopIndex()) + count;
    ScrollToItem(static_cast<int>(std::min(static_cast<long long>(GetCount() - 1), top)));
}

void CSkinListBox::CancelHoldTimer() {
    if (m_holdTimerId == 0)
        return;
    KillTimer(m_holdTimerId);
    m_holdTimerId = 0;
}

void CSkinListBox::DrawItem(LPDRAWITEMSTRUCT) {}

void CSkinListBox::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    lpMeasureItemStruct->itemHeight = static_cast<UINT>(MeasureRowHeight());
}

int CSkinListBox::MeasureRowHeight() {
    CClientDC dc(this);
    const CSelectedObject font(dc, GetListFont());
    return dc.GetTextExtent(u"XYZ", 3).cy;
}

void CSkinListBox::PreSubclassWindow() {
    CListBox::PreSubclassWindow();
    // The platform's list box reads its selection style at creation only, so selecting keeps working.
    ModifyStyle(0, LBS_NOINTEGRALHEIGHT | LBS_NOSEL);
    MakeBackgroundBitmap();
}

void CSkinListBox::MakeBackgroundBitmap() {
    m_background.DeleteObject();
    CWnd* parent = GetParent();
    if (parent == nullptr)
        return;
    CRect client;
    GetClientRect(&client);
    CDC* dc = parent->GetDC();
    if (dc == nullptr)
        return;
    m_background.CreateCompatibleBitmap(dc, client.Width(), client.Height());
    parent->ReleaseDC(dc);
}

BOOL CSkinListBox::OnEraseBkgnd(CDC*) {
    CWnd* parent = GetParent();
    if (m_backgroundTaken || parent == nullptr)
        return TRUE;
    CRect area;
    GetClientRect(&area);
    MapWindowPoints(parent, &area);
    CDC* parentDc = parent->GetDC();
    if (parentDc == nullptr)
        return TRUE;
    {
        // The parent's pixels under the list, to (0, 0) of the bitmap.
        CBackgroundDC background(parentDc, m_background);
        if (CDC* dc = background.Dc()) {
            dc->BitBlt(0, 0, area.Width(), area.Height(), parentDc, area.left, area.top, SRCCOPY);
            m_backgroundTaken = true;
        }
    }
    parent->ReleaseDC(parentDc);
    return TRUE;
}

void CSkinListBox::OnPaint() {
    CPaintDC paint(this);
    CRect client;
    GetClientRect(&client);
    const int width = client.Width();
    const int height = client.Height();
    CXMemDC buffer(&paint, width, height);
    CDC* dc = buffer.GetDC();
    if (dc == nullptr)
        return;
    CBackgroundDC(dc, m_background).CopyTo(dc, client);
    const int count = GetCount();
    CRect item(0, 0, width, GetItemHeight(0));
    for (int index = GetTopIndex(); index >= 0 && index < count && item.top <= height; ++index) {
        DrawListItem(dc, index, item, GetSel(index) > 0);
        item.OffsetRect(0, GetItemHeight(index));
    }
}

void CSkinListBox::DefaultWithoutRedraw() {
    HWND list = m_hWnd;
    SetRedraw(FALSE);
    Default();
    if (!::IsWindow(list))
        return;
    SetRedraw(TRUE);
    Invalidate();
    UpdateWindow();
}

void CSkinListBox::OnVScroll(UINT, UINT, CScrollBar*) {
    DefaultWithoutRedraw();
}

BOOL CSkinListBox::OnSelChange() {
    Invalidate();
    UpdateWindow();
    // The parent gets LBN_SELCHANGE too.
    return FALSE;
}

// Keys may change the selection or scroll while the list box cannot draw, so the list repaints after them.
void CSkinListBox::OnKeyDown(UINT, UINT, UINT) {
    DefaultWithoutRedraw();
}

void CSkinListBox::OnChar(UINT, UINT, UINT) {
    DefaultWithoutRedraw();
}

void CSkinListBox::OnMove(int, int) {
    Default();
    RetakeBackground();
}

void CSkinListBox::OnSize(UINT, int, int) {
    Default();
    MakeBackgroundBitmap();
    RetakeBackground();
}

void CSkinListBox::RetakeBackground() {
    m_backgroundTaken = false;
    // A hidden list (also one still being created) takes its snapshot when it is first painted.
    if (!(GetStyle() & WS_VISIBLE))
        return;
    // Hidden, the list leaves its place to the parent, which paints its skin there now: a parent that clips
    // its children would not paint under the list once it shows again. The next erase copies that.
    ShowWindow(SW_HIDE);
    Invalidate(TRUE);
    if (CWnd* parent = GetParent())
        parent->UpdateWindow();
    ShowWindow(SW_SHOW);
}

bool CSkinListBox::NotifyParent(UINT code) {
    return NotifyParentBare(this, code);
}

void CSkinListBox::Press(PressKind kind) {
    HWND list = m_hWnd;
    SetFocus();
    if (!::IsWindow(list))
        return;
    CancelHoldTimer();
    if (kind == PressKind::Hold)
        m_holdTimerId = SetTimer(kHoldTimerId, kHoldTime, nullptr);
    else if (!NotifyParent(LVN_ITEMACTIVATE) || !NotifyParent(NM_CLICK))
        return;
    Default();
}

int CSkinListBox::ItemAt(CPoint point) const {
    const LRESULT hit = ::SendMessageW(m_hWnd, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
    return HIWORD(hit) != 0 ? -1 : static_cast<int>(LOWORD(hit));
}

void CSkinListBox::SelectAlone(int item, SelectionStep step) {
    // A list box that keeps several selections toggles the item under a press; here a press selects that
    // item and only it.
    if (item < 0 || !(GetStyle() & LBS_MULTIPLESEL))
        return;
    for (int i = 0; i < GetCount(); ++i) {
        const bool wanted = i == item && step == SelectionStep::Done;
        if ((GetSel(i) > 0) != wanted)
            SetSel(i, wanted ? TRUE : FALSE);
    }
}

void CSkinListBox::OnLButtonDown(UINT, CPoint point) {
    m_lastTapPoint = point;
    m_doubleTapDown = false;
    // Every other item is let go and this one cleared, so that the list box's toggle selects it alone.
    SelectAlone(ItemAt(point), SelectionStep::ToggledNext);
    Press(PressKind::Hold);
}

void CSkinListBox::OnLButtonDblClk(UINT, CPoint point) {
    // The list box takes the second press of a double tap without changing its selection; its release
    // reports NM_DBLCLK, for the item under it.
    m_doubleTapDown = true;
    SelectAlone(ItemAt(point), SelectionStep::Done);
    Default();
}

void CSkinListBox::OnLButtonUp(UINT, CPoint) {
    if (m_holdTimerId != 0) {
        // The release of a press on this list (also after a hold): the tap, then the release to the list box.
        CancelHoldTimer();
        Press(PressKind::Tap);
        return;
    }
    if (m_doubleTapDown) {
        m_doubleTapDown = false;
        NotifyParent(NM_DBLCLK);
        return;
    }
    // A release whose press went elsewhere reports nothing.
    Default();
}

void CSkinListBox::OnTimer(UINT_PTR nIDEvent) {
    // Other timers belong to the list box (its scroll bar's repeat).
    if (m_holdTimerId == 0 || nIDEvent != m_holdTimerId) {
        Default();
        return;
    }
    // The id stays recorded: the release that ends the hold still reports the tap.
    KillTimer(m_holdTimerId);
    if (GetCurSel() >= 0)
        NotifyParent(NM_RCLICK);
}
