// Statics: alignment, wrapping, prefixes and vertical centring as pixels show them, the colours the
// parent chooses, and taps that go through to the parent.

#include <algorithm>

#include "ControlTest.h"

namespace {

using controls_test::OnScreen;
using controls_test::SystemOnScreen;

constexpr int kStatic = 80;

class StaticTest : public controls_test::ControlTest {
protected:
    HWND MakeStatic(DWORD style, const char16_t* text, short cx = 120, short cy = 24) {
        const user::DialogItem items[] = {{user::kStaticClass, text, kStatic, 4, 4, cx, cy, style}};
        MakeDialog(items);
        return Item(kStatic);
    }

    // The columns and rows with ink of the text colour.
    static RECT InkBox(HWND window, COLORREF ink) {
        RECT client;
        GetClientRect(window, &client);
        RECT box{client.right, client.bottom, -1, -1};
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x)
                if (user::test::WindowPixel(window, x, y) == ink) {
                    box.left = std::min<LONG>(box.left, x);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.top = std::min<LONG>(box.top, y);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }
};

struct AlignCase {
    const char* name;
    DWORD style;
    enum { Left, Centre, Right } where;
};

void PrintTo(const AlignCase& c, std::ostream* out) {
    *out << c.name;
}

class StaticAlignTest : public StaticTest, public ::testing::WithParamInterface<AlignCase> {};

TEST_P(StaticAlignTest, PlacesTheText) {
    HWND label = MakeStatic(GetParam().style, u"Label");
    RECT client;
    GetClientRect(label, &client);
    RECT ink = InkBox(label, SystemOnScreen(COLOR_STATICTEXT));
    ASSERT_GT(ink.right, ink.left);
    switch (GetParam().where) {
    case AlignCase::Left:
        EXPECT_LT(ink.left, 3);
        break;
    case AlignCase::Right:
        EXPECT_GT(ink.right, client.right - 3);
        break;
    case AlignCase::Centre:
        EXPECT_NEAR((ink.left + ink.right) / 2, client.right / 2, 2);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Styles, StaticAlignTest,
                         ::testing::Values(AlignCase{"Left", SS_LEFT, AlignCase::Left},
                                           AlignCase{"Centre", SS_CENTER, AlignCase::Centre},
                                           AlignCase{"Right", SS_RIGHT, AlignCase::Right},
                                           AlignCase{"LeftNoWordWrap", SS_LEFTNOWORDWRAP, AlignCase::Left},
                                           AlignCase{"Simple", SS_SIMPLE, AlignCase::Left}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StaticTest, LeftTextWrapsWordsAndNoWordWrapDoesNot) {
    const char16_t* text = u"several words that cannot fit on one line";
    HWND wrapped = MakeStatic(SS_LEFT, text, 60, 40);
    RECT wrappedInk = InkBox(wrapped, SystemOnScreen(COLOR_STATICTEXT));
    DestroyWindow(m_dialog);
    HWND single = MakeStatic(SS_LEFTNOWORDWRAP, text, 60, 40);
    RECT singleInk = InkBox(single, SystemOnScreen(COLOR_STATICTEXT));
    EXPECT_GT(wrappedInk.bottom - wrappedInk.top, 2 * (singleInk.bottom - singleInk.top));
}

TEST_F(StaticTest, CentreImageCentresOneLineVertically) {
    HWND label = MakeStatic(SS_LEFT | SS_CENTERIMAGE, u"Mid", 60, 40);
    RECT client;
    GetClientRect(label, &client);
    RECT ink = InkBox(label, SystemOnScreen(COLOR_STATICTEXT));
    EXPECT_NEAR((ink.top + ink.bottom) / 2, client.bottom / 2, 3);
}

TEST_F(StaticTest, AmpersandUnderlinesUnlessNoPrefix) {
    HWND prefixed = MakeStatic(SS_LEFT, u"&Save");
    RECT withPrefix = InkBox(prefixed, SystemOnScreen(COLOR_STATICTEXT));
    DestroyWindow(m_dialog);
    HWND literal = MakeStatic(SS_LEFT | SS_NOPREFIX, u"&Save");
    RECT withoutPrefix = InkBox(literal, SystemOnScreen(COLOR_STATICTEXT));
    // "&Save" shown literally is wider than "Save" with its S underlined.
    EXPECT_GT(withoutPrefix.right, withPrefix.right);
}

TEST_F(StaticTest, ParentChoosesTheColoursAndNewTextIsShown) {
    Handler() = [](HWND, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
        if (message != WM_CTLCOLORSTATIC || GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != kStatic)
            return false;
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0xAF));
        result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_INFOBK));
        return true;
    };
    HWND label = MakeStatic(SS_LEFT, u"");
    EXPECT_EQ(user::test::WindowPixel(label, 1, 1), SystemOnScreen(COLOR_INFOBK));
    SetWindowTextW(label, u"Title");
    user::test::RunUntilIdle();
    RECT ink = InkBox(label, OnScreen(RGB(0, 0, 0xAF)));
    EXPECT_GT(ink.right, ink.left);
}

TEST_F(StaticTest, TapsGoThroughToTheParent) {
    HWND label = MakeStatic(SS_LEFT, u"Tap me");
    std::vector<UINT> received;
    Handler() = [&](HWND, UINT message, WPARAM, LPARAM, INT_PTR&) {
        if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP)
            received.push_back(message);
        return false;
    };
    TapAt(label, POINT{3, 3});
    EXPECT_EQ(received, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(SendMessageW(label, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
}

} // namespace
