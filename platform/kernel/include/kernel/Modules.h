#pragma once
// Libraries and the program's own module. A device file whose content is a host shared library is what
// LoadLibraryW loads: once per process, counted per LoadLibraryW and FreeLibrary. A bare name is looked
// for in the program's folder, then in \windows; a name with a '\' is a device path; a name without an
// extension gets ".dll". The library's exported `extern "C" BOOL DllMain(HANDLE, DWORD, LPVOID)`, when it
// has one, is called with DLL_PROCESS_ATTACH on the first load and DLL_PROCESS_DETACH on the last free,
// while the loader lock is held (a DllMain may load and free other libraries); no thread notifications
// are sent and libraries still loaded at exit get no detach call. Exports are found by name among the
// library's own symbols.
//
// The program's module name is its device path when it runs from the object store (started with
// CreateProcessW or installed there), else "\" and its host file name.

#include <string>

#include "crt/Types.h"

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// An export's address, to be cast to its real type. Declared as void (*)() rather than the handheld's
// INT_PTR (*)() because the compiler lets that one type be cast to any function type without a warning.
using FARPROC = void (*)();

// ERROR_MOD_NOT_FOUND when no such file exists, ERROR_BAD_EXE_FORMAT when it is no library,
// ERROR_DLL_INIT_FAILED when DllMain answers FALSE (the library then gets its detach call and is freed).
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
BOOL FreeLibrary(HMODULE hLibModule);
// Ordinals are not served. ERROR_PROC_NOT_FOUND for a name the library does not export.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);
BOOL DisableThreadLibraryCalls(HMODULE hLibModule);
// NULL is the program. A buffer that is too small receives the name cut to nSize - 1 units with a
// terminator; the result is then nSize and the last error ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
// NULL is the program; otherwise a loaded library by its device path or file name.
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);

namespace kernel {

// The program's device path (GetModuleFileNameW(NULL)).
std::u16string ProgramDevicePath();
// Makes the program answer to another device path, for tests that run outside the object store; an
// empty path goes back to the real one.
void SetProgramDevicePath(std::u16string devicePath);

} // namespace kernel
