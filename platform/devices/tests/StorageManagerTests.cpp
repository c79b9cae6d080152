// The storage manager through the real driver: the three steps of creating a container, the files and
// folders of its mounted folder, the mount folder's name, the profile's switches, the platform's error
// codes, times, free space, a full volume, and handles that outlive their volume.

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "StorageTestSupport.h"
#include "kernel/Kernel.h"

namespace storagetest {
namespace {

constexpr char16_t kPath[] = u"\\My Documents\\secret.fvc";
constexpr char16_t kPassword[] = u"correct horse";
constexpr uint32_t kMiB = 1024 * 1024;

// The folder name that the trailer of a container holds, read the way the main program reads it.
std::u16string TrailerFolder(const std::u16string& path, const std::u16string& password) {
    const std::filesystem::path host = Host(path);
    const uint64_t size = std::filesystem::file_size(host);
    std::vector<uint8_t> text = ReadPlain(host, KeyOf(password), size - kTrailerSize, kNameBlockSize);
    std::u16string folder;
    for (uint8_t byte : text) {
        if (byte == 0)
            break;
        folder.push_back(byte);
    }
    return folder;
}

using ContainerRoad = StorageTest;

TEST_F(ContainerRoad, CreatedFilesAndFoldersHoldAfterDeactivationTrailerAndReopen) {
    // 1. Created: the storage manager partitions, formats and mounts the new disk.
    Activation created = Activate(kPath, kPassword, u"My Vault", 4 * kMiB);
    ASSERT_NE(created.device, nullptr);
    ASSERT_EQ(created.status, MOUNT_OK);
    ASSERT_EQ(created.folder, u"\\My Vault");
    EXPECT_EQ(GetFileAttributesW(u"\\My Vault"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY));
    const uint32_t cluster = GeometryOf(Host(kPath), KeyOf(kPassword)).bytesPerCluster;
    ASSERT_GT(cluster, 0u);

    const std::map<std::u16string, std::vector<uint8_t>> files = {
        {u"empty.txt", {}},
        {u"README.TXT", PatternBytes(100, 1)},
        {u"lower.txt", PatternBytes(511, 2)},
        {u"A long file name with spaces.data", PatternBytes(5 * cluster + 123, 3)},
        {u"exactly one cluster", PatternBytes(cluster, 4)},
        {u"Docs\\Nested\\Deep\\file.bin", PatternBytes(3 * cluster, 5)},
        {u"Docs\\Ünïcødé é.txt", PatternBytes(10, 6)},
    };
    const std::u16string root = created.folder + u"\\";
    ASSERT_TRUE(CreateDirectoryW((root + u"Docs").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + u"Docs\\Nested").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + u"docs\\nested\\Deep").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + u"Empty Folder").c_str(), nullptr));
    for (const auto& [name, content] : files)
        ASSERT_TRUE(WriteFileBytes(root + name, content, 1000)) << GetLastError();
    ASSERT_TRUE(Deactivate(created));
    // The container file holds the files' bytes encrypted only.
    const std::vector<uint8_t>& readme = files.at(u"README.TXT");
    const std::vector<uint8_t> stored = fat::test::ReadBytes(Host(kPath), 0, 4 * kMiB);
    EXPECT_EQ(std::search(stored.begin(), stored.end(), readme.begin(), readme.end()), stored.end());
    fat::test::TempDir dir;
    DecryptContainer(Host(kPath), KeyOf(kPassword), dir / "plain.img");
    const std::vector<uint8_t> plain = fat::test::ReadBytes(dir / "plain.img", 0, 4 * kMiB);
    EXPECT_NE(std::search(plain.begin(), plain.end(), readme.begin(), readme.end()), plain.end());

    // 2. The trailer, then the wrong password.
    WriteNewTrailer(Host(kPath), kPassword, u"My Vault");
    Activation refused = Activate(kPath, u"wrong", u"My Vault", 0);
    EXPECT_EQ(refused.device, nullptr);
    EXPECT_EQ(refused.status, MOUNT_BAD_PASSWORD);
    EXPECT_EQ(GetFileAttributesW(u"\\My Vault"), INVALID_FILE_ATTRIBUTES);

    // 3. Opened with the password under the trailer's folder: everything is there.
    const std::u16string folder = TrailerFolder(kPath, kPassword);
    ASSERT_EQ(folder, u"My Vault");
    Activation opened = Open(kPath, kPassword, folder);
    ASSERT_EQ(opened.folder, u"\\My Vault");
    auto verify = [&](const std::map<std::u16string, std::vector<uint8_t>>& expected) {
        for (const auto& [name, content] : expected) {
            std::optional<std::vector<uint8_t>> read = ReadFileBytes(root + name);
            ASSERT_TRUE(read) << fat::test::U8(name);
            EXPECT_EQ(*read, content) << fat::test::U8(name);
        }
    };
    verify(files);
    // Listed in the order of names without regard to case.
    EXPECT_EQ(Names(root + u"*"), (std::vector<std::u16string>{
                                      u"A long file name with spaces.data", u"Docs", u"Empty Folder",
                                      u"empty.txt", u"exactly one cluster", u"lower.txt", u"README.TXT"}));
    EXPECT_EQ(Names(root + u"docs\\*.TXT"), std::vector<std::u16string>{u"Ünïcødé é.txt"});
    DWORD error = 0;
    EXPECT_TRUE(Find(root + u"Empty Folder\\*", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
    std::vector<WIN32_FIND_DATAW> one = Find(root + u"exactly one cluster");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].nFileSizeLow, cluster);
    EXPECT_EQ(one[0].dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));

    // Renamed, moved and deleted, and that holds too.
    std::map<std::u16string, std::vector<uint8_t>> changed = files;
    ASSERT_TRUE(MoveFileW((root + u"README.TXT").c_str(), (root + u"Docs\\Nested\\Read me now.txt").c_str()));
    changed[u"Docs\\Nested\\Read me now.txt"] = changed.extract(u"README.TXT").mapped();
    ASSERT_TRUE(MoveFileW((root + u"Docs\\Nested").c_str(), (root + u"Empty Folder\\Nested moved").c_str()));
    changed[u"Empty Folder\\Nested moved\\Deep\\file.bin"] =
        changed.extract(u"Docs\\Nested\\Deep\\file.bin").mapped();
    changed[u"Empty Folder\\Nested moved\\Read me now.txt"] =
        changed.extract(u"Docs\\Nested\\Read me now.txt").mapped();
    ASSERT_TRUE(MoveFileW((root + u"lower.txt").c_str(), (root + u"LOWER.TXT").c_str()));
    changed[u"LOWER.TXT"] = changed.extract(u"lower.txt").mapped();
    ASSERT_TRUE(DeleteFileW((root + u"A long file name with spaces.data").c_str()));
    changed.erase(u"A long file name with spaces.data");
    ASSERT_TRUE(Deactivate(opened));

    Activation again = Open(kPath, kPassword, folder);
    verify(changed);
    EXPECT_EQ(ReadFileBytes(root + u"A long file name with spaces.data"), std::nullopt);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Names(root + u"lower.txt"), std::vector<std::u16string>{u"LOWER.TXT"});
    EXPECT_TRUE(Names(root + u"Docs\\Nested").empty());
    EXPECT_TRUE(Deactivate(again));
}

