#include "Raster.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "DeviceContext.h"

namespace gdi {

namespace {

// A pixel value of the source in the destination's format.
class Converter {
public:
    Converter(const BitmapObject& source, PixelFormat destFormat, const BlitColors& colors)
        : m_source(source.format), m_dest(destFormat) {
        if (m_source == PixelFormat::Mono1 && m_dest != PixelFormat::Mono1) {
            m_zero = ColorToPixel(m_dest, colors.destText);
            m_one = ColorToPixel(m_dest, colors.destBk);
        }
        if (m_dest == PixelFormat::Mono1 && m_source != PixelFormat::Mono1)
            m_sourceBk = ColorToPixel(m_source, colors.sourceBk);
    }

    uint32_t operator()(uint32_t value) const {
        if (m_source == m_dest)
            return value;
        if (m_source == PixelFormat::Mono1)
            return (value & 1) ? m_one : m_zero;
        if (m_dest == PixelFormat::Mono1)
            return value == m_sourceBk ? 1u : 0u;
        return ColorToPixel(m_dest, PixelToColor(m_source, value));
    }

private:
    PixelFormat m_source;
    PixelFormat m_dest;
    uint32_t m_zero = 0;
    uint32_t m_one = 0;
    uint32_t m_sourceBk = 0;
};

// Bitwise operations work on eight 16-bit pixels at a time in a 128-bit vector.
using Wide = uint64_t __attribute__((vector_size(16)));
using Eight = uint16_t __attribute__((vector_size(16)));

// For each mask byte (most significant bit first), the eight 16-bit lanes it selects.
constexpr std::array<std::array<uint16_t, 8>, 256> kByteLanes = [] {
    std::array<std::array<uint16_t, 8>, 256> lanes{};
    for (unsigned byte = 0; byte < 256; ++byte)
        for (unsigned i = 0; i < 8; ++i)
            lanes[byte][i] = (byte & (0x80u >> i)) ? 0xFFFF : 0;
    return lanes;
}();

template <typename Op>
void Apply565(uint16_t* dest, const uint16_t* source, int count, Op op) {
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        Wide s;
        Wide d;
        std::memcpy(&s, source + i, sizeof s);
        std::memcpy(&d, dest + i, sizeof d);
        d = op(s, d);
        std::memcpy(dest + i, &d, sizeof d);
    }
    for (; i < count; ++i) {
        Wide s = {source[i], 0};
        Wide d = {dest[i], 0};
        dest[i] = static_cast<uint16_t>(op(s, d)[0]);
    }
}

Wide Rop3Wide(uint8_t code, Wide pattern, Wide source, Wide dest) {
    Wide result = {0, 0};
    for (int i = 0; i < 8; ++i) {
        if (!(code & (1 << i)))
            continue;
        Wide p = (i & 4) ? pattern : ~pattern;
        Wide s = (i & 2) ? source : ~source;
        Wide d = (i & 1) ? dest : ~dest;
        result |= p & s & d;
    }
    return result;
}

// The operation over one row of 16-bit pixels.
void RopRow565(uint16_t* dest, const uint16_t* source, int count, uint16_t pattern, uint8_t code) {
    switch (code) {
    case 0xCC:
        std::memmove(dest, source, static_cast<size_t>(count) * sizeof(uint16_t));
        return;
    case 0x88:
        Apply565(dest, source, count, [](Wide s, Wide d) { return s & d; });
        return;
    case 0xEE:
        Apply565(dest, source, count, [](Wide s, Wide d) { return s | d; });
        return;
    case 0x66:
        Apply565(dest, source, count, [](Wide s, Wide d) { return s ^ d; });
        return;
    case 0x33:
        Apply565(dest, source, count, [](Wide s, Wide) { return ~s; });
        return;
    default: {
        uint64_t repeated = pattern * 0x0001000100010001ull;
        Wide wide = {repeated, repeated};
        Apply565(dest, source, count, [&](Wide s, Wide d) { return Rop3Wide(code, wide, s, d); });
        return;
    }
    }
}

// Sets count pixels to one value: short rows with two stores that may overlap, longer ones sixteen
// pixels at a time.
inline void FillRow565(uint16_t* dest, int count, uint16_t pixel) {
    if (count < 4) {
        for (int i = 0; i < count; ++i)
            dest[i] = pixel;
        return;
    }
    uint64_t four = pixel * 0x0001000100010001ull;
    if (count < 8) {
        std::memcpy(dest, &four, sizeof four);
        std::memcpy(dest + count - 4, &four, sizeof four);
        return;
    }
    Eight eight = Eight{} + pixel;
    if (count <= 16) {
        std::memcpy(dest, &eight, sizeof eight);
        std::memcpy(dest + count - 8, &eight, sizeof eight);
        return;
    }
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        std::memcpy(dest + i, &eight, sizeof eight);
        std::memcpy(dest + i + 8, &eight, sizeof eight);
    }
    if (i + 8 <= count) {
        std::memcpy(dest + i, &eight, sizeof eight);
        i += 8;
    }
    if (i < count)
        std::memcpy(dest + count - 8, &eight, sizeof eight);
}

