#pragma once
// An Xvfb server of the test's own, for tests that show the screen in an X11 window. It leaves Xlib out, so
// a test includes Xlib's headers itself, last (their macros collide with names in GoogleTest and ours).

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

extern char** environ;

// The server runs on a display number it picks itself, 640 x 800 at 24 bits unless the test names another
// screen ("800x600x24"), and does not reset when its last client leaves, so a test can connect again at
// once. Name() is empty when it did not start.
class Xvfb {
public:
    explicit Xvfb(const char* screen = "640x800x24") {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen",  "0",
                              screen, "-nolisten",  "tcp",      "-noreset", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        int spawned = ::posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            m_pid = 0;
            ::close(fds[0]);
            return;
        }
        // The server writes its display number once it accepts connections; on a busy machine its start
        // (the keyboard maps it compiles) can take many seconds.
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (std::chrono::steady_clock::now() < deadline && ::poll(&wait, 1, 200) >= 0) {
            if (!(wait.revents & (POLLIN | POLLHUP)))
                continue;
            char c = 0;
            if (::read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number.push_back(c);
        }
        ::close(fds[0]);
        if (!number.empty())
            m_name = ":" + number;
    }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    ~Xvfb() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& Name() const { return m_name; }

private:
    pid_t m_pid = 0;
    std::string m_name;
};
