// Feeds arbitrary files to the PNG decoder and both converters. Images that the decoder accepts but that
// take seconds only to zero-fill and copy (over 2^20 pixels) go through the header checks alone, so that
// the run spends its time on the parsing.
#include "PngDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr uint64_t kLargestDecodedPixels = uint64_t(1) << 20;

uint32_t BigEndian32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 24) {
        uint64_t pixels = uint64_t(BigEndian32(data + 16)) * BigEndian32(data + 20);
        if (pixels > kLargestDecodedPixels && pixels <= kMaxPngPixels) {
            uint32_t width, height, bitDepth, colorType, compression, filter, interlace;
            ResetPngInfo();
            ReadPngHeader(data, size, width, height, bitDepth, colorType, compression, filter, interlace);
            return 0;
        }
    }
    std::vector<uint8_t> output;
    bool hasAlpha = false;
    std::vector<uint8_t> file(data, data + size);
    ConvertPngToRgb565(file, output, hasAlpha);
    file.assign(data, data + size);
    ConvertPngToBgr24(file, output, hasAlpha);
    return 0;
}
