#include "MountSupport.h"

#include <gtest/gtest.h>

#include "crt/Crt.h"
#include "devices/DeviceManager.h"
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

} // namespace apptest
