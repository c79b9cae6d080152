#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "display/Display.h"
#include "gdi/Gdi.h"
#include "gdi/Region.h"
#include "gdi/Surface.h"
#include "testing/Xvfb.h"

// Xlib's macros collide with names above; it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

// Pumps the screen's input until the handler has count events or two seconds have passed.
void PumpUntil(const std::vector<display::InputEvent>& events, size_t count) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (events.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd wait{display::InputFd(), POLLIN, 0};
        ::poll(&wait, 1, 50);
        display::PumpInput();
    }
}

TEST(X11DisplayTest, ShowsTheScreenScaledAndReportsTheStylusAndKeys) {
    Xvfb server;
    ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start (is the xvfb package installed?)";
    display::ScreenOptions options;
    options.backend = display::Backend::X11;
    options.x11Display = server.Name();
    options.scale = 2;
    ASSERT_TRUE(display::OpenScreen(options));
    ASSERT_EQ(display::CurrentBackend(), display::Backend::X11);
    std::vector<display::InputEvent> events;
    display::SetInputHandler([&](const display::InputEvent& event) { events.push_back(event); });

    HDC screen = gdi::CreateSurfaceDC(POINT{0, 0}, gdi::Region(RECT{0, 0, 240, 320}));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT rect{10, 20, 30, 40};
    FillRect(screen, &rect, red);
    DeleteObject(red);
    gdi::DeleteSurfaceDC(screen);
    display::Present();

    ::Display* peer = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(peer, nullptr);
    Window window = display::X11WindowId();
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(peer, window, &attributes));
    EXPECT_EQ(attributes.width, 480);
    EXPECT_EQ(attributes.height, 640);
    XImage* image = XGetImage(peer, window, 0, 0, 480, 640, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 20, 40), 0xFF0000u);
    EXPECT_EQ(XGetPixel(image, 59, 79), 0xFF0000u);
    EXPECT_EQ(XGetPixel(image, 60, 80), 0u);
    XDestroyImage(image);

    // A tap and a drag at window pixels arrive in screen pixels.
    auto send = [&](int type, int x, int y) {
        XEvent event{};
        event.xbutton.type = type;
        event.xbutton.display = peer;
        event.xbutton.window = window;
        event.xbutton.root = DefaultRootWindow(peer);
        event.xbutton.x = x;
        event.xbutton.y = y;
        event.xbutton.button = Button1;
        event.xbutton.state = type == MotionNotify ? Button1Mask : 0;
        event.xbutton.same_screen = True;
        long mask = type == ButtonPress     ? ButtonPressMask
                    : type == ButtonRelease ? ButtonReleaseMask
                                            : PointerMotionMask;
        XSendEvent(peer, window, True, mask, &event);
        XFlush(peer);
    };
    send(ButtonPress, 50, 61);
    send(MotionNotify, 70, 81);
    send(ButtonRelease, 90, 101);
    PumpUntil(events, 3);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, display::InputEvent::Kind::StylusDown);
    EXPECT_EQ(events[0].point.x, 25);
    EXPECT_EQ(events[0].point.y, 30);
    EXPECT_EQ(events[1].kind, display::InputEvent::Kind::StylusMove);
    EXPECT_EQ(events[1].point.x, 35);
    EXPECT_EQ(events[2].kind, display::InputEvent::Kind::StylusUp);
    EXPECT_EQ(events[2].point.y, 50);

    // A key press types its character.
    events.clear();
    XEvent key{};
    key.xkey.type = KeyPress;
    key.xkey.display = peer;
    key.xkey.window = window;
    key.xkey.root = DefaultRootWindow(peer);
    key.xkey.keycode = XKeysymToKeycode(peer, XK_a);
    key.xkey.same_screen = True;
    XSendEvent(peer, window, True, KeyPressMask, &key);
    XFlush(peer);
    PumpUntil(events, 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, display::InputEvent::Kind::KeyDown);
    EXPECT_EQ(events[0].virtualKey, static_cast<UINT>('A'));
    EXPECT_EQ(events[0].character, u'a');

    XCloseDisplay(peer);
    display::SetInputHandler(nullptr);
    display::CloseScreen();
    EXPECT_EQ(display::X11WindowId(), 0u);

    // Without a backend in the options the environment chooses.
    ::setenv("FERROVANE_DISPLAY", "x11", 1);
    display::ScreenOptions fromEnvironment;
    fromEnvironment.x11Display = server.Name();
    EXPECT_TRUE(display::OpenScreen(fromEnvironment));
    EXPECT_EQ(display::CurrentBackend(), display::Backend::X11);
    ::unsetenv("FERROVANE_DISPLAY");
    EXPECT_TRUE(display::OpenScreen(fromEnvironment));
    EXPECT_EQ(display::CurrentBackend(), display::Backend::Headless);
}

