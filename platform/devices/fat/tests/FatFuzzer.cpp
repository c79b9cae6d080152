// Mounts a damaged volume and walks it: every folder listed, every file read, a few changes made, then a
// remount and another walk. The input is either a raw disk image, or patches to the metadata sectors of
// a volume the engine formatted and filled (FAT12 with a partition table, FAT16, FAT32), which reaches
// far deeper than random images do.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fat/FatVolume.h"
#include "fat/Format.h"
#include "fat/Partition.h"

namespace {

using namespace fat;

// A disk whose sectors live in a map; sectors never written read as zeros.
class SparseDisk : public BlockDevice {
public:
    explicit SparseDisk(uint32_t sectors) : m_sectors(sectors) {}

    uint32_t SectorCount() const override { return m_sectors; }
    bool ReadSectors(uint32_t first, uint32_t count, uint8_t* data) override {
        if (first >= m_sectors || count > m_sectors - first)
            return false;
        for (uint32_t i = 0; i < count; ++i) {
            auto it = m_data.find(first + i);
            if (it == m_data.end())
                std::memset(data + static_cast<size_t>(i) * kSectorSize, 0, kSectorSize);
            else
                std::memcpy(data + static_cast<size_t>(i) * kSectorSize, it->second.data(), kSectorSize);
        }
        return true;
    }
    bool WriteSectors(uint32_t first, uint32_t count, const uint8_t* data) override {
        if (first >= m_sectors || count > m_sectors - first)
            return false;
        for (uint32_t i = 0; i < count; ++i) {
            std::vector<uint8_t>& sector = m_data[first + i];
            sector.assign(data + static_cast<size_t>(i) * kSectorSize,
                          data + static_cast<size_t>(i + 1) * kSectorSize);
        }
        return true;
    }
    bool Flush() override { return true; }

