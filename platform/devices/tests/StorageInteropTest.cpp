// The storage stack against the real tools, through the container's encryption: a container written
// through the mounted folder, decrypted to a plain image, passes fsck.fat and shows mtools exactly the
// files written; an image that mkfs.fat made and mcopy filled, encrypted into a container, mounts with
// every file intact and stays clean when written through the folder.

#include <fstream>
#include <set>
#include <sstream>

#include "ApiModel.h"
#include "StorageTestSupport.h"
#include "ToolSupport.h"

namespace storagetest {
namespace {

namespace fs = std::filesystem;
using fat::test::CheckVolume;
using fat::test::MtoolsEnv;
using fat::test::MtoolsImage;
using fat::test::PatternBytes;
using fat::test::Quote;
using fat::test::RunTool;
using fat::test::TempDir;
using fat::test::ToolResult;
using fat::test::U16;
using fat::test::U8;

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * 1024;
constexpr char16_t kPath[] = u"\\My Documents\\tools.fvc";
constexpr char16_t kPassword[] = u"interop";

std::vector<uint8_t> ReadHost(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every path of the model ("dir/", "dir/file") in UTF-8, as mdir -/ -b lists them.
void ModelPaths(const ApiNode& node, const std::string& prefix, std::set<std::string>& out) {
    for (const auto& [key, child] : node.children) {
        const std::string path = prefix + U8(child.name);
        out.insert(child.folder ? path + "/" : path);
        if (child.folder)
            ModelPaths(child, path + "/", out);
    }
}

void ExpectHostTreeMatches(const ApiNode& node, const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    std::set<std::string> expected;
    for (const auto& [key, child] : node.children)
        expected.insert(U8(child.name));
    EXPECT_EQ(names, expected) << folder;
    for (const auto& [key, child] : node.children) {
        const fs::path path = folder / U8(child.name);
        if (child.folder)
            ExpectHostTreeMatches(child, path);
        else
            EXPECT_EQ(ReadHost(path), child.content) << path;
    }
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
    ToolResult listing = RunTool(MtoolsEnv() + "mdir -/ -b -a -i " + volume + " ::");
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    std::set<std::string> listed;
    std::istringstream lines(listing.output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("::/", 0) == 0)
            listed.insert(line.substr(3));
    std::set<std::string> expected;
    ModelPaths(workload.Root(), "", expected);
    EXPECT_EQ(listed, expected);

    const fs::path out = dir / "out";
    fs::create_directories(out);
    if (!workload.Root().children.empty()) {
        ToolResult copy = RunTool(MtoolsEnv() + "mcopy -s -n -i " + volume + " '::/*' " + Quote(out));
        ASSERT_EQ(copy.exitCode, 0) << copy.output;
    }
    ExpectHostTreeMatches(workload.Root(), out);
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
    // A partition sector as partitioning tools write it, with the jump that the password check needs,
    // and a partition that leaves the last sector (the trailer's) alone.
    const uint32_t diskSectors = static_cast<uint32_t>(c.bytes / fat::kSectorSize);
    const fat::VolumeLocation where{c.firstSector, (diskSectors - 1 - c.firstSector) & ~1u};
    std::vector<uint8_t> mbr(fat::kSectorSize, 0);
    mbr[0] = 0xE9;
    mbr[1] = 0xFD;
    mbr[2] = 0xFF;
    mbr[446 + 4] = c.bytes < 32 * kMiB ? 0x01 : 0x0E;
    for (int i = 0; i < 4; ++i) {
        mbr[446 + 8 + i] = static_cast<uint8_t>(where.firstSector >> (8 * i));
        mbr[446 + 12 + i] = static_cast<uint8_t>(where.sectorCount >> (8 * i));
    }
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    fat::test::WriteBytes(image, 0, mbr);
    ToolResult made = RunTool("/usr/sbin/mkfs.fat " + std::string(c.options) + " --offset=" +
                              std::to_string(where.firstSector) + " -h " + std::to_string(where.firstSector) +
                              " " + Quote(image) + " " + std::to_string(where.sectorCount / 2));
    ASSERT_EQ(made.exitCode, 0) << made.output;

    const fs::path source = dir / "source";
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
    for (const auto& [path, content] : files) {
        std::ofstream out(source / path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(content.data()),
                  static_cast<std::streamsize>(content.size()));
    }
    const std::string volume = MtoolsImage(image, where);
    ToolResult copy =
        RunTool("cd " + Quote(source) + " && " + MtoolsEnv() + "mcopy -s -i " + volume + " * ::/");
    ASSERT_EQ(copy.exitCode, 0) << copy.output;

    EncryptImage(image, kPassword, u"From Tools", Host(kPath));
    Activation opened = Open(kPath, kPassword, u"From Tools");
    ASSERT_EQ(opened.folder, u"\\From Tools");
    for (const auto& [path, content] : files) {
        std::u16string devicePath = opened.folder + u"\\" + U16(path);
        std::replace(devicePath.begin(), devicePath.end(), u'/', u'\\');
        EXPECT_EQ(ReadFileBytes(devicePath), content) << path;
    }
    std::vector<std::u16string> root = Names(opened.folder + u"\\*");
    EXPECT_EQ(std::set<std::u16string>(root.begin(), root.end()),
              (std::set<std::u16string>{u"README.TXT", u"lower.txt", u"A long file name.text", u"Sub Folder",
                                        u"EMPTY", u"big.bin"}));
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
    EXPECT_EQ(ReadHost(out / "written here.dat"), PatternBytes(10000, 7));
    EXPECT_EQ(ReadHost(out / "big moved.bin"), files["big.bin"]);
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
    std::vector<uint8_t> mbr(fat::kSectorSize, 0);
    mbr[0] = 0xE9;
    mbr[1] = 0xFD;
    mbr[2] = 0xFF;
    mbr[446 + 4] = 0x01;
    mbr[446 + 8] = 1;                                   // from sector 1
    mbr[446 + 12] = static_cast<uint8_t>(kSectors - 1); // to the disk's last sector
    mbr[446 + 13] = static_cast<uint8_t>((kSectors - 1) >> 8);
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    fat::test::WriteBytes(image, 0, mbr);
    const fat::VolumeLocation where{1, kSectors - 1};
    ToolResult made = RunTool("/usr/sbin/mkfs.fat -F 12 --offset=1 -h 1 " + Quote(image) + " " +
                              std::to_string((kSectors - 2) / 2));
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
