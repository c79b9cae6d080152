#include "X11Window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <time.h>

#include <algorithm>
#include <vector>

namespace display {

namespace {

// The platform's virtual-key codes of the keys a handheld has.
constexpr UINT kVkBack = 0x08;
constexpr UINT kVkTab = 0x09;
constexpr UINT kVkReturn = 0x0D;
constexpr UINT kVkShift = 0x10;
constexpr UINT kVkControl = 0x11;
constexpr UINT kVkEscape = 0x1B;
constexpr UINT kVkSpace = 0x20;
constexpr UINT kVkEnd = 0x23;
constexpr UINT kVkHome = 0x24;
constexpr UINT kVkLeft = 0x25;
constexpr UINT kVkUp = 0x26;
constexpr UINT kVkRight = 0x27;
constexpr UINT kVkDown = 0x28;
constexpr UINT kVkDelete = 0x2E;

UINT VirtualKeyOf(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z)
        return static_cast<UINT>('A' + (sym - XK_a));
    if (sym >= XK_A && sym <= XK_Z)
        return static_cast<UINT>('A' + (sym - XK_A));
    if (sym >= XK_0 && sym <= XK_9)
        return static_cast<UINT>('0' + (sym - XK_0));
    switch (sym) {
    case XK_BackSpace:
        return kVkBack;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return kVkTab;
    case XK_Return:
    case XK_KP_Enter:
        return kVkReturn;
    case XK_Shift_L:
    case XK_Shift_R:
        return kVkShift;
    case XK_Control_L:
    case XK_Control_R:
        return kVkControl;
    case XK_Escape:
        return kVkEscape;
    case XK_space:
        return kVkSpace;
    case XK_End:
        return kVkEnd;
    case XK_Home:
        return kVkHome;
    case XK_Left:
        return kVkLeft;
    case XK_Up:
        return kVkUp;
    case XK_Right:
        return kVkRight;
    case XK_Down:
        return kVkDown;
    case XK_Delete:
        return kVkDelete;
    default:
        return 0;
    }
}

// Where a colour channel of the visual lies.
struct Channel {
    int shift = 0;
    int bits = 0;
    explicit Channel(unsigned long mask) {
        if (!mask)
            return;
        while (!(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        while (mask & 1) {
            mask >>= 1;
            ++bits;
        }
    }
    unsigned long Place(unsigned value8) const {
        unsigned long value = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
        return value << shift;
    }
};

// Protocol errors are not fatal to the program: the window then shows less, nothing else breaks.
int IgnoreXError(::Display*, XErrorEvent*) {
    return 0;
}

// Waits, a bounded time, for the server to map the window, so that what is shown first stays.
void AwaitMapping(::Display* display, Window window) {
    constexpr int kAttempts = 200;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        XEvent event{};
        if (XCheckTypedWindowEvent(display, window, MapNotify, &event))
            return;
        XSync(display, False);
        if (XCheckTypedWindowEvent(display, window, MapNotify, &event))
            return;
        timespec pause{0, 5'000'000};
        nanosleep(&pause, nullptr);
    }
}

// A 32-bit property of the root window as longs, as Xlib hands them out; empty when it has none.
std::vector<long> RootCardinals(::Display* display, int screen, const char* name, long count) {
    Atom property = XInternAtom(display, name, True);
    if (property == None)
        return {};
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(display, RootWindow(display, screen), property, 0, count, False, XA_CARDINAL,
                           &type, &format, &items, &after, &data) == Success &&
        type == XA_CARDINAL && format == 32 && data)
        values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + items);
    if (data)
        XFree(data);
    return values;
}

