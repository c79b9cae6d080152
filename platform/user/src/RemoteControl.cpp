// The remote-control requests: window trees, input, screens and list items of other processes.
//
// Format notes: the requests ride on the channel of Remote.cpp (a header with a type, a window, two
// numbers and a payload). Payloads are little-endian records as the host writes them: a window tree is
// the screen size, the active and focus windows and the program's path, then one record a window (handle,
// parent, depth, id, styles, rectangle, visibility, class, text); input is 20 bytes an event; list items
// are their count, the selection and the texts. Strings are a 32-bit unit count and the UTF-16 units. The
// reader checks every length against the bytes that arrived and against fixed limits.

#include "user/RemoteControl.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "Internal.h"
#include "Wire.h"
#include "display/Display.h"
#include "gdi/Surface.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Modules.h"
#include "kernel/Time.h"

namespace user::detail {

namespace {

constexpr uint32_t kTree = 0x10;
constexpr uint32_t kInput = 0x11;
constexpr uint32_t kScreen = 0x12;
constexpr uint32_t kIdle = 0x13;
constexpr uint32_t kListItems = 0x14;

constexpr size_t kMaxEvents = 65536;
constexpr size_t kMaxWindows = 65536;
constexpr LRESULT kMaxListItems = 100000;

// List-box messages, as the standard list box answers them.
constexpr UINT kListGetText = 0x0189;
constexpr UINT kListGetTextLength = 0x018A;
constexpr UINT kListGetCount = 0x018B;
constexpr UINT kListGetSelection = 0x0188;

struct WireEvent {
    uint32_t kind;
    int32_t x;
    int32_t y;
    uint32_t virtualKey;
    uint32_t character;
};
static_assert(sizeof(WireEvent) == 20);
static_assert(static_cast<int>(RawKind::KeyUp) == static_cast<int>(remote::InputEvent::Kind::KeyUp) &&
              static_cast<int>(RawKind::StylusDown) ==
                  static_cast<int>(remote::InputEvent::Kind::StylusDown));

void PutWindow(WireWriter& out, Window* w, Window* parent, int32_t depth) {
    out.Put(reinterpret_cast<uint64_t>(w->handle));
    out.Put(reinterpret_cast<uint64_t>(parent ? parent->handle : nullptr));
    out.Put(depth);
    out.Put(static_cast<int32_t>(w->id));
    out.Put(static_cast<uint32_t>(w->style));
    out.Put(static_cast<uint32_t>(w->exStyle));
    RECT r = WindowScreenRect(w);
    out.Put(static_cast<int32_t>(r.left));
    out.Put(static_cast<int32_t>(r.top));
    out.Put(static_cast<int32_t>(r.right));
    out.Put(static_cast<int32_t>(r.bottom));
    out.Put(uint32_t{IsShown(w) ? 1u : 0u});
    out.String(w->windowClass->name);
    out.String(w->text);
}

void PutTree(WireWriter& out, Window* w, Window* parent, int32_t depth, size_t& count) {
    if (w->destroying || count >= kMaxWindows)
        return;
    ++count;
    PutWindow(out, w, parent, depth);
    for (Window* child : w->children)
        PutTree(out, child, w, depth + 1, count);
}

bool IsIdle() {
    ThreadState& me = CurrentThread();
    {
        std::lock_guard guard(QueueLock());
        if (!me.posted.empty() || !me.incoming.empty())
            return false;
    }
    if (HasQueuedInput() || FindPaintTarget(me, nullptr))
        return false;
    ULONGLONG now = kernel::ClockMilliseconds();
    std::optional<ULONGLONG> due = NextTimerDue(me);
    return !due || *due > now;
}

std::vector<uint8_t> ScreenAsPng() {
    static std::atomic<unsigned> serial{0};
    std::filesystem::path file = kernel::RuntimeFolder() / ("screen-" + std::to_string(ThisProcess()) + "-" +
                                                            std::to_string(++serial) + ".png");
    std::vector<uint8_t> bytes;
    if (display::SaveScreenshot(file)) {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    return bytes;
}

bool ServeInput(const std::vector<uint8_t>& payload, RemoteReply& reply) {
    if (payload.size() % sizeof(WireEvent) != 0 || payload.size() / sizeof(WireEvent) > kMaxEvents)
        return true; // answered with nothing queued
    Desktop();
    DWORD now = static_cast<DWORD>(kernel::ClockMilliseconds());
    size_t count = payload.size() / sizeof(WireEvent);
    for (size_t i = 0; i < count; ++i) {
        WireEvent event;
        std::memcpy(&event, payload.data() + i * sizeof event, sizeof event);
        if (event.kind > static_cast<uint32_t>(remote::InputEvent::Kind::KeyUp))
            continue;
        RawInput raw{};
        raw.kind = static_cast<RawKind>(event.kind);
        raw.point = POINT{event.x, event.y};
        raw.vk = event.virtualKey & 0xFF;
        raw.character = static_cast<WCHAR>(event.character);
        raw.time = now;
        QueueRawInput(raw);
        ++reply.wParam;
    }
    return true;
}

void ServeListItems(HWND hwnd, RemoteReply& reply) {
    Window* w = Peek(hwnd);
    if (!w)
        return;
    auto keep = w->shared_from_this();
    LRESULT count = Send(w, kListGetCount, 0, 0);
    if (count < 0)
        count = 0;
    count = std::min(count, kMaxListItems);
    WireWriter out;
    out.Put(static_cast<uint32_t>(count));
    out.Put(static_cast<int32_t>(Send(w, kListGetSelection, 0, 0)));
    for (LRESULT i = 0; i < count && !w->destroyed; ++i) {
        LRESULT length = Send(w, kListGetTextLength, static_cast<WPARAM>(i), 0);
        std::u16string text(static_cast<size_t>(std::clamp<LRESULT>(length, 0, kMaxWireUnits)) + 1, u'\0');
        LRESULT got =
            length < 0 ? 0
                       : Send(w, kListGetText, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, static_cast<LRESULT>(text.size() - 1))));
        out.String(text);
    }
    reply.wParam = 1;
    reply.payload = out.Take();
}

} // namespace

