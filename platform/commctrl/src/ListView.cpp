// The list view in report view: rows of items with subitems under a header, a small image list, item
// states with change notifications, hit testing, sorting by a callback, the selection mark, custom draw,
// taps (a hold of the stylus is the right click) and keys.

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "Internal.h"
#include "crt/WideString.h"
#include "user/ScopedPaint.h"

namespace commctrl {
namespace {

struct Item {
    std::u16string text;
    std::vector<std::u16string> subItems; // subitem k is subItems[k - 1]
    int image = I_IMAGENONE;
    LPARAM lParam = 0;
    UINT state = 0;
    int indent = 0;
};

struct Column {
    int format = LVCFMT_LEFT;
    int subItem = 0;
    int image = -1;
};

struct ListView : ControlState {
    std::vector<Item> items;
    std::vector<Column> columns;
    HWND header = nullptr;
    HFONT font = nullptr;
    HIMAGELIST smallImages = nullptr;
    HIMAGELIST normalImages = nullptr;
    HIMAGELIST stateImages = nullptr;
    DWORD exStyle = 0;
    int selectionMark = -1;
    COLORREF background = CLR_DEFAULT;
    COLORREF textColor = CLR_DEFAULT;
    COLORREF textBackground = CLR_DEFAULT;
    VerticalScroll scroll;
    bool sorting = false;
    bool focused = false;
    // A stylus press that the list view handles itself.
    bool pressed = false;
    bool held = false;
    POINT pressPoint{};
    int pressItem = -1;
    int pressSubItem = 0;
};

using Ptr = std::shared_ptr<ListView>;

DWORD Style(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
}

COLORREF Resolve(COLORREF color, int system) {
    return color == CLR_DEFAULT ? GetSysColor(system) : color;
}

int Count(const ListView& lv) {
    return static_cast<int>(lv.items.size());
}

bool Valid(const ListView& lv, int index) {
    return index >= 0 && index < Count(lv);
}

int RowHeight(const ListView& lv) {
    int height = FontLineHeight(lv.font);
    int cx = 0;
    int cy = 0;
    if (lv.smallImages && ImageList_GetIconSize(lv.smallImages, &cx, &cy))
        height = std::max(height, cy);
    return height + 2;
}

int HeaderHeight(const ListView& lv) {
    if (!lv.header || !IsWindowVisible(lv.header))
        return 0;
    RECT rect;
    GetWindowRect(lv.header, &rect);
    return rect.bottom - rect.top;
}

// The rows' area: the client area below the header.
RECT RowsArea(HWND hwnd, const ListView& lv) {
    RECT client;
    GetClientRect(hwnd, &client);
    client.top = std::min(client.bottom, client.top + HeaderHeight(lv));
    return client;
}

// The rows' area without the scroll bar.
RECT ItemsArea(HWND hwnd, const ListView& lv) {
    RECT area = RowsArea(hwnd, lv);
    RECT bar = lv.scroll.BarRect(area);
    area.right = std::min(area.right, bar.left);
    return area;
}

void UpdateScroll(HWND hwnd, ListView& lv) {
    RECT area = RowsArea(hwnd, lv);
    lv.scroll.lines = Count(lv);
    lv.scroll.page = std::max(0, (area.bottom - area.top) / RowHeight(lv));
    lv.scroll.Clamp();
}

int ColumnCount(const ListView& lv) {
    return static_cast<int>(lv.columns.size());
}

// A column's left and right edges, from the header.
bool ColumnEdges(const ListView& lv, int column, int& left, int& right) {
    RECT rect;
    if (!lv.header || !SendMessageW(lv.header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
                                    reinterpret_cast<LPARAM>(&rect)))
        return false;
    left = rect.left;
    right = rect.right;
    return true;
}

int TotalWidth(const ListView& lv) {
    int left = 0;
    int right = 0;
    if (ColumnCount(lv) == 0 || !ColumnEdges(lv, ColumnCount(lv) - 1, left, right))
        return 0;
    return right;
}

RECT RowRect(HWND hwnd, const ListView& lv, int index) {
    RECT area = RowsArea(hwnd, lv);
    int height = RowHeight(lv);
    int top = area.top + (index - lv.scroll.position) * height;
    return RECT{0, top, TotalWidth(lv), top + height};
}

int IconWidth(const ListView& lv) {
    int cx = 0;
    int cy = 0;
    if (lv.smallImages && ImageList_GetIconSize(lv.smallImages, &cx, &cy))
        return cx + 2;
    return 0;
}

// LVIR_* rectangles of an item in column 0.
RECT PartRect(HWND hwnd, const ListView& lv, int index, int code) {
    RECT row = RowRect(hwnd, lv, index);
    int left = 0;
    int right = row.right;
    if (ColumnCount(lv) > 0)
        ColumnEdges(lv, 0, left, right);
    RECT icon{left, row.top, left + IconWidth(lv), row.bottom};
    RECT label{icon.right, row.top, right, row.bottom};
    switch (code) {
    case LVIR_ICON:
        return icon;
    case LVIR_LABEL:
        return label;
    case LVIR_SELECTBOUNDS:
        if (lv.exStyle & LVS_EX_FULLROWSELECT)
            return row;
        return RECT{icon.left, row.top, label.right, row.bottom};
    default:
        return row;
    }
}

std::u16string TextOf(const Item& item, int subItem) {
    if (subItem == 0)
        return item.text;
    if (subItem < 0 || subItem > static_cast<int>(item.subItems.size()))
        return std::u16string();
    return item.subItems[static_cast<size_t>(subItem - 1)];
}

void SetTextOf(Item& item, int subItem, LPCWSTR text) {
    std::u16string value = text && text != LPSTR_TEXTCALLBACKW ? std::u16string(text) : std::u16string();
    if (subItem == 0) {
        item.text = std::move(value);
        return;
    }
    if (item.subItems.size() < static_cast<size_t>(subItem))
        item.subItems.resize(static_cast<size_t>(subItem));
    item.subItems[static_cast<size_t>(subItem - 1)] = std::move(value);
}

void InvalidateItem(HWND hwnd, const ListView& lv, int index) {
    RECT row = RowRect(hwnd, lv, index);
    RECT client;
    GetClientRect(hwnd, &client);
    row.left = client.left;
    row.right = client.right;
    InvalidateRect(hwnd, &row, FALSE);
}

void InvalidateRows(HWND hwnd, const ListView& lv) {
    RECT area = RowsArea(hwnd, lv);
    InvalidateRect(hwnd, &area, FALSE);
}

NMLISTVIEW ChangeRecord(const ListView& lv, int index) {
    NMLISTVIEW record{};
    record.iItem = index;
    record.lParam = Valid(lv, index) ? lv.items[static_cast<size_t>(index)].lParam : 0;
    return record;
}

// Changes one item's state under a mask with LVN_ITEMCHANGING (which may refuse) and LVN_ITEMCHANGED.
// False when the change was refused or the list went away meanwhile.
bool ChangeState(HWND hwnd, const Ptr& lv, int index, UINT state, UINT mask) {
    if (!Valid(*lv, index))
        return false;
    UINT old = lv->items[static_cast<size_t>(index)].state;
    UINT now = (old & ~mask) | (state & mask);
    if (now == old)
        return true;
    NMLISTVIEW record = ChangeRecord(*lv, index);
    record.uNewState = now;
    record.uOldState = old;
    record.uChanged = LVIF_STATE;
    if (Notify(hwnd, LVN_ITEMCHANGING, &record.hdr))
        return false;
    if (lv->destroyed || !Valid(*lv, index))
        return false;
    Item& item = lv->items[static_cast<size_t>(index)];
    old = item.state;
    now = (old & ~mask) | (state & mask);
    item.state = now;
    InvalidateItem(hwnd, *lv, index);
    record = ChangeRecord(*lv, index);
    record.uNewState = now;
    record.uOldState = old;
    record.uChanged = LVIF_STATE;
    Notify(hwnd, LVN_ITEMCHANGED, &record.hdr);
    return !lv->destroyed;
}

// Sets a state on one item (or all, for -1), keeping one focused item and, in a single-selection list,
// one selected item.
bool SetItemState(HWND hwnd, const Ptr& lv, int index, UINT state, UINT mask) {
    if (index == -1) {
        for (int i = 0; i < Count(*lv) && !lv->destroyed; ++i)
            ChangeState(hwnd, lv, i, state, mask & ~LVIS_FOCUSED);
        return !lv->destroyed;
    }
    if (!Valid(*lv, index))
        return false;
    if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED))
        for (int i = 0; i < Count(*lv) && !lv->destroyed; ++i)
            if (i != index && (lv->items[static_cast<size_t>(i)].state & LVIS_FOCUSED))
                ChangeState(hwnd, lv, i, 0, LVIS_FOCUSED);
    if ((mask & LVIS_SELECTED) && (state & LVIS_SELECTED) && (Style(hwnd) & LVS_SINGLESEL))
        for (int i = 0; i < Count(*lv) && !lv->destroyed; ++i)
            if (i != index && (lv->items[static_cast<size_t>(i)].state & LVIS_SELECTED))
                ChangeState(hwnd, lv, i, 0, LVIS_SELECTED);
    if (lv->destroyed)
        return false;
    return ChangeState(hwnd, lv, index, state, mask);
}

