// The splash screen: the start-up sequence on the screen, its placement, and its labels.

#include <gtest/gtest.h>

#include <optional>

#include "SkinTestSupport.h"
#include "XCaptionSupport.h"
#include "XSplashScreen.h"
#include "kernel/Resources.h"
#include "user/DialogTemplate.h"

namespace {

using skintest::CountPixels;
using skintest::PixelBounds;
using skintest::RectInParent;
using skintest::ToString;
using user::test::OnScreen;
using user::test::WindowPixel;

constexpr UINT kTemplate = 150;
constexpr UINT kMissingTemplate = 151;
constexpr COLORREF kImage = RGB(0, 0, 0xF8);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

const user::DialogTemplateBytes
    kEmpty({WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 186, 95, u"Dialog", 8, u"MS Shell Dlg"}, {});
const kernel::ResourceEntry kResources[] = {
    {RT_DIALOG, MAKEINTRESOURCE(kTemplate), kEmpty.Data(), kEmpty.Size()},
};
const kernel::ResourceTable kResourceTable(kResources);

class SplashTest : public skintest::SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        WriteDeviceFile(u"\\skin\\about.png", skintest::StripPng(200, 100, {kImage}));
    }
    void TearDown() override {
        CXSplashScreen::DestroyInstance();
        SkinTest::TearDown();
    }
};

TEST_F(SplashTest, TheStartUpSequenceReachesTheScreenWithoutAMessageLoop) {
    CXSplashScreen* splash = CXSplashScreen::GetInstance();
    EXPECT_EQ(CXSplashScreen::GetInstance(), splash);
    ASSERT_TRUE(splash->Create(kTemplate, u"\\skin\\about.png"));
    EXPECT_FALSE(splash->IsWindowVisible());
    CRect client;
    splash->GetClientRect(&client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);
    EXPECT_TRUE(splash->GetExStyle() & WS_EX_TOPMOST);
    EXPECT_EQ(splash->GetStyle() & 0x86800000u, 0x86800000u);

    splash->CreateStatusLabel(5, 5, 0, 15, false);
    splash->SetStatusFont(u"Arial", 10, true, false);
    splash->SetStatusStyle(kBlack, RGB(255, 255, 255), DT_CENTER | DT_VCENTER, true, 0, kBlack);
    splash->ShowSplash(true);
    splash->SetStatusText(u"Loading, please wait...");
    // No message has been dispatched: the picture came from the immediate repaints.
    HWND label = splash->GetStatusLabel()->m_hWnd;
    EXPECT_EQ(ToString(RectInParent(label)), ToString(RECT{5, 85, 195, 100}));
    EXPECT_EQ(WindowPixel(splash->m_hWnd, 100, 40), OnScreen(kImage));
    EXPECT_GT(CountPixels(label, kBlack), 20);
    EXPECT_EQ(WindowPixel(label, 1, 1), OnScreen(kImage)) << "the label is transparent over the image";

    splash->ShowSplash(false);
    EXPECT_FALSE(splash->IsWindowVisible());
    CXSplashScreen::DestroyInstance();
    EXPECT_FALSE(IsWindow(label));
    CXSplashScreen* again = CXSplashScreen::GetInstance();
    EXPECT_FALSE(again->IsCreated());
}

TEST_F(SplashTest, PlacedAcrossTheMiddleAndAThirdDown) {
    const struct {
        int width;
        int height;
        POINT at;
    } cases[] = {{200, 100, {20, 73}}, {245, 100, {-3, 73}}, {200, 331, {20, -3}}, {241, 320, {-1, 0}}};
    CXSplashScreen* splash = CXSplashScreen::GetInstance();
    ASSERT_TRUE(splash->Create(kTemplate, u"\\skin\\about.png"));
    for (const auto& c : cases) {
        splash->SetWindowPos(nullptr, 0, 0, c.width, c.height, SWP_NOZORDER);
        splash->CenterOnScreen();
        const RECT at = user::test::ScreenRect(splash->m_hWnd);
        EXPECT_EQ(at.left, c.at.x) << c.width << " x " << c.height;
        EXPECT_EQ(at.top, c.at.y) << c.width << " x " << c.height;
    }
}

