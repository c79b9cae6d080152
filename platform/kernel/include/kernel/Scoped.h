#pragma once
// Owners of kernel handles and critical sections for a scope, for the platform and the code written on
// it. Closing at the end of a scope keeps the thread's last error, so a path that fails reports its own
// error rather than the cleanup's.

#include <utility>

#include "crt/Types.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Handles.h"
#include "kernel/Sync.h"

namespace kernel {

// Owns one handle that closeFunction closes. NULL and INVALID_HANDLE_VALUE both mean none: the calls
// that make handles fail with the one or the other.
template <BOOL (*closeFunction)(HANDLE)>
class ScopedKernelHandle {
public:
    ScopedKernelHandle() = default;
    explicit ScopedKernelHandle(HANDLE handle) : m_handle(handle) {}
    ~ScopedKernelHandle() {
        if (!IsOpen())
            return;
        const DWORD error = GetLastError();
        closeFunction(m_handle);
        SetLastError(error);
    }
    ScopedKernelHandle(ScopedKernelHandle&& other) noexcept : m_handle(other.Release()) {}
    ScopedKernelHandle& operator=(ScopedKernelHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ScopedKernelHandle(const ScopedKernelHandle&) = delete;
    ScopedKernelHandle& operator=(const ScopedKernelHandle&) = delete;

    bool IsOpen() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }
    // Gives the handle up to the caller, who closes it.
    HANDLE Release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }
    // Closes the handle held (keeping the last error) and takes handle instead.
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        ScopedKernelHandle previous(std::exchange(m_handle, handle));
    }
    // Closes now, for a path that checks the result: closeFunction's answer, TRUE when none was open.
    BOOL Close() { return IsOpen() ? closeFunction(Release()) : TRUE; }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// A file, mapping, mutex, process or thread handle, closed with CloseHandle.
using ScopedHandle = ScopedKernelHandle<CloseHandle>;
// A search of FindFirstFileW, ended with FindClose.
using ScopedFind = ScopedKernelHandle<FindClose>;

// A critical section from construction to destruction.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&m_section); }
    ~CriticalSection() { DeleteCriticalSection(&m_section); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    CRITICAL_SECTION* Get() { return &m_section; }

private:
    CRITICAL_SECTION m_section{};
};

// Holds a critical section for a scope.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION* section) : m_section(section) { EnterCriticalSection(m_section); }
    explicit CriticalSectionLock(CriticalSection& section) : CriticalSectionLock(section.Get()) {}
    ~CriticalSectionLock() { LeaveCriticalSection(m_section); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION* m_section;
};

} // namespace kernel
