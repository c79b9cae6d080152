// The queue: posting, sending, quitting, timers, and what happens to messages of dead windows.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Recorder.h"
#include "kernel/Errors.h"
#include "kernel/Time.h"
#include "user/WindowTest.h"

namespace {

using testing::ElementsAre;
using user_test::Recorder;

class MessageTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Recorder::Clear();
        m_window = Recorder::Create(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
        ASSERT_NE(m_window, nullptr);
        user::test::RunUntilIdle();
        Recorder::Log().clear();
    }
    void TearDown() override {
        Recorder::Clear();
        WindowTest::TearDown();
    }
    HWND m_window = nullptr;
};

TEST_F(MessageTest, PostedMessagesArriveInOrderBeforePaintAndTimers) {
    SetTimer(m_window, 7, 10, nullptr);
    user::test::AdvanceTime(10);
    Recorder::Log().clear();
    InvalidateRect(m_window, nullptr, TRUE);
    kernel::AdvanceClock(10); // the timer is due again
    ASSERT_TRUE(PostMessageW(m_window, WM_USER + 1, 1, 0));
    ASSERT_TRUE(PostMessageW(m_window, WM_USER + 2, 2, 0));
    ASSERT_TRUE(PostMessageW(m_window, WM_USER + 3, 3, 0));
    // GetMessageW takes them one by one: posted first, then the paint, then the timer.
    std::vector<UINT> taken;
    MSG msg;
    for (int i = 0; i < 5 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        taken.push_back(msg.message);
        DispatchMessageW(&msg);
    }
    EXPECT_THAT(taken, ElementsAre(WM_USER + 1, WM_USER + 2, WM_USER + 3, WM_PAINT, WM_TIMER));
    KillTimer(m_window, 7);
}

TEST_F(MessageTest, PaintComesOnlyToWindowsWithAnInvalidArea) {
    HWND other = Recorder::Create(WS_POPUP | WS_VISIBLE, RECT{120, 120, 200, 200});
    user::test::RunUntilIdle();
    Recorder::Log().clear();
    RECT part{0, 0, 10, 10};
    InvalidateRect(m_window, &part, FALSE);
    user::test::RunUntilIdle();
    EXPECT_THAT(Recorder::MessagesOf(m_window, {WM_PAINT}), ElementsAre(WM_PAINT));
    EXPECT_TRUE(Recorder::MessagesOf(other, {WM_PAINT}).empty());
    // Invalidating a hidden window changes nothing.
    ShowWindow(other, SW_HIDE);
    user::test::RunUntilIdle();
    Recorder::Log().clear();
    InvalidateRect(other, nullptr, TRUE);
    user::test::RunUntilIdle();
    EXPECT_TRUE(Recorder::MessagesOf(other, {WM_PAINT}).empty());
}

TEST_F(MessageTest, SendMessageCallsTheProcedureAtOnceAndReturnsItsResult) {
    Recorder::Handler() = [](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
        if (message != WM_USER)
            return false;
        result = static_cast<LRESULT>(wParam * 2);
        return true;
    };
    EXPECT_EQ(SendMessageW(m_window, WM_USER, 21, 0), 42);
    EXPECT_THAT(Recorder::MessagesOf(m_window, {WM_USER}), ElementsAre(WM_USER));
}

TEST_F(MessageTest, RunawaySendRecursionIsBounded) {
    int depth = 0;
    int deepest = 0;
    Recorder::Handler() = [&](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_USER)
            return false;
        ++depth;
        deepest = std::max(deepest, depth);
        result = SendMessageW(hwnd, WM_USER, 0, 0) + 1;
        --depth;
        return true;
    };
    SetLastError(0);
    LRESULT levels = SendMessageW(m_window, WM_USER, 0, 0);
    EXPECT_EQ(deepest, user::kMaxSendDepth);
    EXPECT_EQ(levels, user::kMaxSendDepth);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_STACK_OVERFLOW));
    // The window still works afterwards.
    Recorder::Handler() = nullptr;
    EXPECT_TRUE(IsWindow(m_window));
    EXPECT_EQ(SendMessageW(m_window, WM_GETTEXTLENGTH, 0, 0), 0);
}

