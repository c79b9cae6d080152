#pragma once
// The per-mount context of the driver and the small owners it is built from: the container file and its
// mapping.

#include <string>

#include "Aes.h"
#include "ContainerFormat.h"
#include "devices/DiskIo.h"
#include "kernel/Kernel.h"
#include "kernel/Scoped.h"

// One platform file handle; INVALID_HANDLE_VALUE while closed.
class ContainerFile {
public:
    ContainerFile() = default;
    ~ContainerFile() { CloseIfOpen(); }
    ContainerFile(const ContainerFile&) = delete;
    ContainerFile& operator=(const ContainerFile&) = delete;

    // Create (replacing any file) or open, without sharing; access modes 0 to 2 (create) or 0 to 3
    // (open) give read and write access. forMapping opens the file through the mapping call.
    bool CreateNew(const WCHAR* path, int accessMode, bool forMapping);
    bool OpenExisting(const WCHAR* path, int accessMode, bool forMapping);
    ULONGLONG GetSize() const;
    // Flushes and closes; true when the handle closed.
    bool Close();
    void CloseIfOpen();
    HANDLE Handle() const { return m_handle.Get(); }

private:
    bool Open(const WCHAR* path, DWORD disposition, DWORD access, DWORD attributes, bool forMapping);
    kernel::ScopedHandle m_handle;
};

// The trailer's blocks, read through the file pointer; false (after the "Seek error" box when the
// seek failed) when they cannot be read.
bool ReadKeyBlock(ContainerFile& file, BYTE keyBlock[kKeyBlockSize]);
bool ReadNameBlock(ContainerFile& file, BYTE nameBlock[kNameBlockSize]);

// The file mapping of a ContainerFile and its whole-file view.
class FileMapping {
public:
    FileMapping() = default;
    ~FileMapping() { CloseIfOpen(); }
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    // Maps the whole file, growing a new file to size bytes. On failure the file is closed.
    bool Create(ContainerFile* file, DWORD size);
    BYTE* View() const { return m_view; }
    // Writes the whole view back to the file and the file to its storage; false with the platform's error
    // when either fails.
    bool Flush();
    // Writes the view back, unmaps it and closes the mapping (each step only when the one before
    // succeeded), then closes the file in every case. Whatever stays open is not tried again.
    void Close();
    void CloseIfOpen();

private:
    kernel::ScopedHandle m_mapping;
    BYTE* m_view = nullptr;
    ContainerFile* m_file = nullptr;
};

bool FileExists(const WCHAR* path);
bool GetFileSizeByName(const WCHAR* path, ULONGLONG* size);

// Shows one of the driver's message boxes: no owner, OK only, topmost and in the foreground.
void ShowDriverMessage(const WCHAR* text, const WCHAR* title);

// The context of one mounted container, from FRV_Init to FRV_Deinit.
struct ContainerDisk {
    std::u16string activeKeyPath;
    DWORD size = 0;
    DISK_INFO diskInfo{};
    std::u16string containerPath;
    std::u16string folderName;
    BYTE* viewBase = nullptr;
    // Taken by the sector transfers and every use of diskInfo, so that a request sees one description
    // from its checks to its last byte while SETINFO replaces it.
    kernel::CriticalSection lock;
    ContainerFile file;
    FileMapping mapping;
    bool createFlag = false;
    AesKeySchedule encryptionSchedule{};
    AesKeySchedule decryptionSchedule{};

    ContainerDisk() = default;
    ~ContainerDisk();
};
