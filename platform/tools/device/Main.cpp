// ferrovane-device: installs, starts and drives a simulated handheld from the host's command line.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Commands.h"
#include "kernel/DeviceRoot.h"

namespace {

const char kHelp[] = R"(Usage: ferrovane-device [--root DIR] COMMAND [ARGUMENTS]

Installs, starts and drives the simulated handheld in a device root: DIR, else $DEVICE_ROOT, else
)" FERROVANE_DEFAULT_DEVICE_ROOT R"(.
Device paths use '\' (quote them for the shell). Exit codes: 0 done, 1 failed, 2 used wrongly.

Programs and the shell:
  install [MANIFEST]          copy the built programs into the device root (default: the build's
                              device-files.txt)
  start PROGRAM [ARG...]      start a device program (a bare name is looked for in \windows) with the
                              arguments quoted as its run-time library splits them; --line TEXT passes
                              TEXT as the command line unchanged. Prints the process id; does not wait.
  boot                        start the shortcuts of the Startup folder (\Windows\StartUp), as at power-on
  open PATH                   open a document with its type's open command (HKCR\.ext)
  new-menu [ENTRY]            list the shell's New menu, or choose the entry with that text or class id
  registry [KEY]              dump the registry, or the key below HKLM, HKCU or HKCR (e.g. HKLM\Drivers)

Windows of running programs (the target is --pid ID or --title TITLE, the process of the top-level
window with that title; without either, the one process that has windows):
  wait [--title T] [--class C] [--timeout MS]
                              wait until a top-level window of that title and class exists and its
                              process is idle; prints the process id
  windows [--pid ID]          list the windows of every process: handle, class, text, screen rectangle,
                              id, style; children indented below their parents
  items WINDOW                the items of a list box (WINDOW: a handle as 'windows' prints it)
  tap X Y | tap --id ID | tap --window WINDOW
                              a stylus tap at screen pixels, or on the middle of a window
  double-tap X Y              two taps in quick succession
  drag X1 Y1 X2 Y2 [--steps N]
  key KEY...                  key presses: a letter or digit, RETURN, BACK, TAB, ESCAPE, SPACE, DELETE,
                              LEFT, RIGHT, UP, DOWN, HOME, END, PRIOR, NEXT, or a virtual-key code 0xNN
  text TEXT                   type the text
  screenshot FILE             the process's screen as a PNG file
  Input commands wait for their target to be there (a program that is starting, or whose splash screen
  holds it, has no windows to drive yet), then until the program is idle again (--no-wait: they do not);
  --timeout MS bounds every wait (default 10000). An input after which the program ends (its Exit) prints
  "the program ID has ended" and succeeds.

Encrypted containers (as the main program mounts them, through Drivers\Builtin\Ferrovane):
  mount --create SIZE CONTAINER --password P [--folder F]
  mount --open CONTAINER --password P [--folder F]
                              create (SIZE in bytes, or with K or M) or open a container and mount it;
                              prints "mounted CONTAINER at \FOLDER" and holds the mount until it gets
                              SIGINT, SIGTERM or SIGHUP, or 'unmount' names it. An opened container
                              mounts under the folder name in its trailer unless --folder is given.
                              A container whose volume reaches the disk's last sector (one not
                              partitioned here) mounts read-only, and the command says so.
  unmount FOLDER|CONTAINER    end the mount command that holds it, or clear the folder that one which
                              was killed left
  mounts                      list the mounts that mount commands hold
)";

struct Command {
    const char* name;
    int (*run)(const device_tool::Words&);
};

const Command kCommands[] = {
    {"install", device_tool::Install},
    {"start", device_tool::Start},
    {"boot", device_tool::Boot},
    {"open", device_tool::Open},
    {"new-menu", device_tool::NewMenu},
    {"registry", device_tool::Registry},
    {"wait", device_tool::Wait},
    {"windows", device_tool::ListWindows},
    {"items", device_tool::Items},
    {"tap", device_tool::Tap},
    {"double-tap", device_tool::DoubleTap},
    {"drag", device_tool::Drag},
    {"key", device_tool::Key},
    {"text", device_tool::Text},
    {"screenshot", device_tool::Screenshot},
    {"mount", device_tool::Mount},
    {"unmount", device_tool::Unmount},
    {"mounts", device_tool::Mounts},
};

} // namespace

namespace device_tool {

int Fail(const std::string& what, unsigned long error) {
    if (error != 0)
        std::fprintf(stderr, "ferrovane-device: %s (error %lu)\n", what.c_str(), error);
    else
        std::fprintf(stderr, "ferrovane-device: %s\n", what.c_str());
    return 1;
}

int Usage(const std::string& what) {
    std::fprintf(stderr, "ferrovane-device: %s (see ferrovane-device --help)\n", what.c_str());
    return 2;
}

} // namespace device_tool

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    std::string root;
    if (const char* fromEnvironment = std::getenv("DEVICE_ROOT"); fromEnvironment && *fromEnvironment)
        root = fromEnvironment;
    else
        root = FERROVANE_DEFAULT_DEVICE_ROOT;
    while (!words.empty() && words.front().rfind("--", 0) == 0) {
        if (words.front() == "--help" || words.front() == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (words.front() == "--root" && words.size() >= 2) {
            root = words[1];
            words.erase(words.begin(), words.begin() + 2);
            continue;
        }
        if (words.front().rfind("--root=", 0) == 0) {
            root = words.front().substr(7);
            words.erase(words.begin());
            continue;
        }
        return device_tool::Usage("unknown option " + words.front());
    }
    if (words.empty())
        return device_tool::Usage("no command");
    if (words.front() == "help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    for (const Command& command : kCommands) {
        if (words.front() != command.name)
            continue;
        kernel::SetDeviceRoot(root);
        return command.run(std::vector<std::string>(words.begin() + 1, words.end()));
    }
    return device_tool::Usage("unknown command " + words.front());
}
