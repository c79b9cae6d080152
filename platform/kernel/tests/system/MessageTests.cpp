#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "kernel/Errors.h"
#include "kernel/Messages.h"

namespace {

constexpr DWORD kSystemText =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;

std::u16string SystemText(DWORD code) {
    LPWSTR text = nullptr;
    DWORD length = FormatMessageW(kSystemText, nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::u16string result = length ? std::u16string(text, length) : u"";
    EXPECT_EQ(LocalFree(text), nullptr);
    return result;
}

TEST(MessageTest, EveryErrorCodeHasAText) {
    std::ifstream header(KERNEL_ERRORS_HEADER);
    ASSERT_TRUE(header);
    std::regex definition(R"(#define\s+(ERROR_\w+)\s+(\d+)L)");
    std::set<std::u16string> texts;
    size_t codes = 0;
    for (std::string line; std::getline(header, line);) {
        std::smatch match;
        if (!std::regex_search(line, match, definition))
            continue;
        ++codes;
        std::u16string text = SystemText(static_cast<DWORD>(std::stoul(match[2])));
        ASSERT_GE(text.size(), 4u) << match[1];
        EXPECT_EQ(text.substr(text.size() - 3), u".\r\n") << match[1];
        texts.insert(text);
    }
    EXPECT_GT(codes, 80u);
    EXPECT_EQ(texts.size(), codes) << "two codes share a text";
}

TEST(MessageTest, TheMainProgramsCallGivesTheText) {
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), u"The system cannot find the file specified.\r\n");
    EXPECT_EQ(SystemText(ERROR_SHARING_VIOLATION), u"The file is being used by another process.\r\n");
}

TEST(MessageTest, UnknownCodesAndBadArgumentsFail) {
    LPWSTR text = nullptr;
    SetLastError(0);
    EXPECT_EQ(FormatMessageW(kSystemText, nullptr, 9999, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    EXPECT_EQ(text, nullptr);

    EXPECT_EQ(FormatMessageW(kSystemText, nullptr, ERROR_FILE_NOT_FOUND, 0, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(
        FormatMessageW(FORMAT_MESSAGE_FROM_STRING, u"x", 0, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr),
        0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(MessageTest, ACallersBufferMustHoldTheTextAndItsTerminator) {
    std::u16string expected = u"Access is denied.\r\n";
    WCHAR buffer[32];
    DWORD exact = static_cast<DWORD>(expected.size() + 1);
    EXPECT_EQ(
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buffer, exact, nullptr),
        expected.size());
    EXPECT_EQ(std::u16string(buffer), expected);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buffer, exact - 1,
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    // nSize is the least an allocated buffer holds.
    LPWSTR text = nullptr;
    EXPECT_EQ(FormatMessageW(kSystemText, nullptr, ERROR_ACCESS_DENIED, 0, reinterpret_cast<LPWSTR>(&text),
                             200, nullptr),
              expected.size());
    text[199] = u'!';
    LocalFree(text);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
}

} // namespace
