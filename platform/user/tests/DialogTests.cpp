// Dialogs: templates in dialog units, modal loops (nested, hidden, ended early), the dialog manager, and
// the dialog item calls.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "Recorder.h"
#include "kernel/Errors.h"
#include "kernel/Resources.h"
#include "user/WindowTest.h"

namespace {

using testing::ElementsAre;
using user_test::Received;
using user_test::Recorder;

constexpr WORD kFirst = 101;
constexpr WORD kSecond = 102;
constexpr WORD kThird = 103;

const user::DialogItem kItems[] = {
    {u"Recorder", u"one", kFirst, 10, 20, 40, 14, WS_TABSTOP | WS_GROUP},
    {u"Recorder", u"two", kSecond, 60, 20, 40, 14, WS_TABSTOP},
    {u"Recorder", u"three", kThird, 10, 40, 40, 14, WS_TABSTOP | WS_GROUP},
};
const user::DialogTemplateBytes
    kDialog({WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 4, 6, 120, 80, u"Recorded", 8, u"MS Shell Dlg"}, kItems);
const user::DialogTemplateBytes kOuter({WS_POPUP | WS_CAPTION, 0, 0, 0, 100, 60, u"Outer"}, {});
const user::DialogTemplateBytes kInner({WS_POPUP | WS_CAPTION, 0, 10, 10, 80, 40, u"Inner"}, {});
// The second is a template cut short in its second item.
const kernel::ResourceEntry kResources[] = {
    {RT_DIALOG, MAKEINTRESOURCE(300), kDialog.Data(), kDialog.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(302), kDialog.Data(), 70},
};
const kernel::ResourceTable kResourceTable(kResources);

// The dialog units of the template's font, measured here with the drawing library.
SIZE MeasureUnits(int points, const char16_t* face) {
    LOGFONTW logFont{};
    logFont.lfHeight = -(points * 96 + 36) / 72;
    std::memcpy(logFont.lfFaceName, face, (std::char_traits<char16_t>::length(face) + 1) * 2);
    HFONT font = CreateFontIndirectW(&logFont);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    return SIZE{(extent.cx + 26) / 52, metrics.tmHeight};
}

int Pixels(int units, int base, int divisor) {
    return (units * base + divisor / 2) / divisor;
}

class DialogTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Recorder::Clear();
        Recorder::Register();
    }
    void TearDown() override {
        Recorder::Clear();
        WindowTest::TearDown();
    }
};

TEST_F(DialogTest, ATemplateIsLaidOutInPixelsFromTheDialogUnitsOfItsFont) {
    HWND dialog = CreateDialogIndirectParamW(nullptr, kDialog.Template(), nullptr, nullptr, 0);
    ASSERT_NE(dialog, nullptr);
    SIZE units = MeasureUnits(8, u"MS Shell Dlg");
    ASSERT_GT(units.cx, 0);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, Pixels(120, units.cx, 4));
    EXPECT_EQ(client.bottom, Pixels(80, units.cy, 8));
    HWND second = GetDlgItem(dialog, kSecond);
    ASSERT_NE(second, nullptr);
    RECT r;
    GetWindowRect(second, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, Pixels(60, units.cx, 4));
    EXPECT_EQ(r.top, Pixels(20, units.cy, 8));
    EXPECT_EQ(r.right, Pixels(100, units.cx, 4));
    EXPECT_EQ(r.bottom, Pixels(34, units.cy, 8));
    RECT mapped{60, 20, 100, 34};
    MapDialogRect(dialog, &mapped);
    EXPECT_EQ(mapped.left, r.left);
    EXPECT_EQ(mapped.bottom, r.bottom);
    // Controls get the dialog's font; the texts and ids come from the template.
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    bool gotFont = false;
    for (const Received& m : Recorder::Log())
        gotFont = gotFont ||
                  (m.hwnd == second && m.message == WM_SETFONT && reinterpret_cast<HFONT>(m.wParam) == font);
    EXPECT_TRUE(gotFont);
    EXPECT_EQ(user::test::Text(second), u"two");
    EXPECT_EQ(user::test::Text(dialog), u"Recorded");
    EXPECT_TRUE(IsWindowVisible(dialog));
    DestroyWindow(dialog);
    // The same template as a resource of the program.
    HWND fromResource = CreateDialogParamW(nullptr, MAKEINTRESOURCE(300), nullptr, nullptr, 0);
    ASSERT_NE(fromResource, nullptr);
    EXPECT_NE(GetDlgItem(fromResource, kThird), nullptr);
    DestroyWindow(fromResource);
    EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCE(301), nullptr, nullptr, 0), nullptr);
}

