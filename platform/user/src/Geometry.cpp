#include <algorithm>

#include "Internal.h"
#include "kernel/Errors.h"
#include "user/Paint.h"

namespace user::detail {

namespace {

// Moves w in its siblings' z-order; true when the order changed.
bool Reorder(Window* w, HWND insertAfter) {
    Window* parent = w->parent;
    if (!parent)
        return false;
    auto& siblings = parent->children;
    auto before = siblings;
    bool top = IsDesktop(parent);
    if (top && insertAfter == HWND_TOPMOST)
        w->exStyle |= WS_EX_TOPMOST;
    if (top && insertAfter == HWND_NOTOPMOST)
        w->exStyle &= ~WS_EX_TOPMOST;
    std::erase(siblings, w);
    auto groupStart = siblings.begin();
    if (top && !(w->exStyle & WS_EX_TOPMOST))
        while (groupStart != siblings.end() && ((*groupStart)->exStyle & WS_EX_TOPMOST))
            ++groupStart;
    auto groupEnd = groupStart;
    if (top && (w->exStyle & WS_EX_TOPMOST))
        while (groupEnd != siblings.end() && ((*groupEnd)->exStyle & WS_EX_TOPMOST))
            ++groupEnd;
    else
        groupEnd = siblings.end();
    if (insertAfter == HWND_BOTTOM) {
        siblings.insert(groupEnd, w);
    } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        siblings.insert(groupStart, w);
    } else {
        Window* after = Peek(insertAfter);
        auto it = after ? std::find(siblings.begin(), siblings.end(), after) : siblings.end();
        if (it == siblings.end())
            siblings.insert(groupStart, w);
        else
            siblings.insert(it + 1, w);
    }
    return siblings != before;
}

// Runs update on *out and the window of hWnd under the window lock; the checks the geometry queries share.
template <class T, class Update>
BOOL UpdateFromWindow(HWND hWnd, T* out, Update update) {
    if (!out)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    update(w, *out);
    return TRUE;
}

} // namespace

} // namespace user::detail

using namespace user::detail;

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    if (IsDesktop(w))
        return kernel::Fail(ERROR_ACCESS_DENIED, FALSE);
    auto keep = w->shared_from_this();
    WINDOWPOS pos{hWnd, hWndInsertAfter, X, Y, cx, cy, uFlags};
    if (uFlags & SWP_NOMOVE) {
        pos.x = w->rect.left;
        pos.y = w->rect.top;
    }
    if (uFlags & SWP_NOSIZE) {
        pos.cx = w->rect.right - w->rect.left;
        pos.cy = w->rect.bottom - w->rect.top;
    }
    if (!(uFlags & SWP_NOSENDCHANGING)) {
        Send(w, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        if (w->destroyed)
            return FALSE;
    }
    UINT flags = pos.flags;
    pos.cx = std::max(0, pos.cx);
    pos.cy = std::max(0, pos.cy);
    RECT oldRect = w->rect;
    RECT oldClient = ClientScreenRect(w);
    bool wasShown = IsDrawable(w);
    gdi::Region oldVisible = wasShown ? VisibleRegion(w, Part::Whole) : gdi::Region();

    RECT newRect{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
    bool moved = newRect.left != oldRect.left || newRect.top != oldRect.top;
    bool sized = (newRect.right - newRect.left) != (oldRect.right - oldRect.left) ||
                 (newRect.bottom - newRect.top) != (oldRect.bottom - oldRect.top);
    w->rect = newRect;
    bool reordered = !(flags & SWP_NOZORDER) && Reorder(w, pos.hwndInsertAfter);
    bool visibilityChanged = false;
    if ((flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE)) {
        w->style |= WS_VISIBLE;
        visibilityChanged = true;
    } else if ((flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE)) {
        w->style &= ~WS_VISIBLE;
        visibilityChanged = true;
        ReleaseCaptureIfInside(w);
    }
    if (moved || sized || reordered || visibilityChanged || (flags & SWP_FRAMECHANGED))
        BumpEpoch();
    bool nowShown = IsDrawable(w);
    if (!(flags & SWP_NOREDRAW)) {
        Window* root = IsTopLevel(w) ? Desktop() : w->parent;
        if (wasShown) {
            gdi::Region exposed = oldVisible;
            if (nowShown)
                exposed.Subtract(gdi::Region(WindowScreenRect(w)));
            if (reordered && nowShown)
                exposed.UniteWith(gdi::Region::Combine(oldVisible, gdi::Region(WindowScreenRect(w)),
                                                       gdi::Region::Operation::And));
            if (!exposed.IsEmpty())
                InvalidateScreenRegion(exposed, root, w);
        }
        if (nowShown) {
            UINT classStyle = w->windowClass->info.style;
            bool whole = !wasShown || moved || reordered || (flags & SWP_FRAMECHANGED) ||
                         (sized && (classStyle & (CS_HREDRAW | CS_VREDRAW)));
            if (whole) {
                InvalidateWhole(w, true);
            } else if (sized) {
                // Only what the window gained needs painting, and its frame.
                RECT newClient = ClientScreenRect(w);
                gdi::Region gained(newClient);
                gained.Subtract(gdi::Region(oldClient));
                gained.Offset(-newClient.left, -newClient.top);
                if (!gained.IsEmpty())
                    InvalidateClient(w, gained, true);
                w->frameDirty = true;
            }
        }
    }
    if (IsTopLevel(w) && nowShown && !(flags & SWP_NOACTIVATE) &&
        (!(flags & SWP_NOZORDER) || (flags & SWP_SHOWWINDOW)) && !(w->style & WS_DISABLED) &&
        !(w->exStyle & WS_EX_NOACTIVATE))
        Activate(w, WA_ACTIVE);
    if (visibilityChanged && !nowShown) {
        Window* active = Peek(g_active);
        if (active && IsDescendant(w, active))
            ActivateNext(w);
    }
    if (w->destroyed)
        return TRUE;
    WINDOWPOS done = pos;
    done.flags = flags;
    if (!moved)
        done.flags |= SWP_NOMOVE;
    if (!sized)
        done.flags |= SWP_NOSIZE;
    Send(w, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&done));
    return TRUE;
}

BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight,
                        SWP_NOZORDER | SWP_NOACTIVATE | (bRepaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hWnd) {
    return SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
    return UpdateFromWindow(hWnd, lpRect, [](Window* w, RECT& rect) { rect = WindowScreenRect(w); });
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
    return UpdateFromWindow(hWnd, lpRect, [](Window* w, RECT& rect) {
        SIZE client = ClientSize(w);
        rect = RECT{0, 0, client.cx, client.cy};
    });
}

BOOL AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL, DWORD dwExStyle) {
    if (!lpRect)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    RECT insets = FrameInsets(dwStyle, dwExStyle);
    lpRect->left -= insets.left;
    lpRect->top -= insets.top;
    lpRect->right += insets.right;
    lpRect->bottom += insets.bottom;
    return TRUE;
}

BOOL AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu) {
    return AdjustWindowRectEx(lpRect, dwStyle, bMenu, 0);
}

int MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
    Locked lock;
    POINT from{0, 0};
    POINT to{0, 0};
    if (hWndFrom) {
        Window* w = Find(hWndFrom);
        if (!w)
            return 0;
        from = ClientScreenOrigin(w);
    }
    if (hWndTo) {
        Window* w = Find(hWndTo);
        if (!w)
            return 0;
        to = ClientScreenOrigin(w);
    }
    int dx = from.x - to.x;
    int dy = from.y - to.y;
    for (UINT i = 0; lpPoints && i < cPoints; ++i) {
        lpPoints[i].x += dx;
        lpPoints[i].y += dy;
    }
    SetLastError(0);
    return MAKELONG(static_cast<WORD>(static_cast<SHORT>(dx)), static_cast<WORD>(static_cast<SHORT>(dy)));
}

BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    return UpdateFromWindow(hWnd, lpPoint, [](Window* w, POINT& point) {
        POINT origin = ClientScreenOrigin(w);
        point.x += origin.x;
        point.y += origin.y;
    });
}

BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    return UpdateFromWindow(hWnd, lpPoint, [](Window* w, POINT& point) {
        POINT origin = ClientScreenOrigin(w);
        point.x -= origin.x;
        point.y -= origin.y;
    });
}

HWND WindowFromPoint(POINT Point) {
    Locked lock;
    Window* w = HitTest(Point);
    return w ? w->handle : nullptr;
}

