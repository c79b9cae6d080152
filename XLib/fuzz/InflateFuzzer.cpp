// Feeds ZlibDecompress arbitrary streams: the first two bytes choose the output size, the rest is the
// stream.
#include "Inflate.h"
#include "PngInfo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    uint32_t outputSize = (uint32_t(data[0]) | uint32_t(data[1]) << 8) * 4;
    std::vector<uint8_t> input(data + 2, data + size);
    std::vector<uint8_t> output(outputSize);
    ResetPngInfo();
    ZlibDecompress(output.data(), input.data(), outputSize, uint32_t(input.size()));
    return 0;
}
