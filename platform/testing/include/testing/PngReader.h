#pragma once
// Reads PNG files back with libpng, the reference decoder, for checking screenshots.

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "crt/Types.h"

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    COLORREF At(int x, int y) const {
        size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
        return RGB(rgb[i], rgb[i + 1], rgb[i + 2]);
    }
};

inline std::optional<RgbImage> ReadPng(const std::filesystem::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        return std::nullopt;
    image.format = PNG_FORMAT_RGB;
    RgbImage result;
    result.width = static_cast<int>(image.width);
    result.height = static_cast<int>(image.height);
    result.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return result;
}
