#pragma once
// The window system's own state: windows, classes, thread queues and the lock that guards them.
//
// One recursive lock (the window lock) is held by every call that reads or changes windows, for the whole
// call, window procedures included; a thread lets go of it only while it waits for messages. A second,
// plain lock guards the handle table and the queues, so that PostMessageW works from any thread without
// the window lock.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gdi/Region.h"
#include "user/Dialog.h"
#include "user/Messages.h"
#include "user/Window.h"

namespace display {
struct ScreenOptions;
}

namespace user::detail {

// --- locks -------------------------------------------------------------------------------------------

// Holds the window lock for its scope.
class Locked {
public:
    Locked();
    ~Locked();
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// Lets go of every level of the window lock that this thread holds, for a wait.
class Unlocked {
public:
    Unlocked();
    ~Unlocked();
    Unlocked(const Unlocked&) = delete;
    Unlocked& operator=(const Unlocked&) = delete;

private:
    int m_depth;
};

// --- classes -----------------------------------------------------------------------------------------

struct WindowClass {
    std::u16string name;
    WNDCLASSW info{}; // lpszClassName points at name
    ATOM atom = 0;
    bool system = false;
    int windows = 0;
};

std::shared_ptr<WindowClass> FindClass(LPCWSTR name);
void RegisterBuiltInClasses();

// --- threads and queues ------------------------------------------------------------------------------

struct ThreadState;

struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<ThreadState> sender;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT period;
    ULONGLONG due;
    TIMERPROC proc;
};

// A modal loop running on the thread, innermost last.
struct ModalFrame {
    enum class Kind { Dialog, MessageBox, Menu };
    Kind kind;
    HWND window;
    std::function<void()> cancel;
    // The loop's own handling of a message before it is dispatched; true when it took it.
    std::function<bool(MSG&)> filter;
    // Virtual time the loop has jumped over waiting for timers.
    ULONGLONG virtualWaited = 0;
};

struct Hook {
    HHOOK handle;
    int type;
    HOOKPROC proc;
};

struct ThreadState {
    ThreadState();
    ~ThreadState();
    ThreadState(const ThreadState&) = delete;
    ThreadState& operator=(const ThreadState&) = delete;

    // Wakes the thread from its wait.
    void Wake();
    void DrainWake();

