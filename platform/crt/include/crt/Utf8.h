#pragma once
// UTF-8, the host's text, from and to UTF-16, the device's text.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace crt {

// The UTF-8 of text; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
// The UTF-8 of text; nothing when the text holds an unpaired surrogate.
std::optional<std::string> ToUtf8Exact(std::u16string_view text);

// WTF-8: UTF-8 in which an unpaired surrogate is written as its own three-byte sequence, so that every
// UTF-16 text round-trips (host names, the environment and the registry file hold device text so).
std::string ToWtf8(std::u16string_view text);
// Decodes what ToWtf8 writes; nothing for malformed input (bad or overlong sequences, values above
// U+10FFFF).
std::optional<std::u16string> FromWtf8(std::string_view text);

// The code point of the UTF-8 sequence at text[at] and its length in bytes; 0 when the bytes there are
// not a valid sequence (a stray or missing continuation byte, an overlong form, a surrogate, a value
// beyond U+10FFFF, or a sequence cut by the end of the text).
size_t DecodeUtf8(std::string_view text, size_t at, char32_t& codePoint);
// Appends a code point as one unit, or as a surrogate pair beyond U+FFFF.
void AppendUtf16(std::u16string& out, char32_t codePoint);
// The UTF-16 of text; nothing when it is not valid UTF-8.
std::optional<std::u16string> FromUtf8Exact(std::string_view text);

} // namespace crt