TEST_F(ContainerRoad, ANewContainerIsPartitionedSoThatItsTrailerStaysOutsideTheVolume) {
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, kPassword, u"Encrypted", 1 * kMiB));
    const DataKey key = KeyOf(kPassword);
    std::vector<uint8_t> mbr = ReadPlain(Host(kPath), key, 0, 512);
    EXPECT_EQ(mbr[0], 0xE9);
    EXPECT_EQ(mbr[1], 0xFD);
    EXPECT_EQ(mbr[2], 0xFF);
    EXPECT_EQ(mbr[510], 0x55);
    EXPECT_EQ(mbr[511], 0xAA);
    const VolumeGeometry geometry = GeometryOf(Host(kPath), key);
    EXPECT_GT(geometry.location.firstSector, 0u);
    EXPECT_LT(geometry.location.firstSector + geometry.location.sectorCount, 1 * kMiB / 512);
}

using TinyDisks = StorageTest;

TEST_F(TinyDisks, TooSmallForAVolumeAreActivatedButLeftUnmounted) {
    const std::pair<uint32_t, bool> cases[] = {
        {1, false}, {512, false}, {16 * 1024, false}, {64 * 1024, true}};
    for (const auto& [size, mounted] : cases) {
        Activation created = Activate(kPath, kPassword, u"Encrypted", size);
        ASSERT_NE(created.device, nullptr) << size;
        EXPECT_EQ(created.status, MOUNT_OK) << size;
        EXPECT_EQ(created.folder.empty(), !mounted) << size;
        ASSERT_TRUE(Deactivate(created));
    }
}

