#pragma once
// Scroll bars of windows: the values that SetScrollInfo keeps for each window, and the bar that a
// standard control draws inside its client area and drives with the stylus.

#include "crt/Types.h"
#include "user/Controls.h"

namespace user::controls {

// The values of one bar, clamped as SetScrollInfo clamps them.
struct ScrollValues {
    int min = 0;
    int max = 0;
    int page = 0;
    int pos = 0;
    int trackPos = 0;
    bool tracking = false;
    // The range exceeds the page, or the values were set with SIF_DISABLENOSCROLL.
    bool shown = false;
    bool set = false;

    // Whether the bar can scroll at all.
    bool Enabled() const { return max > min && (page == 0 || page <= max - min); }
    int MaxPos() const { return page > 0 ? max - page + 1 : max; }
};

// A copy of a window's values for a bar (SB_HORZ or SB_VERT); default values when none were set.
ScrollValues ScrollValuesOf(HWND hwnd, int bar);

enum class ScrollPart { None, LineBack, PageBack, Thumb, PageForward, LineForward };

// A bar drawn inside its owner's client area, showing the owner's values for that bar. Used with the
// stylus, it captures the stylus and sends the owner WM_VSCROLL or WM_HSCROLL (SB_LINE*, SB_PAGE* with
// repeats while held, SB_THUMBTRACK while the thumb is dragged, SB_THUMBPOSITION and SB_ENDSCROLL at the
// release), as the platform's window bars do. The owner forwards its stylus messages and its
// WM_TIMER to the bar while it tracks.
class ScrollBar {
public:
    static constexpr UINT_PTR kRepeatTimer = 0x5C01;
    static constexpr UINT kFirstRepeat = 400;
    static constexpr UINT kNextRepeat = 100;

    ScrollBar(HWND owner, int bar) : m_owner(owner), m_bar(bar) {}

    void SetRect(const RECT& rect) { m_rect = rect; }
    const RECT& Rect() const { return m_rect; }
    void Draw(HDC hdc) const;
    ScrollPart HitTest(POINT client) const;

    // A press on the bar: true when it is inside the bar (the bar then tracks until the release).
    bool Press(POINT client);
    void Move(POINT client);
    void Release(POINT client);
    // Ends tracking without a release (the capture went elsewhere).
    void Cancel();
    // True when the timer is the bar's repeat timer.
    bool Timer(UINT_PTR id);
    bool Tracking() const { return m_part != ScrollPart::None; }

private:
    struct Layout {
        RECT back{};
        RECT track{};
        RECT thumb{};
        RECT forward{};
        bool enabled = false;
        bool hasThumb = false;
    };
    Layout Compute(const ScrollValues& values) const;
    bool Vertical() const { return m_bar == SB_VERT; }
    void Send(int code, int pos = 0);
    int TrackPosAt(POINT client) const;
    void SetTracking(bool tracking, int trackPos);

    HWND m_owner;
    int m_bar;
    RECT m_rect{};
    ScrollPart m_part = ScrollPart::None;
    POINT m_last{};
    int m_grab = 0;
};

} // namespace user::controls
