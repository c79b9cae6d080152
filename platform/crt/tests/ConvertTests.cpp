#include <cerrno>
#include <climits>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "CanaryBuffer.h"
#include "crt/Convert.h"
#include "crt/WideString.h"

namespace {

using std::string;
using std::u16string;

// The handheld's LONG limits; the host's kLongMax belongs to its 64-bit long.
constexpr LONG kLongMax = std::numeric_limits<LONG>::max();
constexpr LONG kLongMin = std::numeric_limits<LONG>::min();

TEST(DecimalParsing, FollowsTheRunTimeRules) {
    struct Case {
        const WCHAR* text;
        LONG value;
    } const cases[] = {
        {u"0", 0},
        {u"42", 42},
        {u" \t\n\v\f\r42", 42},
        {u"-42", -42},
        {u"+42", 42},
        {u"-0", 0},
        {u"007", 7},
        {u"42abc", 42},
        {u"4 2", 4},
        {u"12.9", 12},
        {u"0x10", 0}, // decimal only
        {u"", 0},
        {u"abc", 0},
        {u"-", 0},
        {u"+-1", 0},
        {u"- 1", 0},
        {u"\u00a042", 0}, // no-break space is not white space
        {u"\u0661", 0},   // neither is an Arabic-Indic digit a digit
        {u"\uff11", 0},   // nor a full-width one
        {u"2147483647", kLongMax},
        {u"2147483648", kLongMax},
        {u"-2147483648", kLongMin},
        {u"-2147483649", kLongMin},
        {u"4294967296", kLongMax}, // would wrap to 0 in 32 bits
        {u"99999999999999999999999999999999", kLongMax},
        {u"-99999999999999999999999999999999", kLongMin},
        {u"00000000000000000000000000000012", 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << c.value);
        EXPECT_EQ(_wtol(c.text), c.value);
        EXPECT_EQ(_wtoi(c.text), c.value);
    }
    EXPECT_EQ(_wtol(nullptr), 0);
}

struct BaseCase {
    const WCHAR* text;
    int base;
    long long value;
    size_t endOffset;
    bool outOfRange;
};

TEST(BaseParsing, SignedParsingHonoursBasePrefixesAndLimits) {
    const BaseCase cases[] = {
        {u"0x1A", 0, 26, 4, false},
        {u"0X1a", 16, 26, 4, false},
        {u"1A", 16, 26, 2, false},
        {u"017", 0, 15, 3, false},
        {u"019", 0, 1, 2, false}, // 9 is no octal digit
        {u"0x", 0, 0, 1, false},  // a prefix without digits leaves the 0
        {u"0xg", 16, 0, 1, false},
        {u"zZ", 36, 35 * 36 + 35, 2, false},
        {u"  -12abc", 10, -12, 5, false},
        {u"101", 2, 5, 3, false},
        {u"2", 2, 0, 0, false},
        {u"abc", 10, 0, 0, false},
        {u"", 10, 0, 0, false},
        {u"   ", 10, 0, 0, false},
        {u"-", 10, 0, 0, false},
        {u"12", 1, 0, 0, false},
        {u"12", 37, 0, 0, false},
        {u"12", -1, 0, 0, false},
        {u"2147483647", 10, kLongMax, 10, false},
        {u"-2147483648", 10, kLongMin, 11, false},
        {u"2147483648", 10, kLongMax, 10, true},
        {u"-2147483649", 10, kLongMin, 11, true},
        {u"0xFFFFFFFF", 0, kLongMax, 10, true},
        {u"123456789012345678901234567890x", 10, kLongMax, 30, true},
    };
    for (const BaseCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "base " << c.base << ", value " << c.value);
        WCHAR* end = nullptr;
        errno = 0;
        EXPECT_EQ(wcstol(c.text, &end, c.base), c.value);
        EXPECT_EQ(end, c.text + c.endOffset);
        EXPECT_EQ(errno, c.outOfRange ? ERANGE : 0);
    }
    EXPECT_EQ(wcstol(u"77", nullptr, 8), 63);
}

TEST(BaseParsing, UnsignedParsingCoversThe32BitRange) {
    const BaseCase cases[] = {
        {u"4294967295", 10, 4294967295, 10, false},
        {u"0xFFFFFFFF", 0, 0xFFFFFFFF, 10, false},
        {u"-1", 10, 0xFFFFFFFF, 2, false}, // negated in unsigned arithmetic, as in C
        {u"-4294967295", 10, 1, 11, false},
        {u"4294967296", 10, 0xFFFFFFFF, 10, true},
        {u"-4294967296", 10, 0xFFFFFFFF, 11, true},
        {u"0x100000000", 16, 0xFFFFFFFF, 11, true},
        {u"x", 16, 0, 0, false},
    };
    for (const BaseCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "base " << c.base << ", value " << c.value);
        WCHAR* end = nullptr;
        errno = 0;
        EXPECT_EQ(wcstoul(c.text, &end, c.base), static_cast<ULONG>(c.value));
        EXPECT_EQ(end, c.text + c.endOffset);
        EXPECT_EQ(errno, c.outOfRange ? ERANGE : 0);
    }
}

