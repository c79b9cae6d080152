#include "Inflate.h"
#include "PngInfo.h"
#include "PngTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <random>
#include <string>

namespace {

// Decodes a zlib stream into a zero-filled buffer of outputSize bytes; returns the error number.
uint32_t Decompress(const Bytes& zlib, Bytes& out, size_t outputSize) {
    out.assign(outputSize, 0);
    ResetPngInfo();
    ZlibDecompress(out.data(), zlib.data(), uint32_t(out.size()), uint32_t(zlib.size()));
    return GetPngError();
}

uint32_t InflateRaw(const Bytes& deflate, Bytes& out, size_t outputSize) {
    out.assign(outputSize, 0);
    ResetPngInfo();
    Inflate(out.data(), deflate.data(), uint32_t(deflate.size()), uint32_t(out.size()));
    return GetPngError();
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// The code-length code of the dynamic headers below: eight symbols of 3 bits, in symbol order.
const uint32_t kClSymbols[8] = {0, 1, 2, 8, 9, 16, 17, 18};

void PutCl(BitWriter& w, uint32_t symbol) {
    for (uint32_t i = 0; i < 8; ++i)
        if (kClSymbols[i] == symbol)
            w.PutCode(i, 3);
}

// A dynamic block header up to the code-length code: lengths indexed by code-length symbol; hclen
// lengths are written in the stored order.
void PutDynamicHeader(BitWriter& w, uint32_t hlit, uint32_t hdist, const uint32_t (&clLengths)[19],
                      uint32_t hclen) {
    static const uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    w.Put(1, 1);
    w.Put(2, 2);
    w.Put(hlit - 257, 5);
    w.Put(hdist - 1, 5);
    w.Put(hclen - 4, 4);
    for (uint32_t i = 0; i < hclen; ++i)
        w.Put(clLengths[kOrder[i]], 3);
}

void PutStandardDynamicHeader(BitWriter& w) {
    uint32_t lengths[19] = {};
    for (uint32_t s : kClSymbols)
        lengths[s] = 3;
    PutDynamicHeader(w, 257, 1, lengths, 19);
}

Bytes Padded(BitWriter w) {
    Bytes out = w.Data();
    out.insert(out.end(), 8, 0);
    return out;
}

} // namespace

TEST(ZlibHeader, IsCheckedBeforeAnyDeflateData) {
    const Bytes emptyFixedBlock = {0x03, 0x00};
    struct Case {
        Bytes header;
        uint32_t error;
    };
    const Case cases[] = {
        {{0x78, 0x01}, kPngOk},
        {{0x78, 0x9C}, kPngOk},
        {{0x78, 0xDA}, kPngOk},
        {{0x78, 0x20}, kZlibPresetDictionary},
        {{0x88, 0x1C}, kZlibBadMethod},
        {{0x77, 0x09}, kZlibBadMethod},
        {{0x78, 0x9D}, kZlibBadHeaderCheck},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.header));
        Bytes stream = c.header;
        Append(stream, emptyFixedBlock);
        Bytes out;
        EXPECT_EQ(Decompress(stream, out, 4), c.error);
    }
    Bytes out;
    EXPECT_EQ(Decompress({0x78}, out, 4), kZlibTooShort);
    EXPECT_EQ(Decompress({}, out, 4), kZlibTooShort);
}

