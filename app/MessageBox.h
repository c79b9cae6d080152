#pragma once
// Message_Box: the program's own message box, a skinned dialog ("skin\messagebox.xml") with one OK button
// or a Yes and a No button, and ShowMessage, the one way to show it.

#include "XDialog.h"
#include "classlib/Geometry.h"

class Message_Box : public CXDialog {
    DECLARE_DYNAMIC(Message_Box)
public:
    explicit Message_Box(CWnd* parent = nullptr);

    BOOL OnInitDialog() override;

    // Set before the run. The box shows the text but does not own it.
    bool m_yesNo = false;
    LPCWSTR m_text = nullptr;

protected:
    afx_msg void OnAccept();
    afx_msg void OnDecline();
    afx_msg LRESULT OnSettingChange(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    // Where the box stood once it was set up.
    CRect m_windowRect;
};

// Shows the text in a modal box, with Yes and No when yesNo is set, else with OK; FALSE when the user
// declined (No, or the box was cancelled), TRUE otherwise. The owner is not used: the box has no parent.
BOOL ShowMessage(CWnd* owner, LPCWSTR text, BOOL yesNo = FALSE);
