// A volume records on the disk that it is in use from its first change to a clean dismount, the way
// fsck.fat reads it; a mount that only reads writes nothing. A mount of a volume left in use repairs what
// an interrupted session leaves (the power-cut tests cut real sessions; here each leftover is made by
// hand): afterwards fsck.fat finds the volume clean and every file is as it was. A volume that is not
// marked, or that is damaged, is left as it is.

#include <gtest/gtest.h>

#include <map>

#include "TestSupport.h"

namespace fat::test {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;

// The layout of the volume in an image, read from its boot sector, and raw access to its FAT entries
// (FAT16 and FAT32) and its in-use mark.
class RawVolume {
public:
    RawVolume(const std::filesystem::path& image, VolumeLocation where, uint32_t maxCluster = 0)
        : m_image(image), m_where(where), m_maxCluster(maxCluster) {
        std::vector<uint8_t> boot = ReadBytes(image, Offset(0), kSectorSize);
        m_reserved = U16(boot, 14);
        m_fats = boot[16];
        m_rootEntries = U16(boot, 17);
        const uint32_t fatSectors16 = U16(boot, 22);
        m_fat32 = fatSectors16 == 0;
        m_fatSectors = m_fat32 ? U32(boot, 36) : fatSectors16;
        m_clusterSectors = boot[13];
        m_rootCluster = m_fat32 ? U32(boot, 44) : 0;
    }

    uint32_t Entry(uint32_t cluster, uint32_t copy = 0) const {
        std::vector<uint8_t> bytes = ReadBytes(m_image, EntryOffset(cluster, copy), m_fat32 ? 4 : 2);
        return m_fat32 ? U32(bytes, 0) & 0x0FFFFFFF : U16(bytes, 0);
    }
    void SetEntry(uint32_t cluster, uint32_t value, bool everyCopy = true) const {
        for (uint32_t copy = 0; copy < (everyCopy ? m_fats : 1); ++copy) {
            std::vector<uint8_t> bytes = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                          static_cast<uint8_t>(value >> 16),
                                          static_cast<uint8_t>(value >> 24)};
            bytes.resize(m_fat32 ? 4 : 2);
            WriteBytes(m_image, EntryOffset(cluster, copy), bytes);
        }
    }
    uint32_t EndMark() const { return m_fat32 ? 0x0FFFFFFF : 0xFFFF; }
    bool InUse() const { return (Entry(1) & (m_fat32 ? 0x08000000 : 0x8000)) == 0; }
    void MarkInUse() const { SetEntry(1, Entry(1) & ~(m_fat32 ? 0x08000000u : 0x8000u)); }
    // The free cluster nearest the volume's end, where nothing was written.
    uint32_t FreeCluster() const {
        for (uint32_t cluster = m_maxCluster; cluster > 2; --cluster)
            if (Entry(cluster) == 0)
                return cluster;
        return 0;
    }
    // The FAT copies and the root folder: what a mount that repairs nothing leaves as it was.
    std::vector<uint8_t> Metadata() const {
        std::vector<uint8_t> bytes =
            ReadBytes(m_image, Offset(m_reserved), size_t{m_fats} * m_fatSectors * kSectorSize);
        std::vector<uint8_t> root =
            m_fat32 ? ReadBytes(m_image, ClusterOffset(m_rootCluster), m_clusterSectors * kSectorSize)
                    : ReadBytes(m_image, Offset(RootSector()), m_rootEntries * 32);
        bytes.insert(bytes.end(), root.begin(), root.end());
        return bytes;
    }
    // The last cluster of a chain.
    uint32_t Last(uint32_t first) const {
        while (Entry(first) < (m_fat32 ? 0x0FFFFFF8u : 0xFFF8u))
            first = Entry(first);
        return first;
    }
    // Offset of the first free slot of the root folder (fixed root of FAT16, or the FAT32 root's cluster).
    uint64_t FreeRootSlot() const {
        const uint64_t start = m_fat32 ? ClusterOffset(m_rootCluster) : Offset(RootSector());
        for (uint64_t at = start;; at += 32)
            if (ReadBytes(m_image, at, 1)[0] == 0)
                return at;
    }
    uint32_t FirstClusterOf(const std::string& shortName) const {
        const uint64_t start = m_fat32 ? ClusterOffset(m_rootCluster) : Offset(RootSector());
        for (uint64_t at = start;; at += 32) {
            std::vector<uint8_t> slot = ReadBytes(m_image, at, 32);
            if (slot[0] == 0)
                return 0;
            if (std::string(slot.begin(), slot.begin() + 11) == shortName)
                return U16(slot, 26) | (m_fat32 ? U16(slot, 20) << 16 : 0);
        }
    }

private:
    static uint32_t U16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
    static uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
        return U16(b, at) | (U16(b, at + 2) << 16);
    }
    uint64_t Offset(uint32_t sector) const { return (uint64_t{m_where.firstSector} + sector) * kSectorSize; }
    uint64_t EntryOffset(uint32_t cluster, uint32_t copy) const {
        return Offset(m_reserved + copy * m_fatSectors) + uint64_t{cluster} * (m_fat32 ? 4 : 2);
    }
    uint32_t RootSector() const { return m_reserved + m_fats * m_fatSectors; }
    uint64_t ClusterOffset(uint32_t cluster) const {
        const uint32_t dataStart = RootSector() + (m_rootEntries * 32 + kSectorSize - 1) / kSectorSize;
        return Offset(dataStart + (cluster - 2) * m_clusterSectors);
    }

    std::filesystem::path m_image;
    VolumeLocation m_where;
    uint32_t m_reserved = 0;
    uint32_t m_fats = 0;
    uint32_t m_rootEntries = 0;
    uint32_t m_fatSectors = 0;
    uint32_t m_clusterSectors = 0;
    uint32_t m_rootCluster = 0;
    uint32_t m_maxCluster = 0;
    bool m_fat32 = false;
};

