// The up-down control: two arrows that step a position within a range, by taps (repeating while held)
// and keys, with UDN_DELTAPOS before each step and WM_VSCROLL or WM_HSCROLL after it. With
// UDS_SETBUDDYINT the position is the number in the buddy window's text; with UDS_ARROWKEYS the buddy's
// Up and Down keys step it too.

#include <algorithm>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "Internal.h"
#include "kernel/Time.h"
#include "user/ScopedPaint.h"

namespace commctrl {
namespace {

struct UpDown : ControlState {
    int lower = 100; // the handheld's default range runs from 100 down to 0
    int upper = 0;
    int position = 0;
    int base = 10;
    HWND buddy = nullptr;
    std::vector<UDACCEL> accelerations{{0, 1}, {2, 5}, {5, 20}};
    // The arrow held down: +1 (up or right), -1 (down or left), 0 none.
    int pressed = 0;
    DWORD pressStart = 0;
    bool repeating = false;
};

using Ptr = std::shared_ptr<UpDown>;

DWORD Style(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
}

// ---- The buddy's text.

std::u16string FormatNumber(int value, bool thousands, int base) {
    bool negative = value < 0;
    unsigned long long magnitude = negative
                                       ? 0ULL - static_cast<unsigned long long>(static_cast<long long>(value))
                                       : static_cast<unsigned long long>(value);
    std::u16string digits;
    if (base == 16) {
        do {
            unsigned digit = static_cast<unsigned>(magnitude % 16);
            digits.push_back(static_cast<char16_t>(digit < 10 ? u'0' + digit : u'A' + digit - 10));
            magnitude /= 16;
        } while (magnitude);
        std::reverse(digits.begin(), digits.end());
        return u"0x" + digits;
    }
    int count = 0;
    do {
        if (thousands && count > 0 && count % 3 == 0)
            digits.push_back(u',');
        digits.push_back(static_cast<char16_t>(u'0' + magnitude % 10));
        magnitude /= 10;
        ++count;
    } while (magnitude);
    if (negative)
        digits.push_back(u'-');
    std::reverse(digits.begin(), digits.end());
    return digits;
}

// The number in a buddy's text: blanks around it, a sign, digits with thousands separators.
std::optional<int> ParseNumber(std::u16string_view text, int base) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    if (base == 16 && i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X'))
        i += 2;
    long long value = 0;
    bool digit = false;
    for (; i < text.size(); ++i) {
        char16_t c = text[i];
        int v = -1;
        if (c >= u'0' && c <= u'9')
            v = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            v = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            v = c - u'A' + 10;
        else if (c == u',' && base == 10)
            continue;
        else
            break;
        value = value * base + v;
        if (value > 0x7FFFFFFFLL + 1)
            return std::nullopt;
        digit = true;
    }
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    if (!digit || i != text.size())
        return std::nullopt;
    value = negative ? -value : value;
    if (value > 0x7FFFFFFFLL || value < -0x7FFFFFFFLL - 1)
        return std::nullopt;
    return static_cast<int>(value);
}

int Low(const UpDown& ud) {
    return std::min(ud.lower, ud.upper);
}
int High(const UpDown& ud) {
    return std::max(ud.lower, ud.upper);
}

bool InRange(const UpDown& ud, int value) {
    return value >= Low(ud) && value <= High(ud);
}

void WriteBuddy(HWND hwnd, const UpDown& ud) {
    if (!ud.buddy || !(Style(hwnd) & UDS_SETBUDDYINT) || !IsWindow(ud.buddy))
        return;
    std::u16string text = FormatNumber(ud.position, !(Style(hwnd) & UDS_NOTHOUSANDS), ud.base);
    SetWindowTextW(ud.buddy, text.c_str());
}

// Takes the buddy's number as the position when it is one within the range; false otherwise.
bool ReadBuddy(HWND hwnd, UpDown& ud) {
    if (!ud.buddy || !(Style(hwnd) & UDS_SETBUDDYINT) || !IsWindow(ud.buddy))
        return true;
    std::u16string text = user::WindowText(ud.buddy);
    auto value = ParseNumber(text, ud.base);
    if (!value || !InRange(ud, *value))
        return false;
    ud.position = *value;
    return true;
}

// ---- The buddy's arrow keys: the buddy is subclassed while it is the buddy.

struct BuddyLink {
    WNDPROC previous;
    HWND upDown;
};

std::mutex& BuddyLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}
std::unordered_map<HWND, BuddyLink>& Buddies() {
    static auto* buddies = new std::unordered_map<HWND, BuddyLink>;
    return *buddies;
}

std::optional<BuddyLink> LinkOf(HWND buddy) {
    std::lock_guard guard(BuddyLock());
    auto it = Buddies().find(buddy);
    if (it == Buddies().end())
        return std::nullopt;
    return it->second;
}

void Step(HWND hwnd, const Ptr& ud, int direction);

LRESULT CALLBACK BuddyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto link = LinkOf(hwnd);
    if (!link)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
        if (auto ud = StateOf<UpDown>(link->upDown); ud && (Style(link->upDown) & UDS_ARROWKEYS)) {
            Step(link->upDown, ud, wParam == VK_UP ? 1 : -1);
            return 0;
        }
    }
    if (message == WM_GETDLGCODE) {
        LRESULT code = CallWindowProcW(link->previous, hwnd, message, wParam, lParam);
        if (auto ud = StateOf<UpDown>(link->upDown); ud && (Style(link->upDown) & UDS_ARROWKEYS))
            code |= DLGC_WANTARROWS;
        return code;
    }
    if (message == WM_NCDESTROY) {
        {
            std::lock_guard guard(BuddyLock());
            Buddies().erase(hwnd);
        }
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) == BuddyProc)
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(link->previous));
        if (auto ud = StateOf<UpDown>(link->upDown); ud && ud->buddy == hwnd)
            ud->buddy = nullptr;
    }
    return CallWindowProcW(link->previous, hwnd, message, wParam, lParam);
}

