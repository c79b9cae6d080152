// The wide printf family. The formatter walks the format once, takes exactly one argument per
// conversion (and one per '*'), and writes through a writer that refuses every unit past the limit.

#include "crt/Format.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "crt/WideString.h"

namespace {

// The unbounded forms' limit, terminator included.
constexpr size_t kUnboundedFormLimit = 1024;

// Floating-point digits come from the host's snprintf with at most this precision. Every digit a double
// can have beyond it is 0, so a larger precision is met by adding zeros.
constexpr int kMaxFloatPrecision = 1100;
// Sign, 309 integer digits, point, kMaxFloatPrecision digits and an exponent fit easily.
constexpr size_t kFloatTextSize = 1536;

// Output into the caller's buffer: at most limit units before the terminator. Once a unit was refused
// the output counts as cut short and nothing more is written.
class BoundedWriter {
public:
    BoundedWriter(WCHAR* buffer, size_t count)
        : m_buffer(count == 0 ? nullptr : buffer),
          m_limit(m_buffer == nullptr ? 0 : std::min<size_t>(count - 1, INT_MAX)),
          m_truncated(m_buffer == nullptr) {}

    void Put(WCHAR unit) {
        if (m_length < m_limit)
            m_buffer[m_length++] = unit;
        else
            m_truncated = true;
    }

    void PutRepeated(WCHAR unit, size_t count) {
        for (; count > 0 && !m_truncated; --count)
            Put(unit);
    }

    void PutUnits(const WCHAR* units, size_t count) {
        for (size_t i = 0; i < count && !m_truncated; ++i)
            Put(units[i]);
    }

    // 8-bit text: each byte is the unit of the same value.
    void PutBytes(const char* bytes, size_t count) {
        for (size_t i = 0; i < count && !m_truncated; ++i)
            Put(static_cast<unsigned char>(bytes[i]));
    }

    bool Truncated() const { return m_truncated; }
    size_t Length() const { return m_length; }

    // Terminates the text when the buffer has room for anything at all.
    void Finish() {
        if (m_buffer != nullptr)
            m_buffer[m_length] = 0;
    }

private:
    WCHAR* m_buffer;
    size_t m_limit;
    size_t m_length = 0;
    bool m_truncated;
};

// Reads the NUL-terminated format; it never moves past the terminator.
class FormatReader {
public:
    explicit FormatReader(const WCHAR* text) : m_position(text) {}

    bool AtEnd() const { return *m_position == 0; }
    WCHAR Peek() const { return *m_position; }
    const WCHAR* Position() const { return m_position; }

    WCHAR Next() {
        const WCHAR unit = *m_position;
        if (unit != 0)
            ++m_position;
        return unit;
    }

