#include "fat/Format.h"

#include <cstring>
#include <vector>

#include "BootSector.h"
#include "Bytes.h"
#include "FatTime.h"
#include "Geometry.h"

namespace fat {

namespace {

constexpr uint32_t kMaxFat12Sectors = 8400;
constexpr uint32_t kMaxFat16Sectors = 1048576; // 512 MiB
constexpr uint32_t kFat32Reserved = 32;
constexpr uint32_t kFat32FsInfo = 1;
constexpr uint32_t kFat32BackupBoot = 6;
constexpr uint8_t kMedia = 0xF8;
constexpr uint32_t kZeroRunSectors = 128;

struct FormatPlan {
    FatType type = FatType::Fat12;
    uint32_t sectorsPerCluster = 1;
    uint32_t reserved = 1;
    uint32_t fatCount = 2;
    uint32_t rootEntries = 0;
    uint32_t rootSectors = 0;
    uint32_t fatSectors = 0;
    uint32_t clusterCount = 0;
};

// The usual cluster sizes: FAT16 and FAT32 by the volume's size, FAT12 as small as the cluster limit
// allows.
uint32_t ClusterSectorsFor(FatType type, uint32_t sectors) {
    switch (type) {
    case FatType::Fat12:
        return 1;
    case FatType::Fat16:
        if (sectors <= 32680)
            return 2;
        if (sectors <= 262144)
            return 4;
        if (sectors <= 524288)
            return 8;
        return 16;
    case FatType::Fat32:
        if (sectors <= 532480)
            return 1;
        if (sectors <= 16777216)
            return 8;
        if (sectors <= 33554432)
            return 16;
        if (sectors <= 67108864)
            return 32;
        return 64;
    }
    return 1;
}

uint64_t FatBytes(FatType type, uint64_t clusters) {
    uint64_t entries = clusters + 2;
    switch (type) {
    case FatType::Fat12:
        return (entries * 3 + 1) / 2;
    case FatType::Fat16:
        return entries * 2;
    case FatType::Fat32:
        return entries * 4;
    }
    return 0;
}

// Sizes the FAT for the clusters that would fit without it, which covers the clusters that remain once
// it is there; false when the result is not a volume of the type.
bool SizeVolume(FormatPlan& plan, uint32_t sectors) {
    uint64_t fixed = static_cast<uint64_t>(plan.reserved) + plan.rootSectors;
    if (fixed >= sectors)
        return false;
    uint64_t upperClusters = (sectors - fixed) / plan.sectorsPerCluster;
    uint64_t fatSectors = (FatBytes(plan.type, upperClusters) + kSectorSize - 1) / kSectorSize;
    uint64_t metadata = fixed + plan.fatCount * fatSectors;
    if (metadata >= sectors)
        return false;
    uint64_t clusters = (sectors - metadata) / plan.sectorsPerCluster;
    plan.fatSectors = static_cast<uint32_t>(fatSectors);
    plan.clusterCount = static_cast<uint32_t>(clusters);
    switch (plan.type) {
    case FatType::Fat12:
        return clusters >= 1 && clusters <= kMaxFat12Clusters;
    case FatType::Fat16:
        return clusters > kMaxFat12Clusters && clusters <= kMaxFat16Clusters;
    case FatType::Fat32:
        return clusters > kMaxFat16Clusters && clusters <= kMaxFat32Clusters;
    }
    return false;
}

bool PlanFormat(uint32_t sectors, FormatPlan& plan) {
    plan.type = ChooseFatType(sectors);
    plan.sectorsPerCluster = ClusterSectorsFor(plan.type, sectors);
    if (plan.type == FatType::Fat32) {
        plan.reserved = kFat32Reserved;
        plan.rootEntries = 0;
    } else {
        plan.reserved = 1;
        // A floppy-sized root folder on the smallest volumes, the usual 512 entries otherwise.
        plan.rootEntries = sectors <= 2880 ? 224 : 512;
    }
    plan.rootSectors = plan.rootEntries * 32 / kSectorSize;
    if (plan.type != FatType::Fat12)
        return SizeVolume(plan, sectors);
    for (; plan.sectorsPerCluster <= 64; plan.sectorsPerCluster *= 2) {
        if (SizeVolume(plan, sectors))
            return true;
        if (plan.clusterCount < 1)
            return false;
    }
    return false;
}

void BuildBootSector(const FormatPlan& plan, VolumeLocation where, const DiskGeometry& geometry,
                     uint32_t serial, std::vector<uint8_t>& sector) {
    std::fill(sector.begin(), sector.end(), 0);
    MutableBytes out(sector.data(), sector.size());
    bool fat32 = plan.type == FatType::Fat32;
    // A short jump over the parameter block to a halt loop.
    size_t codeAt = fat32 ? 0x5A : 0x3E;
    out.Put8(0, 0xEB);
    out.Put8(1, static_cast<uint8_t>(codeAt - 2));
    out.Put8(2, 0x90);
    out.PutBytes(3, "MSWIN4.1", 8);
    out.Put16(bpb::kBytesPerSector, kSectorSize);
    out.Put8(bpb::kSectorsPerCluster, static_cast<uint8_t>(plan.sectorsPerCluster));
    out.Put16(bpb::kReservedSectors, static_cast<uint16_t>(plan.reserved));
    out.Put8(bpb::kFatCount, static_cast<uint8_t>(plan.fatCount));
    out.Put16(bpb::kRootEntries, static_cast<uint16_t>(plan.rootEntries));
    if (!fat32 && where.sectorCount < 65536)
        out.Put16(bpb::kTotalSectors16, static_cast<uint16_t>(where.sectorCount));
    else
        out.Put32(bpb::kTotalSectors32, where.sectorCount);
    out.Put8(bpb::kMedia, kMedia);
    if (!fat32)
        out.Put16(bpb::kFatSize16, static_cast<uint16_t>(plan.fatSectors));
    out.Put16(bpb::kSectorsPerTrack, static_cast<uint16_t>(geometry.sectorsPerTrack));
    out.Put16(bpb::kHeads, static_cast<uint16_t>(geometry.heads));
    out.Put32(bpb::kHiddenSectors, where.firstSector);
    if (fat32) {
        out.Put32(bpb::kFatSize32, plan.fatSectors);
        out.Put32(bpb::kRootCluster, 2);
        out.Put16(bpb::kFsInfoSector, kFat32FsInfo);
        out.Put16(bpb::kBackupBootSector, kFat32BackupBoot);
        out.Put8(bpb::kDriveNumber32, 0x80);
        out.Put8(bpb::kBootSignature32, 0x29);
        out.Put32(bpb::kSerial32, serial);
        out.PutBytes(bpb::kLabel32, "NO NAME    ", 11);
        out.PutBytes(bpb::kFsType32, "FAT32   ", 8);
    } else {
        out.Put8(bpb::kDriveNumber16, 0x80);
        out.Put8(bpb::kBootSignature16, 0x29);
        out.Put32(bpb::kSerial16, serial);
        out.PutBytes(bpb::kLabel16, "NO NAME    ", 11);
        out.PutBytes(bpb::kFsType16, plan.type == FatType::Fat12 ? "FAT12   " : "FAT16   ", 8);
    }
    static constexpr uint8_t kHaltLoop[] = {0xFA, 0xF4, 0xEB, 0xFD}; // cli; hlt; jmp back to hlt
    out.PutBytes(codeAt, kHaltLoop, sizeof(kHaltLoop));
    out.Put16(bpb::kSignature, 0xAA55);
}

class Writer {
public:
    explicit Writer(BlockDevice& disk) : m_disk(disk), m_zeros(kZeroRunSectors * kSectorSize, 0) {}

