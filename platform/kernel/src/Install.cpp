#include "kernel/Install.h"

#include <unistd.h>

#include <fstream>
#include <string>

#include "ProgramSupport.h"
#include "crt/Utf8.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"

namespace kernel {

DWORD InstallDeviceFile(const std::filesystem::path& hostFile, LPCWSTR devicePath) {
    if (!devicePath)
        return ERROR_INVALID_PARAMETER;
    std::error_code failure;
    if (!std::filesystem::is_regular_file(hostFile, failure))
        return ERROR_FILE_NOT_FOUND;
    DWORD error = ERROR_SUCCESS;
    auto target = DeviceToHostPath(devicePath, &error);
    if (!target)
        return error;
    std::filesystem::create_directories(target->parent_path(), failure);
    if (failure)
        return ERROR_PATH_NOT_FOUND;
    std::filesystem::path temporary = target->parent_path() / (".install-" + std::to_string(::getpid()) +
                                                               "-" + target->filename().string());
    std::filesystem::copy_file(hostFile, temporary, std::filesystem::copy_options::overwrite_existing,
                               failure);
    if (!failure)
        std::filesystem::permissions(temporary, std::filesystem::status(hostFile).permissions(), failure);
    if (!failure)
        std::filesystem::rename(temporary, *target, failure);
    if (failure) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return failure == std::errc::no_space_on_device ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

DWORD InstallDeviceManifest(const std::filesystem::path& manifest) {
    std::ifstream input(manifest);
    if (!input)
        return ERROR_FILE_NOT_FOUND;
    std::string line;
    while (std::getline(input, line)) {
        if (line.empty())
            continue;
        size_t tab = line.find('\t');
        if (tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos)
            return ERROR_BAD_FORMAT;
        auto devicePath = crt::FromWtf8(std::string_view(line).substr(tab + 1));
        if (!devicePath)
            return ERROR_BAD_FORMAT;
        if (DWORD error = InstallDeviceFile(line.substr(0, tab), devicePath->c_str()))
            return error;
    }
    return ERROR_SUCCESS;
}

} // namespace kernel
