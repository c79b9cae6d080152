// CDialog: modal dialogs from the module's templates (nested, ended early, ended by OK and Cancel),
// modeless dialogs, and DDX_Control binding the template's controls to member objects.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NoDigitsEdit.h"
#include "classlib/Controls.h"
#include "classlib/Dialog.h"
#include "kernel/Resources.h"
#include "user/WindowTest.h"

namespace {

using user::test::ModalInfo;
using user::test::ModalKind;
using user::test::RunUntilIdle;

constexpr UINT kOuter = 300;
constexpr UINT kMiddle = 301;
constexpr UINT kInner = 302;
constexpr UINT kForm = 303;
constexpr UINT kMissing = 399;

constexpr WORD kEditId = 1011;
constexpr WORD kRunNext = 900;
constexpr WORD kEndFirst = 1000;
constexpr WORD kEndLast = 1010;

const user::DialogItem kButtons[] = {
    {user::kButtonClass, u"OK", IDOK, 10, 60, 40, 14, WS_TABSTOP | BS_DEFPUSHBUTTON},
    {user::kButtonClass, u"Cancel", IDCANCEL, 60, 60, 40, 14, WS_TABSTOP},
};
const user::DialogItem kFormItems[] = {
    {user::kEditClass, u"", kEditId, 10, 10, 100, 14, WS_TABSTOP | WS_BORDER},
    {user::kButtonClass, u"OK", IDOK, 10, 60, 40, 14, WS_TABSTOP | BS_DEFPUSHBUTTON},
    {user::kButtonClass, u"Cancel", IDCANCEL, 60, 60, 40, 14, WS_TABSTOP},
};
const user::DialogTemplateBytes kOuterTemplate({WS_POPUP | WS_CAPTION, 0, 0, 0, 120, 80, u"Outer"}, kButtons);
const user::DialogTemplateBytes kMiddleTemplate({WS_POPUP | WS_CAPTION, 0, 5, 5, 110, 80, u"Middle"},
                                                kButtons);
const user::DialogTemplateBytes kInnerTemplate({WS_POPUP | WS_CAPTION, 0, 10, 10, 100, 80, u"Inner"},
                                               kButtons);
const user::DialogTemplateBytes kFormTemplate({WS_POPUP | WS_CAPTION, 0, 0, 0, 120, 80, u"Form"}, kFormItems);
const kernel::ResourceEntry kResources[] = {
    {RT_DIALOG, MAKEINTRESOURCE(kOuter), kOuterTemplate.Data(), kOuterTemplate.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(kMiddle), kMiddleTemplate.Data(), kMiddleTemplate.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(kInner), kInnerTemplate.Data(), kInnerTemplate.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(kForm), kFormTemplate.Data(), kFormTemplate.Size()},
};
const kernel::ResourceTable kResourceTable(kResources);

// A dialog that can run another one modally and end with the other's result plus one.
class CChainDialog : public CDialog {
public:
    CChainDialog(UINT nIDTemplate, CWnd* pParentWnd, CChainDialog* pNext)
        : CDialog(nIDTemplate, pParentWnd), m_next(pNext) {}

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (m_endAtOnce)
            EndDialog(m_endAtOnce);
        return TRUE;
    }
    afx_msg void OnRunNext() {
        m_nextResult = m_next->DoModal();
        EndDialog(static_cast<int>(m_nextResult) + 1);
    }
    afx_msg void OnEnd(UINT nID) { EndDialog(static_cast<int>(nID)); }

    CChainDialog* m_next;
    INT_PTR m_nextResult = 0;
    int m_endAtOnce = 0;

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CChainDialog, CDialog)
ON_COMMAND(kRunNext, OnRunNext)
ON_COMMAND_RANGE(kEndFirst, kEndLast, OnEnd)
END_MESSAGE_MAP()

