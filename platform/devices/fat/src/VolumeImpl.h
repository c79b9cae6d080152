#pragma once
// The state of a mounted volume and the operations behind FatVolume. Directory handling lives in
// Directory.cpp, the path operations in Entries.cpp, file I/O in FileIo.cpp, mounting in Volume.cpp, the
// repair of a volume left in use in Reclaim.cpp. Callers hold the lock; nothing here locks.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "BootSector.h"
#include "FatTable.h"
#include "FatTime.h"
#include "FolderIndex.h"
#include "Names.h"
#include "SectorCache.h"
#include "fat/BlockDevice.h"
#include "fat/FatTypes.h"

namespace fat {

// Format notes: a short directory entry is 32 bytes: name 0-10, attributes 11, case bits 12, creation
// 10 ms units 13, creation time 14 and date 16, access date 18, high cluster word 20 (FAT32), write
// time 22 and date 24, low cluster word 26, size 28. A long-name entry (attributes 0x0F) holds 13 UTF-16
// units at 1, 14 and 28, its order number at 0 (0x40 marks the last) and the short name's checksum at 13.
namespace dirent {
constexpr size_t kSize = 32;
constexpr size_t kName = 0;
constexpr size_t kAttributes = 11;
constexpr size_t kCase = 12;
constexpr size_t kCreateTenths = 13;
constexpr size_t kCreateTime = 14;
constexpr size_t kCreateDate = 16;
constexpr size_t kAccessDate = 18;
constexpr size_t kClusterHigh = 20;
constexpr size_t kWriteTime = 22;
constexpr size_t kWriteDate = 24;
constexpr size_t kClusterLow = 26;
constexpr size_t kFileSize = 28;
constexpr size_t kLfnChecksum = 13;
constexpr uint8_t kLongNameAttributes = 0x0F;
constexpr uint8_t kDeleted = 0xE5;
constexpr uint8_t kEnd = 0x00;
constexpr uint8_t kLastLongEntry = 0x40;
constexpr uint32_t kUnitsPerLongEntry = 13;
constexpr uint32_t kMaxEntries = 65536; // slots a folder may have
} // namespace dirent

using RawEntry = std::array<uint8_t, dirent::kSize>;

inline bool IsLongEntry(const RawEntry& raw) {
    return (raw[dirent::kAttributes] & 0x3F) == dirent::kLongNameAttributes;
}

// A live entry of a folder, as a scan found it.
struct FoundEntry {
    uint32_t dirCluster = 0; // first cluster of the folder; 0 for the fixed root of FAT12/16
    uint32_t firstIndex = 0; // first slot: its first long-name entry, or the short entry
    uint32_t shortIndex = 0;
    uint32_t shortSector = 0;
    uint32_t shortOffset = 0;
    RawEntry raw{};
    std::u16string longName; // empty when the entry has none

    uint8_t Attributes() const { return raw[dirent::kAttributes]; }
    bool IsDirectory() const { return (Attributes() & kAttrDirectory) != 0; }
    ShortName Short() const;
    std::u16string DisplayName() const;
    uint64_t Key() const { return (static_cast<uint64_t>(shortSector) << 16) | shortOffset; }
};

// One open file, shared by all handles on it.
struct FileNode {
    uint32_t shortSector = 0;
    uint32_t shortOffset = 0;
    uint32_t firstCluster = 0;
    uint32_t size = 0;
    uint32_t openCount = 0;
    uint32_t epoch = 0;      // changes whenever clusters leave the chain
    bool chainKnown = false; // chainLength and chainLast describe the chain
    uint32_t chainLength = 0;
    uint32_t chainLast = 0;
};

struct OpenFile {
    uint64_t nodeKey = 0;
    FatAccess access = FatAccess::None;
    uint32_t position = 0;
    // Where the last walk along the chain ended, valid while epoch matches the node's.
    uint32_t walkEpoch = 0;
    uint32_t walkOrdinal = 0;
    uint32_t walkCluster = 0;
};

// Where a walk along a folder's chain stands: cluster is the folder's cluster number ordinal.
struct DirPosition {
    uint32_t ordinal = 0;
    uint32_t cluster = 0;
};

struct OpenSearch {
    uint32_t dirCluster = 0;
    uint32_t nextIndex = 0;
    DirPosition position; // resumes the walk without starting over from the folder's first cluster
    std::u16string pattern;
    bool wildcards = false;
};

class VolumeImpl {
public:
    explicit VolumeImpl(FatClock clock) : m_clock(std::move(clock)) {}

