#pragma once
// Processes. Every device program is a host process started from its file in the object store, with
// the device root in its environment and the command line handed over unchanged (the program-entry
// libraries give it to WinMain or split it for wmain). A process handle is waitable; it is signalled
// when the process has ended.

#include <filesystem>
#include <optional>
#include <string>

#include "crt/Types.h"

#define CREATE_NEW_CONSOLE 0x00000010
#define STILL_ACTIVE 0x00000103L

struct STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
using LPSTARTUPINFOW = STARTUPINFOW*;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// lpApplicationName names the program (see kernel::ResolveDeviceProgram); lpCommandLine is what the
// program receives as its command line, without the program's name (NULL for none). Security
// attributes, handle inheritance, creation flags, environment, current folder and start-up information
// are accepted and have no effect, as on the handheld. The process and thread handles (the thread handle
// stands for the primary thread and is signalled with the process) are returned when
// lpProcessInformation is not NULL. Errors: those of the resolver, ERROR_ACCESS_DENIED for a file that
// may not be run, ERROR_BAD_EXE_FORMAT for one that is no program.
BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                    LPSECURITY_ATTRIBUTES lpProcessAttributes, LPSECURITY_ATTRIBUTES lpThreadAttributes,
                    BOOL bInheritHandles, DWORD dwCreationFlags, LPVOID lpEnvironment,
                    LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation);
// STILL_ACTIVE while the process runs. A process that ended on a signal other than TerminateProcess's
// reports 128 plus the signal number.
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
// Ends the process (asynchronously, as on the handheld); its exit code becomes uExitCode.
// ERROR_ACCESS_DENIED once it has ended.
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();

namespace kernel {

struct DeviceProgram {
    std::u16string devicePath;
    std::filesystem::path hostPath;
};

// Finds a program the way the handheld does: a name with a '\' is a device path, a bare name is looked
// for in \windows; when the name has no extension, ".exe" is tried after the name as given. Errors:
// ERROR_INVALID_PARAMETER for NULL, ERROR_FILE_NOT_FOUND when no such file exists, and the path errors
// of DeviceToHostPath.
std::optional<DeviceProgram> ResolveDeviceProgram(LPCWSTR name, DWORD* error);

} // namespace kernel
