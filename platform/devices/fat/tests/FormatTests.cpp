// Partitioning and formatting: the master boot record, the FAT type and cluster size by size, the
// disk's last sector kept out, and fsck.fat's verdict on a new volume.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "fat/Format.h"
#include "fat/Partition.h"

namespace fat::test {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * 1024;

struct SizeCase {
    uint64_t bytes;
    FatType type;
    uint32_t clusterBytes;
    uint8_t partitionType;
    uint32_t firstSector;
};

class FatFormatBySize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FatFormatBySize, MakesACleanVolumeOfTheRightTypeThatStopsBeforeTheLastSector) {
    const SizeCase& c = GetParam();
    TempDir dir;
    auto image = dir / "disk.img";
    CreateSparseFile(image, c.bytes);
    // The container trailer lives in the last sector: it must come through untouched.
    std::vector<uint8_t> trailer = PatternBytes(kSectorSize, 7);
    WriteBytes(image, c.bytes - kSectorSize, trailer);

    TestClock clock;
    VolumeLocation where;
    {
        HostFileDevice disk(image);
        ASSERT_EQ(PartitionDisk(disk, where), FatResult::Ok);
        ASSERT_EQ(FormatVolume(disk, where, clock.AsClock()), FatResult::Ok);
        EXPECT_LT(disk.highestSectorWritten, disk.SectorCount() - 1);
    }
    uint32_t diskSectors = static_cast<uint32_t>(c.bytes / kSectorSize);
    EXPECT_EQ(where.firstSector, c.firstSector);
    EXPECT_EQ(where.firstSector + where.sectorCount, diskSectors - 1);

    std::vector<uint8_t> mbr = ReadBytes(image, 0, kSectorSize);
    EXPECT_EQ(mbr[0], 0xE9);
    EXPECT_EQ(mbr[1], 0xFD);
    EXPECT_EQ(mbr[2], 0xFF);
    EXPECT_EQ(mbr[510], 0x55);
    EXPECT_EQ(mbr[511], 0xAA);
    EXPECT_EQ(mbr[446 + 4], c.partitionType);
    for (int entry = 1; entry < 4; ++entry)
        EXPECT_EQ(mbr[446 + entry * 16 + 4], 0) << "entry " << entry;

    ToolResult fsck = CheckVolume(image, where);
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;

    HostFileDevice disk(image);
    FatVolume volume(clock.AsClock());
    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
    FatVolumeInfo info;
    ASSERT_EQ(volume.GetVolumeInfo(info), FatResult::Ok);
    EXPECT_EQ(info.type, c.type);
    EXPECT_EQ(info.bytesPerCluster, c.clusterBytes);
    EXPECT_EQ(info.freeClusters + (c.type == FatType::Fat32 ? 1u : 0u), info.totalClusters);
    EXPECT_NE(info.serialNumber, 0u);
    EXPECT_TRUE(ListFolder(volume, u"").empty());
    ASSERT_EQ(volume.Unmount(), FatResult::Ok);
    EXPECT_EQ(ReadBytes(image, c.bytes - kSectorSize, kSectorSize), trailer);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FatFormatBySize,
                         ::testing::Values(SizeCase{100 * kKiB, FatType::Fat12, 512, 0x01, 1},
                                           SizeCase{1 * kMiB, FatType::Fat12, 512, 0x01, 1},
                                           SizeCase{32 * kMiB, FatType::Fat16, 2048, 0x04, 63},
                                           SizeCase{415 * kMiB, FatType::Fat16, 8192, 0x06, 63},
                                           SizeCase{600 * kMiB, FatType::Fat32, 4096, 0x0B, 63}),
                         [](const auto& info) { return std::to_string(info.param.bytes / kKiB) + "KiB"; });

TEST(FatPartition, EntryDescribesThePartitionInBothChsAndLba) {
    TempDir dir;
    auto image = dir / "disk.img";
    CreateSparseFile(image, 8 * kMiB);
    HostFileDevice disk(image);
    VolumeLocation where;
    ASSERT_EQ(PartitionDisk(disk, where), FatResult::Ok);
    std::vector<uint8_t> mbr = ReadBytes(image, 0, kSectorSize);
    const uint8_t* entry = mbr.data() + 446;
    auto lba = [](const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); };
    EXPECT_EQ(entry[0], 0x00);
    EXPECT_EQ(lba(entry + 8), where.firstSector);
    EXPECT_EQ(lba(entry + 12), where.sectorCount);
    // 8 MiB is within 1024 cylinders of 16 heads and 63 sectors.
    auto chsToLba = [](const uint8_t* chs) {
        uint32_t head = chs[0];
        uint32_t sector = chs[1] & 0x3F;
        uint32_t cylinder = chs[2] | ((chs[1] & 0xC0) << 2);
        return (cylinder * 16 + head) * 63 + sector - 1;
    };
    EXPECT_EQ(chsToLba(entry + 1), where.firstSector);
    EXPECT_EQ(chsToLba(entry + 5), where.firstSector + where.sectorCount - 1);
}

