#include "Model.h"

#include <algorithm>
#include <set>

namespace fat::test {

namespace {

// Slots the root may take: well below the 224 entries of the smallest fixed root folder.
constexpr uint32_t kRootSlotLimit = 150;
constexpr uint32_t kFolderSlotLimit = 2000;

uint32_t SlotsFor(const std::u16string& name) {
    return 1 + static_cast<uint32_t>((name.size() + 12) / 13);
}

std::string Describe(const char* what, const std::u16string& path, FatResult got, FatResult expected) {
    return std::string(what) + " " + U8(path) + ": got " + FatResultName(got) + ", expected " +
           FatResultName(expected);
}

bool IsInside(const ModelNode& folder, const ModelNode* node) {
    if (&folder == node)
        return true;
    for (const auto& [key, child] : folder.children) {
        if (child.folder && IsInside(child, node))
            return true;
    }
    return false;
}

} // namespace

std::u16string FoldName(const std::u16string& name) {
    std::u16string folded = name;
    for (char16_t& c : folded) {
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - 32);
        else if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
            c = static_cast<char16_t>(c - 32);
    }
    return folded;
}

Workload::Workload(FatVolume& volume, uint32_t seed, uint32_t clusterBytes, uint32_t totalClusters)
    : m_volume(volume), m_random(seed), m_clusterBytes(clusterBytes), m_totalClusters(totalClusters) {
    m_root.folder = true;
}

std::u16string Workload::NewName() {
    std::string n = std::to_string(++m_nameCounter);
    switch (m_random() % 8) {
    case 0:
        return U16("F" + n + ".DAT");
    case 1:
        return U16("note" + n + ".txt");
    case 2:
        return U16("Long file name " + n + ".data");
    case 3:
        return U16("Ünïcødé " + n + " é.txt");
    case 4:
        return U16(std::string(90, 'x') + n);
    case 5:
        return U16("my.archive." + n + ".tar.gz");
    case 6: {
        // A name that fills whole long-name entries exactly.
        std::string name = "exact-" + n;
        name.resize(26, 'q');
        return U16(name);
    }
    default:
        return U16("D" + n);
    }
}

std::u16string Workload::VaryCase(const std::u16string& path) {
    std::u16string varied = path;
    for (char16_t& c : varied) {
        if (m_random() % 3 != 0)
            continue;
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - 32);
        else if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + 32);
        else if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
            c = static_cast<char16_t>(c - 32);
    }
    if (m_random() % 4 == 0 && (varied.empty() || varied[0] != u'\\'))
        varied.insert(varied.begin(), u'\\');
    return varied;
}

void Workload::Collect(ModelNode& node, ModelNode* parent, const std::u16string& path, bool folders,
                       std::vector<Located>& out) {
    if (node.folder == folders)
        out.push_back(Located{&node, parent, path});
    for (auto& [key, child] : node.children)
        Collect(child, &node, path.empty() ? child.name : path + u"\\" + child.name, folders, out);
}

bool Workload::PickFile(Located& out) {
    std::vector<Located> all;
    Collect(m_root, nullptr, u"", false, all);
    if (all.empty())
        return false;
    out = all[m_random() % all.size()];
    out.path = VaryCase(out.path);
    return true;
}

bool Workload::PickFolder(Located& out) {
    std::vector<Located> all;
    Collect(m_root, nullptr, u"", true, all);
    out = all[m_random() % all.size()];
    out.path = VaryCase(out.path);
    return true;
}

uint64_t Workload::ClustersUsed(const ModelNode& node) const {
    if (!node.folder)
        return (node.content.size() + m_clusterBytes - 1) / m_clusterBytes;
    uint64_t used = &node == &m_root ? 0 : 1 + (static_cast<uint64_t>(node.slotsEver) * 32) / m_clusterBytes;
    for (const auto& [key, child] : node.children)
        used += ClustersUsed(child);
    return used;
}

uint32_t Workload::MaxWrite() const {
    uint64_t budget = m_totalClusters * 6ull / 10;
    uint64_t used = ClustersUsed(m_root);
    if (used + 2 >= budget)
        return 0;
    uint64_t bytes = (budget - used - 2) * m_clusterBytes;
    return static_cast<uint32_t>(std::min<uint64_t>(bytes, 256 * 1024));
}