void EnsureVisible(HWND hwnd, ListView& lv, int index) {
    UpdateScroll(hwnd, lv);
    if (!Valid(lv, index))
        return;
    int before = lv.scroll.position;
    if (index < lv.scroll.position)
        lv.scroll.position = index;
    else if (lv.scroll.page > 0 && index >= lv.scroll.position + lv.scroll.page)
        lv.scroll.position = index - lv.scroll.page + 1;
    lv.scroll.Clamp();
    if (lv.scroll.position != before)
        InvalidateRows(hwnd, lv);
}

int HitTest(HWND hwnd, const ListView& lv, LVHITTESTINFO& info) {
    info.flags = 0;
    info.iItem = -1;
    info.iSubItem = 0;
    RECT area = ItemsArea(hwnd, lv);
    if (info.pt.y < area.top) {
        info.flags = LVHT_ABOVE;
        return -1;
    }
    if (info.pt.y >= area.bottom) {
        info.flags = LVHT_BELOW;
        return -1;
    }
    if (info.pt.x >= area.right) {
        info.flags = LVHT_TORIGHT;
        return -1;
    }
    int index = lv.scroll.position + (info.pt.y - area.top) / RowHeight(lv);
    for (int column = 0; column < ColumnCount(lv); ++column) {
        int left = 0;
        int right = 0;
        if (ColumnEdges(lv, column, left, right) && info.pt.x >= left && info.pt.x < right)
            info.iSubItem = lv.columns[static_cast<size_t>(column)].subItem;
    }
    if (!Valid(lv, index)) {
        info.flags = LVHT_NOWHERE;
        return -1;
    }
    RECT icon = PartRect(hwnd, lv, index, LVIR_ICON);
    RECT label = PartRect(hwnd, lv, index, LVIR_LABEL);
    RECT row = PartRect(hwnd, lv, index, LVIR_BOUNDS);
    if (PtInRect(&icon, info.pt))
        info.flags = LVHT_ONITEMICON;
    else if (PtInRect(&label, info.pt) || ((lv.exStyle & LVS_EX_FULLROWSELECT) && PtInRect(&row, info.pt)))
        info.flags = LVHT_ONITEMLABEL;
    else
        info.flags = LVHT_NOWHERE;
    if (!(info.flags & LVHT_ONITEM))
        return -1;
    info.iItem = index;
    return index;
}

int NextItem(const ListView& lv, int start, UINT flags) {
    auto matches = [&](int i) {
        UINT state = lv.items[static_cast<size_t>(i)].state;
        if ((flags & LVNI_SELECTED) && !(state & LVIS_SELECTED))
            return false;
        if ((flags & LVNI_FOCUSED) && !(state & LVIS_FOCUSED))
            return false;
        return true;
    };
    if (flags & LVNI_ABOVE) {
        for (int i = std::min(start, Count(lv)) - 1; i >= 0; --i)
            if (matches(i))
                return i;
        return -1;
    }
    for (int i = std::max(start + 1, 0); i < Count(lv); ++i)
        if (matches(i))
            return i;
    return -1;
}

