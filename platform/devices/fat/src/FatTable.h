#pragma once
// The file allocation table of a mounted volume: reading and changing entries, following and freeing
// chains, finding free clusters, and the free-cluster count. Every loop over a chain is bounded by the
// volume's cluster count, so a chain with a cycle ends in Corrupt instead of a hang; a link to a free,
// reserved, bad or nonexistent cluster is Corrupt too.

#include <cstdint>

#include "BootSector.h"
#include "SectorCache.h"
#include "fat/FatTypes.h"

namespace fat {

class FatTable {
public:
    void Attach(SectorCache* cache, BlockDevice* disk, const VolumeLayout* layout);

    // Counts the free clusters by reading the whole active FAT.
    FatResult CountFree();
    uint32_t FreeCount() const { return m_freeCount; }
    uint32_t NextFreeHint() const { return m_nextFree; }
    // Whether any entry was changed since Attach.
    bool Changed() const { return m_changed; }
    void SetNextFreeHint(uint32_t cluster);

    FatResult Get(uint32_t cluster, uint32_t& value);
    FatResult Set(uint32_t cluster, uint32_t value);
    uint32_t EndMark() const;
    bool IsEnd(uint32_t value) const;

    // The cluster after cluster in its chain; end is true (and next 0) at the chain's end mark.
    FatResult Next(uint32_t cluster, uint32_t& next, bool& end);
    // The last cluster of a chain.
    FatResult Last(uint32_t first, uint32_t& last);

    // A free cluster, searching from the hint; DiskFull when there is none. Nothing is changed.
    FatResult FindFree(uint32_t& cluster);
    // Marks a free cluster as the end of a chain and, unless previous is 0, links previous to it.
    FatResult Claim(uint32_t cluster, uint32_t previous);
    // Ends a chain at cluster (which keeps its place) and returns the first cluster cut off (0 if none).
    FatResult CutAfter(uint32_t cluster, uint32_t& rest);
    // Frees the chain that starts at first; stops at the end mark or at a link that is not valid.
    FatResult FreeChain(uint32_t first);

private:
    FatResult EntryLocation(uint32_t cluster, uint32_t& sector, uint32_t& offset) const;
    FatResult ReadByte(uint32_t sector, uint32_t offset, uint8_t& value);
    FatResult WriteByte(uint32_t sector, uint32_t offset, uint8_t value);

    SectorCache* m_cache = nullptr;
    BlockDevice* m_disk = nullptr;
    const VolumeLayout* m_layout = nullptr;
    uint32_t m_freeCount = 0;
    uint32_t m_nextFree = 2;
    bool m_changed = false;
};

} // namespace fat
