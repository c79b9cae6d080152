#include "XEdit.h"

#include <string_view>

#include "XControlSupport.h"
#include "XDialog.h"

namespace {

// The element's id, x, y, width and height; absent ones are 0.
struct Placement {
    int id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

Placement ReadPlacement(const CXmlElement& element) {
    Placement placement;
    element.GetIntAttribute(u"id", &placement.id);
    element.GetIntAttribute(u"x", &placement.x);
    element.GetIntAttribute(u"y", &placement.y);
    element.GetIntAttribute(u"width", &placement.width);
    element.GetIntAttribute(u"height", &placement.height);
    return placement;
}

CRect WindowRect(int x, int y, int width, int height) {
    return CRect(x, y, x + width - 1, y + height - 1);
}

constexpr std::u16string_view kLineBreak = u"\r\n";

} // namespace

// ---- Edit.

IMPLEMENT_DYNAMIC(CXEdit, CEdit)

BEGIN_MESSAGE_MAP(CXEdit, CEdit)
ON_WM_CTLCOLOR_REFLECT()
ON_WM_KEYDOWN()
END_MESSAGE_MAP()

CXEdit::~CXEdit() {
    // The window goes before the font and the brush that it uses.
    if (m_hWnd != nullptr)
        DestroyWindow();
}

bool CXEdit::Create(LPCWSTR caption, int x, int y, int width, int height, bool multiline, CWnd* parent,
                    UINT id) {
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP |
                        (multiline ? WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL : ES_AUTOHSCROLL);
    if (!CEdit::Create(style, WindowRect(x, y, width, height), parent, id))
        return false;
    if (caption != nullptr && caption[0] != u'\0')
        SetWindowText(caption);
    SetColors(RGB(0, 0, 0), RGB(255, 255, 255));
    return true;
}

void CXEdit::SetColors(COLORREF textColor, COLORREF backgroundColor) {
    m_textColor = textColor;
    SetBackgroundColor(backgroundColor);
}

void CXEdit::SetTextColor(COLORREF color) {
    m_textColor = color;
    Redraw();
}

void CXEdit::SetBackgroundColor(COLORREF color) {
    m_backgroundBrush.DeleteObject();
    m_backgroundColor = color;
    m_backgroundBrush.CreateSolidBrush(color);
    Redraw();
}

void CXEdit::Redraw() {
    if (m_hWnd != nullptr)
        Invalidate(FALSE);
}

void CXEdit::SetFont(LPCWSTR faceName, int size, bool bold, bool italic) {
    SetControlFont(this, m_font, CaptionFont{faceName != nullptr ? faceName : u"", size, bold, italic});
}

bool CXEdit::LoadFromXml(CXmlElement* element, CXDialog* dialog) {
    if (element == nullptr)
        return false;
    const Placement placement = ReadPlacement(*element);
    CString caption;
    bool multiline = false;
    element->GetAttribute(u"caption", &caption);
    element->GetBoolAttribute(u"multiline", &multiline);
    if (!Create(caption, placement.x, placement.y, placement.width, placement.height, multiline, dialog,
                static_cast<UINT>(placement.id)))
        return false;

    // The look's defaults are black on white, as an edit's.
    CaptionLook look;
    ReadCaptionLook(*element, &look);
    SetColors(look.textColor, look.backgroundColor);

    bool readOnly = false;
    element->GetBoolAttribute(u"readOnly", &readOnly);
    SetReadOnly(readOnly ? TRUE : FALSE);

    CaptionFont font;
    if (ReadCaptionFont(*element, &font))
        SetFont(font.faceName, font.size, font.bold, font.italic);
    return true;
}

HBRUSH CXEdit::CtlColor(CDC* pDC, UINT) {
    // Asked for as an edit, or as a static while read-only or disabled: the skin colours either way.
    pDC->SetTextColor(m_textColor);
    pDC->SetBkColor(m_backgroundColor);
    return static_cast<HBRUSH>(m_backgroundBrush);
}

bool CXEdit::LeavesEdit(UINT key) const {
    if (key != VK_UP && key != VK_DOWN)
        return false;
    int start = 0;
    int end = 0;
    GetSel(start, end);
    if (start != end)
        return false;
    if ((GetStyle() & ES_MULTILINE) == 0)
        return true;

    // Lines are told apart by their CR LF only: a line that the edit wraps is still one line.
    CString text;
    GetWindowText(text);
    const std::u16string_view view(text, static_cast<size_t>(text.GetLength()));
    const auto caret = static_cast<size_t>(start);
    if (key == VK_UP) {
        const size_t firstBreak = view.find(kLineBreak);
        return firstBreak == std::u16string_view::npos || firstBreak >= caret;
    }
    return view.find(kLineBreak, caret) == std::u16string_view::npos;
}

void CXEdit::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (LeavesEdit(nChar) && MoveFocusAlongTabOrder(this, nChar == VK_UP ? TabStep::Previous : TabStep::Next))
        return;
    CEdit::OnKeyDown(nChar, nRepCnt, nFlags);
}

// ---- Tree.

IMPLEMENT_DYNAMIC(CXTree, CTreeCtrl)

BEGIN_MESSAGE_MAP(CXTree, CTreeCtrl)
ON_WM_KEYDOWN()
ON_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
END_MESSAGE_MAP()

CXTree::~CXTree() {
    // The window goes before the font that it shows.
    if (m_hWnd != nullptr)
        DestroyWindow();
}

bool CXTree::Create(int x, int y, int width, int height, CWnd* parent, UINT id) {
    // No TVS_ styles: neither lines nor buttons.
    constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP;
    return CTreeCtrl::Create(kStyle, WindowRect(x, y, width, height), parent, id) != FALSE;
}

void CXTree::SetFont(LPCWSTR faceName, int size, bool bold, bool italic) {
    SetControlFont(this, m_font, CaptionFont{faceName != nullptr ? faceName : u"", size, bold, italic});
    if (m_hWnd != nullptr)
        Invalidate(FALSE);
}

bool CXTree::LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR) {
    if (element == nullptr)
        return false;
    const Placement placement = ReadPlacement(*element);
    if (!Create(placement.x, placement.y, placement.width, placement.height, dialog,
                static_cast<UINT>(placement.id)))
        return false;
    CaptionFont font;
    if (ReadCaptionFont(*element, &font))
        SetFont(font.faceName, font.size, font.bold, font.italic);
    return true;
}

LRESULT CXTree::OnGetDlgCode(WPARAM, LPARAM lParam) {
    // Enter is the tree's own key, not the dialog's default button.
    return WithEnterKey(Default(), reinterpret_cast<const MSG*>(lParam));
}

void CXTree::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar != VK_RETURN) {
        CTreeCtrl::OnKeyDown(nChar, nRepCnt, nFlags);
        return;
    }
    NotifyParentBare(this, NM_CLICK);
}
