#include "ScrollBar.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "ControlSupport.h"
#include "kernel/Errors.h"
#include "user/System.h"

namespace user::controls {

namespace {

constexpr int kMinThumb = 8;

struct WindowBars {
    ScrollValues horizontal;
    ScrollValues vertical;
};

struct BarTable {
    std::mutex lock;
    std::unordered_map<HWND, WindowBars> windows;
};

BarTable& Bars() {
    static BarTable* table = new BarTable;
    return *table;
}

ScrollValues& Select(WindowBars& bars, int bar) {
    return bar == SB_HORZ ? bars.horizontal : bars.vertical;
}

void Clamp(ScrollValues& values) {
    values.max = std::max(values.max, values.min);
    long long span = static_cast<long long>(values.max) - values.min + 1;
    values.page = static_cast<int>(std::clamp<long long>(values.page, 0, span));
    values.pos = std::clamp(values.pos, values.min, std::max(values.min, values.MaxPos()));
}

bool ValidBar(int bar) {
    return bar == SB_HORZ || bar == SB_VERT;
}

bool HasBarStyle(HWND hwnd, int bar) {
    LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    return (style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
}

// Applies a change to a window's values; the values after it, or nothing when the window is unknown.
template <typename Change>
std::optional<ScrollValues> Update(HWND hwnd, int bar, Change change) {
    if (!IsWindow(hwnd))
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, std::optional<ScrollValues>());
    if (!ValidBar(bar))
        return kernel::Fail(ERROR_INVALID_PARAMETER, std::optional<ScrollValues>());
    BarTable& table = Bars();
    std::lock_guard guard(table.lock);
    ScrollValues& values = Select(table.windows[hwnd], bar);
    change(values);
    values.set = true;
    Clamp(values);
    return values;
}

std::optional<ScrollValues> Read(HWND hwnd, int bar) {
    if (!IsWindow(hwnd))
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, std::optional<ScrollValues>());
    if (!ValidBar(bar))
        return kernel::Fail(ERROR_INVALID_PARAMETER, std::optional<ScrollValues>());
    ScrollValues values = ScrollValuesOf(hwnd, bar);
    if (!values.set && !HasBarStyle(hwnd, bar))
        return kernel::Fail(ERROR_NO_SCROLLBARS, std::optional<ScrollValues>());
    return values;
}

void Redraw(HWND hwnd, BOOL redraw) {
    if (redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
}

} // namespace

ScrollValues ScrollValuesOf(HWND hwnd, int bar) {
    BarTable& table = Bars();
    std::lock_guard guard(table.lock);
    auto found = table.windows.find(hwnd);
    if (found == table.windows.end())
        return ScrollValues{};
    return Select(found->second, bar);
}

void ForgetScrollValues(HWND hwnd) {
    BarTable& table = Bars();
    std::lock_guard guard(table.lock);
    table.windows.erase(hwnd);
}

ScrollBar::Layout ScrollBar::Compute(const ScrollValues& values) const {
    Layout layout;
    int length = Vertical() ? m_rect.bottom - m_rect.top : m_rect.right - m_rect.left;
    int thickness = Vertical() ? m_rect.right - m_rect.left : m_rect.bottom - m_rect.top;
    int arrow = std::min(thickness, length / 2);
    auto span = [&](int from, int to) {
        return Vertical() ? RECT{m_rect.left, m_rect.top + from, m_rect.right, m_rect.top + to}
                          : RECT{m_rect.left + from, m_rect.top, m_rect.left + to, m_rect.bottom};
    };
    layout.back = span(0, arrow);
    layout.forward = span(length - arrow, length);
    layout.track = span(arrow, length - arrow);
    layout.enabled = values.Enabled();
    int trackLength = length - 2 * arrow;
    if (!layout.enabled || trackLength < kMinThumb)
        return layout;
    long long range = static_cast<long long>(values.max) - values.min + 1;
    int thumb = values.page > 0 ? static_cast<int>(trackLength * static_cast<long long>(values.page) / range)
                                : thickness;
    thumb = std::clamp(thumb, kMinThumb, trackLength);
    int pos = values.tracking ? values.trackPos : values.pos;
    long long positions = static_cast<long long>(values.MaxPos()) - values.min;
    int offset = positions > 0 ? static_cast<int>((trackLength - thumb) * (pos - values.min) / positions) : 0;
    layout.thumb = span(arrow + offset, arrow + offset + thumb);
    layout.hasThumb = true;
    return layout;
}

void ScrollBar::Draw(HDC hdc) const {
    if (IsRectEmpty(&m_rect))
        return;
    ScrollValues values = ScrollValuesOf(m_owner, m_bar);
    Layout layout = Compute(values);
    FillSystemColor(hdc, layout.track, COLOR_SCROLLBAR);
    FrameSystemColor(hdc, m_rect, COLOR_WINDOWFRAME);
    auto drawButton = [&](const RECT& box, Arrow direction, ScrollPart part) {
        bool pressed = m_part == part && HitTest(m_last) == part;
        FillSystemColor(hdc, box, pressed ? COLOR_WINDOWTEXT : COLOR_WINDOW);
        FrameSystemColor(hdc, box, COLOR_WINDOWFRAME);
        HBRUSH arrow = GetSysColorBrush(!layout.enabled ? COLOR_GRAYTEXT
                                        : pressed       ? COLOR_WINDOW
                                                        : COLOR_WINDOWTEXT);
        DrawArrow(hdc, box, direction, ArrowDepth(box), arrow);
    };
    drawButton(layout.back, Vertical() ? Arrow::Up : Arrow::Left, ScrollPart::LineBack);
    drawButton(layout.forward, Vertical() ? Arrow::Down : Arrow::Right, ScrollPart::LineForward);
    if (layout.hasThumb) {
        FillSystemColor(hdc, layout.thumb, COLOR_WINDOW);
        FrameSystemColor(hdc, layout.thumb, COLOR_WINDOWFRAME);
    }
}

ScrollPart ScrollBar::HitTest(POINT client) const {
    if (!PtInRect(&m_rect, client))
        return ScrollPart::None;
    Layout layout = Compute(ScrollValuesOf(m_owner, m_bar));
    if (PtInRect(&layout.back, client))
        return ScrollPart::LineBack;
    if (PtInRect(&layout.forward, client))
        return ScrollPart::LineForward;
    if (!layout.hasThumb)
        return ScrollPart::None;
    if (PtInRect(&layout.thumb, client))
        return ScrollPart::Thumb;
    bool before = Vertical() ? client.y < layout.thumb.top : client.x < layout.thumb.left;
    return before ? ScrollPart::PageBack : ScrollPart::PageForward;
}

void ScrollBar::Send(int code, int pos) {
    UINT message = Vertical() ? WM_VSCROLL : WM_HSCROLL;
    SendMessageW(m_owner, message, MAKEWPARAM(code, static_cast<WORD>(pos)), 0);
}

void ScrollBar::SetTracking(bool tracking, int trackPos) {
    BarTable& table = Bars();
    std::lock_guard guard(table.lock);
    ScrollValues& values = Select(table.windows[m_owner], m_bar);
    values.tracking = tracking;
    values.trackPos = trackPos;
}

int ScrollBar::TrackPosAt(POINT client) const {
    ScrollValues values = ScrollValuesOf(m_owner, m_bar);
    Layout layout = Compute(values);
    int trackStart = Vertical() ? layout.track.top : layout.track.left;
    int trackLength =
        Vertical() ? layout.track.bottom - layout.track.top : layout.track.right - layout.track.left;
    int thumb = Vertical() ? layout.thumb.bottom - layout.thumb.top : layout.thumb.right - layout.thumb.left;
    int room = trackLength - thumb;
    long long positions = static_cast<long long>(values.MaxPos()) - values.min;
    if (room <= 0 || positions <= 0)
        return values.min;
    int offset = std::clamp((Vertical() ? client.y : client.x) - m_grab - trackStart, 0, room);
    return values.min + static_cast<int>((offset * positions + room / 2) / room);
}

bool ScrollBar::Press(POINT client) {
    ScrollPart part = HitTest(client);
    if (!PtInRect(&m_rect, client))
        return false;
    m_last = client;
    if (part == ScrollPart::None)
        return true; // a disabled bar swallows the press
    m_part = part;
    SetCapture(m_owner);
    if (part == ScrollPart::Thumb) {
        Layout layout = Compute(ScrollValuesOf(m_owner, m_bar));
        m_grab = Vertical() ? client.y - layout.thumb.top : client.x - layout.thumb.left;
        SetTracking(true, ScrollValuesOf(m_owner, m_bar).pos);
    } else {
        static constexpr int kCodes[] = {0, SB_LINEUP, SB_PAGEUP, 0, SB_PAGEDOWN, SB_LINEDOWN};
        Send(kCodes[static_cast<int>(part)]);
        SetTimer(m_owner, kRepeatTimer, kFirstRepeat, nullptr);
    }
    InvalidateRect(m_owner, &m_rect, FALSE);
    return true;
}

void ScrollBar::Move(POINT client) {
    if (!Tracking())
        return;
    m_last = client;
    if (m_part == ScrollPart::Thumb) {
        int pos = TrackPosAt(client);
        if (pos != ScrollValuesOf(m_owner, m_bar).trackPos) {
            SetTracking(true, pos);
            Send(SB_THUMBTRACK, pos);
        }
    }
    InvalidateRect(m_owner, &m_rect, FALSE);
}

void ScrollBar::Release(POINT client) {
    if (!Tracking())
        return;
    m_last = client;
    ScrollPart part = m_part;
    m_part = ScrollPart::None;
    KillTimer(m_owner, kRepeatTimer);
    if (GetCapture() == m_owner)
        ReleaseCapture();
    if (part == ScrollPart::Thumb) {
        int pos = ScrollValuesOf(m_owner, m_bar).trackPos;
        Send(SB_THUMBPOSITION, pos);
        SetTracking(false, pos);
    }
    Send(SB_ENDSCROLL);
    InvalidateRect(m_owner, &m_rect, FALSE);
}

void ScrollBar::Cancel() {
    if (!Tracking())
        return;
    m_part = ScrollPart::None;
    KillTimer(m_owner, kRepeatTimer);
    SetTracking(false, ScrollValuesOf(m_owner, m_bar).pos);
    InvalidateRect(m_owner, &m_rect, FALSE);
}

bool ScrollBar::Timer(UINT_PTR id) {
    if (id != kRepeatTimer)
        return false;
    if (!Tracking() || m_part == ScrollPart::Thumb) {
        KillTimer(m_owner, kRepeatTimer);
        return true;
    }
    // Repeats while the stylus stays on the part it pressed (a page area ends under the thumb).
    if (HitTest(m_last) == m_part) {
        static constexpr int kCodes[] = {0, SB_LINEUP, SB_PAGEUP, 0, SB_PAGEDOWN, SB_LINEDOWN};
        Send(kCodes[static_cast<int>(m_part)]);
    }
    SetTimer(m_owner, kRepeatTimer, kNextRepeat, nullptr);
    return true;
}

} // namespace user::controls

