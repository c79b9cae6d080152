// Drovel, the open command of container files: hands the tapped file to the running main program, or
// starts the main program with "-o " and the file's path.

#include "common/CopyData.h"
#include "common/MainProgram.h"
#include "crt/WideString.h"
#include "kernel/Program.h"

namespace {

// "-o ", the path and the terminator fill the parameters of the main program's start.
constexpr size_t kParameterUnits = 260;
constexpr WCHAR kOpenOption[] = u"-o ";
constexpr size_t kMaxPathUnits = kParameterUnits - (sizeof kOpenOption / sizeof(WCHAR) - 1) - 1;

} // namespace

// The path is the first argument; a path with blanks that came without quotes arrives cut at its first
// blank, and the rest is not looked at.
int wmain(int argc, WCHAR** argv) {
    // Without a path, or with one that the parameters cannot hold, there is nothing to hand over.
    if (argc < 2 || wcslen(argv[1]) > kMaxPathUnits)
        return 0;
    const WCHAR* path = argv[1];

    if (HWND mainWindow = shell_entry::FindMainWindow()) {
        // The data size is 0: the path stays here and the main program answers with its create panel.
        shell_entry::SendRequest(mainWindow, COPYDATA_OPEN_CONTAINER, const_cast<WCHAR*>(path));
        return 0;
    }
    WCHAR parameters[kParameterUnits] = {};
    wcscpy(parameters, kOpenOption);
    wcscat(parameters, path);
    shell_entry::StartMainProgram(parameters);
    return 0;
}
