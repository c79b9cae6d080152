#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "TemporaryDeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Handles.h"
#include "kernel/Processes.h"
#include "kernel/Registry.h"
#include "kernel/Sync.h"
#include "kernel/Time.h"

namespace {

constexpr DWORD kPatience = 20000; // ms a test program may take before the test gives up on it

std::u16string ReadString(HKEY root, const char16_t* path, const char16_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return u"<no key>";
    WCHAR text[512] = {};
    DWORD size = sizeof text - sizeof(WCHAR);
    LONG result = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::u16string(text) : u"<no value>";
}

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override { TemporaryDeviceRoot::InstallTestFiles(); }

    // Starts a test program; when the test ends, however it ends, the program is ended if it still runs
    // and waited for, and its handles go.
    PROCESS_INFORMATION Start(const char16_t* program, std::u16string commandLine) {
        PROCESS_INFORMATION info{};
        EXPECT_TRUE(CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                                   nullptr, nullptr, nullptr, &info))
            << GetLastError();
        if (info.hProcess != nullptr)
            m_started.push_back(info);
        return info;
    }

    // Runs TestProgram.exe to its end and returns its exit code.
    DWORD Run(std::u16string commandLine) {
        PROCESS_INFORMATION info = Start(u"TestProgram.exe", std::move(commandLine));
        EXPECT_EQ(WaitForSingleObject(info.hProcess, kPatience), static_cast<DWORD>(WAIT_OBJECT_0));
        DWORD code = 0xDEAD;
        EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
        return code;
    }

    void TearDown() override {
        for (const PROCESS_INFORMATION& info : m_started) {
            if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, kPatience);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }

    TemporaryDeviceRoot m_root;
    std::vector<PROCESS_INFORMATION> m_started;
};

TEST_F(ProcessTest, AProgramGetsItsCommandLineUnchangedTheDeviceRootAndItsDevicePath) {
    std::u16string commandLine = u"report  \"two words\"\t\\\"odd\\\\\" K\u00e4se \U0001D11E trailing ";
    ASSERT_EQ(Run(commandLine), 0u);
    // Written by the child into the registry of the same device root.
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, u"Software\\KernelTests", u"CommandLine"), commandLine);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, u"Software\\KernelTests", u"ModulePath"),
              u"\\windows\\TestProgram.exe");
    std::string root = m_root.Path().string();
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, u"Software\\KernelTests", u"DeviceRoot"),
              std::u16string(root.begin(), root.end()));
}

