#include "crt/Utf8.h"

namespace crt {
namespace {

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

enum class Unpaired { Refuse, Replace, Keep };

std::optional<std::string> Encode(std::u16string_view text, Unpaired unpaired) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if ((IsHighSurrogate(c) || IsLowSurrogate(c)) && unpaired != Unpaired::Keep) {
            if (unpaired == Unpaired::Refuse)
                return std::nullopt;
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

} // namespace

std::string ToUtf8(std::u16string_view text) {
    return *Encode(text, Unpaired::Replace);
}

std::optional<std::string> ToUtf8Exact(std::u16string_view text) {
    return Encode(text, Unpaired::Refuse);
}

namespace {

enum class Surrogates { Refuse, Accept };

size_t Decode(std::string_view text, size_t at, char32_t& codePoint, Surrogates surrogates) {
    if (at >= text.size())
        return 0;
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    const size_t length = lead < 0x80             ? 1
                          : (lead & 0xE0) == 0xC0 ? 2
                          : (lead & 0xF0) == 0xE0 ? 3
                          : (lead & 0xF8) == 0xF0 ? 4
                                                  : 0;
    if (length == 0 || text.size() - at < length)
        return 0;
    char32_t c = length == 1   ? lead
                 : length == 2 ? (lead & 0x1F)
                 : length == 3 ? (lead & 0x0F)
                               : (lead & 0x07);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(at + k) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF)
        return 0;
    if (surrogates == Surrogates::Refuse && (IsHighSurrogate(c) || IsLowSurrogate(c)))
        return 0;
    codePoint = c;
    return length;
}

std::optional<std::u16string> DecodeAll(std::string_view text, Surrogates surrogates) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = 0;
        size_t length = Decode(text, i, c, surrogates);
        if (length == 0)
            return std::nullopt;
        AppendUtf16(out, c);
        i += length;
    }
    return out;
}

} // namespace

size_t DecodeUtf8(std::string_view text, size_t at, char32_t& codePoint) {
    return Decode(text, at, codePoint, Surrogates::Refuse);
}

std::optional<std::u16string> FromUtf8Exact(std::string_view text) {
    return DecodeAll(text, Surrogates::Refuse);
}

std::string ToWtf8(std::u16string_view text) {
    return *Encode(text, Unpaired::Keep);
}

std::optional<std::u16string> FromWtf8(std::string_view text) {
    return DecodeAll(text, Surrogates::Accept);
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

} // namespace crt
