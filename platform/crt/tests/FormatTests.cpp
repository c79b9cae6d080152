#include <climits>
#include <cstdarg>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "CanaryBuffer.h"
#include "crt/Format.h"
#include "crt/WideString.h"

namespace {

using std::u16string;

// Formats into a roomy buffer and checks that the result counts the units written.
template <typename... Args>
u16string Format(const WCHAR* format, Args... args) {
    WCHAR buffer[2048];
    const int result = swprintf(buffer, 2048, format, args...);
    EXPECT_GE(result, 0);
    return result < 0 ? u16string(u"<cut>") : u16string(buffer, static_cast<size_t>(result));
}

template <typename T>
struct Case {
    const WCHAR* format;
    T value;
    u16string expected;
};

template <typename T, size_t N>
void ExpectAll(const Case<T> (&cases)[N]) {
    for (const Case<T>& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        EXPECT_EQ(Format(c.format, c.value), c.expected);
    }
}

TEST(FormatIntegers, SignedConversionsWithFlagsWidthAndPrecision) {
    const Case<int> cases[] = {
        {u"%d", 42, u"42"},
        {u"%i", -42, u"-42"},
        {u"%d", 0, u"0"},
        {u"%d", INT_MAX, u"2147483647"},
        {u"%d", INT_MIN, u"-2147483648"},
        {u"%04d", 7, u"0007"},
        {u"%04d", -7, u"-007"},
        {u"%04d", 123456, u"123456"},
        {u"%4d", 7, u"   7"},
        {u"%-4d|", 7, u"7   |"},
        {u"%-04d|", 7, u"7   |"}, // '-' overrides '0'
        {u"%+d", 5, u"+5"},
        {u"%+d", -5, u"-5"},
        {u"% d", 5, u" 5"},
        {u"%+ d", 5, u"+5"},
        {u"%.3d", 5, u"005"},
        {u"%.3d", -5, u"-005"},
        {u"%5.3d", -5, u" -005"},
        {u"%05.3d", 5, u"  005"}, // a precision turns zero padding off
        {u"%.0d", 0, u""},
        {u"%3.0d|", 0, u"   |"},
        {u"%.0d", 1, u"1"},
        {u"%hd", 70000, u"4464"}, // taken as short
        {u"%ld", -5, u"-5"},
        {u"%5i", 123, u"  123"},
    };
    ExpectAll(cases);
}

TEST(FormatIntegers, UnsignedAndHexadecimalConversions) {
    const Case<unsigned> cases[] = {
        {u"%u", 4294967295u, u"4294967295"},
        {u"%u", 0, u"0"},
        {u"%x", 255, u"ff"},
        {u"%X", 0xABCDEF, u"ABCDEF"},
        {u"%x", 0xDEADBEEF, u"deadbeef"},
        {u"%#x", 255, u"0xff"},
        {u"%#X", 255, u"0XFF"},
        {u"%#x", 0, u"0"},
        {u"%08X", 0xBEEF, u"0000BEEF"},
        {u"%#08x", 255, u"0x0000ff"},
        {u"%#.4x", 255, u"0x00ff"},
        {u"%-6x|", 255, u"ff    |"},
        {u"%o", 8, u"10"},
        {u"%#o", 8, u"010"},
        {u"%#o", 0, u"0"},
        {u"%#.0o", 0, u"0"},
        {u"%#5o", 8, u"  010"},
        {u"%+u", 5, u"5"}, // signs belong to signed conversions
        {u"%hu", 65537, u"1"},
        {u"%hx", 0x12345, u"2345"},
        {u"%lx", 0xFFFFFFFF, u"ffffffff"},
        {u"%lu", 3000000000u, u"3000000000"},
    };
    ExpectAll(cases);
}

TEST(FormatIntegers, SixtyFourBitConversions) {
    const Case<long long> cases[] = {
        {u"%lld", LLONG_MIN, u"-9223372036854775808"},
        {u"%I64d", LLONG_MAX, u"9223372036854775807"},
        {u"%llu", -1, u"18446744073709551615"},
        {u"%I64u", -1, u"18446744073709551615"},
        {u"%llx", 0x123456789ABCDEF0, u"123456789abcdef0"},
        {u"%I64X", 0x123456789ABCDEF0, u"123456789ABCDEF0"},
        {u"%llo", -1, u"1777777777777777777777"},
        {u"%020lld", -1, u"-0000000000000000001"},
    };
    ExpectAll(cases);
}

TEST(FormatIntegers, StarTakesWidthAndPrecisionFromTheArguments) {
    EXPECT_EQ(Format(u"%*d|", 5, 42), u"   42|");
    EXPECT_EQ(Format(u"%*d|", -5, 42), u"42   |"); // a negative width left-aligns
    EXPECT_EQ(Format(u"%-*d|", 5, 42), u"42   |");
    EXPECT_EQ(Format(u"%.*d", 4, 42), u"0042");
    EXPECT_EQ(Format(u"%.*d", -1, 42), u"42"); // a negative precision counts as none
    EXPECT_EQ(Format(u"%0*d", 4, 7), u"0007");
    EXPECT_EQ(Format(u"%*.*s|", 6, 2, u"abcdef"), u"    ab|");
}

TEST(FormatCharacters, WideAndEightBitCharacters) {
    const Case<int> cases[] = {
        {u"%c", u'A', u"A"},
        {u"%c", 0x0416, u"\u0416"},
        {u"%lc", 0x4E2D, u"\u4e2d"},
        {u"%3c", u'A', u"  A"},
        {u"%-3c|", u'A', u"A  |"},
        {u"%hc", 0xE9, u"\u00e9"},
        {u"%hc", 0x1E9, u"\u00e9"}, // an 8-bit character keeps its low byte
        {u"[%c]", 0x0178, u"[\u0178]"},
    };
    ExpectAll(cases);
    EXPECT_EQ(Format(u"%c", 0), u16string(1, u'\0')) << "a NUL character is written and counted";
}

TEST(FormatStrings, WideStrings) {
    const Case<const WCHAR*> cases[] = {
        {u"%s", u"abc", u"abc"},     {u"%ls", u"abc", u"abc"},
        {u"%lS", u"abc", u"abc"},    {u"%s", u"K\u00f6ln \u4e2d", u"K\u00f6ln \u4e2d"},
        {u"%5s|", u"ab", u"   ab|"}, {u"%-5s|", u"ab", u"ab   |"},
        {u"%.2s", u"abcdef", u"ab"}, {u"%.0s|", u"abc", u"|"},
        {u"%.9s", u"abc", u"abc"},   {u"%s", u"", u""},
        {u"%s", nullptr, u"(null)"}, {u"%.3s", nullptr, u"(nu"},
        {u"[%s]", u"%d", u"[%d]"}, // an argument is never a format
    };
    ExpectAll(cases);
}

TEST(FormatStrings, EightBitStringsWidenEachByte) {
    const Case<const char*> cases[] = {
        {u"%S", "abc", u"abc"},
        {u"%hs", "abc", u"abc"},
        {u"%S", "\xe9t\xe9 \x80\xff", u"\u00e9t\u00e9 \u0080\u00ff"},
        {u"%-6S|", "ab", u"ab    |"},
        {u"%.1hs", "xyz", u"x"},
        {u"%S", nullptr, u"(null)"},
        {u"%hS", "abc", u"abc"},
    };
    ExpectAll(cases);
}

TEST(FormatStrings, PrecisionBoundsHowFarAStringIsRead) {
    const WCHAR wide[3] = {u'a', u'b', u'c'};
    const char bytes[2] = {'x', 'y'};
    EXPECT_EQ(Format(u"%.3s", wide), u"abc");
    EXPECT_EQ(Format(u"%.2S", bytes), u"xy");
    EXPECT_EQ(Format(u"%.*s", 3, wide), u"abc");
}

TEST(FormatFloatingPoint, FixedExponentAndGeneralForms) {
    const Case<double> cases[] = {
        {u"%.1f", 2.34, u"2.3"},
        {u"%.1f", 2.36, u"2.4"},
        {u"%.1f", 0.05, u"0.1"},
        {u"%.1f", -0.04, u"-0.0"},
        {u"%.1f", 1023.96, u"1024.0"},
        {u"%f", 3.14159, u"3.141590"},
        {u"%.0f", 7.6, u"8"},
        {u"%#.0f", 7.6, u"8."},
        {u"%+.1f", 1.0, u"+1.0"},
        {u"% .1f", 1.0, u" 1.0"},
        {u"%8.2f", 3.14159, u"    3.14"},
        {u"%-8.2f|", 3.14159, u"3.14    |"},
        {u"%08.2f", -3.14159, u"-0003.14"},
        {u"%+08.2f", 3.14159, u"+0003.14"},
        {u"%e", 12345.678, u"1.234568e+04"},
        {u"%.2e", -0.000123, u"-1.23e-04"},
        {u"%012.3e", 12345.678, u"0001.235e+04"},
        {u"%g", 0.0001, u"0.0001"},
        {u"%g", 0.00001, u"1e-05"},
        {u"%g", 123456789.0, u"1.23457e+08"},
        {u"%g", 100.0, u"100"},
        {u"%#g", 1.0, u"1.00000"},
        {u"%.3g", 3.14159, u"3.14"},
        {u"%lf", 0.5, u"0.500000"},
        {u"%f", std::numeric_limits<double>::infinity(), u"inf"},
        {u"%06f", -std::numeric_limits<double>::infinity(), u"  -inf"}, // no zeros before a non-number
        {u"%f", std::numeric_limits<double>::quiet_NaN(), u"nan"},
        {u"%.1f", 1e20, u"100000000000000000000.0"},
    };
    ExpectAll(cases);
}

TEST(FormatFloatingPoint, PrecisionBeyondTheDigitsOfADoubleAddsZeros) {
    EXPECT_EQ(Format(u"%.1200f", 0.5), u"0.5" + u16string(1199, u'0'));
    EXPECT_EQ(Format(u"%.1200e", 1.5), u"1.5" + u16string(1199, u'0') + u"e+00");
    EXPECT_EQ(Format(u"%.1200g", 0.5), u"0.5") << "without '#' %g drops trailing zeros";
    EXPECT_EQ(Format(u"%.1200f", 0x1p-1074).size(), 1202u) << "the smallest double in full";
}

TEST(FormatOther, PercentPointersAndTextThatIsNoConversion) {
    EXPECT_EQ(Format(u"100%%"), u"100%");
    EXPECT_EQ(Format(u"%%d"), u"%d");
    EXPECT_EQ(Format(u"plain text"), u"plain text");
    EXPECT_EQ(Format(u""), u"");

    const u16string pointerDigits(2 * sizeof(void*) - 4, u'0');
    EXPECT_EQ(Format(u"%p", reinterpret_cast<void*>(0xBEEF)), pointerDigits + u"BEEF");
    EXPECT_EQ(Format(u"%p", static_cast<void*>(nullptr)), u16string(2 * sizeof(void*), u'0'));

    // Unknown directives are printed as written and take no argument: the next one still gets its own.
    EXPECT_EQ(Format(u"%y %d", 5), u"%y 5");
    EXPECT_EQ(Format(u"%n|%d", 5), u"%n|5");
    EXPECT_EQ(Format(u"%I32d %d", 5), u"%I32d 5");
    EXPECT_EQ(Format(u"%-5k%d", 5), u"%-5k5");
    EXPECT_EQ(Format(u"abc%"), u"abc%");
}

TEST(FormatOther, TheSystemsOwnForms) {
    EXPECT_EQ(Format(u"[WINAPI-%04d] %s", 5, u"Access is denied."), u"[WINAPI-0005] Access is denied.");
    EXPECT_EQ(Format(u"[WINAPI-%04d] %s", 12345, u"x"), u"[WINAPI-12345] x");
    EXPECT_EQ(
        Format(u"Undefined error #%d happened \n[WINAPI-%04d] %s", 7, 2, u"The system cannot find the file."),
        u"Undefined error #7 happened \n[WINAPI-0002] The system cannot find the file.");
    EXPECT_EQ(Format(u"backgroundBitmap%i", 0), u"backgroundBitmap0");
    EXPECT_EQ(Format(u"%iB", 1023), u"1023B");
    EXPECT_EQ(Format(u"%.1f KB", 1536 / 1024.0), u"1.5 KB");
    EXPECT_EQ(Format(u"%s: %ld bytes, 0x%08X", u"disk", static_cast<LONG>(-1), 0x1F4u),
              u"disk: -1 bytes, 0x000001F4");
    EXPECT_EQ(Format(u"%c%s%c", u'"', u"\\Encrypted Folder", u'"'), u"\"\\Encrypted Folder\"");
}

// Bounds: each bounded form stops at count - 1 units, terminates, reports -1 and leaves the rest.
class FormatBounds : public testing::Test {
protected:
    WideBuffer m_buffer;

