#pragma once
// What one folder holds, kept in memory while the volume is mounted, so that finding a name, a free run of
// slots or a free short name takes no walk over the folder's slots. It answers as a walk from the folder's
// first slot would: the first entry that a name matches, the first run of deleted slots that fits, the free
// tail. The volume builds it with one walk and keeps it up to date as it adds and removes entries.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Names.h"

namespace fat {

class FolderIndex {
public:
    // A live entry, found by the slot of its short entry.
    struct Entry {
        uint32_t firstIndex = 0; // its first long-name slot, or the short entry's
        uint32_t shortSector = 0;
        uint32_t shortOffset = 0;
        ShortName shortName{};   // as stored
        std::u16string longName; // empty when it has none
    };

    // While building: the slots in order, up to and with the end mark.
    void NoteSlot(uint32_t index, uint8_t first, bool longEntry, const ShortName& name);
    // The folder ends at slot index (its end mark, or its slot count when it has none).
    void NoteEnd(uint32_t index) { m_end = index; }

    // While building: a live entry, whose names find it.
    void Add(uint32_t shortIndex, Entry entry);
    // A new entry: its names find it, and its short name is taken.
    void Insert(uint32_t shortIndex, Entry entry);
    // The entry at these slots goes; they are deleted slots now. False when the index holds no such entry.
    bool Remove(uint32_t firstIndex, uint32_t shortIndex);
    // New slots [start, start + count) are in use; when they reach past the free tail's start, the end
    // mark follows them.
    void Use(uint32_t start, uint32_t count);

    // The entry whose long or short name matches (case-insensitively); the one with the lowest slot.
    const Entry* Find(std::u16string_view name, uint32_t& shortIndex) const;
    size_t Entries() const { return m_entries.size(); }
    // Whether a short slot holds this name (upper case as FoldedShort makes it), the one at ignore aside.
    bool IsShortTaken(const ShortName& folded, const ShortName* ignore) const;
    // The first slot of the first run of deleted slots, before the end, that holds count slots.
    std::optional<uint32_t> FirstFreeRun(uint32_t count) const;
    // Where the free tail starts: the end, or the deleted slots right before it.
    uint32_t TailStart() const;

    uint64_t lastUse = 0;

private:
    void AddName(const std::u16string& key, uint32_t shortIndex);
    void RemoveName(const std::u16string& key, uint32_t shortIndex);

    std::map<uint32_t, Entry> m_entries;
    std::unordered_map<std::u16string, std::vector<uint32_t>> m_names; // folded names -> short slots
    std::map<ShortName, uint32_t> m_shortNames; // every short slot's folded name -> how many slots hold it
    std::set<uint32_t> m_deleted;               // deleted slots before the end
    uint32_t m_end = 0;
};

// A name as every comparison sees it (FoldCase on each unit).
std::u16string FoldedName(std::u16string_view name);
// A short name with its ASCII letters in upper case, as names taken are compared.
ShortName FoldedShort(const ShortName& name);

} // namespace fat
