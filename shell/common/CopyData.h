#pragma once
// The WM_COPYDATA requests that the shell's entry points send to the main program's window. wParam is
// the target window's own handle; cbData is 0 in both, so no bytes cross into the main program.

#include "crt/Types.h"

// dwData of a request to create a new container (from the New menu); lpData is NULL.
inline constexpr ULONG_PTR COPYDATA_NEW_CONTAINER = 0;
// dwData of a request to open a container (from a tapped container file); lpData is the sender's pointer
// to the path, which stays in the sender.
inline constexpr ULONG_PTR COPYDATA_OPEN_CONTAINER = 1;
