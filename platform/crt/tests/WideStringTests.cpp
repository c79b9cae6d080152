// The run time's header comes before any host header here, so these calls also prove that the
// overloads resolve when the host's wchar_t declarations arrive later.
#include "crt/WideString.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "CanaryBuffer.h"

namespace {

using std::u16string;

int Sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(WideStringLength, CountsUnitsUpToTheTerminator) {
    struct Case {
        const WCHAR* text;
        size_t length;
    } const cases[] = {
        {u"", 0},           {u"a", 1}, {u"abc\0def", 3}, {u"\u00e9\u4e2d", 2},
        {u"\U0001F600", 2}, // a surrogate pair is two units
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length);
        EXPECT_EQ(wcslen(c.text), c.length);
        EXPECT_EQ(wcsnlen(c.text, 100), c.length);
    }
}

TEST(WideStringLength, BoundedLengthStopsAtTheLimitWithoutReadingFurther) {
    const WCHAR unterminated[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(wcsnlen(unterminated, 3), 3u);
    EXPECT_EQ(wcsnlen(unterminated, 2), 2u);
    EXPECT_EQ(wcsnlen(unterminated, 0), 0u);
}

TEST(WideStringCopy, CopyWritesTheTextAndOneTerminator) {
    WideBuffer buffer;
    EXPECT_EQ(wcscpy(buffer.units, u"abc"), buffer.units);
    EXPECT_EQ(buffer.Prefix(4), u16string(u"abc\0", 4));
    EXPECT_TRUE(buffer.UntouchedFrom(4));
}

TEST(WideStringCopy, CountedCopyPadsOrOmitsTheTerminatorLikeC) {
    struct Case {
        const WCHAR* source;
        size_t count;
        u16string written; // exactly count units
    } const cases[] = {
        {u"abc", 5, u16string(u"abc\0\0", 5)},
        {u"abc", 4, u16string(u"abc\0", 4)},
        {u"abc", 3, u"abc"}, // no terminator when the source fills count
        {u"abc", 2, u"ab"},
        {u"", 3, u16string(3, u'\0')},
        {u"abc", 0, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count);
        WideBuffer buffer;
        EXPECT_EQ(wcsncpy(buffer.units, c.source, c.count), buffer.units);
        EXPECT_EQ(buffer.Prefix(c.count), c.written);
        EXPECT_TRUE(buffer.UntouchedFrom(c.count));
    }
}

TEST(WideStringCopy, AppendWritesAfterTheExistingText) {
    WideBuffer buffer;
    wcscpy(buffer.units, u"ab");
    EXPECT_EQ(wcscat(buffer.units, u"cd"), buffer.units);
    EXPECT_EQ(buffer.Prefix(5), u16string(u"abcd\0", 5));
    EXPECT_TRUE(buffer.UntouchedFrom(5));
}

TEST(WideStringCopy, CountedAppendTakesAtMostCountUnitsAndAlwaysTerminates) {
    struct Case {
        const WCHAR* source;
        size_t count;
        u16string written; // the buffer from its start to the terminator included
    } const cases[] = {
        {u"cdef", 2, u16string(u"abcd\0", 5)},
        {u"c", 5, u16string(u"abc\0", 4)}, // no padding after the terminator
        {u"cdef", 0, u16string(u"ab\0", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count);
        WideBuffer buffer;
        wcscpy(buffer.units, u"ab");
        EXPECT_EQ(wcsncat(buffer.units, c.source, c.count), buffer.units);
        EXPECT_EQ(buffer.Prefix(c.written.size()), c.written);
        EXPECT_TRUE(buffer.UntouchedFrom(c.written.size()));
    }
}

TEST(WideStringCopy, SafeCopyTruncatesToTheCapacityAndTerminates) {
    struct Case {
        const WCHAR* source;
        size_t capacity;
        size_t copied;
        u16string written;
    } const cases[] = {
        {u"abc", 10, 3, u16string(u"abc\0", 4)},
        {u"abc", 4, 3, u16string(u"abc\0", 4)},
        {u"abc", 3, 2, u16string(u"ab\0", 3)},
        {u"abc", 1, 0, u16string(u"\0", 1)},
        {u"abc", 0, 0, u""},
        {nullptr, 5, 0, u16string(u"\0", 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "capacity " << c.capacity);
        WideBuffer buffer;
        EXPECT_EQ(CopyStringW(buffer.units, c.capacity, c.source), c.copied);
        EXPECT_EQ(buffer.Prefix(c.written.size()), c.written);
        EXPECT_TRUE(buffer.UntouchedFrom(c.written.size()));
    }
    EXPECT_EQ(CopyStringW(nullptr, 5, u"abc"), 0u);
}

TEST(WideStringCopy, SafeCopyReadsNoMoreOfTheSourceThanFits) {
    const WCHAR unterminated[4] = {u'w', u'x', u'y', u'z'};
    WideBuffer buffer;
    EXPECT_EQ(CopyStringW(buffer.units, 5, unterminated), 4u);
    EXPECT_EQ(buffer.Prefix(5), u16string(u"wxyz\0", 5));
}

TEST(WideStringCompare, OrdinalComparisonsOrderUnitsAsUnsigned) {
    struct Case {
        const WCHAR* a;
        const WCHAR* b;
        int sign;
    } const cases[] = {
        {u"", u"", 0},        {u"abc", u"abc", 0},  {u"abc", u"abd", -1}, {u"abd", u"abc", 1},
        {u"ab", u"abc", -1},  {u"abc", u"ab", 1},   {u"a", u"B", 1}, // ordinal: 'a' (0x61) after 'B' (0x42)
        {u"\u00e9", u"z", 1}, {u"\uffff", u"a", 1},                  // a unit above 0x7FFF is not negative
        {u"Abc", u"abc", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "sign " << c.sign);
        EXPECT_EQ(Sign(wcscmp(c.a, c.b)), c.sign);
        EXPECT_EQ(Sign(wcsncmp(c.a, c.b, 100)), c.sign);
    }
}

TEST(WideStringCompare, CountedComparisonsStopAfterCountUnits) {
    struct Case {
        const WCHAR* a;
        const WCHAR* b;
        size_t count;
        int sign;
        int foldedSign;
    } const cases[] = {
        {u"abc", u"abd", 2, 0, 0},
        {u"abc", u"abd", 3, -1, -1},
        {u"ab", u"abc", 2, 0, 0},
        {u"ab", u"abc", 3, -1, -1},
        {u"x", u"y", 0, 0, 0},
        {u"FILE.TXT", u"file.doc", 5, -1, 0},
        {u"FILE.TXT", u"file.doc", 6, -1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count);
        EXPECT_EQ(Sign(wcsncmp(c.a, c.b, c.count)), c.sign);
        EXPECT_EQ(Sign(_wcsnicmp(c.a, c.b, c.count)), c.foldedSign);
    }
}

TEST(WideStringCompare, CaseInsensitiveComparisonsFoldBothSidesToLowerCase) {
    struct Case {
        const WCHAR* a;
        const WCHAR* b;
        int sign;
    } const cases[] = {
        {u"ABC", u"abc", 0},
        {u"\\Program Files\\Ferrovane", u"\\program files\\FERROVANE", 0},
        {u"\u00c0\u00c9\u00ce\u00de", u"\u00e0\u00e9\u00ee\u00fe", 0}, // Latin-1
        {u"\u0178", u"\u00ff", 0},                                     // Y with diaeresis across blocks
        {u"\u0141\u00f3d\u017a", u"\u0142\u00d3D\u0179", 0},           // Latin Extended-A
        {u"\u0391\u0392\u0393\u03a3", u"\u03b1\u03b2\u03b3\u03c3", 0}, // Greek
        {u"\u041f\u0420\u0418\u0412\u0415\u0422", u"\u043f\u0440\u0438\u0432\u0435\u0442", 0}, // Cyrillic
        {u"\u0401\u0404", u"\u0451\u0454", 0},
        {u"a", u"B", -1},
        {u"B", u"a", 1},
        {u"[", u"A", -1}, // folded to lower case: '[' (0x5B) before 'a' (0x61)
        {u"_", u"a", -1},
        {u"abc", u"ABCD", -1},
        {u"Stra\u00dfe", u"STRASSE", 1}, // sharp s has no one-unit capital
        {u"\u00b5", u"\u039c", -1},      // the micro sign is no Greek letter here
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "sign " << c.sign << " for text of " << wcslen(c.a) << " units");
        EXPECT_EQ(Sign(_wcsicmp(c.a, c.b)), c.sign);
        EXPECT_EQ(Sign(_wcsicmp(c.b, c.a)), -c.sign);
        EXPECT_EQ(Sign(_wcsnicmp(c.a, c.b, 100)), c.sign);
    }
}

TEST(WideStringSearch, FindsUnitsAndSubstrings) {
    const WCHAR* text = u"a\\b\\c.fvc";
    EXPECT_EQ(wcschr(text, u'\\'), text + 1);
    EXPECT_EQ(wcsrchr(text, u'\\'), text + 3);
    EXPECT_EQ(wcschr(text, u'x'), nullptr);
    EXPECT_EQ(wcsrchr(text, u'x'), nullptr);
    // The terminator is part of the string for both searches.
    EXPECT_EQ(wcschr(text, 0), text + 9);
    EXPECT_EQ(wcsrchr(text, 0), text + 9);
    EXPECT_EQ(wcschr(u"\u4e2d\u6587", u'\u6587') - u"\u4e2d\u6587", 1) << "units above 0xFF";

    struct Case {
        const WCHAR* haystack;
        const WCHAR* needle;
        int offset; // -1: not found
    } const cases[] = {
        {u"hello world", u"world", 6},
        {u"aaab", u"aab", 1}, // a partial match must not skip the real one
        {u"abc", u"", 0},
        {u"", u"", 0},
        {u"ab", u"abc", -1},
        {u"", u"a", -1},
        {u"abcabc", u"cab", 2},
        {u"ABC", u"abc", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << c.offset);
        const WCHAR* found = wcsstr(c.haystack, c.needle);
        if (c.offset < 0)
            EXPECT_EQ(found, nullptr);
        else
            EXPECT_EQ(found, c.haystack + c.offset);
    }
}

TEST(WideStringDuplicate, CopiesIntoFreshMemory) {
    const WCHAR* text = u"K\u00f6ln";
    WCHAR* copy = _wcsdup(text);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, text);
    EXPECT_EQ(u16string(copy), u16string(text));
    std::free(copy);

    WCHAR* empty = _wcsdup(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], 0);
    std::free(empty);

    EXPECT_EQ(_wcsdup(nullptr), nullptr);
}

TEST(WideStringCase, ChangesCaseInPlace) {
    WCHAR text[] = u"Hello \u00c0\u00ff \u0416\u03c3\u03a3 123 \u4e2d";
    EXPECT_EQ(_wcslwr(text), text);
    EXPECT_EQ(u16string(text), u"hello \u00e0\u00ff \u0436\u03c3\u03c3 123 \u4e2d");
    EXPECT_EQ(_wcsupr(text), text);
    EXPECT_EQ(u16string(text), u"HELLO \u00c0\u0178 \u0416\u03a3\u03a3 123 \u4e2d");
}

} // namespace
