#pragma once
// What the FAT tests share: a block device over a disk image in a host file that counts requests and can
// stop accepting writes, a fixed clock, images formatted by the engine, and whole-file helpers. The
// engine-free helpers (temporary folders, sparse files, the real tools) are in ToolSupport.h.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ToolSupport.h"
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
    // As SetWriteBudget, but the first request refused still stores its first bytes (a write torn within
    // its sectors, as a process killed in the middle of a transfer leaves it).
    void SetTornWrite(int64_t requests, uint32_t bytes) {
        m_writeBudget = requests;
        m_tornBytes = bytes;
    }

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
    uint32_t m_tornBytes = 0;
};

// 2024-05-06 12:34:56.780, advanced by tests that need time to pass.
struct TestClock {
    FatLocalTime now{2024, 5, 6, 12, 34, 56, 780};
    FatClock AsClock() {
        return [this] { return now; };
    }
};

// Makes a blank disk image, partitions and formats it with the engine, and returns where the volume is.
VolumeLocation MakeFormattedImage(const std::filesystem::path& image, uint64_t bytes, const FatClock& clock);

// Reads a whole file through the engine.
FatResult ReadWholeFile(FatVolume& volume, const std::u16string& path, std::vector<uint8_t>& content);
// Creates (or replaces) a file through the engine with the content, in one write.
FatResult WriteWholeFile(FatVolume& volume, const std::u16string& path, const std::vector<uint8_t>& content);
// Names in a folder, as a search for "*" reports them.
std::vector<FatEntryInfo> ListFolder(FatVolume& volume, const std::u16string& folder);

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
