#pragma once
// CSkinListBox: the main dialog's list of mounted folders. A platform list box that paints itself: each
// paint starts from a snapshot of the parent's pixels under the list (its skin), taken at the first erase
// after creation, a move or a resize, and draws the item texts over it transparently in the list font,
// optionally with a shadow; selected items in their own colour, all texts grey when the list is disabled.
//
// Taps reach the parent as WM_NOTIFY with a bare NMHDR (the list's window, its id, the code), as a list
// view's would: a tap gives LVN_ITEMACTIVATE then NM_CLICK at the release; a stylus held for 300 ms gives
// NM_RCLICK while an item is current, and the tap at the release; the second tap of a double tap gives
// NM_DBLCLK at its release. The list box's own LBN_SELCHANGE reaches the parent too. The parent reads the
// selection from the list itself: a press on an item selects that item and only it, also in a list created
// with LBS_MULTIPLESEL, so that the current selection is always the item last touched.

#include "classlib/Controls.h"
#include "classlib/Gdi.h"
#include "classlib/Geometry.h"
#include "crt/Types.h"

class CSkinListBox : public CListBox {
    DECLARE_DYNAMIC(CSkinListBox)
public:
    CSkinListBox();
    ~CSkinListBox() override;

    // The list font (bold, of that pixel height and face) and the look of the texts. The rows take the
    // height of the font.
    void SetListFont(int height, LPCWSTR faceName, COLORREF textColor, COLORREF selectedTextColor,
                     bool shadow, int shadowOffset, COLORREF shadowColor);
    // Stores the colours; the next paint shows them.
    void SetColors(COLORREF textColor, COLORREF selectedTextColor, COLORREF shadowColor);

    // Append or insert a string with its item data; the index, or LB_ERR / LB_ERRSPACE.
    int AddItem(LPCWSTR text, DWORD_PTR data);
    int InsertItem(int index, LPCWSTR text, DWORD_PTR data);

    // The list font once made, else the window's font (NULL when it has none).
    virtual CFont* GetListFont();
    // Draws item index into rect of dc over the background snapshot; nothing for an index outside the items.
    virtual void DrawListItem(CDC* dc, int index, const RECT& rect, bool selected);
    // Passes the message being handled on to the list box; with repaint, redraws the whole list at once.
    virtual void DefaultAndRedraw(bool repaint);

    // Makes index the top item and redraws at once; the list box's answer.
    int ScrollToItem(int index);
    // By count items, not past the first or the last item.
    void ScrollUp(int count);
    void ScrollDown(int count);

    // Kills the pending hold timer, if any.
    void CancelHoldTimer();
    // Client coordinates of the latest press on the list (where a context menu for NM_RCLICK belongs).
    POINT GetLastTapPoint() const { return m_lastTapPoint; }

    // Painting happens in WM_PAINT; the rows take the height of "XYZ" in the list font.
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;

    static constexpr UINT kHoldTime = 300;
    static constexpr UINT_PTR kHoldTimerId = 1;
    static constexpr int kDefaultShadowOffset = 3;
    static constexpr COLORREF kDisabledTextColor = RGB(0x8C, 0x8C, 0x8C);
    static constexpr COLORREF kDisabledShadowColor = RGB(0xFF, 0xFF, 0xFF);

protected:
    void PreSubclassWindow() override;

    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnPaint();
    afx_msg void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    afx_msg BOOL OnSelChange();
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnMove(int x, int y);
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDblClk(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnTimer(UINT_PTR nIDEvent);

    DECLARE_MESSAGE_MAP()

private:
    enum class PressKind { Hold, Tap };
    // The item under a point of the client area; -1 outside the items.
    int ItemAt(CPoint point) const;
    // Whether the list box's own press handling toggles the item after this (a first press) or not.
    enum class SelectionStep { ToggledNext, Done };
    // In a list of several selections, leaves the item the only one selected once the step is done.
    void SelectAlone(int item, SelectionStep step);
    // Focus, the hold timer or the tap's report, then the message being handled to the list box.
    void Press(PressKind kind);
    // Sends one bare notification to the parent; false when the list's window went away meanwhile.
    bool NotifyParent(UINT code);
    // The background bitmap anew for the client size, compatible with the parent's DC; none without a
    // parent.
    void MakeBackgroundBitmap();
    // After a move or resize: the snapshot is taken again once the parent has painted under the list.
    void RetakeBackground();
    // The list box's own handling of the message being handled with its drawing off, then one repaint.
    void DefaultWithoutRedraw();
    int MeasureRowHeight();

    // The running hold timer's id (also after it fired); 0 when none was started or it was cancelled.
    UINT_PTR m_holdTimerId = 0;
    // The latest press was the second of a double tap; its release reports NM_DBLCLK.
    bool m_doubleTapDown = false;
    POINT m_lastTapPoint{};
    COLORREF m_textColor;
    COLORREF m_selectedTextColor;
    COLORREF m_shadowColor = RGB(0, 0, 0);
    CFont m_listFont;
    CBitmap m_background;
    bool m_backgroundTaken = false;
    int m_shadowOffset = kDefaultShadowOffset;
    bool m_shadow = false;
};