void LayoutHeader(HWND hwnd, ListView& lv) {
    if (!lv.header)
        return;
    RECT client;
    GetClientRect(hwnd, &client);
    WINDOWPOS position{};
    HDLAYOUT layout{&client, &position};
    if (!SendMessageW(lv.header, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(&layout)))
        return;
    SetWindowPos(lv.header, nullptr, position.x, position.y, position.cx, position.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(lv.header, (Style(hwnd) & LVS_NOCOLUMNHEADER) ? SW_HIDE : SW_SHOWNA);
    UpdateScroll(hwnd, lv);
}

// ---- Sorting.

// A merge sort of the item order that stays inside its arrays whatever the callback answers.
void SortOrder(std::vector<size_t>& order, const ListView& lv, PFNLVCOMPARE compare, LPARAM sortParam) {
    std::vector<size_t> buffer(order.size());
    for (size_t width = 1; width < order.size(); width *= 2) {
        for (size_t low = 0; low < order.size(); low += 2 * width) {
            size_t middle = std::min(low + width, order.size());
            size_t high = std::min(low + 2 * width, order.size());
            size_t a = low;
            size_t b = middle;
            size_t out = low;
            while (a < middle && b < high) {
                int result = compare(lv.items[order[b]].lParam, lv.items[order[a]].lParam, sortParam);
                if (result < 0)
                    buffer[out++] = order[b++];
                else
                    buffer[out++] = order[a++];
            }
            while (a < middle)
                buffer[out++] = order[a++];
            while (b < high)
                buffer[out++] = order[b++];
        }
        order.swap(buffer);
    }
}

bool Sort(HWND hwnd, const Ptr& lv, PFNLVCOMPARE compare, LPARAM sortParam) {
    if (!compare || lv->sorting)
        return false;
    std::vector<size_t> order(lv->items.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // The items stay where they are while the callback runs, so it may read them by index; insertions
    // and deletions are refused meanwhile.
    lv->sorting = true;
    SortOrder(order, *lv, compare, sortParam);
    lv->sorting = false;
    if (lv->destroyed)
        return false;
    std::vector<Item> sorted;
    sorted.reserve(order.size());
    int mark = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        if (static_cast<int>(order[i]) == lv->selectionMark)
            mark = static_cast<int>(i);
        sorted.push_back(std::move(lv->items[order[i]]));
    }
    lv->items = std::move(sorted);
    lv->selectionMark = mark;
    InvalidateRows(hwnd, *lv);
    return true;
}

// ---- Painting.

struct ItemColors {
    COLORREF text;
    COLORREF background; // CLR_NONE: nothing is filled
};

void Paint(HWND hwnd, const Ptr& lv) {
    user::ScopedPaint paint(hwnd);
    if (!paint)
        return;
    HDC dc = paint.Dc();
    UpdateScroll(hwnd, *lv);
    RECT client;
    GetClientRect(hwnd, &client);
    RECT rows = RowsArea(hwnd, *lv);
    RECT items = ItemsArea(hwnd, *lv);
    COLORREF background = Resolve(lv->background, COLOR_WINDOW);
    SelectedObject font(dc, FontOrSystem(lv->font));

    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdc = dc;
    draw.nmcd.rc = client;
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    LRESULT whole = Notify(hwnd, NM_CUSTOMDRAW, &draw.nmcd.hdr);
    if (lv->destroyed)
        return;
    if (whole & CDRF_SKIPDEFAULT)
        return;
    FillSolid(dc, rows, background);
    bool showSelection = lv->focused || (Style(hwnd) & LVS_SHOWSELALWAYS);
    int height = RowHeight(*lv);
    int last = std::min(Count(*lv), lv->scroll.position + (items.bottom - items.top + height - 1) / height);
    for (int index = lv->scroll.position; index < last && !lv->destroyed; ++index) {
        if (!Valid(*lv, index))
            break;
        const Item item = lv->items[static_cast<size_t>(index)];
        bool selected = (item.state & LVIS_SELECTED) && showSelection;
        ItemColors colors{Resolve(lv->textColor, COLOR_WINDOWTEXT),
                          lv->textBackground == CLR_DEFAULT ? CLR_NONE : lv->textBackground};
        if (selected)
            colors = lv->focused ? ItemColors{GetSysColor(COLOR_HIGHLIGHTTEXT), GetSysColor(COLOR_HIGHLIGHT)}
                                 : ItemColors{GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_BTNFACE)};
        RECT row = RowRect(hwnd, *lv, index);
        LRESULT itemAnswer = CDRF_DODEFAULT;
        if (whole & CDRF_NOTIFYITEMDRAW) {
            draw = NMLVCUSTOMDRAW{};
            draw.nmcd.hdc = dc;
            draw.nmcd.rc = row;
            draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
            draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(index);
            draw.nmcd.uItemState = ((item.state & LVIS_SELECTED) ? CDIS_SELECTED : 0) |
                                   ((item.state & LVIS_FOCUSED) && lv->focused ? CDIS_FOCUS : 0);
            draw.nmcd.lItemlParam = item.lParam;
            draw.clrText = colors.text;
            draw.clrTextBk = colors.background;
            itemAnswer = Notify(hwnd, NM_CUSTOMDRAW, &draw.nmcd.hdr);
            if (lv->destroyed)
                return;
            if (itemAnswer & CDRF_SKIPDEFAULT)
                continue;
            colors = ItemColors{draw.clrText, draw.clrTextBk};
        }
        bool fullRow = (lv->exStyle & LVS_EX_FULLROWSELECT) != 0;
        if (selected && fullRow && colors.background != CLR_NONE) {
            RECT fill = row;
            fill.right = std::min(fill.right, items.right);
            FillSolid(dc, fill, colors.background);
        }
        for (int column = 0; column < ColumnCount(*lv); ++column) {
            int left = 0;
            int right = 0;
            if (!ColumnEdges(*lv, column, left, right))
                break;
            Column info = lv->columns[static_cast<size_t>(column)];
            ItemColors cell = colors;
            if (itemAnswer & CDRF_NOTIFYSUBITEMDRAW) {
                draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
                draw.nmcd.rc = RECT{left, row.top, right, row.bottom};
                draw.iSubItem = info.subItem;
                draw.clrText = colors.text;
                draw.clrTextBk = colors.background;
                LRESULT answer = Notify(hwnd, NM_CUSTOMDRAW, &draw.nmcd.hdr);
                if (lv->destroyed)
                    return;
                if (answer & CDRF_SKIPDEFAULT)
                    continue;
                cell = ItemColors{draw.clrText, draw.clrTextBk};
            }
            RECT text{left, row.top, std::min(right, items.right), row.bottom};
            if (column == 0) {
                RECT label = PartRect(hwnd, *lv, index, LVIR_LABEL);
                text.left = label.left;
                if (lv->smallImages && item.image >= 0)
                    ImageList_Draw(lv->smallImages, item.image, dc, left + 1,
                                   row.top + (row.bottom - row.top - (IconWidth(*lv) - 2)) / 2, ILD_NORMAL);
            }
            bool fillCell = cell.background != CLR_NONE &&
                            ((!fullRow && column == 0 && selected) || cell.background != colors.background ||
                             (!selected && cell.background != background));
            if (fillCell)
                FillSolid(dc, text, cell.background);
            text.left += 2;
            text.right -= 2;
            DrawCellText(dc, TextOf(item, info.subItem), text, static_cast<UINT>(info.format), cell.text);
        }
        if (lv->focused && (item.state & LVIS_FOCUSED)) {
            RECT focus = PartRect(hwnd, *lv, index, LVIR_SELECTBOUNDS);
            focus.right = std::min(focus.right, items.right);
            DrawFocusRect(dc, &focus);
        }
        if (itemAnswer & CDRF_NOTIFYPOSTPAINT) {
            draw.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
            draw.nmcd.rc = row;
            draw.iSubItem = 0;
            Notify(hwnd, NM_CUSTOMDRAW, &draw.nmcd.hdr);
            if (lv->destroyed)
                return;
        }
    }
    lv->scroll.Draw(dc, rows);
    if (whole & CDRF_NOTIFYPOSTPAINT) {
        draw = NMLVCUSTOMDRAW{};
        draw.nmcd.hdc = dc;
        draw.nmcd.rc = client;
        draw.nmcd.dwDrawStage = CDDS_POSTPAINT;
        Notify(hwnd, NM_CUSTOMDRAW, &draw.nmcd.hdr);
        if (lv->destroyed)
            return;
    }
}

