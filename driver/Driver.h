#pragma once
// The stream-interface entry points of Ferrovane.dll (device prefix "FRV"), exported by name for the
// device manager. Device and open contexts are pointer-sized: both are the ContainerDisk.

#include "kernel/Kernel.h"

#define FRV_EXPORT __attribute__((visibility("default")))

extern "C" {
FRV_EXPORT DWORD_PTR FRV_Init(LPCWSTR activeKeyPath, LPVOID activationParameter);
FRV_EXPORT BOOL FRV_Deinit(DWORD_PTR deviceContext);
FRV_EXPORT DWORD_PTR FRV_Open(DWORD_PTR deviceContext, DWORD access, DWORD shareMode);
FRV_EXPORT BOOL FRV_Close(DWORD_PTR openContext);
FRV_EXPORT DWORD FRV_Read(DWORD_PTR openContext, LPVOID buffer, DWORD count);
FRV_EXPORT DWORD FRV_Write(DWORD_PTR openContext, LPCVOID buffer, DWORD count);
FRV_EXPORT DWORD FRV_Seek(DWORD_PTR openContext, LONG offset, DWORD origin);
FRV_EXPORT BOOL FRV_IOControl(DWORD_PTR openContext, DWORD code, PBYTE in, DWORD inSize, PBYTE out,
                              DWORD outSize, PDWORD actualOut);
FRV_EXPORT void FRV_PowerUp(DWORD_PTR deviceContext);
FRV_EXPORT void FRV_PowerDown(DWORD_PTR deviceContext);
FRV_EXPORT BOOL DllMain(HANDLE module, DWORD reason, LPVOID reserved);
}
