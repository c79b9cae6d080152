#include "Md5.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "OpenSslReference.h"
#include "TestBytes.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < size; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

// Digest of the message fed in pieces that end at the given offsets.
std::string DigestInPieces(const std::string& message, const std::vector<size_t>& cuts) {
    Md5Context context;
    Md5Init(&context);
    size_t start = 0;
    for (size_t cut : cuts) {
        Md5Update(&context, reinterpret_cast<const uint8_t*>(message.data()) + start,
                  static_cast<uint32_t>(cut - start));
        start = cut;
    }
    Md5Update(&context, reinterpret_cast<const uint8_t*>(message.data()) + start,
              static_cast<uint32_t>(message.size() - start));
    uint8_t digest[16];
    Md5Final(digest, &context);
    return Hex(digest, 16);
}

struct Rfc1321Case {
    std::string message;
    std::string digest;
};

const Rfc1321Case kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, GivesTheRfc1321DigestsWholeAndInEveryTwoPieceSplit) {
    for (const auto& c : kRfc1321Suite) {
        EXPECT_EQ(DigestInPieces(c.message, {}), c.digest) << '"' << c.message << '"';
        for (size_t cut = 0; cut <= c.message.size(); ++cut)
            ASSERT_EQ(DigestInPieces(c.message, {cut}), c.digest) << '"' << c.message << "\" cut at " << cut;
    }
}

TEST(Md5, PiecesEndingOnAndAcrossBlockBoundaries) {
    std::string message(300, '\0');
    for (size_t i = 0; i < message.size(); ++i)
        message[i] = static_cast<char>('a' + i % 26);
    std::vector<uint8_t> bytes(message.begin(), message.end());
    const std::string expected = Hex(reference::Md5(bytes).data(), 16);
    const std::vector<std::vector<size_t>> splits = {
        {64}, {64, 128}, {63, 64, 65}, {1, 65, 129, 193}, {55, 56, 119, 120}, {128, 256}, {100, 101, 299}};
    for (const auto& cuts : splits)
        EXPECT_EQ(DigestInPieces(message, cuts), expected);
}

TEST(Md5, PaddingAroundTheLengthFieldBoundaryMatchesOpenSsl) {
    // Lengths 55 and 56 mod 64 are where one padding byte still fits, or a whole block is added.
    for (size_t length : {55u, 56u, 57u, 63u, 64u, 119u, 120u, 183u, 184u}) {
        std::string message(length, 'x');
        std::vector<uint8_t> bytes(message.begin(), message.end());
        EXPECT_EQ(DigestInPieces(message, {}), Hex(reference::Md5(bytes).data(), 16)) << length;
    }
}

TEST(Md5, ContextReadsZeroAfterFinal) {
    Md5Context context;
    Md5Init(&context);
    const uint8_t data[100] = {1, 2, 3};
    Md5Update(&context, data, sizeof data);
    uint8_t digest[16];
    Md5Final(digest, &context);
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&context);
    for (size_t i = 0; i < sizeof context; ++i)
        ASSERT_EQ(raw[i], 0) << "byte " << i;
}

TEST(Md5, MatchesOpenSslOnRandomMessagesFedInRandomPieces) {
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        auto bytes = testbytes::Random(rng, rng() % 1000);
        Md5Context context;
        Md5Init(&context);
        size_t position = 0;
        while (position < bytes.size()) {
            size_t piece = std::min<size_t>(bytes.size() - position, rng() % 150);
            Md5Update(&context, bytes.data() + position, static_cast<uint32_t>(piece));
            position += piece;
        }
        uint8_t digest[16];
        Md5Final(digest, &context);
        ASSERT_EQ(std::vector<uint8_t>(digest, digest + 16), reference::Md5(bytes)) << "round " << round;
    }
}

TEST(Md5, EncodeAndDecodeAreLittleEndian) {
    const uint32_t words[2] = {0x04030201, 0xDDCCBBAA};
    uint8_t bytes[8];
    Md5Encode(bytes, words, 8);
    EXPECT_EQ(Hex(bytes, 8), "01020304aabbccdd");
    uint32_t back[2];
    Md5Decode(back, bytes, 8);
    EXPECT_EQ(back[0], words[0]);
    EXPECT_EQ(back[1], words[1]);
}

} // namespace
