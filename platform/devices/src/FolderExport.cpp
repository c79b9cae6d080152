// The FUSE export of a mounted volume: the file-system callbacks over the kernel's volume interface, the
// names between the host (UTF-8, '/') and the device (UTF-16, '\'), and mounting, unmounting and
// reclaiming the host folder.

#define FUSE_USE_VERSION 314
#include <fuse.h>

#include "FolderExport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "crt/Utf8.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Time.h"

extern char** environ;

namespace devices {
namespace {

using kernel::PathComponents;
using kernel::VolumeEntry;

constexpr char kSwitchVariable[] = "FERROVANE_FUSE";
// The extended attributes in which the object store keeps what a host file system has no place for; a
// device process reading the folder as host files finds the volume's own values under these names.
constexpr char kAttributesName[] = "user.ferrovane.attributes";
constexpr char kCreatedName[] = "user.ferrovane.created";
// Marks a host folder that Start made, so that one left behind is told from the user's own.
constexpr char kMountPointName[] = "user.ferrovane.mountpoint";
constexpr DWORD kStoredAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD kStopStep = 100; // ms between two unmount attempts
// How long an unmount waits for the releases of folders the host has just closed; the kernel sends them
// after the close returns, and a release that the unmount cuts off leaves the session's listing behind.
constexpr auto kFolderReleaseWait = std::chrono::milliseconds(50);
constexpr unsigned kMaxThreads = 16;
constexpr unsigned kIdleThreads = 4;
constexpr long long kUnixEpochTicks = 116444736000000000LL; // 100 ns units from 1601 to 1970
constexpr long long kTicksPerSecond = 10000000;
constexpr size_t kMaxNameBytes = 255;

// --- Names ---------------------------------------------------------------------------------------------

// What the device's paths accept as a name: no control characters, none of < > : " / | \ * ?, not "."
// or "..". A host name with '\' would otherwise reach the volume as two names.
bool IsDeviceName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..")
        return false;
    for (char16_t c : name)
        if (c < 0x20 || std::u16string_view(u"<>:\"/|\\*?").find(c) != std::u16string_view::npos)
            return false;
    return true;
}

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_DISK_FULL:
    case ERROR_CANNOT_MAKE:
        return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return EBUSY;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_NOT_ENOUGH_MEMORY:
        return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_NOT_SUPPORTED:
        return ENOTSUP;
    default:
        return EIO;
    }
}

// --- Times ---------------------------------------------------------------------------------------------

ULONGLONG TicksOf(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTimeOf(ULONGLONG ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// A FILETIME of 0 (no valid date on the volume) shows as the host's epoch.
timespec ToTimespec(const FILETIME& time) {
    const ULONGLONG ticks = TicksOf(time);
    if (ticks == 0 || ticks > static_cast<ULONGLONG>(INT64_MAX))
        return timespec{};
    const long long sinceEpoch = static_cast<long long>(ticks) - kUnixEpochTicks;
    long long seconds = sinceEpoch / kTicksPerSecond;
    long long rest = sinceEpoch % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    return timespec{static_cast<time_t>(seconds), static_cast<long>(rest * 100)};
}

FILETIME FromTimespec(const timespec& time) {
    constexpr long long kLeast = -kUnixEpochTicks / kTicksPerSecond;
    constexpr long long kMost = (INT64_MAX - kUnixEpochTicks) / kTicksPerSecond - 1;
    const long long seconds = time.tv_sec;
    if (seconds < kLeast)
        return FILETIME{};
    if (seconds > kMost)
        return FileTimeOf(static_cast<ULONGLONG>(INT64_MAX));
    return FileTimeOf(
        static_cast<ULONGLONG>(kUnixEpochTicks + seconds * kTicksPerSecond + time.tv_nsec / 100));
}

// --- Processes and log -----------------------------------------------------------------------------------

// Runs fusermount3 with its output discarded; true when it exited with 0.
bool RunFusermount(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "fusermount3");
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, "fusermount3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool IsExecutableOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
    while (true) {
        const size_t end = folders.find(':');
        const std::string folder(folders.substr(0, end));
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
        if (end == std::string_view::npos)
            return false;
        folders.remove_prefix(end + 1);
    }
}

// libfuse reports why a mount failed through its log; the thread that mounts collects the lines, the
// lines of the session's threads are dropped.
thread_local std::string* t_fuseLog = nullptr;

void CollectFuseLog(enum fuse_log_level, const char* format, va_list arguments) {
    if (t_fuseLog == nullptr)
        return;
    char line[512];
    std::vsnprintf(line, sizeof line, format, arguments);
    std::string_view text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    try {
        if (!t_fuseLog->empty())
            t_fuseLog->append("; ");
        t_fuseLog->append(text);
    } catch (...) {
        // Out of memory: the reason goes without this line.
    }
}

class FuseLogCapture {
public:
    FuseLogCapture() {
        static std::once_flag installed;
        std::call_once(installed, [] { fuse_set_log_func(CollectFuseLog); });
        t_fuseLog = &m_text;
    }
    ~FuseLogCapture() { t_fuseLog = nullptr; }
    FuseLogCapture(const FuseLogCapture&) = delete;
    FuseLogCapture& operator=(const FuseLogCapture&) = delete;
    std::string Text() const { return m_text.empty() ? std::string("no reason given") : m_text; }

private:
    std::string m_text;
};

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// Catches what may escape a callback (an allocation that failed): nothing crosses into libfuse.
template <typename Call>
int Guarded(Call call) noexcept {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return -ENOMEM;
    } catch (...) {
        return -EIO;
    }
}

} // namespace