TEST_F(ProcessTest, ProgramNamesResolveAsOnTheHandheld) {
    struct Case {
        const char16_t* name;
        DWORD error; // ERROR_SUCCESS: found as \windows\TestProgram.exe
    } cases[] = {
        {u"TestProgram.exe", ERROR_SUCCESS},
        {u"TestProgram", ERROR_SUCCESS},
        {u"testprogram.EXE", ERROR_SUCCESS},
        {u"\\windows\\TestProgram.exe", ERROR_SUCCESS},
        {u"\\Windows\\TESTPROGRAM", ERROR_SUCCESS},
        {u"Missing.exe", ERROR_FILE_NOT_FOUND},
        {u"\\program files\\TestProgram.exe", ERROR_FILE_NOT_FOUND},
        {u"\\nowhere\\TestProgram.exe", ERROR_FILE_NOT_FOUND},
        {u"\\windows", ERROR_FILE_NOT_FOUND},
        {u"", ERROR_FILE_NOT_FOUND},
        {u"bad|name.exe", ERROR_INVALID_NAME},
        {nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const auto& test : cases) {
        DWORD error = 0xFFFF;
        auto program = kernel::ResolveDeviceProgram(test.name, &error);
        EXPECT_EQ(error, test.error);
        if (test.error == ERROR_SUCCESS) {
            ASSERT_TRUE(program.has_value());
            EXPECT_EQ(program->devicePath, u"\\windows\\TestProgram.exe");
            EXPECT_EQ(program->hostPath.filename(), "TestProgram.exe");
            continue;
        }
        EXPECT_FALSE(program.has_value());
        PROCESS_INFORMATION info{};
        SetLastError(0);
        EXPECT_FALSE(
            CreateProcessW(test.name, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        EXPECT_EQ(GetLastError(), test.error);
    }
}

TEST_F(ProcessTest, NotAProgramIsRefused) {
    PROCESS_INFORMATION info{};
    EXPECT_FALSE(CreateProcessW(u"\\windows\\NotALibrary.dll", nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, nullptr, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
}

TEST_F(ProcessTest, WmainGetsTheRunTimeSplitOfTheCommandLine) {
    PROCESS_INFORMATION info =
        Start(u"ArgumentEcho.exe", u"  a \"b c\" d\\\"e \"f\\\\\" g\\\\h \"\" x\"y z\"w");
    ASSERT_EQ(WaitForSingleObject(info.hProcess, kPatience), static_cast<DWORD>(WAIT_OBJECT_0));
    const std::vector<std::u16string> expected = {
        u"\\windows\\ArgumentEcho.exe", u"a", u"b c", u"d\"e", u"f\\", u"g\\\\h", u"", u"xy zw"};
    std::vector<std::u16string> arguments;
    for (size_t i = 0; i < expected.size() + 1; ++i) {
        std::u16string name(1, static_cast<char16_t>(u'0' + i));
        arguments.push_back(ReadString(HKEY_CURRENT_USER, u"Software\\KernelTests\\Arguments", name.c_str()));
    }
    EXPECT_EQ(arguments.back(), u"<no value>");
    arguments.pop_back();
    EXPECT_EQ(arguments, expected);
}

TEST_F(ProcessTest, WaitingExitCodesAndTermination) {
    EXPECT_EQ(Run(u"exit 42"), 42u);

    PROCESS_INFORMATION info = Start(u"TestProgram.exe", u"block");
    EXPECT_NE(info.dwProcessId, GetCurrentProcessId());
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(info.hThread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

    EXPECT_TRUE(TerminateProcess(info.hProcess, 77));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, kPatience), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(info.hThread, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 77u);
    EXPECT_FALSE(TerminateProcess(info.hProcess, 78));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(ProcessTest, BadArgumentsGiveErrorCodes) {
    size_t handlesBefore = kernel::OpenHandleCount();
    PROCESS_INFORMATION info = Start(u"TestProgram.exe", u"exit 0");
    ASSERT_EQ(WaitForSingleObject(info.hProcess, kPatience), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeProcess(info.hProcess, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(GetExitCodeProcess(info.hThread, &code)); // a thread is no process
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
    m_started.clear();
    EXPECT_EQ(kernel::OpenHandleCount(), handlesBefore);

    EXPECT_FALSE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(TerminateProcess(info.hProcess, 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // Without a PROCESS_INFORMATION no handles are made.
    std::u16string line = u"exit 0";
    EXPECT_TRUE(CreateProcessW(u"TestProgram.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               nullptr, nullptr));
    EXPECT_EQ(kernel::OpenHandleCount(), handlesBefore);
}

TEST_F(ProcessTest, ChildrenGetTheVirtualClockOnlyWhenAsked) {
    ::setenv(kernel::kVirtualClockVariable, "1", 1); // this process's own setting is not passed on
    EXPECT_EQ(Run(u"clock"), 0u);
    kernel::UseVirtualClock();
    EXPECT_EQ(Run(u"clock"), 0u);
    kernel::UseVirtualClock(kernel::ChildClock::Virtual);
    EXPECT_EQ(Run(u"clock"), 1u);
    kernel::UseRealClock();
    EXPECT_EQ(Run(u"clock"), 0u);
    ::unsetenv(kernel::kVirtualClockVariable);
}

TEST_F(ProcessTest, ANamedMutexIsSeenAcrossProcesses) {
    const char16_t* name = u"/program files/test/App.exe";
    std::u16string quoted = u"\"" + std::u16string(name) + u"\"";
    EXPECT_EQ(Run(u"mutex " + quoted), 0u); // nobody holds it

    HANDLE held = CreateMutexW(nullptr, TRUE, name);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(Run(u"mutex " + quoted), 1u);
    EXPECT_EQ(Run(u"own " + quoted), 1u); // owned here
    EXPECT_TRUE(ReleaseMutex(held));
    EXPECT_EQ(Run(u"own " + quoted), 0u);
    // A process started meanwhile inherits no hold on it: the mutex goes with this process's last handle.
    PROCESS_INFORMATION bystander = Start(u"TestProgram.exe", u"block");
    EXPECT_TRUE(CloseHandle(held));
    EXPECT_EQ(Run(u"mutex " + quoted), 0u);
    EXPECT_TRUE(TerminateProcess(bystander.hProcess, 0));
    EXPECT_EQ(WaitForSingleObject(bystander.hProcess, kPatience), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(ProcessTest, ProcessesWritingTheRegistryAtOnceLoseNothing) {
    constexpr int kWriters = 4;
    constexpr int kValues = 50;
    std::vector<HANDLE> processes;
    for (int i = 0; i < kWriters; ++i) {
        std::u16string prefix(1, static_cast<char16_t>(u'A' + i));
        processes.push_back(Start(u"TestProgram.exe", u"write " + prefix + u" " + u"50").hProcess);
    }
    for (HANDLE process : processes)
        ASSERT_EQ(WaitForSingleObject(process, kPatience), static_cast<DWORD>(WAIT_OBJECT_0));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\KernelTests\\Shared", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD count = 0;
    WCHAR valueName[16];
    for (DWORD length = 16;
         RegEnumValueW(key, count, valueName, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         length = 16)
        ++count;
    EXPECT_EQ(count, static_cast<DWORD>(kWriters * kValues));
    RegCloseKey(key);
}

// The counter's latest value, or 0 while there is none.
DWORD LatestCount() {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\KernelTests\\Counter", 0, KEY_READ, &key);
    EXPECT_TRUE(result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) << result;
    if (result != ERROR_SUCCESS)
        return 0;
    DWORD latest = 0;
    DWORD size = sizeof latest;
    result = RegQueryValueExW(key, u"Latest", nullptr, nullptr, reinterpret_cast<BYTE*>(&latest), &size);
    EXPECT_TRUE(result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) << result;
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? latest : 0;
}

TEST_F(ProcessTest, AWriterKilledAtAnyMomentLeavesAReadableRegistry) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> writes(1, 40);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\KernelTests\\Counter");
        ASSERT_EQ(LatestCount(), 0u) << "the last round's counter is still there";
        PROCESS_INFORMATION info = Start(u"TestProgram.exe", u"count");
        // The kill falls once the child has written a chosen number of times, whatever the machine's
        // speed; it goes on writing meanwhile, so the kill lands in the middle of some write.
        const DWORD target = static_cast<DWORD>(writes(random));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatience);
        DWORD latest = 0;
        while ((latest = LatestCount()) < target && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        ASSERT_TRUE(TerminateProcess(info.hProcess, 9));
        ASSERT_EQ(WaitForSingleObject(info.hProcess, kPatience), static_cast<DWORD>(WAIT_OBJECT_0));
        ASSERT_GE(latest, target) << "the child never wrote";
        // Whatever the moment, the registry reads back, holding the last write or the one before.
        EXPECT_GE(LatestCount(), latest);
    }
}

} // namespace
