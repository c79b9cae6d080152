#pragma once
// The tool's text: UTF-8 on the host side, UTF-16 on the device side.

#include <string>
#include <string_view>

namespace device_tool {

// Invalid UTF-8 bytes are taken one byte a character.
std::u16string Wide(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Narrow(std::u16string_view text);
// The text in double quotes, with '"', '\' and control characters escaped as C does.
std::string Quoted(std::u16string_view text);

} // namespace device_tool
