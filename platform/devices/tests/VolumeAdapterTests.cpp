// The FAT volume as the kernel's file calls see it: the look-up of one entry answers what its folder's
// listing says of it, by every name the engine resolves (a short name too), and follows the folder's
// changes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "FatVolumeAdapter.h"
#include "fat/Format.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"

namespace {

constexpr uint32_t kSectors = 4096; // 2 MiB: FAT12

class MemoryDisk final : public fat::BlockDevice {
public:
    uint32_t SectorCount() const override { return kSectors; }
    bool ReadSectors(uint32_t first, uint32_t count, uint8_t* data) override {
        std::memcpy(data, m_bytes.data() + size_t{first} * fat::kSectorSize,
                    size_t{count} * fat::kSectorSize);
        return true;
    }
    bool WriteSectors(uint32_t first, uint32_t count, const uint8_t* data) override {
        std::memcpy(m_bytes.data() + size_t{first} * fat::kSectorSize, data,
                    size_t{count} * fat::kSectorSize);
        return true;
    }
    bool Flush() override { return true; }

private:
    std::vector<uint8_t> m_bytes = std::vector<uint8_t>(size_t{kSectors} * fat::kSectorSize);
};

fat::FatLocalTime FixedTime() {
    return fat::FatLocalTime{2024, 5, 6, 12, 34, 56, 780};
}

class VolumeAdapter : public ::testing::Test {
protected:
    void SetUp() override {
        auto disk = std::make_unique<MemoryDisk>();
        const fat::VolumeLocation where{0, kSectors};
        ASSERT_EQ(fat::FormatVolume(*disk, where, FixedTime), fat::FatResult::Ok);
        m_volume = std::make_unique<devices::FatVolumeAdapter>(std::move(disk), FixedTime);
        ASSERT_EQ(m_volume->Mount(where), fat::FatResult::Ok);
        ASSERT_NO_FATAL_FAILURE(Write({u"Quarterly Report.txt"}, "important\n"));
        ASSERT_EQ(m_volume->CreateDirectory({u"Long folder name"}), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_NO_FATAL_FAILURE(Write({u"Long folder name", u"inner.txt"}, "in"));
        ASSERT_NO_FATAL_FAILURE(Write({u"README.TXT"}, "short name only"));
    }

    void Write(const kernel::PathComponents& path, const std::string& text) {
        kernel::VolumeOpen request;
        request.access = GENERIC_WRITE;
        request.disposition = CREATE_ALWAYS;
        std::unique_ptr<kernel::VolumeFile> file;
        bool existed = false;
        ASSERT_EQ(m_volume->Open(path, request, &file, &existed), static_cast<DWORD>(ERROR_SUCCESS));
        DWORD done = 0;
        ASSERT_EQ(file->Write(0, text.data(), static_cast<DWORD>(text.size()), &done),
                  static_cast<DWORD>(ERROR_SUCCESS));
    }

    // The entry a path names, checked against its folder's listing, where the entry is listed as listedAs.
    void ExpectListed(const kernel::PathComponents& path, const char16_t* listedAs) {
        kernel::VolumeEntry entry;
        ASSERT_EQ(m_volume->GetEntry(path, &entry), static_cast<DWORD>(ERROR_SUCCESS));
        std::vector<kernel::VolumeEntry> listing;
        ASSERT_EQ(m_volume->List(kernel::PathComponents(path.begin(), path.end() - 1), &listing),
                  static_cast<DWORD>(ERROR_SUCCESS));
        auto listed = std::find_if(listing.begin(), listing.end(),
                                   [&](const kernel::VolumeEntry& e) { return e.name == listedAs; });
        ASSERT_NE(listed, listing.end());
        EXPECT_EQ(entry.name, listed->name);
        EXPECT_EQ(entry.attributes, listed->attributes);
        EXPECT_EQ(entry.size, listed->size);
        EXPECT_EQ(std::memcmp(&entry.creationTime, &listed->creationTime, sizeof(FILETIME)), 0);
        EXPECT_EQ(std::memcmp(&entry.lastAccessTime, &listed->lastAccessTime, sizeof(FILETIME)), 0);
        EXPECT_EQ(std::memcmp(&entry.lastWriteTime, &listed->lastWriteTime, sizeof(FILETIME)), 0);
    }

    DWORD LookUp(const kernel::PathComponents& path) {
        kernel::VolumeEntry entry;
        return m_volume->GetEntry(path, &entry);
    }

    std::unique_ptr<devices::FatVolumeAdapter> m_volume;
};

TEST_F(VolumeAdapter, OneEntryIsFoundByEveryNameAsItsFolderListsIt) {
    struct Case {
        kernel::PathComponents path;
        const char16_t* listedAs;
    };
    const Case found[] = {
        {{u"Quarterly Report.txt"}, u"Quarterly Report.txt"},
        {{u"quarterly REPORT.TXT"}, u"Quarterly Report.txt"},
        {{u"QUARTE~1.TXT"}, u"Quarterly Report.txt"},
        {{u"quarte~1.txt"}, u"Quarterly Report.txt"},
        {{u"Long folder name"}, u"Long folder name"},
        {{u"LONGFO~1", u"INNER.TXT"}, u"inner.txt"},
        {{u"readme.txt"}, u"README.TXT"},
    };
    for (const Case& c : found) {
        SCOPED_TRACE(std::string(c.path.back().begin(), c.path.back().end()));
        ExpectListed(c.path, c.listedAs);
    }
    kernel::VolumeEntry folder;
    ASSERT_EQ(m_volume->GetEntry({u"long folder NAME"}, &folder), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(folder.attributes & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    struct Missing {
        kernel::PathComponents path;
        DWORD error;
    };
    const Missing missing[] = {
        {{u"absent.txt"}, ERROR_FILE_NOT_FOUND},
        {{u"QUARTE~2.TXT"}, ERROR_FILE_NOT_FOUND},
        {{u"absent", u"inner.txt"}, ERROR_PATH_NOT_FOUND},
        {{u"Quarterly Report.txt", u"inner.txt"}, ERROR_PATH_NOT_FOUND},
        {{}, ERROR_INVALID_PARAMETER},
    };
    for (const Missing& c : missing)
        EXPECT_EQ(LookUp(c.path), c.error) << (c.path.empty() ? "the root" : "a missing entry");
}

TEST_F(VolumeAdapter, TheLookUpFollowsRenamesDeletesAndNewEntries) {
    ASSERT_EQ(m_volume->Move({u"QUARTE~1.TXT"}, {u"Long folder name", u"Report 2024.txt"}),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(LookUp({u"Quarterly Report.txt"}), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(LookUp({u"QUARTE~1.TXT"}), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ExpectListed({u"Long folder name", u"report 2024.TXT"}, u"Report 2024.txt");
    ExpectListed({u"Long folder name", u"REPORT~1.TXT"}, u"Report 2024.txt");

    ASSERT_EQ(m_volume->Delete({u"README.TXT"}), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(LookUp({u"README.TXT"}), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // A new entry with the freed names takes the slots the deleted ones left, and is found by both.
    ASSERT_NO_FATAL_FAILURE(Write({u"Quarterly Report.txt"}, "again"));
    ExpectListed({u"QUARTE~1.TXT"}, u"Quarterly Report.txt");
    ASSERT_NO_FATAL_FAILURE(Write({u"Quarterly Reports.txt"}, "twice"));
    ExpectListed({u"QUARTE~2.TXT"}, u"Quarterly Reports.txt");
}

} // namespace
