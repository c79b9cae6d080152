#pragma once
// The device context behind an HDC: what it draws on, its selected objects, colours, origins and clip.

#include <memory>
#include <optional>
#include <vector>

#include "Objects.h"

namespace gdi {

class DeviceContext final : public GdiObject {
public:
    enum class Kind { Memory, Surface };

    explicit DeviceContext(Kind kind);
    // Puts the DC in the state of a new one: stock objects, default colours and origins, no clip. Memory
    // it holds for regions is kept for the next use.
    void Start();

    // Logical to surface coordinates.
    int SurfaceX(int x) const { return x + viewportOrigin.x + origin.x; }
    int SurfaceY(int y) const { return y + viewportOrigin.y + origin.y; }
    // A logical rectangle in surface coordinates, with its edges put in order.
    RECT SurfaceRect(const RECT& logical) const;

    // The rectangles that drawing may touch, in surface coordinates: the surface, the visible region and
    // the DC's own clip region intersected.
    const std::vector<RECT>& ClipRects();
    const Region& ClipRegion();
    void InvalidateClip() { m_clipValid = false; }

    // Selects an object of one of the four kinds and returns the previous one's handle; the caller holds
    // ObjectLock.
    HGDIOBJ Select(const std::shared_ptr<GdiObject>& object);
    // Lets go of every selected object (DeleteDC).
    void ReleaseSelections();
    // The DC of a handle that DeleteDC or DeleteSurfaceDC took: lets go of what it holds and keeps it for a
    // new DC of its kind.
    void Retire();

    const Kind kind;
    std::shared_ptr<BitmapObject> surface;
    std::shared_ptr<BitmapObject> bitmap; // memory DCs: the selected bitmap, the same as surface
    std::shared_ptr<BrushObject> brush;
    std::shared_ptr<PenObject> pen;
    std::shared_ptr<FontObject> font;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    POINT viewportOrigin{0, 0};
    POINT position{0, 0};
    // Surface DCs: where the DC's (0, 0) lies on the surface and what of the surface it may draw on.
    POINT origin{0, 0};
    std::optional<Region> visible;
    // The DC's own clip region (SelectClipRgn, IntersectClipRect), relative to origin.
    std::optional<Region> clip;

private:
    bool m_clipValid = false;
    Region m_clipRegion;
    Region m_ownClip; // clip moved to surface coordinates, kept for its memory
    std::vector<RECT> m_clipRects;
};

// A memory or surface DC, new or one that was deleted before, with a new handle.
std::shared_ptr<DeviceContext> NewDC(DeviceContext::Kind kind);

// The DC of a handle, or null with ERROR_INVALID_HANDLE set.
std::shared_ptr<DeviceContext> FindDC(HDC hdc);

// A colour's pixel value in a format, and back. COLORREF flag bytes are ignored. Every fill converts its
// colour, so the first is inline.
inline uint32_t ColorToPixel(PixelFormat format, COLORREF color) {
    uint32_t red = GetRValue(color);
    uint32_t green = GetGValue(color);
    uint32_t blue = GetBValue(color);
    switch (format) {
    case PixelFormat::Mono1:
        return red * 30 + green * 59 + blue * 11 >= 128 * 100 ? 1u : 0u;
    case PixelFormat::Rgb565:
        return ((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3);
    case PixelFormat::Bgr24:
        return blue | (green << 8) | (red << 16);
    }
    return 0;
}
COLORREF PixelToColor(PixelFormat format, uint32_t pixel);

} // namespace gdi
