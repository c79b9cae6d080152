// Interoperation with the real tools: volumes the engine made and changed pass fsck.fat and show mtools
// exactly the files written; volumes mkfs.fat made and mcopy filled mount in the engine with every file
// intact, and stay clean when the engine writes to them.

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "Model.h"
#include "TestSupport.h"

namespace fat::test {
namespace {

namespace fs = std::filesystem;
constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * 1024;

std::vector<uint8_t> ReadHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHostFile(const fs::path& path, const std::vector<uint8_t>& content) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

// Every path of the model's tree ("dir/", "dir/file") in UTF-8, as mdir -/ -b lists them.
void ModelPaths(const ModelNode& node, const std::string& prefix, std::set<std::string>& out) {
    for (const auto& [key, child] : node.children) {
        std::string path = prefix + U8(child.name);
        out.insert(child.folder ? path + "/" : path);
        if (child.folder)
            ModelPaths(child, path + "/", out);
    }
}

// Compares a host folder that mcopy filled with the model.
void ExpectHostTreeMatches(const ModelNode& node, const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    std::set<std::string> expected;
    for (const auto& [key, child] : node.children)
        expected.insert(U8(child.name));
    EXPECT_EQ(names, expected) << folder;
    for (const auto& [key, child] : node.children) {
        fs::path path = folder / U8(child.name);
        if (child.folder) {
            ExpectHostTreeMatches(child, path);
        } else {
            EXPECT_EQ(ReadHostFile(path), child.content) << path;
        }
    }
}

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

    std::string mtools = MtoolsEnv();
    std::string volume = MtoolsImage(image.Image(), image.Where());
    ToolResult listing = RunTool(mtools + "mdir -/ -b -i " + volume + " ::");
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    std::set<std::string> listed;
    std::istringstream lines(listing.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("::/", 0) == 0)
            listed.insert(line.substr(3));
    }
    std::set<std::string> expected;
    ModelPaths(workload.Root(), "", expected);
    EXPECT_EQ(listed, expected);

    TempDir out;
    if (!workload.Root().children.empty()) {
        ToolResult copy = RunTool(mtools + "mcopy -s -n -i " + volume + " '::/*' " + Quote(out.Path()));
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
        std::vector<uint8_t> mbr(kSectorSize, 0);
        mbr[446 + 4] = 0x0E;
        for (int i = 0; i < 4; ++i) {
            mbr[446 + 8 + i] = static_cast<uint8_t>(where.firstSector >> (8 * i));
            mbr[446 + 12 + i] = static_cast<uint8_t>(where.sectorCount >> (8 * i));
        }
        mbr[510] = 0x55;
        mbr[511] = 0xAA;
        WriteBytes(image, 0, mbr);
    }
    std::string offset = c.firstSector != 0 ? " --offset=" + std::to_string(where.firstSector) + " -h " +
                                                  std::to_string(where.firstSector)
                                            : "";
    ToolResult made = RunTool("/usr/sbin/mkfs.fat " + std::string(c.options) + offset + " " + Quote(image) +
                              " " + std::to_string(where.sectorCount / 2));
    ASSERT_EQ(made.exitCode, 0) << made.output;

    // A host tree with short, lower-case, long and non-ASCII names, nested, empty, of sizes around the
    // sector and cluster boundaries.
    fs::path source = dir / "source";
    fs::create_directories(source / "Sub Folder" / "deeper");
    fs::create_directories(source / "EMPTY");
    std::map<std::string, std::vector<uint8_t>> files = {
        {"README.TXT", PatternBytes(1, 1)},
        {"lower.txt", PatternBytes(511, 2)},
        {"A long file name.text", PatternBytes(512, 3)},
        {"Sub Folder/Ünïcødé é.bin", PatternBytes(513, 4)},
        {"Sub Folder/deeper/cluster.dat", PatternBytes(4096, 5)},
        {"Sub Folder/deeper/empty", {}},
        {"big.bin", PatternBytes(c.bytes < 1 * kMiB ? 20000 : 300000, 6)},
    };
    for (const auto& [path, content] : files)
        WriteHostFile(source / path, content);
    std::string mtools = MtoolsEnv();
    std::string volumeArg = MtoolsImage(image, where);
    ToolResult copy =
        RunTool("cd " + Quote(source) + " && " + mtools + "mcopy -s -i " + volumeArg + " * ::/");
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
        for (const auto& [path, content] : files) {
            std::u16string enginePath = U16(path);
            std::replace(enginePath.begin(), enginePath.end(), u'/', u'\\');
            std::vector<uint8_t> read;
            ASSERT_EQ(ReadWholeFile(volume, enginePath, read), FatResult::Ok) << path;
            EXPECT_EQ(read, content) << path;
        }
        std::set<std::u16string> root;
        for (const FatEntryInfo& entry : ListFolder(volume, u""))
            root.insert(entry.name);
        EXPECT_EQ(root, (std::set<std::u16string>{u"README.TXT", u"lower.txt", u"A long file name.text",
                                                  u"Sub Folder", u"EMPTY", u"big.bin"}));
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
    ToolResult back = RunTool(mtools + "mcopy -n -i " + volumeArg +
                              " '::/Sub Folder/written by engine.dat' '::/Sub "
                              "Folder/deeper/big moved.bin' " +
                              Quote(out));
    ASSERT_EQ(back.exitCode, 0) << back.output;
    EXPECT_EQ(ReadHostFile(out / "written by engine.dat"), PatternBytes(10000, 7));
    EXPECT_EQ(ReadHostFile(out / "big moved.bin"), files["big.bin"]);
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