bool ServeControlRequest(uint32_t type, HWND hwnd, uint64_t, uint64_t, const std::vector<uint8_t>& payload,
                         RemoteReply& reply) {
    switch (type) {
    case kTree: {
        WireWriter out;
        SIZE screen = gdi::ScreenSize();
        out.Put(static_cast<int32_t>(screen.cx));
        out.Put(static_cast<int32_t>(screen.cy));
        out.Put(reinterpret_cast<uint64_t>(Peek(g_active) ? g_active : nullptr));
        out.Put(reinterpret_cast<uint64_t>(Peek(g_focus) ? g_focus : nullptr));
        out.String(kernel::ProgramDevicePath());
        size_t count = 0;
        for (Window* top : Desktop()->children)
            PutTree(out, top, nullptr, 0, count);
        reply.wParam = count;
        reply.payload = out.Take();
        return true;
    }
    case kInput:
        return ServeInput(payload, reply);
    case kScreen:
        reply.payload = ScreenAsPng();
        reply.wParam = reply.payload.empty() ? 0 : 1;
        return true;
    case kIdle:
        reply.wParam = IsIdle() ? 1 : 0;
        return true;
    case kListItems:
        ServeListItems(hwnd, reply);
        return true;
    default:
        return false;
    }
}

} // namespace user::detail

