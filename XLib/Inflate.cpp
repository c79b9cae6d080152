#include "Inflate.h"

#include "PngInfo.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kLitLenSymbols = 288;
constexpr uint32_t kDistSymbols = 32;
constexpr uint32_t kCodeLengthSymbols = 19;
constexpr uint32_t kMaxCodeLength = 16;
constexpr uint32_t kMaxInputBytes = (uint32_t(1) << 29) - 1;

// Format note: length symbols 257-285 and distance symbols 0-29 stand for a base value plus a number of
// extra bits read after the symbol (RFC 1951 section 3.2.5).
const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic header stores the code-length code's lengths.
const uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                      11, 4,  12, 3, 13, 2, 14, 1, 15};

// Working storage of every block of every stream.
uint16_t litLenTree[2 * (kLitLenSymbols - 1)];
uint16_t distTree[2 * (kDistSymbols - 1)];
uint16_t codeLengthTree[2 * (kCodeLengthSymbols - 1)];
uint16_t litLenLengths[kLitLenSymbols];
uint16_t distLengths[kDistSymbols];
uint16_t codeLengthLengths[kCodeLengthSymbols];
uint16_t treeCodes[kLitLenSymbols];
uint16_t lengthCounts[kMaxCodeLength + 1];
uint16_t nextCodes[kMaxCodeLength + 1];

void Fail(uint32_t number) {
    GetPngInfo().error = number;
}

// Bits that a position may address.
inline uint32_t InputBits(uint32_t inputLength) {
    return std::min(inputLength, kMaxInputBytes) * 8;
}

// True when an input byte is left at bitPos.
inline bool ByteLeft(uint32_t bitPos, uint32_t inputLength) {
    return bitPos < InputBits(inputLength);
}

// Reads count bits (at most 16) from bitPos, least significant first, one at a time. When any of them
// lies past the input it reads none and stores errorNumber.
inline uint32_t ReadBits(const uint8_t* input, uint32_t inputLength, uint32_t& bitPos, uint32_t count,
                         uint32_t errorNumber) {
    uint32_t total = InputBits(inputLength);
    if (bitPos > total || count > total - bitPos) {
        Fail(errorNumber);
        return 0;
    }
    uint32_t value = 0;
    for (uint32_t i = 0; i < count; ++i, ++bitPos)
        value |= uint32_t((input[bitPos >> 3] >> (bitPos & 7)) & 1) << i;
    return value;
}

// Stores one byte at outPos, or errorNumber when the output is full.
inline bool PutByte(uint8_t* output, uint32_t outputSize, uint32_t& outPos, uint8_t value,
                    uint32_t errorNumber) {
    if (outPos >= outputSize) {
        Fail(errorNumber);
        return false;
    }
    output[outPos++] = value;
    return true;
}

// Copies length bytes from distance bytes back, byte by byte so that an overlapping copy repeats the
// last distance bytes. The output keeps what fitted when it fills up.
bool CopyMatch(uint8_t* output, uint32_t outputSize, uint32_t& outPos, uint32_t distance, uint32_t length) {
    if (distance > outPos) {
        Fail(kInflateDistanceTooFar);
        return false;
    }
    uint32_t room = outputSize - outPos;
    uint32_t count = std::min(length, room);
    uint8_t* to = output + outPos;
    const uint8_t* from = to - distance;
    for (uint32_t i = 0; i < count; ++i)
        to[i] = from[i];
    outPos += count;
    if (count < length) {
        Fail(kInflateCopyPastOutput);
        return false;
    }
    return true;
}

// Copies a stored block's bytes from byte bytePos of the input: each byte first needs room in the output
// (else kInflateStoredPastOutput), then an input byte (else kInflateStoredPastInput).
bool CopyStored(uint8_t* output, uint32_t outputSize, uint32_t& outPos, const uint8_t* input,
                uint32_t inputLength, uint32_t& bytePos, uint32_t length) {
    uint32_t room = outputSize - outPos;
    uint32_t available = std::min(inputLength, kMaxInputBytes) - bytePos;
    uint32_t count = std::min({length, room, available});
    if (count > 0)
        std::memcpy(output + outPos, input + bytePos, count);
    outPos += count;
    bytePos += count;
    if (count < length) {
        Fail(count == room ? kInflateStoredPastOutput : kInflateStoredPastInput);
        return false;
    }
    return true;
}

