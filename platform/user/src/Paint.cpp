#include <algorithm>
#include <array>

#include "Internal.h"
#include "gdi/Gdi.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"
#include "user/Paint.h"

namespace user::detail {

namespace {

struct LiveDC {
    enum class Kind { Client, Whole, Paint, Screen };
    HDC hdc;
    HWND hwnd;
    Kind kind;
    gdi::Region paint; // Paint: the painted area in client coordinates
};

std::vector<LiveDC>& LiveDCs() {
    static std::vector<LiveDC>* dcs = new std::vector<LiveDC>;
    return *dcs;
}

gdi::Region Intersection(const gdi::Region& a, const RECT& b) {
    gdi::Region result = a;
    result.IntersectWith(b);
    return result;
}

bool HasFrame(const Window* w) {
    RECT insets = FrameInsets(w->style, w->exStyle);
    return insets.left || insets.top || insets.right || insets.bottom;
}

RECT ClientBox(const Window* w) {
    SIZE client = ClientSize(w);
    return RECT{0, 0, client.cx, client.cy};
}

// Where a DC of a window draws: its origin and its visible region, both in screen coordinates.
bool Placement(const LiveDC& dc, POINT& origin, gdi::Region& region) {
    Window* w = Peek(dc.hwnd);
    if (!w) {
        origin = POINT{0, 0};
        region = gdi::Region();
        return true;
    }
    switch (dc.kind) {
    case LiveDC::Kind::Client:
        origin = ClientScreenOrigin(w);
        region = VisibleRegion(w, Part::Client);
        return true;
    case LiveDC::Kind::Whole: {
        RECT r = WindowScreenRect(w);
        origin = POINT{r.left, r.top};
        region = VisibleRegion(w, Part::Whole);
        return true;
    }
    case LiveDC::Kind::Paint: {
        origin = ClientScreenOrigin(w);
        region = dc.paint;
        region.Offset(origin.x, origin.y);
        region.IntersectWith(VisibleRegion(w, Part::Client));
        return true;
    }
    case LiveDC::Kind::Screen:
        return false;
    }
    return false;
}

void Place(LiveDC& dc) {
    POINT origin;
    gdi::Region region;
    if (Placement(dc, origin, region))
        gdi::SetSurfaceDCPlacement(dc.hdc, origin, region);
}

HDC MakeDC(Window* w, LiveDC::Kind kind, gdi::Region paint = {}) {
    LiveDC dc{nullptr, w ? w->handle : nullptr, kind, std::move(paint)};
    POINT origin{0, 0};
    gdi::Region region(ScreenRect());
    Placement(dc, origin, region);
    dc.hdc = gdi::CreateSurfaceDC(origin, region);
    if (!dc.hdc)
        return nullptr;
    LiveDCs().push_back(std::move(dc));
    return LiveDCs().back().hdc;
}

bool DropDC(HDC hdc, gdi::Region* painted) {
    auto& dcs = LiveDCs();
    auto it = std::find_if(dcs.begin(), dcs.end(), [&](const LiveDC& dc) { return dc.hdc == hdc; });
    if (it == dcs.end())
        return false;
    if (painted && it->kind == LiveDC::Kind::Paint && IsWaitCursorShown()) {
        if (Window* w = Peek(it->hwnd)) {
            POINT origin = ClientScreenOrigin(w);
            *painted = it->paint;
            painted->Offset(origin.x, origin.y);
        }
    }
    gdi::DeleteSurfaceDC(hdc);
    dcs.erase(it);
    return true;
}

// Invalidates the children of w under a region of w's client coordinates.
void InvalidateChildren(Window* w, const gdi::Region& region, bool erase) {
    for (Window* child : w->children) {
        if (!(child->style & WS_VISIBLE))
            continue;
        if (!region.Intersects(child->rect))
            continue;
        gdi::Region part = Intersection(region, child->rect);
        RECT insets = FrameInsets(child->style, child->exStyle);
        part.Offset(-child->rect.left - insets.left, -child->rect.top - insets.top);
        RECT client = ClientBox(child);
        if (HasFrame(child)) {
            gdi::Region frame = part;
            frame.Subtract(gdi::Region(client));
            if (!frame.IsEmpty())
                child->frameDirty = true;
        }
        InvalidateClient(child, part, erase);
    }
}

void PaintTree(Window* w) {
    if (!IsDrawable(w))
        return;
    if (NeedsPaint(w)) {
        MSG msg{w->handle, WM_PAINT, 0, 0, 0, POINT{0, 0}};
        DispatchMessageW(&msg);
    }
    // The children by handle, bottom first: painting one may destroy or move the others.
    constexpr size_t kOnStack = 64;
    std::array<HWND, kOnStack> local;
    std::vector<HWND> many;
    HWND* children = local.data();
    if (w->children.size() > kOnStack) {
        many.resize(w->children.size());
        children = many.data();
    }
    size_t count = 0;
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it)
        children[count++] = (*it)->handle;
    for (size_t i = 0; i < count; ++i)
        if (Window* c = Peek(children[i]))
            PaintTree(c);
}

HFONT CaptionFont() {
    static HFONT font = [] {
        LOGFONTW logFont{};
        logFont.lfHeight = -12;
        logFont.lfWeight = FW_BOLD;
        const char16_t face[] = u"MS Shell Dlg";
        std::copy(std::begin(face), std::end(face), logFont.lfFaceName);
        return CreateFontIndirectW(&logFont);
    }();
    return font;
}

void Line(HDC hdc, int left, int top, int right, int bottom, int color) {
    RECT r{left, top, right, bottom};
    FillRect(hdc, &r, GetSysColorBrush(color));
}

} // namespace