bool Workload::Step(std::string& failure) {
    ++m_operations;
    switch (m_random() % 20) {
    case 0:
    case 1:
        return CreateFolder(failure);
    case 2:
    case 3:
    case 4:
    case 5:
        return WriteFile(failure);
    case 6:
    case 7:
    case 8:
        return WriteAt(failure);
    case 9:
    case 10:
        return Truncate(failure);
    case 11:
    case 12:
        return DeleteFile(failure);
    case 13:
        return RemoveFolder(failure);
    case 14:
    case 15:
    case 16:
        return Move(failure);
    default:
        return ReadBack(failure);
    }
}

bool Workload::CreateFolder(std::string& failure) {
    Located parent;
    PickFolder(parent);
    ModelNode& folder = *parent.node;
    std::u16string name = NewName();
    if (!folder.children.empty() && m_random() % 5 == 0)
        name = folder.children.begin()->second.name;
    uint32_t limit = &folder == &m_root ? kRootSlotLimit : kFolderSlotLimit;
    if (folder.slotsEver + SlotsFor(name) > limit || MaxWrite() < 4 * m_clusterBytes)
        return true;
    std::u16string path = parent.path.empty() || parent.path == u"\\" ? name : parent.path + u"\\" + name;
    bool exists = folder.children.count(FoldName(name)) != 0;
    FatResult expected = exists ? FatResult::Exists : FatResult::Ok;
    FatResult got = m_volume.CreateDirectory(exists ? VaryCase(path) : path);
    if (got != expected) {
        failure = Describe("CreateDirectory", path, got, expected);
        return false;
    }
    if (!exists) {
        ModelNode node;
        node.name = name;
        node.folder = true;
        node.slotsEver = 2;
        folder.children[FoldName(name)] = node;
        folder.slotsEver += SlotsFor(name);
    }
    return true;
}

bool Workload::WriteFile(std::string& failure) {
    Located parent;
    PickFolder(parent);
    ModelNode& folder = *parent.node;
    std::u16string name = NewName();
    if (!folder.children.empty() && m_random() % 3 == 0) {
        auto it = folder.children.begin();
        std::advance(it, m_random() % folder.children.size());
        name = it->second.name;
    }
    auto existing = folder.children.find(FoldName(name));
    bool exists = existing != folder.children.end();
    uint32_t limit = &folder == &m_root ? kRootSlotLimit : kFolderSlotLimit;
    if (!exists && folder.slotsEver + SlotsFor(name) > limit)
        return true;
    uint32_t maxWrite =
        MaxWrite() +
        (exists && !existing->second.folder ? static_cast<uint32_t>(existing->second.content.size()) : 0);
    uint32_t size = 0;
    switch (m_random() % 4) {
    case 0:
        size = 0;
        break;
    case 1:
        size = m_clusterBytes * (1 + m_random() % 3);
        break;
    default:
        size = static_cast<uint32_t>(m_random() % (4 * m_clusterBytes + 1));
        break;
    }
    size = std::min(size, maxWrite);
    std::u16string path = parent.path.empty() || parent.path == u"\\" ? name : parent.path + u"\\" + name;
    FatFile file;
    FatResult expected = exists && existing->second.folder ? FatResult::Denied : FatResult::Ok;
    FatResult got = m_volume.Open(exists ? VaryCase(path) : path, FatAccess::ReadWrite,
                                  FatDisposition::CreateAlways, 0, file);
    if (got != expected) {
        failure = Describe("Open CreateAlways", path, got, expected);
        return false;
    }
    if (got != FatResult::Ok)
        return true;
    std::vector<uint8_t> content = PatternBytes(size, m_random());
    // One to three writes.
    uint32_t at = 0;
    while (at < size) {
        uint32_t chunk = std::max<uint32_t>(1, static_cast<uint32_t>(m_random() % (size - at + 1)));
        if (m_random() % 2 == 0)
            chunk = size - at;
        uint32_t done = 0;
        got = m_volume.Write(file, content.data() + at, chunk, done);
        if (got != FatResult::Ok || done != chunk) {
            failure = Describe("Write", path, got, FatResult::Ok);
            return false;
        }
        at += chunk;
    }
    m_volume.Close(file);
    ModelNode& node = folder.children[FoldName(name)];
    if (!exists) {
        node.name = name;
        folder.slotsEver += SlotsFor(name);
    }
    node.content = std::move(content);
    return true;
}