// Format note: a stored block starts at the next byte boundary with LEN and its complement NLEN, both
// 16-bit little-endian, then LEN bytes.
void InflateStoredBlock(uint8_t* output, const uint8_t* input, uint32_t& bitPos, uint32_t& outPos,
                        uint32_t outputSize, uint32_t inputLength) {
    bitPos = (bitPos + 7) & ~uint32_t(7);
    uint32_t bytePos = bitPos / 8;
    if (std::min(inputLength, kMaxInputBytes) - bytePos < 5) {
        Fail(kInflateBlockHeaderPastInput);
        return;
    }
    uint32_t length = ReadBits(input, inputLength, bitPos, 16, kInflateBlockHeaderPastInput);
    uint32_t lengthComplement = ReadBits(input, inputLength, bitPos, 16, kInflateBlockHeaderPastInput);
    if (length + lengthComplement != 65535) {
        Fail(kInflateStoredLengthMismatch);
        return;
    }
    bytePos = bitPos / 8;
    CopyStored(output, outputSize, outPos, input, inputLength, bytePos, length);
    bitPos = bytePos * 8;
}

// Reads the extra bits of a length or distance; the spot must still hold an input byte even when the
// symbol has no extra bits.
uint32_t ReadExtraBits(const uint8_t* input, uint32_t inputLength, uint32_t& bitPos, uint32_t count) {
    if (!ByteLeft(bitPos, inputLength)) {
        Fail(kInflateExtraBitsPastInput);
        return 0;
    }
    return ReadBits(input, inputLength, bitPos, count, kInflateExtraBitsPastInput);
}

constexpr uint32_t kNoSymbol = 0xFFFFFFFF;

// Walks the tree one bit at a time. Where the input holds the longest code's bits, the range is checked
// once; near the end of the input every bit is checked. Returns kNoSymbol after storing the error.
[[gnu::always_inline]] inline uint32_t WalkTree(const uint8_t* input, uint32_t& bitPos, const uint16_t* tree,
                                                uint32_t n, uint32_t inputLength) {
    uint32_t total = InputBits(inputLength);
    uint32_t pos = bitPos;
    uint32_t node = 0;
    if (pos <= total && total - pos >= kMaxCodeLength) {
        for (uint32_t taken = 0; taken < kMaxCodeLength; ++taken) {
            uint32_t bit = (input[pos >> 3] >> (pos & 7)) & 1;
            ++pos;
            uint32_t entry = tree[2 * node + bit];
            if (entry < n) {
                bitPos = pos;
                return entry;
            }
            node = entry - n;
            // The tree holds nodes 0 to n-2; an unused entry (32767) lands far past them.
            if (node >= n - 1) {
                bitPos = pos;
                Fail(kInflateInvalidCode);
                return kNoSymbol;
            }
        }
        bitPos = pos;
    }
    for (;;) {
        uint32_t bit = ReadBits(input, inputLength, bitPos, 1, kInflateSymbolPastInput);
        if (PngHasError())
            return kNoSymbol;
        uint32_t entry = tree[2 * node + bit];
        if (entry < n)
            return entry;
        node = entry - n;
        if (node >= n - 1) {
            Fail(kInflateInvalidCode);
            return kNoSymbol;
        }
    }
}

// The code length of entry i of the combined literal/length and distance sequence.
uint16_t& SequenceLength(uint32_t i, uint32_t hlit) {
    return i < hlit ? litLenLengths[i] : distLengths[i - hlit];
}

} // namespace

void ZlibDecompress(uint8_t* output, const uint8_t* input, uint32_t outputSize, uint32_t inputSize) {
    if (inputSize < 2) {
        Fail(kZlibTooShort);
        return;
    }
    // Format note: CMF holds the method (low 4 bits) and log2 of the window minus 8; FLG makes
    // CMF * 256 + FLG a multiple of 31 and has the preset-dictionary flag in bit 5.
    uint32_t cmf = input[0];
    uint32_t flg = input[1];
    if ((cmf * 256 + flg) % 31 != 0) {
        Fail(kZlibBadHeaderCheck);
        return;
    }
    if ((cmf & 15) != 8 || (cmf >> 4) > 7) {
        Fail(kZlibBadMethod);
        return;
    }
    if (flg & 0x20) {
        Fail(kZlibPresetDictionary);
        return;
    }
    Inflate(output, input + 2, inputSize - 2, outputSize);
}

