// The storage stack against the real tools, through the container's encryption: a container written
// through the mounted folder, decrypted to a plain image, passes fsck.fat and shows mtools exactly the
// files written; an image that mkfs.fat made and mcopy filled, encrypted into a container, mounts with
// every file intact and stays clean when written through the folder.

#include <fstream>
#include <set>
#include <sstream>

#include "ApiModel.h"
#include "StorageTestSupport.h"

namespace storagetest {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * 1024;
constexpr char16_t kPath[] = u"\\My Documents\\tools.fvc";
constexpr char16_t kPassword[] = u"interop";

// A partition sector as partitioning tools write it, with the jump that the password check needs.
std::vector<uint8_t> PartitionSectorWithJump(fat::VolumeLocation where, uint8_t type) {
    std::vector<uint8_t> sector = fat::test::PartitionSector(where, type);
    sector[0] = 0xE9;
    sector[1] = 0xFD;
    sector[2] = 0xFF;
    return sector;
}

class ContainersForTools : public StorageTest, public ::testing::WithParamInterface<uint64_t> {};

TEST_P(ContainersForTools, AfterRandomWorkDecryptToAnImageThatFsckAndMtoolsAccept) {
    ASSERT_NO_FATAL_FAILURE(
        CreateContainer(kPath, kPassword, u"Encrypted", static_cast<uint32_t>(GetParam())));
    const DataKey key = KeyOf(kPassword);
    const VolumeGeometry geometry = GeometryOf(Host(kPath), key);
    Activation opened = Open(kPath, kPassword);
    ApiWorkload workload(opened.folder, static_cast<uint32_t>(GetParam() / kKiB), geometry.bytesPerCluster);
    std::string failure;
    for (int step = 0; step < 300; ++step)
        ASSERT_TRUE(workload.Step(failure)) << "step " << step << ": " << failure;
    ASSERT_TRUE(Deactivate(opened));

    TempDir dir;
    const fs::path image = dir / "plain.img";
    DecryptContainer(Host(kPath), key, image);
    ToolResult fsck = CheckVolume(image, geometry.location);
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;

    const std::string volume = MtoolsImage(image, geometry.location);
    std::set<std::string> listed;
    ToolResult listing = fat::test::ListWithMdir(volume, listed);
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    EXPECT_EQ(listed, fat::test::ModelPaths(workload.Root()));

    const fs::path out = dir / "out";
    fs::create_directories(out);
    if (!workload.Root().children.empty()) {
        ToolResult copy = RunTool(MtoolsEnv() + "mcopy -s -n -i " + volume + " '::/*' " + Quote(out));
        ASSERT_EQ(copy.exitCode, 0) << copy.output;
    }
    fat::test::ExpectHostTreeMatches(workload.Root(), out);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ContainersForTools,
                         ::testing::Values(100 * kKiB, 1 * kMiB, 32 * kMiB, 415 * kMiB),
                         [](const auto& info) { return std::to_string(info.param / kKiB) + "KiB"; });

struct ToolCase {
    const char* name;
    uint64_t bytes;
    uint32_t firstSector;
    const char* options; // for mkfs.fat
};

class ImagesFromTools : public StorageTest, public ::testing::WithParamInterface<ToolCase> {};

TEST_P(ImagesFromTools, EncryptedIntoAContainerMountWithEveryFileIntact) {
    const ToolCase& c = GetParam();
    TempDir dir;
    const fs::path image = dir / "disk.img";
    fat::test::CreateSparseFile(image, c.bytes);
    // A partition that leaves the last sector (the trailer's) alone.
    const uint32_t diskSectors = static_cast<uint32_t>(c.bytes / fat::kSectorSize);
    const fat::VolumeLocation where{c.firstSector, (diskSectors - 1 - c.firstSector) & ~1u};
    fat::test::WriteBytes(image, 0, PartitionSectorWithJump(where, c.bytes < 32 * kMiB ? 0x01 : 0x0E));
    ToolResult made = fat::test::RunMkfs(image, where, c.options);
    ASSERT_EQ(made.exitCode, 0) << made.output;

    const fat::test::SampleTree tree = fat::test::MakeSampleTree(c.bytes);
    const std::string volume = MtoolsImage(image, where);
    ToolResult copy = fat::test::CopySampleTree(tree, dir / "source", volume);
    ASSERT_EQ(copy.exitCode, 0) << copy.output;

    EncryptImage(image, kPassword, u"From Tools", Host(kPath));
    Activation opened = Open(kPath, kPassword, u"From Tools");
    ASSERT_EQ(opened.folder, u"\\From Tools");
    for (const auto& [path, content] : tree.files) {
        std::u16string devicePath = opened.folder + u"\\" + U16(path);
        std::replace(devicePath.begin(), devicePath.end(), u'/', u'\\');
        EXPECT_EQ(ReadFileBytes(devicePath), content) << path;
    }
    std::vector<std::u16string> root = Names(opened.folder + u"\\*");
    EXPECT_EQ(std::set<std::u16string>(root.begin(), root.end()), tree.rootNames);
    EXPECT_TRUE(Names(opened.folder + u"\\EMPTY\\*").empty());

    // Written through the folder, the volume stays clean for the tools.
    ASSERT_TRUE(WriteFileBytes(opened.folder + u"\\Sub Folder\\written here.dat", PatternBytes(10000, 7)));
    ASSERT_TRUE(CreateDirectoryW((opened.folder + u"\\EMPTY\\New Folder").c_str(), nullptr));
    ASSERT_TRUE(DeleteFileW((opened.folder + u"\\lower.txt").c_str()));
    ASSERT_TRUE(MoveFileW((opened.folder + u"\\big.bin").c_str(),
                          (opened.folder + u"\\Sub Folder\\big moved.bin").c_str()));
    ASSERT_TRUE(Deactivate(opened));

    const fs::path back = dir / "back.img";
    DecryptContainer(Host(kPath), KeyOf(kPassword), back);
    ToolResult fsck = CheckVolume(back, where);
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    const fs::path out = dir / "out";
    fs::create_directories(out);
    ToolResult extracted =
        RunTool(MtoolsEnv() + "mcopy -n -i " + MtoolsImage(back, where) +
                " '::/Sub Folder/written here.dat' '::/Sub Folder/big moved.bin' " + Quote(out));
    ASSERT_EQ(extracted.exitCode, 0) << extracted.output;
    EXPECT_EQ(ReadHostFile(out / "written here.dat"), PatternBytes(10000, 7));
    EXPECT_EQ(ReadHostFile(out / "big moved.bin"), tree.files.at("big.bin"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ImagesFromTools,
                         ::testing::Values(ToolCase{"Fat12_100KiB", 100 * kKiB, 1, "-F 12"},
                                           ToolCase{"Fat12_1MiB", 1 * kMiB, 63, "-F 12"},
                                           ToolCase{"Fat16_32MiB", 32 * kMiB, 2048, "-F 16"},
                                           ToolCase{"Fat16_415MiB", 415 * kMiB, 2048, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

using TrailerSector = StorageTest;

TEST_F(TrailerSector, AVolumeOfAnotherOriginThatReachesItIsMountedReadOnly) {
    TempDir dir;
    const fs::path image = dir / "disk.img";
    constexpr uint32_t kSectors = 2048;
    fat::test::CreateSparseFile(image, uint64_t{kSectors} * fat::kSectorSize);
    const fat::VolumeLocation where{1, kSectors - 1}; // from sector 1 to the disk's last sector
    fat::test::WriteBytes(image, 0, PartitionSectorWithJump(where, 0x01));
    ToolResult made = fat::test::RunMkfs(image, where, "-F 12");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    std::ofstream(dir / "kept.txt", std::ios::binary) << "read me";
    ToolResult copy = RunTool(MtoolsEnv() + "mcopy -i " + MtoolsImage(image, where) + " " +
                              Quote(dir / "kept.txt") + " ::/kept.txt");
    ASSERT_EQ(copy.exitCode, 0) << copy.output;
    EncryptImage(image, kPassword, u"Encrypted", Host(kPath));
    const std::vector<uint8_t> trailer =
        fat::test::ReadBytes(Host(kPath), uint64_t{kSectors} * fat::kSectorSize - kTrailerSize, kTrailerSize);

    Activation opened = Open(kPath, kPassword);
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\kept.txt"),
              (std::vector<uint8_t>{'r', 'e', 'a', 'd', ' ', 'm', 'e'}));
    EXPECT_FALSE(WriteFileBytes(u"\\Encrypted\\new.txt", PatternBytes(100, 1)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
    EXPECT_FALSE(DeleteFileW(u"\\Encrypted\\kept.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
    ASSERT_TRUE(Deactivate(opened));
    EXPECT_EQ(
        fat::test::ReadBytes(Host(kPath), uint64_t{kSectors} * fat::kSectorSize - kTrailerSize, kTrailerSize),
        trailer);
}

} // namespace
} // namespace storagetest
