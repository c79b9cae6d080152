#pragma once
// The process's clock: GetTickCount, Sleep and the time of day. The clock is real unless the process
// switches to the virtual clock (kernel::UseVirtualClock, or FERROVANE_VIRTUAL_CLOCK=1 in the environment
// at start; "inherit" instead of "1" passes it on to the processes it starts). On the virtual clock time
// stands still except when a Sleep (by its duration) or AdvanceClock moves it, and the time of day moves
// with it from the moment of the switch. Waits on objects (processes, mutexes) always use real time.
//
// Times of day are FILETIME values (100 ns units since 1601-01-01 UTC) and SYSTEMTIME records (years
// 1601 to 30827). Local time is UTC plus the host time zone's present offset, as on the handheld, whose
// conversions also apply the present offset to every date.

#include "crt/Types.h"

#define INFINITE 0xFFFFFFFF

// Milliseconds since an arbitrary start; wraps after 49.7 days.
DWORD GetTickCount();
// INFINITE never returns; Sleep(0) yields the rest of the time slice.
void Sleep(DWORD dwMilliseconds);

void GetSystemTime(LPSYSTEMTIME lpSystemTime);
void GetLocalTime(LPSYSTEMTIME lpSystemTime);
void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);
// FALSE with ERROR_INVALID_PARAMETER for a field out of range (the day of the week is not read) or a
// NULL pointer.
BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);
// FALSE with ERROR_INVALID_PARAMETER for a value of 0x8000000000000000 or more or a NULL pointer; fills
// the day of the week.
BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);
BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime);

namespace kernel {

inline constexpr char kVirtualClockVariable[] = "FERROVANE_VIRTUAL_CLOCK";

enum class ChildClock {
    Real,    // processes started from now on run on the real clock
    Virtual, // they start on a virtual clock of their own
};

// Switches to the virtual clock (from the present time) or back to the real one.
void UseVirtualClock(ChildClock children = ChildClock::Real);
void UseRealClock();
bool IsVirtualClock();
// Whether processes started now get the virtual clock; CreateProcessW asks this.
bool ChildrenUseVirtualClock();

// The tick count in use without wrapping.
ULONGLONG ClockMilliseconds();
// Jumps the virtual clock forward, for a message loop that has nothing to do until its next timer. False
// (and no effect) on the real clock.
bool AdvanceClock(ULONGLONG milliseconds);

} // namespace kernel
