// Power cuts: each operation is stopped after every possible number of its disk writes; the volume must
// still mount, everything that was there before must be intact, the operation's own target must be in
// its old or its new state, and once that mount (which repairs what the cut left) is dismounted, fsck.fat
// finds the volume clean; only a cut rename may leave the entry under both names.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "TestSupport.h"

namespace fat::test {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;

struct Baseline {
    std::map<std::u16string, std::vector<uint8_t>> files;
};

// What an operation does, and which paths it may change (the rest must be untouched).
struct CutCase {
    const char* name;
    std::function<void(FatVolume&, uint32_t cluster)> run;
    std::vector<std::u16string> touched;
    // Checks the touched paths after a cut; empty when fine.
    std::function<std::string(FatVolume&, const Baseline&, uint32_t cluster)> check;
    bool mayDuplicate = false; // a cut rename may leave the entry under both names
};

std::optional<std::vector<uint8_t>> TryRead(FatVolume& volume, const std::u16string& path) {
    std::vector<uint8_t> content;
    if (ReadWholeFile(volume, path, content) != FatResult::Ok)
        return std::nullopt;
    return content;
}

bool StartsWith(const std::vector<uint8_t>& content, const std::vector<uint8_t>& prefix, size_t length) {
    return content.size() >= length && prefix.size() >= length &&
           std::equal(prefix.begin(), prefix.begin() + length, content.begin());
}

class FatPowerCut : public ::testing::TestWithParam<uint64_t> {
protected:
    void SetUp() override {
        m_where = MakeFormattedImage(m_image, GetParam(), m_clock.AsClock());
        HostFileDevice disk(m_image);
        FatVolume volume(m_clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        FatVolumeInfo info;
        volume.GetVolumeInfo(info);
        m_cluster = info.bytesPerCluster;
        ASSERT_EQ(volume.CreateDirectory(u"keep"), FatResult::Ok);
        ASSERT_EQ(volume.CreateDirectory(u"mover"), FatResult::Ok);
        m_baseline.files = {
            {u"keep\\a.txt", PatternBytes(3 * m_cluster, 1)},
            {u"keep\\Long name b.data", PatternBytes(m_cluster, 2)},
            {u"victim.bin", PatternBytes(5 * m_cluster - 7, 3)},
            {u"mover\\inner.txt", PatternBytes(100, 4)},
            {u"to be deleted.txt", PatternBytes(2 * m_cluster, 5)},
            {u"shrink.bin", PatternBytes(6 * m_cluster, 6)},
        };
        for (const auto& [path, content] : m_baseline.files)
            ASSERT_EQ(WriteWholeFile(volume, path, content), FatResult::Ok);
        ASSERT_EQ(volume.Unmount(), FatResult::Ok);
        m_saved = ReadBytes(m_image, 0, GetParam());
    }

    // Puts back what the last run wrote.
    void Restore() {
        for (const auto& [first, count] : m_written) {
            uint64_t offset = static_cast<uint64_t>(first) * kSectorSize;
            WriteBytes(m_image, offset,
                       std::vector<uint8_t>(m_saved.begin() + offset,
                                            m_saved.begin() + offset + count * kSectorSize));
        }
        m_written.clear();
    }
    void Keep(const HostFileDevice& disk) {
        m_written.insert(m_written.end(), disk.writeLog.begin(), disk.writeLog.end());
    }

    TempDir m_dir;
    std::filesystem::path m_image = m_dir / "disk.img";
    TestClock m_clock;
    VolumeLocation m_where;
    uint32_t m_cluster = 0;
    Baseline m_baseline;
    std::vector<uint8_t> m_saved;
    std::vector<std::pair<uint32_t, uint32_t>> m_written;
};

TEST_P(FatPowerCut, LeavesOldDataIntactAndAtMostLeaksClusters) {
    auto writeAt = [](FatVolume& v, const char16_t* path, uint32_t at, const std::vector<uint8_t>& data) {
        FatFile file;
        if (v.Open(path, FatAccess::Write, FatDisposition::OpenAlways, 0, file) != FatResult::Ok)
            return;
        uint32_t done = 0;
        v.Seek(file, at);
        v.Write(file, data.data(), static_cast<uint32_t>(data.size()), done);
        v.Close(file);
    };
    const std::vector<CutCase> cases = {
        {"append",
         [&](FatVolume& v, uint32_t c) { writeAt(v, u"victim.bin", 5 * c - 7, PatternBytes(4 * c, 9)); },
         {u"victim.bin"},
         [](FatVolume& v, const Baseline& b, uint32_t c) -> std::string {
             auto content = TryRead(v, u"victim.bin");
             const auto& old = b.files.at(u"victim.bin");
             if (!content || (content->size() != old.size() && content->size() != 9 * c - 7) ||
                 !StartsWith(*content, old, old.size()))
                 return "victim.bin damaged";
             return {};
         }},
        {"create with data",
         [&](FatVolume& v, uint32_t c) {
             writeAt(v, u"A new file with a long name.txt", 0, PatternBytes(3 * c, 10));
         },
         {u"A new file with a long name.txt"},
         [](FatVolume& v, const Baseline&, uint32_t c) -> std::string {
             FatEntryInfo info;
             FatResult result = v.GetInfo(u"A new file with a long name.txt", info);
             if (result == FatResult::Ok && info.size != 0 && info.size != 3 * c)
                 return "new file has a partial size";
             return {};
         }},
        {"create folder",
         [](FatVolume& v, uint32_t) { v.CreateDirectory(u"keep\\a new folder with a long name"); },
         {},
         [](FatVolume& v, const Baseline&, uint32_t) -> std::string {
             FatEntryInfo info;
             if (v.GetInfo(u"keep\\a new folder with a long name", info) == FatResult::Ok &&
                 !ListFolder(v, u"keep\\a new folder with a long name").empty())
                 return "new folder is not empty";
             return {};
         }},
        {"rename across folders",
         [](FatVolume& v, uint32_t) { v.Rename(u"keep\\Long name b.data", u"mover\\renamed b.data"); },
         {u"keep\\Long name b.data"},
         [](FatVolume& v, const Baseline& b, uint32_t) -> std::string {
             auto before = TryRead(v, u"keep\\Long name b.data");
             auto after = TryRead(v, u"mover\\renamed b.data");
             const auto& old = b.files.at(u"keep\\Long name b.data");
             if ((!before || *before != old) && (!after || *after != old))
                 return "renamed file lost";
             return {};
         },
         true},
        {"move folder",
         [](FatVolume& v, uint32_t) { v.Rename(u"mover", u"keep\\mover moved"); },
         {u"mover\\inner.txt"},
         [](FatVolume& v, const Baseline& b, uint32_t) -> std::string {
             auto before = TryRead(v, u"mover\\inner.txt");
             auto after = TryRead(v, u"keep\\mover moved\\inner.txt");
             const auto& old = b.files.at(u"mover\\inner.txt");
             if ((!before || *before != old) && (!after || *after != old))
                 return "moved folder lost";
             return {};
         },
         true},
        {"delete",
         [](FatVolume& v, uint32_t) { v.Delete(u"to be deleted.txt"); },
         {u"to be deleted.txt"},
         [](FatVolume& v, const Baseline& b, uint32_t) -> std::string {
             FatEntryInfo info;
             if (v.GetInfo(u"to be deleted.txt", info) != FatResult::Ok)
                 return {};
             auto content = TryRead(v, u"to be deleted.txt");
             return content && *content == b.files.at(u"to be deleted.txt") ? std::string()
                                                                            : "half-deleted file";
         }},
        {"truncate",
         [](FatVolume& v, uint32_t c) {
             FatFile file;
             if (v.Open(u"shrink.bin", FatAccess::Write, FatDisposition::OpenExisting, 0, file) !=
                 FatResult::Ok)
                 return;
             v.Seek(file, c + c / 2);
             v.SetEndOfFile(file);
             v.Close(file);
         },
         {u"shrink.bin"},
         [](FatVolume& v, const Baseline& b, uint32_t c) -> std::string {
             auto content = TryRead(v, u"shrink.bin");
             const auto& old = b.files.at(u"shrink.bin");
             if (!content || (content->size() != old.size() && content->size() != c + c / 2) ||
                 !StartsWith(old, *content, content->size()))
                 return "shrink.bin damaged";
             return {};
         }},
    };

    for (const CutCase& c : cases) {
        // The writes the operation makes when nothing stops it.
        Restore();
        uint64_t writes = 0;
        {
            HostFileDevice disk(m_image);
            FatVolume volume(m_clock.AsClock());
            ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
            c.run(volume, m_cluster);
            writes = disk.writeRequests;
            volume.Unmount();
            Keep(disk);
        }
        ASSERT_GT(writes, 0u) << c.name;
        for (uint64_t budget = 0; budget < writes; ++budget) {
            SCOPED_TRACE(std::string(c.name) + " cut after " + std::to_string(budget) + " of " +
                         std::to_string(writes));
            Restore();
            {
                HostFileDevice disk(m_image);
                FatVolume volume(m_clock.AsClock());
                ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
                disk.SetWriteBudget(static_cast<int64_t>(budget));
                c.run(volume, m_cluster);
                volume.Unmount();
                Keep(disk);
            }
            HostFileDevice disk(m_image);
            FatVolume volume(m_clock.AsClock());
            ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
            for (const auto& [path, content] : m_baseline.files) {
                if (std::find(c.touched.begin(), c.touched.end(), path) != c.touched.end())
                    continue;
                auto read = TryRead(volume, path);
                EXPECT_TRUE(read && *read == content) << U8(path);
            }
            EXPECT_EQ(c.check(volume, m_baseline, m_cluster), "");
            volume.Unmount();
            Keep(disk);
            ToolResult fsck = CheckVolume(m_image, m_where);
            EXPECT_TRUE(fsck.exitCode == 0 || (c.mayDuplicate && FsckFoundOnlyLeaks(fsck.output, true)))
                << fsck.output;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Types, FatPowerCut, ::testing::Values(1 * kMiB, 32 * kMiB),
                         [](const auto& info) { return std::to_string(info.param / kMiB) + "MiB"; });

} // namespace
} // namespace fat::test