    std::mutex& Lock() { return m_lock; }
    // Forgets what the folder indexes hold; they are built anew from the disk when next needed.
    void ForgetFolders() noexcept { m_folders.clear(); }

    // Volume.cpp
    FatResult Mount(BlockDevice& disk, VolumeLocation where);
    FatResult Unmount();
    bool IsMounted() const { return m_mounted; }
    FatResult Flush();
    FatResult GetVolumeInfo(FatVolumeInfo& info);

    // FileIo.cpp
    FatResult Open(std::u16string_view path, FatAccess access, FatDisposition disposition,
                   uint32_t attributes, FatFile& file, FatOpened* opened);
    FatResult Close(FatFile file);
    FatResult Read(FatFile file, void* buffer, uint32_t count, uint32_t& done);
    FatResult Write(FatFile file, const void* buffer, uint32_t count, uint32_t& done);
    FatResult Seek(FatFile file, uint32_t position);
    FatResult GetPosition(FatFile file, uint32_t& position);
    FatResult GetSize(FatFile file, uint32_t& size);
    FatResult SetEndOfFile(FatFile file);
    FatResult FlushFile(FatFile file);
    FatResult GetFileInfo(FatFile file, FatEntryInfo& info);
    // FileTimes.cpp
    FatResult SetFileTimes(FatFile file, const uint64_t* creation, const uint64_t* lastAccess,
                           const uint64_t* lastWrite);

    // Entries.cpp
    FatResult GetInfo(std::u16string_view path, FatEntryInfo& info);
    FatResult SetAttributes(std::u16string_view path, uint32_t attributes);
    FatResult Delete(std::u16string_view path);
    FatResult CreateDirectory(std::u16string_view path);
    FatResult RemoveDirectory(std::u16string_view path);
    FatResult Rename(std::u16string_view from, std::u16string_view to);
    FatResult FindFirst(std::u16string_view pattern, FatFind& find, FatEntryInfo& info);
    FatResult FindNext(FatFind find, FatEntryInfo& info);
    FatResult FindClose(FatFind find);

private:
    // Volume.cpp: state checks, FSInfo, finishing a change.
    // Refuses a change of a volume that is not mounted or read-only; before the first change of a mount it
    // records on the volume that it is in use.
    FatResult BeginChange();
    // The in-use mark: the FAT's clean-shutdown bit (FAT16/32) or bit 0 of the boot sector's state byte
    // (FAT12), written at once.
    FatResult ReadInUse(bool& inUse);
    FatResult WriteInUse(bool inUse);
    FatResult UpdateFsInfo();
    // Writes what a call left in the cache, FSInfo included.
    FatResult Finish();
    FatStamp Stamp() const;
    uint32_t RootCluster() const { return m_layout.type == FatType::Fat32 ? m_layout.rootCluster : 0; }

    // Directory.cpp
    // Sector and offset of a folder's slot; past is true when the folder has no such slot.
    class DirCursor {
    public:
        DirCursor(VolumeImpl& volume, uint32_t dirCluster, DirPosition start = {})
            : m_volume(volume), m_dirCluster(dirCluster), m_ordinal(start.ordinal), m_cluster(start.cluster) {
        }
        DirPosition Position() const { return DirPosition{m_ordinal, m_cluster}; }
        FatResult Locate(uint32_t index, uint32_t& sector, uint32_t& offset, bool& past);
        // Locate, and the slot's bytes (zeros when past).
        FatResult Read(uint32_t index, uint32_t& sector, uint32_t& offset, RawEntry& raw, bool& past);
        // The folder's last cluster and its slot count, walking to the end of its chain.
        FatResult Extent(uint32_t& slots, uint32_t& lastCluster);

