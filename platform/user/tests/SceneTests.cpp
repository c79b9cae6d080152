// A scene of windows with borders and captions: rendered headless and saved as a PNG, and shown in an X11
// window under Xvfb where a tap sent through X arrives as stylus messages.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <vector>

#include "FillPaint.h"
#include "display/Display.h"
#include "testing/PngReader.h"
#include "testing/Xvfb.h"
#include "user/User.h"
#include "user/WindowTest.h"

// Xlib's macros collide with names above; it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

constexpr COLORREF kGreen = RGB(0, 200, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

using user::test::OnScreen;

// Windows of this class fill their client area with the colour in GWLP_USERDATA and count stylus
// messages.
struct Filler {
    static inline std::vector<UINT> stylus;
    static inline std::u16string typed;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_PAINT) {
            user_test::FillWithUserDataColor(hwnd);
            return 0;
        }
        if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP)
            stylus.push_back(message);
        if (message == WM_CHAR)
            typed.push_back(static_cast<char16_t>(wParam));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    static HWND Create(DWORD exStyle, DWORD style, RECT r, COLORREF color, HWND parent, LPCWSTR text = u"") {
        WNDCLASSW wc{};
        if (!GetClassInfoW(nullptr, u"Filler", &wc)) {
            wc.lpfnWndProc = Proc;
            wc.lpszClassName = u"Filler";
            RegisterClassW(&wc);
        }
        HWND hwnd = CreateWindowExW(exStyle, u"Filler", text, style, r.left, r.top, r.right - r.left,
                                    r.bottom - r.top, parent, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(color));
        return hwnd;
    }
};

struct Scene {
    HWND main = nullptr;
    HWND panel = nullptr;
    HWND edged = nullptr;
    HWND popup = nullptr;
};

// A captioned window with a bordered child and a sunken child, and a bordered popup over its corner.
Scene BuildScene() {
    Scene scene;
    scene.main = Filler::Create(0, WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN | WS_VISIBLE,
                                RECT{10, 40, 230, 220}, RGB(255, 255, 255), nullptr, u"Ferrovane");
    scene.panel =
        Filler::Create(0, WS_CHILD | WS_BORDER | WS_VISIBLE, RECT{10, 10, 110, 80}, kGreen, scene.main);
    scene.edged =
        Filler::Create(WS_EX_CLIENTEDGE, WS_CHILD | WS_VISIBLE, RECT{120, 10, 200, 80}, kBlue, scene.main);
    scene.popup = Filler::Create(0, WS_POPUP | WS_BORDER | WS_VISIBLE, RECT{150, 180, 235, 300},
                                 RGB(255, 0, 0), nullptr);
    return scene;
}

void CheckScene(const Scene& scene, const std::function<COLORREF(int, int)>& pixel) {
    int frame = user::kDialogFrame;
    // The caption bar of the active... window: the popup is active, so the main caption is inactive.
    EXPECT_EQ(pixel(100, 40 + frame + 5), OnScreen(GetSysColor(COLOR_INACTIVECAPTION)));
    EXPECT_EQ(pixel(10, 40), OnScreen(GetSysColor(COLOR_WINDOWFRAME)));
    // The panel's border and inside.
    RECT panel = user::test::ScreenRect(scene.panel);
    EXPECT_EQ(pixel(panel.left, panel.top), OnScreen(GetSysColor(COLOR_WINDOWFRAME)));
    EXPECT_EQ(pixel(panel.left + 5, panel.top + 5), OnScreen(kGreen));
    // The sunken edge: dark outside, the client colour inside it.
    RECT edged = user::test::ScreenRect(scene.edged);
    EXPECT_EQ(pixel(edged.left, edged.top), OnScreen(GetSysColor(COLOR_3DSHADOW)));
    EXPECT_EQ(pixel(edged.left + 3, edged.top + 3), OnScreen(kBlue));
    // The popup lies over the main window's corner; the desktop shows around the windows.
    EXPECT_EQ(pixel(200, 210), OnScreen(RGB(255, 0, 0)));
    EXPECT_EQ(pixel(100, 210), OnScreen(RGB(255, 255, 255)));
    EXPECT_EQ(pixel(5, 5), OnScreen(GetSysColor(COLOR_BACKGROUND)));
}

