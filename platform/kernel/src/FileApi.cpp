// The file calls of the platform: handles over file objects, and the path calls routed to volumes.

#include <memory>
#include <vector>

#include "FileObject.h"
#include "PathText.h"
#include "VolumeTable.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Handles.h"

using kernel::Fail;
using kernel::PathComponents;
using kernel::files::FileObject;
using kernel::files::MountUse;
using kernel::files::Route;

namespace {

constexpr DWORD kStoredAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD kCopyChunk = 64 * 1024;

DWORD ParsePath(LPCWSTR path, PathComponents* components) {
    return kernel::files::ParseDevicePath(path, kernel::files::PathUse::Name, components);
}

BOOL Result(DWORD error) {
    if (error != ERROR_SUCCESS)
        return Fail(error, FALSE);
    return TRUE;
}

// Runs a path call on the volume that serves the path; the volume's root is the caller's to answer.
template <typename Call>
DWORD OnVolume(const Route& route, Call call) {
    MountUse use(*route.mount);
    if (!use.Mounted())
        return ERROR_PATH_NOT_FOUND;
    return call(use.Target());
}

DWORD CopyContent(FileObject& source, FileObject& target) {
    std::vector<unsigned char> buffer(kCopyChunk);
    for (;;) {
        DWORD got = 0;
        if (DWORD error = source.Read(buffer.data(), kCopyChunk, &got); error != ERROR_SUCCESS)
            return error;
        if (got == 0)
            return ERROR_SUCCESS;
        DWORD put = 0;
        if (DWORD error = target.Write(buffer.data(), got, &put); error != ERROR_SUCCESS)
            return error;
        if (put != got)
            return ERROR_DISK_FULL;
    }
}

DWORD CopyFileByPath(LPCWSTR from, LPCWSTR to, bool failIfExists) {
    DWORD attributes = GetFileAttributesW(from);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError();
    std::shared_ptr<FileObject> source;
    bool existed = false;
    if (DWORD error = kernel::files::OpenFileObject(from, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0,
                                                    &source, &existed);
        error != ERROR_SUCCESS)
        return error;
    FILETIME lastWrite{};
    if (DWORD error = source->GetTimes(nullptr, nullptr, &lastWrite); error != ERROR_SUCCESS)
        return error;

    // Read-only is set last, so that the copy can be removed if it fails.
    const DWORD stored = attributes & kStoredAttributes;
    std::shared_ptr<FileObject> target;
    if (DWORD error =
            kernel::files::OpenFileObject(to, GENERIC_WRITE, 0, failIfExists ? CREATE_NEW : CREATE_ALWAYS,
                                          stored & ~FILE_ATTRIBUTE_READONLY, &target, &existed);
        error != ERROR_SUCCESS)
        return error;
    DWORD error = CopyContent(*source, *target);
    if (error == ERROR_SUCCESS)
        error = target->SetTimes(nullptr, nullptr, &lastWrite);
    target.reset();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(to);
        return error;
    }
    if ((stored & FILE_ATTRIBUTE_READONLY) && !SetFileAttributesW(to, stored))
        return GetLastError();
    return ERROR_SUCCESS;
}

} // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
    std::shared_ptr<FileObject> file;
    bool existed = false;
    if (DWORD error = kernel::files::OpenFileObject(fileName, desiredAccess, shareMode, creationDisposition,
                                                    flagsAndAttributes, &file, &existed);
        error != ERROR_SUCCESS)
        return Fail(error, INVALID_HANDLE_VALUE);
    HANDLE handle = kernel::InsertHandle(std::move(file));
    const bool reportExisting =
        existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED) {
    if (bytesRead != nullptr)
        *bytesRead = 0;
    auto object = kernel::FindHandleAs<FileObject>(file);
    if (!object)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (buffer == nullptr && bytesToRead > 0)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    DWORD done = 0;
    DWORD error = object->Read(buffer, bytesToRead, &done);
    if (bytesRead != nullptr)
        *bytesRead = done;
    return Result(error);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED) {
    if (bytesWritten != nullptr)
        *bytesWritten = 0;
    auto object = kernel::FindHandleAs<FileObject>(file);
    if (!object)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (buffer == nullptr && bytesToWrite > 0)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    DWORD done = 0;
    DWORD error = object->Write(buffer, bytesToWrite, &done);
    if (bytesWritten != nullptr)
        *bytesWritten = done;
    return Result(error);
}

