#pragma once
// Formatting a volume: FAT12, FAT16 or FAT32 as the size requires, with the usual cluster sizes, two FAT
// copies, an empty root folder and a serial number taken from the clock (for FAT32 also the FSInfo sector
// and the backup boot sector). The boot sector is written last, so an interrupted format never leaves a
// volume that mounts.

#include <cstdint>

#include "fat/BlockDevice.h"
#include "fat/FatTypes.h"

namespace fat {

// The FAT type a volume of that many sectors is formatted with: FAT12 up to 8400 sectors, FAT16 up to
// 512 MiB, FAT32 above.
FatType ChooseFatType(uint32_t volumeSectors);

// Formats the volume at where; FormatAborted when it is too small or too large, InvalidParameter when it
// does not lie on the disk, WriteProtected or DiskError when the disk refuses.
FatResult FormatVolume(BlockDevice& disk, VolumeLocation where, const FatClock& clock);

} // namespace fat
