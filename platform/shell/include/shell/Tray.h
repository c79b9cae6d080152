#pragma once
// The tray: icons of this process's windows in its task bar (shell/FullScreen.h).
//
// What a caller may rely on:
// - An icon is known by its window and its id. It is drawn at 16 x 16 pixels in a slot of the bar:
//   icons take slots from the right edge leftwards in the order they were added, slot i covering
//   x = W - 22 (i + 1) to W - 22 i (W the screen's width) and the bar's height; removing an icon moves the
//   later ones to the right. The shell draws its own copy of the icon the caller gave.
// - A press on a slot posts the icon's callback message to its window with wParam the icon's id and lParam
//   WM_LBUTTONDOWN, and the release posts it with WM_LBUTTONUP (wherever the stylus is let go). An icon
//   whose callback message is 0 sends nothing.
// - Icons of a window go with the window.

#include <optional>

#include "crt/Types.h"

#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002

#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004

// The host's natural layout; cbSize is sizeof(NOTIFYICONDATA).
struct NOTIFYICONDATA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[64];
};
using PNOTIFYICONDATA = NOTIFYICONDATA*;

// NIM_ADD (FALSE with ERROR_ALREADY_EXISTS for an icon already there), NIM_MODIFY (the fields that uFlags
// names), NIM_DELETE (ERROR_NOT_FOUND for an icon not there). ERROR_INVALID_PARAMETER for a wrong cbSize,
// an unknown message or flag; ERROR_INVALID_WINDOW_HANDLE for a window that is not one of this process's.
BOOL Shell_NotifyIcon(DWORD dwMessage, PNOTIFYICONDATA lpData);

namespace shell {

// The slot of an icon in screen coordinates, or nothing when there is no such icon.
std::optional<RECT> TrayIconRect(HWND window, UINT id);

} // namespace shell
