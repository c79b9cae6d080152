#include "FatTable.h"

#include <vector>

#include "Bytes.h"

namespace fat {

namespace {

// Format notes: FAT12 packs two 12-bit entries into three bytes (an odd entry takes the high 12 bits of
// its two bytes), so an entry may span two sectors; FAT32 entries use 28 bits, the top 4 are kept as found.
constexpr uint32_t kFat32Mask = 0x0FFFFFFF;
constexpr uint32_t kCountRunSectors = 64;

uint32_t EntryBytesTimesTwo(FatType type) {
    switch (type) {
    case FatType::Fat12:
        return 3;
    case FatType::Fat16:
        return 4;
    case FatType::Fat32:
        return 8;
    }
    return 8;
}

} // namespace

void FatTable::Attach(SectorCache* cache, BlockDevice* disk, const VolumeLayout* layout) {
    m_cache = cache;
    m_disk = disk;
    m_layout = layout;
    m_freeCount = 0;
    m_nextFree = 2;
    m_changed = false;
}

void FatTable::SetNextFreeHint(uint32_t cluster) {
    m_nextFree = m_layout->IsCluster(cluster) ? cluster : 2;
}

uint32_t FatTable::EndMark() const {
    switch (m_layout->type) {
    case FatType::Fat12:
        return 0xFFF;
    case FatType::Fat16:
        return 0xFFFF;
    case FatType::Fat32:
        return 0x0FFFFFFF;
    }
    return 0x0FFFFFFF;
}

bool FatTable::IsEnd(uint32_t value) const {
    switch (m_layout->type) {
    case FatType::Fat12:
        return value >= 0xFF8;
    case FatType::Fat16:
        return value >= 0xFFF8;
    case FatType::Fat32:
        return value >= 0x0FFFFFF8;
    }
    return true;
}

FatResult FatTable::EntryLocation(uint32_t cluster, uint32_t& sector, uint32_t& offset) const {
    if (cluster > m_layout->MaxCluster())
        return FatResult::Corrupt;
    uint64_t byteOffset = static_cast<uint64_t>(cluster) * EntryBytesTimesTwo(m_layout->type) / 2;
    if (byteOffset >= static_cast<uint64_t>(m_layout->fatSectors) * kSectorSize)
        return FatResult::Corrupt;
    sector = m_layout->volumeStart + m_layout->reservedSectors + m_layout->activeFat * m_layout->fatSectors +
             static_cast<uint32_t>(byteOffset / kSectorSize);
    offset = static_cast<uint32_t>(byteOffset % kSectorSize);
    return FatResult::Ok;
}

FatResult FatTable::ReadByte(uint32_t sector, uint32_t offset, uint8_t& value) {
    const uint8_t* data = nullptr;
    FatResult result = m_cache->Read(sector, data);
    if (result != FatResult::Ok)
        return result;
    value = ConstBytes(data, kSectorSize).U8(offset);
    return FatResult::Ok;
}

FatResult FatTable::WriteByte(uint32_t sector, uint32_t offset, uint8_t value) {
    uint8_t* data = nullptr;
    FatResult result = m_cache->Modify(sector, data);
    if (result != FatResult::Ok)
        return result;
    MutableBytes(data, kSectorSize).Put8(offset, value);
    return FatResult::Ok;
}

FatResult FatTable::Get(uint32_t cluster, uint32_t& value) {
    uint32_t sector = 0;
    uint32_t offset = 0;
    FatResult result = EntryLocation(cluster, sector, offset);
    if (result != FatResult::Ok)
        return result;
    if (m_layout->type == FatType::Fat12) {
        // The second byte may lie in the next sector.
        uint32_t sector2 = offset + 1 == kSectorSize ? sector + 1 : sector;
        uint32_t offset2 = (offset + 1) % kSectorSize;
        uint8_t low = 0;
        uint8_t high = 0;
        if ((result = ReadByte(sector, offset, low)) != FatResult::Ok ||
            (result = ReadByte(sector2, offset2, high)) != FatResult::Ok)
            return result;
        uint32_t pair = low | (static_cast<uint32_t>(high) << 8);
        value = (cluster & 1) ? pair >> 4 : pair & 0xFFF;
        return FatResult::Ok;
    }
    const uint8_t* data = nullptr;
    if ((result = m_cache->Read(sector, data)) != FatResult::Ok)
        return result;
    ConstBytes bytes(data, kSectorSize);
    value = m_layout->type == FatType::Fat16 ? bytes.U16(offset) : bytes.U32(offset) & kFat32Mask;
    return FatResult::Ok;
}

FatResult FatTable::Set(uint32_t cluster, uint32_t value) {
    m_changed = true;
    uint32_t sector = 0;
    uint32_t offset = 0;
    FatResult result = EntryLocation(cluster, sector, offset);
    if (result != FatResult::Ok)
        return result;
    if (m_layout->type == FatType::Fat12) {
        uint32_t sector2 = offset + 1 == kSectorSize ? sector + 1 : sector;
        uint32_t offset2 = (offset + 1) % kSectorSize;
        uint8_t low = 0;
        uint8_t high = 0;
        if ((result = ReadByte(sector, offset, low)) != FatResult::Ok ||
            (result = ReadByte(sector2, offset2, high)) != FatResult::Ok)
            return result;
        uint32_t pair = low | (static_cast<uint32_t>(high) << 8);
        if (cluster & 1)
            pair = (pair & 0x000F) | ((value & 0xFFF) << 4);
        else
            pair = (pair & 0xF000) | (value & 0xFFF);
        if ((result = WriteByte(sector, offset, static_cast<uint8_t>(pair))) != FatResult::Ok)
            return result;
        return WriteByte(sector2, offset2, static_cast<uint8_t>(pair >> 8));
    }
    uint8_t* data = nullptr;
    if ((result = m_cache->Modify(sector, data)) != FatResult::Ok)
        return result;
    MutableBytes bytes(data, kSectorSize);
    if (m_layout->type == FatType::Fat16) {
        bytes.Put16(offset, static_cast<uint16_t>(value));
    } else {
        uint32_t kept = bytes.Read().U32(offset) & ~kFat32Mask;
        bytes.Put32(offset, kept | (value & kFat32Mask));
    }
    return FatResult::Ok;
}

FatResult FatTable::CountFree() {
    uint32_t maxCluster = m_layout->MaxCluster();
    uint32_t freeCount = 0;
    if (m_layout->type == FatType::Fat12) {
        for (uint32_t cluster = 2; cluster <= maxCluster; ++cluster) {
            uint32_t value = 0;
            FatResult result = Get(cluster, value);
            if (result != FatResult::Ok)
                return result;
            freeCount += value == 0;
        }
        m_freeCount = freeCount;
        return FatResult::Ok;
    }
    // FAT16 and FAT32 entries never span sectors: read the FAT in long runs.
    uint32_t entrySize = m_layout->type == FatType::Fat16 ? 2 : 4;
    uint32_t perSector = kSectorSize / entrySize;
    uint32_t lastSector = (maxCluster / perSector); // relative sector holding the last entry
    uint32_t fatStart =
        m_layout->volumeStart + m_layout->reservedSectors + m_layout->activeFat * m_layout->fatSectors;
    std::vector<uint8_t> buffer(static_cast<size_t>(kCountRunSectors) * kSectorSize);
    for (uint32_t first = 0; first <= lastSector; first += kCountRunSectors) {
        uint32_t count =
            lastSector - first + 1 < kCountRunSectors ? lastSector - first + 1 : kCountRunSectors;
        if (!m_disk->ReadSectors(fatStart + first, count, buffer.data()))
            return FatResult::DiskError;
        m_cache->OverlayRead(fatStart + first, count, buffer.data());
        ConstBytes bytes(buffer.data(), static_cast<size_t>(count) * kSectorSize);
        uint32_t firstCluster = first * perSector;
        for (uint32_t i = 0; i < count * perSector; ++i) {
            uint32_t cluster = firstCluster + i;
            if (cluster < 2 || cluster > maxCluster)
                continue;
            uint32_t value = entrySize == 2 ? bytes.U16(i * 2) : (bytes.U32(i * 4) & kFat32Mask);
            freeCount += value == 0;
        }
    }
    m_freeCount = freeCount;
    return FatResult::Ok;
}

FatResult FatTable::Next(uint32_t cluster, uint32_t& next, bool& end) {
    uint32_t value = 0;
    FatResult result = Get(cluster, value);
    if (result != FatResult::Ok)
        return result;
    if (IsEnd(value)) {
        end = true;
        next = 0;
        return FatResult::Ok;
    }
    if (!m_layout->IsCluster(value))
        return FatResult::Corrupt;
    end = false;
    next = value;
    return FatResult::Ok;
}

FatResult FatTable::Last(uint32_t first, uint32_t& last) {
    if (!m_layout->IsCluster(first))
        return FatResult::Corrupt;
    uint32_t cluster = first;
    for (uint32_t steps = 0; steps <= m_layout->clusterCount; ++steps) {
        uint32_t next = 0;
        bool end = false;
        FatResult result = Next(cluster, next, end);
        if (result != FatResult::Ok)
            return result;
        if (end) {
            last = cluster;
            return FatResult::Ok;
        }
        cluster = next;
    }
    return FatResult::Corrupt; // longer than the volume: a cycle
}

FatResult FatTable::FindFree(uint32_t& cluster) {
    if (m_freeCount == 0)
        return FatResult::DiskFull;
    uint32_t maxCluster = m_layout->MaxCluster();
    uint32_t candidate = m_layout->IsCluster(m_nextFree) ? m_nextFree : 2;
    for (uint32_t steps = 0; steps < m_layout->clusterCount; ++steps) {
        uint32_t value = 0;
        FatResult result = Get(candidate, value);
        if (result != FatResult::Ok)
            return result;
        if (value == 0) {
            cluster = candidate;
            return FatResult::Ok;
        }
        candidate = candidate == maxCluster ? 2 : candidate + 1;
    }
    m_freeCount = 0;
    return FatResult::DiskFull;
}

FatResult FatTable::Claim(uint32_t cluster, uint32_t previous) {
    FatResult result = Set(cluster, EndMark());
    if (result != FatResult::Ok)
        return result;
    if (previous != 0 && (result = Set(previous, cluster)) != FatResult::Ok)
        return result;
    if (m_freeCount > 0)
        --m_freeCount;
    m_nextFree = cluster == m_layout->MaxCluster() ? 2 : cluster + 1;
    return FatResult::Ok;
}

FatResult FatTable::CutAfter(uint32_t cluster, uint32_t& rest) {
    uint32_t next = 0;
    bool end = false;
    FatResult result = Next(cluster, next, end);
    if (result != FatResult::Ok)
        return result;
    rest = end ? 0 : next;
    if (end)
        return FatResult::Ok;
    return Set(cluster, EndMark());
}

FatResult FatTable::FreeChain(uint32_t first) {
    uint32_t cluster = first;
    // A chain can hold each cluster once; a cycle comes back to a cluster freed already and stops there.
    for (uint32_t steps = 0; steps <= m_layout->clusterCount && m_layout->IsCluster(cluster); ++steps) {
        uint32_t value = 0;
        FatResult result = Get(cluster, value);
        if (result != FatResult::Ok)
            return result;
        if (value == 0)
            break;
        if ((result = Set(cluster, 0)) != FatResult::Ok)
            return result;
        ++m_freeCount;
        if (IsEnd(value))
            break;
        cluster = value;
    }
    return FatResult::Ok;
}

} // namespace fat
