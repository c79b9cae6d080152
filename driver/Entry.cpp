// The library entry and the stream calls that move no data.

#include "Driver.h"
#include "Registration.h"

BOOL DllMain(HANDLE module, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(static_cast<HMODULE>(module));
        RegisterDriver();
    }
    return TRUE;
}

DWORD_PTR FRV_Open(DWORD_PTR deviceContext, DWORD /*access*/, DWORD /*shareMode*/) {
    return deviceContext;
}

BOOL FRV_Close(DWORD_PTR /*openContext*/) {
    return TRUE;
}

DWORD FRV_Read(DWORD_PTR /*openContext*/, LPVOID /*buffer*/, DWORD /*count*/) {
    return 0;
}

DWORD FRV_Write(DWORD_PTR /*openContext*/, LPCVOID /*buffer*/, DWORD /*count*/) {
    return 0;
}

DWORD FRV_Seek(DWORD_PTR /*openContext*/, LONG /*offset*/, DWORD /*origin*/) {
    return 0;
}

void FRV_PowerUp(DWORD_PTR /*deviceContext*/) {}

void FRV_PowerDown(DWORD_PTR /*deviceContext*/) {}
