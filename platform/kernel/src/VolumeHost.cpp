// The object store's volume over a host folder.

#include "VolumeHost.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "FileObject.h"
#include "FileTime.h"
#include "MappingExtent.h"
#include "PathText.h"
#include "VolumeTable.h"
#include "crt/WideString.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Mapping.h"

namespace kernel::files {
namespace {

constexpr DWORD kStoredAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr const char* kAttributesName = "user.ferrovane.attributes";
constexpr const char* kCreatedName = "user.ferrovane.created";

std::atomic<size_t> g_hostFileFlushes{0};

bool IsNotSupported(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP;
}

// A descriptor closed on every path out.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Reset();
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }
    ~Descriptor() { Reset(); }
    int Get() const { return m_fd; }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Extended attributes of an entry, through its descriptor when there is one, else by path.
ssize_t GetXattr(int fd, const std::string& path, const char* name, void* value, size_t size) {
    return fd >= 0 ? ::fgetxattr(fd, name, value, size) : ::getxattr(path.c_str(), name, value, size);
}

int SetXattr(int fd, const std::string& path, const char* name, const void* value, size_t size) {
    return fd >= 0 ? ::fsetxattr(fd, name, value, size, 0) : ::setxattr(path.c_str(), name, value, size, 0);
}

int RemoveXattr(int fd, const std::string& path, const char* name) {
    return fd >= 0 ? ::fremovexattr(fd, name) : ::removexattr(path.c_str(), name);
}

DWORD ReadStoredAttributes(int fd, const std::string& path) {
    unsigned char bytes[4] = {};
    if (GetXattr(fd, path, kAttributesName, bytes, sizeof bytes) != sizeof bytes)
        return 0;
    const DWORD value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<DWORD>(bytes[3]) << 24);
    return value & kStoredAttributes;
}

DWORD WriteStoredAttributes(int fd, const std::string& path, DWORD attributes) {
    attributes &= kStoredAttributes;
    if (attributes == 0) {
        if (RemoveXattr(fd, path, kAttributesName) == 0 || errno == ENODATA || IsNotSupported(errno))
            return ERROR_SUCCESS;
        return HostError(errno);
    }
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(attributes), static_cast<unsigned char>(attributes >> 8),
        static_cast<unsigned char>(attributes >> 16), static_cast<unsigned char>(attributes >> 24)};
    if (SetXattr(fd, path, kAttributesName, bytes, sizeof bytes) == 0)
        return ERROR_SUCCESS;
    return IsNotSupported(errno) ? ERROR_NOT_SUPPORTED : HostError(errno);
}

FILETIME ReadCreationTime(int fd, const std::string& path, const struct stat& st) {
    unsigned char bytes[8] = {};
    if (GetXattr(fd, path, kCreatedName, bytes, sizeof bytes) != sizeof bytes)
        return ToFileTime(st.st_mtim);
    unsigned long long value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return MakeFileTime(value);
}

DWORD WriteCreationTime(int fd, const std::string& path, const FILETIME& time) {
    unsigned long long value = FileTimeValue(time);
    unsigned char bytes[8];
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(value);
        value >>= 8;
    }
    if (SetXattr(fd, path, kCreatedName, bytes, sizeof bytes) == 0)
        return ERROR_SUCCESS;
    return IsNotSupported(errno) ? ERROR_NOT_SUPPORTED : HostError(errno);
}