DWORD SetFilePointer(HANDLE file, LONG distanceToMove, PLONG distanceToMoveHigh, DWORD moveMethod) {
    auto object = kernel::FindHandleAs<FileObject>(file);
    if (!object)
        return Fail(ERROR_INVALID_HANDLE, static_cast<DWORD>(INVALID_SET_FILE_POINTER));
    LONGLONG distance = distanceToMove;
    ULONGLONG limit = 0xFFFFFFFFULL;
    if (distanceToMoveHigh != nullptr) {
        distance =
            static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*distanceToMoveHigh)) << 32) |
                                  static_cast<DWORD>(distanceToMove));
        limit = static_cast<ULONGLONG>(INT64_MAX);
    }
    ULONGLONG position = 0;
    if (DWORD error = object->Seek(distance, moveMethod, limit, &position); error != ERROR_SUCCESS)
        return Fail(error, static_cast<DWORD>(INVALID_SET_FILE_POINTER));
    if (distanceToMoveHigh != nullptr)
        *distanceToMoveHigh = static_cast<LONG>(position >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL SetEndOfFile(HANDLE file) {
    auto object = kernel::FindHandleAs<FileObject>(file);
    if (!object)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    return Result(object->SetEndAtPointer());
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    auto object = kernel::FindHandleAs<FileObject>(file);
    if (!object)
        return Fail(ERROR_INVALID_HANDLE, static_cast<DWORD>(INVALID_FILE_SIZE));
    ULONGLONG size = 0;
    if (DWORD error = object->GetSize(&size); error != ERROR_SUCCESS)
        return Fail(error, static_cast<DWORD>(INVALID_FILE_SIZE));
    if (fileSizeHigh != nullptr)
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL GetFileTime(HANDLE file, LPFILETIME creationTime, LPFILETIME lastAccessTime, LPFILETIME lastWriteTime) {
    auto object = kernel::FindHandleAs<FileObject>(file);
    if (!object)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    return Result(object->GetTimes(creationTime, lastAccessTime, lastWriteTime));
}

BOOL SetFileTime(HANDLE file, const FILETIME* creationTime, const FILETIME* lastAccessTime,
                 const FILETIME* lastWriteTime) {
    auto object = kernel::FindHandleAs<FileObject>(file);
    if (!object)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    return Result(object->SetTimes(creationTime, lastAccessTime, lastWriteTime));
}

BOOL FlushFileBuffers(HANDLE file) {
    auto object = kernel::FindHandleAs<FileObject>(file);
    if (!object)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    return Result(object->Flush());
}

BOOL DeleteFileW(LPCWSTR fileName) {
    PathComponents path;
    if (DWORD error = ParsePath(fileName, &path); error != ERROR_SUCCESS)
        return Fail(error, FALSE);
    Route route = kernel::files::RoutePath(path);
    if (route.relative.empty())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    return Result(OnVolume(route, [&](kernel::Volume& volume) {
        if (!volume.EnforcesSharing() && kernel::files::IsOpenInProcess(*route.mount, route.relative))
            return static_cast<DWORD>(ERROR_SHARING_VIOLATION);
        return volume.Delete(route.relative);
    }));
}

BOOL MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName) {
    PathComponents from;
    PathComponents to;
    if (DWORD error = ParsePath(existingFileName, &from); error != ERROR_SUCCESS)
        return Fail(error, FALSE);
    if (DWORD error = ParsePath(newFileName, &to); error != ERROR_SUCCESS)
        return Fail(error, FALSE);
    // Neither the root, nor a mount folder or a folder above one, nor a folder into itself.
    if (from.empty() || to.empty() || kernel::files::HasMountAtOrBelow(from))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (to.size() > from.size() && kernel::files::StartsWithComponents(to, from))
        return Fail(ERROR_ACCESS_DENIED, FALSE);

    Route source = kernel::files::RoutePath(from);
    Route target = kernel::files::RoutePath(to);
    if (target.relative.empty())
        return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (source.mount != target.mount) {
        const DWORD attributes = GetFileAttributesW(existingFileName);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return FALSE;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return Fail(ERROR_ACCESS_DENIED, FALSE);
        if (DWORD error = CopyFileByPath(existingFileName, newFileName, true); error != ERROR_SUCCESS)
            return Fail(error == ERROR_FILE_EXISTS ? static_cast<DWORD>(ERROR_ALREADY_EXISTS) : error, FALSE);
        // A read-only file moves like any other, as it renames like any other.
        const DWORD stored = attributes & kStoredAttributes;
        if (stored & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(existingFileName, stored & ~FILE_ATTRIBUTE_READONLY);
        if (!DeleteFileW(existingFileName)) {
            const DWORD error = GetLastError();
            SetFileAttributesW(existingFileName, stored);
            SetFileAttributesW(newFileName, FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(newFileName);
            return Fail(error, FALSE);
        }
        return TRUE;
    }
    return Result(OnVolume(source, [&](kernel::Volume& volume) {
        if (!volume.EnforcesSharing() && kernel::files::IsOpenInProcess(*source.mount, source.relative))
            return static_cast<DWORD>(ERROR_SHARING_VIOLATION);
        return volume.Move(source.relative, target.relative);
    }));
}

BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
    return Result(CopyFileByPath(existingFileName, newFileName, failIfExists != FALSE));
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
    PathComponents path;
    if (DWORD error = ParsePath(pathName, &path); error != ERROR_SUCCESS)
        return Fail(error, FALSE);
    Route route = kernel::files::RoutePath(path);
    if (route.relative.empty())
        return Fail(ERROR_ALREADY_EXISTS, FALSE);
    return Result(
        OnVolume(route, [&](kernel::Volume& volume) { return volume.CreateDirectory(route.relative); }));
}

BOOL RemoveDirectoryW(LPCWSTR pathName) {
    PathComponents path;
    if (DWORD error = ParsePath(pathName, &path); error != ERROR_SUCCESS)
        return Fail(error, FALSE);
    if (path.empty() || kernel::files::HasMountAtOrBelow(path))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    Route route = kernel::files::RoutePath(path);
    return Result(
        OnVolume(route, [&](kernel::Volume& volume) { return volume.RemoveDirectory(route.relative); }));
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
    PathComponents path;
    if (DWORD error = ParsePath(fileName, &path); error != ERROR_SUCCESS)
        return Fail(error, static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));
    Route route = kernel::files::RoutePath(path);
    if (route.relative.empty())
        return route.mount->isStore ? FILE_ATTRIBUTE_DIRECTORY
                                    : FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
    DWORD attributes = 0;
    DWORD error = OnVolume(
        route, [&](kernel::Volume& volume) { return volume.GetAttributes(route.relative, &attributes); });
    if (error != ERROR_SUCCESS)
        return Fail(error, static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));
    return attributes;
}

BOOL SetFileAttributesW(LPCWSTR fileName, DWORD fileAttributes) {
    PathComponents path;
    if (DWORD error = ParsePath(fileName, &path); error != ERROR_SUCCESS)
        return Fail(error, FALSE);
    Route route = kernel::files::RoutePath(path);
    if (route.relative.empty())
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    return Result(OnVolume(route, [&](kernel::Volume& volume) {
        return volume.SetAttributes(route.relative, fileAttributes & kStoredAttributes);
    }));
}
