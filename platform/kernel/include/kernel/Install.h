#pragma once
// Installing built files into the current device root under their device paths. The build records them
// with ferrovane_device_file (cmake/Device.cmake); the device_install target and tests install them.
// A file is copied next to its destination and renamed over it, so a program that runs from the old file
// keeps running and no reader sees a half-written file. Results are platform error codes.

#include <filesystem>

#include "crt/Types.h"

namespace kernel {

// Copies the host file to the device path, creating the folders above it; keeps its permissions.
DWORD InstallDeviceFile(const std::filesystem::path& hostFile, LPCWSTR devicePath);
// Installs every line of a manifest: a host path, a tab and a device path (UTF-8). Stops at the first
// failure; ERROR_BAD_FORMAT for a malformed line.
DWORD InstallDeviceManifest(const std::filesystem::path& manifest);

} // namespace kernel
