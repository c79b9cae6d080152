// A library for the module tests. Its DllMain reports every call to the test executable (which exports
// KernelTestRecordModuleEvent) with the library's own module name. Built in three forms:
//   plain                           exports TestLibraryAnswer
//   TEST_LIBRARY_REFUSES_ATTACH     answers FALSE to DLL_PROCESS_ATTACH
//   TEST_LIBRARY_LOADS_ANOTHER      loads TestLibrary.dll while it attaches and frees it while it detaches

#include <dlfcn.h>

#include "kernel/Modules.h"

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
