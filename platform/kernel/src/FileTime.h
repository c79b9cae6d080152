#pragma once
// FILETIME (100 ns units since 1601-01-01 UTC) and the host's timespec.

#include <ctime>

#include "crt/Types.h"

namespace kernel::files {

constexpr long long kUnixEpochInFileTime = 116444736000000000LL;

inline FILETIME MakeFileTime(unsigned long long value) {
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

inline unsigned long long FileTimeValue(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Host times before 1601 give 0.
inline FILETIME ToFileTime(const timespec& time) {
    const long long ticks = static_cast<long long>(time.tv_sec) * 10000000LL + time.tv_nsec / 100;
    const long long value = ticks + kUnixEpochInFileTime;
    return MakeFileTime(value < 0 ? 0 : static_cast<unsigned long long>(value));
}

inline timespec ToTimespec(const FILETIME& time) {
    const long long ticks =
        static_cast<long long>(FileTimeValue(time) & 0x7FFFFFFFFFFFFFFFULL) - kUnixEpochInFileTime;
    long long seconds = ticks / 10000000LL;
    long long rest = ticks % 10000000LL;
    if (rest < 0) {
        rest += 10000000LL;
        --seconds;
    }
    timespec result{};
    result.tv_sec = static_cast<time_t>(seconds);
    result.tv_nsec = static_cast<long>(rest * 100);
    return result;
}

inline FILETIME NowFileTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return ToFileTime(now);
}

} // namespace kernel::files
