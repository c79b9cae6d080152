// A library for the module tests. Its DllMain reports every call to the test executable (which exports
// KernelTestRecordModuleEvent) with the library's own module name. Built in three forms:
//   plain                           exports TestLibraryAnswer
//   TEST_LIBRARY_REFUSES_ATTACH     answers FALSE to DLL_PROCESS_ATTACH
//   TEST_LIBRARY_LOADS_ANOTHER      loads TestLibrary.dll while it attaches and frees it while it detaches
//   TEST_LIBRARY_REGISTERS          exports DllRegisterServer, which counts its calls in the DWORD
//                                   HKCU\Software\InstallTests\Registered, writes the text value "Text"
//                                   there, and fails with ERROR_ACCESS_DENIED while "Refuse" is set

#include <dlfcn.h>

#include "kernel/Modules.h"
#ifdef TEST_LIBRARY_REGISTERS
#include "kernel/Errors.h"
#include "kernel/Registry.h"
#endif

namespace {

using Recorder = void (*)(const WCHAR* module, DWORD reason);

void Record(HANDLE module, DWORD reason) {
    auto recorder = reinterpret_cast<Recorder>(::dlsym(RTLD_DEFAULT, "KernelTestRecordModuleEvent"));
    if (!recorder)
        return;
    WCHAR name[MAX_PATH] = {};
    GetModuleFileNameW(static_cast<HMODULE>(module), name, MAX_PATH);
    recorder(name, reason);
}

#ifdef TEST_LIBRARY_LOADS_ANOTHER
HMODULE g_other = nullptr;
#endif

} // namespace

extern "C" BOOL DllMain(HANDLE module, DWORD reason, LPVOID) {
    Record(module, reason);
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(static_cast<HMODULE>(module));
#ifdef TEST_LIBRARY_REFUSES_ATTACH
    if (reason == DLL_PROCESS_ATTACH)
        return FALSE;
#endif
#ifdef TEST_LIBRARY_LOADS_ANOTHER
    if (reason == DLL_PROCESS_ATTACH)
        g_other = LoadLibraryW(u"TestLibrary.dll");
    if (reason == DLL_PROCESS_DETACH && g_other)
        FreeLibrary(g_other);
#endif
    return TRUE;
}

extern "C" int TestLibraryAnswer() {
    return 42;
}

#ifdef TEST_LIBRARY_REGISTERS
extern "C" HRESULT DllRegisterServer() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\InstallTests", 0, nullptr, 0, 0, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return static_cast<HRESULT>(0x80004005); // E_FAIL
    if (RegQueryValueExW(key, u"Refuse", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return static_cast<HRESULT>(0x80070005); // ERROR_ACCESS_DENIED as a result
    }
    DWORD count = 0;
    DWORD size = sizeof count;
    RegQueryValueExW(key, u"Registered", nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size);
    ++count;
    RegSetValueExW(key, u"Registered", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    const WCHAR text[] = u"as registered";
    RegSetValueExW(key, u"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    RegCloseKey(key);
    return 0;
}
#endif
