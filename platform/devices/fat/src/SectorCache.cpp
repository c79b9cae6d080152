#include "SectorCache.h"

#include <algorithm>
#include <cstring>

namespace fat {

void SectorCache::Attach(BlockDevice* disk, uint32_t volumeStart, uint32_t volumeEnd, FatRegion fat) {
    m_disk = disk;
    m_volumeStart = volumeStart;
    m_volumeEnd = volumeEnd;
    m_fat = std::move(fat);
    m_entries.assign(kCapacity, Entry{});
    for (Entry& entry : m_entries)
        entry.data.assign(kSectorSize, 0);
    m_useCounter = 0;
    m_lastHit = nullptr;
}

void SectorCache::Detach() {
    m_disk = nullptr;
    m_entries.clear();
    m_lastHit = nullptr;
}

bool SectorCache::InVolume(uint32_t first, uint32_t count) const {
    return first >= m_volumeStart && first < m_volumeEnd && count <= m_volumeEnd - first;
}

bool SectorCache::IsFatSector(uint32_t sector) const {
    return sector >= m_fat.activeStart && sector - m_fat.activeStart < m_fat.sectors;
}

FatResult SectorCache::WriteOut(Entry& entry) {
    if (!m_disk->WriteSectors(entry.sector, 1, entry.data.data()))
        return FatResult::DiskError;
    if (IsFatSector(entry.sector)) {
        uint32_t offset = entry.sector - m_fat.activeStart;
        for (uint32_t mirror : m_fat.mirrorStarts) {
            if (!m_disk->WriteSectors(mirror + offset, 1, entry.data.data()))
                return FatResult::DiskError;
        }
    }
    entry.dirty = false;
    return FatResult::Ok;
}

FatResult SectorCache::Load(uint32_t sector, Entry*& found) {
    if (m_disk == nullptr)
        return FatResult::NotReady;
    if (!InVolume(sector, 1))
        return FatResult::Corrupt;
    if (m_lastHit != nullptr && m_lastHit->valid && m_lastHit->sector == sector) {
        m_lastHit->lastUse = ++m_useCounter;
        found = m_lastHit;
        return FatResult::Ok;
    }
    Entry* victim = nullptr;
    for (Entry& entry : m_entries) {
        if (entry.valid && entry.sector == sector) {
            entry.lastUse = ++m_useCounter;
            found = m_lastHit = &entry;
            return FatResult::Ok;
        }
        if (victim == nullptr || !entry.valid || (victim->valid && entry.lastUse < victim->lastUse))
            victim = &entry;
    }
    if (victim->valid && victim->dirty) {
        FatResult result = WriteOut(*victim);
        if (result != FatResult::Ok)
            return result;
    }
    victim->valid = false;
    if (!m_disk->ReadSectors(sector, 1, victim->data.data()))
        return FatResult::DiskError;
    victim->sector = sector;
    victim->valid = true;
    victim->dirty = false;
    victim->lastUse = ++m_useCounter;
    found = m_lastHit = victim;
    return FatResult::Ok;
}

FatResult SectorCache::Read(uint32_t sector, const uint8_t*& data) {
    Entry* entry = nullptr;
    FatResult result = Load(sector, entry);
    if (result != FatResult::Ok)
        return result;
    data = entry->data.data();
    return FatResult::Ok;
}

FatResult SectorCache::Modify(uint32_t sector, uint8_t*& data) {
    Entry* entry = nullptr;
    FatResult result = Load(sector, entry);
    if (result != FatResult::Ok)
        return result;
    entry->dirty = true;
    data = entry->data.data();
    return FatResult::Ok;
}

bool SectorCache::HasChanges() const {
    return std::any_of(m_entries.begin(), m_entries.end(), [](const Entry& e) { return e.valid && e.dirty; });
}

FatResult SectorCache::Commit() {
    std::vector<Entry*> dirty;
    for (Entry& entry : m_entries) {
        if (entry.valid && entry.dirty)
            dirty.push_back(&entry);
    }
    if (dirty.empty())
        return FatResult::Ok;
    std::sort(dirty.begin(), dirty.end(),
              [](const Entry* a, const Entry* b) { return a->sector < b->sector; });
    std::vector<uint8_t> run;
    // Writes the dirty sectors [begin, end) of one contiguous run at base + their offset.
    auto writeRun = [&](size_t begin, size_t end, uint32_t target) {
        run.resize((end - begin) * kSectorSize);
        for (size_t i = begin; i < end; ++i)
            std::memcpy(run.data() + (i - begin) * kSectorSize, dirty[i]->data.data(), kSectorSize);
        return m_disk->WriteSectors(target, static_cast<uint32_t>(end - begin), run.data());
    };
    // Runs of consecutive sectors; a run never mixes FAT and other sectors.
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 0; i < dirty.size();) {
        size_t j = i + 1;
        while (j < dirty.size() && dirty[j]->sector == dirty[j - 1]->sector + 1 &&
               IsFatSector(dirty[j]->sector) == IsFatSector(dirty[i]->sector))
            ++j;
        runs.emplace_back(i, j);
        i = j;
    }
    for (const auto& [begin, end] : runs) {
        if (!writeRun(begin, end, dirty[begin]->sector))
            return FatResult::DiskError;
    }
    for (uint32_t mirror : m_fat.mirrorStarts) {
        for (const auto& [begin, end] : runs) {
            if (!IsFatSector(dirty[begin]->sector))
                continue;
            if (!writeRun(begin, end, mirror + (dirty[begin]->sector - m_fat.activeStart)))
                return FatResult::DiskError;
        }
    }
    for (Entry* entry : dirty)
        entry->dirty = false;
    return FatResult::Ok;
}

void SectorCache::OverlayRead(uint32_t first, uint32_t count, uint8_t* data) const {
    for (const Entry& entry : m_entries) {
        if (entry.valid && entry.sector >= first && entry.sector - first < count)
            std::memcpy(data + static_cast<size_t>(entry.sector - first) * kSectorSize, entry.data.data(),
                        kSectorSize);
    }
}

void SectorCache::NoteWrite(uint32_t first, uint32_t count, const uint8_t* data) {
    for (Entry& entry : m_entries) {
        if (entry.valid && entry.sector >= first && entry.sector - first < count) {
            std::memcpy(entry.data.data(), data + static_cast<size_t>(entry.sector - first) * kSectorSize,
                        kSectorSize);
            entry.dirty = false;
        }
    }
}

} // namespace fat
