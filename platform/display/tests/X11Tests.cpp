#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/Display.h"
#include "gdi/Gdi.h"
#include "gdi/Region.h"
#include "gdi/Surface.h"

extern char** environ;

namespace {

// An Xvfb server of the test's own, on a display number it picks itself. It does not reset when its last
// client leaves, so the test can connect again at once.
class Xvfb {
public:
    Xvfb() {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",       "-displayfd", fd.c_str(), "-screen",  "0",
                              "640x800x24", "-nolisten",  "tcp",      "-noreset", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        int spawned = ::posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            m_pid = 0;
            ::close(fds[0]);
            return;
        }
        // The server writes its display number once it accepts connections.
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline && ::poll(&wait, 1, 200) >= 0) {
            if (!(wait.revents & (POLLIN | POLLHUP)))
                continue;
            char c = 0;
            if (::read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number.push_back(c);
        }
        ::close(fds[0]);
        if (!number.empty())
            m_name = ":" + number;
    }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    ~Xvfb() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& Name() const { return m_name; }

private:
    pid_t m_pid = 0;
    std::string m_name;
};

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

TEST(X11DisplayTest, UnreachableDisplayStaysHeadless) {
    display::ScreenOptions options;
    options.backend = display::Backend::X11;
    options.x11Display = ":999999";
    EXPECT_FALSE(display::OpenScreen(options));
    EXPECT_EQ(display::CurrentBackend(), display::Backend::Headless);
}

} // namespace