// When the dialog's loop starts: checks that its owner is disabled, then sends it the command.
void AnswerWhenShown(const char16_t* title, const CWnd* owner, WORD command) {
    user::test::OnNextModal(ModalKind::Dialog, title, [owner, command](const ModalInfo& info) {
        if (owner) {
            EXPECT_FALSE(owner->IsWindowEnabled()) << "the owner of the running dialog";
        }
        PostMessageW(info.window, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    });
}

class DialogTest : public user::test::WindowTest {
protected:
    void TearDown() override {
        CWnd::DeleteTempMap();
        WindowTest::TearDown();
    }
};

TEST_F(DialogTest, ModalDialogsNestThreeDeepAndEachReturnsItsEndResult) {
    CChainDialog outer(kOuter, nullptr, nullptr);
    CChainDialog middle(kMiddle, &outer, nullptr);
    CChainDialog inner(kInner, &middle, nullptr);
    outer.m_next = &middle;
    middle.m_next = &inner;
    AnswerWhenShown(u"Outer", nullptr, kRunNext);
    AnswerWhenShown(u"Middle", &outer, kRunNext);
    AnswerWhenShown(u"Inner", &middle, kEndFirst + 5);

    EXPECT_EQ(outer.DoModal(), kEndFirst + 7);
    EXPECT_EQ(middle.m_nextResult, kEndFirst + 5);
    EXPECT_EQ(outer.m_nextResult, kEndFirst + 6);
    for (CChainDialog* dialog : {&outer, &middle, &inner})
        EXPECT_EQ(dialog->m_hWnd, nullptr);
}

TEST_F(DialogTest, ModalResultsOfOkCancelEarlyEndAndMissingTemplate) {
    struct Case {
        const char* what;
        UINT templateId;
        int answer;    // button answered in the loop, 0: none
        int endAtOnce; // EndDialog in OnInitDialog, 0: none
        INT_PTR result;
    };
    const Case cases[] = {
        {"OK ends with IDOK", kOuter, IDOK, 0, IDOK},
        {"Cancel ends with IDCANCEL", kOuter, IDCANCEL, 0, IDCANCEL},
        {"ended during initialisation, never shown", kOuter, 0, IDCANCEL, IDCANCEL},
        {"no such template", kMissing, 0, 0, -1},
    };
    for (const Case& c : cases) {
        CChainDialog dialog(c.templateId, nullptr, nullptr);
        dialog.m_endAtOnce = c.endAtOnce;
        if (c.answer)
            user::test::AnswerNextDialog(u"Outer", c.answer);
        EXPECT_EQ(dialog.DoModal(), c.result) << c.what;
        EXPECT_EQ(dialog.m_hWnd, nullptr) << c.what;
        EXPECT_EQ(user::test::PendingAnswers(), 0u) << c.what;
    }
}

// A dialog that binds its edit box to a member object, which drops digits.
class CFormDialog : public CDialog {
public:
    explicit CFormDialog(int editId = kEditId) : CDialog(kForm), m_editId(editId) {}

    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        m_exchanges.push_back(pDX->m_bSaveAndValidate);
        DDX_Control(pDX, m_editId, m_edit);
    }
    void OnOK() override {
        m_textAtOk = user::test::Text(m_edit.m_hWnd);
        CDialog::OnOK();
    }

    CNoDigitsEdit m_edit;
    int m_editId;
    std::vector<BOOL> m_exchanges;
    std::u16string m_textAtOk;
};

void TypeIntoBoundEdit(CFormDialog& dialog, const char16_t* text) {
    user::test::OnNextModal(ModalKind::Dialog, u"Form", [&dialog, text](const ModalInfo& info) {
        EXPECT_EQ(dialog.m_edit.m_hWnd, GetDlgItem(info.window, kEditId));
        EXPECT_EQ(CWnd::FromHandlePermanent(GetDlgItem(info.window, kEditId)), &dialog.m_edit);
        dialog.m_edit.SetFocus();
        user::test::TypeText(text);
        RunUntilIdle();
        PostMessageW(info.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
}

TEST_F(DialogTest, DdxControlBindsTheTemplateControlForEachRun) {
    CFormDialog dialog;
    TypeIntoBoundEdit(dialog, u"a1b2");
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_textAtOk, u"ab");
    EXPECT_EQ(dialog.m_exchanges, (std::vector<BOOL>{FALSE, TRUE}));
    EXPECT_EQ(dialog.m_edit.m_hWnd, nullptr);

    // The same object runs again and binds the new window's control.
    TypeIntoBoundEdit(dialog, u"c3");
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_textAtOk, u"c");
}

TEST_F(DialogTest, FailedExchangeKeepsOkFromEndingTheDialog) {
    CFormDialog dialog(kMissing);
    user::test::OnNextModal(ModalKind::Dialog, u"Form", [](const ModalInfo& info) {
        // OK comes first; had it ended the dialog, the result would be IDOK.
        PostMessageW(info.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        PostMessageW(info.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.m_edit.m_hWnd, nullptr);
}

TEST_F(DialogTest, ModelessDialogIsAttachedUntilItsWindowIsDestroyed) {
    CChainDialog dialog(kForm, nullptr, nullptr);
    ASSERT_TRUE(dialog.Create(kForm));
    HWND window = dialog.m_hWnd;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(window), &dialog);
    EXPECT_NE(GetDlgItem(window, kEditId), nullptr);
    // EndDialog only hides a modeless dialog.
    dialog.ShowWindow(SW_SHOW);
    dialog.EndDialog(IDOK);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(dialog.IsWindowVisible());
    EXPECT_TRUE(dialog.DestroyWindow());
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_FALSE(dialog.Create(kMissing));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

} // namespace