void Inflate(uint8_t* output, const uint8_t* input, uint32_t inputLength, uint32_t outputSize) {
    uint32_t bitPos = 0;
    uint32_t outPos = 0;
    for (;;) {
        if (!ByteLeft(bitPos, inputLength)) {
            Fail(kInflateBlockHeaderPastInput);
            return;
        }
        uint32_t final = ReadBits(input, inputLength, bitPos, 1, kInflateBlockHeaderPastInput);
        uint32_t type = ReadBits(input, inputLength, bitPos, 2, kInflateBlockHeaderPastInput);
        if (PngHasError())
            return;
        if (type == 3) {
            Fail(kInflateBadBlockType);
            return;
        }
        if (type == 0)
            InflateStoredBlock(output, input, bitPos, outPos, outputSize, inputLength);
        else
            InflateHuffmanBlock(output, input, bitPos, outPos, outputSize, inputLength,
                                type == 1 ? BlockKind::Fixed : BlockKind::Dynamic);
        if (PngHasError() || final)
            return;
    }
}

void InflateHuffmanBlock(uint8_t* output, const uint8_t* input, uint32_t& bitPos, uint32_t& outPos,
                         uint32_t outputSize, uint32_t inputLength, BlockKind kind) {
    if (kind == BlockKind::Fixed)
        BuildFixedTrees(litLenTree, distTree);
    else
        BuildDynamicTrees(litLenTree, distTree, input, bitPos, inputLength);
    if (PngHasError())
        return;
    for (;;) {
        uint32_t symbol = WalkTree(input, bitPos, litLenTree, kLitLenSymbols, inputLength);
        if (symbol == kNoSymbol)
            return;
        if (symbol == 256)
            return;
        if (symbol < 256) {
            if (!PutByte(output, outputSize, outPos, uint8_t(symbol), kInflateLiteralPastOutput))
                return;
            continue;
        }
        // 286 and 287 have codes in the fixed tree but no meaning; they are passed over.
        if (symbol > 285)
            continue;
        uint32_t lengthIndex = symbol - 257;
        uint32_t length =
            kLengthBase[lengthIndex] + ReadExtraBits(input, inputLength, bitPos, kLengthExtra[lengthIndex]);
        if (PngHasError())
            return;
        uint32_t distSymbol = WalkTree(input, bitPos, distTree, kDistSymbols, inputLength);
        if (distSymbol == kNoSymbol)
            return;
        if (distSymbol > 29) {
            Fail(kInflateBadDistanceSymbol);
            return;
        }
        uint32_t distance =
            kDistBase[distSymbol] + ReadExtraBits(input, inputLength, bitPos, kDistExtra[distSymbol]);
        if (PngHasError())
            return;
        if (!CopyMatch(output, outputSize, outPos, distance, length))
            return;
    }
}

void BuildFixedTrees(uint16_t* litLenTreeOut, uint16_t* distTreeOut) {
    for (uint32_t i = 0; i < kLitLenSymbols; ++i)
        litLenLengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    for (uint32_t i = 0; i < kDistSymbols; ++i)
        distLengths[i] = 5;
    BuildHuffmanTree(litLenTreeOut, litLenLengths, kLitLenSymbols, kMaxCodeLength);
    if (PngHasError())
        return;
    BuildHuffmanTree(distTreeOut, distLengths, kDistSymbols, kMaxCodeLength);
}