TEST_F(SplashTest, LabelsAreReplacedAndKeepTheirStyleUntilChanged) {
    CXSplashScreen* splash = CXSplashScreen::GetInstance();
    // Before the window and its label exist these do nothing, and nothing of them is kept for later.
    splash->CreateStatusLabel(0, 0, 0, 20, true);
    splash->SetStatusStyle(kBlack, kBlack, DT_CENTER, false, 2, kBlack);
    splash->SetStatusText(u"x");
    EXPECT_EQ(splash->GetStatusLabel(), nullptr);
    EXPECT_FALSE(splash->IsCreated());

    ASSERT_TRUE(splash->Create(kTemplate, u"\\skin\\about.png"));
    splash->CreateStatusLabel(0, 0, 0, 20, true);
    splash->CreateStatusLabel(10, 20, 5, 15, true);
    HWND status = splash->GetStatusLabel()->m_hWnd;
    EXPECT_EQ(ToString(RectInParent(status)), ToString(RECT{10, 5, 180, 20}));
    int labels = 0;
    for (CWnd* child = splash->GetTopWindow(); child != nullptr; child = child->GetWindow(GW_HWNDNEXT))
        labels += child->GetDlgCtrlID() == static_cast<int>(CXSplashScreen::kStatusLabelId);
    EXPECT_EQ(labels, 1);

    // The default style: white text from the left edge, over the image.
    splash->ShowSplash(true);
    splash->SetStatusText(u"WWWW");
    std::optional<RECT> text = PixelBounds(status, kWhite);
    ASSERT_TRUE(text.has_value());
    EXPECT_LT(text->left, 5) << "not centred";
    EXPECT_EQ(WindowPixel(status, 1, 1), OnScreen(kImage)) << "transparent";
    EXPECT_EQ(CountPixels(status, kBlack), 0);
    // Until it is replaced: black and centred.
    splash->SetStatusStyle(kBlack, kWhite, DT_CENTER | DT_VCENTER, true, 0, kBlack);
    user::test::RunUntilIdle();
    EXPECT_EQ(CountPixels(status, kWhite), 0);
    text = PixelBounds(status, kBlack);
    ASSERT_TRUE(text.has_value());
    RECT client{};
    ::GetClientRect(status, &client);
    EXPECT_NEAR(text->left, client.right - text->right, 1) << "centred";

    splash->CreateExtraLabel(10, 40, 100, 20);
    splash->SetExtraText(u"WWWW");
    user::test::RunUntilIdle();
    EXPECT_GT(CountPixels(splash->GetExtraLabel()->m_hWnd, kWhite), 10) << "white by default";
    EXPECT_EQ(splash->GetExtraLabel()->GetDlgCtrlID(), static_cast<int>(CXSplashScreen::kExtraLabelId));
}

TEST_F(SplashTest, WithoutItsWindowOrImageItDoesWhatItCan) {
    CXSplashScreen* splash = CXSplashScreen::GetInstance();
    EXPECT_FALSE(splash->Create(kMissingTemplate, u"\\skin\\about.png"));
    splash->CreateStatusLabel(5, 5, 0, 15, false);
    EXPECT_EQ(splash->GetStatusLabel(), nullptr);
    splash->ShowSplash(true);
    splash->SetStatusText(u"Loading, please wait...");
    CXSplashScreen::DestroyInstance();

    splash = CXSplashScreen::GetInstance();
    ASSERT_TRUE(splash->Create(kTemplate, u"\\skin\\missing.png"));
    EXPECT_EQ(splash->GetBackgroundBitmapCount(), 1);
    splash->ShowSplash(true);
    // No bitmap sizes it: the client area is what a skin size of 0 x 0 gives.
    CRect client;
    splash->GetClientRect(&client);
    EXPECT_EQ(client.right * client.bottom, 0);
}

} // namespace
