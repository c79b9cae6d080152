#include "shell/FullScreen.h"

#include <map>

#include "TaskBar.h"
#include "kernel/Errors.h"
#include "kernel/Processes.h"
#include "user/User.h"

namespace shell::detail {

namespace {

constexpr DWORD kKnownStates = SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR | SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON;

// The states that windows have set, by top-level window; windows that are gone are dropped as they are
// found.
std::map<HWND, FullScreenState>& States() {
    static std::map<HWND, FullScreenState>* states = new std::map<HWND, FullScreenState>;
    return *states;
}

void DropStatesOfDestroyedWindows() {
    std::erase_if(States(), [](const auto& entry) { return !IsWindow(entry.first); });
}

bool IsOwnWindow(HWND hwnd) {
    DWORD process = 0;
    return hwnd && IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, &process) != 0 &&
           process == GetCurrentProcessId();
}

} // namespace

FullScreenState StateOf(HWND window) {
    if (!IsOwnWindow(window))
        return FullScreenState{};
    auto it = States().find(GetAncestor(window, GA_ROOT));
    return it == States().end() ? FullScreenState{} : it->second;
}

bool TaskBarShownFor(HWND foreground) {
    return StateOf(foreground).taskBarShown;
}

} // namespace shell::detail

using namespace shell::detail;

BOOL SHFullScreen(HWND hwndRequester, DWORD dwState) {
    if (!IsOwnWindow(hwndRequester))
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if ((dwState & ~kKnownStates) != 0 ||
        (dwState & (SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR)) == (SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR) ||
        (dwState & (SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON)) == (SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON))
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    DropStatesOfDestroyedWindows();
    shell::FullScreenState& state = States()[GetAncestor(hwndRequester, GA_ROOT)];
    if (dwState & SHFS_SHOWTASKBAR)
        state.taskBarShown = true;
    if (dwState & SHFS_HIDETASKBAR)
        state.taskBarShown = false;
    if (dwState & SHFS_SHOWSIPBUTTON)
        state.inputPanelButtonShown = true;
    if (dwState & SHFS_HIDESIPBUTTON)
        state.inputPanelButtonShown = false;
    UpdateTaskBar();
    return TRUE;
}

BOOL SHInitExtraControls() {
    UpdateTaskBar();
    return TRUE;
}

namespace shell {

FullScreenState FullScreenStateOf(HWND window) {
    return StateOf(window);
}

FullScreenState CurrentFullScreenState() {
    return StateOf(GetForegroundWindow());
}

} // namespace shell
