#pragma once
// Writes 8-bit RGB images as PNG files.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace display {

// rgb holds height rows of width * 3 bytes, top row first.
bool WriteRgbPng(const std::filesystem::path& file, int width, int height, const std::vector<uint8_t>& rgb);

} // namespace display
