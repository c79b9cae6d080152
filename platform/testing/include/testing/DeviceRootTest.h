#pragma once
// A fresh device root for each test: made under the temporary folder, made the process's root, and
// removed at the end; the fixture also checks that the test left no kernel handle open and no view
// mapped.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Handles.h"
#include "kernel/Install.h"
#include "kernel/Mapping.h"
#include "kernel/Registry.h"

namespace testing_support {

class TemporaryDeviceRoot {
public:
    TemporaryDeviceRoot() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ferrovane-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
        kernel::SetDeviceRoot(m_path);
    }
    TemporaryDeviceRoot(const TemporaryDeviceRoot&) = delete;
    TemporaryDeviceRoot& operator=(const TemporaryDeviceRoot&) = delete;
    ~TemporaryDeviceRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path Store() const { return kernel::ObjectStoreFolder(); }

private:
    std::filesystem::path m_path;
};

class DeviceRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_handlesAtStart = kernel::OpenHandleCount();
        m_viewsAtStart = kernel::OpenViewCount();
    }
    void TearDown() override {
        EXPECT_EQ(kernel::OpenHandleCount(), m_handlesAtStart) << "a handle was left open";
        EXPECT_EQ(kernel::OpenViewCount(), m_viewsAtStart) << "a view was left mapped";
    }
    // Installs a manifest of built files (cmake/Device.cmake) into the root.
    static void Install(const char* manifest) { ASSERT_EQ(kernel::InstallDeviceManifest(manifest), 0u); }

    TemporaryDeviceRoot m_root;
    size_t m_handlesAtStart = 0;
    size_t m_viewsAtStart = 0;
};

// The command line that the kernel's test program last stored (HKCU\Software\KernelTests, CommandLine)
// when it was started with "report"; empty when none was stored.
inline std::u16string ReportedCommandLine() {
    HKEY key = nullptr;
    WCHAR text[512] = {};
    DWORD size = sizeof text - 2;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\KernelTests", 0, 0, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, u"CommandLine", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
    }
    return text;
}

} // namespace testing_support
