#include "BootSector.h"

#include "Bytes.h"
#include "fat/BlockDevice.h"

namespace fat {

namespace {

bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// Bytes a FAT needs for entries 0 .. clusterCount + 1.
uint64_t FatBytesNeeded(FatType type, uint32_t clusterCount) {
    uint64_t entries = static_cast<uint64_t>(clusterCount) + 2;
    switch (type) {
    case FatType::Fat12:
        return (entries * 3 + 1) / 2;
    case FatType::Fat16:
        return entries * 2;
    case FatType::Fat32:
        return entries * 4;
    }
    return UINT64_MAX;
}

} // namespace

bool ParseBootSector(const uint8_t* sector, VolumeLocation where, VolumeLayout& layout) {
    ConstBytes bytes(sector, kSectorSize);
    // A jump instruction, the signature and sane parameters; the parameters alone tell a boot sector
    // from a master boot record that also starts with a jump.
    uint8_t jump = bytes.U8(0);
    if (jump != 0xEB && jump != 0xE9)
        return false;
    if (bytes.U16(bpb::kSignature) != 0xAA55)
        return false;
    if (bytes.U16(bpb::kBytesPerSector) != kSectorSize)
        return false;
    uint32_t sectorsPerCluster = bytes.U8(bpb::kSectorsPerCluster);
    if (!IsPowerOfTwo(sectorsPerCluster))
        return false;
    uint32_t reserved = bytes.U16(bpb::kReservedSectors);
    uint32_t fatCount = bytes.U8(bpb::kFatCount);
    if (reserved == 0 || fatCount == 0 || fatCount > 2)
        return false;
    uint8_t media = bytes.U8(bpb::kMedia);
    if (media != 0xF0 && media < 0xF8)
        return false;
    uint32_t rootEntries = bytes.U16(bpb::kRootEntries);
    uint32_t total = bytes.U16(bpb::kTotalSectors16);
    if (total == 0)
        total = bytes.U32(bpb::kTotalSectors32);
    uint32_t fatSize16 = bytes.U16(bpb::kFatSize16);
    bool fat32Layout = fatSize16 == 0;
    uint32_t fatSectors = fat32Layout ? bytes.U32(bpb::kFatSize32) : fatSize16;
    if (total == 0 || fatSectors == 0)
        return false;
    if (total > where.sectorCount)
        return false;
    if (fat32Layout && rootEntries != 0)
        return false;
    if (!fat32Layout && rootEntries == 0)
        return false;

    uint64_t rootSectors = (static_cast<uint64_t>(rootEntries) * 32 + kSectorSize - 1) / kSectorSize;
    uint64_t dataStart = reserved + static_cast<uint64_t>(fatCount) * fatSectors + rootSectors;
    if (dataStart >= total)
        return false;
    uint64_t clusterCount = (total - dataStart) / sectorsPerCluster;
    if (clusterCount == 0)
        return false;

    VolumeLayout result;
    if (fat32Layout) {
        // The layout decides FAT32, as the platform's other readers do, even below 65525 clusters.
        if (clusterCount > kMaxFat32Clusters)
            return false;
        result.type = FatType::Fat32;
        if (bytes.U16(bpb::kFsVersion) != 0)
            return false;
        uint16_t extFlags = bytes.U16(bpb::kExtFlags);
        if (extFlags & 0x80) {
            result.mirrorFats = false;
            result.activeFat = extFlags & 0x0F;
            if (result.activeFat >= fatCount)
                return false;
        }
        result.rootCluster = bytes.U32(bpb::kRootCluster);
        uint32_t fsInfo = bytes.U16(bpb::kFsInfoSector);
        if (fsInfo != 0 && fsInfo < reserved)
            result.fsInfoSector = fsInfo;
        result.serial = bytes.U32(bpb::kSerial32);
    } else {
        if (clusterCount <= kMaxFat12Clusters)
            result.type = FatType::Fat12;
        else if (clusterCount <= kMaxFat16Clusters)
            result.type = FatType::Fat16;
        else
            return false;
        if (bytes.U8(bpb::kBootSignature16) == 0x29)
            result.serial = bytes.U32(bpb::kSerial16);
    }
    if (FatBytesNeeded(result.type, static_cast<uint32_t>(clusterCount)) >
        static_cast<uint64_t>(fatSectors) * kSectorSize)
        return false;

    uint32_t volumeEnd = 0;
    if (!CheckedAdd(where.firstSector, total, volumeEnd))
        return false;
    result.volumeStart = where.firstSector;
    result.totalSectors = total;
    result.sectorsPerCluster = sectorsPerCluster;
    result.bytesPerCluster = sectorsPerCluster * kSectorSize;
    result.reservedSectors = reserved;
    result.fatCount = fatCount;
    result.fatSectors = fatSectors;
    result.rootEntries = rootEntries;
    result.rootSectors = static_cast<uint32_t>(rootSectors);
    result.dataStart = static_cast<uint32_t>(dataStart);
    result.clusterCount = static_cast<uint32_t>(clusterCount);
    if (result.type == FatType::Fat32 && !result.IsCluster(result.rootCluster))
        return false;
    layout = result;
    return true;
}

} // namespace fat
