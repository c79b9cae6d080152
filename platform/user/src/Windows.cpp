#include <algorithm>
#include <cstring>

#include "Internal.h"
#include "gdi/Gdi.h"
#include "kernel/Errors.h"
#include "kernel/Modules.h"
#include "kernel/Processes.h"
#include "user/Paint.h"
#include "user/System.h"

namespace user::detail {

namespace {

void InsertIntoTree(Window* w, Window* parent) {
    w->parent = parent;
    auto& siblings = parent->children;
    if (!IsDesktop(parent)) {
        siblings.push_back(w);
        return;
    }
    // Top-level windows go on top of their group: topmost windows above the others.
    auto it = siblings.begin();
    if (!(w->exStyle & WS_EX_TOPMOST))
        while (it != siblings.end() && ((*it)->exStyle & WS_EX_TOPMOST))
            ++it;
    siblings.insert(it, w);
}

void Unlink(Window* w) {
    if (w->parent)
        std::erase(w->parent->children, w);
    for (auto& other : AllWindows())
        if (other->owner == w)
            other->owner = nullptr;
    w->parent = nullptr;
    w->children.clear();
    if (g_focus == w->handle)
        g_focus = nullptr;
    if (g_capture == w->handle)
        g_capture = nullptr;
    if (g_active == w->handle)
        g_active = nullptr;
    if (g_foreground == w->handle)
        g_foreground = nullptr;
    RemoveTimersOf(w);
    DropMessagesOf(w);
    ForgetDCsOf(w);
    if (w->dialog && w->dialog->ownsFont && w->dialog->font)
        DeleteObject(w->dialog->font);
    if (w->dialog)
        w->dialog->font = nullptr;
    w->windowClass->windows--;
    RemoveWindow(w->handle);
    BumpEpoch();
}

std::vector<HWND> ChildHandles(const Window* w) {
    std::vector<HWND> handles;
    handles.reserve(w->children.size());
    for (const Window* c : w->children)
        handles.push_back(c->handle);
    return handles;
}

void SendDestroy(Window* w) {
    w->destroying = true;
    Send(w, WM_DESTROY, 0, 0);
    for (HWND child : ChildHandles(w)) {
        Window* c = Peek(child);
        if (c && !c->destroying) {
            auto keep = c->shared_from_this();
            SendDestroy(c);
        }
    }
}

void Finalize(Window* w) {
    for (HWND child : ChildHandles(w)) {
        Window* c = Peek(child);
        if (c) {
            auto keep = c->shared_from_this();
            Finalize(c);
        }
    }
    if (w->destroyed)
        return;
    Send(w, WM_NCDESTROY, 0, 0);
    Unlink(w);
}

bool CallCbtHooks(int code, WPARAM wParam, LPARAM lParam) {
    ThreadState& thread = CurrentThread();
    for (size_t i = 0; i < thread.hooks.size(); ++i) {
        Hook hook = thread.hooks[i];
        if (hook.type == WH_CBT && hook.proc(code, wParam, lParam) != 0)
            return true;
    }
    return false;
}

bool ClassMatches(const std::u16string& className, LPCWSTR wanted) {
    if (!wanted)
        return true;
    if (IS_INTRESOURCE(wanted)) {
        auto c = FindClass(wanted);
        return c && EqualNoCase(c->name, className);
    }
    return EqualNoCase(className, wanted);
}

} // namespace

bool DestroyWindowObject(Window* w) {
    if (w->destroying)
        return true;
    auto keep = w->shared_from_this();
    if (CallCbtHooks(HCBT_DESTROYWND, reinterpret_cast<WPARAM>(w->handle), 0))
        return false;
    w->destroying = true;
    // Owned windows go first.
    std::vector<HWND> owned;
    for (auto& other : AllWindows())
        if (other->owner == w && !other->destroying)
            owned.push_back(other->handle);
    for (HWND h : owned)
        if (Window* o = Peek(h))
            DestroyWindowObject(o);
    if (w->style & WS_VISIBLE) {
        gdi::Region exposed = VisibleRegion(w, Part::Whole);
        w->style &= ~WS_VISIBLE;
        BumpEpoch();
        if (!exposed.IsEmpty())
            InvalidateScreenRegion(exposed, IsTopLevel(w) ? Desktop() : w->parent, w);
    }
    Window* active = Peek(g_active);
    if (active && IsDescendant(w, active))
        ActivateNext(w);
    Window* focus = Peek(g_focus);
    if (focus && IsDescendant(w, focus)) {
        Window* parent = w->parent;
        if (parent && !IsDesktop(parent) && !parent->destroying)
            SetFocusTo(parent);
        else
            SetFocusTo(nullptr);
    }
    ReleaseCaptureIfInside(w);
    w->destroying = false;
    SendDestroy(w);
    Finalize(w);
    return true;
}

} // namespace user::detail

