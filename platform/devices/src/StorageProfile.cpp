#include "StorageProfile.h"

#include "kernel/Errors.h"
#include "kernel/Registry.h"

namespace devices {
namespace {

constexpr WCHAR kProfilesKey[] = u"System\\StorageManager\\Profiles\\";

void ReadString(HKEY key, const WCHAR* name, std::u16string* value) {
    WCHAR buffer[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH * sizeof(WCHAR);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return;
    // The stored text need not end in a terminator; the buffer has one unit to spare.
    buffer[size / sizeof(WCHAR)] = 0;
    *value = buffer;
}

void ReadDword(HKEY key, const WCHAR* name, DWORD* value) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof data)
        *value = data;
}

void ReadFlag(HKEY key, const WCHAR* name, bool* value) {
    DWORD data = *value ? 1 : 0;
    ReadDword(key, name, &data);
    *value = data != 0;
}

} // namespace

StorageProfile ReadStorageProfile(const std::u16string& name) {
    StorageProfile profile;
    if (name.empty())
        return profile;
    HKEY key = nullptr;
    const std::u16string path = kProfilesKey + name;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, 0, &key) != ERROR_SUCCESS)
        return profile;
    ReadString(key, u"Folder", &profile.folder);
    ReadFlag(key, u"AutoMount", &profile.autoMount);
    ReadFlag(key, u"AutoPart", &profile.autoPart);
    ReadFlag(key, u"AutoFormat", &profile.autoFormat);
    ReadString(key, u"PartitionDriver", &profile.partitionDriver);
    ReadString(key, u"DefaultFileSystem", &profile.defaultFileSystem);
    ReadDword(key, u"MountFlags", &profile.mountFlags);
    RegCloseKey(key);
    return profile;
}

} // namespace devices
