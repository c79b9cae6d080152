#pragma once
// The shell entry points' tests: a device root with Tallowick, Drovel and a stand-in main program
// installed (MainProgramStandIn.cpp), on the window system's test surface, with helpers to run device
// programs, to read what the stand-in recorded, and to register Tallowick as the installation does.

#include <string>
#include <vector>

#include "com/Com.h"
#include "kernel/Kernel.h"
#include "testing/DeviceRootTest.h"
#include "user/ProgramWindowTest.h"
#include "user/User.h"

namespace shell_entry_test {

inline constexpr char16_t kTallowickPath[] = u"\\windows\\Tallowick.dll";
inline constexpr char16_t kDrovelPath[] = u"\\windows\\Drovel.exe";
inline constexpr char16_t kMainProgramPath[] = u"\\program files\\ferrovane\\ferrovane.exe";

// Runs one of Tallowick's registration exports, loading and freeing it as an installer does.
inline HRESULT RunTallowickExport(const char* name) {
    HMODULE module = LoadLibraryW(kTallowickPath);
    if (!module)
        return E_FAIL;
    auto entry = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, name));
    HRESULT hr = entry ? entry() : E_FAIL;
    FreeLibrary(module);
    return hr;
}

// A REG_DWORD under HKCU\path; 0 when it is missing.
inline DWORD UserNumber(const char16_t* path, const char16_t* name) {
    HKEY key = nullptr;
    DWORD number = 0;
    DWORD size = sizeof number;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
        RegCloseKey(key);
    }
    return number;
}

// What the stand-in's main window received, as it recorded it.
struct StandInRequests {
    DWORD count;
    DWORD data;
    DWORD size;
    DWORD hasData;
    DWORD toItself;
};

inline StandInRequests ReadStandInRequests() {
    const char16_t* path = u"Software\\ShellEntryTests";
    return {UserNumber(path, u"Requests"), UserNumber(path, u"Data"), UserNumber(path, u"Size"),
            UserNumber(path, u"HasData"), UserNumber(path, u"ToItself")};
}

// How often the stand-in main program was started (not counting its window's own start).
inline DWORD MainProgramStarts() {
    return UserNumber(u"Software\\KernelTests", u"Starts");
}

class ShellEntryTest : public user::test::ProgramWindowTest {
protected:
    ShellEntryTest() : ProgramWindowTest(SHELL_ENTRY_MANIFEST, kMainProgramPath) {}

    // Runs the message loop until the process has ended (serving its requests to our windows); its exit
    // code, or STILL_ACTIVE when it did not end in time.
    static DWORD RunToExit(const PROCESS_INFORMATION& info) {
        user::test::RunUntil([&] { return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; },
                             std::chrono::seconds(30));
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
    // The command line of the stand-in main program's next start, once it reported it; the report is
    // taken away, so that the next one can be waited for.
    static std::u16string TakeMainProgramReport() {
        std::u16string line;
        user::test::RunUntil([&] { return !(line = testing_support::ReportedCommandLine()).empty(); },
                             std::chrono::seconds(30));
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\KernelTests", 0, KEY_ALL_ACCESS, &key) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(key, u"CommandLine");
            RegCloseKey(key);
        }
        return line;
    }
    // Shows the stand-in main program's window in a process of its own.
    void StartMainWindowProcess() {
        Start(kMainProgramPath, u"window");
        ASSERT_TRUE(user::test::RunUntil([] { return FindWindowW(nullptr, u"Ferrovane") != nullptr; },
                                         std::chrono::seconds(30)));
    }
};

} // namespace shell_entry_test
