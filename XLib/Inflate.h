#pragma once
// zlib (RFC 1950) and deflate (RFC 1951) decoding into a buffer of fixed size. The output never grows:
// a stream that does not fit fails, and no byte is written at or past the output size. Bytes written
// before a failure stay; bytes past the end of the decoded data are left as the caller put them. Every
// routine reports only through PngInfo::error (PngInfo.h): it stores the number of the first failure
// and returns, and callers test PngHasError after each call. The Adler-32 trailer is not checked.
// The trees and code lengths are static, so one decode runs at a time. Input past 2^29 - 1 bytes is
// treated as absent, so that bit positions fit in 32 bits.

#include <cstdint>

// Tree of a code with n symbols: 2(n-1) entries, two per node (next bit 0, next bit 1), node 0 the
// root. An entry holds a symbol (below n), an inner node as n + its index, or kHuffmanUnusedEntry.
constexpr uint16_t kHuffmanUnusedEntry = 32767;

enum class BlockKind { Fixed, Dynamic };

// Checks the two zlib header bytes, then inflates the rest of input.
void ZlibDecompress(uint8_t* output, const uint8_t* input, uint32_t outputSize, uint32_t inputSize);
// Decodes deflate blocks until the block marked final.
void Inflate(uint8_t* output, const uint8_t* input, uint32_t inputLength, uint32_t outputSize);
// Builds the block's trees (the fixed code, or the code read from the block header) and decodes its
// symbols up to the end-of-block code. bitPos counts bits from the first input byte; outPos bytes.
void InflateHuffmanBlock(uint8_t* output, const uint8_t* input, uint32_t& bitPos, uint32_t& outPos,
                         uint32_t outputSize, uint32_t inputLength, BlockKind kind);
// Fills a 288-symbol and a 32-symbol tree with the fixed code.
void BuildFixedTrees(uint16_t* litLenTree, uint16_t* distTree);
// Reads a dynamic block header at bitPos and builds the 288-symbol and 32-symbol trees it describes.
void BuildDynamicTrees(uint16_t* litLenTree, uint16_t* distTree, const uint8_t* input, uint32_t& bitPos,
                       uint32_t inputLength);
// Decodes one symbol, one bit at a time; returns 0 after a failure.
uint32_t DecodeSymbol(const uint8_t* input, uint32_t& bitPos, const uint16_t* tree, uint32_t n,
                      uint32_t inputLength);
// Builds the tree (2(n-1) entries, 2 <= n <= 288) of the canonical code with the given lengths (0 =
// unused, at most maxLength <= 16). Lengths that do not form a prefix code, or whose tree would need
// more than n - 1 nodes, fail with kInflateBadCodeLengths; the build never writes outside the tree.
void BuildHuffmanTree(uint16_t* tree, const uint16_t* lengths, uint32_t n, uint32_t maxLength);
