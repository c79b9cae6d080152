#include "FatVolumeAdapter.h"

#include <limits>

#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Time.h"

namespace devices {
namespace {

using fat::FatResult;

constexpr ULONGLONG kMaxFatOffset = std::numeric_limits<uint32_t>::max();

// The engine's form of a path below the volume's root: names joined with '\'; "" for the root.
std::u16string Join(const kernel::PathComponents& path) {
    std::u16string joined;
    for (const std::u16string& name : path) {
        if (!joined.empty())
            joined += u'\\';
        joined += name;
    }
    return joined;
}

FILETIME MakeFileTime(uint64_t value) {
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The engine keeps local time; 0 (no valid date on the volume) stays 0.
FILETIME ToUtc(uint64_t localTicks) {
    if (localTicks == 0)
        return FILETIME{};
    const FILETIME local = MakeFileTime(localTicks);
    FILETIME utc{};
    if (!LocalFileTimeToFileTime(&local, &utc))
        return local;
    return utc;
}

uint64_t ToLocalTicks(const FILETIME& utc) {
    FILETIME local{};
    if (!FileTimeToLocalFileTime(&utc, &local))
        return FileTimeValue(utc);
    return FileTimeValue(local);
}

DWORD PlatformAttributes(uint32_t fatAttributes) {
    const DWORD attributes = fatAttributes & (fat::kAttrChangeable | fat::kAttrDirectory);
    return attributes == 0 ? static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL) : attributes;
}

kernel::VolumeEntry EntryOf(fat::FatEntryInfo&& info) {
    kernel::VolumeEntry entry;
    entry.name = std::move(info.name);
    entry.attributes = PlatformAttributes(info.attributes);
    entry.creationTime = ToUtc(info.creationTime);
    entry.lastAccessTime = ToUtc(info.lastAccessTime);
    entry.lastWriteTime = ToUtc(info.lastWriteTime);
    entry.size = info.size;
    return entry;
}

fat::FatAccess AccessOf(DWORD access) {
    const bool reads = (access & GENERIC_READ) != 0;
    const bool writes = (access & GENERIC_WRITE) != 0;
    return reads && writes ? fat::FatAccess::ReadWrite
           : writes        ? fat::FatAccess::Write
           : reads         ? fat::FatAccess::Read
                           : fat::FatAccess::None;
}

// One open file: an engine handle of its own, so each has its own position; the kernel passes the offset
// of every transfer and serialises the calls on one file.
class FatFileAdapter final : public kernel::VolumeFile {
public:
    FatFileAdapter(std::shared_ptr<fat::FatVolume> volume, fat::FatFile file)
        : m_volume(std::move(volume)), m_file(file) {}
    ~FatFileAdapter() override { m_volume->Close(m_file); }
    FatFileAdapter(const FatFileAdapter&) = delete;
    FatFileAdapter& operator=(const FatFileAdapter&) = delete;

    DWORD Read(ULONGLONG offset, void* buffer, DWORD count, DWORD* done) override {
        *done = 0;
        if (offset > kMaxFatOffset)
            return ERROR_SUCCESS; // nothing lies that far
        if (FatResult result = m_volume->Seek(m_file, static_cast<uint32_t>(offset)); result != FatResult::Ok)
            return FatResultToError(result);
        uint32_t got = 0;
        FatResult result = m_volume->Read(m_file, buffer, count, got);
        *done = got;
        return FatResultToError(result);
    }

    DWORD Write(ULONGLONG offset, const void* buffer, DWORD count, DWORD* done) override {
        *done = 0;
        if (offset > kMaxFatOffset)
            return ERROR_DISK_FULL;
        if (FatResult result = m_volume->Seek(m_file, static_cast<uint32_t>(offset)); result != FatResult::Ok)
            return FatResultToError(result);
        uint32_t put = 0;
        FatResult result = m_volume->Write(m_file, buffer, count, put);
        *done = put;
        return FatResultToError(result);
    }

    DWORD GetSize(ULONGLONG* size) override {
        uint32_t bytes = 0;
        FatResult result = m_volume->GetSize(m_file, bytes);
        *size = bytes;
        return FatResultToError(result);
    }

    DWORD SetSize(ULONGLONG size) override {
        if (size > kMaxFatOffset)
            return ERROR_DISK_FULL;
        if (FatResult result = m_volume->Seek(m_file, static_cast<uint32_t>(size)); result != FatResult::Ok)
            return FatResultToError(result);
        return FatResultToError(m_volume->SetEndOfFile(m_file));
    }

    DWORD Flush() override { return FatResultToError(m_volume->FlushFile(m_file)); }