TEST(NumberPrinting, PrintsInEveryRadix) {
    struct Case {
        long long value;
        int radix;
        u16string text;
    } const cases[] = {
        {0, 10, u"0"},
        {-1, 10, u"-1"},
        {INT_MAX, 10, u"2147483647"},
        {INT_MIN, 10, u"-2147483648"},
        {255, 16, u"ff"},
        {-1, 16, u"ffffffff"}, // other radixes print the two's complement
        {5, 2, u"101"},
        {INT_MIN, 2, u"1" + u16string(31, u'0')},
        {35, 36, u"z"},
        {-8, 8, u"37777777770"},
        {1, 37, u""},
        {1, 1, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << c.value << ", radix " << c.radix);
        WideBuffer itow;
        EXPECT_EQ(_itow(static_cast<int>(c.value), itow.units, c.radix), itow.units);
        EXPECT_EQ(itow.Prefix(c.text.size() + 1), c.text + u'\0');
        EXPECT_TRUE(itow.UntouchedFrom(c.text.size() + 1));
        WideBuffer ltow;
        _ltow(static_cast<LONG>(c.value), ltow.units, c.radix);
        EXPECT_EQ(u16string(ltow.units), c.text);
    }
    WCHAR buffer[33];
    EXPECT_EQ(u16string(_ultow(4294967295u, buffer, 10)), u"4294967295");
    EXPECT_EQ(u16string(_ultow(4294967295u, buffer, 2)), u16string(32, u'1'));
    EXPECT_EQ(u16string(_ultow(1295, buffer, 36)), u"zz");
    EXPECT_EQ(_itow(1, nullptr, 10), nullptr);
}

TEST(EightBitText, WideningWritesOneUnitPerByteWithinCount) {
    struct Case {
        string source; // may hold a NUL
        size_t count;
        size_t result;
        u16string written; // the units written, the terminator included when it fit
    } const cases[] = {
        {"abc", 10, 3, u16string(u"abc\0", 4)},
        {"abc", 4, 3, u16string(u"abc\0", 4)},
        {"abc", 3, 3, u"abc"}, // no room for the terminator
        {"abc", 2, 2, u"ab"},
        {"abc", 0, 0, u""},
        {"", 5, 0, u16string(u"\0", 1)},
        {"\xe9t\xe9 \x80\xff", 10, 6, u16string(u"\u00e9t\u00e9 \u0080\u00ff\0", 7)},
        {string("a\0b", 3), 10, 1, u16string(u"a\0", 2)}, // nothing after the terminator
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << ", " << c.source.size() << " bytes");
        WideBuffer buffer;
        EXPECT_EQ(mbstowcs(buffer.units, c.source.c_str(), c.count), c.result);
        EXPECT_EQ(buffer.Prefix(c.written.size()), c.written);
        EXPECT_TRUE(buffer.UntouchedFrom(c.written.size()));
    }
}

TEST(EightBitText, NarrowingKeepsLatin1AndReplacesTheRest) {
    struct Case {
        const WCHAR* source;
        size_t count;
        size_t result;
        string written;
    } const cases[] = {
        {u"abc", 10, 3, string("abc\0", 4)},
        {u"abc", 3, 3, "abc"},
        {u"abc", 1, 1, "a"},
        {u"abc", 0, 0, ""},
        {u"", 4, 0, string("\0", 1)},
        {u"\u00e9\u00ff\u0080\u0100\u4e2d\U0001F600.", 10, 8, string("\xe9\xff\x80????.\0", 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << ", " << wcslen(c.source) << " units");
        ByteBuffer buffer;
        EXPECT_EQ(wcstombs(buffer.units, c.source, c.count), c.result);
        EXPECT_EQ(buffer.Prefix(c.written.size()), c.written);
        EXPECT_TRUE(buffer.UntouchedFrom(c.written.size()));
    }
}

TEST(EightBitText, NullDestinationReportsTheFullLength) {
    EXPECT_EQ(mbstowcs(nullptr, "h\xe9llo", 0), 5u);
    EXPECT_EQ(mbstowcs(nullptr, "", 0), 0u);
    EXPECT_EQ(wcstombs(nullptr, u"\u4e2dab\u00e9", 0), 4u);
    EXPECT_EQ(wcstombs(nullptr, u"", 3), 0u);
    EXPECT_EQ(mbstowcs(nullptr, nullptr, 0), 0u);
}

TEST(EightBitText, EveryByteRoundTrips) {
    char bytes[256];
    for (int i = 0; i < 255; ++i)
        bytes[i] = static_cast<char>(i + 1);
    bytes[255] = 0;
    WCHAR wide[256];
    ASSERT_EQ(mbstowcs(wide, bytes, 256), 255u);
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(int{wide[i]}, i + 1);
    char back[256];
    ASSERT_EQ(wcstombs(back, wide, 256), 255u);
    EXPECT_EQ(string(back), string(bytes));
}

} // namespace
