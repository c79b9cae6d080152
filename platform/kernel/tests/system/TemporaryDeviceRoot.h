#pragma once
// The shared temporary device root, and the test programs and libraries of this suite.

#include "testing/DeviceRootTest.h"

class TemporaryDeviceRoot : public testing_support::TemporaryDeviceRoot {
public:
    // The test programs and libraries of the build, under their device paths.
    static void InstallTestFiles() { ASSERT_EQ(kernel::InstallDeviceManifest(KERNEL_SYSTEM_MANIFEST), 0u); }
};