void BuildDynamicTrees(uint16_t* litLenTreeOut, uint16_t* distTreeOut, const uint8_t* input, uint32_t& bitPos,
                       uint32_t inputLength) {
    if (std::min(inputLength, kMaxInputBytes) - std::min(bitPos / 8, kMaxInputBytes) < 3) {
        Fail(kInflateDynamicHeaderPastInput);
        return;
    }
    uint32_t hlit = ReadBits(input, inputLength, bitPos, 5, kInflateDynamicHeaderPastInput) + 257;
    uint32_t hdist = ReadBits(input, inputLength, bitPos, 5, kInflateDynamicHeaderPastInput) + 1;
    uint32_t hclen = ReadBits(input, inputLength, bitPos, 4, kInflateDynamicHeaderPastInput) + 4;
    for (uint32_t i = 0; i < kCodeLengthSymbols; ++i)
        codeLengthLengths[kCodeLengthOrder[i]] =
            i < hclen ? uint16_t(ReadBits(input, inputLength, bitPos, 3, kInflateDynamicHeaderPastInput)) : 0;
    if (PngHasError())
        return;
    BuildHuffmanTree(codeLengthTree, codeLengthLengths, kCodeLengthSymbols, 7);
    if (PngHasError())
        return;

    // Format note: the literal/length and distance lengths form one sequence, so a run may cross from the
    // first part into the second.
    uint32_t total = hlit + hdist;
    uint32_t i = 0;
    while (i < total) {
        uint32_t symbol = DecodeSymbol(input, bitPos, codeLengthTree, kCodeLengthSymbols, inputLength);
        if (PngHasError())
            return;
        if (symbol < 16) {
            SequenceLength(i++, hlit) = uint16_t(symbol);
            continue;
        }
        if (symbol == 16 && i == 0) {
            Fail(kInflateRepeatWithoutLength);
            return;
        }
        if (!ByteLeft(bitPos, inputLength)) {
            Fail(kInflateRunBitsPastInput);
            return;
        }
        uint32_t count = 0;
        uint16_t value = 0;
        uint32_t runError = 0;
        if (symbol == 16) {
            count = 3 + ReadBits(input, inputLength, bitPos, 2, kInflateRunBitsPastInput);
            value = SequenceLength(i - 1, hlit);
            runError = kInflateRepeatPastEnd;
        } else if (symbol == 17) {
            count = 3 + ReadBits(input, inputLength, bitPos, 3, kInflateRunBitsPastInput);
            runError = kInflateShortZerosPastEnd;
        } else {
            count = 11 + ReadBits(input, inputLength, bitPos, 7, kInflateRunBitsPastInput);
            runError = kInflateLongZerosPastEnd;
        }
        if (PngHasError())
            return;
        if (count > total - i) {
            Fail(runError);
            return;
        }
        while (count-- > 0)
            SequenceLength(i++, hlit) = value;
    }
    for (uint32_t k = hlit; k < kLitLenSymbols; ++k)
        litLenLengths[k] = 0;
    for (uint32_t k = hdist; k < kDistSymbols; ++k)
        distLengths[k] = 0;
    BuildHuffmanTree(litLenTreeOut, litLenLengths, kLitLenSymbols, kMaxCodeLength);
    if (PngHasError())
        return;
    BuildHuffmanTree(distTreeOut, distLengths, kDistSymbols, kMaxCodeLength);
}

uint32_t DecodeSymbol(const uint8_t* input, uint32_t& bitPos, const uint16_t* tree, uint32_t n,
                      uint32_t inputLength) {
    uint32_t symbol = WalkTree(input, bitPos, tree, n, inputLength);
    return symbol == kNoSymbol ? 0 : symbol;
}

void BuildHuffmanTree(uint16_t* tree, const uint16_t* lengths, uint32_t n, uint32_t maxLength) {
    if (n < 2 || n > kLitLenSymbols || maxLength > kMaxCodeLength) {
        Fail(kInflateBadCodeLengths);
        return;
    }
    // Canonical codes (RFC 1951 section 3.2.2): shorter codes first, codes of one length in symbol order.
    std::fill(lengthCounts, lengthCounts + kMaxCodeLength + 1, 0);
    for (uint32_t s = 0; s < n; ++s) {
        if (lengths[s] > maxLength) {
            Fail(kInflateBadCodeLengths);
            return;
        }
        ++lengthCounts[lengths[s]];
    }
    lengthCounts[0] = 0;
    nextCodes[0] = 0;
    uint16_t code = 0;
    for (uint32_t bits = 1; bits <= maxLength; ++bits) {
        code = uint16_t((code + lengthCounts[bits - 1]) << 1);
        nextCodes[bits] = code;
    }
    for (uint32_t s = 0; s < n; ++s)
        treeCodes[s] = lengths[s] != 0 ? nextCodes[lengths[s]]++ : 0;

    uint32_t entries = 2 * (n - 1);
    std::fill(tree, tree + entries, kHuffmanUnusedEntry);
    uint32_t nodeCount = 1;
    for (uint32_t s = 0; s < n; ++s) {
        uint32_t length = lengths[s];
        uint32_t node = 0;
        for (uint32_t bit = length; bit-- > 0;) {
            uint16_t& entry = tree[2 * node + ((treeCodes[s] >> bit) & 1)];
            if (bit == 0) {
                // Another code already ends here or passes through: the lengths over-subscribe.
                if (entry != kHuffmanUnusedEntry) {
                    Fail(kInflateBadCodeLengths);
                    return;
                }
                entry = uint16_t(s);
            } else if (entry == kHuffmanUnusedEntry) {
                // An incomplete code can need more inner nodes than the tree has room for.
                if (nodeCount >= n - 1) {
                    Fail(kInflateBadCodeLengths);
                    return;
                }
                entry = uint16_t(n + nodeCount);
                node = nodeCount++;
            } else if (entry < n) {
                // The code of a shorter symbol is a prefix of this one.
                Fail(kInflateBadCodeLengths);
                return;
            } else {
                node = entry - n;
            }
        }
    }
}
