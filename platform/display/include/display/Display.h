#pragma once
// The screen of a process as the user sees it. The pixels are the drawing library's screen
// (gdi/Surface.h); this library shows them: headless by default (nothing is shown; screenshots are PNG
// files), or in an X11 window, scaled up, which reports the mouse as the stylus and the keyboard as keys.
//
// The backend is the one the options name, else the one the environment variable FERROVANE_DISPLAY names
// ("x11" or "headless"), else headless. Everything here runs on the thread that opened the screen: the
// window system's user-interface thread, which calls Present after painting and PumpInput when InputFd
// is readable.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "crt/Types.h"

namespace display {

enum class Backend { Headless, X11 };

struct ScreenOptions {
    int width = 240;
    int height = 320;
    std::optional<Backend> backend;
    // Window pixels per screen pixel; 0 takes FERROVANE_DISPLAY_SCALE (1 to kMaxScale), else FittingScale
    // of the display's work area.
    int scale = 0;
    // The X11 display; empty takes DISPLAY.
    std::string x11Display;
    std::string title = "Ferrovane";
};

struct InputEvent {
    enum class Kind { StylusDown, StylusMove, StylusUp, KeyDown, KeyUp, CloseRequested };
    Kind kind = Kind::StylusDown;
    POINT point{};       // stylus events: screen pixels, inside the screen
    UINT virtualKey = 0; // key events: the platform's VK_ code, 0 for a key it has none for
    WCHAR character = 0; // key downs that type a character: the character
};
using InputHandler = std::function<void(const InputEvent&)>;

inline constexpr int kMaxScale = 16;

// The largest whole scale at which a window of the screen's size fits the work area, at least 1 and at
// most kMaxScale.
int FittingScale(SIZE screen, SIZE workArea);

// Sizes the screen (cleared to black) and starts the backend, closing one that was open. An X11 display
// that cannot be opened gives false, and the screen is then headless.
bool OpenScreen(const ScreenOptions& options = {});
void CloseScreen();
Backend CurrentBackend();

void SetInputHandler(InputHandler handler);
// Shows what was drawn since the last call.
void Present();
// Readable while input is waiting; -1 when headless.
int InputFd();
// Hands the waiting input to the handler; returns how many events it handed on.
int PumpInput();

// The screen as an 8-bit RGB PNG file.
bool SaveScreenshot(const std::filesystem::path& file);
COLORREF ScreenPixel(int x, int y);

// The X11 window's id (0 when headless), for tests that send it events.
unsigned long X11WindowId();

} // namespace display
