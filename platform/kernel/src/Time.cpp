#include "kernel/Time.h"

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "kernel/Errors.h"

namespace {

constexpr LONGLONG kTicksPerMillisecond = 10000;
constexpr LONGLONG kTicksPerSecond = 10000000;
constexpr LONGLONG kTicksPerDay = 86400 * kTicksPerSecond;
// 100 ns units from 1601-01-01 to 1970-01-01.
constexpr LONGLONG kUnixEpochTicks = 116444736000000000LL;
constexpr ULONGLONG kMaxFileTime = 0x7FFFFFFFFFFFFFFFull;

ULONGLONG RealMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000 + static_cast<ULONGLONG>(now.tv_nsec) / 1000000;
}

LONGLONG RealFileTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return kUnixEpochTicks + static_cast<LONGLONG>(now.tv_sec) * kTicksPerSecond + now.tv_nsec / 100;
}

// The clock's state. The virtual time is one atomic counter so that Sleep on any thread moves it without
// a lock; the fields set at a switch are read under the switch's lock.
struct Clock {
    std::once_flag environmentRead;
    std::atomic<bool> isVirtual{false};
    std::atomic<bool> childrenVirtual{false};
    std::atomic<ULONGLONG> virtualMilliseconds{0};
    std::atomic<ULONGLONG> switchMilliseconds{0};
    std::atomic<LONGLONG> switchFileTime{0};
};

void SwitchToVirtual(Clock& clock, kernel::ChildClock children) {
    if (!clock.isVirtual.load()) {
        ULONGLONG now = RealMilliseconds();
        clock.virtualMilliseconds = now;
        clock.switchMilliseconds = now;
        clock.switchFileTime = RealFileTime();
    }
    clock.childrenVirtual = children == kernel::ChildClock::Virtual;
    clock.isVirtual = true;
}

void SwitchToReal(Clock& clock) {
    clock.childrenVirtual = false;
    clock.isVirtual = false;
}

Clock& TheClock() {
    static Clock clock;
    std::call_once(clock.environmentRead, [] {
        const char* setting = std::getenv(kernel::kVirtualClockVariable);
        if (!setting)
            return;
        if (std::strcmp(setting, "1") == 0)
            SwitchToVirtual(clock, kernel::ChildClock::Real);
        else if (std::strcmp(setting, "inherit") == 0)
            SwitchToVirtual(clock, kernel::ChildClock::Virtual);
    });
    return clock;
}

LONGLONG NowFileTime() {
    Clock& clock = TheClock();
    if (!clock.isVirtual)
        return RealFileTime();
    ULONGLONG elapsed = clock.virtualMilliseconds - clock.switchMilliseconds;
    return clock.switchFileTime + static_cast<LONGLONG>(elapsed) * kTicksPerMillisecond;
}

// Days from 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
LONGLONG DaysFromCivil(LONGLONG year, unsigned month, unsigned day) {
    year -= month <= 2;
    LONGLONG era = (year >= 0 ? year : year - 399) / 400;
    auto yearOfEra = static_cast<unsigned>(year - era * 400);
    unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<LONGLONG>(dayOfEra) - 719468;
}

void CivilFromDays(LONGLONG days, LONGLONG& year, unsigned& month, unsigned& day) {
    days += 719468;
    LONGLONG era = (days >= 0 ? days : days - 146096) / 146097;
    auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<LONGLONG>(yearOfEra) + era * 400 + (month <= 2);
}

bool IsLeapYear(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

LONGLONG ToFileTime(const FILETIME& time) {
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

FILETIME FromTicks(LONGLONG ticks) {
    auto value = static_cast<ULONGLONG>(ticks);
    return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFF), static_cast<DWORD>(value >> 32)};
}

void ToSystemTime(LONGLONG ticks, SYSTEMTIME& out) {
    LONGLONG days = ticks / kTicksPerDay;
    LONGLONG rest = ticks % kTicksPerDay;
    LONGLONG year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days + DaysFromCivil(1601, 1, 1), year, month, day);
    out.wYear = static_cast<WORD>(year);
    out.wMonth = static_cast<WORD>(month);
    out.wDay = static_cast<WORD>(day);
    out.wDayOfWeek = static_cast<WORD>((days + 1) % 7); // 1601-01-01 was a Monday
    out.wHour = static_cast<WORD>(rest / (3600 * kTicksPerSecond));
    out.wMinute = static_cast<WORD>(rest / (60 * kTicksPerSecond) % 60);
    out.wSecond = static_cast<WORD>(rest / kTicksPerSecond % 60);
    out.wMilliseconds = static_cast<WORD>(rest / kTicksPerMillisecond % 1000);
}

