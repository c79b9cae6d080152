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

bool TakeInput(ThreadState& thread, MSG& msg, HWND filter, UINT min, UINT max, bool remove) {
    InputState& input = Input();
    for (;;) {
        RawInput raw;
        {
            std::lock_guard guard(QueueLock());
            if (input.raw.empty())
                return false;
            raw = input.raw.front();
        }
        bool stylus = raw.kind == RawKind::StylusDown || raw.kind == RawKind::StylusMove ||
                      raw.kind == RawKind::StylusUp;
        Window* target = nullptr;
        LRESULT hit = HTCLIENT;
        if (stylus) {
            target = Peek(g_capture);
            if (!target)
                target = HitTest(raw.point, &hit);
        } else {
            target = Peek(g_focus);
            if (!target)
                target = Peek(g_active);
        }
        if (!target || target->destroyed) {
            std::lock_guard guard(QueueLock());
            if (!input.raw.empty())
                input.raw.pop_front();
            continue;
        }
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        bool client = hit != HTNOWHERE && hit != HTERROR && (hit == HTCLIENT || Peek(g_capture) == target);
        POINT origin = ClientScreenOrigin(target);
        switch (raw.kind) {
        case RawKind::StylusDown:
            message = client ? WM_LBUTTONDOWN : WM_NCLBUTTONDOWN;
            wParam = client ? MK_LBUTTON : static_cast<WPARAM>(hit);
            break;
        case RawKind::StylusMove:
            message = WM_MOUSEMOVE;
            wParam = input.stylusDown ? MK_LBUTTON : 0;
            break;
        case RawKind::StylusUp:
            message = client ? WM_LBUTTONUP : WM_NCLBUTTONUP;
            wParam = client ? 0 : static_cast<WPARAM>(hit);
            break;
        case RawKind::KeyDown:
            message = WM_KEYDOWN;
            wParam = raw.vk;
            lParam = 1 | (input.keyDown[raw.vk & 0xFF] ? (1 << 30) : 0);
            break;
        case RawKind::KeyUp:
            message = WM_KEYUP;
            wParam = raw.vk;
            lParam = static_cast<LPARAM>(1u | (1u << 30) | (1u << 31));
            break;
        }
        if (stylus)
            lParam = client ? PackPoint(raw.point.x - origin.x, raw.point.y - origin.y)
                            : PackPoint(raw.point.x, raw.point.y);
        if (target->thread.get() != &thread) {
            // Another thread's window: the input becomes a message in its queue.
            if (!remove)
                return false;
            {
                std::lock_guard guard(QueueLock());
                if (!input.raw.empty())
                    input.raw.pop_front();
                target->thread->posted.push_back(
                    MSG{target->handle, message, wParam, lParam, raw.time, raw.point});
            }
            target->thread->Wake();
            continue;
        }
        if (!(min == 0 && max == 0) && (message < min || message > max))
            return false;
        if (filter && target->handle != filter && !IsDescendant(Peek(filter), target))
            return false;
        if (remove) {
            {
                std::lock_guard guard(QueueLock());
                if (!input.raw.empty())
                    input.raw.pop_front();
            }
            if (raw.kind == RawKind::StylusDown) {
                input.stylusDown = true;
                // A press activates the window's top-level window.
                Window* top = TopLevelOf(target);
                if (top && !IsDesktop(top) && !(top->exStyle & WS_EX_NOACTIVATE) &&
                    !(top->style & WS_DISABLED) && g_active != top->handle) {
                    Activate(top, WA_CLICKACTIVE);
                    if (target->destroyed)
                        continue;
                }
                bool quick = raw.time - input.lastDownTime <= static_cast<DWORD>(kDoubleClickTime);
                bool near = std::abs(raw.point.x - input.lastDownPoint.x) <= kDoubleClickSize / 2 &&
                            std::abs(raw.point.y - input.lastDownPoint.y) <= kDoubleClickSize / 2;
                bool dbl = client && (target->windowClass->info.style & CS_DBLCLKS) &&
                           input.lastDownWindow == target->handle && quick && near &&
                           !input.lastDownWasDouble;
                if (dbl)
                    message = WM_LBUTTONDBLCLK;
                input.lastDownWasDouble = dbl;
                input.lastDownWindow = target->handle;
                input.lastDownTime = raw.time;
                input.lastDownPoint = raw.point;
            } else if (raw.kind == RawKind::StylusUp) {
                input.stylusDown = false;
            } else if (raw.kind == RawKind::KeyDown) {
                input.keyDown[raw.vk & 0xFF] = true;
                thread.lastKeyDownVk = raw.vk;
                thread.lastKeyDownLParam = lParam;
                thread.lastKeyDownChar = raw.character;
            } else if (raw.kind == RawKind::KeyUp) {
                input.keyDown[raw.vk & 0xFF] = false;
            }
        }
        msg = MSG{target->handle, message, wParam, lParam, raw.time, raw.point};
        if (remove)
            thread.last = msg;
        return true;
    }
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