void EnsurePlatformFonts() {
    CaptionFont();
}

HDC ScreenDC() {
    return gdi::CreateSurfaceDC(POINT{0, 0}, gdi::Region(ScreenRect()));
}

void RefreshLiveDCs() {
    for (LiveDC& dc : LiveDCs())
        Place(dc);
}

void ForgetDCsOf(Window* w) {
    for (LiveDC& dc : LiveDCs())
        if (dc.hwnd == w->handle)
            gdi::SetSurfaceDCPlacement(dc.hdc, POINT{0, 0}, gdi::Region());
}

void InvalidateClient(Window* w, const gdi::Region& region, bool erase) {
    if (!IsDrawable(w))
        return;
    gdi::Region part = Intersection(region, ClientBox(w));
    if (part.IsEmpty())
        return;
    if (w->update.IsEmpty())
        w->update = part;
    else
        w->update.UniteWith(part);
    if (erase)
        w->erase = true;
    if (!(w->style & WS_CLIPCHILDREN))
        InvalidateChildren(w, part, erase);
}

void InvalidateWhole(Window* w, bool erase) {
    if (!IsDrawable(w))
        return;
    if (HasFrame(w))
        w->frameDirty = true;
    RECT client = ClientBox(w);
    if (!IsRectEmpty(&client)) {
        w->update = gdi::Region(client);
        if (erase)
            w->erase = true;
    }
    for (Window* child : w->children)
        InvalidateWhole(child, erase);
}

void InvalidateScreenRegion(const gdi::Region& screenRegion, Window* root, Window* skip) {
    if (!root || root == skip || !IsDrawable(root))
        return;
    RECT whole = WindowScreenRect(root);
    if (!screenRegion.Intersects(whole))
        return;
    RECT client = ClientScreenRect(root);
    gdi::Region part = gdi::Region::Combine(screenRegion, gdi::Region(client), gdi::Region::Operation::And);
    if (!part.IsEmpty()) {
        part.Offset(-client.left, -client.top);
        root->update.UniteWith(part);
        root->erase = true;
    }
    if (HasFrame(root)) {
        gdi::Region frame =
            gdi::Region::Combine(screenRegion, gdi::Region(whole), gdi::Region::Operation::And);
        frame.Subtract(gdi::Region(client));
        if (!frame.IsEmpty())
            root->frameDirty = true;
    }
    for (Window* child : root->children)
        InvalidateScreenRegion(screenRegion, child, skip);
}

bool NeedsPaint(const Window* w) {
    return !w->update.IsEmpty() || w->frameDirty;
}

Window* FindPaintTarget(const ThreadState& thread, Window* within) {
    Window* root = within ? within : DesktopIfExists();
    if (!root || !(root->style & WS_VISIBLE) || !root->redraw || root->destroyed)
        return nullptr;
    if (within && !IsDrawable(within))
        return nullptr;
    if (root->thread.get() == &thread && NeedsPaint(root))
        return root;
    for (auto it = root->children.rbegin(); it != root->children.rend(); ++it)
        if (Window* found = FindPaintTarget(thread, *it))
            return found;
    return nullptr;
}

void PaintNow(Window* w) {
    PaintTree(w);
}

