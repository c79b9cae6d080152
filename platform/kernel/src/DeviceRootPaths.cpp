// Device paths and host paths of the object store.

#include <system_error>

#include "PathText.h"
#include "VolumeHost.h"
#include "VolumeTable.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"

namespace kernel {

std::optional<std::filesystem::path> DeviceToHostPath(LPCWSTR devicePath, DWORD* error) {
    DWORD ignored = ERROR_SUCCESS;
    DWORD& result = error != nullptr ? *error : ignored;
    PathComponents path;
    result = files::ParseDevicePath(devicePath, files::PathUse::Name, &path);
    if (result != ERROR_SUCCESS)
        return std::nullopt;
    if (!files::RoutePath(path).mount->isStore) {
        result = ERROR_NOT_SUPPORTED; // a mounted volume's files are no host files
        return std::nullopt;
    }
    std::optional<std::filesystem::path> host = files::HostPathBelow(ObjectStoreFolder(), path);
    if (!host) {
        result = ERROR_INVALID_NAME;
        return std::nullopt;
    }
    return host;
}

std::optional<std::u16string> HostToDevicePath(const std::filesystem::path& hostPath) {
    const std::filesystem::path store = ObjectStoreFolder();
    std::filesystem::path relative = hostPath.lexically_normal().lexically_relative(store.lexically_normal());
    if (relative.empty() || *relative.begin() == "..") {
        // Compare the real paths too, for a host path spelled through links.
        std::error_code failure;
        const std::filesystem::path realHost = std::filesystem::weakly_canonical(hostPath, failure);
        const std::filesystem::path realStore =
            failure ? store : std::filesystem::weakly_canonical(store, failure);
        if (failure)
            return std::nullopt;
        relative = realHost.lexically_relative(realStore);
        if (relative.empty() || *relative.begin() == "..")
            return std::nullopt;
    }
    PathComponents components;
    for (const std::filesystem::path& part : relative) {
        if (part == "." || part.empty())
            continue;
        std::optional<std::u16string> name = files::FromUtf8(part.native());
        if (!name || !files::IsDeviceName(*name))
            return std::nullopt;
        components.push_back(std::move(*name));
    }
    std::u16string device = files::JoinDevicePath(components);
    if (device.size() >= MAX_PATH)
        return std::nullopt;
    return device;
}

} // namespace kernel
