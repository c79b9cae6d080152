#pragma once
// A host process that holds something in a folder (an open file, its current folder) until it is let go:
// what keeps the storage manager from letting go of a shared mounted folder.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

extern char** environ;

namespace testing_support {

class HostHolder {
public:
    // hold is a shell command on "$1", the argument.
    HostHolder(const std::string& hold, const std::filesystem::path& argument) {
        int input[2];
        int output[2];
        if (::pipe2(input, O_CLOEXEC) != 0)
            return;
        if (::pipe2(output, O_CLOEXEC) != 0) {
            ::close(input[0]);
            ::close(input[1]);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        std::string script = hold + " && echo held && read line";
        std::string shell = "/bin/sh";
        std::string dashC = "-c";
        std::string name = "holder";
        std::string path = argument.string();
        char* argv[] = {shell.data(), dashC.data(), script.data(), name.data(), path.data(), nullptr};
        const bool spawned = posix_spawn(&m_pid, "/bin/sh", &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        m_input = input[1];
        if (!spawned) {
            m_pid = -1;
            ::close(output[0]);
            return;
        }
        std::string said;
        pollfd ready{output[0], POLLIN, 0};
        char buffer[64];
        while (said.find("held\n") == std::string::npos && ::poll(&ready, 1, 10000) > 0) {
            const ssize_t got = ::read(output[0], buffer, sizeof buffer);
            if (got <= 0)
                break;
            said.append(buffer, static_cast<size_t>(got));
        }
        ::close(output[0]);
        m_holding = said.find("held\n") != std::string::npos;
    }
    ~HostHolder() { LetGo(); }
    HostHolder(const HostHolder&) = delete;
    HostHolder& operator=(const HostHolder&) = delete;

    bool Holding() const { return m_holding; }
    void LetGo() {
        if (m_input >= 0)
            ::close(m_input);
        m_input = -1;
        if (m_pid > 0)
            ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    bool m_holding = false;
};

} // namespace testing_support
