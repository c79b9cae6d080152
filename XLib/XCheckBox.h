#pragma once
// CXCheckBox: the toolkit's check box, a child window of class "XCHECKBOX" that draws its box from a
// 6-frame strip (unchecked, checked and pressed, each enabled then disabled) at its top-left corner and
// its window text to the right of the box, in skin colours and an optional skin font, with optional
// outline rectangles around the caption. The window sizes itself to box plus caption.
//
// A tap toggles it and posts WM_COMMAND (BN_CLICKED, its id) to the parent; Enter toggles it without a
// command, and SetCheck changes it silently. The arrow keys move the focus along the parent dialog's tab
// items. It paints over the background its CXDialog parent lends it.

#include "XBitmap.h"
#include "XControl.h"
#include "XControlSupport.h"
#include "classlib/Gdi.h"
#include "classlib/String.h"

class CXCheckBox : public CXControl {
    DECLARE_DYNAMIC(CXCheckBox)
public:
    CXCheckBox();
    ~CXCheckBox() override;

    // Loads the strip and makes a visible tab-stop child window with the caption at (x, y); false when the
    // strip does not load or the window cannot be made.
    bool Create(LPCWSTR bitmapPath, LPCWSTR caption, int x, int y, CWnd* parent, UINT id);
    // Makes the check box from an "xCheckBox" element, with the dialog as parent, unchecked.
    bool LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR basePath) override;

    void SetStyle(COLORREF textColor, COLORREF focusTextColor, COLORREF backgroundColor, bool leftCheckBox,
                  bool transparent, int outlineWidth, COLORREF outlineColor);
    // Each of these repaints.
    void SetTextColor(COLORREF color);
    void SetFocusTextColor(COLORREF color);
    void SetBackgroundColor(COLORREF color);
    void SetTransparent(bool transparent);
    void SetOutline(int width, COLORREF color);
    // Kept for the skin's sake: the box is always drawn at the left.
    void SetLeftCheckBox(bool leftCheckBox);
    // size is a character height in pixels; the window is sized to the caption in the new font.
    void SetFont(LPCWSTR faceName, int size, bool bold, bool italic);

    bool GetCheck() const { return (m_state & kChecked) != 0; }
    // Repaints; posts nothing.
    void SetCheck(bool checked);
    // Sizes the window to box plus caption (the window text) and places the caption.
    void RecalcLayout();

protected:
    virtual void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnSetFocus(CWnd* pOldWnd);
    virtual void OnKillFocus(CWnd* pNewWnd);

    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnPaint();
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnCaptureChanged(CWnd* pWnd);
    afx_msg void OnDestroy();
    afx_msg LRESULT OnSetText(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    static constexpr UINT kChecked = 1;
    static constexpr UINT kPressed = 4;

    int Frame() const;
    void Repaint();

    UINT m_state = 0;
    CFont m_font;
    CXBitmap m_strip;
    CString m_caption;
    // Where the caption is drawn; left -1 when there is none.
    CRect m_captionRect{-1, 0, 0, 0};
    int m_spacing = 0;
    CaptionLook m_look;
    COLORREF m_focusTextColor = RGB(0, 0, 0);
    bool m_leftCheckBox = true;
};
