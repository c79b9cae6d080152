// The platform's owners of handles: what they close, when, and what they leave of the last error.

#include <thread>
#include <utility>

#include "FilesTestSupport.h"

namespace {
using filestest::Open;
using filestest::WriteWhole;

class Owners : public filestest::DeviceRootTest {};

TEST_F(Owners, AHandleClosesAtTheEndOfItsScopeAndKeepsTheLastError) {
    const size_t handles = kernel::OpenHandleCount();
    {
        kernel::ScopedHandle file(Open(u"\\f.txt", GENERIC_WRITE, 0, CREATE_NEW));
        ASSERT_TRUE(file.IsOpen());
        EXPECT_EQ(kernel::OpenHandleCount(), handles + 1);
        SetLastError(ERROR_DISK_FULL); // what a failing path reports
    }
    EXPECT_EQ(kernel::OpenHandleCount(), handles);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));

    // A close that fails (the handle was closed behind the owner's back) leaves it too.
    HANDLE raw = Open(u"\\f.txt", GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_TRUE(CloseHandle(raw));
    {
        kernel::ScopedHandle stale(raw);
        SetLastError(ERROR_DISK_FULL);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));

    // A failed open holds nothing: INVALID_HANDLE_VALUE and NULL are both no handle.
    for (HANDLE none : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
        kernel::ScopedHandle empty(none);
        EXPECT_FALSE(empty.IsOpen());
        EXPECT_TRUE(empty.Close());
    }
}

TEST_F(Owners, AHandleGivenUpOrMovedIsClosedOnceByItsNewOwner) {
    const size_t handles = kernel::OpenHandleCount();
    HANDLE raw = INVALID_HANDLE_VALUE;
    {
        kernel::ScopedHandle file(Open(u"\\f.txt", GENERIC_WRITE, 0, CREATE_NEW));
        kernel::ScopedHandle moved(std::move(file));
        EXPECT_FALSE(file.IsOpen());
        raw = moved.Release();
    }
    EXPECT_EQ(kernel::OpenHandleCount(), handles + 1);
    kernel::ScopedHandle again(raw);
    EXPECT_TRUE(again.Close());
    EXPECT_FALSE(again.IsOpen());
    EXPECT_EQ(kernel::OpenHandleCount(), handles);
}

TEST_F(Owners, ASearchEndsWithItsScope) {
    ASSERT_TRUE(WriteWhole(u"\\a.txt", "a"));
    ASSERT_TRUE(WriteWhole(u"\\b.txt", "b"));
    WIN32_FIND_DATAW data{};
    HANDLE raw = INVALID_HANDLE_VALUE;
    {
        const kernel::ScopedFind search(FindFirstFileW(u"\\*.txt", &data));
        ASSERT_TRUE(search.IsOpen());
        raw = search.Get();
    }
    EXPECT_FALSE(FindNextFileW(raw, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(CriticalSectionLockTest, HoldsTheSectionForItsScope) {
    kernel::CriticalSection section;
    bool otherEntered = true;
    {
        const kernel::CriticalSectionLock lock(section);
        std::thread([&] { otherEntered = TryEnterCriticalSection(section.Get()); }).join();
        EXPECT_FALSE(otherEntered);
    }
    std::thread([&] {
        otherEntered = TryEnterCriticalSection(section.Get());
        if (otherEntered)
            LeaveCriticalSection(section.Get());
    }).join();
    EXPECT_TRUE(otherEntered);
}

} // namespace
