// FatDamaged volumes: a corrupt boot sector, FAT cycles, entries pointing outside the volume, a truncated
// image, garbage in a folder. Each is refused at mount or fails with Corrupt where the damage is met;
// nothing crashes or hangs (the sanitizer build checks the memory accesses).

#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"

namespace fat::test {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;

// The volume's layout as its boot sector gives it, read here independently of the engine.
struct Layout {
    uint64_t volumeOffset = 0;
    uint32_t clusterBytes = 0;
    uint64_t fatOffset = 0;
    uint32_t fatBytes = 0;
    uint32_t fatCount = 0;
    uint64_t rootOffset = 0; // FAT12/16
    uint64_t dataOffset = 0;
    bool fat32 = false;
    uint64_t ClusterOffset(uint32_t cluster) const {
        return dataOffset + uint64_t(cluster - 2) * clusterBytes;
    }
};

uint32_t Le(const std::vector<uint8_t>& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | bytes[at + i];
    return value;
}

Layout ReadLayout(const std::filesystem::path& image, VolumeLocation where) {
    Layout layout;
    layout.volumeOffset = uint64_t(where.firstSector) * kSectorSize;
    std::vector<uint8_t> boot = ReadBytes(image, layout.volumeOffset, kSectorSize);
    uint32_t reserved = Le(boot, 14, 2);
    layout.fatCount = boot[16];
    uint32_t rootEntries = Le(boot, 17, 2);
    uint32_t fatSectors = Le(boot, 22, 2);
    layout.fat32 = fatSectors == 0;
    if (layout.fat32)
        fatSectors = Le(boot, 36, 4);
    layout.clusterBytes = boot[13] * kSectorSize;
    layout.fatOffset = layout.volumeOffset + uint64_t(reserved) * kSectorSize;
    layout.fatBytes = fatSectors * kSectorSize;
    layout.rootOffset = layout.fatOffset + uint64_t(layout.fatCount) * layout.fatBytes;
    layout.dataOffset =
        layout.rootOffset + (uint64_t(rootEntries) * 32 + kSectorSize - 1) / kSectorSize * kSectorSize;
    return layout;
}

// A volume with a few files of known short names, and helpers to damage it in place.
class FatDamaged : public ::testing::Test {
protected:
    void Make(uint64_t bytes) {
        m_where = MakeFormattedImage(m_image, bytes, m_clock.AsClock());
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        ASSERT_EQ(WriteWholeFile(volume, u"FILE.BIN", PatternBytes(5000, 1)), FatResult::Ok);
        ASSERT_EQ(volume.CreateDirectory(u"DIR"), FatResult::Ok);
        ASSERT_EQ(WriteWholeFile(volume, u"DIR\\INNER.TXT", PatternBytes(100, 2)), FatResult::Ok);
        ASSERT_EQ(volume.Unmount(), FatResult::Ok);
        m_layout = ReadLayout(m_image, m_where);
    }

    // Offset of the short entry named name (11 bytes as stored) in the root folder.
    uint64_t RootEntry(const char* name) {
        uint64_t rootOffset = m_layout.fat32 ? m_layout.ClusterOffset(2) : m_layout.rootOffset;
        std::vector<uint8_t> root = ReadBytes(m_image, rootOffset, 16 * kSectorSize);
        for (size_t at = 0; at + 32 <= root.size(); at += 32) {
            if (std::memcmp(root.data() + at, name, 11) == 0)
                return rootOffset + at;
        }
        ADD_FAILURE() << "no entry " << name;
        return rootOffset;
    }
    uint32_t EntryCluster(uint64_t entry) {
        std::vector<uint8_t> raw = ReadBytes(m_image, entry, 32);
        return Le(raw, 26, 2) | (m_layout.fat32 ? Le(raw, 20, 2) << 16 : 0);
    }
    void SetEntryCluster(uint64_t entry, uint32_t cluster) {
        WriteBytes(m_image, entry + 26, {uint8_t(cluster), uint8_t(cluster >> 8)});
        if (m_layout.fat32)
            WriteBytes(m_image, entry + 20, {uint8_t(cluster >> 16), uint8_t(cluster >> 24)});
    }
    // Sets a FAT16/FAT32 entry in every copy.
    void SetFat(uint32_t cluster, uint32_t value) {
        for (uint32_t copy = 0; copy < m_layout.fatCount; ++copy) {
            uint64_t base = m_layout.fatOffset + uint64_t(copy) * m_layout.fatBytes;
            if (m_layout.fat32)
                WriteBytes(m_image, base + cluster * 4ull,
                           {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)});
            else
                WriteBytes(m_image, base + cluster * 2ull, {uint8_t(value), uint8_t(value >> 8)});
        }
    }
    uint32_t GetFat(uint32_t cluster) {
        std::vector<uint8_t> raw =
            ReadBytes(m_image, m_layout.fatOffset + cluster * (m_layout.fat32 ? 4ull : 2ull), 4);
        return m_layout.fat32 ? Le(raw, 0, 4) & 0x0FFFFFFF : Le(raw, 0, 2);
    }

