#include "Registration.h"

#include "crt/Crt.h"
#include "devices/DiskIo.h"

bool RegKey::Create(HKEY root, const WCHAR* subkey) {
    if (m_key != nullptr && !Close())
        return false;
    LONG result = RegCreateKeyExW(root, subkey, 0, const_cast<WCHAR*>(u""), 0, KEY_ALL_ACCESS, nullptr,
                                  &m_key, nullptr);
    SetLastError(static_cast<DWORD>(result));
    if (result != ERROR_SUCCESS)
        m_key = nullptr;
    return result == ERROR_SUCCESS;
}

bool RegKey::SetDWORDValue(const WCHAR* name, DWORD value) {
    LONG result =
        RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    SetLastError(static_cast<DWORD>(result));
    return result == ERROR_SUCCESS;
}

bool RegKey::SetStringValue(const WCHAR* name, const WCHAR* text) {
    DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR));
    LONG result = RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    SetLastError(static_cast<DWORD>(result));
    return result == ERROR_SUCCESS;
}

bool RegKey::Close() {
    if (m_key == nullptr)
        return false;
    LONG result = RegCloseKey(m_key);
    m_key = nullptr;
    return result == ERROR_SUCCESS;
}

namespace {

template <typename Set>
bool WriteRegValue(HKEY root, const WCHAR* subkey, Set set) {
    RegKey key;
    if (!key.Create(root, subkey))
        return false;
    if (!set(key)) {
        DWORD error = GetLastError();
        key.Close();
        SetLastError(error);
        return false;
    }
    return key.Close();
}

} // namespace

bool WriteRegDWORD(HKEY root, const WCHAR* subkey, const WCHAR* name, DWORD value) {
    return WriteRegValue(root, subkey, [&](RegKey& key) { return key.SetDWORDValue(name, value); });
}

bool WriteRegString(HKEY root, const WCHAR* subkey, const WCHAR* name, const WCHAR* text) {
    return WriteRegValue(root, subkey, [&](RegKey& key) { return key.SetStringValue(name, text); });
}

BOOL RegisterDriver() {
    // Each value is written on its own; one that fails is skipped and the others still go in.
    WriteRegString(HKEY_LOCAL_MACHINE, kDriverKey, u"Prefix", u"FRV");
    WriteRegString(HKEY_LOCAL_MACHINE, kDriverKey, u"Dll", u"Ferrovane.dll");
    WriteRegString(HKEY_LOCAL_MACHINE, kDriverKey, u"FriendlyName", u"Ferrovane Driver");
    WriteRegDWORD(HKEY_LOCAL_MACHINE, kDriverKey, u"Order", 0);
    WriteRegDWORD(HKEY_LOCAL_MACHINE, kDriverKey, u"Ioctl", DISK_IOCTL_INITIALIZED);
    WriteRegString(HKEY_LOCAL_MACHINE, kDriverKey, u"IClass", u"{A4E7EDDA-E575-4252-9D6B-4195D48BB865}");
    WriteRegString(HKEY_LOCAL_MACHINE, kDriverKey, u"Profile", u"Ferrovane");
    WriteRegString(HKEY_LOCAL_MACHINE, kProfileKey, u"Name", u"Ferrovane Disk Block Device");
    WriteRegString(HKEY_LOCAL_MACHINE, kProfileKey, u"Folder", u"Encrypted");
    WriteRegDWORD(HKEY_LOCAL_MACHINE, kProfileKey, u"AutoMount", 1);
    WriteRegDWORD(HKEY_LOCAL_MACHINE, kProfileKey, u"AutoPart", 1);
    WriteRegDWORD(HKEY_LOCAL_MACHINE, kProfileKey, u"AutoFormat", 1);
    WriteRegDWORD(HKEY_LOCAL_MACHINE, kProfileKey, u"MountFlags", 0);
    WriteRegString(HKEY_LOCAL_MACHINE, kProfileKey, u"DefaultFileSystem", u"FATFS");
    WriteRegString(HKEY_LOCAL_MACHINE, kProfileKey, u"PartitionDriver", u"mspart.dll");
    return TRUE;
}
