#pragma once
// Time stamps as FAT stores them (local date and time, 2-second steps, creation time with 10 ms steps)
// and their conversion to FILETIME-like ticks.

#include <cstdint>

#include "fat/FatTypes.h"

namespace fat {

struct FatStamp {
    uint16_t date = 0;  // bits 15-9 year - 1980, 8-5 month, 4-0 day
    uint16_t time = 0;  // bits 15-11 hour, 10-5 minute, 4-0 second / 2
    uint8_t tenths = 0; // 10 ms units 0..199 on top of time (creation stamps only)
};

// The clock's time now (1980-01-01 for an empty clock), clamped to the years FAT can hold.
FatLocalTime Now(const FatClock& clock);
FatStamp ToFatStamp(const FatLocalTime& time);
// 100 ns ticks since 1601-01-01 of a FAT date and time; 0 when the date is not valid.
uint64_t FatStampToTicks(uint16_t date, uint16_t time, uint8_t tenths);
// A volume serial number mixed from the date and time, as formatting programs make it.
uint32_t SerialFromTime(const FatLocalTime& time);

} // namespace fat
