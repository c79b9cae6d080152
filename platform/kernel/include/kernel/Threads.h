#pragma once
// What the kernel tells a driver about the thread that calls it: whether the thread runs in kernel mode
// (the device and storage managers mark it while they call a driver) and the trust level of its caller.
// Threads run in user mode and with full trust unless a test says otherwise. There is one address space,
// so a caller's pointer needs no mapping.

#include "crt/Types.h"

// Index of the thread-information slot before the thread's TLS slots, and its kernel-mode flag.
#define PRETLS_THRDINFO (-5)
#define UTLS_INKMODE 0x00000001

#define OEM_CERTIFY_FALSE 0
#define OEM_CERTIFY_RUN 1
#define OEM_CERTIFY_TRUST 2

// The current thread's TLS slots; UTlsPtr()[PRETLS_THRDINFO] is its thread information.
LPDWORD UTlsPtr();
// The trust level of the caller: the thread's own level when one is set, else the process's.
DWORD CeGetCallerTrust();
// The pointer itself; NULL with ERROR_INVALID_PARAMETER for NULL or a range that wraps the address space.
LPVOID MapCallerPtr(LPVOID ptr, DWORD length);

namespace kernel {

// Marks the current thread as running in kernel mode for the scope's life; scopes nest.
class KernelModeScope {
public:
    KernelModeScope();
    ~KernelModeScope();
    KernelModeScope(const KernelModeScope&) = delete;
    KernelModeScope& operator=(const KernelModeScope&) = delete;

private:
    DWORD m_saved;
};

// The trust level of every thread that has none of its own (OEM_CERTIFY_TRUST at start).
void SetProcessCallerTrust(DWORD level);

// Gives the current thread its own trust level for the scope's life; scopes nest.
class CallerTrustScope {
public:
    explicit CallerTrustScope(DWORD level);
    ~CallerTrustScope();
    CallerTrustScope(const CallerTrustScope&) = delete;
    CallerTrustScope& operator=(const CallerTrustScope&) = delete;

private:
    LONG m_saved;
};

} // namespace kernel
