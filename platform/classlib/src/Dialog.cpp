// CDialog: modal and modeless dialogs from templates, OK and Cancel, and data exchange.

#include "classlib/Dialog.h"

#include "Internal.h"
#include "classlib/App.h"

using classlib::detail::PendingCreation;

HWND CDataExchange::PrepareCtrl(int nIDC) {
    HWND control = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC) : nullptr;
    if (!control)
        Fail();
    return control;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd)
        return;
    HWND control = pDX->PrepareCtrl(nIDC);
    if (control && !rControl.SubclassWindow(control))
        pDX->Fail();
}

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCE(nIDTemplate)), m_pParentWnd(pParentWnd) {}

CDialog::CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd)
    : m_lpszTemplateName(lpszTemplateName), m_pParentWnd(pParentWnd) {}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd) {
    if (!lpDialogTemplate)
        return FALSE;
    m_lpDialogTemplate = lpDialogTemplate;
    m_pParentWnd = pParentWnd;
    return TRUE;
}

HWND CDialog::OwnerForModal() const {
    if (m_pParentWnd)
        return m_pParentWnd->m_hWnd;
    CWnd* main = AfxGetMainWnd();
    return main && main != this ? main->m_hWnd : nullptr;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd || (!m_lpDialogTemplate && !m_lpszTemplateName))
        return -1;
    HWND owner = OwnerForModal();
    PendingCreation pending(this);
    // The platform's loop ends with the window destroyed, and WM_NCDESTROY has detached it.
    if (m_lpDialogTemplate)
        return ::DialogBoxIndirectParamW(AfxGetInstanceHandle(), m_lpDialogTemplate, owner, nullptr, 0);
    return ::DialogBoxParamW(AfxGetResourceHandle(), m_lpszTemplateName, owner, nullptr, 0);
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    return Create(MAKEINTRESOURCE(nIDTemplate), pParentWnd);
}

BOOL CDialog::Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd) {
    if (m_hWnd || !lpszTemplateName)
        return FALSE;
    m_lpszTemplateName = lpszTemplateName;
    m_pParentWnd = pParentWnd;
    HWND hwnd = nullptr;
    {
        PendingCreation pending(this);
        hwnd = ::CreateDialogParamW(AfxGetResourceHandle(), lpszTemplateName,
                                    pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr, 0);
    }
    return hwnd != nullptr && m_hWnd == hwnd;
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd) {
    if (m_hWnd || !lpDialogTemplate)
        return FALSE;
    m_pParentWnd = pParentWnd;
    HWND hwnd = nullptr;
    {
        PendingCreation pending(this);
        hwnd = ::CreateDialogIndirectParamW(AfxGetInstanceHandle(), lpDialogTemplate,
                                            pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr, 0);
    }
    return hwnd != nullptr && m_hWnd == hwnd;
}

void CDialog::EndDialog(int nResult) {
    if (m_hWnd)
        ::EndDialog(m_hWnd, nResult);
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}
