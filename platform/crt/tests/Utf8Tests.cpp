// UTF-8 from and to UTF-16: surrogate pairs, unpaired surrogates at every place, and the byte sequences
// that are not UTF-8.

#include <string>

#include <gtest/gtest.h>

#include "crt/Utf8.h"

namespace {

TEST(Utf8FromUtf16, EncodesEveryLengthAndHandlesUnpairedSurrogates) {
    struct Case {
        std::u16string text;
        std::string replaced; // unpaired surrogates as U+FFFD
        bool exact;           // the text has no unpaired surrogate
    } const cases[] = {
        {u"", "", true},
        {u"a\u00e9\u20ac", "a\xC3\xA9\xE2\x82\xAC", true},
        {u"\U0001F600", "\xF0\x9F\x98\x80", true},
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF", true},
        {std::u16string(1, u'\xD83D'), "\xEF\xBF\xBD", false}, // a high surrogate at the end
        {std::u16string{u'\xD83D', u'a'},
         "\xEF\xBF\xBD"
         "a",
         false}, // a high surrogate before another unit
        {std::u16string{u'\xDE00', u'\xD83D'}, "\xEF\xBF\xBD\xEF\xBF\xBD",
         false},                                                   // a pair the wrong way round
        {std::u16string{u'x', u'\xDE00'}, "x\xEF\xBF\xBD", false}, // a lone low surrogate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.replaced);
        EXPECT_EQ(crt::ToUtf8(c.text), c.replaced);
        std::optional<std::string> exact = crt::ToUtf8Exact(c.text);
        EXPECT_EQ(exact.has_value(), c.exact);
        if (c.exact && exact) {
            EXPECT_EQ(*exact, c.replaced);
        }
    }
}

TEST(Utf16FromUtf8, DecodesValidTextAndRefusesWhatIsNotUtf8) {
    EXPECT_EQ(crt::FromUtf8Exact("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
              std::u16string(u"a\u00e9\u20ac\U0001F600"));
    EXPECT_EQ(crt::FromUtf8Exact(""), std::u16string());
    const char* const invalid[] = {
        "\x80",             // a stray continuation byte
        "\xC3",             // cut by the end
        "\xE2\x82",         // cut by the end
        "\xC3\x41",         // a missing continuation byte
        "\xC0\x80",         // overlong
        "\xE0\x80\x80",     // overlong
        "\xF0\x80\x80\x80", // overlong
        "\xED\xA0\x80",     // a surrogate
        "\xF4\x90\x80\x80", // beyond U+10FFFF
        "\xF8\x88\x80\x80\x80",
    };
    for (const char* text : invalid) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        EXPECT_FALSE(crt::FromUtf8Exact(text).has_value());
    }
}

TEST(Utf16FromUtf8, DecodeStopsAtTheEndOfTheText) {
    // A sequence whose continuation lies past the view's end is not read.
    const std::string bytes = "\xE2\x82\xAC";
    char32_t c = 0;
    EXPECT_EQ(crt::DecodeUtf8(std::string_view(bytes).substr(0, 2), 0, c), 0u);
    EXPECT_EQ(crt::DecodeUtf8(bytes, 3, c), 0u);
    EXPECT_EQ(crt::DecodeUtf8(bytes, 0, c), 3u);
    EXPECT_EQ(c, U'\u20ac');
}

TEST(Wtf8, EveryUtf16TextRoundTripsAndMalformedBytesAreRefused) {
    const std::u16string texts[] = {
        u"",
        u"a\u00e9\u20ac\U0001F600",
        std::u16string{u'\xD83D'},            // a high surrogate alone
        std::u16string{u'x', u'\xDE00', u'y'}, // a low surrogate alone
        std::u16string{u'\xDE00', u'\xD83D'}, // a pair the wrong way round
    };
    for (const std::u16string& text : texts) {
        SCOPED_TRACE(testing::PrintToString(crt::ToUtf8(text)));
        EXPECT_EQ(crt::FromWtf8(crt::ToWtf8(text)), text);
    }
    // A paired surrogate is one four-byte sequence, as in UTF-8; a lone one is three bytes of its own.
    EXPECT_EQ(crt::ToWtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(crt::ToWtf8(std::u16string{u'\xD83D'}), "\xED\xA0\xBD");
    EXPECT_FALSE(crt::FromWtf8("\xC0\x80").has_value());
    EXPECT_FALSE(crt::FromWtf8("\xED\xA0").has_value());
}

} // namespace
