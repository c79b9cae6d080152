#include "Arguments.h"

#include <algorithm>
#include <charconv>

namespace device_tool {

Arguments::Arguments(const std::vector<std::string>& words,
                     std::initializer_list<std::string_view> valueOptions,
                     std::initializer_list<std::string_view> flags) {
    auto known = [](std::initializer_list<std::string_view> list, std::string_view name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.size() < 3 || word.compare(0, 2, "--") != 0) {
            if (word == "--" && !optionsEnded) {
                optionsEnded = true;
                continue;
            }
            m_words.push_back(word);
            continue;
        }
        std::string name = word.substr(2);
        std::optional<std::string> value;
        if (size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (known(flags, name) && !value) {
            m_flags.insert(name);
        } else if (known(valueOptions, name)) {
            if (!value) {
                if (i + 1 >= words.size()) {
                    m_error = "--" + name + " needs a value";
                    return;
                }
                value = words[++i];
            }
            m_values[name] = *value;
        } else {
            m_error = "unknown option --" + name;
            return;
        }
    }
}

std::optional<std::string> Arguments::Value(std::string_view option) const {
    auto it = m_values.find(option);
    return it == m_values.end() ? std::nullopt : std::optional<std::string>(it->second);
}

bool Arguments::Has(std::string_view option) const {
    return m_flags.count(option) != 0 || m_values.count(option) != 0;
}

std::optional<long long> Number(std::string_view text) {
    long long value = 0;
    int base = 10;
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace device_tool
