#pragma once
// The partition sector of a disk: finding the FAT volume on a disk, and giving a blank disk a master boot
// record. The record this code writes starts with the bytes E9 FD FF (a jump to itself), holds one entry
// of a FAT type that suits the size, and ends in 55 AA; its partition ends before the disk's last sector,
// so nothing formatted or written inside it can reach that sector.

#include <cstdint>

#include "fat/BlockDevice.h"
#include "fat/FatTypes.h"

namespace fat {

enum class DiskLayout : uint8_t {
    Unpartitioned,   // sector 0 is neither a valid partition sector nor a FAT boot sector
    Partitioned,     // sector 0 is a valid master boot record
    WholeDiskVolume, // sector 0 is the boot sector of a FAT volume that spans the disk (no partition table)
};

struct DiskScan {
    DiskLayout layout = DiskLayout::Unpartitioned;
    // The first FAT partition of a partitioned disk, or the whole disk; sectorCount 0 when there is none.
    VolumeLocation volume;
    uint8_t partitionType = 0; // the entry's type byte; 0 for a whole-disk volume
};

// Reads sector 0 and tells what it holds. DiskError when it cannot be read.
FatResult ScanDisk(BlockDevice& disk, DiskScan& scan);

// The partition that PartitionDisk makes on a disk of that many sectors; sectorCount 0 when the disk is
// too small to hold a FAT volume.
VolumeLocation PlanPartition(uint32_t diskSectors);

// Writes a new master boot record with one FAT partition (replacing whatever sector 0 held) and reports
// where the partition lies. FormatAborted when the disk is too small.
FatResult PartitionDisk(BlockDevice& disk, VolumeLocation& partition);

} // namespace fat
