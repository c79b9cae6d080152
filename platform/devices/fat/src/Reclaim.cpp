// The repair of a volume that was left in use: a session that ended without its dismount (a killed
// process, a power cut) may have left what the engine's write order allows and no completed call leaves:
// clusters that no entry's chain reaches, a file's chain longer than its size, long-name slots without
// their short entry, FAT copies of which only the first got the last change, a stale free count. Every
// folder is walked first; when anything on the way is damaged, nothing is changed.

#include <algorithm>

#include "Bytes.h"
#include "VolumeImpl.h"

namespace fat {

namespace {

constexpr uint32_t kCompareRunSectors = 64;

} // namespace

FatResult VolumeImpl::FindOrphanSlots(uint32_t dirCluster,
                                      std::vector<std::pair<uint32_t, uint32_t>>& slots) {
    // A long name counts only as a run that counts down to 1 and is followed at once by a short entry of
    // its checksum; the slots of any other run belong to nothing.
    std::vector<std::pair<uint32_t, uint32_t>> pending;
    uint32_t expected = 0;
    uint8_t checksum = 0;
    auto orphan = [&] {
        slots.insert(slots.end(), pending.begin(), pending.end());
        pending.clear();
        expected = 0;
    };
    DirCursor cursor(*this, dirCluster);
    for (uint32_t index = 0;; ++index) {
        uint32_t sector = 0;
        uint32_t offset = 0;
        bool past = false;
        RawEntry raw;
        FatResult result = cursor.Read(index, sector, offset, raw, past);
        if (result != FatResult::Ok)
            return result;
        if (past || raw[dirent::kName] == dirent::kEnd) {
            orphan();
            return FatResult::Ok;
        }
        const uint8_t first = raw[dirent::kName];
        if (first == dirent::kDeleted) {
            orphan();
            continue;
        }
        if (IsLongEntry(raw)) {
            const uint32_t order = first & 0x1F;
            if (first & dirent::kLastLongEntry) {
                orphan();
                expected = order;
                checksum = raw[dirent::kLfnChecksum];
            } else if (pending.empty() || order != expected || raw[dirent::kLfnChecksum] != checksum) {
                orphan();
                slots.emplace_back(sector, offset);
                continue;
            }
            pending.emplace_back(sector, offset);
            expected = order == 0 ? 0 : order - 1;
            if (order == 0)
                orphan();
            continue;
        }
        ShortName name;
        std::copy(raw.begin(), raw.begin() + 11, name.begin());
        if (!pending.empty() && (expected != 0 || (raw[dirent::kAttributes] & kAttrVolumeLabel) ||
                                 ShortNameChecksum(name) != checksum))
            orphan();
        pending.clear();
        expected = 0;
    }
}

FatResult VolumeImpl::SyncFatCopies() {
    if (!m_layout.mirrorFats || m_layout.fatCount < 2)
        return FatResult::Ok;
    std::vector<uint8_t> active(static_cast<size_t>(kCompareRunSectors) * kSectorSize);
    std::vector<uint8_t> mirror(active.size());
    const uint32_t activeStart = m_layout.FatStart(m_layout.activeFat);
    for (uint32_t first = 0; first < m_layout.fatSectors; first += kCompareRunSectors) {
        const uint32_t count = std::min(kCompareRunSectors, m_layout.fatSectors - first);
        if (!m_disk->ReadSectors(activeStart + first, count, active.data()))
            return FatResult::DiskError;
        m_cache.OverlayRead(activeStart + first, count, active.data());
        for (uint32_t copy = 0; copy < m_layout.fatCount; ++copy) {
            if (copy == m_layout.activeFat)
                continue;
            const uint32_t copyStart = m_layout.FatStart(copy) + first;
            if (!m_disk->ReadSectors(copyStart, count, mirror.data()))
                return FatResult::DiskError;
            for (uint32_t i = 0; i < count; ++i) {
                const size_t at = static_cast<size_t>(i) * kSectorSize;
                if (std::equal(active.begin() + at, active.begin() + at + kSectorSize, mirror.begin() + at))
                    continue;
                if (!m_disk->WriteSectors(copyStart + i, 1, active.data() + at))
                    return FatResult::DiskError;
            }
        }
    }
    return FatResult::Ok;
}

FatResult VolumeImpl::Reclaim() {
    const uint32_t maxCluster = m_layout.MaxCluster();
    const uint32_t clusterBytes = m_layout.bytesPerCluster;
    // How many entries' chains reach each cluster, counted up to 2.
    std::vector<uint8_t> reached(static_cast<size_t>(maxCluster) + 1, 0);
    // Walks a chain from first, counting its clusters, up to a cluster that another chain reached before
    // (whose walk went on from there). length gets the clusters walked; shared whether it met such a one.
    auto walk = [&](uint32_t first, uint32_t& length, bool& shared) {
        length = 0;
        shared = false;
        uint32_t cluster = first;
        for (uint32_t steps = 0; steps <= m_layout.clusterCount; ++steps) {
            if (reached[cluster] != 0) {
                reached[cluster] = 2;
                shared = true;
                return FatResult::Ok;
            }
            reached[cluster] = 1;
            ++length;
            uint32_t next = 0;
            bool end = false;
            FatResult result = m_fat.Next(cluster, next, end);
            if (result != FatResult::Ok || end)
                return result;
            cluster = next;
        }
        return FatResult::Corrupt;
    };

    // The files whose chain goes on beyond what their size needs: the first cluster and how many to keep.
    std::vector<std::pair<uint32_t, uint32_t>> longChains;
    std::vector<std::pair<uint32_t, uint32_t>> orphans;
    std::vector<uint32_t> folders{RootCluster()};
    if (m_layout.type == FatType::Fat32) {
        uint32_t length = 0;
        bool shared = false;
        if (!m_layout.IsCluster(RootCluster()))
            return FatResult::Corrupt;
        if (FatResult result = walk(RootCluster(), length, shared); result != FatResult::Ok)
            return result;
    }
    while (!folders.empty()) {
        const uint32_t folder = folders.back();
        folders.pop_back();
        FatResult problem = FatResult::Ok;
        FatResult result = ScanDirectory(folder, 0, [&](const FoundEntry& entry) {
            const uint32_t first = RawCluster(entry.raw);
            if (first == 0)
                return false;
            if (!m_layout.IsCluster(first)) {
                problem = FatResult::Corrupt;
                return true;
            }
            // A folder reached a second time (an interrupted move left it under two names) is walked once.
            const bool seen = reached[first] != 0;
            uint32_t length = 0;
            bool shared = false;
            if ((problem = walk(first, length, shared)) != FatResult::Ok)
                return true;
            if (entry.IsDirectory()) {
                if (!seen)
                    folders.push_back(first);
                return false;
            }
            const uint32_t size = ConstBytes(entry.raw.data(), entry.raw.size()).U32(dirent::kFileSize);
            const uint32_t needed = std::max<uint32_t>(
                1, static_cast<uint32_t>((uint64_t{size} + clusterBytes - 1) / clusterBytes));
            if (!shared && length > needed)
                longChains.emplace_back(first, needed);
            return false;
        });
        if (result == FatResult::Ok)
            result = problem;
        if (result == FatResult::Ok)
            result = FindOrphanSlots(folder, orphans);
        if (result != FatResult::Ok)
            return result;
    }

    // The walk met no damage: the repair may begin. The copies first, so that every later change reaches
    // them all alike.
    FatResult result = SyncFatCopies();
    if (result != FatResult::Ok)
        return result;
    for (const auto& [sector, offset] : orphans) {
        uint8_t* data = nullptr;
        if ((result = m_cache.Modify(sector, data)) != FatResult::Ok)
            return result;
        MutableBytes(data, kSectorSize).Put8(offset, dirent::kDeleted);
    }
    if ((result = m_cache.Commit()) != FatResult::Ok)
        return result;

    // Each long chain is cut where the file's size ends, unless another chain reaches into its tail; the
    // cut comes before the tail is freed, so an interruption leaves at most unreferenced clusters.
    for (const auto& [first, keep] : longChains) {
        uint32_t last = first;
        for (uint32_t i = 1; i < keep; ++i) {
            bool end = false;
            if ((result = m_fat.Next(last, last, end)) != FatResult::Ok)
                return result;
            if (end)
                return FatResult::InternalError; // the walk found the chain longer
        }
        std::vector<uint32_t> tail;
        bool alone = true;
        uint32_t cluster = last;
        for (bool end = false; !end;) {
            if ((result = m_fat.Next(cluster, cluster, end)) != FatResult::Ok)
                return result;
            if (end)
                break;
            alone = alone && reached[cluster] == 1;
            tail.push_back(cluster);
        }
        if (!alone)
            continue;
        if ((result = m_fat.Set(last, m_fat.EndMark())) != FatResult::Ok)
            return result;
        for (uint32_t cut : tail)
            reached[cut] = 0;
    }
    if ((result = m_cache.Commit()) != FatResult::Ok)
        return result;

    // Every cluster in a chain that no entry reaches goes back to the free clusters; bad and reserved
    // values stay.
    for (uint32_t cluster = 2; cluster <= maxCluster; ++cluster) {
        if (reached[cluster] != 0)
            continue;
        uint32_t value = 0;
        if ((result = m_fat.Get(cluster, value)) != FatResult::Ok)
            return result;
        if (value != 0 && (m_layout.IsCluster(value) || m_fat.IsEnd(value)) &&
            (result = m_fat.Set(cluster, 0)) != FatResult::Ok)
            return result;
    }
    if ((result = m_cache.Commit()) != FatResult::Ok || (result = m_fat.CountFree()) != FatResult::Ok)
        return result;
    return Finish();
}

} // namespace fat
