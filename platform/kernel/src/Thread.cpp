#include "kernel/Threads.h"

#include <atomic>
#include <cstdint>

#include "kernel/Errors.h"

namespace {

constexpr int kPreTlsSlots = 8;
constexpr int kTlsSlots = 64;
constexpr LONG kNoThreadTrust = -1;

thread_local DWORD t_slots[kPreTlsSlots + kTlsSlots] = {};
thread_local LONG t_trust = kNoThreadTrust;
std::atomic<DWORD> g_processTrust{OEM_CERTIFY_TRUST};

} // namespace

LPDWORD UTlsPtr() {
    return t_slots + kPreTlsSlots;
}

DWORD CeGetCallerTrust() {
    return t_trust == kNoThreadTrust ? g_processTrust.load() : static_cast<DWORD>(t_trust);
}

LPVOID MapCallerPtr(LPVOID ptr, DWORD length) {
    auto address = reinterpret_cast<std::uintptr_t>(ptr);
    if (!ptr || address > UINTPTR_MAX - length)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<LPVOID>(nullptr));
    return ptr;
}

namespace kernel {

KernelModeScope::KernelModeScope() : m_saved(UTlsPtr()[PRETLS_THRDINFO]) {
    UTlsPtr()[PRETLS_THRDINFO] = m_saved | UTLS_INKMODE;
}

KernelModeScope::~KernelModeScope() {
    UTlsPtr()[PRETLS_THRDINFO] = m_saved;
}

void SetProcessCallerTrust(DWORD level) {
    g_processTrust = level;
}

CallerTrustScope::CallerTrustScope(DWORD level) : m_saved(t_trust) {
    t_trust = static_cast<LONG>(level);
}

CallerTrustScope::~CallerTrustScope() {
    t_trust = m_saved;
}

} // namespace kernel
