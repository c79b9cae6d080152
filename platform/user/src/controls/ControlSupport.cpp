#include "ControlSupport.h"

#include <algorithm>

#include "crt/WideString.h"
#include "user/Dialog.h"
#include "user/System.h"

namespace user::controls {

void NotifyParent(HWND hwnd, WORD code) {
    NotifyWindow(GetParent(hwnd), hwnd, code);
}

void NotifyWindow(HWND target, HWND from, WORD code) {
    if (!target)
        return;
    WORD id = static_cast<WORD>(GetWindowLongPtrW(from, GWLP_ID));
    SendMessageW(target, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(from));
}

HBRUSH RequestColors(HWND hwnd, HDC hdc, UINT message, HWND target) {
    HWND parent = target ? target : GetParent(hwnd);
    LRESULT answer = 0;
    if (parent)
        answer = SendMessageW(parent, message, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(hwnd));
    if (!answer)
        answer = DefWindowProcW(hwnd, message, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(hwnd));
    return reinterpret_cast<HBRUSH>(answer);
}

HFONT FontOrSystem(HFONT font) {
    return font ? font : reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

void FillColor(HDC hdc, const RECT& rect, COLORREF color) {
    SolidBrush brush(color);
    FillRect(hdc, &rect, brush.Get());
}

void DrawArrow(HDC hdc, const RECT& box, bool vertical, bool forward, COLORREF color) {
    int width = std::min(box.right - box.left, box.bottom - box.top);
    int half = std::max(1, (width - 4) / 3);
    int cx = (box.left + box.right) / 2;
    int cy = (box.top + box.bottom) / 2;
    SolidBrush brush(color);
    for (int row = 0; row <= half; ++row) {
        // Row 0 is the tip; each row is one pixel wider on each side.
        int along = forward ? half / 2 - row : row - half / 2;
        RECT line = vertical ? RECT{cx - row, cy + along, cx + row + 1, cy + along + 1}
                             : RECT{cx + along, cy - row, cx + along + 1, cy + row + 1};
        FillRect(hdc, &line, brush.Get());
    }
}

void FillSystemColor(HDC hdc, const RECT& rect, int index) {
    FillRect(hdc, &rect, GetSysColorBrush(index));
}

void FrameSystemColor(HDC hdc, const RECT& rect, int index) {
    FrameRect(hdc, &rect, GetSysColorBrush(index));
}

void TextMeasure::SetFont(HFONT font) {
    m_font = font;
    m_lineHeight = -1;
    m_widths.clear();
}

int TextMeasure::LineHeight() {
    if (m_lineHeight < 0)
        m_lineHeight = FontLineHeight(Font());
    return m_lineHeight;
}

void TextMeasure::MeasureMissing(std::u16string_view text) {
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    for (char16_t c : text) {
        if (m_widths.count(c))
            continue;
        if (!dc) {
            dc = CreateCompatibleDC(nullptr);
            if (!dc)
                return;
            old = SelectObject(dc, Font());
        }
        SIZE extent{0, 0};
        GetTextExtentPoint32W(dc, &c, 1, &extent);
        m_widths.emplace(c, std::max<LONG>(0, extent.cx));
    }
    if (dc) {
        SelectObject(dc, old);
        DeleteDC(dc);
    }
}

int TextMeasure::Width(char16_t c) {
    auto found = m_widths.find(c);
    if (found != m_widths.end())
        return found->second;
    MeasureMissing(std::u16string_view(&c, 1));
    found = m_widths.find(c);
    return found != m_widths.end() ? found->second : 0;
}

int TextMeasure::Width(std::u16string_view text) {
    MeasureMissing(text);
    int width = 0;
    for (char16_t c : text) {
        auto found = m_widths.find(c);
        if (found != m_widths.end())
            width += found->second;
    }
    return width;
}

int FontLineHeight(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return 8;
    HGDIOBJ old = SelectObject(dc, FontOrSystem(font));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    return metrics.tmHeight > 0 ? metrics.tmHeight : 8;
}

POINT PointFromLParam(LPARAM lParam) {
    return POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
}

bool IsShiftDown() {
    return GetKeyState(VK_SHIFT) < 0;
}

bool IsControlDown() {
    return GetKeyState(VK_CONTROL) < 0;
}

bool IsAltDown() {
    return GetKeyState(VK_MENU) < 0;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
    size_t count = std::min(a.size(), b.size());
    for (size_t i = 0; i < count; ++i) {
        WCHAR x = ToLowerW(a[i]);
        WCHAR y = ToLowerW(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && CompareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

std::u16string_view TextOf(LPCWSTR text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

bool HasClass(HWND hwnd, std::u16string_view name) {
    WCHAR buffer[64];
    int length = hwnd ? GetClassNameW(hwnd, buffer, 64) : 0;
    return length > 0 && CompareNoCase(std::u16string_view(buffer, static_cast<size_t>(length)), name) == 0;
}

size_t CopyToBuffer(std::u16string_view text, LPWSTR buffer, size_t capacity) {
    if (!buffer || capacity == 0)
        return 0;
    size_t count = std::min(text.size(), capacity - 1);
    std::copy_n(text.data(), count, buffer);
    buffer[count] = 0;
    return count;
}

} // namespace user::controls