// The part of the display that windows may take: the window manager's work area of the current desktop
// when it names one, else the whole screen.
SIZE WorkArea(::Display* display, int screen) {
    SIZE whole{DisplayWidth(display, screen), DisplayHeight(display, screen)};
    std::vector<long> current = RootCardinals(display, screen, "_NET_CURRENT_DESKTOP", 1);
    long desktop = current.empty() ? 0 : std::clamp(current[0], 0L, 63L);
    std::vector<long> areas = RootCardinals(display, screen, "_NET_WORKAREA", 4 * (desktop + 1));
    size_t at = static_cast<size_t>(desktop) * 4;
    if (areas.size() < at + 4 || areas[at + 2] <= 0 || areas[at + 3] <= 0)
        return whole;
    return SIZE{static_cast<LONG>(areas[at + 2]), static_cast<LONG>(areas[at + 3])};
}

} // namespace

struct X11Window::State {
    ::Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    std::vector<char> imageBytes;
    Atom deleteWindow = 0;
    int width = 0;
    int height = 0;
    int scale = 1;
    bool stylusDown = false;
    Channel red{0};
    Channel green{0};
    Channel blue{0};

    ~State() {
        if (image) {
            image->data = nullptr; // the bytes are ours
            XDestroyImage(image);
        }
        if (gc)
            XFreeGC(display, gc);
        if (window)
            XDestroyWindow(display, window);
        if (display)
            XCloseDisplay(display);
    }

    POINT ScreenPoint(int x, int y) const {
        return POINT{std::clamp(x / scale, 0, width - 1), std::clamp(y / scale, 0, height - 1)};
    }
};

X11Window::X11Window(std::unique_ptr<State> state) : m_state(std::move(state)) {}

X11Window::~X11Window() = default;

std::unique_ptr<X11Window> X11Window::Open(const std::string& displayName, int width, int height, int scale,
                                           const std::string& title, std::string& error) {
    XSetErrorHandler(IgnoreXError);
    auto state = std::make_unique<State>();
    state->display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!state->display) {
        error = "cannot open the X11 display";
        return nullptr;
    }
    ::Display* display = state->display;
    int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    int depth = DefaultDepth(display, screen);
    if (visual->c_class != TrueColor || depth < 15) {
        error = "the X11 display is not true-colour";
        return nullptr;
    }
    state->width = width;
    state->height = height;
    state->scale = scale > 0 ? scale : FittingScale(SIZE{width, height}, WorkArea(display, screen));
    scale = state->scale;
    state->red = Channel(visual->red_mask);
    state->green = Channel(visual->green_mask);
    state->blue = Channel(visual->blue_mask);

    unsigned windowWidth = static_cast<unsigned>(width * scale);
    unsigned windowHeight = static_cast<unsigned>(height * scale);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | KeyReleaseMask | StructureNotifyMask;
    state->window = XCreateWindow(display, RootWindow(display, screen), 0, 0, windowWidth, windowHeight, 0,
                                  depth, InputOutput, visual, CWBackPixel | CWEventMask, &attributes);
    XStoreName(display, state->window, title.c_str());
    XSizeHints* hints = XAllocSizeHints();
    if (hints) {
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = static_cast<int>(windowWidth);
        hints->min_height = hints->max_height = static_cast<int>(windowHeight);
        XSetWMNormalHints(display, state->window, hints);
        XFree(hints);
    }
    state->deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, state->window, &state->deleteWindow, 1);
    state->gc = XCreateGC(display, state->window, 0, nullptr);

    state->image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                windowWidth, windowHeight, 32, 0);
    if (!state->image) {
        error = "cannot make an X11 image";
        return nullptr;
    }
    state->imageBytes.assign(static_cast<size_t>(state->image->bytes_per_line) * windowHeight, 0);
    state->image->data = state->imageBytes.data();

    XMapWindow(display, state->window);
    AwaitMapping(display, state->window);
    return std::unique_ptr<X11Window>(new X11Window(std::move(state)));
}

