#include "user/MessageBox.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "Internal.h"
#include "gdi/Gdi.h"
#include "gdi/Scoped.h"
#include "user/Paint.h"
#include "user/System.h"

namespace user {
namespace {

struct Boxes {
    std::mutex lock;
    std::vector<MessageBoxRecord> shown;
    MessageBoxHandler handler;
};

Boxes& State() {
    static Boxes* boxes = new Boxes;
    return *boxes;
}

constexpr int kMargin = 10;
constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 22;
constexpr int kButtonGap = 6;
constexpr int kIconSize = 24;
constexpr int kScreenMargin = 4;

struct Button {
    int id;
    const char16_t* text;
};

std::vector<Button> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    case MB_ABORTRETRYIGNORE:
        return {{IDABORT, u"Abort"}, {IDRETRY, u"Retry"}, {IDIGNORE, u"Ignore"}};
    case MB_YESNOCANCEL:
        return {{IDYES, u"Yes"}, {IDNO, u"No"}, {IDCANCEL, u"Cancel"}};
    case MB_YESNO:
        return {{IDYES, u"Yes"}, {IDNO, u"No"}};
    case MB_RETRYCANCEL:
        return {{IDRETRY, u"Retry"}, {IDCANCEL, u"Cancel"}};
    default:
        return {{IDOK, u"OK"}};
    }
}

// What Escape and Cancel give: the Cancel button, else OK, else nothing.
int EscapeAnswer(const std::vector<Button>& buttons) {
    for (int id : {IDCANCEL, IDOK})
        for (const Button& b : buttons)
            if (b.id == id)
                return id;
    return 0;
}

// What a box that a test did not expect is answered with.
int DismissAnswer(const std::vector<Button>& buttons) {
    int escape = EscapeAnswer(buttons);
    if (escape)
        return escape;
    for (const Button& b : buttons)
        if (b.id == IDNO)
            return IDNO;
    return buttons.back().id;
}

struct Box {
    std::u16string text;
    std::u16string caption;
    UINT type = 0;
    std::vector<Button> buttons;
    size_t defaultButton = 0;
    RECT iconRect{};
    RECT textRect{};
    SIZE client{};
};

void Measure(Box& box) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, detail::SystemFont());
    RECT screen = detail::ScreenRect();
    bool icon = (box.type & 0xF0) != 0;
    int iconPart = icon ? kIconSize + kMargin : 0;
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_CAPTION, FALSE, 0);
    int frameWidth = frame.right - frame.left;
    int maxClient = std::max(80, static_cast<int>(screen.right) - 2 * kScreenMargin - frameWidth);
    RECT text{0, 0, std::max(20, maxClient - 2 * kMargin - iconPart), 0};
    DrawTextW(dc, box.text.c_str(), static_cast<int>(box.text.size()), &text,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteDC(dc);
    int buttons = static_cast<int>(box.buttons.size());
    int row = buttons * kButtonWidth + (buttons - 1) * kButtonGap;
    int width = std::max({text.right + iconPart + 2 * kMargin, row + 2 * kMargin, 120});
    width = std::min(width, maxClient);
    int body = std::max(static_cast<int>(text.bottom), icon ? kIconSize : 0);
    box.client = SIZE{width, kMargin + body + kMargin + kButtonHeight + kMargin};
    box.iconRect = icon ? RECT{kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize} : RECT{};
    box.textRect = RECT{kMargin + iconPart, kMargin, width - kMargin, kMargin + body};
}

