// Folders: walking their slots, assembling long names, finding, adding and removing entries.

#include <algorithm>
#include <cstring>

#include "Bytes.h"
#include "VolumeImpl.h"

namespace fat {

namespace {

// Unit positions of a long-name entry's 13 name units.
constexpr size_t kLongUnitOffsets[dirent::kUnitsPerLongEntry] = {1,  3,  5,  7,  9,  14, 16,
                                                                 18, 20, 22, 24, 28, 30};
constexpr uint32_t kMaxLongEntries = 20; // 20 * 13 units hold the longest name

ShortName FoldedShort(const ShortName& name) {
    ShortName folded = name;
    for (uint8_t& c : folded) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<uint8_t>(c - 32);
    }
    return folded;
}

} // namespace

ShortName FoundEntry::Short() const {
    ShortName name;
    std::copy(raw.begin(), raw.begin() + 11, name.begin());
    return name;
}

std::u16string FoundEntry::DisplayName() const {
    return longName.empty() ? DecodeShortName(Short(), raw[dirent::kCase]) : longName;
}

FatResult VolumeImpl::DirCursor::Locate(uint32_t index, uint32_t& sector, uint32_t& offset, bool& past) {
    const VolumeLayout& layout = m_volume.m_layout;
    past = false;
    if (index >= dirent::kMaxEntries) {
        past = true;
        return FatResult::Ok;
    }
    uint32_t byteOffset = index * dirent::kSize;
    if (m_dirCluster == 0) {
        if (layout.type == FatType::Fat32)
            return FatResult::Corrupt;
        if (index >= layout.rootEntries) {
            past = true;
            return FatResult::Ok;
        }
        sector = layout.RootStart() + byteOffset / kSectorSize;
        offset = byteOffset % kSectorSize;
        return FatResult::Ok;
    }
    if (!layout.IsCluster(m_dirCluster))
        return FatResult::Corrupt;
    uint32_t ordinal = byteOffset / layout.bytesPerCluster;
    if (m_cluster == 0 || ordinal < m_ordinal) {
        m_cluster = m_dirCluster;
        m_ordinal = 0;
    }
    while (m_ordinal < ordinal) {
        uint32_t next = 0;
        bool end = false;
        FatResult result = m_volume.m_fat.Next(m_cluster, next, end);
        if (result != FatResult::Ok)
            return result;
        if (end) {
            past = true;
            return FatResult::Ok;
        }
        m_cluster = next;
        ++m_ordinal;
    }
    uint32_t inCluster = byteOffset % layout.bytesPerCluster;
    sector = layout.ClusterSector(m_cluster) + inCluster / kSectorSize;
    offset = inCluster % kSectorSize;
    return FatResult::Ok;
}

FatResult VolumeImpl::DirCursor::Read(uint32_t index, uint32_t& sector, uint32_t& offset, RawEntry& raw,
                                      bool& past) {
    raw = RawEntry{};
    FatResult result = Locate(index, sector, offset, past);
    if (result != FatResult::Ok || past)
        return result;
    return m_volume.ReadSlot(sector, offset, raw);
}

FatResult VolumeImpl::DirCursor::Extent(uint32_t& slots, uint32_t& lastCluster) {
    const VolumeLayout& layout = m_volume.m_layout;
    if (m_dirCluster == 0) {
        if (layout.type == FatType::Fat32)
            return FatResult::Corrupt;
        slots = layout.rootEntries;
        lastCluster = 0;
        return FatResult::Ok;
    }
    if (!layout.IsCluster(m_dirCluster))
        return FatResult::Corrupt;
    uint32_t perCluster = layout.bytesPerCluster / dirent::kSize;
    uint32_t maxClusters = (dirent::kMaxEntries + perCluster - 1) / perCluster;
    uint32_t cluster = m_dirCluster;
    for (uint32_t count = 1; count <= maxClusters; ++count) {
        uint32_t next = 0;
        bool end = false;
        FatResult result = m_volume.m_fat.Next(cluster, next, end);
        if (result != FatResult::Ok)
            return result;
        if (end) {
            slots = std::min(count * perCluster, dirent::kMaxEntries);
            lastCluster = cluster;
            return FatResult::Ok;
        }
        cluster = next;
    }
    return FatResult::Corrupt; // longer than a folder may be, or a cycle
}

