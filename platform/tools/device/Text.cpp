#include "Text.h"

#include <cstdio>

#include "crt/Utf8.h"

namespace device_tool {

std::u16string Wide(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        char32_t c = 0;
        size_t length = crt::DecodeUtf8(text, i, c);
        if (length == 0) {
            out.push_back(static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        crt::AppendUtf16(out, c);
        i += length;
    }
    return out;
}

std::string Narrow(std::u16string_view text) {
    return crt::ToUtf8(text);
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
