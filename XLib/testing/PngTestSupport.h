#pragma once
// Helpers of the inflate and PNG tests and benchmarks: zlib and libpng as reference peers, a bit writer
// for hand-made deflate streams, and a chunk writer for hand-made PNG files.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// zlib's compress2 with a given level, strategy and window (9 to 15 bits).
Bytes ZlibCompress(const Bytes& data, int level, int strategy, int windowBits = 15);

// Writes a deflate stream bit by bit, least significant bit first.
class BitWriter {
public:
    // count bits of value, least significant first (header fields and extra bits).
    void Put(uint32_t value, uint32_t count);
    // A Huffman code of length bits, most significant bit first.
    void PutCode(uint32_t code, uint32_t length);
    // The fixed-code symbol for a literal/length symbol (0-287) or a distance symbol (0-31).
    void PutFixedLiteral(uint32_t symbol);
    void PutFixedDistance(uint32_t symbol) { PutCode(symbol, 5); }
    uint32_t BitCount() const { return m_bits; }
    // The bytes so far, the last one padded with zero bits.
    const Bytes& Data() const { return m_data; }

private:
    Bytes m_data;
    uint32_t m_bits = 0;
};

// A PNG image as libpng takes it: rows of packed samples, each row padded to whole bytes.
struct PngImage {
    uint32_t width = 1;
    uint32_t height = 1;
    int bitDepth = 8;
    int colorType = 0;
    bool interlaced = false;
    std::vector<Bytes> rows;
    std::vector<uint8_t> palette;      // red, green, blue per entry (colour type 3)
    std::vector<uint8_t> transparency; // tRNS bytes as the file holds them, empty = none
    int filters = -1;                  // png_set_filter mask; -1 = libpng's default
};

// Samples per pixel of a colour type.
int ChannelsOf(int colorType);
// Bytes of one padded row.
size_t RowBytes(uint32_t width, int bitDepth, int colorType);
// An image of random samples (palette images get a full random palette).
PngImage RandomImage(std::mt19937& random, uint32_t width, uint32_t height, int bitDepth, int colorType,
                     bool interlaced);
// Encodes with libpng.
Bytes EncodeWithLibpng(const PngImage& image);
// Decodes with libpng (no transformations) into rows without padding, as DecodePng gives them.
Bytes DecodeWithLibpng(const Bytes& file);
// The rows of an image without padding between them.
Bytes PackRows(const std::vector<Bytes>& rows, uint32_t width, int bitDepth, int colorType);

// A chunk with its length, type, data and CRC.
Bytes PngChunk(const std::string& type, const Bytes& data);
// The signature and an IHDR chunk.
Bytes PngStart(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType, uint8_t interlace = 0,
               uint8_t compression = 0, uint8_t filter = 0);
void Append(Bytes& to, const Bytes& more);
// The chunks of a file after the signature: type and data of each, in order.
struct ParsedChunk {
    std::string type;
    Bytes data;
};
std::vector<ParsedChunk> ParseChunks(const Bytes& file);
