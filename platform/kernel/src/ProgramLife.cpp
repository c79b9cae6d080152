// A device program's start and end: stop requests from the host's signals, and the actions left for the
// program's end.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

#include "kernel/Program.h"

namespace kernel {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

struct ProgramLife {
    std::mutex lock;
    bool isProgram = false;
    bool catching = false;
    int stopPipe[2] = {-1, -1};
    std::vector<std::function<void()>> endActions;
};

ProgramLife& Life() {
    static ProgramLife* life = new ProgramLife; // never destroyed: a signal may come during exit
    return *life;
}

std::atomic<int> g_stopWriteFd{-1};

// Only what is safe in a signal handler: one write to a non-blocking pipe.
void NoteStopSignal(int) {
    const int saved = errno;
    const int fd = g_stopWriteFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

// Catches the stop signals whose disposition is still the default.
void CatchStopSignals(ProgramLife& life) {
    if (::pipe2(life.stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        life.stopPipe[0] = life.stopPipe[1] = -1;
        return;
    }
    g_stopWriteFd.store(life.stopPipe[1]);
    for (int signal : kStopSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            continue;
        struct sigaction caught {};
        caught.sa_handler = NoteStopSignal;
        sigemptyset(&caught.sa_mask);
        caught.sa_flags = SA_RESETHAND | SA_RESTART;
        ::sigaction(signal, &caught, nullptr);
    }
}

} // namespace

void BeginProgram() {
    ProgramLife& life = Life();
    std::lock_guard guard(life.lock);
    life.isProgram = true;
}

void EndProgram() {
    ProgramLife& life = Life();
    for (;;) {
        std::function<void()> action;
        {
            std::lock_guard guard(life.lock);
            if (life.endActions.empty())
                return;
            action = std::move(life.endActions.back());
            life.endActions.pop_back();
        }
        action();
    }
}

void AtProgramEnd(std::function<void()> action) {
    ProgramLife& life = Life();
    std::lock_guard guard(life.lock);
    life.endActions.push_back(std::move(action));
}

int StopRequestFd() {
    ProgramLife& life = Life();
    std::lock_guard guard(life.lock);
    if (!life.isProgram)
        return -1;
    if (!life.catching) {
        life.catching = true;
        CatchStopSignals(life);
    }
    return life.stopPipe[0];
}

bool TakeStopRequest() {
    const int fd = StopRequestFd();
    if (fd < 0)
        return false;
    bool taken = false;
    char bytes[16];
    while (::read(fd, bytes, sizeof bytes) > 0)
        taken = true;
    return taken;
}

} // namespace kernel
