#pragma once
// The server behind a FolderExport: the FUSE session over the kernel's volume interface, its open files
// and folders, and its mount. The FUSE operations and the mount's life are written in two files; this is
// what they share.

#define FUSE_USE_VERSION 314
#include <fuse.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "FolderExport.h"

namespace devices {

class FolderExport::Server {
public:
    using PathComponents = kernel::PathComponents;
    using VolumeEntry = kernel::VolumeEntry;

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

    // The callbacks that libfuse calls, each into the server of its session.
    static fuse_operations Operations();

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

    // What a call answers for a host name that the device cannot hold: it refuses the name (EINVAL), or,
    // when it only looks for an entry, finds nothing of that name (ENOENT).
    enum class BadName { Refused, NamesNothing };
    // Runs call(components) on the device names of a FUSE path, or answers the negated errno of a path
    // that has none. A call that does not act on the root answers atRoot there; kActsOnRoot lets it on.
    static constexpr std::optional<int> kActsOnRoot{};
    template <typename Call>
    int OnPath(const char* path, BadName badName, std::optional<int> atRoot, Call call) const;
    // A call of the volume on the entry at path; the root is no entry it may act on.
    int OnEntry(const char* path, int errnoAtRoot, DWORD (kernel::Volume::*call)(const PathComponents&));
    DWORD Lookup(const PathComponents& path, VolumeEntry* entry) const;
    void Fill(const VolumeEntry& entry, struct stat* st) const;
    void FillRoot(struct stat* st) const;
    int Replace(const PathComponents& source, const PathComponents& target);
    // The volume's file of an open file, opened again by its path after it was let go; the open file's lock
    // is held.
    DWORD Reattach(OpenFile& open, const char* path);
    // Runs call(file) on the volume's file of a file the host holds open, under its lock, reattached.
    template <typename Call>
    int OnOpenFile(fuse_file_info* info, const char* path, Call call);
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

} // namespace devices
