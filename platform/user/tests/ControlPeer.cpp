// A device program for the tests that drive another process's windows. "ControlPeer form" shows the
// window "Control Peer" (0, 26)-(240, 320) with these children:
//   101  an edit box: a tap gives it the focus; typed characters are added, Backspace takes the last away
//   102  a button "Copy": a tap (press and release on it) copies the edit box's text into the label
//   103  a label: its text on green, or light grey while it has none
//   104  a red 30 x 30 handle that follows the stylus while it is dragged
//   105  a list that answers the list-box messages with "alpha", "beta", "gamma", "beta" selected
// The program runs until it is ended.

#include <string>

#include "user/User.h"

namespace {

constexpr int kEdit = 101;
constexpr int kButton = 102;
constexpr int kLabel = 103;
constexpr int kHandle = 104;
constexpr int kList = 105;

constexpr UINT kListGetText = 0x0189;
constexpr UINT kListGetTextLength = 0x018A;
constexpr UINT kListGetCount = 0x018B;
constexpr UINT kListGetSelection = 0x0188;

const char16_t* const kItems[] = {u"alpha", u"beta", u"gamma"};

std::u16string TextOf(HWND hwnd) {
    WCHAR text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

void Fill(HDC hdc, const RECT& r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(hdc, &r, brush);
    DeleteObject(brush);
}

void PaintText(HWND hwnd, COLORREF background) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    Fill(hdc, r, background);
    SetBkMode(hdc, TRANSPARENT);
    std::u16string text = TextOf(hwnd);
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    case WM_CHAR: {
        std::u16string text = TextOf(hwnd);
        if (wParam == u'\b' && !text.empty())
            text.pop_back();
        else if (wParam >= u' ')
            text.push_back(static_cast<char16_t>(wParam));
        SetWindowTextW(hwnd, text.c_str());
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case WM_PAINT:
        PaintText(hwnd, RGB(255, 255, 255));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        SetCapture(hwnd);
        return 0;
    case WM_LBUTTONUP: {
        if (GetCapture() != hwnd)
            return 0;
        ReleaseCapture();
        RECT r;
        GetClientRect(hwnd, &r);
        POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        if (PtInRect(&r, p))
            PostMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(kButton, 0), reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    case WM_PAINT:
        PaintText(hwnd, RGB(192, 192, 192));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PaintText(hwnd, TextOf(hwnd).empty() ? RGB(224, 224, 224) : RGB(0, 255, 0));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The handle keeps the client point where the stylus took it.
LRESULT CALLBACK HandleProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    switch (message) {
    case WM_LBUTTONDOWN:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, MAKELONG(p.x, p.y));
        SetCapture(hwnd);
        return 0;
    case WM_MOUSEMOVE:
        if (GetCapture() == hwnd) {
            LONG_PTR grab = GetWindowLongPtrW(hwnd, GWLP_USERDATA);
            MapWindowPoints(hwnd, GetParent(hwnd), &p, 1);
            SetWindowPos(hwnd, nullptr, p.x - static_cast<SHORT>(LOWORD(grab)),
                         p.y - static_cast<SHORT>(HIWORD(grab)), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        return 0;
    case WM_PAINT:
        PaintText(hwnd, RGB(255, 0, 0));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    constexpr WPARAM kCount = sizeof kItems / sizeof kItems[0];
    switch (message) {
    case kListGetCount:
        return kCount;
    case kListGetSelection:
        return 1;
    case kListGetTextLength:
        return wParam < kCount ? static_cast<LRESULT>(std::u16string(kItems[wParam]).size()) : -1;
    case kListGetText: {
        if (wParam >= kCount)
            return -1;
        std::u16string item = kItems[wParam];
        item.copy(reinterpret_cast<WCHAR*>(lParam), item.size());
        reinterpret_cast<WCHAR*>(lParam)[item.size()] = 0;
        return static_cast<LRESULT>(item.size());
    }
    case WM_PAINT:
        PaintText(hwnd, RGB(255, 255, 255));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        auto child = [hwnd](const WCHAR* className, const WCHAR* text, int id, int x, int y, int w, int h) {
            CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE, x, y, w, h, hwnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        };
        child(u"PeerEdit", u"", kEdit, 10, 10, 220, 24);
        child(u"PeerButton", u"Copy", kButton, 10, 44, 100, 30);
        child(u"PeerLabel", u"", kLabel, 10, 84, 220, 24);
        child(u"PeerHandle", u"", kHandle, 10, 120, 30, 30);
        child(u"PeerList", u"", kList, 130, 200, 100, 60);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == kButton) {
            HWND label = GetDlgItem(hwnd, kLabel);
            SetWindowTextW(label, TextOf(GetDlgItem(hwnd, kEdit)).c_str());
            InvalidateRect(label, nullptr, TRUE);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Register(const WCHAR* name, WNDPROC proc) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

} // namespace

int wmain(int argc, WCHAR** argv) {
    if (argc < 2 || std::u16string(argv[1]) != u"form")
        return 2;
    Register(u"ControlPeerWindow", FormProc);
    Register(u"PeerEdit", EditProc);
    Register(u"PeerButton", ButtonProc);
    Register(u"PeerLabel", LabelProc);
    Register(u"PeerHandle", HandleProc);
    Register(u"PeerList", ListProc);
    HWND form = CreateWindowExW(0, u"ControlPeerWindow", u"Control Peer", WS_POPUP | WS_VISIBLE, 0, 26, 240,
                                294, nullptr, nullptr, nullptr, nullptr);
    if (!form)
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
