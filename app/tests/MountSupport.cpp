#include "MountSupport.h"

#include <gtest/gtest.h>

#include "crt/Crt.h"
#include "crt/Utf8.h"
#include "devices/DeviceManager.h"
#include "devices/StorageManager.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Install.h"
#include "kernel/Modules.h"

namespace apptest {

namespace {

constexpr char16_t kDriverKey[] = u"Drivers\\Builtin\\Ferrovane";

} // namespace

LoadedDriver::LoadedDriver() {
    EXPECT_EQ(kernel::InstallDeviceManifest(DRIVER_MANIFEST), static_cast<DWORD>(ERROR_SUCCESS));
    m_module = LoadLibraryW(u"Ferrovane.dll");
    EXPECT_NE(m_module, nullptr);
}

LoadedDriver::~LoadedDriver() {
    if (m_module != nullptr)
        FreeLibrary(m_module);
}

CONTAINER_PARAMS MakeRecord(const std::u16string& path, const std::u16string& password,
                            const std::u16string& folder, uint32_t size) {
    CONTAINER_PARAMS record{};
    CopyStringW(record.containerPath, kContainerTextUnits, path.c_str());
    CopyStringW(record.password, kContainerTextUnits, password.c_str());
    CopyStringW(record.folderName, kContainerTextUnits, folder.c_str());
    record.size = size;
    record.status = -1;
    return record;
}

MountedContainer MountNewContainer(const std::u16string& path, const std::u16string& password,
                                   const std::u16string& folder, uint32_t size) {
    CONTAINER_PARAMS created = MakeRecord(path, password, folder, size);
    created.status = 0;
    HANDLE made = ActivateDeviceEx(kDriverKey, nullptr, 0, &created);
    EXPECT_NE(made, nullptr) << "the container was not created";
    if (made == nullptr)
        return {};
    DeactivateDevice(made);

    CONTAINER_TRAILER trailer{};
    BuildNewContainerTrailer(password.c_str(), folder.c_str(), &trailer);
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    SetFilePointer(file, -static_cast<LONG>(kTrailerSize), nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, &trailer, kTrailerSize, &written, nullptr);
    CloseHandle(file);

    MountedContainer mounted;
    mounted.record = MakeRecord(path, password, folder, 0);
    mounted.record.status = 0;
    mounted.device = ActivateDeviceEx(kDriverKey, nullptr, 0, &mounted.record);
    EXPECT_EQ(mounted.record.status, MOUNT_OK);
    return mounted;
}

FolderHolders::FolderHolders(Holder holder) : m_holder(holder), m_storage(devices::GetBlockDeviceHandler()) {
    devices::SetBlockDeviceHandler(this);
}

FolderHolders::~FolderHolders() {
    LetGo();
    devices::SetBlockDeviceHandler(m_storage);
}

void FolderHolders::HoldNextFolder(int refusals) {
    m_armed = true;
    m_refusals = refusals;
    m_refused = 0;
}

void FolderHolders::LetGo() {
    m_device.reset();
    m_shell.reset();
}

void FolderHolders::DeviceArrived(const std::shared_ptr<devices::Device>& device) {
    m_storage->DeviceArrived(device);
    if (!m_armed)
        return;
    m_armed = false;
    const std::optional<devices::MountInfo> mount = devices::MountOf(*device);
    if (!mount)
        return;
    if (m_holder == Holder::Fake) {
        // What a host program writes there goes through the platform's calls here.
        const std::u16string file = mount->folder + u"\\" + kKeptName;
        HANDLE kept = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (kept == INVALID_HANDLE_VALUE)
            return;
        DWORD written = 0;
        WriteFile(kept, kKeptText, sizeof kKeptText - 1, &written, nullptr);
        CloseHandle(kept);
        m_device = device;
        m_held = true;
        return;
    }
    if (mount->sharing != devices::MountSharing::Shared)
        return;
    // A host shell writes the file, then stays in the folder until it is let go.
    m_shell = std::make_unique<testing_support::HostHolder>(std::string("cd \"$1\" && printf '") + kKeptText +
                                                                "' > " + crt::ToUtf8(kKeptName),
                                                            mount->hostFolder);
    m_held = m_shell->Holding();
    if (m_held)
        m_device = device;
    else
        m_shell.reset();
}

DWORD FolderHolders::DeviceRemoving(const std::shared_ptr<devices::Device>& device) {
    if (device != m_device || m_device == nullptr)
        return m_storage->DeviceRemoving(device);
    const DWORD answer =
        m_holder == Holder::Fake ? static_cast<DWORD>(ERROR_BUSY) : m_storage->DeviceRemoving(device);
    if (answer != ERROR_BUSY)
        return answer;
    if (++m_refused == m_refusals)
        LetGo();
    return answer;
}

} // namespace apptest