class SceneTest : public user::test::WindowTest {};

TEST_F(SceneTest, ASceneOfFramedWindowsRendersHeadlessAndSavesAsAPng) {
    Scene scene = BuildScene();
    user::test::RunUntilIdle();
    CheckScene(scene, [](int x, int y) { return user::test::ScreenPixel(x, y); });
    std::filesystem::path file = std::filesystem::path(USER_TEST_OUTPUT_DIR) / "user-scene.png";
    ASSERT_TRUE(user::test::SaveScreenshot(file));
    auto image = ReadPng(file);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, 240);
    EXPECT_EQ(image->height, 320);
    CheckScene(scene, [&](int x, int y) { return image->At(x, y); });
    // The wait cursor is drawn in the middle of the screen and the screen comes back without it.
    COLORREF under = user::test::ScreenPixel(120, 160);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(user::test::ScreenPixel(120, 150), RGB(0, 0, 0));
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(user::test::ScreenPixel(120, 160), under);
    CheckScene(scene, [](int x, int y) { return user::test::ScreenPixel(x, y); });
}

TEST_F(SceneTest, TheSceneShowsInAnX11WindowAndATapThroughXArrivesAsStylusMessages) {
    Xvfb server;
    ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start (is the xvfb package installed?)";
    // Back to the headless screen before the server goes, however the test ends.
    struct Headless {
        ~Headless() { user::test::ResetWindowSystem(); }
    } headless;
    ASSERT_TRUE(user::test::UseX11Display(server.Name(), 1));
    Scene scene = BuildScene();
    user::test::RunUntilIdle();

    ::Display* peer = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(peer, nullptr);
    Window window = display::X11WindowId();
    ASSERT_NE(window, 0u);
    XImage* image = XGetImage(peer, window, 0, 0, 240, 320, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    CheckScene(scene, [&](int x, int y) {
        unsigned long v = XGetPixel(image, x, y);
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    });
    XDestroyImage(image);

    Filler::stylus.clear();
    RECT panel = user::test::ScreenRect(scene.panel);
    auto send = [&](int type) {
        XEvent event{};
        event.xbutton.type = type;
        event.xbutton.display = peer;
        event.xbutton.window = window;
        event.xbutton.root = DefaultRootWindow(peer);
        event.xbutton.x = panel.left + 20;
        event.xbutton.y = panel.top + 20;
        event.xbutton.button = Button1;
        event.xbutton.same_screen = True;
        XSendEvent(peer, window, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &event);
        XFlush(peer);
    };
    send(ButtonPress);
    send(ButtonRelease);
    EXPECT_TRUE(user::test::RunUntil([] { return Filler::stylus.size() >= 2; }, std::chrono::seconds(5)));
    EXPECT_EQ(Filler::stylus, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    // A key typed in the X window reaches the focus window as a key and its character.
    SetFocus(scene.edged);
    Filler::typed.clear();
    XEvent key{};
    key.xkey.type = KeyPress;
    key.xkey.display = peer;
    key.xkey.window = window;
    key.xkey.root = DefaultRootWindow(peer);
    key.xkey.keycode = XKeysymToKeycode(peer, XK_a);
    key.xkey.same_screen = True;
    XSendEvent(peer, window, True, KeyPressMask, &key);
    XFlush(peer);
    EXPECT_TRUE(user::test::RunUntil([] { return !Filler::typed.empty(); }, std::chrono::seconds(5)));
    EXPECT_EQ(Filler::typed, u"a");
    XCloseDisplay(peer);
}

} // namespace
