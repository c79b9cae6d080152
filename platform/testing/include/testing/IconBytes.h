#pragma once
// Icon resources made in code for tests: icon images as an .ico file holds them and group directories.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "crt/Types.h"

namespace icon_bytes {

inline void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

// An icon image as an .ico file holds it. opaque(x, y) and colour(x, y) are in top-down coordinates.
template <typename Opaque, typename Colour>
std::vector<uint8_t> IconImage(int side, int bits, Opaque opaque, Colour colour) {
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(side));
    Put32(out, static_cast<uint32_t>(side * 2));
    Put16(out, 1);
    Put16(out, static_cast<uint16_t>(bits));
    for (int i = 0; i < 6; ++i)
        Put32(out, 0);
    for (int y = side - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < side; ++x) {
            COLORREF c = colour(x, y);
            out.push_back(GetBValue(c));
            out.push_back(GetGValue(c));
            out.push_back(GetRValue(c));
            if (bits == 32)
                out.push_back(opaque(x, y) ? 255 : 0);
        }
        while ((out.size() - start) % 4)
            out.push_back(0);
    }
    size_t maskStride = (static_cast<size_t>(side) + 31) / 32 * 4;
    for (int y = side - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskStride, 0);
        // A 32-bit image gets a mask that contradicts its alpha: a reader that takes the mask shows.
        for (int x = 0; x < side; ++x)
            if (bits == 32 ? opaque(x, y) : !opaque(x, y))
                row[static_cast<size_t>(x) / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

struct GroupEntry {
    int side;
    int bits;
    uint16_t id;
};
inline std::vector<uint8_t> Group(std::initializer_list<GroupEntry> entries, uint16_t declaredCount = 0) {
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, declaredCount ? declaredCount : static_cast<uint16_t>(entries.size()));
    for (const GroupEntry& e : entries) {
        out.push_back(static_cast<uint8_t>(e.side));
        out.push_back(static_cast<uint8_t>(e.side));
        out.push_back(0);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, static_cast<uint16_t>(e.bits));
        Put32(out, 0);
        Put16(out, e.id);
    }
    return out;
}

} // namespace icon_bytes
