#pragma once
// The WM_PAINT of the tests' plain windows: fills the client area with the colour kept in GWLP_USERDATA.

#include "user/User.h"

namespace user_test {

// Paints hwnd in its colour; the PAINTSTRUCT that BeginPaint filled.
inline PAINTSTRUCT FillWithUserDataColor(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
    FillRect(hdc, &client, brush);
    DeleteObject(brush);
    EndPaint(hwnd, &ps);
    return ps;
}

} // namespace user_test
