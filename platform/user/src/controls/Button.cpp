// The BUTTON class: push buttons (the default one with a heavier frame), check boxes (two- and
// three-state), radio buttons and group boxes, in the handheld's look: white faces, thin black frames,
// a push button inverted while it is pressed.
//
// A button is clicked when the stylus is lifted over it after pressing it, when the space key is released
// after being pressed on it, and by BM_CLICK. An automatic check box then toggles (three-state: cycles
// unchecked, checked, indeterminate) and an automatic radio button checks itself and clears the other
// automatic radio buttons of its group, before the parent gets BN_CLICKED.

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "ControlSupport.h"
#include "user/Dialog.h"

namespace user::controls {

namespace {

constexpr int kMarkSize = 13; // the check box's square and the radio button's circle
constexpr int kTextGap = 4;

enum class Kind { Push, Check, Radio, Group };

Kind KindOf(LONG style) {
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
        return Kind::Check;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return Kind::Radio;
    case BS_GROUPBOX:
        return Kind::Group;
    default:
        return Kind::Push;
    }
}

// A disc of a diameter as runs of rows of one span each: the first row, the number of rows and the span's
// left and right edges from the bounding square's left.
struct DiscRun {
    int top;
    int rows;
    int left;
    int right;
};

std::vector<DiscRun> DiscRuns(int diameter) {
    std::vector<DiscRun> runs;
    double radius = diameter / 2.0;
    for (int row = 0; row < diameter; ++row) {
        double dy = row + 0.5 - radius;
        double half = std::sqrt(std::max(0.0, radius * radius - dy * dy));
        int left = static_cast<int>(std::lround(radius - half));
        int right = static_cast<int>(std::lround(radius + half));
        if (!runs.empty() && runs.back().left == left && runs.back().right == right)
            ++runs.back().rows;
        else
            runs.push_back(DiscRun{row, 1, left, right});
    }
    return runs;
}

// A disc of the given diameter whose bounding square starts at (x, y), filled one run of equal rows at a
// time. The runs of the button's discs are worked out once.
void FillDisc(HDC hdc, int x, int y, int diameter, HBRUSH brush) {
    static const auto kRuns = [] {
        std::array<std::vector<DiscRun>, kMarkSize + 1> runs;
        for (int d = 0; d <= kMarkSize; ++d)
            runs[static_cast<size_t>(d)] = DiscRuns(d);
        return runs;
    }();
    std::vector<DiscRun> computed;
    const std::vector<DiscRun>* runs = &computed;
    if (diameter >= 0 && diameter <= kMarkSize)
        runs = &kRuns[static_cast<size_t>(diameter)];
    else
        computed = DiscRuns(diameter);
    for (const DiscRun& run : *runs) {
        RECT band{x + run.left, y + run.top, x + run.right, y + run.top + run.rows};
        FillRect(hdc, &band, brush);
    }
}

class Button : public ControlBase {
public:
    Button(HWND hwnd, const CREATESTRUCTW&) : ControlBase(hwnd) {}

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_NCHITTEST:
            // A group box is a frame around other controls: taps go through it.
            if (Type() == Kind::Group)
                return HTTRANSPARENT;
            return DefWindowProcW(m_hwnd, message, wParam, lParam);
        case WM_SETFONT:
            m_font = reinterpret_cast<HFONT>(wParam);
            if (lParam)
                Repaint();
            return 0;
        case WM_GETDLGCODE:
            return DialogCode();
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (Type() == Kind::Group)
                return 0;
            SetFocus(m_hwnd);
            if (!Alive())
                return 0;
            m_tracking = true;
            SetCapture(m_hwnd);
            SetPressed(true);
            return 0;
        case WM_MOUSEMOVE:
            if (m_tracking)
                SetPressed(Inside(lParam));
            return 0;
        case WM_LBUTTONUP: {
            if (!m_tracking)
                return 0;
            bool click = Inside(lParam);
            m_tracking = false;
            SetPressed(false);
            ReleaseCapture();
            if (click && Alive())
                Click();
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (m_tracking && reinterpret_cast<HWND>(lParam) != m_hwnd) {
                m_tracking = false;
                SetPressed(false);
            }
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE && Type() != Kind::Group && !m_tracking) {
                m_spacePressed = true;
                SetPressed(true);
            }
            return 0;
        case WM_KEYUP:
            if (wParam == VK_SPACE && m_spacePressed) {
                m_spacePressed = false;
                SetPressed(false);
                Click();
            }
            return 0;
        case WM_CHAR:
            return 0;
        case WM_SETFOCUS:
            m_focus = true;
            Repaint();
            return 0;
        case WM_KILLFOCUS:
            m_focus = false;
            m_spacePressed = false;
            if (!m_tracking)
                m_pressed = false;
            Repaint();
            return 0;
        case WM_ENABLE:
            Repaint();
            return 0;
        case WM_SETTEXT: {
            LRESULT result = DefWindowProcW(m_hwnd, message, wParam, lParam);
            Repaint();
            return result;
        }
        case BM_CLICK:
            if (IsWindowEnabled(m_hwnd) && Type() != Kind::Group)
                Click();
            return 0;
        case BM_GETCHECK:
            return Type() == Kind::Check || Type() == Kind::Radio ? m_check : BST_UNCHECKED;
        case BM_SETCHECK:
            SetCheck(static_cast<UINT>(wParam));
            return 0;
        case BM_GETSTATE:
            return (Type() == Kind::Check || Type() == Kind::Radio ? m_check : 0) |
                   (m_pressed ? BST_PUSHED : 0) | (m_focus ? BST_FOCUS : 0);
        case BM_SETSTATE:
            SetPressed(wParam != 0);
            return 0;
        case BM_SETSTYLE: {
            LONG style = GetWindowLongW(m_hwnd, GWL_STYLE);
            SetWindowLongW(m_hwnd, GWL_STYLE,
                           (style & ~BS_TYPEMASK) | (static_cast<LONG>(wParam) & BS_TYPEMASK));
            if (lParam)
                Repaint();
            return 0;
        }
        case WM_STYLECHANGED:
            Repaint();
            return 0;
        default:
            return DefWindowProcW(m_hwnd, message, wParam, lParam);
        }
    }