// ---- Input.

NMITEMACTIVATE ActivateRecord(const ListView& lv, int index, int subItem, POINT point) {
    NMITEMACTIVATE record{};
    record.iItem = index;
    record.iSubItem = subItem;
    record.ptAction = point;
    if (Valid(lv, index)) {
        record.uNewState = lv.items[static_cast<size_t>(index)].state;
        record.uOldState = record.uNewState;
        record.lParam = lv.items[static_cast<size_t>(index)].lParam;
    }
    return record;
}

bool SendActivate(HWND hwnd, const Ptr& lv, UINT code, int index, int subItem, POINT point) {
    NMITEMACTIVATE record = ActivateRecord(*lv, index, subItem, point);
    Notify(hwnd, code, &record.hdr);
    return !lv->destroyed;
}

// Makes index the one selected and focused item and the selection mark; -1 clears the selection.
bool SelectOnly(HWND hwnd, const Ptr& lv, int index) {
    for (int i = 0; i < Count(*lv) && !lv->destroyed; ++i)
        if (i != index && (lv->items[static_cast<size_t>(i)].state & LVIS_SELECTED))
            ChangeState(hwnd, lv, i, 0, LVIS_SELECTED);
    if (lv->destroyed)
        return false;
    if (!Valid(*lv, index))
        return true;
    lv->selectionMark = index;
    SetItemState(hwnd, lv, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    if (lv->destroyed)
        return false;
    EnsureVisible(hwnd, *lv, index);
    return true;
}

int FocusedItem(const ListView& lv) {
    return NextItem(lv, -1, LVNI_FOCUSED);
}

void KeyDown(HWND hwnd, const Ptr& lv, WPARAM key, LPARAM flags) {
    NMLVKEYDOWN record{};
    record.wVKey = static_cast<WORD>(key);
    record.flags = static_cast<UINT>(HIWORD(flags));
    Notify(hwnd, LVN_KEYDOWN, &record.hdr);
    if (lv->destroyed)
        return;
    int count = Count(*lv);
    int focus = FocusedItem(*lv);
    int target = -1;
    switch (key) {
    case VK_UP:
        target = focus < 0 ? 0 : std::max(0, focus - 1);
        break;
    case VK_DOWN:
        target = focus < 0 ? 0 : std::min(count - 1, focus + 1);
        break;
    case VK_HOME:
        target = 0;
        break;
    case VK_END:
        target = count - 1;
        break;
    case VK_PRIOR:
        target = focus < 0 ? 0 : std::max(0, focus - std::max(1, lv->scroll.page - 1));
        break;
    case VK_NEXT:
        target = focus < 0 ? 0 : std::min(count - 1, focus + std::max(1, lv->scroll.page - 1));
        break;
    case VK_SPACE:
        if (Valid(*lv, focus))
            SetItemState(hwnd, lv, focus, LVIS_SELECTED, LVIS_SELECTED);
        return;
    case VK_RETURN: {
        NotifyCode(hwnd, NM_RETURN);
        if (lv->destroyed)
            return;
        focus = FocusedItem(*lv);
        if (Valid(*lv, focus))
            SendActivate(hwnd, lv, LVN_ITEMACTIVATE, focus, 0, POINT{0, 0});
        return;
    }
    default:
        return;
    }
    if (count > 0 && Valid(*lv, target))
        SelectOnly(hwnd, lv, target);
}

void ButtonDown(HWND hwnd, const Ptr& lv, LPARAM lParam, Tap tap) {
    POINT point = PointFromLParam(lParam);
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
    if (lv->destroyed)
        return;
    RECT rows = RowsArea(hwnd, *lv);
    if (lv->scroll.Tap(rows, point)) {
        InvalidateRows(hwnd, *lv);
        return;
    }
    LVHITTESTINFO hit{};
    hit.pt = point;
    int index = HitTest(hwnd, *lv, hit);
    if (!SelectOnly(hwnd, lv, index))
        return;
    if (tap == Tap::Double) {
        if (!SendActivate(hwnd, lv, NM_DBLCLK, index, hit.iSubItem, point))
            return;
        if (Valid(*lv, index))
            SendActivate(hwnd, lv, LVN_ITEMACTIVATE, index, hit.iSubItem, point);
        return;
    }
    lv->pressed = true;
    lv->held = false;
    lv->pressPoint = point;
    lv->pressItem = index;
    lv->pressSubItem = hit.iSubItem;
    SetCapture(hwnd);
    SetTimer(hwnd, kHoldTimer, kHoldTime, nullptr);
}

void EndPress(HWND hwnd, ListView& lv) {
    lv.pressed = false;
    KillTimer(hwnd, kHoldTimer);
    if (GetCapture() == hwnd)
        ReleaseCapture();
}

void ButtonUp(HWND hwnd, const Ptr& lv) {
    if (!lv->pressed)
        return;
    bool held = lv->held;
    EndPress(hwnd, *lv);
    if (held)
        return;
    int index = lv->pressItem;
    if (!SendActivate(hwnd, lv, NM_CLICK, index, lv->pressSubItem, lv->pressPoint))
        return;
    if ((lv->exStyle & LVS_EX_ONECLICKACTIVATE) && Valid(*lv, index))
        SendActivate(hwnd, lv, LVN_ITEMACTIVATE, index, lv->pressSubItem, lv->pressPoint);
}

void Hold(HWND hwnd, const Ptr& lv) {
    KillTimer(hwnd, kHoldTimer);
    if (!lv->pressed || lv->held)
        return;
    lv->held = true;
    SendActivate(hwnd, lv, NM_RCLICK, lv->pressItem, lv->pressSubItem, lv->pressPoint);
}

// ---- Items and columns.

int InsertItem(HWND hwnd, const Ptr& lv, const LVITEMW* record) {
    if (!record || lv->sorting || record->iSubItem != 0)
        return -1;
    int index = std::clamp(record->iItem, 0, Count(*lv));
    Item item;
    if (record->mask & LVIF_TEXT)
        SetTextOf(item, 0, record->pszText);
    if (record->mask & LVIF_IMAGE)
        item.image = record->iImage;
    if (record->mask & LVIF_PARAM)
        item.lParam = record->lParam;
    if (record->mask & LVIF_STATE)
        item.state = record->state & record->stateMask;
    if (record->mask & LVIF_INDENT)
        item.indent = record->iIndent;
    lv->items.insert(lv->items.begin() + index, std::move(item));
    if (lv->selectionMark >= index)
        ++lv->selectionMark;
    UpdateScroll(hwnd, *lv);
    InvalidateRows(hwnd, *lv);
    NMLISTVIEW inserted = ChangeRecord(*lv, index);
    Notify(hwnd, LVN_INSERTITEM, &inserted.hdr);
    return index;
}

bool DeleteItem(HWND hwnd, const Ptr& lv, int index) {
    if (lv->sorting || !Valid(*lv, index))
        return false;
    NMLISTVIEW record = ChangeRecord(*lv, index);
    Notify(hwnd, LVN_DELETEITEM, &record.hdr);
    if (lv->destroyed || lv->sorting || !Valid(*lv, index))
        return false;
    lv->items.erase(lv->items.begin() + index);
    if (lv->selectionMark == index)
        lv->selectionMark = -1;
    else if (lv->selectionMark > index)
        --lv->selectionMark;
    UpdateScroll(hwnd, *lv);
    InvalidateRows(hwnd, *lv);
    return true;
}

bool DeleteAll(HWND hwnd, const Ptr& lv) {
    if (lv->sorting)
        return false;
    NMLISTVIEW record = ChangeRecord(*lv, -1);
    bool quiet = Notify(hwnd, LVN_DELETEALLITEMS, &record.hdr) != 0;
    while (!lv->destroyed && !lv->items.empty()) {
        if (quiet) {
            lv->items.clear();
            break;
        }
        if (!DeleteItem(hwnd, lv, 0))
            return false;
    }
    if (lv->destroyed)
        return false;
    lv->selectionMark = -1;
    lv->scroll.position = 0;
    UpdateScroll(hwnd, *lv);
    InvalidateRows(hwnd, *lv);
    return true;
}

bool GetItem(const ListView& lv, LVITEMW* record) {
    if (!record || !Valid(lv, record->iItem))
        return false;
    const Item& item = lv.items[static_cast<size_t>(record->iItem)];
    if (record->mask & LVIF_TEXT)
        CopyText(TextOf(item, record->iSubItem), record->pszText, record->cchTextMax);
    if (record->mask & LVIF_IMAGE)
        record->iImage = item.image;
    if (record->mask & LVIF_PARAM)
        record->lParam = item.lParam;
    if (record->mask & LVIF_STATE)
        record->state = item.state & record->stateMask;
    if (record->mask & LVIF_INDENT)
        record->iIndent = item.indent;
    return true;
}

bool SetItem(HWND hwnd, const Ptr& lv, const LVITEMW* record) {
    if (!record || !Valid(*lv, record->iItem) || record->iSubItem < 0)
        return false;
    int index = record->iItem;
    Item& item = lv->items[static_cast<size_t>(index)];
    if (record->mask & LVIF_TEXT)
        SetTextOf(item, record->iSubItem, record->pszText);
    if (record->iSubItem == 0) {
        if (record->mask & LVIF_IMAGE)
            item.image = record->iImage;
        if (record->mask & LVIF_PARAM)
            item.lParam = record->lParam;
        if (record->mask & LVIF_INDENT)
            item.indent = record->iIndent;
    }
    InvalidateItem(hwnd, *lv, index);
    if ((record->mask & LVIF_STATE) && record->iSubItem == 0)
        return SetItemState(hwnd, lv, index, record->state, record->stateMask);
    return true;
}

int InsertColumn(HWND hwnd, const Ptr& lv, int index, const LVCOLUMNW* record) {
    if (!record || !lv->header)
        return -1;
    index = std::clamp(index, 0, ColumnCount(*lv));
    HDITEMW headerItem{};
    headerItem.mask = HDI_FORMAT;
    headerItem.fmt = HDF_STRING | ((record->mask & LVCF_FMT) ? (record->fmt & LVCFMT_JUSTIFYMASK) : 0);
    if (record->mask & LVCF_WIDTH) {
        headerItem.mask |= HDI_WIDTH;
        headerItem.cxy = record->cx;
    }
    if ((record->mask & LVCF_TEXT) && record->pszText && record->pszText != LPSTR_TEXTCALLBACKW) {
        headerItem.mask |= HDI_TEXT;
        headerItem.pszText = record->pszText;
    }
    LRESULT at = SendMessageW(lv->header, HDM_INSERTITEMW, static_cast<WPARAM>(index),
                              reinterpret_cast<LPARAM>(&headerItem));
    if (at < 0 || lv->destroyed)
        return -1;
    Column column;
    column.format = (record->mask & LVCF_FMT) ? (record->fmt & LVCFMT_JUSTIFYMASK) : LVCFMT_LEFT;
    column.subItem = (record->mask & LVCF_SUBITEM) ? std::max(0, record->iSubItem) : index;
    column.image = (record->mask & LVCF_IMAGE) ? record->iImage : -1;
    lv->columns.insert(lv->columns.begin() + static_cast<int>(at), column);
    InvalidateRows(hwnd, *lv);
    return static_cast<int>(at);
}

bool GetColumn(const ListView& lv, int index, LVCOLUMNW* record) {
    if (!record || index < 0 || index >= ColumnCount(lv))
        return false;
    HDITEMW headerItem{};
    headerItem.mask = HDI_WIDTH | ((record->mask & LVCF_TEXT) ? HDI_TEXT : 0);
    headerItem.pszText = record->pszText;
    headerItem.cchTextMax = record->cchTextMax;
    SendMessageW(lv.header, HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&headerItem));
    const Column& column = lv.columns[static_cast<size_t>(index)];
    if (record->mask & LVCF_FMT)
        record->fmt = column.format;
    if (record->mask & LVCF_WIDTH)
        record->cx = headerItem.cxy;
    if (record->mask & LVCF_SUBITEM)
        record->iSubItem = column.subItem;
    if (record->mask & LVCF_IMAGE)
        record->iImage = column.image;
    return true;
}

