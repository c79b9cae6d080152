// File mappings: shared host mappings of a file object's descriptor, and the table of mapped views.

#include "kernel/Mapping.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "FileObject.h"
#include "MappingExtent.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Handles.h"

using kernel::Fail;
using kernel::files::FileObject;

namespace {

struct Registry {
    std::mutex lock;
    std::map<std::pair<dev_t, ino_t>, std::multiset<ULONGLONG>> extents;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry; // never destroyed: mappings may go at exit
    return *registry;
}

class MappingObject final : public kernel::KernelObject {
public:
    MappingObject(std::shared_ptr<FileObject> file, int fd, const struct stat& st, ULONGLONG size,
                  bool writable)
        : m_file(std::move(file)), m_fd(fd), m_key(st.st_dev, st.st_ino), m_size(size), m_writable(writable) {
        Registry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        registry.extents[m_key].insert(m_size);
    }
    MappingObject(const MappingObject&) = delete;
    MappingObject& operator=(const MappingObject&) = delete;
    ~MappingObject() override {
        {
            Registry& registry = TheRegistry();
            std::lock_guard guard(registry.lock);
            auto it = registry.extents.find(m_key);
            if (it != registry.extents.end()) {
                it->second.erase(it->second.find(m_size));
                if (it->second.empty())
                    registry.extents.erase(it);
            }
        }
        ::close(m_fd);
    }

    int Descriptor() const { return m_fd; }
    ULONGLONG Size() const { return m_size; }
    bool Writable() const { return m_writable; }

private:
    std::shared_ptr<FileObject> m_file; // keeps the file open, and its share modes held, while mapped
    int m_fd;
    std::pair<dev_t, ino_t> m_key;
    ULONGLONG m_size;
    bool m_writable;
};

struct View {
    std::shared_ptr<MappingObject> mapping;
    size_t length = 0;
};

struct ViewTable {
    std::mutex lock;
    std::map<uintptr_t, View> views; // by base address
};

ViewTable& TheViews() {
    static ViewTable* table = new ViewTable; // never destroyed: views may be unmapped at exit
    return *table;
}

std::atomic<size_t> g_viewFlushes{0};

} // namespace

namespace kernel::files {

ULONGLONG MappedExtent(dev_t device, ino_t inode) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    auto it = registry.extents.find({device, inode});
    return it == registry.extents.end() || it->second.empty() ? 0 : *it->second.rbegin();
}

} // namespace kernel::files

HANDLE CreateFileForMappingW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                             LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                             DWORD flagsAndAttributes, HANDLE templateFile) {
    return CreateFileW(fileName, desiredAccess, shareMode, security, creationDisposition, flagsAndAttributes,
                       templateFile);
}

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name) {
    if (name != nullptr || file == INVALID_HANDLE_VALUE)
        return Fail(ERROR_NOT_SUPPORTED, static_cast<HANDLE>(nullptr));
    auto object = kernel::FindHandleAs<FileObject>(file);
    if (!object)
        return Fail(ERROR_INVALID_HANDLE, static_cast<HANDLE>(nullptr));
    const DWORD pageProtection = protect & 0xFF;
    if (pageProtection != PAGE_READONLY && pageProtection != PAGE_READWRITE)
        return Fail(ERROR_INVALID_PARAMETER, static_cast<HANDLE>(nullptr));
    const bool writable = pageProtection == PAGE_READWRITE;
    if (!object->CanRead() || (writable && !object->CanWrite()))
        return Fail(ERROR_ACCESS_DENIED, static_cast<HANDLE>(nullptr));

    ULONGLONG fileSize = 0;
    if (DWORD error = object->GetSize(&fileSize); error != ERROR_SUCCESS)
        return Fail(error, static_cast<HANDLE>(nullptr));
    ULONGLONG size = (static_cast<ULONGLONG>(maximumSizeHigh) << 32) | maximumSizeLow;
    if (size == 0)
        size = fileSize;
    if (size == 0)
        return Fail(ERROR_FILE_INVALID, static_cast<HANDLE>(nullptr));
    if (size > std::numeric_limits<size_t>::max() ||
        size > static_cast<ULONGLONG>(std::numeric_limits<off_t>::max()))
        return Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<HANDLE>(nullptr));
    if (size > fileSize && !writable)
        return Fail(ERROR_ACCESS_DENIED, static_cast<HANDLE>(nullptr));

    int fd = -1;
    if (DWORD error = object->DuplicateHostDescriptor(&fd); error != ERROR_SUCCESS)
        return Fail(error, static_cast<HANDLE>(nullptr));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const DWORD error = kernel::files::HostError(errno);
        ::close(fd);
        return Fail(error, static_cast<HANDLE>(nullptr));
    }
    if (size > fileSize && ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        const DWORD error = kernel::files::HostError(errno);
        ::close(fd);
        return Fail(error, static_cast<HANDLE>(nullptr));
    }
    auto mapping = std::make_shared<MappingObject>(std::move(object), fd, st, size, writable);
    return kernel::InsertHandle(std::move(mapping));
}

