#include <poll.h>

#include <algorithm>

#include "Internal.h"
#include "display/Display.h"
#include "kernel/Errors.h"
#include "kernel/Processes.h"
#include "kernel/Program.h"
#include "kernel/Time.h"
#include "user/Paint.h"

namespace user::detail {

namespace {

constexpr int kTestWaitLimitMs = 10000;
constexpr ULONGLONG kTestVirtualWaitLimitMs = 3600000;
UINT_PTR g_nextThreadTimer = 0x7FF0;
uintptr_t g_nextHook = 0x100;

DWORD Now() {
    return static_cast<DWORD>(kernel::ClockMilliseconds());
}

bool InRange(UINT message, UINT min, UINT max) {
    if (min == 0 && max == 0)
        return true;
    return message >= min && message <= max;
}

bool MatchesWindow(HWND hwnd, HWND filter) {
    if (filter == nullptr)
        return true;
    if (filter == reinterpret_cast<HWND>(-1))
        return hwnd == nullptr;
    if (hwnd == filter)
        return true;
    Window* w = Peek(hwnd);
    Window* f = Peek(filter);
    return w && f && IsDescendant(f, w);
}

LRESULT SendAcrossThreads(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = w->handle;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->sender = CurrentThreadShared();
    {
        std::lock_guard guard(QueueLock());
        if (!w->thread->alive)
            return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, LRESULT{0});
        w->thread->incoming.push_back(sent);
    }
    w->thread->Wake();
    ThreadState& me = CurrentThread();
    for (;;) {
        HandleIncomingSends(me);
        {
            std::lock_guard guard(QueueLock());
            if (sent->done)
                return sent->result;
        }
        Unlocked unlocked;
        pollfd wait{me.wakeFd, POLLIN, 0};
        ::poll(&wait, 1, 100);
        me.DrainWake();
    }
}

} // namespace

LRESULT CallProc(Window* w, WNDPROC proc, UINT message, WPARAM wParam, LPARAM lParam) {
    ThreadState& me = CurrentThread();
    if (me.sendDepth >= kMaxSendDepth)
        return kernel::Fail(ERROR_STACK_OVERFLOW, LRESULT{0});
    if (!proc)
        return 0;
    auto keep = w->shared_from_this();
    ++me.sendDepth;
    LRESULT result = proc(w->handle, message, wParam, lParam);
    --me.sendDepth;
    return result;
}

LRESULT Send(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!w || w->destroyed)
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, LRESULT{0});
    if (w->thread.get() != &CurrentThread())
        return SendAcrossThreads(w, message, wParam, lParam);
    return CallProc(w, w->proc, message, wParam, lParam);
}

void PostToWindow(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{w->handle, message, wParam, lParam, Now(), POINT{0, 0}};
    {
        std::lock_guard guard(QueueLock());
        w->thread->posted.push_back(msg);
    }
    w->thread->Wake();
}

void HandleIncomingSends(ThreadState& thread) {
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard guard(QueueLock());
            if (thread.incoming.empty())
                return;
            sent = thread.incoming.front();
            thread.incoming.pop_front();
        }
        Window* w = Peek(sent->hwnd);
        LRESULT result = 0;
        if (w) {
            ++thread.inSend;
            result = CallProc(w, w->proc, sent->message, sent->wParam, sent->lParam);
            --thread.inSend;
        }
        {
            std::lock_guard guard(QueueLock());
            sent->result = result;
            sent->done = true;
        }
        sent->sender->Wake();
    }
}

void RemoveTimersOf(Window* w) {
    std::erase_if(w->thread->timers, [&](const Timer& t) { return t.hwnd == w->handle; });
}

void DropMessagesOf(Window* w) {
    std::lock_guard guard(QueueLock());
    std::erase_if(w->thread->posted, [&](const MSG& m) { return m.hwnd == w->handle; });
}

std::optional<ULONGLONG> NextTimerDue(const ThreadState& thread) {
    std::optional<ULONGLONG> next;
    for (const Timer& t : thread.timers)
        if (!next || t.due < *next)
            next = t.due;
    return next;
}

