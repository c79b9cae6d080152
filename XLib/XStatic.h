#pragma once
// CXStatic: the toolkit's label, a child window of class "XSTATIC" that shows its window text in skin
// colours and an optional skin font over an optional bitmap strip, of which one chosen frame is shown,
// with optional outline rectangles. It takes no focus and answers no keys; a tap on it is posted to the
// parent as WM_RBUTTONDBLCLK with the control id in wParam and the tap point (client coordinates) in
// lParam. It paints over the background its CXDialog parent lends it.

#include "XBitmap.h"
#include "XControl.h"
#include "XControlSupport.h"
#include "classlib/Gdi.h"

class CXStatic : public CXControl {
    DECLARE_DYNAMIC(CXStatic)
public:
    CXStatic();
    ~CXStatic() override;

    // Each form makes a visible child window (no tab stop) with black centred text on white, transparent
    // and without an outline; false when the window or the strip cannot be made. The bitmap forms take
    // one frame's size and show frame 0; their strips are masked where they have a mask.
    bool Create(UINT bitmapId, bool plainLoader, UINT frameCount, LPCWSTR caption, int x, int y, CWnd* parent,
                UINT id);
    bool Create(LPCWSTR bitmapPath, UINT frameCount, LPCWSTR caption, int x, int y, CWnd* parent, UINT id);
    bool Create(LPCWSTR caption, int x, int y, int width, int height, CWnd* parent, UINT id);
    // Makes the static from an "xStatic" element, with the dialog as parent.
    bool LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR basePath) override;

    // Each setter repaints.
    void SetStyle(COLORREF textColor, COLORREF backgroundColor, UINT textFormat, bool transparent,
                  int outlineWidth, COLORREF outlineColor);
    void SetTextColor(COLORREF color);
    void SetBackgroundColor(COLORREF color);
    // DrawText format flags.
    void SetTextAlign(UINT format);
    void SetTransparent(bool transparent);
    void SetOutline(int width, COLORREF color);
    // A one-frame strip; the window takes its size. False (and no strip left) when it does not load.
    bool SetBitmap(UINT bitmapId, bool plainLoader);
    bool SetBitmap(LPCWSTR bitmapPath);
    // Ignored for an index outside the strip.
    void SetFrame(UINT index);
    UINT GetFrame() const { return m_frame; }
    // size is a character height in pixels. The window keeps its size.
    void SetFont(LPCWSTR faceName, int size, bool bold, bool italic);

protected:
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnPaint();
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnDestroy();
    afx_msg LRESULT OnSetText(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    bool MakeWindow(LPCWSTR caption, const RECT& rect, CWnd* parent, UINT id);
    bool AdoptStrip();
    bool FitToStrip();
    void Repaint();

    CFont m_font;
    CXBitmap m_strip;
    UINT m_frame = 0;
    CaptionLook m_look;
    UINT m_textFormat = DT_CENTER | DT_VCENTER;
};