bool SetColumn(HWND hwnd, const Ptr& lv, int index, const LVCOLUMNW* record) {
    if (!record || index < 0 || index >= ColumnCount(*lv))
        return false;
    Column& column = lv->columns[static_cast<size_t>(index)];
    HDITEMW headerItem{};
    if (record->mask & LVCF_FMT) {
        column.format = record->fmt & LVCFMT_JUSTIFYMASK;
        headerItem.mask |= HDI_FORMAT;
        headerItem.fmt = HDF_STRING | column.format;
    }
    if (record->mask & LVCF_WIDTH) {
        headerItem.mask |= HDI_WIDTH;
        headerItem.cxy = record->cx;
    }
    if ((record->mask & LVCF_TEXT) && record->pszText != LPSTR_TEXTCALLBACKW) {
        headerItem.mask |= HDI_TEXT;
        headerItem.pszText = record->pszText;
    }
    if (record->mask & LVCF_SUBITEM)
        column.subItem = std::max(0, record->iSubItem);
    if (record->mask & LVCF_IMAGE)
        column.image = record->iImage;
    if (headerItem.mask)
        SendMessageW(lv->header, HDM_SETITEMW, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&headerItem));
    InvalidateRows(hwnd, *lv);
    return true;
}

int TextWidth(HWND hwnd, const ListView& lv, std::u16string_view text) {
    HDC dc = GetDC(hwnd);
    if (!dc)
        return 0;
    SIZE size{};
    {
        SelectedObject font(dc, FontOrSystem(lv.font));
        GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    }
    ReleaseDC(hwnd, dc);
    return size.cx;
}

