// Interoperation with the real tools: volumes the engine made and changed pass fsck.fat and show mtools
// exactly the files written; volumes mkfs.fat made and mcopy filled mount in the engine with every file
// intact, and stay clean when the engine writes to them.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "Model.h"
#include "ModelTree.h"
#include "TestSupport.h"

namespace fat::test {
namespace {

namespace fs = std::filesystem;
constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * 1024;

class FatEngineVolumes : public ::testing::TestWithParam<uint64_t> {};

TEST_P(FatEngineVolumes, AfterRandomWorkPassFsckAndShowMtoolsExactlyTheFilesWritten) {
    TestClock clock;
    MountedImage image(GetParam(), clock);
    FatVolumeInfo info;
    ASSERT_EQ(image.Volume().GetVolumeInfo(info), FatResult::Ok);
    Workload workload(image.Volume(), 77, info.bytesPerCluster, info.totalClusters);
    std::string failure;
    for (int step = 0; step < 400; ++step)
        ASSERT_TRUE(workload.Step(failure)) << failure;
    image.Unmount();

    ToolResult fsck = CheckVolume(image.Image(), image.Where());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;

    std::string volume = MtoolsImage(image.Image(), image.Where());
    std::set<std::string> listed;
    ToolResult listing = ListWithMdir(volume, listed);
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    EXPECT_EQ(listed, ModelPaths(workload.Root()));

    TempDir out;
    if (!workload.Root().children.empty()) {
        ToolResult copy = RunTool(MtoolsEnv() + "mcopy -s -n -i " + volume + " '::/*' " + Quote(out.Path()));
        ASSERT_EQ(copy.exitCode, 0) << copy.output;
    }
    ExpectHostTreeMatches(workload.Root(), out.Path());
}

INSTANTIATE_TEST_SUITE_P(Sizes, FatEngineVolumes,
                         ::testing::Values(100 * kKiB, 1 * kMiB, 32 * kMiB, 415 * kMiB),
                         [](const auto& info) { return std::to_string(info.param / kKiB) + "KiB"; });

struct MkfsCase {
    const char* name;
    uint64_t bytes;
    uint32_t firstSector; // 0: no partition table
    const char* options;  // for mkfs.fat
    FatType type;
};

class FatMkfsVolumes : public ::testing::TestWithParam<MkfsCase> {};

TEST_P(FatMkfsVolumes, FilledByMcopyMountWithEveryFileIntact) {
    const MkfsCase& c = GetParam();
    TempDir dir;
    fs::path image = dir / "disk.img";
    CreateSparseFile(image, c.bytes);
    uint32_t diskSectors = static_cast<uint32_t>(c.bytes / kSectorSize);
    VolumeLocation where{0, diskSectors};
    if (c.firstSector != 0) {
        // A master boot record as partitioning tools write it: one FAT16 (LBA) entry, 1 KiB granules.
        where = VolumeLocation{c.firstSector, (diskSectors - c.firstSector) & ~1u};
        WriteBytes(image, 0, PartitionSector(where, 0x0E));
    }
    ToolResult made = RunMkfs(image, where, c.options);
    ASSERT_EQ(made.exitCode, 0) << made.output;

    const SampleTree tree = MakeSampleTree(c.bytes);
    std::string volumeArg = MtoolsImage(image, where);
    ToolResult copy = CopySampleTree(tree, dir / "source", volumeArg);
    ASSERT_EQ(copy.exitCode, 0) << copy.output;

    TestClock clock;
    {
        HostFileDevice disk(image);
        FatVolume volume(clock.AsClock());
        ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
        FatVolumeInfo info;
        ASSERT_EQ(volume.GetVolumeInfo(info), FatResult::Ok);
        EXPECT_EQ(info.type, c.type);
        EXPECT_EQ(info.location.firstSector, where.firstSector);
        for (const auto& [path, content] : tree.files) {
            std::u16string enginePath = U16(path);
            std::replace(enginePath.begin(), enginePath.end(), u'/', u'\\');
            std::vector<uint8_t> read;
            ASSERT_EQ(ReadWholeFile(volume, enginePath, read), FatResult::Ok) << path;
            EXPECT_EQ(read, content) << path;
        }
        std::set<std::u16string> root;
        for (const FatEntryInfo& entry : ListFolder(volume, u""))
            root.insert(entry.name);
        EXPECT_EQ(root, tree.rootNames);
        EXPECT_TRUE(ListFolder(volume, u"EMPTY").empty());

        // And the engine's changes keep the volume clean for the tools.
        ASSERT_EQ(WriteWholeFile(volume, u"Sub Folder\\written by engine.dat", PatternBytes(10000, 7)),
                  FatResult::Ok);
        ASSERT_EQ(volume.CreateDirectory(u"EMPTY\\New Folder"), FatResult::Ok);
        ASSERT_EQ(volume.Delete(u"lower.txt"), FatResult::Ok);
        ASSERT_EQ(volume.Rename(u"big.bin", u"Sub Folder\\deeper\\big moved.bin"), FatResult::Ok);
        ASSERT_EQ(volume.Unmount(), FatResult::Ok);
    }
    ToolResult fsck = CheckVolume(image, where);
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    fs::path out = dir / "out";
    fs::create_directories(out);
    ToolResult back = RunTool(MtoolsEnv() + "mcopy -n -i " + volumeArg +
                              " '::/Sub Folder/written by engine.dat' '::/Sub "
                              "Folder/deeper/big moved.bin' " +
                              Quote(out));
    ASSERT_EQ(back.exitCode, 0) << back.output;
    EXPECT_EQ(ReadHostFile(out / "written by engine.dat"), PatternBytes(10000, 7));
    EXPECT_EQ(ReadHostFile(out / "big moved.bin"), tree.files.at("big.bin"));
}

INSTANTIATE_TEST_SUITE_P(
    Tools, FatMkfsVolumes,
    ::testing::Values(MkfsCase{"Whole100KiB", 100 * kKiB, 0, "", FatType::Fat12},
                      MkfsCase{"Partitioned1MiB", 1 * kMiB, 63, "-F 12", FatType::Fat12},
                      MkfsCase{"Partitioned32MiB", 32 * kMiB, 2048, "-F 16", FatType::Fat16},
                      MkfsCase{"Partitioned64MiBFat32", 64 * kMiB, 2048, "-F 32", FatType::Fat32},
                      MkfsCase{"Whole128MiBFat32", 128 * kMiB, 0, "-F 32 -s 2", FatType::Fat32},
                      MkfsCase{"Partitioned415MiB", 415 * kMiB, 2048, "", FatType::Fat16}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace fat::test
