// Files: opening with the creation dispositions, reading and writing in contiguous runs, sizes.

#include <algorithm>
#include <cstring>

#include "Bytes.h"
#include "VolumeImpl.h"

namespace fat {

namespace {

bool CanRead(FatAccess access) {
    return (static_cast<uint8_t>(access) & static_cast<uint8_t>(FatAccess::Read)) != 0;
}
bool CanWrite(FatAccess access) {
    return (static_cast<uint8_t>(access) & static_cast<uint8_t>(FatAccess::Write)) != 0;
}

constexpr uint32_t kMaxFileSize = 0xFFFFFFFF;

} // namespace

FatResult VolumeImpl::Open(std::u16string_view path, FatAccess access, FatDisposition disposition,
                           uint32_t attributes, FatFile& file, FatOpened* opened) {
    if (!m_mounted)
        return FatResult::NotReady;
    if (disposition < FatDisposition::CreateNew || disposition > FatDisposition::TruncateExisting ||
        static_cast<uint8_t>(access) > static_cast<uint8_t>(FatAccess::ReadWrite))
        return FatResult::InvalidParameter;
    ParsedPath parsed;
    FatResult result = ParsePath(path, parsed);
    if (result != FatResult::Ok)
        return result;
    if (parsed.names.empty())
        return FatResult::Denied;
    uint32_t parent = 0;
    if ((result = WalkFolders(parsed, parsed.names.size() - 1, parent)) != FatResult::Ok)
        return result;
    if (m_files.size() >= kMaxOpenFiles)
        return FatResult::TooManyOpenFiles;

    FoundEntry entry;
    result = Lookup(parent, parsed.names.back(), entry);
    bool truncate =
        disposition == FatDisposition::CreateAlways || disposition == FatDisposition::TruncateExisting;
    FatOpened how = FatOpened::Existing;
    if (result == FatResult::Ok) {
        if (entry.IsDirectory())
            return FatResult::Denied;
        if (disposition == FatDisposition::CreateNew)
            return FatResult::Exists;
        if (disposition == FatDisposition::TruncateExisting && !CanWrite(access))
            return FatResult::Denied;
        if ((CanWrite(access) || truncate) && (entry.Attributes() & kAttrReadOnly))
            return FatResult::Denied;
        if ((CanWrite(access) || truncate) && (result = BeginChange()) != FatResult::Ok)
            return result;
        uint32_t cluster = 0;
        if ((result = EntryCluster(entry.raw, cluster)) != FatResult::Ok)
            return result;
    } else if (result == FatResult::NoFile) {
        if (disposition == FatDisposition::OpenExisting || disposition == FatDisposition::TruncateExisting)
            return FatResult::NoFile;
        if ((result = BeginChange()) != FatResult::Ok)
            return result;
        FatStamp stamp = Stamp();
        RawEntry fields{};
        MutableBytes bytes(fields.data(), fields.size());
        bytes.Put8(dirent::kAttributes, static_cast<uint8_t>((attributes & kAttrChangeable) | kAttrArchive));
        bytes.Put8(dirent::kCreateTenths, stamp.tenths);
        bytes.Put16(dirent::kCreateTime, stamp.time);
        bytes.Put16(dirent::kCreateDate, stamp.date);
        bytes.Put16(dirent::kAccessDate, stamp.date);
        bytes.Put16(dirent::kWriteTime, stamp.time);
        bytes.Put16(dirent::kWriteDate, stamp.date);
        if ((result = AddEntry(parent, parsed.names.back(), fields, entry, nullptr)) != FatResult::Ok)
            return result;
        how = FatOpened::Created;
        truncate = false;
    } else {
        return result;
    }

    auto [nodeIt, fresh] = m_nodes.try_emplace(entry.Key());
    FileNode& node = nodeIt->second;
    if (fresh) {
        node.shortSector = entry.shortSector;
        node.shortOffset = entry.shortOffset;
        node.firstCluster = RawCluster(entry.raw);
        node.size = ConstBytes(entry.raw.data(), entry.raw.size()).U32(dirent::kFileSize);
    }
    ++node.openCount;
    uint32_t id = m_nextHandle++;
    OpenFile& open = m_files[id];
    open.nodeKey = entry.Key();
    open.access = access;
    file = FatFile{m_mountId, id};
    if (opened != nullptr)
        *opened = how;
    if (!truncate)
        return FatResult::Ok;

    // Emptying an existing file; CreateAlways also replaces its attributes.
    if (disposition == FatDisposition::CreateAlways) {
        RawEntry raw;
        if ((result = ReadSlot(node.shortSector, node.shortOffset, raw)) == FatResult::Ok) {
            raw[dirent::kAttributes] = static_cast<uint8_t>((attributes & kAttrChangeable) | kAttrArchive);
            result = WriteSlot(node.shortSector, node.shortOffset, raw);
        }
    }
    if (result == FatResult::Ok)
        result = Shrink(node, 0);
    if (result != FatResult::Ok)
        Close(file);
    return result;
}

FatResult VolumeImpl::FindOpen(FatFile file, OpenFile*& open, FileNode*& node) {
    if (!m_mounted || file.mountId != m_mountId)
        return FatResult::InvalidObject;
    auto it = m_files.find(file.id);
    if (it == m_files.end())
        return FatResult::InvalidObject;
    auto nodeIt = m_nodes.find(it->second.nodeKey);
    if (nodeIt == m_nodes.end())
        return FatResult::InternalError;
    open = &it->second;
    node = &nodeIt->second;
    return FatResult::Ok;
}

FatResult VolumeImpl::Close(FatFile file) {
    OpenFile* open = nullptr;
    FileNode* node = nullptr;
    FatResult result = FindOpen(file, open, node);
    if (result != FatResult::Ok)
        return result;
    uint64_t key = open->nodeKey;
    m_files.erase(file.id);
    if (--node->openCount == 0)
        m_nodes.erase(key);
    return FatResult::Ok;
}

FatResult VolumeImpl::ReadSectorsDirect(uint32_t first, uint32_t count, uint8_t* data) {
    uint32_t dataStart = m_layout.volumeStart + m_layout.dataStart;
    if (first < dataStart || first >= m_layout.VolumeEnd() || count > m_layout.VolumeEnd() - first)
        return FatResult::Corrupt;
    if (!m_disk->ReadSectors(first, count, data))
        return FatResult::DiskError;
    m_cache.OverlayRead(first, count, data);
    return FatResult::Ok;
}

FatResult VolumeImpl::WriteSectorsDirect(uint32_t first, uint32_t count, const uint8_t* data) {
    uint32_t dataStart = m_layout.volumeStart + m_layout.dataStart;
    if (first < dataStart || first >= m_layout.VolumeEnd() || count > m_layout.VolumeEnd() - first)
        return FatResult::Corrupt;
    if (!m_disk->WriteSectors(first, count, data))
        return FatResult::DiskError;
    m_cache.NoteWrite(first, count, data);
    return FatResult::Ok;
}

FatResult VolumeImpl::LearnChain(FileNode& node) {
    if (node.chainKnown)
        return FatResult::Ok;
    if (node.firstCluster == 0) {
        node.chainLength = 0;
        node.chainLast = 0;
        node.chainKnown = true;
        return FatResult::Ok;
    }
    if (!m_layout.IsCluster(node.firstCluster))
        return FatResult::Corrupt;
    uint32_t cluster = node.firstCluster;
    for (uint32_t length = 1; length <= m_layout.clusterCount; ++length) {
        uint32_t next = 0;
        bool end = false;
        FatResult result = m_fat.Next(cluster, next, end);
        if (result != FatResult::Ok)
            return result;
        if (end) {
            node.chainLength = length;
            node.chainLast = cluster;
            node.chainKnown = true;
            return FatResult::Ok;
        }
        cluster = next;
    }
    return FatResult::Corrupt;
}

FatResult VolumeImpl::GrowChain(FileNode& node, uint32_t clusters) {
    FatResult result = LearnChain(node);
    if (result != FatResult::Ok)
        return result;
    // The new clusters are claimed as a chain of their own, and written, before the file's chain is linked
    // to them: a write cut short (also within a sector) leaves them unreferenced, never a chain that runs
    // into a free cluster, which a later claim would give to another file as well.
    uint32_t first = 0;
    uint32_t last = 0;
    uint32_t added = 0;
    while (node.chainLength + added < clusters) {
        uint32_t cluster = 0;
        if ((result = m_fat.FindFree(cluster)) != FatResult::Ok)
            break;
        if ((result = m_fat.Claim(cluster, last)) != FatResult::Ok)
            break;
        if (first == 0)
            first = cluster;
        last = cluster;
        ++added;
    }
    if (added == 0)
        return result;
    if (node.chainLength > 0) {
        FatResult linked = m_cache.Commit();
        if (linked == FatResult::Ok)
            linked = m_fat.Set(node.chainLast, first);
        if (linked != FatResult::Ok)
            return linked;
    } else {
        node.firstCluster = first; // the directory entry links it, once the claims are written
    }
    node.chainLast = last;
    node.chainLength += added;
    return result;
}

FatResult VolumeImpl::TrimChain(FileNode& node) {
    FatResult result = LearnChain(node);
    if (result != FatResult::Ok)
        return result;
    uint64_t needed =
        (static_cast<uint64_t>(node.size) + m_layout.bytesPerCluster - 1) / m_layout.bytesPerCluster;
    return node.chainLength > needed ? Shrink(node, node.size) : FatResult::Ok;
}

FatResult VolumeImpl::ClusterAt(OpenFile& open, FileNode& node, uint32_t ordinal, uint32_t& cluster) {
    if (!m_layout.IsCluster(node.firstCluster))
        return FatResult::Corrupt;
    if (open.walkEpoch != node.epoch || open.walkCluster == 0 || ordinal < open.walkOrdinal) {
        open.walkEpoch = node.epoch;
        open.walkOrdinal = 0;
        open.walkCluster = node.firstCluster;
    }
    // Bounded by the ordinal, which the file's size bounds: a cycle cannot make this loop forever.
    while (open.walkOrdinal < ordinal) {
        uint32_t next = 0;
        bool end = false;
        FatResult result = m_fat.Next(open.walkCluster, next, end);
        if (result != FatResult::Ok)
            return result;
        if (end)
            return FatResult::Corrupt; // the chain is shorter than the file
        open.walkCluster = next;
        ++open.walkOrdinal;
    }
    cluster = open.walkCluster;
    return FatResult::Ok;
}

FatResult VolumeImpl::RunAt(OpenFile& open, FileNode& node, uint32_t position, uint32_t remaining, Run& run) {
    const uint32_t clusterBytes = m_layout.bytesPerCluster;
    uint32_t cluster = 0;
    FatResult result = ClusterAt(open, node, position / clusterBytes, cluster);
    if (result != FatResult::Ok)
        return result;
    const uint32_t inCluster = position % clusterBytes;
    uint64_t runBytes = clusterBytes - inCluster;
    // The walk moves along with the run, so the next run's cluster is one step away.
    uint32_t runCluster = cluster;
    while (runBytes < remaining) {
        uint32_t next = 0;
        bool chainEnd = false;
        if ((result = m_fat.Next(runCluster, next, chainEnd)) != FatResult::Ok)
            return result;
        if (chainEnd || next != runCluster + 1)
            break;
        runCluster = next;
        ++open.walkOrdinal;
        open.walkCluster = next;
        runBytes += clusterBytes;
    }
    run.sector = m_layout.ClusterSector(cluster) + inCluster / kSectorSize;
    run.inSector = inCluster % kSectorSize;
    run.bytes = static_cast<uint32_t>(std::min<uint64_t>(remaining, runBytes));
    return FatResult::Ok;
}

FatResult VolumeImpl::TransferWrite(OpenFile& open, FileNode& node, uint32_t start, const uint8_t* source,
                                    uint32_t length, uint32_t& done) {
    done = 0;
    if (length == 0)
        return FatResult::Ok;
    const uint32_t clusterBytes = m_layout.bytesPerCluster;
    uint64_t end = static_cast<uint64_t>(start) + length;
    uint32_t needed = static_cast<uint32_t>((end + clusterBytes - 1) / clusterBytes);
    FatResult grown = GrowChain(node, needed);
    if (grown == FatResult::DiskFull) {
        uint64_t available = static_cast<uint64_t>(node.chainLength) * clusterBytes;
        if (available <= start)
            return FatResult::DiskFull;
        length = static_cast<uint32_t>(std::min<uint64_t>(length, available - start));
    } else if (grown != FatResult::Ok) {
        return grown;
    }

    uint32_t position = start;
    uint32_t remaining = length;
    while (remaining > 0) {
        Run run;
        FatResult result = RunAt(open, node, position, remaining, run);
        if (result != FatResult::Ok)
            return result;
        uint32_t sector = run.sector;
        uint32_t inSector = run.inSector;
        uint32_t left = run.bytes;
        const uint8_t* from = source != nullptr ? source + (position - start) : nullptr;
        while (left > 0) {
            if (inSector != 0 || left < kSectorSize) {
                // A part of a sector: read, change, write back.
                uint32_t part = std::min(kSectorSize - inSector, left);
                if ((result = ReadSectorsDirect(sector, 1, m_scratch.data())) != FatResult::Ok)
                    return result;
                if (from != nullptr)
                    std::memcpy(m_scratch.data() + inSector, from, part);
                else
                    std::memset(m_scratch.data() + inSector, 0, part);
                if ((result = WriteSectorsDirect(sector, 1, m_scratch.data())) != FatResult::Ok)
                    return result;
                left -= part;
                done += part;
                if (from != nullptr)
                    from += part;
                ++sector;
                inSector = 0;
                continue;
            }
            uint32_t sectors = left / kSectorSize;
            if (from == nullptr)
                sectors = std::min(sectors, kZeroRunSectors);
            if ((result = WriteSectorsDirect(sector, sectors, from != nullptr ? from : m_zeros.data())) !=
                FatResult::Ok)
                return result;
            uint32_t bytes = sectors * kSectorSize;
            left -= bytes;
            done += bytes;
            if (from != nullptr)
                from += bytes;
            sector += sectors;
        }
        position += run.bytes;
        remaining -= run.bytes;
    }
    return grown;
}

FatResult VolumeImpl::TransferRead(OpenFile& open, FileNode& node, uint32_t start, uint8_t* target,
                                   uint32_t length) {
    uint32_t position = start;
    uint32_t remaining = length;
    while (remaining > 0) {
        Run run;
        FatResult result = RunAt(open, node, position, remaining, run);
        if (result != FatResult::Ok)
            return result;
        uint32_t sector = run.sector;
        uint32_t inSector = run.inSector;
        uint32_t left = run.bytes;
        uint8_t* to = target + (position - start);
        while (left > 0) {
            if (inSector != 0 || left < kSectorSize) {
                uint32_t part = std::min(kSectorSize - inSector, left);
                if ((result = ReadSectorsDirect(sector, 1, m_scratch.data())) != FatResult::Ok)
                    return result;
                std::memcpy(to, m_scratch.data() + inSector, part);
                left -= part;
                to += part;
                ++sector;
                inSector = 0;
                continue;
            }
            uint32_t sectors = left / kSectorSize;
            if ((result = ReadSectorsDirect(sector, sectors, to)) != FatResult::Ok)
                return result;
            left -= sectors * kSectorSize;
            to += sectors * kSectorSize;
            sector += sectors;
        }
        position += run.bytes;
        remaining -= run.bytes;
    }
    return FatResult::Ok;
}

FatResult VolumeImpl::StoreNode(FileNode& node, Touch touch) {
    RawEntry raw;
    FatResult result = ReadSlot(node.shortSector, node.shortOffset, raw);
    if (result != FatResult::Ok)
        return result;
    MutableBytes bytes(raw.data(), raw.size());
    SetRawCluster(raw, node.firstCluster);
    bytes.Put32(dirent::kFileSize, node.size);
    FatStamp stamp = Stamp();
    if (touch == Touch::Written) {
        bytes.Put16(dirent::kWriteTime, stamp.time);
        bytes.Put16(dirent::kWriteDate, stamp.date);
        raw[dirent::kAttributes] |= kAttrArchive;
    }
    if (touch != Touch::SizeOnly)
        bytes.Put16(dirent::kAccessDate, stamp.date);
    return WriteSlot(node.shortSector, node.shortOffset, raw);
}

FatResult VolumeImpl::Shrink(FileNode& node, uint32_t size) {
    const uint32_t clusterBytes = m_layout.bytesPerCluster;
    uint32_t keep = static_cast<uint32_t>((static_cast<uint64_t>(size) + clusterBytes - 1) / clusterBytes);
    uint32_t oldFirst = node.firstCluster;
    node.size = size;
    if (keep == 0)
        node.firstCluster = 0;
    ++node.epoch;
    node.chainKnown = false;
    // The entry first, then the chain is cut, then the cut-off part is freed: each step leaves at most
    // unreferenced clusters behind.
    FatResult result = StoreNode(node, Touch::Written);
    if (result != FatResult::Ok || (result = m_cache.Commit()) != FatResult::Ok)
        return result;
    if (!m_layout.IsCluster(oldFirst))
        return Finish();
    uint32_t rest = oldFirst;
    if (keep > 0) {
        uint32_t last = oldFirst;
        for (uint32_t i = 1; i < keep; ++i) {
            uint32_t next = 0;
            bool end = false;
            if ((result = m_fat.Next(last, next, end)) != FatResult::Ok)
                return result;
            if (end)
                return FatResult::Corrupt;
            last = next;
        }
        if ((result = m_fat.CutAfter(last, rest)) != FatResult::Ok ||
            (result = m_cache.Commit()) != FatResult::Ok)
            return result;
    }
    if (rest != 0 && (result = m_fat.FreeChain(rest)) != FatResult::Ok)
        return result;
    return Finish();
}

FatResult VolumeImpl::Read(FatFile file, void* buffer, uint32_t count, uint32_t& done) {
    OpenFile* open = nullptr;
    FileNode* node = nullptr;
    FatResult result = FindOpen(file, open, node);
    if (result != FatResult::Ok)
        return result;
    if (!CanRead(open->access))
        return FatResult::Denied;
    if (count == 0 || open->position >= node->size)
        return FatResult::Ok;
    if (buffer == nullptr)
        return FatResult::InvalidParameter;
    uint32_t length = std::min(count, node->size - open->position);
    if ((result = TransferRead(*open, *node, open->position, static_cast<uint8_t*>(buffer), length)) !=
        FatResult::Ok)
        return result;
    open->position += length;
    done = length;
    // The access date changes at most once a day, so reading costs no directory write otherwise.
    if (!m_readOnly) {
        RawEntry raw;
        if (ReadSlot(node->shortSector, node->shortOffset, raw) == FatResult::Ok &&
            ConstBytes(raw.data(), raw.size()).U16(dirent::kAccessDate) != Stamp().date &&
            StoreNode(*node, Touch::Accessed) == FatResult::Ok)
            m_cache.Commit();
    }
    return FatResult::Ok;
}

FatResult VolumeImpl::Write(FatFile file, const void* buffer, uint32_t count, uint32_t& done) {
    OpenFile* open = nullptr;
    FileNode* node = nullptr;
    FatResult result = FindOpen(file, open, node);
    if (result != FatResult::Ok)
        return result;
    if (!CanWrite(open->access))
        return FatResult::Denied;
    if ((result = BeginChange()) != FatResult::Ok)
        return result;
    if (count == 0)
        return FatResult::Ok;
    if (buffer == nullptr)
        return FatResult::InvalidParameter;
    uint32_t start = open->position;
    uint32_t length = std::min(count, kMaxFileSize - start);
    FatResult limit = length < count ? FatResult::TooLarge : FatResult::Ok;
    if (length == 0)
        return FatResult::TooLarge;

    uint32_t written = 0;
    uint32_t newSize = node->size;
    if (start > node->size) {
        // The gap between the end and the position reads as zeros; a gap that does not fit is given back.
        uint32_t gapDone = 0;
        result = TransferWrite(*open, *node, node->size, nullptr, start - node->size, gapDone);
        if (result != FatResult::Ok) {
            FatResult released = m_cache.Commit();
            if (released == FatResult::Ok)
                released = Shrink(*node, node->size);
            return released != FatResult::Ok ? released : result;
        }
    }
    if (result == FatResult::Ok) {
        result = TransferWrite(*open, *node, start, static_cast<const uint8_t*>(buffer), length, written);
        if (written > 0)
            newSize = std::max(newSize, start + written);
    }
    // The chain before the entry that reaches it: an interrupted write leaves at most unreferenced clusters.
    FatResult committed = m_cache.Commit();
    if (committed == FatResult::Ok) {
        node->size = newSize;
        committed = StoreNode(*node, Touch::Written);
    }
    if (committed == FatResult::Ok)
        committed = Finish();
    // A failed write gives back the clusters it took beyond what it kept.
    if (result != FatResult::Ok && committed == FatResult::Ok)
        committed = TrimChain(*node);
    open->position = start + written;
    done = written;
    if (result != FatResult::Ok)
        return result;
    if (committed != FatResult::Ok)
        return committed;
    return limit;
}

FatResult VolumeImpl::Seek(FatFile file, uint32_t position) {
    OpenFile* open = nullptr;
    FileNode* node = nullptr;
    FatResult result = FindOpen(file, open, node);
    if (result != FatResult::Ok)
        return result;
    open->position = position;
    return FatResult::Ok;
}

FatResult VolumeImpl::GetPosition(FatFile file, uint32_t& position) {
    OpenFile* open = nullptr;
    FileNode* node = nullptr;
    FatResult result = FindOpen(file, open, node);
    if (result != FatResult::Ok)
        return result;
    position = open->position;
    return FatResult::Ok;
}

FatResult VolumeImpl::GetSize(FatFile file, uint32_t& size) {
    OpenFile* open = nullptr;
    FileNode* node = nullptr;
    FatResult result = FindOpen(file, open, node);
    if (result != FatResult::Ok)
        return result;
    size = node->size;
    return FatResult::Ok;
}

FatResult VolumeImpl::SetEndOfFile(FatFile file) {
    OpenFile* open = nullptr;
    FileNode* node = nullptr;
    FatResult result = FindOpen(file, open, node);
    if (result != FatResult::Ok)
        return result;
    if (!CanWrite(open->access))
        return FatResult::Denied;
    if ((result = BeginChange()) != FatResult::Ok)
        return result;
    uint32_t position = open->position;
    if (position == node->size)
        return FatResult::Ok;
    if (position < node->size)
        return Shrink(*node, position);
    // Lengthening with zeros happens entirely or not at all.
    uint32_t added = 0;
    result = TransferWrite(*open, *node, node->size, nullptr, position - node->size, added);
    FatResult committed = m_cache.Commit();
    if (committed != FatResult::Ok)
        return committed;
    if (result != FatResult::Ok) {
        committed = Shrink(*node, node->size);
        return committed != FatResult::Ok ? committed : result;
    }
    node->size = position;
    if ((committed = StoreNode(*node, Touch::Written)) != FatResult::Ok)
        return committed;
    return Finish();
}

FatResult VolumeImpl::FlushFile(FatFile file) {
    OpenFile* open = nullptr;
    FileNode* node = nullptr;
    FatResult result = FindOpen(file, open, node);
    if (result != FatResult::Ok)
        return result;
    return Flush();
}

FatResult VolumeImpl::GetFileInfo(FatFile file, FatEntryInfo& info) {
    OpenFile* open = nullptr;
    FileNode* node = nullptr;
    FatResult result = FindOpen(file, open, node);
    if (result != FatResult::Ok)
        return result;
    FoundEntry entry;
    if ((result = ReadSlot(node->shortSector, node->shortOffset, entry.raw)) != FatResult::Ok)
        return result;
    FillInfo(entry, info);
    info.name.clear();
    info.shortName.clear();
    return FatResult::Ok;
}

} // namespace fat