TEST(Inflate, EachFailureHasItsNumber) {
    struct Case {
        const char* name;
        std::function<Bytes()> stream;
        size_t outputSize;
        uint32_t error;
        std::string outputAfter;
    };
    const Case cases[] = {
        {"symbol past input", [] { return Bytes{0x03}; }, 8, kInflateSymbolPastInput, ""},
        {"code-length code without symbols",
         [] {
             BitWriter w;
             uint32_t none[19] = {};
             PutDynamicHeader(w, 257, 1, none, 4);
             return Padded(w);
         },
         8, kInflateInvalidCode, ""},
        {"repeat one past the lengths",
         [] {
             BitWriter w;
             PutStandardDynamicHeader(w);
             PutCl(w, 8);
             PutCl(w, 18), w.Put(127, 7);
             PutCl(w, 18), w.Put(106, 7);
             PutCl(w, 16), w.Put(0, 2);
             return Padded(w);
         },
         8, kInflateRepeatPastEnd, ""},
        {"short zero run one past the lengths",
         [] {
             BitWriter w;
             PutStandardDynamicHeader(w);
             PutCl(w, 8);
             PutCl(w, 18), w.Put(127, 7);
             PutCl(w, 18), w.Put(106, 7);
             PutCl(w, 17), w.Put(0, 3);
             return Padded(w);
         },
         8, kInflateShortZerosPastEnd, ""},
        {"long zero run one past the lengths",
         [] {
             BitWriter w;
             PutStandardDynamicHeader(w);
             PutCl(w, 8);
             PutCl(w, 18), w.Put(127, 7);
             PutCl(w, 18), w.Put(109, 7);
             return Padded(w);
         },
         8, kInflateLongZerosPastEnd, ""},
        {"repeat with no previous length",
         [] {
             BitWriter w;
             PutStandardDynamicHeader(w);
             PutCl(w, 16), w.Put(0, 2);
             return Padded(w);
         },
         8, kInflateRepeatWithoutLength, ""},
        {"over-subscribed code-length code",
         [] {
             BitWriter w;
             uint32_t lengths[19] = {};
             lengths[16] = lengths[17] = lengths[18] = 1;
             PutDynamicHeader(w, 257, 1, lengths, 4);
             return Padded(w);
         },
         8, kInflateBadCodeLengths, ""},
        {"literal past output",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             w.PutFixedLiteral('a'), w.PutFixedLiteral('b'), w.PutFixedLiteral(256);
             return Padded(w);
         },
         1, kInflateLiteralPastOutput, "a"},
        {"distance symbol 30",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             w.PutFixedLiteral('a'), w.PutFixedLiteral(257), w.PutFixedDistance(30);
             return Padded(w);
         },
         8, kInflateBadDistanceSymbol, "a"},
        {"distance symbol 31",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             w.PutFixedLiteral('a'), w.PutFixedLiteral(257), w.PutFixedDistance(31);
             return Padded(w);
         },
         8, kInflateBadDistanceSymbol, "a"},
        {"copy past output",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             w.PutFixedLiteral('a'), w.PutFixedLiteral(257), w.PutFixedDistance(0), w.PutFixedLiteral(256);
             return Padded(w);
         },
         3, kInflateCopyPastOutput, "aaa"},
        {"distance before the start of the output",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             w.PutFixedLiteral('a'), w.PutFixedLiteral(257), w.PutFixedDistance(1), w.PutFixedLiteral(256);
             return Padded(w);
         },
         8, kInflateDistanceTooFar, "a"},
        {"block type 3",
         [] {
             return Bytes{0x07, 0, 0, 0};
         },
         8, kInflateBadBlockType, ""},
        {"LEN 5 with NLEN 5", [] { return Bytes{0x01, 5, 0, 5, 0, 'a', 'b', 'c', 'd', 'e'}; }, 8,
         kInflateStoredLengthMismatch, ""},
        {"stored byte past output", [] { return Bytes{0x01, 4, 0, 0xFB, 0xFF, 'a', 'b', 'c', 'd'}; }, 3,
         kInflateStoredPastOutput, "abc"},
        {"stored bytes past input", [] { return Bytes{0x01, 10, 0, 0xF5, 0xFF, 'a', 'b', 'c'}; }, 16,
         kInflateStoredPastInput, "abc"},
        {"dynamic header in one byte", [] { return Bytes{0x05}; }, 8, kInflateDynamicHeaderPastInput, ""},
        {"dynamic header in two bytes",
         [] {
             return Bytes{0x05, 0x00};
         },
         8, kInflateDynamicHeaderPastInput, ""},
        {"code-length lengths past input",
         [] {
             BitWriter w;
             uint32_t lengths[19] = {};
             PutDynamicHeader(w, 257, 1, lengths, 19);
             Bytes data = w.Data();
             data.resize(4);
             return data;
         },
         8, kInflateDynamicHeaderPastInput, ""},
        {"zero run at the end of the input",
         [] {
             // 40 bits: the header with seven code-length lengths, then code 17 ends on the byte boundary.
             BitWriter w;
             uint32_t lengths[19] = {};
             lengths[16] = lengths[17] = lengths[18] = lengths[0] = 2;
             PutDynamicHeader(w, 257, 1, lengths, 7);
             w.PutCode(2, 2);
             EXPECT_EQ(w.BitCount(), 40u);
             return w.Data();
         },
         8, kInflateRunBitsPastInput, ""},
        {"zero run bits straddling the end",
         [] {
             BitWriter w;
             uint32_t lengths[19] = {};
             lengths[16] = lengths[17] = lengths[18] = lengths[0] = 2;
             PutDynamicHeader(w, 257, 1, lengths, 8);
             w.PutCode(3, 2); // 18 needs 7 more bits; 5 are left
             EXPECT_EQ(w.BitCount(), 43u);
             return w.Data();
         },
         8, kInflateRunBitsPastInput, ""},
        {"length at the end of the input",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             for (int i = 0; i < 6; ++i)
                 w.PutFixedLiteral(200);
             w.PutFixedLiteral(265);
             EXPECT_EQ(w.BitCount(), 64u);
             return w.Data();
         },
         16, kInflateExtraBitsPastInput, std::string(6, char(200))},
        {"length bits straddling the end",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             for (int i = 0; i < 5; ++i)
                 w.PutFixedLiteral(200);
             w.PutFixedLiteral(269); // 2 extra bits; 1 is left
             EXPECT_EQ(w.BitCount(), 55u);
             return w.Data();
         },
         16, kInflateExtraBitsPastInput, std::string(5, char(200))},
        {"distance at the end of the input",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             w.PutFixedLiteral(200), w.PutFixedLiteral(257), w.PutFixedDistance(4);
             EXPECT_EQ(w.BitCount(), 24u);
             return w.Data();
         },
         16, kInflateExtraBitsPastInput, std::string(1, char(200))},
        {"no final block",
         [] {
             BitWriter w;
             w.Put(0, 1), w.Put(1, 2);
             for (int i = 0; i < 6; ++i)
                 w.PutFixedLiteral(200);
             w.PutFixedLiteral(256);
             EXPECT_EQ(w.BitCount(), 64u);
             return w.Data();
         },
         16, kInflateBlockHeaderPastInput, std::string(6, char(200))},
        {"stored block without LEN and NLEN",
         [] {
             return Bytes{0x01, 0, 0, 0xFF};
         },
         8, kInflateBlockHeaderPastInput, ""},
        {"stored block with nothing after LEN and NLEN",
         [] {
             return Bytes{0x01, 0, 0, 0xFF, 0xFF};
         },
         8, kInflateBlockHeaderPastInput, ""},
        {"empty input", [] { return Bytes{}; }, 8, kInflateBlockHeaderPastInput, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out;
        EXPECT_EQ(InflateRaw(c.stream(), out, c.outputSize), c.error);
        Bytes expected(c.outputAfter.begin(), c.outputAfter.end());
        expected.resize(c.outputSize, 0);
        EXPECT_EQ(out, expected);
    }
}

