// LoadStringW over the test program's string table, and CString::LoadString.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestStrings.h"
#include "classlib/App.h"
#include "kernel/Errors.h"
#include "user/Strings.h"

namespace {

constexpr char16_t kUntouched = u'Z';

struct LoadCase {
    const char* name;
    UINT id;
    int bufferSize;
    int result;
    std::u16string text; // what the buffer holds up to its terminator
    DWORD error;         // for a result of 0
};

TEST(LoadStringTest, CopiesCutsAndTerminatesOrFails) {
    const LoadCase cases[] = {
        {"whole string", kHello, 64, 5, u"Hello", 0},
        {"exact fit", kHello, 6, 5, u"Hello", 0},
        {"buffer too small cuts", kHello, 3, 2, u"He", 0},
        {"room for the terminator only", kHello, 1, 0, u"", 0},
        {"string of the largest block", kAppTitle, 64, 11, u"FerrovaneEx", 0},
        {"empty slot", kEmptySlot, 64, 0, u"", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"after the end of a short block", kAfterBlockEnd, 64, 0, u"", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"no such block", kNoBlock, 64, 0, u"", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"malformed block", kMalformed, 64, 0, u"", ERROR_INVALID_DATA},
    };
    for (const LoadCase& test : cases) {
        SCOPED_TRACE(test.name);
        std::vector<char16_t> buffer(80, kUntouched);
        SetLastError(0);
        EXPECT_EQ(LoadStringW(nullptr, test.id, buffer.data(), test.bufferSize), test.result);
        EXPECT_EQ(std::u16string(buffer.data()), test.text);
        // Nothing is written past the buffer.
        EXPECT_EQ(buffer[static_cast<size_t>(test.bufferSize)], kUntouched);
        if (test.result == 0 && test.error != 0) {
            EXPECT_EQ(GetLastError(), test.error);
        }
    }
}

TEST(LoadStringTest, NoBufferIsRefusedAndNothingWritten) {
    char16_t buffer[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
    SetLastError(0);
    EXPECT_EQ(LoadStringW(nullptr, kHello, buffer, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(buffer[0], kUntouched);
    EXPECT_EQ(LoadStringW(nullptr, kHello, buffer, -1), 0);
    EXPECT_EQ(buffer[0], kUntouched);
    SetLastError(0);
    EXPECT_EQ(LoadStringW(nullptr, kHello, nullptr, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(LoadStringTest, CStringTakesLongStringsWholeAndKeepsItsTextOnAMissingOne) {
    CString text;
    ASSERT_TRUE(text.LoadString(kLong));
    EXPECT_EQ(std::u16string(text), kLongString);
    ASSERT_TRUE(text.LoadString(kHello));
    EXPECT_EQ(text, u"Hello");
    EXPECT_FALSE(text.LoadString(kNoBlock));
    EXPECT_EQ(text, u"Hello");
}

} // namespace