    DWORD GetTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) override {
        fat::FatEntryInfo info;
        if (FatResult result = m_volume->GetFileInfo(m_file, info); result != FatResult::Ok)
            return FatResultToError(result);
        if (creation != nullptr)
            *creation = ToUtc(info.creationTime);
        if (lastAccess != nullptr)
            *lastAccess = ToUtc(info.lastAccessTime);
        if (lastWrite != nullptr)
            *lastWrite = ToUtc(info.lastWriteTime);
        return ERROR_SUCCESS;
    }

    DWORD SetTimes(const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite) override {
        uint64_t ticks[3] = {};
        const FILETIME* given[3] = {creation, lastAccess, lastWrite};
        const uint64_t* pass[3] = {};
        for (int i = 0; i < 3; ++i) {
            if (given[i] == nullptr)
                continue;
            ticks[i] = ToLocalTicks(*given[i]);
            pass[i] = &ticks[i];
        }
        return FatResultToError(m_volume->SetFileTimes(m_file, pass[0], pass[1], pass[2]));
    }

private:
    std::shared_ptr<fat::FatVolume> m_volume;
    fat::FatFile m_file;
};

} // namespace

DWORD FatResultToError(FatResult result) {
    switch (result) {
    case FatResult::Ok:
        return ERROR_SUCCESS;
    case FatResult::DiskError:
    case FatResult::InternalError:
    case FatResult::FormatAborted:
        return ERROR_GEN_FAILURE;
    case FatResult::NotReady:
        return ERROR_NOT_READY;
    case FatResult::NoFile:
        return ERROR_FILE_NOT_FOUND;
    case FatResult::NoPath:
        return ERROR_PATH_NOT_FOUND;
    case FatResult::InvalidName:
        return ERROR_INVALID_NAME;
    case FatResult::Denied:
        return ERROR_ACCESS_DENIED;
    case FatResult::Exists:
        return ERROR_ALREADY_EXISTS;
    case FatResult::InvalidObject:
        return ERROR_INVALID_HANDLE;
    case FatResult::WriteProtected:
        return ERROR_WRITE_PROTECT;
    case FatResult::NoFileSystem:
        return ERROR_UNRECOGNIZED_VOLUME;
    case FatResult::Locked:
        return ERROR_SHARING_VIOLATION;
    case FatResult::NotEnoughMemory:
        return ERROR_NOT_ENOUGH_MEMORY;
    case FatResult::TooManyOpenFiles:
        return ERROR_TOO_MANY_OPEN_FILES;
    case FatResult::InvalidParameter:
        return ERROR_INVALID_PARAMETER;
    case FatResult::DiskFull:
    case FatResult::TooLarge:
        return ERROR_DISK_FULL;
    case FatResult::DirectoryFull:
        return ERROR_CANNOT_MAKE;
    case FatResult::NotEmpty:
        return ERROR_DIR_NOT_EMPTY;
    case FatResult::NoMoreFiles:
        return ERROR_NO_MORE_FILES;
    case FatResult::Corrupt:
        return ERROR_FILE_CORRUPT;
    }
    return ERROR_GEN_FAILURE;
}

fat::FatLocalTime KernelLocalTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    fat::FatLocalTime time;
    time.year = now.wYear;
    time.month = static_cast<uint8_t>(now.wMonth);
    time.day = static_cast<uint8_t>(now.wDay);
    time.hour = static_cast<uint8_t>(now.wHour);
    time.minute = static_cast<uint8_t>(now.wMinute);
    time.second = static_cast<uint8_t>(now.wSecond);
    time.millisecond = now.wMilliseconds;
    return time;
}

FatVolumeAdapter::FatVolumeAdapter(std::unique_ptr<fat::BlockDevice> disk, fat::FatClock clock)
    : m_disk(std::move(disk)), m_volume(std::make_shared<fat::FatVolume>(std::move(clock))) {}

FatVolumeAdapter::~FatVolumeAdapter() {
    Dismount();
}

FatResult FatVolumeAdapter::Mount(fat::VolumeLocation where) {
    return m_volume->Mount(*m_disk, where);
}

FatResult FatVolumeAdapter::Dismount() {
    return m_volume->IsMounted() ? m_volume->Unmount() : FatResult::Ok;
}