// --- The server ------------------------------------------------------------------------------------------

class FolderExport::Server {
public:
    Server(std::filesystem::path host, const std::u16string& deviceFolder,
           std::shared_ptr<kernel::Volume> volume)
        : m_host(std::move(host)), m_folderUnits(deviceFolder.size()), m_volume(std::move(volume)) {}
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool Mount(bool readOnly, std::string* whyNot);
    ExportStop Stop(DWORD patience);
    // Lets a session that is still busy run on to the end of the process.
    void Abandon() {
        if (m_loop.joinable())
            m_loop.detach();
    }

    const std::filesystem::path& Host() const { return m_host; }
    size_t OpenFiles() {
        std::lock_guard guard(m_filesLock);
        return m_files.size();
    }

    void FolderOpened() {
        std::lock_guard guard(m_foldersLock);
        ++m_openFolders;
    }
    void FolderReleased() {
        std::lock_guard guard(m_foldersLock);
        if (m_openFolders > 0 && --m_openFolders == 0)
            m_foldersReleased.notify_all();
    }
    // A descriptor of the file was closed, by the thread that opened it when closer is the opener.
    static void Closed(fuse_file_info* info, pid_t closer) {
        OpenFile& open = *FileOf(info);
        if (closer == open.opener)
            open.closed = true;
    }

    // The callbacks; each returns 0 (or a count) or a negated errno value.
    int GetAttr(const char* path, struct stat* st);
    int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill);
    int MakeDirectory(const char* path);
    int Unlink(const char* path);
    int RemoveDirectory(const char* path);
    int Rename(const char* from, const char* to, unsigned int flags);
    int Chmod(const char* path, mode_t mode);
    int Chown(uid_t uid, gid_t gid) const;
    int Truncate(const char* path, off_t size, fuse_file_info* info);
    int Open(const char* path, fuse_file_info* info, bool create);
    int Read(const char* path, fuse_file_info* info, char* buffer, size_t size, off_t offset);
    int Write(const char* path, fuse_file_info* info, const char* buffer, size_t size, off_t offset);
    int StatFs(struct statvfs* st);
    int Release(fuse_file_info* info);
    int Fsync(const char* path, fuse_file_info* info);
    int SyncVolume();
    int SetXattr(const char* path, const char* name, const char* value, size_t size);
    int GetXattr(const char* path, const char* name, char* value, size_t size);
    int ListXattr(const char* path, char* list, size_t size);
    int RemoveXattr(const char* path, const char* name);
    int Access(const char* path, int mask);
    int Utimens(const char* path, const timespec times[2], fuse_file_info* info);

private:
    // A file the host holds open; the volume's calls on one file are serialised. The volume refuses to
    // delete or rename an open file, and the kernel sends the release of a file only after close() has
    // returned, so a program that closes a file and at once deletes or renames it would find it busy. A
    // close by the thread that opened the file (which the kernel reports before close returns) marks it
    // closed; a delete or rename that the volume refuses lets go of the volume's files of the closed ones
    // and tries again. Waiting for the releases instead would wait for ever: the session holds the path of
    // a file that is being deleted or renamed, and a release needs that path. A closed file that another
    // descriptor goes on using is opened again by its path.
    struct OpenFile {
        std::mutex lock;
        std::unique_ptr<kernel::VolumeFile> file; // null once let go after a close
        bool writes = false;
        pid_t opener = 0;                // the thread that opened it
        std::atomic<bool> closed{false}; // closed by that thread since its last use
    };

    int Components(const char* path, PathComponents* components) const;
    // A call of the volume on the entry at path; the root is no entry it may act on.
    int OnEntry(const char* path, int errnoAtRoot, DWORD (kernel::Volume::*call)(const PathComponents&));
    DWORD Lookup(const PathComponents& path, VolumeEntry* entry) const;
    void Fill(const VolumeEntry& entry, struct stat* st) const;
    void FillRoot(struct stat* st) const;
    int Replace(const PathComponents& source, const PathComponents& target);
    // The volume's file of an open file, opened again by its path after it was let go; the open file's lock
    // is held.
    DWORD Reattach(OpenFile& open, const char* path);
    // A delete or rename by the volume, tried once more after letting go of the closed files (see OpenFile).
    template <typename Call>
    DWORD Settled(Call call);
    DWORD OnFileForWriting(const PathComponents& path, fuse_file_info* info,
                           DWORD (*call)(kernel::VolumeFile&, const void*), const void* argument);
    static OpenFile* FileOf(fuse_file_info* info) { return reinterpret_cast<OpenFile*>(info->fh); }
    void AwaitFolderReleases();
    bool TryUnmount();
    void Finish();

    std::filesystem::path m_host;
    size_t m_folderUnits; // the mount folder's device path, counted against MAX_PATH
    std::shared_ptr<kernel::Volume> m_volume;
    uid_t m_uid = ::getuid(); // the owner of every entry
    gid_t m_gid = ::getgid();
    std::atomic<unsigned> m_asideCounter{0};

    std::mutex m_filesLock;
    std::unordered_map<OpenFile*, std::unique_ptr<OpenFile>> m_files;

    std::mutex m_foldersLock;
    std::condition_variable m_foldersReleased;
    unsigned m_openFolders = 0;

    fuse* m_fuse = nullptr;
    std::thread m_loop;
    std::atomic<bool> m_loopEnded{false};
    bool m_mounted = false;
};

