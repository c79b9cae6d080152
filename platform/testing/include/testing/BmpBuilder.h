#pragma once
// Writes small BMP files and packed DIBs for the loader tests.

#include <cstdint>
#include <functional>
#include <vector>

#include "gdi/Gdi.h"

struct BmpSpec {
    int width = 3;
    int height = 2;
    int bits = 24;
    bool topDown = false;
    DWORD compression = BI_RGB;
    std::vector<uint32_t> masks;   // BI_BITFIELDS: red, green, blue
    uint32_t headerSize = 40;      // 40, or 124 with the masks inside the header
    std::vector<uint32_t> palette; // 0x00RRGGBB entries
    // The stored value of a pixel: a palette index, a 16- or 32-bit word, or 0x00RRGGBB for 24 bits.
    std::function<uint32_t(int x, int y)> value;
};

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

inline std::vector<uint8_t> PackedDib(const BmpSpec& spec) {
    std::vector<uint8_t> out;
    bool masksInHeader = spec.headerSize >= 52;
    Put32(out, spec.headerSize);
    Put32(out, static_cast<uint32_t>(spec.width));
    Put32(out, static_cast<uint32_t>(spec.topDown ? -spec.height : spec.height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(spec.bits));
    Put32(out, spec.compression);
    Put32(out, 0);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, static_cast<uint32_t>(spec.palette.size()));
    Put32(out, 0);
    if (masksInHeader)
        for (size_t i = 0; i < 3; ++i)
            Put32(out, i < spec.masks.size() ? spec.masks[i] : 0);
    while (out.size() < spec.headerSize)
        out.push_back(0);
    if (!masksInHeader && spec.compression == BI_BITFIELDS)
        for (uint32_t mask : spec.masks)
            Put32(out, mask);
    for (uint32_t entry : spec.palette)
        Put32(out, entry);
    size_t stride = (static_cast<size_t>(spec.width) * spec.bits + 31) / 32 * 4;
    for (int r = 0; r < spec.height; ++r) {
        int y = spec.topDown ? r : spec.height - 1 - r;
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < spec.width; ++x) {
            uint32_t v = spec.value(x, y);
            size_t bit = static_cast<size_t>(x) * spec.bits;
            switch (spec.bits) {
            case 1:
            case 4:
            case 8:
                row[bit / 8] |= static_cast<uint8_t>(v << (8 - spec.bits - bit % 8));
                break;
            case 16:
                row[bit / 8] = static_cast<uint8_t>(v);
                row[bit / 8 + 1] = static_cast<uint8_t>(v >> 8);
                break;
            case 24:
                row[bit / 8] = static_cast<uint8_t>(v);
                row[bit / 8 + 1] = static_cast<uint8_t>(v >> 8);
                row[bit / 8 + 2] = static_cast<uint8_t>(v >> 16);
                break;
            case 32:
                for (int i = 0; i < 4; ++i)
                    row[bit / 8 + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
                break;
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

inline std::vector<uint8_t> BmpFile(const BmpSpec& spec) {
    std::vector<uint8_t> dib = PackedDib(spec);
    size_t headerAndTable = spec.headerSize + spec.palette.size() * 4 +
                            (spec.compression == BI_BITFIELDS && spec.headerSize < 52 ? 12 : 0);
    std::vector<uint8_t> out = {'B', 'M'};
    Put32(out, static_cast<uint32_t>(14 + dib.size()));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(14 + headerAndTable));
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}
