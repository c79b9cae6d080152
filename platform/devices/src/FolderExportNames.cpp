// The names, times and error numbers of the FUSE export, between the host and the device.

#include "FolderExportNames.h"

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

#include "crt/Utf8.h"
#include "kernel/Errors.h"

namespace devices {
namespace {

constexpr long long kUnixEpochTicks = 116444736000000000LL; // 100 ns units from 1601 to 1970
constexpr long long kTicksPerSecond = 10000000;

// What the device's paths accept as a name: no control characters, none of < > : " / | \ * ?, not "."
// or "..". A host name with '\' would otherwise reach the volume as two names.
bool IsDeviceName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..")
        return false;
    for (char16_t c : name)
        if (c < 0x20 || std::u16string_view(u"<>:\"/|\\*?").find(c) != std::u16string_view::npos)
            return false;
    return true;
}

} // namespace

// --- Names ---------------------------------------------------------------------------------------------

int DeviceComponents(std::string_view path, size_t folderUnits, kernel::PathComponents* components) {
    components->clear();
    size_t units = folderUnits;
    std::string_view rest(path);
    while (!rest.empty()) {
        const size_t end = rest.find('/');
        const std::string_view name = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (name.empty())
            continue;
        if (name.size() > kMaxNameBytes)
            return -ENAMETOOLONG;
        std::optional<std::u16string> wide = crt::FromUtf8Exact(name);
        if (!wide)
            return -EINVAL;
        while (!wide->empty() && (wide->back() == u'.' || wide->back() == u' '))
            wide->pop_back();
        if (!IsDeviceName(*wide))
            return -EINVAL;
        // The device path "\folder\a\b" with its terminator must fit MAX_PATH units.
        units += 1 + wide->size();
        if (units >= MAX_PATH)
            return -ENAMETOOLONG;
        components->push_back(std::move(*wide));
    }
    return 0;
}

// --- Errors --------------------------------------------------------------------------------------------

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_DISK_FULL:
    case ERROR_CANNOT_MAKE:
        return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return EBUSY;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_NOT_ENOUGH_MEMORY:
        return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_NOT_SUPPORTED:
        return ENOTSUP;
    default:
        return EIO;
    }
}

// --- Times ---------------------------------------------------------------------------------------------

ULONGLONG TicksOf(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTimeOf(ULONGLONG ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

timespec ToTimespec(const FILETIME& time) {
    const ULONGLONG ticks = TicksOf(time);
    if (ticks == 0 || ticks > static_cast<ULONGLONG>(INT64_MAX))
        return timespec{};
    const long long sinceEpoch = static_cast<long long>(ticks) - kUnixEpochTicks;
    long long seconds = sinceEpoch / kTicksPerSecond;
    long long rest = sinceEpoch % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    return timespec{static_cast<time_t>(seconds), static_cast<long>(rest * 100)};
}

FILETIME FromTimespec(const timespec& time) {
    constexpr long long kLeast = -kUnixEpochTicks / kTicksPerSecond;
    constexpr long long kMost = (INT64_MAX - kUnixEpochTicks) / kTicksPerSecond - 1;
    const long long seconds = time.tv_sec;
    if (seconds < kLeast)
        return FILETIME{};
    if (seconds > kMost)
        return FileTimeOf(static_cast<ULONGLONG>(INT64_MAX));
    return FileTimeOf(
        static_cast<ULONGLONG>(kUnixEpochTicks + seconds * kTicksPerSecond + time.tv_nsec / 100));
}

} // namespace devices
