#include "ProgramSupport.h"

#include <fcntl.h>

#include <cstring>

#include "crt/WideString.h"

namespace kernel::support {
namespace {

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

std::string WideToWtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            char32_t low = text[++i];
            AppendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else {
            AppendCodePoint(out, unit);
        }
    }
    return out;
}

std::optional<std::u16string> Wtf8ToWide(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    auto byteAt = [&](size_t index) -> int {
        return index < text.size() ? static_cast<unsigned char>(text[index]) : -1;
    };
    while (i < text.size()) {
        int lead = byteAt(i);
        size_t length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            out.push_back(static_cast<char16_t>(lead));
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, cp = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, cp = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, cp = lead & 0x07, minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        for (size_t k = 1; k < length; ++k) {
            int next = byteAt(i + k);
            if (next < 0 || (next & 0xC0) != 0x80)
                return std::nullopt;
            cp = (cp << 6) | static_cast<char32_t>(next & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF)
            return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return out;
}

bool IsHostBinary(const char* path) {
    FileDescriptor fd(::open(path, O_RDONLY | O_CLOEXEC));
    char magic[4] = {};
    return fd.IsOpen() && ::read(fd.Get(), magic, sizeof magic) == static_cast<ssize_t>(sizeof magic) &&
           std::memcmp(magic,
                       "\x7f"
                       "ELF",
                       sizeof magic) == 0;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ToLowerW(a[i]) != ToLowerW(b[i]))
            return false;
    return true;
}

} // namespace kernel::support