DWORD FatVolumeAdapter::Open(const kernel::PathComponents& path, const kernel::VolumeOpen& request,
                             std::unique_ptr<kernel::VolumeFile>* file, bool* existed) {
    const std::u16string joined = Join(path);
    fat::FatFile handle;
    fat::FatOpened opened = fat::FatOpened::Existing;
    FatResult result = m_volume->Open(joined, AccessOf(request.access),
                                      static_cast<fat::FatDisposition>(request.disposition),
                                      request.attributes & fat::kAttrChangeable, handle, &opened);
    if (result == FatResult::Exists)
        return ERROR_FILE_EXISTS;
    if (result == FatResult::Denied && request.disposition == CREATE_NEW) {
        // A folder of that name: CREATE_NEW finds the name taken before it finds a folder.
        fat::FatEntryInfo info;
        if (m_volume->GetInfo(joined, info) == FatResult::Ok)
            return ERROR_FILE_EXISTS;
    }
    if (result != FatResult::Ok)
        return FatResultToError(result);
    *existed = opened == fat::FatOpened::Existing;
    *file = std::make_unique<FatFileAdapter>(m_volume, handle);
    return ERROR_SUCCESS;
}

DWORD FatVolumeAdapter::Delete(const kernel::PathComponents& path) {
    return FatResultToError(m_volume->Delete(Join(path)));
}

DWORD FatVolumeAdapter::Move(const kernel::PathComponents& from, const kernel::PathComponents& to) {
    return FatResultToError(m_volume->Rename(Join(from), Join(to)));
}

DWORD FatVolumeAdapter::CreateDirectory(const kernel::PathComponents& path) {
    return FatResultToError(m_volume->CreateDirectory(Join(path)));
}

DWORD FatVolumeAdapter::RemoveDirectory(const kernel::PathComponents& path) {
    const std::u16string joined = Join(path);
    FatResult result = m_volume->RemoveDirectory(joined);
    if (result == FatResult::Denied) {
        fat::FatEntryInfo info;
        if (m_volume->GetInfo(joined, info) == FatResult::Ok && !(info.attributes & fat::kAttrDirectory))
            return ERROR_DIRECTORY;
    }
    return FatResultToError(result);
}

DWORD FatVolumeAdapter::GetAttributes(const kernel::PathComponents& path, DWORD* attributes) {
    fat::FatEntryInfo info;
    if (FatResult result = m_volume->GetInfo(Join(path), info); result != FatResult::Ok)
        return FatResultToError(result);
    *attributes = PlatformAttributes(info.attributes);
    return ERROR_SUCCESS;
}

DWORD FatVolumeAdapter::SetAttributes(const kernel::PathComponents& path, DWORD attributes) {
    return FatResultToError(m_volume->SetAttributes(Join(path), attributes & fat::kAttrChangeable));
}

DWORD FatVolumeAdapter::List(const kernel::PathComponents& folder,
                             std::vector<kernel::VolumeEntry>* entries) {
    entries->clear();
    const std::u16string joined = Join(folder);
    const std::u16string pattern = joined.empty() ? u"*" : joined + u"\\*";
    fat::FatFind find;
    fat::FatEntryInfo info;
    FatResult result = m_volume->FindFirst(pattern, find, info);
    if (result == FatResult::NoMoreFiles)
        return ERROR_SUCCESS;
    if (result == FatResult::NoFile)
        return ERROR_PATH_NOT_FOUND;
    if (result != FatResult::Ok)
        return FatResultToError(result);
    do {
        entries->push_back(EntryOf(std::move(info)));
        result = m_volume->FindNext(find, info);
    } while (result == FatResult::Ok);
    m_volume->FindClose(find);
    return result == FatResult::NoMoreFiles ? static_cast<DWORD>(ERROR_SUCCESS) : FatResultToError(result);
}

DWORD FatVolumeAdapter::GetEntry(const kernel::PathComponents& path, kernel::VolumeEntry* entry) {
    if (path.empty())
        return ERROR_INVALID_PARAMETER;
    fat::FatEntryInfo info;
    if (FatResult result = m_volume->GetInfo(Join(path), info); result != FatResult::Ok)
        return FatResultToError(result);
    *entry = EntryOf(std::move(info));
    return ERROR_SUCCESS;
}

DWORD FatVolumeAdapter::Flush() {
    return FatResultToError(m_volume->Flush());
}

DWORD FatVolumeAdapter::GetFreeSpace(ULONGLONG* freeBytes, ULONGLONG* totalBytes) {
    fat::FatVolumeInfo info;
    if (FatResult result = m_volume->GetVolumeInfo(info); result != FatResult::Ok)
        return FatResultToError(result);
    *freeBytes = ULONGLONG{info.freeClusters} * info.bytesPerCluster;
    *totalBytes = ULONGLONG{info.totalClusters} * info.bytesPerCluster;
    return ERROR_SUCCESS;
}

} // namespace devices
