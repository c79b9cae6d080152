#include "ApiModel.h"

#include <algorithm>

#include "StorageTestSupport.h"
#include "kernel/Kernel.h"

namespace storagetest {

namespace {

// Slots a folder below the root may take.
constexpr uint32_t kFolderSlotLimit = 1000;
constexpr uint32_t kMaxWrite = 256 * 1024;

// The platform takes paths of fewer than MAX_PATH units with the terminator.
constexpr size_t kMaxPathUnits = MAX_PATH - 1;

// Whether a call ended as expected: success for expected 0, else failure with that last error.
bool Check(bool ok, DWORD expected, const char* what, const std::u16string& path, std::string& failure) {
    const DWORD error = ok ? 0 : GetLastError();
    if (ok == (expected == 0) && error == expected)
        return true;
    failure = std::string(what) + " " + U8(path) + ": " +
              (ok ? "succeeded" : "failed with " + std::to_string(error)) + ", expected " +
              (expected == 0 ? "success" : "error " + std::to_string(expected));
    return false;
}

// How much longer than its own path the longest path below an entry is, counting the "\*" that lists
// a folder; 0 for a file.
size_t Deepest(const ModelNode& node) {
    size_t deepest = node.folder ? 2 : 0;
    for (const auto& [key, child] : node.children)
        deepest = std::max(deepest, 1 + child.name.size() + Deepest(child));
    return deepest;
}

bool Fits(const std::u16string& fullPath, size_t below = 0) {
    return fullPath.size() + below <= kMaxPathUnits;
}

bool WriteAll(HANDLE file, const uint8_t* data, size_t length, std::mt19937& random) {
    size_t at = 0;
    while (at < length) {
        size_t chunk = random() % 2 == 0 ? length - at : 1 + random() % (length - at);
        DWORD written = 0;
        if (!WriteFile(file, data + at, static_cast<DWORD>(chunk), &written, nullptr) || written != chunk)
            return false;
        at += chunk;
    }
    return true;
}

} // namespace

ApiWorkload::ApiWorkload(std::u16string mountFolder, uint32_t seed, uint32_t clusterBytes)
    : ModelTree(seed, fat::test::NameLetters::Ascii, fat::test::RootPrefix::Never, kFolderSlotLimit),
      m_mount(std::move(mountFolder)), m_clusterBytes(clusterBytes) {}

std::u16string ApiWorkload::Full(const std::u16string& path) const {
    return path.empty() ? m_mount : m_mount + u"\\" + path;
}

std::u16string ApiWorkload::NewName() {
    const std::string n = std::to_string(++m_nameCounter);
    switch (m_random() % 7) {
    case 0:
        return U16("F" + n + ".DAT");
    case 1:
        return U16("note" + n + ".txt");
    case 2:
        return U16("A long file name " + n + ".data");
    case 3:
        return U16("Ünïcødé " + n + " é.txt");
    case 4:
        return U16(std::string(80, 'x') + n);
    case 5:
        return U16("my.archive." + n + ".tar.gz");
    default:
        return U16("D" + n);
    }
}

uint32_t ApiWorkload::Allowance() const {
    ULARGE_INTEGER free{}, total{};
    if (!GetDiskFreeSpaceExW(m_mount.c_str(), &free, &total, nullptr))
        return 0;
    const ULONGLONG reserve = total.QuadPart * 4 / 10 + 4ull * m_clusterBytes;
    if (free.QuadPart <= reserve)
        return 0;
    return static_cast<uint32_t>(std::min<ULONGLONG>(kMaxWrite, (free.QuadPart - reserve) / 2));
}

bool ApiWorkload::Step(std::string& failure) {
    switch (m_random() % 20) {
    case 0:
    case 1:
        return CreateFolder(failure);
    case 2:
    case 3:
    case 4:
    case 5:
        return WriteWhole(failure);
    case 6:
    case 7:
        return WriteAt(failure);
    case 8:
    case 9:
        return Resize(failure);
    case 10:
    case 11:
        return DeleteEntry(failure);
    case 12:
        return RemoveFolder(failure);
    case 13:
    case 14:
    case 15:
        return Move(failure);
    case 16:
        return ChangeAttributes(failure);
    default:
        return ReadBack(failure);
    }
}

bool ApiWorkload::CreateFolder(std::string& failure) {
    Located parent;
    PickFolder(parent);
    ModelNode& folder = *parent.node;
    const std::u16string name = FreshOrFirst(folder, NewName());
    const bool exists = folder.children.count(Fold(name)) != 0;
    if (!exists && (!HasRoom(folder, name) || Allowance() < 4 * m_clusterBytes))
        return true;
    const std::u16string path = Child(parent.path, exists ? VaryCase(name) : name);
    if (!Fits(Full(path), 2))
        return true;
    if (!Check(CreateDirectoryW(Full(path).c_str(), nullptr) != FALSE, exists ? ERROR_ALREADY_EXISTS : 0,
               "CreateDirectoryW", path, failure))
        return false;
    if (!exists)
        AddFolder(folder, name);
    return true;
}

bool ApiWorkload::WriteWhole(std::string& failure) {
    Located parent;
    PickFolder(parent);
    ModelNode& folder = *parent.node;
    const std::u16string name = FreshOrTaken(folder, NewName());
    auto existing = folder.children.find(Fold(name));
    const bool exists = existing != folder.children.end();
    const bool isFolder = exists && existing->second.folder;
    if (!exists && !HasRoom(folder, name))
        return true;
    const std::u16string path = Child(parent.path, exists ? VaryCase(name) : name);
    if (!Fits(Full(path)))
        return true;

    // CREATE_NEW of a name that is taken refuses, file or folder.
    if (exists && m_random() % 4 == 0) {
        HANDLE file = CreateFileW(Full(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        return Check(file != INVALID_HANDLE_VALUE, ERROR_FILE_EXISTS, "CreateFileW CREATE_NEW", path,
                     failure);
    }
    uint32_t size = 0;
    switch (m_random() % 4) {
    case 0:
        break;
    case 1:
        size = m_clusterBytes * (1 + m_random() % 3);
        break;
    default:
        size = static_cast<uint32_t>(m_random() % (4 * m_clusterBytes + 1));
        break;
    }
    const uint32_t allowance =
        Allowance() + (exists && !isFolder ? static_cast<uint32_t>(existing->second.content.size()) : 0);
    size = std::min(size, allowance);
    const DWORD attributes = m_random() % 4 == 0 ? FILE_ATTRIBUTE_HIDDEN : 0;
    HANDLE file = CreateFileW(Full(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              attributes, nullptr);
    const DWORD openError = GetLastError();
    if (!Check(file != INVALID_HANDLE_VALUE, isFolder ? ERROR_ACCESS_DENIED : 0, "CreateFileW CREATE_ALWAYS",
               path, failure)) {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        return false;
    }
    if (file == INVALID_HANDLE_VALUE)
        return true;
    if (openError != (exists ? ERROR_ALREADY_EXISTS : 0)) {
        CloseHandle(file);
        failure = "CREATE_ALWAYS of " + U8(path) + " left last error " + std::to_string(openError);
        return false;
    }
    std::vector<uint8_t> content = PatternBytes(size, m_random());
    const bool written = WriteAll(file, content.data(), content.size(), m_random);
    CloseHandle(file);
    if (!written) {
        failure = "WriteFile " + U8(path) + " failed with " + std::to_string(GetLastError());
        return false;
    }
    StoreFile(folder, name, std::move(content)).attributes = attributes | FILE_ATTRIBUTE_ARCHIVE;
    return true;
}

bool ApiWorkload::WriteAt(std::string& failure) {
    Located file;
    if (!PickFile(file))
        return true;
    std::vector<uint8_t>& content = file.node->content;
    const uint32_t offset = static_cast<uint32_t>(m_random() % (content.size() + 2 * m_clusterBytes + 1));
    const uint32_t length = static_cast<uint32_t>(m_random() % (2 * m_clusterBytes + 1));
    const uint64_t end = uint64_t{offset} + length;
    if (end > content.size() && end - content.size() > Allowance())
        return true;
    HANDLE handle = CreateFileW(Full(file.path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (!Check(handle != INVALID_HANDLE_VALUE, 0, "CreateFileW OPEN_EXISTING", file.path, failure))
        return false;
    std::vector<uint8_t> data = PatternBytes(length, m_random());
    const bool placed = SetFilePointer(handle, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset;
    DWORD written = 0;
    const bool ok = placed && WriteFile(handle, data.data(), length, &written, nullptr) && written == length;
    CloseHandle(handle);
    if (!ok) {
        failure = "write at " + std::to_string(offset) + " of " + U8(file.path) + " failed";
        return false;
    }
    WriteInto(content, offset, data);
    if (length > 0)
        file.node->attributes |= FILE_ATTRIBUTE_ARCHIVE;
    return true;
}

bool ApiWorkload::Resize(std::string& failure) {
    Located file;
    if (!PickFile(file))
        return true;
    std::vector<uint8_t>& content = file.node->content;
    const uint32_t size = static_cast<uint32_t>(m_random() % (content.size() + m_clusterBytes + 1));
    if (size > content.size() && size - content.size() > Allowance())
        return true;
    HANDLE handle =
        CreateFileW(Full(file.path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!Check(handle != INVALID_HANDLE_VALUE, 0, "CreateFileW OPEN_EXISTING", file.path, failure))
        return false;
    const bool ok = SetFilePointer(handle, static_cast<LONG>(size), nullptr, FILE_BEGIN) == size &&
                    SetEndOfFile(handle) && GetFileSize(handle, nullptr) == size;
    CloseHandle(handle);
    if (!ok) {
        failure = "SetEndOfFile " + U8(file.path) + " at " + std::to_string(size) + " failed";
        return false;
    }
    if (size != content.size())
        file.node->attributes |= FILE_ATTRIBUTE_ARCHIVE;
    content.resize(size, 0);
    return true;
}

bool ApiWorkload::DeleteEntry(std::string& failure) {
    // Now and then a folder, which DeleteFileW refuses, or a name that is not there.
    if (m_random() % 6 == 0) {
        Located folder;
        PickFolder(folder);
        if (folder.parent != nullptr)
            return Check(DeleteFileW(Full(folder.path).c_str()) != FALSE, ERROR_ACCESS_DENIED, "DeleteFileW",
                         folder.path, failure);
        const std::u16string missing = Child(folder.path, u"never there.txt");
        if (!Fits(Full(missing)))
            return true;
        return Check(DeleteFileW(Full(missing).c_str()) != FALSE, ERROR_FILE_NOT_FOUND, "DeleteFileW",
                     missing, failure);
    }
    Located file;
    if (!PickFile(file))
        return true;
    if (!Check(DeleteFileW(Full(file.path).c_str()) != FALSE, 0, "DeleteFileW", file.path, failure))
        return false;
    Remove(file);
    return true;
}

bool ApiWorkload::RemoveFolder(std::string& failure) {
    Located file;
    if (m_random() % 5 == 0 && PickFile(file))
        return Check(RemoveDirectoryW(Full(file.path).c_str()) != FALSE, ERROR_DIRECTORY, "RemoveDirectoryW",
                     file.path, failure);
    Located folder;
    PickFolder(folder);
    if (folder.parent == nullptr)
        return true;
    const bool empty = folder.node->children.empty();
    if (!Check(RemoveDirectoryW(Full(folder.path).c_str()) != FALSE, empty ? 0 : ERROR_DIR_NOT_EMPTY,
               "RemoveDirectoryW", folder.path, failure))
        return false;
    if (empty)
        Remove(folder);
    return true;
}

bool ApiWorkload::Move(std::string& failure) {
    Located source;
    const bool folder = m_random() % 3 == 0;
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
    switch (m_random() % 5) {
    case 0:
        name = source.node->name; // the same name, maybe in another folder
        break;
    case 1: // a change of case only
        name = Fold(source.node->name) == source.node->name ? u"lower" + source.node->name
                                                            : Fold(source.node->name);
        break;
    case 2:
        if (!target.node->children.empty()) {
            name = target.node->children.begin()->second.name;
            break;
        }
        [[fallthrough]];
    case 3:
        if (m_random() % 4 == 0) {
            // Into a folder that does not exist.
            const std::u16string to = Child(target.path, u"no such folder\\" + NewName());
            if (!Fits(Full(to)))
                return true;
            const DWORD expected =
                folder && IsInside(*source.node, target.node) ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
            return Check(MoveFileW(Full(source.path).c_str(), Full(to).c_str()) != FALSE, expected,
                         "MoveFileW", source.path + u" -> " + to, failure);
        }
        [[fallthrough]];
    default:
        name = NewName();
        break;
    }
    ModelNode* targetFolder = target.node;
    if (!HasRoom(*targetFolder, name))
        return true;
    const std::u16string to = Child(target.path, name);
    if (!Fits(Full(to), Deepest(*source.node)))
        return true;
    auto existing = targetFolder->children.find(Fold(name));
    const bool sameEntry = existing != targetFolder->children.end() && &existing->second == source.node;
    DWORD expected = 0;
    if (folder && IsInside(*source.node, targetFolder))
        expected = ERROR_ACCESS_DENIED;
    else if (existing != targetFolder->children.end() && !sameEntry)
        expected = ERROR_ALREADY_EXISTS;
    if (!Check(MoveFileW(Full(source.path).c_str(), Full(to).c_str()) != FALSE, expected, "MoveFileW",
               source.path + u" -> " + to, failure))
        return false;
    if (expected != 0)
        return true;
    MoveEntry(source, *targetFolder, name);
    return true;
}

bool ApiWorkload::ChangeAttributes(std::string& failure) {
    Located file;
    if (!PickFile(file))
        return true;
    static constexpr DWORD kChoices[] = {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                                         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN};
    const DWORD attributes = kChoices[m_random() % 4];
    if (!Check(SetFileAttributesW(Full(file.path).c_str(), attributes) != FALSE, 0, "SetFileAttributesW",
               file.path, failure))
        return false;
    file.node->attributes = attributes == FILE_ATTRIBUTE_NORMAL ? 0 : attributes;
    const DWORD got = GetFileAttributesW(Full(file.path).c_str());
    if (got != attributes) {
        failure = "GetFileAttributesW " + U8(file.path) + " gave " + std::to_string(got);
        return false;
    }
    return true;
}

bool ApiWorkload::ReadBack(std::string& failure) {
    Located file;
    if (m_random() % 8 == 0) {
        // A file below a folder that does not exist, and a file that does not exist.
        Located folder;
        PickFolder(folder);
        const std::u16string deep = Child(folder.path, u"missing folder\\file.txt");
        if (!Fits(Full(deep)))
            return true;
        HANDLE handle = CreateFileW(Full(deep).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (!Check(handle != INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND, "CreateFileW", deep, failure))
            return false;
        const std::u16string missing = Child(folder.path, u"missing file.txt");
        handle = CreateFileW(Full(missing).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return Check(handle != INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND, "CreateFileW", missing, failure);
    }
    if (!PickFile(file))
        return true;
    const std::vector<uint8_t>& content = file.node->content;
    HANDLE handle = CreateFileW(Full(file.path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (!Check(handle != INVALID_HANDLE_VALUE, 0, "CreateFileW", file.path, failure))
        return false;
    const uint32_t offset = static_cast<uint32_t>(m_random() % (content.size() + 1));
    const uint32_t length = static_cast<uint32_t>(m_random() % (content.size() + 10));
    std::vector<uint8_t> read(length);
    DWORD done = 0;
    const bool ok = SetFilePointer(handle, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset &&
                    ReadFile(handle, read.data(), length, &done, nullptr);
    CloseHandle(handle);
    const uint32_t expected = std::min<uint32_t>(length, static_cast<uint32_t>(content.size()) - offset);
    if (!ok || done != expected || !std::equal(read.begin(), read.begin() + done, content.begin() + offset)) {
        failure = "ReadFile " + U8(file.path) + " at " + std::to_string(offset) + " differs";
        return false;
    }
    return true;
}

bool ApiWorkload::Verify(std::string& failure) {
    const Lister list = [this](const std::u16string& path, std::vector<Listed>& out, std::string& failure) {
        DWORD error = 0;
        for (const WIN32_FIND_DATAW& data : Find(Full(path) + u"\\*", &error))
            out.push_back(Listed{data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                                 data.nFileSizeLow, data.dwFileAttributes});
        if (error == ERROR_NO_MORE_FILES)
            return true;
        failure = "listing " + U8(path) + " ended with " + std::to_string(error);
        return false;
    };
    const FileCheck check = [this](const ModelNode& file, const Listed& entry, const std::u16string& path,
                                   std::string& failure) {
        const DWORD attributes = file.attributes == 0 ? FILE_ATTRIBUTE_NORMAL : file.attributes;
        if (entry.attributes != attributes) {
            failure = "attributes of " + U8(path) + " differ";
            return false;
        }
        const std::optional<std::vector<uint8_t>> content = ReadFileBytes(Full(path));
        if (!content || *content != file.content) {
            failure = "content of " + U8(path) + " differs";
            return false;
        }
        return true;
    };
    return VerifyTree(list, check, failure);
}

} // namespace storagetest
