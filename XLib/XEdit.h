#pragma once
// The skinned dialog's platform-control based text controls.
//
// CXEdit: the platform's edit box made from a skin's "xEdit" element: single-line (scrolling sideways) or
// multi-line (with a vertical scroll bar), optionally read-only, with a caption as its first text, a skin
// font, and skin text and background colours given through the reflected control-colour query (a
// read-only or disabled edit asks too, so it keeps them). Up on the first line and Down on the last line
// (lines end at CR LF only; a wrapped line counts as one) move the focus to the previous or next control
// of the parent CXDialog's tab order while nothing is selected; otherwise the keys are the edit's own.
//
// CXTree: the platform's tree view made from a skin's "xTree" element, without lines or buttons, in a skin
// font. Enter sends the parent NM_CLICK (a bare NMHDR), also inside a dialog and with nothing selected;
// every other key is the tree view's own.
//
// Both are children of the CXDialog given to LoadFromXml; the dialog's layer destroys and deletes them.
// Each owns its font (and the edit its brush) and destroys its window before freeing them.

#include "XmlReader.h"
#include "classlib/Controls.h"
#include "classlib/Gdi.h"
#include "crt/Types.h"

class CXDialog;

class CXEdit : public CEdit {
    DECLARE_DYNAMIC(CXEdit)
public:
    CXEdit() = default;
    ~CXEdit() override;

    // Makes the edit from an "xEdit" element as a child of the dialog; false for a NULL element or when the
    // window cannot be made (no colour or font is applied then).
    virtual bool LoadFromXml(CXmlElement* element, CXDialog* dialog);

    // The window is (x, y) to (x + width - 1, y + height - 1) in the parent's client coordinates; the
    // caption, when not NULL or empty, is its text. Colours start as black on white.
    bool Create(LPCWSTR caption, int x, int y, int width, int height, bool multiline, CWnd* parent, UINT id);
    void SetColors(COLORREF textColor, COLORREF backgroundColor);
    void SetTextColor(COLORREF color);
    void SetBackgroundColor(COLORREF color);
    // A font of that face (at most 31 characters), character height in pixels, weight and slant, from the
    // edit's DC font otherwise; the edit keeps its font when the new one cannot be made.
    void SetFont(LPCWSTR faceName, int size, bool bold, bool italic);

protected:
    afx_msg HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);

    DECLARE_MESSAGE_MAP()

private:
    // Whether the key, with the caret where it is, leaves the edit along the tab order.
    bool LeavesEdit(UINT key) const;
    void Redraw();

    CFont m_font;
    COLORREF m_textColor = RGB(0, 0, 0);
    COLORREF m_backgroundColor = RGB(255, 255, 255);
    CBrush m_backgroundBrush;
};

class CXTree : public CTreeCtrl {
    DECLARE_DYNAMIC(CXTree)
public:
    CXTree() = default;
    ~CXTree() override;

    // Makes the tree from an "xTree" element as a child of the dialog; false for a NULL element or when
    // the window cannot be made. The base path is not used: a tree has no bitmaps.
    virtual bool LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR basePath);

    // The window is (x, y) to (x + width - 1, y + height - 1) in the parent's client coordinates.
    bool Create(int x, int y, int width, int height, CWnd* parent, UINT id);
    // As CXEdit::SetFont.
    void SetFont(LPCWSTR faceName, int size, bool bold, bool italic);

protected:
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    CFont m_font;
};
