#pragma once
// CXSlider: the skinned slider, a child window of class "XSLIDER" showing a bar strip with a thumb strip
// over it. Both strips hold one frame, or two when the second is the focused look. The window is one
// pixel narrower and lower than a bar frame; its client width W is the width of all the geometry: the
// thumb travels from leftIndent to W - rightIndent (its left edge), topIndent down.
//
// The stylus drags the thumb (a tap beside it does nothing); each move posts WM_HSCROLL (SB_THUMBTRACK,
// lParam the slider's window) to the parent and the release posts SB_ENDSCROLL (lParam 0). A released
// left or right arrow moves the position by a twentieth of the range (at least 1) and posts SB_ENDSCROLL;
// a released up or down arrow moves the focus along the parent's dialog tab items. With "vertical" the
// messages are WM_VSCROLL; the geometry stays horizontal. The messages carry no position: the parent
// reads GetPos. The slider paints over the background its CXDialog parent lends it.

#include "XBitmap.h"
#include "XControl.h"
#include "classlib/Geometry.h"
#include "crt/Types.h"

class CXSlider : public CXControl {
    DECLARE_DYNAMIC(CXSlider)
public:
    CXSlider();
    ~CXSlider() override;

    // Loads both strips (2 frames each with hasFocusImage) and makes a visible tab-stop child window at
    // (x, y) in the parent's client area, with the range 0..100 and the position 0. False when a strip
    // does not load (both are freed then) or the window cannot be made.
    bool Create(LPCWSTR barPath, LPCWSTR thumbPath, int x, int y, int leftIndent, int rightIndent,
                int topIndent, bool hasFocusImage, bool vertical, CWnd* parent, UINT id);
    // Makes the slider from an "xSlider" element ("id", "barBitmap" and "thumbBitmap" after basePath, "x",
    // "y", "leftIndent", "rightIndent", "topIndent", "hasFocusImage", "vertical") in the dialog. An element
    // without "id" or without either bitmap makes no slider.
    bool LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR basePath) override;
    // Frees both strips.
    void ReleaseResources() override;

    // The bounds in either order; the position stays as it is, also outside the new range. Repaints.
    void SetRange(int first, int second);
    int GetRangeMin() const { return m_min; }
    int GetRangeMax() const { return m_max; }
    // Ignored during a drag and outside the range; repaints and posts nothing.
    void SetPos(int pos);
    int GetPos() const { return m_pos; }
    bool IsDragging() const { return m_dragging; }

    // The thumb's rectangle in client coordinates at the position (the current one when negative).
    void GetThumbRect(LPRECT rect, int position = -1) const;
    // The position for a client x coordinate: min at or left of the travel's start, max at or right of
    // its end.
    int PosFromX(int x) const;
    // Whether the point lies on the thumb at the current position.
    bool HitThumb(int x, int y) const;

protected:
    afx_msg void OnPaint();
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnCaptureChanged(CWnd* pWnd);
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg void OnKillFocus(CWnd* pNewWnd);
    afx_msg void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg UINT OnGetDlgCode();

    DECLARE_MESSAGE_MAP()

private:
    // The thumb's left edge for a position.
    int ThumbOffset(int position) const;
    void EndDrag();
    void Notify(UINT code, LPARAM lParam);
    void Repaint();

    CXBitmap m_bar;
    CXBitmap m_thumb;
    bool m_vertical = false;
    CRect m_client{0, 0, 0, 0};
    // The thumb at offset 0.
    CRect m_thumbRect{0, 0, 0, 0};
    int m_leftIndent = 0;
    int m_rightIndent = 0;
    int m_topIndent = 0;
    int m_min = 0;
    int m_max = 0;
    int m_pos = 0;
    bool m_dragging = false;
    // The latest stylus point of a drag, x at most W.
    CPoint m_dragPoint{0, 0};
};
