#include <atomic>
#include <new>

#include "Bytes.h"
#include "VolumeImpl.h"
#include "fat/FatVolume.h"
#include "fat/Partition.h"

namespace fat {

namespace {

// Mount ids are unique in the process, so a handle of one volume object is refused by another too.
std::atomic<uint32_t> g_lastMountId{0};

uint32_t NewMountId() {
    uint32_t id = ++g_lastMountId;
    return id != 0 ? id : ++g_lastMountId;
}

// Format notes: FAT entry 1 of FAT16 and FAT32 holds the clean-shutdown bit (set while the volume is not in
// use); FAT12 has no room there, and its boot sector's state byte (offset 37) carries the in-use bit 0.
constexpr uint32_t kFat16CleanBit = 0x8000;
constexpr uint32_t kFat32CleanBit = 0x08000000;
constexpr size_t kFat12StateByte = 37;
constexpr uint8_t kFat12InUseBit = 0x01;

} // namespace

FatResult VolumeImpl::Mount(BlockDevice& disk, VolumeLocation where) {
    if (m_mounted)
        Unmount();
    uint32_t end = 0;
    if (where.sectorCount == 0 || !CheckedAdd(where.firstSector, where.sectorCount, end) ||
        end > disk.SectorCount())
        return FatResult::InvalidParameter;
    m_scratch.assign(kSectorSize, 0);
    if (!disk.ReadSectors(where.firstSector, 1, m_scratch.data()))
        return FatResult::DiskError;
    VolumeLayout layout;
    if (!ParseBootSector(m_scratch.data(), where, layout))
        return FatResult::NoFileSystem;

    m_layout = layout;
    m_disk = &disk;
    SectorCache::FatRegion fatRegion;
    fatRegion.activeStart = m_layout.FatStart(m_layout.activeFat);
    fatRegion.sectors = m_layout.fatSectors;
    if (m_layout.mirrorFats) {
        for (uint32_t copy = 0; copy < m_layout.fatCount; ++copy) {
            if (copy != m_layout.activeFat)
                fatRegion.mirrorStarts.push_back(m_layout.FatStart(copy));
        }
    }
    m_cache.Attach(&disk, m_layout.volumeStart, m_layout.VolumeEnd(), fatRegion);
    m_fat.Attach(&m_cache, &disk, &m_layout);
    FatResult result = m_fat.CountFree();
    if (result != FatResult::Ok) {
        m_cache.Detach();
        m_disk = nullptr;
        return result;
    }

    m_fsInfoValid = false;
    m_fsInfoFree = m_fsInfoNext = fsinfo::kUnknown;
    if (m_layout.type == FatType::Fat32 && m_layout.fsInfoSector != 0) {
        const uint8_t* data = nullptr;
        if (m_cache.Read(m_layout.volumeStart + m_layout.fsInfoSector, data) == FatResult::Ok) {
            ConstBytes info(data, kSectorSize);
            if (info.U32(fsinfo::kLeadSignature) == fsinfo::kLeadValue &&
                info.U32(fsinfo::kStructSignature) == fsinfo::kStructValue &&
                info.U32(fsinfo::kTrailSignature) == fsinfo::kTrailValue) {
                m_fsInfoValid = true;
                m_fsInfoFree = info.U32(fsinfo::kFreeCount);
                m_fsInfoNext = info.U32(fsinfo::kNextFree);
                m_fat.SetNextFreeHint(m_fsInfoNext);
            }
        }
    }
    m_zeros.assign(static_cast<size_t>(kZeroRunSectors) * kSectorSize, 0);
    m_readOnly = disk.IsWriteProtected();
    m_mountId = NewMountId();
    m_mounted = true;
    m_markedInUse = false;
    bool inUse = false;
    if (!m_readOnly && ReadInUse(inUse) == FatResult::Ok && inUse) {
        // Left in use: the session that used it ended without its dismount. The mark stays until this
        // mount's own clean dismount; what the repair cannot do leaves the volume as it was.
        m_markedInUse = true;
        Reclaim();
    }
    return FatResult::Ok;
}

FatResult VolumeImpl::Unmount() {
    if (!m_mounted)
        return FatResult::NotReady;
    FatResult result = Flush();
    // The volume is marked clean only once everything else is on the disk.
    if (result == FatResult::Ok && m_markedInUse && !m_readOnly) {
        result = WriteInUse(false);
        if (result == FatResult::Ok && !m_disk->Flush())
            result = FatResult::DiskError;
    }
    m_markedInUse = false;
    m_files.clear();
    m_searches.clear();
    m_nodes.clear();
    m_cache.Detach();
    m_disk = nullptr;
    m_mounted = false;
    m_mountId = 0;
    return result;
}

FatResult VolumeImpl::BeginChange() {
    if (!m_mounted)
        return FatResult::NotReady;
    if (m_readOnly)
        return FatResult::WriteProtected;
    if (m_markedInUse)
        return FatResult::Ok;
    FatResult result = WriteInUse(true);
    if (result == FatResult::Ok)
        m_markedInUse = true;
    return result;
}

FatResult VolumeImpl::ReadInUse(bool& inUse) {
    if (m_layout.type == FatType::Fat12) {
        const uint8_t* data = nullptr;
        FatResult result = m_cache.Read(m_layout.volumeStart, data);
        if (result == FatResult::Ok)
            inUse = (ConstBytes(data, kSectorSize).U8(kFat12StateByte) & kFat12InUseBit) != 0;
        return result;
    }
    uint32_t value = 0;
    FatResult result = m_fat.Get(1, value);
    if (result == FatResult::Ok)
        inUse = (value & (m_layout.type == FatType::Fat16 ? kFat16CleanBit : kFat32CleanBit)) == 0;
    return result;
}

FatResult VolumeImpl::WriteInUse(bool inUse) {
    FatResult result = FatResult::Ok;
    if (m_layout.type == FatType::Fat12) {
        uint8_t* data = nullptr;
        if ((result = m_cache.Modify(m_layout.volumeStart, data)) != FatResult::Ok)
            return result;
        MutableBytes bytes(data, kSectorSize);
        const uint8_t state = bytes.Read().U8(kFat12StateByte);
        bytes.Put8(kFat12StateByte,
                   static_cast<uint8_t>(inUse ? state | kFat12InUseBit : state & ~kFat12InUseBit));
    } else {
        const uint32_t bit = m_layout.type == FatType::Fat16 ? kFat16CleanBit : kFat32CleanBit;
        uint32_t value = 0;
        if ((result = m_fat.Get(1, value)) != FatResult::Ok ||
            (result = m_fat.Set(1, inUse ? value & ~bit : value | bit)) != FatResult::Ok)
            return result;
    }
    return m_cache.Commit();
}

FatResult VolumeImpl::UpdateFsInfo() {
    if (!m_fsInfoValid || m_readOnly)
        return FatResult::Ok;
    uint32_t freeCount = m_fat.FreeCount();
    uint32_t nextFree = m_fat.NextFreeHint();
    // A wrong free count is put right; the hint changes only with the FAT.
    if (freeCount == m_fsInfoFree && (nextFree == m_fsInfoNext || !m_fat.Changed()))
        return FatResult::Ok;
    uint8_t* data = nullptr;
    FatResult result = m_cache.Modify(m_layout.volumeStart + m_layout.fsInfoSector, data);
    if (result != FatResult::Ok)
        return result;
    MutableBytes info(data, kSectorSize);
    info.Put32(fsinfo::kFreeCount, freeCount);
    info.Put32(fsinfo::kNextFree, nextFree);
    m_fsInfoFree = freeCount;
    m_fsInfoNext = nextFree;
    return FatResult::Ok;
}

FatResult VolumeImpl::Finish() {
    FatResult result = UpdateFsInfo();
    if (result != FatResult::Ok)
        return result;
    return m_cache.Commit();
}

FatResult VolumeImpl::Flush() {
    if (!m_mounted)
        return FatResult::NotReady;
    if (m_readOnly)
        return FatResult::Ok;
    FatResult result = Finish();
    if (result != FatResult::Ok)
        return result;
    return m_disk->Flush() ? FatResult::Ok : FatResult::DiskError;
}

FatResult VolumeImpl::GetVolumeInfo(FatVolumeInfo& info) {
    if (!m_mounted)
        return FatResult::NotReady;
    info.type = m_layout.type;
    info.bytesPerCluster = m_layout.bytesPerCluster;
    info.totalClusters = m_layout.clusterCount;
    info.freeClusters = m_fat.FreeCount();
    info.serialNumber = m_layout.serial;
    info.location = VolumeLocation{m_layout.volumeStart, m_layout.totalSectors};
    return FatResult::Ok;
}

FatStamp VolumeImpl::Stamp() const {
    return ToFatStamp(Now(m_clock));
}

// The public face: every call takes the lock, and no exception leaves the library.
namespace {

template <typename Call>
FatResult Guarded(VolumeImpl& impl, Call&& call) {
    try {
        std::lock_guard<std::mutex> lock(impl.Lock());
        return call();
    } catch (const std::bad_alloc&) {
        return FatResult::NotEnoughMemory;
    } catch (...) {
        return FatResult::InternalError;
    }
}

} // namespace

FatVolume::FatVolume(FatClock clock) : m_impl(std::make_unique<VolumeImpl>(std::move(clock))) {}

FatVolume::~FatVolume() {
    Unmount();
}

FatResult FatVolume::Mount(BlockDevice& disk) {
    return Guarded(*m_impl, [&] {
        DiskScan scan;
        FatResult result = ScanDisk(disk, scan);
        if (result != FatResult::Ok)
            return result;
        if (scan.volume.sectorCount == 0)
            return FatResult::NoFileSystem;
        return m_impl->Mount(disk, scan.volume);
    });
}

FatResult FatVolume::Mount(BlockDevice& disk, VolumeLocation where) {
    return Guarded(*m_impl, [&] { return m_impl->Mount(disk, where); });
}

FatResult FatVolume::Unmount() {
    return Guarded(*m_impl, [&] { return m_impl->Unmount(); });
}

bool FatVolume::IsMounted() const {
    std::lock_guard<std::mutex> lock(m_impl->Lock());
    return m_impl->IsMounted();
}

FatResult FatVolume::Flush() {
    return Guarded(*m_impl, [&] { return m_impl->Flush(); });
}

FatResult FatVolume::GetVolumeInfo(FatVolumeInfo& info) {
    return Guarded(*m_impl, [&] { return m_impl->GetVolumeInfo(info); });
}

FatResult FatVolume::Open(std::u16string_view path, FatAccess access, FatDisposition disposition,
                          uint32_t attributes, FatFile& file, FatOpened* opened) {
    return Guarded(*m_impl,
                   [&] { return m_impl->Open(path, access, disposition, attributes, file, opened); });
}

FatResult FatVolume::Close(FatFile file) {
    return Guarded(*m_impl, [&] { return m_impl->Close(file); });
}

FatResult FatVolume::Read(FatFile file, void* buffer, uint32_t count, uint32_t& done) {
    done = 0;
    return Guarded(*m_impl, [&] { return m_impl->Read(file, buffer, count, done); });
}

FatResult FatVolume::Write(FatFile file, const void* buffer, uint32_t count, uint32_t& done) {
    done = 0;
    return Guarded(*m_impl, [&] { return m_impl->Write(file, buffer, count, done); });
}

FatResult FatVolume::Seek(FatFile file, uint32_t position) {
    return Guarded(*m_impl, [&] { return m_impl->Seek(file, position); });
}

FatResult FatVolume::GetPosition(FatFile file, uint32_t& position) {
    return Guarded(*m_impl, [&] { return m_impl->GetPosition(file, position); });
}

FatResult FatVolume::GetSize(FatFile file, uint32_t& size) {
    return Guarded(*m_impl, [&] { return m_impl->GetSize(file, size); });
}

FatResult FatVolume::SetEndOfFile(FatFile file) {
    return Guarded(*m_impl, [&] { return m_impl->SetEndOfFile(file); });
}

FatResult FatVolume::FlushFile(FatFile file) {
    return Guarded(*m_impl, [&] { return m_impl->FlushFile(file); });
}

FatResult FatVolume::GetFileInfo(FatFile file, FatEntryInfo& info) {
    return Guarded(*m_impl, [&] { return m_impl->GetFileInfo(file, info); });
}

FatResult FatVolume::SetFileTimes(FatFile file, const uint64_t* creation, const uint64_t* lastAccess,
                                  const uint64_t* lastWrite) {
    return Guarded(*m_impl, [&] { return m_impl->SetFileTimes(file, creation, lastAccess, lastWrite); });
}

FatResult FatVolume::GetInfo(std::u16string_view path, FatEntryInfo& info) {
    return Guarded(*m_impl, [&] { return m_impl->GetInfo(path, info); });
}

FatResult FatVolume::SetAttributes(std::u16string_view path, uint32_t attributes) {
    return Guarded(*m_impl, [&] { return m_impl->SetAttributes(path, attributes); });
}

FatResult FatVolume::Delete(std::u16string_view path) {
    return Guarded(*m_impl, [&] { return m_impl->Delete(path); });
}

FatResult FatVolume::CreateDirectory(std::u16string_view path) {
    return Guarded(*m_impl, [&] { return m_impl->CreateDirectory(path); });
}

FatResult FatVolume::RemoveDirectory(std::u16string_view path) {
    return Guarded(*m_impl, [&] { return m_impl->RemoveDirectory(path); });
}

FatResult FatVolume::Rename(std::u16string_view from, std::u16string_view to) {
    return Guarded(*m_impl, [&] { return m_impl->Rename(from, to); });
}

FatResult FatVolume::FindFirst(std::u16string_view pattern, FatFind& find, FatEntryInfo& info) {
    return Guarded(*m_impl, [&] { return m_impl->FindFirst(pattern, find, info); });
}

FatResult FatVolume::FindNext(FatFind find, FatEntryInfo& info) {
    return Guarded(*m_impl, [&] { return m_impl->FindNext(find, info); });
}

FatResult FatVolume::FindClose(FatFind find) {
    return Guarded(*m_impl, [&] { return m_impl->FindClose(find); });
}

} // namespace fat
