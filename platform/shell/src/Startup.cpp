#include "shell/Startup.h"

#include <algorithm>

#include "CommandText.h"
#include "crt/Crt.h"
#include "kernel/Kernel.h"
#include "kernel/Scoped.h"
#include "shell/Shell.h"

namespace shell {

std::vector<StartupItem> RunStartupFolder() {
    std::vector<StartupItem> items;
    WCHAR folder[MAX_PATH];
    if (!SHGetSpecialFolderPath(nullptr, folder, CSIDL_STARTUP, FALSE))
        return items;
    std::u16string pattern = std::u16string(folder) + u"\\*.lnk";
    WIN32_FIND_DATAW found{};
    {
        const kernel::ScopedFind search(FindFirstFileW(pattern.c_str(), &found));
        if (!search.IsOpen())
            return items;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                items.push_back(StartupItem{std::u16string(folder) + u"\\" + found.cFileName, {}, 0});
        } while (FindNextFileW(search.Get(), &found));
    }
    std::sort(items.begin(), items.end(), [](const StartupItem& a, const StartupItem& b) {
        return _wcsicmp(a.shortcut.c_str(), b.shortcut.c_str()) < 0;
    });
    for (StartupItem& item : items) {
        WCHAR target[MAX_PATH + 16];
        if (!SHGetShortcutTarget(item.shortcut.c_str(), target, MAX_PATH + 16)) {
            item.error = GetLastError();
            continue;
        }
        item.target = target;
        std::u16string program, arguments;
        detail::SplitCommand(item.target, &program, &arguments);
        SHELLEXECUTEINFO info{};
        info.cbSize = sizeof info;
        info.lpFile = program.c_str();
        info.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
        info.nShow = SW_SHOW;
        item.error = ShellExecuteEx(&info) ? 0 : GetLastError();
    }
    return items;
}

} // namespace shell
