#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "TemporaryDeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Handles.h"
#include "kernel/Sync.h"

namespace {

class MutexTest : public ::testing::Test {
protected:
    TemporaryDeviceRoot m_root;
};

// Whether another thread can take the mutex within the timeout (and then lets it go again).
DWORD WaitFromAnotherThread(HANDLE mutex, DWORD milliseconds) {
    DWORD result = WAIT_FAILED;
    std::thread other([&] {
        result = WaitForSingleObject(mutex, milliseconds);
        if (result == WAIT_OBJECT_0)
            ReleaseMutex(mutex);
    });
    other.join();
    return result;
}

TEST_F(MutexTest, ANameExistsWhileAHandleIsOpen) {
    SetLastError(ERROR_ALREADY_EXISTS);
    HANDLE first = CreateMutexW(nullptr, FALSE, u"Single/Instance");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateMutexW(nullptr, TRUE, u"Single/Instance");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(ReleaseMutex(second)); // bInitialOwner is ignored for an existing mutex
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

    HANDLE otherName = CreateMutexW(nullptr, FALSE, u"single/instance"); // names are case-sensitive
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    // Both handles are the one mutex.
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(ReleaseMutex(second));
    for (HANDLE handle : {first, second, otherName})
        EXPECT_TRUE(CloseHandle(handle));
    HANDLE again = CreateMutexW(nullptr, FALSE, u"Single/Instance");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(again);
}

TEST_F(MutexTest, OwnershipIsRecursiveAndExclusive) {
    for (const char16_t* name : {static_cast<const char16_t*>(nullptr), u"Recursive"}) {
        HANDLE mutex = CreateMutexW(nullptr, TRUE, name);
        ASSERT_NE(mutex, nullptr);
        EXPECT_EQ(WaitForSingleObject(mutex, 0), static_cast<DWORD>(WAIT_OBJECT_0));
        EXPECT_EQ(WaitFromAnotherThread(mutex, 20), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_TRUE(ReleaseMutex(mutex));
        EXPECT_EQ(WaitFromAnotherThread(mutex, 0), static_cast<DWORD>(WAIT_TIMEOUT)); // entered twice
        EXPECT_TRUE(ReleaseMutex(mutex));
        EXPECT_FALSE(ReleaseMutex(mutex));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
        EXPECT_EQ(WaitFromAnotherThread(mutex, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
        CloseHandle(mutex);
    }
}

TEST_F(MutexTest, AWaiterGetsTheMutexWhenItIsReleased) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, u"Handover");
    std::atomic<bool> acquired = false;
    std::thread waiter([&] {
        EXPECT_EQ(WaitForSingleObject(mutex, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
        acquired = true;
        ReleaseMutex(mutex);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(acquired);
    ReleaseMutex(mutex);
    waiter.join();
    EXPECT_TRUE(acquired);
    CloseHandle(mutex);
}

TEST_F(MutexTest, BadArgumentsGiveErrorCodes) {
    size_t handlesBefore = kernel::OpenHandleCount();
    std::u16string longest(MAX_PATH, u'm');
    std::u16string tooLong(MAX_PATH + 1, u'm');
    HANDLE mutex = CreateMutexW(nullptr, FALSE, longest.c_str());
    EXPECT_NE(mutex, nullptr);
    CloseHandle(mutex);
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, tooLong.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, u"back\\slash"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    EXPECT_FALSE(ReleaseMutex(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(INVALID_HANDLE_VALUE, INFINITE), WAIT_FAILED);
    EXPECT_EQ(kernel::OpenHandleCount(), handlesBefore);
}

TEST(CriticalSectionTest, IsRecursiveAndExclusive) {
    CRITICAL_SECTION section;
    std::memset(&section, 0, sizeof section);
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    bool otherEntered = true;
    std::thread([&] { otherEntered = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(otherEntered);
    LeaveCriticalSection(&section);
    std::thread([&] { otherEntered = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(otherEntered); // entered twice, left once
    LeaveCriticalSection(&section);

    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&section);
                ++counter;
                LeaveCriticalSection(&section);
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(counter, 80000);
    DeleteCriticalSection(&section);

    EnterCriticalSection(nullptr); // ignored rather than a crash
    EXPECT_FALSE(TryEnterCriticalSection(nullptr));
}

} // namespace
