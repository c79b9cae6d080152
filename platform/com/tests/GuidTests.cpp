#include <gtest/gtest.h>

#include <string>

#include "com/Unknown.h"

namespace {

constexpr GUID kSample = {0x7EB8A0D7, 0x7D17, 0x44CC, {0xA7, 0x4A, 0x00, 0xDC, 0x6A, 0xB3, 0x07, 0x34}};

TEST(GuidTextTest, GuidsRoundTripThroughTheirRegistryForm) {
    WCHAR text[39] = {};
    ASSERT_EQ(StringFromGUID2(kSample, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{7EB8A0D7-7D17-44CC-A74A-00DC6AB30734}");
    CLSID parsed{};
    ASSERT_EQ(CLSIDFromString(text, &parsed), S_OK);
    EXPECT_EQ(parsed, kSample);
    // Lower-case digits are read too.
    ASSERT_EQ(CLSIDFromString(u"{7eb8a0d7-7d17-44cc-a74a-00dc6ab30734}", &parsed), S_OK);
    EXPECT_EQ(parsed, kSample);
    EXPECT_EQ(StringFromGUID2(IID_IUnknown, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{00000000-0000-0000-C000-000000000046}");
}

TEST(GuidTextTest, ShortBuffersAndMalformedTextAreRefused) {
    WCHAR text[38] = {u'x'};
    EXPECT_EQ(StringFromGUID2(kSample, text, 38), 0);
    EXPECT_EQ(text[0], u'x');
    EXPECT_EQ(StringFromGUID2(kSample, nullptr, 39), 0);

    const char16_t* malformed[] = {
        u"",
        u"7EB8A0D7-7D17-44CC-A74A-00DC6AB30734",
        u"{7EB8A0D7-7D17-44CC-A74A-00DC6AB3073}",
        u"{7EB8A0D7-7D17-44CC-A74A-00DC6AB307345}",
        u"{7EB8A0D7-7D17-44CC-A74A-00DC6AB3073G}",
        u"{7EB8A0D7+7D17-44CC-A74A-00DC6AB30734}",
        u"{7EB8A0D77D17-44CC-A74A-00DC6AB30734-}",
        u"Tallowick.MenuHandler",
    };
    for (const char16_t* text16 : malformed) {
        CLSID parsed = kSample;
        EXPECT_EQ(CLSIDFromString(text16, &parsed), CO_E_CLASSSTRING);
        EXPECT_EQ(parsed, kSample);
    }
    CLSID parsed = kSample;
    EXPECT_EQ(CLSIDFromString(nullptr, &parsed), S_OK);
    EXPECT_EQ(parsed, CLSID_NULL);
    EXPECT_EQ(CLSIDFromString(u"{7EB8A0D7-7D17-44CC-A74A-00DC6AB30734}", nullptr), E_INVALIDARG);
}

} // namespace
