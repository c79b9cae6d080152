#pragma once
// The program around its main dialog: the application object, whose InitInstance shows the splash
// screen, loads the driver once, reads the command line and runs the main dialog; the command-line parser
// (only the last token counts: "hide" or "new", with '-' or '/'); and the plain about box.

#include "classlib/App.h"
#include "classlib/Dialog.h"

class CManagerCommandLineInfo : public CCommandLineInfo {
public:
    void ParseParam(LPCTSTR pszParam, BOOL bFlag, BOOL bLast) override;

    bool IsHideRequested() const { return m_hide; }
    bool IsNewRequested() const { return m_new; }

private:
    bool m_hide = false;
    bool m_new = false;
};

class CManagerApp : public CWinApp {
public:
    CManagerApp() = default;

    // Always FALSE: the program ends when the main dialog has.
    BOOL InitInstance() override;

protected:
    afx_msg void OnAppAbout();

    DECLARE_MESSAGE_MAP()
};

// The application's plain about box (template 100, no controls). The program carries no landscape
// template, so a size change has nothing to lay out anew.
class CAppAboutDlg : public CDialog {
public:
    CAppAboutDlg();
    BOOL OnInitDialog() override;
};
