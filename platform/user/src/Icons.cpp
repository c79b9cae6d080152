#include "user/Icon.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "gdi/Gdi.h"
#include "kernel/Errors.h"
#include "kernel/Resources.h"
#include "user/System.h"

namespace {

constexpr int kMaxIconSide = 256;

// An icon's pixels, top row first: the colour where opaque.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> colour;
    std::vector<uint8_t> opaque;
};

struct IconTable {
    std::mutex lock;
    std::map<uintptr_t, std::shared_ptr<const IconImage>> icons;
    uintptr_t next = uintptr_t{0x1C} << 24;
};

IconTable& Table() {
    static IconTable* table = new IconTable; // icons may be destroyed during exit
    return *table;
}

HICON Insert(IconImage image) {
    IconTable& table = Table();
    std::lock_guard guard(table.lock);
    table.next += 4;
    table.icons.emplace(table.next, std::make_shared<const IconImage>(std::move(image)));
    return reinterpret_cast<HICON>(table.next);
}

std::shared_ptr<const IconImage> Lookup(HICON icon) {
    IconTable& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.icons.find(reinterpret_cast<uintptr_t>(icon));
    if (it == table.icons.end())
        return kernel::Fail(ERROR_INVALID_CURSOR_HANDLE, std::shared_ptr<const IconImage>());
    return it->second;
}

// Reads little-endian values of a resource; every read is checked against its size.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Has(size_t offset, size_t count) const { return offset <= m_size && count <= m_size - offset; }
    bool U8(size_t offset, uint8_t& value) const {
        if (!Has(offset, 1))
            return false;
        value = m_data[offset];
        return true;
    }
    bool U16(size_t offset, uint16_t& value) const {
        if (!Has(offset, 2))
            return false;
        value = static_cast<uint16_t>(m_data[offset] | (m_data[offset + 1] << 8));
        return true;
    }
    bool U32(size_t offset, uint32_t& value) const {
        if (!Has(offset, 4))
            return false;
        value = static_cast<uint32_t>(m_data[offset]) | (static_cast<uint32_t>(m_data[offset + 1]) << 8) |
                (static_cast<uint32_t>(m_data[offset + 2]) << 16) |
                (static_cast<uint32_t>(m_data[offset + 3]) << 24);
        return true;
    }
    bool I32(size_t offset, int32_t& value) const {
        uint32_t raw = 0;
        if (!U32(offset, raw))
            return false;
        value = static_cast<int32_t>(raw);
        return true;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

// Format notes: an icon image is a DIB whose height counts the colour rows and the mask rows; both are
// bottom-up, each row padded to 32 bits; the colour table (BGRX) follows the header for 8 bits and less.
std::optional<IconImage> DecodeIconImage(const Bytes& bytes) {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t doubleHeight = 0;
    uint16_t planes = 0;
    uint16_t bits = 0;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    if (!bytes.U32(0, headerSize) || headerSize < 40 || !bytes.I32(4, width) || !bytes.I32(8, doubleHeight) ||
        !bytes.U16(12, planes) || !bytes.U16(14, bits) || !bytes.U32(16, compression) ||
        !bytes.U32(32, coloursUsed))
        return std::nullopt;
    if (width < 1 || width > kMaxIconSide || doubleHeight < 2 || doubleHeight % 2 != 0 ||
        doubleHeight / 2 > kMaxIconSide || planes != 1 || compression != 0)
        return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return std::nullopt;
    int height = doubleHeight / 2;
    size_t paletteCount = bits <= 8 ? (coloursUsed != 0 ? coloursUsed : size_t{1} << bits) : 0;
    if (paletteCount > 256)
        return std::nullopt;
    // Sides of at most 256 pixels keep every size below 2^20: no product here can overflow.
    size_t paletteAt = headerSize;
    size_t colourAt = paletteAt + paletteCount * 4;
    size_t colourStride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    size_t maskAt = colourAt + colourStride * static_cast<size_t>(height);
    size_t maskStride = (static_cast<size_t>(width) + 31) / 32 * 4;
    if (!bytes.Has(paletteAt, paletteCount * 4) || !bytes.Has(colourAt, colourStride * height) ||
        !bytes.Has(maskAt, maskStride * height))
        return std::nullopt;

    IconImage image;
    image.width = width;
    image.height = height;
    image.colour.resize(static_cast<size_t>(width) * height);
    image.opaque.resize(image.colour.size());
    bool anyAlpha = false;
    std::vector<uint8_t> alpha(bits == 32 ? image.colour.size() : 0);
    for (int row = 0; row < height; ++row) {
        size_t colourRow = colourAt + colourStride * static_cast<size_t>(height - 1 - row);
        size_t maskRow = maskAt + maskStride * static_cast<size_t>(height - 1 - row);
        for (int x = 0; x < width; ++x) {
            size_t pixel = static_cast<size_t>(row) * width + x;
            uint8_t b = 0, g = 0, r = 0, a = 0;
            if (bits <= 8) {
                uint8_t packed = 0;
                size_t bit = static_cast<size_t>(x) * bits;
                bytes.U8(colourRow + bit / 8, packed);
                unsigned index = (packed >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= paletteCount)
                    return std::nullopt;
                size_t entry = paletteAt + index * 4;
                bytes.U8(entry, b);
                bytes.U8(entry + 1, g);
                bytes.U8(entry + 2, r);
            } else {
                size_t at = colourRow + static_cast<size_t>(x) * (bits / 8);
                bytes.U8(at, b);
                bytes.U8(at + 1, g);
                bytes.U8(at + 2, r);
                if (bits == 32) {
                    bytes.U8(at + 3, a);
                    alpha[pixel] = a;
                    anyAlpha = anyAlpha || a != 0;
                }
            }
            uint8_t maskByte = 0;
            bytes.U8(maskRow + static_cast<size_t>(x) / 8, maskByte);
            image.colour[pixel] = RGB(r, g, b);
            image.opaque[pixel] = ((maskByte >> (7 - x % 8)) & 1) == 0;
        }
    }
    if (anyAlpha)
        for (size_t i = 0; i < alpha.size(); ++i)
            image.opaque[i] = alpha[i] >= 128;
    return image;
}

IconImage Scaled(const IconImage& image, int width, int height) {
    if (image.width == width && image.height == height)
        return image;
    IconImage scaled;
    scaled.width = width;
    scaled.height = height;
    scaled.colour.resize(static_cast<size_t>(width) * height);
    scaled.opaque.resize(scaled.colour.size());
    for (int y = 0; y < height; ++y) {
        int sy = y * image.height / height;
        for (int x = 0; x < width; ++x) {
            int sx = x * image.width / width;
            size_t from = static_cast<size_t>(sy) * image.width + sx;
            size_t to = static_cast<size_t>(y) * width + x;
            scaled.colour[to] = image.colour[from];
            scaled.opaque[to] = image.opaque[from];
        }
    }
    return scaled;
}

std::optional<Bytes> ResourceBytes(HINSTANCE module, LPCWSTR name, LPCWSTR type) {
    HRSRC resource = FindResourceW(module, name, type);
    if (!resource)
        return std::nullopt;
    HGLOBAL data = LoadResource(module, resource);
    DWORD size = SizeofResource(module, resource);
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes)
        return std::nullopt;
    return Bytes(static_cast<const uint8_t*>(bytes), size);
}

