#include "gdi/Surface.h"

#include "DeviceContext.h"
#include "Screen.h"
#include "kernel/Errors.h"

namespace gdi {

namespace {

constexpr int kDefaultScreenWidth = 240;
constexpr int kDefaultScreenHeight = 320;
constexpr int kMaxScreenSide = 4096;

} // namespace

const std::shared_ptr<BitmapObject>& TheScreen() {
    static std::shared_ptr<BitmapObject> screen = [] {
        auto bitmap =
            std::make_shared<BitmapObject>(kDefaultScreenWidth, kDefaultScreenHeight, PixelFormat::Rgb565);
        bitmap->isScreen = true;
        return bitmap;
    }();
    return screen;
}

bool SetScreenSize(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxScreenSide || height > kMaxScreenSide)
        return kernel::Fail(ERROR_INVALID_PARAMETER, false);
    std::lock_guard guard(ObjectLock());
    TheScreen()->Resize(width, height);
    return true;
}

SIZE ScreenSize() {
    const auto& screen = TheScreen();
    return SIZE{screen->width, screen->height};
}

const uint16_t* ScreenPixels() {
    return reinterpret_cast<const uint16_t*>(TheScreen()->Bits());
}

size_t ScreenStride() {
    return TheScreen()->rowBytes / sizeof(uint16_t);
}

RECT TakeScreenDamage() {
    const auto& screen = TheScreen();
    RECT damage = screen->damage.value_or(RECT{0, 0, 0, 0});
    screen->damage.reset();
    return damage;
}

HDC CreateSurfaceDC(POINT origin, const Region& visible) {
    auto dc = NewDC(DeviceContext::Kind::Surface);
    dc->origin = origin;
    dc->visible = visible;
    dc->InvalidateClip();
    return gdi::HandleAs<HDC>(dc->handle);
}

bool SetSurfaceDCPlacement(HDC hdc, POINT origin, const Region& visible) {
    auto dc = FindDC(hdc);
    if (!dc || dc->kind != DeviceContext::Kind::Surface)
        return kernel::Fail(ERROR_INVALID_HANDLE, false);
    dc->origin = origin;
    dc->visible = visible;
    dc->InvalidateClip();
    return true;
}

bool DeleteSurfaceDC(HDC hdc) {
    std::lock_guard guard(ObjectLock());
    auto dc = FindDC(hdc);
    if (!dc || dc->kind != DeviceContext::Kind::Surface)
        return kernel::Fail(ERROR_INVALID_HANDLE, false);
    dc->Retire();
    RetireObject(HandleAs<HGDIOBJ>(hdc));
    return true;
}

bool GetRegion(HRGN rgn, Region& region) {
    auto object = FindObjectAs<RegionObject>(rgn);
    if (!object)
        return kernel::Fail(ERROR_INVALID_HANDLE, false);
    region = object->region;
    return true;
}

HRGN CreateRegionHandle(const Region& region) {
    auto object = std::make_shared<RegionObject>();
    object->region = region;
    return gdi::HandleAs<HRGN>(gdi::InsertObject(object));
}

} // namespace gdi
