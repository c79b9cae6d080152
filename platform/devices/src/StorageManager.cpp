// The storage manager: the block devices of the device manager become FAT volumes mounted as folders.

#include "devices/StorageManager.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

#include "DriverBlockDevice.h"
#include "FatVolumeAdapter.h"
#include "StorageProfile.h"
#include "crt/Crt.h"
#include "fat/Format.h"
#include "fat/Partition.h"
#include "kernel/Kernel.h"

namespace devices {
namespace {

constexpr WCHAR kBuiltInPartitionDriver[] = u"mspart.dll";
constexpr WCHAR kFatFileSystem[] = u"FATFS";
constexpr WCHAR kDefaultFolder[] = u"Mounted Volume";
constexpr int kMaxFolderNumber = 99;
constexpr uint32_t kCipherBlock = 16;

// A sector that was never written has all its 16-byte blocks alike: zeros on a blank disk, and in a
// container the one block that its zero-filled file decrypts to. A partition or boot sector never does.
bool IsUnwritten(fat::BlockDevice& disk, uint32_t sector) {
    std::vector<uint8_t> data(fat::kSectorSize);
    if (!disk.ReadSectors(sector, 1, data.data()))
        return false;
    for (uint32_t at = kCipherBlock; at < fat::kSectorSize; at += kCipherBlock)
        if (!std::equal(data.begin(), data.begin() + kCipherBlock, data.begin() + at))
            return false;
    return true;
}

// Where the volume of a disk lies; a disk that was never partitioned is partitioned first when the
// profile says so (*fresh then tells that the partition is new). sectorCount 0 when there is none.
fat::VolumeLocation LocateVolume(fat::BlockDevice& disk, const StorageProfile& profile, bool* fresh) {
    *fresh = false;
    fat::DiskScan scan;
    if (fat::ScanDisk(disk, scan) != fat::FatResult::Ok)
        return {};
    if (scan.layout != fat::DiskLayout::Unpartitioned)
        return scan.volume;
    if (!profile.autoPart || !IsUnwritten(disk, 0))
        return {};
    fat::VolumeLocation made;
    if (fat::PartitionDisk(disk, made) != fat::FatResult::Ok)
        return {};
    *fresh = true;
    return made;
}

// The engine's volume of a device, mounted but not yet given a folder; null when the disk cannot be
// mounted under its profile.
std::shared_ptr<FatVolumeAdapter> PrepareVolume(const std::shared_ptr<Device>& device,
                                                const StorageProfile& profile) {
    if (!profile.autoMount || _wcsicmp(profile.defaultFileSystem.c_str(), kFatFileSystem) != 0 ||
        _wcsicmp(profile.partitionDriver.c_str(), kBuiltInPartitionDriver) != 0)
        return nullptr;
    auto disk = std::make_unique<DriverBlockDevice>(device);
    if (!disk->Open())
        return nullptr;
    bool fresh = false;
    const fat::VolumeLocation where = LocateVolume(*disk, profile, &fresh);
    if (where.sectorCount == 0)
        return nullptr;
    // The disk's last sector holds what the driver keeps behind the file system (a container's trailer).
    if (uint64_t{where.firstSector} + where.sectorCount >= disk->SectorCount())
        disk->SetWriteProtected(true);

    DriverBlockDevice& diskRef = *disk;
    const fat::FatClock clock = KernelLocalTime;
    auto volume = std::make_shared<FatVolumeAdapter>(std::move(disk), clock);
    fat::FatResult result = volume->Mount(where);
    if (result == fat::FatResult::NoFileSystem && profile.autoFormat && !diskRef.IsWriteProtected() &&
        (fresh || IsUnwritten(diskRef, where.firstSector))) {
        if (fat::FormatVolume(diskRef, where, clock) != fat::FatResult::Ok)
            return nullptr;
        result = volume->Mount(where);
    }
    return result == fat::FatResult::Ok ? volume : nullptr;
}

// The name the driver gives its disk, empty when it gives none.
std::u16string DiskName(Device& device) {
    WCHAR name[MAX_PATH + 1] = {};
    const DWORD saved = GetLastError();
    const bool named = device.IoControl(IOCTL_DISK_GETNAME, nullptr, 0, reinterpret_cast<PBYTE>(name),
                                        MAX_PATH * sizeof(WCHAR), nullptr);
    SetLastError(saved);
    return named ? std::u16string(name) : std::u16string();
}

// Mounts the volume at "\" + name, or at the first numbered name that is free; the folder, or empty when
// it could not be mounted.
std::u16string MountAtFreeName(const std::u16string& name, const std::shared_ptr<kernel::Volume>& volume) {
    if (name.empty() || name.find(u'\\') != std::u16string::npos)
        return {};
    for (int number = 1; number <= kMaxFolderNumber; ++number) {
        std::u16string folder = u"\\" + name;
        if (number > 1) {
            WCHAR digits[8];
            _snwprintf(digits, 8, u"%d", number);
            folder += digits;
        }
        if (kernel::MountVolume(folder.c_str(), volume))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}

class StorageManager final : public BlockDeviceHandler {
public:
    void DeviceArrived(const std::shared_ptr<Device>& device) override {
        Store store{device, nullptr, {}};
        const StorageProfile profile = ReadStorageProfile(device->Profile());
        store.volume = PrepareVolume(device, profile);
        if (store.volume) {
            std::u16string name = profile.folder;
            if (name.empty())
                name = DiskName(*device);
            if (name.empty())
                name = kDefaultFolder;
            store.folder = MountAtFreeName(name, store.volume);
            if (store.folder.empty()) {
                store.volume->Dismount();
                store.volume.reset();
            }
        }
        std::lock_guard guard(m_lock);
        m_stores.push_back(std::move(store));
    }

    void DeviceRemoving(const std::shared_ptr<Device>& device) override {
        std::optional<Store> store;
        {
            std::lock_guard guard(m_lock);
            for (auto it = m_stores.begin(); it != m_stores.end(); ++it) {
                if (it->device == device) {
                    store = std::move(*it);
                    m_stores.erase(it);
                    break;
                }
            }
        }
        if (!store)
            return;
        // The kernel waits for the calls in progress and closes the volume's files; then the engine writes
        // what it still holds through the driver.
        if (!store->folder.empty())
            kernel::UnmountVolume(store->folder.c_str());
        if (store->volume)
            store->volume->Dismount();
    }

    std::u16string MountFolderOf(const Device& device) {
        std::lock_guard guard(m_lock);
        for (const Store& store : m_stores)
            if (store.device.get() == &device)
                return store.folder;
        return {};
    }

private:
    struct Store {
        std::shared_ptr<Device> device;
        std::shared_ptr<FatVolumeAdapter> volume; // null when the disk is not mounted
        std::u16string folder;
    };

    std::mutex m_lock;
    std::vector<Store> m_stores;
};

StorageManager& TheStorageManager() {
    static StorageManager* manager = new StorageManager; // never destroyed: devices may go at exit
    return *manager;
}

// Takes the block devices from the moment the library is loaded.
[[maybe_unused]] const bool g_registered = [] {
    SetBlockDeviceHandler(&TheStorageManager());
    return true;
}();

} // namespace

std::u16string MountFolderOf(const Device& device) {
    return TheStorageManager().MountFolderOf(device);
}

} // namespace devices
