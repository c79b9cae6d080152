#pragma once
// CDialog and data exchange. What a caller may rely on:
// - The template is an RT_DIALOG resource of the resource module (AfxGetResourceHandle), or one given in
//   memory (CreateIndirect, InitModalIndirect). The dialog window is attached to the object before its
//   first message, so the message map sees WM_INITDIALOG (OnInitDialog) and everything after it.
// - DoModal runs the platform's modal loop and answers the value given to EndDialog (the first one
//   given), or -1 when the dialog could not be made. The owner is the parent window given to the
//   constructor (its top-level window), else the application's main window; it is disabled while the
//   dialog runs. The window is destroyed before DoModal returns, the object stays and can run again.
//   Modal dialogs nest: a handler may run another DoModal.
// - Create makes a modeless dialog; EndDialog hides it, DestroyWindow ends it.
// - The base OnInitDialog exchanges data into the controls (UpdateData(FALSE)) and answers TRUE; the
//   base OnOK takes the data back (UpdateData(TRUE)) and ends with IDOK unless that failed; the base
//   OnCancel ends with IDCANCEL. IDOK and IDCANCEL commands reach them through the message map.
// - DDX_Control attaches a member control object to the dialog's control with that id (SubclassWindow)
//   when the object is not attached yet; a missing control fails the exchange.

#include "classlib/Wnd.h"
#include "crt/Types.h"
#include "user/Dialog.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    // The control with that id for the exchange; NULL (and the exchange failed) when there is none.
    HWND PrepareCtrl(int nIDC);
    void Fail() { m_failed = true; }
    bool Failed() const { return m_failed; }

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;

private:
    bool m_failed = false;
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    CDialog() = default;
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    explicit CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    ~CDialog() override = default;

    // A modal dialog from a template in memory; the bytes must outlive DoModal.
    BOOL InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr);
    virtual INT_PTR DoModal();

    // Modeless dialogs.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    BOOL Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    BOOL CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr);

    void EndDialog(int nResult);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

    LPCTSTR m_lpszTemplateName = nullptr;
    LPCDLGTEMPLATE m_lpDialogTemplate = nullptr;
    CWnd* m_pParentWnd = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    HWND OwnerForModal() const;
};
