// A wmain program for the process tests: stores its arguments under HKCU\Software\KernelTests\Arguments
// as the values "Count" (REG_DWORD) and "0", "1", ... (REG_SZ).

#include <string>

#include "kernel/Registry.h"

int wmain(int argc, WCHAR** argv) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\KernelTests\\Arguments", 0, u"", 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    DWORD count = static_cast<DWORD>(argc);
    RegSetValueExW(key, u"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    for (int i = 0; i < argc; ++i) {
        std::string digits = std::to_string(i);
        std::u16string name(digits.begin(), digits.end());
        std::u16string text(argv[i]);
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    }
    RegCloseKey(key);
    return 0;
}
