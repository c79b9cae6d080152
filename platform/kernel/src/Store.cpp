// Store information and free space, from the volume that serves a path.

#include "kernel/Store.h"

#include <algorithm>

#include "PathText.h"
#include "VolumeTable.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"

using kernel::Fail;

namespace {

DWORD FreeSpaceOf(const kernel::PathComponents& path, ULONGLONG* freeBytes, ULONGLONG* totalBytes) {
    kernel::files::Route route = kernel::files::RoutePath(path);
    kernel::files::MountUse use(*route.mount);
    if (!use.Mounted())
        return ERROR_PATH_NOT_FOUND;
    if (!route.relative.empty()) {
        DWORD attributes = 0;
        if (DWORD error = use.Target().GetAttributes(route.relative, &attributes); error != ERROR_SUCCESS)
            return error == ERROR_FILE_NOT_FOUND ? static_cast<DWORD>(ERROR_PATH_NOT_FOUND) : error;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return ERROR_DIRECTORY;
    }
    return use.Target().GetFreeSpace(freeBytes, totalBytes);
}

DWORD Clamp(ULONGLONG bytes) {
    return static_cast<DWORD>(std::min<ULONGLONG>(bytes, 0xFFFFFFFFULL));
}

} // namespace

BOOL GetStoreInformation(LPSTORE_INFORMATION storeInformation) {
    if (storeInformation == nullptr)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ULONGLONG freeBytes = 0;
    ULONGLONG totalBytes = 0;
    if (DWORD error = FreeSpaceOf({}, &freeBytes, &totalBytes); error != ERROR_SUCCESS)
        return Fail(error, FALSE);
    storeInformation->dwStoreSize = Clamp(totalBytes);
    storeInformation->dwFreeSize = Clamp(freeBytes);
    return TRUE;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailableToCaller,
                         PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes) {
    kernel::PathComponents path;
    if (directoryName != nullptr)
        if (DWORD error = kernel::files::ParseDevicePath(directoryName, kernel::files::PathUse::Name, &path);
            error != ERROR_SUCCESS)
            return Fail(error, FALSE);
    ULONGLONG freeBytes = 0;
    ULONGLONG totalBytes = 0;
    if (DWORD error = FreeSpaceOf(path, &freeBytes, &totalBytes); error != ERROR_SUCCESS)
        return Fail(error, FALSE);
    if (freeBytesAvailableToCaller != nullptr)
        freeBytesAvailableToCaller->QuadPart = freeBytes;
    if (totalNumberOfBytes != nullptr)
        totalNumberOfBytes->QuadPart = totalBytes;
    if (totalNumberOfFreeBytes != nullptr)
        totalNumberOfFreeBytes->QuadPart = freeBytes;
    return TRUE;
}