bool Workload::WriteAt(std::string& failure) {
    Located file;
    if (!PickFile(file))
        return true;
    std::vector<uint8_t>& content = file.node->content;
    uint32_t offset = static_cast<uint32_t>(m_random() % (content.size() + 2 * m_clusterBytes + 1));
    uint32_t length = static_cast<uint32_t>(m_random() % (2 * m_clusterBytes + 1));
    uint64_t end = static_cast<uint64_t>(offset) + length;
    if (end > content.size() && end - content.size() > MaxWrite())
        return true;
    FatFile handle;
    FatResult got = m_volume.Open(file.path, FatAccess::ReadWrite, FatDisposition::OpenExisting, 0, handle);
    if (got != FatResult::Ok) {
        failure = Describe("Open", file.path, got, FatResult::Ok);
        return false;
    }
    std::vector<uint8_t> data = PatternBytes(length, m_random());
    uint32_t done = 0;
    m_volume.Seek(handle, offset);
    got = m_volume.Write(handle, data.data(), length, done);
    m_volume.Close(handle);
    if (got != FatResult::Ok || done != length) {
        failure = Describe("Write at", file.path, got, FatResult::Ok);
        return false;
    }
    if (length > 0) {
        if (content.size() < end)
            content.resize(end, 0);
        std::copy(data.begin(), data.end(), content.begin() + offset);
    }
    return true;
}

bool Workload::Truncate(std::string& failure) {
    Located file;
    if (!PickFile(file))
        return true;
    std::vector<uint8_t>& content = file.node->content;
    uint32_t size = static_cast<uint32_t>(m_random() % (content.size() + m_clusterBytes + 1));
    if (size > content.size() && size - content.size() > MaxWrite())
        return true;
    FatFile handle;
    FatResult got = m_volume.Open(file.path, FatAccess::Write, FatDisposition::OpenExisting, 0, handle);
    if (got == FatResult::Ok) {
        m_volume.Seek(handle, size);
        got = m_volume.SetEndOfFile(handle);
        m_volume.Close(handle);
    }
    if (got != FatResult::Ok) {
        failure = Describe("SetEndOfFile", file.path, got, FatResult::Ok);
        return false;
    }
    content.resize(size, 0);
    return true;
}

bool Workload::DeleteFile(std::string& failure) {
    Located file;
    if (!PickFile(file))
        return true;
    FatResult got = m_volume.Delete(file.path);
    if (got != FatResult::Ok) {
        failure = Describe("Delete", file.path, got, FatResult::Ok);
        return false;
    }
    file.parent->children.erase(FoldName(file.node->name));
    return true;
}

bool Workload::RemoveFolder(std::string& failure) {
    Located folder;
    PickFolder(folder);
    if (folder.parent == nullptr)
        return true;
    FatResult expected = folder.node->children.empty() ? FatResult::Ok : FatResult::NotEmpty;
    FatResult got = m_volume.RemoveDirectory(folder.path);
    if (got != expected) {
        failure = Describe("RemoveDirectory", folder.path, got, expected);
        return false;
    }
    if (got == FatResult::Ok)
        folder.parent->children.erase(FoldName(folder.node->name));
    return true;
}

