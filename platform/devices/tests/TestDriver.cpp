// A stream driver with the prefix TST that reports every call to the test program. Its Init refuses a
// NULL parameter, so a test can make an activation fail.

#include "crt/Types.h"
#include "devices/DiskIo.h"
#include "kernel/Errors.h"
#include "kernel/Threads.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

extern "C" void RecordDriverCall(const char* what, DWORD_PTR value);

namespace {
int g_context = 0;
DWORD_PTR KernelMode() {
    return (UTlsPtr()[PRETLS_THRDINFO] & UTLS_INKMODE) ? 1 : 0;
}
} // namespace

EXPORT BOOL DllMain(HANDLE, DWORD reason, LPVOID) {
    RecordDriverCall(reason == 1 ? "attach" : reason == 0 ? "detach" : "other", reason);
    return TRUE;
}

EXPORT DWORD_PTR TST_Init(LPCWSTR activeKey, LPVOID parameter) {
    RecordDriverCall("init", reinterpret_cast<DWORD_PTR>(activeKey));
    RecordDriverCall("init kernel mode", KernelMode());
    if (parameter == nullptr) {
        SetLastError(1234);
        return 0;
    }
    return reinterpret_cast<DWORD_PTR>(&g_context);
}

EXPORT BOOL TST_Deinit(DWORD_PTR context) {
    RecordDriverCall("deinit", context == reinterpret_cast<DWORD_PTR>(&g_context));
    return TRUE;
}

EXPORT BOOL TST_IOControl(DWORD_PTR, DWORD code, PBYTE in, DWORD inSize, PBYTE, DWORD, PDWORD) {
    RecordDriverCall("ioctl", code);
    RecordDriverCall("ioctl kernel mode", KernelMode());
    RecordDriverCall("ioctl in", in != nullptr && inSize == sizeof(POST_INIT_BUF));
    return TRUE;
}