    TempDir m_dir;
    std::filesystem::path m_image = m_dir / "disk.img";
    TestClock m_clock;
    VolumeLocation m_where;
    Layout m_layout;
};

struct BootDamage {
    const char* what;
    size_t offset;
    std::vector<uint8_t> bytes;
    bool fat32;
};

TEST_F(FatDamaged, CorruptBootSectorsAreRefusedAtMount) {
    const BootDamage cases[] = {
        {"no jump", 0, {0x00}, false},
        {"no signature", 510, {0x00, 0x00}, false},
        {"zero bytes per sector", 11, {0x00, 0x00}, false},
        {"1024 bytes per sector", 11, {0x00, 0x04}, false},
        {"zero sectors per cluster", 13, {0x00}, false},
        {"three sectors per cluster", 13, {0x03}, false},
        {"no reserved sectors", 14, {0x00, 0x00}, false},
        {"no FAT", 16, {0x00}, false},
        {"three FATs", 16, {0x03}, false},
        {"no root entries", 17, {0x00, 0x00}, false},
        {"bad media", 21, {0x12}, false},
        {"FAT too small", 22, {0x01, 0x00}, false},
        {"more sectors than the partition", 19, {0xFF, 0xFF}, false},
        {"metadata larger than the volume", 14, {0xFF, 0xFF}, false},
        {"FAT32 root cluster 0", 44, {0x00, 0x00, 0x00, 0x00}, true},
        {"FAT32 root cluster outside", 44, {0xF0, 0xFF, 0xFF, 0x0F}, true},
        {"FAT32 version 1.1", 42, {0x01, 0x01}, true},
        {"FAT32 without FAT size", 36, {0x00, 0x00, 0x00, 0x00}, true},
        {"FAT32 active FAT 5 unmirrored", 40, {0x85, 0x00}, true},
    };
    Make(32 * kMiB);
    std::vector<uint8_t> fat16Boot = ReadBytes(m_image, m_layout.volumeOffset, kSectorSize);
    TempDir other;
    std::filesystem::path fat32Image = other / "fat32.img";
    VolumeLocation fat32Where = MakeFormattedImage(fat32Image, 600 * kMiB, m_clock.AsClock());
    uint64_t fat32Offset = uint64_t(fat32Where.firstSector) * kSectorSize;
    std::vector<uint8_t> fat32Boot = ReadBytes(fat32Image, fat32Offset, kSectorSize);
    for (const BootDamage& c : cases) {
        const std::filesystem::path& image = c.fat32 ? fat32Image : m_image;
        uint64_t offset = c.fat32 ? fat32Offset : m_layout.volumeOffset;
        WriteBytes(image, offset, c.fat32 ? fat32Boot : fat16Boot);
        WriteBytes(image, offset + c.offset, c.bytes);
        HostFileDevice disk(image);
        FatVolume volume;
        EXPECT_EQ(volume.Mount(disk), FatResult::NoFileSystem) << c.what;
    }
}

TEST_F(FatDamaged, AFileChainWithACycleEndsInCorruptNotInAHang) {
    Make(32 * kMiB);
    uint64_t entry = RootEntry("FILE    BIN");
    uint32_t first = EntryCluster(entry);
    // 5000 bytes in 2 KiB clusters: three clusters; the last points back to the first.
    uint32_t last = first;
    while (GetFat(last) < 0xFFF8)
        last = GetFat(last);
    SetFat(last, first);

    HostFileDevice disk(m_image);
    FatVolume volume(m_clock.AsClock());
    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
    std::vector<uint8_t> read;
    EXPECT_EQ(ReadWholeFile(volume, u"FILE.BIN", read), FatResult::Ok); // within its size the chain is fine
    FatFile file;
    ASSERT_EQ(volume.Open(u"FILE.BIN", FatAccess::Write, FatDisposition::OpenExisting, 0, file),
              FatResult::Ok);
    ASSERT_EQ(volume.Seek(file, 5000), FatResult::Ok);
    uint32_t done = 0;
    std::vector<uint8_t> more(10000, 1);
    EXPECT_EQ(volume.Write(file, more.data(), 10000, done), FatResult::Corrupt);
    volume.Close(file);
    EXPECT_EQ(volume.Delete(u"FILE.BIN"), FatResult::Ok);
    FatVolumeInfo info;
    volume.GetVolumeInfo(info);
    EXPECT_LE(info.freeClusters, info.totalClusters);
    EXPECT_EQ(volume.Unmount(), FatResult::Ok);
}

