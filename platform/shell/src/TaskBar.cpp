#include "TaskBar.h"

#include "shell/FullScreen.h"
#include "user/Foreground.h"
#include "user/Icon.h"
#include "user/User.h"

namespace shell::detail {

namespace {

constexpr WCHAR kTaskBarClass[] = u"HHTaskBar";
// Posted to the bar when the foreground window changes.
constexpr UINT kForegroundChanged = WM_USER + 1;
constexpr COLORREF kBarColour = RGB(16, 48, 128);
constexpr COLORREF kEdgeColour = RGB(96, 128, 192);

HWND g_bar = nullptr;

// The icon under the stylus while it is held on the bar.
struct Press {
    HWND window = nullptr;
    UINT id = 0;
};
Press g_press;

void PostToIcon(const Press& press, LPARAM mouseMessage) {
    for (const TrayIcon& icon : TrayIcons()) {
        if (icon.window == press.window && icon.id == press.id) {
            if (icon.callbackMessage != 0)
                PostMessageW(icon.window, icon.callbackMessage, icon.id, mouseMessage);
            return;
        }
    }
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT bar;
    GetClientRect(hwnd, &bar);
    HBRUSH fill = CreateSolidBrush(kBarColour);
    FillRect(hdc, &bar, fill);
    DeleteObject(fill);
    RECT edge{bar.left, bar.bottom - 1, bar.right, bar.bottom};
    HBRUSH line = CreateSolidBrush(kEdgeColour);
    FillRect(hdc, &edge, line);
    DeleteObject(line);
    const std::vector<TrayIcon>& icons = TrayIcons();
    for (size_t i = 0; i < icons.size(); ++i) {
        if (!icons[i].icon)
            continue;
        RECT slot = TraySlot(i);
        DrawIconEx(hdc, slot.left + (kTraySlotWidth - kTrayIconSize) / 2,
                   slot.top + (kTaskBarHeight - kTrayIconSize) / 2, icons[i].icon, kTrayIconSize,
                   kTrayIconSize, 0, nullptr, DI_NORMAL);
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK TaskBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN: {
        POINT point{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        ClientToScreen(hwnd, &point);
        const std::vector<TrayIcon>& icons = TrayIcons();
        for (size_t i = 0; i < icons.size(); ++i) {
            RECT slot = TraySlot(i);
            if (!PtInRect(&slot, point))
                continue;
            g_press = Press{icons[i].window, icons[i].id};
            SetCapture(hwnd);
            PostToIcon(g_press, WM_LBUTTONDOWN);
            break;
        }
        return 0;
    }
    case WM_LBUTTONUP:
        if (g_press.window) {
            Press press = g_press;
            g_press = Press{};
            ReleaseCapture();
            PostToIcon(press, WM_LBUTTONUP);
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd)
            g_press = Press{};
        return 0;
    case kForegroundChanged:
        // The window in front may have gone, and its icons with it.
        UpdateTaskBar();
        RepaintTaskBar();
        return 0;
    case WM_DESTROY:
        if (g_bar == hwnd)
            g_bar = nullptr;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void OnForegroundChanged(HWND) {
    if (g_bar)
        PostMessageW(g_bar, kForegroundChanged, 0, 0);
}

bool RegisterTaskBarClass() {
    WNDCLASSW wc{};
    if (GetClassInfoW(nullptr, kTaskBarClass, &wc))
        return true;
    wc.lpfnWndProc = TaskBarProc;
    wc.lpszClassName = kTaskBarClass;
    return RegisterClassW(&wc) != 0;
}

} // namespace

RECT TraySlot(size_t index) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    int right = width - kTraySlotWidth * static_cast<int>(index);
    return RECT{right - kTraySlotWidth, 0, right, kTaskBarHeight};
}

void UpdateTaskBar() {
    bool shown = TaskBarShownFor(GetForegroundWindow());
    int width = GetSystemMetrics(SM_CXSCREEN);
    if (g_bar && !IsWindow(g_bar))
        g_bar = nullptr;
    if (!g_bar) {
        if (!RegisterTaskBarClass())
            return;
        g_bar = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kTaskBarClass, u"",
                                WS_POPUP | (shown ? WS_VISIBLE : 0), 0, 0, width, kTaskBarHeight, nullptr,
                                nullptr, nullptr, nullptr);
        user::SetForegroundObserver(OnForegroundChanged);
        return;
    }
    RECT r;
    GetWindowRect(g_bar, &r);
    if (r.right - r.left != width)
        SetWindowPos(g_bar, nullptr, 0, 0, width, kTaskBarHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    if (IsWindowVisible(g_bar) != (shown ? TRUE : FALSE))
        ShowWindow(g_bar, shown ? SW_SHOWNA : SW_HIDE);
}

void RepaintTaskBar() {
    if (g_bar && IsWindow(g_bar))
        InvalidateRect(g_bar, nullptr, FALSE);
}

} // namespace shell::detail

HWND shell::TaskBarWindow() {
    return detail::g_bar && IsWindow(detail::g_bar) ? detail::g_bar : nullptr;
}