class FatInUse : public ::testing::TestWithParam<uint64_t> {
protected:
    void SetUp() override { m_where = MakeFormattedImage(m_image, GetParam(), m_clock.AsClock()); }

    // fsck.fat's verdict, and whether it saw the in-use mark.
    ToolResult Check() const { return CheckVolume(m_image, m_where); }
    static bool SawMark(const ToolResult& fsck) { return fsck.output.find("Dirty bit") != std::string::npos; }

    TempDir m_dir;
    std::filesystem::path m_image = m_dir / "disk.img";
    TestClock m_clock;
    VolumeLocation m_where;
};

TEST_P(FatInUse, IsRecordedFromTheFirstChangeToTheDismount) {
    {
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        ASSERT_EQ(WriteWholeFile(volume, u"kept.txt", PatternBytes(3000, 1)), FatResult::Ok);
        ASSERT_EQ(volume.Unmount(), FatResult::Ok);
    }
    HostFileDevice disk(m_image);
    FatVolume volume(m_clock.AsClock());
    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
    std::vector<uint8_t> content;
    ASSERT_EQ(ReadWholeFile(volume, u"kept.txt", content), FatResult::Ok);
    EXPECT_EQ(disk.writeRequests, 0u) << "mounting and reading wrote to the disk";
    EXPECT_FALSE(SawMark(Check()));

    ASSERT_EQ(volume.CreateDirectory(u"made"), FatResult::Ok);
    ToolResult inUse = Check();
    EXPECT_TRUE(SawMark(inUse)) << inUse.output;
    ASSERT_EQ(volume.Unmount(), FatResult::Ok);
    ToolResult clean = Check();
    EXPECT_EQ(clean.exitCode, 0) << clean.output;
}

TEST_P(FatInUse, AWriteProtectedDiskIsNeitherMarkedNorRepaired) {
    {
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        ASSERT_EQ(volume.CreateDirectory(u"made"), FatResult::Ok);
        disk.SetWriteBudget(0); // cut before the dismount marks it clean
        volume.Unmount();
    }
    HostFileDevice disk(m_image);
    disk.SetWriteProtected(true);
    FatVolume volume(m_clock.AsClock());
    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
    FatEntryInfo info;
    EXPECT_EQ(volume.GetInfo(u"made", info), FatResult::Ok);
    volume.Unmount();
    EXPECT_EQ(disk.writeRequests, 0u);
    EXPECT_TRUE(SawMark(Check()));
}

INSTANTIATE_TEST_SUITE_P(Types, FatInUse, ::testing::Values(1 * kMiB, 32 * kMiB, 600 * kMiB),
                         [](const auto& info) { return std::to_string(info.param / kMiB) + "MiB"; });

