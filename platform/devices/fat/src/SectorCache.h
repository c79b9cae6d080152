#pragma once
// The metadata cache: FAT, directory and FSInfo sectors of one volume. Changes stay in the cache until
// Commit writes them, in ascending sector order and in merged runs; a changed FAT sector is written to
// the active copy first and then to the mirrors. A caller orders its writes by committing between the
// steps whose order matters (an evicted sector is written early, which only moves it within its step).
// File data never passes through here; the direct data path keeps the cached copies coherent instead.

#include <cstdint>
#include <vector>

#include "fat/BlockDevice.h"
#include "fat/FatTypes.h"

namespace fat {

class SectorCache {
public:
    struct FatRegion {
        uint32_t activeStart = 0;           // disk sector of the active FAT copy
        uint32_t sectors = 0;               // sectors of one copy
        std::vector<uint32_t> mirrorStarts; // the other copies written alongside
    };

    void Attach(BlockDevice* disk, uint32_t volumeStart, uint32_t volumeEnd, FatRegion fat);
    void Detach();

    // The cached sector (read from the disk when needed); the pointer stays valid until the next call.
    FatResult Read(uint32_t sector, const uint8_t*& data);
    // The same, for changing: the sector is written at the next Commit.
    FatResult Modify(uint32_t sector, uint8_t*& data);
    // Writes every changed sector.
    FatResult Commit();
    bool HasChanges() const;

    // Coherence with the direct data path.
    void OverlayRead(uint32_t first, uint32_t count, uint8_t* data) const;
    void NoteWrite(uint32_t first, uint32_t count, const uint8_t* data);

private:
    struct Entry {
        uint32_t sector = 0;
        bool valid = false;
        bool dirty = false;
        uint64_t lastUse = 0;
        std::vector<uint8_t> data;
    };

    FatResult Load(uint32_t sector, Entry*& entry);
    FatResult WriteOut(Entry& entry);
    bool InVolume(uint32_t first, uint32_t count) const;
    bool IsFatSector(uint32_t sector) const;

    static constexpr size_t kCapacity = 64;

    BlockDevice* m_disk = nullptr;
    uint32_t m_volumeStart = 0;
    uint32_t m_volumeEnd = 0;
    FatRegion m_fat;
    std::vector<Entry> m_entries;
    uint64_t m_useCounter = 0;
    Entry* m_lastHit = nullptr;
};

} // namespace fat
