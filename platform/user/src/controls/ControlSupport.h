#pragma once
// What the standard controls share: the per-window control object and its window procedure, notifying
// the parent, the colours the parent chooses, fonts and text measurement, and small drawing helpers.

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "crt/Types.h"
#include "gdi/Gdi.h"
#include "gdi/Scoped.h"
#include "user/Controls.h"
#include "user/Messages.h"
#include "user/Paint.h"
#include "user/ScopedPaint.h"
#include "user/Window.h"

namespace user::controls {

// The control object of a window lives in the first pointer of its class's window bytes.
inline constexpr int kStateOffset = 0;
inline constexpr int kStateBytes = static_cast<int>(sizeof(void*));

// The base of every control object: its window, its font and the bookkeeping that keeps the object alive
// while one of its handlers runs, even when a notification it sends destroys the window.
class ControlBase {
public:
    explicit ControlBase(HWND hwnd) : m_hwnd(hwnd) {}
    virtual ~ControlBase() = default;
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;

    HWND Handle() const { return m_hwnd; }
    // False once the window has been destroyed (WM_NCDESTROY came while a handler was running).
    bool Alive() const { return !m_dead; }

protected:
    // Draws the whole client area (so no background is erased first), in WM_PAINT.
    virtual void Paint() = 0;

    HWND m_hwnd;
    // The font WM_SETFONT gave; NULL for the system font.
    HFONT m_font = nullptr;

private:
    template <typename Control>
    friend LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM);
    int m_depth = 0;
    bool m_dead = false;
};

void ForgetScrollValues(HWND hwnd);

// The window procedure of a control class: makes the control object at WM_NCCREATE (Control(hwnd,
// create)), paints, skips erasing and answers WM_GETFONT alike for every control, hands every other message
// to Control::OnMessage and deletes the object after WM_NCDESTROY, once no handler of it is running any
// more.
template <typename Control>
LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (!create)
            return FALSE;
        auto control = std::make_unique<Control>(hwnd, *create);
        SetWindowLongPtrW(hwnd, kStateOffset, reinterpret_cast<LONG_PTR>(control.get()));
        if (GetWindowLongPtrW(hwnd, kStateOffset) != reinterpret_cast<LONG_PTR>(control.get()))
            return FALSE;
        control.release();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    auto* control = reinterpret_cast<Control*>(GetWindowLongPtrW(hwnd, kStateOffset));
    if (!control)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, kStateOffset, 0);
        ForgetScrollValues(hwnd);
        if (control->m_depth > 0)
            control->m_dead = true;
        else
            delete control;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_ERASEBKGND)
        return 1;
    if (message == WM_GETFONT)
        return reinterpret_cast<LRESULT>(control->m_font);
    ++control->m_depth;
    LRESULT result = 0;
    if (message == WM_PAINT)
        static_cast<ControlBase*>(control)->Paint();
    else
        result = control->OnMessage(message, wParam, lParam);
    if (--control->m_depth == 0 && control->m_dead)
        delete control;
    return result;
}

// WM_COMMAND with the control's id and the code, sent to its parent (or owner).
void NotifyParent(HWND hwnd, WORD code);
// The same to a given window, for the parts of a combo box.
void NotifyWindow(HWND target, HWND from, WORD code);

// Asks the parent (or target, when given) for the control's colours with a WM_CTLCOLOR* message on hdc;
// the brush it answers, or the system's brush when it answers none.
HBRUSH RequestColors(HWND hwnd, HDC hdc, UINT message, HWND target = nullptr);

using gdi::Arrow;
using gdi::FillSolid;
using gdi::FontLineHeight;
using gdi::FontOrSystem;
using gdi::SelectedObject;
using gdi::SolidBrush;

// The arrow of a scroll bar's or a drop-down's button: depth for a box of that size.
int ArrowDepth(const RECT& box);

void FillSystemColor(HDC hdc, const RECT& rect, int index);
void FrameSystemColor(HDC hdc, const RECT& rect, int index);

// The key that drops a combo box down.
#ifndef VK_F4
inline constexpr UINT kF4 = 0x73;
#else
inline constexpr UINT kF4 = VK_F4;
#endif

// Character widths and the line height of one font, measured once per character.
class TextMeasure {
public:
    void SetFont(HFONT font);
    HFONT Font() const { return FontOrSystem(m_font); }
    int LineHeight();
    int Width(char16_t c);
    int Width(std::u16string_view text);

private:
    void MeasureMissing(std::u16string_view text);
    HFONT m_font = nullptr;
    int m_lineHeight = -1;
    std::unordered_map<char16_t, int> m_widths;
};

POINT PointFromLParam(LPARAM lParam);
// A press of the stylus: a tap of its own, or the second tap of a double tap (WM_LBUTTONDBLCLK).
enum class Tap { Single, Double };
bool IsShiftDown();
bool IsControlDown();
bool IsAltDown();

// Case-insensitive comparisons of item texts, as the list boxes sort and search them.
int CompareNoCase(std::u16string_view a, std::u16string_view b);
bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix);

// Text of a WCHAR pointer that may be NULL.
std::u16string_view TextOf(LPCWSTR text);

// The class name of a window compares equal to name, without regard to case.
bool HasClass(HWND hwnd, std::u16string_view name);

// Copies text and a terminator into a buffer of capacity units (nothing when capacity is 0); the units
// copied.
size_t CopyToBuffer(std::u16string_view text, LPWSTR buffer, size_t capacity);

} // namespace user::controls