TEST_F(DialogTest, MalformedTemplatesAndUnknownControlClassesFailCleanly) {
    // A resource knows its size: a template cut short is refused without reading past it.
    SetLastError(0);
    EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCE(302), nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // The extended template format is refused.
    WORD extended[16] = {1, 0xFFFF};
    EXPECT_EQ(CreateDialogIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(extended), nullptr,
                                         nullptr, 0),
              nullptr);
    const user::DialogItem unknown[] = {{u"NoSuchClass", u"", 1, 0, 0, 10, 10}};
    const user::DialogTemplateBytes failing({WS_POPUP, 0, 0, 0, 50, 50, u"Failing"}, unknown);
    SetLastError(0);
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, failing.Template(), nullptr, nullptr, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    const user::DialogTemplateBytes tolerant({WS_POPUP | DS_NOFAILCREATE, 0, 0, 0, 50, 50, u"Tolerant"},
                                             unknown);
    HWND dialog = CreateDialogIndirectParamW(nullptr, tolerant.Template(), nullptr, nullptr, 0);
    EXPECT_NE(dialog, nullptr);
    DestroyWindow(dialog);
}

struct Nested {
    static inline int outerTicks = 0;
    static inline HWND outer = nullptr;
    static INT_PTR CALLBACK OuterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
        switch (message) {
        case WM_INITDIALOG:
            outer = hwnd;
            SetTimer(hwnd, 1, 100, nullptr);
            return TRUE;
        case WM_TIMER:
            ++outerTicks;
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == 100) {
                INT_PTR inner = DialogBoxIndirectParamW(nullptr, kInner.Template(), hwnd, InnerProc, 0);
                EndDialog(hwnd, inner + 1);
            }
            return TRUE;
        default:
            return FALSE;
        }
    }
    static INT_PTR CALLBACK InnerProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }
};

TEST_F(DialogTest, AModalDialogInsideAModalDialogWhileTheOuterTimerRuns) {
    Nested::outerTicks = 0;
    user::test::OnNextModal(user::test::ModalKind::Dialog, u"Outer", [](const user::test::ModalInfo& info) {
        PostMessageW(info.window, WM_COMMAND, 100, 0);
    });
    user::test::OnNextModal(user::test::ModalKind::Dialog, u"Inner", [](const user::test::ModalInfo& info) {
        EXPECT_FALSE(IsWindowEnabled(Nested::outer));
        EXPECT_EQ(GetActiveWindow(), info.window);
        int before = Nested::outerTicks;
        user::test::AdvanceTime(1000);
        EXPECT_EQ(Nested::outerTicks - before, 10);
        EndDialog(info.window, 7);
    });
    INT_PTR result = DialogBoxIndirectParamW(nullptr, kOuter.Template(), nullptr, Nested::OuterProc, 0);
    EXPECT_EQ(result, 8);
    EXPECT_FALSE(IsWindow(Nested::outer));
}

struct EndsEarly {
    static inline bool shown = false;
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
        if (message == WM_SHOWWINDOW)
            shown = true;
        if (message != WM_INITDIALOG)
            return FALSE;
        ShowWindow(hwnd, SW_HIDE);
        EndDialog(hwnd, static_cast<INT_PTR>(lParam));
        EndDialog(hwnd, 99); // the first end decides
        return TRUE;
    }
};

TEST_F(DialogTest, AHiddenModalDialogThatEndsInItsInitialisationIsNeverShown) {
    EndsEarly::shown = false;
    // The strict fixture fails the test if a modal loop started.
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, kOuter.Template(), nullptr, EndsEarly::Proc, 42), 42);
    EXPECT_FALSE(EndsEarly::shown);
}