void Unlink(HWND buddy) {
    if (!buddy)
        return;
    std::optional<BuddyLink> link;
    {
        std::lock_guard guard(BuddyLock());
        auto it = Buddies().find(buddy);
        if (it == Buddies().end())
            return;
        link = it->second;
        Buddies().erase(it);
    }
    // Put the previous procedure back unless the buddy was subclassed after us: then BuddyProc stays in
    // its chain and keeps a link without an up-down control, so it only passes messages on.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(buddy, GWLP_WNDPROC)) == BuddyProc) {
        SetWindowLongPtrW(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(link->previous));
    } else {
        std::lock_guard guard(BuddyLock());
        Buddies()[buddy] = BuddyLink{link->previous, nullptr};
    }
}

void Link(HWND buddy, HWND upDown) {
    if (!buddy || !IsWindow(buddy))
        return;
    std::lock_guard guard(BuddyLock());
    auto it = Buddies().find(buddy);
    if (it != Buddies().end()) {
        it->second.upDown = upDown;
        return;
    }
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BuddyProc)));
    if (previous)
        Buddies()[buddy] = BuddyLink{previous, upDown};
}

// ---- Stepping.

UINT Increment(const UpDown& ud, DWORD heldFor) {
    UINT increment = 1;
    DWORD seconds = heldFor / 1000;
    for (const UDACCEL& accel : ud.accelerations)
        if (seconds >= accel.nSec)
            increment = accel.nInc;
    return std::max(1u, increment);
}

// One step of an arrow: +1 towards the upper end of the range, -1 towards the lower.
void Step(HWND hwnd, const Ptr& ud, int direction) {
    ReadBuddy(hwnd, *ud);
    int increment = static_cast<int>(Increment(*ud, ud->pressed ? GetTickCount() - ud->pressStart : 0));
    int sign = ud->upper >= ud->lower ? 1 : -1;
    int delta = direction * sign * increment;
    NMUPDOWN record{};
    record.iPos = ud->position;
    record.iDelta = delta;
    if (Notify(hwnd, UDN_DELTAPOS, &record.hdr) || ud->destroyed)
        return;
    long long proposed = static_cast<long long>(ud->position) + delta;
    int next;
    if (proposed > High(*ud))
        next = (Style(hwnd) & UDS_WRAP) ? Low(*ud) : High(*ud);
    else if (proposed < Low(*ud))
        next = (Style(hwnd) & UDS_WRAP) ? High(*ud) : Low(*ud);
    else
        next = static_cast<int>(proposed);
    if (next == ud->position)
        return;
    ud->position = next;
    WriteBuddy(hwnd, *ud);
    if (ud->destroyed)
        return;
    UINT scroll = (Style(hwnd) & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL;
    SendMessageW(GetParent(hwnd), scroll, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(next)),
                 reinterpret_cast<LPARAM>(hwnd));
}

