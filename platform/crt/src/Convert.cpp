// Number parsing and printing of the UTF-16 run time.

#include "crt/Convert.h"

#include <cerrno>
#include <cstdint>
#include <limits>

#include "crt/WideString.h"

namespace {

constexpr std::uint64_t kLongMagnitudeMax = std::numeric_limits<LONG>::max();
constexpr std::uint64_t kLongMagnitudeMin = kLongMagnitudeMax + 1; // |LONG_MIN|
constexpr std::uint64_t kUlongMax = std::numeric_limits<ULONG>::max();

// The value of c as a digit of base, or -1 when it is none.
int DigitValue(WCHAR c, int base) {
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c - u'0';
    else if (c >= u'a' && c <= u'z')
        value = c - u'a' + 10;
    else if (c >= u'A' && c <= u'Z')
        value = c - u'A' + 10;
    return value < base ? value : -1;
}

struct ParsedNumber {
    std::uint64_t magnitude = 0; // saturates just above every 32-bit limit
    bool negative = false;
    bool overflow = false;
    const WCHAR* end = nullptr; // first unit not taken; the start of the text when no digits were read
};

// White space, a sign, an optional base prefix, then digits. The magnitude stops growing once it
// passes the unsigned 32-bit range, so no digit count can overflow it.
ParsedNumber ParseNumber(const WCHAR* s, int base) {
    ParsedNumber result;
    result.end = s;
    if (s == nullptr || base < 0 || base == 1 || base > 36)
        return result;
    const WCHAR* p = s;
    while (IsSpaceW(*p))
        ++p;
    if (*p == u'-' || *p == u'+') {
        result.negative = *p == u'-';
        ++p;
    }
    if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') &&
        DigitValue(p[2], 16) >= 0) {
        base = 16;
        p += 2;
    } else if (base == 0) {
        base = p[0] == u'0' ? 8 : 10;
    }
    const WCHAR* digits = p;
    for (int digit; (digit = DigitValue(*p, base)) >= 0; ++p) {
        if (result.magnitude <= kUlongMax)
            result.magnitude = result.magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    if (p == digits)
        return ParsedNumber{0, false, false, s};
    result.end = p;
    return result;
}

LONG ClampToLong(ParsedNumber& number) {
    if (number.negative) {
        if (number.magnitude >= kLongMagnitudeMin) {
            number.overflow = number.magnitude > kLongMagnitudeMin;
            return std::numeric_limits<LONG>::min();
        }
        return -static_cast<LONG>(number.magnitude);
    }
    if (number.magnitude > kLongMagnitudeMax) {
        number.overflow = true;
        return std::numeric_limits<LONG>::max();
    }
    return static_cast<LONG>(number.magnitude);
}

WCHAR* PrintUnsigned(std::uint32_t value, bool negative, WCHAR* buffer, int radix) {
    if (buffer == nullptr)
        return nullptr;
    if (radix < 2 || radix > 36) {
        buffer[0] = 0;
        return buffer;
    }
    WCHAR digits[32];
    int count = 0;
    do {
        const unsigned digit = value % static_cast<unsigned>(radix);
        digits[count++] = static_cast<WCHAR>(digit < 10 ? u'0' + digit : u'a' + digit - 10);
        value /= static_cast<unsigned>(radix);
    } while (value != 0);
    WCHAR* out = buffer;
    if (negative)
        *out++ = u'-';
    while (count > 0)
        *out++ = digits[--count];
    *out = 0;
    return buffer;
}

// Decimal text keeps the sign; every other radix prints the two's-complement bits, as the C run time
// does.
WCHAR* PrintSigned(std::int32_t value, WCHAR* buffer, int radix) {
    if (radix == 10 && value < 0)
        return PrintUnsigned(0u - static_cast<std::uint32_t>(value), true, buffer, radix);
    return PrintUnsigned(static_cast<std::uint32_t>(value), false, buffer, radix);
}

} // namespace

LONG _wtol(const WCHAR* s) {
    ParsedNumber number = ParseNumber(s, 10);
    return ClampToLong(number);
}

int _wtoi(const WCHAR* s) {
    return _wtol(s);
}

LONG wcstol(const WCHAR* s, WCHAR** end, int base) {
    ParsedNumber number = ParseNumber(s, base);
    const LONG value = ClampToLong(number);
    if (number.overflow)
        errno = ERANGE;
    if (end != nullptr)
        *end = const_cast<WCHAR*>(number.end);
    return value;
}

ULONG wcstoul(const WCHAR* s, WCHAR** end, int base) {
    ParsedNumber number = ParseNumber(s, base);
    if (end != nullptr)
        *end = const_cast<WCHAR*>(number.end);
    if (number.magnitude > kUlongMax) {
        errno = ERANGE;
        return static_cast<ULONG>(kUlongMax);
    }
    const auto value = static_cast<ULONG>(number.magnitude);
    return number.negative ? static_cast<ULONG>(0u - value) : value;
}

WCHAR* _itow(int value, WCHAR* buffer, int radix) {
    return PrintSigned(value, buffer, radix);
}

WCHAR* _ltow(LONG value, WCHAR* buffer, int radix) {
    return PrintSigned(value, buffer, radix);
}

WCHAR* _ultow(ULONG value, WCHAR* buffer, int radix) {
    return PrintUnsigned(value, false, buffer, radix);
}
