// The region calls.

#include <algorithm>

#include "Objects.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"

namespace {

RECT Ordered(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

std::shared_ptr<gdi::RegionObject> FindRegion(HRGN rgn) {
    auto region = gdi::FindObjectAs<gdi::RegionObject>(rgn);
    if (!region)
        SetLastError(ERROR_INVALID_HANDLE);
    return region;
}

} // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    return gdi::CreateRegionHandle(gdi::Region(Ordered(left, top, right, bottom)));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    if (!rect)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HRGN>(nullptr));
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
    auto region = FindRegion(rgn);
    if (!region)
        return FALSE;
    region->region.SetRect(Ordered(left, top, right, bottom));
    return TRUE;
}

int CombineRgn(HRGN dest, HRGN source1, HRGN source2, int mode) {
    auto target = FindRegion(dest);
    auto first = FindRegion(source1);
    if (!target || !first)
        return ERROR;
    if (mode == RGN_COPY) {
        target->region = first->region;
        return target->region.Complexity();
    }
    auto second = FindRegion(source2);
    if (!second)
        return ERROR;
    gdi::Region::Operation operation;
    switch (mode) {
    case RGN_AND:
        operation = gdi::Region::Operation::And;
        break;
    case RGN_OR:
        operation = gdi::Region::Operation::Or;
        break;
    case RGN_XOR:
        operation = gdi::Region::Operation::Xor;
        break;
    case RGN_DIFF:
        operation = gdi::Region::Operation::Diff;
        break;
    default:
        return kernel::Fail(ERROR_INVALID_PARAMETER, ERROR);
    }
    target->region = gdi::Region::Combine(first->region, second->region, operation);
    return target->region.Complexity();
}

int OffsetRgn(HRGN rgn, int x, int y) {
    auto region = FindRegion(rgn);
    if (!region)
        return ERROR;
    region->region.Offset(x, y);
    return region->region.Complexity();
}

int GetRgnBox(HRGN rgn, LPRECT rect) {
    auto region = FindRegion(rgn);
    if (!region)
        return ERROR;
    if (!rect)
        return kernel::Fail(ERROR_INVALID_PARAMETER, ERROR);
    *rect = region->region.Bounds();
    return region->region.Complexity();
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    auto region = FindRegion(rgn);
    return region && region->region.Contains(x, y);
}

BOOL RectInRegion(HRGN rgn, const RECT* rect) {
    auto region = FindRegion(rgn);
    if (!region || !rect)
        return FALSE;
    return region->region.Intersects(Ordered(rect->left, rect->top, rect->right, rect->bottom));
}

BOOL EqualRgn(HRGN a, HRGN b) {
    auto first = FindRegion(a);
    auto second = FindRegion(b);
    if (!first || !second)
        return ERROR;
    return first->region == second->region;
}
