#pragma once
// What the shell does when the device starts: the shortcuts of the Startup folder (CSIDL_STARTUP).

#include <string>
#include <vector>

#include "crt/Types.h"

namespace shell {

struct StartupItem {
    std::u16string shortcut; // the shortcut's device path
    std::u16string target;   // the command line it holds
    DWORD error = 0;         // 0 when the target was started
};

// Starts every shortcut (*.lnk) of the Startup folder in the order of their names (compared without
// regard to case): the target's program with the rest of the target as its parameters, through
// ShellExecuteEx, so that a document opens with its type's command. A missing folder starts nothing.
std::vector<StartupItem> RunStartupFolder();

} // namespace shell