void RopRowNoSource565(uint16_t* dest, int count, uint16_t pattern, uint8_t code) {
    switch (code) {
    case 0xF0:
        FillRow565(dest, count, pattern);
        return;
    case 0x00:
        FillRow565(dest, count, 0);
        return;
    case 0xFF:
        FillRow565(dest, count, 0xFFFF);
        return;
    case 0xAA:
        return;
    case 0x55:
        for (int i = 0; i < count; ++i)
            dest[i] = static_cast<uint16_t>(~dest[i]);
        return;
    default:
        for (int i = 0; i < count; ++i)
            dest[i] = static_cast<uint16_t>(Rop3(code, pattern, 0, dest[i]));
        return;
    }
}

// Copies an area of a bitmap into copy (of the area's size), for blits whose source and destination are
// one bitmap.
void Snapshot(const BitmapObject& source, const RECT& area, BitmapObject& copy) {
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            copy.Write(x - area.left, y - area.top, source.Read(x, y));
}

} // namespace

bool RopUsesSource(uint8_t code) {
    return ((code >> 2) ^ code) & 0x33;
}

bool RopUsesPattern(uint8_t code) {
    return ((code >> 4) ^ code) & 0x0F;
}

uint32_t Rop3(uint8_t code, uint32_t pattern, uint32_t source, uint32_t dest) {
    uint32_t result = 0;
    for (int i = 0; i < 8; ++i) {
        if (!(code & (1 << i)))
            continue;
        uint32_t p = (i & 4) ? pattern : ~pattern;
        uint32_t s = (i & 2) ? source : ~source;
        uint32_t d = (i & 1) ? dest : ~dest;
        result |= p & s & d;
    }
    return result;
}

void FillPixels(BitmapObject& dest, ClipRects clip, const RECT& rect, uint32_t pixel) {
    RopFill(dest, clip, rect, pixel, 0xF0);
}

void RopFill(BitmapObject& dest, ClipRects clip, const RECT& rect, uint32_t pattern, uint8_t code) {
    uint32_t mask = PixelMask(dest.format);
    // Operations that set every pixel to one value (the pattern, black or white) are plain fills.
    bool solid = code == 0xF0 || code == 0x00 || code == 0xFF;
    auto value = static_cast<uint16_t>(code == 0xF0 ? pattern : code == 0xFF ? 0xFFFF : 0);
    for (const RECT& limit : clip) {
        RECT area;
        if (!Intersect(rect, limit, area))
            continue;
        dest.Touch(area);
        if (dest.format == PixelFormat::Rgb565) {
            int count = area.right - area.left;
            int rows = area.bottom - area.top;
            uint16_t* pixels = reinterpret_cast<uint16_t*>(dest.Row(area.top)) + area.left;
            auto step = static_cast<ptrdiff_t>(dest.rowBytes / sizeof(uint16_t));
            if (dest.bottomUp)
                step = -step;
            if (!solid) {
                for (int row = 0; row < rows; ++row, pixels += step)
                    RopRowNoSource565(pixels, count, static_cast<uint16_t>(pattern), code);
            } else if (count == 1) {
                // The vertical edges of frames.
                for (int row = 0; row < rows; ++row, pixels += step)
                    *pixels = value;
            } else {
                for (int row = 0; row < rows; ++row, pixels += step)
                    FillRow565(pixels, count, value);
            }
            continue;
        }
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                dest.Write(x, y, Rop3(code, pattern, 0, dest.Read(x, y)) & mask);
    }
}