TEST_F(MessageTest, DestroyedWindowsTakeNoMessagesAndTheirQueuedOnesAreDropped) {
    PostMessageW(m_window, WM_USER + 5, 0, 0);
    SetTimer(m_window, 1, 5, nullptr);
    ASSERT_TRUE(DestroyWindow(m_window));
    user::test::AdvanceTime(20);
    EXPECT_TRUE(Recorder::MessagesOf(m_window, {WM_USER + 5, WM_TIMER, WM_PAINT}).empty());
    SetLastError(0);
    EXPECT_FALSE(PostMessageW(m_window, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(SendMessageW(m_window, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(SetWindowTextW(m_window, u"x"));
    EXPECT_FALSE(DestroyWindow(m_window));
    EXPECT_FALSE(KillTimer(m_window, 1));
}

TEST_F(MessageTest, AWindowDestroyedByAMessageBeforeItsOtherQueuedMessagesDoesNotCrash) {
    Recorder::Handler() = [](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_USER)
            DestroyWindow(hwnd);
        return false;
    };
    PostMessageW(m_window, WM_USER, 0, 0);
    PostMessageW(m_window, WM_USER + 1, 0, 0);
    PostMessageW(m_window, WM_USER + 2, 0, 0);
    InvalidateRect(m_window, nullptr, TRUE);
    user::test::RunUntilIdle();
    EXPECT_THAT(Recorder::MessagesOf(m_window, {WM_USER, WM_USER + 1, WM_USER + 2}), ElementsAre(WM_USER));
    EXPECT_FALSE(IsWindow(m_window));
}

TEST_F(MessageTest, QuitEndsGetMessageAfterThePostedMessages) {
    PostMessageW(m_window, WM_USER, 0, 0);
    PostQuitMessage(3);
    MSG msg;
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessageTest, PostMessageFromAnotherThreadWakesTheLoop) {
    std::thread poster([this] {
        Sleep(0);
        PostMessageW(m_window, WM_USER + 9, 9, 0);
    });
    MSG msg;
    ASSERT_EQ(GetMessageW(&msg, m_window, WM_USER + 9, WM_USER + 9), 1);
    EXPECT_EQ(msg.wParam, 9u);
    poster.join();
}

TEST_F(MessageTest, ATimerFiresOncePerPeriodUntilKilled) {
    ASSERT_EQ(SetTimer(m_window, 5, 100, nullptr), 5u);
    user::test::AdvanceTime(99);
    EXPECT_TRUE(Recorder::MessagesOf(m_window, {WM_TIMER}).empty());
    user::test::AdvanceTime(1);
    EXPECT_EQ(Recorder::MessagesOf(m_window, {WM_TIMER}).size(), 1u);
    user::test::AdvanceTime(350);
    EXPECT_EQ(Recorder::MessagesOf(m_window, {WM_TIMER}).size(), 4u);
    // A long stall gives one tick, not a burst.
    kernel::AdvanceClock(1000);
    user::test::RunUntilIdle();
    EXPECT_EQ(Recorder::MessagesOf(m_window, {WM_TIMER}).size(), 5u);
    EXPECT_TRUE(KillTimer(m_window, 5));
    user::test::AdvanceTime(500);
    EXPECT_EQ(Recorder::MessagesOf(m_window, {WM_TIMER}).size(), 5u);
    EXPECT_FALSE(KillTimer(m_window, 5));
}

TEST_F(MessageTest, AnIdleLoopJumpsTheVirtualClockToTheNextTimer) {
    SetTimer(m_window, 1, 3000, nullptr);
    ULONGLONG start = kernel::ClockMilliseconds();
    MSG msg;
    ASSERT_EQ(GetMessageW(&msg, nullptr, WM_TIMER, WM_TIMER), 1);
    EXPECT_EQ(msg.hwnd, m_window);
    EXPECT_EQ(kernel::ClockMilliseconds() - start, 3000u);
    KillTimer(m_window, 1);
}

struct TimerProcCalls {
    static inline int count = 0;
    static void CALLBACK Proc(HWND, UINT, UINT_PTR, DWORD) { ++count; }
};

TEST_F(MessageTest, ThreadTimersCallTheirProcedure) {
    TimerProcCalls::count = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 50, TimerProcCalls::Proc);
    ASSERT_NE(id, 0u);
    user::test::AdvanceTime(120);
    EXPECT_EQ(TimerProcCalls::count, 2);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST_F(MessageTest, SendMessageToAWindowOfAnotherThreadRunsOnThatThread) {
    std::thread::id owner = std::this_thread::get_id();
    std::thread::id ranOn;
    std::atomic<LRESULT> answer = 0;
    std::atomic<bool> fromOtherThread = false;
    Recorder::Handler() = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_USER + 20)
            return false;
        ranOn = std::this_thread::get_id();
        fromOtherThread = InSendMessage() != FALSE;
        result = 77;
        return true;
    };
    std::thread sender([&] { answer = SendMessageW(m_window, WM_USER + 20, 0, 0); });
    EXPECT_TRUE(user::test::RunUntil([&] { return answer != 0; }));
    sender.join();
    EXPECT_EQ(answer, 77);
    EXPECT_EQ(ranOn, owner);
    EXPECT_TRUE(fromOtherThread);
    EXPECT_FALSE(InSendMessage());
}

} // namespace
