#pragma once
// Containers for the main program's tests: the block driver loaded in the test's device root, and
// containers made and mounted through it as the program mounts them.

#include <string>

#include "ContainerFormat.h"
#include "crt/Types.h"

namespace apptest {

// Installs Ferrovane.dll into the current device root and loads it (which registers it); frees it at the
// end. Make one after the device root exists.
class LoadedDriver {
public:
    LoadedDriver();
    ~LoadedDriver();
    LoadedDriver(const LoadedDriver&) = delete;
    LoadedDriver& operator=(const LoadedDriver&) = delete;

private:
    HMODULE m_module = nullptr;
};

struct MountedContainer {
    CONTAINER_PARAMS record{};
    HANDLE device = nullptr;
};

// A record as the program fills it: the texts, the size (0 opens), status -1.
CONTAINER_PARAMS MakeRecord(const std::u16string& path, const std::u16string& password,
                            const std::u16string& folder, uint32_t size);
// A new container of size bytes with its trailer, then opened: the record of the opening (status
// MOUNT_OK on success) and its device handle.
MountedContainer MountNewContainer(const std::u16string& path, const std::u16string& password,
                                   const std::u16string& folder, uint32_t size = 1u << 20);

} // namespace apptest