void DrawFrame(Window* w, HDC hdc) {
    RECT r{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    bool caption = (w->style & WS_CAPTION) == WS_CAPTION;
    if (caption || (w->style & WS_DLGFRAME) || (w->style & WS_THICKFRAME) ||
        (w->exStyle & WS_EX_DLGMODALFRAME)) {
        FrameRect(hdc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
        FrameRect(hdc, &r, GetSysColorBrush(COLOR_BTNFACE));
        InflateRect(&r, -1, -1);
    } else if (w->style & WS_BORDER) {
        FrameRect(hdc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (caption) {
        RECT bar{r.left, r.top, r.right, r.top + kCaptionHeight};
        bool active = g_active == TopLevelOf(w)->handle;
        FillRect(hdc, &bar, GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        HGDIOBJ old = SelectObject(hdc, CaptionFont());
        SetBkMode(hdc, TRANSPARENT);
        SetTextColor(hdc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        RECT text{bar.left + 4, bar.top, bar.right - 2, bar.bottom};
        DrawTextW(hdc, w->text.c_str(), static_cast<int>(w->text.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
        SelectObject(hdc, old);
        r.top += kCaptionHeight;
    }
    if (w->exStyle & WS_EX_CLIENTEDGE)
        DrawEdge(hdc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    if (w->exStyle & WS_EX_STATICEDGE)
        DrawEdge(hdc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
}

} // namespace user::detail

using namespace user::detail;

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    if (!lpPaint)
        return kernel::Fail(ERROR_INVALID_PARAMETER, nullptr);
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return nullptr;
    auto keep = w->shared_from_this();
    CurrentThread().paintsBegun++;
    if (w->frameDirty) {
        w->frameDirty = false;
        Send(w, WM_NCPAINT, 1, 0);
        if (w->destroyed)
            return nullptr;
    }
    gdi::Region region = std::move(w->update);
    w->update = gdi::Region();
    bool erase = w->erase;
    w->erase = false;
    HDC hdc = MakeDC(w, LiveDC::Kind::Paint, region);
    if (!hdc)
        return nullptr;
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = hdc;
    lpPaint->rcPaint = region.IsEmpty() ? RECT{0, 0, 0, 0} : region.Bounds();
    lpPaint->fErase = FALSE;
    if (erase && !region.IsEmpty())
        lpPaint->fErase = Send(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
    return hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* lpPaint) {
    if (!lpPaint)
        return FALSE;
    Locked lock;
    gdi::Region painted;
    if (!DropDC(lpPaint->hdc, &painted))
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    CursorAfterPaint(painted);
    return TRUE;
}

BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
    Locked lock;
    if (!hWnd) {
        InvalidateWhole(Desktop(), true);
        return TRUE;
    }
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    gdi::Region region(lpRect ? *lpRect : ClientBox(w));
    InvalidateClient(w, region, bErase != FALSE);
    return TRUE;
}

BOOL InvalidateRgn(HWND hWnd, HRGN hRgn, BOOL bErase) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    gdi::Region region(ClientBox(w));
    if (hRgn && !gdi::GetRegion(hRgn, region))
        return FALSE;
    InvalidateClient(w, region, bErase != FALSE);
    return TRUE;
}

namespace {

// Takes region (the whole invalid area when null) out of the window's invalid area.
void ValidateClient(Window* w, const gdi::Region* region) {
    if (region)
        w->update.Subtract(*region);
    else
        w->update = gdi::Region();
    if (w->update.IsEmpty())
        w->erase = false;
}

} // namespace

BOOL ValidateRect(HWND hWnd, const RECT* lpRect) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    gdi::Region region(lpRect ? *lpRect : RECT{});
    ValidateClient(w, lpRect ? &region : nullptr);
    return TRUE;
}

BOOL ValidateRgn(HWND hWnd, HRGN hRgn) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    gdi::Region region;
    if (hRgn && !gdi::GetRegion(hRgn, region))
        return FALSE;
    ValidateClient(w, hRgn ? &region : nullptr);
    return TRUE;
}

namespace {

void EraseNow(Window* w) {
    if (!w->erase || w->update.IsEmpty())
        return;
    HDC hdc = MakeDC(w, LiveDC::Kind::Paint, w->update);
    w->erase = false;
    Send(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
    DropDC(hdc, nullptr);
}

} // namespace

BOOL GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    if (bErase)
        EraseNow(w);
    bool any = !w->update.IsEmpty();
    if (lpRect)
        *lpRect = any ? w->update.Bounds() : RECT{0, 0, 0, 0};
    return any ? TRUE : FALSE;
}

int GetUpdateRgn(HWND hWnd, HRGN hRgn, BOOL bErase) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return ERROR;
    if (bErase)
        EraseNow(w);
    HRGN copy = gdi::CreateRegionHandle(w->update);
    CombineRgn(hRgn, copy, nullptr, RGN_COPY);
    DeleteObject(copy);
    return w->update.Complexity();
}

BOOL UpdateWindow(HWND hWnd) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    auto keep = w->shared_from_this();
    PaintNow(w);
    PresentScreen();
    return TRUE;
}

namespace {

void InvalidateAll(Window* w, const gdi::Region& region, bool erase) {
    if (!IsDrawable(w))
        return;
    gdi::Region part = Intersection(region, ClientBox(w));
    if (!part.IsEmpty()) {
        if (w->update.IsEmpty())
            w->update = part;
        else
            w->update.UniteWith(part);
        if (erase)
            w->erase = true;
    }
    for (Window* child : w->children) {
        if (!(child->style & WS_VISIBLE) || !region.Intersects(child->rect))
            continue;
        gdi::Region inChild = Intersection(region, child->rect);
        RECT insets = FrameInsets(child->style, child->exStyle);
        inChild.Offset(-child->rect.left - insets.left, -child->rect.top - insets.top);
        if (HasFrame(child))
            child->frameDirty = true;
        InvalidateAll(child, inChild, erase);
    }
}

} // namespace

BOOL RedrawWindow(HWND hWnd, const RECT* lprcUpdate, HRGN hrgnUpdate, UINT flags) {
    Locked lock;
    Window* w = hWnd ? Find(hWnd) : Desktop();
    if (!w)
        return FALSE;
    auto keep = w->shared_from_this();
    gdi::Region region(ClientBox(w));
    if (hrgnUpdate) {
        if (!gdi::GetRegion(hrgnUpdate, region))
            return FALSE;
    } else if (lprcUpdate) {
        region = gdi::Region(*lprcUpdate);
    }
    if (flags & RDW_INVALIDATE) {
        bool erase = (flags & RDW_ERASE) != 0;
        if ((flags & RDW_FRAME) && HasFrame(w))
            w->frameDirty = IsDrawable(w);
        if (flags & RDW_ALLCHILDREN)
            InvalidateAll(w, region, erase);
        else if (flags & RDW_NOCHILDREN) {
            if (IsDrawable(w)) {
                gdi::Region part =
                    gdi::Region::Combine(region, gdi::Region(ClientBox(w)), gdi::Region::Operation::And);
                w->update.UniteWith(part);
                if (erase && !part.IsEmpty())
                    w->erase = true;
            }
        } else {
            InvalidateClient(w, region, erase);
        }
    }
    if (flags & RDW_VALIDATE) {
        w->update.Subtract(region);
        if (flags & RDW_NOFRAME)
            w->frameDirty = false;
    }
    if (flags & RDW_NOERASE)
        w->erase = false;
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
        PaintNow(w);
        PresentScreen();
    }
    return TRUE;
}

namespace {

// A DC of the window of the given kind, or of the whole screen for NULL.
HDC WindowOrScreenDC(HWND hWnd, LiveDC::Kind kind) {
    Locked lock;
    if (!hWnd)
        return MakeDC(nullptr, LiveDC::Kind::Screen);
    Window* w = Find(hWnd);
    if (!w)
        return nullptr;
    return MakeDC(w, kind);
}

} // namespace

HDC GetDC(HWND hWnd) {
    return WindowOrScreenDC(hWnd, LiveDC::Kind::Client);
}

HDC GetWindowDC(HWND hWnd) {
    return WindowOrScreenDC(hWnd, LiveDC::Kind::Whole);
}

int ReleaseDC(HWND, HDC hDC) {
    Locked lock;
    return DropDC(hDC, nullptr) ? 1 : 0;
}

BOOL DrawFocusRect(HDC hDC, const RECT* lprc) {
    if (!lprc)
        return FALSE;
    return gdi::InvertDottedFrame(hDC, *lprc) ? TRUE : FALSE;
}

BOOL DrawEdge(HDC hdc, LPRECT qrc, UINT edge, UINT grfFlags) {
    if (!qrc)
        return FALSE;
    RECT r = *qrc;
    auto band = [&](int topLeft, int bottomRight) {
        if (grfFlags & BF_TOP)
            Line(hdc, r.left, r.top, r.right, r.top + 1, topLeft);
        if (grfFlags & BF_LEFT)
            Line(hdc, r.left, r.top, r.left + 1, r.bottom, topLeft);
        if (grfFlags & BF_BOTTOM)
            Line(hdc, r.left, r.bottom - 1, r.right, r.bottom, bottomRight);
        if (grfFlags & BF_RIGHT)
            Line(hdc, r.right - 1, r.top, r.right, r.bottom, bottomRight);
        if (grfFlags & BF_TOP)
            r.top++;
        if (grfFlags & BF_LEFT)
            r.left++;
        if (grfFlags & BF_BOTTOM)
            r.bottom--;
        if (grfFlags & BF_RIGHT)
            r.right--;
    };
    if (edge & BDR_RAISEDOUTER)
        band(COLOR_3DLIGHT, COLOR_3DDKSHADOW);
    else if (edge & BDR_SUNKENOUTER)
        band(COLOR_3DSHADOW, COLOR_3DHIGHLIGHT);
    if (edge & BDR_RAISEDINNER)
        band(COLOR_3DHIGHLIGHT, COLOR_3DSHADOW);
    else if (edge & BDR_SUNKENINNER)
        band(COLOR_3DDKSHADOW, COLOR_3DLIGHT);
    if (grfFlags & BF_ADJUST)
        *qrc = r;
    return TRUE;
}