void InvertPixel(BitmapObject& dest, ClipRects clip, int x, int y) {
    for (const RECT& limit : clip) {
        if (x < limit.left || x >= limit.right || y < limit.top || y >= limit.bottom)
            continue;
        dest.Write(x, y, ~dest.Read(x, y) & PixelMask(dest.format));
        dest.Touch(RECT{x, y, x + 1, y + 1});
        return;
    }
}

void Blit(BitmapObject& dest, ClipRects clip, const RECT& destRect, const BitmapObject& source,
          int sourceX, int sourceY, uint32_t pattern, uint8_t code, const BlitColors& colors) {
    // Only the part whose source lies inside the source bitmap is drawn.
    RECT sourceBounds{destRect.left - sourceX, destRect.top - sourceY, destRect.left - sourceX + source.width,
                      destRect.top - sourceY + source.height};
    RECT drawn;
    if (!Intersect(destRect, sourceBounds, drawn))
        return;
    int dx = sourceX - destRect.left; // source x = dest x + dx
    int dy = sourceY - destRect.top;

    if (&dest == &source) {
        RECT area{drawn.left + dx, drawn.top + dy, drawn.right + dx, drawn.bottom + dy};
        BitmapObject copy(area.right - area.left, area.bottom - area.top, source.format);
        Snapshot(source, area, copy);
        Blit(dest, clip, drawn, copy, 0, 0, pattern, code, colors);
        return;
    }

    Converter convert(source, dest.format, colors);
    uint32_t mask = PixelMask(dest.format);
    std::vector<uint16_t> line;
    for (const RECT& limit : clip) {
        RECT area;
        if (!Intersect(drawn, limit, area))
            continue;
        dest.Touch(area);
        int count = area.right - area.left;
        for (int y = area.top; y < area.bottom; ++y) {
            int sy = y + dy;
            int sx = area.left + dx;
            if (dest.format == PixelFormat::Rgb565) {
                auto* row = reinterpret_cast<uint16_t*>(dest.Row(y)) + area.left;
                const uint16_t* sourceRow;
                if (source.format == PixelFormat::Rgb565) {
                    sourceRow = reinterpret_cast<const uint16_t*>(source.Row(sy)) + sx;
                } else {
                    line.resize(static_cast<size_t>(count));
                    for (int i = 0; i < count; ++i)
                        line[static_cast<size_t>(i)] =
                            static_cast<uint16_t>(convert(source.Read(sx + i, sy)));
                    sourceRow = line.data();
                }
                RopRow565(row, sourceRow, count, static_cast<uint16_t>(pattern), code);
                continue;
            }
            if (code == 0xCC && source.format == dest.format && dest.format == PixelFormat::Bgr24) {
                std::memcpy(dest.Row(y) + 3 * static_cast<size_t>(area.left),
                            source.Row(sy) + 3 * static_cast<size_t>(sx), 3 * static_cast<size_t>(count));
                continue;
            }
            for (int i = 0; i < count; ++i) {
                uint32_t s = convert(source.Read(sx + i, sy));
                uint32_t d = dest.Read(area.left + i, y);
                dest.Write(area.left + i, y, Rop3(code, pattern, s, d) & mask);
            }
        }
    }
}

