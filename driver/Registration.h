#pragma once
// The driver's self-registration: the device manager's driver key and the storage manager's profile,
// written on every load of the library.

#include "kernel/Kernel.h"

inline constexpr const WCHAR* kDriverKey = u"Drivers\\Builtin\\Ferrovane";
inline constexpr const WCHAR* kProfileKey = u"System\\StorageManager\\Profiles\\Ferrovane";

// One registry key held open at a time; every result code also becomes the last error.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool Create(HKEY root, const WCHAR* subkey);
    bool SetDWORDValue(const WCHAR* name, DWORD value);
    bool SetStringValue(const WCHAR* name, const WCHAR* text);
    bool Close();

private:
    HKEY m_key = nullptr;
};

bool WriteRegDWORD(HKEY root, const WCHAR* subkey, const WCHAR* name, DWORD value);
bool WriteRegString(HKEY root, const WCHAR* subkey, const WCHAR* name, const WCHAR* text);
BOOL RegisterDriver();
