#include "shell/Shell.h"

#include <string>
#include <vector>

#include "CommandText.h"
#include "FileTypes.h"
#include "com/Runtime.h"
#include "crt/Crt.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Kernel.h"
#include "kernel/Scoped.h"

using shell::detail::QueryString;

namespace {

struct SpecialFolder {
    int id;
    const WCHAR* path;
};

const SpecialFolder kSpecialFolders[] = {
    {CSIDL_PROGRAMS, u"\\Windows\\Start Menu\\Programs"},
    {CSIDL_PERSONAL, u"\\My Documents"},
    {CSIDL_FAVORITES, u"\\Windows\\Favorites"},
    {CSIDL_STARTUP, u"\\Windows\\StartUp"},
    {CSIDL_RECENT, u"\\Windows\\Recent"},
    {CSIDL_STARTMENU, u"\\Windows\\Start Menu"},
    {CSIDL_DESKTOPDIRECTORY, u"\\Windows\\Desktop"},
    {CSIDL_FONTS, u"\\Windows\\Fonts"},
    {CSIDL_WINDOWS, u"\\Windows"},
    {CSIDL_PROGRAM_FILES, u"\\Program Files"},
};

// The special folders are there on every device, as the handheld's image holds them.
[[maybe_unused]] const bool kSpecialFoldersOnEveryDevice = [] {
    std::vector<std::u16string> paths;
    for (const SpecialFolder& known : kSpecialFolders)
        paths.emplace_back(known.path);
    kernel::AddStandardFolders(paths);
    return true;
}();

// Makes every folder of a device path that does not exist yet.
void MakeFolders(const std::u16string& path) {
    for (size_t at = path.find(u'\\', 1);; at = path.find(u'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        if (at == std::u16string::npos)
            break;
    }
}

bool IsProgramPath(const std::u16string& path) {
    std::u16string extension = shell::detail::ExtensionOf(path);
    // No extension: a program name such as "fexplore".
    return extension.empty() || _wcsicmp(extension.c_str(), u".exe") == 0;
}

BOOL Start(LPSHELLEXECUTEINFO info, const std::u16string& program, const std::u16string& arguments) {
    std::u16string commandLine = arguments;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.empty() ? nullptr : commandLine.data(), nullptr, nullptr,
                        FALSE, 0, nullptr, nullptr, nullptr, &process)) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(
            static_cast<ULONG_PTR>(GetLastError() == ERROR_FILE_NOT_FOUND ? 2 : 0));
        return FALSE;
    }
    const kernel::ScopedHandle thread(process.hThread);
    kernel::ScopedHandle started(process.hProcess);
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
        info->hProcess = started.Release();
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(42));
    return TRUE;
}

} // namespace

BOOL SHGetSpecialFolderPath(HWND /*owner*/, LPWSTR path, int folder, BOOL create) {
    if (path == nullptr)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    for (const SpecialFolder& known : kSpecialFolders) {
        if (known.id != folder)
            continue;
        CopyStringW(path, MAX_PATH, known.path);
        if (create)
            MakeFolders(known.path);
        return TRUE;
    }
    return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
}

