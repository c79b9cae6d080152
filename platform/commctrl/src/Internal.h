#pragma once
// What the common controls share: per-window state, notifications to the parent, fonts and drawing
// helpers, and the scroll bar that the lists draw inside their client areas.

#include <memory>
#include <string>
#include <string_view>

#include "commctrl/CommCtrl.h"

namespace commctrl {

// Each control keeps its state behind the first pointer of its window's extra bytes: a heap-held
// shared pointer, so a window procedure that takes a copy keeps the state alive while a notification
// it sent destroys the window. `destroyed` tells it that happened.
struct ControlState {
    HWND hwnd = nullptr;
    bool destroyed = false;
};

template <typename State>
std::shared_ptr<State> StateOf(HWND hwnd) {
    auto* holder = reinterpret_cast<std::shared_ptr<State>*>(GetWindowLongPtrW(hwnd, 0));
    return holder ? *holder : nullptr;
}

// The state of a window that a caller names, after checking that it is of the control's class.
bool IsOfClass(HWND hwnd, LPCWSTR className);
template <typename State>
std::shared_ptr<State> StateOfClass(HWND hwnd, LPCWSTR className) {
    return IsOfClass(hwnd, className) ? StateOf<State>(hwnd) : nullptr;
}

template <typename State>
void AttachState(HWND hwnd, std::shared_ptr<State> state) {
    state->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(new std::shared_ptr<State>(std::move(state))));
}

template <typename State>
void DetachState(HWND hwnd) {
    auto* holder = reinterpret_cast<std::shared_ptr<State>*>(SetWindowLongPtrW(hwnd, 0, 0));
    if (!holder)
        return;
    (*holder)->destroyed = true;
    delete holder;
}

// Sends WM_NOTIFY to the control's parent after filling the header; the parent's answer.
LRESULT Notify(HWND control, UINT code, NMHDR* header);
LRESULT NotifyCode(HWND control, UINT code);

// The font a control draws with: the one set with WM_SETFONT, else the system font.
HFONT FontOrDefault(HFONT font);
// The cell height of a font.
int FontHeight(HFONT font);

// Selects an object into a DC for a scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    ~Selection() {
        if (m_previous)
            SelectObject(m_dc, m_previous);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// A brush of one colour for a scope.
class SolidBrush {
public:
    explicit SolidBrush(COLORREF color) : m_brush(CreateSolidBrush(color)) {}
    ~SolidBrush() {
        if (m_brush)
            DeleteObject(m_brush);
    }
    SolidBrush(const SolidBrush&) = delete;
    SolidBrush& operator=(const SolidBrush&) = delete;
    operator HBRUSH() const { return m_brush; }

private:
    HBRUSH m_brush;
};

void FillSolid(HDC dc, const RECT& rect, COLORREF color);
// Text in a cell: one line, cut at the cell's right edge, vertically centred.
void DrawCellText(HDC dc, std::u16string_view text, RECT cell, UINT justify, COLORREF color);
// A filled triangle pointing up, down, left or right, centred in the rectangle.
enum class Arrow { Up, Down, Left, Right };
void DrawArrow(HDC dc, const RECT& rect, Arrow direction, COLORREF color);

// Copies text into a caller's buffer of `capacity` units (terminated, cut when it does not fit); the
// number of units copied.
int CopyText(std::u16string_view text, LPWSTR buffer, int capacity);

// A vertical scroll bar drawn at the right edge of an area: the position is the first visible line,
// the page the number of lines that fit. It shows only when the lines do not fit.
struct VerticalScroll {
    int lines = 0;
    int page = 0;
    int position = 0;

    bool Visible() const { return page > 0 && lines > page; }
    int MaxPosition() const { return lines > page ? lines - page : 0; }
    // Keeps the position inside 0..MaxPosition; true when it changed.
    bool Clamp();
    // The bar's rectangle at the right edge of area (empty when not visible).
    RECT BarRect(const RECT& area) const;
    void Draw(HDC dc, const RECT& area) const;
    // A tap on the bar: above the thumb pages up, below pages down, on the thumb moves nothing. True
    // when the point is on the bar.
    bool Tap(const RECT& area, POINT point);
};

// Tap-and-hold: how long the stylus must stay down for the hold gesture.
inline constexpr UINT kHoldTime = 500;
// Timer ids the controls use on their own windows.
inline constexpr UINT_PTR kHoldTimer = 0xC0C1;
inline constexpr UINT_PTR kRepeatTimer = 0xC0C2;

} // namespace commctrl