FatResult VolumeImpl::ReadSlot(uint32_t sector, uint32_t offset, RawEntry& raw) {
    const uint8_t* data = nullptr;
    FatResult result = m_cache.Read(sector, data);
    if (result != FatResult::Ok)
        return result;
    ConstBytes(data, kSectorSize).Copy(offset, raw.data(), raw.size());
    return FatResult::Ok;
}

FatResult VolumeImpl::WriteSlot(uint32_t sector, uint32_t offset, const RawEntry& raw) {
    uint8_t* data = nullptr;
    FatResult result = m_cache.Modify(sector, data);
    if (result != FatResult::Ok)
        return result;
    MutableBytes(data, kSectorSize).PutBytes(offset, raw.data(), raw.size());
    return FatResult::Ok;
}

uint32_t VolumeImpl::RawCluster(const RawEntry& raw) const {
    ConstBytes bytes(raw.data(), raw.size());
    uint32_t cluster = bytes.U16(dirent::kClusterLow);
    if (m_layout.type == FatType::Fat32)
        cluster |= static_cast<uint32_t>(bytes.U16(dirent::kClusterHigh)) << 16;
    return cluster;
}

void VolumeImpl::SetRawCluster(RawEntry& raw, uint32_t cluster) const {
    MutableBytes bytes(raw.data(), raw.size());
    bytes.Put16(dirent::kClusterLow, static_cast<uint16_t>(cluster));
    bytes.Put16(dirent::kClusterHigh,
                m_layout.type == FatType::Fat32 ? static_cast<uint16_t>(cluster >> 16) : 0);
}

FatResult VolumeImpl::EntryCluster(const RawEntry& raw, uint32_t& cluster) const {
    cluster = RawCluster(raw);
    if (cluster != 0 && !m_layout.IsCluster(cluster))
        return FatResult::Corrupt;
    return FatResult::Ok;
}

FatResult VolumeImpl::FolderOf(const FoundEntry& entry, uint32_t& dirCluster) const {
    uint32_t cluster = RawCluster(entry.raw);
    if (!m_layout.IsCluster(cluster))
        return FatResult::Corrupt;
    dirCluster = cluster;
    return FatResult::Ok;
}

void VolumeImpl::FillInfo(const FoundEntry& entry, FatEntryInfo& info) const {
    ConstBytes bytes(entry.raw.data(), entry.raw.size());
    info.name = entry.DisplayName();
    info.shortName = DecodeShortName(entry.Short(), 0);
    info.attributes = entry.Attributes() & 0x3F;
    info.size = entry.IsDirectory() ? 0 : bytes.U32(dirent::kFileSize);
    info.creationTime = FatStampToTicks(bytes.U16(dirent::kCreateDate), bytes.U16(dirent::kCreateTime),
                                        bytes.U8(dirent::kCreateTenths));
    info.lastAccessTime = FatStampToTicks(bytes.U16(dirent::kAccessDate), 0, 0);
    info.lastWriteTime = FatStampToTicks(bytes.U16(dirent::kWriteDate), bytes.U16(dirent::kWriteTime), 0);
}

FatResult VolumeImpl::ScanDirectory(uint32_t dirCluster, uint32_t start,
                                    const std::function<bool(const FoundEntry&)>& visit,
                                    DirPosition* position) {
    DirCursor cursor(*this, dirCluster, position != nullptr ? *position : DirPosition{});
    FatResult result = ScanSlots(cursor, dirCluster, start, visit);
    if (position != nullptr)
        *position = cursor.Position();
    return result;
}

