#pragma once
// How the shell's entry points reach the main program: its main window when it runs, else a start of its
// installed program. Neither road reports a failure; the entry points have no one to report it to.

#include "crt/Types.h"

namespace shell_entry {

// The title of the main program's main window, which its skin gives it.
inline constexpr WCHAR kMainWindowTitle[] = u"Ferrovane";
// Where the installation puts the main program.
inline constexpr WCHAR kMainProgramPath[] = u"\\program files\\ferrovane\\ferrovane.exe";

// The running main program's main window, of any process of the device; NULL when none runs.
HWND FindMainWindow();
// Sends the window a WM_COPYDATA request with no data bytes (wParam is the window itself) and waits
// until the main program has answered it; the answer is not looked at.
void SendRequest(HWND mainWindow, ULONG_PTR request, PVOID data);
// Starts the main program with the parameters through the shell's execute call; a failed start is
// ignored.
void StartMainProgram(LPCWSTR parameters);

} // namespace shell_entry