bool TakeMessage(ThreadState& thread, MSG& msg, HWND filter, UINT min, UINT max, Take take) {
    const bool remove = take == Take::Remove;
    HandleIncomingSends(thread);
    ServeRequestsIfWaiting();
    if (display::InputFd() >= 0)
        display::PumpInput();
    {
        std::unique_lock guard(QueueLock());
        auto& posted = thread.posted;
        for (size_t i = 0; i < posted.size();) {
            MSG candidate = posted[i];
            guard.unlock();
            bool gone = candidate.hwnd && !Peek(candidate.hwnd);
            bool wanted =
                !gone && InRange(candidate.message, min, max) && MatchesWindow(candidate.hwnd, filter);
            guard.lock();
            // Only this thread takes from its queue, so the message is still at i.
            if (gone) {
                posted.erase(posted.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            if (!wanted) {
                ++i;
                continue;
            }
            msg = candidate;
            if (remove) {
                posted.erase(posted.begin() + static_cast<std::ptrdiff_t>(i));
                thread.last = msg;
            }
            return true;
        }
    }
    if (TakeInput(thread, msg, filter, min, max, take))
        return true;
    if (thread.quit && filter == nullptr && InRange(WM_QUIT, min, max)) {
        msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(thread.quitCode), 0, Now(), POINT{0, 0}};
        if (remove)
            thread.quit = false;
        return true;
    }
    if (InRange(WM_PAINT, min, max)) {
        Window* within = filter && filter != reinterpret_cast<HWND>(-1) ? Peek(filter) : nullptr;
        if (filter == nullptr || within) {
            if (Window* target = FindPaintTarget(thread, within)) {
                msg = MSG{target->handle, WM_PAINT, 0, 0, Now(), POINT{0, 0}};
                return true;
            }
        }
    }
    if (InRange(WM_TIMER, min, max)) {
        ULONGLONG now = kernel::ClockMilliseconds();
        Timer* due = nullptr;
        for (Timer& t : thread.timers)
            if (t.due <= now && MatchesWindow(t.hwnd, filter) && (!due || t.due < due->due))
                due = &t;
        if (due) {
            msg = MSG{due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), Now(), POINT{0, 0}};
            if (remove) {
                due->due = now + due->period;
                thread.last = msg;
            }
            return true;
        }
    }
    return false;
}

namespace {

// What a waiting thread watches: its wake pipe, the display's input, the program's stop requests and the
// socket that other processes' requests arrive on.
struct WaitSet {
    pollfd fds[4];
    nfds_t count = 0;
    int listener = -1;
    int stop = -1;

    explicit WaitSet(ThreadState& thread) : listener(ListenerFd()), stop(kernel::StopRequestFd()) {
        fds[count++] = pollfd{thread.wakeFd, POLLIN, 0};
        for (int fd : {display::InputFd(), stop, listener})
            if (fd >= 0)
                fds[count++] = pollfd{fd, POLLIN, 0};
    }
    bool Ready(int fd) const {
        for (nfds_t i = 0; i < count; ++i)
            if (fd >= 0 && fds[i].fd == fd && (fds[i].revents & POLLIN))
                return true;
        return false;
    }
    bool AnyReady() const {
        for (nfds_t i = 0; i < count; ++i)
            if (fds[i].revents & POLLIN)
                return true;
        return false;
    }
    // After the poll: requests of other processes are noted, and a stop request ends the program's loops.
    void Take(ThreadState& thread) const {
        if (Ready(listener))
            NoteListenerReadable();
        if (Ready(stop) && kernel::TakeStopRequest()) {
            thread.quit = true;
            thread.quitCode = 0;
        }
    }
};

} // namespace

void WaitBriefly(ThreadState& thread, int milliseconds) {
    PresentScreen();
    WaitSet set(thread);
    {
        Unlocked unlocked;
        ::poll(set.fds, set.count, milliseconds);
    }
    set.Take(thread);
    thread.DrainWake();
}

