// The command bar: buttons with images and menu-bar items in a row at the top of the parent window.

#include <algorithm>
#include <vector>

#include "Internal.h"
#include "gdi/Dib.h"
#include "kernel/Errors.h"
#include "user/ScopedPaint.h"

namespace commctrl {
namespace {

constexpr int kBarHeight = 26;
constexpr int kSeparatorWidth = 6;
constexpr COLORREF kTransparent = RGB(192, 192, 192);

struct Button {
    TBBUTTON data{};
    HMENU popup = nullptr; // a menu-bar item
    std::u16string text;
};

struct CommandBar : ControlState {
    std::vector<Button> buttons;
    HIMAGELIST images = nullptr;
    HMENU menu = nullptr;
    SIZE bitmapSize{16, 15};
    SIZE buttonSize{23, 22};
    int pressed = -1;
    HFONT font = nullptr;
};

using Ptr = std::shared_ptr<CommandBar>;

int TextWidth(HWND hwnd, const CommandBar& bar, const std::u16string& text) {
    HDC dc = GetDC(hwnd);
    if (!dc)
        return 0;
    SIZE size{};
    {
        SelectedObject font(dc, FontOrSystem(bar.font));
        GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    }
    ReleaseDC(hwnd, dc);
    return size.cx;
}

int WidthOf(HWND hwnd, const CommandBar& bar, const Button& button) {
    if (button.popup)
        return TextWidth(hwnd, bar, button.text) + 12;
    if (button.data.fsStyle & TBSTYLE_SEP)
        return button.data.iBitmap > 0 ? button.data.iBitmap : kSeparatorWidth;
    return bar.buttonSize.cx;
}

bool Hidden(const Button& button) {
    return (button.data.fsState & TBSTATE_HIDDEN) != 0;
}

bool ButtonRect(HWND hwnd, const CommandBar& bar, int index, RECT& rect) {
    if (index < 0 || index >= static_cast<int>(bar.buttons.size()))
        return false;
    RECT client;
    GetClientRect(hwnd, &client);
    int x = 0;
    for (int i = 0; i < index; ++i)
        if (!Hidden(bar.buttons[static_cast<size_t>(i)]))
            x += WidthOf(hwnd, bar, bar.buttons[static_cast<size_t>(i)]);
    int top = (client.bottom - bar.buttonSize.cy) / 2;
    const Button& button = bar.buttons[static_cast<size_t>(index)];
    rect = RECT{x, top, x + (Hidden(button) ? 0 : WidthOf(hwnd, bar, button)), top + bar.buttonSize.cy};
    return true;
}

int ButtonAt(HWND hwnd, const CommandBar& bar, POINT point) {
    for (int i = 0; i < static_cast<int>(bar.buttons.size()); ++i) {
        RECT rect;
        const Button& button = bar.buttons[static_cast<size_t>(i)];
        if (ButtonRect(hwnd, bar, i, rect) && PtInRect(&rect, point) && !(button.data.fsStyle & TBSTYLE_SEP))
            return i;
    }
    return -1;
}

int IndexOfCommand(const CommandBar& bar, int command) {
    for (int i = 0; i < static_cast<int>(bar.buttons.size()); ++i) {
        const Button& button = bar.buttons[static_cast<size_t>(i)];
        if (!button.popup && !(button.data.fsStyle & TBSTYLE_SEP) && button.data.idCommand == command)
            return i;
    }
    return -1;
}

bool Enabled(const Button& button) {
    return button.popup || (button.data.fsState & TBSTATE_ENABLED);
}

int AddBitmap(CommandBar& bar, int count, const TBADDBITMAP* add) {
    if (!add)
        return -1;
    if (!bar.images) {
        bar.images = ImageList_Create(bar.bitmapSize.cx, bar.bitmapSize.cy, ILC_MASK | ILC_COLOR16, count, 4);
        if (!bar.images)
            return -1;
    }
    HBITMAP bitmap = nullptr;
    bool owned = false;
    if (add->hInst) {
        bitmap = LoadBitmapW(add->hInst, MAKEINTRESOURCE(add->nID));
        owned = true;
    } else {
        bitmap = reinterpret_cast<HBITMAP>(add->nID);
    }
    if (!bitmap)
        return -1;
    int first = ImageList_AddMasked(bar.images, bitmap, kTransparent);
    if (owned)
        DeleteObject(bitmap);
    return first;
}

void Insert(HWND hwnd, CommandBar& bar, int index, const Button& button) {
    index = std::clamp(index, 0, static_cast<int>(bar.buttons.size()));
    bar.buttons.insert(bar.buttons.begin() + index, button);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void Paint(HWND hwnd, const CommandBar& bar) {
    user::ScopedPaint paint(hwnd, bar.font);
    if (!paint)
        return;
    HDC dc = paint.Dc();
    const RECT& client = paint.Client();
    FillSolid(dc, client, GetSysColor(COLOR_BTNFACE));
    RECT line{client.left, client.bottom - 1, client.right, client.bottom};
    FillSolid(dc, line, GetSysColor(COLOR_BTNSHADOW));
    for (int i = 0; i < static_cast<int>(bar.buttons.size()); ++i) {
        const Button& button = bar.buttons[static_cast<size_t>(i)];
        RECT rect;
        if (Hidden(button) || (button.data.fsStyle & TBSTYLE_SEP) || !ButtonRect(hwnd, bar, i, rect))
            continue;
        bool down = i == bar.pressed || (button.data.fsState & (TBSTATE_PRESSED | TBSTATE_CHECKED));
        if (button.popup) {
            COLORREF text = GetSysColor(COLOR_BTNTEXT);
            if (down) {
                FillSolid(dc, rect, GetSysColor(COLOR_HIGHLIGHT));
                text = GetSysColor(COLOR_HIGHLIGHTTEXT);
            }
            DrawCellText(dc, button.text, rect, 2, text);
            continue;
        }
        if (down) {
            RECT edge = rect;
            DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
        }
        if (bar.images && button.data.iBitmap >= 0) {
            int x = rect.left + (rect.right - rect.left - bar.bitmapSize.cx) / 2 + (down ? 1 : 0);
            int y = rect.top + (rect.bottom - rect.top - bar.bitmapSize.cy) / 2 + (down ? 1 : 0);
            ImageList_Draw(bar.images, button.data.iBitmap, dc, x, y,
                           Enabled(button) ? ILD_NORMAL : ILD_BLEND50);
        }
    }
}

void Press(HWND hwnd, const Ptr& bar, POINT point) {
    int index = ButtonAt(hwnd, *bar, point);
    if (index < 0 || !Enabled(bar->buttons[static_cast<size_t>(index)]))
        return;
    bar->pressed = index;
    InvalidateRect(hwnd, nullptr, FALSE);
    const Button button = bar->buttons[static_cast<size_t>(index)];
    if (!button.popup) {
        SetCapture(hwnd);
        return;
    }
    RECT rect;
    ButtonRect(hwnd, *bar, index, rect);
    POINT corner{rect.left, rect.bottom};
    ClientToScreen(hwnd, &corner);
    UpdateWindow(hwnd);
    TrackPopupMenu(button.popup, TPM_LEFTALIGN | TPM_TOPALIGN, corner.x, corner.y, 0, GetParent(hwnd),
                   nullptr);
    if (bar->destroyed)
        return;
    bar->pressed = -1;
    InvalidateRect(hwnd, nullptr, FALSE);
}

void Release(HWND hwnd, const Ptr& bar, POINT point) {
    int index = bar->pressed;
    if (index < 0)
        return;
    bar->pressed = -1;
    if (GetCapture() == hwnd)
        ReleaseCapture();
    InvalidateRect(hwnd, nullptr, FALSE);
    if (ButtonAt(hwnd, *bar, point) != index || index >= static_cast<int>(bar->buttons.size()))
        return;
    Button& button = bar->buttons[static_cast<size_t>(index)];
    if (button.data.fsStyle & TBSTYLE_CHECK)
        button.data.fsState ^= TBSTATE_CHECKED;
    SendMessageW(GetParent(hwnd), WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(button.data.idCommand), BN_CLICKED),
                 reinterpret_cast<LPARAM>(hwnd));
}

LRESULT CommandBarMessage(HWND hwnd, const Ptr& bar, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCDESTROY:
        if (bar->images)
            ImageList_Destroy(bar->images);
        if (bar->menu)
            DestroyMenu(bar->menu);
        DetachState<CommandBar>(hwnd);
        return 0;
    case WM_SETFONT:
        bar->font = reinterpret_cast<HFONT>(wParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(bar->font);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *bar);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        Press(hwnd, bar, PointFromLParam(lParam));
        return 0;
    case WM_LBUTTONUP:
        Release(hwnd, bar, PointFromLParam(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd && bar->pressed >= 0) {
            bar->pressed = -1;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case TB_BUTTONSTRUCTSIZE:
        return 0;
    case TB_SETBITMAPSIZE:
        if (bar->images)
            return FALSE;
        bar->bitmapSize = SIZE{LOWORD(lParam), HIWORD(lParam)};
        return TRUE;
    case TB_SETBUTTONSIZE:
        bar->buttonSize = SIZE{LOWORD(lParam), HIWORD(lParam)};
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case TB_ADDBITMAP:
        return AddBitmap(*bar, static_cast<int>(wParam), reinterpret_cast<const TBADDBITMAP*>(lParam));
    case TB_ADDBUTTONSW: {
        auto* buttons = reinterpret_cast<const TBBUTTON*>(lParam);
        if (!buttons)
            return FALSE;
        for (WPARAM i = 0; i < wParam; ++i) {
            Button button;
            button.data = buttons[i];
            bar->buttons.push_back(button);
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case TB_BUTTONCOUNT:
        return static_cast<LRESULT>(bar->buttons.size());
    case TB_GETBUTTON: {
        auto* out = reinterpret_cast<TBBUTTON*>(lParam);
        if (!out || wParam >= bar->buttons.size())
            return FALSE;
        *out = bar->buttons[wParam].data;
        return TRUE;
    }
    case TB_GETITEMRECT: {
        auto* out = reinterpret_cast<RECT*>(lParam);
        RECT rect;
        if (!out || !ButtonRect(hwnd, *bar, static_cast<int>(wParam), rect))
            return FALSE;
        *out = rect;
        return TRUE;
    }
    case TB_COMMANDTOINDEX:
        return IndexOfCommand(*bar, static_cast<int>(wParam));
    case TB_ENABLEBUTTON:
    case TB_PRESSBUTTON: {
        int index = IndexOfCommand(*bar, static_cast<int>(wParam));
        if (index < 0)
            return FALSE;
        BYTE flag = message == TB_ENABLEBUTTON ? TBSTATE_ENABLED : TBSTATE_PRESSED;
        BYTE& state = bar->buttons[static_cast<size_t>(index)].data.fsState;
        state = LOWORD(lParam) ? (state | flag) : (state & ~flag);
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case TB_ISBUTTONENABLED: {
        int index = IndexOfCommand(*bar, static_cast<int>(wParam));
        return index >= 0 && (bar->buttons[static_cast<size_t>(index)].data.fsState & TBSTATE_ENABLED);
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

const user::SystemClass kCommandBarClass({CS_DBLCLKS, StateProc<CommandBar, CommandBarMessage>, 0,
                                          sizeof(void*), nullptr, nullptr, nullptr, nullptr, nullptr,
                                          TOOLBARCLASSNAMEW});

} // namespace
} // namespace commctrl

using namespace commctrl;

HWND CommandBar_Create(HINSTANCE hInst, HWND hwndParent, int idCmdBar) {
    RECT client{};
    if (!hwndParent || !GetClientRect(hwndParent, &client))
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, HWND{nullptr});
    return CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                           client.right, kBarHeight, hwndParent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(idCmdBar)), hInst, nullptr);
}

BOOL CommandBar_InsertMenubar(HWND hwndCB, HINSTANCE hInst, WORD idMenu, WORD iButton) {
    auto bar = StateOfClass<CommandBar>(hwndCB, TOOLBARCLASSNAMEW);
    if (!bar)
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    HMENU menu = LoadMenuW(hInst, MAKEINTRESOURCE(idMenu));
    if (!menu)
        return FALSE;
    if (bar->menu)
        DestroyMenu(bar->menu);
    bar->menu = menu;
    int at = iButton;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        HMENU popup = GetSubMenu(menu, i);
        if (!popup)
            continue;
        WCHAR text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        Button button;
        button.popup = popup;
        button.text = text;
        button.data.iBitmap = -1;
        button.data.fsState = TBSTATE_ENABLED;
        Insert(hwndCB, *bar, at++, button);
    }
    return TRUE;
}

HMENU CommandBar_GetMenu(HWND hwndCB, WORD) {
    auto bar = StateOfClass<CommandBar>(hwndCB, TOOLBARCLASSNAMEW);
    return bar ? bar->menu : nullptr;
}

int CommandBar_AddBitmap(HWND hwndCB, HINSTANCE hInst, int idBitmap, int iNumImages, int iImageWidth,
                         int iImageHeight) {
    if (!StateOfClass<CommandBar>(hwndCB, TOOLBARCLASSNAMEW))
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, -1);
    SendMessageW(hwndCB, TB_SETBITMAPSIZE, 0, MAKELPARAM(iImageWidth, iImageHeight));
    TBADDBITMAP add{hInst, static_cast<UINT_PTR>(idBitmap)};
    return static_cast<int>(
        SendMessageW(hwndCB, TB_ADDBITMAP, static_cast<WPARAM>(iNumImages), reinterpret_cast<LPARAM>(&add)));
}

BOOL CommandBar_AddButtons(HWND hwndCB, UINT uNumButtons, LPCTBBUTTON lpButtons) {
    return static_cast<BOOL>(
        SendMessageW(hwndCB, TB_ADDBUTTONSW, uNumButtons, reinterpret_cast<LPARAM>(lpButtons)));
}

BOOL CommandBar_InsertButton(HWND hwndCB, int iButton, LPCTBBUTTON lpButton) {
    auto bar = StateOfClass<CommandBar>(hwndCB, TOOLBARCLASSNAMEW);
    if (!bar || !lpButton)
        return FALSE;
    Button button;
    button.data = *lpButton;
    Insert(hwndCB, *bar, iButton, button);
    return TRUE;
}

int CommandBar_Height(HWND hwndCB) {
    RECT rect{};
    if (!GetWindowRect(hwndCB, &rect))
        return 0;
    return rect.bottom - rect.top;
}

BOOL CommandBar_Show(HWND hwndCB, BOOL fShow) {
    if (!IsWindow(hwndCB))
        return FALSE;
    ShowWindow(hwndCB, fShow ? SW_SHOWNA : SW_HIDE);
    return TRUE;
}

BOOL CommandBar_IsVisible(HWND hwndCB) {
    return IsWindowVisible(hwndCB);
}

void CommandBar_Destroy(HWND hwndCB) {
    DestroyWindow(hwndCB);
}