TEST(Inflate, DecodesTheFormatsCornerCases) {
    struct Case {
        const char* name;
        std::function<Bytes()> stream;
        std::string expected;
    };
    const Case cases[] = {
        {"empty stored block, then a final one",
         [] { return Bytes{0x00, 0, 0, 0xFF, 0xFF, 0x01, 3, 0, 0xFC, 0xFF, 'a', 'b', 'c', 0, 0, 0, 0}; },
         "abc"},
        {"symbols 286 and 287 are passed over",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             w.PutFixedLiteral('a'), w.PutFixedLiteral(286), w.PutFixedLiteral(287), w.PutFixedLiteral('b');
             w.PutFixedLiteral(256);
             return Padded(w);
         },
         "ab"},
        {"length 10 at distance 1 repeats one byte",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             w.PutFixedLiteral('x'), w.PutFixedLiteral(264), w.PutFixedDistance(0), w.PutFixedLiteral(256);
             return Padded(w);
         },
         std::string(11, 'x')},
        {"overlapping copy repeats the last distance bytes",
         [] {
             BitWriter w;
             w.Put(1, 1), w.Put(1, 2);
             w.PutFixedLiteral('a'), w.PutFixedLiteral('b'), w.PutFixedLiteral(258); // length 4
             w.PutFixedDistance(1), w.PutFixedLiteral(256);                          // distance 2
             return Padded(w);
         },
         "ababab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out;
        EXPECT_EQ(InflateRaw(c.stream(), out, c.expected.size()), kPngOk);
        EXPECT_EQ(out, Text(c.expected));
    }
}

TEST(Inflate, IgnoresAWrongAdlerTrailer) {
    Bytes data = Text("the trailer is never checked");
    Bytes stream = ZlibCompress(data, 6, Z_DEFAULT_STRATEGY);
    for (size_t i = stream.size() - 4; i < stream.size(); ++i)
        stream[i] ^= 0x5A;
    Bytes out;
    EXPECT_EQ(Decompress(stream, out, data.size()), kPngOk);
    EXPECT_EQ(out, data);
}

