#include "kernel/Processes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ProgramSupport.h"
#include "crt/Utf8.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Handles.h"
#include "kernel/Program.h"
#include "kernel/Sync.h"
#include "kernel/Time.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollPause = std::chrono::milliseconds(5);

// Children whose handles were all closed before they ended; reaped later so that they leave no zombies.
struct Orphans {
    std::mutex lock;
    std::vector<pid_t> pids;
};

Orphans& TheOrphans() {
    static Orphans* orphans = new Orphans;
    return *orphans;
}

void ReapOrphans() {
    Orphans& orphans = TheOrphans();
    std::lock_guard guard(orphans.lock);
    std::erase_if(orphans.pids, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

// One started process, shared by its process and thread handles.
class ProcessRecord {
public:
    ProcessRecord(pid_t pid, int pidfd) : m_pid(pid), m_pidfd(pidfd) {}
    ProcessRecord(const ProcessRecord&) = delete;
    ProcessRecord& operator=(const ProcessRecord&) = delete;
    ~ProcessRecord() {
        std::lock_guard guard(m_lock);
        if (!Reap()) {
            Orphans& orphans = TheOrphans();
            std::lock_guard orphansGuard(orphans.lock);
            orphans.pids.push_back(m_pid);
        }
    }

    DWORD Wait(DWORD milliseconds) {
        auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            {
                std::lock_guard guard(m_lock);
                if (Reap())
                    return WAIT_OBJECT_0;
            }
            auto now = Clock::now();
            if (milliseconds != INFINITE && now >= deadline)
                return WAIT_TIMEOUT;
            auto remaining = milliseconds == INFINITE
                                 ? std::chrono::milliseconds(INT_MAX)
                                 : std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
            if (m_pidfd.IsOpen()) {
                pollfd ready{m_pidfd.Get(), POLLIN, 0};
                ::poll(&ready, 1, static_cast<int>(std::min<long long>(remaining.count(), INT_MAX)));
            } else {
                std::this_thread::sleep_for(std::min<Clock::duration>(remaining, kPollPause));
            }
        }
    }

    std::optional<DWORD> ExitCode() {
        std::lock_guard guard(m_lock);
        if (!Reap())
            return std::nullopt;
        return m_exitCode;
    }

    bool Terminate(UINT exitCode) {
        std::lock_guard guard(m_lock);
        if (Reap())
            return false;
        // Not reaped yet, so the process id cannot have gone to another process.
        if (!m_terminated) {
            m_terminated = true;
            m_terminateCode = exitCode;
        }
        ::kill(m_pid, SIGKILL);
        return true;
    }

private:
    // True once the process has ended; collects its exit status the first time. Called with the lock.
    bool Reap() {
        if (m_ended)
            return true;
        int status = 0;
        pid_t result = ::waitpid(m_pid, &status, WNOHANG);
        if (result == 0 || (result < 0 && errno == EINTR))
            return false;
        m_ended = true;
        if (result < 0)
            m_exitCode = m_terminated ? m_terminateCode : 0; // reaped by someone else
        else if (WIFEXITED(status))
            m_exitCode = static_cast<DWORD>(WEXITSTATUS(status));
        else if (m_terminated && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            m_exitCode = m_terminateCode;
        else
            m_exitCode = WIFSIGNALED(status) ? 128 + static_cast<DWORD>(WTERMSIG(status)) : 0;
        m_pidfd.Close();
        return true;
    }

    std::mutex m_lock;
    pid_t m_pid;
    kernel::support::FileDescriptor m_pidfd;
    bool m_ended = false;
    DWORD m_exitCode = 0;
    bool m_terminated = false;
    DWORD m_terminateCode = 0;
};

class ProcessObject final : public kernel::Waitable {
public:
    explicit ProcessObject(std::shared_ptr<ProcessRecord> record) : m_record(std::move(record)) {}
    DWORD Wait(DWORD milliseconds) override { return m_record->Wait(milliseconds); }
    ProcessRecord& Record() { return *m_record; }

private:
    std::shared_ptr<ProcessRecord> m_record;
};

// The primary thread's handle: signalled when the process ends.
class ThreadObject final : public kernel::Waitable {
public:
    explicit ThreadObject(std::shared_ptr<ProcessRecord> record) : m_record(std::move(record)) {}
    DWORD Wait(DWORD milliseconds) override { return m_record->Wait(milliseconds); }

private:
    std::shared_ptr<ProcessRecord> m_record;
};

bool HasExtension(std::u16string_view path) {
    size_t slash = path.rfind(u'\\');
    std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    return name.find(u'.') != std::u16string_view::npos;
}

bool StartsWith(const char* entry, std::string_view name) {
    return std::strncmp(entry, name.data(), name.size()) == 0 && entry[name.size()] == '=';
}

// The parent's environment with the device root, the command line and the clock set for the child.
std::vector<std::string> ChildEnvironment(std::u16string_view commandLine) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (StartsWith(*entry, "DEVICE_ROOT") || StartsWith(*entry, kernel::kCommandLineVariable) ||
            StartsWith(*entry, kernel::kVirtualClockVariable))
            continue;
        entries.emplace_back(*entry);
    }
    entries.push_back("DEVICE_ROOT=" + kernel::DeviceRoot().string());
    entries.push_back(std::string(kernel::kCommandLineVariable) + "=" + crt::ToWtf8(commandLine));
    if (kernel::ChildrenUseVirtualClock())
        entries.push_back(std::string(kernel::kVirtualClockVariable) + "=inherit");
    return entries;
}

