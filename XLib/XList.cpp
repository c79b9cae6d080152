#include "XList.h"

#include <algorithm>
#include <string_view>

#include "XControlSupport.h"
#include "XDialog.h"

// ---- Header.

IMPLEMENT_DYNAMIC(CXHeaderCtrl, CHeaderCtrl)

BEGIN_MESSAGE_MAP(CXHeaderCtrl, CHeaderCtrl)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

void CXHeaderCtrl::SetColors(COLORREF fontColor, COLORREF backgroundColor, COLORREF separatorColor,
                             COLORREF focusFontColor, COLORREF focusBackgroundColor,
                             COLORREF focusSeparatorColor, bool redraw) {
    m_fontColor = fontColor;
    m_backgroundColor = backgroundColor;
    m_separatorColor = separatorColor;
    m_focusFontColor = focusFontColor;
    m_focusBackgroundColor = focusBackgroundColor;
    m_focusSeparatorColor = focusSeparatorColor;
    if (redraw)
        Redraw();
}

void CXHeaderCtrl::SetFont(CFont* font) {
    m_font = font;
    Redraw();
}

void CXHeaderCtrl::SetFocused(bool focused) {
    m_focused = focused;
    Redraw();
}

void CXHeaderCtrl::Redraw() {
    if (m_hWnd != nullptr)
        Invalidate(FALSE);
}

void CXHeaderCtrl::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CXHeaderCtrl::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CXHeaderCtrl::OnPaint() {
    CPaintDC dc(this);
    const CSelectedObject font(dc, m_font);

    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, m_focused ? m_focusBackgroundColor : m_backgroundColor);

    CPen pen(PS_SOLID, 1, m_focused ? m_focusSeparatorColor : m_separatorColor);
    const CSelectedObject selectedPen(dc, &pen);
    const int count = GetItemCount();
    for (int i = 0; i < count; ++i) {
        WCHAR text[64] = {};
        HDITEM item{};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = static_cast<int>(std::size(text));
        CRect rect;
        if (!GetItem(i, &item) || !GetItemRect(i, &rect))
            continue;
        dc.MoveTo(rect.right - 1, rect.top);
        dc.LineTo(rect.right - 1, rect.bottom);
        rect.DeflateRect(4, 0);
        dc.SetTextColor(m_focused ? m_focusFontColor : m_fontColor);
        dc.SetBkMode(TRANSPARENT);
        dc.DrawText(text, -1, &rect, DT_VCENTER);
    }
}

// ---- List.

IMPLEMENT_DYNAMIC(CXList, CListCtrlClicks)

BEGIN_MESSAGE_MAP(CXList, CListCtrlClicks)
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, OnCustomDraw)
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_KEYDOWN()
ON_WM_ERASEBKGND()
ON_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
END_MESSAGE_MAP()

CXList::~CXList() {
    // The window goes before the font that it shows and the header object that is attached to its child.
    if (m_hWnd != nullptr)
        DestroyWindow();
}

bool CXList::Create(int x, int y, int width, int height, CWnd* parent, UINT id) {
    constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS;
    const CRect rect(x, y, x + width - 1, y + height - 1);
    if (!CListCtrlClicks::Create(kStyle, rect, parent, id))
        return false;
    SetExtendedStyle(LVS_EX_FULLROWSELECT);
    if (HWND header = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)))
        m_header.SubclassWindow(header);
    return true;
}

void CXList::SetFont(LPCWSTR faceName, int size, bool bold, bool italic) {
    CaptionFont spec;
    spec.faceName = faceName != nullptr ? faceName : u"";
    spec.size = size;
    spec.bold = bold;
    spec.italic = italic;
    // The list view and its header show the new font before the old one goes.
    SetControlFont(this, m_font, spec);
}

int CXList::GetSelectedItem() const {
    int last = -1;
    for (int item = GetNextItem(-1, LVNI_SELECTED); item != -1; item = GetNextItem(item, LVNI_SELECTED))
        last = item;
    return last;
}

