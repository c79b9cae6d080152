#include "PngDecoder.h"
#include "PngTestSupport.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <array>
#include <functional>
#include <map>
#include <random>
#include <set>

namespace {

uint32_t Decode(Bytes file, Bytes& raw) {
    DecodePng(file, raw);
    return GetPngError();
}

// Scanlines with filter type 0 of the given raw rows.
Bytes Unfiltered(const std::vector<Bytes>& rows) {
    Bytes out;
    for (const Bytes& row : rows) {
        out.push_back(0);
        Append(out, row);
    }
    return out;
}

// A file of signature, IHDR, the given chunks, one IDAT of the given scanlines, and IEND.
Bytes MakePng(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType, const Bytes& scanlines,
              const Bytes& chunksBeforeIdat = {}) {
    Bytes file = PngStart(width, height, bitDepth, colorType);
    Append(file, chunksBeforeIdat);
    Append(file, PngChunk("IDAT", ZlibCompress(scanlines, 6, Z_DEFAULT_STRATEGY)));
    Append(file, PngChunk("IEND", {}));
    return file;
}

// A 2 x 2 image of the colour type with all-zero scanlines.
Bytes SmallPng(uint8_t colorType, const Bytes& chunksBeforeIdat = {}, uint8_t bitDepth = 8) {
    size_t rowBytes = RowBytes(2, bitDepth, colorType);
    return MakePng(2, 2, bitDepth, colorType, Unfiltered({Bytes(rowBytes), Bytes(rowBytes)}),
                   chunksBeforeIdat);
}

Bytes Plte(int entries) {
    Bytes data(size_t(entries) * 3);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7);
    return PngChunk("PLTE", data);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        Append(out, part);
    return out;
}

const int kFilters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB,   PNG_FILTER_UP,
                        PNG_FILTER_AVG,  PNG_FILTER_PAETH, PNG_ALL_FILTERS};

struct Format {
    int colorType;
    int bitDepth;
};
const Format kFormats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                           {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

// The filter types of the rows of a non-interlaced file, read back with zlib.
std::set<int> FilterTypesOf(const Bytes& file, const PngImage& image) {
    Bytes idat;
    for (const ParsedChunk& chunk : ParseChunks(file))
        if (chunk.type == "IDAT")
            Append(idat, chunk.data);
    size_t rowBytes = RowBytes(image.width, image.bitDepth, image.colorType);
    Bytes data(image.height * (rowBytes + 1));
    uLongf size = uLongf(data.size());
    EXPECT_EQ(uncompress(data.data(), &size, idat.data(), uLong(idat.size())), Z_OK);
    std::set<int> types;
    for (size_t y = 0; y < image.height; ++y)
        types.insert(data[y * (rowBytes + 1)]);
    return types;
}

} // namespace

