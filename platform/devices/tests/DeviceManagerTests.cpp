#include "devices/DeviceManager.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "crt/Crt.h"
#include "kernel/Kernel.h"
#include "testing/DeviceRootTest.h"

namespace {
std::vector<std::pair<std::string, DWORD_PTR>> g_calls;
std::u16string g_activeKey;
} // namespace

extern "C" __attribute__((visibility("default"))) void RecordDriverCall(const char* what, DWORD_PTR value) {
    g_calls.emplace_back(what, value);
    if (std::string(what) == "init")
        g_activeKey = reinterpret_cast<const WCHAR*>(value);
}

namespace {

std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    for (const auto& call : g_calls)
        names.push_back(call.first);
    return names;
}

DWORD_PTR Call(const std::string& name) {
    for (const auto& call : g_calls)
        if (call.first == name)
            return call.second;
    return ~DWORD_PTR{0};
}

bool KeyExists(const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, 0, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

class DeviceManagerTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        Install(DEVICES_MANIFEST);
        g_calls.clear();
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Builtin\\Test", 0, nullptr, 0, 0, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        SetString(key, u"Dll", u"TestDriver.dll");
        SetString(key, u"Prefix", u"TST");
        DWORD four = 4;
        RegSetValueExW(key, u"Ioctl", 0, REG_DWORD, reinterpret_cast<BYTE*>(&four), 4);
        RegCloseKey(key);
    }
    static void SetString(HKEY key, const WCHAR* name, const std::u16string& text) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * 2));
    }
    int m_parameter = 0;
};

TEST_F(DeviceManagerTest, ActivationLoadsTheDriverInitialisesItAndSendsThePostInitControl) {
    SetLastError(777);
    HANDLE device = ActivateDeviceEx(u"Drivers\\Builtin\\Test", nullptr, 0, &m_parameter);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(CallNames(), (std::vector<std::string>{"attach", "init", "init kernel mode", "ioctl",
                                                     "ioctl kernel mode", "ioctl in"}));
    EXPECT_EQ(Call("init kernel mode"), 1u);
    EXPECT_EQ(Call("ioctl"), 4u);
    EXPECT_EQ(Call("ioctl kernel mode"), 1u);
    EXPECT_EQ(Call("ioctl in"), 1u);
    EXPECT_TRUE(KeyExists(g_activeKey));
    EXPECT_EQ(g_activeKey.rfind(u"Drivers\\Active\\", 0), 0u);

    auto active = devices::ActiveDevices();
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0]->Name(), u"TST1:");

    g_calls.clear();
    EXPECT_TRUE(DeactivateDevice(device));
    EXPECT_EQ(CallNames(), (std::vector<std::string>{"deinit", "detach"}));
    EXPECT_EQ(Call("deinit"), 1u);
    EXPECT_FALSE(KeyExists(g_activeKey));
    EXPECT_TRUE(devices::ActiveDevices().empty());

    EXPECT_FALSE(DeactivateDevice(device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceManagerTest, RefusedInitGivesNullWithTheDriversErrorAndUnloads) {
    HANDLE device = ActivateDeviceEx(u"Drivers\\Builtin\\Test", nullptr, 0, nullptr);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(CallNames(), (std::vector<std::string>{"attach", "init", "init kernel mode", "detach"}));
    EXPECT_FALSE(KeyExists(g_activeKey));
}

TEST_F(DeviceManagerTest, TwoDevicesOfOnePrefixGetTheirOwnNames) {
    HANDLE first = ActivateDeviceEx(u"Drivers\\Builtin\\Test", nullptr, 0, &m_parameter);
    HANDLE second = ActivateDeviceEx(u"Drivers\\Builtin\\Test", nullptr, 0, &m_parameter);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    auto active = devices::ActiveDevices();
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[0]->Name(), u"TST1:");
    EXPECT_EQ(active[1]->Name(), u"TST2:");
    EXPECT_NE(active[0]->ActiveKeyPath(), active[1]->ActiveKeyPath());
    EXPECT_TRUE(DeactivateDevice(first));
    EXPECT_TRUE(DeactivateDevice(second));
}

TEST_F(DeviceManagerTest, BadKeysAndHandlesAreRefused) {
    EXPECT_EQ(ActivateDeviceEx(nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(ActivateDeviceEx(u"Drivers\\Builtin\\Nothing", nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Builtin\\Missing", 0, nullptr, 0, 0, nullptr, &key,
                    nullptr);
    SetString(key, u"Dll", u"NoSuchDriver.dll");
    SetString(key, u"Prefix", u"NSD");
    RegCloseKey(key);
    EXPECT_EQ(ActivateDeviceEx(u"Drivers\\Builtin\\Missing", nullptr, 0, &m_parameter), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    EXPECT_FALSE(DeactivateDevice(nullptr));
    EXPECT_FALSE(DeactivateDevice(reinterpret_cast<HANDLE>(0x4242)));
}

} // namespace
