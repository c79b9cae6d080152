// The dialog manager: keyboard navigation between a dialog's controls.

#include <algorithm>

#include "Internal.h"
#include "kernel/Errors.h"

namespace user::detail {

namespace {

bool IsUsable(const Window* w) {
    return (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
}

// The dialog's child that holds w (w itself when it is a child).
Window* ChildHolding(Window* dialog, Window* w) {
    while (w && w->parent != dialog)
        w = w->parent;
    return w;
}

} // namespace

} // namespace user::detail

using namespace user::detail;

HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
    Locked lock;
    Window* dialog = Find(hDlg);
    if (!dialog)
        return nullptr;
    auto& children = dialog->children;
    int count = static_cast<int>(children.size());
    if (count == 0)
        return nullptr;
    Window* current = hCtl ? ChildHolding(dialog, Peek(hCtl)) : nullptr;
    int start = bPrevious ? count : -1;
    if (current) {
        auto it = std::find(children.begin(), children.end(), current);
        start = static_cast<int>(it - children.begin());
    }
    int step = bPrevious ? -1 : 1;
    for (int k = 1; k <= count; ++k) {
        int i = ((start + step * k) % count + count) % count;
        Window* c = children[static_cast<size_t>(i)];
        if (c == current)
            break;
        if (IsUsable(c) && (c->style & WS_TABSTOP))
            return c->handle;
    }
    return current ? current->handle : nullptr;
}

HWND GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
    Locked lock;
    Window* dialog = Find(hDlg);
    if (!dialog)
        return nullptr;
    auto& children = dialog->children;
    if (children.empty())
        return nullptr;
    Window* current = hCtl ? ChildHolding(dialog, Peek(hCtl)) : children.front();
    auto it = std::find(children.begin(), children.end(), current);
    if (it == children.end())
        return kernel::Fail(ERROR_INVALID_PARAMETER, nullptr);
    size_t index = static_cast<size_t>(it - children.begin());
    size_t first = index;
    while (first > 0 && !(children[first]->style & WS_GROUP))
        --first;
    size_t last = index + 1;
    while (last < children.size() && !(children[last]->style & WS_GROUP))
        ++last;
    size_t size = last - first;
    for (size_t k = 1; k < size; ++k) {
        size_t offset = bPrevious ? (index - first + size - k) % size : (index - first + k) % size;
        Window* c = children[first + offset];
        if (IsUsable(c))
            return c->handle;
    }
    return current->handle;
}

BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg) {
    if (!lpMsg)
        return FALSE;
    Locked lock;
    Window* dialog = Peek(hDlg);
    Window* target = Peek(lpMsg->hwnd);
    if (!dialog || !target || !IsDescendant(dialog, target))
        return FALSE;
    auto keepDialog = dialog->shared_from_this();
    if (lpMsg->message == WM_KEYDOWN || lpMsg->message == WM_CHAR) {
        auto keep = target->shared_from_this();
        LRESULT code = Send(target, WM_GETDLGCODE, lpMsg->wParam, reinterpret_cast<LPARAM>(lpMsg));
        if (target->destroyed || dialog->destroyed)
            return TRUE;
        if (!(code & DLGC_WANTMESSAGE)) {
            if (lpMsg->message == WM_KEYDOWN) {
                switch (lpMsg->wParam) {
                case VK_TAB:
                    if (code & DLGC_WANTTAB)
                        break;
                    if (Window* next =
                            Peek(GetNextDlgTabItem(hDlg, target == dialog ? nullptr : target->handle,
                                                   IsKeyDown(VK_SHIFT) ? TRUE : FALSE)))
                        SetFocusTo(next);
                    return TRUE;
                case VK_LEFT:
                case VK_UP:
                case VK_RIGHT:
                case VK_DOWN: {
                    if (code & DLGC_WANTARROWS)
                        break;
                    if (target == dialog)
                        return TRUE;
                    bool previous = lpMsg->wParam == VK_LEFT || lpMsg->wParam == VK_UP;
                    Window* next = Peek(GetNextDlgGroupItem(hDlg, target->handle, previous ? TRUE : FALSE));
                    if (next && next != target) {
                        SetFocusTo(next);
                        if (!next->destroyed && (Send(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
                            Send(next, BM_CLICK, 0, 0);
                    }
                    return TRUE;
                }
                case VK_RETURN: {
                    if (target != dialog && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
                        if (!(target->style & WS_DISABLED))
                            Send(target, BM_CLICK, 0, 0);
                        return TRUE;
                    }
                    LRESULT defId = Send(dialog, DM_GETDEFID, 0, 0);
                    int id = HIWORD(defId) == DC_HASDEFID ? LOWORD(defId) : IDOK;
                    HWND control = GetDlgItem(hDlg, id);
                    if (!control || IsWindowEnabled(control))
                        Send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(control));
                    return TRUE;
                }
                case VK_ESCAPE: {
                    HWND control = GetDlgItem(hDlg, IDCANCEL);
                    if (!control || IsWindowEnabled(control))
                        Send(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(control));
                    return TRUE;
                }
                default:
                    break;
                }
            } else if (!(code & DLGC_WANTCHARS)) {
                return TRUE; // a character the control does not take
            }
        }
    }
    TranslateMessage(lpMsg);
    DispatchMessageW(lpMsg);
    return TRUE;
}
