#pragma once
// Containers for the main program's tests: the block driver loaded in the test's device root, and
// containers made and mounted through it as the program mounts them.

#include <memory>
#include <string>

#include "ContainerFormat.h"
#include "crt/Types.h"
#include "devices/DeviceManager.h"
#include "testing/HostHolder.h"

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

// Host programs that hold the folder of the next container mounted: a file written there and the folder
// kept from being let go, so that DeactivateDevice fails with ERROR_BUSY and leaves the device active,
// mounted and shared as it was, as the storage manager answers while host programs hold a folder. The
// holder lets go after the given number of refused releases (kAlways: only when told). The storage
// manager does everything else. In place for the object's lifetime.
class FolderHolders : public devices::BlockDeviceHandler {
public:
    enum class Holder {
        Fake,        // the releases are refused here, the storage manager is not asked
        HostProcess, // a host shell sits in the shared folder; the storage manager refuses by itself
    };
    static constexpr int kAlways = -1;
    // The file the holder writes into the folder, and what it holds.
    static constexpr char16_t kKeptName[] = u"kept.txt";
    static constexpr char kKeptText[] = "written while the folder was held";

    explicit FolderHolders(Holder holder);
    ~FolderHolders() override;
    FolderHolders(const FolderHolders&) = delete;
    FolderHolders& operator=(const FolderHolders&) = delete;

    void HoldNextFolder(int refusals);
    void LetGo();
    // How many releases were refused, and whether the holder got hold of a folder at all (a host process
    // cannot where the folder is not shared with the host).
    int Refused() const { return m_refused; }
    bool Held() const { return m_held; }

    void DeviceArrived(const std::shared_ptr<devices::Device>& device) override;
    DWORD DeviceRemoving(const std::shared_ptr<devices::Device>& device) override;

private:
    Holder m_holder;
    devices::BlockDeviceHandler* m_storage = nullptr;
    bool m_armed = false;
    bool m_held = false;
    int m_refusals = 0;
    int m_refused = 0;
    std::shared_ptr<devices::Device> m_device;
    std::unique_ptr<testing_support::HostHolder> m_shell;
};

} // namespace apptest
