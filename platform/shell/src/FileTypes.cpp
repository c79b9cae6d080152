#include "FileTypes.h"

#include "kernel/Kernel.h"

namespace shell::detail {

std::u16string QueryString(HKEY root, const std::u16string& key, const WCHAR* value) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, 0, &handle) != ERROR_SUCCESS)
        return {};
    WCHAR text[MAX_PATH * 2] = {};
    DWORD size = sizeof text - sizeof(WCHAR);
    DWORD type = 0;
    LONG result = RegQueryValueExW(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::u16string(text) : std::u16string();
}

std::u16string ExtensionOf(const std::u16string& path) {
    size_t dot = path.rfind(u'.');
    size_t slash = path.rfind(u'\\');
    if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash))
        return {};
    return path.substr(dot);
}

} // namespace shell::detail
