#pragma once
// What the FAT tests share: disk images in host files (sparse), a block device over such a file that
// counts requests and can stop accepting writes, a fixed clock, the real tools (fsck.fat, mtools,
// mkfs.fat) run on images, and UTF-8/UTF-16 conversion for names.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "fat/BlockDevice.h"
#include "fat/FatTypes.h"
#include "fat/FatVolume.h"

namespace fat {
// gtest prints results by name.
inline void PrintTo(FatResult result, std::ostream* out) {
    *out << FatResultName(result);
}
} // namespace fat

namespace fat::test {

// A fresh temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Creates (or replaces) a sparse file of that many bytes.
void CreateSparseFile(const std::filesystem::path& path, uint64_t bytes);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path, uint64_t offset, size_t length);
void WriteBytes(const std::filesystem::path& path, uint64_t offset, const std::vector<uint8_t>& bytes);

class HostFileDevice : public BlockDevice {
public:
    explicit HostFileDevice(const std::filesystem::path& path);
    ~HostFileDevice() override;
    HostFileDevice(const HostFileDevice&) = delete;
    HostFileDevice& operator=(const HostFileDevice&) = delete;

    uint32_t SectorCount() const override { return m_sectors; }
    bool ReadSectors(uint32_t first, uint32_t count, uint8_t* data) override;
    bool WriteSectors(uint32_t first, uint32_t count, const uint8_t* data) override;
    bool Flush() override { return true; }
    bool IsWriteProtected() const override { return m_writeProtected; }

    void SetWriteProtected(bool on) { m_writeProtected = on; }
    // Accepts that many more write requests, then fails every write (a power cut); -1 for no limit.
    void SetWriteBudget(int64_t requests) { m_writeBudget = requests; }

    uint64_t readRequests = 0;
    uint64_t writeRequests = 0;
    uint64_t sectorsRead = 0;
    uint64_t sectorsWritten = 0;
    uint32_t highestSectorWritten = 0;
    std::vector<std::pair<uint32_t, uint32_t>> writeLog; // first sector and count of every write

private:
    int m_fd = -1;
    uint32_t m_sectors = 0;
    bool m_writeProtected = false;
    int64_t m_writeBudget = -1;
};

// 2024-05-06 12:34:56.780, advanced by tests that need time to pass.
struct TestClock {
    FatLocalTime now{2024, 5, 6, 12, 34, 56, 780};
    FatClock AsClock() {
        return [this] { return now; };
    }
};

std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& utf16);

struct ToolResult {
    int exitCode = -1;
    std::string output;
};
// Runs a shell command, output and errors together.
ToolResult RunTool(const std::string& command);
std::string Quote(const std::filesystem::path& path);

// fsck.fat -n on the volume at where in the image (copied out sparsely when it does not start at 0).
ToolResult CheckVolume(const std::filesystem::path& image, VolumeLocation where);
// The mtools image argument for a volume: "image@@offset".
std::string MtoolsImage(const std::filesystem::path& image, VolumeLocation where);
// The environment prefix for mtools commands.
std::string MtoolsEnv();

// Makes a blank disk image, partitions and formats it with the engine, and returns where the volume is.
VolumeLocation MakeFormattedImage(const std::filesystem::path& image, uint64_t bytes, const FatClock& clock);

// Reads a whole file through the engine.
FatResult ReadWholeFile(FatVolume& volume, const std::u16string& path, std::vector<uint8_t>& content);
// Creates (or replaces) a file through the engine with the content, in one write.
FatResult WriteWholeFile(FatVolume& volume, const std::u16string& path, const std::vector<uint8_t>& content);
// Names in a folder, as a search for "*" reports them.
std::vector<FatEntryInfo> ListFolder(FatVolume& volume, const std::u16string& folder);

std::vector<uint8_t> PatternBytes(size_t length, uint32_t seed);

// An image formatted by the engine and mounted; remounting keeps the volume object and opens the image
// through a fresh device.
class MountedImage {
public:
    MountedImage(uint64_t bytes, TestClock& clock);
    ~MountedImage();
    FatVolume& Volume() { return *m_volume; }
    HostFileDevice& Disk() { return *m_disk; }
    const std::filesystem::path& Image() const { return m_image; }
    VolumeLocation Where() const { return m_where; }
    // Unmounts (expecting success) and mounts the image again.
    void Remount();
    void Unmount();
    void Mount();

private:
    TempDir m_dir;
    std::filesystem::path m_image;
    TestClock& m_clock;
    VolumeLocation m_where;
    std::unique_ptr<HostFileDevice> m_disk;
    std::unique_ptr<FatVolume> m_volume;
};

} // namespace fat::test
