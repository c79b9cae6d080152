#pragma once
// The boot sector's parameter block, validated and turned into the volume's layout. Every sector number
// the engine derives from a layout lies inside the volume.

#include <cstdint>

#include "fat/FatTypes.h"

namespace fat {

// Format notes: the parameter block starts at byte 11 of the volume's first sector; FAT32 volumes have
// no fixed root folder (root entry count 0, 16-bit FAT size 0) and an extended block from byte 36.
namespace bpb {
constexpr size_t kBytesPerSector = 11;
constexpr size_t kSectorsPerCluster = 13;
constexpr size_t kReservedSectors = 14;
constexpr size_t kFatCount = 16;
constexpr size_t kRootEntries = 17;
constexpr size_t kTotalSectors16 = 19;
constexpr size_t kMedia = 21;
constexpr size_t kFatSize16 = 22;
constexpr size_t kSectorsPerTrack = 24;
constexpr size_t kHeads = 26;
constexpr size_t kHiddenSectors = 28;
constexpr size_t kTotalSectors32 = 32;
// FAT12/16 extended block
constexpr size_t kDriveNumber16 = 36;
constexpr size_t kBootSignature16 = 38;
constexpr size_t kSerial16 = 39;
constexpr size_t kLabel16 = 43;
constexpr size_t kFsType16 = 54;
// FAT32 extended block
constexpr size_t kFatSize32 = 36;
constexpr size_t kExtFlags = 40;
constexpr size_t kFsVersion = 42;
constexpr size_t kRootCluster = 44;
constexpr size_t kFsInfoSector = 48;
constexpr size_t kBackupBootSector = 50;
constexpr size_t kDriveNumber32 = 64;
constexpr size_t kBootSignature32 = 66;
constexpr size_t kSerial32 = 67;
constexpr size_t kLabel32 = 71;
constexpr size_t kFsType32 = 82;
constexpr size_t kSignature = 510; // 55 AA
} // namespace bpb

// FSInfo sector (FAT32): signatures at 0, 484 and 508, free count at 488, next free at 492.
namespace fsinfo {
constexpr size_t kLeadSignature = 0;
constexpr size_t kStructSignature = 484;
constexpr size_t kFreeCount = 488;
constexpr size_t kNextFree = 492;
constexpr size_t kTrailSignature = 508;
constexpr uint32_t kLeadValue = 0x41615252;
constexpr uint32_t kStructValue = 0x61417272;
constexpr uint32_t kTrailValue = 0xAA550000;
constexpr uint32_t kUnknown = 0xFFFFFFFF;
} // namespace fsinfo

// Cluster counts that decide the FAT type (a FAT12 volume has fewer than 4085 clusters, FAT16 fewer than
// 65525) and the largest cluster count of FAT32 (cluster numbers stop below 0x0FFFFFF7).
constexpr uint32_t kMaxFat12Clusters = 4084;
constexpr uint32_t kMaxFat16Clusters = 65524;
constexpr uint32_t kMaxFat32Clusters = 0x0FFFFFF5;

struct VolumeLayout {
    FatType type = FatType::Fat12;
    uint32_t volumeStart = 0;  // disk sector of the boot sector
    uint32_t totalSectors = 0; // sectors of the volume
    uint32_t sectorsPerCluster = 0;
    uint32_t bytesPerCluster = 0;
    uint32_t reservedSectors = 0;
    uint32_t fatCount = 0;
    uint32_t fatSectors = 0;   // per copy
    uint32_t activeFat = 0;    // the copy read and written first
    bool mirrorFats = true;    // false when FAT32 mirroring is off: only the active copy is used
    uint32_t rootEntries = 0;  // FAT12/16 fixed root folder
    uint32_t rootSectors = 0;  // its sectors
    uint32_t rootCluster = 0;  // FAT32 root folder
    uint32_t fsInfoSector = 0; // volume-relative; 0 when there is none
    uint32_t dataStart = 0;    // volume-relative sector of cluster 2
    uint32_t clusterCount = 0; // clusters 2 .. clusterCount + 1 exist
    uint32_t serial = 0;

    uint32_t MaxCluster() const { return clusterCount + 1; }
    bool IsCluster(uint32_t cluster) const { return cluster >= 2 && cluster <= MaxCluster(); }
    // Disk sectors; only meaningful for valid arguments (callers check).
    uint32_t FatStart(uint32_t copy) const { return volumeStart + reservedSectors + copy * fatSectors; }
    uint32_t RootStart() const { return volumeStart + reservedSectors + fatCount * fatSectors; }
    uint32_t ClusterSector(uint32_t cluster) const {
        return volumeStart + dataStart + (cluster - 2) * sectorsPerCluster;
    }
    uint32_t VolumeEnd() const { return volumeStart + totalSectors; }
};

// Parses the boot sector of a volume at where (512 bytes). False when it is not a FAT boot sector this
// engine can mount safely, or when the volume claims more sectors than where holds.
bool ParseBootSector(const uint8_t* sector, VolumeLocation where, VolumeLayout& layout);

} // namespace fat
