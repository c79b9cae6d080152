#pragma once
// A device program's entry. The program defines WinMain or wmain; the static library platform_winmain or
// platform_wmain provides the host's main(), which takes the command line that CreateProcessW handed over
// (for a program started from a host shell: its arguments joined with the handheld's quoting) and calls
// the program. WinMain gets the program's module, the command line as written and SW_SHOW; wmain gets the
// program's device path as argument 0, then the command line split by the run-time library's rules. The
// program's result is the process's exit code (of which the host keeps the low 8 bits).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "crt/Types.h"

int WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd);
int wmain(int argc, WCHAR** argv);

namespace kernel {

// The environment variable that carries the command line from CreateProcessW to the started program.
inline constexpr char kCommandLineVariable[] = "FERROVANE_COMMAND_LINE";

// The run-time library's split: blanks and tabs separate arguments; double quotes group blanks and are
// removed; backslashes are literal except before a double quote, where 2n backslashes give n and the
// quote groups, and 2n + 1 give n and a literal quote.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);
// The command line that SplitCommandLine turns back into exactly these arguments.
std::u16string JoinCommandLine(const std::vector<std::u16string>& arguments);
// The process's command line: the one CreateProcessW handed over (removed from the environment, so that
// processes started otherwise never see it), else argv[1...] joined. Arguments that are not UTF-8 are
// read one byte a character.
std::u16string TakeProgramCommandLine(int argc, char** argv);

// The life of a device program around WinMain and wmain. The host's main() calls BeginProgram first and
// EndProgram once the program has returned.
//
// Stop requests: in a program, SIGTERM, SIGINT and SIGHUP (as at the end of the user's session) no longer
// end the process on the spot once its message loop has asked for StopRequestFd; each becomes a request
// that the loop takes (the window system then posts WM_QUIT, so the program ends as it would on its own).
// A second signal of the same kind ends the process at once. A signal that the process was started to
// ignore (nohup) stays ignored. The signal handler only writes a byte to a pipe.
void BeginProgram();
// Runs the actions that libraries left for the end of the program, the newest first.
void EndProgram();
// Work for the end of the program, after WinMain or wmain has returned (the device manager deactivates
// the devices the program left active, so that their data is written back). Not run in other processes.
void AtProgramEnd(std::function<void()> action);
// Readable while a stop request waits; -1 in a process that is no program. The first call catches the
// signals.
int StopRequestFd();
// Takes the waiting stop requests; whether there were any.
bool TakeStopRequest();

} // namespace kernel