using namespace user::detail;

HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                     LPVOID lpParam) {
    Locked lock;
    Window* desktop = Desktop();
    auto windowClass = FindClass(lpClassName);
    if (!windowClass)
        return kernel::Fail(ERROR_CANNOT_FIND_WND_CLASS, nullptr);
    Window* given = nullptr;
    if (hWndParent && hWndParent != desktop->handle) {
        given = Find(hWndParent);
        if (!given)
            return nullptr;
    }
    bool child = (dwStyle & WS_CHILD) != 0;
    if (child && !given)
        return kernel::Fail(ERROR_TLW_WITH_WSCHILD, nullptr);
    Window* parent = child ? given : desktop;
    Window* owner = child || !given ? nullptr : TopLevelOf(given);

    bool visible = (dwStyle & WS_VISIBLE) != 0;
    DWORD style = dwStyle & ~WS_VISIBLE;
    if (!child) {
        style |= WS_CLIPSIBLINGS;
        if (!(style & WS_POPUP))
            style |= WS_CAPTION;
    }
    if (X == CW_USEDEFAULT || Y == CW_USEDEFAULT || nWidth == CW_USEDEFAULT || nHeight == CW_USEDEFAULT) {
        RECT area = child ? RECT{0, 0, 0, 0} : WorkArea();
        if (X == CW_USEDEFAULT) {
            X = area.left;
            Y = area.top;
        }
        if (nWidth == CW_USEDEFAULT) {
            nWidth = area.right - area.left;
            nHeight = area.bottom - area.top;
        }
    }
    nWidth = std::max(0, nWidth);
    nHeight = std::max(0, nHeight);

    auto w = std::make_shared<Window>();
    w->handle = NewHandle();
    w->windowClass = windowClass;
    w->proc = windowClass->info.lpfnWndProc;
    w->style = style;
    w->exStyle = dwExStyle;
    w->rect = RECT{X, Y, X + nWidth, Y + nHeight};
    w->owner = owner;
    w->id = child ? reinterpret_cast<LONG_PTR>(hMenu) : 0;
    w->instance = hInstance;
    w->extra.assign(static_cast<size_t>(windowClass->info.cbWndExtra), 0);
    w->thread = CurrentThreadShared();
    windowClass->windows++;
    InsertWindow(w);
    InsertIntoTree(w.get(), parent);
    BumpEpoch();
    EnsureListening();

    CREATESTRUCTW create{
        lpParam,      hInstance,   hMenu,    hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
        lpWindowName, lpClassName, dwExStyle};
    CBT_CREATEWNDW cbt{&create, HWND_TOP};
    if (CallCbtHooks(HCBT_CREATEWND, reinterpret_cast<WPARAM>(w->handle), reinterpret_cast<LPARAM>(&cbt))) {
        Finalize(w.get());
        return kernel::Fail(ERROR_ACCESS_DENIED, nullptr);
    }
    if (!Send(w.get(), WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
        if (!w->destroyed)
            Finalize(w.get());
        return nullptr;
    }
    if (w->destroyed)
        return nullptr;
    if (Send(w.get(), WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        if (!w->destroyed)
            DestroyWindowObject(w.get());
        return nullptr;
    }
    if (w->destroyed)
        return nullptr;
    RECT client = ClientScreenRect(w.get());
    Send(w.get(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right - client.left, client.bottom - client.top));
    if (w->destroyed)
        return nullptr;
    POINT origin = ClientScreenOrigin(w.get());
    POINT parentOrigin = ClientScreenOrigin(w->parent);
    Send(w.get(), WM_MOVE, 0, MAKELPARAM(origin.x - parentOrigin.x, origin.y - parentOrigin.y));
    if (w->destroyed)
        return nullptr;
    if (visible) {
        if (child) {
            w->style |= WS_VISIBLE;
            BumpEpoch();
            InvalidateWhole(w.get(), true);
        } else {
            ShowWindow(w->handle, SW_SHOW);
        }
    }
    return w->destroyed ? nullptr : w->handle;
}

BOOL DestroyWindow(HWND hWnd) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    if (IsDesktop(w))
        return kernel::Fail(ERROR_ACCESS_DENIED, FALSE);
    if (w->thread.get() != &CurrentThread())
        return kernel::Fail(ERROR_ACCESS_DENIED, FALSE);
    return DestroyWindowObject(w) ? TRUE : FALSE;
}

BOOL IsWindow(HWND hWnd) {
    if (!hWnd)
        return FALSE;
    if (IsForeignHandle(hWnd))
        return RemoteWindowInfo(hWnd) ? TRUE : FALSE;
    Locked lock;
    return Peek(hWnd) ? TRUE : FALSE;
}

HWND GetDesktopWindow() {
    Locked lock;
    return Desktop()->handle;
}

HWND GetParent(HWND hWnd) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return nullptr;
    if (w->style & WS_CHILD)
        return w->parent && !IsDesktop(w->parent) ? w->parent->handle : nullptr;
    return w->owner ? w->owner->handle : nullptr;
}

