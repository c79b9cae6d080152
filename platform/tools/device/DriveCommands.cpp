// Commands that drive the windows of running programs: wait, windows, items, tap, double-tap, drag, key,
// text, screenshot.

#include <poll.h>
#include <strings.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "Arguments.h"
#include "Commands.h"
#include "Text.h"
#include "kernel/Errors.h"
#include "kernel/Processes.h"
#include "user/RemoteControl.h"
#include "user/User.h"

namespace device_tool {

namespace {

using user::remote::InputEvent;

constexpr long long kDefaultTimeoutMs = 10000;

struct KeyName {
    const char* name;
    UINT virtualKey;
};

const KeyName kKeyNames[] = {
    {"RETURN", VK_RETURN}, {"ENTER", VK_RETURN},  {"BACK", VK_BACK},   {"BACKSPACE", VK_BACK},
    {"TAB", VK_TAB},       {"ESCAPE", VK_ESCAPE}, {"ESC", VK_ESCAPE},  {"SPACE", VK_SPACE},
    {"DELETE", VK_DELETE}, {"LEFT", VK_LEFT},     {"RIGHT", VK_RIGHT}, {"UP", VK_UP},
    {"DOWN", VK_DOWN},     {"HOME", VK_HOME},     {"END", VK_END},     {"PRIOR", VK_PRIOR},
    {"NEXT", VK_NEXT},
};

std::string HandleText(HWND hwnd) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

std::chrono::milliseconds Timeout(const Arguments& args, bool& ok) {
    ok = true;
    if (auto text = args.Value("timeout")) {
        auto value = Number(*text);
        if (!value || *value < 0) {
            ok = false;
            return {};
        }
        return std::chrono::milliseconds(*value);
    }
    return std::chrono::milliseconds(kDefaultTimeoutMs);
}

// The processes that answer with their windows.
std::vector<user::remote::ProcessWindows> AllWindows() {
    std::vector<user::remote::ProcessWindows> all;
    for (DWORD process : user::remote::Processes())
        if (auto windows = user::remote::Windows(process))
            all.push_back(std::move(*windows));
    return all;
}

// The process that --pid or --title names, or the only one with windows. 0 when there is none; the
// reason is in error.
DWORD TargetProcess(const Arguments& args, std::string& error) {
    if (auto pid = args.Value("pid")) {
        auto value = Number(*pid);
        if (!value || *value <= 0 || *value > 0x7FFFFFFF) {
            error = "--pid needs a process id";
            return 0;
        }
        return static_cast<DWORD>(*value);
    }
    if (auto title = args.Value("title")) {
        HWND window = FindWindowW(nullptr, Wide(*title).c_str());
        DWORD process = 0;
        if (!window || !GetWindowThreadProcessId(window, &process))
            error = "no window is titled \"" + *title + "\"";
        return process;
    }
    std::vector<user::remote::ProcessWindows> all = AllWindows();
    if (all.size() == 1)
        return all.front().process;
    error = all.empty() ? "no program with windows is running"
                        : "several programs have windows: name one with --pid or --title";
    return 0;
}

// A process the tool drives, watched through a descriptor of its own so that its end is told apart from
// a failure (and a process id taken over by another process is never mistaken for it).
class WatchedProcess {
public:
    explicit WatchedProcess(DWORD process)
        : m_fd(static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(process), 0))) {}
    ~WatchedProcess() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    WatchedProcess(const WatchedProcess&) = delete;
    WatchedProcess& operator=(const WatchedProcess&) = delete;

    // Whether the process ends within the time given (it may be on its way out when its requests fail).
    bool EndsWithin(std::chrono::milliseconds time) const {
        if (m_fd < 0)
            return false;
        pollfd wait{m_fd, POLLIN, 0};
        return ::poll(&wait, 1, static_cast<int>(std::max<long long>(time.count(), 0))) > 0;
    }

private:
    int m_fd;
};

// The process a command drives (see TargetProcess) and the moment its waits end (--timeout).
struct Target {
    DWORD process = 0;
    std::chrono::steady_clock::time_point deadline;
    std::unique_ptr<WatchedProcess> watch;

