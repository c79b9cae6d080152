#pragma once
// Waiting, mutexes and critical sections.
//
// A named mutex is shared by every process of the device root and exists while some process holds a
// handle to it: CreateMutexW of a name that exists opens it and sets the last error to
// ERROR_ALREADY_EXISTS (ERROR_SUCCESS otherwise). Names are case-sensitive, at most MAX_PATH units and
// contain no '\'. Mutexes and critical sections are recursive: the owning thread may enter again and
// leaves as often as it entered. Abandonment is not reported: a mutex whose owning thread ends without
// releasing it stays owned within its process, and one whose owning process ends passes to the next
// waiter with WAIT_OBJECT_0.

#include "crt/Types.h"
#include "kernel/Handles.h"

#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED 0xFFFFFFFF
#ifndef INFINITE
#define INFINITE 0xFFFFFFFF
#endif

namespace kernel {

// A kernel object that a thread can wait for.
class Waitable : public KernelObject {
public:
    // WAIT_OBJECT_0 once signalled (a mutex: once owned by the caller), WAIT_TIMEOUT after the timeout in
    // real milliseconds (INFINITE never times out).
    virtual DWORD Wait(DWORD milliseconds) = 0;
};

} // namespace kernel

// WAIT_FAILED with ERROR_INVALID_HANDLE for a handle that is not open or cannot be waited for.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// lpName NULL or empty makes a mutex of this process only. bInitialOwner is ignored when the mutex exists.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName);
// FALSE with ERROR_NOT_OWNER when the calling thread does not own the mutex.
BOOL ReleaseMutex(HANDLE hMutex);

// Holds a recursive lock in place; no allocation, so initialising cannot fail. The record is opaque.
struct CRITICAL_SECTION {
    alignas(8) BYTE Opaque[48];
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
