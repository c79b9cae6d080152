#include "Internal.h"

#include <cstring>
#include <vector>

#include "kernel/Errors.h"

namespace com::internal {

std::u16string GuidText(REFGUID guid) {
    WCHAR text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        HKEY key = other.Release();
        *Receive() = key;
    }
    return *this;
}

RegistryKey::~RegistryKey() {
    if (m_key)
        RegCloseKey(m_key);
}

HKEY RegistryKey::Release() {
    HKEY key = m_key;
    m_key = nullptr;
    return key;
}

HKEY* RegistryKey::Receive() {
    if (m_key)
        RegCloseKey(m_key);
    m_key = nullptr;
    return &m_key;
}

LONG CreateKey(HKEY parent, const std::u16string& subKey, RegistryKey& key) {
    return RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key.Receive(), nullptr);
}

LONG SetStringValue(HKEY key, LPCWSTR name, const std::u16string& text) {
    size_t bytes = (text.size() + 1) * sizeof(WCHAR);
    if (bytes > 0xFFFFFFFFu)
        return ERROR_INVALID_PARAMETER;
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(bytes));
}

std::optional<std::u16string> QueryStringValue(HKEY key, LPCWSTR name) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::nullopt;
    std::vector<BYTE> data(size);
    if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::u16string text(size / sizeof(WCHAR), u'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(WCHAR));
    while (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

} // namespace com::internal
