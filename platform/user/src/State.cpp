#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <unordered_map>

#include "Internal.h"
#include "crt/Utf8.h"
#include "kernel/Errors.h"
#include "kernel/Processes.h"
#include "user/Paint.h"

namespace user::detail {

namespace {

// Taken once by a thread however deep its calls nest; t_lockDepth counts the levels.
std::mutex& WindowLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

// The thread variables that every call reads take the initial-exec model: a read is one instruction
// instead of a call, at the price of a few bytes of the static thread storage that the loader keeps
// for libraries opened later.
#define FERROVANE_FAST_TLS [[gnu::tls_model("initial-exec")]]

FERROVANE_FAST_TLS thread_local int t_lockDepth = 0;

// Handles: the process id in the high half, a serial number above the lowest bit.
constexpr int kProcessShift = 32;

struct Table {
    std::unordered_map<uint64_t, std::shared_ptr<Window>> windows;
    uint64_t nextSerial = 1;
};

Table& Windows() {
    static Table* table = new Table;
    return *table;
}

std::atomic<uint64_t> g_epoch{1};
std::shared_ptr<Window> g_desktop;

// Counts the windows taken out of the table. A thread remembers the windows it found last together with
// this count; while the count is unchanged those windows are still in the table.
std::atomic<uint64_t> g_removals{0};

struct RecentWindow {
    HWND hwnd = nullptr;
    Window* window = nullptr;
    uint64_t removals = 0;
};
// By handle serial: a paint goes back and forth between a control and its parent.
using RecentWindows = std::array<RecentWindow, 32>;

// Reached through a plain pointer so that the static thread storage holds only the pointer; the owner
// frees the entries when the thread ends, after which lookups go without them.
FERROVANE_FAST_TLS thread_local RecentWindows* t_recentWindows = nullptr;
FERROVANE_FAST_TLS thread_local bool t_recentWindowsGone = false;

struct RecentWindowsOwner {
    ~RecentWindowsOwner() {
        delete t_recentWindows;
        t_recentWindows = nullptr;
        t_recentWindowsGone = true;
    }
};

RecentWindow* RecentSlot(HWND hwnd) {
    RecentWindows* recents = t_recentWindows;
    if (!recents) {
        if (t_recentWindowsGone)
            return nullptr;
        thread_local RecentWindowsOwner owner;
        recents = t_recentWindows = new RecentWindows;
    }
    return &(*recents)[(reinterpret_cast<uint64_t>(hwnd) >> 1) % recents->size()];
}

// The state t_thread holds, reached without the checks that a thread_local with a destructor costs.
FERROVANE_FAST_TLS thread_local ThreadState* t_state = nullptr;

// Every thread's state lives as long as the thread; its windows keep it alive after that.
struct ThreadHolder {
    std::shared_ptr<ThreadState> state;
    ~ThreadHolder() {
        t_state = nullptr;
        if (!state)
            return;
        std::vector<std::shared_ptr<SentMessage>> pending;
        {
            std::lock_guard guard(QueueLock());
            state->alive = false;
            pending.assign(state->incoming.begin(), state->incoming.end());
            state->incoming.clear();
            state->posted.clear();
        }
        for (auto& sent : pending) {
            std::lock_guard guard(QueueLock());
            sent->done = true;
            sent->sender->Wake();
        }
    }
};

thread_local ThreadHolder t_thread;

} // namespace

Locked::Locked() {
    int& depth = t_lockDepth;
    if (depth == 0)
        WindowLock().lock();
    ++depth;
}

Locked::~Locked() {
    int& depth = t_lockDepth;
    if (--depth == 0)
        WindowLock().unlock();
}

Unlocked::Unlocked() : m_depth(t_lockDepth) {
    if (m_depth > 0)
        WindowLock().unlock();
    t_lockDepth = 0;
}

Unlocked::~Unlocked() {
    if (m_depth > 0)
        WindowLock().lock();
    t_lockDepth = m_depth;
}

ThreadState::ThreadState() : threadId(GetCurrentThreadId()) {
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

ThreadState::~ThreadState() {
    if (wakeFd >= 0)
        ::close(wakeFd);
}

void ThreadState::Wake() {
    uint64_t one = 1;
    if (wakeFd >= 0) [[maybe_unused]]
        auto written = ::write(wakeFd, &one, sizeof one);
}

void ThreadState::DrainWake() {
    uint64_t count = 0;
    if (wakeFd >= 0) [[maybe_unused]]
        auto read = ::read(wakeFd, &count, sizeof count);
}

std::mutex& QueueLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

ThreadState& CurrentThread() {
    if (ThreadState* state = t_state)
        return *state;
    return *CurrentThreadShared();
}

std::shared_ptr<ThreadState> CurrentThreadShared() {
    if (!t_thread.state) {
        t_thread.state = std::make_shared<ThreadState>();
        t_state = t_thread.state.get();
    }
    return t_thread.state;
}

// --- handles -----------------------------------------------------------------------------------------

DWORD ThisProcess() {
    // The process id never changes; asking the kernel each time would cost a system call per window call.
    static const DWORD pid = GetCurrentProcessId();
    return pid;
}

DWORD ProcessOfHandle(HWND hwnd) {
    return static_cast<DWORD>(reinterpret_cast<uint64_t>(hwnd) >> kProcessShift);
}

bool IsForeignHandle(HWND hwnd) {
    return hwnd != nullptr && ProcessOfHandle(hwnd) != ThisProcess();
}

HWND NewHandle() {
    std::lock_guard guard(QueueLock());
    uint64_t serial = Windows().nextSerial++;
    uint64_t value = (uint64_t{ThisProcess()} << kProcessShift) | ((serial & 0x7FFFFFFFu) << 1);
    return reinterpret_cast<HWND>(value);
}

void InsertWindow(const std::shared_ptr<Window>& window) {
    std::lock_guard guard(QueueLock());
    Windows().windows[reinterpret_cast<uint64_t>(window->handle)] = window;
}

void RemoveWindow(HWND hwnd) {
    std::shared_ptr<Window> keep;
    {
        std::lock_guard guard(QueueLock());
        auto& windows = Windows().windows;
        auto it = windows.find(reinterpret_cast<uint64_t>(hwnd));
        if (it == windows.end())
            return;
        keep = std::move(it->second);
        keep->destroyed = true;
        windows.erase(it);
        g_removals.fetch_add(1, std::memory_order_acq_rel);
    }
}

std::shared_ptr<Window> FindWindowObject(HWND hwnd) {
    if (IsForeignHandle(hwnd))
        return kernel::Fail(ERROR_ACCESS_DENIED, nullptr);
    std::shared_ptr<Window> window;
    {
        std::lock_guard guard(QueueLock());
        auto& windows = Windows().windows;
        auto it = windows.find(reinterpret_cast<uint64_t>(hwnd));
        if (it != windows.end() && !it->second->destroyed)
            window = it->second;
    }
    if (!window)
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    return window;
}

Window* Find(HWND hwnd) {
    if (hwnd == nullptr)
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    if (IsForeignHandle(hwnd))
        return kernel::Fail(ERROR_ACCESS_DENIED, nullptr);
    if (Window* w = Peek(hwnd))
        return w;
    return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, nullptr);
}

Window* Peek(HWND hwnd) {
    if (hwnd == nullptr || IsForeignHandle(hwnd))
        return nullptr;
    RecentWindow* recent = RecentSlot(hwnd);
    if (recent && recent->hwnd == hwnd && recent->removals == g_removals.load(std::memory_order_acquire))
        return recent->window;
    std::lock_guard guard(QueueLock());
    auto& windows = Windows().windows;
    auto it = windows.find(reinterpret_cast<uint64_t>(hwnd));
    if (it == windows.end() || it->second->destroyed)
        return nullptr;
    if (recent)
        *recent = RecentWindow{hwnd, it->second.get(), g_removals.load(std::memory_order_acquire)};
    return it->second.get();
}

std::vector<std::shared_ptr<Window>> AllWindows() {
    std::lock_guard guard(QueueLock());
    std::vector<std::shared_ptr<Window>> all;
    all.reserve(Windows().windows.size());
    for (auto& [handle, window] : Windows().windows)
        all.push_back(window);
    return all;
}

// --- the desktop and the tree ------------------------------------------------------------------------

Window* Desktop() {
    if (g_desktop)
        return g_desktop.get();
    EnsureDisplay();
    RegisterBuiltInClasses();
    auto desktop = std::make_shared<Window>();
    desktop->handle = NewHandle();
    desktop->windowClass = FindClass(u"#32769");
    desktop->proc = desktop->windowClass->info.lpfnWndProc;
    desktop->style = WS_VISIBLE | WS_CLIPCHILDREN | WS_POPUP;
    desktop->rect = ScreenRect();
    desktop->thread = CurrentThreadShared();
    desktop->update = gdi::Region(RECT{0, 0, desktop->rect.right, desktop->rect.bottom});
    desktop->erase = true;
    desktop->windowClass->windows++;
    InsertWindow(desktop);
    g_desktop = desktop;
    return g_desktop.get();
}

Window* DesktopIfExists() {
    return g_desktop.get();
}

bool IsDesktop(const Window* w) {
    return w != nullptr && g_desktop && w == g_desktop.get();
}

Window* TopLevelOf(Window* w) {
    if (!w || IsDesktop(w))
        return w;
    while (w->parent && !IsDesktop(w->parent))
        w = w->parent;
    return w;
}

bool IsDescendant(const Window* ancestor, const Window* w) {
    for (; w; w = w->parent)
        if (w == ancestor)
            return true;
    return false;
}

bool IsTopLevel(const Window* w) {
    return w && !IsDesktop(w) && w->parent && IsDesktop(w->parent);
}

void BumpEpoch() {
    g_epoch.fetch_add(1);
    RefreshLiveDCs();
}

uint64_t Epoch() {
    return g_epoch.load();
}

// --- geometry ----------------------------------------------------------------------------------------

RECT FrameInsets(DWORD style, DWORD exStyle) {
    int edge = 0;
    bool caption = (style & WS_CAPTION) == WS_CAPTION;
    if (caption || (style & WS_DLGFRAME) || (style & WS_THICKFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        edge = kDialogFrame;
    else if (style & WS_BORDER)
        edge = kBorder;
    if (exStyle & WS_EX_CLIENTEDGE)
        edge += kClientEdge;
    if (exStyle & WS_EX_STATICEDGE)
        edge += 1;
    RECT insets{edge, edge, edge, edge};
    if (caption)
        insets.top += kCaptionHeight;
    return insets;
}

POINT ClientScreenOrigin(const Window* w) {
    if (!w || IsDesktop(w))
        return POINT{0, 0};
    POINT origin = ClientScreenOrigin(w->parent);
    RECT insets = FrameInsets(w->style, w->exStyle);
    return POINT{origin.x + w->rect.left + insets.left, origin.y + w->rect.top + insets.top};
}

RECT WindowScreenRect(const Window* w) {
    if (!w || IsDesktop(w))
        return ScreenRect();
    POINT origin = ClientScreenOrigin(w->parent);
    return RECT{origin.x + w->rect.left, origin.y + w->rect.top, origin.x + w->rect.right,
                origin.y + w->rect.bottom};
}

SIZE ClientSize(const Window* w) {
    if (!w || IsDesktop(w)) {
        RECT screen = ScreenRect();
        return SIZE{screen.right - screen.left, screen.bottom - screen.top};
    }
    RECT insets = FrameInsets(w->style, w->exStyle);
    return SIZE{std::max<LONG>(0, w->rect.right - w->rect.left - insets.left - insets.right),
                std::max<LONG>(0, w->rect.bottom - w->rect.top - insets.top - insets.bottom)};
}

RECT ClientScreenRect(const Window* w) {
    RECT outer = WindowScreenRect(w);
    if (!w || IsDesktop(w))
        return outer;
    RECT insets = FrameInsets(w->style, w->exStyle);
    RECT client{outer.left + insets.left, outer.top + insets.top, outer.right - insets.right,
                outer.bottom - insets.bottom};
    if (client.right < client.left)
        client.right = client.left;
    if (client.bottom < client.top)
        client.bottom = client.top;
    return client;
}

bool IsShown(const Window* w) {
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE))
            return false;
    return true;
}

bool IsDrawable(const Window* w) {
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE) || !w->redraw || w->destroyed)
            return false;
    return true;
}

