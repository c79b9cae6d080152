#include "DeviceContext.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "Screen.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"

namespace gdi {

namespace {

// Stands for "no limit" where a clip operation needs the whole plane.
constexpr RECT kEverything{INT_MIN / 4, INT_MIN / 4, INT_MAX / 4, INT_MAX / 4};

template <typename T>
void Swap(std::shared_ptr<T>& slot, const std::shared_ptr<GdiObject>& object) {
    if (slot)
        --slot->selections;
    slot = std::static_pointer_cast<T>(object);
    ++slot->selections;
}

// Selects an everlasting object into a slot, copying the shared pointer only when the slot holds another.
template <typename T, typename From>
void SelectLasting(std::shared_ptr<T>& slot, const std::shared_ptr<From>& object) {
    if (slot.get() != object.get())
        slot = std::static_pointer_cast<T>(object);
    ++slot->selections;
}

RECT Ordered(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

} // namespace

DeviceContext::DeviceContext(Kind kind) : GdiObject(kind == Kind::Memory ? OBJ_MEMDC : OBJ_DC), kind(kind) {
    Start();
}

void DeviceContext::Start() {
    // A DC that is retired and recycled mostly holds these already.
    SelectLasting(brush, StockObject(WHITE_BRUSH));
    SelectLasting(pen, StockObject(BLACK_PEN));
    SelectLasting(font, StockObject(SYSTEM_FONT));
    if (kind == Kind::Memory) {
        SelectLasting(bitmap, DefaultBitmap());
        if (surface != bitmap)
            surface = bitmap;
    } else if (surface != TheScreen()) {
        surface = TheScreen();
    }
    textColor = RGB(0, 0, 0);
    bkColor = RGB(255, 255, 255);
    bkMode = OPAQUE;
    viewportOrigin = POINT{0, 0};
    position = POINT{0, 0};
    origin = POINT{0, 0};
    if (visible)
        visible->SetRect(RECT{0, 0, 0, 0});
    clip.reset();
    m_clipValid = false;
}

void DeviceContext::Retire() {
    ReleaseSelections();
    Start();
}

RECT DeviceContext::SurfaceRect(const RECT& logical) const {
    return Ordered(SurfaceX(logical.left), SurfaceY(logical.top), SurfaceX(logical.right),
                   SurfaceY(logical.bottom));
}

const Region& DeviceContext::ClipRegion() {
    if (m_clipValid)
        return m_clipRegion;
    RECT whole{0, 0, surface->width, surface->height};
    if (visible) {
        m_clipRegion = *visible;
        m_clipRegion.IntersectWith(whole);
    } else {
        m_clipRegion.SetRect(whole);
    }
    if (clip) {
        m_ownClip = *clip;
        m_ownClip.Offset(origin.x, origin.y);
        m_clipRegion.IntersectWith(m_ownClip);
    }
    m_clipRegion.Rectangles(m_clipRects);
    m_clipValid = true;
    return m_clipRegion;
}

const std::vector<RECT>& DeviceContext::ClipRects() {
    ClipRegion();
    return m_clipRects;
}

HGDIOBJ DeviceContext::Select(const std::shared_ptr<GdiObject>& object) {
    switch (object->Type()) {
    case OBJ_BITMAP: {
        if (kind != Kind::Memory)
            return nullptr;
        auto newBitmap = std::static_pointer_cast<BitmapObject>(object);
        if (newBitmap == bitmap)
            return bitmap->handle;
        if (!newBitmap->stock && newBitmap->selectedInto)
            return nullptr; // a bitmap lives in one DC at a time
        HGDIOBJ previous = bitmap->handle;
        if (!bitmap->stock)
            bitmap->selectedInto = nullptr;
        Swap(bitmap, object);
        if (!bitmap->stock)
            bitmap->selectedInto = HandleAs<HDC>(handle);
        surface = bitmap;
        InvalidateClip();
        return previous;
    }
    case OBJ_BRUSH: {
        HGDIOBJ previous = brush->handle;
        Swap(brush, object);
        return previous;
    }
    case OBJ_PEN: {
        HGDIOBJ previous = pen->handle;
        Swap(pen, object);
        return previous;
    }
    case OBJ_FONT: {
        HGDIOBJ previous = font->handle;
        Swap(font, object);
        return previous;
    }
    default:
        return nullptr;
    }
}

void DeviceContext::ReleaseSelections() {
    --brush->selections;
    --pen->selections;
    --font->selections;
    if (bitmap) {
        --bitmap->selections;
        if (!bitmap->stock)
            bitmap->selectedInto = nullptr;
    }
}

std::shared_ptr<DeviceContext> NewDC(DeviceContext::Kind kind) {
    std::lock_guard guard(ObjectLock());
    DWORD type = kind == DeviceContext::Kind::Memory ? OBJ_MEMDC : OBJ_DC;
    if (auto recycled = RecycleObject(type))
        return std::static_pointer_cast<DeviceContext>(std::move(recycled));
    auto dc = std::make_shared<DeviceContext>(kind);
    InsertObject(dc);
    return dc;
}

std::shared_ptr<DeviceContext> FindDC(HDC hdc) {
    auto object = FindObject(HandleAs<HGDIOBJ>(hdc));
    if (!object || (object->Type() != OBJ_DC && object->Type() != OBJ_MEMDC)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<DeviceContext>(std::move(object));
}

COLORREF PixelToColor(PixelFormat format, uint32_t pixel) {
    switch (format) {
    case PixelFormat::Mono1:
        return (pixel & 1) ? RGB(255, 255, 255) : RGB(0, 0, 0);
    case PixelFormat::Rgb565: {
        uint32_t red = (pixel >> 11) & 0x1F;
        uint32_t green = (pixel >> 5) & 0x3F;
        uint32_t blue = pixel & 0x1F;
        return RGB((red << 3) | (red >> 2), (green << 2) | (green >> 4), (blue << 3) | (blue >> 2));
    }
    case PixelFormat::Bgr24:
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    return 0;
}

} // namespace gdi

using gdi::DeviceContext;
using gdi::FindDC;

HDC CreateCompatibleDC(HDC hdc) {
    if (hdc && !FindDC(hdc))
        return nullptr;
    return gdi::HandleAs<HDC>(gdi::NewDC(DeviceContext::Kind::Memory)->handle);
}

BOOL DeleteDC(HDC hdc) {
    std::lock_guard guard(gdi::ObjectLock());
    auto dc = FindDC(hdc);
    if (!dc || dc->kind != DeviceContext::Kind::Memory)
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    dc->Retire();
    gdi::RetireObject(gdi::HandleAs<HGDIOBJ>(hdc));
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    std::lock_guard guard(gdi::ObjectLock());
    auto dc = FindDC(hdc);
    if (!dc)
        return nullptr;
    // The DC keeps what it selects.
    auto object = gdi::FindObjectShared(h);
    if (!object)
        return kernel::Fail(ERROR_INVALID_HANDLE, static_cast<HGDIOBJ>(nullptr));
    if (object->Type() == OBJ_REGION) {
        int type = SelectClipRgn(hdc, gdi::HandleAs<HRGN>(h));
        return reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(type));
    }
    HGDIOBJ previous = dc->Select(object);
    if (!previous)
        SetLastError(ERROR_INVALID_PARAMETER);
    return previous;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    std::lock_guard guard(gdi::ObjectLock());
    auto dc = FindDC(hdc);
    if (!dc)
        return nullptr;
    switch (type) {
    case OBJ_BRUSH:
        return dc->brush->handle;
    case OBJ_PEN:
        return dc->pen->handle;
    case OBJ_FONT:
        return dc->font->handle;
    case OBJ_BITMAP:
        if (dc->bitmap)
            return dc->bitmap->handle;
        break;
    default:
        break;
    }
    return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HGDIOBJ>(nullptr));
}

int GetDeviceCaps(HDC hdc, int index) {
    if (!FindDC(hdc))
        return 0;
    SIZE screen = gdi::ScreenSize();
    switch (index) {
    case HORZRES:
        return screen.cx;
    case VERTRES:
        return screen.cy;
    case BITSPIXEL:
        return 16;
    case PLANES:
        return 1;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    default:
        return 0;
    }
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    auto dc = FindDC(hdc);
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->textColor, color);
}

