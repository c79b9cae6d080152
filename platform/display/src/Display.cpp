#include "display/Display.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "PngWriter.h"
#include "X11Window.h"
#include "gdi/Surface.h"

namespace display {

namespace {

struct ScreenState {
    Backend backend = Backend::Headless;
    std::unique_ptr<X11Window> window;
    InputHandler handler;
};

ScreenState& State() {
    static ScreenState state;
    return state;
}

Backend BackendFromEnvironment() {
    const char* name = std::getenv("FERROVANE_DISPLAY");
    return name && std::string_view(name) == "x11" ? Backend::X11 : Backend::Headless;
}

// The scale FERROVANE_DISPLAY_SCALE names; 0 (fit the display) when it names none.
int ScaleFromEnvironment() {
    const char* value = std::getenv("FERROVANE_DISPLAY_SCALE");
    if (!value)
        return 0;
    int scale = std::atoi(value);
    return scale >= 1 && scale <= kMaxScale ? scale : 0;
}

void ShowAll() {
    ScreenState& state = State();
    if (!state.window)
        return;
    SIZE size = gdi::ScreenSize();
    state.window->Show(gdi::ScreenPixels(), gdi::ScreenStride(), RECT{0, 0, size.cx, size.cy});
}

} // namespace

int FittingScale(SIZE screen, SIZE workArea) {
    if (screen.cx <= 0 || screen.cy <= 0)
        return 1;
    const LONG fit = std::min(workArea.cx / screen.cx, workArea.cy / screen.cy);
    return static_cast<int>(std::clamp<LONG>(fit, 1, kMaxScale));
}

bool OpenScreen(const ScreenOptions& options) {
    CloseScreen();
    if (!gdi::SetScreenSize(options.width, options.height))
        return false;
    gdi::TakeScreenDamage();
    Backend backend = options.backend.value_or(BackendFromEnvironment());
    if (backend == Backend::Headless)
        return true;
    int scale = options.scale >= 1 && options.scale <= kMaxScale ? options.scale : ScaleFromEnvironment();
    std::string error;
    auto window =
        X11Window::Open(options.x11Display, options.width, options.height, scale, options.title, error);
    if (!window)
        return false;
    ScreenState& state = State();
    state.window = std::move(window);
    state.backend = Backend::X11;
    ShowAll();
    return true;
}

void CloseScreen() {
    ScreenState& state = State();
    state.window.reset();
    state.backend = Backend::Headless;
}

Backend CurrentBackend() {
    return State().backend;
}

void SetInputHandler(InputHandler handler) {
    State().handler = std::move(handler);
}

void Present() {
    RECT damage = gdi::TakeScreenDamage();
    ScreenState& state = State();
    if (state.window && damage.left < damage.right)
        state.window->Show(gdi::ScreenPixels(), gdi::ScreenStride(), damage);
}

int InputFd() {
    ScreenState& state = State();
    return state.window ? state.window->Fd() : -1;
}

int PumpInput() {
    ScreenState& state = State();
    if (!state.window)
        return 0;
    return state.window->Pump(state.handler, ShowAll);
}

bool SaveScreenshot(const std::filesystem::path& file) {
    SIZE size = gdi::ScreenSize();
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy) * 3);
    for (int y = 0; y < size.cy; ++y) {
        for (int x = 0; x < size.cx; ++x) {
            COLORREF color = ScreenPixel(x, y);
            rgb.push_back(GetRValue(color));
            rgb.push_back(GetGValue(color));
            rgb.push_back(GetBValue(color));
        }
    }
    return WriteRgbPng(file, size.cx, size.cy, rgb);
}

COLORREF ScreenPixel(int x, int y) {
    SIZE size = gdi::ScreenSize();
    if (x < 0 || y < 0 || x >= size.cx || y >= size.cy)
        return 0xFFFFFFFF; // CLR_INVALID
    uint16_t v = gdi::ScreenPixels()[static_cast<size_t>(y) * gdi::ScreenStride() + static_cast<size_t>(x)];
    unsigned r = (v >> 11) & 0x1F;
    unsigned g = (v >> 5) & 0x3F;
    unsigned b = v & 0x1F;
    return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

unsigned long X11WindowId() {
    ScreenState& state = State();
    return state.window ? state.window->WindowId() : 0;
}

} // namespace display