FatResult VolumeImpl::ScanSlots(DirCursor& cursor, uint32_t dirCluster, uint32_t start,
                                const std::function<bool(const FoundEntry&)>& visit) {
    // Long-name entries come before their short entry, the last part first; they count only when the
    // order numbers run down to 1 without a gap and the checksum matches the short entry.
    char16_t units[kMaxLongEntries * dirent::kUnitsPerLongEntry];
    uint32_t expected = 0;
    uint32_t longCount = 0;
    uint8_t checksum = 0;
    uint32_t longFirst = 0;
    bool longValid = false;
    auto reset = [&] {
        longValid = false;
        expected = 0;
    };
    for (uint32_t index = start;; ++index) {
        uint32_t sector = 0;
        uint32_t offset = 0;
        bool past = false;
        RawEntry raw;
        FatResult result = cursor.Read(index, sector, offset, raw, past);
        if (result != FatResult::Ok || past)
            return result;
        uint8_t first = raw[dirent::kName];
        if (first == dirent::kEnd)
            return FatResult::Ok;
        if (first == dirent::kDeleted) {
            reset();
            continue;
        }
        if (IsLongEntry(raw)) {
            uint32_t order = first & 0x1F;
            if (first & dirent::kLastLongEntry) {
                if (order < 1 || order > kMaxLongEntries) {
                    reset();
                    continue;
                }
                longValid = true;
                longCount = order;
                longFirst = index;
                checksum = raw[dirent::kLfnChecksum];
                std::fill(std::begin(units), std::end(units), char16_t{0});
            } else if (!longValid || order == 0 || order != expected ||
                       raw[dirent::kLfnChecksum] != checksum) {
                reset();
                continue;
            }
            ConstBytes bytes(raw.data(), raw.size());
            for (uint32_t i = 0; i < dirent::kUnitsPerLongEntry; ++i)
                units[(order - 1) * dirent::kUnitsPerLongEntry + i] = bytes.U16(kLongUnitOffsets[i]);
            expected = order - 1;
            continue;
        }
        if ((raw[dirent::kAttributes] & kAttrVolumeLabel) || first == '.') {
            reset();
            continue;
        }
        FoundEntry entry;
        entry.dirCluster = dirCluster;
        entry.shortIndex = index;
        entry.shortSector = sector;
        entry.shortOffset = offset;
        entry.raw = raw;
        entry.firstIndex = index;
        if (longValid && expected == 0 && checksum == ShortNameChecksum(entry.Short())) {
            uint32_t length = 0;
            uint32_t limit = longCount * dirent::kUnitsPerLongEntry;
            while (length < limit && units[length] != 0)
                ++length;
            if (length > 0 && length <= kMaxLongName) {
                entry.longName.assign(units, length);
                entry.firstIndex = longFirst;
            }
        }
        reset();
        if (visit(entry))
            return FatResult::Ok;
    }
}

FatResult VolumeImpl::Lookup(uint32_t dirCluster, std::u16string_view name, FoundEntry& found) {
    bool hit = false;
    FatResult result = ScanDirectory(dirCluster, 0, [&](const FoundEntry& entry) {
        if ((!entry.longName.empty() && NamesEqual(entry.longName, name)) ||
            NamesEqual(DecodeShortName(entry.Short(), 0), name)) {
            found = entry;
            hit = true;
        }
        return hit;
    });
    if (result != FatResult::Ok)
        return result;
    return hit ? FatResult::Ok : FatResult::NoFile;
}

FatResult VolumeImpl::WriteZeroCluster(uint32_t cluster, const RawEntry* dot, const RawEntry* dotDot) {
    uint32_t sector = m_layout.ClusterSector(cluster);
    if (dot == nullptr)
        return WriteSectorsDirect(sector, m_layout.sectorsPerCluster, m_zeros.data());
    std::vector<uint8_t> data(m_layout.bytesPerCluster, 0);
    MutableBytes bytes(data.data(), data.size());
    bytes.PutBytes(0, dot->data(), dot->size());
    bytes.PutBytes(dirent::kSize, dotDot->data(), dotDot->size());
    return WriteSectorsDirect(sector, m_layout.sectorsPerCluster, data.data());
}

