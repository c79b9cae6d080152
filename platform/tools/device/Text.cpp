#include "Text.h"

#include <cstdio>

namespace device_tool {

namespace {

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

// The length of a valid UTF-8 sequence at i and its value; 0 when the bytes there are not one.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& value) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    if (length == 0 || text.size() - i < length)
        return 0;
    char32_t c = length == 1   ? lead
                 : length == 2 ? (lead & 0x1F)
                 : length == 3 ? (lead & 0x0F)
                               : (lead & 0x07);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    value = c;
    return length;
}

} // namespace

std::u16string Wide(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        char32_t c = 0;
        size_t length = DecodeUtf8(text, i, c);
        if (length == 0) {
            out.push_back(static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        i += length;
        if (c < 0x10000) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        }
    }
    return out;
}

std::string Narrow(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string Quoted(std::u16string_view text) {
    std::string out = "\"";
    size_t plain = 0; // the start of the characters that need no escape
    auto flush = [&](size_t upTo) { out += Narrow(text.substr(plain, upTo - plain)); };
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0x20 && c != u'"' && c != u'\\')
            continue;
        flush(i);
        plain = i + 1;
        if (c == u'"' || c == u'\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c == u'\n') {
            out += "\\n";
        } else if (c == u'\r') {
            out += "\\r";
        } else if (c == u'\t') {
            out += "\\t";
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
            out += escape;
        }
    }
    flush(text.size());
    out.push_back('"');
    return out;
}

} // namespace device_tool