HWND SetParent(HWND hWndChild, HWND hWndNewParent) {
    Locked lock;
    Window* w = Find(hWndChild);
    if (!w || IsDesktop(w))
        return nullptr;
    Window* desktop = Desktop();
    Window* parent = desktop;
    if (hWndNewParent && hWndNewParent != desktop->handle) {
        parent = Find(hWndNewParent);
        if (!parent)
            return nullptr;
        if (IsDescendant(w, parent))
            return kernel::Fail(ERROR_INVALID_PARAMETER, nullptr);
    }
    Window* old = w->parent;
    HWND oldHandle = old ? old->handle : nullptr;
    if (old == parent)
        return oldHandle;
    bool shown = IsDrawable(w);
    if (shown) {
        gdi::Region exposed = VisibleRegion(w, Part::Whole);
        InvalidateScreenRegion(exposed, IsTopLevel(w) ? desktop : old, w);
    }
    if (old)
        std::erase(old->children, w);
    InsertIntoTree(w, parent);
    BumpEpoch();
    if (IsDrawable(w))
        InvalidateWhole(w, true);
    return oldHandle;
}

HWND GetWindow(HWND hWnd, UINT uCmd) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return nullptr;
    if (uCmd == GW_CHILD)
        return w->children.empty() ? nullptr : w->children.front()->handle;
    if (uCmd == GW_OWNER)
        return w->owner ? w->owner->handle : nullptr;
    if (!w->parent)
        return nullptr;
    auto& siblings = w->parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), w);
    switch (uCmd) {
    case GW_HWNDFIRST:
        return siblings.front()->handle;
    case GW_HWNDLAST:
        return siblings.back()->handle;
    case GW_HWNDNEXT:
        return it != siblings.end() && it + 1 != siblings.end() ? (*(it + 1))->handle : nullptr;
    case GW_HWNDPREV:
        return it != siblings.begin() && it != siblings.end() ? (*(it - 1))->handle : nullptr;
    default:
        return kernel::Fail(ERROR_INVALID_PARAMETER, nullptr);
    }
}

HWND GetAncestor(HWND hWnd, UINT gaFlags) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return nullptr;
    switch (gaFlags) {
    case GA_PARENT:
        return w->parent ? w->parent->handle : nullptr;
    case GA_ROOT:
        return IsDesktop(w) ? w->handle : TopLevelOf(w)->handle;
    case GA_ROOTOWNER: {
        Window* top = TopLevelOf(w);
        while (top && top->owner)
            top = top->owner;
        return top ? top->handle : nullptr;
    }
    default:
        return kernel::Fail(ERROR_INVALID_PARAMETER, nullptr);
    }
}

HWND GetTopWindow(HWND hWnd) {
    Locked lock;
    Window* w = hWnd ? Find(hWnd) : Desktop();
    if (!w || w->children.empty())
        return nullptr;
    return w->children.front()->handle;
}

BOOL IsChild(HWND hWndParent, HWND hWnd) {
    Locked lock;
    Window* parent = Peek(hWndParent);
    Window* w = Peek(hWnd);
    if (!parent || !w || parent == w)
        return FALSE;
    for (Window* p = w; p && (p->style & WS_CHILD); p = p->parent)
        if (p->parent == parent)
            return TRUE;
    return FALSE;
}

namespace {

bool EnumDescendants(Window* w, WNDENUMPROC proc, LPARAM lParam) {
    for (HWND h : ChildHandles(w)) {
        Window* c = Peek(h);
        if (!c)
            continue;
        auto keep = c->shared_from_this();
        if (!proc(h, lParam))
            return false;
        if (!c->destroyed && !EnumDescendants(c, proc, lParam))
            return false;
    }
    return true;
}

} // namespace