void X11Window::Show(const uint16_t* pixels, size_t stride, const RECT& area) {
    State& s = *m_state;
    int left = std::clamp<int>(area.left, 0, s.width);
    int top = std::clamp<int>(area.top, 0, s.height);
    int right = std::clamp<int>(area.right, left, s.width);
    int bottom = std::clamp<int>(area.bottom, top, s.height);
    if (left >= right || top >= bottom)
        return;
    bool direct = s.image->bits_per_pixel == 32;
    for (int y = top; y < bottom; ++y) {
        const uint16_t* row = pixels + static_cast<size_t>(y) * stride;
        for (int x = left; x < right; ++x) {
            uint16_t v = row[x];
            unsigned r = (v >> 11) & 0x1F;
            unsigned g = (v >> 5) & 0x3F;
            unsigned b = v & 0x1F;
            unsigned long pixel = s.red.Place((r << 3) | (r >> 2)) | s.green.Place((g << 2) | (g >> 4)) |
                                  s.blue.Place((b << 3) | (b >> 2));
            for (int dy = 0; dy < s.scale; ++dy) {
                int windowY = y * s.scale + dy;
                for (int dx = 0; dx < s.scale; ++dx) {
                    int windowX = x * s.scale + dx;
                    if (direct)
                        reinterpret_cast<uint32_t*>(
                            s.image->data + static_cast<size_t>(windowY) *
                                                static_cast<size_t>(s.image->bytes_per_line))[windowX] =
                            static_cast<uint32_t>(pixel);
                    else
                        XPutPixel(s.image, windowX, windowY, pixel);
                }
            }
        }
    }
    XPutImage(s.display, s.window, s.gc, s.image, left * s.scale, top * s.scale, left * s.scale,
              top * s.scale, static_cast<unsigned>((right - left) * s.scale),
              static_cast<unsigned>((bottom - top) * s.scale));
    // Once Show returns the server has the pixels, so a screenshot of the window sees them.
    XSync(s.display, False);
}

int X11Window::Fd() const {
    return ConnectionNumber(m_state->display);
}

unsigned long X11Window::WindowId() const {
    return m_state->window;
}

int X11Window::Pump(const InputHandler& handler, const std::function<void()>& expose) {
    State& s = *m_state;
    int delivered = 0;
    auto deliver = [&](const InputEvent& event) {
        ++delivered;
        if (handler)
            handler(event);
    };
    while (XPending(s.display) > 0) {
        XEvent event{};
        XNextEvent(s.display, &event);
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0)
                expose();
            break;
        case ButtonPress:
            if (event.xbutton.button == Button1) {
                s.stylusDown = true;
                deliver({InputEvent::Kind::StylusDown, s.ScreenPoint(event.xbutton.x, event.xbutton.y)});
            }
            break;
        case MotionNotify:
            if (s.stylusDown)
                deliver({InputEvent::Kind::StylusMove, s.ScreenPoint(event.xmotion.x, event.xmotion.y)});
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && s.stylusDown) {
                s.stylusDown = false;
                deliver({InputEvent::Kind::StylusUp, s.ScreenPoint(event.xbutton.x, event.xbutton.y)});
            }
            break;
        case KeyPress:
        case KeyRelease: {
            char text[8] = {};
            KeySym sym = NoSymbol;
            int length = XLookupString(&event.xkey, text, sizeof text, &sym, nullptr);
            InputEvent key;
            key.kind = event.type == KeyPress ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
            key.virtualKey = VirtualKeyOf(sym);
            // Latin-1 text; delete types nothing on the handheld.
            auto first = static_cast<unsigned char>(text[0]);
            if (event.type == KeyPress && length > 0 && first != 0x7F)
                key.character = static_cast<WCHAR>(first);
            if (key.virtualKey || key.character)
                deliver(key);
            break;
        }
        case ClientMessage:
            if (static_cast<Atom>(event.xclient.data.l[0]) == s.deleteWindow)
                deliver({InputEvent::Kind::CloseRequested});
            break;
        default:
            break;
        }
    }
    return delivered;
}

} // namespace display
