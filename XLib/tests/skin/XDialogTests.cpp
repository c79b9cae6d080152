// The skinned dialog: the skin loader's form, bitmaps and layers, the layers' visibility and focus, the
// tab order, background painting with the redraw lock, and the control base's class and repaints.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SkinTestSupport.h"
#include "XControl.h"
#include "XDialog.h"
#include "classlib/App.h"
#include "crt/Utf8.h"
#include "user/Paint.h"

namespace skintest {
namespace {

using user::test::OnScreen;
using user::test::RunUntilIdle;
using user::test::WindowPixel;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGrey = RGB(0x80, 0x80, 0x80);

std::string Form(const std::string& attributes, const std::string& children = "") {
    return "<?xml version=\"1.0\"?>\n<xForm " + attributes + ">\n" + children + "</xForm>\n";
}

// A custom control of the toolkit's kind that counts its paints and erases.
class CCountingControl : public CXControl {
public:
    CCountingControl() : CXControl(u"XCOUNTING", CS_HREDRAW | CS_VREDRAW, nullptr, nullptr) {}
    bool Make(CWnd* parent, int id, const RECT& rect, DWORD style = WS_VISIBLE | WS_TABSTOP) {
        return CreateEx(0, u"XCOUNTING", u"", WS_CHILD | style, rect, parent, static_cast<UINT>(id)) != FALSE;
    }
    int m_paints = 0;
    int m_erases = 0;

protected:
    afx_msg void OnPaint() {
        CPaintDC paint(this);
        ++m_paints;
    }
    afx_msg BOOL OnEraseBkgnd(CDC*) {
        ++m_erases;
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCountingControl, CXControl)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

class XDialogTest : public SkinTest {
protected:
    // A host with the skin file written first.
    std::unique_ptr<CSkinHost> Host(const std::string& skin) {
        WriteDeviceFile(u"\\skins\\form.xml", skin);
        auto host = std::make_unique<CSkinHost>(u"\\skins\\form.xml");
        EXPECT_TRUE(host->Open());
        return host;
    }
    // A control in the host's layer, of the toolkit's kind, placed at rect.
    CCountingControl* AddControl(CSkinHost& host, int layer, int id, const RECT& rect,
                                 DWORD style = WS_VISIBLE | WS_TABSTOP) {
        auto control = std::make_unique<CCountingControl>();
        EXPECT_TRUE(control->Make(&host, id, rect, style));
        EXPECT_TRUE(host.AddControlToLayer(control.get(), layer));
        return control.release();
    }
    // Across the 240-pixel screen, to a pixel of rounding (the work area below the task bar sets the
    // height).
    static void ExpectCentred(HWND window) {
        const RECT onScreen = user::test::ScreenRect(window);
        EXPECT_NEAR(onScreen.left + onScreen.right, 240, 1);
    }
    SIZE ClientSize(CWnd& window) {
        CRect client;
        window.GetClientRect(&client);
        return SIZE{client.right, client.bottom};
    }
};

TEST_F(XDialogTest, ElementNamesMatchExactly) {
    const struct {
        const char16_t* name;
        int type;
    } cases[] = {{u"xForm", kXmlForm},
                 {u"xLayer", kXmlLayer},
                 {u"xButton", kXmlButton},
                 {u"xCheckBox", kXmlCheckBox},
                 {u"xStatic", kXmlStatic},
                 {u"xEdit", kXmlEdit},
                 {u"xList", kXmlList},
                 {u"xSlider", kXmlSlider},
                 {u"xTree", kXmlTree},
                 {u"xbutton", 0},
                 {u"XForm", 0},
                 {u"xButtons", 0},
                 {u"", 0},
                 {nullptr, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(CXDialog::GetElementType(c.name), c.type) << (c.name ? crt::ToUtf8(c.name) : "NULL");
}

TEST_F(XDialogTest, TheFormSetsCaptionColourAndSize) {
    WriteDeviceFile(u"\\skins\\back.png", StripPng(100, 80, {kBlue}));
    auto host = Host(Form("caption=\"Main &amp; more\" backgroundColor=\"0x0000FF\" relativePathes=\"true\" "
                          "backgroundBitmap=\"back.png\""));
    EXPECT_TRUE(host->m_skinLoaded);
    EXPECT_EQ(user::test::Text(host->m_hWnd), u"Main & more");
    EXPECT_EQ(host->GetBackgroundColor(), kRed);
    EXPECT_EQ(ClientSize(*host).cx, 100);
    EXPECT_EQ(ClientSize(*host).cy, 80);
    EXPECT_EQ(WindowPixel(host->m_hWnd, 50, 40), OnScreen(kBlue));
    ExpectCentred(host->m_hWnd);
}

TEST_F(XDialogTest, BackgroundBitmapsAndTheirFallbacks) {
    WriteDeviceFile(u"\\skins\\a.png", StripPng(60, 50, {kGreen}));
    WriteDeviceFile(u"\\skins\\b.png", StripPng(90, 70, {kBlue}));
    const struct {
        const char* attributes;
        int bitmaps;
        SIZE client;
        COLORREF centre;
    } cases[] = {
        // The numbered form, choosing the second.
        {"backgroundBitmap=\"\" backgroundBitmap0=\"\\skins\\a.png\" backgroundBitmap1=\"\\skins\\b.png\" "
         "defaultBackgroundBitmap=\"1\"",
         2,
         {90, 70},
         kBlue},
        // No bitmap numbered 0: none is read.
        {"backgroundBitmap1=\"\\skins\\b.png\" width=\"120\" height=\"110\"", 0, {120, 110}, kRed},
        // A choice past the end or before the start: the screen size, or width and height.
        {"backgroundBitmap0=\"\\skins\\a.png\" defaultBackgroundBitmap=\"1\"", 1, {240, 320}, kRed},
        {"backgroundBitmap0=\"\\skins\\a.png\" defaultBackgroundBitmap=\"-1\" width=\"100\" height=\"90\"",
         1,
         {100, 90},
         kRed},
        // A numbered bitmap that does not load stays in the list and cannot be chosen.
        {"backgroundBitmap0=\"\\skins\\missing.png\" width=\"70\" height=\"60\"", 1, {70, 60}, kRed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attributes);
        auto host = Host(Form(std::string("backgroundColor=\"255\" ") + c.attributes));
        EXPECT_EQ(host->GetBackgroundBitmapCount(), c.bitmaps);
        EXPECT_EQ(ClientSize(*host).cx, c.client.cx);
        EXPECT_EQ(ClientSize(*host).cy, c.client.cy);
        EXPECT_EQ(WindowPixel(host->m_hWnd, c.client.cx / 2, c.client.cy / 2), OnScreen(c.centre));
    }
}

TEST_F(XDialogTest, WhatIsNoSkinStillCentresTheDialog) {
    for (const char* skin : {"<xLayer name=\"a\"><xButton id=\"5\"/></xLayer>", "<form caption=\"x\"/>"}) {
        auto host = Host(skin);
        EXPECT_TRUE(host->m_skinLoaded);
        EXPECT_EQ(host->GetLayerCount(), 0);
        EXPECT_EQ(user::test::Text(host->m_hWnd), u"Skin host");
        ExpectCentred(host->m_hWnd);
    }
    for (const char* bad : {"<xForm caption=\"x\">", ""}) {
        WriteDeviceFile(u"\\skins\\bad.xml", bad);
        CSkinHost host(u"\\skins\\bad.xml");
        ASSERT_TRUE(host.Open());
        EXPECT_FALSE(host.m_skinLoaded);
    }
    CSkinHost missing(u"\\skins\\missing.xml");
    ASSERT_TRUE(missing.Open());
    EXPECT_FALSE(missing.m_skinLoaded);
}

TEST_F(XDialogTest, LayersComeFromXLayerElementsOnly) {
    auto host = Host(Form("width=\"100\" height=\"100\"",
                          "<xLayer name=\"first\"><xUnknown id=\"1\"/><!-- note --></xLayer>\n"
                          "<!-- between -->\n<layer name=\"not\"/>\n"
                          "<xLayer name=\"second\"/>\n"
                          "<xLayer><xStatic id=\"7\" width=\"20\" height=\"10\"/></xLayer>\n"));
    ASSERT_EQ(host->GetLayerCount(), 3);
    EXPECT_EQ(host->GetControlCount(), 1);
    EXPECT_TRUE(host->IsLayerVisible(u"first"));
    EXPECT_TRUE(host->IsLayerVisible(u"second"));
    EXPECT_FALSE(host->IsLayerVisible(u"not"));
    CWnd* nameless = host->GetDlgItem(7);
    ASSERT_NE(nameless, nullptr);
    // A layer without a name keeps the name of the one before it: its control goes with "second".
    host->ShowLayer(u"", false);
    EXPECT_TRUE(nameless->IsWindowVisible());
    host->ShowLayer(u"second", false);
    EXPECT_FALSE(host->IsLayerVisible(u"second"));
    EXPECT_FALSE(nameless->IsWindowVisible());
    EXPECT_EQ(host->CreateControl(nullptr, u"", 0), false);
}

TEST_F(XDialogTest, ShowLayerSwitchesEveryLayerOfTheNameAndMovesTheFocus) {
    auto host = Host(Form("width=\"200\" height=\"200\""));
    host->AddLayer(u"panel");
    host->AddLayer(u"other");
    host->AddLayer(u"panel");
    CCountingControl* a = AddControl(*host, 0, 11, {0, 0, 20, 20});
    CCountingControl* b = AddControl(*host, 1, 12, {30, 0, 50, 20});
    CCountingControl* c = AddControl(*host, 2, 13, {60, 0, 80, 20});
    a->SetFocus();
    host->ShowLayer(u"panel", false);
    EXPECT_FALSE(a->IsWindowVisible());
    EXPECT_FALSE(c->IsWindowVisible());
    EXPECT_TRUE(b->IsWindowVisible());
    EXPECT_FALSE(host->IsLayerVisible(u"panel"));
    EXPECT_EQ(CWnd::GetFocus()->m_hWnd, b->m_hWnd) << "the focus goes to the next visible control";
    EXPECT_FALSE(host->IsRedrawLocked());

    // Hiding the layer of the only qualifying control leaves the focus where it was.
    host->ShowLayer(u"other", false);
    EXPECT_EQ(CWnd::GetFocus()->m_hWnd, b->m_hWnd);
    // Showing a layer that holds the focus also moves it on.
    host->ShowLayer(u"panel", true);
    host->ShowLayer(u"other", true);
    EXPECT_EQ(CWnd::GetFocus()->m_hWnd, c->m_hWnd);
    // A name of no layer changes nothing; a nested call keeps the lock.
    host->LockRedraw(true);
    host->ShowLayer(u"none", false);
    host->ShowLayer(u"other", false);
    EXPECT_TRUE(host->IsRedrawLocked());
    host->LockRedraw(false);
}

TEST_F(XDialogTest, TabOrderWalksTheControlsInCreationOrder) {
    auto host = Host(Form("width=\"200\" height=\"200\""));
    host->AddLayer(u"all");
    CCountingControl* c0 = AddControl(*host, 0, 10, {0, 0, 10, 10});
    CCountingControl* hidden = AddControl(*host, 0, 11, {20, 0, 30, 10}, WS_TABSTOP);
    CCountingControl* noStop = AddControl(*host, 0, 12, {40, 0, 50, 10}, WS_VISIBLE);
    CCountingControl* disabled = AddControl(*host, 0, 13, {60, 0, 70, 10});
    disabled->EnableWindow(FALSE);
    CCountingControl* c4 = AddControl(*host, 0, 14, {80, 0, 90, 10});
    EXPECT_EQ(host->GetNextTabControl(c0), c4);
    EXPECT_EQ(host->GetNextTabControl(c4), c0);
    EXPECT_EQ(host->GetPrevTabControl(c0), c4);
    EXPECT_EQ(host->GetPrevTabControl(c4), c0);
    EXPECT_EQ(host->GetNextTabControl(hidden), c4);
    EXPECT_EQ(host->GetPrevTabControl(disabled), c0);
    EXPECT_EQ(host->GetNextTabControl(noStop), c4);
    EXPECT_EQ(host->GetNextTabControl(host.get()), nullptr);
    EXPECT_EQ(host->GetPrevTabControl(nullptr), nullptr);
    c4->EnableWindow(FALSE);
    EXPECT_EQ(host->GetNextTabControl(c0), c0) << "no other control qualifies";
    EXPECT_EQ(host->GetPrevTabControl(c0), c0);
}

TEST_F(XDialogTest, ControlsBorrowTheBackgroundUnderThem) {
    // A 100 x 80 green bitmap in a dialog forced to 140 x 80: beyond the bitmap is the form's colour.
    WriteDeviceFile(u"\\skins\\back.png", StripPng(100, 80, {kGreen}));
    auto host = Host(Form("backgroundColor=\"0x808080\" backgroundBitmap=\"\\skins\\back.png\""));
    host->SetWindowPos(nullptr, 0, 0, 140, 80, SWP_NOMOVE | SWP_NOZORDER);
    RunUntilIdle();
    EXPECT_EQ(WindowPixel(host->m_hWnd, 50, 40), OnScreen(kGreen));
    EXPECT_EQ(WindowPixel(host->m_hWnd, 120, 40), OnScreen(kGrey));

    host->AddLayer(u"l");
    AddControl(*host, 0, 21, {90, 10, 110, 30});
    CClientDC screen(host.get());
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(&screen));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&screen, 20, 20));
    CBitmap* old = dc.SelectObject(&bitmap);
    dc.FillSolidRect(0, 0, 20, 20, kBlue);
    host->PaintBackground(21, &dc);
    EXPECT_EQ(dc.GetPixel(5, 5), OnScreen(kGreen)) << "inside the bitmap";
    EXPECT_EQ(dc.GetPixel(15, 5), OnScreen(kGrey)) << "beyond its right edge";
    dc.FillSolidRect(0, 0, 20, 20, kBlue);
    host->PaintBackground(99, &dc);
    EXPECT_EQ(dc.GetPixel(5, 5), OnScreen(kBlue)) << "no child with that id: nothing painted";
    dc.SelectObject(old);
}

TEST_F(XDialogTest, TheRedrawLockHoldsBackEveryPaint) {
    auto host = Host(Form("backgroundColor=\"0xFF0000\" width=\"100\" height=\"100\""));
    host->AddLayer(u"l");
    CCountingControl* control = AddControl(*host, 0, 30, {10, 10, 30, 30});
    RunUntilIdle();
    EXPECT_EQ(WindowPixel(host->m_hWnd, 50, 50), OnScreen(kBlue));
    host->LockRedraw(true);
    host->SetBackgroundColor(kGreen);
    RunUntilIdle();
    EXPECT_EQ(WindowPixel(host->m_hWnd, 50, 50), OnScreen(kBlue)) << "locked: not painted";
    // Clearing the lock repaints the dialog and its controls, without erasing.
    control->m_paints = control->m_erases = 0;
    host->LockRedraw(false);
    RunUntilIdle();
    EXPECT_EQ(WindowPixel(host->m_hWnd, 50, 50), OnScreen(kGreen));
    EXPECT_EQ(control->m_paints, 1);
    EXPECT_EQ(control->m_erases, 0);
}

TEST_F(XDialogTest, DestroyingTheWindowFreesTheSkinAndTheDialogCanRunAgain) {
    WriteDeviceFile(u"\\skins\\back.png", StripPng(100, 80, {kGreen}));
    auto host =
        Host(Form("backgroundBitmap=\"\\skins\\back.png\"", "<xLayer name=\"a\"/><xLayer name=\"b\"/>"));
    host->AddLayer(u"c");
    AddControl(*host, 2, 40, {0, 0, 10, 10});
    host->DestroyWindow();
    EXPECT_EQ(host->GetLayerCount(), 0);
    EXPECT_EQ(host->GetControlCount(), 0);
    EXPECT_EQ(host->GetBackgroundBitmapCount(), 0);
    ASSERT_TRUE(host->Open());
    EXPECT_EQ(host->GetLayerCount(), 2);
    EXPECT_EQ(host->GetBackgroundBitmapCount(), 1);
    // A second load adds to the first.
    EXPECT_TRUE(host->LoadSkin(u"\\skins\\form.xml"));
    EXPECT_EQ(host->GetLayerCount(), 4);
    EXPECT_EQ(host->GetBackgroundBitmapCount(), 2);
}

// A control of a class of its own, registered with the class style it is given.
class CStyledControl : public CXControl {
public:
    CStyledControl(LPCWSTR className, UINT classStyle) : CXControl(className, classStyle, nullptr, nullptr) {}
};

TEST_F(XDialogTest, AControlClassIsRegisteredByTheFirstControlOfItOnly) {
    testing::internal::CaptureStderr();
    CStyledControl first(u"XONCE", CS_HREDRAW | CS_VREDRAW);
    WNDCLASS registered{};
    ASSERT_TRUE(GetClassInfoW(AfxGetInstanceHandle(), u"XONCE", &registered));
    EXPECT_EQ(registered.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(registered.lpfnWndProc, &DefWindowProcW);
    EXPECT_EQ(registered.hCursor, nullptr);
    EXPECT_EQ(registered.hbrBackground, nullptr);
    // The second construction finds the class: it registers nothing, so its own style is not taken.
    CStyledControl second(u"XONCE", CS_DBLCLKS);
    ASSERT_TRUE(GetClassInfoW(AfxGetInstanceHandle(), u"XONCE", &registered));
    EXPECT_EQ(registered.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // A class that cannot be registered is only traced; the control's window cannot be made then.
    testing::internal::CaptureStderr();
    CStyledControl nameless(u"", CS_HREDRAW | CS_VREDRAW);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Class Registration Failed"), std::string::npos);
    EXPECT_FALSE(nameless.CreateEx(0, u"", u"", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
}

TEST_F(XDialogTest, TheControlBaseRepaintsWhatItsStateChanges) {
    auto host = Host(Form("width=\"100\" height=\"100\""));
    CCountingControl control;
    ASSERT_TRUE(control.Make(host.get(), 50, {10, 20, 40, 35}));
    EXPECT_FALSE(control.LoadFromXml(nullptr, host.get(), u"")) << "the base makes nothing";
    RunUntilIdle();

    control.m_paints = control.m_erases = 0;
    control.EnableWindow(FALSE);
    RunUntilIdle();
    EXPECT_EQ(control.m_paints, 1);
    EXPECT_EQ(control.m_erases, 0) << "a repaint without erasing";

    RECT update{};
    control.ShowWindow(SW_HIDE);
    EXPECT_TRUE(GetUpdateRect(host->m_hWnd, &update, FALSE));
    EXPECT_EQ(update.left, 10);
    EXPECT_EQ(update.top, 20);
    EXPECT_EQ(update.right, 40);
    EXPECT_EQ(update.bottom, 35);
    RunUntilIdle();
    control.ShowWindow(SW_SHOW);
    EXPECT_FALSE(GetUpdateRect(host->m_hWnd, &update, FALSE)) << "showing asks nothing of the parent";
    RunUntilIdle();
}

} // namespace
} // namespace skintest
