#include "DriverTestSupport.h"
#include "devices/DeviceManager.h"

namespace drivertest {
namespace {

// The driver's key is in place once the library was loaded; the device manager loads it again.
using ActivationTest = DriverTest;

TEST_F(ActivationTest, DeviceManagerMountsAndUnmountsAContainer) {
    MakeContainer(u"\\My Documents\\a.fvc", u"password1", u"Alpha", 32 * 1024);
    CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\a.fvc", u"password1", u"Alpha", 0);
    HANDLE device = ActivateDeviceEx(u"Drivers\\Builtin\\Ferrovane", nullptr, 0, &record);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(record.status, MOUNT_OK);
    EXPECT_EQ(record.size, 32u * 1024);

    auto active = devices::ActiveDevices();
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0]->Name(), u"FRV1:");
    EXPECT_EQ(active[0]->Profile(), u"Ferrovane");
    DISK_INFO info{};
    EXPECT_TRUE(active[0]->IoControl(IOCTL_DISK_GETINFO, nullptr, 0, reinterpret_cast<PBYTE>(&info),
                                     sizeof info, nullptr));
    EXPECT_EQ(info.di_total_sectors, 64u);

    // The container file stays open without sharing while it is mounted.
    EXPECT_EQ(CreateFileW(u"\\My Documents\\a.fvc", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeactivateDevice(device));
    HANDLE reopened =
        CreateFileW(u"\\My Documents\\a.fvc", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reopened, INVALID_HANDLE_VALUE);
    CloseHandle(reopened);
    EXPECT_FALSE(DeactivateDevice(device));
}

TEST_F(ActivationTest, RefusedInitLeavesTheDriversStatusInTheRecord) {
    MakeContainer(u"\\My Documents\\a.fvc", u"password1", u"Alpha", 32 * 1024);
    CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\a.fvc", u"not the password", u"Alpha", 0);
    EXPECT_EQ(ActivateDeviceEx(u"Drivers\\Builtin\\Ferrovane", nullptr, 0, &record), nullptr);
    EXPECT_EQ(record.status, MOUNT_BAD_PASSWORD);
    EXPECT_TRUE(devices::ActiveDevices().empty());

    CONTAINER_PARAMS missing = MakeRecord(u"\\My Documents\\none.fvc", u"password1", u"Alpha", 0);
    EXPECT_EQ(ActivateDeviceEx(u"Drivers\\Builtin\\Ferrovane", nullptr, 0, &missing), nullptr);
    EXPECT_EQ(missing.status, MOUNT_FILE_MISSING);
}

} // namespace
} // namespace drivertest
