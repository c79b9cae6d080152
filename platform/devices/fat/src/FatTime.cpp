#include "FatTime.h"

namespace fat {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

bool IsLeap(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

constexpr int64_t kDays1601To1970 = 134774;
constexpr uint64_t kTicksPerSecond = 10000000;

} // namespace

FatLocalTime Now(const FatClock& clock) {
    FatLocalTime time = clock ? clock() : FatLocalTime{};
    if (time.year < 1980)
        return FatLocalTime{};
    if (time.year > 2107)
        return FatLocalTime{2107, 12, 31, 23, 59, 59, 999};
    if (time.month < 1 || time.month > 12)
        time.month = 1;
    if (time.day < 1 || time.day > DaysInMonth(time.year, time.month))
        time.day = 1;
    if (time.hour > 23)
        time.hour = 23;
    if (time.minute > 59)
        time.minute = 59;
    if (time.second > 59)
        time.second = 59;
    if (time.millisecond > 999)
        time.millisecond = 999;
    return time;
}

FatStamp ToFatStamp(const FatLocalTime& time) {
    FatStamp stamp;
    stamp.date = static_cast<uint16_t>(((time.year - 1980) << 9) | (time.month << 5) | time.day);
    stamp.time = static_cast<uint16_t>((time.hour << 11) | (time.minute << 5) | (time.second / 2));
    stamp.tenths = static_cast<uint8_t>((time.second % 2) * 100 + time.millisecond / 10);
    return stamp;
}

uint64_t FatStampToTicks(uint16_t date, uint16_t time, uint8_t tenths) {
    unsigned year = 1980 + (date >> 9);
    unsigned month = (date >> 5) & 0x0F;
    unsigned day = date & 0x1F;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return 0;
    unsigned hour = time >> 11;
    unsigned minute = (time >> 5) & 0x3F;
    unsigned second = (time & 0x1F) * 2;
    if (hour > 23 || minute > 59 || second > 59)
        hour = minute = second = 0;
    if (tenths > 199)
        tenths = 0;
    uint64_t days = static_cast<uint64_t>(DaysFromCivil(year, month, day) + kDays1601To1970);
    uint64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return seconds * kTicksPerSecond + static_cast<uint64_t>(tenths) * (kTicksPerSecond / 100);
}

uint32_t SerialFromTime(const FatLocalTime& time) {
    uint16_t low = static_cast<uint16_t>(((time.month << 8) | time.day) +
                                         ((time.second << 8) | (time.millisecond / 10)));
    uint16_t high = static_cast<uint16_t>(((time.hour << 8) | time.minute) + time.year);
    return (static_cast<uint32_t>(high) << 16) | low;
}

} // namespace fat
