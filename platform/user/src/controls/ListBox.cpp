// The LISTBOX class: a list of strings with item data, single, multiple (LBS_MULTIPLESEL: a tap toggles
// an item) or extended (LBS_EXTENDEDSEL: a tap selects one item, Shift a range, Ctrl toggles) selection,
// a top index and a fixed item height, scrolling with a vertical bar (WS_VSCROLL), and LBN_SELCHANGE,
// LBN_DBLCLK, LBN_SETFOCUS and LBN_KILLFOCUS for a list with LBS_NOTIFY. Without LBS_NOINTEGRALHEIGHT the
// list keeps its height a whole number of items.
//
// LB_GETCURSEL of a list with several selections answers the caret item when it is selected, else the
// first selected item, and LB_ERR when nothing is selected, so that "the current selection" always names
// a selected item.

#include "ListBox.h"

#include <algorithm>

#include "user/Dialog.h"
#include "user/System.h"

namespace user::controls {

namespace {

constexpr int kTextMargin = 2;
constexpr int kMaxItemHeight = 255;

} // namespace

ListBox::ListBox(HWND hwnd, const CREATESTRUCTW& create)
    : ControlBase(hwnd),
      m_combo(HasClass(hwnd, kComboListClassName) ? static_cast<HWND>(create.lpCreateParams) : nullptr),
      m_notify((create.style & LBS_NOTIFY) != 0), m_sort((create.style & LBS_SORT) != 0),
      m_integral(!(create.style & LBS_NOINTEGRALHEIGHT) && !m_combo),
      m_disableNoScroll((create.style & LBS_DISABLENOSCROLL) != 0),
      m_selection(m_combo                            ? Selection::Single
                  : (create.style & LBS_NOSEL)       ? Selection::None
                  : (create.style & LBS_EXTENDEDSEL) ? Selection::Extended
                  : (create.style & LBS_MULTIPLESEL) ? Selection::Multiple
                                                     : Selection::Single),
      m_itemHeight(FontLineHeight(nullptr)), m_bar(hwnd, SB_VERT) {}

ListBox* ListBox::OfComboList(HWND hwnd) {
    if (!hwnd || !HasClass(hwnd, kComboListClassName))
        return nullptr;
    return reinterpret_cast<ListBox*>(GetWindowLongPtrW(hwnd, kStateOffset));
}

LRESULT ListBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_WINDOWPOSCHANGING:
        ApplyIntegralHeight(reinterpret_cast<WINDOWPOS*>(lParam));
        return 0;
    case WM_SIZE:
        ScrollTo(m_top);
        return 0;
    case WM_SETFONT:
        OnSetFont(reinterpret_cast<HFONT>(wParam), lParam);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
        OnSetFocus();
        return 0;
    case WM_KILLFOCUS:
        OnKillFocus();
        return 0;
    case WM_ENABLE:
    case WM_STYLECHANGED:
        OnLookChanged();
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(PointFromLParam(lParam), Tap::Single);
        return 0;
    case WM_LBUTTONDBLCLK:
        OnLButtonDown(PointFromLParam(lParam), Tap::Double);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(PointFromLParam(lParam), wParam);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(PointFromLParam(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged(reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_TIMER:
        return OnTimer(wParam, lParam);
    case WM_KEYDOWN:
        OnKey(static_cast<UINT>(wParam));
        return 0;
    case WM_CHAR:
        OnCharacter(static_cast<WCHAR>(wParam));
        return 0;
    case WM_VSCROLL:
        OnScroll(LOWORD(wParam), HIWORD(wParam));
        return 0;

    case LB_ADDSTRING:
        return AddString(reinterpret_cast<LPCWSTR>(lParam));
    case LB_INSERTSTRING:
        return InsertString(wParam, reinterpret_cast<LPCWSTR>(lParam));
    case LB_DELETESTRING:
        return DeleteString(wParam);
    case LB_RESETCONTENT:
        Reset();
        return LB_OKAY;
    case LB_GETCOUNT:
        return Count();
    case LB_GETTEXT:
        return GetText(wParam, reinterpret_cast<LPWSTR>(lParam));
    case LB_GETTEXTLEN:
        return GetTextLen(wParam);
    case LB_GETITEMDATA:
        return GetItemData(wParam);
    case LB_SETITEMDATA:
        return SetItemData(wParam, lParam);
    case LB_GETCURSEL:
        return GetCurSel();
    case LB_SETCURSEL:
        return SetCurSel(wParam);
    case LB_SETSEL:
        return SetSel(wParam != 0, lParam);
    case LB_GETSEL:
        return GetSel(wParam);
    case LB_GETSELCOUNT:
        return GetSelCount();
    case LB_GETSELITEMS:
        return GetSelItems(wParam, reinterpret_cast<int*>(lParam));
    case LB_GETCARETINDEX:
        return m_caret;
    case LB_SETTOPINDEX:
        return SetTopIndex(wParam);
    case LB_GETTOPINDEX:
        return m_top;
    case LB_SETITEMHEIGHT:
        return SetItemHeight(lParam);
    case LB_GETITEMHEIGHT:
        return m_itemHeight;
    case LB_GETITEMRECT:
        return GetItemRect(wParam, reinterpret_cast<RECT*>(lParam));
    case LB_ITEMFROMPOINT:
        return ItemFromPoint(PointFromLParam(lParam));
    case LB_FINDSTRING:
        return Find(wParam, reinterpret_cast<LPCWSTR>(lParam), Match::Prefix);
    case LB_FINDSTRINGEXACT:
        return Find(wParam, reinterpret_cast<LPCWSTR>(lParam), Match::Exact);
    default:
        return DefWindowProcW(m_hwnd, message, wParam, lParam);
    }
}

// --- window messages ------------------------------------------------------------------------------

void ListBox::OnCreate() {
    ApplyIntegralHeight(nullptr);
    UpdateScrollBar();
}

void ListBox::OnSetFont(HFONT font, LPARAM redraw) {
    m_font = font;
    m_itemHeight = std::min(kMaxItemHeight, FontLineHeight(m_font));
    ApplyIntegralHeight(nullptr);
    ScrollTo(m_top);
    if (redraw)
        Repaint();
}

void ListBox::OnSetFocus() {
    m_focus = true;
    Repaint();
    if (Notifies())
        Notify(LBN_SETFOCUS);
}

void ListBox::OnKillFocus() {
    m_focus = false;
    Repaint();
    if (Notifies())
        Notify(LBN_KILLFOCUS);
}

void ListBox::OnLookChanged() {
    UpdateScrollBar();
    Repaint();
}

void ListBox::OnLButtonDown(POINT client, Tap tap) {
    if (m_combo)
        OnComboPress(client);
    else
        OnPress(client, tap);
}

void ListBox::OnMouseMove(POINT client, WPARAM keys) {
    if (m_bar.Tracking())
        m_bar.Move(client);
    else if (m_combo)
        OnComboDrag(client, keys);
    else
        OnDrag(client);
}

void ListBox::OnLButtonUp(POINT client) {
    if (m_bar.Tracking()) {
        m_bar.Release(client);
        // The drop-down list keeps the stylus while it is down.
        if (m_combo && Alive() && IsWindowVisible(m_hwnd))
            SetCapture(m_hwnd);
    } else if (m_combo) {
        OnComboRelease(client);
    } else {
        OnRelease(client);
    }
}

void ListBox::OnCaptureChanged(HWND capture) {
    if (capture == m_hwnd)
        return;
    m_bar.Cancel();
    m_tracking = false;
    if (m_combo && IsWindowVisible(m_hwnd))
        ComboListLostCapture(m_combo);
}

LRESULT ListBox::OnTimer(WPARAM timer, LPARAM lParam) {
    if (!m_bar.Timer(timer))
        return DefWindowProcW(m_hwnd, WM_TIMER, timer, lParam);
    return 0;
}

// --- list box messages ----------------------------------------------------------------------------

LRESULT ListBox::AddString(LPCWSTR text) {
    if (!text)
        return LB_ERR;
    std::u16string_view added(text);
    int index = Count();
    if (m_sort) {
        auto after = std::upper_bound(
            m_items.begin(), m_items.end(), added,
            [](std::u16string_view t, const Item& item) { return CompareNoCase(t, item.text) < 0; });
        index = static_cast<int>(after - m_items.begin());
    }
    return Insert(index, added);
}

LRESULT ListBox::InsertString(WPARAM at, LPCWSTR text) {
    if (!text)
        return LB_ERR;
    INT_PTR index = static_cast<INT_PTR>(at);
    if (index == -1)
        index = Count();
    if (index < 0 || index > Count())
        return LB_ERR;
    return Insert(static_cast<int>(index), text);
}

LRESULT ListBox::DeleteString(WPARAM index) {
    return ValidIndex(index) ? Delete(static_cast<int>(index)) : LB_ERR;
}

LRESULT ListBox::GetText(WPARAM index, LPWSTR buffer) const {
    if (!ValidIndex(index) || !buffer)
        return LB_ERR;
    const std::u16string& text = m_items[index].text;
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<LRESULT>(text.size());
}

LRESULT ListBox::GetTextLen(WPARAM index) const {
    return ValidIndex(index) ? static_cast<LRESULT>(m_items[index].text.size()) : LB_ERR;
}

LRESULT ListBox::GetItemData(WPARAM index) const {
    return ValidIndex(index) ? static_cast<LRESULT>(m_items[index].data) : LB_ERR;
}

LRESULT ListBox::SetItemData(WPARAM index, LPARAM data) {
    if (!ValidIndex(index))
        return LB_ERR;
    m_items[index].data = static_cast<ULONG_PTR>(data);
    return TRUE;
}

LRESULT ListBox::GetSel(WPARAM index) const {
    return ValidIndex(index) ? (IsSelected(static_cast<int>(index)) ? 1 : 0) : LB_ERR;
}

LRESULT ListBox::GetSelCount() const {
    if (m_selection == Selection::Single)
        return LB_ERR;
    return std::count_if(m_items.begin(), m_items.end(), [](const Item& item) { return item.selected; });
}

LRESULT ListBox::GetSelItems(WPARAM capacity, int* out) const {
    if (m_selection == Selection::Single || !out)
        return LB_ERR;
    size_t written = 0;
    for (size_t i = 0; i < m_items.size() && written < capacity; ++i)
        if (m_items[i].selected)
            out[written++] = static_cast<int>(i);
    return static_cast<LRESULT>(written);
}

LRESULT ListBox::SetTopIndex(WPARAM index) {
    if (!ValidIndex(index))
        return LB_ERR;
    ScrollTo(static_cast<int>(index));
    return LB_OKAY;
}

LRESULT ListBox::SetItemHeight(LPARAM lParam) {
    int height = LOWORD(lParam);
    if (height <= 0 || height > kMaxItemHeight)
        return LB_ERR;
    m_itemHeight = height;
    ScrollTo(m_top);
    Repaint();
    return LB_OKAY;
}

LRESULT ListBox::GetItemRect(WPARAM index, RECT* rect) const {
    if (!rect || !ValidIndex(index))
        return LB_ERR;
    RECT area = ItemsArea();
    int top = (static_cast<int>(index) - m_top) * m_itemHeight;
    *rect = RECT{area.left, top, area.right, top + m_itemHeight};
    return 1;
}

// --- layout, items and the selection ------------------------------------------------------------------

void ListBox::Notify(WORD code) {
    NotifyParent(m_hwnd, code);
}

RECT ListBox::ItemsArea() const {
    RECT r;
    GetClientRect(m_hwnd, &r);
    if (!IsRectEmpty(&m_bar.Rect()))
        r.right = std::max(r.left, m_bar.Rect().left);
    return r;
}

int ListBox::FullyVisible() const {
    RECT r;
    GetClientRect(m_hwnd, &r);
    return std::max(1, static_cast<int>(r.bottom - r.top) / m_itemHeight);
}

int ListBox::MaxTop() const {
    return std::max(0, Count() - FullyVisible());
}

int ListBox::ItemAt(POINT client) const {
    RECT area = ItemsArea();
    if (!PtInRect(&area, client))
        return -1;
    int index = m_top + static_cast<int>(client.y - area.top) / m_itemHeight;
    return index < Count() ? index : -1;
}

bool ListBox::IsSelected(int index) const {
    if (m_selection == Selection::Single)
        return index == m_current;
    return index >= 0 && index < Count() && m_items[static_cast<size_t>(index)].selected;
}

void ListBox::UpdateScrollBar() {
    bool hasBar = (GetWindowLongW(m_hwnd, GWL_STYLE) & WS_VSCROLL) != 0;
    if (hasBar) {
        SCROLLINFO info{sizeof(SCROLLINFO),
                        SIF_RANGE | SIF_PAGE | SIF_POS,
                        0,
                        std::max(0, Count() - 1),
                        static_cast<UINT>(FullyVisible()),
                        m_top,
                        0};
        if (m_disableNoScroll)
            info.fMask |= SIF_DISABLENOSCROLL;
        SetScrollInfo(m_hwnd, SB_VERT, &info, FALSE);
    }
    RECT client;
    GetClientRect(m_hwnd, &client);
    bool shown = hasBar && ScrollValuesOf(m_hwnd, SB_VERT).shown;
    int width = GetSystemMetrics(SM_CXVSCROLL);
    m_bar.SetRect(
        shown ? RECT{std::max(client.left, client.right - width), client.top, client.right, client.bottom}
              : RECT{});
}

void ListBox::ScrollTo(int top) {
    int clamped = std::clamp(top, 0, MaxTop());
    bool changed = clamped != m_top;
    m_top = clamped;
    RECT before = m_bar.Rect();
    UpdateScrollBar();
    if (changed || !EqualRect(&before, &m_bar.Rect()))
        Repaint();
    else
        InvalidateRect(m_hwnd, &m_bar.Rect(), FALSE);
}

void ListBox::EnsureVisible(int index) {
    if (index < 0 || index >= Count())
        return;
    if (index < m_top)
        ScrollTo(index);
    else if (index >= m_top + FullyVisible())
        ScrollTo(index - FullyVisible() + 1);
}

void ListBox::ApplyIntegralHeight(WINDOWPOS* pos) {
    if (!m_integral)
        return;
    RECT window;
    RECT client;
    GetWindowRect(m_hwnd, &window);
    GetClientRect(m_hwnd, &client);
    int frame = (window.bottom - window.top) - (client.bottom - client.top);
    if (pos) {
        if (pos->flags & SWP_NOSIZE)
            return;
        int rows = (pos->cy - frame) / m_itemHeight;
        if (rows >= 1)
            pos->cy = frame + rows * m_itemHeight;
        return;
    }
    int height = client.bottom - client.top;
    int rows = height / m_itemHeight;
    if (rows >= 1 && height % m_itemHeight != 0)
        SetWindowPos(m_hwnd, nullptr, 0, 0, window.right - window.left, frame + rows * m_itemHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ListBox::Insert(int index, std::u16string_view text) {
    bool wasEmpty = m_items.empty();
    m_items.insert(m_items.begin() + index, Item{std::u16string(text), 0, false});
    auto shift = [index](int& value) {
        if (value >= index)
            ++value;
    };
    if (m_current >= 0)
        shift(m_current);
    if (m_anchor >= 0)
        shift(m_anchor);
    if (m_hot >= 0)
        shift(m_hot);
    if (!wasEmpty)
        shift(m_caret);
    ScrollTo(m_top);
    Repaint();
    return index;
}

int ListBox::Delete(int index) {
    m_items.erase(m_items.begin() + index);
    auto unshift = [index](int& value) {
        if (value == index)
            value = -1;
        else if (value > index)
            --value;
    };
    unshift(m_current);
    unshift(m_anchor);
    unshift(m_hot);
    if (m_caret > index || m_caret >= Count())
        m_caret = std::max(0, m_caret - 1);
    ScrollTo(m_top);
    Repaint();
    return Count();
}

void ListBox::Reset() {
    m_items.clear();
    m_current = -1;
    m_anchor = -1;
    m_hot = -1;
    m_caret = 0;
    ScrollTo(0);
    Repaint();
}

bool ListBox::SetCurrent(int index) {
    if (index >= 0)
        m_caret = index;
    if (index == m_current)
        return false;
    m_current = index;
    EnsureVisible(index);
    Repaint();
    return true;
}

void ListBox::ClearSelection() {
    for (Item& item : m_items)
        item.selected = false;
}

void ListBox::SelectRange(int from, int to, OtherItems others) {
    if (others == OtherItems::Clear)
        ClearSelection();
    for (int i = std::min(from, to); i <= std::max(from, to); ++i)
        if (i >= 0 && i < Count())
            m_items[static_cast<size_t>(i)].selected = true;
    Repaint();
}

LRESULT ListBox::GetCurSel() const {
    if (m_selection == Selection::Single)
        return m_current >= 0 ? m_current : LB_ERR;
    if (IsSelected(m_caret))
        return m_caret;
    auto first = std::find_if(m_items.begin(), m_items.end(), [](const Item& item) { return item.selected; });
    return first != m_items.end() ? first - m_items.begin() : LB_ERR;
}

LRESULT ListBox::SetCurSel(WPARAM index) {
    if (m_selection != Selection::Single)
        return LB_ERR;
    if (static_cast<INT_PTR>(index) == -1) {
        SetCurrent(-1);
        return LB_ERR;
    }
    if (!ValidIndex(index))
        return LB_ERR;
    SetCurrent(static_cast<int>(index));
    return static_cast<LRESULT>(index);
}

LRESULT ListBox::SetSel(bool select, LPARAM index) {
    if (m_selection == Selection::Single || m_selection == Selection::None)
        return LB_ERR;
    if (index == -1) {
        for (Item& item : m_items)
            item.selected = select;
        Repaint();
        return LB_OKAY;
    }
    if (!ValidIndex(static_cast<WPARAM>(index)))
        return LB_ERR;
    m_items[static_cast<size_t>(index)].selected = select;
    if (select)
        m_caret = static_cast<int>(index);
    Repaint();
    return LB_OKAY;
}

LRESULT ListBox::Find(WPARAM start, LPCWSTR text, Match match) const {
    if (!text || m_items.empty())
        return LB_ERR;
    std::u16string_view wanted(text);
    INT_PTR from = static_cast<INT_PTR>(start);
    if (from < -1 || from >= Count())
        from = -1;
    for (int k = 1; k <= Count(); ++k) {
        size_t i = static_cast<size_t>((from + k) % Count());
        bool found = match == Match::Exact ? CompareNoCase(m_items[i].text, wanted) == 0
                                           : StartsWithNoCase(m_items[i].text, wanted);
        if (found)
            return static_cast<LRESULT>(i);
    }
    return LB_ERR;
}

int ListBox::FindByCharacter(WCHAR c, int after) const {
    LRESULT found =
        Find(static_cast<WPARAM>(static_cast<INT_PTR>(after)), std::u16string(1, c).c_str(), Match::Prefix);
    return found == LB_ERR ? -1 : static_cast<int>(found);
}

LRESULT ListBox::ItemFromPoint(POINT client) const {
    if (m_items.empty())
        return MAKELRESULT(0, 1);
    RECT area = ItemsArea();
    long long row = static_cast<long long>(client.y - area.top) / m_itemHeight;
    if (client.y < area.top)
        row = -1;
    long long index = std::clamp<long long>(m_top + row, 0, Count() - 1);
    bool outside = !PtInRect(&area, client) || m_top + row >= Count() || m_top + row < 0;
    return MAKELRESULT(static_cast<WORD>(index), outside ? 1 : 0);
}

void ListBox::OnScroll(int code, int thumb) {
    int top = m_top;
    switch (code) {
    case SB_LINEUP:
        --top;
        break;
    case SB_LINEDOWN:
        ++top;
        break;
    case SB_PAGEUP:
        top -= FullyVisible();
        break;
    case SB_PAGEDOWN:
        top += FullyVisible();
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        top = thumb;
        break;
    case SB_TOP:
        top = 0;
        break;
    case SB_BOTTOM:
        top = MaxTop();
        break;
    default:
        return;
    }
    ScrollTo(top);
}

// --- the stylus and keys of a list box ------------------------------------------------------------

void ListBox::OnPress(POINT client, Tap tap) {
    if (GetFocus() != m_hwnd) {
        SetFocus(m_hwnd);
        if (!Alive())
            return;
    }
    if (m_bar.Press(client))
        return;
    int index = ItemAt(client);
    if (index < 0)
        return;
    if (tap == Tap::Double) {
        // The first tap chose the item already; the second one only reports itself.
        if (Notifies())
            Notify(LBN_DBLCLK);
        return;
    }
    bool changed = false;
    switch (m_selection) {
    case Selection::Single:
        changed = SetCurrent(index);
        m_tracking = true;
        break;
    case Selection::Multiple:
        m_items[static_cast<size_t>(index)].selected = !m_items[static_cast<size_t>(index)].selected;
        m_caret = index;
        changed = true;
        break;
    case Selection::Extended:
        if (IsShiftDown() && m_anchor >= 0) {
            SelectRange(m_anchor, index, IsControlDown() ? OtherItems::Keep : OtherItems::Clear);
        } else if (IsControlDown()) {
            m_items[static_cast<size_t>(index)].selected = !m_items[static_cast<size_t>(index)].selected;
            m_anchor = index;
        } else {
            SelectRange(index, index, OtherItems::Clear);
            m_anchor = index;
        }
        m_caret = index;
        m_tracking = true;
        changed = true;
        break;
    case Selection::None:
        m_caret = index;
        break;
    }
    Repaint();
    if (m_tracking)
        SetCapture(m_hwnd);
    if (changed && Notifies())
        Notify(LBN_SELCHANGE);
}

void ListBox::OnDrag(POINT client) {
    if (!m_tracking)
        return;
    RECT area = ItemsArea();
    client.x = std::clamp(client.x, area.left, std::max(area.left, area.right - 1));
    int index = ItemAt(client);
    if (index < 0)
        return;
    bool changed = false;
    if (m_selection == Selection::Single) {
        changed = SetCurrent(index);
    } else if (m_selection == Selection::Extended && index != m_caret) {
        SelectRange(m_anchor, index, OtherItems::Clear);
        m_caret = index;
        changed = true;
    }
    if (changed && Notifies())
        Notify(LBN_SELCHANGE);
}

void ListBox::OnRelease(POINT) {
    if (!m_tracking)
        return;
    m_tracking = false;
    if (GetCapture() == m_hwnd)
        ReleaseCapture();
}

void ListBox::KeyTo(int index, KeyAction action) {
    if (m_items.empty())
        return;
    index = std::clamp(index, 0, Count() - 1);
    bool changed = false;
    switch (m_selection) {
    case Selection::Single:
        changed = SetCurrent(index);
        break;
    case Selection::Multiple:
        m_caret = index;
        if (action == KeyAction::Toggle) {
            m_items[static_cast<size_t>(index)].selected = !m_items[static_cast<size_t>(index)].selected;
            changed = true;
        }
        break;
    case Selection::Extended:
        if (action == KeyAction::Toggle) {
            m_items[static_cast<size_t>(index)].selected = !m_items[static_cast<size_t>(index)].selected;
            m_anchor = index;
        } else if (IsShiftDown() && m_anchor >= 0) {
            SelectRange(m_anchor, index, OtherItems::Clear);
        } else if (!IsControlDown()) {
            SelectRange(index, index, OtherItems::Clear);
            m_anchor = index;
        }
        m_caret = index;
        changed = true;
        break;
    case Selection::None:
        m_caret = index;
        break;
    }
    EnsureVisible(index);
    Repaint();
    if (changed && Notifies())
        Notify(LBN_SELCHANGE);
}

void ListBox::OnKey(UINT key) {
    if (m_combo || m_items.empty())
        return;
    int from = m_selection == Selection::Single && m_current >= 0 ? m_current : m_caret;
    switch (key) {
    case VK_UP:
        KeyTo(from - 1, KeyAction::Move);
        break;
    case VK_DOWN:
        KeyTo(m_selection == Selection::Single && m_current < 0 ? 0 : from + 1, KeyAction::Move);
        break;
    case VK_PRIOR:
        KeyTo(from - std::max(1, FullyVisible() - 1), KeyAction::Move);
        break;
    case VK_NEXT:
        KeyTo(from + std::max(1, FullyVisible() - 1), KeyAction::Move);
        break;
    case VK_HOME:
        KeyTo(0, KeyAction::Move);
        break;
    case VK_END:
        KeyTo(Count() - 1, KeyAction::Move);
        break;
    case VK_SPACE:
        if (m_selection == Selection::Multiple || (m_selection == Selection::Extended && IsControlDown()))
            KeyTo(m_caret, KeyAction::Toggle);
        break;
    default:
        break;
    }
}

void ListBox::OnCharacter(WCHAR c) {
    if (m_combo || c < 0x20 || (c == u' ' && m_selection != Selection::Single))
        return;
    int from = m_selection == Selection::Single ? m_current : m_caret;
    int found = FindByCharacter(c, from);
    if (found >= 0)
        KeyTo(found, KeyAction::Move);
}

// --- the drop-down list of a combo box ------------------------------------------------------------

void ListBox::SetHot(int index) {
    index = m_items.empty() ? -1 : std::clamp(index, -1, Count() - 1);
    if (index == m_hot)
        return;
    m_hot = index;
    EnsureVisible(index);
    Repaint();
}

void ListBox::MoveHot(UINT key) {
    if (m_items.empty())
        return;
    int from = m_hot >= 0 ? m_hot : m_current;
    int page = std::max(1, FullyVisible() - 1);
    switch (key) {
    case VK_UP:
        SetHot(from < 0 ? 0 : std::max(0, from - 1));
        break;
    case VK_DOWN:
        SetHot(from < 0 ? 0 : std::min(Count() - 1, from + 1));
        break;
    case VK_PRIOR:
        SetHot(std::max(0, from - page));
        break;
    case VK_NEXT:
        SetHot(std::min(Count() - 1, std::max(0, from) + page));
        break;
    case VK_HOME:
        SetHot(0);
        break;
    case VK_END:
        SetHot(Count() - 1);
        break;
    default:
        break;
    }
}

void ListBox::BeginDrop() {
    m_hot = m_current;
    m_dropPress = false;
    ScrollTo(m_current >= 0 ? m_current : 0);
    Repaint();
}

void ListBox::EndDrop() {
    m_dropPress = false;
    m_bar.Cancel();
    m_hot = -1;
}

void ListBox::OnComboPress(POINT client) {
    RECT client_;
    GetClientRect(m_hwnd, &client_);
    if (!PtInRect(&client_, client)) {
        POINT screen = client;
        ClientToScreen(m_hwnd, &screen);
        ComboListPressedOutside(m_combo, screen);
        return;
    }
    if (m_bar.Press(client))
        return;
    m_dropPress = true;
    int index = ItemAt(client);
    if (index >= 0)
        SetHot(index);
}

void ListBox::OnComboDrag(POINT client, WPARAM keys) {
    if (!(keys & MK_LBUTTON))
        return;
    int index = ItemAt(client);
    if (index >= 0)
        SetHot(index);
}

void ListBox::OnComboRelease(POINT client) {
    int index = ItemAt(client);
    bool pressedHere = m_dropPress;
    m_dropPress = false;
    // A release over an item chooses it: after a tap on the list, or after the press on the combo box that
    // dropped the list down and a drag into it. Any other release leaves the list down.
    if (index >= 0)
        ComboListChose(m_combo, index);
    else if (pressedHere)
        SetHot(m_hot);
}

// --- painting -------------------------------------------------------------------------------------

void ListBox::Paint() {
    ScopedPaint paint(m_hwnd, m_font);
    if (!paint)
        return;
    HDC hdc = paint.Dc();
    RECT client = paint.Client();
    HBRUSH background = RequestColors(m_hwnd, hdc, WM_CTLCOLORLISTBOX, m_combo);
    bool enabled = IsWindowEnabled(m_hwnd) != FALSE;
    COLORREF textColor = enabled ? GetTextColor(hdc) : GetSysColor(COLOR_GRAYTEXT);
    FillRect(hdc, &client, background);
    m_bar.Draw(hdc);
    RECT area = ItemsArea();
    IntersectClipRect(hdc, area.left, area.top, area.right, area.bottom);
    SetBkMode(hdc, TRANSPARENT);
    for (int i = m_top; i < Count(); ++i) {
        int top = area.top + (i - m_top) * m_itemHeight;
        if (top >= area.bottom)
            break;
        RECT item{area.left, top, area.right, top + m_itemHeight};
        bool highlighted = m_combo ? i == m_hot : IsSelected(i);
        if (highlighted)
            FillSystemColor(hdc, item, COLOR_HIGHLIGHT);
        SetTextColor(hdc, highlighted && enabled ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor);
        RECT text{item.left + kTextMargin, item.top, item.right - kTextMargin, item.bottom};
        const std::u16string& label = m_items[static_cast<size_t>(i)].text;
        DrawTextW(hdc, label.c_str(), static_cast<int>(label.size()), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (m_focus && i == m_caret)
            DrawFocusRect(hdc, &item);
    }
}

const SystemClass kListBoxWindowClass(WNDCLASSW{CS_DBLCLKS, ControlProc<ListBox>, 0, kStateBytes, nullptr,
                                                nullptr, nullptr, nullptr, nullptr, u"LISTBOX"});
const SystemClass kComboListWindowClass(WNDCLASSW{CS_SAVEBITS, ControlProc<ListBox>, 0, kStateBytes, nullptr,
                                                  nullptr, nullptr, nullptr, nullptr, kComboListClassName});

} // namespace user::controls
