// The COMBOBOX class: a selection field with a button and a drop-down list. CBS_DROPDOWNLIST shows the
// selected item in the field; CBS_DROPDOWN has an edit box there (control id 1001). The height given at
// creation (or to SetWindowPos) is the field and the list together: the window keeps the field's height
// and the rest becomes the list's greatest height.
//
// The list is a topmost popup that never takes the focus ("ComboLBox"). It drops down on a tap on the
// field (the button alone for CBS_DROPDOWN), F4, Alt+Down or CB_SHOWDROPDOWN, after CBN_DROPDOWN; while
// it is down the stylus belongs to it: a tap on an item chooses it, a tap anywhere else closes the list.
// The arrows move the highlight in the dropped list (Enter chooses, Escape closes), and change the
// selection at once when the list is up. Closing sends CBN_CLOSEUP, then CBN_SELCHANGE when the choice
// changed the selection; messages (CB_SETCURSEL...) change it without a notification.

#include <algorithm>
#include <string>

#include "ControlSupport.h"
#include "ListBox.h"
#include "user/Dialog.h"
#include "user/System.h"

namespace user::controls {

namespace {

constexpr int kEditId = 1001;
constexpr int kFieldPadding = 6;

class ComboBox : public ControlBase {
public:
    ComboBox(HWND hwnd, const CREATESTRUCTW& create)
        : ControlBase(hwnd), m_editable((create.style & 3) != CBS_DROPDOWNLIST), m_createHeight(create.cy),
          m_initialText(create.lpszName && !IS_INTRESOURCE(create.lpszName) ? create.lpszName : u"") {}

