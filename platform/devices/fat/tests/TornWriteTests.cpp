// Writes torn inside their sectors, as a process killed in the middle of a transfer leaves them: each
// operation is cut at every 16-byte block of every single-sector write it makes. The volume must still
// mount with every other file intact and the operation's target old or new, later work must not damage
// anything, and fsck.fat may at most find what an interrupted call leaves. Above all no chain may run
// into a free cluster, which a later claim would give to a second file.

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "TestSupport.h"

namespace fat::test {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;
const std::u16string kKeep = u"A file to keep.txt";
const std::u16string kVictim = u"Victim with a long name.bin";
const std::u16string kRenamed = u"Renamed victim, long name.bin";

struct TornCase {
    const char* name;
    std::function<void(FatVolume&, uint32_t cluster)> run;
    // Checks the volume after a torn run; empty when fine.
    std::function<std::string(FatVolume&, uint32_t cluster)> check;
    bool mayDuplicate = false;
};

std::u16string Slot(int i) {
    return u"dir\\F" + U16(std::to_string(100 + i)) + u".TXT";
}

class FatTornWrites : public ::testing::Test {
protected:
    // Clusters in order: the kept file 2-3, the victim 4-6, the folder 7, so the next claim (8) has its
    // FAT entry in the 16-byte block after the one that links to it.
    void SetUp() override {
        m_where = MakeFormattedImage(m_image, 32 * kMiB, m_clock.AsClock());
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        FatVolumeInfo info;
        volume.GetVolumeInfo(info);
        ASSERT_EQ(info.type, FatType::Fat16);
        m_cluster = info.bytesPerCluster;
        ASSERT_EQ(WriteWholeFile(volume, kKeep, PatternBytes(2 * m_cluster, 1)), FatResult::Ok);
        ASSERT_EQ(WriteWholeFile(volume, kVictim, PatternBytes(3 * m_cluster, 2)), FatResult::Ok);
        ASSERT_EQ(volume.CreateDirectory(u"dir"), FatResult::Ok);
        // The folder's cluster full: "." and "..", and empty files with short names.
        for (int i = 0; i < static_cast<int>(m_cluster / 32) - 2; ++i)
            ASSERT_EQ(WriteWholeFile(volume, Slot(i), {}), FatResult::Ok);
        ASSERT_EQ(volume.Unmount(), FatResult::Ok);
        m_saved = ReadBytes(m_image, 0, 32 * kMiB);
    }

    void Restore(const HostFileDevice& disk) {
        for (const auto& [first, count] : disk.writeLog) {
            uint64_t offset = static_cast<uint64_t>(first) * kSectorSize;
            WriteBytes(m_image, offset,
                       std::vector<uint8_t>(m_saved.begin() + offset,
                                            m_saved.begin() + offset + count * kSectorSize));
        }
    }

    // The files that every case leaves alone, and work after the cut that would show a cross-link.
    std::string CheckRest(FatVolume& volume) {
        std::vector<uint8_t> content;
        if (ReadWholeFile(volume, kKeep, content) != FatResult::Ok ||
            content != PatternBytes(2 * m_cluster, 1))
            return "the kept file changed";
        // No file shows up under its short alias, as one whose long name went before its short entry would.
        const std::set<std::u16string> known = {kKeep, kVictim, kRenamed, u"dir"};
        for (const FatEntryInfo& entry : ListFolder(volume, u""))
            if (known.count(entry.name) == 0)
                return "an unexpected entry " + U8(entry.name);
        std::set<std::u16string> names;
        for (const FatEntryInfo& entry : ListFolder(volume, u"dir"))
            names.insert(entry.name);
        for (int i = 0; i < static_cast<int>(m_cluster / 32) - 2; ++i)
            if (names.count(Slot(i).substr(4)) == 0)
                return "an entry of the folder went missing";
        if (WriteWholeFile(volume, u"after.bin", PatternBytes(6 * m_cluster, 3)) != FatResult::Ok)
            return "a file written after the cut failed";
        FatFile victim;
        if (volume.Open(kVictim, FatAccess::Write, FatDisposition::OpenExisting, 0, victim) ==
            FatResult::Ok) {
            uint32_t size = 0;
            uint32_t done = 0;
            volume.GetSize(victim, size);
            volume.Seek(victim, size);
            const std::vector<uint8_t> more = PatternBytes(2 * m_cluster, 4);
            FatResult appended = volume.Write(victim, more.data(), static_cast<uint32_t>(more.size()), done);
            volume.Close(victim);
            if (appended != FatResult::Ok)
                return std::string("appending after the cut: ") + FatResultName(appended);
        }
        if (ReadWholeFile(volume, u"after.bin", content) != FatResult::Ok ||
            content != PatternBytes(6 * m_cluster, 3))
            return "the file written after the cut was damaged";
        if (ReadWholeFile(volume, kKeep, content) != FatResult::Ok ||
            content != PatternBytes(2 * m_cluster, 1))
            return "the kept file was damaged after the cut";
        return {};
    }