using MountFolders = StorageTest;

TEST_F(MountFolders, ATakenNameGetsTheNextNumber) {
    ASSERT_TRUE(CreateDirectoryW(u"\\Taken", nullptr));
    const std::u16string paths[] = {u"\\My Documents\\a.fvc", u"\\My Documents\\b.fvc",
                                    u"\\My Documents\\c.fvc", u"\\My Documents\\d.fvc"};
    for (const std::u16string& path : paths)
        ASSERT_NO_FATAL_FAILURE(CreateContainer(path, kPassword, u"Encrypted", 256 * 1024));

    Activation a = Open(paths[0], kPassword, u"Encrypted");
    Activation b = Open(paths[1], kPassword, u"encrypted");
    Activation c = Open(paths[2], kPassword, u"Encrypted");
    Activation d = Open(paths[3], kPassword, u"Taken");
    EXPECT_EQ(a.folder, u"\\Encrypted");
    EXPECT_EQ(b.folder, u"\\encrypted2");
    EXPECT_EQ(c.folder, u"\\Encrypted3");
    EXPECT_EQ(d.folder, u"\\Taken2"); // an object-store folder takes the name as well
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted3\\in c.txt", PatternBytes(10, 1)));

    // A freed name is taken again by the next mount.
    ASSERT_TRUE(Deactivate(a));
    EXPECT_EQ(GetFileAttributesW(u"\\Encrypted"), INVALID_FILE_ATTRIBUTES);
    Activation again = Open(paths[0], kPassword, u"Encrypted");
    EXPECT_EQ(again.folder, u"\\Encrypted");
    for (Activation* activation : {&b, &c, &d, &again})
        EXPECT_TRUE(Deactivate(*activation));
    Activation reopened = Open(paths[2], kPassword, u"Encrypted");
    EXPECT_EQ(ReadFileBytes(reopened.folder + u"\\in c.txt"), PatternBytes(10, 1));
}

TEST_F(MountFolders, AnEmptyFolderNameTakesTheDisksOwnName) {
    Activation created = Activate(kPath, kPassword, u"", 256 * 1024);
    ASSERT_NE(created.device, nullptr);
    EXPECT_EQ(created.folder, u"\\Encrypted Folder");
}

// A profile value, and whether a new container ends up mounted under it.
struct ProfileCase {
    const char* name;
    const WCHAR* value;
    DWORD number;      // for DWORD values
    const WCHAR* text; // for string values (instead of number)
    bool mounted;
};

class ProfileSwitches : public StorageTest, public ::testing::WithParamInterface<ProfileCase> {};