// Which arrow a client point is on: +1 the up (or right) one, -1 the down (or left) one.
int ArrowAt(HWND hwnd, POINT point) {
    RECT client;
    GetClientRect(hwnd, &client);
    if (Style(hwnd) & UDS_HORZ)
        return point.x >= (client.left + client.right) / 2 ? 1 : -1;
    return point.y < (client.top + client.bottom) / 2 ? 1 : -1;
}

// The depth of a button's arrow: it leaves room for the button's edges and is at most four rows.
int ArrowDepth(const RECT& button, Arrow direction) {
    bool vertical = direction == Arrow::Up || direction == Arrow::Down;
    int width = button.right - button.left;
    int height = button.bottom - button.top;
    int across = vertical ? width : height;
    int along = vertical ? height : width;
    return std::min(4, std::max(1, std::min((across - 2) / 2, along - 2) / 2 + 1));
}

void Paint(HWND hwnd, const UpDown& ud) {
    user::ScopedPaint paint(hwnd);
    if (!paint)
        return;
    HDC dc = paint.Dc();
    const RECT& client = paint.Client();
    bool horizontal = (Style(hwnd) & UDS_HORZ) != 0;
    RECT first = client;  // up or left
    RECT second = client; // down or right
    if (horizontal) {
        first.right = second.left = (client.left + client.right) / 2;
    } else {
        first.bottom = second.top = (client.top + client.bottom) / 2;
    }
    bool enabled = IsWindowEnabled(hwnd);
    HBRUSH arrow = GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    auto drawButton = [&](RECT rect, Arrow direction, bool down) {
        FillSolid(dc, rect, GetSysColor(COLOR_BTNFACE));
        RECT edge = rect;
        DrawEdge(dc, &edge, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        RECT inner = rect;
        if (down)
            OffsetRect(&inner, 1, 1);
        DrawArrow(dc, inner, direction, ArrowDepth(inner, direction), arrow);
    };
    if (horizontal) {
        drawButton(first, Arrow::Left, ud.pressed == -1);
        drawButton(second, Arrow::Right, ud.pressed == 1);
    } else {
        drawButton(first, Arrow::Up, ud.pressed == 1);
        drawButton(second, Arrow::Down, ud.pressed == -1);
    }
}

void EndPress(HWND hwnd, const Ptr& ud) {
    if (!ud->pressed)
        return;
    ud->pressed = 0;
    KillTimer(hwnd, kRepeatTimer);
    if (GetCapture() == hwnd)
        ReleaseCapture();
    InvalidateRect(hwnd, nullptr, FALSE);
    UINT scroll = (Style(hwnd) & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL;
    SendMessageW(GetParent(hwnd), scroll, MAKEWPARAM(SB_ENDSCROLL, static_cast<WORD>(ud->position)),
                 reinterpret_cast<LPARAM>(hwnd));
}

LRESULT UpDownMessage(HWND hwnd, const Ptr& ud, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCDESTROY:
        Unlink(ud->buddy);
        DetachState<UpDown>(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *ud);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (wParam == VK_UP || wParam == VK_RIGHT)
            Step(hwnd, ud, 1);
        else if (wParam == VK_DOWN || wParam == VK_LEFT)
            Step(hwnd, ud, -1);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (!IsWindowEnabled(hwnd))
            return 0;
        POINT point = PointFromLParam(lParam);
        ud->pressed = ArrowAt(hwnd, point);
        ud->pressStart = GetTickCount();
        ud->repeating = false;
        SetCapture(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        Step(hwnd, ud, ud->pressed);
        if (!ud->destroyed && ud->pressed)
            SetTimer(hwnd, kRepeatTimer, 500, nullptr);
        return 0;
    }
    case WM_TIMER:
        if (wParam != kRepeatTimer)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        if (!ud->pressed) {
            KillTimer(hwnd, kRepeatTimer);
            return 0;
        }
        if (!ud->repeating) {
            ud->repeating = true;
            SetTimer(hwnd, kRepeatTimer, 100, nullptr);
        }
        Step(hwnd, ud, ud->pressed);
        return 0;
    case WM_LBUTTONUP:
        EndPress(hwnd, ud);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd && ud->pressed)
            EndPress(hwnd, ud);
        return 0;

    case UDM_SETRANGE:
        ud->upper = static_cast<SHORT>(LOWORD(lParam));
        ud->lower = static_cast<SHORT>(HIWORD(lParam));
        return 0;
    case UDM_GETRANGE:
        return MAKELONG(static_cast<WORD>(ud->upper), static_cast<WORD>(ud->lower));
    case UDM_SETRANGE32:
        ud->lower = static_cast<int>(wParam);
        ud->upper = static_cast<int>(lParam);
        return 0;
    case UDM_GETRANGE32:
        if (auto* lower = reinterpret_cast<int*>(wParam))
            *lower = ud->lower;
        if (auto* upper = reinterpret_cast<int*>(lParam))
            *upper = ud->upper;
        return 0;
    case UDM_SETPOS:
    case UDM_SETPOS32: {
        int old = ud->position;
        int wanted = message == UDM_SETPOS ? static_cast<SHORT>(LOWORD(lParam)) : static_cast<int>(lParam);
        ud->position = std::clamp(wanted, Low(*ud), High(*ud));
        WriteBuddy(hwnd, *ud);
        return message == UDM_SETPOS ? static_cast<LRESULT>(static_cast<SHORT>(old)) : old;
    }
    case UDM_GETPOS: {
        bool ok = ReadBuddy(hwnd, *ud);
        return MAKELONG(static_cast<WORD>(ud->position), ok ? 0 : 1);
    }
    case UDM_GETPOS32: {
        bool ok = ReadBuddy(hwnd, *ud);
        if (auto* error = reinterpret_cast<BOOL*>(lParam))
            *error = ok ? FALSE : TRUE;
        return ud->position;
    }
    case UDM_SETBUDDY: {
        HWND old = ud->buddy;
        HWND buddy = reinterpret_cast<HWND>(wParam);
        if (old != buddy) {
            Unlink(old);
            ud->buddy = buddy && IsWindow(buddy) ? buddy : nullptr;
            Link(ud->buddy, hwnd);
        }
        return reinterpret_cast<LRESULT>(old);
    }
    case UDM_GETBUDDY:
        return reinterpret_cast<LRESULT>(ud->buddy);
    case UDM_SETACCEL: {
        auto* table = reinterpret_cast<const UDACCEL*>(lParam);
        if (!table || wParam == 0)
            return FALSE;
        ud->accelerations.assign(table, table + std::min<WPARAM>(wParam, 64));
        std::sort(ud->accelerations.begin(), ud->accelerations.end(),
                  [](const UDACCEL& a, const UDACCEL& b) { return a.nSec < b.nSec; });
        return TRUE;
    }
    case UDM_GETACCEL: {
        auto* table = reinterpret_cast<UDACCEL*>(lParam);
        size_t count = std::min(static_cast<size_t>(wParam), ud->accelerations.size());
        if (table)
            std::copy_n(ud->accelerations.begin(), count, table);
        return static_cast<LRESULT>(ud->accelerations.size());
    }
    case UDM_SETBASE: {
        int old = ud->base;
        if (wParam != 10 && wParam != 16)
            return 0;
        ud->base = static_cast<int>(wParam);
        WriteBuddy(hwnd, *ud);
        return old;
    }
    case UDM_GETBASE:
        return ud->base;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

const user::SystemClass kUpDownClass({CS_DBLCLKS, StateProc<UpDown, UpDownMessage>, 0, sizeof(void*), nullptr,
                                      nullptr, nullptr, nullptr, nullptr, UPDOWN_CLASSW});

} // namespace
} // namespace commctrl