bool SetColumnWidth(HWND hwnd, const Ptr& lv, int index, int width) {
    if (index < 0 || index >= ColumnCount(*lv))
        return false;
    if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER) {
        int subItem = lv->columns[static_cast<size_t>(index)].subItem;
        int widest = 0;
        for (const Item& item : lv->items)
            widest = std::max(widest, TextWidth(hwnd, *lv, TextOf(item, subItem)));
        if (width == LVSCW_AUTOSIZE_USEHEADER) {
            WCHAR text[260] = {};
            HDITEMW headerItem{};
            headerItem.mask = HDI_TEXT;
            headerItem.pszText = text;
            headerItem.cchTextMax = 260;
            SendMessageW(lv->header, HDM_GETITEMW, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(&headerItem));
            widest = std::max(widest, TextWidth(hwnd, *lv, text) + 8);
        }
        width = widest + 4 + (index == 0 ? IconWidth(*lv) : 0);
    }
    HDITEMW headerItem{};
    headerItem.mask = HDI_WIDTH;
    headerItem.cxy = std::max(0, width);
    SendMessageW(lv->header, HDM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&headerItem));
    InvalidateRows(hwnd, *lv);
    return true;
}

int FindItem(const ListView& lv, int start, const LVFINDINFOW* find) {
    if (!find)
        return -1;
    int count = Count(lv);
    int first = std::max(start + 1, 0);
    for (int step = 0; step < count; ++step) {
        int i = first + step;
        if (i >= count) {
            if (!(find->flags & LVFI_WRAP))
                return -1;
            i -= count;
        }
        const Item& item = lv.items[static_cast<size_t>(i)];
        if (find->flags & LVFI_PARAM) {
            if (item.lParam == find->lParam)
                return i;
            continue;
        }
        if ((find->flags & (LVFI_STRING | LVFI_PARTIAL)) && find->psz) {
            std::u16string_view wanted(find->psz);
            std::u16string_view text(item.text);
            if (find->flags & LVFI_PARTIAL)
                text = text.substr(0, std::min(text.size(), wanted.size()));
            if (text.size() == wanted.size() && _wcsnicmp(text.data(), wanted.data(), wanted.size()) == 0)
                return i;
        }
    }
    return -1;
}

bool ItemRectOf(HWND hwnd, const ListView& lv, int index, RECT* rect) {
    if (!rect || !Valid(lv, index))
        return false;
    *rect = PartRect(hwnd, lv, index, rect->left);
    return true;
}

bool SubItemRectOf(HWND hwnd, const ListView& lv, int index, RECT* rect) {
    if (!rect || !Valid(lv, index))
        return false;
    int subItem = rect->top;
    int code = rect->left;
    if (subItem == 0) {
        *rect = PartRect(hwnd, lv, index, code);
        return true;
    }
    for (int column = 0; column < ColumnCount(lv); ++column) {
        if (lv.columns[static_cast<size_t>(column)].subItem != subItem)
            continue;
        int left = 0;
        int right = 0;
        if (!ColumnEdges(lv, column, left, right))
            return false;
        RECT row = RowRect(hwnd, lv, index);
        *rect = RECT{left, row.top, right, row.bottom};
        return true;
    }
    return false;
}

HIMAGELIST& ImageSlot(ListView& lv, WPARAM type) {
    if (type == LVSIL_SMALL)
        return lv.smallImages;
    if (type == LVSIL_STATE)
        return lv.stateImages;
    return lv.normalImages;
}

// ---- Window messages.

void OnCreate(HWND hwnd, ListView& lv) {
    lv.header = CreateWindowExW(0, WC_HEADERW, u"", WS_CHILD | HDS_BUTTONS, 0, 0, 0, 0, hwnd, nullptr,
                                nullptr, nullptr);
    LayoutHeader(hwnd, lv);
}

void OnNcDestroy(HWND hwnd, const ListView& lv) {
    if (!(Style(hwnd) & LVS_SHAREIMAGELISTS)) {
        for (HIMAGELIST list : {lv.smallImages, lv.normalImages, lv.stateImages})
            if (list)
                ImageList_Destroy(list);
    }
    DetachState<ListView>(hwnd);
}

