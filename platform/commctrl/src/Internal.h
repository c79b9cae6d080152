#pragma once
// What the common controls share: per-window state, notifications to the parent, fonts and drawing
// helpers, and the scroll bar that the lists draw inside their client areas.

#include <memory>
#include <string>
#include <string_view>

#include "commctrl/CommCtrl.h"
#include "gdi/Scoped.h"

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

// The window procedure of a control: makes its state at WM_NCCREATE, then hands every message with the
// state to Handle (which detaches it at WM_NCDESTROY). A window without state gets the default handling.
template <typename State, LRESULT (*Handle)(HWND, const std::shared_ptr<State>&, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK StateProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        AttachState(hwnd, std::make_shared<State>());
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    std::shared_ptr<State> state = StateOf<State>(hwnd);
    if (!state)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return Handle(hwnd, state, message, wParam, lParam);
}

// Sends WM_NOTIFY to the control's parent after filling the header; the parent's answer.
LRESULT Notify(HWND control, UINT code, NMHDR* header);
LRESULT NotifyCode(HWND control, UINT code);

// A press of the stylus: a tap of its own, or the second tap of a double tap (WM_LBUTTONDBLCLK).
enum class Tap { Single, Double };

// The client point of a mouse message.
inline POINT PointFromLParam(LPARAM lParam) {
    return POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
}

using gdi::Arrow;
using gdi::FillSolid;
using gdi::FontLineHeight;
using gdi::FontOrSystem;
using gdi::SelectedObject;
using gdi::SolidBrush;

// Text in a cell: one line, cut at the cell's right edge, vertically centred.
void DrawCellText(HDC dc, std::u16string_view text, RECT cell, UINT justify, COLORREF color);

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