namespace user::remote {

using namespace user::detail;

namespace {

std::optional<RemoteReply> Ask(DWORD process, uint32_t type, HWND hwnd = nullptr,
                               const std::vector<uint8_t>& payload = {}) {
    if (process == 0 || process == ThisProcess())
        return kernel::Fail(ERROR_INVALID_PARAMETER, std::optional<RemoteReply>());
    return RemoteRequest(process, type, hwnd, 0, 0, payload);
}

bool GetWindow(WireReader& in, WindowInfo& info) {
    uint64_t handle = 0, parent = 0;
    int32_t depth = 0, id = 0, left = 0, top = 0, right = 0, bottom = 0;
    uint32_t style = 0, exStyle = 0, visible = 0;
    if (!in.Get(handle) || !in.Get(parent) || !in.Get(depth) || !in.Get(id) || !in.Get(style) ||
        !in.Get(exStyle) || !in.Get(left) || !in.Get(top) || !in.Get(right) || !in.Get(bottom) ||
        !in.Get(visible) || !in.String(info.className) || !in.String(info.text))
        return false;
    info.handle = reinterpret_cast<HWND>(handle);
    info.parent = reinterpret_cast<HWND>(parent);
    info.depth = depth;
    info.id = id;
    info.style = style;
    info.exStyle = exStyle;
    info.rect = RECT{left, top, right, bottom};
    info.visible = visible != 0;
    return true;
}

} // namespace

std::vector<DWORD> Processes() {
    return OtherProcesses();
}

std::optional<ProcessWindows> Windows(DWORD process) {
    auto reply = Ask(process, kTree);
    if (!reply)
        return std::nullopt;
    WireReader in(reply->payload);
    ProcessWindows result;
    result.process = process;
    int32_t width = 0, height = 0;
    uint64_t active = 0, focus = 0;
    if (!in.Get(width) || !in.Get(height) || !in.Get(active) || !in.Get(focus) ||
        !in.String(result.program) || reply->wParam > kMaxWindows)
        return kernel::Fail(ERROR_INVALID_DATA, std::optional<ProcessWindows>());
    result.screen = SIZE{width, height};
    result.active = reinterpret_cast<HWND>(active);
    result.focus = reinterpret_cast<HWND>(focus);
    for (uint64_t i = 0; i < reply->wParam; ++i) {
        WindowInfo info;
        if (!GetWindow(in, info) || ProcessOfHandle(info.handle) != process)
            return kernel::Fail(ERROR_INVALID_DATA, std::optional<ProcessWindows>());
        result.windows.push_back(std::move(info));
    }
    return result;
}

UINT VirtualKeyOf(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return 'A' + (c - u'a');
    if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return c;
    if (c == u' ')
        return VK_SPACE;
    return VK_PACKET;
}

std::vector<InputEvent> TapEvents(POINT point) {
    return {InputEvent{InputEvent::Kind::StylusDown, point, 0, 0},
            InputEvent{InputEvent::Kind::StylusUp, point, 0, 0}};
}

std::vector<InputEvent> DragEvents(POINT from, POINT to, int steps) {
    steps = std::max(1, steps);
    std::vector<InputEvent> events{InputEvent{InputEvent::Kind::StylusDown, from, 0, 0}};
    for (int i = 1; i <= steps; ++i)
        events.push_back(InputEvent{
            InputEvent::Kind::StylusMove,
            POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps}, 0, 0});
    events.push_back(InputEvent{InputEvent::Kind::StylusUp, to, 0, 0});
    return events;
}

std::vector<InputEvent> KeyPressEvents(UINT virtualKey, WCHAR character) {
    return {InputEvent{InputEvent::Kind::KeyDown, POINT{0, 0}, virtualKey, character},
            InputEvent{InputEvent::Kind::KeyUp, POINT{0, 0}, virtualKey, 0}};
}

std::vector<InputEvent> TextEvents(std::u16string_view text) {
    std::vector<InputEvent> events;
    for (char16_t c : text) {
        auto press = KeyPressEvents(VirtualKeyOf(c), c);
        events.insert(events.end(), press.begin(), press.end());
    }
    return events;
}

bool SendInput(DWORD process, const std::vector<InputEvent>& events) {
    if (events.size() > kMaxEvents)
        return kernel::Fail(ERROR_INVALID_PARAMETER, false);
    std::vector<uint8_t> payload(events.size() * sizeof(WireEvent));
    for (size_t i = 0; i < events.size(); ++i) {
        WireEvent wire{static_cast<uint32_t>(events[i].kind), events[i].point.x, events[i].point.y,
                       events[i].virtualKey, events[i].character};
        std::memcpy(payload.data() + i * sizeof wire, &wire, sizeof wire);
    }
    auto reply = Ask(process, kInput, nullptr, payload);
    if (!reply)
        return false;
    if (reply->wParam != events.size())
        return kernel::Fail(ERROR_INVALID_PARAMETER, false);
    return true;
}

bool WaitUntilIdle(DWORD process, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto reply = Ask(process, kIdle);
        if (!reply)
            return false;
        if (reply->wParam == 1)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return kernel::Fail(ERROR_TIMEOUT, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::optional<std::vector<uint8_t>> ScreenPng(DWORD process) {
    auto reply = Ask(process, kScreen);
    if (!reply)
        return std::nullopt;
    if (reply->wParam != 1)
        return kernel::Fail(ERROR_GEN_FAILURE, std::optional<std::vector<uint8_t>>());
    return std::move(reply->payload);
}

std::optional<ListItems> ListBoxItems(HWND window) {
    auto reply = Ask(ProcessOfHandle(window), kListItems, window);
    if (!reply)
        return std::nullopt;
    if (reply->wParam != 1)
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, std::optional<ListItems>());
    WireReader in(reply->payload);
    uint32_t count = 0;
    int32_t selected = -1;
    if (!in.Get(count) || !in.Get(selected) || count > kMaxListItems)
        return kernel::Fail(ERROR_INVALID_DATA, std::optional<ListItems>());
    ListItems result;
    result.selected = selected;
    for (uint32_t i = 0; i < count; ++i) {
        std::u16string text;
        if (!in.String(text))
            break; // the window went away while its items were read
        result.items.push_back(std::move(text));
    }
    return result;
}

} // namespace user::remote