    private:
        VolumeImpl& m_volume;
        uint32_t m_dirCluster;
        uint32_t m_ordinal = 0;
        uint32_t m_cluster = 0;
    };
    // Calls visit for each live entry from slot start on ("." and "..", labels and deleted slots
    // skipped); visit returns true to stop. position (optional) starts the walk and gets where it ended.
    FatResult ScanDirectory(uint32_t dirCluster, uint32_t start,
                            const std::function<bool(const FoundEntry&)>& visit,
                            DirPosition* position = nullptr);
    // observe (optional) sees every slot that the walk reads, the end mark included.
    FatResult ScanSlots(DirCursor& cursor, uint32_t dirCluster, uint32_t start,
                        const std::function<bool(const FoundEntry&)>& visit,
                        const std::function<void(uint32_t, const RawEntry&)>* observe = nullptr);
    // The first entry of the folder that the name matches (long or short name), through its index.
    FatResult Lookup(uint32_t dirCluster, std::u16string_view name, FoundEntry& found);
    // Adds an entry named name with the fields of entry (bytes 11 on) to the folder; ignore (optional)
    // is an entry about to go, whose short name does not count as taken.
    FatResult AddEntry(uint32_t dirCluster, const std::u16string& name, const RawEntry& fields,
                       FoundEntry& made, const FoundEntry* ignore);
    FatResult PlaceEntry(FolderIndex& index, uint32_t dirCluster, const std::u16string& name,
                         const RawEntry& fields, FoundEntry& made, const FoundEntry* ignore);
    FatResult RemoveEntry(const FoundEntry& entry);
    // The folder's index, built by one walk over its slots when there is none.
    FatResult IndexOf(uint32_t dirCluster, FolderIndex*& index);
    FatResult BuildIndex(uint32_t dirCluster, FolderIndex& index);
    // Drops the folder's index: its slots changed in a way that it does not follow, or the folder is gone.
    void ForgetFolder(uint32_t dirCluster) { m_folders.erase(dirCluster); }
    FatResult ExtendDirectory(uint32_t dirCluster, uint32_t lastCluster, uint32_t clusters);
    FatResult ReadSlot(uint32_t sector, uint32_t offset, RawEntry& raw);
    FatResult WriteSlot(uint32_t sector, uint32_t offset, const RawEntry& raw);
    // The first cluster of an entry; Corrupt when it is not on the volume (0 stays 0).
    FatResult EntryCluster(const RawEntry& raw, uint32_t& cluster) const;
    uint32_t RawCluster(const RawEntry& raw) const;
    void SetRawCluster(RawEntry& raw, uint32_t cluster) const;
    // The folder an entry stands for, as a dirCluster value.
    FatResult FolderOf(const FoundEntry& entry, uint32_t& dirCluster) const;
    void FillInfo(const FoundEntry& entry, FatEntryInfo& info) const;
    FatResult WriteZeroCluster(uint32_t cluster, const RawEntry* dot, const RawEntry* dotDot);

    // Reclaim.cpp: what a volume left in use may hold that no completed call leaves. Changes nothing when
    // the volume's structures are damaged.
    FatResult Reclaim();
    FatResult FindOrphanSlots(uint32_t dirCluster, std::vector<std::pair<uint32_t, uint32_t>>& slots);
    FatResult SyncFatCopies();

