#include "Names.h"

namespace fat {

namespace {

bool IsInvalidLongChar(char16_t c) {
    if (c < 0x20)
        return true;
    switch (c) {
    case u'"':
    case u'*':
    case u'/':
    case u':':
    case u'<':
    case u'>':
    case u'?':
    case u'\\':
    case u'|':
        return true;
    default:
        return false;
    }
}

// Characters a short name holds as they are (besides A-Z and 0-9).
bool IsShortSpecial(char16_t c) {
    switch (c) {
    case u'$':
    case u'%':
    case u'\'':
    case u'-':
    case u'_':
    case u'@':
    case u'~':
    case u'`':
    case u'!':
    case u'(':
    case u')':
    case u'{':
    case u'}':
    case u'^':
    case u'#':
    case u'&':
        return true;
    default:
        return false;
    }
}

bool IsShortChar(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || IsShortSpecial(c);
}

char16_t LowerAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

} // namespace

bool NormalizeLongName(std::u16string_view name, std::u16string& out) {
    size_t length = name.size();
    while (length > 0 && (name[length - 1] == u' ' || name[length - 1] == u'.'))
        --length;
    if (length == 0 || length > kMaxLongName)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (IsInvalidLongChar(name[i]))
            return false;
    }
    out.assign(name.substr(0, length));
    return true;
}

char16_t FoldCase(char16_t c) {
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<char16_t>(c - 32);
    if (c == 0xFF)
        return 0x178;
    // Latin Extended-A pairs upper/lower, except the dotted and dotless i and the kra.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) ? static_cast<char16_t>(c - 1) : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c : static_cast<char16_t>(c - 1);
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3C9)
        return static_cast<char16_t>(c - 32);
    if (c >= 0x430 && c <= 0x44F)
        return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<char16_t>(c - 80);
    return c;
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

bool HasWildcards(std::u16string_view pattern) {
    return pattern.find_first_of(u"*?") != std::u16string_view::npos;
}

bool MatchPattern(std::u16string_view pattern, std::u16string_view name) {
    if (pattern == u"*.*")
        return true;
    // Greedy matching with one backtrack point: the last '*' seen.
    size_t p = 0;
    size_t n = 0;
    size_t starP = std::u16string_view::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

std::u16string DecodeShortName(const ShortName& raw, uint8_t caseBits) {
    std::u16string text;
    size_t baseLength = 8;
    while (baseLength > 0 && raw[baseLength - 1] == ' ')
        --baseLength;
    size_t extLength = 3;
    while (extLength > 0 && raw[8 + extLength - 1] == ' ')
        --extLength;
    // Bytes above 0x7F are taken as Latin-1; 0x05 in front stands for 0xE5.
    for (size_t i = 0; i < baseLength; ++i) {
        char16_t c = (i == 0 && raw[0] == 0x05) ? char16_t{0xE5} : char16_t{raw[i]};
        text.push_back((caseBits & 0x08) ? LowerAscii(c) : c);
    }
    if (extLength > 0) {
        text.push_back(u'.');
        for (size_t i = 0; i < extLength; ++i) {
            char16_t c = raw[8 + i];
            text.push_back((caseBits & 0x10) ? LowerAscii(c) : c);
        }
    }
    return text;
}

bool ExactShortName(std::u16string_view name, ShortName& raw) {
    size_t dot = name.find(u'.');
    std::u16string_view base = name.substr(0, dot);
    std::u16string_view ext = dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3)
        return false;
    if (dot != std::u16string_view::npos && ext.empty())
        return false;
    for (char16_t c : base) {
        if (!IsShortChar(c))
            return false;
    }
    for (char16_t c : ext) {
        if (!IsShortChar(c))
            return false;
    }
    raw.fill(' ');
    for (size_t i = 0; i < base.size(); ++i)
        raw[i] = static_cast<uint8_t>(base[i]);
    for (size_t i = 0; i < ext.size(); ++i)
        raw[8 + i] = static_cast<uint8_t>(ext[i]);
    return true;
}

AliasBasis MakeAliasBasis(std::u16string_view longName) {
    AliasBasis basis;
    basis.name.fill(' ');
    // One short-name character for a long-name unit; '\0' for one that is dropped.
    auto convert = [&basis](char16_t c) -> uint8_t {
        if (c == u' ') {
            basis.lossy = true;
            return 0;
        }
        char16_t upper = FoldCase(c);
        if (upper < 0x80 && IsShortChar(upper))
            return static_cast<uint8_t>(upper);
        basis.lossy = true;
        return '_';
    };
    size_t start = 0;
    while (start < longName.size() && (longName[start] == u'.' || longName[start] == u' ')) {
        basis.lossy = true;
        ++start;
    }
    size_t lastDot = longName.rfind(u'.');
    if (lastDot != std::u16string_view::npos && lastDot < start)
        lastDot = std::u16string_view::npos;
    size_t baseEnd = lastDot == std::u16string_view::npos ? longName.size() : lastDot;
    size_t baseLength = 0;
    for (size_t i = start; i < baseEnd; ++i) {
        if (longName[i] == u'.') {
            basis.lossy = true;
            continue;
        }
        uint8_t c = convert(longName[i]);
        if (c == 0)
            continue;
        if (baseLength == 8) {
            basis.lossy = true;
            break;
        }
        basis.name[baseLength++] = c;
    }
    if (lastDot != std::u16string_view::npos) {
        size_t extLength = 0;
        for (size_t i = lastDot + 1; i < longName.size(); ++i) {
            uint8_t c = convert(longName[i]);
            if (c == 0)
                continue;
            if (extLength == 3) {
                basis.lossy = true;
                break;
            }
            basis.name[8 + extLength++] = c;
        }
    }
    if (baseLength == 0) {
        basis.name[0] = '_';
        basis.lossy = true;
    }
    return basis;
}

ShortName WithNumericTail(const AliasBasis& basis, uint32_t n) {
    char digits[8];
    size_t digitCount = 0;
    do {
        digits[digitCount++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0 && digitCount < 6);
    size_t tailLength = digitCount + 1;
    size_t baseLength = 0;
    while (baseLength < 8 && basis.name[baseLength] != ' ')
        ++baseLength;
    size_t keep = baseLength < 8 - tailLength ? baseLength : 8 - tailLength;
    ShortName raw = basis.name;
    for (size_t i = keep; i < 8; ++i)
        raw[i] = ' ';
    raw[keep] = '~';
    for (size_t i = 0; i < digitCount; ++i)
        raw[keep + 1 + i] = static_cast<uint8_t>(digits[digitCount - 1 - i]);
    return raw;
}

uint8_t ShortNameChecksum(const ShortName& raw) {
    uint8_t sum = 0;
    for (uint8_t c : raw)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + c);
    return sum;
}

} // namespace fat