namespace {

FolderExport::Server& Self() {
    return *static_cast<FolderExport::Server*>(fuse_get_context()->private_data);
}

void* OnInit(fuse_conn_info* connection, fuse_config* config) {
    // The mounting process changes files through its own mount table, behind the kernel's back: nothing
    // the kernel learns about names and attributes is kept, and an open reads the file anew.
    config->entry_timeout = 0;
    config->negative_timeout = 0;
    config->attr_timeout = 0;
    config->kernel_cache = 0;
    config->auto_cache = 0;
    // The engine refuses to delete an open file; hiding it under another name instead would leave it behind.
    config->hard_remove = 1;
    config->use_ino = 0;
    config->nullpath_ok = 0;
    connection->want &= ~FUSE_CAP_WRITEBACK_CACHE;
    return fuse_get_context()->private_data;
}

fuse_operations Operations() {
    fuse_operations ops{};
    ops.init = OnInit;
    ops.getattr = [](const char* path, struct stat* st, fuse_file_info*) {
        return Guarded([&] { return Self().GetAttr(path, st); });
    };
    ops.readdir = [](const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
                     fuse_readdir_flags) {
        return Guarded([&] { return Self().ReadDir(path, buffer, fill); });
    };
    ops.opendir = [](const char*, fuse_file_info*) {
        Self().FolderOpened();
        return 0;
    };
    ops.releasedir = [](const char*, fuse_file_info*) {
        Self().FolderReleased();
        return 0;
    };
    ops.mkdir = [](const char* path, mode_t) { return Guarded([&] { return Self().MakeDirectory(path); }); };
    ops.unlink = [](const char* path) { return Guarded([&] { return Self().Unlink(path); }); };
    ops.rmdir = [](const char* path) { return Guarded([&] { return Self().RemoveDirectory(path); }); };
    ops.rename = [](const char* from, const char* to, unsigned int flags) {
        return Guarded([&] { return Self().Rename(from, to, flags); });
    };
    ops.chmod = [](const char* path, mode_t mode, fuse_file_info*) {
        return Guarded([&] { return Self().Chmod(path, mode); });
    };
    ops.chown = [](const char*, uid_t uid, gid_t gid, fuse_file_info*) {
        return Guarded([&] { return Self().Chown(uid, gid); });
    };
    ops.truncate = [](const char* path, off_t size, fuse_file_info* info) {
        return Guarded([&] { return Self().Truncate(path, size, info); });
    };
    ops.open = [](const char* path, fuse_file_info* info) {
        return Guarded([&] { return Self().Open(path, info, false); });
    };
    ops.create = [](const char* path, mode_t, fuse_file_info* info) {
        return Guarded([&] { return Self().Open(path, info, true); });
    };
    ops.read = [](const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* info) {
        return Guarded([&] { return Self().Read(path, info, buffer, size, offset); });
    };
    ops.write = [](const char* path, const char* buffer, size_t size, off_t offset, fuse_file_info* info) {
        return Guarded([&] { return Self().Write(path, info, buffer, size, offset); });
    };
    ops.statfs = [](const char*, struct statvfs* st) { return Guarded([&] { return Self().StatFs(st); }); };
    // Every completed write is on the volume already; a close only marks the file closed.
    ops.flush = [](const char*, fuse_file_info* info) {
        FolderExport::Server::Closed(info, fuse_get_context()->pid);
        return 0;
    };
    ops.release = [](const char*, fuse_file_info* info) {
        return Guarded([&] { return Self().Release(info); });
    };
    ops.fsync = [](const char* path, int, fuse_file_info* info) {
        return Guarded([&] { return Self().Fsync(path, info); });
    };
    ops.fsyncdir = [](const char*, int, fuse_file_info*) {
        return Guarded([&] { return Self().SyncVolume(); });
    };
    ops.setxattr = [](const char* path, const char* name, const char* value, size_t size, int) {
        return Guarded([&] { return Self().SetXattr(path, name, value, size); });
    };
    ops.getxattr = [](const char* path, const char* name, char* value, size_t size) {
        return Guarded([&] { return Self().GetXattr(path, name, value, size); });
    };
    ops.listxattr = [](const char* path, char* list, size_t size) {
        return Guarded([&] { return Self().ListXattr(path, list, size); });
    };
    ops.removexattr = [](const char* path, const char* name) {
        return Guarded([&] { return Self().RemoveXattr(path, name); });
    };
    ops.access = [](const char* path, int mask) {
        return Guarded([&] { return Self().Access(path, mask); });
    };
    ops.utimens = [](const char* path, const timespec times[2], fuse_file_info* info) {
        return Guarded([&] { return Self().Utimens(path, times, info); });
    };
    return ops;
}

} // namespace