const gdi::Region& VisibleRegion(Window* w, Part part) {
    const bool clientOnly = part == Part::Client;
    uint64_t epoch = Epoch();
    uint64_t& cachedEpoch = clientOnly ? w->clientVisibleEpoch : w->windowVisibleEpoch;
    gdi::Region& region = clientOnly ? w->clientVisible : w->windowVisible;
    if (cachedEpoch == epoch)
        return region;
    cachedEpoch = epoch;
    region = gdi::Region();
    if (!IsDrawable(w))
        return region;
    RECT screen = ScreenRect();
    RECT base = clientOnly ? ClientScreenRect(w) : WindowScreenRect(w);
    RECT clipped;
    if (!IntersectRect(&clipped, &base, &screen))
        return region;
    for (const Window* a = w->parent; a && !IsDesktop(a); a = a->parent) {
        RECT client = ClientScreenRect(a);
        if (!IntersectRect(&clipped, &clipped, &client))
            return region;
    }
    region = gdi::Region(clipped);
    for (const Window* c = w; c && !IsDesktop(c); c = c->parent) {
        const Window* p = c->parent;
        if (!p)
            break;
        bool clipSiblings = IsDesktop(p) || (c->style & WS_CLIPSIBLINGS);
        if (!clipSiblings)
            continue;
        for (const Window* sibling : p->children) {
            if (sibling == c)
                break;
            if (!(sibling->style & WS_VISIBLE))
                continue;
            RECT r = WindowScreenRect(sibling);
            if (region.Intersects(r))
                region.Subtract(gdi::Region(r));
        }
    }
    if (clientOnly && (w->style & WS_CLIPCHILDREN)) {
        for (const Window* child : w->children) {
            if (!(child->style & WS_VISIBLE))
                continue;
            RECT r = WindowScreenRect(child);
            if (region.Intersects(r))
                region.Subtract(gdi::Region(r));
        }
    }
    return region;
}

// --- text ----------------------------------------------------------------------------------------------

namespace {

char16_t Fold(char16_t c) {
    if (c >= u'A' && c <= u'Z')
        return static_cast<char16_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 32);
    return c;
}

} // namespace

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

std::string Narrow(std::u16string_view text) {
    return crt::ToUtf8(text);
}

} // namespace user::detail