// The group's image nearest to the width asked for (0: the first), scaled to width x height.
HICON LoadGroupIcon(HINSTANCE module, LPCWSTR name, int width, int height) {
    auto group = ResourceBytes(module, name, RT_GROUP_ICON);
    if (!group)
        return nullptr;
    uint16_t reserved = 1, type = 0, count = 0;
    if (!group->U16(0, reserved) || !group->U16(2, type) || !group->U16(4, count) || reserved != 0 ||
        type != 1 || count == 0 || !group->Has(6, size_t{count} * 14))
        return kernel::Fail(ERROR_INVALID_DATA, static_cast<HICON>(nullptr));
    int bestSide = 0;
    uint16_t bestBits = 0;
    uint16_t bestId = 0;
    for (uint16_t i = 0; i < count; ++i) {
        size_t entry = 6 + size_t{i} * 14;
        uint8_t side = 0;
        uint16_t bits = 0, id = 0;
        group->U8(entry, side);
        group->U16(entry + 6, bits);
        group->U16(entry + 12, id);
        int entrySide = side == 0 ? 256 : side;
        bool better = false;
        if (i == 0) {
            better = true;
        } else if (width != 0) {
            int distance = std::abs(entrySide - width);
            int bestDistance = std::abs(bestSide - width);
            better = distance < bestDistance || (distance == bestDistance && entrySide > bestSide) ||
                     (entrySide == bestSide && bits > bestBits);
        }
        if (better) {
            bestSide = entrySide;
            bestBits = bits;
            bestId = id;
        }
    }
    auto imageBytes = ResourceBytes(module, MAKEINTRESOURCE(bestId), RT_ICON);
    if (!imageBytes)
        return kernel::Fail(ERROR_INVALID_DATA, static_cast<HICON>(nullptr));
    std::optional<IconImage> image = DecodeIconImage(*imageBytes);
    if (!image)
        return kernel::Fail(ERROR_INVALID_DATA, static_cast<HICON>(nullptr));
    if (width == 0 || height == 0)
        return Insert(std::move(*image));
    return Insert(Scaled(*image, width, height));
}

uint16_t Rgb565(COLORREF colour) {
    return static_cast<uint16_t>(((GetRValue(colour) >> 3) << 11) | ((GetGValue(colour) >> 2) << 5) |
                                 (GetBValue(colour) >> 3));
}

