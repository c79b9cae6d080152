// A second device program for the tests of windows of other processes. Its arguments say what to do:
//   window TITLE        shows a window titled TITLE that answers WM_COPYDATA with the sum of the bytes
//                       plus 1000 times dwData, and quits on dwData 99; exit code 0
//   send TITLE TEXT     finds the window titled TITLE (waiting up to ten seconds), checks that messages
//                       other than WM_COPYDATA fail (exit code 201 when one does not), and sends it TEXT as
//                       UTF-16 with dwData 1; the exit code is the low byte of the reply (200: no window)

#include <string>

#include "kernel/Errors.h"
#include "kernel/Sync.h"
#include "kernel/Time.h"
#include "user/User.h"

namespace {

LRESULT CALLBACK PeerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        LRESULT sum = 0;
        for (DWORD i = 0; i < data->cbData; ++i)
            sum += static_cast<const BYTE*>(data->lpData)[i];
        if (data->dwData == 99)
            PostQuitMessage(0);
        return sum + static_cast<LRESULT>(data->dwData) * 1000;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int ShowWindowAndServe(const std::u16string& title) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PeerProc;
    wc.lpszClassName = u"PeerWindow";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, u"PeerWindow", title.c_str(), WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                nullptr, nullptr, nullptr, nullptr);
    if (!hwnd)
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyWindow(hwnd);
    return 0;
}

int Send(const std::u16string& title, const std::u16string& text) {
    HWND target = nullptr;
    for (int tries = 0; tries < 200 && !target; ++tries) {
        target = FindWindowW(nullptr, title.c_str());
        if (!target)
            ::Sleep(50);
    }
    if (!target)
        return 200;
    SetLastError(0);
    if (SendMessageW(target, WM_USER, 0, 0) != 0 || GetLastError() != ERROR_ACCESS_DENIED)
        return 201;
    if (PostMessageW(target, WM_USER, 0, 0))
        return 201;
    COPYDATASTRUCT data{1, static_cast<DWORD>(text.size() * sizeof(char16_t)),
                        const_cast<char16_t*>(text.data())};
    LRESULT reply = SendMessageW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    return static_cast<int>(reply & 0xFF);
}

} // namespace

int wmain(int argc, WCHAR** argv) {
    if (argc >= 3 && std::u16string(argv[1]) == u"window")
        return ShowWindowAndServe(argv[2]);
    if (argc >= 4 && std::u16string(argv[1]) == u"send")
        return Send(argv[2], argv[3]);
    return 2;
}
