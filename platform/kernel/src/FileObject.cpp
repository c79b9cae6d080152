// File objects: the calls on an open file, with the file pointer, and opening by device path.

#include "FileObject.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "PathText.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"

namespace kernel::files {

namespace {
constexpr DWORD kDataAccess = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kStoredAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr ULONGLONG kMaxPosition = static_cast<ULONGLONG>(std::numeric_limits<LONGLONG>::max());
} // namespace

DWORD HostError(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ELOOP:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EBUSY:
        return ERROR_BUSY;
    case ENOTSUP:
        return ERROR_NOT_SUPPORTED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

FileObject::FileObject(std::shared_ptr<Mount> mount, std::unique_ptr<VolumeFile> file, DWORD access,
                       ShareTicket ticket)
    : m_mount(std::move(mount)), m_file(std::move(file)), m_access(access), m_ticket(std::move(ticket)) {
    // The caller holds the mount in use, so an unmount cannot slip in before the file is listed.
    std::lock_guard guard(m_mount->filesLock);
    m_mount->files.insert(this);
}

FileObject::~FileObject() {
    MountUse use(*m_mount);
    std::lock_guard guard(m_mount->filesLock);
    m_mount->files.erase(this);
    m_file.reset();
}

void FileObject::ReleaseVolumeFile() {
    m_file.reset();
}

bool FileObject::CanRead() const {
    return (m_access & GENERIC_READ) != 0;
}

bool FileObject::CanWrite() const {
    return (m_access & GENERIC_WRITE) != 0;
}

DWORD FileObject::Read(void* buffer, DWORD count, DWORD* done) {
    *done = 0;
    MountUse use(*m_mount);
    if (!use.Mounted() || !m_file)
        return ERROR_INVALID_HANDLE;
    if (!CanRead())
        return ERROR_ACCESS_DENIED;
    std::lock_guard guard(m_lock);
    DWORD error = m_file->Read(m_position, buffer, count, done);
    m_position += *done;
    return error;
}

DWORD FileObject::Write(const void* buffer, DWORD count, DWORD* done) {
    *done = 0;
    MountUse use(*m_mount);
    if (!use.Mounted() || !m_file)
        return ERROR_INVALID_HANDLE;
    if (!CanWrite())
        return ERROR_ACCESS_DENIED;
    std::lock_guard guard(m_lock);
    if (count > kMaxPosition - m_position)
        return ERROR_DISK_FULL;
    DWORD error = m_file->Write(m_position, buffer, count, done);
    m_position += *done;
    return error;
}

DWORD FileObject::Append(const void* buffer, DWORD count, DWORD* done) {
    *done = 0;
    MountUse use(*m_mount);
    if (!use.Mounted() || !m_file)
        return ERROR_INVALID_HANDLE;
    if (!CanWrite())
        return ERROR_ACCESS_DENIED;
    std::lock_guard guard(m_lock);
    ULONGLONG size = 0;
    if (DWORD error = m_file->GetSize(&size); error != ERROR_SUCCESS)
        return error;
    if (size > kMaxPosition || count > kMaxPosition - size)
        return ERROR_DISK_FULL;
    DWORD error = m_file->Write(size, buffer, count, done);
    m_position = size + *done;
    return error;
}

DWORD FileObject::Seek(LONGLONG distance, DWORD method, ULONGLONG limit, ULONGLONG* position) {
    MountUse use(*m_mount);
    if (!use.Mounted() || !m_file)
        return ERROR_INVALID_HANDLE;
    std::lock_guard guard(m_lock);
    ULONGLONG base = 0;
    switch (method) {
    case FILE_BEGIN:
        break;
    case FILE_CURRENT:
        base = m_position;
        break;
    case FILE_END:
        if (DWORD error = m_file->GetSize(&base); error != ERROR_SUCCESS)
            return error;
        break;
    default:
        return ERROR_INVALID_PARAMETER;
    }
    // Both base and the result stay within the signed 64-bit range.
    LONGLONG target = 0;
    if (base > kMaxPosition || __builtin_add_overflow(static_cast<LONGLONG>(base), distance, &target))
        return ERROR_INVALID_PARAMETER;
    if (target < 0)
        return ERROR_NEGATIVE_SEEK;
    if (static_cast<ULONGLONG>(target) > limit)
        return ERROR_INVALID_PARAMETER;
    m_position = static_cast<ULONGLONG>(target);
    *position = m_position;
    return ERROR_SUCCESS;
}

DWORD FileObject::GetSize(ULONGLONG* size) {
    MountUse use(*m_mount);
    if (!use.Mounted() || !m_file)
        return ERROR_INVALID_HANDLE;
    std::lock_guard guard(m_lock);
    return m_file->GetSize(size);
}

DWORD FileObject::SetEndAtPointer() {
    MountUse use(*m_mount);
    if (!use.Mounted() || !m_file)
        return ERROR_INVALID_HANDLE;
    if (!CanWrite())
        return ERROR_ACCESS_DENIED;
    std::lock_guard guard(m_lock);
    return m_file->SetSize(m_position);
}

DWORD FileObject::Flush() {
    MountUse use(*m_mount);
    if (!use.Mounted() || !m_file)
        return ERROR_INVALID_HANDLE;
    std::lock_guard guard(m_lock);
    return m_file->Flush();
}

DWORD FileObject::GetTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    MountUse use(*m_mount);
    if (!use.Mounted() || !m_file)
        return ERROR_INVALID_HANDLE;
    std::lock_guard guard(m_lock);
    return m_file->GetTimes(creation, lastAccess, lastWrite);
}

DWORD FileObject::SetTimes(const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite) {
    MountUse use(*m_mount);
    if (!use.Mounted() || !m_file)
        return ERROR_INVALID_HANDLE;
    if (!CanWrite())
        return ERROR_ACCESS_DENIED;
    std::lock_guard guard(m_lock);
    return m_file->SetTimes(creation, lastAccess, lastWrite);
}

DWORD FileObject::DuplicateHostDescriptor(int* fd) {
    MountUse use(*m_mount);
    if (!use.Mounted() || !m_file)
        return ERROR_INVALID_HANDLE;
    const int host = m_file->HostDescriptor();
    if (host < 0)
        return ERROR_NOT_SUPPORTED;
    const int copy = ::fcntl(host, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return HostError(errno);
    *fd = copy;
    return ERROR_SUCCESS;
}

DWORD OpenFileObject(LPCWSTR path, DWORD access, DWORD share, DWORD disposition, DWORD attributes,
                     std::shared_ptr<FileObject>* file, bool* existed) {
    PathComponents components;
    if (DWORD error = ParseDevicePath(path, PathUse::Name, &components); error != ERROR_SUCCESS)
        return error;
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return ERROR_INVALID_PARAMETER;
    if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))
        return ERROR_INVALID_PARAMETER;
    Route route = RoutePath(components);
    if (route.relative.empty())
        return ERROR_ACCESS_DENIED; // the root or a mount folder: folders are not opened as files

    VolumeOpen request;
    request.access = access & kDataAccess;
    request.share = share & (FILE_SHARE_READ | FILE_SHARE_WRITE);
    request.disposition = disposition;
    request.attributes = attributes & kStoredAttributes;

    MountUse use(*route.mount);
    if (!use.Mounted())
        return ERROR_PATH_NOT_FOUND;
    ShareTicket ticket;
    if (!use.Target().EnforcesSharing()) {
        std::lock_guard guard(route.mount->shareLock);
        if (DWORD error = ShareTicket::Take(route.mount, ShareKey(route.relative), request.access,
                                            request.share, &ticket);
            error != ERROR_SUCCESS)
            return error;
    }
    std::unique_ptr<VolumeFile> opened;
    bool wasThere = false;
    if (DWORD error = use.Target().Open(route.relative, request, &opened, &wasThere); error != ERROR_SUCCESS)
        return error;
    *file = std::make_shared<FileObject>(route.mount, std::move(opened), request.access, std::move(ticket));
    *existed = wasThere;
    return ERROR_SUCCESS;
}

} // namespace kernel::files
