#include "ManagerApp.h"

#include "MainDlg.h"
#include "ProgramSkin.h"
#include "Resource.h"
#include "XSplashScreen.h"
#include "kernel/Modules.h"
#include "kernel/Resources.h"
#include "kernel/Time.h"
#include "shell/FullScreen.h"
#include "user/System.h"

BEGIN_MESSAGE_MAP(CManagerApp, CWinApp)
ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
END_MESSAGE_MAP()

void CManagerCommandLineInfo::ParseParam(LPCTSTR pszParam, BOOL, BOOL) {
    // Each token clears both: the last one decides.
    m_hide = false;
    m_new = false;
    const CString token(pszParam);
    if (token.Compare(u"hide") == 0)
        m_hide = true;
    else if (token.Compare(u"new") == 0)
        m_new = true;
}

BOOL CManagerApp::InitInstance() {
    CXSplashScreen* splash = CXSplashScreen::GetInstance();
    splash->Create(IDD_SPLASH, SkinBesideProgram(u"about.png"));
    splash->CreateStatusLabel(5, 5, 0, 15, false);
    splash->SetStatusFont(u"Arial", 10, true, false);
    splash->SetStatusStyle(RGB(0, 0, 0), RGB(255, 255, 255), DT_CENTER | DT_VCENTER, true, 0, RGB(0, 0, 0));
    splash->ShowSplash(true);
    splash->SetStatusText(u"Loading, please wait...");
    Sleep(1500);

    // Loading the driver writes its registry keys and those of its storage profile.
    if (HMODULE driver = LoadLibraryW(u"Ferrovane.dll"))
        FreeLibrary(driver);
    SHInitExtraControls();
    SetRegistryKey(u"Local AppWizard-Generated Applications");

    Main_Dlg dialog(nullptr);
    m_pMainWnd = &dialog;
    CManagerCommandLineInfo commandLine;
    ParseCommandLine(commandLine);
    dialog.m_linkExists = commandLine.IsHideRequested();
    dialog.m_newRequest = commandLine.IsNewRequested();

    splash->ShowSplash(false);
    CXSplashScreen::DestroyInstance();
    dialog.DoModal();
    return FALSE;
}

void CManagerApp::OnAppAbout() {
    CAppAboutDlg about;
    about.DoModal();
}

CAppAboutDlg::CAppAboutDlg() : CDialog(IDD_ABOUT) {}

BOOL CAppAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    return TRUE;
}
