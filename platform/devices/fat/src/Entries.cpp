// Paths and the operations on entries: queries, attributes, delete, folders, rename, searches.

#include <algorithm>

#include "Bytes.h"
#include "VolumeImpl.h"

namespace fat {

namespace {

bool IsValidPatternChar(char16_t c) {
    if (c < 0x20)
        return false;
    switch (c) {
    case u'"':
    case u'/':
    case u':':
    case u'<':
    case u'>':
    case u'\\':
    case u'|':
        return false;
    default:
        return true;
    }
}

RawEntry MakeDotEntry(const char* name, uint32_t cluster, const FatStamp& stamp, FatType type) {
    RawEntry raw{};
    MutableBytes bytes(raw.data(), raw.size());
    bytes.Fill(dirent::kName, ' ', 11);
    bytes.PutBytes(dirent::kName, name, name[1] == '.' ? 2 : 1);
    bytes.Put8(dirent::kAttributes, kAttrDirectory);
    bytes.Put8(dirent::kCreateTenths, stamp.tenths);
    bytes.Put16(dirent::kCreateTime, stamp.time);
    bytes.Put16(dirent::kCreateDate, stamp.date);
    bytes.Put16(dirent::kAccessDate, stamp.date);
    bytes.Put16(dirent::kWriteTime, stamp.time);
    bytes.Put16(dirent::kWriteDate, stamp.date);
    bytes.Put16(dirent::kClusterLow, static_cast<uint16_t>(cluster));
    if (type == FatType::Fat32)
        bytes.Put16(dirent::kClusterHigh, static_cast<uint16_t>(cluster >> 16));
    return raw;
}

} // namespace

FatResult VolumeImpl::ParsePath(std::u16string_view path, ParsedPath& parsed) const {
    parsed.names.clear();
    size_t at = 0;
    if (at < path.size() && path[at] == u'\\')
        ++at;
    while (at < path.size()) {
        size_t end = path.find(u'\\', at);
        std::u16string_view name =
            path.substr(at, end == std::u16string_view::npos ? std::u16string_view::npos : end - at);
        if (name.empty() || name == u"." || name == u"..")
            return FatResult::InvalidName;
        std::u16string normal;
        if (!NormalizeLongName(name, normal))
            return FatResult::InvalidName;
        parsed.names.push_back(std::move(normal));
        if (end == std::u16string_view::npos)
            break;
        at = end + 1;
    }
    return FatResult::Ok;
}

FatResult VolumeImpl::WalkFolders(const ParsedPath& parsed, size_t count, uint32_t& dirCluster,
                                  std::vector<uint32_t>* visited) {
    uint32_t current = RootCluster();
    if (visited != nullptr)
        visited->push_back(current);
    for (size_t i = 0; i < count; ++i) {
        FoundEntry entry;
        FatResult result = Lookup(current, parsed.names[i], entry);
        if (result == FatResult::NoFile)
            return FatResult::NoPath;
        if (result != FatResult::Ok)
            return result;
        if (!entry.IsDirectory())
            return FatResult::NoPath;
        if ((result = FolderOf(entry, current)) != FatResult::Ok)
            return result;
        if (visited != nullptr)
            visited->push_back(current);
    }
    dirCluster = current;
    return FatResult::Ok;
}

FatResult VolumeImpl::Resolve(std::u16string_view path, FoundEntry& entry, bool& isRoot) {
    ParsedPath parsed;
    FatResult result = ParsePath(path, parsed);
    if (result != FatResult::Ok)
        return result;
    isRoot = parsed.names.empty();
    if (isRoot)
        return FatResult::Ok;
    uint32_t dirCluster = 0;
    if ((result = WalkFolders(parsed, parsed.names.size() - 1, dirCluster)) != FatResult::Ok)
        return result;
    return Lookup(dirCluster, parsed.names.back(), entry);
}

FatResult VolumeImpl::GetInfo(std::u16string_view path, FatEntryInfo& info) {
    if (!m_mounted)
        return FatResult::NotReady;
    FoundEntry entry;
    bool isRoot = false;
    FatResult result = Resolve(path, entry, isRoot);
    if (result != FatResult::Ok)
        return result;
    if (isRoot) {
        info = FatEntryInfo{};
        info.attributes = kAttrDirectory;
        return FatResult::Ok;
    }
    FillInfo(entry, info);
    return FatResult::Ok;
}

FatResult VolumeImpl::SetAttributes(std::u16string_view path, uint32_t attributes) {
    FatResult result = BeginChange();
    if (result != FatResult::Ok)
        return result;
    FoundEntry entry;
    bool isRoot = false;
    if ((result = Resolve(path, entry, isRoot)) != FatResult::Ok)
        return result;
    if (isRoot)
        return FatResult::Denied;
    RawEntry raw = entry.raw;
    raw[dirent::kAttributes] =
        static_cast<uint8_t>((entry.Attributes() & ~kAttrChangeable) | (attributes & kAttrChangeable));
    if ((result = WriteSlot(entry.shortSector, entry.shortOffset, raw)) != FatResult::Ok)
        return result;
    return m_cache.Commit();
}

FatResult VolumeImpl::Delete(std::u16string_view path) {
    FatResult result = BeginChange();
    if (result != FatResult::Ok)
        return result;
    FoundEntry entry;
    bool isRoot = false;
    if ((result = Resolve(path, entry, isRoot)) != FatResult::Ok)
        return result;
    if (isRoot || entry.IsDirectory() || (entry.Attributes() & kAttrReadOnly))
        return FatResult::Denied;
    if (IsOpen(entry))
        return FatResult::Locked;
    uint32_t cluster = 0;
    bool clusterValid = EntryCluster(entry.raw, cluster) == FatResult::Ok;
    // The entry goes first: an interrupted delete leaves unreferenced clusters, never a damaged file.
    if ((result = RemoveEntry(entry)) != FatResult::Ok)
        return result;
    if (clusterValid && cluster != 0 && (result = m_fat.FreeChain(cluster)) != FatResult::Ok)
        return result;
    return Finish();
}

FatResult VolumeImpl::CreateDirectory(std::u16string_view path) {
    FatResult result = BeginChange();
    if (result != FatResult::Ok)
        return result;
    ParsedPath parsed;
    if ((result = ParsePath(path, parsed)) != FatResult::Ok)
        return result;
    if (parsed.names.empty())
        return FatResult::Exists;
    uint32_t parent = 0;
    if ((result = WalkFolders(parsed, parsed.names.size() - 1, parent)) != FatResult::Ok)
        return result;
    FoundEntry existing;
    result = Lookup(parent, parsed.names.back(), existing);
    if (result == FatResult::Ok)
        return FatResult::Exists;
    if (result != FatResult::NoFile)
        return result;

    // The new folder's cluster is written and claimed before the parent's entry points to it.
    uint32_t cluster = 0;
    if ((result = m_fat.FindFree(cluster)) != FatResult::Ok)
        return result;
    FatStamp stamp = Stamp();
    RawEntry dot = MakeDotEntry(".", cluster, stamp, m_layout.type);
    RawEntry dotDot = MakeDotEntry("..", parent == RootCluster() ? 0 : parent, stamp, m_layout.type);
    if ((result = WriteZeroCluster(cluster, &dot, &dotDot)) != FatResult::Ok)
        return result;
    if ((result = m_fat.Claim(cluster, 0)) != FatResult::Ok || (result = Finish()) != FatResult::Ok)
        return result;
    FoundEntry made;
    result = AddEntry(parent, parsed.names.back(), dot, made, nullptr);
    if (result != FatResult::Ok) {
        m_fat.FreeChain(cluster);
        Finish();
        return result;
    }
    return Finish();
}

FatResult VolumeImpl::RemoveDirectory(std::u16string_view path) {
    FatResult result = BeginChange();
    if (result != FatResult::Ok)
        return result;
    FoundEntry entry;
    bool isRoot = false;
    if ((result = Resolve(path, entry, isRoot)) != FatResult::Ok)
        return result;
    if (isRoot || !entry.IsDirectory() || (entry.Attributes() & kAttrReadOnly))
        return FatResult::Denied;
    uint32_t dirCluster = 0;
    if ((result = FolderOf(entry, dirCluster)) != FatResult::Ok)
        return result;
    if (dirCluster == RootCluster())
        return FatResult::Corrupt;
    for (const auto& [id, search] : m_searches) {
        if (search.dirCluster == dirCluster)
            return FatResult::Locked;
    }
    bool empty = true;
    result = ScanDirectory(dirCluster, 0, [&empty](const FoundEntry&) {
        empty = false;
        return true;
    });
    if (result != FatResult::Ok)
        return result;
    if (!empty)
        return FatResult::NotEmpty;
    if ((result = RemoveEntry(entry)) != FatResult::Ok)
        return result;
    if ((result = m_fat.FreeChain(dirCluster)) != FatResult::Ok)
        return result;
    return Finish();
}

FatResult VolumeImpl::Rename(std::u16string_view from, std::u16string_view to) {
    FatResult result = BeginChange();
    if (result != FatResult::Ok)
        return result;
    FoundEntry source;
    bool isRoot = false;
    if ((result = Resolve(from, source, isRoot)) != FatResult::Ok)
        return result;
    if (isRoot)
        return FatResult::Denied;
    if (IsOpen(source))
        return FatResult::Locked;
    ParsedPath target;
    if ((result = ParsePath(to, target)) != FatResult::Ok)
        return result;
    if (target.names.empty())
        return FatResult::Denied;
    uint32_t targetDir = 0;
    std::vector<uint32_t> visited;
    if ((result = WalkFolders(target, target.names.size() - 1, targetDir, &visited)) != FatResult::Ok)
        return result;
    uint32_t movedFolder = 0;
    if (source.IsDirectory()) {
        if ((result = FolderOf(source, movedFolder)) != FatResult::Ok)
            return result;
        // A folder cannot move into itself or below itself.
        if (std::find(visited.begin(), visited.end(), movedFolder) != visited.end())
            return FatResult::Denied;
    }
    const std::u16string& newName = target.names.back();
    FoundEntry existing;
    result = Lookup(targetDir, newName, existing);
    if (result == FatResult::Ok) {
        if (existing.Key() != source.Key())
            return FatResult::Exists;
        if (existing.DisplayName() == newName)
            return FatResult::Ok;
    } else if (result != FatResult::NoFile) {
        return result;
    }

    // The new entry is written before the old one goes: an interruption leaves the file under both names
    // rather than under none.
    bool sameFolder = targetDir == source.dirCluster;
    FoundEntry made;
    if ((result = AddEntry(targetDir, newName, source.raw, made, sameFolder ? &source : nullptr)) !=
        FatResult::Ok)
        return result;
    if (source.IsDirectory() && !sameFolder) {
        DirCursor cursor(*this, movedFolder);
        uint32_t sector = 0;
        uint32_t offset = 0;
        bool past = false;
        RawEntry dotDot;
        if ((result = cursor.Read(1, sector, offset, dotDot, past)) != FatResult::Ok)
            return result;
        if (!past && dotDot[0] == '.' && dotDot[1] == '.') {
            SetRawCluster(dotDot, targetDir == RootCluster() ? 0 : targetDir);
            if ((result = WriteSlot(sector, offset, dotDot)) != FatResult::Ok ||
                (result = m_cache.Commit()) != FatResult::Ok)
                return result;
        }
    }
    if ((result = RemoveEntry(source)) != FatResult::Ok)
        return result;
    return Finish();
}

FatResult VolumeImpl::FindFirst(std::u16string_view pattern, FatFind& find, FatEntryInfo& info) {
    if (!m_mounted)
        return FatResult::NotReady;
    size_t split = pattern.rfind(u'\\');
    std::u16string_view folder =
        split == std::u16string_view::npos ? std::u16string_view() : pattern.substr(0, split);
    std::u16string_view leaf = split == std::u16string_view::npos ? pattern : pattern.substr(split + 1);
    if (leaf.empty())
        return FatResult::InvalidName;
    OpenSearch search;
    search.wildcards = HasWildcards(leaf);
    if (search.wildcards) {
        if (!std::all_of(leaf.begin(), leaf.end(), IsValidPatternChar) || leaf.size() > kMaxLongName)
            return FatResult::InvalidName;
        search.pattern.assign(leaf);
    } else if (!NormalizeLongName(leaf, search.pattern)) {
        return FatResult::InvalidName;
    }
    ParsedPath parsed;
    FatResult result = ParsePath(folder, parsed);
    if (result != FatResult::Ok)
        return result;
    if ((result = WalkFolders(parsed, parsed.names.size(), search.dirCluster)) != FatResult::Ok)
        return result;
    if (m_searches.size() >= kMaxOpenSearches)
        return FatResult::TooManyOpenFiles;
    uint32_t id = m_nextHandle++;
    m_searches.emplace(id, std::move(search));
    FatFind handle{m_mountId, id};
    result = FindNext(handle, info);
    if (result != FatResult::Ok) {
        m_searches.erase(id);
        return result;
    }
    find = handle;
    return FatResult::Ok;
}

FatResult VolumeImpl::FindNext(FatFind find, FatEntryInfo& info) {
    if (!m_mounted || find.mountId != m_mountId)
        return FatResult::InvalidObject;
    auto it = m_searches.find(find.id);
    if (it == m_searches.end())
        return FatResult::InvalidObject;
    OpenSearch& search = it->second;
    bool hit = false;
    FatResult result = ScanDirectory(
        search.dirCluster, search.nextIndex,
        [&](const FoundEntry& entry) {
            bool matches = search.wildcards ? MatchPattern(search.pattern, entry.DisplayName())
                                            : (NamesEqual(entry.DisplayName(), search.pattern) ||
                                               NamesEqual(DecodeShortName(entry.Short(), 0), search.pattern));
            search.nextIndex = entry.shortIndex + 1;
            if (matches) {
                FillInfo(entry, info);
                hit = true;
            }
            return hit;
        },
        &search.position);
    if (result != FatResult::Ok)
        return result;
    if (!hit) {
        search.nextIndex = dirent::kMaxEntries;
        return FatResult::NoMoreFiles;
    }
    return FatResult::Ok;
}

FatResult VolumeImpl::FindClose(FatFind find) {
    if (!m_mounted || find.mountId != m_mountId)
        return FatResult::InvalidObject;
    return m_searches.erase(find.id) != 0 ? FatResult::Ok : FatResult::InvalidObject;
}

} // namespace fat