TEST(FatPartition, ScanTellsBlankPartitionedAndWholeDiskVolumesApart) {
    TempDir dir;
    auto image = dir / "disk.img";
    CreateSparseFile(image, 4 * kMiB);
    DiskScan scan;
    {
        HostFileDevice disk(image);
        ASSERT_EQ(ScanDisk(disk, scan), FatResult::Ok);
        EXPECT_EQ(scan.layout, DiskLayout::Unpartitioned);
        VolumeLocation where;
        ASSERT_EQ(PartitionDisk(disk, where), FatResult::Ok);
        ASSERT_EQ(ScanDisk(disk, scan), FatResult::Ok);
        EXPECT_EQ(scan.layout, DiskLayout::Partitioned);
        EXPECT_EQ(scan.volume.firstSector, where.firstSector);
        EXPECT_EQ(scan.volume.sectorCount, where.sectorCount);
        // Partitioned but not formatted: there is no file system to mount yet.
        FatVolume volume;
        EXPECT_EQ(volume.Mount(disk), FatResult::NoFileSystem);
    }

    // A partition table whose only partition is not FAT: partitioned, but no volume.
    std::vector<uint8_t> mbr(kSectorSize, 0);
    mbr[446 + 4] = 0x83;
    mbr[446 + 8] = 63;
    mbr[446 + 12] = 100;
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    WriteBytes(image, 0, mbr);
    {
        HostFileDevice disk(image);
        ASSERT_EQ(ScanDisk(disk, scan), FatResult::Ok);
        EXPECT_EQ(scan.layout, DiskLayout::Partitioned);
        EXPECT_EQ(scan.volume.sectorCount, 0u);
    }

    // An entry reaching past the end of the disk makes the sector no valid partition sector.
    mbr[446 + 4] = 0x06;
    mbr[446 + 12] = 0xFF;
    mbr[446 + 13] = 0xFF;
    mbr[446 + 14] = 0xFF;
    WriteBytes(image, 0, mbr);
    {
        HostFileDevice disk(image);
        ASSERT_EQ(ScanDisk(disk, scan), FatResult::Ok);
        EXPECT_EQ(scan.layout, DiskLayout::Unpartitioned);
    }

    ToolResult made = RunTool("/usr/sbin/mkfs.fat " + Quote(image) + " >/dev/null");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    HostFileDevice disk(image);
    ASSERT_EQ(ScanDisk(disk, scan), FatResult::Ok);
    EXPECT_EQ(scan.layout, DiskLayout::WholeDiskVolume);
    EXPECT_EQ(scan.volume.firstSector, 0u);
}

TEST(FatFormat, RefusesVolumesTooSmallOrOutsideTheDisk) {
    TempDir dir;
    auto image = dir / "disk.img";
    CreateSparseFile(image, 16 * kSectorSize);
    HostFileDevice disk(image);
    VolumeLocation where;
    EXPECT_EQ(PartitionDisk(disk, where), FatResult::FormatAborted);
    EXPECT_EQ(FormatVolume(disk, VolumeLocation{1, 8}, {}), FatResult::FormatAborted);
    EXPECT_EQ(FormatVolume(disk, VolumeLocation{1, 16}, {}), FatResult::InvalidParameter);
    EXPECT_EQ(FormatVolume(disk, VolumeLocation{0, 0}, {}), FatResult::InvalidParameter);
}

TEST(FatFormat, SerialNumberComesFromTheClock) {
    TempDir dir;
    TestClock clock;
    auto first = dir / "a.img";
    auto second = dir / "b.img";
    MakeFormattedImage(first, 1 * kMiB, clock.AsClock());
    clock.now.second = 10;
    MakeFormattedImage(second, 1 * kMiB, clock.AsClock());
    HostFileDevice diskA(first);
    HostFileDevice diskB(second);
    FatVolume a;
    FatVolume b;
    ASSERT_EQ(a.Mount(diskA), FatResult::Ok);
    ASSERT_EQ(b.Mount(diskB), FatResult::Ok);
    FatVolumeInfo infoA;
    FatVolumeInfo infoB;
    a.GetVolumeInfo(infoA);
    b.GetVolumeInfo(infoB);
    EXPECT_NE(infoA.serialNumber, infoB.serialNumber);
}

} // namespace
} // namespace fat::test
