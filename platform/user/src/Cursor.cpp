#include "Internal.h"
#include "gdi/Gdi.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"
#include "user/Paint.h"
#include "user/System.h"

namespace user::detail {

namespace {

constexpr int kCursorWidth = 16;
constexpr int kCursorHeight = 22;

// The system cursors are fixed values; only the wait cursor draws anything.
HCURSOR Cursor(ULONG_PTR id) {
    return reinterpret_cast<HCURSOR>(id << 4);
}

struct CursorState {
    HCURSOR current = Cursor(32512);
    bool drawn = false;
    RECT rect{};
    HDC saveDc = nullptr;
    HBITMAP saveBitmap = nullptr;
    HGDIOBJ previousBitmap = nullptr;
};

CursorState& State() {
    static CursorState* state = new CursorState;
    return *state;
}

bool IsWait(HCURSOR cursor) {
    return cursor == Cursor(32514) || cursor == Cursor(32650);
}

RECT CursorRect() {
    RECT screen = ScreenRect();
    int x = (screen.right - kCursorWidth) / 2;
    int y = (screen.bottom - kCursorHeight) / 2;
    return RECT{x, y, x + kCursorWidth, y + kCursorHeight};
}

// An hourglass: a frame, two glass halves and sand in the lower one.
void DrawHourglass(HDC hdc, const RECT& r) {
    HBRUSH black = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    HBRUSH white = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    int w = r.right - r.left;
    int h = r.bottom - r.top;
    RECT top{r.left, r.top, r.right, r.top + 2};
    RECT bottom{r.left, r.bottom - 2, r.right, r.bottom};
    FillRect(hdc, &top, black);
    FillRect(hdc, &bottom, black);
    int glass = h - 4;
    int half = glass / 2;
    for (int i = 0; i < glass; ++i) {
        int distance = i < half ? i : glass - 1 - i;
        int inset = 1 + distance * (w / 2 - 2) / std::max(1, half);
        int y = r.top + 2 + i;
        RECT row{r.left + inset, y, r.right - inset, y + 1};
        FillRect(hdc, &row, black);
        RECT inner{row.left + 1, y, row.right - 1, y + 1};
        bool sand = i >= glass - half / 2 || (i >= half && inner.right - inner.left <= 2);
        if (inner.right > inner.left)
            FillRect(hdc, &inner, sand ? black : white);
    }
}

void Save(CursorState& state) {
    HDC screen = ScreenDC();
    state.rect = CursorRect();
    state.saveDc = CreateCompatibleDC(screen);
    state.saveBitmap = CreateCompatibleBitmap(screen, kCursorWidth, kCursorHeight);
    state.previousBitmap = SelectObject(state.saveDc, state.saveBitmap);
    BitBlt(state.saveDc, 0, 0, kCursorWidth, kCursorHeight, screen, state.rect.left, state.rect.top, SRCCOPY);
    gdi::DeleteSurfaceDC(screen);
}

void Draw(const CursorState& state) {
    HDC screen = ScreenDC();
    DrawHourglass(screen, state.rect);
    gdi::DeleteSurfaceDC(screen);
}

void Restore(CursorState& state) {
    if (!state.drawn)
        return;
    HDC screen = ScreenDC();
    BitBlt(screen, state.rect.left, state.rect.top, kCursorWidth, kCursorHeight, state.saveDc, 0, 0, SRCCOPY);
    gdi::DeleteSurfaceDC(screen);
    SelectObject(state.saveDc, state.previousBitmap);
    DeleteObject(state.saveBitmap);
    DeleteDC(state.saveDc);
    state.saveDc = nullptr;
    state.saveBitmap = nullptr;
    state.drawn = false;
}

} // namespace

void ResetCursor() {
    CursorState& state = State();
    Restore(state);
    state.current = Cursor(32512);
}

void CursorAfterPaint(const gdi::Region& painted) {
    CursorState& state = State();
    if (!state.drawn || !painted.Intersects(state.rect))
        return;
    // What the paint drew under the cursor becomes the saved picture; then the cursor goes on top again.
    HDC screen = ScreenDC();
    for (const RECT& r : painted.Rectangles()) {
        RECT part;
        if (!IntersectRect(&part, &r, &state.rect))
            continue;
        BitBlt(state.saveDc, part.left - state.rect.left, part.top - state.rect.top, part.right - part.left,
               part.bottom - part.top, screen, part.left, part.top, SRCCOPY);
    }
    gdi::DeleteSurfaceDC(screen);
    Draw(state);
}

bool IsWaitCursorShown() {
    return State().drawn;
}

} // namespace user::detail

using namespace user::detail;

HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
    if (hInstance || !IS_INTRESOURCE(lpCursorName))
        return kernel::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, HCURSOR{});
    ULONG_PTR id = reinterpret_cast<ULONG_PTR>(lpCursorName);
    switch (id) {
    case 32512:
    case 32513:
    case 32514:
    case 32515:
    case 32650:
        return Cursor(id);
    default:
        return kernel::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, HCURSOR{});
    }
}

HCURSOR SetCursor(HCURSOR hCursor) {
    Locked lock;
    EnsureScreen();
    CursorState& state = State();
    HCURSOR previous = state.current;
    state.current = hCursor;
    bool wait = IsWait(hCursor);
    if (wait && !state.drawn) {
        Save(state);
        state.drawn = true;
        Draw(state);
        PresentScreen();
    } else if (!wait && state.drawn) {
        Restore(state);
        PresentScreen();
    }
    return previous;
}

HCURSOR GetCursor() {
    Locked lock;
    return State().current;
}
