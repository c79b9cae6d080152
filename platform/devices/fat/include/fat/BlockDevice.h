#pragma once
// The disk under a FAT volume: a run of 512-byte sectors. The engine, the partitioning and the
// formatting reach the disk only through this interface, always with whole contiguous runs (one call per
// run), so an implementation over a driver can turn each call into one request. The engine never asks
// for a sector at or beyond SectorCount().

#include <cstdint>

namespace fat {

constexpr uint32_t kSectorSize = 512;

class BlockDevice {
public:
    virtual ~BlockDevice() = default;

    // Number of sectors of the disk.
    virtual uint32_t SectorCount() const = 0;
    // Reads count sectors starting at first into data (count * 512 bytes); false on any failure.
    virtual bool ReadSectors(uint32_t first, uint32_t count, uint8_t* data) = 0;
    // Writes count sectors starting at first from data; false on any failure.
    virtual bool WriteSectors(uint32_t first, uint32_t count, const uint8_t* data) = 0;
    // Makes every completed write durable; false on failure.
    virtual bool Flush() = 0;
    // A write-protected disk is mounted for reading only.
    virtual bool IsWriteProtected() const { return false; }
};

} // namespace fat
