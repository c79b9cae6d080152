#pragma once
// A fresh device root for each test: made under the temporary folder, made the process's root, and
// removed at the end; the fixture also checks that the test left no kernel handle open and no view
// mapped.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Handles.h"
#include "kernel/Install.h"
#include "kernel/Mapping.h"
#include "kernel/Registry.h"

namespace testing_support {

// Ends every process that still runs on the device root at root, but this one and those in spared: each
// is found by the DEVICE_ROOT its environment was started with, killed through a process descriptor (its
// id may go to another process meanwhile) and waited for, so nothing writes into the root once this
// returns.
inline void EndDeviceProcesses(const std::filesystem::path& root, const std::vector<pid_t>& spared = {}) {
    if (root.empty())
        return;
    const std::string wanted = "DEVICE_ROOT=" + root.string();
    std::vector<int> ended;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit))
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        if (pid == ::getpid() || std::find(spared.begin(), spared.end(), pid) != spared.end())
            continue;
        const int process = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        if (process < 0)
            continue;
        // Read after the descriptor is taken, so the environment is that of the process it names.
        std::ifstream in(entry.path() / "environ", std::ios::binary);
        const std::string environment((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (environment.find(std::string(1, '\0') + wanted + '\0') == std::string::npos &&
            environment.rfind(wanted + '\0', 0) != 0) {
            ::close(process);
            continue;
        }
        ::syscall(SYS_pidfd_send_signal, process, SIGKILL, nullptr, 0);
        ended.push_back(process);
    }
    for (int process : ended) {
        pollfd gone{process, POLLIN, 0};
        ::poll(&gone, 1, 10000);
        ::close(process);
    }
}

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
        EndDeviceProcesses(m_path);
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path Store() const { return kernel::ObjectStoreFolder(); }
    // Whether a host path lies below this root: tests that run host commands on a folder check it first,
    // so that an empty or stray path never turns a command on the test's folder into one on "/".
    bool Holds(const std::filesystem::path& path) const {
        if (m_path.empty() || path.empty() || !path.is_absolute())
            return false;
        const std::filesystem::path inside = path.lexically_normal().lexically_relative(m_path);
        return !inside.empty() && *inside.begin() != "..";
    }

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
