#include "ContainerFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "OpenSslReference.h"
#include "TestBytes.h"

namespace {

std::vector<uint8_t> Utf16LeBytes(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

// The trailer of a new container computed independently with OpenSSL.
std::vector<uint8_t> ReferenceTrailer(const std::u16string& password, const std::u16string& folder) {
    std::vector<uint8_t> key = reference::Md5(Utf16LeBytes(password));
    std::vector<uint8_t> name(256, 0);
    for (size_t i = 0; i < folder.size() && i < 256; ++i)
        name[i] = static_cast<uint8_t>(folder[i]);
    std::vector<uint8_t> trailer = reference::AesEcb(key.data(), name, true);
    std::vector<uint8_t> keyBlock = reference::AesEcb(key.data(), key, true);
    trailer.insert(trailer.end(), keyBlock.begin(), keyBlock.end());
    return trailer;
}

std::vector<uint8_t> OurTrailer(const std::u16string& password, const std::u16string& folder) {
    CONTAINER_TRAILER trailer;
    BuildNewContainerTrailer(password.c_str(), folder.c_str(), &trailer);
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&trailer);
    return std::vector<uint8_t>(raw, raw + sizeof trailer);
}

std::u16string Repeat(char16_t unit, size_t count) {
    return std::u16string(count, unit);
}

TEST(ContainerTrailer, MatchesTheReferenceForNamesAndPasswords) {
    struct Case {
        std::u16string password;
        std::u16string folder;
    };
    const Case cases[] = {
        {u"secret123", u"Encrypted Folder"},
        {u"", u"x"},                                // empty password: the key is MD5 of no bytes
        {u"p\u00e4ssw\u00f6rd\u4e2d", u"My Files"}, // units above 0xFF hash as their two bytes
        {u"12345678", Repeat(u'n', 255)},
        {u"12345678", Repeat(u'n', 256)}, // fills the block without a terminator
        {u"12345678", Repeat(u'n', 259)},
        {u"12345678", u"\u4e2d\u0141x"}, // only the low byte of each unit is kept
    };
    for (const auto& c : cases)
        EXPECT_EQ(OurTrailer(c.password, c.folder), ReferenceTrailer(c.password, c.folder))
            << "folder length " << c.folder.size();
}

TEST(ContainerTrailer, NameBlockTextKeepsLowBytesAndPadsWithZeros) {
    uint8_t text[kNameBlockSize];
    MakeNameBlockText(u"A\u4e41\u00ff", kContainerTextUnits, text);
    EXPECT_EQ(text[0], 'A');
    EXPECT_EQ(text[1], 0x41);
    EXPECT_EQ(text[2], 0xFF);
    for (size_t i = 3; i < kNameBlockSize; ++i)
        ASSERT_EQ(text[i], 0) << i;

    std::u16string longName = Repeat(u'z', 300);
    MakeNameBlockText(longName.c_str(), kContainerTextUnits, text);
    for (size_t i = 0; i < kNameBlockSize; ++i)
        ASSERT_EQ(text[i], 'z') << i;
}

TEST(ContainerKeys, EmptyPasswordKeyIsTheDigestOfNoBytes) {
    uint8_t key[16];
    DerivePasswordKey(u"", kContainerTextUnits, key);
    EXPECT_EQ(std::vector<uint8_t>(key, key + 16), testbytes::FromHex("d41d8cd98f00b204e9800998ecf8427e"));
}

TEST(ContainerKeys, PasswordKeyStopsAtTheFieldLimit) {
    CONTAINER_PARAMS record;
    for (auto& unit : record.password)
        unit = u'q'; // no terminator anywhere in the field
    uint8_t key[16];
    DerivePasswordKey(record.password, kContainerTextUnits, key);
    EXPECT_EQ(std::vector<uint8_t>(key, key + 16), reference::Md5(Utf16LeBytes(Repeat(u'q', 260))));
}

TEST(ContainerKeys, WrappedKeyUnwrapsAndSamePasswordsShareKeys) {
    uint8_t keyA[16], keyB[16];
    DerivePasswordKey(u"same password", kContainerTextUnits, keyA);
    DerivePasswordKey(u"same password", kContainerTextUnits, keyB);
    EXPECT_EQ(0, std::memcmp(keyA, keyB, 16));

    CONTAINER_TRAILER trailer;
    BuildNewContainerTrailer(u"same password", u"F", &trailer);
    uint8_t dataKey[16];
    UnwrapDataKey(keyA, trailer.keyBlock, dataKey);
    EXPECT_EQ(0, std::memcmp(dataKey, keyA, 16)); // a new container's data key is its password key

    std::mt19937 rng(7);
    auto other = testbytes::Random(rng, 16);
    uint8_t block[16], back[16];
    WrapDataKey(keyA, other.data(), block);
    UnwrapDataKey(keyA, block, back);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 16), other);
}

