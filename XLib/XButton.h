#pragma once
// CXButton: the skinned push button. A child window of class "XBUTTON" of the size of one frame of its
// bitmap strip: frame 0 normal, 1 pressed, 2 disabled, and in a 4-frame strip 3 for the focused button
// that is not pressed. Its parent is a CXDialog: the button paints over the dialog's background, stays
// unpainted while the dialog's redraw lock is set, and moves the focus along the dialog's tab order with
// the arrow keys.
//
// A tap (a press on the button, wherever the stylus is then lifted), a released Enter key, or an Enter
// press seen through the dialog manager posts WM_COMMAND (control id, BN_CLICKED; lParam the button's
// window) to the parent. With a hold command set, keeping the stylus down for the hold time posts the hold
// command instead. Keys other than Enter and the arrows are posted on to the parent.

#include "XBitmap.h"
#include "XControl.h"
#include "crt/Types.h"

class CXButton : public CXControl {
    DECLARE_DYNAMIC(CXButton)
public:
    CXButton();
    ~CXButton() override;

    // The strip as a bitmap resource of the program (the shell's image loader unless plainLoader), or as
    // an image file, with 4 frames when it carries the focus image, else 3. False when the strip does not
    // load (no window is made) or the window cannot be made; x and y are in the parent's client area.
    bool Create(UINT bitmapId, bool plainLoader, bool hasFocusImage, int x, int y, CWnd* parent, UINT id);
    bool Create(LPCWSTR bitmapPath, bool hasFocusImage, int x, int y, CWnd* parent, UINT id);
    // Makes the button from an "xButton" element ("id", "controlBitmap" after basePath, "hasFocusImage",
    // "x", "y") in the dialog. An element without "id" makes no button.
    bool LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR basePath) override;
    // Loads another strip and repaints; the window keeps its size. False when the new strip did not load
    // (the old one is gone either way).
    bool SetBitmap(LPCWSTR bitmapPath, bool hasFocusImage);
    // Holding the stylus down for milliseconds posts command instead of the button's id; 0 switches it off.
    void SetHoldCommand(UINT command, UINT milliseconds);
    // Stops the hold timer and frees the strip.
    void ReleaseResources() override;

protected:
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnPaint();
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg void OnKillFocus(CWnd* pNewWnd);
    afx_msg void OnDestroy();
    afx_msg LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    static constexpr DWORD kPressed = 4;

    bool CreateWindowForStrip(int x, int y, CWnd* parent, UINT id);
    CXDialog* ParentDialog() const;
    int CurrentFrame() const;
    void Repaint();
    void PostCommand(UINT command);
    void StopHoldTimer();

    DWORD m_state = 0;
    CXBitmap m_strip;
    UINT_PTR m_holdTimer = 0;
    UINT m_holdCommand = 0;
    UINT m_holdTime = 0;
};