void DrawIcon(HDC hdc, const Box& box) {
    UINT icon = box.type & 0xF0;
    if (!icon)
        return;
    COLORREF color = RGB(0, 0, 200);
    const char16_t* sign = u"i";
    if (icon == MB_ICONHAND) {
        color = RGB(200, 0, 0);
        sign = u"X";
    } else if (icon == MB_ICONQUESTION) {
        sign = u"?";
    } else if (icon == MB_ICONEXCLAMATION) {
        color = RGB(220, 160, 0);
        sign = u"!";
    }
    RECT r = box.iconRect;
    gdi::FillSolid(hdc, r, color);
    SetTextColor(hdc, RGB(255, 255, 255));
    DrawTextW(hdc, sign, 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

INT_PTR CALLBACK BoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Box* box = reinterpret_cast<Box*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        box = reinterpret_cast<Box*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        int count = static_cast<int>(box->buttons.size());
        int row = count * kButtonWidth + (count - 1) * kButtonGap;
        int x = (box->client.cx - row) / 2;
        int y = box->client.cy - kMargin - kButtonHeight;
        HWND focus = nullptr;
        for (size_t i = 0; i < box->buttons.size(); ++i) {
            DWORD style =
                WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == box->defaultButton ? BS_DEFPUSHBUTTON : 0);
            if (i == 0)
                style |= WS_GROUP;
            HWND button = CreateWindowExW(
                0, u"PlatformPushButton", box->buttons[i].text, style, x, y, kButtonWidth, kButtonHeight,
                hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(box->buttons[i].id)), nullptr, nullptr);
            if (i == box->defaultButton)
                focus = button;
            x += kButtonWidth + kButtonGap;
        }
        SendMessageW(hwnd, DM_SETDEFID, static_cast<WPARAM>(box->buttons[box->defaultButton].id), 0);
        // The default button gets the focus when the box is shown.
        if (detail::DialogState* dialog = detail::DialogOf(hwnd))
            dialog->savedFocus = focus;
        return FALSE;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        if (hdc && box) {
            HGDIOBJ old = SelectObject(hdc, detail::SystemFont());
            SetBkMode(hdc, TRANSPARENT);
            DrawIcon(hdc, *box);
            SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
            RECT text = box->textRect;
            DrawTextW(hdc, box->text.c_str(), static_cast<int>(box->text.size()), &text,
                      DT_WORDBREAK | DT_NOPREFIX);
            SelectObject(hdc, old);
        }
        EndPaint(hwnd, &ps);
        return TRUE;
    }
    case WM_COMMAND: {
        if (!box)
            return FALSE;
        int id = LOWORD(wParam);
        bool known = std::any_of(box->buttons.begin(), box->buttons.end(),
                                 [&](const Button& b) { return b.id == id; });
        if (!known && id == IDCANCEL)
            id = EscapeAnswer(box->buttons);
        else if (!known)
            id = 0;
        if (id)
            EndDialog(hwnd, id);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

int ShowBox(HWND owner, const MessageBoxRecord& record) {
    detail::Locked lock;
    detail::Desktop();
    Box box;
    box.text = record.text;
    box.caption = record.caption;
    box.type = record.type;
    box.buttons = ButtonsOf(record.type);
    size_t defaultButton = (record.type & 0xF00) >> 8;
    box.defaultButton = std::min(defaultButton, box.buttons.size() - 1);
    Measure(box);
    RECT frame{0, 0, box.client.cx, box.client.cy};
    DWORD style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    RECT area = detail::WorkArea();
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    HWND ownerTop = nullptr;
    if (detail::Window* given = detail::Peek(owner))
        ownerTop = detail::TopLevelOf(given)->handle;
    DWORD exStyle = (record.type & MB_TOPMOST) ? WS_EX_TOPMOST : 0;
    HWND hwnd =
        detail::CreatePlainDialog(style, exStyle, RECT{x, y, x + width, y + height}, box.caption.c_str(),
                                  ownerTop, BoxProc, reinterpret_cast<LPARAM>(&box));
    if (!hwnd)
        return 0;
    return static_cast<int>(detail::RunModalDialog(hwnd, ownerTop, detail::ModalFrame::Kind::MessageBox,
                                                   box.text, DismissAnswer(box.buttons)));
}

} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    Boxes& boxes = State();
    std::lock_guard guard(boxes.lock);
    std::swap(boxes.handler, handler);
    return handler;
}

std::vector<MessageBoxRecord> TakeShownMessageBoxes() {
    Boxes& boxes = State();
    std::lock_guard guard(boxes.lock);
    return std::exchange(boxes.shown, {});
}

} // namespace user

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    user::MessageBoxRecord box{text ? text : u"", caption ? caption : u"Error", type};
    user::MessageBoxHandler handler;
    {
        user::Boxes& boxes = user::State();
        std::lock_guard guard(boxes.lock);
        boxes.shown.push_back(box);
        handler = boxes.handler;
    }
    if (handler)
        return handler(box);
    return user::ShowBox(owner, box);
}
