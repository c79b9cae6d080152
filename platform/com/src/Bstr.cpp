#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "com/Automation.h"
#include "com/Runtime.h"
#include "crt/WideString.h"

// Format notes: a BSTR's block is a 32-bit byte count, the units, and one NUL unit; the BSTR points at
// the first unit.

namespace {

constexpr size_t kPrefixBytes = sizeof(std::uint32_t);

std::uint32_t StoredByteCount(BSTR bstr) {
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const BYTE*>(bstr) - kPrefixBytes, kPrefixBytes);
    return bytes;
}

} // namespace

LPVOID CoTaskMemAlloc(SIZE_T cb) {
    return std::malloc(cb == 0 ? 1 : cb);
}

void CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz)
        return nullptr;
    size_t length = wcslen(psz);
    if (length > 0xFFFFFFFFu)
        return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(length));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT ui) {
    // The byte count must fit its 32 bits, and the block the address space.
    constexpr std::uint64_t kMaxUnits = (0xFFFFFFFFull - kPrefixBytes - sizeof(OLECHAR)) / sizeof(OLECHAR);
    if (ui > kMaxUnits)
        return nullptr;
    std::uint32_t bytes = static_cast<std::uint32_t>(ui) * sizeof(OLECHAR);
    auto* block = static_cast<BYTE*>(std::malloc(kPrefixBytes + bytes + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    std::memcpy(block, &bytes, kPrefixBytes);
    auto* text = reinterpret_cast<OLECHAR*>(block + kPrefixBytes);
    if (pch)
        std::memcpy(text, pch, bytes);
    else
        std::memset(text, 0, bytes);
    text[ui] = u'\0';
    return text;
}

void SysFreeString(BSTR bstrString) {
    if (bstrString)
        std::free(reinterpret_cast<BYTE*>(bstrString) - kPrefixBytes);
}

UINT SysStringLen(BSTR bstr) {
    return bstr ? StoredByteCount(bstr) / sizeof(OLECHAR) : 0;
}

UINT SysStringByteLen(BSTR bstr) {
    return bstr ? StoredByteCount(bstr) : 0;
}