bool WaitForWork(ThreadState& thread) {
    PresentScreen();
    auto due = NextTimerDue(thread);
    WaitSet set(thread);
    int timeout = -1;
    if (due) {
        ULONGLONG now = kernel::ClockMilliseconds();
        if (kernel::IsVirtualClock()) {
            // Real events first; then the clock moves to the timer.
            {
                Unlocked unlocked;
                ::poll(set.fds, set.count, 0);
            }
            bool ready = set.AnyReady();
            set.Take(thread);
            if (!ready && *due > now) {
                kernel::AdvanceClock(*due - now);
                // A test's modal loop that only ever waits for its timers would spin for ever.
                if (!thread.modal.empty() && IsStrictTesting()) {
                    ModalFrame* frame = thread.modal.back();
                    frame->virtualWaited += *due - now;
                    if (frame->virtualWaited > kTestVirtualWaitLimitMs) {
                        frame->virtualWaited = 0;
                        thread.DrainWake();
                        return !IdleWaitGivesUp(thread);
                    }
                }
            }
            thread.DrainWake();
            return true;
        }
        timeout = *due > now ? static_cast<int>(std::min<ULONGLONG>(*due - now, 60000)) : 0;
    }
    bool limited = false;
    if (timeout < 0 && IsStrictTesting()) {
        timeout = kTestWaitLimitMs;
        limited = true;
    }
    int ready;
    {
        Unlocked unlocked;
        ready = ::poll(set.fds, set.count, timeout);
    }
    set.Take(thread);
    thread.DrainWake();
    if (ready == 0 && limited)
        return !IdleWaitGivesUp(thread);
    return true;
}

bool RunModalLoop(ModalFrame& frame, const std::function<bool()>& done,
                  const std::function<bool(MSG&)>& filter, const ModalHookInfo* hook) {
    ThreadState& me = CurrentThread();
    frame.filter = filter;
    me.modal.push_back(&frame);
    if (hook)
        RunModalHook(*hook);
    bool quit = false;
    while (!done()) {
        MSG msg;
        if (!TakeMessage(me, msg, nullptr, 0, 0, Take::Remove)) {
            if (!WaitForWork(me) && frame.cancel)
                frame.cancel();
            continue;
        }
        if (msg.message == WM_QUIT) {
            quit = true;
            me.quit = true;
            me.quitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (filter && filter(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::erase(me.modal, &frame);
    return !quit;
}

} // namespace user::detail

using namespace user::detail;

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == nullptr) {
        ThreadState& me = CurrentThread();
        std::lock_guard guard(QueueLock());
        me.posted.push_back(MSG{nullptr, Msg, wParam, lParam, Now(), POINT{0, 0}});
        return TRUE;
    }
    auto w = FindWindowObject(hWnd);
    if (!w)
        return FALSE;
    PostToWindow(w.get(), Msg, wParam, lParam);
    return TRUE;
}

BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (idThread != CurrentThread().threadId)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    return PostMessageW(nullptr, Msg, wParam, lParam);
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (IsForeignHandle(hWnd)) {
        if (Msg != WM_COPYDATA)
            return kernel::Fail(ERROR_ACCESS_DENIED, LRESULT{0});
        auto result = RemoteCopyData(hWnd, wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return result.value_or(0);
    }
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return 0;
    return Send(w, Msg, wParam, lParam);
}

BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg)
        return kernel::Fail(ERROR_INVALID_PARAMETER, -1);
    Locked lock;
    if (hWnd && hWnd != reinterpret_cast<HWND>(-1) && !Find(hWnd))
        return -1;
    ThreadState& me = CurrentThread();
    for (;;) {
        if (TakeMessage(me, *lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, Take::Remove))
            return lpMsg->message == WM_QUIT ? 0 : 1;
        if (!WaitForWork(me)) {
            if (!me.modal.empty() && me.modal.back()->cancel)
                me.modal.back()->cancel();
            else
                return kernel::Fail(ERROR_TIMEOUT, -1);
        }
    }
}

BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    Locked lock;
    ThreadState& me = CurrentThread();
    return TakeMessage(me, *lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax,
                       (wRemoveMsg & PM_REMOVE) ? Take::Remove : Take::Peek)
               ? TRUE
               : FALSE;
}

LRESULT DispatchMessageW(const MSG* lpMsg) {
    if (!lpMsg)
        return 0;
    Locked lock;
    ThreadState& me = CurrentThread();
    if (lpMsg->message == WM_TIMER && lpMsg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        bool known = std::any_of(me.timers.begin(), me.timers.end(), [&](const Timer& t) {
            return t.proc == proc && t.id == lpMsg->wParam && t.hwnd == lpMsg->hwnd;
        });
        if (known)
            proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, lpMsg->time);
        return 0;
    }
    if (!lpMsg->hwnd)
        return 0;
    Window* w = Find(lpMsg->hwnd);
    if (!w)
        return 0;
    auto keep = w->shared_from_this();
    if (lpMsg->message != WM_PAINT)
        return Send(w, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
    int begun = me.paintsBegun;
    LRESULT result = Send(w, WM_PAINT, lpMsg->wParam, lpMsg->lParam);
    if (me.paintsBegun == begun && !w->destroyed && NeedsPaint(w)) {
        // A WM_PAINT handled without a paint would come back for ever.
        w->update = gdi::Region();
        w->erase = false;
        w->frameDirty = false;
    }
    return result;
}

