#include "user/TestSurface.h"

#include <chrono>
#include <deque>
#include <sstream>

#include "Internal.h"
#include "display/Display.h"
#include "gdi/Surface.h"
#include "kernel/Time.h"
#include "user/Dialog.h"
#include "user/Paint.h"
#include "user/RemoteControl.h"

namespace user::detail {

std::optional<RECT> CurrentMenuItemRect(UINT id);
bool ChooseMenuItem(HWND menuWindow, UINT id);

namespace {

struct Script {
    test::ModalKind kind;
    std::u16string title;
    test::ModalAction action;
};

struct Surface {
    std::deque<Script> scripts;
    std::function<void(const std::string&)> failure;
};

Surface& TheSurface() {
    static Surface* surface = new Surface;
    return *surface;
}

test::ModalKind KindOf(ModalFrame::Kind kind) {
    switch (kind) {
    case ModalFrame::Kind::Dialog:
        return test::ModalKind::Dialog;
    case ModalFrame::Kind::MessageBox:
        return test::ModalKind::MessageBox;
    case ModalFrame::Kind::Menu:
        return test::ModalKind::Menu;
    }
    return test::ModalKind::Dialog;
}

const char* NameOf(test::ModalKind kind) {
    switch (kind) {
    case test::ModalKind::Dialog:
        return "dialog";
    case test::ModalKind::MessageBox:
        return "message box";
    case test::ModalKind::Menu:
        return "popup menu";
    }
    return "modal loop";
}

void CancelInnermost() {
    ThreadState& me = CurrentThread();
    if (!me.modal.empty() && me.modal.back()->cancel)
        me.modal.back()->cancel();
}

void Describe(std::ostringstream& out, const test::WindowNode& node, int depth) {
    out << std::string(static_cast<size_t>(depth) * 2, ' ') << Narrow(node.className) << " \""
        << Narrow(node.text) << "\" id=" << node.id << " style=0x" << std::hex << node.style << std::dec
        << " (" << node.rect.left << "," << node.rect.top << ")-(" << node.rect.right << ","
        << node.rect.bottom << ")\n";
    for (const auto& child : node.children)
        Describe(out, child, depth + 1);
}

test::WindowNode NodeOf(Window* w) {
    test::WindowNode node{w->handle,
                          w->windowClass->name,
                          w->text,
                          w->style,
                          w->exStyle,
                          static_cast<int>(w->id),
                          WindowScreenRect(w),
                          {}};
    for (Window* child : w->children)
        node.children.push_back(NodeOf(child));
    return node;
}

DWORD Now() {
    return static_cast<DWORD>(kernel::ClockMilliseconds());
}

void Queue(RawKind kind, POINT point, UINT vk = 0, WCHAR character = 0) {
    Locked lock;
    Desktop();
    QueueRawInput(RawInput{kind, point, vk, character, Now()});
}

// The loop that runs: the innermost modal loop's handling, or the program's, where messages for a dialog go
// through the dialog manager first.
void Handle(MSG& msg) {
    ThreadState& me = CurrentThread();
    if (!me.modal.empty() && me.modal.back()->filter) {
        if (me.modal.back()->filter(msg))
            return;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        return;
    }
    if (msg.hwnd) {
        Window* w = Peek(msg.hwnd);
        Window* top = w ? TopLevelOf(w) : nullptr;
        if (top && !IsDesktop(top) && top->dialog && IsDialogMessageW(top->handle, &msg))
            return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

} // namespace

void RunModalHook(const ModalHookInfo& info) {
    Surface& surface = TheSurface();
    test::ModalInfo modal{KindOf(info.kind), info.window, WindowText(info.window), info.text};
    for (auto it = surface.scripts.begin(); it != surface.scripts.end(); ++it) {
        if (it->kind != modal.kind || (!it->title.empty() && it->title != modal.title))
            continue;
        test::ModalAction action = std::move(it->action);
        surface.scripts.erase(it);
        action(modal);
        return;
    }
    if (!surface.failure)
        return;
    std::string text = std::string("unexpected ") + NameOf(modal.kind) + " \"" + Narrow(modal.title) + "\"";
    if (!modal.text.empty())
        text += ": " + Narrow(modal.text);
    surface.failure(text);
    CancelInnermost();
}

bool IdleWaitGivesUp(ThreadState& thread) {
    Surface& surface = TheSurface();
    if (!surface.failure)
        return false;
    std::string text = "the window system waited for input that never came";
    if (!thread.modal.empty())
        text += " (in the modal loop of \"" + Narrow(WindowText(thread.modal.back()->window)) + "\")";
    surface.failure(text);
    return true;
}

bool IsStrictTesting() {
    return static_cast<bool>(TheSurface().failure);
}

void ReportTestFailure(const std::string& text) {
    if (TheSurface().failure)
        TheSurface().failure(text);
}

} // namespace user::detail

namespace user::test {

using namespace user::detail;

void ResetWindowSystem(SIZE screen) {
    Locked lock;
    Surface& surface = TheSurface();
    surface.scripts.clear();
    surface.failure = nullptr;
    Window* desktop = Desktop();
    ThreadState& me = CurrentThread();
    std::vector<HWND> tops;
    for (Window* top : desktop->children)
        if (top->thread.get() == &me)
            tops.push_back(top->handle);
    for (HWND h : tops)
        if (Window* w = Peek(h))
            DestroyWindowObject(w);
    {
        std::lock_guard guard(QueueLock());
        me.posted.clear();
    }
    me.timers.clear();
    me.quit = false;
    me.hooks.clear();
    ResetInput();
    g_focus = nullptr;
    g_active = nullptr;
    g_capture = nullptr;
    g_foreground = nullptr;
    ResetCursor();
    ResizeScreen(screen);
    desktop->rect = detail::ScreenRect();
    BumpEpoch();
    InvalidateWhole(desktop, true);
}

void UseVirtualClock() {
    kernel::UseVirtualClock();
}

bool UseX11Display(const std::string& displayName, int scale) {
    Locked lock;
    Desktop();
    SIZE size = gdi::ScreenSize();
    display::ScreenOptions options;
    options.width = size.cx;
    options.height = size.cy;
    options.backend = display::Backend::X11;
    options.x11Display = displayName;
    options.scale = scale;
    bool opened = OpenDisplay(options) && display::CurrentBackend() == display::Backend::X11;
    return opened;
}

void StylusDown(POINT screen) {
    Queue(RawKind::StylusDown, screen);
}

void StylusMove(POINT screen) {
    Queue(RawKind::StylusMove, screen);
}

void StylusUp(POINT screen) {
    Queue(RawKind::StylusUp, screen);
}

void Tap(POINT screen) {
    StylusDown(screen);
    StylusUp(screen);
}

bool TapWindow(HWND window, std::optional<POINT> client) {
    POINT point{};
    {
        Locked lock;
        Window* w = Peek(window);
        if (!w)
            return false;
        RECT r = ClientScreenRect(w);
        point = client ? POINT{r.left + client->x, r.top + client->y}
                       : POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    Tap(point);
    return true;
}

bool TapControl(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return false;
    RECT r = ScreenRect(control);
    Tap(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return true;
}

void Drag(POINT from, POINT to, int steps) {
    StylusDown(from);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i)
        StylusMove(POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    StylusUp(to);
}

void KeyDown(UINT virtualKey, WCHAR character) {
    Queue(RawKind::KeyDown, POINT{0, 0}, virtualKey, character);
}

void KeyUp(UINT virtualKey) {
    Queue(RawKind::KeyUp, POINT{0, 0}, virtualKey);
}

void PressKey(UINT virtualKey, WCHAR character) {
    KeyDown(virtualKey, character);
    KeyUp(virtualKey);
}

void TypeText(std::u16string_view text) {
    for (char16_t c : text)
        PressKey(remote::VirtualKeyOf(c), c);
}

void RunUntilIdle() {
    Locked lock;
    ThreadState& me = CurrentThread();
    MSG msg;
    while (TakeMessage(me, msg, nullptr, 0, 0, Take::Remove)) {
        if (msg.message == WM_QUIT) {
            me.quit = true;
            me.quitCode = static_cast<int>(msg.wParam);
            break;
        }
        Handle(msg);
    }
    PresentScreen();
}

void AdvanceTime(ULONGLONG milliseconds) {
    ULONGLONG target = kernel::ClockMilliseconds() + milliseconds;
    for (;;) {
        RunUntilIdle();
        std::optional<ULONGLONG> next;
        {
            Locked lock;
            next = NextTimerDue(CurrentThread());
        }
        ULONGLONG now = kernel::ClockMilliseconds();
        if (!next || *next > target)
            break;
        if (*next > now)
            kernel::AdvanceClock(*next - now);
    }
    ULONGLONG now = kernel::ClockMilliseconds();
    if (target > now)
        kernel::AdvanceClock(target - now);
    RunUntilIdle();
}

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        RunUntilIdle();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Locked lock;
        WaitBriefly(CurrentThread(), 20);
    }
}

void AnswerNextMessageBox(int button) {
    Locked lock;
    TheSurface().scripts.push_back(
        Script{ModalKind::MessageBox, u"", [button](const ModalInfo& info) {
                   HWND control = GetDlgItem(info.window, button);
                   if (!control) {
                       ReportTestFailure("the message box \"" + Narrow(info.text) + "\" has no button " +
                                         std::to_string(button));
                       CancelInnermost();
                       return;
                   }
                   SendMessageW(info.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                                reinterpret_cast<LPARAM>(control));
               }});
}

void AnswerNextDialog(std::u16string title, int buttonId) {
    Locked lock;
    TheSurface().scripts.push_back(
        Script{ModalKind::Dialog, std::move(title), [buttonId](const ModalInfo& info) {
                   HWND control = GetDlgItem(info.window, buttonId);
                   SendMessageW(info.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                                reinterpret_cast<LPARAM>(control));
               }});
}

void AnswerNextMenu(UINT itemId) {
    Locked lock;
    TheSurface().scripts.push_back(Script{ModalKind::Menu, u"", [itemId](const ModalInfo& info) {
                                              if (!ChooseMenuItem(info.window, itemId)) {
                                                  ReportTestFailure("the popup menu has no item " +
                                                                    std::to_string(itemId));
                                                  CancelInnermost();
                                              }
                                          }});
}

void OnNextModal(ModalKind kind, std::u16string title, ModalAction action) {
    Locked lock;
    TheSurface().scripts.push_back(Script{kind, std::move(title), std::move(action)});
}

size_t PendingAnswers() {
    Locked lock;
    return TheSurface().scripts.size();
}

void SetFailureHandler(std::function<void(const std::string&)> handler) {
    Locked lock;
    TheSurface().failure = std::move(handler);
}

std::vector<WindowNode> WindowTree() {
    Locked lock;
    std::vector<WindowNode> tree;
    ThreadState& me = CurrentThread();
    for (Window* top : Desktop()->children)
        if (top->thread.get() == &me)
            tree.push_back(NodeOf(top));
    return tree;
}

std::string DumpWindowTree() {
    std::ostringstream out;
    for (const auto& node : WindowTree())
        Describe(out, node, 0);
    return out.str();
}

std::u16string Text(HWND window) {
    Locked lock;
    Window* w = Peek(window);
    return w ? w->text : std::u16string();
}

DWORD Style(HWND window) {
    Locked lock;
    Window* w = Peek(window);
    return w ? w->style : 0;
}

RECT ScreenRect(HWND window) {
    Locked lock;
    Window* w = Peek(window);
    return w ? WindowScreenRect(w) : RECT{0, 0, 0, 0};
}

COLORREF ScreenPixel(int x, int y) {
    return display::ScreenPixel(x, y);
}

COLORREF WindowPixel(HWND window, int x, int y) {
    POINT origin{};
    {
        Locked lock;
        Window* w = Peek(window);
        if (!w)
            return 0xFFFFFFFF;
        origin = ClientScreenOrigin(w);
    }
    return display::ScreenPixel(origin.x + x, origin.y + y);
}

bool SaveScreenshot(const std::filesystem::path& file) {
    return display::SaveScreenshot(file);
}

std::optional<RECT> MenuItemRect(UINT itemId) {
    Locked lock;
    return CurrentMenuItemRect(itemId);
}

HWND CurrentModalWindow() {
    Locked lock;
    ThreadState& me = CurrentThread();
    return me.modal.empty() ? nullptr : me.modal.back()->window;
}

} // namespace user::test