TEST(PngDecoder, EachFailureHasItsNumber) {
    const Bytes good = SmallPng(2);
    struct Case {
        const char* name;
        std::function<Bytes()> file;
        uint32_t error;
    };
    const Case cases[] = {
        {"28 bytes", [&] { return Bytes(good.begin(), good.begin() + 28); }, kPngTooShort},
        {"wrong first byte",
         [&] {
             Bytes f = good;
             f[0] = 0x88;
             return f;
         },
         kPngBadSignature},
        {"first chunk not IHDR",
         [&] {
             Bytes f = good;
             f[15] = 'X';
             return f;
         },
         kPngNoIhdr},
        {"nothing after IHDR", [&] { return Bytes(good.begin(), good.begin() + 33); }, kPngNoChunkHeader},
        {"no IEND", [&] { return Bytes(good.begin(), good.end() - 12); }, kPngNoChunkHeader},
        {"colour type 5",
         [] {
             return MakePng(1, 1, 8, 5, {0, 0});
         },
         kPngBadColorType},
        {"compression method 1",
         [] {
             return Concat({PngStart(1, 1, 8, 0, 0, 1), PngChunk("IEND", {})});
         },
         kPngBadCompressionMethod},
        {"filter method 1",
         [] {
             return Concat({PngStart(1, 1, 8, 0, 0, 0, 1), PngChunk("IEND", {})});
         },
         kPngBadFilterMethod},
        {"interlace method 2",
         [] {
             return Concat({PngStart(1, 1, 8, 0, 2), PngChunk("IEND", {})});
         },
         kPngBadInterlaceMethod},
        {"chunk past the end",
         [&] {
             Bytes f(good.begin(), good.begin() + 33);
             Append(f, {0, 0, 0, 100, 't', 'E', 'X', 't', 1, 2, 3, 4, 5, 6, 7, 8});
             return f;
         },
         kPngChunkPastEnd},
        {"filter type 5",
         [] {
             return MakePng(1, 2, 8, 0, {0, 1, 5, 1});
         },
         kPngBadFilterType},
        {"RGB with 4 bits",
         [] {
             return MakePng(1, 1, 4, 2, {0, 0, 0});
         },
         kPngBadBitDepth},
        {"palette with 16 bits",
         [] {
             return MakePng(1, 1, 16, 3, {0, 0, 0});
         },
         kPngBadBitDepth},
        {"grey with 3 bits",
         [] {
             return MakePng(1, 1, 3, 0, {0, 0});
         },
         kPngBadBitDepth},
        {"257 palette entries", [] { return SmallPng(3, Plte(257)); }, kPngPaletteTooLarge},
        {"tRNS before PLTE",
         [] {
             return SmallPng(3, Concat({PngChunk("tRNS", {1}), Plte(2)}));
         },
         kPngTransparencyPastPalette},
        {"tRNS longer than the palette",
         [] {
             return SmallPng(3, Concat({Plte(2), PngChunk("tRNS", {1, 2, 3})}));
         },
         kPngTransparencyPastPalette},
        {"grey tRNS of 3 bytes",
         [] {
             return SmallPng(0, PngChunk("tRNS", {0, 1, 2}));
         },
         kPngBadGreyKey},
        {"RGB tRNS of 2 bytes",
         [] {
             return SmallPng(2, PngChunk("tRNS", {0, 1}));
         },
         kPngBadRgbKey},
        {"tRNS in grey with alpha",
         [] {
             return SmallPng(4, PngChunk("tRNS", {0, 1}));
         },
         kPngTransparencyWithAlpha},
        {"tRNS in RGBA",
         [] {
             return SmallPng(6, PngChunk("tRNS", {0, 1, 0, 1, 0, 1}));
         },
         kPngTransparencyWithAlpha},
        {"palette bKGD of 2 bytes",
         [] {
             return SmallPng(3, Concat({Plte(2), PngChunk("bKGD", {0, 1})}));
         },
         kPngBadPaletteBackground},
        {"grey bKGD of 1 byte", [] { return SmallPng(0, PngChunk("bKGD", {1})); }, kPngBadGreyBackground},
        {"grey-with-alpha bKGD of 6 bytes", [] { return SmallPng(4, PngChunk("bKGD", Bytes(6))); },
         kPngBadGreyBackground},
        {"RGB bKGD of 2 bytes",
         [] {
             return SmallPng(2, PngChunk("bKGD", {0, 1}));
         },
         kPngBadRgbBackground},
        {"RGBA bKGD of 1 byte", [] { return SmallPng(6, PngChunk("bKGD", {1})); }, kPngBadRgbBackground},
        {"empty file", [] { return Bytes{}; }, kPngEmptyInput},
        {"no IDAT",
         [] {
             return Concat({PngStart(1, 1, 8, 0), PngChunk("IEND", {})});
         },
         kZlibTooShort},
        {"IDAT with a bad zlib header",
         [] {
             return Concat(
                 {PngStart(1, 1, 8, 0), PngChunk("IDAT", {0x78, 0x9D, 3, 0}), PngChunk("IEND", {})});
         },
         kZlibBadHeaderCheck},
        {"IDAT too short for the image",
         [] {
             Bytes stream = ZlibCompress({0, 1, 0, 2}, 6, Z_DEFAULT_STRATEGY);
             stream.resize(stream.size() - 6);
             return Concat({PngStart(1, 2, 8, 0), PngChunk("IDAT", stream), PngChunk("IEND", {})});
         },
         kInflateSymbolPastInput},
        {"width 0",
         [] {
             return Concat({PngStart(0, 1, 8, 0), PngChunk("IEND", {})});
         },
         kPngZeroSize},
        {"height 0",
         [] {
             return Concat({PngStart(1, 0, 8, 6), PngChunk("IEND", {})});
         },
         kPngZeroSize},
        {"2^31-1 square",
         [] {
             return Concat({PngStart(0x7FFFFFFF, 0x7FFFFFFF, 16, 6), PngChunk("IEND", {})});
         },
         kPngTooLarge},
        {"2^32-1 wide",
         [] {
             return Concat({PngStart(0xFFFFFFFF, 1, 1, 0), PngChunk("IEND", {})});
         },
         kPngTooLarge},
        {"more than 2^26 pixels",
         [] {
             return Concat({PngStart(8193, 8192, 1, 0), PngChunk("IEND", {})});
         },
         kPngTooLarge},
        {"inflate buffer past the limit",
         [] {
             return Concat({PngStart(1, 1u << 25, 1, 0), PngChunk("IEND", {})});
         },
         kPngTooLarge},
        {"interlace line buffers past the limit",
         [] {
             return Concat({PngStart(1u << 23, 1, 16, 6, 1), PngChunk("IEND", {})});
         },
         kPngTooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes raw;
        EXPECT_EQ(Decode(c.file(), raw), c.error);
    }
}

TEST(PngDecoder, MatchesLibpngForEveryFormatSizeInterlaceAndFilter) {
    std::mt19937 random(2024);
    std::map<bool, std::set<int>> filtersSeen; // by "below 8 bits per pixel"
    int images = 0;
    for (const Format& format : kFormats) {
        for (bool interlaced : {false, true}) {
            for (uint32_t height = 1; height <= 17; ++height) {
                for (uint32_t width = 1; width <= 17; ++width) {
                    PngImage image =
                        RandomImage(random, width, height, format.bitDepth, format.colorType, interlaced);
                    image.filters = kFilters[images % std::size(kFilters)];
                    Bytes file = EncodeWithLibpng(image);
                    Bytes expected = DecodeWithLibpng(file);
                    ASSERT_EQ(expected, PackRows(image.rows, width, format.bitDepth, format.colorType));
                    Bytes raw;
                    ASSERT_EQ(Decode(file, raw), kPngOk)
                        << "type " << format.colorType << " depth " << format.bitDepth << " " << width << "x"
                        << height << (interlaced ? " interlaced" : "");
                    ASSERT_EQ(raw, expected)
                        << "type " << format.colorType << " depth " << format.bitDepth << " " << width << "x"
                        << height << (interlaced ? " interlaced" : "");
                    const PngInfo& info = GetPngInfo();
                    ASSERT_EQ(info.width, width);
                    ASSERT_EQ(info.height, height);
                    ASSERT_EQ(info.channels, uint32_t(ChannelsOf(format.colorType)));
                    ASSERT_EQ(info.bitsPerPixel, info.channels * format.bitDepth);
                    if (!interlaced) {
                        auto types = FilterTypesOf(file, image);
                        filtersSeen[format.bitDepth * ChannelsOf(format.colorType) < 8].insert(types.begin(),
                                                                                               types.end());
                    }
                    ++images;
                }
            }
        }
    }
    // The forced filters really reached the files, for small and for whole-byte pixels.
    EXPECT_EQ(filtersSeen[true], (std::set<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(filtersSeen[false], (std::set<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(images, 15 * 2 * 17 * 17);
}

TEST(PngDecoder, MatchesLibpngForLargeImages) {
    std::mt19937 random(5);
    const Format formats[] = {{6, 8}, {0, 1}, {2, 16}};
    for (const Format& format : formats) {
        for (bool interlaced : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << format.colorType << " depth " << format.bitDepth
                                            << (interlaced ? " interlaced" : ""));
            PngImage image = RandomImage(random, 613, 419, format.bitDepth, format.colorType, interlaced);
            image.filters = PNG_ALL_FILTERS;
            Bytes file = EncodeWithLibpng(image);
            Bytes raw;
            ASSERT_EQ(Decode(file, raw), kPngOk);
            EXPECT_EQ(raw, DecodeWithLibpng(file));
        }
    }
}

TEST(PngDecoder, InterlacedImagesEqualTheirTwins) {
    std::mt19937 random(11);
    for (uint32_t size = 1; size <= 5; ++size) {
        for (const Format& format : kFormats) {
            SCOPED_TRACE(testing::Message()
                         << size << " type " << format.colorType << " depth " << format.bitDepth);
            PngImage plain = RandomImage(random, size, 6 - size, format.bitDepth, format.colorType, false);
            PngImage interlaced = plain;
            interlaced.interlaced = true;
            Bytes plainRaw;
            Bytes interlacedRaw;
            ASSERT_EQ(Decode(EncodeWithLibpng(plain), plainRaw), kPngOk);
            ASSERT_EQ(Decode(EncodeWithLibpng(interlaced), interlacedRaw), kPngOk);
            EXPECT_EQ(interlacedRaw, plainRaw);
        }
    }
}

TEST(PngDecoder, OneBitGreyDecodesAlikeUnderEveryFilter) {
    std::mt19937 random(3);
    PngImage image = RandomImage(random, 13, 9, 1, 0, false);
    image.filters = PNG_FILTER_NONE;
    Bytes reference;
    ASSERT_EQ(Decode(EncodeWithLibpng(image), reference), kPngOk);
    for (int filter : {PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH, PNG_FILTER_SUB}) {
        SCOPED_TRACE(filter);
        image.filters = filter;
        Bytes file = EncodeWithLibpng(image);
        ASSERT_GT(FilterTypesOf(file, image)
                      .count(filter == PNG_FILTER_UP    ? 2
                             : filter == PNG_FILTER_AVG ? 3
                             : filter == PNG_FILTER_SUB ? 1
                                                        : 4),
                  0u);
        Bytes raw;
        ASSERT_EQ(Decode(file, raw), kPngOk);
        EXPECT_EQ(raw, reference);
    }
}

TEST(PngChunks, CrcsUnknownChunksAndSplitIdatDoNotChangeThePixels) {
    std::mt19937 random(8);
    PngImage image = RandomImage(random, 9, 7, 8, 6, false);
    Bytes file = EncodeWithLibpng(image);
    Bytes expected;
    ASSERT_EQ(Decode(file, expected), kPngOk);

    Bytes idat;
    Bytes rebuilt(file.begin(), file.begin() + 33);
    for (const ParsedChunk& chunk : ParseChunks(file))
        if (chunk.type == "IDAT")
            Append(idat, chunk.data);
    // An unknown critical chunk, IDAT in pieces of 1 to 7 bytes with other chunks between them, and every
    // CRC wrong.
    Append(rebuilt, PngChunk("ABCD", {1, 2, 3}));
    for (size_t pos = 0, piece = 1; pos < idat.size(); pos += piece, piece = piece % 7 + 1) {
        Bytes part(idat.begin() + long(pos), idat.begin() + long(std::min(idat.size(), pos + piece)));
        Append(rebuilt, PngChunk("IDAT", part));
        if (piece % 3 == 0)
            Append(rebuilt, PngChunk("tEXt", {'k', 0, 'v'}));
    }
    Append(rebuilt, PngChunk("IEND", {}));
    size_t pos = 33;
    while (pos + 12 <= rebuilt.size()) {
        uint32_t length = uint32_t(rebuilt[pos]) << 24 | uint32_t(rebuilt[pos + 1]) << 16 |
                          uint32_t(rebuilt[pos + 2]) << 8 | rebuilt[pos + 3];
        rebuilt[pos + 8 + length] ^= 0xFF;
        pos += 12 + length;
    }
    Bytes raw;
    ASSERT_EQ(Decode(rebuilt, raw), kPngOk);
    EXPECT_EQ(raw, expected);

    // IEND whose CRC is cut off still ends the walk.
    rebuilt.resize(rebuilt.size() - 3);
    ASSERT_EQ(Decode(rebuilt, raw), kPngOk);
    EXPECT_EQ(raw, expected);
}

TEST(PngChunks, PaletteTransparencyAndBackgroundReachTheRecord) {
    Bytes raw;
    // A PLTE of 7 bytes has two entries, and the chunk after it is still found.
    Bytes plte = PngChunk("PLTE", {10, 20, 30, 40, 50, 60, 70});
    ASSERT_EQ(Decode(SmallPng(3, Concat({plte, PngChunk("tRNS", {128}), PngChunk("bKGD", {1})})), raw),
              kPngOk);
    const PngInfo& info = GetPngInfo();
    EXPECT_EQ(info.paletteSize, 2u);
    EXPECT_EQ(info.palette, (Bytes{10, 20, 30, 128, 40, 50, 60, 255}));
    EXPECT_EQ(info.backgroundDefined, 1);
    EXPECT_EQ(info.backgroundRed, 1);
    EXPECT_EQ(info.keyDefined, 0);

    // A later PLTE replaces the palette.
    ASSERT_EQ(Decode(SmallPng(3, Concat({Plte(3), PngChunk("PLTE", {1, 2, 3})})), raw), kPngOk);
    EXPECT_EQ(info.paletteSize, 1u);
    EXPECT_EQ(info.palette, (Bytes{1, 2, 3, 255}));

    ASSERT_EQ(
        Decode(SmallPng(0, Concat({PngChunk("tRNS", {0x12, 0x34}), PngChunk("bKGD", {0x56, 0x78})}), 16),
               raw),
        kPngOk);
    EXPECT_EQ(info.keyDefined, 1);
    EXPECT_EQ(info.keyRed, 0x34);
    EXPECT_EQ(info.backgroundDefined, 1);
    EXPECT_EQ(info.backgroundRed, 0x78);

    ASSERT_EQ(Decode(SmallPng(2, Concat({PngChunk("tRNS", {1, 2, 3, 4, 5, 6}),
                                         PngChunk("bKGD", {7, 8, 9, 10, 11, 12})})),
                     raw),
              kPngOk);
    EXPECT_EQ(info.keyDefined, 1);
    EXPECT_EQ((std::array<int, 3>{info.keyRed, info.keyGreen, info.keyBlue}), (std::array<int, 3>{2, 4, 6}));
    EXPECT_EQ(info.backgroundDefined, 1);
    EXPECT_EQ((std::array<int, 3>{info.backgroundRed, info.backgroundGreen, info.backgroundBlue}),
              (std::array<int, 3>{8, 10, 12}));
}

TEST(PngInfoRecord, KeepsThePreviousImageUntilANewDecodeReachesEachField) {
    Bytes raw;
    ASSERT_EQ(Decode(MakePng(3, 2, 8, 2, Unfiltered({Bytes(9), Bytes(9)}), PngChunk("tRNS", Bytes(6))), raw),
              kPngOk);
    const PngInfo& info = GetPngInfo();
    ASSERT_EQ(info.keyDefined, 1);

    // Empty input touches nothing but the error.
    ASSERT_EQ(Decode({}, raw), kPngEmptyInput);
    EXPECT_EQ(info.keyDefined, 1);
    EXPECT_EQ(GetPngWidth(), 3u);

    // A wrong signature: the flags are reset, the header fields stay.
    Bytes notPng = SmallPng(6);
    notPng[1] = 'X';
    ASSERT_EQ(Decode(notPng, raw), kPngBadSignature);
    EXPECT_EQ(info.keyDefined, 0);
    EXPECT_EQ(GetPngWidth(), 3u);
    EXPECT_EQ(GetPngHeight(), 2u);

    // A failure in the chunk walk: the new header is in, channels still the old image's.
    Bytes truncated = SmallPng(6);
    truncated.resize(45);
    ASSERT_EQ(Decode(truncated, raw), kPngChunkPastEnd);
    EXPECT_EQ(GetPngWidth(), 2u);
    EXPECT_EQ(info.colorType, 6u);
    EXPECT_EQ(info.channels, 3u);

    // The palette vector keeps its bytes until a PLTE resizes it; only the size is reset.
    ASSERT_EQ(Decode(SmallPng(3, PngChunk("PLTE", {9, 8, 7})), raw), kPngOk);
    ASSERT_EQ(Decode(SmallPng(2), raw), kPngOk);
    EXPECT_EQ(info.paletteSize, 0u);
    EXPECT_EQ(info.palette, (Bytes{9, 8, 7, 255}));
}

TEST(PngDecoder, ShortImageDataLeavesZeros) {
    // One filtered row of data for a two-row image: the second row comes out as zeros.
    Bytes raw;
    Bytes file =
        Concat({PngStart(2, 2, 8, 0), PngChunk("IDAT", ZlibCompress({1, 5, 3}, 6, Z_DEFAULT_STRATEGY)),
                PngChunk("IEND", {})});
    ASSERT_EQ(Decode(file, raw), kPngOk);
    EXPECT_EQ(raw, (Bytes{5, 8, 0, 0}));
}

namespace {

struct Converted {
    uint32_t error;
    Bytes output;
    bool hasAlpha;
};

Converted Convert(const Bytes& file, bool sixteenBit) {
    Bytes bytes = file;
    Converted result{0, Bytes{0xAA}, false};
    bool hasAlpha = true;
    // Sentinel: a failing conversion must leave it unwritten.
    if (sixteenBit)
        ConvertPngToRgb565(bytes, result.output, hasAlpha);
    else
        ConvertPngToBgr24(bytes, result.output, hasAlpha);
    result.error = GetPngError();
    result.hasAlpha = hasAlpha;
    return result;
}

uint16_t Pixel16(const Bytes& out, uint32_t width, uint32_t x, uint32_t y) {
    size_t at = (size_t(y) * width + x) * 2;
    return uint16_t(out[at] | out[at + 1] << 8);
}

std::array<uint8_t, 3> Pixel24(const Bytes& out, uint32_t width, uint32_t x, uint32_t y) {
    size_t stride = (width * 3 + 3) & ~size_t(3);
    size_t at = y * stride + x * 3;
    return {out[at], out[at + 1], out[at + 2]};
}

} // namespace

TEST(PngConversion, PacksAndPremultipliesEveryPixel) {
    std::mt19937 random(21);
    for (int colorType : {2, 6}) {
        for (bool interlaced : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << colorType << (interlaced ? " interlaced" : ""));
            const uint32_t width = 7;
            const uint32_t height = 5;
            PngImage image = RandomImage(random, width, height, 8, colorType, interlaced);
            Bytes file = EncodeWithLibpng(image);
            Converted c16 = Convert(file, true);
            Converted c24 = Convert(file, false);
            ASSERT_EQ(c16.error, kPngOk);
            ASSERT_EQ(c24.error, kPngOk);
            bool alpha = colorType == 6;
            uint32_t rows = alpha ? 2 * height : height;
            EXPECT_EQ(c16.hasAlpha, alpha);
            EXPECT_EQ(c24.hasAlpha, alpha);
            ASSERT_EQ(c16.output.size(), width * 2 * rows);
            ASSERT_EQ(c24.output.size(), 24 * rows);
            int channels = alpha ? 4 : 3;
            for (uint32_t y = 0; y < height; ++y) {
                for (uint32_t x = 0; x < width; ++x) {
                    const uint8_t* p = image.rows[y].data() + x * channels;
                    int a = alpha ? p[3] : 255;
                    int r = p[0] * a / 255;
                    int g = p[1] * a / 255;
                    int b = p[2] * a / 255;
                    EXPECT_EQ(Pixel16(c16.output, width, x, y), (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
                    EXPECT_EQ(Pixel24(c24.output, width, x, y),
                              (std::array<uint8_t, 3>{uint8_t(b), uint8_t(g), uint8_t(r)}));
                    if (!alpha)
                        continue;
                    int m = 255 - a;
                    EXPECT_EQ(Pixel16(c16.output, width, x, y + height),
                              (m >> 3) << 11 | (m >> 2) << 5 | (m >> 3));
                    EXPECT_EQ(Pixel24(c24.output, width, x, y + height),
                              (std::array<uint8_t, 3>{uint8_t(m), uint8_t(m), uint8_t(m)}));
                }
            }
        }
    }
}

TEST(PngConversion, KnownPixelsAndRowSizes) {
    Bytes rgb = MakePng(3, 1, 8, 2, Unfiltered({{255, 128, 0, 255, 128, 0, 255, 128, 0}}));
    Converted c16 = Convert(rgb, true);
    Converted c24 = Convert(rgb, false);
    ASSERT_EQ(c16.output.size(), 6u);
    ASSERT_EQ(c24.output.size(), 12u);
    EXPECT_EQ(Pixel16(c16.output, 3, 2, 0), 0xFC00);
    EXPECT_EQ(Pixel24(c24.output, 3, 2, 0), (std::array<uint8_t, 3>{0x00, 0x80, 0xFF}));
    EXPECT_EQ(Bytes(c24.output.begin() + 9, c24.output.end()), Bytes(3, 0));

    // 2 x 2 RGBA: a bitmap 2 wide and 4 high; alpha 0 gives colour 0 and a white mask.
    Bytes rgba =
        MakePng(2, 2, 8, 6, Unfiltered({{200, 100, 50, 128, 1, 2, 3, 0}, {9, 9, 9, 255, 0, 0, 0, 0}}));
    c16 = Convert(rgba, true);
    c24 = Convert(rgba, false);
    EXPECT_TRUE(c16.hasAlpha);
    ASSERT_EQ(c16.output.size(), 2u * 2 * 4);
    ASSERT_EQ(c24.output.size(), 8u * 4);
    EXPECT_EQ(Pixel24(c24.output, 2, 0, 0), (std::array<uint8_t, 3>{25, 50, 100}));
    EXPECT_EQ(Pixel24(c24.output, 2, 0, 2), (std::array<uint8_t, 3>{127, 127, 127}));
    EXPECT_EQ(Pixel16(c16.output, 2, 1, 0), 0);
    EXPECT_EQ(Pixel16(c16.output, 2, 1, 2), 0xFFFF);
    EXPECT_EQ(Pixel16(c16.output, 2, 0, 1), PackRgb565(9, 9, 9));
    EXPECT_EQ(Pixel16(c16.output, 2, 0, 1 + 2), 0); // alpha 255: black mask
    EXPECT_EQ(PackBgr24(1, 2, 3), 0x030201u);
    EXPECT_EQ(PremultiplyAlpha(255, 254), 254);
}

TEST(PngConversion, OtherFormatsGiveBlackRowsOfTheImageSize) {
    const struct {
        uint8_t colorType, bitDepth;
        bool alpha;
    } cases[] = {{0, 8, false}, {4, 8, false}, {3, 8, false}, {2, 16, false}, {6, 16, true}, {0, 1, false}};
    for (auto c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << int(c.colorType) << " depth " << int(c.bitDepth));
        size_t rowBytes = RowBytes(3, c.bitDepth, c.colorType);
        Bytes file =
            MakePng(3, 2, c.bitDepth, c.colorType, Unfiltered({Bytes(rowBytes, 0xFF), Bytes(rowBytes, 0x7F)}),
                    c.colorType == 3 ? PngChunk("PLTE", Bytes(768, 0xFF)) : Bytes{});
        uint32_t rows = c.alpha ? 4 : 2;
        Converted c16 = Convert(file, true);
        ASSERT_EQ(c16.error, kPngOk);
        EXPECT_EQ(c16.hasAlpha, c.alpha);
        EXPECT_EQ(c16.output, Bytes(6 * rows, 0));
        Converted c24 = Convert(file, false);
        EXPECT_EQ(c24.hasAlpha, c.alpha);
        EXPECT_EQ(c24.output, Bytes(12 * rows, 0));
    }
}

TEST(PngConversion, FailuresLeaveTheOutputEmptyAndTheFlagUnwritten) {
    Converted c = Convert(SmallPng(6, PngChunk("tRNS", Bytes(6))), true);
    EXPECT_EQ(c.error, kPngTransparencyWithAlpha);
    EXPECT_TRUE(c.output.empty());
    EXPECT_TRUE(c.hasAlpha); // the sentinel
    c = Convert({}, false);
    EXPECT_EQ(c.error, kPngEmptyInput);
    EXPECT_TRUE(c.output.empty());
}

TEST(PngConversion, RefusesRowsPastTheLimitAfterADecodeThatFits) {
    // 8192 x 5600 RGBA: 183 MB of pixels, but 275 MB of 24-bit rows with the mask half.
    Bytes file = Concat({PngStart(8192, 5600, 8, 6),
                         PngChunk("IDAT", ZlibCompress({}, 0, Z_DEFAULT_STRATEGY)), PngChunk("IEND", {})});
    Converted c = Convert(file, false);
    EXPECT_EQ(c.error, kPngTooLarge);
    EXPECT_TRUE(c.output.empty());
    EXPECT_TRUE(c.hasAlpha);
}

TEST(Scanline, RefusesUnknownFilterTypes) {
    const uint8_t line[4] = {1, 2, 3, 4};
    uint8_t out[4] = {};
    for (uint8_t type : {5, 6, 255}) {
        ResetPngInfo();
        UnfilterScanline(out, line, line, ScanlinePosition::Later, 1, type, 4);
        EXPECT_EQ(GetPngError(), kPngBadFilterType);
    }
}