BOOL EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    if (!lpEnumFunc)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    Locked lock;
    Window* w = hWndParent ? Find(hWndParent) : Desktop();
    if (!w)
        return FALSE;
    EnumDescendants(w, lpEnumFunc, lParam);
    return TRUE;
}

BOOL EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    if (!lpEnumFunc)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::vector<HWND> handles;
    {
        Locked lock;
        if (Window* desktop = DesktopIfExists())
            handles = ChildHandles(desktop);
    }
    for (HWND h : handles)
        if (IsWindow(h) && !lpEnumFunc(h, lParam))
            return TRUE;
    for (const RemoteWindow& remote : OtherProcessesWindows())
        if (!lpEnumFunc(remote.hwnd, lParam))
            return TRUE;
    return TRUE;
}

HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
    if (Window* desktop = DesktopIfExists()) {
        Locked lock;
        for (Window* w : desktop->children) {
            if (w->destroying || !ClassMatches(w->windowClass->name, lpClassName))
                continue;
            if (lpWindowName && !EqualNoCase(w->text, lpWindowName))
                continue;
            return w->handle;
        }
    }
    for (const RemoteWindow& remote : OtherProcessesWindows()) {
        if (lpClassName && (IS_INTRESOURCE(lpClassName) || !EqualNoCase(remote.className, lpClassName)))
            continue;
        if (lpWindowName && !EqualNoCase(remote.title, lpWindowName))
            continue;
        return remote.hwnd;
    }
    return kernel::Fail(ERROR_FILE_NOT_FOUND, nullptr);
}

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    if (IsForeignHandle(hWnd)) {
        if (!RemoteWindowInfo(hWnd))
            return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, DWORD{0});
        if (lpdwProcessId)
            *lpdwProcessId = ProcessOfHandle(hWnd);
        return ProcessOfHandle(hWnd);
    }
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return 0;
    if (lpdwProcessId)
        *lpdwProcessId = GetCurrentProcessId();
    return w->thread->threadId;
}

UINT GetWindowModuleFileNameW(HWND hwnd, LPWSTR pszFileName, UINT cchFileNameMax) {
    if (!pszFileName || cchFileNameMax == 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, UINT{0});
    std::u16string module;
    if (IsForeignHandle(hwnd)) {
        auto remote = RemoteWindowInfo(hwnd);
        if (!remote)
            return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, UINT{0});
        module = remote->module;
    } else {
        Locked lock;
        if (!Find(hwnd))
            return 0;
        module = kernel::ProgramDevicePath();
    }
    size_t count = std::min<size_t>(module.size(), cchFileNameMax - 1);
    std::copy_n(module.data(), count, pszFileName);
    pszFileName[count] = 0;
    return static_cast<UINT>(count);
}

// --- window data -------------------------------------------------------------------------------------

namespace {

constexpr DWORD kFrameStyles = WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME;
constexpr DWORD kFrameExStyles = WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME;

void ChangeStyle(Window* w, int index, DWORD newStyle) {
    DWORD& field = index == GWL_STYLE ? w->style : w->exStyle;
    STYLESTRUCT change{field, newStyle};
    Send(w, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
    if (w->destroyed)
        return;
    DWORD old = field;
    field = change.styleNew;
    DWORD frameMask = index == GWL_STYLE ? kFrameStyles : kFrameExStyles;
    if ((old ^ field) & (frameMask | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_EX_TOPMOST))
        BumpEpoch();
    if ((old ^ field) & frameMask)
        InvalidateWhole(w, true);
    STYLESTRUCT done{old, field};
    Send(w, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&done));
}

// The window's extra bytes at index hold a T; ERROR_INVALID_INDEX when it does not fit.
template <typename T>
bool ExtraFits(const Window* w, int index) {
    if (index < 0 || static_cast<size_t>(index) + sizeof(T) > w->extra.size())
        return kernel::Fail(ERROR_INVALID_INDEX, false);
    return true;
}

template <typename T>
std::optional<LONG_PTR> ReadExtra(const Window* w, int index) {
    if (!ExtraFits<T>(w, index))
        return std::nullopt;
    T value;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
}

template <typename T>
void WriteExtra(Window* w, int index, LONG_PTR value) {
    if (!ExtraFits<T>(w, index))
        return;
    T narrow = static_cast<T>(value);
    std::memcpy(w->extra.data() + index, &narrow, sizeof narrow);
}

// How wide a window value is: a LONG (GetWindowLongW) or a LONG_PTR (GetWindowLongPtrW).
enum class ValueSize { Long, Pointer };

std::optional<LONG_PTR> GetData(Window* w, int index, ValueSize size) {
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    case GWLP_ID:
        return w->id;
    case GWLP_USERDATA:
        return w->userData;
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        if (w->style & WS_CHILD)
            return reinterpret_cast<LONG_PTR>(w->parent ? w->parent->handle : nullptr);
        return reinterpret_cast<LONG_PTR>(w->owner ? w->owner->handle : nullptr);
    default:
        break;
    }
    return size == ValueSize::Pointer ? ReadExtra<LONG_PTR>(w, index) : ReadExtra<LONG>(w, index);
}