TEST_F(FatDamaged, AFolderChainWithACycleEndsWithoutAHang) {
    Make(1 * kMiB); // FAT12, 512-byte clusters: the folder below spans two clusters
    {
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        // ".", "..", INNER.TXT and 29 more: 32 slots, two clusters exactly.
        for (int i = 0; i < 29; ++i)
            ASSERT_EQ(WriteWholeFile(volume, U16("DIR\\F" + std::to_string(i)), {}), FatResult::Ok);
        ASSERT_EQ(volume.Unmount(), FatResult::Ok);
    }
    uint32_t first = EntryCluster(RootEntry("DIR        "));
    // FAT12: entry n at byte n * 3 / 2; the folder's second cluster follows its first.
    std::vector<uint8_t> fat = ReadBytes(m_image, m_layout.fatOffset, m_layout.fatBytes);
    auto get12 = [&](uint32_t n) {
        uint32_t pair = fat[n * 3 / 2] | (fat[n * 3 / 2 + 1] << 8);
        return n & 1 ? pair >> 4 : pair & 0xFFF;
    };
    uint32_t second = get12(first);
    ASSERT_LT(second, 0xFF8u);
    ASSERT_GE(get12(second), 0xFF8u);
    size_t at = second * 3 / 2;
    uint32_t pair = fat[at] | (fat[at + 1] << 8);
    pair = second & 1 ? (pair & 0x000F) | (first << 4) : (pair & 0xF000) | first;
    for (uint32_t copy = 0; copy < m_layout.fatCount; ++copy)
        WriteBytes(m_image, m_layout.fatOffset + uint64_t(copy) * m_layout.fatBytes + at,
                   {uint8_t(pair), uint8_t(pair >> 8)});

    HostFileDevice disk(m_image);
    FatVolume volume(m_clock.AsClock());
    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
    std::vector<FatEntryInfo> listed = ListFolder(volume, u"DIR");
    EXPECT_GE(listed.size(), 30u);
    EXPECT_LE(listed.size(), 65536u);
    EXPECT_EQ(volume.CreateDirectory(u"DIR\\NEW"), FatResult::Corrupt);
    FatEntryInfo info;
    EXPECT_EQ(volume.GetInfo(u"DIR\\F28", info), FatResult::Ok);
    EXPECT_EQ(volume.GetInfo(u"DIR\\MISSING", info), FatResult::NoFile);
}

TEST_F(FatDamaged, EntriesAndLinksPointingOutsideTheVolumeAreCorrupt) {
    Make(32 * kMiB);
    uint64_t fileEntry = RootEntry("FILE    BIN");
    uint64_t dirEntry = RootEntry("DIR        ");
    uint32_t fileCluster = EntryCluster(fileEntry);
    {
        // A file whose first cluster does not exist.
        SetEntryCluster(fileEntry, 0xFFF0);
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        FatEntryInfo info;
        EXPECT_EQ(volume.GetInfo(u"FILE.BIN", info), FatResult::Ok);
        FatFile file;
        EXPECT_EQ(volume.Open(u"FILE.BIN", FatAccess::Read, FatDisposition::OpenExisting, 0, file),
                  FatResult::Corrupt);
        EXPECT_EQ(volume.Delete(u"FILE.BIN"), FatResult::Ok);
        EXPECT_EQ(volume.Unmount(), FatResult::Ok);
    }
    Make(32 * kMiB);
    fileEntry = RootEntry("FILE    BIN");
    dirEntry = RootEntry("DIR        ");
    fileCluster = EntryCluster(fileEntry);
    // A link in the file's chain to a cluster that does not exist, and a folder pointing nowhere.
    SetFat(fileCluster, 0xFFF0);
    SetEntryCluster(dirEntry, 0xFFF0);
    HostFileDevice disk(m_image);
    FatVolume volume(m_clock.AsClock());
    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
    std::vector<uint8_t> read;
    EXPECT_EQ(ReadWholeFile(volume, u"FILE.BIN", read), FatResult::Corrupt);
    FatFind find;
    FatEntryInfo info;
    EXPECT_EQ(volume.FindFirst(u"DIR\\*", find, info), FatResult::Corrupt);
    EXPECT_EQ(volume.GetInfo(u"DIR\\INNER.TXT", info), FatResult::Corrupt);
    EXPECT_EQ(volume.RemoveDirectory(u"DIR"), FatResult::Corrupt);
    EXPECT_EQ(ListFolder(volume, u"").size(), 2u);
}

