#include "kernel/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ProgramSupport.h"
#include "RegistryStore.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Handles.h"

namespace {

using kernel::registry::Key;
using kernel::registry::Root;
using kernel::registry::Tree;
using kernel::registry::Value;
using kernel::support::FileDescriptor;

constexpr size_t kMaxNameLength = 255;
constexpr std::string_view kHeader = "ferrovane-registry 1\n";

// An open key: its root and the path below it, as the caller spelled it.
struct KeyObject final : kernel::KernelObject {
    Root root = Root::LocalMachine;
    std::vector<std::u16string> path;
};

struct KeyRef {
    Root root = Root::LocalMachine;
    std::vector<std::u16string> path;
};

// The device root's registry lock, held across a read-modify-write of the file.
class FileLock {
public:
    DWORD Acquire() {
        std::filesystem::path path = kernel::RuntimeFolder() / "registry.lock";
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 && errno == ENOENT) {
            // The run-time folder is made again inside the root, never the root itself: a process whose
            // device root was removed does not bring it back.
            std::error_code ignored;
            std::filesystem::create_directory(path.parent_path(), ignored);
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        }
        if (fd < 0)
            return ERROR_REGISTRY_IO_FAILED;
        m_fd = FileDescriptor(fd);
        while (::flock(fd, LOCK_EX) != 0)
            if (errno != EINTR)
                return ERROR_REGISTRY_IO_FAILED;
        return ERROR_SUCCESS;
    }

private:
    FileDescriptor m_fd; // closing the descriptor releases the lock
};

bool ReadWholeFile(const std::filesystem::path& path, std::string& text, bool& missing) {
    text.clear();
    missing = false;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        missing = errno == ENOENT;
        return missing;
    }
    char buffer[16384];
    for (;;) {
        ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
        if (count == 0)
            return true;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.append(buffer, static_cast<size_t>(count));
    }
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t count = ::write(fd, text.data(), text.size());
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<size_t>(count));
    }
    return true;
}

// This process's copy of the registry, with the file text it was read from or written as: a process
// whose copy matches the file's text need not parse it again.
class RegistryCache {
public:
    std::mutex mutex; // guards everything below; held for the whole of each call

    Tree tree;

    // Brings the copy up to date with the file.
    DWORD Refresh() {
        std::filesystem::path path = kernel::DeviceRoot() / "registry";
        std::string text;
        bool missing = false;
        if (!ReadWholeFile(path, text, missing))
            return ERROR_REGISTRY_IO_FAILED;
        if (m_valid && path == m_path && text == m_text)
            return ERROR_SUCCESS;
        m_valid = false;
        if (missing) {
            tree = Tree();
        } else {
            std::string_view view = text;
            if (view.substr(0, kHeader.size()) != kHeader)
                return ERROR_REGISTRY_CORRUPT;
            auto parsed = kernel::registry::Parse(view.substr(kHeader.size()));
            if (!parsed)
                return ERROR_REGISTRY_CORRUPT;
            tree = std::move(*parsed);
        }
        m_path = path;
        m_text = std::move(text);
        m_valid = true;
        return ERROR_SUCCESS;
    }

    // Writes the copy to the file: a temporary file renamed over the registry. The caller holds the lock.
    DWORD Save() {
        std::filesystem::path path = kernel::DeviceRoot() / "registry";
        std::filesystem::path temporary = kernel::DeviceRoot() / "registry.new";
        std::string text = std::string(kHeader) + kernel::registry::Serialize(tree);
        m_valid = false;
        FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (fd.Get() < 0 || !WriteAll(fd.Get(), text) || !fd.Close())
            return ERROR_REGISTRY_IO_FAILED;
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            return ERROR_REGISTRY_IO_FAILED;
        m_path = path;
        m_text = std::move(text);
        m_valid = true;
        return ERROR_SUCCESS;
    }

    // Forces the file and its folder to the disk.
    DWORD Flush() {
        std::filesystem::path root = kernel::DeviceRoot();
        FileDescriptor file(::open((root / "registry").c_str(), O_RDONLY | O_CLOEXEC));
        if (file.Get() < 0)
            return errno == ENOENT ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
        FileDescriptor folder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (::fsync(file.Get()) != 0 || folder.Get() < 0 || ::fsync(folder.Get()) != 0)
            return ERROR_REGISTRY_IO_FAILED;
        return ERROR_SUCCESS;
    }

private:
    std::filesystem::path m_path;
    std::string m_text;
    bool m_valid = false;
};

RegistryCache& Cache() {
    static RegistryCache* cache = new RegistryCache; // never destroyed: keys may be used during exit
    return *cache;
}

std::optional<Root> PredefinedRoot(HKEY key) {
    switch (reinterpret_cast<ULONG_PTR>(key)) {
    case 0x80000000u:
        return Root::ClassesRoot;
    case 0x80000001u:
        return Root::CurrentUser;
    case 0x80000002u:
        return Root::LocalMachine;
    default:
        return std::nullopt;
    }
}