void OnSetFont(HWND hwnd, ListView& lv, WPARAM font, LPARAM redraw) {
    lv.font = reinterpret_cast<HFONT>(font);
    if (lv.header)
        SendMessageW(lv.header, WM_SETFONT, font, redraw);
    LayoutHeader(hwnd, lv);
    if (LOWORD(redraw))
        InvalidateRect(hwnd, nullptr, FALSE);
}

void OnSetRedraw(HWND hwnd, WPARAM redraw, LPARAM lParam) {
    DefWindowProcW(hwnd, WM_SETREDRAW, redraw, lParam);
    if (redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
}

void OnSetFocus(HWND hwnd, ListView& lv) {
    lv.focused = true;
    InvalidateRows(hwnd, lv);
    NotifyCode(hwnd, NM_SETFOCUS);
}

void OnKillFocus(HWND hwnd, ListView& lv) {
    lv.focused = false;
    InvalidateRows(hwnd, lv);
    NotifyCode(hwnd, NM_KILLFOCUS);
}

// A stylus that moves away from its press is no hold.
void OnMouseMove(HWND hwnd, const ListView& lv, LPARAM lParam) {
    if (!lv.pressed || lv.held)
        return;
    POINT point = PointFromLParam(lParam);
    if (std::abs(point.x - lv.pressPoint.x) > 4 || std::abs(point.y - lv.pressPoint.y) > 4)
        KillTimer(hwnd, kHoldTimer);
}

void OnCaptureChanged(HWND hwnd, ListView& lv, HWND capture) {
    if (!lv.pressed || capture == hwnd)
        return;
    lv.pressed = false;
    KillTimer(hwnd, kHoldTimer);
}

LRESULT OnTimer(HWND hwnd, const Ptr& lv, WPARAM timer, LPARAM lParam) {
    if (timer != kHoldTimer)
        return DefWindowProcW(hwnd, WM_TIMER, timer, lParam);
    Hold(hwnd, lv);
    return 0;
}

// ---- List view messages.

int GetItemText(const ListView& lv, int index, LVITEMW* record) {
    if (!record || !Valid(lv, index))
        return 0;
    return CopyText(TextOf(lv.items[static_cast<size_t>(index)], record->iSubItem), record->pszText,
                    record->cchTextMax);
}

bool SetItemText(HWND hwnd, ListView& lv, int index, const LVITEMW* record) {
    if (!record || !Valid(lv, index) || record->iSubItem < 0)
        return false;
    SetTextOf(lv.items[static_cast<size_t>(index)], record->iSubItem, record->pszText);
    InvalidateItem(hwnd, lv, index);
    return true;
}

bool SetItemStateOf(HWND hwnd, const Ptr& lv, int index, const LVITEMW* record) {
    return record && SetItemState(hwnd, lv, index, record->state, record->stateMask);
}

UINT GetItemState(const ListView& lv, int index, UINT mask) {
    return Valid(lv, index) ? lv.items[static_cast<size_t>(index)].state & mask : 0;
}

LRESULT SelectedCount(const ListView& lv) {
    return std::count_if(lv.items.begin(), lv.items.end(),
                         [](const Item& item) { return (item.state & LVIS_SELECTED) != 0; });
}

int HitTestOf(HWND hwnd, const ListView& lv, LVHITTESTINFO* info) {
    return info ? HitTest(hwnd, lv, *info) : -1;
}

bool EnsureItemVisible(HWND hwnd, ListView& lv, int index) {
    if (!Valid(lv, index))
        return false;
    EnsureVisible(hwnd, lv, index);
    return true;
}

// Scrolls by whole rows; dy is in pixels.
bool Scroll(HWND hwnd, ListView& lv, int dy) {
    UpdateScroll(hwnd, lv);
    lv.scroll.position += dy / RowHeight(lv);
    lv.scroll.Clamp();
    InvalidateRows(hwnd, lv);
    return true;
}

int TopIndex(HWND hwnd, ListView& lv) {
    UpdateScroll(hwnd, lv);
    return lv.scroll.position;
}

int CountPerPage(HWND hwnd, ListView& lv) {
    UpdateScroll(hwnd, lv);
    return lv.scroll.page;
}

bool RedrawItems(HWND hwnd, const ListView& lv, int first, int last) {
    for (int i = std::max(0, first); i <= last && i < Count(lv); ++i)
        InvalidateItem(hwnd, lv, i);
    return true;
}

bool UpdateItem(HWND hwnd, const ListView& lv, int index) {
    if (!Valid(lv, index))
        return false;
    InvalidateItem(hwnd, lv, index);
    return true;
}

bool DeleteColumn(HWND hwnd, ListView& lv, int index) {
    if (index < 0 || index >= ColumnCount(lv))
        return false;
    SendMessageW(lv.header, HDM_DELETEITEM, static_cast<WPARAM>(index), 0);
    lv.columns.erase(lv.columns.begin() + index);
    InvalidateRows(hwnd, lv);
    return true;
}

int ColumnWidth(const ListView& lv, int index) {
    int left = 0;
    int right = 0;
    if (!ColumnEdges(lv, index, left, right))
        return 0;
    return right - left;
}

// The list that was in the slot.
HIMAGELIST SetImageList(HWND hwnd, ListView& lv, WPARAM type, HIMAGELIST list) {
    HIMAGELIST old = std::exchange(ImageSlot(lv, type), list);
    UpdateScroll(hwnd, lv);
    InvalidateRows(hwnd, lv);
    return old;
}

// The styles before; a mask of 0 changes them all.
DWORD SetExtendedStyle(HWND hwnd, ListView& lv, WPARAM mask, LPARAM style) {
    DWORD old = lv.exStyle;
    DWORD changed = mask ? static_cast<DWORD>(mask) : 0xFFFFFFFF;
    lv.exStyle = (old & ~changed) | (static_cast<DWORD>(style) & changed);
    InvalidateRows(hwnd, lv);
    return old;
}

// The mark before; one that names no item clears it.
int SetSelectionMark(ListView& lv, int mark) {
    return std::exchange(lv.selectionMark, Valid(lv, mark) ? mark : -1);
}

bool SetColor(HWND hwnd, const ListView& lv, COLORREF& slot, LPARAM color) {
    slot = static_cast<COLORREF>(color);
    InvalidateRows(hwnd, lv);
    return true;
}

COLORREF TextBackground(const ListView& lv) {
    return lv.textBackground == CLR_DEFAULT ? CLR_NONE : lv.textBackground;
}

LRESULT ListViewMessage(HWND hwnd, const Ptr& lv, UINT message, WPARAM wParam, LPARAM lParam) {
    const int index = static_cast<int>(wParam);
    switch (message) {
    case WM_CREATE:
        OnCreate(hwnd, *lv);
        return 0;
    case WM_DESTROY:
        DeleteAll(hwnd, lv);
        return 0;
    case WM_NCDESTROY:
        OnNcDestroy(hwnd, *lv);
        return 0;
    case WM_SIZE:
        LayoutHeader(hwnd, *lv);
        return 0;
    case WM_SETFONT:
        OnSetFont(hwnd, *lv, wParam, lParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(lv->font);
    case WM_SETREDRAW:
        OnSetRedraw(hwnd, wParam, lParam);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, lv);
        return 0;
    case WM_SETFOCUS:
        OnSetFocus(hwnd, *lv);
        return 0;
    case WM_KILLFOCUS:
        OnKillFocus(hwnd, *lv);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        KeyDown(hwnd, lv, wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN:
        ButtonDown(hwnd, lv, lParam, Tap::Single);
        return 0;
    case WM_LBUTTONDBLCLK:
        ButtonDown(hwnd, lv, lParam, Tap::Double);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(hwnd, *lv, lParam);
        return 0;
    case WM_LBUTTONUP:
        ButtonUp(hwnd, lv);
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged(hwnd, *lv, reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_TIMER:
        return OnTimer(hwnd, lv, wParam, lParam);
    case WM_DRAWITEM:
        // Owner-drawn header items go to the list view's parent.
        return SendMessageW(GetParent(hwnd), WM_DRAWITEM, wParam, lParam);
    case WM_NOTIFY:
        return 0;

    case LVM_GETITEMCOUNT:
        return Count(*lv);
    case LVM_INSERTITEMW:
        return InsertItem(hwnd, lv, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_DELETEITEM:
        return DeleteItem(hwnd, lv, index);
    case LVM_DELETEALLITEMS:
        return DeleteAll(hwnd, lv);
    case LVM_GETITEMW:
        return GetItem(*lv, reinterpret_cast<LVITEMW*>(lParam));
    case LVM_SETITEMW:
        return SetItem(hwnd, lv, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_GETITEMTEXTW:
        return GetItemText(*lv, index, reinterpret_cast<LVITEMW*>(lParam));
    case LVM_SETITEMTEXTW:
        return SetItemText(hwnd, *lv, index, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_SETITEMSTATE:
        return SetItemStateOf(hwnd, lv, index, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_GETITEMSTATE:
        return GetItemState(*lv, index, static_cast<UINT>(lParam));
    case LVM_GETNEXTITEM:
        return NextItem(*lv, index, static_cast<UINT>(LOWORD(lParam)));
    case LVM_GETSELECTEDCOUNT:
        return SelectedCount(*lv);
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST:
        return HitTestOf(hwnd, *lv, reinterpret_cast<LVHITTESTINFO*>(lParam));
    case LVM_GETITEMRECT:
        return ItemRectOf(hwnd, *lv, index, reinterpret_cast<RECT*>(lParam));
    case LVM_GETSUBITEMRECT:
        return SubItemRectOf(hwnd, *lv, index, reinterpret_cast<RECT*>(lParam));
    case LVM_ENSUREVISIBLE:
        return EnsureItemVisible(hwnd, *lv, index);
    case LVM_SCROLL:
        return Scroll(hwnd, *lv, static_cast<int>(lParam));
    case LVM_GETTOPINDEX:
        return TopIndex(hwnd, *lv);
    case LVM_GETCOUNTPERPAGE:
        return CountPerPage(hwnd, *lv);
    case LVM_REDRAWITEMS:
        return RedrawItems(hwnd, *lv, index, static_cast<int>(lParam));
    case LVM_UPDATE:
        return UpdateItem(hwnd, *lv, index);
    case LVM_INSERTCOLUMNW:
        return InsertColumn(hwnd, lv, index, reinterpret_cast<const LVCOLUMNW*>(lParam));
    case LVM_DELETECOLUMN:
        return DeleteColumn(hwnd, *lv, index);
    case LVM_GETCOLUMNW:
        return GetColumn(*lv, index, reinterpret_cast<LVCOLUMNW*>(lParam));
    case LVM_SETCOLUMNW:
        return SetColumn(hwnd, lv, index, reinterpret_cast<const LVCOLUMNW*>(lParam));
    case LVM_GETCOLUMNWIDTH:
        return ColumnWidth(*lv, index);
    case LVM_SETCOLUMNWIDTH:
        return SetColumnWidth(hwnd, lv, index, static_cast<SHORT>(LOWORD(lParam)));
    case LVM_GETHEADER:
        return reinterpret_cast<LRESULT>(lv->header);
    case LVM_SETIMAGELIST:
        return reinterpret_cast<LRESULT>(
            SetImageList(hwnd, *lv, wParam, reinterpret_cast<HIMAGELIST>(lParam)));
    case LVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(ImageSlot(*lv, wParam));
    case LVM_SETEXTENDEDLISTVIEWSTYLE:
        return SetExtendedStyle(hwnd, *lv, wParam, lParam);
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
        return lv->exStyle;
    case LVM_GETSELECTIONMARK:
        return lv->selectionMark;
    case LVM_SETSELECTIONMARK:
        return SetSelectionMark(*lv, static_cast<int>(lParam));
    case LVM_SORTITEMS:
        return Sort(hwnd, lv, reinterpret_cast<PFNLVCOMPARE>(lParam), static_cast<LPARAM>(wParam));
    case LVM_FINDITEMW:
        return FindItem(*lv, index, reinterpret_cast<const LVFINDINFOW*>(lParam));
    case LVM_GETBKCOLOR:
        return Resolve(lv->background, COLOR_WINDOW);
    case LVM_SETBKCOLOR:
        return SetColor(hwnd, *lv, lv->background, lParam);
    case LVM_GETTEXTCOLOR:
        return Resolve(lv->textColor, COLOR_WINDOWTEXT);
    case LVM_SETTEXTCOLOR:
        return SetColor(hwnd, *lv, lv->textColor, lParam);
    case LVM_GETTEXTBKCOLOR:
        return TextBackground(*lv);
    case LVM_SETTEXTBKCOLOR:
        return SetColor(hwnd, *lv, lv->textBackground, lParam);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

const user::SystemClass kListViewClass({CS_DBLCLKS, StateProc<ListView, ListViewMessage>, 0, sizeof(void*),
                                        nullptr, nullptr, nullptr, nullptr, nullptr, WC_LISTVIEWW});

} // namespace
} // namespace commctrl