    static ComboBox* Of(HWND hwnd) {
        if (!hwnd || !HasClass(hwnd, u"COMBOBOX"))
            return nullptr;
        return reinterpret_cast<ComboBox*>(GetWindowLongPtrW(hwnd, kStateOffset));
    }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_CREATE:
            return Create(reinterpret_cast<const CREATESTRUCTW*>(lParam)) ? 0 : -1;
        case WM_DESTROY:
            if (m_list && IsWindow(m_list))
                DestroyWindow(m_list);
            m_list = nullptr;
            return 0;
        case WM_WINDOWPOSCHANGING:
            OnPositionChanging(reinterpret_cast<WINDOWPOS*>(lParam));
            return 0;
        case WM_SIZE:
            LayOutEdit();
            return 0;
        case WM_SETFONT:
            SetFont(reinterpret_cast<HFONT>(wParam), lParam != 0);
            return 0;
        case WM_GETDLGCODE: {
            LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (m_dropped && msg && msg->message == WM_KEYDOWN &&
                (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
                code |= DLGC_WANTMESSAGE;
            return code;
        }
        case WM_SETFOCUS:
            if (m_editable) {
                SetFocus(m_edit);
                SendMessageW(m_edit, EM_SETSEL, 0, -1);
                return 0;
            }
            m_focus = true;
            Repaint();
            NotifyParent(m_hwnd, CBN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            if (m_editable)
                return 0;
            m_focus = false;
            CloseUp(false);
            if (!Alive())
                return 0;
            Repaint();
            NotifyParent(m_hwnd, CBN_KILLFOCUS);
            return 0;
        case WM_ENABLE:
            if (m_edit)
                EnableWindow(m_edit, wParam ? TRUE : FALSE);
            if (!wParam)
                CloseUp(false);
            Repaint();
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnPress(PointFromLParam(lParam));
            return 0;
        case WM_KEYDOWN:
            OnKey(static_cast<UINT>(wParam));
            return 0;
        case WM_CHAR:
            if (!m_editable)
                OnCharacter(static_cast<WCHAR>(wParam));
            return 0;
        case WM_COMMAND:
            if (m_edit && reinterpret_cast<HWND>(lParam) == m_edit)
                OnEditNotification(HIWORD(wParam));
            return 0;
        case WM_SETTEXT:
            return SetText(TextOf(reinterpret_cast<LPCWSTR>(lParam)));
        case WM_GETTEXT:
            return static_cast<LRESULT>(CopyToBuffer(Text(), reinterpret_cast<LPWSTR>(lParam), wParam));
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(Text().size());

        case CB_ADDSTRING:
            return List(LB_ADDSTRING, 0, lParam);
        case CB_INSERTSTRING:
            return List(LB_INSERTSTRING, wParam, lParam);
        case CB_DELETESTRING: {
            LRESULT result = List(LB_DELETESTRING, wParam, 0);
            Repaint();
            return result;
        }
        case CB_RESETCONTENT:
            List(LB_RESETCONTENT, 0, 0);
            if (m_editable)
                SetEditText(u"");
            SyncText();
            Repaint();
            return CB_OKAY;
        case CB_GETCOUNT:
            return List(LB_GETCOUNT, 0, 0);
        case CB_GETCURSEL:
            return List(LB_GETCURSEL, 0, 0);
        case CB_SETCURSEL: {
            INT_PTR index = static_cast<INT_PTR>(wParam);
            if (index < 0 || index >= List(LB_GETCOUNT, 0, 0)) {
                // A bad index, or -1, clears the selection.
                List(LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
                if (m_editable)
                    SetEditText(u"");
                SyncText();
                Repaint();
                return CB_ERR;
            }
            Select(static_cast<int>(index));
            return index;
        }
        case CB_GETLBTEXT:
            return List(LB_GETTEXT, wParam, lParam);
        case CB_GETLBTEXTLEN:
            return List(LB_GETTEXTLEN, wParam, 0);
        case CB_GETITEMDATA:
            return List(LB_GETITEMDATA, wParam, 0);
        case CB_SETITEMDATA:
            return List(LB_SETITEMDATA, wParam, lParam);
        case CB_FINDSTRING:
            return List(LB_FINDSTRING, wParam, lParam);
        case CB_FINDSTRINGEXACT:
            return List(LB_FINDSTRINGEXACT, wParam, lParam);
        case CB_SHOWDROPDOWN:
            if (wParam)
                Drop();
            else
                CloseUp(false);
            return TRUE;
        case CB_GETDROPPEDSTATE:
            return m_dropped ? TRUE : FALSE;
        case CB_LIMITTEXT:
            if (!m_edit)
                return CB_ERR;
            SendMessageW(m_edit, EM_LIMITTEXT, wParam, 0);
            return TRUE;
        default:
            if (user::IsCtlColorMessage(message)) {
                // The parts ask the combo box's parent, as if they were the combo box's own.
                HWND parent = GetParent(m_hwnd);
                LRESULT brush = parent ? SendMessageW(parent, message, wParam, lParam) : 0;
                if (brush)
                    return brush;
            }
            return DefWindowProcW(m_hwnd, message, wParam, lParam);
        }
    }

    // From the list.
    void Chose(int index) {
        if (ListBox* list = ListBox::OfComboList(m_list))
            list->SetHot(index);
        CloseUp(true);
    }
    void PressedOutside(POINT) { CloseUp(false); }
    void LostCapture() { CloseUp(false); }

private:
    LRESULT List(UINT message, WPARAM wParam, LPARAM lParam) {
        return m_list ? SendMessageW(m_list, message, wParam, lParam) : CB_ERR;
    }

    void Repaint() { InvalidateRect(m_hwnd, nullptr, FALSE); }

    bool Create(const CREATESTRUCTW* create) {
        m_fieldHeight = FontLineHeight(m_font) + kFieldPadding;
        LONG style = GetWindowLongW(m_hwnd, GWL_STYLE);
        DWORD listStyle =
            WS_POPUP | WS_BORDER | LBS_NOTIFY | (style & WS_VSCROLL) | ((style & CBS_SORT) ? LBS_SORT : 0);
        m_list = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kComboListClassName, u"", listStyle, 0, 0,
                                 create->cx, m_fieldHeight, m_hwnd, nullptr, create->hInstance, m_hwnd);
        if (!m_list)
            return false;
        if (m_editable) {
            DWORD editStyle = WS_CHILD | WS_VISIBLE | ((style & CBS_AUTOHSCROLL) ? ES_AUTOHSCROLL : 0);
            m_edit = CreateWindowExW(0, u"EDIT", m_initialText.c_str(), editStyle, 0, 0, 0, 0, m_hwnd,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
                                     create->hInstance, nullptr);
            if (!m_edit)
                return false;
        }
        m_droppedHeight = std::max(0, m_createHeight - m_fieldHeight);
        FitToField();
        LayOutEdit();
        return true;
    }

    int FrameHeight() const {
        RECT window;
        RECT client;
        GetWindowRect(m_hwnd, &window);
        GetClientRect(m_hwnd, &client);
        return (window.bottom - window.top) - (client.bottom - client.top);
    }

    void FitToField() {
        RECT window;
        GetWindowRect(m_hwnd, &window);
        SetWindowPos(m_hwnd, nullptr, 0, 0, window.right - window.left, FrameHeight() + m_fieldHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The window keeps the field's height; a taller request sets the list's greatest height.
    void OnPositionChanging(WINDOWPOS* pos) {
        if (!pos)
            return;
        if (m_dropped && (!(pos->flags & SWP_NOMOVE) || !(pos->flags & SWP_NOSIZE)))
            CloseUp(false);
        if (pos->flags & SWP_NOSIZE || m_fieldHeight == 0)
            return;
        int wanted = FrameHeight() + m_fieldHeight;
        if (pos->cy > wanted)
            m_droppedHeight = pos->cy - wanted;
        pos->cy = wanted;
    }

    RECT ButtonRect() const {
        RECT client;
        GetClientRect(m_hwnd, &client);
        int width = GetSystemMetrics(SM_CXVSCROLL);
        return RECT{std::max(client.left + 1, client.right - 1 - width), client.top + 1, client.right - 1,
                    client.bottom - 1};
    }

    RECT FieldRect() const {
        RECT client;
        GetClientRect(m_hwnd, &client);
        RECT button = ButtonRect();
        return RECT{client.left + 1, client.top + 1, button.left, client.bottom - 1};
    }

    void LayOutEdit() {
        if (!m_edit)
            return;
        RECT field = FieldRect();
        MoveWindow(m_edit, field.left, field.top, std::max(0, static_cast<int>(field.right - field.left)),
                   std::max(0, static_cast<int>(field.bottom - field.top)), TRUE);
    }

    void SetFont(HFONT font, bool redraw) {
        m_font = font;
        if (m_edit)
            SendMessageW(m_edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (m_list)
            SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        m_fieldHeight = FontLineHeight(font) + kFieldPadding;
        FitToField();
        LayOutEdit();
        if (redraw)
            Repaint();
    }

    std::u16string ItemText(int index) {
        LRESULT length = List(LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length < 0)
            return {};
        std::u16string text(static_cast<size_t>(length) + 1, u'\0');
        LRESULT copied = List(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        return text;
    }

    int Current() { return static_cast<int>(List(LB_GETCURSEL, 0, 0)); }

    std::u16string Text() {
        if (m_edit)
            return WindowText(m_edit);
        int current = Current();
        return current >= 0 ? ItemText(current) : std::u16string();
    }

    void SyncText() {
        std::u16string text = Text();
        DefWindowProcW(m_hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }

    void SetEditText(std::u16string_view text) {
        std::u16string copy(text);
        m_settingText = true;
        SetWindowTextW(m_edit, copy.c_str());
        m_settingText = false;
        if (GetFocus() == m_edit)
            SendMessageW(m_edit, EM_SETSEL, 0, -1);
    }

    LRESULT SetText(std::u16string_view text) {
        if (m_editable) {
            SetEditText(text);
            SyncText();
            return TRUE;
        }
        std::u16string wanted(text);
        LRESULT found =
            List(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wanted.c_str()));
        if (found < 0)
            return CB_ERR;
        Select(static_cast<int>(found));
        return TRUE;
    }

    void Select(int index) {
        List(LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        if (m_editable)
            SetEditText(ItemText(index));
        SyncText();
        Repaint();
    }

    // --- dropping down and closing ---------------------------------------------------------------

    void Drop() {
        ListBox* list = ListBox::OfComboList(m_list);
        if (m_dropped || !list || !IsWindowEnabled(m_hwnd))
            return;
        NotifyParent(m_hwnd, CBN_DROPDOWN);
        if (!Alive() || m_dropped)
            return;
        int itemHeight = std::max(1, list->ItemHeight());
        int border = 2;
        int most = std::max(1, (m_droppedHeight - border) / itemHeight);
        int rows = std::clamp(list->Count(), 1, most);
        int height = rows * itemHeight + border;
        RECT field;
        GetWindowRect(m_hwnd, &field);
        int y = field.bottom;
        if (y + height > GetSystemMetrics(SM_CYSCREEN) && field.top - height >= 0)
            y = field.top - height;
        SetWindowPos(m_list, HWND_TOPMOST, field.left, y, field.right - field.left, height, SWP_NOACTIVATE);
        list->BeginDrop();
        ShowWindow(m_list, SW_SHOWNA);
        m_dropped = true;
        SetCapture(m_list);
        Repaint();
    }

    void CloseUp(bool choose) {
        ListBox* list = ListBox::OfComboList(m_list);
        if (!m_dropped || !list)
            return;
        m_dropped = false;
        int chosen = list->Hot();
        list->EndDrop();
        ShowWindow(m_list, SW_HIDE);
        if (GetCapture() == m_list)
            ReleaseCapture();
        Repaint();
        NotifyParent(m_hwnd, CBN_CLOSEUP);
        if (!Alive() || !choose || chosen < 0)
            return;
        bool changed = chosen != Current();
        Select(chosen);
        if (changed)
            NotifyParent(m_hwnd, CBN_SELCHANGE);
    }

    void Toggle() {
        if (m_dropped)
            CloseUp(true);
        else
            Drop();
    }

    // --- input -----------------------------------------------------------------------------------

    void OnPress(POINT point) {
        HWND focusTarget = m_edit ? m_edit : m_hwnd;
        if (GetFocus() != focusTarget) {
            SetFocus(m_hwnd);
            if (!Alive())
                return;
        }
        RECT button = ButtonRect();
        if (!m_editable || PtInRect(&button, point))
            Toggle();
    }

    void ChangeSelection(int index) {
        int count = static_cast<int>(List(LB_GETCOUNT, 0, 0));
        if (count == 0)
            return;
        index = std::clamp(index, 0, count - 1);
        if (index == Current())
            return;
        Select(index);
        NotifyParent(m_hwnd, CBN_SELCHANGE);
    }

    void OnKey(UINT key) {
        ListBox* list = ListBox::OfComboList(m_list);
        if (!list)
            return;
        if (key == kF4 || ((key == VK_DOWN || key == VK_UP) && IsAltDown())) {
            Toggle();
            return;
        }
        if (m_dropped) {
            if (key == VK_RETURN)
                CloseUp(true);
            else if (key == VK_ESCAPE)
                CloseUp(false);
            else
                list->MoveHot(key);
            return;
        }
        int current = Current();
        int page = std::max(1, std::max(1, m_droppedHeight / std::max(1, list->ItemHeight())) - 1);
        switch (key) {
        case VK_UP:
            ChangeSelection(current < 0 ? 0 : current - 1);
            break;
        case VK_DOWN:
            ChangeSelection(current < 0 ? 0 : current + 1);
            break;
        case VK_PRIOR:
            ChangeSelection(std::max(0, current) - page);
            break;
        case VK_NEXT:
            ChangeSelection(std::max(0, current) + page);
            break;
        case VK_HOME:
            if (!m_editable)
                ChangeSelection(0);
            break;
        case VK_END:
            if (!m_editable)
                ChangeSelection(list->Count() - 1);
            break;
        default:
            break;
        }
    }

    void OnCharacter(WCHAR c) {
        ListBox* list = ListBox::OfComboList(m_list);
        if (!list || c < 0x20)
            return;
        int found = list->FindByCharacter(c, m_dropped && list->Hot() >= 0 ? list->Hot() : Current());
        if (found < 0)
            return;
        if (m_dropped)
            list->SetHot(found);
        else
            ChangeSelection(found);
    }

    void OnEditNotification(WORD code) {
        switch (code) {
        case EN_SETFOCUS:
            m_focus = true;
            NotifyParent(m_hwnd, CBN_SETFOCUS);
            break;
        case EN_KILLFOCUS:
            m_focus = false;
            CloseUp(false);
            if (Alive())
                NotifyParent(m_hwnd, CBN_KILLFOCUS);
            break;
        case EN_UPDATE:
            if (!m_settingText)
                NotifyParent(m_hwnd, CBN_EDITUPDATE);
            break;
        case EN_CHANGE:
            SyncText();
            if (!m_settingText)
                NotifyParent(m_hwnd, CBN_EDITCHANGE);
            break;
        default:
            break;
        }
    }

    // --- painting --------------------------------------------------------------------------------

    void Paint() override {
        ScopedPaint paint(m_hwnd, m_font);
        if (!paint)
            return;
        HDC hdc = paint.Dc();
        RECT client = paint.Client();
        bool enabled = IsWindowEnabled(m_hwnd) != FALSE;
        HBRUSH background = RequestColors(m_hwnd, hdc, WM_CTLCOLOREDIT);
        COLORREF textColor = enabled ? GetTextColor(hdc) : GetSysColor(COLOR_GRAYTEXT);
        FillRect(hdc, &client, background);
        FrameSystemColor(hdc, client, COLOR_WINDOWFRAME);
        RECT button = ButtonRect();
        FillSystemColor(hdc, button, m_dropped ? COLOR_WINDOWTEXT : COLOR_WINDOW);
        RECT divider{button.left - 1, button.top, button.left, button.bottom};
        FillSystemColor(hdc, divider, COLOR_WINDOWFRAME);
        DrawArrow(hdc, button, Arrow::Down, ArrowDepth(button),
                  GetSysColorBrush(!enabled    ? COLOR_GRAYTEXT
                                   : m_dropped ? COLOR_WINDOW
                                               : COLOR_WINDOWTEXT));
        if (!m_editable) {
            RECT field = FieldRect();
            field.right -= 1;
            bool highlighted = m_focus && !m_dropped;
            if (highlighted) {
                RECT band = field;
                InflateRect(&band, -1, -1);
                FillSystemColor(hdc, band, COLOR_HIGHLIGHT);
            }
            SetBkMode(hdc, TRANSPARENT);
            SetTextColor(hdc, highlighted && enabled ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor);
            std::u16string text = Text();
            RECT textRect{field.left + 2, field.top, field.right - 1, field.bottom};
            DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &textRect,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
    }

    const bool m_editable;
    const int m_createHeight;
    const std::u16string m_initialText;
    HWND m_list = nullptr;
    HWND m_edit = nullptr;
    int m_fieldHeight = 0;
    int m_droppedHeight = 0;
    bool m_dropped = false;
    bool m_focus = false;
    bool m_settingText = false;
};

} // namespace

void ComboListChose(HWND combo, int index) {
    if (ComboBox* box = ComboBox::Of(combo))
        box->Chose(index);
}

void ComboListPressedOutside(HWND combo, POINT screen) {
    if (ComboBox* box = ComboBox::Of(combo))
        box->PressedOutside(screen);
}

void ComboListLostCapture(HWND combo) {
    if (ComboBox* box = ComboBox::Of(combo))
        box->LostCapture();
}

const SystemClass kComboBoxWindowClass(WNDCLASSW{CS_DBLCLKS | CS_PARENTDC, ControlProc<ComboBox>, 0,
                                                 kStateBytes, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                 u"COMBOBOX"});

} // namespace user::controls