private:
    LONG Style() const { return GetWindowLongW(m_hwnd, GWL_STYLE); }
    Kind Type() const { return KindOf(Style()); }
    UINT TypeBits() const { return static_cast<UINT>(Style() & BS_TYPEMASK); }

    void Repaint() { InvalidateRect(m_hwnd, nullptr, FALSE); }

    LRESULT DialogCode() const {
        switch (Type()) {
        case Kind::Push:
            return DLGC_BUTTON | (TypeBits() == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        case Kind::Radio:
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case Kind::Group:
            return DLGC_STATIC;
        default:
            return DLGC_BUTTON;
        }
    }

    bool Inside(LPARAM lParam) const {
        RECT client;
        GetClientRect(m_hwnd, &client);
        return PtInRect(&client, PointFromLParam(lParam)) != FALSE;
    }

    void SetPressed(bool pressed) {
        if (m_pressed == pressed)
            return;
        m_pressed = pressed;
        Repaint();
    }

    void SetCheck(UINT check) {
        if (Type() != Kind::Check && Type() != Kind::Radio)
            return;
        UINT bits = TypeBits();
        bool threeState = bits == BS_3STATE || bits == BS_AUTO3STATE;
        check = check == BST_INDETERMINATE && threeState ? BST_INDETERMINATE
                : check != BST_UNCHECKED                 ? BST_CHECKED
                                                         : BST_UNCHECKED;
        if (m_check == check)
            return;
        m_check = check;
        Repaint();
    }

    // Clears the other automatic radio buttons of this button's group: the siblings from the last one
    // with WS_GROUP up to this one, and on up to the next one with WS_GROUP.
    void ClearGroup() {
        HWND parent = GetParent(m_hwnd);
        if (!parent || !(GetWindowLongW(m_hwnd, GWL_STYLE) & WS_CHILD))
            return;
        std::vector<HWND> siblings;
        for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            siblings.push_back(child);
        auto self = std::find(siblings.begin(), siblings.end(), m_hwnd);
        if (self == siblings.end())
            return;
        auto first = self;
        while (first != siblings.begin() && !(GetWindowLongW(*first, GWL_STYLE) & WS_GROUP))
            --first;
        auto last = self + 1;
        while (last != siblings.end() && !(GetWindowLongW(*last, GWL_STYLE) & WS_GROUP))
            ++last;
        for (auto it = first; it != last; ++it) {
            if (*it == m_hwnd || !HasClass(*it, u"BUTTON"))
                continue;
            if ((GetWindowLongW(*it, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                SendMessageW(*it, BM_SETCHECK, BST_UNCHECKED, 0);
        }
    }

    void Click() {
        switch (TypeBits()) {
        case BS_AUTOCHECKBOX:
            SetCheck(m_check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
            break;
        case BS_AUTO3STATE:
            SetCheck(m_check == BST_UNCHECKED ? BST_CHECKED
                     : m_check == BST_CHECKED ? BST_INDETERMINATE
                                              : BST_UNCHECKED);
            break;
        case BS_AUTORADIOBUTTON:
            ClearGroup();
            if (!Alive())
                return;
            SetCheck(BST_CHECKED);
            break;
        default:
            break;
        }
        NotifyParent(m_hwnd, BN_CLICKED);
    }

    void Paint() override {
        ScopedPaint paint(m_hwnd, m_font);
        if (!paint)
            return;
        HDC hdc = paint.Dc();
        RECT client = paint.Client();
        SetBkMode(hdc, TRANSPARENT);
        switch (Type()) {
        case Kind::Push:
            PaintPush(hdc, client);
            break;
        case Kind::Check:
        case Kind::Radio:
            PaintMarked(hdc, client);
            break;
        case Kind::Group:
            PaintGroup(hdc, client);
            break;
        }
    }

    std::u16string Text() const { return WindowText(m_hwnd); }

    void PaintPush(HDC hdc, RECT r) {
        // Asked for compatibility; push buttons draw in the system colours.
        RequestColors(m_hwnd, hdc, WM_CTLCOLORBTN);
        bool enabled = IsWindowEnabled(m_hwnd) != FALSE;
        FrameSystemColor(hdc, r, COLOR_WINDOWFRAME);
        InflateRect(&r, -1, -1);
        if (TypeBits() == BS_DEFPUSHBUTTON) {
            FrameSystemColor(hdc, r, COLOR_WINDOWFRAME);
            InflateRect(&r, -1, -1);
        }
        FillSystemColor(hdc, r, m_pressed ? COLOR_BTNTEXT : COLOR_WINDOW);
        SetTextColor(hdc, GetSysColor(!enabled ? COLOR_GRAYTEXT : m_pressed ? COLOR_WINDOW : COLOR_BTNTEXT));
        std::u16string text = Text();
        RECT textRect = r;
        DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &textRect,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (m_focus && !m_pressed) {
            RECT focus = r;
            InflateRect(&focus, -2, -2);
            DrawFocusRect(hdc, &focus);
        }
    }

    void PaintMarked(HDC hdc, const RECT& client) {
        HBRUSH background = RequestColors(m_hwnd, hdc, WM_CTLCOLORSTATIC);
        COLORREF textColor = GetTextColor(hdc);
        FillRect(hdc, &client, background);
        bool enabled = IsWindowEnabled(m_hwnd) != FALSE;
        int top = client.top + (client.bottom - client.top - kMarkSize) / 2;
        RECT mark{client.left, top, client.left + kMarkSize, top + kMarkSize};
        int face = m_pressed || !enabled ? COLOR_BTNFACE : COLOR_WINDOW;
        int ink = enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT;
        int outline = enabled ? COLOR_WINDOWFRAME : COLOR_GRAYTEXT;
        if (Type() == Kind::Check) {
            FillSystemColor(hdc, mark, face);
            FrameSystemColor(hdc, mark, outline);
            if (m_check != BST_UNCHECKED)
                DrawTick(hdc, mark, GetSysColorBrush(m_check == BST_INDETERMINATE ? COLOR_GRAYTEXT : ink));
        } else {
            FillDisc(hdc, mark.left, mark.top, kMarkSize, GetSysColorBrush(outline));
            FillDisc(hdc, mark.left + 1, mark.top + 1, kMarkSize - 2, GetSysColorBrush(face));
            if (m_check == BST_CHECKED)
                FillDisc(hdc, mark.left + 4, mark.top + 4, kMarkSize - 8, GetSysColorBrush(ink));
        }
        SetTextColor(hdc, enabled ? textColor : GetSysColor(COLOR_GRAYTEXT));
        std::u16string text = Text();
        RECT textRect{mark.right + kTextGap, client.top, client.right, client.bottom};
        DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &textRect,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        if (m_focus && !text.empty()) {
            RECT extent = textRect;
            DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &extent, DT_SINGLELINE | DT_CALCRECT);
            int height = extent.bottom - extent.top;
            RECT focus{textRect.left - 1, client.top + (client.bottom - client.top - height) / 2 - 1,
                       std::min(extent.right, textRect.right) + 1, 0};
            focus.bottom = focus.top + height + 2;
            DrawFocusRect(hdc, &focus);
        }
    }

    // A tick in three-pixel strokes inside the check box's square.
    static void DrawTick(HDC hdc, const RECT& box, HBRUSH brush) {
        static constexpr POINT kTick[] = {{3, 5}, {4, 6}, {5, 7}, {6, 6}, {7, 5}, {8, 4}, {9, 3}};
        for (POINT p : kTick) {
            RECT stroke{box.left + p.x, box.top + p.y, box.left + p.x + 1, box.top + p.y + 3};
            FillRect(hdc, &stroke, brush);
        }
    }

    // Only the frame and the label: the controls inside the group lie under the group box.
    void PaintGroup(HDC hdc, const RECT& client) {
        HBRUSH background = RequestColors(m_hwnd, hdc, WM_CTLCOLORSTATIC);
        COLORREF textColor = GetTextColor(hdc);
        std::u16string text = Text();
        RECT extent{0, 0, 0, 0};
        DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &extent, DT_SINGLELINE | DT_CALCRECT);
        int height = extent.bottom - extent.top;
        RECT frame{client.left, client.top + height / 2, client.right, client.bottom};
        FrameSystemColor(hdc, frame, COLOR_WINDOWFRAME);
        if (text.empty())
            return;
        RECT label{client.left + 6, client.top, std::min(client.right, client.left + 10 + extent.right),
                   client.top + height};
        FillRect(hdc, &label, background);
        label.left += 2;
        SetTextColor(hdc, IsWindowEnabled(m_hwnd) ? textColor : GetSysColor(COLOR_GRAYTEXT));
        DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &label, DT_LEFT | DT_SINGLELINE);
    }

    UINT m_check = BST_UNCHECKED;
    bool m_pressed = false;
    bool m_tracking = false;
    bool m_spacePressed = false;
    bool m_focus = false;
};

} // namespace

const SystemClass kButtonWindowClass(WNDCLASSW{CS_DBLCLKS | CS_PARENTDC, ControlProc<Button>, 0, kStateBytes,
                                               nullptr, nullptr, nullptr, nullptr, nullptr, u"BUTTON"});

} // namespace user::controls