LPVOID MapViewOfFile(HANDLE fileMappingObject, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                     SIZE_T numberOfBytesToMap) {
    auto mapping = kernel::FindHandleAs<MappingObject>(fileMappingObject);
    if (!mapping)
        return Fail(ERROR_INVALID_HANDLE, static_cast<LPVOID>(nullptr));
    const bool writes = (desiredAccess & FILE_MAP_WRITE) != 0;
    const bool reads = writes || (desiredAccess & FILE_MAP_READ) != 0;
    if (!reads)
        return Fail(ERROR_INVALID_PARAMETER, static_cast<LPVOID>(nullptr));
    if (writes && !mapping->Writable())
        return Fail(ERROR_ACCESS_DENIED, static_cast<LPVOID>(nullptr));

    const ULONGLONG offset = (static_cast<ULONGLONG>(fileOffsetHigh) << 32) | fileOffsetLow;
    if (offset % kMappingGranularity != 0 || offset >= mapping->Size())
        return Fail(ERROR_INVALID_PARAMETER, static_cast<LPVOID>(nullptr));
    const ULONGLONG available = mapping->Size() - offset;
    const ULONGLONG length = numberOfBytesToMap == 0 ? available : numberOfBytesToMap;
    if (length > available)
        return Fail(ERROR_INVALID_PARAMETER, static_cast<LPVOID>(nullptr));

    void* base = ::mmap(nullptr, static_cast<size_t>(length), PROT_READ | (writes ? PROT_WRITE : 0),
                        MAP_SHARED, mapping->Descriptor(), static_cast<off_t>(offset));
    if (base == MAP_FAILED)
        return Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<LPVOID>(nullptr));
    ViewTable& table = TheViews();
    std::lock_guard guard(table.lock);
    table.views[reinterpret_cast<uintptr_t>(base)] = View{std::move(mapping), static_cast<size_t>(length)};
    return base;
}

BOOL FlushViewOfFile(LPCVOID baseAddress, SIZE_T numberOfBytesToFlush) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(baseAddress);
    uintptr_t start = 0;
    uintptr_t end = 0;
    {
        ViewTable& table = TheViews();
        std::lock_guard guard(table.lock);
        auto it = table.views.upper_bound(address);
        if (baseAddress == nullptr || it == table.views.begin())
            return Fail(ERROR_INVALID_ADDRESS, FALSE);
        --it;
        const uintptr_t viewEnd = it->first + it->second.length;
        if (address >= viewEnd)
            return Fail(ERROR_INVALID_ADDRESS, FALSE);
        const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        start = address - (address - it->first) % page;
        end = numberOfBytesToFlush == 0 || numberOfBytesToFlush > viewEnd - address
                  ? viewEnd
                  : address + numberOfBytesToFlush;
        // The view stays mapped while the table's lock is held, so the sync cannot meet an unmapped range.
        if (::msync(reinterpret_cast<void*>(start), end - start, MS_SYNC) != 0)
            return Fail(kernel::files::HostError(errno), FALSE);
    }
    ++g_viewFlushes;
    return TRUE;
}

BOOL UnmapViewOfFile(LPCVOID baseAddress) {
    View released;
    {
        ViewTable& table = TheViews();
        std::lock_guard guard(table.lock);
        auto it = table.views.find(reinterpret_cast<uintptr_t>(baseAddress));
        if (baseAddress == nullptr || it == table.views.end())
            return Fail(ERROR_INVALID_ADDRESS, FALSE);
        ::munmap(const_cast<void*>(baseAddress), it->second.length);
        released = std::move(it->second);
        table.views.erase(it);
    }
    // The mapping (and its file) goes here when this view was its last user.
    return TRUE;
}

namespace kernel {

size_t ViewFlushCount() {
    return g_viewFlushes;
}

size_t OpenViewCount() {
    ViewTable& table = TheViews();
    std::lock_guard guard(table.lock);
    return table.views.size();
}

} // namespace kernel
