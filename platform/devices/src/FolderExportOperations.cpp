// The FUSE operations of a shared folder: each callback of the session turned into calls of the volume.

#include "FolderExportServer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "FolderExportNames.h"
#include "crt/Utf8.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Time.h"

namespace devices {
namespace {

using kernel::PathComponents;
using kernel::VolumeEntry;

// The extended attributes in which the object store keeps what a host file system has no place for; a
// device process reading the folder as host files finds the volume's own values under these names.
constexpr char kAttributesName[] = "user.ferrovane.attributes";
constexpr char kCreatedName[] = "user.ferrovane.created";
constexpr DWORD kStoredAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// The folder keeps extended attributes of the user namespace only: no access lists, security labels or
// trusted attributes.
bool IsUserAttribute(const char* name) {
    return std::strncmp(name, "user.", 5) == 0;
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

} // namespace

fuse_operations FolderExport::Server::Operations() {
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

template <typename Call>
int FolderExport::Server::OnPath(const char* path, BadName badName, std::optional<int> atRoot,
                                 Call call) const {
    PathComponents components;
    if (int error = DeviceComponents(path, m_folderUnits, &components); error != 0)
        return error == -EINVAL && badName == BadName::NamesNothing ? -ENOENT : error;
    if (components.empty() && atRoot)
        return *atRoot;
    return call(components);
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
    return OnPath(path, BadName::NamesNothing, kActsOnRoot, [&](const PathComponents& components) {
        if (components.empty()) {
            FillRoot(st);
            return 0;
        }
        VolumeEntry entry;
        if (DWORD error = Lookup(components, &entry); error != ERROR_SUCCESS)
            return -ErrnoOf(error);
        Fill(entry, st);
        return 0;
    });
}

int FolderExport::Server::ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill) {
    return OnPath(path, BadName::Refused, kActsOnRoot, [&](const PathComponents& components) {
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
    });
}

int FolderExport::Server::OnEntry(const char* path, int errnoAtRoot,
                                  DWORD (kernel::Volume::*call)(const PathComponents&)) {
    return OnPath(path, BadName::Refused, -errnoAtRoot, [&](const PathComponents& components) {
        return -ErrnoOf(Settled([&] { return ((*m_volume).*call)(components); }));
    });
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
    return OnPath(from, BadName::Refused, kActsOnRoot, [&](const PathComponents& source) {
        return OnPath(to, BadName::Refused, kActsOnRoot, [&](const PathComponents& target) {
            if (source.empty() || target.empty())
                return -EBUSY;
            const DWORD error = Settled([&] { return m_volume->Move(source, target); });
            if (error != ERROR_ALREADY_EXISTS || (flags & RENAME_NOREPLACE))
                return -ErrnoOf(error);
            return Replace(source, target);
        });
    });
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
    return OnPath(path, BadName::Refused, -EPERM, [&](const PathComponents& components) {
        DWORD attributes = 0;
        if (DWORD error = m_volume->GetAttributes(components, &attributes); error != ERROR_SUCCESS)
            return -ErrnoOf(error);
        DWORD stored = attributes & kStoredAttributes;
        stored = (mode & S_IWUSR) ? stored & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)
                                  : stored | FILE_ATTRIBUTE_READONLY;
        if (stored == (attributes & kStoredAttributes))
            return 0;
        return -ErrnoOf(m_volume->SetAttributes(components, stored));
    });
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
    return OnPath(path, BadName::Refused, -EISDIR, [&](const PathComponents& components) {
        const ULONGLONG length = static_cast<ULONGLONG>(size);
        return -ErrnoOf(OnFileForWriting(
            components, info,
            [](kernel::VolumeFile& file, const void* argument) {
                return file.SetSize(*static_cast<const ULONGLONG*>(argument));
            },
            &length));
    });
}

int FolderExport::Server::Open(const char* path, fuse_file_info* info, bool create) {
    return OnPath(path, BadName::Refused, -EISDIR, [&](const PathComponents& components) {
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
    });
}

int FolderExport::Server::Read(const char* path, fuse_file_info* info, char* buffer, size_t size,
                               off_t offset) {
    if (offset < 0)
        return -EINVAL;
    const DWORD count = static_cast<DWORD>(std::min<size_t>(size, INT32_MAX));
    return OnOpenFile(info, path, [&](kernel::VolumeFile& file) {
        DWORD done = 0;
        if (DWORD error = file.Read(static_cast<ULONGLONG>(offset), buffer, count, &done);
            error != ERROR_SUCCESS)
            return -ErrnoOf(error);
        return static_cast<int>(done);
    });
}

int FolderExport::Server::Write(const char* path, fuse_file_info* info, const char* buffer, size_t size,
                                off_t offset) {
    if (offset < 0)
        return -EINVAL;
    const DWORD count = static_cast<DWORD>(std::min<size_t>(size, INT32_MAX));
    return OnOpenFile(info, path, [&](kernel::VolumeFile& file) {
        DWORD done = 0;
        const DWORD error = file.Write(static_cast<ULONGLONG>(offset), buffer, count, &done);
        // A short write tells the writer how far it got; the next one reports the error.
        if (error != ERROR_SUCCESS && done == 0)
            return -ErrnoOf(error);
        return static_cast<int>(done);
    });
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

template <typename Call>
int FolderExport::Server::OnOpenFile(fuse_file_info* info, const char* path, Call call) {
    OpenFile& open = *FileOf(info);
    open.closed = false;
    std::lock_guard guard(open.lock);
    if (DWORD error = Reattach(open, path); error != ERROR_SUCCESS)
        return -ErrnoOf(error);
    return call(*open.file);
}

DWORD FolderExport::Server::Reattach(OpenFile& open, const char* path) {
    if (open.file)
        return ERROR_SUCCESS;
    PathComponents components;
    // No path: the file was deleted meanwhile.
    if (path == nullptr || DeviceComponents(path, m_folderUnits, &components) != 0 || components.empty())
        return ERROR_FILE_NOT_FOUND;
    kernel::VolumeOpen request;
    request.access = GENERIC_READ | (open.writes ? GENERIC_WRITE : 0);
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    request.disposition = OPEN_EXISTING;
    bool existed = false;
    return m_volume->Open(components, request, &open.file, &existed);
}

int FolderExport::Server::Fsync(const char* path, fuse_file_info* info) {
    return OnOpenFile(info, path, [](kernel::VolumeFile& file) { return -ErrnoOf(file.Flush()); });
}

int FolderExport::Server::SyncVolume() {
    return -ErrnoOf(m_volume->Flush());
}

int FolderExport::Server::SetXattr(const char* path, const char* name, const char* value, size_t size) {
    return OnPath(path, BadName::Refused, kActsOnRoot, [&](const PathComponents& components) {
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
    });
}

int FolderExport::Server::GetXattr(const char* path, const char* name, char* value, size_t size) {
    return OnPath(path, BadName::NamesNothing, kActsOnRoot, [&](const PathComponents& components) {
        const bool attributes = std::strcmp(name, kAttributesName) == 0;
        const bool created = std::strcmp(name, kCreatedName) == 0;
        // Programs that ask for access lists or security labels (ls -l, for every file) learn once that the
        // folder keeps none.
        if (!IsUserAttribute(name))
            return -ENOTSUP;
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
    });
}

int FolderExport::Server::ListXattr(const char* path, char* list, size_t size) {
    return OnPath(path, BadName::NamesNothing, kActsOnRoot, [&](const PathComponents& components) {
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
    });
}

int FolderExport::Server::RemoveXattr(const char* path, const char* name) {
    return OnPath(path, BadName::Refused, kActsOnRoot, [&](const PathComponents& components) {
        if (!IsUserAttribute(name))
            return -ENOTSUP;
        if (components.empty())
            return -ENODATA;
        if (std::strcmp(name, kAttributesName) == 0)
            return -ErrnoOf(m_volume->SetAttributes(components, 0));
        if (std::strcmp(name, kCreatedName) == 0)
            return -ENOTSUP; // a FAT entry always has a creation time
        return -ENODATA;
    });
}

int FolderExport::Server::Access(const char* path, int mask) {
    return OnPath(path, BadName::NamesNothing, 0, [&](const PathComponents& components) {
        DWORD attributes = 0;
        if (DWORD error = m_volume->GetAttributes(components, &attributes); error != ERROR_SUCCESS)
            return -ErrnoOf(error);
        if ((mask & W_OK) && (attributes & FILE_ATTRIBUTE_READONLY) &&
            !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return -EACCES;
        return 0;
    });
}

int FolderExport::Server::Utimens(const char* path, const timespec times[2], fuse_file_info* info) {
    return OnPath(path, BadName::Refused, 0, [&](const PathComponents& components) {
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
    });
}

} // namespace devices
