#pragma once
// The task bar's window and the tray icons it draws, shared by the full-screen states and the tray.

#include <string>
#include <vector>

#include "crt/Types.h"

namespace shell::detail {

inline constexpr int kTraySlotWidth = 22;
inline constexpr int kTrayIconSize = 16;

struct TrayIcon {
    HWND window = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;
    HICON icon = nullptr; // the shell's own copy
    std::u16string tip;
};

// The icons of live windows, in the order they were added (icons of destroyed windows are dropped).
std::vector<TrayIcon>& TrayIcons();
// The slot of the icon at an index, in screen coordinates.
RECT TraySlot(size_t index);

// Makes the bar when it does not exist, and shows or hides it as the foreground window's state says.
void UpdateTaskBar();
void RepaintTaskBar();
// Whether the task bar is shown for this foreground window.
bool TaskBarShownFor(HWND foreground);

} // namespace shell::detail
