// Damaged containers through the whole stack: a disk or volume that cannot be trusted is left unmounted
// and unchanged, and a damaged file or folder fails with an error while the rest stays usable; nothing
// crashes or hangs.

#include <functional>

#include "StorageTestSupport.h"

namespace storagetest {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kMiB = 1024 * 1024;
constexpr char16_t kPath[] = u"\\My Documents\\damaged.fvc";
constexpr char16_t kPassword[] = u"damage";

// A FAT16 volume's layout, read from its boot sector, and plain access to its sectors.
class Fat16Volume {
public:
    Fat16Volume(fs::path container, const DataKey& key) : m_container(std::move(container)), m_key(key) {
        m_start = GeometryOf(m_container, m_key).location.firstSector;
        const std::vector<uint8_t> boot = Sector(0);
        m_sectorsPerCluster = boot[13];
        m_reserved = boot[14] | (boot[15] << 8);
        m_fats = boot[16];
        m_rootEntries = boot[17] | (boot[18] << 8);
        m_fatSectors = boot[22] | (boot[23] << 8);
    }

    // A sector of the volume (0 is its boot sector).
    std::vector<uint8_t> Sector(uint32_t sector) const {
        return ReadPlain(m_container, m_key, Offset(sector), fat::kSectorSize);
    }
    void SetSector(uint32_t sector, const std::vector<uint8_t>& bytes) const {
        WritePlain(m_container, m_key, Offset(sector), bytes);
    }
    // Sets a FAT entry in every copy.
    void SetFat(uint32_t cluster, uint16_t value) const {
        for (uint32_t copy = 0; copy < m_fats; ++copy) {
            const uint32_t sector = m_reserved + copy * m_fatSectors + cluster * 2 / fat::kSectorSize;
            std::vector<uint8_t> bytes = Sector(sector);
            const uint32_t at = cluster * 2 % fat::kSectorSize;
            bytes[at] = static_cast<uint8_t>(value);
            bytes[at + 1] = static_cast<uint8_t>(value >> 8);
            SetSector(sector, bytes);
        }
    }
    // Changes the root folder's short entry of that 11-byte name; false when there is none.
    bool ChangeRootEntry(const char* shortName, const std::function<void(uint8_t* entry)>& change) const {
        const uint32_t first = m_reserved + m_fats * m_fatSectors;
        for (uint32_t sector = first; sector < first + m_rootEntries * 32 / fat::kSectorSize; ++sector) {
            std::vector<uint8_t> bytes = Sector(sector);
            for (uint32_t at = 0; at < fat::kSectorSize; at += 32) {
                if (std::equal(shortName, shortName + 11, bytes.begin() + at)) {
                    change(bytes.data() + at);
                    SetSector(sector, bytes);
                    return true;
                }
            }
        }
        return false;
    }
    static uint16_t FirstCluster(const uint8_t* entry) {
        return static_cast<uint16_t>(entry[26] | (entry[27] << 8));
    }

private:
    uint64_t Offset(uint32_t sector) const { return (uint64_t{m_start} + sector) * fat::kSectorSize; }

    fs::path m_container;
    DataKey m_key;
    uint32_t m_start = 0;
    uint32_t m_sectorsPerCluster = 0;
    uint32_t m_reserved = 0;
    uint32_t m_fats = 0;
    uint32_t m_rootEntries = 0;
    uint32_t m_fatSectors = 0;
};

class DamagedContainers : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, kPassword, u"Encrypted", 16 * kMiB));
        Activation opened = Open(kPath, kPassword);
        m_cluster = GeometryOf(Host(kPath), KeyOf(kPassword)).bytesPerCluster;
        ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\A.TXT", PatternBytes(3 * m_cluster, 1)));
        ASSERT_TRUE(CreateDirectoryW(u"\\Encrypted\\DIR", nullptr));
        ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\DIR\\INNER.BIN", PatternBytes(5000, 2)));
        ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\B.TXT", PatternBytes(100, 3)));
        ASSERT_TRUE(Deactivate(opened));
    }

    // Opens the damaged container: the driver accepts it, the storage manager decides.
    Activation OpenDamaged() {
        Activation opened = Activate(kPath, kPassword, u"Encrypted", 0);
        EXPECT_NE(opened.device, nullptr);
        EXPECT_EQ(opened.status, MOUNT_OK);
        return opened;
    }

    // Opens and expects the disk left unmounted and the container file unchanged.
    void ExpectRefusedAndUntouched() {
        const std::vector<uint8_t> before = ReadAll();
        Activation opened = OpenDamaged();
        EXPECT_EQ(opened.folder, u"");
        EXPECT_EQ(GetFileAttributesW(u"\\Encrypted"), INVALID_FILE_ATTRIBUTES);
        ASSERT_TRUE(Deactivate(opened));
        EXPECT_TRUE(ReadAll() == before) << "the storage manager changed a disk it could not mount";
    }

    std::vector<uint8_t> ReadAll() const {
        const fs::path host = Host(kPath);
        return fat::test::ReadBytes(host, 0, static_cast<size_t>(fs::file_size(host)));
    }

    Fat16Volume Volume() const { return Fat16Volume(Host(kPath), KeyOf(kPassword)); }

    uint32_t m_cluster = 0;
};

