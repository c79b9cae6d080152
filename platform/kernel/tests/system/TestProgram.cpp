// A device program for the process tests. The first word of its command line says what to do:
//   report ...          writes its command line, module name and DEVICE_ROOT under HKCU\Software\KernelTests
//   write PREFIX COUNT  writes COUNT values PREFIX0... (REG_DWORD) under HKLM\Software\KernelTests\Shared
//   count               writes an ever-growing counter under HKLM\Software\KernelTests\Counter until killed
//   mutex NAME          exit code 1 when the named mutex existed, 0 when it was created, 2 on failure
//   own NAME            exit code 0 when it could take the named mutex at once, 1 when not
//   clock               exit code 1 on the virtual clock, 0 on the real one
//   block               waits until it is terminated
//   exit CODE           exit code CODE

#include <cstdlib>
#include <string>
#include <vector>

#include "kernel/Errors.h"
#include "kernel/Modules.h"
#include "kernel/Program.h"
#include "kernel/Registry.h"
#include "kernel/Sync.h"
#include "kernel/Time.h"

namespace {

void SetString(HKEY key, const char16_t* name, const std::u16string& text) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
}

void SetNumber(HKEY key, const std::u16string& name, DWORD number) {
    RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

std::u16string Widen(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

std::string Narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

HKEY CreateKey(HKEY root, const char16_t* path) {
    HKEY key = nullptr;
    RegCreateKeyExW(root, path, 0, u"", 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

} // namespace

int WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    std::vector<std::u16string> words = kernel::SplitCommandLine(commandLine);
    std::u16string verb = words.empty() ? u"" : words[0];
    if (verb == u"report") {
        HKEY key = CreateKey(HKEY_CURRENT_USER, u"Software\\KernelTests");
        WCHAR module[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        const char* root = std::getenv("DEVICE_ROOT");
        SetString(key, u"CommandLine", commandLine);
        SetString(key, u"ModulePath", module);
        SetString(key, u"DeviceRoot", Widen(root ? root : ""));
        RegCloseKey(key);
        return 0;
    }
    if (verb == u"write" && words.size() == 3) {
        HKEY key = CreateKey(HKEY_LOCAL_MACHINE, u"Software\\KernelTests\\Shared");
        int count = std::atoi(Narrow(words[2]).c_str());
        for (int i = 0; i < count; ++i)
            SetNumber(key, words[1] + Widen(std::to_string(i)), static_cast<DWORD>(i));
        RegCloseKey(key);
        return 0;
    }
    if (verb == u"count") {
        HKEY key = CreateKey(HKEY_LOCAL_MACHINE, u"Software\\KernelTests\\Counter");
        for (DWORD i = 1;; ++i) {
            SetNumber(key, u"Value" + Widen(std::to_string(i % 16)), i);
            SetNumber(key, u"Latest", i);
        }
    }
    if (verb == u"mutex" && words.size() == 2) {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, words[1].c_str());
        if (!mutex)
            return 2;
        return GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0;
    }
    if (verb == u"own" && words.size() == 2) {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, words[1].c_str());
        return mutex && WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0 ? 0 : 1;
    }
    if (verb == u"clock")
        return kernel::IsVirtualClock() ? 1 : 0;
    if (verb == u"block")
        Sleep(INFINITE);
    if (verb == u"exit" && words.size() == 2)
        return std::atoi(Narrow(words[1]).c_str());
    return 99;
}