FatResult VolumeImpl::ExtendDirectory(uint32_t dirCluster, uint32_t lastCluster, uint32_t clusters) {
    if (dirCluster == 0)
        return FatResult::DirectoryFull;
    FatResult result = FatResult::Ok;
    // Each new cluster is zeroed before the chain reaches it, so the folder never shows stale slots. The
    // new clusters are claimed as a chain of their own, and written, before the folder's last cluster is
    // linked to them: a write cut short (also within a sector) leaves them unreferenced, never a folder
    // whose chain runs into a free cluster.
    uint32_t first = 0;
    uint32_t last = 0;
    for (uint32_t i = 0; i < clusters; ++i) {
        uint32_t cluster = 0;
        if ((result = m_fat.FindFree(cluster)) != FatResult::Ok)
            break;
        if ((result = WriteZeroCluster(cluster, nullptr, nullptr)) != FatResult::Ok)
            break;
        if ((result = m_fat.Claim(cluster, last)) != FatResult::Ok)
            break;
        if (first == 0)
            first = cluster;
        last = cluster;
    }
    if (first != 0) {
        FatResult linked = m_cache.Commit();
        if (linked == FatResult::Ok)
            linked = m_fat.Set(lastCluster, first);
        if (linked != FatResult::Ok)
            return linked;
    }
    FatResult committed = Finish();
    return result != FatResult::Ok ? result : committed;
}

FatResult VolumeImpl::AddEntry(uint32_t dirCluster, const std::u16string& name, const RawEntry& fields,
                               FoundEntry& made, const FoundEntry* ignore) {
    ShortName exact{};
    bool exactFits = ExactShortName(name, exact);
    uint32_t longSlots =
        static_cast<uint32_t>((name.size() + dirent::kUnitsPerLongEntry - 1) / dirent::kUnitsPerLongEntry);
    uint32_t needs[2] = {1, longSlots + 1};
    uint32_t fits[2] = {0, 0};
    bool fitFound[2] = {false, false};

    // One pass over the slots: the short names in use, the first free runs, where the free tail starts.
    std::vector<ShortName> taken;
    DirCursor cursor(*this, dirCluster);
    uint32_t runStart = 0;
    uint32_t runLength = 0;
    uint32_t tailStart = 0;
    for (uint32_t index = 0;; ++index) {
        uint32_t sector = 0;
        uint32_t offset = 0;
        bool past = false;
        RawEntry raw;
        FatResult result = cursor.Read(index, sector, offset, raw, past);
        if (result != FatResult::Ok)
            return result;
        if (past || raw[0] == dirent::kEnd) {
            tailStart = runLength > 0 ? runStart : index;
            break;
        }
        if (raw[0] == dirent::kDeleted) {
            if (runLength++ == 0)
                runStart = index;
            for (int k = 0; k < 2; ++k) {
                if (!fitFound[k] && runLength >= needs[k]) {
                    fitFound[k] = true;
                    fits[k] = runStart;
                }
            }
            continue;
        }
        runLength = 0;
        if (IsLongEntry(raw))
            continue;
        if (ignore != nullptr && ignore->shortSector == sector && ignore->shortOffset == offset)
            continue;
        ShortName existing;
        std::copy(raw.begin(), raw.begin() + 11, existing.begin());
        taken.push_back(FoldedShort(existing));
    }
    std::sort(taken.begin(), taken.end());
    auto isTaken = [&taken](const ShortName& candidate) {
        return std::binary_search(taken.begin(), taken.end(), candidate);
    };

    ShortName shortName{};
    bool withLongName = true;
    if (exactFits && !isTaken(exact)) {
        shortName = exact;
        withLongName = false;
    } else {
        AliasBasis basis = MakeAliasBasis(name);
        if (!basis.lossy && !isTaken(basis.name)) {
            shortName = basis.name;
        } else {
            bool found = false;
            for (uint32_t n = 1; n <= 999999 && !found; ++n) {
                shortName = WithNumericTail(basis, n);
                found = !isTaken(shortName);
            }
            if (!found)
                return FatResult::DirectoryFull;
        }
    }
    int kind = withLongName ? 1 : 0;
    uint32_t need = needs[kind];

    uint32_t slots = 0;
    uint32_t lastCluster = 0;
    FatResult result = cursor.Extent(slots, lastCluster);
    if (result != FatResult::Ok)
        return result;
    uint32_t start = 0;
    if (fitFound[kind]) {
        start = fits[kind];
    } else {
        start = tailStart;
        uint32_t end = 0;
        if (!CheckedAdd(start, need, end) || end > dirent::kMaxEntries)
            return FatResult::DirectoryFull;
        if (end > slots) {
            uint32_t perCluster = m_layout.bytesPerCluster / dirent::kSize;
            uint32_t clusters = (end - slots + perCluster - 1) / perCluster;
            if ((result = ExtendDirectory(dirCluster, lastCluster, clusters)) != FatResult::Ok)
                return result;
            slots += clusters * perCluster;
        }
    }

    uint8_t checksum = ShortNameChecksum(shortName);
    RawEntry shortEntry = fields;
    std::copy(shortName.begin(), shortName.end(), shortEntry.begin());
    shortEntry[dirent::kCase] = 0;
    for (uint32_t i = 0; i < need; ++i) {
        uint32_t sector = 0;
        uint32_t offset = 0;
        bool past = false;
        if ((result = cursor.Locate(start + i, sector, offset, past)) != FatResult::Ok)
            return result;
        if (past)
            return FatResult::InternalError;
        if (i + 1 == need) {
            if ((result = WriteSlot(sector, offset, shortEntry)) != FatResult::Ok)
                return result;
            made = FoundEntry{};
            made.dirCluster = dirCluster;
            made.firstIndex = start;
            made.shortIndex = start + i;
            made.shortSector = sector;
            made.shortOffset = offset;
            made.raw = shortEntry;
            if (withLongName)
                made.longName = name;
            break;
        }
        // Long-name slots in order: the last part (order longSlots, marked 0x40) first.
        uint32_t order = longSlots - i;
        RawEntry longEntry{};
        MutableBytes bytes(longEntry.data(), longEntry.size());
        bytes.Put8(0, static_cast<uint8_t>(order | (i == 0 ? dirent::kLastLongEntry : 0)));
        bytes.Put8(dirent::kAttributes, dirent::kLongNameAttributes);
        bytes.Put8(dirent::kLfnChecksum, checksum);
        for (uint32_t u = 0; u < dirent::kUnitsPerLongEntry; ++u) {
            size_t at = (order - 1) * dirent::kUnitsPerLongEntry + u;
            uint16_t unit = at < name.size() ? name[at] : (at == name.size() ? 0x0000 : 0xFFFF);
            bytes.Put16(kLongUnitOffsets[u], unit);
        }
        if ((result = WriteSlot(sector, offset, longEntry)) != FatResult::Ok)
            return result;
    }
    // Entries written into the free tail must be followed by an end mark, whatever the tail held.
    if (start + need > tailStart && start + need < slots) {
        uint32_t sector = 0;
        uint32_t offset = 0;
        bool past = false;
        RawEntry next;
        if ((result = cursor.Read(start + need, sector, offset, next, past)) != FatResult::Ok)
            return result;
        if (!past && next[0] != dirent::kEnd &&
            (result = WriteSlot(sector, offset, RawEntry{})) != FatResult::Ok)
            return result;
    }
    return m_cache.Commit();
}

