#include "kernel/Handles.h"

#include <mutex>
#include <unordered_map>

#include "kernel/Errors.h"

namespace kernel {
namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<UINT_PTR, std::shared_ptr<KernelObject>> objects;
    // Values step by 4 like the handheld's, starting well away from NULL and small integers.
    UINT_PTR next = 0x1000;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable; // never destroyed: handles may be closed at exit
    return *table;
}

} // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    UINT_PTR value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<UINT_PTR>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> released;
    {
        HandleTable& table = Table();
        std::lock_guard guard(table.lock);
        auto it = table.objects.find(reinterpret_cast<UINT_PTR>(handle));
        if (it == table.objects.end())
            return false;
        released = std::move(it->second);
        table.objects.erase(it);
    }
    // The object's destructor runs here, outside the table's lock, when this was its last reference.
    return true;
}

size_t OpenHandleCount() {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    return table.objects.size();
}

} // namespace kernel

BOOL CloseHandle(HANDLE handle) {
    if (!kernel::RemoveHandle(handle))
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}
