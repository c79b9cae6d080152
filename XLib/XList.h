#pragma once
// CXList: the skinned list, a report-mode list view with full-row selection made from a skin's "xList"
// element. It reports taps as CListCtrlClicks does (tap mode) and takes its font and columns from the
// skin. Its column header, a CXHeaderCtrl on the list view's own header window, paints itself in the
// skin's colours and in a second set of colours while the list has the focus.
//
// Keys: Enter reports a tap (LVN_ITEMACTIVATE, NM_CLICK) even with nothing selected, also inside a dialog;
// Up while the selection mark is on the first item and Down while it is on the last move the focus to the
// previous or next control of the parent CXDialog's tab order. Taps do not move the selection mark; keys
// and the focus do.

#include "ListCtrlClicks.h"
#include "XmlReader.h"
#include "classlib/Controls.h"
#include "classlib/Gdi.h"
#include "crt/Types.h"

class CXDialog;

// A header that paints its items' texts and separators in its own colours; the list's font is lent to it.
class CXHeaderCtrl : public CHeaderCtrl {
    DECLARE_DYNAMIC(CXHeaderCtrl)
public:
    CXHeaderCtrl() = default;
    ~CXHeaderCtrl() override = default;

    void SetColors(COLORREF fontColor, COLORREF backgroundColor, COLORREF separatorColor,
                   COLORREF focusFontColor, COLORREF focusBackgroundColor, COLORREF focusSeparatorColor,
                   bool redraw);
    // The font is borrowed: it must outlive the header or be replaced first. NULL: the DC's own font.
    void SetFont(CFont* font);
    void SetFocused(bool focused);

    // Everything is painted in WM_PAINT.
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

protected:
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);

    DECLARE_MESSAGE_MAP()

private:
    void Redraw();

    COLORREF m_fontColor = RGB(0, 0, 0);
    COLORREF m_backgroundColor = RGB(255, 255, 255);
    COLORREF m_separatorColor = RGB(0, 0, 0);
    bool m_focused = false;
    COLORREF m_focusFontColor = RGB(0, 0, 0);
    COLORREF m_focusBackgroundColor = RGB(255, 255, 255);
    COLORREF m_focusSeparatorColor = RGB(0, 0, 0);
    CFont* m_font = nullptr;
};

class CXList : public CListCtrlClicks {
    DECLARE_DYNAMIC(CXList)
public:
    CXList() = default;
    ~CXList() override;

    // Makes the list from an "xList" element as a child of the dialog; false for a NULL element or when
    // the window cannot be made.
    virtual bool LoadFromXml(CXmlElement* element, CXDialog* dialog);

    // The window is (x, y) to (x + width - 1, y + height - 1) in the parent's client coordinates.
    bool Create(int x, int y, int width, int height, CWnd* parent, UINT id);
    // A font of that face (at most 31 characters), character height in pixels, weight and slant, from the
    // list's DC font otherwise; the list keeps its font when the new one cannot be made.
    void SetFont(LPCWSTR faceName, int size, bool bold, bool italic);
    CXHeaderCtrl& GetHeader() { return m_header; }
    // The last selected item, -1 when none is.
    int GetSelectedItem() const;

protected:
    afx_msg void OnCustomDraw(NMHDR* pNotifyStruct, LRESULT* pResult);
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg void OnKillFocus(CWnd* pNewWnd);
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    CFont m_font;
    CXHeaderCtrl m_header;
};
