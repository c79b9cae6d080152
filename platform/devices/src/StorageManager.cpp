// The storage manager: the block devices of the device manager become FAT volumes mounted as folders.

#include "devices/StorageManager.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

#include "DriverBlockDevice.h"
#include "FatVolumeAdapter.h"
#include "FolderExport.h"
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
// How long a dismount waits for host programs to let go of a shared folder, on the platform clock.
constexpr DWORD kHostPatience = 5000;

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
// mounted under its profile. *readOnly tells whether the volume takes no changes.
std::shared_ptr<FatVolumeAdapter> PrepareVolume(const std::shared_ptr<Device>& device,
                                                const StorageProfile& profile, bool* readOnly) {
    *readOnly = false;
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
    if (uint64_t{where.firstSector} + where.sectorCount >= disk->SectorCount()) {
        disk->SetWriteProtected(true);
        *readOnly = true;
    }

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

// Where a volume was mounted: its folder (empty when it could not be mounted) and the host folder that
// the folder's device path maps to (none when the name has no host form).
struct MountPlace {
    std::u16string folder;
    std::optional<std::filesystem::path> hostFolder;
};

// Mounts the volume at "\" + name, or at the first numbered name that is free. What a process that died
// while sharing a folder left at a name is cleared first, so that the name is free again.
MountPlace MountAtFreeName(const std::u16string& name, const std::shared_ptr<kernel::Volume>& volume) {
    if (name.empty() || name.find(u'\\') != std::u16string::npos)
        return {};
    for (int number = 1; number <= kMaxFolderNumber; ++number) {
        std::u16string folder = u"\\" + name;
        if (number > 1) {
            WCHAR digits[8];
            _snwprintf(digits, 8, u"%d", number);
            folder += digits;
        }
        // None for a folder of this process's own mounts, whose host folders it never looks into.
        std::optional<std::filesystem::path> host = kernel::DeviceToHostPath(folder.c_str(), nullptr);
        if (host)
            ReclaimHostFolder(*host);
        if (kernel::MountVolume(folder.c_str(), volume))
            return MountPlace{folder, host};
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}

class StorageManager final : public BlockDeviceHandler {
public:
    void DeviceArrived(const std::shared_ptr<Device>& device) override {
        auto store = std::make_shared<Store>();
        store->device = device;
        const StorageProfile profile = ReadStorageProfile(device->Profile());
        store->volume = PrepareVolume(device, profile, &store->readOnly);
        if (store->volume) {
            std::u16string name = profile.folder;
            if (name.empty())
                name = DiskName(*device);
            if (name.empty())
                name = kDefaultFolder;
            const MountPlace place = MountAtFreeName(name, store->volume);
            store->folder = place.folder;
            if (store->folder.empty()) {
                store->volume->Dismount();
                store->volume.reset();
            } else if (place.hostFolder) {
                store->hostFolder = *place.hostFolder;
                store->share = FolderExport::Start(*place.hostFolder, store->folder, store->volume,
                                                   store->readOnly, &store->sharingNote);
            } else {
                store->sharingNote = "the folder's name has no host form";
            }
        }
        std::lock_guard guard(m_lock);
        m_stores.push_back(std::move(store));
    }

    DWORD DeviceRemoving(const std::shared_ptr<Device>& device) override {
        std::shared_ptr<Store> store;
        {
            std::lock_guard guard(m_lock);
            auto it = std::find_if(m_stores.begin(), m_stores.end(),
                                   [&](const std::shared_ptr<Store>& s) { return s->device == device; });
            if (it == m_stores.end())
                return ERROR_SUCCESS;
            store = *it;
        }
        // The host lets go of the folder first; while it does not, the volume stays mounted and shared as
        // it was, and the device stays active.
        if (store->share && store->share->Stop(kHostPatience) == ExportStop::Busy)
            return ERROR_BUSY;
        {
            std::lock_guard guard(m_lock);
            std::erase(m_stores, store);
        }
        store->share.reset();
        // The kernel waits for the calls in progress and closes the volume's files; then the engine writes
        // what it still holds through the driver.
        if (!store->folder.empty())
            kernel::UnmountVolume(store->folder.c_str());
        if (store->volume)
            store->volume->Dismount();
        return ERROR_SUCCESS;
    }

    std::vector<MountInfo> Mounts() {
        std::lock_guard guard(m_lock);
        std::vector<MountInfo> mounts;
        for (const std::shared_ptr<Store>& store : m_stores)
            if (!store->folder.empty())
                mounts.push_back(InfoOf(*store));
        return mounts;
    }

    std::optional<MountInfo> MountOf(const Device& device) {
        std::lock_guard guard(m_lock);
        for (const std::shared_ptr<Store>& store : m_stores)
            if (store->device.get() == &device && !store->folder.empty())
                return InfoOf(*store);
        return std::nullopt;
    }

private:
    struct Store {
        std::shared_ptr<Device> device;
        std::shared_ptr<FatVolumeAdapter> volume; // null when the disk is not mounted
        std::u16string folder;
        std::filesystem::path hostFolder;
        std::unique_ptr<FolderExport> share; // null when only this process sees the folder
        std::string sharingNote;
        bool readOnly = false;
    };

    static MountInfo InfoOf(const Store& store) {
        MountInfo info;
        info.deviceName = store.device->Name();
        info.folder = store.folder;
        info.hostFolder = store.hostFolder;
        info.sharing = store.share ? MountSharing::Shared : MountSharing::ProcessOnly;
        info.sharingNote = store.sharingNote;
        info.openHostFiles = store.share ? store.share->OpenFiles() : 0;
        info.readOnly = store.readOnly;
        return info;
    }

    std::mutex m_lock;
    std::vector<std::shared_ptr<Store>> m_stores;
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
    std::optional<MountInfo> mount = TheStorageManager().MountOf(device);
    return mount ? mount->folder : std::u16string();
}

std::optional<MountInfo> MountOf(const Device& device) {
    return TheStorageManager().MountOf(device);
}

std::vector<MountInfo> Mounts() {
    return TheStorageManager().Mounts();
}

bool ClearDeadMountFolder(const std::u16string& folder) {
    DWORD error = 0;
    std::optional<std::filesystem::path> host = kernel::DeviceToHostPath(folder.c_str(), &error);
    return host && ReclaimHostFolder(*host);
}

} // namespace devices
