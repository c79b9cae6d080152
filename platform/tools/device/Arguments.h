#pragma once
// A command's words: options ("--name value", "--name=value", or a flag "--name") and the other words in
// order. "--" ends the options. Each command names the options it takes; any other is an error.

#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace device_tool {

class Arguments {
public:
    // valueOptions and flags without their dashes. On a bad word, Ok() is false and Error() says why.
    Arguments(const std::vector<std::string>& words, std::initializer_list<std::string_view> valueOptions,
              std::initializer_list<std::string_view> flags = {});

    bool Ok() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    std::optional<std::string> Value(std::string_view option) const;
    bool Has(std::string_view option) const;
    const std::vector<std::string>& Words() const { return m_words; }

private:
    std::map<std::string, std::string, std::less<>> m_values;
    std::set<std::string, std::less<>> m_flags;
    std::vector<std::string> m_words;
    std::string m_error;
};

// Whole decimal numbers (an optional '-'), or hexadecimal after "0x".
std::optional<long long> Number(std::string_view text);

} // namespace device_tool
