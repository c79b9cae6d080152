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
//   mounted read-only.

#include <string>

#include "devices/DeviceManager.h"

namespace devices {

// The folder ("\Encrypted") at which a device's volume is mounted; empty when it is not mounted.
std::u16string MountFolderOf(const Device& device);

} // namespace devices