std::optional<KeyRef> RefOf(HKEY key) {
    if (auto root = PredefinedRoot(key))
        return KeyRef{*root, {}};
    auto object = kernel::FindHandleAs<KeyObject>(reinterpret_cast<HANDLE>(key));
    if (!object)
        return std::nullopt;
    return KeyRef{object->root, object->path};
}

// Splits "a\b\c" into its names. NULL and "" give no names; one trailing '\' is allowed.
DWORD SplitSubkey(LPCWSTR subkey, std::vector<std::u16string>& names) {
    names.clear();
    if (!subkey)
        return ERROR_SUCCESS;
    std::u16string_view text(subkey);
    if (!text.empty() && text.back() == u'\\')
        text.remove_suffix(1);
    if (text.empty())
        return ERROR_SUCCESS;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(u'\\', start);
        std::u16string_view name = text.substr(start, end == std::u16string_view::npos ? end : end - start);
        if (name.empty())
            return ERROR_BAD_PATHNAME;
        if (name.size() > kMaxNameLength)
            return ERROR_INVALID_PARAMETER;
        names.emplace_back(name);
        if (end == std::u16string_view::npos)
            return ERROR_SUCCESS;
        start = end + 1;
    }
}

DWORD ValueName(LPCWSTR name, std::u16string_view& out) {
    out = name ? std::u16string_view(name) : std::u16string_view();
    return out.size() > kMaxNameLength ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

Key* FindKey(Tree& tree, const KeyRef& ref) {
    Key* key = &tree.roots[static_cast<size_t>(ref.root)];
    for (const auto& name : ref.path) {
        key = key->FindSubkey(name);
        if (!key)
            return nullptr;
    }
    return key;
}

// Runs `body` on the current registry with the key that `handle` names.
template <typename Body>
LONG WithKey(HKEY handle, Body&& body) {
    auto ref = RefOf(handle);
    if (!ref)
        return ERROR_INVALID_HANDLE;
    RegistryCache& cache = Cache();
    std::lock_guard guard(cache.mutex);
    if (DWORD error = cache.Refresh())
        return static_cast<LONG>(error);
    Key* key = FindKey(cache.tree, *ref);
    if (!key)
        return ERROR_KEY_DELETED;
    return body(*ref, *key);
}

// As WithKey, for a change: under the file lock, on a fresh copy; the file is rewritten only when `body`
// reports that it changed something.
template <typename Body>
LONG ChangeKey(HKEY handle, Body&& body) {
    auto ref = RefOf(handle);
    if (!ref)
        return ERROR_INVALID_HANDLE;
    RegistryCache& cache = Cache();
    std::lock_guard guard(cache.mutex);
    FileLock lock;
    if (DWORD error = lock.Acquire())
        return static_cast<LONG>(error);
    if (DWORD error = cache.Refresh())
        return static_cast<LONG>(error);
    Key* key = FindKey(cache.tree, *ref);
    if (!key)
        return ERROR_KEY_DELETED;
    bool changed = false;
    LONG result = body(*ref, *key, changed);
    if (result != ERROR_SUCCESS || !changed)
        return result;
    return static_cast<LONG>(cache.Save());
}

HKEY NewKeyHandle(const KeyRef& ref, const std::vector<std::u16string>& names) {
    auto object = std::make_shared<KeyObject>();
    object->root = ref.root;
    object->path = ref.path;
    object->path.insert(object->path.end(), names.begin(), names.end());
    return reinterpret_cast<HKEY>(kernel::InsertHandle(std::move(object)));
}

// Copies a name into a caller's buffer of *capacity units; ERROR_MORE_DATA when it does not fit.
LONG CopyName(std::u16string_view name, LPWSTR buffer, LPDWORD capacity) {
    if (*capacity <= name.size())
        return ERROR_MORE_DATA;
    name.copy(buffer, name.size());
    buffer[name.size()] = u'\0';
    *capacity = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// RegQueryValueExW's rules for handing out a value's type and data.
LONG CopyValue(const Value& value, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (type)
        *type = value.type;
    DWORD needed = static_cast<DWORD>(value.data.size());
    if (!size)
        return ERROR_SUCCESS;
    if (!data) {
        *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed != 0)
        std::memcpy(data, value.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

} // namespace

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPCWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    std::vector<std::u16string> names;
    if (DWORD error = SplitSubkey(lpSubKey, names))
        return static_cast<LONG>(error);
    bool createdAny = false;
    KeyRef parentRef;
    LONG result = ChangeKey(hKey, [&](const KeyRef& ref, Key& parent, bool& changed) -> LONG {
        Key* key = &parent;
        for (const auto& name : names) {
            bool created = false;
            key = &key->SubkeyOrNew(name, &created);
            createdAny = createdAny || created;
        }
        changed = createdAny;
        parentRef = ref;
        return ERROR_SUCCESS;
    });
    if (result != ERROR_SUCCESS)
        return result;
    *phkResult = NewKeyHandle(parentRef, names);
    if (lpdwDisposition)
        *lpdwDisposition = createdAny ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    std::vector<std::u16string> names;
    if (DWORD error = SplitSubkey(lpSubKey, names))
        return static_cast<LONG>(error);
    KeyRef parentRef;
    LONG result = WithKey(hKey, [&](const KeyRef& ref, Key& parent) -> LONG {
        Key* key = &parent;
        for (const auto& name : names) {
            key = key->FindSubkey(name);
            if (!key)
                return ERROR_FILE_NOT_FOUND;
        }
        parentRef = ref;
        return ERROR_SUCCESS;
    });
    if (result != ERROR_SUCCESS)
        return result;
    *phkResult = NewKeyHandle(parentRef, names);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    if (PredefinedRoot(hKey))
        return ERROR_SUCCESS;
    HANDLE handle = reinterpret_cast<HANDLE>(hKey);
    if (!kernel::FindHandleAs<KeyObject>(handle) || !kernel::RemoveHandle(handle))
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY hKey) {
    return WithKey(hKey, [](const KeyRef&, Key&) { return static_cast<LONG>(Cache().Flush()); });
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    std::u16string_view name;
    if (DWORD error = ValueName(lpValueName, name))
        return static_cast<LONG>(error);
    if (!lpData && cbData != 0)
        return ERROR_INVALID_PARAMETER;
    std::vector<BYTE> data(lpData, lpData + cbData);
    return ChangeKey(hKey, [&](const KeyRef&, Key& key, bool& changed) -> LONG {
        Value* value = key.FindValue(name);
        if (!value) {
            key.values.push_back(Value{std::u16string(name), dwType, std::move(data)});
            changed = true;
        } else if (value->type != dwType || value->data != data) {
            value->type = dwType;
            value->data = std::move(data);
            changed = true;
        }
        return ERROR_SUCCESS;
    });
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
    std::u16string_view name;
    if (DWORD error = ValueName(lpValueName, name))
        return static_cast<LONG>(error);
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    return WithKey(hKey, [&](const KeyRef&, Key& key) -> LONG {
        Value* value = key.FindValue(name);
        if (!value)
            return ERROR_FILE_NOT_FOUND;
        return CopyValue(*value, lpType, lpData, lpcbData);
    });
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    std::u16string_view name;
    if (DWORD error = ValueName(lpValueName, name))
        return static_cast<LONG>(error);
    return ChangeKey(hKey, [&](const KeyRef&, Key& key, bool& changed) -> LONG {
        Value* value = key.FindValue(name);
        if (!value)
            return ERROR_FILE_NOT_FOUND;
        key.values.erase(key.values.begin() + (value - key.values.data()));
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    std::vector<std::u16string> names;
    if (DWORD error = SplitSubkey(lpSubKey, names))
        return static_cast<LONG>(error);
    if (names.empty())
        return ERROR_INVALID_PARAMETER;
    return ChangeKey(hKey, [&](const KeyRef&, Key& top, bool& changed) -> LONG {
        Key* parent = &top;
        for (size_t i = 0; i + 1 < names.size(); ++i) {
            parent = parent->FindSubkey(names[i]);
            if (!parent)
                return ERROR_FILE_NOT_FOUND;
        }
        Key* doomed = parent->FindSubkey(names.back());
        if (!doomed)
            return ERROR_FILE_NOT_FOUND;
        std::erase_if(parent->subkeys,
                      [doomed](const std::unique_ptr<Key>& key) { return key.get() == doomed; });
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                   LPDWORD lpcchClass, FILETIME* lpftLastWriteTime) {
    if (!lpName || !lpcchName || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    return WithKey(hKey, [&](const KeyRef&, Key& key) -> LONG {
        if (dwIndex >= key.subkeys.size())
            return ERROR_NO_MORE_ITEMS;
        LONG result = CopyName(key.subkeys[dwIndex]->name, lpName, lpcchName);
        if (result != ERROR_SUCCESS)
            return result;
        if (lpClass) {
            if (*lpcchClass == 0)
                return ERROR_MORE_DATA;
            lpClass[0] = u'\0';
            *lpcchClass = 0;
        }
        if (lpftLastWriteTime)
            *lpftLastWriteTime = FILETIME{0, 0};
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    return WithKey(hKey, [&](const KeyRef&, Key& key) -> LONG {
        if (dwIndex >= key.values.size())
            return ERROR_NO_MORE_ITEMS;
        const Value& value = key.values[dwIndex];
        LONG result = CopyName(value.name, lpValueName, lpcchValueName);
        if (result != ERROR_SUCCESS)
            return result;
        return CopyValue(value, lpType, lpData, lpcbData);
    });
}