    bool Zero(uint32_t first, uint32_t count) {
        while (count > 0) {
            uint32_t run = count < kZeroRunSectors ? count : kZeroRunSectors;
            if (!m_disk.WriteSectors(first, run, m_zeros.data()))
                return false;
            first += run;
            count -= run;
        }
        return true;
    }
    bool Write(uint32_t sector, const std::vector<uint8_t>& data) {
        return m_disk.WriteSectors(sector, 1, data.data());
    }

private:
    BlockDevice& m_disk;
    std::vector<uint8_t> m_zeros;
};

} // namespace

FatType ChooseFatType(uint32_t volumeSectors) {
    if (volumeSectors <= kMaxFat12Sectors)
        return FatType::Fat12;
    if (volumeSectors <= kMaxFat16Sectors)
        return FatType::Fat16;
    return FatType::Fat32;
}

FatResult FormatVolume(BlockDevice& disk, VolumeLocation where, const FatClock& clock) {
    uint32_t diskSectors = disk.SectorCount();
    uint32_t end = 0;
    if (where.sectorCount == 0 || !CheckedAdd(where.firstSector, where.sectorCount, end) || end > diskSectors)
        return FatResult::InvalidParameter;
    FormatPlan plan;
    if (!PlanFormat(where.sectorCount, plan))
        return FatResult::FormatAborted;
    if (disk.IsWriteProtected())
        return FatResult::WriteProtected;

    DiskGeometry geometry = GeometryFor(diskSectors);
    uint32_t serial = SerialFromTime(Now(clock));
    Writer writer(disk);
    std::vector<uint8_t> sector(kSectorSize, 0);
    MutableBytes out(sector.data(), sector.size());
    uint32_t base = where.firstSector;
    uint32_t fatStart = base + plan.reserved;
    bool fat32 = plan.type == FatType::Fat32;

    // The whole reserved area but the boot sector, the FATs and the root folder start out as zeros.
    uint32_t rootSectors = fat32 ? plan.sectorsPerCluster : plan.rootSectors;
    uint32_t metadataEnd = plan.reserved + plan.fatCount * plan.fatSectors + rootSectors;
    if (!writer.Zero(base + 1, metadataEnd - 1))
        return FatResult::DiskError;

    // Entries 0 and 1 hold the media byte and an end mark; on FAT32 entry 2 ends the root folder's chain.
    std::fill(sector.begin(), sector.end(), 0);
    switch (plan.type) {
    case FatType::Fat12:
        out.Put8(0, kMedia);
        out.Put8(1, 0xFF);
        out.Put8(2, 0xFF);
        break;
    case FatType::Fat16:
        out.Put16(0, 0xFF00 | kMedia);
        out.Put16(2, 0xFFFF);
        break;
    case FatType::Fat32:
        out.Put32(0, 0x0FFFFF00 | kMedia);
        out.Put32(4, 0x0FFFFFFF);
        out.Put32(8, 0x0FFFFFFF);
        break;
    }
    for (uint32_t copy = 0; copy < plan.fatCount; ++copy) {
        if (!writer.Write(fatStart + copy * plan.fatSectors, sector))
            return FatResult::DiskError;
    }

    std::vector<uint8_t> boot(kSectorSize);
    BuildBootSector(plan, where, geometry, serial, boot);
    if (fat32) {
        std::fill(sector.begin(), sector.end(), 0);
        out.Put32(fsinfo::kLeadSignature, fsinfo::kLeadValue);
        out.Put32(fsinfo::kStructSignature, fsinfo::kStructValue);
        out.Put32(fsinfo::kFreeCount, plan.clusterCount - 1);
        out.Put32(fsinfo::kNextFree, 3);
        out.Put32(fsinfo::kTrailSignature, fsinfo::kTrailValue);
        if (!writer.Write(base + kFat32FsInfo, sector) ||
            !writer.Write(base + kFat32BackupBoot + kFat32FsInfo, sector) ||
            !writer.Write(base + kFat32BackupBoot, boot))
            return FatResult::DiskError;
    }
    if (!writer.Write(base, boot) || !disk.Flush())
        return FatResult::DiskError;
    return FatResult::Ok;
}

} // namespace fat
