#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include "kernel/Errors.h"
#include "kernel/Time.h"

namespace {

ULONGLONG Value(const FILETIME& time) {
    return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

FILETIME Make(ULONGLONG value) {
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

constexpr LONGLONG kTicksPerSecond = 10000000;
constexpr ULONGLONG kUnixEpochTicks = 116444736000000000ull; // 1601 to 1970 in 100 ns units

class VirtualClockTest : public ::testing::Test {
protected:
    void SetUp() override { kernel::UseVirtualClock(); }
    void TearDown() override { kernel::UseRealClock(); }
};

TEST_F(VirtualClockTest, SleepTakesNoRealTimeAndMovesTheClock) {
    auto realStart = std::chrono::steady_clock::now();
    DWORD start = GetTickCount();
    FILETIME dayStart{};
    GetSystemTimeAsFileTime(&dayStart);
    Sleep(3000);
    EXPECT_EQ(GetTickCount() - start, 3000u);
    Sleep(0);
    EXPECT_EQ(GetTickCount() - start, 3000u);
    EXPECT_TRUE(kernel::AdvanceClock(1500));
    EXPECT_EQ(GetTickCount() - start, 4500u);
    FILETIME dayNow{};
    GetSystemTimeAsFileTime(&dayNow);
    EXPECT_EQ(Value(dayNow) - Value(dayStart), 4500u * 10000u);
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::milliseconds(500));
}

TEST_F(VirtualClockTest, SwitchingBackGivesTheRealClock) {
    EXPECT_TRUE(kernel::IsVirtualClock());
    kernel::UseRealClock();
    EXPECT_FALSE(kernel::IsVirtualClock());
    EXPECT_FALSE(kernel::AdvanceClock(1000));
    DWORD start = GetTickCount();
    Sleep(30);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 2000u);
}

struct DateCase {
    SYSTEMTIME time;
    ULONGLONG fileTime;
};

TEST(TimeConversionTest, SystemTimesAndFileTimesConvertBothWays) {
    const DateCase cases[] = {
        {{1601, 1, 1, 1, 0, 0, 0, 0}, 0},
        {{1970, 1, 4, 1, 0, 0, 0, 0}, 116444736000000000ull},
        {{2000, 2, 2, 29, 12, 34, 56, 789}, 125963012967890000ull},
        {{2024, 12, 2, 31, 23, 59, 59, 999}, 133801631999990000ull},
        {{9999, 12, 5, 31, 23, 59, 59, 999}, 2650467743999990000ull},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.time.wYear);
        SYSTEMTIME input = test.time;
        input.wDayOfWeek = 6; // not read
        FILETIME fileTime{};
        ASSERT_TRUE(SystemTimeToFileTime(&input, &fileTime));
        EXPECT_EQ(Value(fileTime), test.fileTime);
        SYSTEMTIME back{};
        ASSERT_TRUE(FileTimeToSystemTime(&fileTime, &back));
        EXPECT_EQ(std::memcmp(&back, &test.time, sizeof back), 0);
    }
    FILETIME latest = Make(0x7FFFFFFFFFFFFFFFull);
    SYSTEMTIME last{};
    ASSERT_TRUE(FileTimeToSystemTime(&latest, &last));
    EXPECT_EQ(last.wYear, 30828);
    EXPECT_EQ(last.wMonth, 9);
    EXPECT_EQ(last.wDay, 14);
    EXPECT_EQ(last.wMilliseconds, 477);
}

TEST(TimeConversionTest, OutOfRangeValuesAreRefused) {
    const SYSTEMTIME invalid[] = {
        {1600, 12, 0, 31, 0, 0, 0, 0}, {30828, 1, 0, 1, 0, 0, 0, 0}, {2001, 0, 0, 1, 0, 0, 0, 0},
        {2001, 13, 0, 1, 0, 0, 0, 0},  {2001, 2, 0, 29, 0, 0, 0, 0}, {1900, 2, 0, 29, 0, 0, 0, 0},
        {2001, 4, 0, 31, 0, 0, 0, 0},  {2001, 1, 0, 0, 0, 0, 0, 0},  {2001, 1, 0, 1, 24, 0, 0, 0},
        {2001, 1, 0, 1, 0, 60, 0, 0},  {2001, 1, 0, 1, 0, 0, 60, 0}, {2001, 1, 0, 1, 0, 0, 0, 1000},
    };
    for (const auto& time : invalid) {
        FILETIME out = Make(99);
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(&time, &out))
            << time.wYear << "-" << time.wMonth << "-" << time.wDay;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(Value(out), 99u);
    }
    SYSTEMTIME leap{2000, 2, 0, 29, 0, 0, 0, 0};
    FILETIME out{};
    EXPECT_TRUE(SystemTimeToFileTime(&leap, &out));

    FILETIME tooLate = Make(0x8000000000000000ull);
    SYSTEMTIME time{};
    EXPECT_FALSE(FileTimeToSystemTime(&tooLate, &time));
    EXPECT_FALSE(FileTimeToSystemTime(nullptr, &time));
    EXPECT_FALSE(SystemTimeToFileTime(&leap, nullptr));
    GetSystemTime(nullptr); // ignored rather than a crash
    GetLocalTime(nullptr);
    GetSystemTimeAsFileTime(nullptr);
}