BOOL SHCreateShortcut(LPWSTR shortcutFile, LPWSTR target) {
    if (shortcutFile == nullptr || target == nullptr)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    WCHAR text[MAX_PATH + 16];
    int length = _snwprintf(text, MAX_PATH + 16, u"%u#%s", static_cast<unsigned>(wcslen(target)), target);
    if (length < 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::string bytes(static_cast<size_t>(length), '\0');
    wcstombs(bytes.data(), text, bytes.size());
    const kernel::ScopedHandle file(
        CreateFileW(shortcutFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file.IsOpen())
        return FALSE;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

BOOL SHGetShortcutTarget(LPCWSTR shortcutFile, LPWSTR target, int maxUnits) {
    if (shortcutFile == nullptr || target == nullptr || maxUnits <= 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    char bytes[MAX_PATH + 16] = {};
    DWORD read = 0;
    {
        const kernel::ScopedHandle file(
            CreateFileW(shortcutFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file.IsOpen() || !ReadFile(file.Get(), bytes, sizeof bytes - 1, &read, nullptr))
            return FALSE;
    }
    std::string text(bytes, read);
    size_t hash = text.find('#');
    if (hash == std::string::npos)
        return kernel::Fail(ERROR_BAD_FORMAT, FALSE);
    size_t count = static_cast<size_t>(std::strtoul(text.substr(0, hash).c_str(), nullptr, 10));
    std::string command = text.substr(hash + 1, count);
    WCHAR wide[MAX_PATH + 16] = {};
    mbstowcs(wide, command.c_str(), MAX_PATH + 15);
    CopyStringW(target, static_cast<size_t>(maxUnits), wide);
    return TRUE;
}

BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info) {
    if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFO) || info->lpFile == nullptr)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (info->lpVerb != nullptr && *info->lpVerb != 0 && _wcsicmp(info->lpVerb, u"open") != 0)
        return kernel::Fail(ERROR_NO_ASSOCIATION, FALSE);
    std::u16string file = info->lpFile;
    std::u16string parameters = info->lpParameters != nullptr ? info->lpParameters : u"";
    if (IsProgramPath(file))
        return Start(info, file, parameters);

    // A document: its type's open command, with %1 standing for the document's path.
    std::u16string extension = shell::detail::ExtensionOf(file);
    std::u16string type = QueryString(HKEY_CLASSES_ROOT, extension, nullptr);
    std::u16string command = type.empty()
                                 ? std::u16string()
                                 : QueryString(HKEY_CLASSES_ROOT, type + u"\\Shell\\Open\\Command", nullptr);
    if (command.empty()) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(31));
        return kernel::Fail(ERROR_NO_ASSOCIATION, FALSE);
    }
    for (size_t at = command.find(u"%1"); at != std::u16string::npos;
         at = command.find(u"%1", at + file.size()))
        command.replace(at, 2, file);
    std::u16string program, arguments;
    shell::detail::SplitCommand(command, &program, &arguments);
    if (!parameters.empty())
        arguments += (arguments.empty() ? u"" : u" ") + parameters;
    return Start(info, program, arguments);
}

namespace shell {

namespace {
const WCHAR kNewMenuKey[] = u"SOFTWARE\\Microsoft\\Shell\\Extensions\\NewMenu";
}

std::vector<NewMenuEntry> NewMenuEntries() {
    std::vector<NewMenuEntry> entries;
    HKEY menu = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kNewMenuKey, 0, 0, &menu) != ERROR_SUCCESS)
        return entries;
    for (DWORD i = 0;; ++i) {
        WCHAR name[64];
        DWORD length = 64;
        if (RegEnumKeyExW(menu, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        NewMenuEntry entry{};
        if (FAILED(CLSIDFromString(name, &entry.clsid)))
            continue;
        HKEY key = nullptr;
        if (RegOpenKeyExW(menu, name, 0, 0, &key) != ERROR_SUCCESS)
            continue;
        DWORD enabled = 0;
        DWORD size = sizeof enabled;
        DWORD type = 0;
        bool on = RegQueryValueExW(key, u"Enabled", nullptr, &type, reinterpret_cast<BYTE*>(&enabled),
                                   &size) == ERROR_SUCCESS &&
                  type == REG_DWORD && enabled == 1;
        RegCloseKey(key);
        entry.text = QueryString(HKEY_LOCAL_MACHINE, std::u16string(kNewMenuKey) + u"\\" + name, nullptr);
        if (on)
            entries.push_back(entry);
    }
    RegCloseKey(menu);
    return entries;
}

HRESULT ChooseNewMenuEntry(REFCLSID clsid) {
    HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IUnknown* object = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&object));
    if (SUCCEEDED(hr))
        object->Release();
    if (SUCCEEDED(init))
        CoUninitialize();
    return hr;
}

} // namespace shell