    bool Accept(WCHAR unit) {
        if (unit == 0 || *m_position != unit)
            return false;
        ++m_position;
        return true;
    }

private:
    const WCHAR* m_position;
};

enum class Length { Default, Short, Long, LongLong };

struct Directive {
    bool leftAlign = false;
    bool plusSign = false;
    bool spaceSign = false;
    bool zeroPad = false;
    bool alternate = false;
    size_t width = 0;
    int precision = -1; // -1: none given
    Length length = Length::Default;
    WCHAR conversion = 0;
};

// A decimal field of the format, saturating at INT_MAX.
int ReadDecimal(FormatReader& in) {
    int value = 0;
    while (IsDigitW(in.Peek())) {
        const int digit = in.Next() - u'0';
        value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
    }
    return value;
}

size_t Magnitude(int value) {
    return value < 0 ? static_cast<size_t>(0u - static_cast<unsigned>(value)) : static_cast<size_t>(value);
}

// Records a flag unit in d; false when unit is no flag.
bool ApplyFlag(WCHAR unit, Directive& d) {
    switch (unit) {
    case u'-':
        d.leftAlign = true;
        return true;
    case u'+':
        d.plusSign = true;
        return true;
    case u' ':
        d.spaceSign = true;
        return true;
    case u'0':
        d.zeroPad = true;
        return true;
    case u'#':
        d.alternate = true;
        return true;
    default:
        return false;
    }
}

// Flags, width, precision and length modifier up to the conversion unit. False when the directive is
// malformed (an unknown modifier or the end of the format), in which case it is printed as it stands.
bool ReadDirective(FormatReader& in, va_list& args, Directive& d) {
    while (ApplyFlag(in.Peek(), d))
        in.Next();
    if (in.Accept(u'*')) {
        const int width = va_arg(args, int);
        d.leftAlign = d.leftAlign || width < 0;
        d.width = Magnitude(width);
    } else {
        d.width = static_cast<size_t>(ReadDecimal(in));
    }
    if (in.Accept(u'.')) {
        if (in.Accept(u'*')) {
            const int precision = va_arg(args, int);
            d.precision = precision < 0 ? -1 : precision;
        } else {
            d.precision = ReadDecimal(in);
        }
    }
    if (in.Accept(u'h')) {
        d.length = Length::Short;
    } else if (in.Accept(u'l')) {
        d.length = in.Accept(u'l') ? Length::LongLong : Length::Long;
    } else if (in.Accept(u'I')) {
        if (!in.Accept(u'6') || !in.Accept(u'4'))
            return false;
        d.length = Length::LongLong;
    }
    d.conversion = in.Next();
    return d.conversion != 0;
}

void PadBefore(BoundedWriter& out, const Directive& d, size_t padding) {
    if (!d.leftAlign)
        out.PutRepeated(u' ', padding);
}

void PadAfter(BoundedWriter& out, const Directive& d, size_t padding) {
    if (d.leftAlign)
        out.PutRepeated(u' ', padding);
}

// Sign or prefix, zeros up to the precision (or the width with '0'), digits, and the padding.
void PutInteger(BoundedWriter& out, const Directive& d, std::uint64_t magnitude, bool negative) {
    const bool isSigned = d.conversion == u'd' || d.conversion == u'i';
    unsigned base = 10;
    if (d.conversion == u'o')
        base = 8;
    else if (d.conversion == u'x' || d.conversion == u'X' || d.conversion == u'p')
        base = 16;
    const char16_t* letters = d.conversion == u'x' ? u"0123456789abcdef" : u"0123456789ABCDEF";

    WCHAR digits[24]; // 22 octal digits hold 64 bits
    size_t digitCount = 0;
    for (std::uint64_t rest = magnitude; rest != 0; rest /= base)
        digits[digitCount++] = letters[rest % base];
    std::reverse(digits, digits + digitCount);
    // Without a precision a zero still prints its digit; with precision 0 it prints none.
    if (magnitude == 0 && d.precision != 0)
        digits[digitCount++] = u'0';

    WCHAR prefix[2];
    size_t prefixLength = 0;
    if (isSigned && negative)
        prefix[prefixLength++] = u'-';
    else if (isSigned && d.plusSign)
        prefix[prefixLength++] = u'+';
    else if (isSigned && d.spaceSign)
        prefix[prefixLength++] = u' ';
    else if (d.alternate && base == 16 && magnitude != 0 && d.conversion != u'p') {
        prefix[prefixLength++] = u'0';
        prefix[prefixLength++] = d.conversion;
    }

    size_t zeros = d.precision > 0 && static_cast<size_t>(d.precision) > digitCount
                       ? static_cast<size_t>(d.precision) - digitCount
                       : 0;
    if (d.alternate && base == 8 && zeros == 0 && (digitCount == 0 || digits[0] != u'0'))
        zeros = 1;
    size_t total = prefixLength + zeros + digitCount;
    if (d.zeroPad && !d.leftAlign && d.precision < 0 && d.width > total) {
        zeros += d.width - total;
        total = d.width;
    }
    const size_t padding = d.width > total ? d.width - total : 0;

    PadBefore(out, d, padding);
    out.PutUnits(prefix, prefixLength);
    out.PutRepeated(u'0', zeros);
    out.PutUnits(digits, digitCount);
    PadAfter(out, d, padding);
}

void PutSignedArgument(BoundedWriter& out, const Directive& d, va_list& args) {
    std::int64_t value = 0;
    switch (d.length) {
    case Length::Short:
        value = static_cast<short>(va_arg(args, int));
        break;
    case Length::LongLong:
        value = va_arg(args, long long);
        break;
    // The handheld's long is 32 bits, the width of LONG.
    case Length::Long:
    case Length::Default:
        value = va_arg(args, int);
        break;
    }
    const auto bits = static_cast<std::uint64_t>(value);
    PutInteger(out, d, value < 0 ? 0u - bits : bits, value < 0);
}

void PutUnsignedArgument(BoundedWriter& out, const Directive& d, va_list& args) {
    std::uint64_t value = 0;
    switch (d.length) {
    case Length::Short:
        value = static_cast<unsigned short>(va_arg(args, unsigned));
        break;
    case Length::LongLong:
        value = va_arg(args, unsigned long long);
        break;
    case Length::Long:
    case Length::Default:
        value = va_arg(args, unsigned);
        break;
    }
    PutInteger(out, d, value, false);
}

void PutPointerArgument(BoundedWriter& out, Directive d, va_list& args) {
    const auto value = reinterpret_cast<std::uintptr_t>(va_arg(args, void*));
    d.precision = 2 * sizeof(void*);
    PutInteger(out, d, value, false);
}

// %c and %lc take a UTF-16 unit, %hc an 8-bit character.
void PutCharacterArgument(BoundedWriter& out, const Directive& d, va_list& args) {
    const int value = va_arg(args, int);
    const WCHAR unit =
        d.length == Length::Short ? static_cast<unsigned char>(value) : static_cast<WCHAR>(value);
    const size_t padding = d.width > 1 ? d.width - 1 : 0;
    PadBefore(out, d, padding);
    out.Put(unit);
    PadAfter(out, d, padding);
}

// %s and %ls take UTF-16 text, %S and %hs 8-bit text. With a precision no more than that many units
// of the argument are read.
void PutStringArgument(BoundedWriter& out, const Directive& d, va_list& args) {
    const bool narrow = d.length == Length::Short || (d.conversion == u'S' && d.length != Length::Long);
    const size_t limit = d.precision < 0 ? SIZE_MAX : static_cast<size_t>(d.precision);
    const WCHAR* wide = nullptr;
    const char* bytes = nullptr;
    if (narrow) {
        bytes = va_arg(args, const char*);
        if (bytes == nullptr)
            bytes = "(null)";
    } else {
        wide = va_arg(args, const WCHAR*);
        if (wide == nullptr)
            wide = u"(null)";
    }
    size_t length = 0;
    if (narrow) {
        while (length < limit && bytes[length] != 0)
            ++length;
    } else {
        length = wcsnlen(wide, limit);
    }
    const size_t padding = d.width > length ? d.width - length : 0;
    PadBefore(out, d, padding);
    if (narrow)
        out.PutBytes(bytes, length);
    else
        out.PutUnits(wide, length);
    PadAfter(out, d, padding);
}

void PutFloatArgument(BoundedWriter& out, const Directive& d, va_list& args) {
    const double value = va_arg(args, double);
    const int requested = d.precision < 0 ? 6 : d.precision;
    const int precision = std::min(requested, kMaxFloatPrecision);

    char format[8];
    size_t f = 0;
    format[f++] = '%';
    if (d.plusSign)
        format[f++] = '+';
    if (d.spaceSign)
        format[f++] = ' ';
    if (d.alternate)
        format[f++] = '#';
    format[f++] = '.';
    format[f++] = '*';
    format[f++] = static_cast<char>(d.conversion);
    format[f] = 0;

    char text[kFloatTextSize];
    const int printed = std::snprintf(text, sizeof text, format, precision, value);
    if (printed < 0)
        return;
    const size_t length = std::min(static_cast<size_t>(printed), sizeof text - 1);

    const bool finite = std::isfinite(value);
    // Zeros beyond the host's precision go before the exponent; %g drops trailing zeros unless '#'.
    const size_t extraZeros =
        finite && (d.conversion != u'g' || d.alternate) ? static_cast<size_t>(requested - precision) : 0;
    const size_t signLength = length > 0 && (text[0] == '-' || text[0] == '+' || text[0] == ' ') ? 1 : 0;
    size_t exponentAt = length;
    if (d.conversion != u'f') {
        for (size_t i = signLength; i < length; ++i) {
            if (text[i] == 'e') {
                exponentAt = i;
                break;
            }
        }
    }
    const size_t total = length + extraZeros;
    const size_t padding = d.width > total ? d.width - total : 0;
    const bool zeroPad = d.zeroPad && !d.leftAlign && finite;

    if (!zeroPad)
        PadBefore(out, d, padding);
    out.PutBytes(text, signLength);
    if (zeroPad)
        out.PutRepeated(u'0', padding);
    out.PutBytes(text + signLength, exponentAt - signLength);
    out.PutRepeated(u'0', extraZeros);
    out.PutBytes(text + exponentAt, length - exponentAt);
    PadAfter(out, d, padding);
}

void FormatInto(BoundedWriter& out, const WCHAR* format, va_list& args) {
    FormatReader in(format);
    while (!in.AtEnd() && !out.Truncated()) {
        const WCHAR* start = in.Position();
        if (in.Next() != u'%') {
            out.Put(*start);
            continue;
        }
        Directive d;
        const bool wellFormed = ReadDirective(in, args, d);
        switch (wellFormed ? d.conversion : 0) {
        case u'd':
        case u'i':
            PutSignedArgument(out, d, args);
            break;
        case u'u':
        case u'o':
        case u'x':
        case u'X':
            PutUnsignedArgument(out, d, args);
            break;
        case u'p':
            PutPointerArgument(out, d, args);
            break;
        case u'c':
            PutCharacterArgument(out, d, args);
            break;
        case u's':
        case u'S':
            PutStringArgument(out, d, args);
            break;
        case u'f':
        case u'e':
        case u'g':
            PutFloatArgument(out, d, args);
            break;
        case u'%':
            out.Put(u'%');
            break;
        // Anything else is no conversion: print it as written and take no argument.
        default:
            out.PutUnits(start, static_cast<size_t>(in.Position() - start));
            break;
        }
    }
}

// Formats into at most count units and reports the length and whether the text was cut short.
bool FormatBounded(WCHAR* buffer, size_t count, const WCHAR* format, va_list args, size_t& length) {
    BoundedWriter out(buffer, count);
    if (format != nullptr) {
        va_list local;
        va_copy(local, args);
        FormatInto(out, format, local);
        va_end(local);
    }
    out.Finish();
    length = out.Length();
    return format != nullptr && !out.Truncated();
}

} // namespace

int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args) {
    size_t length = 0;
    if (!FormatBounded(buffer, count, format, args, length))
        return -1;
    return static_cast<int>(length);
}

int _snwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = _vsnwprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int vswprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args) {
    return _vsnwprintf(buffer, count, format, args);
}

int swprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = _vsnwprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int wvsprintfW(WCHAR* buffer, const WCHAR* format, va_list args) {
    size_t length = 0;
    FormatBounded(buffer, kUnboundedFormLimit, format, args, length);
    return static_cast<int>(length);
}

int wsprintfW(WCHAR* buffer, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = wvsprintfW(buffer, format, args);
    va_end(args);
    return result;
}
