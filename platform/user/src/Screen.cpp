#include <cstdio>
#include <cstdlib>

#include "Internal.h"
#include "display/Display.h"
#include "gdi/Gdi.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"
#include "kernel/Time.h"
#include "user/Paint.h"
#include "user/System.h"

namespace user::detail {

namespace {

constexpr int kTaskBarHeight = 26;

struct ScreenState {
    bool sized = false;
    bool open = false;
    display::ScreenOptions options;
    RECT workArea{};
    bool workAreaSet = false;
};

ScreenState& Screen() {
    static ScreenState* state = new ScreenState;
    return *state;
}

SIZE SizeFromEnvironment() {
    SIZE size{240, 320};
    const char* value = std::getenv("FERROVANE_SCREEN_SIZE");
    int width = 0;
    int height = 0;
    if (value && std::sscanf(value, "%dx%d", &width, &height) == 2 && width >= 1 && height >= 1 &&
        width <= 4096 && height <= 4096)
        size = SIZE{width, height};
    return size;
}

void HandleDisplayInput(const display::InputEvent& event) {
    RawInput raw{};
    raw.point = event.point;
    raw.vk = event.virtualKey;
    raw.character = event.character;
    raw.time = static_cast<DWORD>(kernel::ClockMilliseconds());
    switch (event.kind) {
    case display::InputEvent::Kind::StylusDown:
        raw.kind = RawKind::StylusDown;
        break;
    case display::InputEvent::Kind::StylusMove:
        raw.kind = RawKind::StylusMove;
        break;
    case display::InputEvent::Kind::StylusUp:
        raw.kind = RawKind::StylusUp;
        break;
    case display::InputEvent::Kind::KeyDown:
        if (!event.virtualKey && !event.character)
            return;
        raw.kind = RawKind::KeyDown;
        if (!raw.vk)
            raw.vk = VK_PACKET;
        break;
    case display::InputEvent::Kind::KeyUp:
        if (!event.virtualKey)
            return;
        raw.kind = RawKind::KeyUp;
        break;
    case display::InputEvent::Kind::CloseRequested:
        if (HWND active = GetActiveWindow())
            PostMessageW(active, WM_CLOSE, 0, 0);
        return;
    }
    QueueRawInput(raw);
}

} // namespace

void EnsureScreen() {
    ScreenState& screen = Screen();
    if (screen.sized)
        return;
    screen.sized = true;
    SIZE size = SizeFromEnvironment();
    screen.options.width = size.cx;
    screen.options.height = size.cy;
    SIZE current = gdi::ScreenSize();
    if (current.cx != size.cx || current.cy != size.cy)
        gdi::SetScreenSize(size.cx, size.cy);
}

void EnsureDisplay() {
    ScreenState& screen = Screen();
    EnsureScreen();
    if (screen.open)
        return;
    screen.open = true;
    if (!display::OpenScreen(screen.options)) {
        // An X11 display that cannot be opened leaves the screen headless.
        screen.options.backend = display::Backend::Headless;
        display::OpenScreen(screen.options);
    }
    display::SetInputHandler(HandleDisplayInput);
    EnsurePlatformFonts();
}

bool OpenDisplay(const display::ScreenOptions& options) {
    ScreenState& screen = Screen();
    screen.sized = true;
    screen.open = true;
    screen.options = options;
    bool opened = display::OpenScreen(options);
    display::SetInputHandler(HandleDisplayInput);
    EnsurePlatformFonts();
    if (Window* desktop = DesktopIfExists()) {
        desktop->rect = ScreenRect();
        BumpEpoch();
        InvalidateWhole(desktop, true);
    }
    return opened;
}

void PresentScreen() {
    display::Present();
}

void ResizeScreen(SIZE size) {
    ScreenState& screen = Screen();
    EnsureDisplay();
    screen.workAreaSet = false;
    SIZE current = gdi::ScreenSize();
    bool headless = display::CurrentBackend() == display::Backend::Headless;
    if (current.cx == size.cx && current.cy == size.cy && headless)
        return;
    display::ScreenOptions options = screen.options;
    options.width = size.cx;
    options.height = size.cy;
    options.backend = display::Backend::Headless;
    OpenDisplay(options);
}

RECT ScreenRect() {
    SIZE size = gdi::ScreenSize();
    return RECT{0, 0, size.cx, size.cy};
}

RECT WorkArea() {
    ScreenState& screen = Screen();
    if (screen.workAreaSet)
        return screen.workArea;
    RECT area = ScreenRect();
    area.top = std::min<LONG>(kTaskBarHeight, area.bottom);
    return area;
}

void SetWorkArea(const RECT& area) {
    ScreenState& screen = Screen();
    screen.workArea = area;
    screen.workAreaSet = true;
}

} // namespace user::detail

using namespace user::detail;

int GetSystemMetrics(int nIndex) {
    Locked lock;
    EnsureScreen();
    SIZE size = gdi::ScreenSize();
    switch (nIndex) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
        return size.cx;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return size.cy;
    case SM_CXFULLSCREEN: {
        RECT area = WorkArea();
        return area.right - area.left;
    }
    case SM_CYFULLSCREEN: {
        RECT area = WorkArea();
        return area.bottom - area.top;
    }
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
        return 13;
    case SM_CYCAPTION:
        return user::kCaptionHeight;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return user::kBorder;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return user::kDialogFrame;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return user::kClientEdge;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYMENU:
        return 26;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 8;
    default:
        return 0;
    }
}

BOOL SystemParametersInfoW(UINT uiAction, UINT, PVOID pvParam, UINT) {
    Locked lock;
    EnsureScreen();
    if (!pvParam)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    switch (uiAction) {
    case SPI_GETWORKAREA:
        *static_cast<RECT*>(pvParam) = WorkArea();
        return TRUE;
    case SPI_SETWORKAREA: {
        RECT area = *static_cast<const RECT*>(pvParam);
        RECT screen = ScreenRect();
        RECT clipped;
        if (!IntersectRect(&clipped, &area, &screen))
            return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
        SetWorkArea(clipped);
        return TRUE;
    }
    default:
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
}

UINT GetDoubleClickTime() {
    return 500;
}