// "/a/b" into device names. Trailing dots and spaces are dropped as FAT drops them, so that a host name
// finds the entry the volume made of it.
int FolderExport::Server::Components(const char* path, PathComponents* components) const {
    components->clear();
    size_t units = m_folderUnits;
    std::string_view rest(path);
    while (!rest.empty()) {
        const size_t end = rest.find('/');
        const std::string_view name = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (name.empty())
            continue;
        if (name.size() > kMaxNameBytes)
            return -ENAMETOOLONG;
        std::optional<std::u16string> wide = crt::FromUtf8Exact(name);
        if (!wide)
            return -EINVAL;
        while (!wide->empty() && (wide->back() == u'.' || wide->back() == u' '))
            wide->pop_back();
        if (!IsDeviceName(*wide))
            return -EINVAL;
        // The device path "\folder\a\b" with its terminator must fit MAX_PATH units.
        units += 1 + wide->size();
        if (units >= MAX_PATH)
            return -ENAMETOOLONG;
        components->push_back(std::move(*wide));
    }
    return 0;
}

// The entry a name stands for, as the volume resolves it for every other call: a FAT short name is
// another name of its entry (stat, open, truncate, create, delete and rename alike), never a name of none.
DWORD FolderExport::Server::Lookup(const PathComponents& path, VolumeEntry* entry) const {
    return m_volume->GetEntry(path, entry);
}

template <typename Call>
DWORD FolderExport::Server::Settled(Call call) {
    const DWORD error = call();
    if (error != ERROR_SHARING_VIOLATION)
        return error;
    bool letGo = false;
    {
        std::lock_guard guard(m_filesLock);
        for (const auto& [key, open] : m_files) {
            if (!open->closed)
                continue;
            std::lock_guard fileGuard(open->lock);
            letGo = letGo || open->file != nullptr;
            open->file.reset();
        }
    }
    return letGo ? call() : error;
}

// Modes as a FAT mount shows them: read-only is the missing write bits, everything else may be run.
void FolderExport::Server::Fill(const VolumeEntry& entry, struct stat* st) const {
    *st = {};
    const bool folder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool readOnly = (entry.attributes & FILE_ATTRIBUTE_READONLY) != 0;
    st->st_mode = (folder ? S_IFDIR : S_IFREG) | (readOnly ? 0555 : 0755);
    st->st_nlink = folder ? 2 : 1;
    st->st_uid = m_uid;
    st->st_gid = m_gid;
    st->st_size = folder ? 0 : static_cast<off_t>(entry.size);
    st->st_blksize = 4096;
    st->st_blocks = static_cast<blkcnt_t>((entry.size + 511) / 512);
    st->st_atim = ToTimespec(entry.lastAccessTime);
    st->st_mtim = ToTimespec(entry.lastWriteTime);
    st->st_ctim = st->st_mtim;
}

void FolderExport::Server::FillRoot(struct stat* st) const {
    *st = {};
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
    st->st_uid = m_uid;
    st->st_gid = m_gid;
}

int FolderExport::Server::GetAttr(const char* path, struct stat* st) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error == -EINVAL ? -ENOENT : error; // a name the device refuses names nothing
    if (components.empty()) {
        FillRoot(st);
        return 0;
    }
    VolumeEntry entry;
    if (DWORD error = Lookup(components, &entry); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    Fill(entry, st);
    return 0;
}

int FolderExport::Server::ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error;
    std::vector<VolumeEntry> entries;
    if (DWORD error = m_volume->List(components, &entries); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
    for (const VolumeEntry& entry : entries) {
        std::optional<std::string> name = crt::ToUtf8Exact(entry.name);
        if (!name)
            continue; // no host name can carry it
        struct stat st {};
        Fill(entry, &st);
        if (fill(buffer, name->c_str(), &st, 0, fuse_fill_dir_flags{}) != 0)
            return -ENOMEM;
    }
    return 0;
}

int FolderExport::Server::OnEntry(const char* path, int errnoAtRoot,
                                  DWORD (kernel::Volume::*call)(const PathComponents&)) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error;
    if (components.empty())
        return -errnoAtRoot;
    return -ErrnoOf(Settled([&] { return ((*m_volume).*call)(components); }));
}

int FolderExport::Server::MakeDirectory(const char* path) {
    return OnEntry(path, EEXIST, &kernel::Volume::CreateDirectory);
}

int FolderExport::Server::Unlink(const char* path) {
    return OnEntry(path, EISDIR, &kernel::Volume::Delete);
}

int FolderExport::Server::RemoveDirectory(const char* path) {
    return OnEntry(path, EBUSY, &kernel::Volume::RemoveDirectory);
}

int FolderExport::Server::Rename(const char* from, const char* to, unsigned int flags) {
    if (flags & ~static_cast<unsigned int>(RENAME_NOREPLACE))
        return -EINVAL; // no exchange, no whiteouts
    PathComponents source;
    PathComponents target;
    if (int error = Components(from, &source); error != 0)
        return error;
    if (int error = Components(to, &target); error != 0)
        return error;
    if (source.empty() || target.empty())
        return -EBUSY;
    const DWORD error = Settled([&] { return m_volume->Move(source, target); });
    if (error != ERROR_ALREADY_EXISTS || (flags & RENAME_NOREPLACE))
        return -ErrnoOf(error);
    return Replace(source, target);
}

