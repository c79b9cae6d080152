#include "DriverFaults.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

namespace {

struct Faults {
    std::mutex lock;
    std::optional<std::u16string> failedValue;
    bool flushesFail = false;
    std::vector<SIZE_T> flushLengths;
    std::vector<HANDLE> mappings;
};

Faults& TheFaults() {
    static Faults faults;
    return faults;
}

// The platform's own definition of a call that this program defines too, by its mangled name.
template <typename Function>
Function* Platform(const char* symbol) {
    void* found = dlsym(RTLD_NEXT, symbol);
    if (found == nullptr) {
        std::fprintf(stderr, "the platform has no %s\n", symbol);
        std::abort();
    }
    return reinterpret_cast<Function*>(found);
}

} // namespace

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
    {
        Faults& faults = TheFaults();
        std::lock_guard guard(faults.lock);
        if (faults.failedValue && lpValueName != nullptr && *faults.failedValue == lpValueName)
            return ERROR_ACCESS_DENIED;
    }
    static auto* const platform = Platform<decltype(RegSetValueExW)>("_Z14RegSetValueExWP6HKEY__PKDsjjPKhj");
    return platform(hKey, lpValueName, Reserved, dwType, lpData, cbData);
}

BOOL FlushViewOfFile(LPCVOID baseAddress, SIZE_T numberOfBytesToFlush) {
    {
        Faults& faults = TheFaults();
        std::lock_guard guard(faults.lock);
        if (faults.flushesFail) {
            faults.flushLengths.push_back(numberOfBytesToFlush);
            SetLastError(ERROR_WRITE_FAULT);
            return FALSE;
        }
    }
    static auto* const platform = Platform<decltype(FlushViewOfFile)>("_Z15FlushViewOfFilePKvm");
    return platform(baseAddress, numberOfBytesToFlush);
}

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name) {
    static auto* const platform =
        Platform<decltype(CreateFileMappingW)>("_Z18CreateFileMappingWPvP19SECURITY_ATTRIBUTESjjjPKDs");
    HANDLE mapping = platform(file, security, protect, maximumSizeHigh, maximumSizeLow, name);
    Faults& faults = TheFaults();
    std::lock_guard guard(faults.lock);
    if (faults.flushesFail && mapping != nullptr)
        faults.mappings.push_back(mapping);
    return mapping;
}

namespace drivertest {

ValueWriteFailure::ValueWriteFailure(std::u16string valueName) {
    Faults& faults = TheFaults();
    std::lock_guard guard(faults.lock);
    faults.failedValue = std::move(valueName);
}

ValueWriteFailure::~ValueWriteFailure() {
    Faults& faults = TheFaults();
    std::lock_guard guard(faults.lock);
    faults.failedValue.reset();
}

ViewFlushFailure::ViewFlushFailure() {
    Faults& faults = TheFaults();
    std::lock_guard guard(faults.lock);
    faults.flushesFail = true;
    faults.flushLengths.clear();
    faults.mappings.clear();
}

ViewFlushFailure::~ViewFlushFailure() {
    Faults& faults = TheFaults();
    std::lock_guard guard(faults.lock);
    faults.flushesFail = false;
}

std::vector<SIZE_T> ViewFlushFailure::FlushLengths() const {
    Faults& faults = TheFaults();
    std::lock_guard guard(faults.lock);
    return faults.flushLengths;
}

std::vector<HANDLE> ViewFlushFailure::Mappings() const {
    Faults& faults = TheFaults();
    std::lock_guard guard(faults.lock);
    return faults.mappings;
}

} // namespace drivertest
