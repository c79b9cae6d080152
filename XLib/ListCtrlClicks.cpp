#include "ListCtrlClicks.h"

#include "XControlSupport.h"

IMPLEMENT_DYNAMIC(CListCtrlClicks, CListCtrl)

BEGIN_MESSAGE_MAP(CListCtrlClicks, CListCtrl)
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_TIMER()
END_MESSAGE_MAP()

void CListCtrlClicks::CancelHoldTimer() {
    if (m_holdTimerId == 0)
        return;
    KillTimer(m_holdTimerId);
    m_holdTimerId = 0;
}

bool CListCtrlClicks::NotifyParent(UINT code) {
    return NotifyParentBare(this, code);
}

void CListCtrlClicks::ReportTap() {
    if (NotifyParent(LVN_ITEMACTIVATE))
        NotifyParent(NM_CLICK);
}

bool CListCtrlClicks::OnScrollBar(CPoint point) const {
    LVHITTESTINFO hit{};
    hit.pt = point;
    CListCtrl::HitTest(&hit);
    return hit.flags == LVHT_TORIGHT;
}

void CListCtrlClicks::Press(CPoint point, PressKind kind) {
    HWND list = m_hWnd;
    SetFocus();
    if (!::IsWindow(list))
        return;
    m_lastTapPoint = point;
    // Only the selection bit changes, so the focused item stays where it was.
    for (int item = GetNextItem(-1, LVNI_SELECTED); item != -1; item = GetNextItem(item, LVNI_SELECTED)) {
        SetItemState(item, 0, LVIS_SELECTED);
        if (!::IsWindow(list))
            return;
    }
    int hit = CListCtrl::HitTest(point);
    if (hit != -1) {
        SetItemState(hit, LVIS_SELECTED, LVIS_SELECTED);
        if (!::IsWindow(list))
            return;
    }
    if (kind == PressKind::Hold) {
        CancelHoldTimer();
        m_holdTimerId = SetTimer(kHoldTimerId, kHoldTime, nullptr);
        return;
    }
    // Reported even when nothing was hit: the parent then finds no selected item.
    ReportTap();
}

void CListCtrlClicks::OnLButtonDown(UINT, CPoint point) {
    // The list view's scroll bar lies inside its client area; a tap on it scrolls and is no tap on the list.
    if (OnScrollBar(point)) {
        Default();
        return;
    }
    Press(point, m_holdMode ? PressKind::Hold : PressKind::Tap);
}

void CListCtrlClicks::OnLButtonUp(UINT, CPoint point) {
    if (!m_holdMode || m_holdTimerId == 0)
        return;
    // Released before the hold timer fired: a tap at the release point.
    CancelHoldTimer();
    Press(point, PressKind::Tap);
}

void CListCtrlClicks::OnTimer(UINT_PTR nIDEvent) {
    // Timers other than a pending hold belong to the list view.
    if (m_holdTimerId == 0 || nIDEvent != m_holdTimerId) {
        Default();
        return;
    }
    // The hold is over: the release that ends it reports nothing.
    CancelHoldTimer();
    if (GetNextItem(-1, LVNI_SELECTED) == -1)
        return;
    NotifyParent(NM_RCLICK);
}
