#pragma once
// The window system's test surface: drive and observe the windows of this process from a test.
//
// What a test may rely on:
// - Input goes through the same queue as the device's own: stylus and key events are routed (to the
//   capture window, the window under the point, the focus window) when the loop takes them, so a tap
//   injected before a press handler sets the capture already goes to the capture window.
// - RunUntilIdle handles everything that is queued, paints included, without moving the clock, and shows
//   the screen. It runs messages as the program's loop would: through the innermost modal loop (a popup
//   menu's keys and taps, a modal dialog's dialog manager), else through the dialog manager of the
//   message's top-level dialog. AdvanceTime moves the virtual clock, firing each timer as it comes due.
// - Modal loops (dialogs, message boxes, popup menus) call the scripted answers when they start, in the
//   order the answers were given; each answer is used once. A modal loop that no answer matches, while a
//   failure handler is set (WindowTest sets one), is reported to it with its title and text and is
//   dismissed (IDCANCEL, the box's cancel or no answer, no menu item), so the test goes on.
// - Everything here runs on the test's thread, which must be the thread that owns the windows.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crt/Types.h"

namespace user::test {

// Destroys this thread's windows, empties its queue and the input, kills its timers, clears focus,
// activation, capture, the cursor, the scripted answers and the failure handler, and sizes the screen
// (which the desktop then paints whole). An X11 screen goes back to headless.
void ResetWindowSystem(SIZE screen = SIZE{240, 320});
// The virtual clock for this process (kernel::UseVirtualClock).
void UseVirtualClock();
// Shows the screen in an X11 window on a display (for tests under Xvfb); false when it cannot be opened.
bool UseX11Display(const std::string& displayName, int scale = 1);

// Input, in screen pixels.
void StylusDown(POINT screen);
void StylusMove(POINT screen);
void StylusUp(POINT screen);
void Tap(POINT screen);
// At a point of the window's client area (its centre by default).
bool TapWindow(HWND window, std::optional<POINT> client = std::nullopt);
// On the centre of the dialog's control with that id.
bool TapControl(HWND dialog, int id);
void Drag(POINT from, POINT to, int steps = 4);
// A key down (typing character, if any) and its release.
void KeyDown(UINT virtualKey, WCHAR character = 0);
void KeyUp(UINT virtualKey);
void PressKey(UINT virtualKey, WCHAR character = 0);
// Each character as a key press that types it.
void TypeText(std::u16string_view text);

// Loops.
void RunUntilIdle();
// Moves the virtual clock by milliseconds, firing timers on the way (and running until idle after each).
void AdvanceTime(ULONGLONG milliseconds);
// Runs the loop, waiting in real time when needed (for other processes), until done() answers true or the
// time is up; whether done() did.
bool RunUntil(const std::function<bool()>& done,
              std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Scripted answers for modal loops.
enum class ModalKind { Dialog, MessageBox, Menu };
struct ModalInfo {
    ModalKind kind;
    HWND window;
    std::u16string title;
    std::u16string text; // a message box's text
};
using ModalAction = std::function<void(const ModalInfo&)>;
// The next message box is answered with that button (failing the test when it has none).
void AnswerNextMessageBox(int button);
// The next dialog whose title is this (empty: any) gets WM_COMMAND for the button id, as from a click.
void AnswerNextDialog(std::u16string title, int buttonId);
// The next popup menu chooses the item with this id (0 dismisses the menu).
void AnswerNextMenu(UINT itemId);
// The next modal loop of this kind whose title is this (empty: any) runs the action when it starts; the
// action may tap, type and run the loop, and must end the modal loop.
void OnNextModal(ModalKind kind, std::u16string title, ModalAction action);
size_t PendingAnswers();
// Receives failures: modal loops nobody answered, answers that did not fit. Empty: none are reported
// and unanswered modal loops wait for input as on a device.
void SetFailureHandler(std::function<void(const std::string&)> handler);

// Observations.
struct WindowNode {
    HWND handle;
    std::u16string className;
    std::u16string text;
    DWORD style;
    DWORD exStyle;
    int id;
    RECT rect; // screen coordinates
    std::vector<WindowNode> children;
};
// The top-level windows of this process (top of the z-order first), each with its descendants.
std::vector<WindowNode> WindowTree();
std::string DumpWindowTree();
std::u16string Text(HWND window);
DWORD Style(HWND window);
RECT ScreenRect(HWND window);
COLORREF ScreenPixel(int x, int y);
// A pixel at a point of the window's client area.
COLORREF WindowPixel(HWND window, int x, int y);
bool SaveScreenshot(const std::filesystem::path& file);
// While a popup menu runs: the screen rectangle of its item with that id.
std::optional<RECT> MenuItemRect(UINT itemId);
// The window of the innermost modal loop, NULL when none runs.
HWND CurrentModalWindow();

} // namespace user::test
