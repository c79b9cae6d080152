#pragma once
// The storage manager. It takes every block device that the device manager activates (it registers
// itself as the device manager's block-device handler when this library loads), reads the device's
// storage profile, and under it partitions a disk that has never been partitioned, formats a partition
// that has never been formatted, and mounts the volume as a folder of the root; at deactivation it
// dismounts the volume, writing everything through the driver, and lets go of the device.
//
// What a caller may rely on:
// - The mount folder is "\" + the profile's "Folder"; when that name is taken (by an entry of the root or
//   another mount) the handheld's numbered names follow: "Encrypted2", "Encrypted3", ... up to 99. An
//   empty "Folder" takes the name the driver reports for its disk (IOCTL_DISK_GETNAME), else
//   "Mounted Volume".
// - Only sectors that were never written count as blank: a disk whose sector 0 holds anything but a
//   valid partition sector, or a partition whose boot sector holds anything but a FAT boot sector, is
//   left unmounted and unchanged; so is a disk the profile does not let the storage manager prepare.
//   The activation succeeds all the same.
// - The partition sector written begins E9 FD FF and its partition ends before the disk's last sector,
//   so the file system never writes there; a volume of another origin that reaches that sector is
//   mounted read-only (its MountInfo says so): every change fails with ERROR_WRITE_PROTECT, and on the
//   host with EROFS.
// - While a volume is mounted, the host folder that its mount folder's device path maps to (under the
//   device root's store/) is a FUSE mount served by the same volume, so the device's other processes and
//   the host's programs see and change the same files. Where FUSE is not available (no usable /dev/fuse,
//   no fusermount3 for a user who may not mount, the mount refused, or FERROVANE_FUSE=0 in the
//   environment) the volume is seen by the mounting process only, and its MountInfo says why.
// - At deactivation the host must let go of the folder (close its files, leave it as current folder):
//   the dismount waits up to 5 s on the platform clock, then DeactivateDevice fails with ERROR_BUSY and
//   the device stays active, mounted and shared, with nothing changed; a later DeactivateDevice tries
//   again. After a dismount no host folder is left.
// - A host folder that a process left behind when it died while sharing it (a dead FUSE mount) is
//   cleared when a volume is next mounted at that folder.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "devices/DeviceManager.h"

namespace devices {

enum class MountSharing {
    Shared,      // the host folder is served by the volume: every process of the device sees the files
    ProcessOnly, // only the process that mounted the volume sees the files
};

// A volume that this process has mounted.
struct MountInfo {
    std::u16string deviceName;        // "FRV1:"
    std::u16string folder;            // "\Encrypted"
    std::filesystem::path hostFolder; // where the folder's device path maps to on the host
    MountSharing sharing = MountSharing::ProcessOnly;
    std::string sharingNote;  // why the mount is not shared; empty when it is
    size_t openHostFiles = 0; // files host programs hold open through the folder
    bool readOnly = false;    // the volume reaches the disk's last sector, which it must not change
};

// The folder ("\Encrypted") at which a device's volume is mounted; empty when it is not mounted.
std::u16string MountFolderOf(const Device& device);
// The mount of a device's volume; nullopt when it is not mounted.
std::optional<MountInfo> MountOf(const Device& device);

// Why no folder can be served to the host in this process now (switched off by FERROVANE_FUSE=0, no
// usable /dev/fuse, no fusermount3 for a user without the right to mount); empty when FUSE may work.
std::string ExportUnavailableReason();
// Every volume this process has mounted, in the order they were mounted.
std::vector<MountInfo> Mounts();
// Clears the host folder of a mount folder ("\Encrypted") that a process which died while sharing it left
// behind: the dead FUSE mount is detached and the folder made for it removed; a live mount, of any
// process, and the user's own folders are left alone. True when there was a dead mount.
bool ClearDeadMountFolder(const std::u16string& folder);

} // namespace devices
