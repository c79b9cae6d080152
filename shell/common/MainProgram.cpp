#include "common/MainProgram.h"

#include "shell/Shell.h"
#include "user/User.h"

namespace shell_entry {

HWND FindMainWindow() {
    return FindWindowW(nullptr, kMainWindowTitle);
}

void SendRequest(HWND mainWindow, ULONG_PTR request, PVOID data) {
    COPYDATASTRUCT copy{request, 0, data};
    SendMessageW(mainWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(mainWindow),
                 reinterpret_cast<LPARAM>(&copy));
}

void StartMainProgram(LPCWSTR parameters) {
    SHELLEXECUTEINFO info{};
    // The platform checks the size of the record as this build lays it out.
    info.cbSize = sizeof info;
    info.lpFile = kMainProgramPath;
    info.lpParameters = parameters;
    info.nShow = SW_SHOW;
    ShellExecuteEx(&info);
}

} // namespace shell_entry
