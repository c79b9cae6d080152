#pragma once
// The shell's full-screen states and its task bar.
//
// What a caller may rely on:
// - Each top-level window has a state of its own: task bar shown or hidden, input-panel button shown or
//   hidden; both shown until SHFullScreen changes them (for a child window, its top-level window's state
//   changes). What the screen shows follows the foreground window's state, at once when that window
//   calls SHFullScreen and whenever another window comes to the front (after the message loop has run).
// - While shown, the task bar covers the top kTaskBarHeight pixels of the screen, above every other
//   window; it holds the tray icons (shell/Tray.h). The window system keeps the work area below it either
//   way: hiding the bar moves no window. The bar is a window of class "HHTaskBar" that never becomes
//   active; it is made by the first SHInitExtraControls, SHFullScreen or Shell_NotifyIcon call, and made
//   again after the window system has destroyed it.
// - The input-panel button has no picture here; its state is kept and reported.
// - These calls belong to the process's user-interface thread.

#include "crt/Types.h"

#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008

// Applies the flags to the window's state. FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that is not
// one of this process's, ERROR_INVALID_PARAMETER for unknown flags or for showing and hiding the same thing.
BOOL SHFullScreen(HWND hwndRequester, DWORD dwState);
// The shell library's start-up call: makes the task bar. TRUE.
BOOL SHInitExtraControls();

namespace shell {

inline constexpr int kTaskBarHeight = 26;

struct FullScreenState {
    bool taskBarShown = true;
    bool inputPanelButtonShown = true;
};

// The state of the window's top-level window.
FullScreenState FullScreenStateOf(HWND window);
// What the screen shows now: the state of the foreground window.
FullScreenState CurrentFullScreenState();
// The task bar's window (NULL before it is made).
HWND TaskBarWindow();

} // namespace shell