// What an interrupted session leaves, made by hand on FAT16 and FAT32: a chain no entry reaches, a file
// whose chain runs on beyond its size, long-name slots without their short entry, a second FAT copy
// without the last change.
class FatLeftInUse : public FatInUse {
protected:
    void SetUp() override {
        FatInUse::SetUp();
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        ASSERT_EQ(volume.CreateDirectory(u"folder"), FatResult::Ok);
        for (const auto& [path, content] : m_files)
            ASSERT_EQ(WriteWholeFile(volume, path, content), FatResult::Ok);
        FatVolumeInfo info;
        ASSERT_EQ(volume.GetVolumeInfo(info), FatResult::Ok);
        m_free = info.freeClusters;
        m_maxCluster = info.totalClusters + 1;
        ASSERT_EQ(volume.Unmount(), FatResult::Ok);

        RawVolume raw = Raw();
        const uint32_t leakEnd = raw.FreeCluster();
        raw.SetEntry(leakEnd, raw.EndMark());
        const uint32_t leakStart = raw.FreeCluster();
        raw.SetEntry(leakStart, leakEnd);
        const uint32_t tail = raw.FreeCluster();
        raw.SetEntry(tail, raw.EndMark());
        raw.SetEntry(raw.Last(raw.FirstClusterOf("SIZED   BIN")), tail);
        raw.SetEntry(raw.FreeCluster(), raw.EndMark(), false); // in the first copy only
        std::vector<uint8_t> orphan(32, 0);
        orphan[0] = 0x41;
        orphan[1] = 'x';
        orphan[11] = 0x0F;
        orphan[13] = 0x77; // the checksum of no short entry that follows
        WriteBytes(m_image, raw.FreeRootSlot(), orphan);
    }

    RawVolume Raw() const { return RawVolume(m_image, m_where, m_maxCluster); }

    std::map<std::u16string, std::vector<uint8_t>> m_files = {
        {u"sized.bin", PatternBytes(5000, 2)}, {u"folder\\A long name, inside.txt", PatternBytes(700, 3)}};
    uint32_t m_free = 0;
    uint32_t m_maxCluster = 0;
};

TEST_P(FatLeftInUse, IsRepairedByTheNextMount) {
    Raw().MarkInUse();
    ToolResult before = Check();
    ASSERT_NE(before.exitCode, 0) << "the leftovers were not made";
    {
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        FatVolumeInfo info;
        ASSERT_EQ(volume.GetVolumeInfo(info), FatResult::Ok);
        EXPECT_EQ(info.freeClusters, m_free);
        for (const auto& [path, content] : m_files) {
            std::vector<uint8_t> read;
            EXPECT_EQ(ReadWholeFile(volume, path, read), FatResult::Ok);
            EXPECT_EQ(read, content);
        }
        ASSERT_EQ(volume.Unmount(), FatResult::Ok);
    }
    ToolResult after = Check();
    EXPECT_EQ(after.exitCode, 0) << after.output;
}

TEST_P(FatLeftInUse, IsLeftAloneWhenNotMarked) {
    const std::vector<uint8_t> before = Raw().Metadata();
    HostFileDevice disk(m_image);
    FatVolume volume(m_clock.AsClock());
    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
    ASSERT_EQ(volume.Unmount(), FatResult::Ok);
    EXPECT_EQ(Raw().Metadata(), before);
}

TEST_P(FatLeftInUse, IsLeftAloneWhenDamaged) {
    RawVolume raw = Raw();
    raw.MarkInUse();
    // A file's chain that runs into a free cluster: what the walk cannot trust, it does not repair.
    raw.SetEntry(raw.Last(raw.FirstClusterOf("SIZED   BIN")), raw.FreeCluster());
    const std::vector<uint8_t> before = raw.Metadata();
    {
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        ASSERT_EQ(volume.Unmount(), FatResult::Ok);
    }
    // Only the in-use mark changed: the clean dismount cleared it.
    EXPECT_FALSE(raw.InUse());
    raw.MarkInUse();
    EXPECT_EQ(raw.Metadata(), before);
}

INSTANTIATE_TEST_SUITE_P(Types, FatLeftInUse, ::testing::Values(32 * kMiB, 600 * kMiB),
                         [](const auto& info) { return std::to_string(info.param / kMiB) + "MiB"; });

} // namespace
} // namespace fat::test
