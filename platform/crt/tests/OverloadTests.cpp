// The host's wchar_t declarations come first here; the run time's char16_t overloads must still be the
// ones that u"..." literals and WCHAR arrays pick, and the host's functions must keep working beside them.
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "crt/Crt.h"

#include <gtest/gtest.h>

namespace {

TEST(HostOverloads, LiteralsAndArraysReachTheUtf16Functions) {
    WCHAR buffer[32] = u"Ferrovane";
    const WCHAR* constant = buffer;
    EXPECT_EQ(wcslen(u"abc"), 3u);
    EXPECT_EQ(wcslen(buffer), 9u);
    EXPECT_EQ(wcsnlen(constant, 4), 4u);
    EXPECT_EQ(wcscmp(buffer, u"Ferrovane"), 0);
    EXPECT_EQ(wcsncmp(u"abc", u"abd", 2), 0);
    EXPECT_EQ(_wcsicmp(buffer, u"FERROVANE"), 0);
    EXPECT_EQ(_wcsnicmp(buffer, u"FERRO", 5), 0);
    EXPECT_EQ(wcschr(buffer, u'v'), buffer + 5);
    EXPECT_EQ(wcschr(constant, 'v'), buffer + 5);
    EXPECT_EQ(wcsrchr(buffer, u'r'), buffer + 3);
    EXPECT_EQ(wcsstr(buffer, u"van"), buffer + 5);
    EXPECT_EQ(wcscpy(buffer, u"ab"), buffer);
    EXPECT_EQ(wcscat(buffer, u"cd"), buffer);
    EXPECT_EQ(wcsncat(buffer, u"efg", 1), buffer);
    EXPECT_EQ(wcsncpy(buffer + 5, u"x", 2), buffer + 5);
    EXPECT_EQ(std::u16string(buffer), u"abcdex");
    EXPECT_EQ(_wtol(u"12"), 12);
    EXPECT_EQ(wcstol(u"0x1f", nullptr, 16), 31);
    EXPECT_EQ(wcstoul(u"7", nullptr, 10), 7u);
    EXPECT_EQ(swprintf(buffer, 32, u"%d", 5), 1);
    EXPECT_EQ(mbstowcs(buffer, "xyz", 32), 3u);
    EXPECT_EQ(mbstowcs(nullptr, "xyz", 0), 3u);
    char bytes[8];
    EXPECT_EQ(wcstombs(bytes, u"xyz", 8), 3u);
    EXPECT_EQ(wcstombs(nullptr, buffer, 0), 3u);
}

TEST(HostOverloads, TheHostsWideFunctionsStillWork) {
    wchar_t host[16];
    EXPECT_EQ(wcslen(L"abcd"), 4u);
    EXPECT_EQ(swprintf(host, 16, L"%d", 42), 2);
    EXPECT_EQ(wcscmp(host, L"42"), 0);
    EXPECT_EQ(std::wcslen(host), 2u);
}

} // namespace
