#include "Amount.h"

#include <algorithm>

#include "ProgramSkin.h"
#include "Resource.h"
#include "shell/FullScreen.h"

// The class record names CDialog as its base, as the program always had it.
IMPLEMENT_DYNAMIC(CAmount, CDialog)

BEGIN_MESSAGE_MAP(CAmount, CXDialog)
ON_COMMAND(IDOK, OnAccept)
ON_COMMAND(IDCANCEL, OnDecline)
ON_MESSAGE(WM_SETTINGCHANGE, OnSettingChange)
END_MESSAGE_MAP()

namespace {

// A label text cut to what a 260-unit buffer holds with its terminator.
CString Label(LPCWSTR prefix, const char16_t* value) {
    CString text =
        CString(prefix) + CString(value, static_cast<int>(std::char_traits<char16_t>::length(value)));
    return text.GetLength() > MAX_PATH - 1 ? text.Left(MAX_PATH - 1) : text;
}

} // namespace

CAmount::CAmount(CWnd* parent) : CXDialog(IDD_AMOUNT, parent) {}

BOOL CAmount::OnInitDialog() {
    CXDialog::OnInitDialog();
    SHFullScreen(m_hWnd, SHFS_SHOWSIPBUTTON);
    // The record's texts end within their fields whatever the caller left in them.
    m_record.containerPath[kContainerTextUnits - 1] = 0;
    m_record.folderName[kContainerTextUnits - 1] = 0;
    const CString pathLabel = Label(u" Mounting container:\n   ", m_record.containerPath);
    const CString folderLabel = Label(u" Folder: ", m_record.folderName);
    if (!LoadSkin(ProgramSkinPath(u"form_amount.xml")))
        return FALSE;
    SetDlgItemText(IDC_AMOUNT_FOLDER, folderLabel);
    SetDlgItemText(IDC_AMOUNT_PATH, pathLabel);
    GetWindowRect(&m_windowRect);
    return TRUE;
}

void CAmount::OnAccept() {
    m_record.status = 0;
    GetDlgItemText(IDC_AMOUNT_PASSWORD, reinterpret_cast<LPWSTR>(m_record.password), kContainerTextUnits);
    EndDialog(IDOK);
}

void CAmount::OnDecline() {
    m_record.status = -1;
    EndDialog(IDCANCEL);
}

LRESULT CAmount::OnSettingChange(WPARAM, LPARAM) {
    ReturnToRect(this, m_windowRect);
    return 0;
}
