// MessageBoxW as a dialog on the screen, answered through the test surface, by taps and by keys.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "Recorder.h"
#include "user/WindowTest.h"

namespace {

using user::test::ModalInfo;
using user::test::ModalKind;

class MessageBoxTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        user::TakeShownMessageBoxes();
    }
};

TEST_F(MessageBoxTest, AScriptedAnswerPressesThatButton) {
    user::test::AnswerNextMessageBox(IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, u"Proceed?", u"Question", MB_YESNO | MB_ICONQUESTION), IDYES);
    auto shown = user::TakeShownMessageBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, u"Proceed?");
    EXPECT_EQ(shown[0].caption, u"Question");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
}

TEST_F(MessageBoxTest, ATapOnAButtonAnswersTheBox) {
    HWND owner = user_test::Recorder::Create(WS_POPUP | WS_VISIBLE, RECT{0, 0, 240, 320});
    user::test::RunUntilIdle();
    user::test::OnNextModal(ModalKind::MessageBox, u"", [&](const ModalInfo& info) {
        EXPECT_EQ(info.text, u"Line one\nLine two");
        EXPECT_EQ(info.title, u"FerrovaneEx");
        EXPECT_FALSE(IsWindowEnabled(owner));
        EXPECT_EQ(GetActiveWindow(), info.window);
        // The box lies on the screen, inside it, with its buttons.
        RECT r = user::test::ScreenRect(info.window);
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, 240);
        ASSERT_NE(GetDlgItem(info.window, IDOK), nullptr);
        ASSERT_NE(GetDlgItem(info.window, IDCANCEL), nullptr);
        EXPECT_EQ(GetDlgItem(info.window, IDYES), nullptr);
        user::test::RunUntilIdle();
        EXPECT_TRUE(
            user::test::SaveScreenshot(std::filesystem::path(USER_TEST_OUTPUT_DIR) / "user-messagebox.png"));
        ASSERT_TRUE(user::test::TapControl(info.window, IDCANCEL));
        user::test::RunUntilIdle();
    });
    EXPECT_EQ(MessageBoxW(owner, u"Line one\nLine two", u"FerrovaneEx", MB_OKCANCEL | MB_ICONHAND), IDCANCEL);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner);
    DestroyWindow(owner);
}

TEST_F(MessageBoxTest, APressThatSlidesOffTheButtonAnswersNothing) {
    user::test::OnNextModal(ModalKind::MessageBox, u"", [](const ModalInfo& info) {
        RECT ok = user::test::ScreenRect(GetDlgItem(info.window, IDOK));
        user::test::Drag(POINT{ok.left + 5, ok.top + 5}, POINT{ok.left - 20, ok.top - 20});
        user::test::RunUntilIdle();
        EXPECT_EQ(user::test::CurrentModalWindow(), info.window);
        user::test::TapControl(info.window, IDOK);
        user::test::RunUntilIdle();
    });
    EXPECT_EQ(MessageBoxW(nullptr, u"Done", nullptr, MB_OK), IDOK);
}

struct KeyCase {
    const char* name;
    UINT type;
    UINT key;
    int expected;
};

class MessageBoxKeyTest : public MessageBoxTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(MessageBoxKeyTest, KeysAnswerTheBox) {
    KeyCase c = GetParam();
    user::test::OnNextModal(ModalKind::MessageBox, u"", [c](const ModalInfo& info) {
        user::test::PressKey(c.key, c.key == VK_RETURN ? u'\r' : 0);
        user::test::RunUntilIdle();
        if (user::test::CurrentModalWindow() == info.window) {
            // The key does not answer this box; a tap does.
            user::test::TapControl(info.window, IDNO);
            user::test::RunUntilIdle();
        }
    });
    EXPECT_EQ(MessageBoxW(nullptr, u"Key", u"Keys", c.type), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, MessageBoxKeyTest,
    testing::Values(KeyCase{"OkEnter", MB_OK, VK_RETURN, IDOK}, KeyCase{"OkEscape", MB_OK, VK_ESCAPE, IDOK},
                    KeyCase{"OkCancelEscape", MB_OKCANCEL, VK_ESCAPE, IDCANCEL},
                    KeyCase{"OkCancelSecondDefaultEnter", MB_OKCANCEL | MB_DEFBUTTON2, VK_RETURN, IDCANCEL},
                    KeyCase{"YesNoEnter", MB_YESNO, VK_RETURN, IDYES},
                    // Escape does nothing
                    KeyCase{"YesNoEscape", MB_YESNO, VK_ESCAPE, IDNO},
                    KeyCase{"YesNoCancelEscape", MB_YESNOCANCEL, VK_ESCAPE, IDCANCEL}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageBoxTest, AnUnexpectedBoxFailsTheTestWithItsTextAndIsDismissed) {
    std::vector<std::string> failures;
    user::test::SetFailureHandler([&](const std::string& text) { failures.push_back(text); });
    EXPECT_EQ(
        MessageBoxW(nullptr, u"WARNING:\nAll containers will be\n unmounted.", u"FerrovaneEx", MB_YESNO),
        IDNO);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find(
                  "unexpected message box \"FerrovaneEx\": WARNING:\nAll containers will be\n unmounted."),
              std::string::npos)
        << failures[0];
    // A box answered with a button it does not have fails too.
    failures.clear();
    user::test::AnswerNextMessageBox(IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, u"Only OK", u"Box", MB_OK), IDOK);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("has no button 6"), std::string::npos) << failures[0];
    user::test::SetFailureHandler([](const std::string& text) { ADD_FAILURE() << text; });
}

TEST_F(MessageBoxTest, AHandlerAnswersWithoutShowingAnything) {
    auto previous = user::SetMessageBoxHandler(
        [](const user::MessageBoxRecord& box) { return box.type == MB_YESNO ? IDNO : IDOK; });
    // The strict fixture would fail on a box that was shown.
    EXPECT_EQ(MessageBoxW(nullptr, u"Quiet", u"Driver", MB_YESNO), IDNO);
    EXPECT_TRUE(user::test::WindowTree().empty());
    EXPECT_EQ(user::TakeShownMessageBoxes().size(), 1u);
    user::SetMessageBoxHandler(previous);
}

} // namespace
