#include "FolderIndex.h"

#include <algorithm>

namespace fat {

namespace {

constexpr uint8_t kDeletedMark = 0xE5;

} // namespace

std::u16string FoldedName(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded)
        c = FoldCase(c);
    return folded;
}

ShortName FoldedShort(const ShortName& name) {
    ShortName folded = name;
    for (uint8_t& c : folded) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<uint8_t>(c - 32);
    }
    return folded;
}

void FolderIndex::NoteSlot(uint32_t index, uint8_t first, bool longEntry, const ShortName& name) {
    if (first == kDeletedMark)
        m_deleted.insert(index);
    else if (!longEntry)
        ++m_shortNames[FoldedShort(name)];
}

void FolderIndex::AddName(const std::u16string& key, uint32_t shortIndex) {
    std::vector<uint32_t>& slots = m_names[key];
    if (std::find(slots.begin(), slots.end(), shortIndex) == slots.end())
        slots.push_back(shortIndex);
}

void FolderIndex::RemoveName(const std::u16string& key, uint32_t shortIndex) {
    auto it = m_names.find(key);
    if (it == m_names.end())
        return;
    std::vector<uint32_t>& slots = it->second;
    slots.erase(std::remove(slots.begin(), slots.end(), shortIndex), slots.end());
    if (slots.empty())
        m_names.erase(it);
}

void FolderIndex::Add(uint32_t shortIndex, Entry entry) {
    if (!entry.longName.empty())
        AddName(FoldedName(entry.longName), shortIndex);
    AddName(FoldedName(DecodeShortName(entry.shortName, 0)), shortIndex);
    m_entries[shortIndex] = std::move(entry);
}

void FolderIndex::Insert(uint32_t shortIndex, Entry entry) {
    ++m_shortNames[FoldedShort(entry.shortName)];
    Add(shortIndex, std::move(entry));
}

bool FolderIndex::Remove(uint32_t firstIndex, uint32_t shortIndex) {
    auto it = m_entries.find(shortIndex);
    if (it == m_entries.end() || it->second.firstIndex != firstIndex)
        return false;
    const Entry& entry = it->second;
    if (!entry.longName.empty())
        RemoveName(FoldedName(entry.longName), shortIndex);
    RemoveName(FoldedName(DecodeShortName(entry.shortName, 0)), shortIndex);
    if (auto name = m_shortNames.find(FoldedShort(entry.shortName)); name != m_shortNames.end())
        if (--name->second == 0)
            m_shortNames.erase(name);
    for (uint32_t index = entry.firstIndex; index <= shortIndex; ++index)
        m_deleted.insert(index);
    m_entries.erase(it);
    return true;
}

void FolderIndex::Use(uint32_t start, uint32_t count) {
    const uint32_t end = start + count;
    const bool reachesTail = end > TailStart();
    m_deleted.erase(m_deleted.lower_bound(start), m_deleted.lower_bound(end));
    if (reachesTail) {
        m_end = end;
        m_deleted.erase(m_deleted.lower_bound(end), m_deleted.end());
    }
}

const FolderIndex::Entry* FolderIndex::Find(std::u16string_view name, uint32_t& shortIndex) const {
    auto it = m_names.find(FoldedName(name));
    if (it == m_names.end() || it->second.empty())
        return nullptr;
    shortIndex = *std::min_element(it->second.begin(), it->second.end());
    return &m_entries.at(shortIndex);
}

bool FolderIndex::IsShortTaken(const ShortName& folded, const ShortName* ignore) const {
    auto it = m_shortNames.find(folded);
    const uint32_t count = it == m_shortNames.end() ? 0 : it->second;
    const uint32_t ignored = ignore != nullptr && FoldedShort(*ignore) == folded ? 1 : 0;
    return count > ignored;
}

std::optional<uint32_t> FolderIndex::FirstFreeRun(uint32_t count) const {
    uint32_t runStart = 0;
    uint32_t runLength = 0;
    for (uint32_t index : m_deleted) {
        if (runLength == 0 || index != runStart + runLength) {
            runStart = index;
            runLength = 0;
        }
        if (++runLength >= count)
            return runStart;
    }
    return std::nullopt;
}

uint32_t FolderIndex::TailStart() const {
    uint32_t start = m_end;
    for (auto it = m_deleted.rbegin(); it != m_deleted.rend() && *it + 1 == start; ++it)
        start = *it;
    return start;
}

} // namespace fat
