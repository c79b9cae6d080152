#pragma once
// One-colour 24-bit BMP files and packed DIBs for the strip tests.

#include <cstdint>
#include <vector>

#include "crt/Types.h"

inline std::vector<uint8_t> PackedDibOf(int width, int height, COLORREF color) {
    std::vector<uint8_t> out;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put32(40);
    put32(static_cast<uint32_t>(width));
    put32(static_cast<uint32_t>(height));
    put32(1 | (24u << 16)); // planes, bits per pixel
    for (int i = 0; i < 6; ++i)
        put32(0);
    size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    for (int y = 0; y < height; ++y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < width; ++x) {
            row[3 * static_cast<size_t>(x)] = GetBValue(color);
            row[3 * static_cast<size_t>(x) + 1] = GetGValue(color);
            row[3 * static_cast<size_t>(x) + 2] = GetRValue(color);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

inline std::vector<uint8_t> BmpOf(int width, int height, COLORREF color) {
    std::vector<uint8_t> dib = PackedDibOf(width, height, color);
    std::vector<uint8_t> out = {'B', 'M'};
    uint32_t size = static_cast<uint32_t>(14 + dib.size());
    for (uint32_t v : {size, 0u, 54u})
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}
