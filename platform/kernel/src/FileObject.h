#pragma once
// The kernel object behind a file handle: an open file of a volume, the handle's access and its file
// pointer. Calls on one object are serialised; after its volume is unmounted every call fails with
// ERROR_INVALID_HANDLE.

#include <memory>
#include <mutex>

#include "VolumeTable.h"
#include "crt/Types.h"
#include "kernel/Handles.h"
#include "kernel/Volume.h"

namespace kernel::files {

class FileObject final : public KernelObject {
public:
    FileObject(std::shared_ptr<Mount> mount, std::unique_ptr<VolumeFile> file, DWORD access,
               ShareTicket ticket);
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;
    ~FileObject() override;

    DWORD Read(void* buffer, DWORD count, DWORD* done);
    DWORD Write(const void* buffer, DWORD count, DWORD* done);
    // Writes at the end of the file whatever the file pointer, and leaves the pointer after the data.
    DWORD Append(const void* buffer, DWORD count, DWORD* done);
    // method is FILE_BEGIN, FILE_CURRENT or FILE_END; a position before the start gives ERROR_NEGATIVE_SEEK,
    // one past limit ERROR_INVALID_PARAMETER, and the pointer then stays.
    DWORD Seek(LONGLONG distance, DWORD method, ULONGLONG limit, ULONGLONG* position);
    DWORD GetSize(ULONGLONG* size);
    DWORD SetEndAtPointer();
    DWORD Flush();
    DWORD GetTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
    DWORD SetTimes(const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite);
    // A duplicate of the host descriptor for mapping (the caller closes it); ERROR_NOT_SUPPORTED for a
    // file of a mounted volume.
    DWORD DuplicateHostDescriptor(int* fd);

    DWORD Access() const { return m_access; }
    bool CanRead() const;
    bool CanWrite() const;

    // Called by UnmountVolume with the mount held exclusively: closes the volume's file.
    void ReleaseVolumeFile();

private:
    std::shared_ptr<Mount> m_mount;
    std::unique_ptr<VolumeFile> m_file; // null once the volume is unmounted
    const DWORD m_access;
    ShareTicket m_ticket;
    std::mutex m_lock;
    ULONGLONG m_position = 0;
};

// CreateFileW without the handle table: opens a file by device path.
DWORD OpenFileObject(LPCWSTR path, DWORD access, DWORD share, DWORD disposition, DWORD attributes,
                     std::shared_ptr<FileObject>* file, bool* existed);

// The platform error of a host errno value.
DWORD HostError(int error);

} // namespace kernel::files
