// TrackPopupMenu: the popup window and its modal loop.

#include <algorithm>

#include "Internal.h"
#include "Menus.h"
#include "gdi/Gdi.h"
#include "kernel/Errors.h"
#include "user/Menu.h"
#include "user/Paint.h"

namespace user::detail {

namespace {

constexpr int kItemPadding = 8;
constexpr int kSeparatorHeight = 7;
constexpr int kCheckArea = 18;
constexpr int kRightMargin = 12;

struct Tracking {
    std::shared_ptr<Menu> menu;
    HWND window = nullptr;
    std::vector<RECT> items; // client coordinates
    int highlight = -1;
    bool pressedInside = false;
    bool done = false;
    UINT_PTR chosen = 0;
};

std::vector<Tracking*>& Stack() {
    static std::vector<Tracking*>* stack = new std::vector<Tracking*>;
    return *stack;
}

Tracking* TrackingOf(HWND window) {
    for (Tracking* t : Stack())
        if (t->window == window)
            return t;
    return nullptr;
}

bool Selectable(const MenuItem& item) {
    return !(item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)) && !item.submenu;
}

int ItemAt(const Tracking& t, POINT client) {
    for (size_t i = 0; i < t.items.size(); ++i)
        if (PtInRect(&t.items[i], client))
            return static_cast<int>(i);
    return -1;
}

void SetHighlight(Tracking& t, int index) {
    if (t.highlight == index)
        return;
    t.highlight = index;
    InvalidateRect(t.window, nullptr, FALSE);
}

void MoveHighlight(Tracking& t, int step) {
    int count = static_cast<int>(t.menu->items.size());
    if (count == 0)
        return;
    int index = t.highlight;
    for (int k = 0; k < count; ++k) {
        index = index < 0 ? (step > 0 ? 0 : count - 1) : ((index + step) % count + count) % count;
        const MenuItem& item = t.menu->items[static_cast<size_t>(index)];
        if (!(item.flags & MF_SEPARATOR) && !(item.flags & (MF_GRAYED | MF_DISABLED))) {
            SetHighlight(t, index);
            return;
        }
    }
}

void Choose(Tracking& t, int index) {
    if (index < 0 || static_cast<size_t>(index) >= t.menu->items.size())
        return;
    const MenuItem& item = t.menu->items[static_cast<size_t>(index)];
    if (!Selectable(item))
        return;
    t.chosen = item.id;
    t.done = true;
}

void PaintMenu(HWND hwnd, Tracking& t) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    if (!hdc)
        return;
    HGDIOBJ old = SelectObject(hdc, SystemFont());
    SetBkMode(hdc, TRANSPARENT);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(hdc, &client, GetSysColorBrush(COLOR_MENU));
    for (size_t i = 0; i < t.items.size(); ++i) {
        const MenuItem& item = t.menu->items[i];
        RECT r = t.items[i];
        if (item.flags & MF_SEPARATOR) {
            RECT line{r.left + 2, (r.top + r.bottom) / 2, r.right - 2, (r.top + r.bottom) / 2 + 1};
            FillRect(hdc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
            continue;
        }
        bool lit = static_cast<int>(i) == t.highlight;
        bool disabled = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        if (lit)
            FillRect(hdc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        int textColor = disabled ? COLOR_GRAYTEXT : lit ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT;
        SetTextColor(hdc, GetSysColor(textColor));
        if (item.flags & MF_CHECKED) {
            // A check mark: a short and a long stroke.
            HBRUSH mark = GetSysColorBrush(textColor);
            int x = r.left + 5;
            int y = (r.top + r.bottom) / 2;
            for (int k = 0; k < 3; ++k) {
                RECT dot{x + k, y - 1 + k, x + k + 1, y + 1 + k};
                FillRect(hdc, &dot, mark);
            }
            for (int k = 0; k < 5; ++k) {
                RECT dot{x + 3 + k, y + 1 - k, x + 4 + k, y + 3 - k};
                FillRect(hdc, &dot, mark);
            }
        }
        RECT text{r.left + kCheckArea, r.top, r.right - kRightMargin, r.bottom};
        DrawTextW(hdc, item.text.c_str(), static_cast<int>(item.text.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        if (item.submenu) {
            HBRUSH arrow = GetSysColorBrush(textColor);
            int x = r.right - 8;
            int y = (r.top + r.bottom) / 2;
            for (int k = 0; k < 4; ++k) {
                RECT column{x + k, y - 3 + k, x + k + 1, y + 4 - k};
                FillRect(hdc, &column, arrow);
            }
        }
    }
    SelectObject(hdc, old);
    EndPaint(hwnd, &ps);
}

bool Filter(Tracking& t, MSG& msg) {
    switch (msg.message) {
    case WM_KEYDOWN:
        switch (msg.wParam) {
        case VK_UP:
            MoveHighlight(t, -1);
            break;
        case VK_DOWN:
            MoveHighlight(t, 1);
            break;
        case VK_RETURN:
            Choose(t, t.highlight);
            break;
        case VK_ESCAPE:
            t.done = true;
            break;
        default:
            break;
        }
        return true;
    case WM_KEYUP:
    case WM_CHAR:
        return true;
    default:
        break;
    }
    if (msg.hwnd != t.window || msg.message < WM_MOUSEFIRST || msg.message > WM_MOUSELAST)
        return msg.message >= WM_NCLBUTTONDOWN && msg.message <= WM_NCLBUTTONDBLCLK && (t.done = true);
    POINT pt{static_cast<SHORT>(LOWORD(msg.lParam)), static_cast<SHORT>(HIWORD(msg.lParam))};
    RECT client;
    GetClientRect(t.window, &client);
    bool inside = PtInRect(&client, pt) != FALSE;
    switch (msg.message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!inside) {
            t.done = true;
            return true;
        }
        t.pressedInside = true;
        SetHighlight(t, ItemAt(t, pt));
        return true;
    case WM_MOUSEMOVE:
        if (t.pressedInside)
            SetHighlight(t, inside ? ItemAt(t, pt) : -1);
        return true;
    case WM_LBUTTONUP:
        if (t.pressedInside && inside)
            Choose(t, ItemAt(t, pt));
        t.pressedInside = false;
        return true;
    default:
        return true;
    }
}

} // namespace

LRESULT CALLBACK PopupMenuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Locked lock;
    Tracking* t = TrackingOf(hwnd);
    if (message == WM_PAINT && t) {
        PaintMenu(hwnd, *t);
        return 0;
    }
    if (message == WM_CAPTURECHANGED && t && reinterpret_cast<HWND>(lParam) != hwnd)
        t->done = true;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::optional<RECT> CurrentMenuItemRect(UINT id) {
    if (Stack().empty())
        return std::nullopt;
    Tracking& t = *Stack().back();
    Window* w = Peek(t.window);
    if (!w)
        return std::nullopt;
    POINT origin = ClientScreenOrigin(w);
    for (size_t i = 0; i < t.items.size(); ++i) {
        const MenuItem& item = t.menu->items[i];
        if (!item.submenu && !(item.flags & MF_SEPARATOR) && item.id == id) {
            RECT r = t.items[i];
            OffsetRect(&r, origin.x, origin.y);
            return r;
        }
    }
    return std::nullopt;
}

bool ChooseMenuItem(HWND menuWindow, UINT id) {
    Tracking* t = TrackingOf(menuWindow);
    if (!t)
        return false;
    if (id == 0) {
        t->done = true;
        return true;
    }
    for (size_t i = 0; i < t->menu->items.size(); ++i) {
        const MenuItem& item = t->menu->items[i];
        if (!item.submenu && !(item.flags & MF_SEPARATOR) && item.id == id && Selectable(item)) {
            Choose(*t, static_cast<int>(i));
            return true;
        }
    }
    return false;
}

} // namespace user::detail

using namespace user::detail;

BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int, HWND hWnd, const RECT*) {
    Locked lock;
    auto menu = FindMenuShared(hMenu);
    if (!menu)
        return kernel::Fail(ERROR_INVALID_MENU_HANDLE, FALSE);
    Window* owner = Find(hWnd);
    if (!owner)
        return FALSE;
    auto keepOwner = owner->shared_from_this();
    if (!(uFlags & TPM_NONOTIFY))
        Send(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), MAKELPARAM(0, FALSE));
    Tracking t;
    t.menu = menu;
    // Lay the items out.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, SystemFont());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    int itemHeight = metrics.tmHeight + kItemPadding;
    int width = 60;
    int height = 0;
    for (const MenuItem& item : menu->items) {
        SIZE extent{0, 0};
        if (!item.text.empty())
            GetTextExtentPoint32W(dc, item.text.c_str(), static_cast<int>(item.text.size()), &extent);
        width = std::max(width, static_cast<int>(extent.cx) + kCheckArea + kRightMargin);
        int h = (item.flags & MF_SEPARATOR) ? kSeparatorHeight : itemHeight;
        t.items.push_back(RECT{0, height, 0, height + h});
        height += h;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    for (RECT& r : t.items)
        r.right = width;
    RECT outer{0, 0, width, std::max(height, 1)};
    AdjustWindowRectEx(&outer, WS_POPUP | WS_BORDER, FALSE, 0);
    int w = outer.right - outer.left;
    int h = outer.bottom - outer.top;
    if (uFlags & TPM_CENTERALIGN)
        x -= w / 2;
    else if (uFlags & TPM_RIGHTALIGN)
        x -= w;
    if (uFlags & TPM_VCENTERALIGN)
        y -= h / 2;
    else if (uFlags & TPM_BOTTOMALIGN)
        y -= h;
    RECT screen = ScreenRect();
    x = std::max<int>(screen.left, std::min<int>(x, screen.right - w));
    y = std::max<int>(screen.top, std::min<int>(y, screen.bottom - h));
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, u"#32768", u"", WS_POPUP | WS_BORDER, x,
                                  y, w, h, nullptr, nullptr, nullptr, nullptr);
    if (!window)
        return FALSE;
    t.window = window;
    Stack().push_back(&t);
    ShowWindow(window, SW_SHOWNA);
    HWND previousCapture = GetCapture();
    SetCapture(window);
    ModalFrame frame{ModalFrame::Kind::Menu, window, [&t] { t.done = true; }, nullptr, 0};
    ModalHookInfo hook{ModalFrame::Kind::Menu, window, u""};
    RunModalLoop(
        frame, [&t] { return t.done; }, [&t](MSG& msg) { return Filter(t, msg); }, &hook);
    std::erase(Stack(), &t);
    if (GetCapture() == window)
        ReleaseCapture();
    (void)previousCapture;
    if (Window* p = Peek(window))
        DestroyWindowObject(p);
    if (t.chosen && !(uFlags & TPM_RETURNCMD) && !owner->destroyed)
        PostMessageW(owner->handle, WM_COMMAND, MAKEWPARAM(t.chosen, 0), 0);
    if (uFlags & TPM_RETURNCMD)
        return static_cast<BOOL>(t.chosen);
    return t.chosen ? TRUE : FALSE;
}
