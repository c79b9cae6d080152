#include "MessageBox.h"

#include <memory>

#include "ProgramSkin.h"
#include "Resource.h"

IMPLEMENT_DYNAMIC(Message_Box, CXDialog)

BEGIN_MESSAGE_MAP(Message_Box, CXDialog)
ON_COMMAND(IDC_MESSAGE_ACCEPT, OnAccept)
ON_COMMAND(IDC_MESSAGE_OK, OnAccept)
ON_COMMAND(IDC_MESSAGE_YES, OnAccept)
ON_COMMAND(IDC_MESSAGE_NO, OnDecline)
ON_MESSAGE(WM_SETTINGCHANGE, OnSettingChange)
END_MESSAGE_MAP()

Message_Box::Message_Box(CWnd* parent) : CXDialog(IDD_MESSAGE_BOX, parent) {}

BOOL Message_Box::OnInitDialog() {
    CXDialog::OnInitDialog();
    if (!LoadSkin(ProgramSkinPath(u"messagebox.xml")))
        return FALSE;
    if (m_yesNo) {
        if (CWnd* ok = GetDlgItem(IDC_MESSAGE_OK))
            ok->ShowWindow(SW_HIDE);
    } else {
        if (CWnd* yes = GetDlgItem(IDC_MESSAGE_YES))
            yes->ShowWindow(SW_HIDE);
        if (CWnd* no = GetDlgItem(IDC_MESSAGE_NO))
            no->ShowWindow(SW_HIDE);
    }
    SetDlgItemText(IDC_MESSAGE_TEXT, m_text != nullptr ? m_text : u"");
    GetWindowRect(&m_windowRect);
    return TRUE;
}

void Message_Box::OnAccept() {
    EndDialog(IDOK);
}

void Message_Box::OnDecline() {
    EndDialog(IDCANCEL);
}

LRESULT Message_Box::OnSettingChange(WPARAM, LPARAM) {
    ReturnToRect(this, m_windowRect);
    return 0;
}

BOOL ShowMessage(CWnd*, LPCWSTR text, BOOL yesNo) {
    auto box = std::make_unique<Message_Box>();
    box->m_text = text;
    box->m_yesNo = yesNo != FALSE;
    return box->DoModal() == IDCANCEL ? FALSE : TRUE;
}
