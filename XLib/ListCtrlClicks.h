#pragma once
// CListCtrlClicks: a list view that handles the stylus itself and reports taps to its parent. A tap
// selects only the item under the stylus (or nothing, on empty space) and sends the parent WM_NOTIFY with
// a bare NMHDR: LVN_ITEMACTIVATE, then NM_CLICK; the parent reads the selection from the list. The list
// view never sees a button-down or button-up (double taps still reach it), so it sends no click
// notifications of its own; the selection changes do go through it, with its usual item-change
// notifications before the tap's.
//
// In hold mode (off unless a derived class sets m_holdMode) a button-down only selects and starts a 500 ms
// hold timer: a release before it fires reports the tap at the release point; when it fires while an item
// is selected the parent gets NM_RCLICK instead, and the release that ends that hold reports nothing.

#include "classlib/Controls.h"
#include "crt/Types.h"

class CListCtrlClicks : public CListCtrl {
    DECLARE_DYNAMIC(CListCtrlClicks)
public:
    CListCtrlClicks() = default;
    ~CListCtrlClicks() override = default;

    // Kills the pending hold timer, if any.
    void CancelHoldTimer();

    // How long the stylus must stay down for NM_RCLICK in hold mode, and the hold timer's id.
    static constexpr UINT kHoldTime = 500;
    static constexpr UINT_PTR kHoldTimerId = 1;

protected:
    // Sends LVN_ITEMACTIVATE and then NM_CLICK to the parent, as a tap does.
    void ReportTap();
    // Sends one bare notification to the parent; false when the list's window went away meanwhile.
    bool NotifyParent(UINT code);

    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnTimer(UINT_PTR nIDEvent);

    DECLARE_MESSAGE_MAP()

    // A tap is reported at the release, or as NM_RCLICK after kHoldTime; false after construction.
    bool m_holdMode = false;
    // Client coordinates of the latest button-down (or of the release that reported a held tap).
    POINT m_lastTapPoint{};

private:
    enum class PressKind { Tap, Hold };
    // Focus, selection of the item under the point, then the tap's report or the hold timer.
    void Press(CPoint point, PressKind kind);
    // True when the point lies on the list view's own scroll bar, which it draws inside its client area.
    bool OnScrollBar(CPoint point) const;

    // The running hold timer's id; 0 while no hold is pending.
    UINT_PTR m_holdTimerId = 0;
};