TEST_F(DialogTest, AModalDialogDisablesItsOwnerAndGivesItBackTheActivation) {
    HWND owner = Recorder::Create(WS_POPUP | WS_VISIBLE, RECT{0, 0, 240, 320});
    HWND child = Recorder::Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 20, 20}, owner, 5);
    user::test::RunUntilIdle();
    user::test::OnNextModal(user::test::ModalKind::Dialog, u"", [&](const user::test::ModalInfo& info) {
        EXPECT_FALSE(IsWindowEnabled(owner));
        EXPECT_EQ(GetParent(info.window), owner);
        // Taps on the disabled owner do nothing.
        Recorder::Log().clear();
        user::test::Tap(POINT{230, 310});
        user::test::RunUntilIdle();
        EXPECT_TRUE(Recorder::MessagesOf(owner, {WM_LBUTTONDOWN}).empty());
        SendMessageW(info.window, WM_CLOSE, 0, 0); // WM_CLOSE becomes IDCANCEL
    });
    struct CancelProc {
        static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
            if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
                EndDialog(hwnd, IDCANCEL);
            return message == WM_INITDIALOG || message == WM_COMMAND;
        }
    };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, kInner.Template(), child, CancelProc::Proc, 0), IDCANCEL);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner);
    DestroyWindow(owner);
}

TEST_F(DialogTest, AnUnexpectedDialogIsReportedWithItsTitleAndDismissed) {
    std::vector<std::string> failures;
    user::test::SetFailureHandler([&](const std::string& text) { failures.push_back(text); });
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, kOuter.Template(), nullptr, Nested::InnerProc, 0), IDCANCEL);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("unexpected dialog \"Outer\""), std::string::npos) << failures[0];
    user::test::SetFailureHandler([](const std::string& text) { ADD_FAILURE() << text; });
}

class DialogManagerTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        m_dialog = CreateDialogIndirectParamW(nullptr, kDialog.Template(), nullptr, nullptr, 0);
        ASSERT_NE(m_dialog, nullptr);
        m_first = GetDlgItem(m_dialog, kFirst);
        m_second = GetDlgItem(m_dialog, kSecond);
        m_third = GetDlgItem(m_dialog, kThird);
        SetFocus(m_first);
        user::test::RunUntilIdle();
        Recorder::Log().clear();
    }
    void TearDown() override {
        DestroyWindow(m_dialog);
        DialogTest::TearDown();
    }
    // Keys through the dialog manager, as the program's loop sends them.
    void Press(UINT vk, WCHAR character = 0) {
        user::test::PressKey(vk, character);
        user::test::RunUntilIdle();
    }
    static void AnswerCodes(std::function<LRESULT(HWND)> codes) {
        Recorder::Handler() = [codes](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT& result) {
            if (message != WM_GETDLGCODE)
                return false;
            result = codes(hwnd);
            return true;
        };
    }
    HWND m_dialog = nullptr;
    HWND m_first = nullptr;
    HWND m_second = nullptr;
    HWND m_third = nullptr;
};

TEST_F(DialogManagerTest, TabMovesBetweenTabStopsAndAsksTheControlWithTheKey) {
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), m_second);
    std::vector<Received> codes;
    for (const Received& r : Recorder::Log())
        if (r.message == WM_GETDLGCODE)
            codes.push_back(r);
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes[0].hwnd, m_first);
    EXPECT_EQ(codes[0].wParam, static_cast<WPARAM>(VK_TAB));
    ASSERT_NE(codes[0].lParam, 0);
    Press(VK_TAB);
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), m_first); // wraps
    user::test::KeyDown(VK_SHIFT);
    Press(VK_TAB);
    user::test::KeyUp(VK_SHIFT);
    EXPECT_EQ(GetFocus(), m_third);
    // A hidden or disabled control is passed over.
    EnableWindow(m_second, FALSE);
    SetFocus(m_first);
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), m_third);
    EXPECT_EQ(GetNextDlgTabItem(m_dialog, nullptr, FALSE), m_first);
    EXPECT_EQ(GetNextDlgTabItem(m_dialog, nullptr, TRUE), m_third);
    // A control that wants the tab key gets it.
    AnswerCodes([](HWND) { return DLGC_WANTTAB; });
    Recorder::Log().clear();
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), m_third);
    EXPECT_THAT(Recorder::MessagesOf(m_third, {WM_KEYDOWN}), ElementsAre(WM_KEYDOWN));
}