    // Entries.cpp: paths.
    struct ParsedPath {
        std::vector<std::u16string> names;
    };
    FatResult ParsePath(std::u16string_view path, ParsedPath& parsed) const;
    // Walks the first count names as folders; visited gets every folder passed through, root included.
    FatResult WalkFolders(const ParsedPath& parsed, size_t count, uint32_t& dirCluster,
                          std::vector<uint32_t>* visited = nullptr);
    // Finds the entry of a path; isRoot when the path names the root.
    FatResult Resolve(std::u16string_view path, FoundEntry& entry, bool& isRoot);
    bool IsOpen(const FoundEntry& entry) const { return m_nodes.count(entry.Key()) != 0; }

    // FileIo.cpp
    FatResult FindOpen(FatFile file, OpenFile*& open, FileNode*& node);
    FatResult ClusterAt(OpenFile& open, FileNode& node, uint32_t ordinal, uint32_t& cluster);
    // Where the bytes of the file at position lie on the disk: as many of the next remaining bytes as
    // clusters that follow each other on the disk hold.
    struct Run {
        uint32_t sector = 0;   // the sector that holds the byte at position
        uint32_t inSector = 0; // the byte's offset in that sector
        uint32_t bytes = 0;    // at most remaining
    };
    FatResult RunAt(OpenFile& open, FileNode& node, uint32_t position, uint32_t remaining, Run& run);
    FatResult LearnChain(FileNode& node);
    // Makes the chain hold at least clusters clusters; DiskFull when it could not, with what it got kept.
    FatResult GrowChain(FileNode& node, uint32_t clusters);
    // Moves file bytes; a null source writes zeros.
    FatResult TransferWrite(OpenFile& open, FileNode& node, uint32_t start, const uint8_t* source,
                            uint32_t length, uint32_t& done);
    FatResult TransferRead(OpenFile& open, FileNode& node, uint32_t start, uint8_t* target, uint32_t length);
    FatResult WriteSectorsDirect(uint32_t first, uint32_t count, const uint8_t* data);
    FatResult ReadSectorsDirect(uint32_t first, uint32_t count, uint8_t* data);
    // Writes the node's size and first cluster (and, when written, the write time and archive bit).
    enum class Touch : uint8_t { SizeOnly, Written, Accessed };
    FatResult StoreNode(FileNode& node, Touch touch);
    // Frees the clusters of the chain beyond the file's size.
    FatResult TrimChain(FileNode& node);
    // Shortens the file to size (size 0 also drops its first cluster).
    FatResult Shrink(FileNode& node, uint32_t size);

    std::mutex m_lock;
    FatClock m_clock;
    bool m_mounted = false;
    bool m_readOnly = false;
    bool m_markedInUse = false; // the volume records that it is in use, until a clean unmount
    uint32_t m_mountId = 0;
    BlockDevice* m_disk = nullptr;
    VolumeLayout m_layout;
    SectorCache m_cache;
    FatTable m_fat;
    uint32_t m_fsInfoFree = fsinfo::kUnknown; // what the FSInfo sector holds now
    uint32_t m_fsInfoNext = fsinfo::kUnknown;
    bool m_fsInfoValid = false;
    std::map<uint64_t, FileNode> m_nodes;
    std::map<uint32_t, OpenFile> m_files;
    std::map<uint32_t, OpenSearch> m_searches;
    std::unordered_map<uint32_t, FolderIndex> m_folders; // by dirCluster, the most recently used ones
    uint64_t m_folderUses = 0;
    uint32_t m_nextHandle = 1;
    std::vector<uint8_t> m_scratch; // one sector
    std::vector<uint8_t> m_zeros;   // a run of zero sectors
};

constexpr uint32_t kMaxOpenFiles = 1024;
constexpr uint32_t kMaxOpenSearches = 1024;
constexpr uint32_t kZeroRunSectors = 128;
constexpr size_t kMaxFolderIndexes = 64;
constexpr size_t kMaxIndexedEntries = 131072; // live entries of all indexes, a few MiB

} // namespace fat