// How far GetLocalTime is ahead of GetSystemTime, in 100 ns units; the clock stands still between them.
LONGLONG LocalTimeAhead() {
    SYSTEMTIME system{};
    SYSTEMTIME local{};
    GetSystemTime(&system);
    GetLocalTime(&local);
    FILETIME systemFile{};
    FILETIME localFile{};
    SystemTimeToFileTime(&system, &systemFile);
    SystemTimeToFileTime(&local, &localFile);
    return static_cast<LONGLONG>(Value(localFile) - Value(systemFile));
}

// Runs the test body in a fixed time zone two hours east of UTC, on the virtual clock.
class TimeZoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* zone = std::getenv("TZ"))
            m_saved = zone;
        UseZone("XYZ-2");
        kernel::UseVirtualClock();
    }
    static void UseZone(const char* zone) {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    void TearDown() override {
        kernel::UseRealClock();
        if (m_saved)
            ::setenv("TZ", m_saved->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    std::optional<std::string> m_saved;
};

TEST_F(TimeZoneTest, LocalTimesAreShiftedByThePresentOffset) {
    constexpr ULONGLONG kTwoHours = 2ull * 3600 * 10000000;
    FILETIME utc = Make(133801631999990000ull);
    FILETIME local{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(Value(local), Value(utc) + kTwoHours);
    FILETIME back{};
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(Value(back), Value(utc));

    EXPECT_EQ(LocalTimeAhead(), static_cast<LONGLONG>(kTwoHours));

    FILETIME earliest = Make(0);
    FILETIME latest = Make(0x7FFFFFFFFFFFFFFFull);
    EXPECT_FALSE(LocalFileTimeToFileTime(&earliest, &back)); // before 1601
    EXPECT_FALSE(FileTimeToLocalFileTime(&latest, &back));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(FileTimeToLocalFileTime(nullptr, &back));
}

// The zone's offset from UTC at a second, as localtime_r gives it, in 100 ns units.
LONGLONG OffsetAt(time_t second) {
    tm local{};
    localtime_r(&second, &local);
    return static_cast<LONGLONG>(local.tm_gmtoff) * kTicksPerSecond;
}

time_t NowSecond() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return static_cast<time_t>((Value(now) - kUnixEpochTicks) / kTicksPerSecond);
}

// The first second after from at which the zone's offset changes.
time_t NextSwitch(time_t from) {
    time_t before = from;
    time_t after = from + 3600;
    while (OffsetAt(after) == OffsetAt(from))
        after += 3600;
    while (after - before > 1) {
        const time_t middle = before + (after - before) / 2;
        (OffsetAt(middle) == OffsetAt(from) ? before : after) = middle;
    }
    return after;
}

// Every stamp of the table converted both ways with the offset of the clock's present second.
void ExpectPresentOffset(LONGLONG offset) {
    static constexpr ULONGLONG kStamps[] = {
        1ull * 86400 * kTicksPerSecond, // 1601-01-02
        119600064000000000ull,          // 1980-01-01
        125086032000000000ull,          // 1997-05-20 12:00
        133563222000000000ull,          // 2024-03-31 01:30, a night of a switch
        133744698000000000ull,          // 2024-10-27 02:30, another
        159992927990000000ull,          // 2107-12-31 23:59:59
    };
    for (ULONGLONG stamp : kStamps) {
        const FILETIME given = Make(stamp);
        FILETIME local{};
        FILETIME utc{};
        ASSERT_TRUE(FileTimeToLocalFileTime(&given, &local)) << stamp;
        EXPECT_EQ(Value(local), stamp + offset) << stamp;
        ASSERT_TRUE(LocalFileTimeToFileTime(&given, &utc)) << stamp;
        EXPECT_EQ(Value(utc), stamp - offset) << stamp;
    }
    EXPECT_EQ(LocalTimeAhead(), offset);
}

TEST_F(TimeZoneTest, ConversionsFollowTheOffsetOfEachSecondAcrossSwitchesAndChangesOfZone) {
    UseZone("CET-1CEST,M3.5.0,M10.5.0/3");
    // Into summer time and out of it (or the other way round), at seconds around each switch.
    for (int switches = 0; switches < 2; ++switches) {
        const time_t next = NextSwitch(NowSecond());
        for (time_t at : {next - 30, next - 1, next, next + 1, next + 30}) {
            if (at < NowSecond())
                continue; // the switch is that close to the real time now
            ASSERT_TRUE(kernel::AdvanceClock(static_cast<ULONGLONG>(at - NowSecond()) * 1000));
            ASSERT_EQ(NowSecond(), at);
            SCOPED_TRACE("second " + std::to_string(at - next) + " from the switch");
            ExpectPresentOffset(at < next ? OffsetAt(next - 1) : OffsetAt(next));
        }
        EXPECT_NE(OffsetAt(next - 1), OffsetAt(next));
    }
    // Another zone counts from the call on, within the same second.
    UseZone("XYZ-2");
    ExpectPresentOffset(2 * 3600 * kTicksPerSecond);
    UseZone("ABC+5");
    ExpectPresentOffset(-5 * 3600 * kTicksPerSecond);
}

} // namespace