// The host time zone's present offset from UTC in 100 ns units. Each thread keeps the offset of the second
// it asked last, with the zone's state as tzset leaves it (names, offset, daylight saving), so that a run
// of conversions asks localtime_r once and a change of zone counts at once.
LONGLONG LocalOffsetTicks() {
    struct Known {
        time_t second = 0;
        const char* names[2] = {nullptr, nullptr};
        long zone = 0;
        int daylight = 0;
        LONGLONG offset = 0;
        bool valid = false;
    };
    thread_local Known known;
    time_t seconds = static_cast<time_t>((NowFileTime() - kUnixEpochTicks) / kTicksPerSecond);
    if (known.valid && known.second == seconds && known.names[0] == tzname[0] &&
        known.names[1] == tzname[1] && known.zone == timezone && known.daylight == daylight)
        return known.offset;
    tm local{};
    if (!localtime_r(&seconds, &local))
        return 0;
    // The state after the call: the first call reads the zone, and a zone file's names follow the time.
    known = Known{seconds,
                  {tzname[0], tzname[1]},
                  timezone,
                  daylight,
                  static_cast<LONGLONG>(local.tm_gmtoff) * kTicksPerSecond,
                  true};
    return known.offset;
}

BOOL ShiftFileTime(const FILETIME* in, LPFILETIME out, LONGLONG offset) {
    if (!in || !out)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    LONGLONG value = ToFileTime(*in);
    if (value < 0 || (offset > 0 && value > static_cast<LONGLONG>(kMaxFileTime) - offset) ||
        (offset < 0 && value < -offset))
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    *out = FromTicks(value + offset);
    return TRUE;
}

} // namespace

namespace kernel {

void UseVirtualClock(ChildClock children) {
    SwitchToVirtual(TheClock(), children);
}

void UseRealClock() {
    SwitchToReal(TheClock());
}

bool IsVirtualClock() {
    return TheClock().isVirtual;
}

bool ChildrenUseVirtualClock() {
    return TheClock().childrenVirtual;
}

ULONGLONG ClockMilliseconds() {
    Clock& clock = TheClock();
    return clock.isVirtual ? clock.virtualMilliseconds.load() : RealMilliseconds();
}

bool AdvanceClock(ULONGLONG milliseconds) {
    Clock& clock = TheClock();
    if (!clock.isVirtual)
        return false;
    clock.virtualMilliseconds += milliseconds;
    return true;
}

} // namespace kernel

DWORD GetTickCount() {
    return static_cast<DWORD>(kernel::ClockMilliseconds());
}

void Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == INFINITE) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    }
    if (kernel::AdvanceClock(dwMilliseconds)) {
        std::this_thread::yield();
        return;
    }
    if (dwMilliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

void GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime)
        ToSystemTime(NowFileTime(), *lpSystemTime);
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime)
        ToSystemTime(NowFileTime() + LocalOffsetTicks(), *lpSystemTime);
}

void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
    if (lpSystemTimeAsFileTime)
        *lpSystemTimeAsFileTime = FromTicks(NowFileTime());
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
    if (!lpSystemTime || !lpFileTime)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    const SYSTEMTIME& t = *lpSystemTime;
    if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 ||
        t.wDay > DaysInMonth(t.wYear, t.wMonth) || t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59 ||
        t.wMilliseconds > 999)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    LONGLONG days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) - DaysFromCivil(1601, 1, 1);
    LONGLONG ticks = days * kTicksPerDay +
                     (t.wHour * 3600LL + t.wMinute * 60LL + t.wSecond) * kTicksPerSecond +
                     t.wMilliseconds * kTicksPerMillisecond;
    *lpFileTime = FromTicks(ticks);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (!lpFileTime || !lpSystemTime || ToFileTime(*lpFileTime) < 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    ToSystemTime(ToFileTime(*lpFileTime), *lpSystemTime);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
    return ShiftFileTime(lpFileTime, lpLocalFileTime, LocalOffsetTicks());
}

BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
    return ShiftFileTime(lpLocalFileTime, lpFileTime, -LocalOffsetTicks());
}
