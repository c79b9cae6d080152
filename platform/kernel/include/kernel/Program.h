#pragma once
// A device program's entry. The program defines WinMain or wmain; the static library platform_winmain or
// platform_wmain provides the host's main(), which takes the command line that CreateProcessW handed over
// (for a program started from a host shell: its arguments joined with the handheld's quoting) and calls
// the program. WinMain gets the program's module, the command line as written and SW_SHOW; wmain gets the
// program's device path as argument 0, then the command line split by the run-time library's rules. The
// program's result is the process's exit code (of which the host keeps the low 8 bits).

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

} // namespace kernel
