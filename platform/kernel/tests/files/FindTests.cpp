// Searches: wildcard matching, the find record, and the errors callers tell apart (18 and 3).

#include <vector>

#include "FilesTestSupport.h"

namespace {
using filestest::Open;
using filestest::WriteWhole;

class Searches : public filestest::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        ASSERT_TRUE(CreateDirectoryW(u"\\f", nullptr));
        for (const char16_t* name :
             {u"\\f\\alpha.txt", u"\\f\\Beta.TXT", u"\\f\\gamma.fvc", u"\\f\\README", u"\\f\\a.b.c"}) {
            ASSERT_TRUE(WriteWhole(name, "12345"));
        }
        ASSERT_TRUE(CreateDirectoryW(u"\\f\\sub", nullptr));
    }

    // The names a search finds, in order; "error N" when it fails.
    static std::vector<std::u16string> Names(const char16_t* pattern) {
        WIN32_FIND_DATAW data{};
        HANDLE search = FindFirstFileW(pattern, &data);
        if (search == INVALID_HANDLE_VALUE) {
            const std::string text = "error " + std::to_string(GetLastError());
            return {std::u16string(text.begin(), text.end())};
        }
        std::vector<std::u16string> names{data.cFileName};
        while (FindNextFileW(search, &data))
            names.emplace_back(data.cFileName);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(search));
        return names;
    }
};

struct PatternCase {
    const char16_t* pattern;
    std::vector<std::u16string> names;
};

TEST_F(Searches, WildcardsMatchCaseInsensitively) {
    const std::vector<std::u16string> all{u"a.b.c",     u"alpha.txt", u"Beta.TXT",
                                          u"gamma.fvc", u"README",    u"sub"};
    const PatternCase cases[] = {
        {u"\\f\\*", all},
        {u"\\f\\*.*", all}, // also the names without a dot
        {u"\\F\\*.txt", {u"alpha.txt", u"Beta.TXT"}},
        {u"\\f\\*.TXT", {u"alpha.txt", u"Beta.TXT"}},
        {u"\\f\\?ETA.txt", {u"Beta.TXT"}},
        {u"\\f\\A*", {u"a.b.c", u"alpha.txt"}},
        {u"\\f\\*.fvc", {u"gamma.fvc"}},
        {u"\\f\\readme", {u"README"}},
        {u"\\f\\readme.*", {u"README"}},
        {u"\\f\\s?b", {u"sub"}},
        {u"\\f\\??????", {u"README"}},
        {u"\\f\\*a*a*", {u"alpha.txt", u"gamma.fvc"}},
        {u"\\f\\*.zip", {u"error 18"}},
        {u"\\f\\missing.txt", {u"error 18"}}, // a plain name too
        {u"\\f\\sub\\*", {u"error 18"}},      // an empty folder
        {u"\\none\\*", {u"error 3"}},
        {u"\\none\\x.txt", {u"error 3"}},
        {u"\\f\\alpha.txt\\*", {u"error 3"}}, // a file is no folder
    };
    for (const PatternCase& c : cases) {
        const std::u16string pattern(c.pattern);
        SCOPED_TRACE(std::string(pattern.begin(), pattern.end()));
        EXPECT_EQ(Names(c.pattern), c.names);
    }
}

TEST_F(Searches, TheFindRecordDescribesTheEntry) {
    {
        kernel::ScopedHandle big(Open(u"\\f\\big.bin", GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN));
        LONG high = 1;
        ASSERT_EQ(SetFilePointer(big.Get(), 5, &high, FILE_BEGIN), 5u);
        ASSERT_TRUE(SetEndOfFile(big.Get()));
    }
    WIN32_FIND_DATAW data{};
    kernel::ScopedFind search(FindFirstFileW(u"\\f\\BIG.BIN", &data));
    ASSERT_TRUE(search.IsOpen());
    EXPECT_EQ(std::u16string(data.cFileName), u"big.bin");
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(data.nFileSizeHigh, 1u);
    EXPECT_EQ(data.nFileSizeLow, 5u);

    kernel::ScopedFind folder(FindFirstFileW(u"\\f\\sub", &data));
    ASSERT_TRUE(folder.IsOpen());
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(data.nFileSizeLow, 0u);
    kernel::ScopedFind file(FindFirstFileW(u"\\f\\alpha.txt", &data));
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(data.nFileSizeLow, 5u);

    // The root folder lists its entries; the root itself is no entry.
    EXPECT_EQ(Names(u"\\*"), std::vector<std::u16string>{u"f"});
    EXPECT_EQ(Names(u"\\"), std::vector<std::u16string>{u"error 18"});
}

TEST_F(Searches, SearchHandlesAreCheckedLikeOthers) {
    WIN32_FIND_DATAW data{};
    EXPECT_EQ(FindFirstFileW(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(FindFirstFileW(u"\\f\\*", nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HANDLE search = FindFirstFileW(u"\\f\\*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileW(search, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    kernel::ScopedHandle file(Open(u"\\f\\alpha.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_FALSE(FindNextFileW(file.Get(), &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FindClose(file.Get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(FindClose(search));
    EXPECT_FALSE(FindClose(search));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FindNextFileW(search, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

} // namespace