std::optional<LONG_PTR> SetData(Window* w, int index, LONG_PTR value, ValueSize size) {
    auto old = GetData(w, index, size);
    if (!old)
        return std::nullopt;
    switch (index) {
    case GWL_STYLE:
    case GWL_EXSTYLE:
        ChangeStyle(w, index, static_cast<DWORD>(value));
        return old;
    case GWLP_ID:
        w->id = value;
        return old;
    case GWLP_USERDATA:
        w->userData = value;
        return old;
    case GWLP_WNDPROC:
        if (!value)
            return kernel::Fail(ERROR_INVALID_PARAMETER, std::optional<LONG_PTR>());
        w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE:
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWLP_HWNDPARENT:
        if (!(w->style & WS_CHILD)) {
            Window* owner = value ? Peek(reinterpret_cast<HWND>(value)) : nullptr;
            w->owner = owner ? TopLevelOf(owner) : nullptr;
        }
        return old;
    default:
        break;
    }
    if (size == ValueSize::Pointer)
        WriteExtra<LONG_PTR>(w, index, value);
    else
        WriteExtra<LONG>(w, index, value);
    return old;
}

// The window of a GetWindowLongW or SetWindowLongW call: NULL when there is none, and (with
// ERROR_INVALID_INDEX) for the values that only the pointer-sized calls reach.
Window* LongTarget(HWND hWnd, int index) {
    Window* w = Find(hWnd);
    if (w && (index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT))
        return kernel::Fail(ERROR_INVALID_INDEX, static_cast<Window*>(nullptr));
    return w;
}

} // namespace

LONG GetWindowLongW(HWND hWnd, int nIndex) {
    Locked lock;
    Window* w = LongTarget(hWnd, nIndex);
    return w ? static_cast<LONG>(GetData(w, nIndex, ValueSize::Long).value_or(0)) : 0;
}

LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
    Locked lock;
    Window* w = LongTarget(hWnd, nIndex);
    if (!w)
        return 0;
    auto keep = w->shared_from_this();
    return static_cast<LONG>(SetData(w, nIndex, dwNewLong, ValueSize::Long).value_or(0));
}

LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex) {
    Locked lock;
    Window* w = Find(hWnd);
    return w ? GetData(w, nIndex, ValueSize::Pointer).value_or(0) : 0;
}

LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return 0;
    auto keep = w->shared_from_this();
    return SetData(w, nIndex, dwNewLong, ValueSize::Pointer).value_or(0);
}

// --- text ----------------------------------------------------------------------------------------------

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    if (IsForeignHandle(hWnd))
        return kernel::Fail(ERROR_ACCESS_DENIED, FALSE);
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return FALSE;
    return Send(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : u"")) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    if (!lpString || nMaxCount <= 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    if (IsForeignHandle(hWnd)) {
        auto remote = RemoteWindowInfo(hWnd);
        lpString[0] = 0;
        if (!remote)
            return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
        size_t count = std::min(remote->title.size(), static_cast<size_t>(nMaxCount - 1));
        std::copy_n(remote->title.data(), count, lpString);
        lpString[count] = 0;
        return static_cast<int>(count);
    }
    Locked lock;
    Window* w = Find(hWnd);
    if (!w) {
        lpString[0] = 0;
        return 0;
    }
    return static_cast<int>(
        Send(w, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextLengthW(HWND hWnd) {
    if (IsForeignHandle(hWnd)) {
        auto remote = RemoteWindowInfo(hWnd);
        return remote ? static_cast<int>(remote->title.size()) : kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
    }
    Locked lock;
    Window* w = Find(hWnd);
    if (!w)
        return 0;
    return static_cast<int>(Send(w, WM_GETTEXTLENGTH, 0, 0));
}

namespace user {

std::u16string WindowText(HWND hWnd) {
    if (IsForeignHandle(hWnd)) {
        auto remote = RemoteWindowInfo(hWnd);
        return remote ? remote->title : std::u16string();
    }
    Locked lock;
    Window* w = Peek(hWnd);
    return w ? w->text : std::u16string();
}

} // namespace user