TEST_P(ProfileSwitches, DecideWhetherANewDiskIsPreparedAndMounted) {
    const ProfileCase& c = GetParam();
    if (c.text != nullptr)
        SetProfileString(c.value, c.text);
    else
        SetProfileValue(c.value, c.number);
    Activation created = Activate(kPath, kPassword, u"Encrypted", 256 * 1024);
    // The activation itself succeeds either way.
    ASSERT_NE(created.device, nullptr);
    EXPECT_EQ(created.status, MOUNT_OK);
    EXPECT_EQ(created.folder.empty(), !c.mounted);
    EXPECT_EQ(GetFileAttributesW(u"\\Encrypted") != INVALID_FILE_ATTRIBUTES, c.mounted);
    ASSERT_TRUE(Deactivate(created));
    // Only a partitioned container passes the password check.
    WriteNewTrailer(Host(kPath), kPassword, u"Encrypted");
    Activation opened = Activate(kPath, kPassword, u"Encrypted", 0);
    const bool partitioned = c.mounted || std::u16string(c.value) == u"AutoFormat";
    EXPECT_EQ(opened.status, partitioned ? MOUNT_OK : MOUNT_BAD_PASSWORD);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ProfileSwitches,
    ::testing::Values(ProfileCase{"AllOn", u"AutoMount", 1, nullptr, true},
                      ProfileCase{"NoAutoMount", u"AutoMount", 0, nullptr, false},
                      ProfileCase{"NoAutoPart", u"AutoPart", 0, nullptr, false},
                      ProfileCase{"NoAutoFormat", u"AutoFormat", 0, nullptr, false},
                      ProfileCase{"PartitionDriverInAnyCase", u"PartitionDriver", 0, u"MSPART.DLL", true},
                      ProfileCase{"UnknownPartitionDriver", u"PartitionDriver", 0, u"other.dll", false},
                      ProfileCase{"UnknownFileSystem", u"DefaultFileSystem", 0, u"UDFS", false},
                      ProfileCase{"MountFlagsIgnored", u"MountFlags", 0x10, nullptr, true}),
    [](const auto& info) { return std::string(info.param.name); });

using MountedFiles = StorageTest;

// A failing call and the error the platform reports for it.
struct ErrorCase {
    const char* what;
    std::function<BOOL()> call;
    DWORD error;
};