    TempDir m_dir;
    std::filesystem::path m_image = m_dir / "disk.img";
    TestClock m_clock;
    VolumeLocation m_where;
    uint32_t m_cluster = 0;
    std::vector<uint8_t> m_saved;
};

TEST_F(FatTornWrites, LeaveNoChainIntoAFreeCluster) {
    auto victimIs = [](FatVolume& v, const std::u16string& path,
                       const std::vector<std::vector<uint8_t>>& allowed) {
        std::vector<uint8_t> content;
        if (ReadWholeFile(v, path, content) != FatResult::Ok)
            return false;
        return std::find(allowed.begin(), allowed.end(), content) != allowed.end();
    };
    const std::vector<TornCase> cases = {
        {"append",
         [](FatVolume& v, uint32_t c) {
             FatFile file;
             if (v.Open(kVictim, FatAccess::Write, FatDisposition::OpenExisting, 0, file) != FatResult::Ok)
                 return;
             uint32_t done = 0;
             const std::vector<uint8_t> more = PatternBytes(c, 5);
             v.Seek(file, 3 * c);
             v.Write(file, more.data(), c, done);
             v.Close(file);
         },
         [&](FatVolume& v, uint32_t c) -> std::string {
             std::vector<uint8_t> grown = PatternBytes(3 * c, 2);
             const std::vector<uint8_t> more = PatternBytes(c, 5);
             grown.insert(grown.end(), more.begin(), more.end());
             return victimIs(v, kVictim, {PatternBytes(3 * c, 2), grown}) ? "" : "the victim is damaged";
         }},
        {"grow a folder",
         [](FatVolume& v, uint32_t) { WriteWholeFile(v, u"dir\\One more entry with a long name.txt", {}); },
         {}},
        {"delete", [](FatVolume& v, uint32_t) { v.Delete(kVictim); },
         [&](FatVolume& v, uint32_t c) -> std::string {
             FatEntryInfo info;
             if (v.GetInfo(kVictim, info) == FatResult::Ok && !victimIs(v, kVictim, {PatternBytes(3 * c, 2)}))
                 return "a half-deleted victim";
             return {};
         }},
        {"rename", [](FatVolume& v, uint32_t) { v.Rename(kVictim, kRenamed); },
         [&](FatVolume& v, uint32_t c) -> std::string {
             const bool before = victimIs(v, kVictim, {PatternBytes(3 * c, 2)});
             const bool after = victimIs(v, kRenamed, {PatternBytes(3 * c, 2)});
             return before || after ? "" : "the renamed victim is lost";
         },
         true},
    };
    for (const TornCase& c : cases) {
        uint64_t writes = 0;
        std::vector<uint32_t> counts;
        {
            HostFileDevice disk(m_image);
            FatVolume volume(m_clock.AsClock());
            ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
            c.run(volume, m_cluster);
            volume.Unmount();
            writes = disk.writeRequests;
            for (const auto& [first, count] : disk.writeLog)
                counts.push_back(count);
            Restore(disk);
        }
        for (uint64_t request = 0; request < writes; ++request) {
            // Requests of several sectors move file data, whose cut the power-cut tests cover.
            if (counts[request] != 1)
                continue;
            for (uint32_t torn = 16; torn < kSectorSize; torn += 16) {
                SCOPED_TRACE(std::string(c.name) + ": write " + std::to_string(request) + " torn after " +
                             std::to_string(torn) + " bytes");
                HostFileDevice disk(m_image);
                {
                    FatVolume volume(m_clock.AsClock());
                    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
                    disk.SetTornWrite(static_cast<int64_t>(request), torn);
                    c.run(volume, m_cluster);
                    volume.Unmount();
                    disk.SetWriteBudget(-1);
                }
                ToolResult fsck = CheckVolume(m_image, m_where);
                EXPECT_TRUE(fsck.exitCode == 0 || FsckFoundOnlyLeaks(fsck.output, c.mayDuplicate))
                    << fsck.output;
                {
                    FatVolume volume(m_clock.AsClock());
                    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
                    if (c.check) {
                        EXPECT_EQ(c.check(volume, m_cluster), "");
                    }
                    EXPECT_EQ(CheckRest(volume), "");
                    volume.Unmount();
                }
                Restore(disk);
            }
        }
    }
}

} // namespace
} // namespace fat::test