    std::chrono::milliseconds Left() const {
        return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now()),
                        std::chrono::milliseconds(0));
    }
};

// The target of the command, waited for until the timeout (a program that is starting, or whose splash
// screen holds it, has no such window yet); nothing after reporting why not, with the exit code in failure.
std::optional<Target> TargetOf(const Arguments& args, int& failure) {
    bool ok = false;
    std::chrono::milliseconds timeout = Timeout(args, ok);
    if (!ok) {
        failure = Usage("--timeout needs milliseconds");
        return std::nullopt;
    }
    Target target;
    target.deadline = std::chrono::steady_clock::now() + timeout;
    std::string error;
    auto found = [&] {
        target.process = TargetProcess(args, error);
        if (!target.process || !args.Value("pid"))
            return target.process != 0;
        std::vector<DWORD> answering = user::remote::Processes();
        error = "the program " + std::to_string(target.process) + " has no windows";
        return std::find(answering.begin(), answering.end(), target.process) != answering.end();
    };
    while (!found()) {
        if (std::chrono::steady_clock::now() >= target.deadline) {
            failure = Fail(error, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    target.watch = std::make_unique<WatchedProcess>(target.process);
    return target;
}

enum class Settled { Idle, Ended, Failed };

// Waits until the target is idle unless told not to; a program that ended meanwhile (its Exit was
// tapped) is told apart from a failure, which is reported.
Settled Settle(const Arguments& args, const Target& target) {
    if (args.Has("no-wait") || user::remote::WaitUntilIdle(target.process, target.Left()))
        return Settled::Idle;
    DWORD error = GetLastError();
    if (target.watch->EndsWithin(target.Left()))
        return Settled::Ended;
    Fail("the program " + std::to_string(target.process) + " did not become idle", error);
    return Settled::Failed;
}

// Sends the events, then waits until the program is idle unless told not to; an input after which the
// program ended is done, and says so.
int SendTo(const Arguments& args, const Target& target, const std::vector<InputEvent>& events) {
    if (!user::remote::SendInput(target.process, events))
        return Fail("the program " + std::to_string(target.process) + " took no input", GetLastError());
    switch (Settle(args, target)) {
    case Settled::Idle:
        return 0;
    case Settled::Ended:
        std::printf("the program %u has ended\n", static_cast<unsigned>(target.process));
        return 0;
    case Settled::Failed:
        break;
    }
    return 1;
}

int SendAndSettle(const Arguments& args, const std::vector<InputEvent>& events) {
    int failure = 0;
    auto target = TargetOf(args, failure);
    if (!target)
        return failure;
    return SendTo(args, *target, events);
}

std::optional<POINT> PointOf(const std::string& x, const std::string& y) {
    auto px = Number(x);
    auto py = Number(y);
    if (!px || !py || *px < -32768 || *px > 32767 || *py < -32768 || *py > 32767)
        return std::nullopt;
    return POINT{static_cast<LONG>(*px), static_cast<LONG>(*py)};
}

} // namespace

int Wait(const Words& words) {
    Arguments args(words, {"title", "class", "timeout"});
    if (!args.Ok() || !args.Words().empty())
        return Usage(args.Ok() ? "wait takes no words but its options" : args.Error());
    bool ok = false;
    std::chrono::milliseconds timeout = Timeout(args, ok);
    if (!ok)
        return Usage("--timeout needs milliseconds");
    std::u16string title = Wide(args.Value("title").value_or(""));
    std::u16string className = Wide(args.Value("class").value_or(""));
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        HWND window = FindWindowW(className.empty() ? nullptr : className.c_str(),
                                  args.Value("title") ? title.c_str() : nullptr);
        DWORD process = 0;
        if (window && GetWindowThreadProcessId(window, &process) && process != GetCurrentProcessId()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (!user::remote::WaitUntilIdle(process, std::max(left, std::chrono::milliseconds(0))))
                return Fail("the program " + std::to_string(process) + " did not become idle",
                            GetLastError());
            std::printf("%u\n", static_cast<unsigned>(process));
            return 0;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return Fail("no such window appeared", ERROR_TIMEOUT);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

int ListWindows(const Words& words) {
    Arguments args(words, {"pid"});
    if (!args.Ok() || !args.Words().empty())
        return Usage(args.Ok() ? "windows takes no words but its options" : args.Error());
    std::vector<user::remote::ProcessWindows> all;
    if (args.Value("pid")) {
        std::string error;
        DWORD process = TargetProcess(args, error);
        if (!process)
            return Usage(error);
        auto windows = user::remote::Windows(process);
        if (!windows)
            return Fail("the program " + std::to_string(process) + " does not answer", GetLastError());
        all.push_back(std::move(*windows));
    } else {
        all = AllWindows();
    }
    for (const user::remote::ProcessWindows& process : all) {
        std::printf("process %u %s screen %dx%d active %s focus %s\n", static_cast<unsigned>(process.process),
                    Narrow(process.program).c_str(), static_cast<int>(process.screen.cx),
                    static_cast<int>(process.screen.cy), HandleText(process.active).c_str(),
                    HandleText(process.focus).c_str());
        for (const user::remote::WindowInfo& w : process.windows) {
            std::printf("%*s%s %s %s (%d,%d)-(%d,%d) id=%d style=0x%08x%s\n", 2 + 2 * w.depth, "",
                        HandleText(w.handle).c_str(), Narrow(w.className).c_str(), Quoted(w.text).c_str(),
                        static_cast<int>(w.rect.left), static_cast<int>(w.rect.top),
                        static_cast<int>(w.rect.right), static_cast<int>(w.rect.bottom), w.id,
                        static_cast<unsigned>(w.style), w.visible ? " visible" : "");
        }
    }
    return 0;
}

int Items(const Words& words) {
    Arguments args(words, {});
    if (!args.Ok() || args.Words().size() != 1)
        return Usage(args.Ok() ? "items takes one window" : args.Error());
    auto handle = Number(args.Words()[0]);
    if (!handle || *handle <= 0)
        return Usage("items needs a window handle such as 0x4d200000002");
    auto items = user::remote::ListBoxItems(reinterpret_cast<HWND>(static_cast<UINT_PTR>(*handle)));
    if (!items)
        return Fail("the window does not answer", GetLastError());
    for (size_t i = 0; i < items->items.size(); ++i)
        std::printf("%s%s\n", static_cast<int>(i) == items->selected ? "* " : "  ",
                    Narrow(items->items[i]).c_str());
    return 0;
}

int Tap(const Words& words) {
    Arguments args(words, {"pid", "title", "timeout", "id", "window"}, {"no-wait"});
    if (!args.Ok())
        return Usage(args.Error());
    if (args.Value("id") || args.Value("window")) {
        if (!args.Words().empty())
            return Usage("tap takes a point or --id or --window");
        auto id = args.Value("id") ? Number(*args.Value("id")) : std::nullopt;
        auto handle = args.Value("window") ? Number(*args.Value("window")) : std::nullopt;
        if (!id && !handle)
            return Usage("--id and --window need a number");
        int failure = 0;
        auto target = TargetOf(args, failure);
        if (!target)
            return failure;
        // The window may not be there yet: the program may still be starting.
        for (;;) {
            auto tree = user::remote::Windows(target->process);
            if (!tree)
                return Fail("the program " + std::to_string(target->process) + " does not answer",
                            GetLastError());
            for (const user::remote::WindowInfo& w : tree->windows) {
                bool match = id ? (w.depth > 0 && w.id == *id)
                                : reinterpret_cast<UINT_PTR>(w.handle) == static_cast<UINT_PTR>(*handle);
                if (!match || !w.visible)
                    continue;
                POINT centre{(w.rect.left + w.rect.right) / 2, (w.rect.top + w.rect.bottom) / 2};
                return SendTo(args, *target, user::remote::TapEvents(centre));
            }
            if (target->Left().count() == 0)
                return Fail("no such visible window", 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (args.Words().size() != 2)
        return Usage("tap needs X and Y");
    auto point = PointOf(args.Words()[0], args.Words()[1]);
    if (!point)
        return Usage("tap needs X and Y in pixels");
    return SendAndSettle(args, user::remote::TapEvents(*point));
}

int DoubleTap(const Words& words) {
    Arguments args(words, {"pid", "title", "timeout"}, {"no-wait"});
    if (!args.Ok() || args.Words().size() != 2)
        return Usage(args.Ok() ? "double-tap needs X and Y" : args.Error());
    auto point = PointOf(args.Words()[0], args.Words()[1]);
    if (!point)
        return Usage("double-tap needs X and Y in pixels");
    std::vector<InputEvent> events = user::remote::TapEvents(*point);
    std::vector<InputEvent> second = user::remote::TapEvents(*point);
    events.insert(events.end(), second.begin(), second.end());
    return SendAndSettle(args, events);
}

int Drag(const Words& words) {
    Arguments args(words, {"pid", "title", "timeout", "steps"}, {"no-wait"});
    if (!args.Ok() || args.Words().size() != 4)
        return Usage(args.Ok() ? "drag needs X1 Y1 X2 Y2" : args.Error());
    auto from = PointOf(args.Words()[0], args.Words()[1]);
    auto to = PointOf(args.Words()[2], args.Words()[3]);
    auto steps = Number(args.Value("steps").value_or("4"));
    if (!from || !to || !steps || *steps < 1 || *steps > 1000)
        return Usage("drag needs X1 Y1 X2 Y2 in pixels and 1 to 1000 steps");
    return SendAndSettle(args, user::remote::DragEvents(*from, *to, static_cast<int>(*steps)));
}

int Key(const Words& words) {
    Arguments args(words, {"pid", "title", "timeout"}, {"no-wait"});
    if (!args.Ok() || args.Words().empty())
        return Usage(args.Ok() ? "key needs a key" : args.Error());
    std::vector<InputEvent> events;
    for (const std::string& name : args.Words()) {
        UINT vk = 0;
        WCHAR character = 0;
        if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
            character = static_cast<WCHAR>(name[0]);
            vk = user::remote::VirtualKeyOf(character);
        } else if (auto code = Number(name); code && name.rfind("0x", 0) == 0 && *code > 0 && *code < 0xFF) {
            vk = static_cast<UINT>(*code);
        } else {
            for (const KeyName& known : kKeyNames)
                if (strcasecmp(known.name, name.c_str()) == 0)
                    vk = known.virtualKey;
        }
        if (vk == 0)
            return Usage("unknown key " + name);
        auto press = user::remote::KeyPressEvents(vk, character);
        events.insert(events.end(), press.begin(), press.end());
    }
    return SendAndSettle(args, events);
}

int Text(const Words& words) {
    Arguments args(words, {"pid", "title", "timeout"}, {"no-wait"});
    if (!args.Ok() || args.Words().size() != 1)
        return Usage(args.Ok() ? "text takes one text (quote it)" : args.Error());
    return SendAndSettle(args, user::remote::TextEvents(Wide(args.Words()[0])));
}

int Screenshot(const Words& words) {
    Arguments args(words, {"pid", "title", "timeout"}, {"no-wait"});
    if (!args.Ok() || args.Words().size() != 1)
        return Usage(args.Ok() ? "screenshot takes one file" : args.Error());
    int failure = 0;
    auto target = TargetOf(args, failure);
    if (!target)
        return failure;
    switch (Settle(args, *target)) {
    case Settled::Idle:
        break;
    case Settled::Ended:
        return Fail("the program " + std::to_string(target->process) + " has ended", 0);
    case Settled::Failed:
        return 1;
    }
    auto png = user::remote::ScreenPng(target->process);
    if (!png)
        return Fail("the program " + std::to_string(target->process) + " gave no screen", GetLastError());
    std::ofstream out(args.Words()[0], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
    out.close();
    if (!out)
        return Fail("cannot write " + args.Words()[0], 0);
    return 0;
}

} // namespace device_tool