void DrawMask(BitmapObject& dest, ClipRects clip, int x, int y, const uint8_t* bits, int width, int rows, int pitch,
              uint32_t pixel) {
    RECT box{x, y, x + width, y + rows};
    for (const RECT& limit : clip) {
        RECT area;
        if (!Intersect(box, limit, area))
            continue;
        dest.Touch(area);
        if (dest.format != PixelFormat::Rgb565) {
            for (int py = area.top; py < area.bottom; ++py) {
                const uint8_t* maskRow = bits + static_cast<size_t>(py - y) * static_cast<size_t>(pitch);
                for (int px = area.left; px < area.right; ++px) {
                    int column = px - x;
                    if (maskRow[column >> 3] & (0x80 >> (column & 7)))
                        dest.Write(px, py, pixel);
                }
            }
            continue;
        }
        // Whole mask bytes at a time: eight pixels blended in one vector where all eight lie inside the
        // clip rectangle (a mask's bits past its width are 0), the set bits one by one where the clip cuts
        // the byte.
        Eight color = Eight{} + static_cast<uint16_t>(pixel);
        if (area.top == y && area.bottom == y + rows && x >= limit.left && x + 8 * pitch <= limit.right) {
            // The usual case: every byte of every row is blended whole.
            uint16_t* top = reinterpret_cast<uint16_t*>(dest.Row(y)) + x;
            auto step = static_cast<ptrdiff_t>(dest.rowBytes / sizeof(uint16_t));
            if (dest.bottomUp)
                step = -step;
            const uint8_t* mask = bits;
            if (pitch == 1) {
                // Glyphs up to eight pixels wide: one vector per row.
                for (int row = 0; row < rows; ++row, top += step) {
                    Eight old;
                    Eight lanes;
                    std::memcpy(&old, top, sizeof old);
                    std::memcpy(&lanes, kByteLanes[mask[row]].data(), sizeof lanes);
                    Eight blended = (old & ~lanes) | (color & lanes);
                    std::memcpy(top, &blended, sizeof blended);
                }
                continue;
            }
            for (int row = 0; row < rows; ++row) {
                uint16_t* pixels = top + row * step;
                for (int byteIndex = 0; byteIndex < pitch; ++byteIndex, ++mask, pixels += 8) {
                    Eight old;
                    Eight lanes;
                    std::memcpy(&old, pixels, sizeof old);
                    std::memcpy(&lanes, kByteLanes[*mask].data(), sizeof lanes);
                    Eight blended = (old & ~lanes) | (color & lanes);
                    std::memcpy(pixels, &blended, sizeof blended);
                }
            }
            continue;
        }
        int firstByte = (area.left - x) >> 3;
        int lastByte = (area.right - 1 - x) >> 3;
        for (int py = area.top; py < area.bottom; ++py) {
            const uint8_t* maskRow = bits + static_cast<size_t>(py - y) * static_cast<size_t>(pitch);
            auto* row = reinterpret_cast<uint16_t*>(dest.Row(py));
            for (int byteIndex = firstByte; byteIndex <= lastByte; ++byteIndex) {
                unsigned byte = maskRow[byteIndex];
                if (!byte)
                    continue;
                int base = x + byteIndex * 8;
                if (base >= limit.left && base + 8 <= limit.right) {
                    Eight old;
                    Eight lanes;
                    std::memcpy(&old, row + base, sizeof old);
                    std::memcpy(&lanes, kByteLanes[byte].data(), sizeof lanes);
                    Eight blended = (old & ~lanes) | (color & lanes);
                    std::memcpy(row + base, &blended, sizeof blended);
                    continue;
                }
                if (base < area.left)
                    byte &= 0xFFu >> (area.left - base);
                if (base + 8 > area.right)
                    byte &= 0xFFu << (base + 8 - area.right);
                while (byte) {
                    int bit = std::countl_zero(static_cast<uint8_t>(byte));
                    row[base + bit] = static_cast<uint16_t>(pixel);
                    byte &= ~(0x80u >> bit);
                }
            }
        }
    }
}

} // namespace gdi
