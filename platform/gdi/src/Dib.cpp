#include "gdi/Dib.h"

#include <optional>
#include <vector>

#include "Bitmaps.h"
#include "DeviceContext.h"
#include "gdi/Gdi.h"
#include "kernel/Errors.h"
#include "kernel/Resources.h"

namespace {

// Every read of the image goes through this: out of range gives nothing.
class ByteReader {
public:
    ByteReader(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(bytes ? size : 0) {}

    const uint8_t* Span(size_t offset, size_t length) const {
        if (offset > m_size || length > m_size - offset)
            return nullptr;
        return m_bytes + offset;
    }
    std::optional<uint16_t> U16(size_t offset) const {
        const uint8_t* p = Span(offset, 2);
        if (!p)
            return std::nullopt;
        return static_cast<uint16_t>(p[0] | (p[1] << 8));
    }
    std::optional<uint32_t> U32(size_t offset) const {
        const uint8_t* p = Span(offset, 4);
        if (!p)
            return std::nullopt;
        return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
    }
    size_t Size() const { return m_size; }

private:
    const uint8_t* m_bytes;
    size_t m_size;
};

// One colour channel of a bit-field pixel.
class Channel {
public:
    explicit Channel(uint32_t mask) : m_mask(mask) {
        if (!mask)
            return;
        while (!(mask & 1)) {
            mask >>= 1;
            ++m_shift;
        }
        m_max = mask;
    }
    uint32_t operator()(uint32_t pixel) const {
        if (!m_max)
            return 0;
        uint64_t value = (pixel & m_mask) >> m_shift;
        return static_cast<uint32_t>((value * 255 + m_max / 2) / m_max);
    }

private:
    uint32_t m_mask;
    int m_shift = 0;
    uint64_t m_max = 0;
};

HBITMAP Refuse(DWORD error) {
    return kernel::Fail(error, static_cast<HBITMAP>(nullptr));
}

// Converts the DIB whose header starts at headerOffset; pixelOffset, when given, is where the pixels
// start (a file's bfOffBits), else they follow the colour table.
HBITMAP ConvertDib(const ByteReader& reader, size_t headerOffset, std::optional<size_t> pixelOffset) {
    auto headerSize = reader.U32(headerOffset);
    if (!headerSize)
        return Refuse(ERROR_INVALID_DATA);
    if (*headerSize < sizeof(BITMAPINFOHEADER))
        return Refuse(*headerSize == 12 ? ERROR_NOT_SUPPORTED : ERROR_INVALID_DATA);
    if (!reader.Span(headerOffset, *headerSize))
        return Refuse(ERROR_INVALID_DATA);
    auto width = static_cast<int32_t>(*reader.U32(headerOffset + 4));
    auto height = static_cast<int32_t>(*reader.U32(headerOffset + 8));
    uint16_t planes = *reader.U16(headerOffset + 12);
    uint16_t bits = *reader.U16(headerOffset + 14);
    uint32_t compression = *reader.U32(headerOffset + 16);
    uint32_t colorsUsed = *reader.U32(headerOffset + 32);
    if (width <= 0 || height == 0 || height == INT32_MIN || planes != 1)
        return Refuse(ERROR_INVALID_DATA);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return Refuse(ERROR_INVALID_DATA);
    bool bitFields = compression == BI_BITFIELDS;
    if (compression != BI_RGB && !(bitFields && (bits == 16 || bits == 32)))
        return Refuse(compression == BI_RLE8 || compression == BI_RLE4 ? ERROR_NOT_SUPPORTED
                                                                       : ERROR_INVALID_DATA);
    bool bottomUp = height > 0;
    int rows = bottomUp ? height : -height;
    if (!gdi::BitmapBytes(width, rows, 16, 2))
        return Refuse(ERROR_NOT_ENOUGH_MEMORY);

    // Bit-field masks sit inside the longer headers, or right after a BITMAPINFOHEADER.
    size_t tableOffset = headerOffset + *headerSize;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bits == 32) {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
    }
    if (bitFields) {
        size_t maskOffset = *headerSize >= 52 ? headerOffset + 40 : tableOffset;
        for (int i = 0; i < 3; ++i) {
            auto mask = reader.U32(maskOffset + 4 * static_cast<size_t>(i));
            if (!mask)
                return Refuse(ERROR_INVALID_DATA);
            masks[i] = *mask;
        }
        if (*headerSize < 52)
            tableOffset += 12;
    }

