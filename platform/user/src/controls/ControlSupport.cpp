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

int ArrowDepth(const RECT& box) {
    int width = std::min(box.right - box.left, box.bottom - box.top);
    return std::max(1, (width - 4) / 3) + 1;
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
