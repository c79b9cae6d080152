#pragma once
// A storage profile: how the storage manager treats the disks of a driver, read from
// HKEY_LOCAL_MACHINE\System\StorageManager\Profiles\<name>. A value that is missing, or of another type,
// takes the handheld's default.

#include <string>

#include "crt/Types.h"

namespace devices {

struct StorageProfile {
    std::u16string folder;                          // "Folder": the mount folder's name; may be empty
    bool autoMount = true;                          // "AutoMount"
    bool autoPart = false;                          // "AutoPart": partition a disk that has no partition
    bool autoFormat = false;                        // "AutoFormat": format an unformatted partition
    std::u16string partitionDriver = u"mspart.dll"; // "PartitionDriver"
    std::u16string defaultFileSystem = u"FATFS";    // "DefaultFileSystem"
    DWORD mountFlags = 0;                           // "MountFlags"
};

// The profile of that name; the defaults alone for an empty name or a missing key.
StorageProfile ReadStorageProfile(const std::u16string& name);

} // namespace devices
