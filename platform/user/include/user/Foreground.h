#pragma once
// Tells the shell when the foreground window of the process changes, so that its task bar can follow the
// full-screen state of the window in front.
//
// What a caller may rely on: the observer is called on the user-interface thread, with the window system
// locked, each time the foreground window may have changed (an activation, SetForegroundWindow, the
// foreground window hidden or destroyed), with the new foreground window (NULL or the desktop when no
// window is in front). It must not change windows itself; posting a message is what it is for.

#include "crt/Types.h"

namespace user {

using ForegroundObserver = void (*)(HWND foreground);
// Replaces the observer (NULL: none); returns the previous one.
ForegroundObserver SetForegroundObserver(ForegroundObserver observer);

} // namespace user
