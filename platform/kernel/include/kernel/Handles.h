#pragma once
// The process's kernel handle table. Every kernel object a HANDLE stands for (files, find searches,
// mappings, mutexes, processes, devices) derives from KernelObject; the table holds one reference per
// handle, and a call that uses a handle holds its own for the duration, so closing a handle on one thread
// while another uses it is safe. Handle values are never reused within a process.

#include <cstddef>
#include <memory>

#include "crt/Types.h"

namespace kernel {

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

// Adds the object and returns its new handle (never NULL or INVALID_HANDLE_VALUE).
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
// The object of a handle, or null for a closed or unknown handle.
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);
template <typename T>
std::shared_ptr<T> FindHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(FindHandle(handle));
}
// Drops the table's reference; false for a closed or unknown handle. The object goes when its last user
// lets go of it.
bool RemoveHandle(HANDLE handle);
// Number of open handles of the process, for tests that check that every path releases what it opened.
size_t OpenHandleCount();

} // namespace kernel

// Closes any kernel handle; ERROR_INVALID_HANDLE for one that is not open.
BOOL CloseHandle(HANDLE handle);