FatResult VolumeImpl::RemoveEntry(const FoundEntry& entry) {
    DirCursor cursor(*this, entry.dirCluster);
    auto mark = [&](uint32_t index) {
        uint32_t sector = 0;
        uint32_t offset = 0;
        bool past = false;
        FatResult result = cursor.Locate(index, sector, offset, past);
        if (result != FatResult::Ok)
            return result;
        if (past)
            return FatResult::Corrupt;
        uint8_t* data = nullptr;
        if ((result = m_cache.Modify(sector, data)) != FatResult::Ok)
            return result;
        MutableBytes(data, kSectorSize).Put8(offset, dirent::kDeleted);
        return FatResult::Ok;
    };
    // The short entry goes first and on its own: a removal cut short (also within a sector) leaves
    // long-name slots without their short entry, which readers skip, never the short entry without its
    // long name, which would show the file under its alias.
    FatResult result = mark(entry.shortIndex);
    if (result != FatResult::Ok || entry.firstIndex == entry.shortIndex)
        return result != FatResult::Ok ? result : m_cache.Commit();
    if ((result = m_cache.Commit()) != FatResult::Ok)
        return result;
    for (uint32_t index = entry.firstIndex; index < entry.shortIndex; ++index)
        if ((result = mark(index)) != FatResult::Ok)
            return result;
    return m_cache.Commit();
}

} // namespace fat
