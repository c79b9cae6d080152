#pragma once
// The one record that the PNG decoder and the inflater below it share: the header fields of the last
// image, its palette and colour key, and the error number that ended the last decode (0 = none).
// There is one record for the whole program, so one decode runs at a time. DecodePng resets the error
// and the chunk flags at its start; every other field keeps the previous image's value until the new
// decode reaches the point that writes it.

#include <cstdint>
#include <vector>

struct PngInfo {
    uint32_t error = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitDepth = 0;
    uint32_t colorType = 0;
    uint32_t bitsPerPixel = 0; // bitDepth * channels
    uint32_t channels = 0;
    uint32_t compressionMethod = 0;
    uint32_t filterMethod = 0;
    uint32_t interlaceMethod = 0;
    uint8_t keyDefined = 0; // a tRNS colour key was read
    uint8_t keyRed = 0;     // grey images use keyRed only
    uint8_t keyGreen = 0;
    uint8_t keyBlue = 0;
    uint8_t backgroundDefined = 0; // a bKGD chunk was read
    uint8_t backgroundRed = 0;     // also the palette index or the grey sample
    uint8_t backgroundGreen = 0;
    uint8_t backgroundBlue = 0;
    uint32_t paletteSize = 0;
    std::vector<uint8_t> palette; // red, green, blue, alpha per entry
};

// The numbers stored in PngInfo::error.
enum PngErrorNumber : uint32_t {
    kPngOk = 0,
    // Inflate.
    kInflateSymbolPastInput = 10,        // a Huffman code needs a bit beyond the input
    kInflateInvalidCode = 11,            // a code that the tree does not hold
    kInflateRepeatPastEnd = 13,          // code-length repeat (16) runs past HLIT + HDIST
    kInflateShortZerosPastEnd = 14,      // short zero run (17) runs past HLIT + HDIST
    kInflateLongZerosPastEnd = 15,       // long zero run (18) runs past HLIT + HDIST
    kInflateLiteralPastOutput = 17,      // a literal does not fit the output
    kInflateBadDistanceSymbol = 18,      // distance symbol 30 or 31
    kInflateCopyPastOutput = 19,         // a copied byte does not fit the output
    kInflateBadBlockType = 20,           // BTYPE 3
    kInflateStoredLengthMismatch = 21,   // LEN and NLEN do not match
    kInflateStoredPastOutput = 22,       // a stored byte does not fit the output
    kInflateStoredPastInput = 23,        // the stored bytes run past the input
    kZlibBadHeaderCheck = 24,            // header not a multiple of 31
    kZlibBadMethod = 25,                 // method not 8, or window above 32 KiB
    kZlibPresetDictionary = 26,          // preset dictionaries are refused
    kInflateDynamicHeaderPastInput = 49, // a dynamic block header runs past the input
    kInflateRunBitsPastInput = 50,       // the extra bits of code 16, 17 or 18 run past the input
    kInflateExtraBitsPastInput = 51,     // the extra bits of a length or distance run past the input
    kInflateBlockHeaderPastInput = 52,   // no block header, or no LEN and NLEN, before the input ends
    kZlibTooShort = 53,                  // fewer than two input bytes (also: a PNG without IDAT)
    kInflateBadCodeLengths = 54,         // code lengths that are no prefix code, or whose tree does not fit
    kInflateDistanceTooFar = 55,         // a distance beyond the bytes written so far
    kInflateRepeatWithoutLength = 56,    // code-length repeat (16) with no previous length
    // PNG.
    kPngTooShort = 27,                // fewer than 29 bytes
    kPngBadSignature = 28,            // not the PNG signature
    kPngNoIhdr = 29,                  // the first chunk is not IHDR
    kPngNoChunkHeader = 30,           // fewer than 9 bytes where a chunk starts (no IEND)
    kPngBadColorType = 31,            // colour type not 0, 2, 3, 4 or 6
    kPngBadCompressionMethod = 32,    // compression method not 0
    kPngBadFilterMethod = 33,         // filter method not 0
    kPngBadInterlaceMethod = 34,      // interlace method above 1
    kPngChunkPastEnd = 35,            // a chunk's data end beyond the file
    kPngBadFilterType = 36,           // a scanline filter type above 4
    kPngBadBitDepth = 37,             // bit depth not allowed for the colour type
    kPngPaletteTooLarge = 38,         // PLTE with more than 256 entries
    kPngTransparencyPastPalette = 39, // tRNS with more entries than the palette
    kPngBadGreyKey = 40,              // tRNS of a grey image not 2 bytes long
    kPngBadRgbKey = 41,               // tRNS of an RGB image not 6 bytes long
    kPngTransparencyWithAlpha = 42,   // tRNS in an image with an alpha channel
    kPngBadPaletteBackground = 43,    // bKGD of a palette image not 1 byte long
    kPngBadGreyBackground = 44,       // bKGD of a grey image not 2 bytes long
    kPngBadRgbBackground = 45,        // bKGD of an RGB image not 6 bytes long
    kPngEmptyInput = 48,              // no file bytes at all
    kPngZeroSize = 57,                // width or height 0
    kPngTooLarge = 58,                // a buffer of the image would pass kMaxPngBufferBytes
};

// Images of more pixels than kMaxPngPixels (64 Mi, 8192 x 8192), or whose decode or conversion would
// allocate a buffer larger than kMaxPngBufferBytes (256 MiB), are refused with kPngTooLarge before
// anything is allocated. Both keep every size well inside 32 bits.
constexpr uint64_t kMaxPngPixels = uint64_t(1) << 26;
constexpr uint64_t kMaxPngBufferBytes = uint64_t(1) << 28;

// Clears error, keyDefined, backgroundDefined and paletteSize; nothing else.
void ResetPngInfo();
bool PngHasError();
uint32_t GetPngError();
uint32_t GetPngWidth();
uint32_t GetPngHeight();
PngInfo& GetPngInfo();