TEST_F(DamagedContainers, ACorruptBootSectorIsNeitherMountedNorFormatted) {
    std::vector<uint8_t> boot = Volume().Sector(0);
    boot[11] = 0x00; // bytes per sector 0
    boot[13] = 3;    // sectors per cluster not a power of two
    Volume().SetSector(0, boot);
    ExpectRefusedAndUntouched();
    Volume().SetSector(0, PatternBytes(512, 9));
    ExpectRefusedAndUntouched();
}

TEST_F(DamagedContainers, ADamagedPartitionSectorIsLeftAlone) {
    const DataKey key = KeyOf(kPassword);
    std::vector<uint8_t> mbr = ReadPlain(Host(kPath), key, 0, 512);
    // A partition that runs past the end of the disk; sector 0 still passes the password check.
    mbr[446 + 12] = 0xFF;
    mbr[446 + 13] = 0xFF;
    mbr[446 + 14] = 0xFF;
    WritePlain(Host(kPath), key, 0, mbr);
    ExpectRefusedAndUntouched();
    mbr[510] = 0;
    WritePlain(Host(kPath), key, 0, mbr);
    ExpectRefusedAndUntouched();
}

TEST_F(DamagedContainers, AFatCycleFailsTheFileThatMeetsItAndNothingElse) {
    uint16_t first = 0;
    ASSERT_TRUE(Volume().ChangeRootEntry("A       TXT",
                                         [&](uint8_t* entry) { first = Fat16Volume::FirstCluster(entry); }));
    // The file's three clusters, the last leading back to the first.
    Volume().SetFat(first + 2, first);
    Activation opened = OpenDamaged();
    ASSERT_EQ(opened.folder, u"\\Encrypted");
    // Reading stops at the file's size, so the cycle is not followed forever.
    std::optional<std::vector<uint8_t>> read = ReadFileBytes(u"\\Encrypted\\A.TXT");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), 3u * m_cluster);
    HANDLE file = CreateFileW(u"\\Encrypted\\A.TXT", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFilePointer(file, 0, nullptr, FILE_END);
    const std::vector<uint8_t> more = PatternBytes(m_cluster, 4);
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(file, more.data(), static_cast<DWORD>(more.size()), &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
    CloseHandle(file);
    // Deleting frees the clusters once each, the cycle included.
    ULARGE_INTEGER before{}, after{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Encrypted", nullptr, nullptr, &before));
    EXPECT_TRUE(DeleteFileW(u"\\Encrypted\\A.TXT"));
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Encrypted", nullptr, nullptr, &after));
    EXPECT_EQ(after.QuadPart, before.QuadPart + 3ull * m_cluster);
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\DIR\\INNER.BIN"), PatternBytes(5000, 2));
    EXPECT_TRUE(WriteFileBytes(u"\\Encrypted\\new.txt", PatternBytes(3000, 5)));
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\new.txt"), PatternBytes(3000, 5));
}

TEST_F(DamagedContainers, EntriesPointingOutsideTheVolumeFailAsCorrupt) {
    ASSERT_TRUE(Volume().ChangeRootEntry("A       TXT", [](uint8_t* entry) {
        entry[26] = 0xF0;
        entry[27] = 0xFF;
    }));
    ASSERT_TRUE(Volume().ChangeRootEntry("DIR        ", [](uint8_t* entry) {
        entry[26] = 0xF0;
        entry[27] = 0xFF;
    }));
    ASSERT_TRUE(Volume().ChangeRootEntry("B       TXT", [](uint8_t* entry) {
        entry[28] = 0xFF; // a size far beyond the file's one cluster
        entry[29] = 0xFF;
        entry[30] = 0xFF;
    }));
    Activation opened = OpenDamaged();
    ASSERT_EQ(opened.folder, u"\\Encrypted");
    EXPECT_EQ(Names(u"\\Encrypted\\*").size(), 3u);
    EXPECT_EQ(CreateFileW(u"\\Encrypted\\A.TXT", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
    DWORD error = 0;
    EXPECT_TRUE(Find(u"\\Encrypted\\DIR\\*", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_CORRUPT));
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\B.TXT"), std::nullopt);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
    EXPECT_TRUE(WriteFileBytes(u"\\Encrypted\\new.txt", PatternBytes(3000, 5)));
}

TEST_F(DamagedContainers, ATruncatedContainerIsRefusedByTheDriverOrLeftUnmounted) {
    const fs::path host = Host(kPath);
    fs::resize_file(host, 8 * kMiB);
    // The trailer went with the end of the file.
    Activation lost = Activate(kPath, kPassword, u"Encrypted", 0);
    EXPECT_EQ(lost.device, nullptr);
    EXPECT_EQ(lost.status, MOUNT_BAD_PASSWORD);
    // With a trailer at the new end, the disk is smaller than its partition.
    WriteNewTrailer(host, kPassword, u"Encrypted");
    ExpectRefusedAndUntouched();
}

} // namespace
} // namespace storagetest
