#include "Aes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "ContainerFormat.h"
#include "OpenSslReference.h"
#include "TestBytes.h"

namespace {

using testbytes::FromHex;

struct Block {
    uint8_t bytes[16];
};

Block BlockOf(const std::string& hex) {
    Block b{};
    auto v = FromHex(hex);
    std::memcpy(b.bytes, v.data(), 16);
    return b;
}

// FIPS-197 Appendix C.1.
const Block kKeyC1 = BlockOf("000102030405060708090a0b0c0d0e0f");
const Block kPlainC1 = BlockOf("00112233445566778899aabbccddeeff");
const Block kCipherC1 = BlockOf("69c4e0d86a7b0430d8cdb78070b4c55a");

TEST(Aes, EncryptsAndDecryptsTheFipsExampleVector) {
    AesKeySchedule enc{}, dec{};
    EXPECT_EQ(AesSetEncryptKey128(kKeyC1.bytes, &enc), 0);
    EXPECT_EQ(AesSetDecryptKey128(kKeyC1.bytes, &dec), 0);
    EXPECT_EQ(enc.info, 160u);
    EXPECT_EQ(dec.info, 160u);

    Block out{};
    ASSERT_EQ(AesEncryptBlock(kPlainC1.bytes, out.bytes, &enc), 0);
    EXPECT_EQ(0, std::memcmp(out.bytes, kCipherC1.bytes, 16));
    ASSERT_EQ(AesDecryptBlock(kCipherC1.bytes, out.bytes, &dec), 0);
    EXPECT_EQ(0, std::memcmp(out.bytes, kPlainC1.bytes, 16));
}

TEST(Aes, KeyExpansionMatchesFipsAppendixA1) {
    // The words as FIPS-197 prints them: first schedule byte in the top 8 bits.
    const uint32_t expected[44] = {
        0x2b7e1516, 0x28aed2a6, 0xabf71588, 0x09cf4f3c, 0xa0fafe17, 0x88542cb1, 0x23a33939, 0x2a6c7605,
        0xf2c295f2, 0x7a96b943, 0x5935807a, 0x7359f67f, 0x3d80477d, 0x4716fe3e, 0x1e237e44, 0x6d7a883b,
        0xef44a541, 0xa8525b7f, 0xb671253b, 0xdb0bad00, 0xd4d1c6f8, 0x7c839d87, 0xcaf2b8bc, 0x11f915bc,
        0x6d88a37a, 0x110b3efd, 0xdbf98641, 0xca0093fd, 0x4e54f70e, 0x5f5fc9f3, 0x84a64fb2, 0x4ea6dc4f,
        0xead27321, 0xb58dbad2, 0x312bf560, 0x7f8d292f, 0xac7766f3, 0x19fadc21, 0x28d12941, 0x575c006e,
        0xd014f9a8, 0xc9ee2589, 0xe13f0cc8, 0xb6630ca6};
    auto key = FromHex("2b7e151628aed2a6abf7158809cf4f3c");
    AesKeySchedule enc{};
    AesSetEncryptKey128(key.data(), &enc);
    for (int i = 0; i < 44; ++i)
        EXPECT_EQ(__builtin_bswap32(enc.roundKeys[i]), expected[i]) << "word " << i;
}

TEST(Aes, DecryptionScheduleKeepsForwardOrderWithOuterRoundKeysUnchanged) {
    AesKeySchedule enc{}, dec{};
    AesSetEncryptKey128(kKeyC1.bytes, &enc);
    AesSetDecryptKey128(kKeyC1.bytes, &dec);
    for (int i : {0, 1, 2, 3, 40, 41, 42, 43})
        EXPECT_EQ(dec.roundKeys[i], enc.roundKeys[i]) << "word " << i;
    int differing = 0;
    for (int i = 4; i < 40; ++i)
        differing += dec.roundKeys[i] != enc.roundKeys[i];
    EXPECT_EQ(differing, 36);
}

TEST(Aes, ScheduleOfTheWrongDirectionDoesNotInvert) {
    AesKeySchedule enc{}, dec{};
    AesSetEncryptKey128(kKeyC1.bytes, &enc);
    AesSetDecryptKey128(kKeyC1.bytes, &dec);
    Block out{};
    AesDecryptBlock(kCipherC1.bytes, out.bytes, &enc);
    EXPECT_NE(0, std::memcmp(out.bytes, kPlainC1.bytes, 16));
    AesEncryptBlock(kPlainC1.bytes, out.bytes, &dec);
    EXPECT_NE(0, std::memcmp(out.bytes, kCipherC1.bytes, 16));
}

TEST(Aes, UnkeyedContextIsRefusedWithoutWritingOutput) {
    AesKeySchedule zeroed{};
    Block out;
    std::memset(out.bytes, 0xA5, 16);
    EXPECT_EQ(AesEncryptBlock(kPlainC1.bytes, out.bytes, &zeroed), 1);
    EXPECT_EQ(AesDecryptBlock(kCipherC1.bytes, out.bytes, &zeroed), 1);
    for (uint8_t b : out.bytes)
        EXPECT_EQ(b, 0xA5);
}

TEST(Aes, InPlaceAndUnalignedBuffersGiveTheSameResult) {
    AesKeySchedule enc{}, dec{};
    AesSetEncryptKey128(kKeyC1.bytes, &enc);
    AesSetDecryptKey128(kKeyC1.bytes, &dec);
    for (size_t offset = 0; offset < 4; ++offset) {
        alignas(16) uint8_t buffer[20];
        std::memcpy(buffer + offset, kPlainC1.bytes, 16);
        AesEncryptBlock(buffer + offset, buffer + offset, &enc);
        EXPECT_EQ(0, std::memcmp(buffer + offset, kCipherC1.bytes, 16)) << "offset " << offset;
        AesDecryptBlock(buffer + offset, buffer + offset, &dec);
        EXPECT_EQ(0, std::memcmp(buffer + offset, kPlainC1.bytes, 16)) << "offset " << offset;
    }
}

TEST(Aes, MatchesOpenSslOnRandomKeysAndBuffers) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        auto key = testbytes::Random(rng, 16);
        auto plain = testbytes::Random(rng, 16 * (rng() % 40));
        AesKeySchedule enc{}, dec{};
        AesSetEncryptKey128(key.data(), &enc);
        AesSetDecryptKey128(key.data(), &dec);

        std::vector<uint8_t> cipher(plain.size());
        EncryptBlocks(&enc, plain.data(), cipher.data(), static_cast<uint32_t>(plain.size()));
        ASSERT_EQ(cipher, reference::AesEcb(key.data(), plain, true)) << "round " << round;
        std::vector<uint8_t> back(plain.size());
        DecryptBlocks(&dec, cipher.data(), back.data(), static_cast<uint32_t>(cipher.size()));
        ASSERT_EQ(back, plain) << "round " << round;
    }
}

} // namespace