bool Workload::Move(std::string& failure) {
    Located source;
    bool folder = m_random() % 3 == 0;
    if (folder) {
        PickFolder(source);
        if (source.parent == nullptr)
            return true;
    } else if (!PickFile(source)) {
        return true;
    }
    Located target;
    PickFolder(target);
    std::u16string name;
    switch (m_random() % 4) {
    case 0:
        name = source.node->name; // same name, maybe another folder
        break;
    case 1: {
        // A change of case only.
        name = FoldName(source.node->name) == source.node->name ? U16("lower") + source.node->name
                                                                : FoldName(source.node->name);
        break;
    }
    case 2:
        if (!target.node->children.empty()) {
            name = target.node->children.begin()->second.name;
            break;
        }
        [[fallthrough]];
    default:
        name = NewName();
        break;
    }
    ModelNode* targetFolder = target.node;
    uint32_t limit = targetFolder == &m_root ? kRootSlotLimit : kFolderSlotLimit;
    if (targetFolder->slotsEver + SlotsFor(name) > limit)
        return true;
    std::u16string to = target.path.empty() || target.path == u"\\" ? name : target.path + u"\\" + name;
    FatResult expected = FatResult::Ok;
    auto existing = targetFolder->children.find(FoldName(name));
    bool sameEntry = existing != targetFolder->children.end() && &existing->second == source.node;
    if (folder && IsInside(*source.node, targetFolder))
        expected = FatResult::Denied;
    else if (existing != targetFolder->children.end() && !sameEntry)
        expected = FatResult::Exists;
    FatResult got = m_volume.Rename(source.path, to);
    if (got != expected) {
        failure = Describe("Rename", source.path + u" -> " + to, got, expected);
        return false;
    }
    if (got != FatResult::Ok)
        return true;
    ModelNode moved = std::move(*source.node);
    source.parent->children.erase(FoldName(moved.name));
    // An unchanged name (same folder, same text) stays as it was; otherwise the new text is kept.
    moved.name = name;
    targetFolder->slotsEver += SlotsFor(name);
    targetFolder->children[FoldName(name)] = std::move(moved);
    return true;
}

bool Workload::ReadBack(std::string& failure) {
    Located file;
    if (!PickFile(file))
        return true;
    const std::vector<uint8_t>& content = file.node->content;
    FatFile handle;
    FatResult got = m_volume.Open(file.path, FatAccess::Read, FatDisposition::OpenExisting, 0, handle);
    if (got != FatResult::Ok) {
        failure = Describe("Open", file.path, got, FatResult::Ok);
        return false;
    }
    uint32_t offset = static_cast<uint32_t>(m_random() % (content.size() + 1));
    uint32_t length = static_cast<uint32_t>(m_random() % (content.size() + 10));
    std::vector<uint8_t> read(length);
    uint32_t done = 0;
    m_volume.Seek(handle, offset);
    got = m_volume.Read(handle, read.data(), length, done);
    m_volume.Close(handle);
    uint32_t expectedLength = std::min<uint32_t>(length, static_cast<uint32_t>(content.size()) - offset);
    if (got != FatResult::Ok || done != expectedLength ||
        !std::equal(read.begin(), read.begin() + done, content.begin() + offset)) {
        failure = "Read " + U8(file.path) + " at " + std::to_string(offset) + " differs";
        return false;
    }
    return true;
}

bool Workload::Verify(std::string& failure) {
    return VerifyNode(m_root, u"", failure);
}

bool Workload::VerifyNode(const ModelNode& node, const std::u16string& path, std::string& failure) {
    std::vector<FatEntryInfo> listed = ListFolder(m_volume, path);
    std::set<std::u16string> names;
    for (const FatEntryInfo& info : listed)
        names.insert(info.name);
    std::set<std::u16string> expected;
    for (const auto& [key, child] : node.children)
        expected.insert(child.name);
    if (names != expected) {
        failure = "listing of \\" + U8(path) + " differs:";
        for (const auto& name : names)
            failure += " [" + U8(name) + "]";
        failure += " vs";
        for (const auto& name : expected)
            failure += " [" + U8(name) + "]";
        return false;
    }
    for (const FatEntryInfo& info : listed) {
        const ModelNode& child = node.children.at(FoldName(info.name));
        std::u16string childPath = path.empty() ? child.name : path + u"\\" + child.name;
        if (((info.attributes & kAttrDirectory) != 0) != child.folder) {
            failure = "kind of " + U8(childPath) + " differs";
            return false;
        }
        if (child.folder) {
            if (!VerifyNode(child, childPath, failure))
                return false;
            continue;
        }
        std::vector<uint8_t> content;
        FatResult got = ReadWholeFile(m_volume, childPath, content);
        if (got != FatResult::Ok || info.size != child.content.size() || content != child.content) {
            failure = "content of " + U8(childPath) + " differs (" + FatResultName(got) + ")";
            return false;
        }
    }
    return true;
}

} // namespace fat::test
