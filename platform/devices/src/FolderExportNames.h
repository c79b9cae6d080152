#pragma once
// Between the host's side of a shared folder and the device's: paths (UTF-8 with '/' against UTF-16
// names), times (timespec against FILETIME) and errors (errno against the platform's codes).

#include <ctime>
#include <string_view>

#include "crt/Types.h"
#include "kernel/Volume.h"

namespace devices {

constexpr size_t kMaxNameBytes = 255; // the longest name of one entry, in UTF-8 bytes

// "/a/b" as the device's names of the entries on the way. Trailing dots and spaces are dropped as FAT
// drops them, so that a host name finds the entry the volume made of it. 0, or the negated errno of a
// path the device cannot hold: EINVAL for a name it refuses, ENAMETOOLONG for a name or a path beyond
// its limits, counted from the mount folder's device path of folderUnits units.
int DeviceComponents(std::string_view path, size_t folderUnits, kernel::PathComponents* components);

int ErrnoOf(DWORD error);

ULONGLONG TicksOf(const FILETIME& time);
FILETIME FileTimeOf(ULONGLONG ticks);
// A FILETIME of 0 (no valid date on the volume) shows as the host's epoch.
timespec ToTimespec(const FILETIME& time);
FILETIME FromTimespec(const timespec& time);

} // namespace devices
