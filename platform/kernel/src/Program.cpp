#include "kernel/Program.h"

#include <cstdlib>

#include "ProgramSupport.h"
#include "crt/Utf8.h"

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string HostText(const char* text) {
    if (auto wide = crt::FromWtf8(text))
        return *wide;
    std::u16string bytes;
    for (const char* c = text; *c; ++c)
        bytes.push_back(static_cast<unsigned char>(*c));
    return bytes;
}

} // namespace

namespace kernel {

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
    std::vector<std::u16string> arguments;
    size_t i = 0;
    for (;;) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i == line.size())
            return arguments;
        std::u16string argument;
        bool quoted = false;
        while (i < line.size() && (quoted || !IsBlank(line[i]))) {
            if (line[i] == u'\\') {
                size_t count = 0;
                while (i < line.size() && line[i] == u'\\')
                    ++i, ++count;
                if (i < line.size() && line[i] == u'"') {
                    argument.append(count / 2, u'\\');
                    if (count % 2 == 1) {
                        argument.push_back(u'"');
                        ++i;
                    }
                } else {
                    argument.append(count, u'\\');
                }
                continue;
            }
            if (line[i] == u'"')
                quoted = !quoted;
            else
                argument.push_back(line[i]);
            ++i;
        }
        arguments.push_back(std::move(argument));
    }
}

std::u16string JoinCommandLine(const std::vector<std::u16string>& arguments) {
    std::u16string line;
    for (const auto& argument : arguments) {
        if (!line.empty())
            line.push_back(u' ');
        bool plain = !argument.empty() && argument.find_first_of(u" \t\"") == std::u16string::npos;
        if (plain) {
            line += argument;
            continue;
        }
        line.push_back(u'"');
        size_t backslashes = 0;
        for (char16_t c : argument) {
            if (c == u'\\') {
                ++backslashes;
                continue;
            }
            // Backslashes before a quote are doubled, and the quote itself escaped.
            line.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
            backslashes = 0;
            line.push_back(c);
        }
        line.append(backslashes * 2, u'\\'); // they precede the closing quote
        line.push_back(u'"');
    }
    return line;
}

std::u16string TakeProgramCommandLine(int argc, char** argv) {
    if (const char* handedOver = std::getenv(kCommandLineVariable)) {
        std::u16string line = HostText(handedOver);
        ::unsetenv(kCommandLineVariable);
        return line;
    }
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc && argv && argv[i]; ++i)
        arguments.push_back(HostText(argv[i]));
    return JoinCommandLine(arguments);
}

} // namespace kernel
