#include "PngWriter.h"

#include <zlib.h>

#include <fstream>

namespace display {

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// Format notes: a chunk is its data length, a four-letter type, the data and a CRC-32 over type and data.
void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutU32(out, static_cast<uint32_t>(data.size()));
    size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, out.data() + typeStart, static_cast<uInt>(out.size() - typeStart));
    PutU32(out, static_cast<uint32_t>(crc));
}

} // namespace

bool WriteRgbPng(const std::filesystem::path& file, int width, int height, const std::vector<uint8_t>& rgb) {
    size_t rowBytes = static_cast<size_t>(width) * 3;
    if (width <= 0 || height <= 0 || rgb.size() != rowBytes * static_cast<size_t>(height))
        return false;
    // Every row gets filter type 0 (none).
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        auto row = rgb.begin() + static_cast<ptrdiff_t>(rowBytes * static_cast<size_t>(y));
        raw.insert(raw.end(), row, row + static_cast<ptrdiff_t>(rowBytes));
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::vector<uint8_t> header;
    PutU32(header, static_cast<uint32_t>(width));
    PutU32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, adaptive filters, no interlace

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", {});

    std::filesystem::path temporary = file;
    temporary += ".part";
    {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        if (!stream)
            return false;
        stream.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
        if (!stream)
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    return !error;
}

} // namespace display
