#pragma once
// What the program's skinned dialogs share: where their skin files are, and going back to the place a
// dialog had when a settings change (the input panel shown or hidden) moved it.

#include "classlib/String.h"
#include "classlib/Wnd.h"
#include "crt/Types.h"

// The program file's path cut after its last backslash, then "skin\" and the file name. A program path
// whose only backslash is its first character is answered unchanged (a skin load then fails).
CString ProgramSkinPath(LPCWSTR fileName);

// Puts the window back at the rectangle (screen coordinates), after its parent in the z-order (at the top
// without one), and lets its frame be worked out anew.
void ReturnToRect(CWnd* window, const RECT& rect);
