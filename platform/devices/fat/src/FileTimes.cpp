// Setting the time stamps of an open file.

#include "Bytes.h"
#include "VolumeImpl.h"

namespace fat {

namespace {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr int64_t kDays1601To1970 = 134774;

// The civil date of a day count from 1970-01-01 (proleptic Gregorian).
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

// The stamp of local ticks, clamped to the years a FAT date can hold.
FatStamp StampOfTicks(uint64_t ticks) {
    uint64_t seconds = ticks / kTicksPerSecond;
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(static_cast<int64_t>(seconds / 86400) - kDays1601To1970, year, month, day);
    FatLocalTime time;
    if (year > 2107) {
        time = FatLocalTime{2107, 12, 31, 23, 59, 59, 999};
    } else if (year >= 1980) {
        uint64_t inDay = seconds % 86400;
        time.year = static_cast<uint16_t>(year);
        time.month = static_cast<uint8_t>(month);
        time.day = static_cast<uint8_t>(day);
        time.hour = static_cast<uint8_t>(inDay / 3600);
        time.minute = static_cast<uint8_t>(inDay / 60 % 60);
        time.second = static_cast<uint8_t>(inDay % 60);
        time.millisecond = static_cast<uint16_t>(ticks % kTicksPerSecond / 10000);
    }
    return ToFatStamp(time);
}

} // namespace

FatResult VolumeImpl::SetFileTimes(FatFile file, const uint64_t* creation, const uint64_t* lastAccess,
                                   const uint64_t* lastWrite) {
    OpenFile* open = nullptr;
    FileNode* node = nullptr;
    FatResult result = FindOpen(file, open, node);
    if (result != FatResult::Ok)
        return result;
    if ((static_cast<uint8_t>(open->access) & static_cast<uint8_t>(FatAccess::Write)) == 0)
        return FatResult::Denied;
    if ((result = BeginChange()) != FatResult::Ok)
        return result;
    if (creation == nullptr && lastAccess == nullptr && lastWrite == nullptr)
        return FatResult::Ok;
    RawEntry raw;
    if ((result = ReadSlot(node->shortSector, node->shortOffset, raw)) != FatResult::Ok)
        return result;
    MutableBytes bytes(raw.data(), raw.size());
    if (creation != nullptr) {
        FatStamp stamp = StampOfTicks(*creation);
        bytes.Put8(dirent::kCreateTenths, stamp.tenths);
        bytes.Put16(dirent::kCreateTime, stamp.time);
        bytes.Put16(dirent::kCreateDate, stamp.date);
    }
    if (lastAccess != nullptr)
        bytes.Put16(dirent::kAccessDate, StampOfTicks(*lastAccess).date);
    if (lastWrite != nullptr) {
        FatStamp stamp = StampOfTicks(*lastWrite);
        bytes.Put16(dirent::kWriteTime, stamp.time);
        bytes.Put16(dirent::kWriteDate, stamp.date);
    }
    if ((result = WriteSlot(node->shortSector, node->shortOffset, raw)) != FatResult::Ok)
        return result;
    return Finish();
}

} // namespace fat