COLORREF GetTextColor(HDC hdc) {
    auto dc = FindDC(hdc);
    return dc ? dc->textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    auto dc = FindDC(hdc);
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->bkColor, color);
}

COLORREF GetBkColor(HDC hdc) {
    auto dc = FindDC(hdc);
    return dc ? dc->bkColor : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode) {
    auto dc = FindDC(hdc);
    if (!dc)
        return 0;
    if (mode != TRANSPARENT && mode != OPAQUE)
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    return std::exchange(dc->bkMode, mode);
}

int GetBkMode(HDC hdc) {
    auto dc = FindDC(hdc);
    return dc ? dc->bkMode : 0;
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
    auto dc = FindDC(hdc);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->viewportOrigin;
    dc->viewportOrigin = POINT{x, y};
    return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, LPPOINT origin) {
    auto dc = FindDC(hdc);
    if (!dc)
        return FALSE;
    if (!origin)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    *origin = dc->viewportOrigin;
    return TRUE;
}

int SelectClipRgn(HDC hdc, HRGN rgn) {
    auto dc = FindDC(hdc);
    if (!dc)
        return ERROR;
    if (!rgn) {
        dc->clip.reset();
    } else {
        auto region = gdi::FindObjectAs<gdi::RegionObject>(rgn);
        if (!region)
            return kernel::Fail(ERROR_INVALID_HANDLE, ERROR);
        dc->clip = region->region;
    }
    dc->InvalidateClip();
    return dc->ClipRegion().Complexity();
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    auto dc = FindDC(hdc);
    if (!dc)
        return ERROR;
    gdi::Region rect(gdi::Ordered(left, top, right, bottom));
    rect.Offset(dc->viewportOrigin.x, dc->viewportOrigin.y);
    dc->clip = dc->clip ? gdi::Region::Combine(*dc->clip, rect, gdi::Region::Operation::And) : rect;
    dc->InvalidateClip();
    return dc->ClipRegion().Complexity();
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    auto dc = FindDC(hdc);
    if (!dc)
        return ERROR;
    gdi::Region rect(gdi::Ordered(left, top, right, bottom));
    rect.Offset(dc->viewportOrigin.x, dc->viewportOrigin.y);
    gdi::Region base = dc->clip ? *dc->clip : gdi::Region(gdi::kEverything);
    dc->clip = gdi::Region::Combine(base, rect, gdi::Region::Operation::Diff);
    dc->InvalidateClip();
    return dc->ClipRegion().Complexity();
}

int GetClipBox(HDC hdc, LPRECT rect) {
    auto dc = FindDC(hdc);
    if (!dc)
        return ERROR;
    if (!rect)
        return kernel::Fail(ERROR_INVALID_PARAMETER, ERROR);
    const gdi::Region& clip = dc->ClipRegion();
    if (clip.IsEmpty()) {
        *rect = RECT{0, 0, 0, 0};
        return NULLREGION;
    }
    RECT box = clip.Bounds();
    int dx = dc->origin.x + dc->viewportOrigin.x;
    int dy = dc->origin.y + dc->viewportOrigin.y;
    *rect = RECT{box.left - dx, box.top - dy, box.right - dx, box.bottom - dy};
    return clip.Complexity();
}

int GetClipRgn(HDC hdc, HRGN rgn) {
    auto dc = FindDC(hdc);
    if (!dc)
        return -1;
    auto region = gdi::FindObjectAs<gdi::RegionObject>(rgn);
    if (!region)
        return kernel::Fail(ERROR_INVALID_HANDLE, -1);
    if (!dc->clip)
        return 0;
    region->region = *dc->clip;
    return 1;
}