TEST(HuffmanTree, BuildsTheCanonicalCode) {
    // The example code of RFC 1951 section 3.2.2: A-H with lengths 3 3 3 3 3 2 4 4.
    const uint16_t lengths[8] = {3, 3, 3, 3, 3, 2, 4, 4};
    const struct {
        uint32_t code, length;
    } codes[8] = {{0b010, 3}, {0b011, 3}, {0b100, 3},  {0b101, 3},
                  {0b110, 3}, {0b00, 2},  {0b1110, 4}, {0b1111, 4}};
    uint16_t tree[14];
    ResetPngInfo();
    BuildHuffmanTree(tree, lengths, 8, 16);
    ASSERT_EQ(GetPngError(), kPngOk);
    BitWriter w;
    for (auto code : codes)
        w.PutCode(code.code, code.length);
    Bytes input = w.Data();
    uint32_t bitPos = 0;
    for (uint32_t symbol = 0; symbol < 8; ++symbol)
        EXPECT_EQ(DecodeSymbol(input.data(), bitPos, tree, 8, uint32_t(input.size())), symbol);
    EXPECT_EQ(GetPngError(), kPngOk);
    EXPECT_EQ(bitPos, w.BitCount());
}

TEST(HuffmanTree, IncompleteAndEmptyCodesFailOnlyOnAMissingCode) {
    uint16_t lengths[32] = {};
    lengths[7] = 1; // one distance code, the bit 0
    uint16_t tree[62];
    ResetPngInfo();
    BuildHuffmanTree(tree, lengths, 32, 16);
    ASSERT_EQ(GetPngError(), kPngOk);
    const uint8_t zero = 0x00;
    const uint8_t one = 0x01;
    uint32_t bitPos = 0;
    EXPECT_EQ(DecodeSymbol(&zero, bitPos, tree, 32, 1), 7u);
    bitPos = 0;
    DecodeSymbol(&one, bitPos, tree, 32, 1);
    EXPECT_EQ(GetPngError(), kInflateInvalidCode);

    uint16_t none[32] = {};
    ResetPngInfo();
    BuildHuffmanTree(tree, none, 32, 16);
    ASSERT_EQ(GetPngError(), kPngOk);
    bitPos = 0;
    DecodeSymbol(&zero, bitPos, tree, 32, 1);
    EXPECT_EQ(GetPngError(), kInflateInvalidCode);
    // Past the input the decode stops with kInflateSymbolPastInput at the first missing bit.
    ResetPngInfo();
    bitPos = 8;
    DecodeSymbol(&zero, bitPos, tree, 32, 1);
    EXPECT_EQ(GetPngError(), kInflateSymbolPastInput);
}

