// Stands in for the main program at \program files\ferrovane\ferrovane.exe.
//   window      shows the main window "Ferrovane" and records each WM_COPYDATA it receives under
//               HKCU\Software\ShellEntryTests: Requests (a count), Data (dwData), Size (cbData), HasData
//               (1 when lpData is set), ToItself (1 when wParam is the window's own handle)
//   otherwise   counts its start in Starts under HKCU\Software\KernelTests, then reports its command line
//               there as CommandLine, as the kernel's test program does, and ends

#include <string>

#include "kernel/Program.h"
#include "kernel/Registry.h"
#include "user/User.h"

namespace {

void SetNumber(HKEY key, const char16_t* name, DWORD number) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

DWORD Number(HKEY key, const char16_t* name) {
    DWORD number = 0;
    DWORD size = sizeof number;
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
    return number;
}

HKEY CreateKey(const char16_t* path) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    HKEY key = CreateKey(u"Software\\ShellEntryTests");
    SetNumber(key, u"Data", static_cast<DWORD>(copy->dwData));
    SetNumber(key, u"Size", copy->cbData);
    SetNumber(key, u"HasData", copy->lpData != nullptr);
    SetNumber(key, u"ToItself", reinterpret_cast<HWND>(wParam) == hwnd);
    SetNumber(key, u"Requests", Number(key, u"Requests") + 1);
    RegCloseKey(key);
    return TRUE;
}

int ShowMainWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainWindowProc;
    wc.lpszClassName = u"StandInMain";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, u"StandInMain", u"Ferrovane", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, nullptr, nullptr);
    if (!hwnd)
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

void ReportStart(const std::u16string& commandLine) {
    HKEY key = CreateKey(u"Software\\KernelTests");
    SetNumber(key, u"Starts", Number(key, u"Starts") + 1);
    RegSetValueExW(key, u"CommandLine", 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine.c_str()),
                   static_cast<DWORD>((commandLine.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
}

} // namespace

int WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    std::u16string line = commandLine ? commandLine : u"";
    if (line == u"window")
        return ShowMainWindow();
    ReportStart(line);
    return 0;
}
