// The auto-mount password dialog: the typed password and the status it hands back, its labels, its place
// after a settings change, and a missing skin.

#include <gtest/gtest.h>

#include <string>

#include "Amount.h"
#include "Resource.h"
#include "SkinTestSupport.h"
#include "kernel/Modules.h"
#include "user/TestSurface.h"

namespace {

using user::test::ModalInfo;
using user::test::ModalKind;

constexpr COLORREF kGrey = RGB(0x80, 0x80, 0x80);

class AmountTest : public skintest::SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        kernel::SetProgramDevicePath(u"\\program files\\ferrovane\\ferrovane.exe");
    }
    void TearDown() override {
        kernel::SetProgramDevicePath({});
        SkinTest::TearDown();
    }
    void WriteSkin() {
        WriteDeviceFile(u"\\program files\\ferrovane\\skin\\button.png",
                        skintest::StripPng(40, 20, {kGrey, kGrey, kGrey}));
        WriteDeviceFile(u"\\program files\\ferrovane\\skin\\form_amount.xml",
                        R"(<xForm relativePathes="true" width="200" height="120">
  <xLayer name="amount">
    <xStatic id="1052" x="0" y="0" width="200" height="30"/>
    <xStatic id="1053" x="0" y="30" width="200" height="20"/>
    <xButton id="1" controlBitmap="button.png" x="10" y="90"/>
    <xButton id="2" controlBitmap="button.png" x="150" y="90"/>
  </xLayer>
</xForm>)");
    }
    // Runs the dialog with the record's path and folder; the action answers it from inside its loop.
    INT_PTR Run(CAmount& dialog, const std::function<void(HWND)>& action) {
        user::test::OnNextModal(ModalKind::Dialog, u"", [&](const ModalInfo& info) { action(info.window); });
        return dialog.DoModal();
    }
    static void Fill(CAmount& dialog, const std::u16string& path, const std::u16string& folder) {
        path.copy(dialog.m_record.containerPath, path.size());
        folder.copy(dialog.m_record.folderName, folder.size());
        dialog.m_record.status = -1;
    }
};

TEST_F(AmountTest, TheTypedPasswordComesBackWithItsStatus) {
    WriteSkin();
    CAmount dialog;
    Fill(dialog, u"\\My Documents\\a.fvc", u"Secret");
    std::u16string pathLabel;
    std::u16string folderLabel;
    EXPECT_EQ(Run(dialog,
                  [&](HWND window) {
                      pathLabel = user::test::Text(GetDlgItem(window, IDC_AMOUNT_PATH));
                      folderLabel = user::test::Text(GetDlgItem(window, IDC_AMOUNT_FOLDER));
                      SetFocus(GetDlgItem(window, IDC_AMOUNT_PASSWORD));
                      user::test::TypeText(u"pa ss");
                      ASSERT_TRUE(user::test::TapControl(window, IDOK));
                      user::test::RunUntilIdle();
                  }),
              IDOK);
    EXPECT_EQ(pathLabel, u" Mounting container:\n   \\My Documents\\a.fvc");
    EXPECT_EQ(folderLabel, u" Folder: Secret");
    EXPECT_EQ(std::u16string(dialog.m_record.password), u"pa ss");
    EXPECT_EQ(dialog.m_record.status, 0);

    // Cancelled: the password stays as it was.
    dialog.m_record.status = -1;
    EXPECT_EQ(Run(dialog,
                  [](HWND window) {
                      user::test::TypeText(u"other");
                      ASSERT_TRUE(user::test::TapControl(window, IDCANCEL));
                      user::test::RunUntilIdle();
                  }),
              IDCANCEL);
    EXPECT_EQ(std::u16string(dialog.m_record.password), u"pa ss");
    EXPECT_EQ(dialog.m_record.status, -1);

    // Accepted empty: an empty password with status 0.
    dialog.m_record.status = -1;
    EXPECT_EQ(Run(dialog, [](HWND window) { ASSERT_TRUE(user::test::TapControl(window, IDOK)); }), IDOK);
    EXPECT_EQ(std::u16string(dialog.m_record.password), u"");
    EXPECT_EQ(dialog.m_record.status, 0);
}

// The arrow keys move the focus between the skin's buttons, along the dialog's tab order.
TEST_F(AmountTest, ArrowKeysMoveBetweenTheButtons) {
    WriteSkin();
    CAmount dialog;
    Fill(dialog, u"\\a.fvc", u"A");
    HWND afterRight = nullptr;
    HWND afterLeft = nullptr;
    HWND accept = nullptr;
    HWND cancel = nullptr;
    Run(dialog, [&](HWND window) {
        accept = GetDlgItem(window, IDOK);
        cancel = GetDlgItem(window, IDCANCEL);
        SetFocus(accept);
        user::test::PressKey(VK_RIGHT);
        user::test::RunUntilIdle();
        afterRight = GetFocus();
        user::test::PressKey(VK_LEFT);
        user::test::RunUntilIdle();
        afterLeft = GetFocus();
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(afterRight, cancel);
    EXPECT_EQ(afterLeft, accept);
}

TEST_F(AmountTest, LongLabelsAreCutAndTheDialogReturnsToItsPlace) {
    WriteSkin();
    CAmount dialog;
    Fill(dialog, std::u16string(240, u'p'), u"F");
    std::u16string pathLabel;
    EXPECT_EQ(Run(dialog,
                  [&](HWND window) {
                      pathLabel = user::test::Text(GetDlgItem(window, IDC_AMOUNT_PATH));
                      const RECT placed = user::test::ScreenRect(window);
                      SetWindowPos(window, nullptr, 0, 0, 50, 50, SWP_NOZORDER);
                      SendMessageW(window, WM_SETTINGCHANGE, 0, 0);
                      EXPECT_TRUE(CRect(user::test::ScreenRect(window)) == placed);
                      SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
                  }),
              IDCANCEL);
    EXPECT_EQ(pathLabel.size(), 259u);
    EXPECT_EQ(pathLabel.substr(0, 24), u" Mounting container:\n   ");
}

TEST_F(AmountTest, WithoutItsSkinTheDialogStillEnds) {
    CAmount dialog;
    Fill(dialog, u"\\a.fvc", u"A");
    EXPECT_EQ(Run(dialog,
                  [](HWND window) {
                      EXPECT_EQ(GetDlgItem(window, IDC_AMOUNT_PATH), nullptr);
                      user::test::PressKey(VK_ESCAPE);
                      user::test::RunUntilIdle();
                  }),
              IDCANCEL);
    EXPECT_EQ(dialog.m_record.status, -1);
}

} // namespace
