#pragma once
// Driving the windows of the device's other processes, for the device tool and end-to-end tests: their
// window trees, stylus and key input into their queues, their screens as PNG images, the items of their
// lists. The requests travel over the same per-process sockets as FindWindowW and WM_COPYDATA, and a
// process answers them whenever it takes messages.
//
// What a caller may rely on:
// - Failures give nullopt or false with the last error: ERROR_INVALID_WINDOW_HANDLE (or
//   ERROR_INVALID_PARAMETER) when the process or window is not there, ERROR_TIMEOUT when it did not answer.
// - Input is queued in the order given, stamped with the process's clock when it arrives, and routed by
//   that process as its own stylus and keys are (capture, the window under the point, the focus); points
//   are pixels of that process's screen.
// - A process is idle when nothing is queued for it (messages, input, sent messages), nothing waits to be
//   painted and no timer is due; its screen then shows everything that its input has led to.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crt/Types.h"

namespace user::remote {

struct WindowInfo {
    HWND handle = nullptr;
    HWND parent = nullptr; // NULL for a top-level window
    int depth = 0;         // 0 for a top-level window, 1 for its children, ...
    std::u16string className;
    std::u16string text;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};          // in the process's screen pixels
    bool visible = false; // WS_VISIBLE on the window and every ancestor
};

struct ProcessWindows {
    DWORD process = 0;
    std::u16string program; // the program's device path
    SIZE screen{};
    HWND active = nullptr;
    HWND focus = nullptr;
    // The top-level windows, the top of the z-order first, each followed by its descendants in z-order.
    std::vector<WindowInfo> windows;
};

// The device's other processes that have windows, by process id.
std::vector<DWORD> Processes();
std::optional<ProcessWindows> Windows(DWORD process);

struct InputEvent {
    enum class Kind : uint32_t { StylusDown, StylusMove, StylusUp, KeyDown, KeyUp };
    Kind kind = Kind::StylusDown;
    POINT point{};       // stylus events
    UINT virtualKey = 0; // key events
    WCHAR character = 0; // key downs that type a character
};

std::vector<InputEvent> TapEvents(POINT point);
// Down at from, steps moves along the line (at least one), up at to.
std::vector<InputEvent> DragEvents(POINT from, POINT to, int steps = 4);
std::vector<InputEvent> KeyPressEvents(UINT virtualKey, WCHAR character = 0);
// A key press for each character, typing it.
std::vector<InputEvent> TextEvents(std::u16string_view text);
// The key that types a character on the handheld's keyboard (VK_PACKET when no key of its own does).
UINT VirtualKeyOf(char16_t character);

bool SendInput(DWORD process, const std::vector<InputEvent>& events);
// Asks until the process is idle or the time is up; whether it became idle.
bool WaitUntilIdle(DWORD process, std::chrono::milliseconds timeout);
// The process's screen as an 8-bit RGB PNG file image.
std::optional<std::vector<uint8_t>> ScreenPng(DWORD process);
// The items of a list box of another process (LB_GETCOUNT and LB_GETTEXT), and its selection (-1: none).
struct ListItems {
    std::vector<std::u16string> items;
    int selected = -1;
};
std::optional<ListItems> ListBoxItems(HWND window);

} // namespace user::remote
