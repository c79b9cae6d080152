#pragma once
// The mount table: the object store of the current device root and the volumes mounted at folders, and
// the routing of a device path to the volume that serves it.

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "crt/Types.h"
#include "kernel/Volume.h"

namespace kernel::files {

class FileObject;

struct Mount {
    PathComponents folder; // empty for the object store
    std::shared_ptr<Volume> volume;
    bool isStore = false;

    // Held shared by every call into the volume, exclusively while unmounting.
    std::shared_mutex use;
    bool mounted = true; // guarded by use

    std::mutex filesLock;
    std::unordered_set<FileObject*> files; // open files, closed at unmount

    // Share modes among this process's handles, for volumes that do not enforce them.
    struct Holder {
        unsigned long long id;
        DWORD access;
        DWORD share;
    };
    std::mutex shareLock;
    std::unordered_map<std::u16string, std::vector<Holder>> opens; // by folded path
    unsigned long long nextHolder = 1;
};

// A call in progress on a mount; !Mounted() once it has been unmounted.
class MountUse {
public:
    explicit MountUse(Mount& mount) : m_mount(mount), m_lock(mount.use) {}
    bool Mounted() const { return m_mount.mounted; }
    Volume& Target() const { return *m_mount.volume; }

private:
    Mount& m_mount;
    std::shared_lock<std::shared_mutex> m_lock;
};

struct Route {
    std::shared_ptr<Mount> mount;
    PathComponents relative; // below the mount's root; empty for the root itself
};

// The object store of the current device root.
std::shared_ptr<Mount> StoreMount();
// The mount that serves a full device path (the longest mount folder that starts it, else the store).
Route RoutePath(const PathComponents& path);
// The names of mount folders directly inside a folder.
std::vector<std::u16string> MountNamesIn(const PathComponents& folder);
// Whether a mount folder is the path itself or lies below it.
bool HasMountAtOrBelow(const PathComponents& path);

// Whether a new open with (access, share) can coexist with an existing one. Opens with access 0 never
// conflict.
bool SharesCompatible(DWORD heldAccess, DWORD heldShare, DWORD access, DWORD share);

// A registration in a mount's in-process share table, removed when destroyed.
class ShareTicket {
public:
    ShareTicket() = default;
    ShareTicket(const ShareTicket&) = delete;
    ShareTicket& operator=(const ShareTicket&) = delete;
    ShareTicket(ShareTicket&& other) noexcept;
    ShareTicket& operator=(ShareTicket&& other) noexcept;
    ~ShareTicket();
    // ERROR_SHARING_VIOLATION when an open of the same path conflicts; the caller holds mount.shareLock.
    static DWORD Take(const std::shared_ptr<Mount>& mount, const std::u16string& key, DWORD access,
                      DWORD share, ShareTicket* ticket);

private:
    void Release();
    std::shared_ptr<Mount> m_mount;
    std::u16string m_key;
    unsigned long long m_id = 0;
};

// The in-process share table's key of a path below a mount.
std::u16string ShareKey(const PathComponents& relative);
// Whether this process holds the path (or, for a folder, anything below it) open on the mount.
bool IsOpenInProcess(Mount& mount, const PathComponents& relative);

} // namespace kernel::files