// A rename onto an existing entry replaces it on the host; the volume refuses that, so the target steps
// aside under a temporary name until the source has taken its place, and comes back when that fails.
int FolderExport::Server::Replace(const PathComponents& source, const PathComponents& target) {
    DWORD sourceAttributes = 0;
    DWORD targetAttributes = 0;
    if (DWORD error = m_volume->GetAttributes(source, &sourceAttributes); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    if (DWORD error = m_volume->GetAttributes(target, &targetAttributes); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    const bool sourceFolder = (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool targetFolder = (targetAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (sourceFolder && !targetFolder)
        return -ENOTDIR;
    if (!sourceFolder && targetFolder)
        return -EISDIR;
    // A read-only entry, or a folder with entries, could not be removed once replaced.
    if (targetAttributes & FILE_ATTRIBUTE_READONLY)
        return -EACCES;
    if (targetFolder) {
        std::vector<VolumeEntry> entries;
        if (DWORD error = m_volume->List(target, &entries); error != ERROR_SUCCESS)
            return -ErrnoOf(error);
        if (!entries.empty())
            return -ENOTEMPTY;
    }
    PathComponents aside = target;
    DWORD error = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < 8 && error == ERROR_ALREADY_EXISTS; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "~frv%04x.tmp", m_asideCounter.fetch_add(1) & 0xFFFF);
        aside.back() = std::u16string(name, name + std::strlen(name));
        error = Settled([&] { return m_volume->Move(target, aside); });
    }
    if (error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    if (error = m_volume->Move(source, target); error != ERROR_SUCCESS) {
        m_volume->Move(aside, target);
        return -ErrnoOf(error);
    }
    // Should this fail (a disk error), the replaced entry stays under its temporary name, not lost.
    if (targetFolder)
        m_volume->RemoveDirectory(aside);
    else
        m_volume->Delete(aside);
    return 0;
}

int FolderExport::Server::Chmod(const char* path, mode_t mode) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error;
    if (components.empty())
        return -EPERM;
    DWORD attributes = 0;
    if (DWORD error = m_volume->GetAttributes(components, &attributes); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    DWORD stored = attributes & kStoredAttributes;
    stored = (mode & S_IWUSR) ? stored & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)
                              : stored | FILE_ATTRIBUTE_READONLY;
    if (stored == (attributes & kStoredAttributes))
        return 0;
    return -ErrnoOf(m_volume->SetAttributes(components, stored));
}

// FAT keeps no owners: every entry belongs to the user who mounted the volume.
int FolderExport::Server::Chown(uid_t uid, gid_t gid) const {
    const bool sameUser = uid == static_cast<uid_t>(-1) || uid == m_uid;
    const bool sameGroup = gid == static_cast<gid_t>(-1) || gid == m_gid;
    return sameUser && sameGroup ? 0 : -EPERM;
}

// Runs a call on an open file that can write: the host's own handle when it has one, else one of its
// own for the call.
DWORD FolderExport::Server::OnFileForWriting(const PathComponents& path, fuse_file_info* info,
                                             DWORD (*call)(kernel::VolumeFile&, const void*),
                                             const void* argument) {
    if (info != nullptr && info->fh != 0 && FileOf(info)->writes) {
        OpenFile& open = *FileOf(info);
        open.closed = false;
        std::lock_guard guard(open.lock);
        if (!open.file) {
            kernel::VolumeOpen request;
            request.access = GENERIC_READ | GENERIC_WRITE;
            request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
            request.disposition = OPEN_EXISTING;
            bool existed = false;
            if (DWORD error = m_volume->Open(path, request, &open.file, &existed); error != ERROR_SUCCESS)
                return error;
        }
        return call(*open.file, argument);
    }
    kernel::VolumeOpen request;
    request.access = GENERIC_WRITE;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    request.disposition = OPEN_EXISTING;
    std::unique_ptr<kernel::VolumeFile> file;
    bool existed = false;
    if (DWORD error = m_volume->Open(path, request, &file, &existed); error != ERROR_SUCCESS)
        return error;
    return call(*file, argument);
}

int FolderExport::Server::Truncate(const char* path, off_t size, fuse_file_info* info) {
    if (size < 0)
        return -EINVAL;
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error;
    if (components.empty())
        return -EISDIR;
    const ULONGLONG length = static_cast<ULONGLONG>(size);
    return -ErrnoOf(OnFileForWriting(
        components, info,
        [](kernel::VolumeFile& file, const void* argument) {
            return file.SetSize(*static_cast<const ULONGLONG*>(argument));
        },
        &length));
}

int FolderExport::Server::Open(const char* path, fuse_file_info* info, bool create) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error;
    if (components.empty())
        return -EISDIR;
    const int mode = info->flags & O_ACCMODE;
    const bool writes = mode == O_WRONLY || mode == O_RDWR;
    kernel::VolumeOpen request;
    request.access = (mode == O_WRONLY ? 0 : GENERIC_READ) | (writes ? GENERIC_WRITE : 0);
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const bool truncates = writes && (info->flags & O_TRUNC);
    if (create)
        request.disposition = (info->flags & O_EXCL) ? CREATE_NEW : OPEN_ALWAYS;
    else
        request.disposition = truncates ? TRUNCATE_EXISTING : OPEN_EXISTING;

    auto open = std::make_unique<OpenFile>();
    open->writes = writes;
    open->opener = fuse_get_context()->pid;
    bool existed = false;
    if (DWORD error = m_volume->Open(components, request, &open->file, &existed); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    if (create && existed && truncates)
        if (DWORD error = open->file->SetSize(0); error != ERROR_SUCCESS)
            return -ErrnoOf(error);
    OpenFile* key = open.get();
    {
        std::lock_guard guard(m_filesLock);
        m_files.emplace(key, std::move(open));
    }
    info->fh = reinterpret_cast<uint64_t>(key);
    return 0;
}

int FolderExport::Server::Read(const char* path, fuse_file_info* info, char* buffer, size_t size,
                               off_t offset) {
    if (offset < 0)
        return -EINVAL;
    OpenFile& open = *FileOf(info);
    open.closed = false;
    const DWORD count = static_cast<DWORD>(std::min<size_t>(size, INT32_MAX));
    DWORD done = 0;
    std::lock_guard guard(open.lock);
    if (DWORD error = Reattach(open, path); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    if (DWORD error = open.file->Read(static_cast<ULONGLONG>(offset), buffer, count, &done);
        error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    return static_cast<int>(done);
}

int FolderExport::Server::Write(const char* path, fuse_file_info* info, const char* buffer, size_t size,
                                off_t offset) {
    if (offset < 0)
        return -EINVAL;
    OpenFile& open = *FileOf(info);
    open.closed = false;
    const DWORD count = static_cast<DWORD>(std::min<size_t>(size, INT32_MAX));
    DWORD done = 0;
    std::lock_guard guard(open.lock);
    if (DWORD error = Reattach(open, path); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    const DWORD error = open.file->Write(static_cast<ULONGLONG>(offset), buffer, count, &done);
    // A short write tells the writer how far it got; the next one reports the error.
    if (error != ERROR_SUCCESS && done == 0)
        return -ErrnoOf(error);
    return static_cast<int>(done);
}

int FolderExport::Server::StatFs(struct statvfs* st) {
    ULONGLONG freeBytes = 0;
    ULONGLONG totalBytes = 0;
    if (DWORD error = m_volume->GetFreeSpace(&freeBytes, &totalBytes); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    *st = {};
    st->f_bsize = 512;
    st->f_frsize = 512;
    st->f_blocks = totalBytes / 512;
    st->f_bfree = freeBytes / 512;
    st->f_bavail = freeBytes / 512;
    st->f_namemax = kMaxNameBytes;
    return 0;
}

int FolderExport::Server::Release(fuse_file_info* info) {
    std::unique_ptr<OpenFile> closing;
    {
        std::lock_guard guard(m_filesLock);
        auto it = m_files.find(FileOf(info));
        if (it == m_files.end())
            return 0;
        closing = std::move(it->second);
        m_files.erase(it);
    }
    return 0; // destroying it closes the volume's file, if a close has not
}

DWORD FolderExport::Server::Reattach(OpenFile& open, const char* path) {
    if (open.file)
        return ERROR_SUCCESS;
    PathComponents components;
    // No path: the file was deleted meanwhile.
    if (path == nullptr || Components(path, &components) != 0 || components.empty())
        return ERROR_FILE_NOT_FOUND;
    kernel::VolumeOpen request;
    request.access = GENERIC_READ | (open.writes ? GENERIC_WRITE : 0);
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    request.disposition = OPEN_EXISTING;
    bool existed = false;
    return m_volume->Open(components, request, &open.file, &existed);
}

int FolderExport::Server::Fsync(const char* path, fuse_file_info* info) {
    OpenFile& open = *FileOf(info);
    open.closed = false;
    std::lock_guard guard(open.lock);
    if (DWORD error = Reattach(open, path); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    return -ErrnoOf(open.file->Flush());
}

int FolderExport::Server::SyncVolume() {
    return -ErrnoOf(m_volume->Flush());
}

int FolderExport::Server::SetXattr(const char* path, const char* name, const char* value, size_t size) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error;
    const bool attributes = std::strcmp(name, kAttributesName) == 0;
    const bool created = std::strcmp(name, kCreatedName) == 0;
    if (components.empty() || (!attributes && !created))
        return -ENOTSUP;
    const auto* bytes = reinterpret_cast<const unsigned char*>(value);
    if (attributes) {
        if (size != 4)
            return -EINVAL;
        const DWORD stored = static_cast<DWORD>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16)) |
                             (static_cast<DWORD>(bytes[3]) << 24);
        return -ErrnoOf(m_volume->SetAttributes(components, stored & kStoredAttributes));
    }
    if (size != 8)
        return -EINVAL;
    ULONGLONG ticks = 0;
    for (int i = 7; i >= 0; --i)
        ticks = (ticks << 8) | bytes[i];
    DWORD attributesNow = 0;
    if (DWORD error = m_volume->GetAttributes(components, &attributesNow); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    if (attributesNow & FILE_ATTRIBUTE_DIRECTORY)
        return -ENOTSUP; // the volume sets times through open files only
    const FILETIME creation = FileTimeOf(ticks);
    return -ErrnoOf(OnFileForWriting(
        components, nullptr,
        [](kernel::VolumeFile& file, const void* argument) {
            return file.SetTimes(static_cast<const FILETIME*>(argument), nullptr, nullptr);
        },
        &creation));
}

int FolderExport::Server::GetXattr(const char* path, const char* name, char* value, size_t size) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error == -EINVAL ? -ENOENT : error;
    const bool attributes = std::strcmp(name, kAttributesName) == 0;
    const bool created = std::strcmp(name, kCreatedName) == 0;
    if (components.empty() || (!attributes && !created))
        return -ENODATA;
    VolumeEntry entry;
    if (DWORD error = Lookup(components, &entry); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    unsigned char bytes[8] = {};
    size_t length = 0;
    if (attributes) {
        const DWORD stored = entry.attributes & kStoredAttributes;
        if (stored == 0)
            return -ENODATA; // as the object store keeps no bits
        for (size_t i = 0; i < 4; ++i)
            bytes[i] = static_cast<unsigned char>(stored >> (8 * i));
        length = 4;
    } else {
        const ULONGLONG ticks = TicksOf(entry.creationTime);
        if (ticks == 0)
            return -ENODATA;
        for (size_t i = 0; i < 8; ++i)
            bytes[i] = static_cast<unsigned char>(ticks >> (8 * i));
        length = 8;
    }
    if (size == 0)
        return static_cast<int>(length);
    if (size < length)
        return -ERANGE;
    std::memcpy(value, bytes, length);
    return static_cast<int>(length);
}

int FolderExport::Server::ListXattr(const char* path, char* list, size_t size) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error == -EINVAL ? -ENOENT : error;
    std::string names;
    if (!components.empty()) {
        VolumeEntry entry;
        if (DWORD error = Lookup(components, &entry); error != ERROR_SUCCESS)
            return -ErrnoOf(error);
        if (entry.attributes & kStoredAttributes)
            names.append(kAttributesName, sizeof kAttributesName);
        if (TicksOf(entry.creationTime) != 0)
            names.append(kCreatedName, sizeof kCreatedName);
    }
    if (size == 0)
        return static_cast<int>(names.size());
    if (size < names.size())
        return -ERANGE;
    std::memcpy(list, names.data(), names.size());
    return static_cast<int>(names.size());
}

int FolderExport::Server::RemoveXattr(const char* path, const char* name) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error;
    if (components.empty())
        return -ENODATA;
    if (std::strcmp(name, kAttributesName) == 0)
        return -ErrnoOf(m_volume->SetAttributes(components, 0));
    if (std::strcmp(name, kCreatedName) == 0)
        return -ENOTSUP; // a FAT entry always has a creation time
    return -ENODATA;
}

int FolderExport::Server::Access(const char* path, int mask) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error == -EINVAL ? -ENOENT : error;
    if (components.empty())
        return 0;
    DWORD attributes = 0;
    if (DWORD error = m_volume->GetAttributes(components, &attributes); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    if ((mask & W_OK) && (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return -EACCES;
    return 0;
}

int FolderExport::Server::Utimens(const char* path, const timespec times[2], fuse_file_info* info) {
    PathComponents components;
    if (int error = Components(path, &components); error != 0)
        return error;
    if (components.empty())
        return 0;
    DWORD attributes = 0;
    if (DWORD error = m_volume->GetAttributes(components, &attributes); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    // The volume sets the times of files only; a folder keeps what FAT gave it.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return 0;
    struct Times {
        FILETIME values[2]{};
        const FILETIME* given[2]{};
    } wanted;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    for (int i = 0; i < 2; ++i) {
        if (times == nullptr || times[i].tv_nsec == UTIME_NOW)
            wanted.values[i] = now;
        else if (times[i].tv_nsec == UTIME_OMIT)
            continue;
        else
            wanted.values[i] = FromTimespec(times[i]);
        wanted.given[i] = &wanted.values[i];
    }
    return -ErrnoOf(OnFileForWriting(
        components, info,
        [](kernel::VolumeFile& file, const void* argument) {
            const auto& times = *static_cast<const Times*>(argument);
            return file.SetTimes(nullptr, times.given[0], times.given[1]);
        },
        &wanted));
}

// --- Mounting and unmounting -----------------------------------------------------------------------------

bool FolderExport::Server::Mount(bool readOnly, std::string* whyNot) {
    FuseLogCapture log;
    const fuse_operations ops = Operations();
    char program[] = "ferrovane";
    char option[] = "-o";
    char names[] = "fsname=ferrovane,subtype=ferrovane";
    char readOnlyNames[] = "fsname=ferrovane,subtype=ferrovane,ro";
    char* argv[] = {program, option, readOnly ? readOnlyNames : names, nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, argv);
    m_fuse = fuse_new(&args, &ops, sizeof ops, this);
    fuse_opt_free_args(&args);
    if (m_fuse == nullptr) {
        *whyNot = "FUSE refused the session: " + log.Text();
        return false;
    }
    if (fuse_mount(m_fuse, m_host.c_str()) != 0) {
        *whyNot = "FUSE refused the mount: " + log.Text();
        fuse_destroy(m_fuse);
        m_fuse = nullptr;
        return false;
    }
    try {
        m_loop = std::thread([this] {
            fuse_loop_config* config = fuse_loop_cfg_create();
            if (config != nullptr) {
                fuse_loop_cfg_set_max_threads(config, kMaxThreads);
                fuse_loop_cfg_set_idle_threads(config, kIdleThreads);
                fuse_loop_mt(m_fuse, config);
                fuse_loop_cfg_destroy(config);
            }
            m_loopEnded = true;
        });
    } catch (...) {
        *whyNot = "no thread for the FUSE session";
        fuse_unmount(m_fuse);
        fuse_destroy(m_fuse);
        m_fuse = nullptr;
        return false;
    }
    m_mounted = true;
    return true;
}

// In real time: the host's programs run on it, not on the platform's clock.
void FolderExport::Server::AwaitFolderReleases() {
    std::unique_lock guard(m_foldersLock);
    m_foldersReleased.wait_for(guard, kFolderReleaseWait, [this] { return m_openFolders == 0; });
}

// A plain unmount, which the kernel refuses while anything on the host holds the folder; the session's
// threads answer whatever the unmount asks of the file system.
bool FolderExport::Server::TryUnmount() {
    AwaitFolderReleases();
    if (::umount2(m_host.c_str(), UMOUNT_NOFOLLOW) == 0)
        return true;
    if (errno == EPERM)
        return RunFusermount({"-u", "-q", "--", m_host.string()});
    // EINVAL: no mount there any more (someone unmounted it); it is over once the session has ended.
    return errno == EINVAL && m_loopEnded;
}

ExportStop FolderExport::Server::Stop(DWORD patience) {
    if (!m_mounted)
        return ExportStop::Stopped;
    const ULONGLONG deadline = kernel::ClockMilliseconds() + patience;
    while (!m_loopEnded && !TryUnmount()) {
        if (kernel::ClockMilliseconds() >= deadline)
            return ExportStop::Busy;
        Sleep(kStopStep);
        // On the virtual clock the step takes no time; host programs still get some to let go.
        if (kernel::IsVirtualClock())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Finish();
    return ExportStop::Stopped;
}

void FolderExport::Server::Finish() {
    // The unmount ended the connection, and with it the session's loop.
    if (m_loop.joinable())
        m_loop.join();
    fuse_unmount(m_fuse); // closes the session's descriptor
    {
        // Files whose release the ended connection never delivered.
        std::lock_guard guard(m_filesLock);
        m_files.clear();
    }
    fuse_destroy(m_fuse);
    m_fuse = nullptr;
    m_mounted = false;
    ::rmdir(m_host.c_str()); // left when something was written there while it was no mount
}

// --- The public face -------------------------------------------------------------------------------------

FolderExport::FolderExport(std::unique_ptr<Server> server) : m_server(std::move(server)) {}

FolderExport::~FolderExport() {
    if (m_server && m_server->Stop(0) == ExportStop::Busy) {
        m_server->Abandon();
        (void)m_server.release(); // its threads still serve the host's open files
    }
}

std::unique_ptr<FolderExport> FolderExport::Start(const std::filesystem::path& hostFolder,
                                                  const std::u16string& deviceFolder,
                                                  std::shared_ptr<kernel::Volume> volume, bool readOnly,
                                                  std::string* whyNot) {
    if (std::string reason = ExportUnavailableReason(); !reason.empty()) {
        *whyNot = std::move(reason);
        return nullptr;
    }
    if (::mkdir(hostFolder.c_str(), 0755) != 0) {
        *whyNot = "the host folder " + hostFolder.string() + " cannot be made: " + ErrnoText(errno);
        return nullptr;
    }
    static constexpr char kMark = '1';
    ::setxattr(hostFolder.c_str(), kMountPointName, &kMark, 1, 0); // without it a leftover stays
    auto server = std::make_unique<Server>(hostFolder, deviceFolder, std::move(volume));
    if (!server->Mount(readOnly, whyNot)) {
        ::rmdir(hostFolder.c_str());
        return nullptr;
    }
    return std::unique_ptr<FolderExport>(new FolderExport(std::move(server)));
}

ExportStop FolderExport::Stop(DWORD patienceMilliseconds) {
    return m_server ? m_server->Stop(patienceMilliseconds) : ExportStop::Stopped;
}

const std::filesystem::path& FolderExport::HostFolder() const {
    return m_server->Host();
}

size_t FolderExport::OpenFiles() const {
    return m_server->OpenFiles();
}

std::string ExportUnavailableReason() {
    if (const char* setting = std::getenv(kSwitchVariable);
        setting != nullptr && (std::strcmp(setting, "0") == 0 || ::strcasecmp(setting, "off") == 0))
        return std::string("shared folders are switched off (") + kSwitchVariable + "=" + setting + ")";
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return "no usable /dev/fuse (" + ErrnoText(errno) + ")";
    if (::geteuid() != 0 && !IsExecutableOnPath("fusermount3"))
        return "fusermount3 is not installed";
    return {};
}

bool ReclaimHostFolder(const std::filesystem::path& hostFolder) {
    struct stat st {};
    bool dead = false;
    if (::lstat(hostFolder.c_str(), &st) != 0) {
        if (errno != ENOTCONN)
            return false;
        // A FUSE mount whose server is gone.
        dead = true;
        if (::umount2(hostFolder.c_str(), MNT_DETACH | UMOUNT_NOFOLLOW) != 0)
            RunFusermount({"-u", "-z", "-q", "--", hostFolder.string()});
        if (::lstat(hostFolder.c_str(), &st) != 0)
            return dead;
    }
    if (!S_ISDIR(st.st_mode))
        return dead;
    // A folder on another file system than its parent is a live mount, of another process.
    struct stat parent {};
    if (::stat(hostFolder.parent_path().c_str(), &parent) != 0 || parent.st_dev != st.st_dev)
        return dead;
    char mark = 0;
    if (::getxattr(hostFolder.c_str(), kMountPointName, &mark, 1) != 1)
        return dead;
    ::rmdir(hostFolder.c_str()); // refused when something was left in it
    return dead;
}

} // namespace devices