    std::map<uint32_t, std::vector<uint8_t>>& Sectors() { return m_data; }

private:
    uint32_t m_sectors;
    std::map<uint32_t, std::vector<uint8_t>> m_data;
};

FatLocalTime FixedTime() {
    return FatLocalTime{2024, 5, 6, 12, 0, 0, 0};
}

void Fill(FatVolume& volume) {
    std::vector<uint8_t> data(9000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    volume.CreateDirectory(u"Folder with a long name");
    volume.CreateDirectory(u"Folder with a long name\\SUB");
    const char16_t* files[] = {u"README.TXT", u"a file with a long name.data",
                               u"Folder with a long name\\x.bin", u"Folder with a long name\\SUB\\deep file",
                               u"EMPTY"};
    size_t size = 0;
    for (const char16_t* path : files) {
        FatFile file;
        if (volume.Open(path, FatAccess::Write, FatDisposition::CreateAlways, 0, file) != FatResult::Ok)
            continue;
        uint32_t done = 0;
        volume.Write(file, data.data(), static_cast<uint32_t>(size), done);
        volume.Close(file);
        size = size * 3 + 700;
        if (size > data.size())
            size = data.size();
    }
}

std::unique_ptr<SparseDisk> MakeTemplate(uint32_t sectors, bool partitioned) {
    auto disk = std::make_unique<SparseDisk>(sectors);
    VolumeLocation where{0, sectors};
    if (partitioned && PartitionDisk(*disk, where) != FatResult::Ok)
        return nullptr;
    if (FormatVolume(*disk, where, FixedTime) != FatResult::Ok)
        return nullptr;
    FatVolume volume(FixedTime);
    if (volume.Mount(*disk) != FatResult::Ok)
        return nullptr;
    Fill(volume);
    volume.Unmount();
    return disk;
}

struct Template {
    std::unique_ptr<SparseDisk> disk;
    std::vector<uint32_t> metadata; // the sectors it wrote: the ones worth damaging
};

std::vector<Template>& Templates() {
    static std::vector<Template> templates = [] {
        std::vector<Template> made;
        for (auto [sectors, partitioned] :
             {std::pair{2048u, true}, std::pair{16384u, false}, std::pair{1228800u, false}}) {
            Template t;
            t.disk = MakeTemplate(sectors, partitioned);
            for (const auto& [sector, data] : t.disk->Sectors())
                t.metadata.push_back(sector);
            made.push_back(std::move(t));
        }
        return made;
    }();
    return templates;
}

constexpr int kMaxDepth = 6;
constexpr size_t kMaxEntries = 300;

void Walk(FatVolume& volume, const std::u16string& folder, int depth) {
    if (depth > kMaxDepth)
        return;
    FatFind find;
    FatEntryInfo info;
    std::vector<FatEntryInfo> entries;
    if (volume.FindFirst(folder.empty() ? u"*" : folder + u"\\*", find, info) != FatResult::Ok)
        return;
    do {
        entries.push_back(info);
    } while (entries.size() < kMaxEntries && volume.FindNext(find, info) == FatResult::Ok);
    volume.FindClose(find);
    std::vector<uint8_t> buffer(16384);
    for (const FatEntryInfo& entry : entries) {
        std::u16string path = folder.empty() ? entry.name : folder + u"\\" + entry.name;
        FatEntryInfo again;
        volume.GetInfo(path, again);
        if (entry.attributes & kAttrDirectory) {
            Walk(volume, path, depth + 1);
            continue;
        }
        FatFile file;
        if (volume.Open(path, FatAccess::ReadWrite, FatDisposition::OpenExisting, 0, file) != FatResult::Ok)
            continue;
        uint32_t done = 0;
        volume.Read(file, buffer.data(), static_cast<uint32_t>(buffer.size()), done);
        volume.Seek(file, entry.size / 2);
        volume.Write(file, buffer.data(), 1000, done);
        volume.Close(file);
    }
}

void Exercise(BlockDevice& disk) {
    FatVolume volume(FixedTime);
    if (volume.Mount(disk) != FatResult::Ok)
        return;
    Walk(volume, u"", 0);
    std::vector<uint8_t> data(6000, 0x5A);
    FatFile file;
    if (volume.Open(u"Folder with a long name\\new file written by the fuzzer", FatAccess::ReadWrite,
                    FatDisposition::CreateAlways, 0, file) == FatResult::Ok) {
        uint32_t done = 0;
        volume.Write(file, data.data(), static_cast<uint32_t>(data.size()), done);
        volume.Seek(file, 100);
        volume.SetEndOfFile(file);
        volume.Close(file);
    }
    volume.CreateDirectory(u"NEWDIR");
    volume.Rename(u"README.TXT", u"NEWDIR\\renamed readme");
    volume.Rename(u"Folder with a long name\\SUB", u"NEWDIR\\moved sub");
    volume.Delete(u"a file with a long name.data");
    volume.RemoveDirectory(u"Folder with a long name");
    FatVolumeInfo info;
    volume.GetVolumeInfo(info);
    volume.Unmount();
    if (volume.Mount(disk) == FatResult::Ok)
        Walk(volume, u"", 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    uint8_t mode = data[0] % 4;
    ++data;
    --size;
    if (mode == 0) {
        // A raw image of at most 2 MiB.
        uint32_t sectors = static_cast<uint32_t>(std::min<size_t>(size, 2u << 20) / kSectorSize);
        if (sectors == 0)
            return 0;
        SparseDisk disk(sectors);
        disk.WriteSectors(0, sectors, data);
        Exercise(disk);
        return 0;
    }
    Template& base = Templates()[mode - 1];
    if (!base.disk || base.metadata.empty())
        return 0;
    SparseDisk disk(base.disk->SectorCount());
    disk.Sectors() = base.disk->Sectors();
    // Patches of four bytes: which metadata sector, where in it, the new byte.
    for (size_t at = 0; at + 4 <= size; at += 4) {
        uint32_t sector = base.metadata[data[at] % base.metadata.size()];
        size_t offset = (data[at + 1] | (data[at + 2] << 8)) % kSectorSize;
        disk.Sectors()[sector][offset] = data[at + 3];
    }
    Exercise(disk);
    return 0;
}