    std::vector<COLORREF> palette;
    if (bits <= 8) {
        uint32_t entries = colorsUsed ? colorsUsed : (1u << bits);
        if (entries > 256)
            return Refuse(ERROR_INVALID_DATA);
        const uint8_t* table = reader.Span(tableOffset, size_t{entries} * 4);
        if (!table)
            return Refuse(ERROR_INVALID_DATA);
        for (uint32_t i = 0; i < entries; ++i)
            palette.push_back(RGB(table[4 * i + 2], table[4 * i + 1], table[4 * i]));
        tableOffset += size_t{entries} * 4;
    }

    size_t start = pixelOffset.value_or(tableOffset);
    size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    // width and rows are bounded by BitmapBytes above, so this product cannot overflow.
    const uint8_t* pixels = reader.Span(start, stride * static_cast<size_t>(rows));
    if (!pixels)
        return Refuse(ERROR_INVALID_DATA);

    Channel red(masks[0]);
    Channel green(masks[1]);
    Channel blue(masks[2]);
    auto bitmap = std::make_shared<gdi::BitmapObject>(width, rows, gdi::PixelFormat::Rgb565);
    for (int y = 0; y < rows; ++y) {
        const uint8_t* row = pixels + stride * static_cast<size_t>(bottomUp ? rows - 1 - y : y);
        auto* out = reinterpret_cast<uint16_t*>(bitmap->Row(y));
        for (int x = 0; x < width; ++x) {
            COLORREF color = 0;
            if (bits <= 8) {
                size_t bitIndex = static_cast<size_t>(x) * bits;
                uint32_t index = (row[bitIndex / 8] >> (8 - bits - bitIndex % 8)) & ((1u << bits) - 1);
                color = index < palette.size() ? palette[index] : RGB(0, 0, 0);
            } else if (bits == 24) {
                const uint8_t* p = row + 3 * static_cast<size_t>(x);
                color = RGB(p[2], p[1], p[0]);
            } else {
                uint32_t value = 0;
                if (bits == 16) {
                    const uint8_t* p = row + 2 * static_cast<size_t>(x);
                    value = p[0] | (uint32_t{p[1]} << 8);
                } else {
                    const uint8_t* p = row + 4 * static_cast<size_t>(x);
                    value = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
                }
                color = RGB(red(value), green(value), blue(value));
            }
            out[x] = static_cast<uint16_t>(gdi::ColorToPixel(gdi::PixelFormat::Rgb565, color));
        }
    }
    return gdi::InsertBitmap(std::move(bitmap));
}

} // namespace

namespace gdi {

HBITMAP CreateBitmapFromBmpFile(const uint8_t* bytes, size_t size) {
    ByteReader reader(bytes, size);
    auto type = reader.U16(0);
    auto offBits = reader.U32(10);
    if (!type || *type != 0x4D42 || !offBits) // "BM"
        return Refuse(ERROR_INVALID_DATA);
    return ConvertDib(reader, sizeof(BITMAPFILEHEADER), *offBits);
}

HBITMAP CreateBitmapFromPackedDib(const uint8_t* bytes, size_t size) {
    return ConvertDib(ByteReader(bytes, size), 0, std::nullopt);
}

} // namespace gdi

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
    HRSRC resource = FindResourceW(instance, name, RT_BITMAP);
    if (!resource)
        return nullptr;
    HGLOBAL data = LoadResource(instance, resource);
    if (!data)
        return nullptr;
    return gdi::CreateBitmapFromPackedDib(static_cast<const uint8_t*>(LockResource(data)),
                                          SizeofResource(instance, resource));
}
