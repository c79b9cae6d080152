#pragma once
// Installing built files into the current device root under their device paths. The build records them
// with ferrovane_device_file (cmake/Device.cmake); the device_install target, the device tool and tests
// install them. A file is copied next to its destination and renamed over it, so a program that runs from
// the old file keeps running and no reader sees a half-written file. Results are platform error codes.
//
// An install lays down the program's files and keeps what the user made or changed since:
// - a program file is replaced when its content changed, and left alone when it did not;
// - a configuration file (the auto-mount list) is laid down when it is missing, and replaced by a new
//   version only while it still holds the version the last install laid down; a file the user changed
//   stays as it is;
// - a self-registering library is installed as a program file and then registered (its DllRegisterServer
//   is called, as the handheld's installer does) when it is new or changed, or was never registered;
//   an unchanged library is not registered again, so what the user changed in its keys stays.
// Nothing else in the store or the registry is touched. The install record (the file "installed" in the
// device root) keeps what each install laid down and registered.

#include <filesystem>

#include "crt/Types.h"

namespace kernel {

enum class DeviceFileKind {
    Program,
    Configuration,
    SelfRegistering,
};

// Installs the host file at the device path, creating the folders above it; keeps its permissions. A
// library whose registration fails gives the failure (the loader's error, ERROR_PROC_NOT_FOUND without
// DllRegisterServer, the error its result carries) and is registered again by the next install.
DWORD InstallDeviceFile(const std::filesystem::path& hostFile, LPCWSTR devicePath,
                        DeviceFileKind kind = DeviceFileKind::Program);
// Installs every line of a manifest: a host path, a tab and a device path (UTF-8), then optionally a tab
// and the kind: "config" or "register". Stops at the first failure; ERROR_BAD_FORMAT for a malformed line.
DWORD InstallDeviceManifest(const std::filesystem::path& manifest);

} // namespace kernel
