#include "PngDecoder.h"

#include "Inflate.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// The signature and an IHDR chunk of length 13 with its CRC; the chunk walk starts after them.
constexpr size_t kFirstChunk = 33;
constexpr size_t kChunkHeaderMinimum = 9;

// Adam7: left, top, column step and row step of each pass.
struct Adam7Layout {
    uint32_t left, top, columnStep, rowStep;
};
const Adam7Layout kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                               {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

enum class PixelForm { Rgb565, Bgr24 };

void Fail(uint32_t number) {
    GetPngInfo().error = number;
}

// A bounds-checked window on a byte buffer: ranges are handed out only when they lie wholly inside.
class ByteWindow {
public:
    ByteWindow(uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    explicit ByteWindow(std::vector<uint8_t>& bytes) : m_data(bytes.data()), m_size(bytes.size()) {}

    uint8_t* Range(uint64_t offset, uint64_t count) const {
        if (offset > m_size || count > m_size - offset)
            return nullptr;
        return m_data + offset;
    }
    // Small pixels (1, 2 or 4 bits) are packed most significant bit first and never straddle a byte.
    bool GetSmallPixel(uint64_t pixel, uint32_t bitsPerPixel, uint32_t& value) const {
        uint64_t bit = pixel * bitsPerPixel;
        const uint8_t* byte = Range(bit / 8, 1);
        if (byte == nullptr)
            return false;
        value = (*byte >> (8 - bitsPerPixel - bit % 8)) & ((1u << bitsPerPixel) - 1);
        return true;
    }
    bool SetSmallPixel(uint64_t pixel, uint32_t bitsPerPixel, uint32_t value) const {
        uint64_t bit = pixel * bitsPerPixel;
        uint8_t* byte = Range(bit / 8, 1);
        if (byte == nullptr)
            return false;
        uint32_t shift = 8 - bitsPerPixel - uint32_t(bit % 8);
        uint32_t mask = ((1u << bitsPerPixel) - 1) << shift;
        *byte = uint8_t((*byte & ~mask) | (value << shift & mask));
        return true;
    }
    // Writes the first count bits of from at bit toBit, most significant bit first, keeping the bits
    // around them.
    bool CopyBitsTo(uint64_t toBit, const uint8_t* from, uint64_t count) const {
        uint32_t shift = uint32_t(toBit % 8);
        uint8_t* to = Range(toBit / 8, (shift + count + 7) / 8);
        if (to == nullptr)
            return false;
        for (uint64_t i = 0; i * 8 < count; ++i) {
            uint32_t bits = uint32_t(std::min<uint64_t>(8, count - i * 8));
            uint32_t mask = (0xFF00u >> bits & 0xFF) << 8 >> shift;
            uint32_t value = uint32_t(from[i]) << 8 >> shift & mask;
            to[i] = uint8_t((to[i] & ~(mask >> 8)) | value >> 8);
            if (mask & 0xFF)
                to[i + 1] = uint8_t((to[i + 1] & ~mask) | (value & 0xFF));
        }
        return true;
    }

private:
    uint8_t* m_data;
    size_t m_size;
};

uint32_t ReadBigEndian32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

uint32_t ChannelsOf(uint32_t colorType) {
    switch (colorType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

bool BitDepthAllowed(uint32_t colorType, uint32_t bitDepth) {
    switch (colorType) {
    case 0:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case 3:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    default:
        return bitDepth == 8 || bitDepth == 16;
    }
}

// Buffer sizes of the decode, in 64 bits; width and height are at most kMaxPngBufferBytes, so nothing
// overflows.
uint64_t InflateBufferSize(uint64_t width, uint64_t height, uint64_t bitsPerPixel) {
    return width * (height * bitsPerPixel + 7) / 8 + 8 * height;
}
uint64_t RawPixelsSize(uint64_t width, uint64_t height, uint64_t bitsPerPixel) {
    return (height * width * bitsPerPixel + 7) / 8;
}
uint64_t LineBytes(uint64_t width, uint64_t bitsPerPixel) {
    return (width * bitsPerPixel + 7) / 8;
}

// Sizes a buffer to count zero bytes; sizes past the limit and failed allocations give kPngTooLarge.
bool Allocate(std::vector<uint8_t>& buffer, uint64_t count) {
    if (count > kMaxPngBufferBytes) {
        Fail(kPngTooLarge);
        return false;
    }
    try {
        buffer.assign(size_t(count), 0);
    } catch (const std::bad_alloc&) {
        buffer.clear();
        Fail(kPngTooLarge);
        return false;
    }
    return true;
}

// Whether an image of this header fits the limits: width or height alone past the buffer limit already
// makes the inflate buffer too large, and bounding them first keeps the products below in 64 bits.
bool SizesFit(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t interlaceMethod) {
    if (width > kMaxPngBufferBytes || height > kMaxPngBufferBytes)
        return false;
    if (uint64_t(width) * height > kMaxPngPixels)
        return false;
    if (InflateBufferSize(width, height, bitsPerPixel) > kMaxPngBufferBytes)
        return false;
    if (RawPixelsSize(width, height, bitsPerPixel) > kMaxPngBufferBytes)
        return false;
    // The two Adam7 line buffers.
    return interlaceMethod == 0 || uint64_t(width) * bitsPerPixel <= kMaxPngBufferBytes;
}

// PLTE, tRNS and bKGD; data holds length bytes.
void ReadPalette(const uint8_t* data, uint32_t length) {
    PngInfo& info = GetPngInfo();
    uint32_t entries = length / 3;
    if (entries > 256) {
        Fail(kPngPaletteTooLarge);
        return;
    }
    if (!Allocate(info.palette, uint64_t(entries) * 4))
        return;
    for (uint32_t i = 0; i < entries; ++i) {
        info.palette[4 * i] = data[3 * i];
        info.palette[4 * i + 1] = data[3 * i + 1];
        info.palette[4 * i + 2] = data[3 * i + 2];
        info.palette[4 * i + 3] = 255;
    }
    info.paletteSize = entries;
}

void ReadTransparency(const uint8_t* data, uint32_t length) {
    PngInfo& info = GetPngInfo();
    switch (info.colorType) {
    case 3: {
        ByteWindow palette(info.palette);
        if (length > info.paletteSize) {
            Fail(kPngTransparencyPastPalette);
            return;
        }
        for (uint32_t i = 0; i < length; ++i) {
            uint8_t* alpha = palette.Range(uint64_t(4) * i + 3, 1);
            if (alpha == nullptr) {
                Fail(kPngTransparencyPastPalette);
                return;
            }
            *alpha = data[i];
        }
        return;
    }
    case 0:
        if (length != 2) {
            Fail(kPngBadGreyKey);
            return;
        }
        info.keyDefined = 1;
        info.keyRed = data[1];
        return;
    case 2:
        if (length != 6) {
            Fail(kPngBadRgbKey);
            return;
        }
        info.keyDefined = 1;
        info.keyRed = data[1];
        info.keyGreen = data[3];
        info.keyBlue = data[5];
        return;
    default:
        Fail(kPngTransparencyWithAlpha);
        return;
    }
}

void ReadBackground(const uint8_t* data, uint32_t length) {
    PngInfo& info = GetPngInfo();
    switch (info.colorType) {
    case 3:
        if (length != 1) {
            Fail(kPngBadPaletteBackground);
            return;
        }
        info.backgroundDefined = 1;
        info.backgroundRed = data[0];
        return;
    case 0:
    case 4:
        if (length != 2) {
            Fail(kPngBadGreyBackground);
            return;
        }
        info.backgroundDefined = 1;
        info.backgroundRed = data[1];
        return;
    default:
        if (length != 6) {
            Fail(kPngBadRgbBackground);
            return;
        }
        info.backgroundDefined = 1;
        info.backgroundRed = data[1];
        info.backgroundGreen = data[3];
        info.backgroundBlue = data[5];
        return;
    }
}

// Walks the chunks after IHDR up to IEND, joining the IDAT data behind the first IDAT's data inside the
// file bytes. Returns the joined run's offset and length.
void WalkChunks(std::vector<uint8_t>& fileBytes, size_t& idatStart, size_t& idatLength) {
    ByteWindow file(fileBytes);
    bool haveIdat = false;
    idatStart = 0;
    idatLength = 0;
    uint64_t pos = kFirstChunk;
    for (;;) {
        const uint8_t* head = file.Range(pos, kChunkHeaderMinimum);
        if (head == nullptr) {
            Fail(kPngNoChunkHeader);
            return;
        }
        uint32_t length = ReadBigEndian32(head);
        uint8_t* data = file.Range(pos + 8, length);
        if (data == nullptr) {
            Fail(kPngChunkPastEnd);
            return;
        }
        const uint8_t* type = head + 4;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (!haveIdat) {
                haveIdat = true;
                idatStart = size_t(pos + 8);
            } else if (length > 0) {
                // The run so far ends before this chunk's header, so the move goes down over bytes that
                // the walk has already passed.
                uint8_t* to = file.Range(idatStart + idatLength, length);
                if (to == nullptr) {
                    Fail(kPngChunkPastEnd);
                    return;
                }
                std::memmove(to, data, length);
            }
            idatLength += length;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            return;
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            ReadPalette(data, length);
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            ReadTransparency(data, length);
        } else if (std::memcmp(type, "bKGD", 4) == 0) {
            ReadBackground(data, length);
        }
        if (PngHasError())
            return;
        pos += 12 + uint64_t(length);
    }
}

void DecodeRows(const ByteWindow& inflated, std::vector<uint8_t>& rawPixels) {
    const PngInfo& info = GetPngInfo();
    uint32_t bitsPerPixel = info.bitsPerPixel;
    size_t bytesPerPixel = (bitsPerPixel + 7) / 8;
    uint64_t lineBytes = LineBytes(info.width, bitsPerPixel);
    ByteWindow raw(rawPixels);
    if (bitsPerPixel >= 8) {
        // Whole-byte pixels: rows are unfiltered straight into place, against the row above.
        for (uint64_t y = 0; y < info.height; ++y) {
            const uint8_t* line = inflated.Range(y * (lineBytes + 1), lineBytes + 1);
            uint8_t* recon = raw.Range(y * lineBytes, lineBytes);
            const uint8_t* prior = y > 0 ? raw.Range((y - 1) * lineBytes, lineBytes) : nullptr;
            if (line == nullptr || recon == nullptr) {
                Fail(kPngTooLarge);
                return;
            }
            UnfilterScanline(recon, line + 1, prior,
                             y == 0 ? ScanlinePosition::First : ScanlinePosition::Later, bytesPerPixel,
                             line[0], size_t(lineBytes));
            if (PngHasError())
                return;
        }
        return;
    }
    // Small pixels: rows are padded to whole bytes in the file but not in the raw pixels.
    std::vector<uint8_t> current;
    std::vector<uint8_t> previous;
    if (!Allocate(current, lineBytes) || !Allocate(previous, lineBytes))
        return;
    uint64_t rowBits = uint64_t(info.width) * bitsPerPixel;
    uint64_t outBit = 0;
    for (uint64_t y = 0; y < info.height; ++y) {
        const uint8_t* line = inflated.Range(y * (lineBytes + 1), lineBytes + 1);
        if (line == nullptr) {
            Fail(kPngTooLarge);
            return;
        }
        UnfilterScanline(current.data(), line + 1, previous.data(),
                         y == 0 ? ScanlinePosition::First : ScanlinePosition::Later, bytesPerPixel, line[0],
                         size_t(lineBytes));
        if (PngHasError())
            return;
        if (!raw.CopyBitsTo(outBit, current.data(), rowBits)) {
            Fail(kPngTooLarge);
            return;
        }
        outBit += rowBits;
        std::swap(current, previous);
    }
}

void DecodeAdam7(const ByteWindow& inflated, std::vector<uint8_t>& rawPixels) {
    const PngInfo& info = GetPngInfo();
    uint32_t width = info.width;
    uint32_t height = info.height;
    uint32_t bitsPerPixel = info.bitsPerPixel;
    std::vector<uint8_t> lineA;
    std::vector<uint8_t> lineB;
    if (!Allocate(lineA, uint64_t(width) * bitsPerPixel) || !Allocate(lineB, uint64_t(width) * bitsPerPixel))
        return;
    const uint32_t passWidths[7] = {(width + 7) / 8,
                                    (width + 3) / 8,
                                    (width + 3) / 4,
                                    (width + 1) / 4,
                                    (width + 1) / 2,
                                    width / 2,
                                    width};
    const uint32_t passHeights[7] = {(height + 7) / 8, (height + 7) / 8, (height + 3) / 8, (height + 3) / 4,
                                     (height + 1) / 4, (height + 1) / 2, height / 2};
    uint64_t offset = 0;
    for (int pass = 0; pass < 7; ++pass) {
        uint32_t passWidth = passWidths[pass];
        uint32_t passHeight = passHeights[pass];
        if (passWidth == 0 || passHeight == 0)
            continue;
        uint64_t passBytes = uint64_t(passHeight) * (LineBytes(passWidth, bitsPerPixel) + 1);
        const uint8_t* passData = inflated.Range(offset, passBytes);
        if (passData == nullptr) {
            Fail(kPngTooLarge);
            return;
        }
        const Adam7Layout& layout = kAdam7[pass];
        Adam7Pass(rawPixels, passData, lineA, lineB, width, (bitsPerPixel + 7) / 8, layout.left, layout.top,
                  layout.columnStep, layout.rowStep, passWidth, passHeight, bitsPerPixel);
        if (PngHasError())
            return;
        offset += passBytes;
    }
}

void PutPixel(uint8_t* row, uint32_t x, PixelForm form, uint8_t red, uint8_t green, uint8_t blue) {
    if (form == PixelForm::Rgb565) {
        uint16_t value = PackRgb565(blue, green, red);
        row[2 * size_t(x)] = uint8_t(value);
        row[2 * size_t(x) + 1] = uint8_t(value >> 8);
        return;
    }
    uint32_t value = PackBgr24(blue, green, red);
    row[3 * size_t(x)] = uint8_t(value);
    row[3 * size_t(x) + 1] = uint8_t(value >> 8);
    row[3 * size_t(x) + 2] = uint8_t(value >> 16);
}

void ConvertPng(std::vector<uint8_t>& fileBytes, std::vector<uint8_t>& output, bool& hasAlpha,
                PixelForm form) {
    output.clear();
    std::vector<uint8_t> rawPixels;
    DecodePng(fileBytes, rawPixels);
    if (PngHasError())
        return;
    const PngInfo& info = GetPngInfo();
    bool alpha = info.channels == 4;
    uint64_t width = info.width;
    uint64_t height = info.height;
    uint64_t stride = form == PixelForm::Rgb565 ? width * 2 : (width * 3 + 3) & ~uint64_t(3);
    uint64_t rows = alpha ? height * 2 : height;
    if (!Allocate(output, stride * rows)) {
        output.clear();
        return;
    }
    hasAlpha = alpha;
    if (info.bitDepth != 8 || (info.colorType != 2 && info.colorType != 6))
        return;

    ByteWindow raw(rawPixels);
    ByteWindow out(output);
    size_t pixelBytes = info.channels;
    for (uint64_t y = 0; y < height; ++y) {
        const uint8_t* source = raw.Range(y * width * pixelBytes, width * pixelBytes);
        uint8_t* colorRow = out.Range(y * stride, stride);
        uint8_t* maskRow = alpha ? out.Range((y + height) * stride, stride) : colorRow;
        if (source == nullptr || colorRow == nullptr || maskRow == nullptr) {
            output.clear();
            Fail(kPngTooLarge);
            return;
        }
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* pixel = source + x * pixelBytes;
            if (!alpha) {
                PutPixel(colorRow, x, form, pixel[0], pixel[1], pixel[2]);
                continue;
            }
            uint8_t a = pixel[3];
            PutPixel(colorRow, x, form, PremultiplyAlpha(pixel[0], a), PremultiplyAlpha(pixel[1], a),
                     PremultiplyAlpha(pixel[2], a));
            uint8_t mask = uint8_t(255 - a);
            PutPixel(maskRow, x, form, mask, mask, mask);
        }
    }
}

} // namespace

void DecodePng(std::vector<uint8_t>& fileBytes, std::vector<uint8_t>& rawPixels) {
    PngInfo& info = GetPngInfo();
    if (fileBytes.empty()) {
        info.error = kPngEmptyInput;
        return;
    }
    ResetPngInfo();
    ReadPngHeader(fileBytes.data(), fileBytes.size(), info.width, info.height, info.bitDepth, info.colorType,
                  info.compressionMethod, info.filterMethod, info.interlaceMethod);
    if (PngHasError())
        return;
    size_t idatStart = 0;
    size_t idatLength = 0;
    WalkChunks(fileBytes, idatStart, idatLength);
    if (PngHasError())
        return;
    info.channels = ChannelsOf(info.colorType);
    info.bitsPerPixel = info.bitDepth * info.channels;

    std::vector<uint8_t> inflated;
    if (!Allocate(inflated, InflateBufferSize(info.width, info.height, info.bitsPerPixel)))
        return;
    // Without any IDAT the run is empty, which the zlib header check refuses.
    const uint8_t* idat = ByteWindow(fileBytes).Range(idatStart, idatLength);
    ZlibDecompress(inflated.data(), idat, uint32_t(inflated.size()),
                   uint32_t(std::min<size_t>(idatLength, UINT32_MAX)));
    if (PngHasError())
        return;

    if (!Allocate(rawPixels, RawPixelsSize(info.width, info.height, info.bitsPerPixel)))
        return;
    ByteWindow inflatedWindow(inflated);
    if (info.interlaceMethod == 0)
        DecodeRows(inflatedWindow, rawPixels);
    else
        DecodeAdam7(inflatedWindow, rawPixels);
}

void ReadPngHeader(const uint8_t* bytes, size_t size, uint32_t& width, uint32_t& height, uint32_t& bitDepth,
                   uint32_t& colorType, uint32_t& compressionMethod, uint32_t& filterMethod,
                   uint32_t& interlaceMethod) {
    if (bytes == nullptr || size < 29) {
        Fail(kPngTooShort);
        return;
    }
    if (std::memcmp(bytes, kSignature, 8) != 0) {
        Fail(kPngBadSignature);
        return;
    }
    if (std::memcmp(bytes + 12, "IHDR", 4) != 0) {
        Fail(kPngNoIhdr);
        return;
    }
    width = ReadBigEndian32(bytes + 16);
    height = ReadBigEndian32(bytes + 20);
    bitDepth = bytes[24];
    colorType = bytes[25];
    compressionMethod = bytes[26];
    filterMethod = bytes[27];
    interlaceMethod = bytes[28];
    if (compressionMethod != 0) {
        Fail(kPngBadCompressionMethod);
        return;
    }
    if (filterMethod != 0) {
        Fail(kPngBadFilterMethod);
        return;
    }
    if (interlaceMethod > 1) {
        Fail(kPngBadInterlaceMethod);
        return;
    }
    if (colorType != 0 && colorType != 2 && colorType != 3 && colorType != 4 && colorType != 6) {
        Fail(kPngBadColorType);
        return;
    }
    if (!BitDepthAllowed(colorType, bitDepth)) {
        Fail(kPngBadBitDepth);
        return;
    }
    if (width == 0 || height == 0) {
        Fail(kPngZeroSize);
        return;
    }
    if (!SizesFit(width, height, bitDepth * ChannelsOf(colorType), interlaceMethod))
        Fail(kPngTooLarge);
}

void UnfilterScanline(uint8_t* recon, const uint8_t* scanline, const uint8_t* prior,
                      ScanlinePosition position, size_t bytesPerPixel, uint8_t filterType, size_t length) {
    bool first = position == ScanlinePosition::First;
    size_t lead = std::min(bytesPerPixel, length);
    switch (filterType) {
    case 0:
        std::memcpy(recon, scanline, length);
        return;
    case 1:
        std::memcpy(recon, scanline, lead);
        for (size_t i = lead; i < length; ++i)
            recon[i] = uint8_t(scanline[i] + recon[i - bytesPerPixel]);
        return;
    case 2:
        if (first) {
            std::memcpy(recon, scanline, length);
            return;
        }
        for (size_t i = 0; i < length; ++i)
            recon[i] = uint8_t(scanline[i] + prior[i]);
        return;
    case 3:
        if (first) {
            std::memcpy(recon, scanline, lead);
            for (size_t i = lead; i < length; ++i)
                recon[i] = uint8_t(scanline[i] + recon[i - bytesPerPixel] / 2);
            return;
        }
        for (size_t i = 0; i < lead; ++i)
            recon[i] = uint8_t(scanline[i] + prior[i] / 2);
        for (size_t i = lead; i < length; ++i)
            recon[i] = uint8_t(scanline[i] + (recon[i - bytesPerPixel] + prior[i]) / 2);
        return;
    case 4:
        // With the prior line all zeros the predictor is always the left byte; without a left byte it is
        // the byte above.
        if (first) {
            std::memcpy(recon, scanline, lead);
            for (size_t i = lead; i < length; ++i)
                recon[i] = uint8_t(scanline[i] + recon[i - bytesPerPixel]);
            return;
        }
        for (size_t i = 0; i < lead; ++i)
            recon[i] = uint8_t(scanline[i] + prior[i]);
        for (size_t i = lead; i < length; ++i)
            recon[i] = uint8_t(scanline[i] +
                               PaethPredictor(recon[i - bytesPerPixel], prior[i], prior[i - bytesPerPixel]));
        return;
    default:
        Fail(kPngBadFilterType);
        return;
    }
}

uint8_t PaethPredictor(uint8_t left, uint8_t above, uint8_t upperLeft) {
    int estimate = int(left) + int(above) - int(upperLeft);
    int toLeft = estimate > left ? estimate - left : left - estimate;
    int toAbove = estimate > above ? estimate - above : above - estimate;
    int toUpperLeft = estimate > upperLeft ? estimate - upperLeft : upperLeft - estimate;
    if (toLeft <= toAbove && toLeft <= toUpperLeft)
        return left;
    if (toAbove <= toUpperLeft)
        return above;
    return upperLeft;
}

void Adam7Pass(std::vector<uint8_t>& rawPixels, const uint8_t* passData, std::vector<uint8_t>& lineA,
               std::vector<uint8_t>& lineB, uint32_t width, size_t bytesPerPixel, uint32_t left, uint32_t top,
               uint32_t columnStep, uint32_t rowStep, uint32_t passWidth, uint32_t passHeight,
               uint32_t bitsPerPixel) {
    uint64_t lineBytes = LineBytes(passWidth, bitsPerPixel);
    if (lineA.size() < lineBytes || lineB.size() < lineBytes) {
        Fail(kPngTooLarge);
        return;
    }
    ByteWindow raw(rawPixels);
    uint8_t* current = lineA.data();
    uint8_t* previous = lineB.data();
    for (uint64_t y = 0; y < passHeight; ++y) {
        const uint8_t* line = passData + y * (lineBytes + 1);
        UnfilterScanline(current, line + 1, previous,
                         y == 0 ? ScanlinePosition::First : ScanlinePosition::Later, bytesPerPixel, line[0],
                         size_t(lineBytes));
        if (PngHasError())
            return;
        uint64_t row = top + rowStep * y;
        ByteWindow pass(current, size_t(lineBytes));
        for (uint64_t i = 0; i < passWidth; ++i) {
            uint64_t pixel = row * width + left + columnStep * i;
            if (bitsPerPixel >= 8) {
                uint8_t* to = raw.Range(pixel * bytesPerPixel, bytesPerPixel);
                const uint8_t* from = pass.Range(i * bytesPerPixel, bytesPerPixel);
                if (to == nullptr || from == nullptr) {
                    Fail(kPngTooLarge);
                    return;
                }
                std::memcpy(to, from, bytesPerPixel);
                continue;
            }
            uint32_t value = 0;
            if (!pass.GetSmallPixel(i, bitsPerPixel, value) ||
                !raw.SetSmallPixel(pixel, bitsPerPixel, value)) {
                Fail(kPngTooLarge);
                return;
            }
        }
        std::swap(current, previous);
    }
}

void ConvertPngToRgb565(std::vector<uint8_t>& fileBytes, std::vector<uint8_t>& output, bool& hasAlpha) {
    ConvertPng(fileBytes, output, hasAlpha, PixelForm::Rgb565);
}

void ConvertPngToBgr24(std::vector<uint8_t>& fileBytes, std::vector<uint8_t>& output, bool& hasAlpha) {
    ConvertPng(fileBytes, output, hasAlpha, PixelForm::Bgr24);
}

uint16_t PackRgb565(uint8_t blue, uint8_t green, uint8_t red) {
    return uint16_t((blue / 8) | (green / 4) << 5 | (red / 8) << 11);
}

uint32_t PackBgr24(uint8_t blue, uint8_t green, uint8_t red) {
    return uint32_t(blue) | uint32_t(green) << 8 | uint32_t(red) << 16;
}

uint8_t PremultiplyAlpha(uint8_t color, uint8_t alpha) {
    return uint8_t(color * alpha / 255);
}