// Copies a 16-bit picture made from the icon onto the DC with a raster operation.
bool Blit(HDC hdc, int x, int y, const IconImage& image, bool mask, DWORD rop) {
    std::vector<uint16_t> bits(image.colour.size());
    for (size_t i = 0; i < bits.size(); ++i) {
        if (mask)
            bits[i] = image.opaque[i] ? 0x0000 : 0xFFFF;
        else
            bits[i] = image.opaque[i] ? Rgb565(image.colour[i]) : 0x0000;
    }
    HBITMAP bitmap = CreateBitmap(image.width, image.height, 1, 16, bits.data());
    if (!bitmap)
        return false;
    HDC memory = CreateCompatibleDC(hdc);
    if (!memory) {
        DeleteObject(bitmap);
        return false;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BOOL ok = BitBlt(hdc, x, y, image.width, image.height, memory, 0, 0, rop);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return ok != FALSE;
}

} // namespace

HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
    return LoadGroupIcon(hInstance, lpIconName, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
}

HANDLE LoadImageW(HINSTANCE hinst, LPCWSTR lpszName, UINT uType, int cxDesired, int cyDesired, UINT fuLoad) {
    if (uType != IMAGE_ICON)
        return kernel::Fail(ERROR_NOT_SUPPORTED, static_cast<HANDLE>(nullptr));
    if (cxDesired < 0 || cyDesired < 0 || cxDesired > kMaxIconSide || cyDesired > kMaxIconSide)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HANDLE>(nullptr));
    if (fuLoad & LR_DEFAULTSIZE) {
        if (cxDesired == 0)
            cxDesired = GetSystemMetrics(SM_CXICON);
        if (cyDesired == 0)
            cyDesired = GetSystemMetrics(SM_CYICON);
    }
    // One side given: the icon is square.
    if (cxDesired == 0)
        cxDesired = cyDesired;
    if (cyDesired == 0)
        cyDesired = cxDesired;
    return reinterpret_cast<HANDLE>(LoadGroupIcon(hinst, lpszName, cxDesired, cyDesired));
}

HICON CreateIcon(HINSTANCE, int nWidth, int nHeight, BYTE cPlanes, BYTE cBitsPixel, const BYTE* lpbANDbits,
                 const BYTE* lpbXORbits) {
    if (nWidth < 1 || nHeight < 1 || nWidth > kMaxIconSide || nHeight > kMaxIconSide || cPlanes != 1 ||
        (cBitsPixel != 1 && cBitsPixel != 32) || !lpbANDbits || !lpbXORbits)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HICON>(nullptr));
    size_t maskStride = (static_cast<size_t>(nWidth) + 15) / 16 * 2;
    IconImage image;
    image.width = nWidth;
    image.height = nHeight;
    image.colour.resize(static_cast<size_t>(nWidth) * nHeight);
    image.opaque.resize(image.colour.size());
    for (int y = 0; y < nHeight; ++y) {
        for (int x = 0; x < nWidth; ++x) {
            size_t pixel = static_cast<size_t>(y) * nWidth + x;
            uint8_t maskByte = lpbANDbits[maskStride * y + x / 8];
            image.opaque[pixel] = ((maskByte >> (7 - x % 8)) & 1) == 0;
            if (cBitsPixel == 1) {
                bool white = (lpbXORbits[maskStride * y + x / 8] >> (7 - x % 8)) & 1;
                image.colour[pixel] = white ? RGB(255, 255, 255) : RGB(0, 0, 0);
            } else {
                uint32_t value = 0;
                std::memcpy(&value, lpbXORbits + pixel * 4, 4);
                image.colour[pixel] = RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
            }
        }
    }
    return Insert(std::move(image));
}

HICON CopyIcon(HICON hIcon) {
    std::shared_ptr<const IconImage> image = Lookup(hIcon);
    if (!image)
        return nullptr;
    return Insert(*image);
}

BOOL DestroyIcon(HICON hIcon) {
    IconTable& table = Table();
    std::lock_guard guard(table.lock);
    if (table.icons.erase(reinterpret_cast<uintptr_t>(hIcon)) == 0)
        return kernel::Fail(ERROR_INVALID_CURSOR_HANDLE, FALSE);
    return TRUE;
}

BOOL DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth, UINT, HBRUSH,
                UINT diFlags) {
    std::shared_ptr<const IconImage> image = Lookup(hIcon);
    if (!image)
        return FALSE;
    if (cxWidth < 0 || cyWidth < 0 || cxWidth > 4 * kMaxIconSide || cyWidth > 4 * kMaxIconSide ||
        (diFlags & DI_NORMAL) == 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    IconImage drawn = Scaled(*image, cxWidth ? cxWidth : image->width, cyWidth ? cyWidth : image->height);
    bool mask = (diFlags & DI_MASK) != 0;
    bool picture = (diFlags & DI_IMAGE) != 0;
    if (mask && picture)
        return Blit(hdc, xLeft, yTop, drawn, true, SRCAND) && Blit(hdc, xLeft, yTop, drawn, false, SRCPAINT);
    return Blit(hdc, xLeft, yTop, drawn, mask, SRCCOPY);
}

BOOL DrawIcon(HDC hDC, int X, int Y, HICON hIcon) {
    return DrawIconEx(hDC, X, Y, hIcon, 0, 0, 0, nullptr, DI_NORMAL);
}