DWORD AttributesOf(int fd, const std::string& path, const struct stat& st) {
    DWORD attributes = ReadStoredAttributes(fd, path);
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

// Share modes across every process of the device: each open holds shared locks on the bytes of its host
// file's slot in the run-time folder's lock file that describe it; a new open takes the slot's gate,
// looks for the locks it conflicts with, takes its own and lets the gate go. The slot is a hash of the
// file's device and inode; locks vanish with their descriptor, also when a process dies.
class ShareLock {
public:
    enum Byte : off_t {
        kGate = 0,
        kOpen = 1,      // every open; deleting and moving need it free
        kReading = 2,   // opens with GENERIC_READ
        kWriting = 3,   // opens with GENERIC_WRITE
        kDenyRead = 4,  // data opens without FILE_SHARE_READ
        kDenyWrite = 5, // data opens without FILE_SHARE_WRITE
    };

    ShareLock() = default;
    ShareLock(ShareLock&&) noexcept = default;
    ShareLock& operator=(ShareLock&&) noexcept = default;

    DWORD Open(const std::string& lockFile, dev_t device, ino_t inode) {
        Descriptor fd(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (fd.Get() < 0)
            return HostError(errno);
        m_fd = std::move(fd);
        unsigned long long slot =
            Mix(Mix(static_cast<unsigned long long>(device)) ^ static_cast<unsigned long long>(inode));
        m_base = static_cast<off_t>((slot & ((1ULL << 56) - 1)) * 8);
        return ERROR_SUCCESS;
    }

    DWORD LockGate() { return Apply(F_OFD_SETLKW, F_WRLCK, kGate); }
    void UnlockGate() { Apply(F_OFD_SETLK, F_UNLCK, kGate); }
    DWORD Hold(Byte byte) { return Apply(F_OFD_SETLK, F_RDLCK, byte); }

    // Whether another open file description holds a lock on the byte.
    bool Held(Byte byte) {
        struct flock lock = Range(F_WRLCK, byte);
        if (::fcntl(m_fd.Get(), F_OFD_GETLK, &lock) != 0)
            return true; // cannot tell: refuse rather than break another open's sharing
        return lock.l_type != F_UNLCK;
    }

private:
    static unsigned long long Mix(unsigned long long x) {
        x += 0x9E3779B97F4A7C15ULL;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
        return x ^ (x >> 31);
    }

    struct flock Range(short type, Byte byte) const {
        struct flock lock {};
        lock.l_type = type;
        lock.l_whence = SEEK_SET;
        lock.l_start = m_base + byte;
        lock.l_len = 1;
        return lock;
    }

    DWORD Apply(int command, short type, Byte byte) {
        struct flock lock = Range(type, byte);
        while (::fcntl(m_fd.Get(), command, &lock) != 0) {
            if (errno != EINTR)
                return HostError(errno);
        }
        return ERROR_SUCCESS;
    }

    Descriptor m_fd;
    off_t m_base = 0;
};

// Holds a slot's gate for a delete or a move: the file must not be open anywhere.
DWORD CheckNotOpen(ShareLock& lock, const std::string& lockFile, const struct stat& st) {
    if (DWORD error = lock.Open(lockFile, st.st_dev, st.st_ino); error != ERROR_SUCCESS)
        return error;
    if (DWORD error = lock.LockGate(); error != ERROR_SUCCESS)
        return error;
    if (lock.Held(ShareLock::kOpen)) {
        lock.UnlockGate();
        return ERROR_SHARING_VIOLATION;
    }
    return ERROR_SUCCESS;
}

bool IsOffsetValid(ULONGLONG offset, DWORD count) {
    constexpr ULONGLONG kMax = static_cast<ULONGLONG>(std::numeric_limits<off_t>::max());
    return offset <= kMax && count <= kMax - offset;
}

// The host name of a device name in a host folder: an exact match, else the first entry whose name
// matches case-insensitively.
std::optional<std::string> MatchEntry(const std::string& folder, std::u16string_view name) {
    std::optional<std::string> utf8 = ToUtf8(name);
    if (!utf8)
        return std::nullopt;
    struct stat st {};
    if (::lstat((folder + "/" + *utf8).c_str(), &st) == 0)
        return utf8;
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr)
        return std::nullopt;
    std::optional<std::string> found;
    while (dirent* item = ::readdir(directory)) {
        std::optional<std::u16string> itemName = FromUtf8(item->d_name);
        if (itemName && crt::EqualsIgnoringCase(*itemName, name) && IsDeviceName(*itemName)) {
            found = item->d_name;
            break;
        }
    }
    ::closedir(directory);
    return found;
}

class HostFile final : public VolumeFile {
public:
    HostFile(Descriptor fd, ShareLock lock, const std::string& path, const struct stat& st)
        : m_fd(std::move(fd)), m_lock(std::move(lock)), m_path(path), m_device(st.st_dev),
          m_inode(st.st_ino) {}

    DWORD Read(ULONGLONG offset, void* buffer, DWORD count, DWORD* done) override {
        *done = 0;
        if (!IsOffsetValid(offset, count))
            return ERROR_SUCCESS; // nothing lies that far
        auto* out = static_cast<unsigned char*>(buffer);
        while (*done < count) {
            ssize_t n = ::pread(m_fd.Get(), out + *done, count - *done, static_cast<off_t>(offset + *done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return HostError(errno);
            if (n == 0)
                break;
            *done += static_cast<DWORD>(n);
        }
        return ERROR_SUCCESS;
    }

    DWORD Write(ULONGLONG offset, const void* buffer, DWORD count, DWORD* done) override {
        *done = 0;
        if (!IsOffsetValid(offset, count))
            return ERROR_DISK_FULL;
        const auto* in = static_cast<const unsigned char*>(buffer);
        while (*done < count) {
            ssize_t n = ::pwrite(m_fd.Get(), in + *done, count - *done, static_cast<off_t>(offset + *done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return HostError(errno);
            *done += static_cast<DWORD>(n);
        }
        return ERROR_SUCCESS;
    }

    DWORD GetSize(ULONGLONG* size) override {
        struct stat st {};
        if (::fstat(m_fd.Get(), &st) != 0)
            return HostError(errno);
        *size = static_cast<ULONGLONG>(st.st_size);
        return ERROR_SUCCESS;
    }

    DWORD SetSize(ULONGLONG size) override {
        if (size > static_cast<ULONGLONG>(std::numeric_limits<off_t>::max()))
            return ERROR_DISK_FULL;
        if (size < MappedExtent(m_device, m_inode))
            return ERROR_USER_MAPPED_FILE;
        if (::ftruncate(m_fd.Get(), static_cast<off_t>(size)) != 0)
            return HostError(errno);
        return ERROR_SUCCESS;
    }

    DWORD Flush() override {
        if (::fsync(m_fd.Get()) != 0 && errno != EINVAL && errno != EBADF)
            return HostError(errno);
        ++g_hostFileFlushes;
        return ERROR_SUCCESS;
    }

    DWORD GetTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) override {
        struct stat st {};
        if (::fstat(m_fd.Get(), &st) != 0)
            return HostError(errno);
        if (creation != nullptr)
            *creation = ReadCreationTime(m_fd.Get(), m_path, st);
        if (lastAccess != nullptr)
            *lastAccess = ToFileTime(st.st_atim);
        if (lastWrite != nullptr)
            *lastWrite = ToFileTime(st.st_mtim);
        return ERROR_SUCCESS;
    }

    DWORD SetTimes(const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite) override {
        if (creation != nullptr)
            if (DWORD error = WriteCreationTime(m_fd.Get(), m_path, *creation); error != ERROR_SUCCESS)
                return error;
        if (lastAccess == nullptr && lastWrite == nullptr)
            return ERROR_SUCCESS;
        timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_nsec = UTIME_OMIT;
        if (lastAccess != nullptr)
            times[0] = ToTimespec(*lastAccess);
        if (lastWrite != nullptr)
            times[1] = ToTimespec(*lastWrite);
        if (::futimens(m_fd.Get(), times) != 0)
            return HostError(errno);
        return ERROR_SUCCESS;
    }

    int HostDescriptor() const override { return m_fd.Get(); }

private:
    Descriptor m_fd;
    ShareLock m_lock; // released with the file
    std::string m_path;
    dev_t m_device;
    ino_t m_inode;
};

class HostVolume final : public Volume {
public:
    HostVolume(const std::filesystem::path& store, const std::filesystem::path& run)
        : m_store(store.string()), m_lockFile((run / "share.lock").string()) {}

    DWORD Open(const PathComponents& path, const VolumeOpen& request, std::unique_ptr<VolumeFile>* file,
               bool* existed) override {
        for (int attempt = 0; attempt < 8; ++attempt) {
            DWORD error = TryOpen(path, request, file, existed);
            if (error != kRetry)
                return error;
        }
        return ERROR_SHARING_VIOLATION; // the name keeps changing under us
    }

    DWORD Delete(const PathComponents& path) override {
        Lookup entry;
        if (DWORD error = Find(path, &entry); error != ERROR_SUCCESS)
            return error;
        if (!entry.exists)
            return ERROR_FILE_NOT_FOUND;
        if (S_ISDIR(entry.st.st_mode))
            return ERROR_ACCESS_DENIED;
        if (ReadStoredAttributes(-1, entry.Full()) & FILE_ATTRIBUTE_READONLY)
            return ERROR_ACCESS_DENIED;
        ShareLock lock;
        if (DWORD error = CheckNotOpen(lock, m_lockFile, entry.st); error != ERROR_SUCCESS)
            return error;
        DWORD result = ::unlink(entry.Full().c_str()) == 0 ? ERROR_SUCCESS : HostError(errno);
        lock.UnlockGate();
        return result;
    }

    DWORD Move(const PathComponents& from, const PathComponents& to) override {
        Lookup source;
        if (DWORD error = Find(from, &source); error != ERROR_SUCCESS)
            return error;
        if (!source.exists)
            return ERROR_FILE_NOT_FOUND;
        Lookup target;
        if (DWORD error = Find(to, &target); error != ERROR_SUCCESS)
            return error;
        std::string targetPath = target.Full();
        if (target.exists) {
            if (target.st.st_dev != source.st.st_dev || target.st.st_ino != source.st.st_ino)
                return ERROR_ALREADY_EXISTS;
            // The same entry under another case: rename it to the case given.
            std::optional<std::string> given = ToUtf8(to.back());
            if (!given)
                return ERROR_INVALID_NAME;
            targetPath = target.parent + "/" + *given;
            if (targetPath == source.Full())
                return ERROR_SUCCESS;
        }
        ShareLock lock;
        const bool isFile = !S_ISDIR(source.st.st_mode);
        if (isFile)
            if (DWORD error = CheckNotOpen(lock, m_lockFile, source.st); error != ERROR_SUCCESS)
                return error;
        DWORD result = ERROR_SUCCESS;
        if (::renameat2(AT_FDCWD, source.Full().c_str(), AT_FDCWD, targetPath.c_str(), RENAME_NOREPLACE) != 0)
            result = errno == EEXIST   ? ERROR_ALREADY_EXISTS
                     : errno == EINVAL ? ERROR_ACCESS_DENIED
                                       : HostError(errno);
        if (isFile)
            lock.UnlockGate();
        return result;
    }

    DWORD CreateDirectory(const PathComponents& path) override {
        Lookup entry;
        if (DWORD error = Find(path, &entry); error != ERROR_SUCCESS)
            return error;
        if (entry.exists)
            return ERROR_ALREADY_EXISTS;
        if (::mkdir(entry.Full().c_str(), 0777) != 0)
            return errno == EEXIST ? ERROR_ALREADY_EXISTS : HostError(errno);
        WriteCreationTime(-1, entry.Full(), NowFileTime());
        return ERROR_SUCCESS;
    }

    DWORD RemoveDirectory(const PathComponents& path) override {
        Lookup entry;
        if (DWORD error = Find(path, &entry); error != ERROR_SUCCESS)
            return error;
        if (!entry.exists)
            return ERROR_FILE_NOT_FOUND;
        if (!S_ISDIR(entry.st.st_mode))
            return ERROR_DIRECTORY;
        if (ReadStoredAttributes(-1, entry.Full()) & FILE_ATTRIBUTE_READONLY)
            return ERROR_ACCESS_DENIED;
        if (::rmdir(entry.Full().c_str()) != 0)
            return errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : HostError(errno);
        return ERROR_SUCCESS;
    }

    DWORD GetAttributes(const PathComponents& path, DWORD* attributes) override {
        Lookup entry;
        if (DWORD error = Find(path, &entry); error != ERROR_SUCCESS)
            return error;
        if (!entry.exists)
            return ERROR_FILE_NOT_FOUND;
        *attributes = AttributesOf(-1, entry.Full(), entry.st);
        return ERROR_SUCCESS;
    }

    DWORD SetAttributes(const PathComponents& path, DWORD attributes) override {
        Lookup entry;
        if (DWORD error = Find(path, &entry); error != ERROR_SUCCESS)
            return error;
        if (!entry.exists)
            return ERROR_FILE_NOT_FOUND;
        return WriteStoredAttributes(-1, entry.Full(), attributes);
    }

    DWORD List(const PathComponents& folder, std::vector<VolumeEntry>* entries) override {
        std::string folderPath = m_store;
        if (!folder.empty()) {
            Lookup entry;
            if (Find(folder, &entry) != ERROR_SUCCESS || !entry.exists || !S_ISDIR(entry.st.st_mode))
                return ERROR_PATH_NOT_FOUND;
            folderPath = entry.Full();
        }
        DIR* directory = ::opendir(folderPath.c_str());
        if (directory == nullptr)
            return errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : HostError(errno);
        entries->clear();
        // A mount of this process hides the host entry of its name (the search lists the mount instead),
        // and that entry may be the host folder through which this very process shares the mount: it is
        // never looked into from here.
        const std::vector<std::u16string> mounted = MountNamesIn(folder);
        while (dirent* item = ::readdir(directory)) {
            std::optional<std::u16string> name = FromUtf8(item->d_name);
            if (!name || !IsDeviceName(*name))
                continue; // ".", "..", and host names no device path can reach
            if (std::any_of(mounted.begin(), mounted.end(), [&](const std::u16string& mount) {
                    return crt::EqualsIgnoringCase(mount, *name);
                }))
                continue;
            const std::string path = folderPath + "/" + item->d_name;
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0)
                continue;
            VolumeEntry entry;
            entry.name = std::move(*name);
            entry.attributes = AttributesOf(-1, path, st);
            entry.creationTime = ReadCreationTime(-1, path, st);
            entry.lastAccessTime = ToFileTime(st.st_atim);
            entry.lastWriteTime = ToFileTime(st.st_mtim);
            entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<ULONGLONG>(st.st_size);
            entries->push_back(std::move(entry));
        }
        ::closedir(directory);
        return ERROR_SUCCESS;
    }

    DWORD GetFreeSpace(ULONGLONG* freeBytes, ULONGLONG* totalBytes) override {
        struct statvfs info {};
        if (::statvfs(m_store.c_str(), &info) != 0)
            return HostError(errno);
        *freeBytes = Product(info.f_bavail, info.f_frsize);
        *totalBytes = Product(info.f_blocks, info.f_frsize);
        return ERROR_SUCCESS;
    }

    bool EnforcesSharing() const override { return true; }

private:
    static constexpr DWORD kRetry = 0xFFFFFFFF;

    struct Lookup {
        std::string parent;
        std::string name;
        bool exists = false;
        struct stat st {};
        std::string Full() const { return parent + "/" + name; }
    };

    static ULONGLONG Product(unsigned long long a, unsigned long long b) {
        unsigned long long result = 0;
        return __builtin_mul_overflow(a, b, &result) ? std::numeric_limits<ULONGLONG>::max() : result;
    }

    // Resolves every folder of a non-empty path (ERROR_PATH_NOT_FOUND when one is missing or a file) and
    // looks up its last name.
    DWORD Find(const PathComponents& path, Lookup* entry) const {
        if (path.empty())
            return ERROR_ACCESS_DENIED;
        std::string folder = m_store;
        for (size_t i = 0; i + 1 < path.size(); ++i) {
            std::optional<std::string> name = MatchEntry(folder, path[i]);
            if (!name)
                return ERROR_PATH_NOT_FOUND;
            folder += "/" + *name;
            struct stat st {};
            if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                return ERROR_PATH_NOT_FOUND;
        }
        entry->parent = folder;
        std::optional<std::string> name = MatchEntry(folder, path.back());
        if (name) {
            entry->name = *name;
            entry->exists = ::stat(entry->Full().c_str(), &entry->st) == 0;
            return ERROR_SUCCESS;
        }
        std::optional<std::string> given = ToUtf8(path.back());
        if (!given)
            return ERROR_INVALID_NAME;
        entry->name = *given;
        entry->exists = false;
        return ERROR_SUCCESS;
    }

    DWORD TryOpen(const PathComponents& path, const VolumeOpen& request, std::unique_ptr<VolumeFile>* file,
                  bool* existed) {
        Lookup entry;
        if (DWORD error = Find(path, &entry); error != ERROR_SUCCESS)
            return error;
        const std::string full = entry.Full();
        const bool reads = (request.access & GENERIC_READ) != 0;
        const bool writes = (request.access & GENERIC_WRITE) != 0;
        // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below as not a regular file.
        const int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
                          (reads && writes ? O_RDWR
                           : writes        ? O_WRONLY
                                           : O_RDONLY);

        Descriptor fd;
        bool created = false;
        switch (request.disposition) {
        case CREATE_NEW:
            fd = Descriptor(::open(full.c_str(), flags | O_CREAT | O_EXCL, 0666));
            if (fd.Get() < 0)
                return errno == EEXIST ? ERROR_FILE_EXISTS : HostError(errno);
            created = true;
            break;
        case OPEN_EXISTING:
        case TRUNCATE_EXISTING:
            fd = Descriptor(::open(full.c_str(), flags));
            if (fd.Get() < 0)
                return errno == ENOENT ? ERROR_FILE_NOT_FOUND : HostError(errno);
            break;
        default: // CREATE_ALWAYS, OPEN_ALWAYS
            fd = Descriptor(::open(full.c_str(), flags));
            if (fd.Get() < 0 && errno == ENOENT) {
                fd = Descriptor(::open(full.c_str(), flags | O_CREAT | O_EXCL, 0666));
                if (fd.Get() < 0 && errno == EEXIST)
                    return kRetry;
                created = fd.Get() >= 0;
            }
            if (fd.Get() < 0)
                return HostError(errno);
            break;
        }

        struct stat st {};
        if (::fstat(fd.Get(), &st) != 0)
            return HostError(errno);
        if (!S_ISREG(st.st_mode))
            return ERROR_ACCESS_DENIED;
        ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);

        const bool truncates =
            !created && (request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING);
        if (!created && (writes || truncates) &&
            (ReadStoredAttributes(fd.Get(), full) & FILE_ATTRIBUTE_READONLY))
            return ERROR_ACCESS_DENIED;

        ShareLock lock;
        if (DWORD error = lock.Open(m_lockFile, st.st_dev, st.st_ino); error != ERROR_SUCCESS)
            return error;
        if (DWORD error = lock.LockGate(); error != ERROR_SUCCESS)
            return error;
        DWORD error = TakeShare(lock, request, full, st);
        lock.UnlockGate();
        if (error != ERROR_SUCCESS)
            return error;

        if (truncates) {
            if (MappedExtent(st.st_dev, st.st_ino) > 0)
                return ERROR_USER_MAPPED_FILE;
            if (::ftruncate(fd.Get(), 0) != 0)
                return HostError(errno);
        }
        if (created) {
            WriteCreationTime(fd.Get(), full, NowFileTime());
            WriteStoredAttributes(fd.Get(), full, request.attributes);
        } else if (request.disposition == CREATE_ALWAYS) {
            WriteStoredAttributes(fd.Get(), full, request.attributes);
        }
        *existed = !created;
        *file = std::make_unique<HostFile>(std::move(fd), std::move(lock), full, st);
        return ERROR_SUCCESS;
    }

    // With the slot's gate held: refuses an open that conflicts with another, else takes this open's locks.
    static DWORD TakeShare(ShareLock& lock, const VolumeOpen& request, const std::string& full,
                           const struct stat& st) {
        // The name may have been deleted or replaced between the open and the gate.
        struct stat now {};
        if (::stat(full.c_str(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino)
            return kRetry;
        const bool reads = (request.access & GENERIC_READ) != 0;
        const bool writes = (request.access & GENERIC_WRITE) != 0;
        const bool data = reads || writes;
        const bool denyRead = data && !(request.share & FILE_SHARE_READ);
        const bool denyWrite = data && !(request.share & FILE_SHARE_WRITE);
        if ((reads && lock.Held(ShareLock::kDenyRead)) || (writes && lock.Held(ShareLock::kDenyWrite)) ||
            (denyRead && lock.Held(ShareLock::kReading)) || (denyWrite && lock.Held(ShareLock::kWriting)))
            return ERROR_SHARING_VIOLATION;
        DWORD error = lock.Hold(ShareLock::kOpen);
        if (error == ERROR_SUCCESS && reads)
            error = lock.Hold(ShareLock::kReading);
        if (error == ERROR_SUCCESS && writes)
            error = lock.Hold(ShareLock::kWriting);
        if (error == ERROR_SUCCESS && denyRead)
            error = lock.Hold(ShareLock::kDenyRead);
        if (error == ERROR_SUCCESS && denyWrite)
            error = lock.Hold(ShareLock::kDenyWrite);
        return error;
    }

    std::string m_store;
    std::string m_lockFile;
};

} // namespace

std::shared_ptr<Volume> MakeHostVolume(const std::filesystem::path& store, const std::filesystem::path& run) {
    return std::make_shared<HostVolume>(store, run);
}

std::optional<std::filesystem::path> HostPathBelow(const std::filesystem::path& store,
                                                   const PathComponents& path) {
    std::string folder = store.string();
    bool matching = true; // below a missing folder nothing can match
    for (const std::u16string& component : path) {
        std::optional<std::string> name = matching ? MatchEntry(folder, component) : std::nullopt;
        if (!name) {
            matching = false;
            name = ToUtf8(component);
            if (!name)
                return std::nullopt;
        }
        folder += "/" + *name;
    }
    return std::filesystem::path(folder);
}

} // namespace kernel::files

namespace kernel {

size_t HostFileFlushCount() {
    return files::g_hostFileFlushes;
}

} // namespace kernel
