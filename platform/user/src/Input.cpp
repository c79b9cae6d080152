#include <array>
#include <cstdlib>

#include "Internal.h"
#include "kernel/Errors.h"
#include "kernel/Time.h"
#include "user/Paint.h"
#include "user/System.h"

namespace user::detail {

namespace {

constexpr int kDoubleClickTime = 500;
constexpr int kDoubleClickSize = 8;

struct InputState {
    std::deque<RawInput> raw;
    std::array<bool, 256> keyDown{};
    bool stylusDown = false;
    HWND lastDownWindow = nullptr;
    DWORD lastDownTime = 0;
    POINT lastDownPoint{};
    bool lastDownWasDouble = false;
};

InputState& Input() {
    static InputState* state = new InputState;
    return *state;
}

LPARAM PackPoint(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

// The window under a point among w's children (top first), descending; w itself when none. hit is w's
// answer to WM_NCHITTEST and becomes the answer of the window found.
Window* HitIn(Window* w, POINT screen, LRESULT& hit) {
    RECT client = ClientScreenRect(w);
    if (!PtInRect(&client, screen))
        return w;
    for (Window* child : w->children) {
        if (!(child->style & WS_VISIBLE) || (child->style & WS_DISABLED))
            continue;
        RECT r = WindowScreenRect(child);
        if (!PtInRect(&r, screen))
            continue;
        LRESULT childHit = Send(child, WM_NCHITTEST, 0, PackPoint(screen.x, screen.y));
        if (childHit == HTTRANSPARENT)
            continue;
        hit = childHit;
        return HitIn(child, screen, hit);
    }
    return w;
}

WCHAR DefaultCharacter(UINT vk) {
    if (vk >= 'A' && vk <= 'Z')
        return static_cast<WCHAR>(vk - 'A' + 'a');
    if (vk >= '0' && vk <= '9')
        return static_cast<WCHAR>(vk);
    switch (vk) {
    case VK_SPACE:
        return u' ';
    case VK_RETURN:
        return u'\r';
    case VK_BACK:
        return u'\b';
    case VK_TAB:
        return u'\t';
    case VK_ESCAPE:
        return 0x1B;
    default:
        return 0;
    }
}

// The oldest raw input; false when there is none.
bool FrontRawInput(RawInput& raw) {
    std::lock_guard guard(QueueLock());
    InputState& input = Input();
    if (input.raw.empty())
        return false;
    raw = input.raw.front();
    return true;
}

void PopRawInput() {
    std::lock_guard guard(QueueLock());
    InputState& input = Input();
    if (!input.raw.empty())
        input.raw.pop_front();
}

bool IsStylus(RawKind kind) {
    return kind == RawKind::StylusDown || kind == RawKind::StylusMove || kind == RawKind::StylusUp;
}

// Where raw input goes: the stylus to the window with the capture, else to the window under it (hit gets
// that window's answer to WM_NCHITTEST); keys to the focus, else to the active window. NULL: nowhere.
Window* RouteInput(const RawInput& raw, LRESULT& hit) {
    if (IsStylus(raw.kind)) {
        if (Window* capture = Peek(g_capture))
            return capture;
        return HitTest(raw.point, &hit);
    }
    if (Window* focus = Peek(g_focus))
        return focus;
    return Peek(g_active);
}

// The message that raw input makes for its window.
struct InputMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    // Stylus input in the client area, or for the window with the capture: client messages and points.
    bool client = false;
};

InputMessage TranslateInput(const RawInput& raw, Window* target, LRESULT hit, const InputState& input) {
    InputMessage m;
    m.client = hit != HTNOWHERE && hit != HTERROR && (hit == HTCLIENT || Peek(g_capture) == target);
    switch (raw.kind) {
    case RawKind::StylusDown:
        m.message = m.client ? WM_LBUTTONDOWN : WM_NCLBUTTONDOWN;
        m.wParam = m.client ? MK_LBUTTON : static_cast<WPARAM>(hit);
        break;
    case RawKind::StylusMove:
        m.message = WM_MOUSEMOVE;
        m.wParam = input.stylusDown ? MK_LBUTTON : 0;
        break;
    case RawKind::StylusUp:
        m.message = m.client ? WM_LBUTTONUP : WM_NCLBUTTONUP;
        m.wParam = m.client ? 0 : static_cast<WPARAM>(hit);
        break;
    case RawKind::KeyDown:
        m.message = WM_KEYDOWN;
        m.wParam = raw.vk;
        m.lParam = 1 | (input.keyDown[raw.vk & 0xFF] ? (1 << 30) : 0);
        break;
    case RawKind::KeyUp:
        m.message = WM_KEYUP;
        m.wParam = raw.vk;
        m.lParam = static_cast<LPARAM>(1u | (1u << 30) | (1u << 31));
        break;
    }
    if (IsStylus(raw.kind)) {
        POINT origin = ClientScreenOrigin(target);
        m.lParam = m.client ? PackPoint(raw.point.x - origin.x, raw.point.y - origin.y)
                            : PackPoint(raw.point.x, raw.point.y);
    }
    return m;
}

// Input for a window of another thread leaves the raw queue as a message posted to that thread.
void PostToWindowThread(Window* target, const InputMessage& m, const RawInput& raw) {
    {
        std::lock_guard guard(QueueLock());
        InputState& input = Input();
        if (!input.raw.empty())
            input.raw.pop_front();
        target->thread->posted.push_back(
            MSG{target->handle, m.message, m.wParam, m.lParam, raw.time, raw.point});
    }
    target->thread->Wake();
}

// A press in the client area of a window whose class takes double taps is the second tap of one when it
// comes soon after the window's last press and near it, unless that press was itself a second tap.
bool IsDoubleTap(const InputState& input, const Window* target, const RawInput& raw, bool client) {
    bool quick = raw.time - input.lastDownTime <= static_cast<DWORD>(kDoubleClickTime);
    bool near = std::abs(raw.point.x - input.lastDownPoint.x) <= kDoubleClickSize / 2 &&
                std::abs(raw.point.y - input.lastDownPoint.y) <= kDoubleClickSize / 2;
    return client && (target->windowClass->info.style & CS_DBLCLKS) &&
           input.lastDownWindow == target->handle && quick && near && !input.lastDownWasDouble;
}

// A press that is taken activates its top-level window and is kept for the next press's double-tap test;
// the second tap of a double tap becomes WM_LBUTTONDBLCLK. False when the activation destroyed the window.
bool TakePress(Window* target, const RawInput& raw, InputMessage& m, InputState& input) {
    input.stylusDown = true;
    Window* top = TopLevelOf(target);
    if (top && !IsDesktop(top) && !(top->exStyle & WS_EX_NOACTIVATE) && !(top->style & WS_DISABLED) &&
        g_active != top->handle) {
        Activate(top, WA_CLICKACTIVE);
        if (target->destroyed)
            return false;
    }
    bool second = IsDoubleTap(input, target, raw, m.client);
    if (second)
        m.message = WM_LBUTTONDBLCLK;
    input.lastDownWasDouble = second;
    input.lastDownWindow = target->handle;
    input.lastDownTime = raw.time;
    input.lastDownPoint = raw.point;
    return true;
}

// What taking input changes: the stylus and key state, and the thread's last key, which TranslateMessage
// turns into its character. False when the input's window went meanwhile.
bool NoteTaken(ThreadState& thread, Window* target, const RawInput& raw, InputMessage& m, InputState& input) {
    switch (raw.kind) {
    case RawKind::StylusDown:
        return TakePress(target, raw, m, input);
    case RawKind::StylusMove:
        break;
    case RawKind::StylusUp:
        input.stylusDown = false;
        break;
    case RawKind::KeyDown:
        input.keyDown[raw.vk & 0xFF] = true;
        thread.lastKeyDownVk = raw.vk;
        thread.lastKeyDownLParam = m.lParam;
        thread.lastKeyDownChar = raw.character;
        break;
    case RawKind::KeyUp:
        input.keyDown[raw.vk & 0xFF] = false;
        break;
    }
    return true;
}

} // namespace

void QueueRawInput(const RawInput& input) {
    {
        std::lock_guard guard(QueueLock());
        Input().raw.push_back(input);
    }
    // Every thread with windows may route it; the desktop's thread is woken.
    if (Window* desktop = DesktopIfExists())
        desktop->thread->Wake();
}

void ResetInput() {
    std::lock_guard guard(QueueLock());
    InputState& input = Input();
    input.raw.clear();
    input.keyDown.fill(false);
    input.stylusDown = false;
    input.lastDownWindow = nullptr;
}

Window* HitTest(POINT screen, LRESULT* hitCode) {
    Window* desktop = Desktop();
    for (Window* top : desktop->children) {
        if (!(top->style & WS_VISIBLE))
            continue;
        RECT r = WindowScreenRect(top);
        if (!PtInRect(&r, screen))
            continue;
        if (top->style & WS_DISABLED)
            return nullptr;
        LRESULT hit = Send(top, WM_NCHITTEST, 0, PackPoint(screen.x, screen.y));
        if (hit == HTTRANSPARENT)
            continue;
        Window* found = HitIn(top, screen, hit);
        if (hitCode)
            *hitCode = hit;
        return found;
    }
    if (hitCode)
        *hitCode = HTCLIENT;
    return desktop;
}

bool TakeInput(ThreadState& thread, MSG& msg, HWND filter, UINT min, UINT max, Take take) {
    InputState& input = Input();
    RawInput raw;
    while (FrontRawInput(raw)) {
        LRESULT hit = HTCLIENT;
        Window* target = RouteInput(raw, hit);
        if (!target || target->destroyed) {
            PopRawInput();
            continue;
        }
        InputMessage m = TranslateInput(raw, target, hit, input);
        if (target->thread.get() != &thread) {
            if (take == Take::Peek)
                return false;
            PostToWindowThread(target, m, raw);
            continue;
        }
        if (!(min == 0 && max == 0) && (m.message < min || m.message > max))
            return false;
        if (filter && target->handle != filter && !IsDescendant(Peek(filter), target))
            return false;
        if (take == Take::Remove) {
            PopRawInput();
            if (!NoteTaken(thread, target, raw, m, input))
                continue;
        }
        msg = MSG{target->handle, m.message, m.wParam, m.lParam, raw.time, raw.point};
        if (take == Take::Remove)
            thread.last = msg;
        return true;
    }
    return false;
}

bool HasQueuedInput() {
    std::lock_guard guard(QueueLock());
    return !Input().raw.empty();
}

bool IsKeyDown(UINT vk) {
    std::lock_guard guard(QueueLock());
    return Input().keyDown[vk & 0xFF];
}

} // namespace user::detail

