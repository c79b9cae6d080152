#pragma once
// Mounted volumes. A volume mounted at a folder of the device serves every file call on that folder and
// the paths below it, in the process that mounted it; the longest mount folder that starts a path wins,
// and the object store serves the rest. The mount folder is listed in its parent folder as a directory
// (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY, as the handheld marks storage folders).
//
// The kernel checks every path before a volume sees it (valid names, no "." or "..", below MAX_PATH) and
// answers itself for the mount folder (the volume's root): a volume is never asked to open, delete, move,
// create, remove or set the attributes of its root. Every call returns ERROR_SUCCESS or the platform's
// error code for the failure.
//
// Once UnmountVolume returns, the kernel holds no file of the volume and makes no further call into it:
// handles opened on it stay valid handles but fail with ERROR_INVALID_HANDLE. Calls into one volume may
// come from several threads at once (one file's calls are serialised); a volume must not call the file
// API on paths below its own mount folder. SetDeviceRoot leaves the mounts in place.

#include <memory>
#include <string>
#include <vector>

#include "crt/Types.h"

namespace kernel {

// A path below a volume's root, one name per component; empty for the root itself. Names keep the case
// the caller gave; volumes match them case-insensitively (ToLowerW folding).
using PathComponents = std::vector<std::u16string>;

// One entry of a folder listing.
struct VolumeEntry {
    std::u16string name;
    DWORD attributes = 0; // FILE_ATTRIBUTE_* with FILE_ATTRIBUTE_DIRECTORY for folders, never 0
    FILETIME creationTime{};
    FILETIME lastAccessTime{};
    FILETIME lastWriteTime{};
    ULONGLONG size = 0;
};

// What CreateFileW asks a volume for.
struct VolumeOpen {
    DWORD access = 0;      // GENERIC_READ and/or GENERIC_WRITE, or 0 for a handle that only queries
    DWORD share = 0;       // FILE_SHARE_READ and/or FILE_SHARE_WRITE
    DWORD disposition = 0; // CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS or TRUNCATE_EXISTING
    DWORD attributes = 0;  // FILE_ATTRIBUTE_READONLY/HIDDEN/SYSTEM/ARCHIVE of a file that is created
};

// An open file of a volume. The kernel keeps the file position and serialises the calls on one file;
// destroying the object closes the file.
class VolumeFile {
public:
    virtual ~VolumeFile() = default;
    // Reads up to count bytes at offset; *done = 0 at or past the end.
    virtual DWORD Read(ULONGLONG offset, void* buffer, DWORD count, DWORD* done) = 0;
    // Writes at offset, extending the file (with zeros in any gap); *done tells how much was written.
    virtual DWORD Write(ULONGLONG offset, const void* buffer, DWORD count, DWORD* done) = 0;
    virtual DWORD GetSize(ULONGLONG* size) = 0;
    // Truncates or extends (with zeros) to size.
    virtual DWORD SetSize(ULONGLONG size) = 0;
    virtual DWORD Flush() = 0;
    // Any of the pointers may be NULL: that time is not read or not changed.
    virtual DWORD GetTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) = 0;
    virtual DWORD SetTimes(const FILETIME* creation, const FILETIME* lastAccess,
                           const FILETIME* lastWrite) = 0;
    // The host descriptor of a file that lives in a host file (those can be mapped), or -1.
    virtual int HostDescriptor() const { return -1; }
};

class Volume {
public:
    virtual ~Volume() = default;
    // Opens or creates a file by the request's disposition; *existed tells whether the file was there
    // before. Errors: ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND (a missing or non-folder parent),
    // ERROR_FILE_EXISTS (CREATE_NEW), ERROR_ACCESS_DENIED (a folder; write access to, or CREATE_ALWAYS or
    // TRUNCATE_EXISTING of, a read-only file). CREATE_ALWAYS of an existing file empties it and gives it the
    // request's attributes.
    virtual DWORD Open(const PathComponents& path, const VolumeOpen& request,
                       std::unique_ptr<VolumeFile>* file, bool* existed) = 0;
    // A file, not a folder (ERROR_ACCESS_DENIED for a folder or a read-only file).
    virtual DWORD Delete(const PathComponents& path) = 0;
    // Renames a file or folder; ERROR_ALREADY_EXISTS when the target exists and is not the source itself
    // (a change of case only renames).
    virtual DWORD Move(const PathComponents& from, const PathComponents& to) = 0;
    virtual DWORD CreateDirectory(const PathComponents& path) = 0;
    // ERROR_DIR_NOT_EMPTY for a folder with entries, ERROR_DIRECTORY for a file.
    virtual DWORD RemoveDirectory(const PathComponents& path) = 0;
    virtual DWORD GetAttributes(const PathComponents& path, DWORD* attributes) = 0;
    // attributes holds only FILE_ATTRIBUTE_READONLY/HIDDEN/SYSTEM/ARCHIVE bits (0 clears them all).
    virtual DWORD SetAttributes(const PathComponents& path, DWORD attributes) = 0;
    // Every entry of a folder (the root too), without "." and ".."; ERROR_PATH_NOT_FOUND for a missing
    // folder or a file.
    virtual DWORD List(const PathComponents& folder, std::vector<VolumeEntry>* entries) = 0;
    // The entry a path (not the root) names, as its folder's listing reports it, found by every name the
    // volume resolves (a FAT volume's short names too, while the listing shows the long name);
    // ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when there is none. This one looks through the listing.
    virtual DWORD GetEntry(const PathComponents& path, VolumeEntry* entry);
    // Writes back to its storage whatever the volume holds of completed calls; this one has nothing to
    // write.
    virtual DWORD Flush();
    virtual DWORD GetFreeSpace(ULONGLONG* freeBytes, ULONGLONG* totalBytes) = 0;
    // True when Open, Delete and Move enforce share modes themselves (the object store does, across the
    // device's processes). Otherwise the kernel enforces them among the handles of this process and
    // refuses to delete or move a file that is open.
    virtual bool EnforcesSharing() const { return false; }
};

// Mounts a volume at a folder path (not "\"). Fails with the path errors of DeviceToHostPath,
// ERROR_PATH_NOT_FOUND when the parent folder does not exist and ERROR_ALREADY_EXISTS when the name is
// taken by an entry or another mount; ERROR_INVALID_PARAMETER for a NULL volume.
bool MountVolume(LPCWSTR folder, std::shared_ptr<Volume> volume);
// Unmounts the volume at that folder once the calls in progress on it have returned, and closes its files.
// ERROR_PATH_NOT_FOUND when no volume is mounted there.
bool UnmountVolume(LPCWSTR folder);

} // namespace kernel
