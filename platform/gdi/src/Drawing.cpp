// Blits, fills, frames, rectangles, pixels and lines.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "DeviceContext.h"
#include "Raster.h"
#include "SystemColors.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"

namespace {

using gdi::DeviceContext;

int Clamp(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN / 2, INT_MAX / 2));
}

// The surface rectangle of (x, y, x + cx, y + cy) in a DC, kept inside the range where sums cannot overflow.
RECT SurfaceExtent(const DeviceContext& dc, int x, int y, int cx, int cy) {
    int64_t left = int64_t{x} + dc.viewportOrigin.x + dc.origin.x;
    int64_t top = int64_t{y} + dc.viewportOrigin.y + dc.origin.y;
    return RECT{Clamp(left), Clamp(top), Clamp(left + cx), Clamp(top + cy)};
}

// The rectangle as given (edges not reordered), in surface coordinates.
RECT SurfaceEdges(const DeviceContext& dc, const RECT& rect) {
    return SurfaceExtent(dc, rect.left, rect.top, Clamp(int64_t{rect.right} - rect.left),
                         Clamp(int64_t{rect.bottom} - rect.top));
}

// A brush handle or a system colour given as (HBRUSH)(COLOR_x + 1).
std::shared_ptr<gdi::BrushObject> ResolveBrush(HBRUSH brush) {
    auto value = reinterpret_cast<UINT_PTR>(brush);
    if (value >= 1 && value <= gdi::kSystemColorCount)
        return gdi::FindObjectAs<gdi::BrushObject>(GetSysColorBrush(static_cast<int>(value - 1)));
    return gdi::FindObjectAs<gdi::BrushObject>(brush);
}

void Fill(DeviceContext& dc, const RECT& surfaceRect, COLORREF color) {
    gdi::FillPixels(*dc.surface, dc.ClipRects(), surfaceRect, gdi::ColorToPixel(dc.surface->format, color));
}

// One pen stamp: a square of the pen's width centred on the point.
void Stamp(DeviceContext& dc, int x, int y, int width, uint32_t pixel) {
    int offset = (width - 1) / 2;
    RECT square{x - offset, y - offset, x - offset + width, y - offset + width};
    gdi::FillPixels(*dc.surface, dc.ClipRects(), square, pixel);
}

// A line in surface coordinates from (x0, y0) up to, not including, (x1, y1).
void DrawLine(DeviceContext& dc, int x0, int y0, int x1, int y1) {
    const gdi::PenObject& pen = *dc.pen;
    if (pen.style == PS_NULL || (x0 == x1 && y0 == y1))
        return;
    uint32_t pixel = gdi::ColorToPixel(dc.surface->format, pen.color);
    if (pen.width == 1 && (x0 == x1 || y0 == y1)) {
        RECT rect = x0 == x1 ? RECT{x0, std::min(y0, y1 + 1), x0 + 1, std::max(y0 + 1, y1)}
                             : RECT{std::min(x0, x1 + 1), y0, std::max(x0 + 1, x1), y0 + 1};
        gdi::FillPixels(*dc.surface, dc.ClipRects(), rect, pixel);
        return;
    }
    int64_t dx = std::abs(int64_t{x1} - x0);
    int64_t dy = -std::abs(int64_t{y1} - y0);
    int stepX = x0 < x1 ? 1 : -1;
    int stepY = y0 < y1 ? 1 : -1;
    int64_t error = dx + dy;
    int x = x0;
    int y = y0;
    while (x != x1 || y != y1) {
        Stamp(dc, x, y, pen.width, pixel);
        int64_t twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y += stepY;
        }
    }
}

} // namespace

BOOL BitBlt(HDC dest, int x, int y, int cx, int cy, HDC source, int x1, int y1, DWORD rop) {
    auto dc = gdi::FindDC(dest);
    if (!dc)
        return FALSE;
    uint8_t code = gdi::RopCode(rop);
    std::shared_ptr<DeviceContext> sourceDc;
    if (gdi::RopUsesSource(code)) {
        sourceDc = gdi::FindDC(source);
        if (!sourceDc)
            return FALSE;
    }
    if (cx <= 0 || cy <= 0)
        return TRUE;
    uint32_t pattern = 0;
    if (gdi::RopUsesPattern(code)) {
        if (dc->brush->hollow)
            return TRUE;
        pattern = gdi::ColorToPixel(dc->surface->format, dc->brush->color);
    }
    RECT destRect = SurfaceExtent(*dc, x, y, cx, cy);
    if (!sourceDc) {
        gdi::RopFill(*dc->surface, dc->ClipRects(), destRect, pattern, code);
        return TRUE;
    }
    gdi::BlitColors colors{dc->textColor, dc->bkColor, sourceDc->bkColor};
    gdi::Blit(*dc->surface, dc->ClipRects(), destRect, *sourceDc->surface, sourceDc->SurfaceX(x1),
              sourceDc->SurfaceY(y1), pattern, code, colors);
    return TRUE;
}