using namespace user::controls;

int SetScrollInfo(HWND hwnd, int nBar, LPCSCROLLINFO lpsi, BOOL redraw) {
    if (!lpsi || lpsi->cbSize != sizeof(SCROLLINFO))
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    SCROLLINFO info = *lpsi;
    auto values = Update(hwnd, nBar, [&](ScrollValues& v) {
        if (info.fMask & SIF_RANGE) {
            v.min = info.nMin;
            v.max = info.nMax;
        }
        if (info.fMask & SIF_PAGE)
            v.page = static_cast<int>(std::min<UINT>(info.nPage, 0x7FFFFFFF));
        if (info.fMask & SIF_POS)
            v.pos = info.nPos;
        Clamp(v);
        // Shown when needed; a bar that is not needed is hidden, or kept shown disabled when asked to.
        if (v.Enabled())
            v.shown = true;
        else if (info.fMask & (SIF_RANGE | SIF_PAGE))
            v.shown = (info.fMask & SIF_DISABLENOSCROLL) != 0;
    });
    if (!values)
        return 0;
    Redraw(hwnd, redraw);
    return values->pos;
}

BOOL GetScrollInfo(HWND hwnd, int nBar, LPSCROLLINFO lpsi) {
    if (!lpsi || lpsi->cbSize != sizeof(SCROLLINFO))
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto values = Read(hwnd, nBar);
    if (!values)
        return FALSE;
    if (lpsi->fMask & SIF_RANGE) {
        lpsi->nMin = values->min;
        lpsi->nMax = values->max;
    }
    if (lpsi->fMask & SIF_PAGE)
        lpsi->nPage = static_cast<UINT>(values->page);
    if (lpsi->fMask & SIF_POS)
        lpsi->nPos = values->pos;
    if (lpsi->fMask & SIF_TRACKPOS)
        lpsi->nTrackPos = values->tracking ? values->trackPos : values->pos;
    return TRUE;
}

int SetScrollPos(HWND hWnd, int nBar, int nPos, BOOL bRedraw) {
    auto before = Read(hWnd, nBar);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, nPos, 0};
    if (!SetScrollInfo(hWnd, nBar, &info, bRedraw) && !IsWindow(hWnd))
        return 0;
    return before ? before->pos : 0;
}

int GetScrollPos(HWND hWnd, int nBar) {
    auto values = Read(hWnd, nBar);
    return values ? values->pos : 0;
}

BOOL SetScrollRange(HWND hWnd, int nBar, int nMinPos, int nMaxPos, BOOL bRedraw) {
    if (!IsWindow(hWnd))
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!ValidBar(nBar))
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, nMinPos, nMaxPos, 0, 0, 0};
    SetScrollInfo(hWnd, nBar, &info, bRedraw);
    return TRUE;
}

BOOL GetScrollRange(HWND hWnd, int nBar, int* lpMinPos, int* lpMaxPos) {
    if (!lpMinPos || !lpMaxPos)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto values = Read(hWnd, nBar);
    if (!values)
        return FALSE;
    *lpMinPos = values->min;
    *lpMaxPos = values->max;
    return TRUE;
}