TEST(DisplayScaleTest, TheWindowTakesTheLargestWholeScaleThatFitsTheWorkArea) {
    const struct {
        SIZE screen;
        SIZE workArea;
        int scale;
    } cases[] = {
        {{240, 320}, {800, 600}, 1},   // twice would be 640 high
        {{240, 320}, {1920, 1080}, 3}, // 960 high; four times would not fit
        {{240, 320}, {1920, 1040}, 3}, // a panel takes some of the height
        {{240, 320}, {480, 640}, 2},   // an exact fit
        {{240, 320}, {479, 2000}, 1},  // the width decides
        {{240, 320}, {200, 200}, 1},   // too small for any scale: still 1
        {{240, 240}, {1920, 1080}, 4}, // the square screen
        {{240, 320}, {7680, 8640}, display::kMaxScale},
        {{0, 0}, {800, 600}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(display::FittingScale(c.screen, c.workArea), c.scale)
            << c.screen.cx << "x" << c.screen.cy << " in " << c.workArea.cx << "x" << c.workArea.cy;
}

// The window's size on a display of the given size, with the scale left to the display (or the
// environment's FERROVANE_DISPLAY_SCALE when scaleVariable names one).
SIZE WindowSizeOnDisplay(const char* displayScreen, const char* scaleVariable = nullptr) {
    Xvfb server(displayScreen);
    if (server.Name().empty()) {
        ADD_FAILURE() << "Xvfb did not start";
        return {};
    }
    if (scaleVariable)
        ::setenv("FERROVANE_DISPLAY_SCALE", scaleVariable, 1);
    else
        ::unsetenv("FERROVANE_DISPLAY_SCALE");
    display::ScreenOptions options;
    options.backend = display::Backend::X11;
    options.x11Display = server.Name();
    bool opened = display::OpenScreen(options);
    ::unsetenv("FERROVANE_DISPLAY_SCALE");
    EXPECT_TRUE(opened);
    SIZE size{};
    ::Display* peer = XOpenDisplay(server.Name().c_str());
    XWindowAttributes attributes{};
    if (peer && XGetWindowAttributes(peer, display::X11WindowId(), &attributes))
        size = SIZE{attributes.width, attributes.height};
    if (peer)
        XCloseDisplay(peer);
    display::CloseScreen();
    return size;
}

TEST(X11DisplayTest, TheWindowFitsTheDisplayUnlessTheScaleIsNamed) {
    SIZE small = WindowSizeOnDisplay("800x600x24");
    EXPECT_EQ(small.cx, 240);
    EXPECT_EQ(small.cy, 320);
    SIZE large = WindowSizeOnDisplay("1920x1080x24");
    EXPECT_EQ(large.cx, 720);
    EXPECT_EQ(large.cy, 960);
    SIZE named = WindowSizeOnDisplay("800x600x24", "2");
    EXPECT_EQ(named.cx, 480);
    EXPECT_EQ(named.cy, 640);
    SIZE nonsense = WindowSizeOnDisplay("800x600x24", "zero");
    EXPECT_EQ(nonsense.cy, 320) << "a scale the variable does not name leaves the fit";
}

TEST(X11DisplayTest, UnreachableDisplayStaysHeadless) {
    display::ScreenOptions options;
    options.backend = display::Backend::X11;
    options.x11Display = ":999999";
    EXPECT_FALSE(display::OpenScreen(options));
    EXPECT_EQ(display::CurrentBackend(), display::Backend::Headless);
}

} // namespace
