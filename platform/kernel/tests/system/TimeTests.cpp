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

// Runs the test body in a fixed time zone two hours east of UTC.
class TimeZoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* zone = std::getenv("TZ"))
            m_saved = zone;
        ::setenv("TZ", "XYZ-2", 1);
        ::tzset();
        kernel::UseVirtualClock();
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

    SYSTEMTIME system{};
    SYSTEMTIME localTime{};
    GetSystemTime(&system);
    GetLocalTime(&localTime);
    FILETIME systemFile{};
    FILETIME localFile{};
    SystemTimeToFileTime(&system, &systemFile);
    SystemTimeToFileTime(&localTime, &localFile);
    EXPECT_EQ(Value(localFile) - Value(systemFile), kTwoHours);

    FILETIME earliest = Make(0);
    FILETIME latest = Make(0x7FFFFFFFFFFFFFFFull);
    EXPECT_FALSE(LocalFileTimeToFileTime(&earliest, &back)); // before 1601
    EXPECT_FALSE(FileTimeToLocalFileTime(&latest, &back));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(FileTimeToLocalFileTime(nullptr, &back));
}

} // namespace
