#include "fat/Partition.h"

#include <array>
#include <vector>

#include "BootSector.h"
#include "Bytes.h"
#include "Geometry.h"
#include "fat/Format.h"

namespace fat {

namespace {

// Format notes: the master boot record holds four 16-byte entries from byte 446 (boot flag, CHS of the
// first sector, type, CHS of the last sector, first sector, sector count) and ends in 55 AA.
constexpr size_t kEntryTable = 446;
constexpr size_t kEntrySize = 16;
constexpr size_t kEntryCount = 4;

constexpr uint8_t kTypeFat12 = 0x01;
constexpr uint8_t kTypeFat16Small = 0x04;
constexpr uint8_t kTypeFat16 = 0x06;
constexpr uint8_t kTypeFat32 = 0x0B;
constexpr uint8_t kTypeFat32Lba = 0x0C;
constexpr uint8_t kTypeFat16Lba = 0x0E;

// A partition starts on a track boundary, except on disks so small that a track would be a large share.
constexpr uint32_t kSmallDiskSectors = 8192;
// Fewer sectors than this cannot hold a FAT volume worth having.
constexpr uint32_t kMinPartitionSectors = 32;

bool IsFatType(uint8_t type) {
    return type == kTypeFat12 || type == kTypeFat16Small || type == kTypeFat16 || type == kTypeFat32 ||
           type == kTypeFat32Lba || type == kTypeFat16Lba;
}

// Three CHS bytes of a sector; sectors past the last addressable cylinder get the usual 1023/254/63.
std::array<uint8_t, 3> EncodeChs(uint32_t lba, const DiskGeometry& geometry) {
    uint32_t perCylinder = geometry.heads * geometry.sectorsPerTrack;
    uint32_t cylinder = lba / perCylinder;
    uint32_t head = (lba / geometry.sectorsPerTrack) % geometry.heads;
    uint32_t sector = lba % geometry.sectorsPerTrack + 1;
    if (cylinder > 1023)
        return {0xFE, 0xFF, 0xFF};
    return {static_cast<uint8_t>(head), static_cast<uint8_t>((sector & 0x3F) | ((cylinder >> 2) & 0xC0)),
            static_cast<uint8_t>(cylinder & 0xFF)};
}

uint8_t PartitionType(uint32_t first, uint32_t count, const DiskGeometry& geometry) {
    uint64_t chsLimit = 1024ull * geometry.heads * geometry.sectorsPerTrack;
    bool chsReachable = static_cast<uint64_t>(first) + count <= chsLimit;
    switch (ChooseFatType(count)) {
    case FatType::Fat12:
        return kTypeFat12;
    case FatType::Fat16:
        if (count < 65536)
            return kTypeFat16Small;
        return chsReachable ? kTypeFat16 : kTypeFat16Lba;
    case FatType::Fat32:
        return chsReachable ? kTypeFat32 : kTypeFat32Lba;
    }
    return kTypeFat32Lba;
}

struct Entry {
    uint8_t bootFlag = 0;
    uint8_t type = 0;
    uint32_t first = 0;
    uint32_t count = 0;
};

// The entries of a valid partition sector: the signature, at least one entry, every used entry inside
// the disk and clear of sector 0 and of the others.
bool ReadMbr(ConstBytes sector, uint32_t diskSectors, std::array<Entry, kEntryCount>& entries) {
    if (sector.U16(510) != 0xAA55)
        return false;
    bool any = false;
    for (size_t i = 0; i < kEntryCount; ++i) {
        size_t at = kEntryTable + i * kEntrySize;
        Entry& entry = entries[i];
        entry.bootFlag = sector.U8(at);
        entry.type = sector.U8(at + 4);
        entry.first = sector.U32(at + 8);
        entry.count = sector.U32(at + 12);
        if (entry.type == 0)
            continue;
        uint32_t end = 0;
        if ((entry.bootFlag != 0 && entry.bootFlag != 0x80) || entry.first == 0 || entry.count == 0 ||
            !CheckedAdd(entry.first, entry.count, end) || end > diskSectors)
            return false;
        any = true;
    }
    for (size_t i = 0; i < kEntryCount; ++i) {
        for (size_t j = i + 1; j < kEntryCount; ++j) {
            const Entry& a = entries[i];
            const Entry& b = entries[j];
            if (a.type == 0 || b.type == 0)
                continue;
            if (a.first < b.first + b.count && b.first < a.first + a.count)
                return false;
        }
    }
    return any;
}

} // namespace

FatResult ScanDisk(BlockDevice& disk, DiskScan& scan) {
    scan = DiskScan{};
    uint32_t diskSectors = disk.SectorCount();
    if (diskSectors == 0)
        return FatResult::DiskError;
    std::vector<uint8_t> sector(kSectorSize);
    if (!disk.ReadSectors(0, 1, sector.data()))
        return FatResult::DiskError;
    VolumeLayout layout;
    if (ParseBootSector(sector.data(), VolumeLocation{0, diskSectors}, layout)) {
        scan.layout = DiskLayout::WholeDiskVolume;
        scan.volume = VolumeLocation{0, diskSectors};
        return FatResult::Ok;
    }
    std::array<Entry, kEntryCount> entries;
    if (!ReadMbr(ConstBytes(sector.data(), sector.size()), diskSectors, entries))
        return FatResult::Ok;
    scan.layout = DiskLayout::Partitioned;
    for (const Entry& entry : entries) {
        if (IsFatType(entry.type)) {
            scan.volume = VolumeLocation{entry.first, entry.count};
            scan.partitionType = entry.type;
            break;
        }
    }
    return FatResult::Ok;
}

VolumeLocation PlanPartition(uint32_t diskSectors) {
    // The disk's last sector stays outside the partition.
    uint32_t first = diskSectors >= kSmallDiskSectors ? GeometryFor(diskSectors).sectorsPerTrack : 1;
    if (diskSectors < first + 1 + kMinPartitionSectors)
        return VolumeLocation{};
    return VolumeLocation{first, diskSectors - 1 - first};
}

FatResult PartitionDisk(BlockDevice& disk, VolumeLocation& partition) {
    uint32_t diskSectors = disk.SectorCount();
    VolumeLocation plan = PlanPartition(diskSectors);
    if (plan.sectorCount == 0)
        return FatResult::FormatAborted;
    if (disk.IsWriteProtected())
        return FatResult::WriteProtected;
    DiskGeometry geometry = GeometryFor(diskSectors);
    std::vector<uint8_t> sector(kSectorSize, 0);
    MutableBytes out(sector.data(), sector.size());
    // The boot code is a jump to itself: E9 FD FF.
    out.Put8(0, 0xE9);
    out.Put8(1, 0xFD);
    out.Put8(2, 0xFF);
    std::array<uint8_t, 3> chsFirst = EncodeChs(plan.firstSector, geometry);
    std::array<uint8_t, 3> chsLast = EncodeChs(plan.firstSector + plan.sectorCount - 1, geometry);
    out.Put8(kEntryTable, 0x00);
    out.PutBytes(kEntryTable + 1, chsFirst.data(), chsFirst.size());
    out.Put8(kEntryTable + 4, PartitionType(plan.firstSector, plan.sectorCount, geometry));
    out.PutBytes(kEntryTable + 5, chsLast.data(), chsLast.size());
    out.Put32(kEntryTable + 8, plan.firstSector);
    out.Put32(kEntryTable + 12, plan.sectorCount);
    out.Put16(510, 0xAA55);
    if (!disk.WriteSectors(0, 1, sector.data()) || !disk.Flush())
        return FatResult::DiskError;
    partition = plan;
    return FatResult::Ok;
}

} // namespace fat