bool CXList::LoadFromXml(CXmlElement* element, CXDialog* dialog) {
    if (element == nullptr)
        return false;
    int id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    element->GetIntAttribute(u"id", &id);
    element->GetIntAttribute(u"x", &x);
    element->GetIntAttribute(u"y", &y);
    element->GetIntAttribute(u"width", &width);
    element->GetIntAttribute(u"height", &height);
    if (!Create(x, y, width, height, dialog, static_cast<UINT>(id)))
        return false;

    CaptionFont skinFont;
    if (ReadCaptionFont(*element, &skinFont)) {
        SetFont(skinFont.faceName, skinFont.size, skinFont.bold, skinFont.italic);
        if (m_font.GetSafeHandle() != nullptr)
            m_header.SetFont(&m_font);
    }

    // Colours and columns come only from a leading "xHeader".
    CXmlElement header;
    if (!element->GetChild(0, header) || std::u16string_view(header.GetName()) != u"xHeader")
        return true;
    int background = 0xFFFFFF;
    int font = 0;
    int separator = 0;
    header.GetIntAttribute(u"backgroundColor", &background);
    header.GetIntAttribute(u"fontColor", &font);
    header.GetIntAttribute(u"columnSeparatorColor", &separator);
    int focusBackground = background;
    int focusFont = font;
    int focusSeparator = separator;
    header.GetIntAttribute(u"focusBackgroundColor", &focusBackground);
    header.GetIntAttribute(u"focusFontColor", &focusFont);
    header.GetIntAttribute(u"focusColumnSeparatorColor", &focusSeparator);
    m_header.SetColors(static_cast<COLORREF>(font), static_cast<COLORREF>(background),
                       static_cast<COLORREF>(separator), static_cast<COLORREF>(focusFont),
                       static_cast<COLORREF>(focusBackground), static_cast<COLORREF>(focusSeparator), false);

    // A column's index is its position among all of the header's children, so columns keep document order.
    for (int i = 0; i < header.GetChildCount(); ++i) {
        CXmlElement column;
        if (!header.GetChild(i, column) || std::u16string_view(column.GetName()) != u"column")
            continue;
        CString name;
        int columnWidth = 0;
        int format = LVCFMT_LEFT;
        column.GetAttribute(u"name", &name);
        column.GetIntAttribute(u"width", &columnWidth);
        column.GetIntAttribute(u"format", &format);
        InsertColumn(i, name, format, columnWidth);
    }
    return true;
}

void CXList::OnCustomDraw(NMHDR*, LRESULT* pResult) {
    // The list view draws the list itself at every stage.
    *pResult = CDRF_DODEFAULT;
}

void CXList::OnSetFocus(CWnd* pOldWnd) {
    CListCtrlClicks::OnSetFocus(pOldWnd);
    m_header.SetFocused(true);
    if (GetNextItem(-1, LVNI_SELECTED) != -1)
        return;
    SetSelectionMark(0);
    SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
}

// Only the header hears of it; the message goes no further.
void CXList::OnKillFocus(CWnd*) {
    m_header.SetFocused(false);
}

// Enter is the list's own key, not the dialog's default button.
LRESULT CXList::OnGetDlgCode(WPARAM, LPARAM lParam) {
    return WithEnterKey(Default(), reinterpret_cast<const MSG*>(lParam));
}

void CXList::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    switch (nChar) {
    case VK_RETURN:
        ReportTap();
        return;
    case VK_UP:
        if (GetSelectionMark() != 0)
            break;
        MoveFocusAlongTabOrder(this, TabStep::Previous);
        return;
    case VK_DOWN:
        if (GetSelectionMark() < GetItemCount() - 1)
            break;
        MoveFocusAlongTabOrder(this, TabStep::Next);
        break;
    default:
        break;
    }
    CListCtrlClicks::OnKeyDown(nChar, nRepCnt, nFlags);
}

BOOL CXList::OnEraseBkgnd(CDC*) {
    return TRUE;
}