TEST_F(DialogManagerTest, ArrowsMoveWithinTheGroupUnlessTheControlWantsThem) {
    Press(VK_RIGHT);
    EXPECT_EQ(GetFocus(), m_second);
    Press(VK_RIGHT);
    EXPECT_EQ(GetFocus(), m_first); // the group is the first two
    Press(VK_UP);
    EXPECT_EQ(GetFocus(), m_second);
    EXPECT_EQ(GetNextDlgGroupItem(m_dialog, m_third, FALSE), m_third);
    AnswerCodes([](HWND) { return DLGC_WANTARROWS; });
    Recorder::Log().clear();
    Press(VK_RIGHT);
    EXPECT_EQ(GetFocus(), m_second);
    EXPECT_THAT(Recorder::MessagesOf(m_second, {WM_KEYDOWN, WM_KEYUP}), ElementsAre(WM_KEYDOWN, WM_KEYUP));
}

struct Commands {
    static inline std::vector<WPARAM>* out = nullptr;
    static INT_PTR CALLBACK Proc(HWND, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_COMMAND)
            out->push_back(wParam);
        return message == WM_COMMAND;
    }
};

TEST_F(DialogManagerTest, EnterClicksTheFocusedPushButtonOrSendsTheDefaultCommand) {
    std::vector<WPARAM> commands;
    SetWindowLongPtrW(m_dialog, DWLP_DLGPROC, 0);
    Recorder::Handler() = [&](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message == WM_GETDLGCODE) {
            result = hwnd == m_second ? DLGC_DEFPUSHBUTTON : 0;
            return true;
        }
        return false;
    };
    Commands::out = &commands;
    SetWindowLongPtrW(m_dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(Commands::Proc));
    // A control that is no push button: IDOK, as there is no default button.
    Press(VK_RETURN, u'\r');
    EXPECT_THAT(commands, ElementsAre(MAKEWPARAM(IDOK, BN_CLICKED)));
    // The default id, once one is set.
    SendMessageW(m_dialog, DM_SETDEFID, kThird, 0);
    EXPECT_EQ(SendMessageW(m_dialog, DM_GETDEFID, 0, 0), MAKELRESULT(kThird, DC_HASDEFID));
    Press(VK_RETURN, u'\r');
    EXPECT_THAT(commands, ElementsAre(MAKEWPARAM(IDOK, BN_CLICKED), MAKEWPARAM(kThird, BN_CLICKED)));
    // A focused push button is clicked instead; the key itself never reaches it.
    SetFocus(m_second);
    Recorder::Log().clear();
    Press(VK_RETURN, u'\r');
    EXPECT_THAT(Recorder::MessagesOf(m_second, {BM_CLICK, WM_KEYDOWN, WM_CHAR}), ElementsAre(BM_CLICK));
    EXPECT_EQ(commands.size(), 2u);
    // Escape sends IDCANCEL.
    Press(VK_ESCAPE);
    EXPECT_EQ(commands.back(), MAKEWPARAM(IDCANCEL, BN_CLICKED));
    // Characters a control does not want are dropped; wanted ones reach it.
    SetFocus(m_first);
    Recorder::Log().clear();
    Press('A', u'a');
    EXPECT_TRUE(Recorder::MessagesOf(m_first, {WM_CHAR}).empty());
    Recorder::Handler() = [](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_GETDLGCODE)
            return false;
        result = DLGC_WANTCHARS;
        return true;
    };
    Press('A', u'a');
    EXPECT_THAT(Recorder::MessagesOf(m_first, {WM_CHAR}), ElementsAre(WM_CHAR));
}

