// Bitmaps, brushes and pens: creation, GetObjectW and DeleteObject.

#include <algorithm>
#include <cstring>

#include "Bitmaps.h"
#include "DeviceContext.h"
#include "kernel/Errors.h"

namespace gdi {

std::optional<size_t> BitmapBytes(int width, int height, int bitsPerPixel, size_t rowAlignment) {
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0)
        return std::nullopt;
    uint64_t rowBits = static_cast<uint64_t>(width) * static_cast<uint64_t>(bitsPerPixel);
    uint64_t alignBits = rowAlignment * 8;
    uint64_t rowBytes = (rowBits + alignBits - 1) / alignBits * rowAlignment;
    uint64_t total = rowBytes * static_cast<uint64_t>(height);
    if (total > kMaxBitmapBytes)
        return std::nullopt;
    return static_cast<size_t>(total);
}

HBITMAP InsertBitmap(std::shared_ptr<BitmapObject> bitmap) {
    return gdi::HandleAs<HBITMAP>(gdi::InsertObject(bitmap));
}

} // namespace gdi

namespace {

template <typename Record>
int CopyRecord(const Record& record, int c, LPVOID pv) {
    if (!pv)
        return static_cast<int>(sizeof(Record));
    if (c <= 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    size_t size = std::min(static_cast<size_t>(c), sizeof(Record));
    std::memcpy(pv, &record, size);
    return static_cast<int>(size);
}

} // namespace

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (width == 0 || height == 0)
        return gdi::HandleAs<HBITMAP>(gdi::DefaultBitmap()->handle);
    if (width < 0 || height < 0 || planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 16))
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HBITMAP>(nullptr));
    auto size = gdi::BitmapBytes(width, height, static_cast<int>(bitsPerPixel), 2);
    if (!size)
        return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<HBITMAP>(nullptr));
    auto format = bitsPerPixel == 1 ? gdi::PixelFormat::Mono1 : gdi::PixelFormat::Rgb565;
    auto bitmap = std::make_shared<gdi::BitmapObject>(width, height, format);
    if (bits)
        std::memcpy(bitmap->Bits(), bits, *size);
    return gdi::InsertBitmap(std::move(bitmap));
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return nullptr;
    if (width == 0 || height == 0)
        return gdi::HandleAs<HBITMAP>(gdi::DefaultBitmap()->handle);
    gdi::PixelFormat format = dc->surface->format;
    if (width < 0 || height < 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HBITMAP>(nullptr));
    if (!gdi::BitmapBytes(width, height, gdi::BitsPerPixel(format), 2))
        return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<HBITMAP>(nullptr));
    return gdi::InsertBitmap(std::make_shared<gdi::BitmapObject>(width, height, format));
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    if (bits)
        *bits = nullptr;
    if (hdc && !gdi::FindDC(hdc))
        return nullptr;
    if (!info || section || offset != 0 || usage != DIB_RGB_COLORS)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HBITMAP>(nullptr));
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 || header.biBitCount != 24 ||
        header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight == 0 ||
        header.biHeight == INT32_MIN)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HBITMAP>(nullptr));
    int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    if (!gdi::BitmapBytes(header.biWidth, height, 24, 4))
        return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<HBITMAP>(nullptr));
    size_t rowBytes = (static_cast<size_t>(header.biWidth) * 3 + 3) / 4 * 4;
    auto bitmap = std::make_shared<gdi::BitmapObject>(header.biWidth, height, gdi::PixelFormat::Bgr24,
                                                      rowBytes, header.biHeight > 0);
    bitmap->dibSection = true;
    if (bits)
        *bits = bitmap->Bits();
    return gdi::InsertBitmap(std::move(bitmap));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto brush = std::make_shared<gdi::BrushObject>();
    brush->color = color & 0x00FFFFFF;
    return gdi::HandleAs<HBRUSH>(gdi::InsertObject(brush));
}

HPEN CreatePen(int style, int width, COLORREF color) {
    if (style != PS_SOLID && style != PS_NULL)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HPEN>(nullptr));
    auto pen = std::make_shared<gdi::PenObject>();
    pen->style = style;
    pen->width = std::max(width, 1);
    pen->color = color & 0x00FFFFFF;
    return gdi::HandleAs<HPEN>(gdi::InsertObject(pen));
}

int GetObjectW(HGDIOBJ h, int c, LPVOID pv) {
    auto object = gdi::FindObject(h);
    if (!object)
        return kernel::Fail(ERROR_INVALID_HANDLE, 0);
    switch (object->Type()) {
    case OBJ_BITMAP: {
        auto& bitmap = static_cast<gdi::BitmapObject&>(*object);
        BITMAP record{};
        record.bmWidth = bitmap.width;
        record.bmHeight = bitmap.height;
        record.bmWidthBytes = static_cast<LONG>(bitmap.rowBytes);
        record.bmPlanes = 1;
        record.bmBitsPixel = static_cast<WORD>(gdi::BitsPerPixel(bitmap.format));
        record.bmBits = bitmap.dibSection ? bitmap.Bits() : nullptr;
        return CopyRecord(record, c, pv);
    }
    case OBJ_FONT:
        return CopyRecord(static_cast<gdi::FontObject&>(*object).logFont, c, pv);
    case OBJ_BRUSH: {
        auto& brush = static_cast<gdi::BrushObject&>(*object);
        LOGBRUSH record{brush.hollow ? UINT{BS_NULL} : UINT{BS_SOLID}, brush.color, 0};
        return CopyRecord(record, c, pv);
    }
    case OBJ_PEN: {
        auto& pen = static_cast<gdi::PenObject&>(*object);
        LOGPEN record{static_cast<UINT>(pen.style), POINT{pen.width, 0}, pen.color};
        return CopyRecord(record, c, pv);
    }
    default:
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    }
}

BOOL DeleteObject(HGDIOBJ h) {
    std::lock_guard guard(gdi::ObjectLock());
    auto object = gdi::FindObject(h);
    if (!object)
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    DWORD type = object->Type();
    if (type == OBJ_DC || type == OBJ_MEMDC)
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    if (object->stock)
        return TRUE;
    if (object->selections > 0)
        return kernel::Fail(ERROR_BUSY, FALSE);
    gdi::RemoveObject(h);
    return TRUE;
}