    void ExpectCut(int result, size_t count, const u16string& kept) {
        EXPECT_EQ(result, -1);
        ASSERT_EQ(kept.size() + 1, count);
        EXPECT_EQ(m_buffer.Prefix(count), kept + u'\0');
        EXPECT_TRUE(m_buffer.UntouchedFrom(count));
    }
};

TEST_F(FormatBounds, TextThatFitsWithItsTerminatorIsComplete) {
    EXPECT_EQ(swprintf(m_buffer.units, 5, u"abcd"), 4);
    EXPECT_EQ(m_buffer.Prefix(5), u16string(u"abcd\0", 5));
    EXPECT_TRUE(m_buffer.UntouchedFrom(5));
}

TEST_F(FormatBounds, TextWithoutRoomForTheTerminatorIsCut) {
    ExpectCut(swprintf(m_buffer.units, 4, u"abcd"), 4, u"abc");
}

TEST_F(FormatBounds, CutsInsideEveryKindOfOutput) {
    struct Case {
        const char* what;
        size_t count;
        u16string kept;
        int (*format)(WCHAR* buffer, size_t count);
    } const cases[] = {
        {"literal", 3, u"ab", [](WCHAR* b, size_t n) { return swprintf(b, n, u"abcdef"); }},
        {"string", 5, u"abcd", [](WCHAR* b, size_t n) { return swprintf(b, n, u"%s", u"abcdefgh"); }},
        {"8-bit string", 3, u"\u00e9\u00e9",
         [](WCHAR* b, size_t n) { return swprintf(b, n, u"%S", "\xe9\xe9\xe9"); }},
        {"number", 4, u"123", [](WCHAR* b, size_t n) { return swprintf(b, n, u"%d", 123456); }},
        {"padding", 4, u"   ", [](WCHAR* b, size_t n) { return swprintf(b, n, u"%10d", 5); }},
        {"zeros", 4, u"-00", [](WCHAR* b, size_t n) { return swprintf(b, n, u"%08d", -5); }},
        {"float", 4, u"3.1", [](WCHAR* b, size_t n) { return swprintf(b, n, u"%f", 3.14159); }},
        {"character", 2, u"x", [](WCHAR* b, size_t n) { return swprintf(b, n, u"x%c", u'y'); }},
        {"only terminator", 1, u"", [](WCHAR* b, size_t n) { return swprintf(b, n, u"%d", 1); }},
        {"huge width", 8, u"       ", [](WCHAR* b, size_t n) { return swprintf(b, n, u"%2147483647d", 1); }},
        {"overflowing width", 8, u"       ",
         [](WCHAR* b, size_t n) { return swprintf(b, n, u"%99999999999d", 1); }},
        {"huge precision", 8, u"0000000",
         [](WCHAR* b, size_t n) { return swprintf(b, n, u"%.2147483647d", 1); }},
        {"star width of INT_MIN", 4, u"1  ",
         [](WCHAR* b, size_t n) { return swprintf(b, n, u"%*d", INT_MIN, 1); }},
        {"huge string precision", 3, u"ab",
         [](WCHAR* b, size_t n) { return swprintf(b, n, u"%.2147483647s", u"abc"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_buffer = WideBuffer();
        ExpectCut(c.format(m_buffer.units, c.count), c.count, c.kept);
    }
}

int CallVsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = _vsnwprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int CallVswprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = vswprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

TEST_F(FormatBounds, AllBoundedFormsBehaveAlike) {
    using Form = int (*)(WCHAR*, size_t, const WCHAR*, ...);
    const Form forms[] = {swprintf, _snwprintf, CallVsnwprintf, CallVswprintf};
    for (size_t i = 0; i < std::size(forms); ++i) {
        SCOPED_TRACE(testing::Message() << "form " << i);
        const Form form = forms[i];
        m_buffer = WideBuffer();
        EXPECT_EQ(form(m_buffer.units, 32, u"%s-%04d", u"ab", 7), 7);
        EXPECT_EQ(u16string(m_buffer.units), u"ab-0007");
        m_buffer = WideBuffer();
        ExpectCut(form(m_buffer.units, 6, u"%s-%04d", u"ab", 7), 6, u"ab-00");
    }
}

TEST_F(FormatBounds, NothingIsWrittenWithoutRoom) {
    EXPECT_EQ(swprintf(m_buffer.units, 0, u"abc"), -1);
    EXPECT_EQ(swprintf(m_buffer.units, 0, u""), -1);
    EXPECT_TRUE(m_buffer.UntouchedFrom(0));
    EXPECT_EQ(swprintf(nullptr, 0, u"abc"), -1);
    EXPECT_EQ(_snwprintf(nullptr, 10, u"abc"), -1);
}

TEST_F(FormatBounds, AMissingFormatFailsWithAnEmptyText) {
    EXPECT_EQ(swprintf(m_buffer.units, 8, nullptr), -1);
    EXPECT_EQ(m_buffer.units[0], 0);
    EXPECT_TRUE(m_buffer.UntouchedFrom(1));
}

TEST(FormatUnbounded, StopsAtTheLimitOfWsprintf) {
    CanaryBuffer<WCHAR, 1100> buffer;
    EXPECT_EQ(wsprintfW(buffer.units, u"%d-%s", 5, u"x"), 3);
    EXPECT_EQ(u16string(buffer.units), u"5-x");

    buffer = CanaryBuffer<WCHAR, 1100>();
    EXPECT_EQ(wsprintfW(buffer.units, u"%1023d", 1), 1023);
    EXPECT_EQ(buffer.units[1022], u'1');
    EXPECT_EQ(buffer.units[1023], 0);

    buffer = CanaryBuffer<WCHAR, 1100>();
    EXPECT_EQ(wsprintfW(buffer.units, u"%2000d", 1), 1023) << "the units stored, not -1";
    EXPECT_EQ(buffer.units[1022], u' ');
    EXPECT_EQ(buffer.units[1023], 0);
    EXPECT_TRUE(buffer.UntouchedFrom(1024));
}

} // namespace