    DWORD threadId = 0;
    int wakeFd = -1;
    bool alive = true;
    // Guarded by the queue lock.
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> incoming;
    // The thread's own.
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    int sendDepth = 0;
    int inSend = 0;
    MSG last{};
    std::vector<ModalFrame*> modal;
    std::vector<Hook> hooks;
    // The character that the raw key down last taken typed, for TranslateMessage.
    UINT lastKeyDownVk = 0;
    LPARAM lastKeyDownLParam = 0;
    WCHAR lastKeyDownChar = 0;
    // Paint bookkeeping: a WM_PAINT being dispatched and whether it began a paint.
    int paintsBegun = 0;
};

std::mutex& QueueLock();
ThreadState& CurrentThread();
std::shared_ptr<ThreadState> CurrentThreadShared();

// --- windows -----------------------------------------------------------------------------------------

struct DialogState {
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    HFONT font = nullptr;
    bool ownsFont = false;
    SIZE baseUnits{4, 8};
    WORD defaultId = 0;
    HWND savedFocus = nullptr;
};

struct Window : std::enable_shared_from_this<Window> {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> windowClass;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{}; // in the parent's client coordinates; the desktop's client area is the screen
    Window* parent = nullptr;
    Window* owner = nullptr;
    std::vector<Window*> children; // z-order, top first
    std::u16string text;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    std::vector<BYTE> extra;
    std::shared_ptr<ThreadState> thread;
    // Painting: the invalid area in client coordinates.
    gdi::Region update;
    bool erase = false;
    bool frameDirty = false;
    bool redraw = true;
    // Lifetime.
    bool destroying = false;
    bool destroyed = false;
    HICON iconSmall = nullptr;
    HICON iconBig = nullptr;
    std::unique_ptr<DialogState> dialog;
    // Cached visible regions (screen coordinates) and the epoch they belong to.
    uint64_t clientVisibleEpoch = ~uint64_t{0};
    gdi::Region clientVisible;
    uint64_t windowVisibleEpoch = ~uint64_t{0};
    gdi::Region windowVisible;
};

// The window of a handle of this process that is not destroyed; null with ERROR_INVALID_WINDOW_HANDLE
// (or ERROR_ACCESS_DENIED for a window of another process) otherwise.
std::shared_ptr<Window> FindWindowObject(HWND hwnd);
Window* Find(HWND hwnd);
// Without setting the last error.
Window* Peek(HWND hwnd);
bool IsForeignHandle(HWND hwnd);
DWORD ThisProcess();
DWORD ProcessOfHandle(HWND hwnd);
HWND NewHandle();
void InsertWindow(const std::shared_ptr<Window>& window);
// Marks the window destroyed and takes it out of the table.
void RemoveWindow(HWND hwnd);
bool DestroyWindowObject(Window* w);
// Every live window of the process.
std::vector<std::shared_ptr<Window>> AllWindows();

Window* Desktop();
// The desktop when it exists, without making it.
Window* DesktopIfExists();
bool IsDesktop(const Window* w);
// The window's top-level ancestor (itself when top-level); the desktop for the desktop.
Window* TopLevelOf(Window* w);
bool IsDescendant(const Window* ancestor, const Window* w);
bool IsTopLevel(const Window* w);

// Changes of geometry, visibility, z-order or style that affect clipping.
void BumpEpoch();
uint64_t Epoch();

// Geometry.
RECT FrameInsets(DWORD style, DWORD exStyle);
// The window's rectangle and client rectangle in screen coordinates.
RECT WindowScreenRect(const Window* w);
RECT ClientScreenRect(const Window* w);
POINT ClientScreenOrigin(const Window* w);
// The size of the client rectangle, without walking up the parents.
SIZE ClientSize(const Window* w);
// WS_VISIBLE on the window and its ancestors, and redraw on for all of them.
bool IsShown(const Window* w);
bool IsDrawable(const Window* w);
// A part of a window: its client area, or the whole window with its frame.
enum class Part { Client, Whole };
// What of the part of the window is not covered, in screen coordinates.
const gdi::Region& VisibleRegion(Window* w, Part part);

// Window procedures.
LRESULT Send(Window* w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallProc(Window* w, WNDPROC proc, UINT message, WPARAM wParam, LPARAM lParam);
void PostToWindow(Window* w, UINT message, WPARAM wParam, LPARAM lParam);

// Focus and activation.
extern HWND g_focus;
extern HWND g_active;
extern HWND g_capture;
extern HWND g_foreground;
HWND SetFocusTo(Window* w);
void Activate(Window* top, WORD state);
// Activates another window after the active one is hidden or destroyed.
void ActivateNext(Window* leaving);
void ReleaseCaptureIfInside(Window* w);
// Calls the shell's foreground observer (user/Foreground.h).
void NotifyForegroundChanged();

// Painting.
void InvalidateClient(Window* w, const gdi::Region& region, bool erase);
void InvalidateWhole(Window* w, bool erase);
// Invalidates what of a screen region lies on root and its visible descendants, except skip's subtree.
void InvalidateScreenRegion(const gdi::Region& screenRegion, Window* root, Window* skip);
bool NeedsPaint(const Window* w);
Window* FindPaintTarget(const ThreadState& thread, Window* within);
void PaintNow(Window* w);
void RefreshLiveDCs();
void ForgetDCsOf(Window* w);
void DrawFrame(Window* w, HDC hdc);
// The screen's DC for the platform's own drawing; deleted with gdi::DeleteSurfaceDC.
HDC ScreenDC();

// Input.
enum class RawKind { StylusDown, StylusMove, StylusUp, KeyDown, KeyUp };
struct RawInput {
    RawKind kind;
    POINT point;
    UINT vk;
    WCHAR character;
    DWORD time;
};
void QueueRawInput(const RawInput& input);
// Whether taking a message leaves it in the queue (PeekMessageW with PM_NOREMOVE) or takes it out.
enum class Take { Peek, Remove };
// Takes the oldest raw input and turns it into a message for this thread; false when there is none
// for it.
bool TakeInput(ThreadState& thread, MSG& msg, HWND filter, UINT min, UINT max, Take take);
bool IsKeyDown(UINT vk);
void ResetInput();
bool HasQueuedInput();
// The window a stylus event at a screen point goes to (NULL: none), and its WM_NCHITTEST answer.
Window* HitTest(POINT screen, LRESULT* hitCode = nullptr);

// The queue.
// One pass over the queue: fills msg and returns true when something was taken.
bool TakeMessage(ThreadState& thread, MSG& msg, HWND filter, UINT min, UINT max, Take take);
// Waits for work: returns when something may be in the queue. False when the wait gave up (tests).
bool WaitForWork(ThreadState& thread);
void HandleIncomingSends(ThreadState& thread);
void RemoveTimersOf(Window* w);
void DropMessagesOf(Window* w);
std::optional<ULONGLONG> NextTimerDue(const ThreadState& thread);

// Runs a modal loop until done() is true. The loop runs filter on each message first (it answers
// true when it handled the message). False when WM_QUIT ended the loop (it is posted again).
struct ModalHookInfo;
bool RunModalLoop(ModalFrame& frame, const std::function<bool()>& done,
                  const std::function<bool(MSG&)>& filter, const ModalHookInfo* hook);
// Waits at most milliseconds (real time) for something to arrive.
void WaitBriefly(ThreadState& thread, int milliseconds);

// Built-in window procedures.
LRESULT CALLBACK PopupMenuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PushButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Dialogs.
LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
HWND CreateDialogFromTemplate(HINSTANCE instance, const BYTE* data, size_t size, HWND parent, DLGPROC proc,
                              LPARAM param, bool modal);
// Runs a dialog modally; a modal loop nobody answers in a test is dismissed with cancelResult.
INT_PTR RunModalDialog(HWND dialog, HWND owner, ModalFrame::Kind kind = ModalFrame::Kind::Dialog,
                       std::u16string text = {}, INT_PTR cancelResult = IDCANCEL);
// A dialog window without a template, placed in screen pixels, with the system font.
HWND CreatePlainDialog(DWORD style, DWORD exStyle, const RECT& rect, LPCWSTR caption, HWND owner,
                       DLGPROC proc, LPARAM param);
DialogState* DialogOf(HWND hwnd);
HFONT SystemFont();
SIZE BaseUnitsOf(HFONT font);

// Remote windows of other processes.
struct RemoteWindow {
    HWND hwnd = nullptr;
    std::u16string title;
    std::u16string className;
    std::u16string module;
    bool visible = false;
};
void EnsureListening();
int ListenerFd();
void ServeIncomingRequests();
// Serves requests when a wait saw the socket readable, and now and then while the thread is busy.
void ServeRequestsIfWaiting();
void NoteListenerReadable();
std::vector<RemoteWindow> OtherProcessesWindows();
std::optional<RemoteWindow> RemoteWindowInfo(HWND hwnd);
std::optional<LRESULT> RemoteCopyData(HWND hwnd, WPARAM wParam, const COPYDATASTRUCT* data);
bool RemoteSetForeground(HWND hwnd);
// The device's other processes that listen for requests.
std::vector<DWORD> OtherProcesses();
// Requests beyond the window system's own (types from 0x10 up), for user/RemoteControl.h.
struct RemoteReply {
    uint64_t wParam = 0;
    uint64_t data = 0;
    std::vector<uint8_t> payload;
};
// Sends a request to a process and waits for its reply; nullopt when the process could not be reached.
std::optional<RemoteReply> RemoteRequest(DWORD pid, uint32_t type, HWND hwnd, uint64_t wParam, uint64_t data,
                                         const std::vector<uint8_t>& payload);
// Serves such a request in this process; false for a type it does not know (the request then goes
// unanswered).
bool ServeControlRequest(uint32_t type, HWND hwnd, uint64_t wParam, uint64_t data,
                         const std::vector<uint8_t>& payload, RemoteReply& reply);

// The screen and the display. EnsureScreen gives the screen its size; EnsureDisplay also opens the
// display's backend (an X11 window when asked for), which only a process with windows needs.
void EnsureScreen();
void EnsureDisplay();
void PresentScreen();
void ResizeScreen(SIZE size);
RECT ScreenRect();
RECT WorkArea();
void SetWorkArea(const RECT& area);
// Opens the screen with other options (size, backend), for the test surface.
bool OpenDisplay(const display::ScreenOptions& options);
void EnsurePlatformFonts();

// The test surface's hooks.
struct ModalHookInfo {
    ModalFrame::Kind kind;
    HWND window;
    std::u16string text; // a message box's text
};
void RunModalHook(const ModalHookInfo& info);
// Called before a wait that could last forever; true to give up waiting.
bool IdleWaitGivesUp(ThreadState& thread);
bool IsStrictTesting();
void ReportTestFailure(const std::string& text);
void ResetCursor();
void CursorAfterPaint(const gdi::Region& painted);
bool IsWaitCursorShown();

// Text helpers.
bool EqualNoCase(std::u16string_view a, std::u16string_view b);
std::string Narrow(std::u16string_view text);

} // namespace user::detail