TEST_F(FatDamaged, AFileLongerThanItsChainIsCorruptWhereTheChainEnds) {
    Make(32 * kMiB);
    uint64_t entry = RootEntry("FILE    BIN");
    WriteBytes(m_image, entry + 28, {0x00, 0x00, 0x01, 0x00}); // 64 KiB claimed, 5000 bytes of chain
    HostFileDevice disk(m_image);
    FatVolume volume(m_clock.AsClock());
    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
    FatFile file;
    ASSERT_EQ(volume.Open(u"FILE.BIN", FatAccess::Read, FatDisposition::OpenExisting, 0, file),
              FatResult::Ok);
    std::vector<uint8_t> buffer(65536);
    uint32_t done = 0;
    EXPECT_EQ(volume.Read(file, buffer.data(), 4096, done), FatResult::Ok);
    EXPECT_EQ(volume.Read(file, buffer.data(), 65536, done), FatResult::Corrupt);
}

TEST_F(FatDamaged, AWrongOrBrokenFsInfoIsNotTrusted) {
    m_where = MakeFormattedImage(m_image, 600 * kMiB, m_clock.AsClock());
    uint64_t fsInfo = uint64_t(m_where.firstSector + 1) * kSectorSize;
    uint32_t realFree = 0;
    for (int broken = 0; broken < 2; ++broken) {
        // A free count another tool got wrong, then an FSInfo sector without its signatures.
        WriteBytes(m_image, fsInfo + (broken ? 0 : 488), {0x10, 0x00, 0x00, 0x00});
        {
            HostFileDevice disk(m_image);
            FatVolume volume(m_clock.AsClock());
            ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
            FatVolumeInfo info;
            ASSERT_EQ(volume.GetVolumeInfo(info), FatResult::Ok);
            if (realFree == 0)
                realFree = info.freeClusters;
            EXPECT_EQ(info.freeClusters, realFree);
            ASSERT_EQ(WriteWholeFile(volume, U16("F" + std::to_string(broken)), PatternBytes(10000, 1)),
                      FatResult::Ok);
            ASSERT_EQ(volume.Delete(U16("F" + std::to_string(broken))), FatResult::Ok);
            ASSERT_EQ(volume.Unmount(), FatResult::Ok);
        }
        ToolResult fsck = CheckVolume(m_image, m_where);
        if (broken == 0) {
            EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
        }
    }
    EXPECT_GT(realFree, 150000u);
}

TEST_F(FatDamaged, TruncatedImagesAreRefused) {
    Make(32 * kMiB);
    std::filesystem::resize_file(m_image, 16 * kMiB);
    {
        HostFileDevice disk(m_image);
        FatVolume volume;
        EXPECT_EQ(volume.Mount(disk), FatResult::NoFileSystem);
        EXPECT_EQ(volume.Mount(disk, m_where), FatResult::InvalidParameter);
    }
    // A volume without a partition table, cut short.
    CreateSparseFile(m_image, 8 * kMiB);
    ToolResult made = RunTool("/usr/sbin/mkfs.fat " + Quote(m_image) + " >/dev/null");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    std::filesystem::resize_file(m_image, 8 * kMiB - 4096);
    HostFileDevice disk(m_image);
    FatVolume volume;
    EXPECT_EQ(volume.Mount(disk), FatResult::NoFileSystem);
    std::filesystem::resize_file(m_image, 256);
    HostFileDevice tiny(m_image);
    EXPECT_EQ(volume.Mount(tiny), FatResult::DiskError);
}

TEST_F(FatDamaged, GarbageInAFolderNeverCrashes) {
    Make(1 * kMiB);
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        // Random bytes over the root folder, with some valid-looking long-name and short entries.
        std::vector<uint8_t> garbage = PatternBytes(14 * kSectorSize, seed);
        for (size_t at = 0; at < garbage.size(); at += 32) {
            if (garbage[at] % 3 == 0)
                garbage[at + 11] = 0x0F;
            if (garbage[at] % 7 == 0)
                garbage[at] = 0x41 + garbage[at + 1] % 20;
        }
        WriteBytes(m_image, m_layout.rootOffset, garbage);
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        for (const FatEntryInfo& entry : ListFolder(volume, u"")) {
            if (entry.attributes & kAttrDirectory) {
                ListFolder(volume, entry.name);
                continue;
            }
            // The sizes are garbage too: read a bounded amount.
            FatFile file;
            if (volume.Open(entry.name, FatAccess::Read, FatDisposition::OpenExisting, 0, file) !=
                FatResult::Ok)
                continue;
            std::vector<uint8_t> buffer(65536);
            uint32_t done = 0;
            volume.Read(file, buffer.data(), static_cast<uint32_t>(buffer.size()), done);
            volume.Close(file);
        }
        WriteWholeFile(volume, u"new file with a long name", PatternBytes(3000, seed));
        volume.CreateDirectory(u"another new folder");
        volume.Unmount();
    }
}

} // namespace
} // namespace fat::test