void PostQuitMessage(int nExitCode) {
    Locked lock;
    ThreadState& me = CurrentThread();
    me.quit = true;
    me.quitCode = nExitCode;
}

BOOL WaitMessage() {
    Locked lock;
    ThreadState& me = CurrentThread();
    for (;;) {
        MSG msg;
        if (TakeMessage(me, msg, nullptr, 0, 0, Take::Peek))
            return TRUE;
        if (!WaitForWork(me))
            return FALSE;
    }
}

LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!lpPrevWndFunc)
        return 0;
    Locked lock;
    Window* w = Peek(hWnd);
    if (!w)
        return lpPrevWndFunc(hWnd, Msg, wParam, lParam);
    return CallProc(w, lpPrevWndFunc, Msg, wParam, lParam);
}

LONG GetMessageTime() {
    Locked lock;
    return static_cast<LONG>(CurrentThread().last.time);
}

DWORD GetMessagePos() {
    Locked lock;
    POINT pt = CurrentThread().last.pt;
    return static_cast<DWORD>(MAKELONG(pt.x, pt.y));
}

BOOL InSendMessage() {
    Locked lock;
    return CurrentThread().inSend > 0 ? TRUE : FALSE;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    Locked lock;
    ThreadState& me = CurrentThread();
    if (hWnd) {
        Window* w = Find(hWnd);
        if (!w)
            return 0;
        if (w->thread.get() != &me)
            return kernel::Fail(ERROR_ACCESS_DENIED, UINT_PTR{0});
    }
    UINT period = std::max(1u, uElapse);
    ULONGLONG due = kernel::ClockMilliseconds() + period;
    for (Timer& t : me.timers) {
        if (t.hwnd == hWnd && t.id == nIDEvent && (hWnd || nIDEvent)) {
            t.period = period;
            t.due = due;
            t.proc = lpTimerFunc;
            return hWnd ? (nIDEvent ? nIDEvent : 1) : nIDEvent;
        }
    }
    UINT_PTR id = nIDEvent;
    if (!hWnd)
        id = ++g_nextThreadTimer;
    me.timers.push_back(Timer{hWnd, id, period, due, lpTimerFunc});
    return hWnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    Locked lock;
    ThreadState& me = CurrentThread();
    size_t removed =
        std::erase_if(me.timers, [&](const Timer& t) { return t.hwnd == hWnd && t.id == uIDEvent; });
    if (removed == 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard guard(QueueLock());
    std::erase_if(me.posted, [&](const MSG& m) {
        return m.message == WM_TIMER && m.hwnd == hWnd && m.wParam == uIDEvent;
    });
    return TRUE;
}

HHOOK SetWindowsHookExW(int idHook, HOOKPROC lpfn, HINSTANCE, DWORD dwThreadId) {
    Locked lock;
    ThreadState& me = CurrentThread();
    if (idHook != WH_CBT || !lpfn || (dwThreadId != 0 && dwThreadId != me.threadId))
        return kernel::Fail(ERROR_INVALID_PARAMETER, nullptr);
    HHOOK handle = reinterpret_cast<HHOOK>(g_nextHook += 4);
    me.hooks.push_back(Hook{handle, idHook, lpfn});
    return handle;
}

BOOL UnhookWindowsHookEx(HHOOK hhk) {
    Locked lock;
    ThreadState& me = CurrentThread();
    size_t removed = std::erase_if(me.hooks, [&](const Hook& h) { return h.handle == hhk; });
    return removed ? TRUE : kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
}

LRESULT CallNextHookEx(HHOOK hhk, int nCode, WPARAM wParam, LPARAM lParam) {
    Locked lock;
    ThreadState& me = CurrentThread();
    for (size_t i = me.hooks.size(); i-- > 0;) {
        if (me.hooks[i].handle != hhk)
            continue;
        for (size_t j = i; j-- > 0;)
            if (me.hooks[j].type == me.hooks[i].type)
                return me.hooks[j].proc(nCode, wParam, lParam);
        return 0;
    }
    return 0;
}
