#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "kernel/Program.h"

namespace {

using Arguments = std::vector<std::u16string>;

TEST(CommandLineTest, SplitsByTheRunTimeRules) {
    struct Case {
        const char16_t* line;
        Arguments arguments;
    } cases[] = {
        {u"", {}},
        {u" \t ", {}},
        {u"-o \\Encrypted Folder\\my.fvc", {u"-o", u"\\Encrypted", u"Folder\\my.fvc"}},
        {u"-new -hide", {u"-new", u"-hide"}},
        {u"\"\\program files\\x\" -hide", {u"\\program files\\x", u"-hide"}},
        {u"a\"b c\"d", {u"ab cd"}},
        {u"\"\"", {u""}},
        {u"a \"\" b", {u"a", u"", u"b"}},
        {u"\"unterminated quote", {u"unterminated quote"}},
        {u"a\\\\b \\\\\\\\", {u"a\\\\b", u"\\\\\\\\"}}, // backslashes alone are literal
        {u"a\\\"b", {u"a\"b"}},                         // odd count: a literal quote
        {u"\"a\\\\\" b", {u"a\\", u"b"}},               // even count: the quote closes
        {u"\"a\\\\\\\" b\"", {u"a\\\" b"}},
        {u"tab\tseparated", {u"tab", u"separated"}},
    };
    for (const auto& test : cases)
        EXPECT_EQ(kernel::SplitCommandLine(test.line), test.arguments)
            << std::string(test.line, test.line + std::char_traits<char16_t>::length(test.line));
}

TEST(CommandLineTest, JoiningQuotesSoThatSplittingGivesTheArgumentsBack) {
    const Arguments cases[] = {
        {},
        {u"plain", u"-o"},
        {u"two words", u"tab\there"},
        {u""},
        {u"a\"b", u"\"", u"\\\""},
        {u"ends in a backslash\\", u"\\\\server\\share\\", u"C:\\x y\\"},
        {u"K\u00e4se \U0001D11E"},
    };
    for (const auto& arguments : cases)
        EXPECT_EQ(kernel::SplitCommandLine(kernel::JoinCommandLine(arguments)), arguments);
    EXPECT_EQ(kernel::JoinCommandLine({u"-o", u"\\my folder\\a.fvc"}), u"-o \"\\my folder\\a.fvc\"");
}

TEST(CommandLineTest, TheHandedOverLineComesFirstAndIsTakenOnce) {
    char program[] = "program";
    char first[] = "two words";
    char second[] = "\xff"; // not UTF-8: one byte a character
    char* argv[] = {program, first, second, nullptr};

    ::setenv(kernel::kCommandLineVariable, "  as \"handed\" over ", 1);
    EXPECT_EQ(kernel::TakeProgramCommandLine(3, argv), u"  as \"handed\" over ");
    EXPECT_EQ(::getenv(kernel::kCommandLineVariable), nullptr);
    EXPECT_EQ(kernel::TakeProgramCommandLine(3, argv), u"\"two words\" \u00ff");
    EXPECT_EQ(kernel::TakeProgramCommandLine(1, argv), u"");
}

} // namespace
