#pragma once
// The device root: the host folder that holds one simulated handheld. DEVICE_ROOT names it; without it
// the process uses /tmp/ferrovane-device-<uid>. Layout inside the root:
//   store/     the object store, the device's "\"
//   registry   the registry file
//   run/       run-time state shared by the device's processes (locks, mutexes, sockets)
//
// Device paths use '\', start at '\' (a path without the leading '\' is taken from the root, as on the
// handheld), are at most MAX_PATH units with the terminator, and are case-insensitive but
// case-preserving: each component maps to the host entry whose name matches it case-insensitively (an
// exact match first), and a new component takes the case given. Host names are UTF-8; host entries whose
// names are no valid device names are invisible. No device path reaches outside the object store:
// "." and ".." components are refused.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "crt/Types.h"

namespace kernel {

std::filesystem::path DeviceRoot();
std::filesystem::path ObjectStoreFolder();
std::filesystem::path RuntimeFolder();

// Switches this process, and the processes it starts from now on, to another device root (creating its
// layout). Tests use it to work in a fresh temporary root.
void SetDeviceRoot(const std::filesystem::path& root);

// Folders that every device holds from the start (the shell's special folders, "\Windows\StartUp"):
// made, where they are missing, in the object store of every root this process uses from now on and in
// the one it uses already.
void AddStandardFolders(const std::vector<std::u16string>& devicePaths);

// The host path of a device path: existing components matched case-insensitively, the others taken as
// given. Fails with the platform's error: ERROR_INVALID_NAME for an empty path, a name the handheld
// refuses (< > : " / | ? *, control characters, unpaired surrogates, "." and ".."),
// ERROR_FILENAME_EXCED_RANGE for one of MAX_PATH units or more, ERROR_INVALID_PARAMETER for NULL, and
// ERROR_NOT_SUPPORTED for a path below a mounted volume (its files are no host files).
std::optional<std::filesystem::path> DeviceToHostPath(LPCWSTR devicePath, DWORD* error);

// The device path of a host path inside the object store ("\" for the store itself); nullopt for a host
// path outside it.
std::optional<std::u16string> HostToDevicePath(const std::filesystem::path& hostPath);

} // namespace kernel