HWND ChildWindowFromPointEx(HWND hwnd, POINT pt, UINT flags) {
    Locked lock;
    Window* parent = Find(hwnd);
    if (!parent)
        return nullptr;
    RECT client = ClientScreenRect(parent);
    POINT screen{pt.x + client.left, pt.y + client.top};
    RECT whole = WindowScreenRect(parent);
    if (!PtInRect(&whole, screen))
        return nullptr;
    for (Window* child : parent->children) {
        if ((flags & CWP_SKIPINVISIBLE) && !(child->style & WS_VISIBLE))
            continue;
        if ((flags & CWP_SKIPDISABLED) && (child->style & WS_DISABLED))
            continue;
        if ((flags & CWP_SKIPTRANSPARENT) && (child->exStyle & WS_EX_TRANSPARENT))
            continue;
        RECT r = WindowScreenRect(child);
        if (PtInRect(&r, screen))
            return child->handle;
    }
    return parent->handle;
}

HWND ChildWindowFromPoint(HWND hWndParent, POINT Point) {
    return ChildWindowFromPointEx(hWndParent, Point, CWP_ALL);
}

// --- rectangles ----------------------------------------------------------------------------------------

BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
    if (!lprc)
        return FALSE;
    *lprc = RECT{xLeft, yTop, xRight, yBottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT lprc) {
    return SetRect(lprc, 0, 0, 0, 0);
}

BOOL CopyRect(LPRECT lprcDst, const RECT* lprcSrc) {
    if (!lprcDst || !lprcSrc)
        return FALSE;
    *lprcDst = *lprcSrc;
    return TRUE;
}

BOOL InflateRect(LPRECT lprc, int dx, int dy) {
    if (!lprc)
        return FALSE;
    lprc->left -= dx;
    lprc->top -= dy;
    lprc->right += dx;
    lprc->bottom += dy;
    return TRUE;
}

BOOL OffsetRect(LPRECT lprc, int dx, int dy) {
    if (!lprc)
        return FALSE;
    lprc->left += dx;
    lprc->right += dx;
    lprc->top += dy;
    lprc->bottom += dy;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* lprc) {
    return !lprc || lprc->right <= lprc->left || lprc->bottom <= lprc->top ? TRUE : FALSE;
}

BOOL IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (!lprcDst || !lprcSrc1 || !lprcSrc2)
        return FALSE;
    RECT r{std::max(lprcSrc1->left, lprcSrc2->left), std::max(lprcSrc1->top, lprcSrc2->top),
           std::min(lprcSrc1->right, lprcSrc2->right), std::min(lprcSrc1->bottom, lprcSrc2->bottom)};
    if (IsRectEmpty(&r)) {
        *lprcDst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *lprcDst = r;
    return TRUE;
}

BOOL UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (!lprcDst || !lprcSrc1 || !lprcSrc2)
        return FALSE;
    bool empty1 = IsRectEmpty(lprcSrc1);
    bool empty2 = IsRectEmpty(lprcSrc2);
    if (empty1 && empty2) {
        *lprcDst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (empty1) {
        *lprcDst = *lprcSrc2;
        return TRUE;
    }
    if (empty2) {
        *lprcDst = *lprcSrc1;
        return TRUE;
    }
    *lprcDst = RECT{std::min(lprcSrc1->left, lprcSrc2->left), std::min(lprcSrc1->top, lprcSrc2->top),
                    std::max(lprcSrc1->right, lprcSrc2->right), std::max(lprcSrc1->bottom, lprcSrc2->bottom)};
    return TRUE;
}

BOOL SubtractRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (!lprcDst || !lprcSrc1 || !lprcSrc2)
        return FALSE;
    RECT r = *lprcSrc1;
    RECT cut;
    if (IntersectRect(&cut, lprcSrc1, lprcSrc2)) {
        // Only a cut across a whole side leaves a rectangle.
        if (cut.top == r.top && cut.bottom == r.bottom) {
            if (cut.left == r.left)
                r.left = cut.right;
            else if (cut.right == r.right)
                r.right = cut.left;
        } else if (cut.left == r.left && cut.right == r.right) {
            if (cut.top == r.top)
                r.top = cut.bottom;
            else if (cut.bottom == r.bottom)
                r.bottom = cut.top;
        }
    }
    if (IsRectEmpty(&r)) {
        *lprcDst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *lprcDst = r;
    return TRUE;
}

BOOL EqualRect(const RECT* lprc1, const RECT* lprc2) {
    if (!lprc1 || !lprc2)
        return FALSE;
    return lprc1->left == lprc2->left && lprc1->top == lprc2->top && lprc1->right == lprc2->right &&
                   lprc1->bottom == lprc2->bottom
               ? TRUE
               : FALSE;
}

BOOL PtInRect(const RECT* lprc, POINT pt) {
    if (!lprc)
        return FALSE;
    return pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom ? TRUE
                                                                                                : FALSE;
}