using namespace user::detail;

BOOL TranslateMessage(const MSG* lpMsg) {
    if (!lpMsg || lpMsg->message != WM_KEYDOWN)
        return FALSE;
    Locked lock;
    ThreadState& me = CurrentThread();
    WCHAR character = 0;
    if (lpMsg->wParam == me.lastKeyDownVk && lpMsg->lParam == me.lastKeyDownLParam && me.lastKeyDownChar)
        character = me.lastKeyDownChar;
    else
        character = DefaultCharacter(static_cast<UINT>(lpMsg->wParam));
    if (!character || !lpMsg->hwnd)
        return FALSE;
    Window* w = Peek(lpMsg->hwnd);
    if (!w)
        return FALSE;
    // The character comes next, before anything posted after the key.
    {
        std::lock_guard guard(QueueLock());
        w->thread->posted.push_front(
            MSG{lpMsg->hwnd, WM_CHAR, character, lpMsg->lParam, lpMsg->time, lpMsg->pt});
    }
    return TRUE;
}

SHORT GetKeyState(int nVirtKey) {
    return IsKeyDown(static_cast<UINT>(nVirtKey)) ? static_cast<SHORT>(0x8000) : SHORT{0};
}

SHORT GetAsyncKeyState(int vKey) {
    return GetKeyState(vKey);
}