bool gdi::InvertDottedFrame(HDC hdc, const RECT& rect) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return false;
    // One DC lookup for all the dots; each dot is what PatBlt(x, y, 1, 1, DSTINVERT) does.
    gdi::BitmapObject& surface = *dc->surface;
    gdi::ClipRects clip = dc->ClipRects();
    auto dot = [&](int x, int y) {
        RECT pixel = SurfaceExtent(*dc, x, y, 1, 1);
        if (pixel.left < pixel.right && pixel.top < pixel.bottom)
            gdi::InvertPixel(surface, clip, pixel.left, pixel.top);
    };
    for (int x = rect.left; x < rect.right; x += 2) {
        dot(x, rect.top);
        if (rect.bottom - 1 > rect.top)
            dot(x, rect.bottom - 1);
    }
    for (int y = rect.top + 2; y < rect.bottom - 1; y += 2) {
        dot(rect.left, y);
        if (rect.right - 1 > rect.left)
            dot(rect.right - 1, y);
    }
    return true;
}

BOOL PatBlt(HDC hdc, int x, int y, int cx, int cy, DWORD rop) {
    if (gdi::RopUsesSource(gdi::RopCode(rop)))
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    return BitBlt(hdc, x, y, cx, cy, nullptr, 0, 0, rop);
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return 0;
    auto fill = ResolveBrush(brush);
    if (!fill)
        return kernel::Fail(ERROR_INVALID_HANDLE, 0);
    if (!rect)
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    if (!fill->hollow)
        Fill(*dc, SurfaceEdges(*dc, *rect), fill->color);
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return 0;
    auto fill = ResolveBrush(brush);
    if (!fill)
        return kernel::Fail(ERROR_INVALID_HANDLE, 0);
    if (!rect)
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    RECT r = SurfaceEdges(*dc, *rect);
    if (fill->hollow || r.left >= r.right || r.top >= r.bottom)
        return 1;
    Fill(*dc, RECT{r.left, r.top, r.right, r.top + 1}, fill->color);
    Fill(*dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, fill->color);
    Fill(*dc, RECT{r.left, r.top, r.left + 1, r.bottom}, fill->color);
    Fill(*dc, RECT{r.right - 1, r.top, r.right, r.bottom}, fill->color);
    return 1;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return FALSE;
    RECT r = dc->SurfaceRect(RECT{left, top, right, bottom});
    if (r.right - r.left < 2 || r.bottom - r.top < 2) {
        // Too small for an interior: the pen covers what there is.
        if (dc->pen->style != PS_NULL)
            Fill(*dc, r, dc->pen->color);
        return TRUE;
    }
    bool outlined = dc->pen->style != PS_NULL;
    if (!dc->brush->hollow) {
        RECT inside = outlined ? RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}
                               : RECT{r.left, r.top, r.right - 1, r.bottom - 1};
        Fill(*dc, inside, dc->brush->color);
    }
    if (outlined) {
        int right1 = r.right - 1;
        int bottom1 = r.bottom - 1;
        DrawLine(*dc, r.left, r.top, right1, r.top);
        DrawLine(*dc, right1, r.top, right1, bottom1);
        DrawLine(*dc, right1, bottom1, r.left, bottom1);
        DrawLine(*dc, r.left, bottom1, r.left, r.top);
    }
    return TRUE;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return CLR_INVALID;
    int sx = dc->SurfaceX(x);
    int sy = dc->SurfaceY(y);
    if (!dc->ClipRegion().Contains(sx, sy))
        return CLR_INVALID;
    uint32_t pixel = gdi::ColorToPixel(dc->surface->format, color);
    dc->surface->Write(sx, sy, pixel);
    dc->surface->Touch(RECT{sx, sy, sx + 1, sy + 1});
    return gdi::PixelToColor(dc->surface->format, pixel);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return CLR_INVALID;
    int sx = dc->SurfaceX(x);
    int sy = dc->SurfaceY(y);
    if (!dc->ClipRegion().Contains(sx, sy))
        return CLR_INVALID;
    return gdi::PixelToColor(dc->surface->format, dc->surface->Read(sx, sy));
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->position;
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return FALSE;
    DrawLine(*dc, dc->SurfaceX(dc->position.x), dc->SurfaceY(dc->position.y), dc->SurfaceX(x),
             dc->SurfaceY(y));
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return FALSE;
    auto region = gdi::FindObjectAs<gdi::RegionObject>(rgn);
    auto fill = ResolveBrush(brush);
    if (!region || !fill)
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    if (fill->hollow)
        return TRUE;
    for (const RECT& rect : region->region.Rectangles())
        Fill(*dc, SurfaceEdges(*dc, rect), fill->color);
    return TRUE;
}
