#pragma once
// What the program's dialogs share: where their skin files are, the wait and arrow cursors, the test for
// an existing path, and going back to the place a dialog had when a settings change (the input panel shown
// or hidden) moved it.

#include "classlib/String.h"
#include "classlib/Wnd.h"
#include "crt/Types.h"

// The program file's path cut after its last backslash, then "skin\" and the file name. A program path
// whose only backslash is its first character is answered unchanged (a skin load then fails).
CString ProgramSkinPath(LPCWSTR fileName);
// The same for the main dialog and the splash screen, which also serve a program at the root of the store
// ("\ferrovane.exe" finds "\skin\..."); a program path without a backslash is answered unchanged.
CString SkinBesideProgram(LPCWSTR fileName);

// The wait cursor while an operation takes time, the arrow when it ends or shows a message.
void ShowWaitCursor();
void ShowArrowCursor();

// Whether a search for the path finds an entry (a file, a folder, or what a pattern matches). When it
// finds none the last error says why: ERROR_NO_MORE_FILES for a folder that is there without the entry.
bool PathExists(LPCWSTR path);

// Puts the window back at the rectangle (screen coordinates), after its parent in the z-order (at the top
// without one), and lets its frame be worked out anew.
void ReturnToRect(CWnd* window, const RECT& rect);
