#include <algorithm>

#include "Internal.h"
#include "crt/WideString.h"
#include "kernel/Errors.h"

namespace commctrl {

bool IsOfClass(HWND hwnd, LPCWSTR className) {
    WCHAR name[64] = {};
    if (!hwnd || GetClassNameW(hwnd, name, 64) == 0)
        return false;
    return _wcsicmp(name, className) == 0;
}

LRESULT Notify(HWND control, UINT code, NMHDR* header) {
    header->hwndFrom = control;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    header->code = code;
    HWND parent = GetParent(control);
    if (!parent)
        return 0;
    return SendMessageW(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

LRESULT NotifyCode(HWND control, UINT code) {
    NMHDR header{};
    return Notify(control, code, &header);
}

void DrawCellText(HDC dc, std::u16string_view text, RECT cell, UINT justify, COLORREF color) {
    if (text.empty() || cell.right <= cell.left)
        return;
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    if ((justify & 3) == 1)
        format |= DT_RIGHT;
    else if ((justify & 3) == 2)
        format |= DT_CENTER;
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &cell, format);
}

int CopyText(std::u16string_view text, LPWSTR buffer, int capacity) {
    if (!buffer || capacity <= 0)
        return 0;
    size_t count = std::min(text.size(), static_cast<size_t>(capacity - 1));
    std::copy_n(text.data(), count, buffer);
    buffer[count] = 0;
    return static_cast<int>(count);
}

bool VerticalScroll::Clamp() {
    int clamped = std::clamp(position, 0, MaxPosition());
    bool changed = clamped != position;
    position = clamped;
    return changed;
}

RECT VerticalScroll::BarRect(const RECT& area) const {
    if (!Visible())
        return RECT{area.right, area.top, area.right, area.top};
    int width = GetSystemMetrics(SM_CXVSCROLL);
    return RECT{std::max(area.left, area.right - width), area.top, area.right, area.bottom};
}

namespace {

// The thumb's rectangle inside the bar.
RECT ThumbRect(const VerticalScroll& scroll, const RECT& bar) {
    int height = bar.bottom - bar.top;
    int thumb = std::max(6, height * scroll.page / std::max(1, scroll.lines));
    thumb = std::min(thumb, height);
    int room = height - thumb;
    int max = scroll.MaxPosition();
    int top = bar.top + (max > 0 ? room * scroll.position / max : 0);
    return RECT{bar.left + 1, top, bar.right - 1, top + thumb};
}

} // namespace

void VerticalScroll::Draw(HDC dc, const RECT& area) const {
    if (!Visible())
        return;
    RECT bar = BarRect(area);
    FillSolid(dc, bar, GetSysColor(COLOR_SCROLLBAR));
    RECT edge{bar.left, bar.top, bar.left + 1, bar.bottom};
    FillSolid(dc, edge, GetSysColor(COLOR_WINDOWFRAME));
    RECT thumb = ThumbRect(*this, bar);
    thumb.left += 1;
    FillSolid(dc, thumb, GetSysColor(COLOR_BTNSHADOW));
}

bool VerticalScroll::Tap(const RECT& area, POINT point) {
    if (!Visible())
        return false;
    RECT bar = BarRect(area);
    if (!PtInRect(&bar, point))
        return false;
    RECT thumb = ThumbRect(*this, bar);
    if (point.y < thumb.top)
        position -= std::max(1, page - 1);
    else if (point.y >= thumb.bottom)
        position += std::max(1, page - 1);
    Clamp();
    return true;
}

} // namespace commctrl

void InitCommonControls() {}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* lpInitCtrls) {
    if (!lpInitCtrls || lpInitCtrls->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
