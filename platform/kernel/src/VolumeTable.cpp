// The mount table, routing, MountVolume/UnmountVolume and the in-process share table.

#include "VolumeTable.h"

#include <algorithm>
#include <filesystem>

#include "FileObject.h"
#include "PathText.h"
#include "VolumeHost.h"
#include "crt/WideString.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"

namespace kernel::files {
namespace {

struct Table {
    std::mutex lock;
    std::vector<std::shared_ptr<Mount>> mounts;
    std::shared_ptr<Mount> store;
    std::filesystem::path storeFolder;
};

Table& TheTable() {
    static Table* table = new Table; // never destroyed: handles may be closed at exit
    return *table;
}

// Whether a full path names an existing entry (a mount folder counts as one).
DWORD ProbeAttributes(const PathComponents& path, DWORD* attributes) {
    Route route = RoutePath(path);
    if (route.relative.empty()) {
        *attributes = FILE_ATTRIBUTE_DIRECTORY;
        return ERROR_SUCCESS;
    }
    MountUse use(*route.mount);
    if (!use.Mounted())
        return ERROR_PATH_NOT_FOUND;
    return use.Target().GetAttributes(route.relative, attributes);
}

} // namespace

std::shared_ptr<Mount> StoreMount() {
    const std::filesystem::path folder = ObjectStoreFolder();
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    if (!table.store || table.storeFolder != folder) {
        // Handles of an earlier root keep their own store mount.
        auto store = std::make_shared<Mount>();
        store->isStore = true;
        store->volume = MakeHostVolume(folder, RuntimeFolder());
        table.store = std::move(store);
        table.storeFolder = folder;
    }
    return table.store;
}

Route RoutePath(const PathComponents& path) {
    std::shared_ptr<Mount> store = StoreMount();
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    std::shared_ptr<Mount> best;
    for (const std::shared_ptr<Mount>& mount : table.mounts)
        if (StartsWithComponents(path, mount->folder) &&
            (!best || mount->folder.size() > best->folder.size()))
            best = mount;
    if (!best)
        return Route{std::move(store), path};
    PathComponents relative(path.begin() + static_cast<std::ptrdiff_t>(best->folder.size()), path.end());
    return Route{std::move(best), std::move(relative)};
}

std::vector<std::u16string> MountNamesIn(const PathComponents& folder) {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    std::vector<std::u16string> names;
    for (const std::shared_ptr<Mount>& mount : table.mounts)
        if (mount->folder.size() == folder.size() + 1 && StartsWithComponents(mount->folder, folder))
            names.push_back(mount->folder.back());
    return names;
}

bool HasMountAtOrBelow(const PathComponents& path) {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    return std::any_of(table.mounts.begin(), table.mounts.end(), [&](const std::shared_ptr<Mount>& mount) {
        return StartsWithComponents(mount->folder, path);
    });
}

bool SharesCompatible(DWORD heldAccess, DWORD heldShare, DWORD access, DWORD share) {
    const DWORD kData = GENERIC_READ | GENERIC_WRITE;
    if ((heldAccess & kData) == 0 || (access & kData) == 0)
        return true;
    if ((access & GENERIC_READ) && !(heldShare & FILE_SHARE_READ))
        return false;
    if ((access & GENERIC_WRITE) && !(heldShare & FILE_SHARE_WRITE))
        return false;
    if ((heldAccess & GENERIC_READ) && !(share & FILE_SHARE_READ))
        return false;
    if ((heldAccess & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE))
        return false;
    return true;
}

std::u16string ShareKey(const PathComponents& relative) {
    return FoldName(JoinDevicePath(relative));
}

bool IsOpenInProcess(Mount& mount, const PathComponents& relative) {
    const std::u16string key = ShareKey(relative);
    const std::u16string below = relative.empty() ? key : key + u'\\';
    std::lock_guard guard(mount.shareLock);
    for (const auto& [path, holders] : mount.opens)
        if (!holders.empty() && (path == key || path.compare(0, below.size(), below) == 0))
            return true;
    return false;
}

ShareTicket::ShareTicket(ShareTicket&& other) noexcept
    : m_mount(std::move(other.m_mount)), m_key(std::move(other.m_key)), m_id(other.m_id) {
    other.m_id = 0;
}

ShareTicket& ShareTicket::operator=(ShareTicket&& other) noexcept {
    if (this != &other) {
        Release();
        m_mount = std::move(other.m_mount);
        m_key = std::move(other.m_key);
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

ShareTicket::~ShareTicket() {
    Release();
}

DWORD ShareTicket::Take(const std::shared_ptr<Mount>& mount, const std::u16string& key, DWORD access,
                        DWORD share, ShareTicket* ticket) {
    std::vector<Mount::Holder>& holders = mount->opens[key];
    for (const Mount::Holder& holder : holders)
        if (!SharesCompatible(holder.access, holder.share, access, share))
            return ERROR_SHARING_VIOLATION;
    const unsigned long long id = mount->nextHolder++;
    holders.push_back(Mount::Holder{id, access, share});
    ticket->Release();
    ticket->m_mount = mount;
    ticket->m_key = key;
    ticket->m_id = id;
    return ERROR_SUCCESS;
}

void ShareTicket::Release() {
    if (m_id == 0 || !m_mount)
        return;
    std::lock_guard guard(m_mount->shareLock);
    auto it = m_mount->opens.find(m_key);
    if (it != m_mount->opens.end()) {
        std::erase_if(it->second, [&](const Mount::Holder& holder) { return holder.id == m_id; });
        if (it->second.empty())
            m_mount->opens.erase(it);
    }
    m_id = 0;
    m_mount.reset();
}

} // namespace kernel::files

namespace kernel {

using files::Mount;
using kernel::PathComponents;

bool MountVolume(LPCWSTR folder, std::shared_ptr<Volume> volume) {
    if (!volume)
        return Fail(ERROR_INVALID_PARAMETER, false);
    PathComponents path;
    if (DWORD error = files::ParseDevicePath(folder, files::PathUse::Name, &path); error != ERROR_SUCCESS)
        return Fail(error, false);
    if (path.empty())
        return Fail(ERROR_ACCESS_DENIED, false);

    DWORD attributes = 0;
    const PathComponents parent(path.begin(), path.end() - 1);
    if (files::ProbeAttributes(parent, &attributes) != ERROR_SUCCESS ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(ERROR_PATH_NOT_FOUND, false);
    if (files::ProbeAttributes(path, &attributes) == ERROR_SUCCESS)
        return Fail(ERROR_ALREADY_EXISTS, false);

    files::Table& table = files::TheTable();
    std::lock_guard guard(table.lock);
    for (const std::shared_ptr<Mount>& mount : table.mounts)
        if (files::ComponentsEqual(mount->folder, path))
            return Fail(ERROR_ALREADY_EXISTS, false);
    auto mount = std::make_shared<Mount>();
    mount->folder = std::move(path);
    mount->volume = std::move(volume);
    table.mounts.push_back(std::move(mount));
    return true;
}

bool UnmountVolume(LPCWSTR folder) {
    PathComponents path;
    if (DWORD error = files::ParseDevicePath(folder, files::PathUse::Name, &path); error != ERROR_SUCCESS)
        return Fail(error, false);

    std::shared_ptr<Mount> mount;
    {
        files::Table& table = files::TheTable();
        std::lock_guard guard(table.lock);
        auto it =
            std::find_if(table.mounts.begin(), table.mounts.end(), [&](const std::shared_ptr<Mount>& m) {
                return files::ComponentsEqual(m->folder, path);
            });
        if (it == table.mounts.end())
            return Fail(ERROR_PATH_NOT_FOUND, false);
        mount = *it;
        table.mounts.erase(it);
    }

    // Waits for the calls in progress, then closes every file while no call can reach the volume.
    std::unique_lock exclusive(mount->use);
    mount->mounted = false;
    {
        std::lock_guard guard(mount->filesLock);
        for (files::FileObject* file : mount->files)
            file->ReleaseVolumeFile();
        mount->files.clear();
    }
    mount->volume.reset();
    return true;
}

DWORD Volume::GetEntry(const PathComponents& path, VolumeEntry* entry) {
    if (path.empty())
        return ERROR_INVALID_PARAMETER;
    std::vector<VolumeEntry> entries;
    if (DWORD error = List(PathComponents(path.begin(), path.end() - 1), &entries); error != ERROR_SUCCESS)
        return error;
    for (VolumeEntry& candidate : entries) {
        if (crt::EqualsIgnoringCase(candidate.name, path.back())) {
            *entry = std::move(candidate);
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

DWORD Volume::Flush() {
    return ERROR_SUCCESS;
}

} // namespace kernel