TEST_F(MountedFiles, FailuresReportThePlatformsErrorCodes) {
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, kPassword, u"Encrypted", 1 * kMiB));
    Activation opened = Open(kPath, kPassword);
    ASSERT_TRUE(CreateDirectoryW(u"\\Encrypted\\Folder", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"\\Encrypted\\Folder\\Inner", nullptr));
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\file.txt", PatternBytes(100, 1)));
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\locked.txt", PatternBytes(100, 2)));
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\read only.txt", PatternBytes(100, 3)));
    ASSERT_TRUE(SetFileAttributesW(u"\\Encrypted\\read only.txt", FILE_ATTRIBUTE_READONLY));
    HANDLE held =
        CreateFileW(u"\\Encrypted\\locked.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    auto open = [](const WCHAR* path, DWORD access, DWORD disposition) {
        return [=]() -> BOOL {
            HANDLE file = CreateFileW(path, access, 0, nullptr, disposition, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                return FALSE;
            CloseHandle(file);
            return TRUE;
        };
    };
    auto find = [](const WCHAR* pattern) {
        return [=]() -> BOOL {
            WIN32_FIND_DATAW data{};
            HANDLE search = FindFirstFileW(pattern, &data);
            if (search == INVALID_HANDLE_VALUE)
                return FALSE;
            FindClose(search);
            return TRUE;
        };
    };
    const std::vector<ErrorCase> cases = {
        {"open a missing file", open(u"\\Encrypted\\none.txt", GENERIC_READ, OPEN_EXISTING),
         ERROR_FILE_NOT_FOUND},
        {"open below a missing folder", open(u"\\Encrypted\\none\\a.txt", GENERIC_READ, OPEN_EXISTING),
         ERROR_PATH_NOT_FOUND},
        {"open below a file", open(u"\\Encrypted\\file.txt\\a.txt", GENERIC_READ, OPEN_ALWAYS),
         ERROR_PATH_NOT_FOUND},
        {"create a file that exists", open(u"\\Encrypted\\file.txt", GENERIC_WRITE, CREATE_NEW),
         ERROR_FILE_EXISTS},
        {"create a file where a folder is", open(u"\\Encrypted\\Folder", GENERIC_WRITE, CREATE_NEW),
         ERROR_FILE_EXISTS},
        {"open a folder as a file", open(u"\\Encrypted\\Folder", GENERIC_READ, OPEN_EXISTING),
         ERROR_ACCESS_DENIED},
        {"open the mount folder as a file", open(u"\\Encrypted", GENERIC_READ, OPEN_EXISTING),
         ERROR_ACCESS_DENIED},
        {"write a read-only file", open(u"\\Encrypted\\read only.txt", GENERIC_WRITE, OPEN_EXISTING),
         ERROR_ACCESS_DENIED},
        {"open a file held without sharing", open(u"\\Encrypted\\locked.txt", GENERIC_READ, OPEN_EXISTING),
         ERROR_SHARING_VIOLATION},
        {"delete a file that is open", [] { return DeleteFileW(u"\\Encrypted\\locked.txt"); },
         ERROR_SHARING_VIOLATION},
        {"move a file that is open",
         [] { return MoveFileW(u"\\Encrypted\\locked.txt", u"\\Encrypted\\x.txt"); },
         ERROR_SHARING_VIOLATION},
        {"delete a read-only file", [] { return DeleteFileW(u"\\Encrypted\\read only.txt"); },
         ERROR_ACCESS_DENIED},
        {"delete a folder", [] { return DeleteFileW(u"\\Encrypted\\Folder"); }, ERROR_ACCESS_DENIED},
        {"delete a missing file", [] { return DeleteFileW(u"\\Encrypted\\none.txt"); }, ERROR_FILE_NOT_FOUND},
        {"make a folder that exists", [] { return CreateDirectoryW(u"\\Encrypted\\folder", nullptr); },
         ERROR_ALREADY_EXISTS},
        {"make the mount folder", [] { return CreateDirectoryW(u"\\Encrypted", nullptr); },
         ERROR_ALREADY_EXISTS},
        {"make a folder below a missing one", [] { return CreateDirectoryW(u"\\Encrypted\\a\\b", nullptr); },
         ERROR_PATH_NOT_FOUND},
        {"remove a folder with entries", [] { return RemoveDirectoryW(u"\\Encrypted\\Folder"); },
         ERROR_DIR_NOT_EMPTY},
        {"remove a file as a folder", [] { return RemoveDirectoryW(u"\\Encrypted\\file.txt"); },
         ERROR_DIRECTORY},
        {"remove the mount folder", [] { return RemoveDirectoryW(u"\\Encrypted"); }, ERROR_ACCESS_DENIED},
        {"move onto an existing name",
         [] { return MoveFileW(u"\\Encrypted\\file.txt", u"\\Encrypted\\FOLDER"); }, ERROR_ALREADY_EXISTS},
        {"move a folder into itself",
         [] { return MoveFileW(u"\\Encrypted\\Folder", u"\\Encrypted\\Folder\\Inner\\x"); },
         ERROR_ACCESS_DENIED},
        {"move a missing file", [] { return MoveFileW(u"\\Encrypted\\none", u"\\Encrypted\\x"); },
         ERROR_FILE_NOT_FOUND},
        {"attributes of a missing file", [] { return SetFileAttributesW(u"\\Encrypted\\none", 0); },
         ERROR_FILE_NOT_FOUND},
        {"search that matches nothing", find(u"\\Encrypted\\*.none"), ERROR_NO_MORE_FILES},
        {"search in an empty folder", find(u"\\Encrypted\\Folder\\Inner\\*"), ERROR_NO_MORE_FILES},
        {"search in a missing folder", find(u"\\Encrypted\\none\\*"), ERROR_PATH_NOT_FOUND},
    };
    for (const ErrorCase& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(c.call()) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
    CloseHandle(held);
    EXPECT_TRUE(DeleteFileW(u"\\Encrypted\\locked.txt"));
    EXPECT_TRUE(Deactivate(opened));
}

TEST_F(MountedFiles, HandlesThatOutliveTheirVolumeFailAsInvalid) {
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, kPassword, u"Encrypted", 1 * kMiB));
    Activation opened = Open(kPath, kPassword);
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\kept.txt", PatternBytes(3000, 1)));
    HANDLE file = CreateFileW(u"\\Encrypted\\kept.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file, "new start", 9, &done, nullptr));
    ASSERT_TRUE(Deactivate(opened));

    char buffer[16];
    EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(WriteFile(file, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(GetFileAttributesW(u"\\Encrypted\\kept.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    // What was written before the deactivation was flushed through the driver.
    Activation again = Open(kPath, kPassword);
    std::vector<uint8_t> expected = PatternBytes(3000, 1);
    std::copy_n("new start", 9, expected.begin());
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\kept.txt"), expected);
}

TEST_F(MountedFiles, FreeSpaceIsTheVolumesClusters) {
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, kPassword, u"Encrypted", 1 * kMiB));
    Activation opened = Open(kPath, kPassword);
    const uint32_t cluster = GeometryOf(Host(kPath), KeyOf(kPassword)).bytesPerCluster;
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Encrypted", &available, &total, &free));
    EXPECT_EQ(available.QuadPart, free.QuadPart);
    EXPECT_LT(total.QuadPart, 1ull * kMiB);
    EXPECT_GT(total.QuadPart, 900ull * 1024);
    EXPECT_EQ(total.QuadPart % cluster, 0u);
    EXPECT_EQ(free.QuadPart, total.QuadPart);

    ASSERT_TRUE(CreateDirectoryW(u"\\Encrypted\\Sub", nullptr));
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\Sub\\three clusters", PatternBytes(2 * cluster + 1, 1)));
    ULARGE_INTEGER after{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Encrypted\\Sub", nullptr, nullptr, &after));
    EXPECT_EQ(after.QuadPart, free.QuadPart - 4ull * cluster); // the folder's cluster and the file's three
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\Encrypted\\None", nullptr, nullptr, &after));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(MountedFiles, AVolumeFilledToItsLastClusterLeavesTheTrailerAndReopens) {
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, kPassword, u"Encrypted", 100 * 1024));
    const std::filesystem::path host = Host(kPath);
    const uint64_t size = std::filesystem::file_size(host);
    const std::vector<uint8_t> trailer = fat::test::ReadBytes(host, size - kTrailerSize, kTrailerSize);

    Activation opened = Open(kPath, kPassword);
    std::map<std::u16string, std::vector<uint8_t>> kept;
    for (int i = 0;; ++i) {
        const std::u16string name = u"\\Encrypted\\fill " + fat::test::U16(std::to_string(i));
        const std::vector<uint8_t> content = PatternBytes(7000, i);
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        const BOOL ok =
            WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        const DWORD error = GetLastError();
        CloseHandle(file);
        kept[name] = std::vector<uint8_t>(content.begin(), content.begin() + written);
        if (!ok) {
            EXPECT_EQ(error, static_cast<DWORD>(ERROR_DISK_FULL));
            break;
        }
        ASSERT_LT(i, 100) << "the volume never filled";
    }
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Encrypted", nullptr, nullptr, &free));
    EXPECT_EQ(free.QuadPart, 0u);
    HANDLE more = CreateFileW(u"\\Encrypted\\one more", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(more, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(more, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    CloseHandle(more);
    ASSERT_TRUE(Deactivate(opened));

    EXPECT_EQ(fat::test::ReadBytes(host, size - kTrailerSize, kTrailerSize), trailer);
    Activation again = Open(kPath, kPassword);
    for (const auto& [name, content] : kept)
        EXPECT_EQ(ReadFileBytes(name), content) << fat::test::U8(name);
    ASSERT_TRUE(Deactivate(again));
    fat::test::TempDir dir;
    DecryptContainer(host, KeyOf(kPassword), dir / "plain.img");
    fat::test::ToolResult fsck =
        fat::test::CheckVolume(dir / "plain.img", GeometryOf(host, KeyOf(kPassword)).location);
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

TEST_F(MountedFiles, TheDriverIsCalledInKernelModeWhateverTheCallersTrust) {
    // With a caller trust below full, the driver serves kernel-mode threads only.
    struct TrustScope {
        TrustScope() { kernel::SetProcessCallerTrust(OEM_CERTIFY_RUN); }
        ~TrustScope() { kernel::SetProcessCallerTrust(OEM_CERTIFY_TRUST); }
    } trust;
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, kPassword, u"Encrypted", 1 * kMiB));
    Activation opened = Open(kPath, kPassword);
    EXPECT_TRUE(WriteFileBytes(u"\\Encrypted\\a.txt", PatternBytes(5000, 1)));
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\a.txt"), PatternBytes(5000, 1));
    // A user-mode thread of this process is refused.
    DISK_INFO info{};
    EXPECT_FALSE(Control(0, IOCTL_DISK_GETINFO, nullptr, 0, &info, sizeof info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(Deactivate(opened));
}

// Two hours east of UTC on the virtual clock, so that local and UTC times differ.
class MountedTimes : public StorageTest {
protected:
    void SetUp() override {
        if (const char* zone = std::getenv("TZ"))
            m_savedZone = zone;
        ::setenv("TZ", "XYZ-2", 1);
        ::tzset();
        kernel::UseVirtualClock();
        StorageTest::SetUp();
    }
    void TearDown() override {
        StorageTest::TearDown();
        kernel::UseRealClock();
        if (m_savedZone)
            ::setenv("TZ", m_savedZone->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    std::optional<std::string> m_savedZone;
};

uint64_t Value(const FILETIME& time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

TEST_F(MountedTimes, AreUtcOnThePlatformSideAndLocalOnTheVolume) {
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, kPassword, u"Encrypted", 1 * kMiB));
    Activation opened = Open(kPath, kPassword);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\stamped.txt", PatternBytes(10, 1)));

    // Write times have 2-second steps.
    constexpr uint64_t kTwoSeconds = 20000000;
    std::vector<WIN32_FIND_DATAW> found = Find(u"\\Encrypted\\stamped.txt");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_LE(Value(found[0].ftLastWriteTime), Value(now));
    EXPECT_GT(Value(found[0].ftLastWriteTime) + kTwoSeconds, Value(now));
    EXPECT_LE(Value(found[0].ftCreationTime), Value(now));
    EXPECT_GT(Value(found[0].ftCreationTime) + 100000, Value(now)); // 10 ms steps

    // Set and read back through a handle, and kept by a copy to the object store.
    HANDLE file = CreateFileW(u"\\Encrypted\\stamped.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SYSTEMTIME chosen{2011, 11, 0, 11, 10, 20, 31, 0};
    FILETIME set{};
    ASSERT_TRUE(SystemTimeToFileTime(&chosen, &set));
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &set));
    FILETIME read{};
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &read));
    CloseHandle(file);
    EXPECT_EQ(Value(read), Value(set) - 10000000); // 10:20:31 kept as 10:20:30
    ASSERT_TRUE(CopyFileW(u"\\Encrypted\\stamped.txt", u"\\copied.txt", FALSE));
    found = Find(u"\\copied.txt");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(Value(found[0].ftLastWriteTime), Value(read));

    // On the volume the time is local: 12:20:30.
    ASSERT_TRUE(Deactivate(opened));
    fat::test::TempDir dir;
    DecryptContainer(Host(kPath), KeyOf(kPassword), dir / "plain.img");
    fat::test::ToolResult listing = fat::test::RunTool(
        fat::test::MtoolsEnv() + "mdir -i " +
        fat::test::MtoolsImage(dir / "plain.img", GeometryOf(Host(kPath), KeyOf(kPassword)).location) +
        " ::");
    EXPECT_NE(listing.output.find("2011-11-11  12:20"), std::string::npos) << listing.output;
}

} // namespace
} // namespace storagetest
