#include "TestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "fat/Format.h"
#include "fat/Partition.h"

namespace fat::test {

namespace fs = std::filesystem;

HostFileDevice::HostFileDevice(const fs::path& path) {
    m_fd = ::open(path.c_str(), O_RDWR);
    if (m_fd < 0)
        throw std::runtime_error("cannot open " + path.string());
    struct stat info {};
    ::fstat(m_fd, &info);
    m_sectors = static_cast<uint32_t>(static_cast<uint64_t>(info.st_size) / kSectorSize);
}

HostFileDevice::~HostFileDevice() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool HostFileDevice::ReadSectors(uint32_t first, uint32_t count, uint8_t* data) {
    if (first >= m_sectors || count > m_sectors - first)
        return false;
    ++readRequests;
    sectorsRead += count;
    size_t length = static_cast<size_t>(count) * kSectorSize;
    return ::pread(m_fd, data, length, static_cast<off_t>(first) * kSectorSize) ==
           static_cast<ssize_t>(length);
}

bool HostFileDevice::WriteSectors(uint32_t first, uint32_t count, const uint8_t* data) {
    if (first >= m_sectors || count > m_sectors - first || m_writeProtected)
        return false;
    if (m_writeBudget == 0) {
        const size_t torn = std::min<size_t>(m_tornBytes, static_cast<size_t>(count) * kSectorSize);
        if (torn > 0) {
            writeLog.emplace_back(first, count);
            ::pwrite(m_fd, data, torn, static_cast<off_t>(first) * kSectorSize);
        }
        m_tornBytes = 0;
        return false;
    }
    if (m_writeBudget > 0)
        --m_writeBudget;
    ++writeRequests;
    sectorsWritten += count;
    if (first + count - 1 > highestSectorWritten)
        highestSectorWritten = first + count - 1;
    writeLog.emplace_back(first, count);
    size_t length = static_cast<size_t>(count) * kSectorSize;
    return ::pwrite(m_fd, data, length, static_cast<off_t>(first) * kSectorSize) ==
           static_cast<ssize_t>(length);
}

VolumeLocation MakeFormattedImage(const fs::path& image, uint64_t bytes, const FatClock& clock) {
    CreateSparseFile(image, bytes);
    HostFileDevice disk(image);
    VolumeLocation where;
    if (PartitionDisk(disk, where) != FatResult::Ok || FormatVolume(disk, where, clock) != FatResult::Ok)
        throw std::runtime_error("cannot format " + image.string());
    return where;
}

FatResult ReadWholeFile(FatVolume& volume, const std::u16string& path, std::vector<uint8_t>& content) {
    FatFile file;
    FatResult result = volume.Open(path, FatAccess::Read, FatDisposition::OpenExisting, 0, file);
    if (result != FatResult::Ok)
        return result;
    uint32_t size = 0;
    volume.GetSize(file, size);
    content.assign(size, 0);
    uint32_t done = 0;
    result = volume.Read(file, content.data(), size, done);
    content.resize(done);
    volume.Close(file);
    return result;
}

FatResult WriteWholeFile(FatVolume& volume, const std::u16string& path, const std::vector<uint8_t>& content) {
    FatFile file;
    FatResult result = volume.Open(path, FatAccess::Write, FatDisposition::CreateAlways, 0, file);
    if (result != FatResult::Ok)
        return result;
    uint32_t done = 0;
    result = volume.Write(file, content.data(), static_cast<uint32_t>(content.size()), done);
    volume.Close(file);
    return result;
}

std::vector<FatEntryInfo> ListFolder(FatVolume& volume, const std::u16string& folder) {
    std::vector<FatEntryInfo> entries;
    FatFind find;
    FatEntryInfo info;
    std::u16string pattern = folder.empty() ? u"*" : folder + u"\\*";
    if (volume.FindFirst(pattern, find, info) != FatResult::Ok)
        return entries;
    do {
        entries.push_back(info);
    } while (volume.FindNext(find, info) == FatResult::Ok);
    volume.FindClose(find);
    return entries;
}

MountedImage::MountedImage(uint64_t bytes, TestClock& clock) : m_image(m_dir / "disk.img"), m_clock(clock) {
    m_where = MakeFormattedImage(m_image, bytes, clock.AsClock());
    Mount();
}

MountedImage::~MountedImage() {
    m_volume.reset();
}

void MountedImage::Mount() {
    // The same volume object throughout, on a fresh device each time.
    if (!m_volume)
        m_volume = std::make_unique<FatVolume>(m_clock.AsClock());
    if (m_volume->IsMounted())
        m_volume->Unmount();
    m_disk = std::make_unique<HostFileDevice>(m_image);
    if (m_volume->Mount(*m_disk) != FatResult::Ok)
        throw std::runtime_error("cannot mount " + m_image.string());
}

void MountedImage::Unmount() {
    if (m_volume->Unmount() != FatResult::Ok)
        throw std::runtime_error("cannot unmount " + m_image.string());
}

void MountedImage::Remount() {
    Unmount();
    Mount();
}

} // namespace fat::test