DWORD ErrorOfSpawn(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD:
        return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// Spawn attributes that give the child the default signal handling and an empty signal mask.
class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&m_attributes);
        sigset_t signals;
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&m_attributes, &signals);
        sigfillset(&signals);
        posix_spawnattr_setsigdefault(&m_attributes, &signals);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attributes); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* Get() const { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};

} // namespace

namespace kernel {

std::optional<DeviceProgram> ResolveDeviceProgram(LPCWSTR name, DWORD* error) {
    auto fail = [error](DWORD code) -> std::optional<DeviceProgram> {
        if (error)
            *error = code;
        return std::nullopt;
    };
    if (!name)
        return fail(ERROR_INVALID_PARAMETER);
    std::u16string given(name);
    if (given.empty())
        return fail(ERROR_FILE_NOT_FOUND);
    std::u16string path = given.find(u'\\') != std::u16string::npos ? given : u"\\windows\\" + given;
    std::vector<std::u16string> candidates{path};
    if (!HasExtension(path))
        candidates.push_back(path + u".exe");
    for (const auto& candidate : candidates) {
        DWORD pathError = ERROR_SUCCESS;
        auto host = DeviceToHostPath(candidate.c_str(), &pathError);
        if (!host) {
            if (pathError != ERROR_FILE_NOT_FOUND && pathError != ERROR_PATH_NOT_FOUND)
                return fail(pathError);
            continue;
        }
        std::error_code failure;
        if (!std::filesystem::is_regular_file(*host, failure))
            continue;
        auto devicePath = HostToDevicePath(*host);
        if (error)
            *error = ERROR_SUCCESS;
        return DeviceProgram{devicePath ? *devicePath : candidate, *host};
    }
    return fail(ERROR_FILE_NOT_FOUND);
}

} // namespace kernel

BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                    LPPROCESS_INFORMATION lpProcessInformation) {
    ReapOrphans();
    DWORD error = ERROR_SUCCESS;
    auto program = kernel::ResolveDeviceProgram(lpApplicationName, &error);
    if (!program)
        return kernel::Fail(error, FALSE);
    if (::access(program->hostPath.c_str(), R_OK) != 0)
        return kernel::Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!kernel::support::IsHostBinary(program->hostPath.c_str()))
        return kernel::Fail(ERROR_BAD_EXE_FORMAT, FALSE);

    std::vector<std::string> environment = ChildEnvironment(lpCommandLine ? lpCommandLine : u"");
    std::vector<char*> environmentPointers;
    for (auto& entry : environment)
        environmentPointers.push_back(entry.data());
    environmentPointers.push_back(nullptr);
    std::string hostPath = program->hostPath.string();
    char* arguments[] = {hostPath.data(), nullptr};

    SpawnAttributes attributes;
    pid_t pid = 0;
    int spawnError = ::posix_spawn(&pid, hostPath.c_str(), nullptr, attributes.Get(), arguments,
                                   environmentPointers.data());
    if (spawnError != 0)
        return kernel::Fail(ErrorOfSpawn(spawnError), FALSE);

    int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0)
        ::fcntl(pidfd, F_SETFD, FD_CLOEXEC);
    auto record = std::make_shared<ProcessRecord>(pid, pidfd);
    if (lpProcessInformation) {
        lpProcessInformation->hProcess = kernel::InsertHandle(std::make_shared<ProcessObject>(record));
        lpProcessInformation->hThread = kernel::InsertHandle(std::make_shared<ThreadObject>(record));
        lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
        lpProcessInformation->dwThreadId = static_cast<DWORD>(pid); // the primary thread's id is the pid
    }
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    auto process = kernel::FindHandleAs<ProcessObject>(hProcess);
    if (!process)
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!lpExitCode)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    *lpExitCode = process->Record().ExitCode().value_or(STILL_ACTIVE);
    return TRUE;
}

BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode) {
    auto process = kernel::FindHandleAs<ProcessObject>(hProcess);
    if (!process)
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!process->Record().Terminate(uExitCode))
        return kernel::Fail(ERROR_ACCESS_DENIED, FALSE);
    return TRUE;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(::getpid());
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(::gettid());
}