TEST(HuffmanTree, RefusesLengthsItCannotHoldWithoutWritingOutside) {
    struct Case {
        const char* name;
        std::vector<uint16_t> lengths;
        uint32_t maxLength;
    };
    std::vector<uint16_t> deepIncomplete(31, 5);
    deepIncomplete.push_back(15);
    std::vector<uint16_t> longer(19, 0);
    longer[3] = 8;
    const Case cases[] = {
        {"three codes of one bit", {1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 7},
        {"a later code through a shorter one", {1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 7},
        {"a short code as prefix of a later one",
         {2, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         7},
        {"all 19 symbols with four bits", std::vector<uint16_t>(19, 4), 7},
        {"an incomplete code deeper than the tree", deepIncomplete, 16},
        {"a length above the largest", longer, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t n = uint32_t(c.lengths.size());
        std::vector<uint16_t> tree(2 * (n - 1) + 16, 0xABCD);
        ResetPngInfo();
        BuildHuffmanTree(tree.data(), c.lengths.data(), n, c.maxLength);
        EXPECT_EQ(GetPngError(), kInflateBadCodeLengths);
        for (size_t i = 2 * (n - 1); i < tree.size(); ++i)
            ASSERT_EQ(tree[i], 0xABCD) << "entry " << i;
    }
}

namespace {

Bytes TextLike(std::mt19937& random, size_t size) {
    static const char* const kWords[] = {"the",   "container", "folder", "mount", "skin", "bitmap", "a",
                                         "layer", "password",  "of",     "and",   "to",   "\n",     "png"};
    std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
    std::string text;
    while (text.size() < size) {
        text += kWords[word(random)];
        text += ' ';
    }
    text.resize(size);
    return Text(text);
}

Bytes Runs(std::mt19937& random, size_t size) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::geometric_distribution<int> run(0.02);
    Bytes out;
    while (out.size() < size)
        out.insert(out.end(), size_t(run(random)) + 1, uint8_t(byte(random) & 0x7));
    out.resize(size);
    return out;
}

Bytes RandomBytes(std::mt19937& random, size_t size) {
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes out(size);
    for (auto& b : out)
        b = uint8_t(byte(random));
    return out;
}

// Rows of a smooth picture with a filter byte each, like the data inside a PNG.
Bytes ImageLike(std::mt19937& random, size_t size) {
    std::uniform_int_distribution<int> noise(-3, 3);
    Bytes out(size);
    int value = 128;
    for (size_t i = 0; i < size; ++i) {
        value = std::clamp(value + noise(random), 0, 255);
        out[i] = i % 97 == 0 ? uint8_t(i % 5) : uint8_t(value);
    }
    return out;
}

std::vector<Bytes> CrossCheckBuffers() {
    std::mt19937 random(1234);
    std::vector<Bytes> buffers = {Bytes{}, Bytes{0}, Bytes(1, 0xFF), Bytes(258, 'z'), Bytes(70000, 0)};
    for (size_t size : {2, 3, 7, 31, 200, 1000, 5000, 20000})
        buffers.push_back(TextLike(random, size));
    for (size_t size : {2, 9, 100, 4000, 33000})
        buffers.push_back(Runs(random, size));
    for (size_t size : {1, 5, 64, 777, 9000})
        buffers.push_back(RandomBytes(random, size));
    for (size_t size : {300, 12000})
        buffers.push_back(ImageLike(random, size));
    // Large: over the 32 KiB window and over a stored block's 65535 bytes, in mixed pieces.
    Bytes large;
    for (int i = 0; i < 8; ++i) {
        Append(large, TextLike(random, 20000));
        Append(large, RandomBytes(random, 9000));
        Append(large, Runs(random, 8000));
        Append(large, ImageLike(random, 8000));
    }
    buffers.push_back(large);
    return buffers;
}

} // namespace

TEST(InflateCrossCheck, DecodesWhatZlibMakesAtEveryLevelAndStrategy) {
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    int streams = 0;
    for (const Bytes& data : CrossCheckBuffers()) {
        for (int level = 0; level <= 9; ++level) {
            for (int strategy : strategies) {
                SCOPED_TRACE(testing::Message()
                             << "size " << data.size() << " level " << level << " strategy " << strategy);
                Bytes stream = ZlibCompress(data, level, strategy);
                ++streams;
                // A larger buffer keeps its bytes past the decoded data.
                Bytes out(data.size() + 16, 0xEE);
                ResetPngInfo();
                ZlibDecompress(out.data(), stream.data(), uint32_t(out.size()), uint32_t(stream.size()));
                ASSERT_EQ(GetPngError(), kPngOk);
                ASSERT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
                ASSERT_EQ(Bytes(out.end() - 16, out.end()), Bytes(16, 0xEE));
                if (data.empty())
                    continue;
                // One byte short: the buffer fills completely, then the block's own number.
                Bytes shortOut;
                uint32_t error = Decompress(stream, shortOut, data.size() - 1);
                ASSERT_TRUE(error == kInflateLiteralPastOutput || error == kInflateCopyPastOutput ||
                            error == kInflateStoredPastOutput)
                    << error;
                ASSERT_TRUE(std::equal(shortOut.begin(), shortOut.end(), data.begin()));
            }
        }
    }
    EXPECT_GT(streams, 1000);
}

TEST(InflateCrossCheck, DecodesEveryWindowSize) {
    std::mt19937 random(99);
    Bytes data = TextLike(random, 60000);
    Append(data, Runs(random, 20000));
    for (int windowBits = 9; windowBits <= 15; ++windowBits) {
        SCOPED_TRACE(windowBits);
        Bytes out;
        EXPECT_EQ(Decompress(ZlibCompress(data, 9, Z_DEFAULT_STRATEGY, windowBits), out, data.size()),
                  kPngOk);
        EXPECT_EQ(out, data);
    }
}

TEST(InflateCrossCheck, OneByteShortFailsWithTheNumberOfTheBlockKind) {
    std::mt19937 random(7);
    std::string repeated;
    for (int i = 0; i < 1000; ++i)
        repeated += "abc";
    struct Case {
        const char* name;
        Bytes data;
        int level;
        int strategy;
        uint32_t error;
    };
    const Case cases[] = {
        {"stored", TextLike(random, 3000), 0, Z_DEFAULT_STRATEGY, kInflateStoredPastOutput},
        {"literals only", TextLike(random, 3000), 6, Z_HUFFMAN_ONLY, kInflateLiteralPastOutput},
        {"ends in a match", Text(repeated), 6, Z_DEFAULT_STRATEGY, kInflateCopyPastOutput},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out;
        EXPECT_EQ(Decompress(ZlibCompress(c.data, c.level, c.strategy), out, c.data.size() - 1), c.error);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), c.data.begin()));
    }
}