struct Answering {
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM, LPARAM) {
        if (message == WM_USER + 7) {
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 1234);
            return TRUE;
        }
        if (message == WM_CTLCOLORSTATIC)
            return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
        return message == WM_INITDIALOG;
    }
};

TEST_F(DialogTest, ADialogProcedureAnswersThroughItsMessageResult) {
    HWND dialog = CreateDialogIndirectParamW(nullptr, kOuter.Template(), nullptr, Answering::Proc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendMessageW(dialog, WM_USER + 7, 0, 0), 1234);
    // Colour queries answer with the procedure's own value.
    EXPECT_EQ(SendMessageW(dialog, WM_CTLCOLORSTATIC, 0, 0),
              reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH)));
    // Unhandled messages get the default handling.
    SetWindowTextW(dialog, u"Renamed");
    EXPECT_EQ(user::test::Text(dialog), u"Renamed");
    DestroyWindow(dialog);
}

TEST_F(DialogManagerTest, DialogItemCallsGoToTheControls) {
    EXPECT_TRUE(SetDlgItemTextW(m_dialog, kFirst, u"  -42"));
    BOOL ok = FALSE;
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(m_dialog, kFirst, &ok, TRUE)), -42);
    EXPECT_TRUE(ok);
    EXPECT_EQ(GetDlgItemInt(m_dialog, kFirst, &ok, FALSE), 0u);
    EXPECT_FALSE(ok);
    SetDlgItemTextW(m_dialog, kFirst, u"12x");
    GetDlgItemInt(m_dialog, kFirst, &ok, FALSE);
    EXPECT_FALSE(ok);
    SetDlgItemTextW(m_dialog, kFirst, u"4294967296");
    GetDlgItemInt(m_dialog, kFirst, &ok, FALSE);
    EXPECT_FALSE(ok);
    SetDlgItemInt(m_dialog, kSecond, 65535, FALSE);
    WCHAR text[16];
    EXPECT_EQ(GetDlgItemTextW(m_dialog, kSecond, text, 16), 5u);
    EXPECT_EQ(std::u16string(text), u"65535");
    EXPECT_EQ(GetDlgItemTextW(m_dialog, 999, text, 16), 0u);
    EXPECT_EQ(text[0], 0);
    Recorder::Log().clear();
    CheckRadioButton(m_dialog, kFirst, kSecond, kSecond);
    std::vector<std::pair<HWND, WPARAM>> checks;
    for (const Received& r : Recorder::Log())
        if (r.message == BM_SETCHECK)
            checks.emplace_back(r.hwnd, r.wParam);
    EXPECT_THAT(checks, ElementsAre(std::pair<HWND, WPARAM>(m_first, BST_UNCHECKED),
                                    std::pair<HWND, WPARAM>(m_second, BST_CHECKED)));
    CheckDlgButton(m_dialog, kThird, BST_CHECKED);
    IsDlgButtonChecked(m_dialog, kThird);
    EXPECT_THAT(Recorder::MessagesOf(m_third, {BM_SETCHECK, BM_GETCHECK}),
                ElementsAre(BM_SETCHECK, BM_GETCHECK));
    EXPECT_EQ(SendDlgItemMessageW(m_dialog, kThird, WM_GETTEXTLENGTH, 0, 0), 5);
}

} // namespace

namespace {

struct Ticking {
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM, LPARAM) {
        if (message == WM_INITDIALOG)
            SetTimer(hwnd, 1, 100, nullptr);
        return message == WM_INITDIALOG || message == WM_TIMER;
    }
};

TEST_F(DialogTest, AModalLoopThatOnlyWaitsForItsTimersIsReportedInsteadOfSpinningForEver) {
    std::vector<std::string> failures;
    user::test::SetFailureHandler([&](const std::string& text) { failures.push_back(text); });
    user::test::OnNextModal(user::test::ModalKind::Dialog, u"Outer", [](const user::test::ModalInfo&) {});
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, kOuter.Template(), nullptr, Ticking::Proc, 0), IDCANCEL);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("\"Outer\""), std::string::npos) << failures[0];
    user::test::SetFailureHandler([](const std::string& text) { ADD_FAILURE() << text; });
}

} // namespace
