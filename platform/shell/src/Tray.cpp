#include "shell/Tray.h"

#include <algorithm>

#include "TaskBar.h"
#include "crt/Crt.h"
#include "kernel/Errors.h"
#include "kernel/Processes.h"
#include "user/Icon.h"
#include "user/User.h"

namespace shell::detail {

namespace {

constexpr UINT kKnownFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

std::vector<TrayIcon>& AllIcons() {
    static std::vector<TrayIcon>* icons = new std::vector<TrayIcon>;
    return *icons;
}

void Release(TrayIcon& icon) {
    if (icon.icon)
        DestroyIcon(icon.icon);
    icon.icon = nullptr;
}

// Takes the fields that the flags name.
void Apply(TrayIcon& icon, const NOTIFYICONDATA& data) {
    if (data.uFlags & NIF_MESSAGE)
        icon.callbackMessage = data.uCallbackMessage;
    if (data.uFlags & NIF_ICON) {
        Release(icon);
        icon.icon = data.hIcon ? CopyIcon(data.hIcon) : nullptr;
    }
    if (data.uFlags & NIF_TIP) {
        size_t length = 0;
        while (length < std::size(data.szTip) && data.szTip[length] != 0)
            ++length;
        icon.tip.assign(data.szTip, length);
    }
}

} // namespace

std::vector<TrayIcon>& TrayIcons() {
    std::vector<TrayIcon>& icons = AllIcons();
    for (TrayIcon& icon : icons)
        if (!IsWindow(icon.window))
            Release(icon);
    std::erase_if(icons, [](const TrayIcon& icon) { return !IsWindow(icon.window); });
    return icons;
}

} // namespace shell::detail

using namespace shell::detail;

BOOL Shell_NotifyIcon(DWORD dwMessage, PNOTIFYICONDATA lpData) {
    if (!lpData || lpData->cbSize != sizeof(NOTIFYICONDATA) || (lpData->uFlags & ~kKnownFlags) != 0 ||
        dwMessage > NIM_DELETE)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    DWORD process = 0;
    if (!IsWindow(lpData->hWnd) || GetWindowThreadProcessId(lpData->hWnd, &process) == 0 ||
        process != GetCurrentProcessId())
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    std::vector<TrayIcon>& icons = TrayIcons();
    auto found = std::find_if(icons.begin(), icons.end(), [&](const TrayIcon& icon) {
        return icon.window == lpData->hWnd && icon.id == lpData->uID;
    });
    switch (dwMessage) {
    case NIM_ADD: {
        if (found != icons.end())
            return kernel::Fail(ERROR_ALREADY_EXISTS, FALSE);
        TrayIcon icon;
        icon.window = lpData->hWnd;
        icon.id = lpData->uID;
        Apply(icon, *lpData);
        icons.push_back(std::move(icon));
        break;
    }
    case NIM_MODIFY:
        if (found == icons.end())
            return kernel::Fail(ERROR_NOT_FOUND, FALSE);
        Apply(*found, *lpData);
        break;
    case NIM_DELETE:
        if (found == icons.end())
            return kernel::Fail(ERROR_NOT_FOUND, FALSE);
        Release(*found);
        icons.erase(found);
        break;
    }
    UpdateTaskBar();
    RepaintTaskBar();
    return TRUE;
}

std::optional<RECT> shell::TrayIconRect(HWND window, UINT id) {
    const std::vector<TrayIcon>& icons = TrayIcons();
    for (size_t i = 0; i < icons.size(); ++i)
        if (icons[i].window == window && icons[i].id == id)
            return TraySlot(i);
    return std::nullopt;
}
