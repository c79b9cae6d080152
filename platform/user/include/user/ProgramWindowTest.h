#pragma once
// A WindowTest that installs a device manifest and starts programs of the device (one of them by default)
// in real processes of their own; every process it started is ended (when still running) and closed at the
// end.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "kernel/Install.h"
#include "kernel/Processes.h"
#include "kernel/Sync.h"
#include "user/WindowTest.h"

namespace user::test {

class ProgramWindowTest : public WindowTest {
protected:
    ProgramWindowTest(std::filesystem::path manifest, std::u16string program)
        : m_manifest(std::move(manifest)), m_program(std::move(program)) {}

    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_EQ(kernel::InstallDeviceManifest(m_manifest), 0u);
    }
    void TearDown() override {
        for (PROCESS_INFORMATION& info : m_started) {
            if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 10000);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
        WindowTest::TearDown();
    }
    PROCESS_INFORMATION Start(std::u16string commandLine) {
        return Start(m_program.c_str(), std::move(commandLine));
    }
    // Another program of the device.
    PROCESS_INFORMATION Start(const char16_t* program, std::u16string commandLine) {
        PROCESS_INFORMATION info{};
        EXPECT_TRUE(CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   nullptr, &info))
            << GetLastError();
        m_started.push_back(info);
        return info;
    }
    static bool Ended(const PROCESS_INFORMATION& info) {
        return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0;
    }
    static DWORD ExitCode(const PROCESS_INFORMATION& info) {
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }

private:
    std::filesystem::path m_manifest;
    std::u16string m_program;
    std::vector<PROCESS_INFORMATION> m_started;
};

} // namespace user::test
