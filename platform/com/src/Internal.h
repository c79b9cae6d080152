#pragma once
// Helpers shared by the run time's files: GUID text, registry keys that close themselves.

#include <optional>
#include <string>

#include "com/Unknown.h"
#include "kernel/Registry.h"

namespace com::internal {

std::u16string GuidText(REFGUID guid);

// An open registry key, closed when it goes.
class RegistryKey {
public:
    RegistryKey() = default;
    explicit RegistryKey(HKEY key) : m_key(key) {}
    RegistryKey(RegistryKey&& other) noexcept : m_key(other.Release()) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();

    HKEY Get() const { return m_key; }
    HKEY Release();
    HKEY* Receive(); // closes the key it holds, for an out parameter

private:
    HKEY m_key = nullptr;
};

// Creates (or opens) parent\subKey.
LONG CreateKey(HKEY parent, const std::u16string& subKey, RegistryKey& key);
// Sets a REG_SZ value (NULL name: the default value), terminator included.
LONG SetStringValue(HKEY key, LPCWSTR name, const std::u16string& text);
// The text of a REG_SZ or REG_EXPAND_SZ value without trailing terminators; nullopt when there is none.
std::optional<std::u16string> QueryStringValue(HKEY key, LPCWSTR name);

} // namespace com::internal
