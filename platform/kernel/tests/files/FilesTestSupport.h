#pragma once
// A fresh device root per test, and small helpers over the file calls.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Handles.h"
#include "kernel/Mapping.h"
#include "kernel/Scoped.h"
#include "testing/DeviceRootTest.h"

namespace filestest {

class DeviceRootTest : public testing_support::DeviceRootTest {
protected:
    std::filesystem::path Store() const { return kernel::ObjectStoreFolder(); }
    const std::filesystem::path& RootFolder() const { return m_root.Path(); }
};

inline HANDLE Open(const char16_t* path, DWORD access, DWORD share, DWORD disposition, DWORD attributes = 0) {
    return CreateFileW(path, access, share, nullptr, disposition, attributes, nullptr);
}

inline bool WriteWhole(const char16_t* path, const std::string& content) {
    kernel::ScopedHandle file(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
    if (!file.IsOpen())
        return false;
    DWORD written = 0;
    return WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
}

// The whole content, or "<error N>" when the file cannot be read.
inline std::string ReadWhole(const char16_t* path) {
    kernel::ScopedHandle file(Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
    if (!file.IsOpen())
        return "<error " + std::to_string(GetLastError()) + ">";
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        content.append(buffer, got);
    return content;
}

// Runs body in a child process and gives its exit status (the child never returns into the test).
inline int InChildProcess(const std::function<int()>& body) {
    ::fflush(nullptr);
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

} // namespace filestest
