#include "Model.h"

#include <algorithm>

namespace fat::test {

namespace {

// Slots a folder below the root may take.
constexpr uint32_t kFolderSlotLimit = 2000;

std::string Describe(const char* what, const std::u16string& path, FatResult got, FatResult expected) {
    return std::string(what) + " " + U8(path) + ": got " + FatResultName(got) + ", expected " +
           FatResultName(expected);
}

} // namespace

Workload::Workload(FatVolume& volume, uint32_t seed, uint32_t clusterBytes, uint32_t totalClusters)
    : ModelTree(seed, NameLetters::Latin1, RootPrefix::Sometimes, kFolderSlotLimit), m_volume(volume),
      m_clusterBytes(clusterBytes), m_totalClusters(totalClusters) {}

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
    const std::u16string name = FreshOrFirst(folder, NewName());
    if (!HasRoom(folder, name) || MaxWrite() < 4 * m_clusterBytes)
        return true;
    std::u16string path = Child(parent.path, name);
    bool exists = folder.children.count(Fold(name)) != 0;
    FatResult expected = exists ? FatResult::Exists : FatResult::Ok;
    FatResult got = m_volume.CreateDirectory(exists ? VaryCase(path) : path);
    if (got != expected) {
        failure = Describe("CreateDirectory", path, got, expected);
        return false;
    }
    if (!exists)
        AddFolder(folder, name);
    return true;
}

bool Workload::WriteFile(std::string& failure) {
    Located parent;
    PickFolder(parent);
    ModelNode& folder = *parent.node;
    std::u16string name = FreshOrTaken(folder, NewName());
    auto existing = folder.children.find(Fold(name));
    bool exists = existing != folder.children.end();
    if (!exists && !HasRoom(folder, name))
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
    std::u16string path = Child(parent.path, name);
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
    StoreFile(folder, name, std::move(content));
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
    WriteInto(content, offset, data);
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
    Remove(file);
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
        Remove(folder);
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
        name = Fold(source.node->name) == source.node->name ? U16("lower") + source.node->name
                                                            : Fold(source.node->name);
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
    if (!HasRoom(*targetFolder, name))
        return true;
    std::u16string to = Child(target.path, name);
    FatResult expected = FatResult::Ok;
    auto existing = targetFolder->children.find(Fold(name));
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
    MoveEntry(source, *targetFolder, name);
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
    const Lister list = [this](const std::u16string& path, std::vector<Listed>& out, std::string&) {
        for (const FatEntryInfo& info : ListFolder(m_volume, path))
            out.push_back(
                Listed{info.name, (info.attributes & kAttrDirectory) != 0, info.size, info.attributes});
        return true;
    };
    const FileCheck check = [this](const ModelNode& file, const Listed&, const std::u16string& path,
                                   std::string& failure) {
        std::vector<uint8_t> content;
        FatResult got = ReadWholeFile(m_volume, path, content);
        if (got == FatResult::Ok && content == file.content)
            return true;
        failure = "content of " + U8(path) + " differs (" + FatResultName(got) + ")";
        return false;
    };
    return VerifyTree(list, check, failure);
}

} // namespace fat::test
