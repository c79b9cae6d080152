// The header control: a row of column headings. The list view keeps its columns' texts and widths here,
// so a subclass that paints the header itself reads them back with HDM_GETITEM and HDM_GETITEMRECT.

#include <algorithm>
#include <vector>

#include "Internal.h"
#include "user/ScopedPaint.h"

namespace commctrl {
namespace {

struct HeaderItem {
    std::u16string text;
    int width = 0;
    int format = HDF_LEFT | HDF_STRING;
    LPARAM lParam = 0;
    int image = -1;
    HBITMAP bitmap = nullptr;
};

struct Header : ControlState {
    std::vector<HeaderItem> items;
    HFONT font = nullptr;
    HIMAGELIST images = nullptr;
};

int HeightOf(const Header& header) {
    return FontLineHeight(header.font) + 6;
}

bool ItemRect(HWND hwnd, const Header& header, int index, RECT& rect) {
    if (index < 0 || index >= static_cast<int>(header.items.size()))
        return false;
    RECT client;
    GetClientRect(hwnd, &client);
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += std::max(0, header.items[static_cast<size_t>(i)].width);
    rect = RECT{left, 0, left + std::max(0, header.items[static_cast<size_t>(index)].width), client.bottom};
    return true;
}

void ApplyItem(HeaderItem& item, const HDITEMW& record) {
    if (record.mask & HDI_TEXT)
        item.text = record.pszText ? std::u16string(record.pszText) : std::u16string();
    if (record.mask & HDI_WIDTH)
        item.width = record.cxy;
    if (record.mask & HDI_FORMAT)
        item.format = record.fmt;
    if (record.mask & HDI_LPARAM)
        item.lParam = record.lParam;
    if (record.mask & HDI_IMAGE)
        item.image = record.iImage;
    if (record.mask & HDI_BITMAP)
        item.bitmap = record.hbm;
}

void ReadItem(const HeaderItem& item, HDITEMW& record) {
    if (record.mask & HDI_TEXT)
        CopyText(item.text, record.pszText, record.cchTextMax);
    if (record.mask & HDI_WIDTH)
        record.cxy = item.width;
    if (record.mask & HDI_FORMAT)
        record.fmt = item.format;
    if (record.mask & HDI_LPARAM)
        record.lParam = item.lParam;
    if (record.mask & HDI_IMAGE)
        record.iImage = item.image;
    if (record.mask & HDI_BITMAP)
        record.hbm = item.bitmap;
}

void Paint(HWND hwnd, const std::shared_ptr<Header>& header) {
    user::ScopedPaint paint(hwnd, header->font);
    if (!paint)
        return;
    HDC dc = paint.Dc();
    FillSolid(dc, paint.Client(), GetSysColor(COLOR_BTNFACE));
    for (int i = 0; i < static_cast<int>(header->items.size()); ++i) {
        RECT rect;
        if (!ItemRect(hwnd, *header, i, rect))
            break;
        const HeaderItem item = header->items[static_cast<size_t>(i)];
        if (item.format & HDF_OWNERDRAW) {
            DRAWITEMSTRUCT draw{ODT_HEADER,
                                static_cast<UINT>(GetDlgCtrlID(hwnd)),
                                static_cast<UINT>(i),
                                ODA_DRAWENTIRE,
                                0,
                                hwnd,
                                dc,
                                rect,
                                static_cast<ULONG_PTR>(item.lParam)};
            SendMessageW(GetParent(hwnd), WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
            if (header->destroyed)
                break;
            continue;
        }
        RECT edge = rect;
        DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
        RECT text = rect;
        InflateRect(&text, -4, 0);
        DrawCellText(dc, item.text, text, static_cast<UINT>(item.format & HDF_JUSTIFYMASK),
                     GetSysColor(COLOR_BTNTEXT));
    }
}

LRESULT HeaderMessage(HWND hwnd, const std::shared_ptr<Header>& header, UINT message, WPARAM wParam,
                      LPARAM lParam) {
    int count = static_cast<int>(header->items.size());
    switch (message) {
    case WM_NCDESTROY:
        DetachState<Header>(hwnd);
        return 0;
    case WM_SETFONT:
        header->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(header->font);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, header);
        return 0;
    case HDM_GETITEMCOUNT:
        return count;
    case HDM_INSERTITEMW: {
        auto* record = reinterpret_cast<const HDITEMW*>(lParam);
        if (!record)
            return -1;
        int index = std::clamp(static_cast<int>(wParam), 0, count);
        HeaderItem item;
        ApplyItem(item, *record);
        header->items.insert(header->items.begin() + index, std::move(item));
        InvalidateRect(hwnd, nullptr, FALSE);
        return index;
    }
    case HDM_DELETEITEM: {
        int index = static_cast<int>(wParam);
        if (index < 0 || index >= count)
            return FALSE;
        header->items.erase(header->items.begin() + index);
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case HDM_GETITEMW: {
        auto* record = reinterpret_cast<HDITEMW*>(lParam);
        int index = static_cast<int>(wParam);
        if (!record || index < 0 || index >= count)
            return FALSE;
        ReadItem(header->items[static_cast<size_t>(index)], *record);
        return TRUE;
    }
    case HDM_SETITEMW: {
        auto* record = reinterpret_cast<const HDITEMW*>(lParam);
        int index = static_cast<int>(wParam);
        if (!record || index < 0 || index >= count)
            return FALSE;
        ApplyItem(header->items[static_cast<size_t>(index)], *record);
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case HDM_GETITEMRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        RECT found;
        if (!rect || !ItemRect(hwnd, *header, static_cast<int>(wParam), found))
            return FALSE;
        *rect = found;
        return TRUE;
    }
    case HDM_LAYOUT: {
        auto* layout = reinterpret_cast<HDLAYOUT*>(lParam);
        if (!layout || !layout->prc || !layout->pwpos)
            return FALSE;
        int height = (GetWindowLongW(hwnd, GWL_STYLE) & HDS_HIDDEN) ? 0 : HeightOf(*header);
        RECT& area = *layout->prc;
        *layout->pwpos = WINDOWPOS{hwnd, nullptr, area.left, area.top, area.right - area.left, height, 0};
        area.top += height;
        return TRUE;
    }
    case HDM_HITTEST: {
        auto* info = reinterpret_cast<HDHITTESTINFO*>(lParam);
        if (!info)
            return -1;
        info->flags = HHT_NOWHERE;
        info->iItem = -1;
        for (int i = 0; i < count; ++i) {
            RECT rect;
            if (ItemRect(hwnd, *header, i, rect) && PtInRect(&rect, info->pt)) {
                info->flags = HHT_ONHEADER;
                info->iItem = i;
                break;
            }
        }
        return info->iItem;
    }
    case HDM_SETIMAGELIST: {
        HIMAGELIST old = header->images;
        header->images = reinterpret_cast<HIMAGELIST>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case HDM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(header->images);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

const user::SystemClass kHeaderClass({CS_DBLCLKS, StateProc<Header, HeaderMessage>, 0, sizeof(void*), nullptr,
                                      nullptr, nullptr, nullptr, nullptr, WC_HEADERW});

} // namespace
} // namespace commctrl
