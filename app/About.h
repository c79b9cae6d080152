#pragma once
// CAbout: the about box, a skinned dialog ("skin\about.xml", layer "about") that closes at a tap on its
// surface. Quick taps in its top-left corner (and presses of the skin's control 129) are counted; past
// three the box grows to 200 x 180 in the middle of the screen and shows the skin's controls 131 and 135.

#include "XDialog.h"
#include "classlib/String.h"

class CAbout : public CXDialog {
    DECLARE_DYNAMIC(CAbout)
public:
    explicit CAbout(CWnd* parent = nullptr);

    BOOL OnInitDialog() override;

    // The program file's version text, the value "\StringFileInfo\040904E4\FileVersion" of its version
    // information; empty when it has none. The box does not show it.
    static CString GetFileVersion();

protected:
    afx_msg void OnCountTap();
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnTimer(UINT_PTR nIDEvent);

    DECLARE_MESSAGE_MAP()

private:
    int m_tapCount = 0;
    UINT_PTR m_timerId = 0;
};