TEST(ContainerKeys, PasswordCheckAcceptsOnlyThePartitionJump) {
    struct Case {
        std::string firstBytes;
        bool passes;
    };
    const Case cases[] = {
        {"e9fdff", true},  {"e9fdff00", true}, {"e9fdffeb3c90", true}, {"e9fdfe", false},
        {"e8fdff", false}, {"e9fcff", false},  {"000000", false},      {"ffffff", false},
    };
    for (const auto& c : cases) {
        uint8_t plain[16] = {};
        auto bytes = testbytes::FromHex(c.firstBytes);
        std::memcpy(plain, bytes.data(), bytes.size());
        EXPECT_EQ(PasswordCheckPasses(plain), c.passes) << c.firstBytes;
    }
}

TEST(ContainerKeys, CheckPasswordDecryptsTheStoredFirstBlock) {
    uint8_t key[16], wrong[16];
    DerivePasswordKey(u"right one", kContainerTextUnits, key);
    DerivePasswordKey(u"wrong one", kContainerTextUnits, wrong);
    AesKeySchedule enc, dec, wrongDec;
    AesSetEncryptKey128(key, &enc);
    AesSetDecryptKey128(key, &dec);
    AesSetDecryptKey128(wrong, &wrongDec);
    uint8_t sector0[16] = {0xE9, 0xFD, 0xFF, 0x10};
    uint8_t stored[16];
    EncryptBlocks(&enc, sector0, stored, 16);
    EXPECT_TRUE(CheckPassword(&dec, stored));
    EXPECT_FALSE(CheckPassword(&wrongDec, stored));
}

TEST(ContainerBlocks, EachBlockIsEncryptedOnItsOwnAndInPlaceWorks) {
    uint8_t key[16];
    DerivePasswordKey(u"blocks", kContainerTextUnits, key);
    AesKeySchedule enc, dec;
    AesSetEncryptKey128(key, &enc);
    AesSetDecryptKey128(key, &dec);

    std::vector<uint8_t> sector(512, 0x5A); // equal plaintext blocks give equal stored blocks
    std::vector<uint8_t> stored(512);
    EncryptBlocks(&enc, sector.data(), stored.data(), 512);
    EXPECT_EQ(stored, reference::AesEcb(key, sector, true));
    for (size_t i = 16; i < 512; i += 16)
        ASSERT_EQ(0, std::memcmp(stored.data(), stored.data() + i, 16));

    std::vector<uint8_t> inPlace = sector;
    EncryptBlocks(&enc, inPlace.data(), inPlace.data(), 512);
    EXPECT_EQ(inPlace, stored);
    DecryptBlocks(&dec, inPlace.data(), inPlace.data(), 512);
    EXPECT_EQ(inPlace, sector);

    uint8_t untouched[16] = {1, 2, 3};
    EncryptBlocks(&enc, untouched, untouched, 0);
    EXPECT_EQ(untouched[0], 1);
}

} // namespace
