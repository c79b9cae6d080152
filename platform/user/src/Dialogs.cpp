// Dialogs: reading templates, creating dialogs and their controls, the modal loop and DefDlgProcW.
//
// Format notes (DLGTEMPLATE): an 18-byte header (style, extended style, item count, x, y, cx, cy); then
// the menu, the class and the caption, each either the WORD 0, the WORD 0xFFFF and an ordinal, or a
// NUL-terminated UTF-16 string; with DS_SETFONT a WORD point size and a face name. Each item starts on a
// DWORD boundary (from the template's start): an 18-byte DLGITEMTEMPLATE, its class and text in the same
// name-or-ordinal form, and a WORD with the size of its creation data, which follows (DWORD-aligned).

#include <algorithm>
#include <cstring>
#include <string>

#include "Internal.h"
#include "gdi/Gdi.h"
#include "kernel/Errors.h"
#include "kernel/Resources.h"
#include "user/Paint.h"
#include "user/System.h"

namespace user::detail {

namespace {

constexpr size_t kUnknownTemplateSize = 65536;

struct NameOrOrdinal {
    bool present = false;
    bool ordinal = false;
    WORD id = 0;
    std::u16string name;
};

struct ItemTemplate {
    DLGITEMTEMPLATE header{};
    NameOrOrdinal className;
    NameOrOrdinal text;
    const BYTE* creationData = nullptr;
};

struct ParsedTemplate {
    DLGTEMPLATE header{};
    NameOrOrdinal menu;
    NameOrOrdinal className;
    std::u16string caption;
    WORD pointSize = 0;
    std::u16string face;
    std::vector<ItemTemplate> items;
};

// Reads a template; every access is checked against the size.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}

    bool Read(void* out, size_t count) {
        if (m_size - m_pos < count)
            return false;
        std::memcpy(out, m_data + m_pos, count);
        m_pos += count;
        return true;
    }
    bool Word(WORD& value) { return Read(&value, sizeof value); }
    bool String(std::u16string& text) {
        text.clear();
        for (;;) {
            WORD unit = 0;
            if (!Word(unit))
                return false;
            if (unit == 0)
                return true;
            text.push_back(static_cast<char16_t>(unit));
        }
    }
    bool Name(NameOrOrdinal& name) {
        WORD first = 0;
        if (!Word(first))
            return false;
        if (first == 0)
            return true;
        name.present = true;
        if (first == 0xFFFF) {
            name.ordinal = true;
            return Word(name.id);
        }
        name.name.push_back(static_cast<char16_t>(first));
        std::u16string rest;
        if (!String(rest))
            return false;
        name.name += rest;
        return true;
    }
    bool AlignTo(size_t alignment) {
        size_t aligned = (m_pos + alignment - 1) / alignment * alignment;
        if (aligned > m_size)
            return false;
        m_pos = aligned;
        return true;
    }
    bool Skip(size_t count) {
        if (m_size - m_pos < count)
            return false;
        m_pos += count;
        return true;
    }
    const BYTE* Here() const { return m_data + m_pos; }

private:
    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

bool ParseTemplate(const BYTE* data, size_t size, ParsedTemplate& parsed) {
    TemplateReader reader(data, size);
    if (!reader.Read(&parsed.header, sizeof parsed.header))
        return false;
    DWORD signature = 0;
    std::memcpy(&signature, data, sizeof signature);
    if (signature == 0xFFFF0001u)
        return false; // DLGTEMPLATEEX
    if (!reader.Name(parsed.menu) || !reader.Name(parsed.className) || !reader.String(parsed.caption))
        return false;
    if (parsed.header.style & DS_SETFONT) {
        if (!reader.Word(parsed.pointSize) || !reader.String(parsed.face))
            return false;
    }
    for (WORD i = 0; i < parsed.header.cdit; ++i) {
        ItemTemplate item;
        if (!reader.AlignTo(4) || !reader.Read(&item.header, sizeof item.header) ||
            !reader.Name(item.className) || !reader.Name(item.text))
            return false;
        WORD extra = 0;
        if (!reader.Word(extra))
            return false;
        if (extra > 0) {
            item.creationData = reader.Here() - sizeof(WORD);
            if (!reader.Skip(extra))
                return false;
        }
        parsed.items.push_back(std::move(item));
    }
    return true;
}

std::u16string ClassNameOf(const NameOrOrdinal& name) {
    if (!name.ordinal)
        return name.name;
    switch (name.id) {
    case 0x80:
        return u"BUTTON";
    case 0x81:
        return u"EDIT";
    case 0x82:
        return u"STATIC";
    case 0x83:
        return u"LISTBOX";
    case 0x84:
        return u"SCROLLBAR";
    case 0x85:
        return u"COMBOBOX";
    default: {
        std::string digits = std::to_string(name.id);
        return u"#" + std::u16string(digits.begin(), digits.end());
    }
    }
}

int Scale(int value, int units, int divisor) {
    long long product = static_cast<long long>(value) * units;
    long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

DLGPROC ProcOf(Window* w) {
    if (w->extra.size() < DWLP_DLGPROC + sizeof(LONG_PTR))
        return nullptr;
    DLGPROC proc = nullptr;
    std::memcpy(&proc, w->extra.data() + DWLP_DLGPROC, sizeof proc);
    return proc;
}

void SetResult(Window* w, LONG_PTR value) {
    if (w->extra.size() >= DWLP_MSGRESULT + sizeof(LONG_PTR))
        std::memcpy(w->extra.data() + DWLP_MSGRESULT, &value, sizeof value);
}

LONG_PTR ResultOf(Window* w) {
    LONG_PTR value = 0;
    if (w->extra.size() >= DWLP_MSGRESULT + sizeof(LONG_PTR))
        std::memcpy(&value, w->extra.data() + DWLP_MSGRESULT, sizeof value);
    return value;
}

void RestoreFocus(Window* dialog) {
    DialogState* d = dialog->dialog.get();
    Window* saved = d ? Peek(d->savedFocus) : nullptr;
    if (saved && IsDescendant(dialog, saved) && !(saved->style & WS_DISABLED)) {
        SetFocusTo(saved);
        return;
    }
    HWND first = GetNextDlgTabItem(dialog->handle, nullptr, FALSE);
    if (Window* f = Peek(first))
        SetFocusTo(f);
    else
        SetFocusTo(dialog);
}

struct CreatedFont {
    HFONT font;
    bool owned;
};

CreatedFont FontOf(const ParsedTemplate& parsed) {
    if (!(parsed.header.style & DS_SETFONT))
        return CreatedFont{SystemFont(), false};
    LOGFONTW logFont{};
    logFont.lfHeight = -Scale(parsed.pointSize, 96, 72);
    logFont.lfWeight = FW_NORMAL;
    size_t count = std::min<size_t>(parsed.face.size(), LF_FACESIZE - 1);
    std::copy_n(parsed.face.data(), count, logFont.lfFaceName);
    HFONT font = CreateFontIndirectW(&logFont);
    if (!font)
        return CreatedFont{SystemFont(), false};
    return CreatedFont{font, true};
}

} // namespace

HFONT SystemFont() {
    return reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

SIZE BaseUnitsOf(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{0, 0};
    const char16_t alphabet[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, alphabet, 52, &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    SIZE units{(extent.cx / 26 + 1) / 2, metrics.tmHeight};
    if (units.cx <= 0)
        units.cx = 4;
    if (units.cy <= 0)
        units.cy = 8;
    return units;
}

DialogState* DialogOf(HWND hwnd) {
    Window* w = Peek(hwnd);
    return w ? w->dialog.get() : nullptr;
}

HWND CreateDialogFromTemplate(HINSTANCE instance, const BYTE* data, size_t size, HWND parent, DLGPROC proc,
                              LPARAM param, bool modal) {
    ParsedTemplate parsed;
    if (!data || !ParseTemplate(data, size, parsed))
        return kernel::Fail(ERROR_INVALID_PARAMETER, nullptr);
    Window* parentWindow = nullptr;
    if (parent) {
        parentWindow = Find(parent);
        if (!parentWindow)
            return nullptr;
    }
    DWORD style = parsed.header.style;
    bool child = (style & WS_CHILD) != 0;
    if (child && !parentWindow)
        return kernel::Fail(ERROR_TLW_WITH_WSCHILD, nullptr);
    CreatedFont font = FontOf(parsed);
    SIZE units = BaseUnitsOf(font.font);
    RECT client{0, 0, Scale(parsed.header.cx, units.cx, 4), Scale(parsed.header.cy, units.cy, 8)};
    RECT frame = client;
    AdjustWindowRectEx(&frame, style & ~WS_VISIBLE, FALSE, parsed.header.dwExtendedStyle);
    int x = Scale(parsed.header.x, units.cx, 4) + frame.left;
    int y = Scale(parsed.header.y, units.cy, 8) + frame.top;
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    if (!child) {
        if (style & DS_CENTER) {
            RECT area = WorkArea();
            x = area.left + (area.right - area.left - width) / 2;
            y = area.top + (area.bottom - area.top - height) / 2;
        } else if (!(style & DS_ABSALIGN) && parentWindow) {
            POINT origin = ClientScreenOrigin(parentWindow);
            x += origin.x;
            y += origin.y;
        }
    }
    std::u16string className = parsed.className.present ? ClassNameOf(parsed.className) : u"#32770";
    LPCWSTR classArgument = parsed.className.present ? className.c_str() : WC_DIALOG;
    HWND hwnd = CreateWindowExW(parsed.header.dwExtendedStyle, classArgument, parsed.caption.c_str(),
                                style & ~WS_VISIBLE, x, y, width, height, parent, nullptr, instance, nullptr);
    if (!hwnd) {
        if (font.owned)
            DeleteObject(font.font);
        return nullptr;
    }
    Window* w = Peek(hwnd);
    auto keep = w->shared_from_this();
    w->dialog = std::make_unique<DialogState>();
    DialogState* d = w->dialog.get();
    d->modal = modal;
    d->font = font.font;
    d->ownsFont = font.owned;
    d->baseUnits = units;
    if (w->extra.size() >= DLGWINDOWEXTRA)
        std::memcpy(w->extra.data() + DWLP_DLGPROC, &proc, sizeof proc);
    if (parsed.header.style & DS_SETFONT)
        Send(w, WM_SETFONT, reinterpret_cast<WPARAM>(font.font), FALSE);
    for (const ItemTemplate& item : parsed.items) {
        if (w->destroyed)
            return nullptr;
        std::u16string itemClass = ClassNameOf(item.className);
        std::u16string text = item.text.present && !item.text.ordinal ? item.text.name : u"";
        LPCWSTR textArgument =
            item.text.ordinal ? MAKEINTRESOURCE(item.text.id) : static_cast<LPCWSTR>(text.c_str());
        RECT r{Scale(item.header.x, units.cx, 4), Scale(item.header.y, units.cy, 8),
               Scale(item.header.x + item.header.cx, units.cx, 4),
               Scale(item.header.y + item.header.cy, units.cy, 8)};
        HWND control =
            CreateWindowExW(item.header.dwExtendedStyle, itemClass.c_str(), textArgument,
                            item.header.style | WS_CHILD, r.left, r.top, r.right - r.left, r.bottom - r.top,
                            hwnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.header.id)), instance,
                            const_cast<BYTE*>(item.creationData));
        if (!control) {
            if (style & DS_NOFAILCREATE)
                continue;
            DWORD error = GetLastError();
            if (!w->destroyed)
                DestroyWindowObject(w);
            return kernel::Fail(error ? error : ERROR_CANNOT_FIND_WND_CLASS, nullptr);
        }
        if (parsed.header.style & DS_SETFONT)
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.font), FALSE);
        if (d->defaultId == 0 && EqualNoCase(itemClass, u"BUTTON") &&
            (item.header.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            d->defaultId = item.header.id;
    }
    if (w->destroyed)
        return nullptr;
    HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE);
    LRESULT focusFirst = Send(w, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (w->destroyed)
        return nullptr;
    d->savedFocus = focusFirst ? first : nullptr;
    if (!modal && (style & WS_VISIBLE) && !d->ended) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        if (focusFirst && Peek(first))
            SetFocusTo(Peek(first));
    }
    return hwnd;
}

HWND CreatePlainDialog(DWORD style, DWORD exStyle, const RECT& rect, LPCWSTR caption, HWND owner,
                       DLGPROC proc, LPARAM param) {
    HWND hwnd =
        CreateWindowExW(exStyle, WC_DIALOG, caption, style & ~WS_VISIBLE, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, owner, nullptr, nullptr, nullptr);
    if (!hwnd)
        return nullptr;
    Window* w = Peek(hwnd);
    auto keep = w->shared_from_this();
    w->dialog = std::make_unique<DialogState>();
    w->dialog->modal = true;
    w->dialog->font = SystemFont();
    w->dialog->baseUnits = BaseUnitsOf(w->dialog->font);
    std::memcpy(w->extra.data() + DWLP_DLGPROC, &proc, sizeof proc);
    HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE);
    Send(w, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    return w->destroyed ? nullptr : hwnd;
}

INT_PTR RunModalDialog(HWND dialog, HWND owner, ModalFrame::Kind kind, std::u16string text,
                       INT_PTR cancelResult) {
    Window* w = Peek(dialog);
    if (!w || !w->dialog)
        return -1;
    auto keep = w->shared_from_this();
    DialogState* d = w->dialog.get();
    Window* ownerWindow = owner ? Peek(owner) : nullptr;
    Window* ownerTop = ownerWindow ? TopLevelOf(ownerWindow) : nullptr;
    bool disabledOwner = false;
    if (!d->ended) {
        if (ownerTop && !IsDesktop(ownerTop) && !(ownerTop->style & WS_DISABLED)) {
            EnableWindow(ownerTop->handle, FALSE);
            disabledOwner = true;
        }
        ShowWindow(dialog, SW_SHOWNORMAL);
        if (!w->destroyed && !d->ended) {
            Window* focus = Peek(g_focus);
            if (!focus || !IsDescendant(w, focus))
                RestoreFocus(w);
        }
        ModalFrame frame{kind, dialog, [dialog, cancelResult] { EndDialog(dialog, cancelResult); }, nullptr,
                         0};
        ModalHookInfo hook{kind, dialog, std::move(text)};
        RunModalLoop(
            frame, [&] { return w->destroyed || d->ended; },
            [dialog](MSG& msg) { return IsDialogMessageW(dialog, &msg) != FALSE; }, &hook);
    }
    INT_PTR result = d->result;
    if (disabledOwner && ownerTop && !ownerTop->destroyed)
        EnableWindow(ownerTop->handle, TRUE);
    if (!w->destroyed)
        DestroyWindowObject(w);
    return result;
}

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcW(hwnd, message, wParam, lParam);
}

} // namespace user::detail

using namespace user::detail;

LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Locked lock;
    Window* w = Find(hDlg);
    if (!w)
        return 0;
    auto keep = w->shared_from_this();
    DLGPROC proc = ProcOf(w);
    SetResult(w, 0);
    INT_PTR handled = 0;
    if (proc) {
        ThreadState& me = CurrentThread();
        if (me.sendDepth >= user::kMaxSendDepth)
            return kernel::Fail(ERROR_STACK_OVERFLOW, LRESULT{0});
        ++me.sendDepth;
        handled = proc(hDlg, Msg, wParam, lParam);
        --me.sendDepth;
    }
    if (w->destroyed)
        return handled;
    if (handled) {
        switch (Msg) {
        case WM_INITDIALOG:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
            return handled;
        default:
            return user::IsCtlColorMessage(Msg) ? handled : ResultOf(w);
        }
    }
    DialogState* d = w->dialog.get();
    switch (Msg) {
    case WM_ERASEBKGND: {
        HDC hdc = reinterpret_cast<HDC>(wParam);
        auto brush =
            reinterpret_cast<HBRUSH>(Send(w, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hDlg)));
        if (!brush)
            brush = GetSysColorBrush(COLOR_WINDOW);
        RECT client;
        GetClientRect(hDlg, &client);
        FillRect(hdc, &client, brush);
        return 1;
    }
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(hDlg, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel))
            PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_SETFOCUS:
        RestoreFocus(w);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            Window* focus = Peek(g_focus);
            if (d && focus && focus != w && IsDescendant(w, focus))
                d->savedFocus = focus->handle;
        } else {
            Window* focus = Peek(g_focus);
            if (!focus || !IsDescendant(w, focus))
                RestoreFocus(w);
        }
        return 0;
    case DM_GETDEFID:
        return d && d->defaultId ? MAKELRESULT(d->defaultId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
        if (d)
            d->defaultId = static_cast<WORD>(wParam);
        return TRUE;
    case WM_NEXTDLGCTL: {
        HWND next = lParam ? reinterpret_cast<HWND>(wParam)
                           : GetNextDlgTabItem(hDlg, GetFocus(), wParam != 0 ? TRUE : FALSE);
        if (Window* n = Peek(next))
            SetFocusTo(n);
        return 0;
    }
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(d ? d->font : nullptr);
    case WM_SETFONT:
        if (d) {
            if (d->ownsFont && d->font && d->font != reinterpret_cast<HFONT>(wParam)) {
                DeleteObject(d->font);
                d->ownsFont = false;
            }
            d->font = reinterpret_cast<HFONT>(wParam);
        }
        return 0;
    case WM_GETDLGCODE:
        return 0;
    default:
        return DefWindowProcW(hDlg, Msg, wParam, lParam);
    }
}

HWND CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    Locked lock;
    return CreateDialogFromTemplate(hInstance, reinterpret_cast<const BYTE*>(lpTemplate),
                                    kUnknownTemplateSize, hWndParent, lpDialogFunc, dwInitParam, false);
}

namespace {

const BYTE* LoadTemplate(HINSTANCE hInstance, LPCWSTR name, size_t& size) {
    HRSRC resource = FindResourceW(hInstance, name, RT_DIALOG);
    if (!resource)
        return nullptr;
    HGLOBAL loaded = LoadResource(hInstance, resource);
    size = SizeofResource(hInstance, resource);
    return loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
}

} // namespace

HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    Locked lock;
    size_t size = 0;
    const BYTE* data = LoadTemplate(hInstance, lpTemplateName, size);
    if (!data)
        return nullptr;
    return CreateDialogFromTemplate(hInstance, data, size, hWndParent, lpDialogFunc, dwInitParam, false);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    Locked lock;
    HWND owner = hWndParent;
    if (Window* given = owner ? Peek(owner) : nullptr)
        owner = TopLevelOf(given)->handle;
    HWND dialog = CreateDialogFromTemplate(hInstance, reinterpret_cast<const BYTE*>(hDialogTemplate),
                                           kUnknownTemplateSize, owner, lpDialogFunc, dwInitParam, true);
    if (!dialog)
        return -1;
    return RunModalDialog(dialog, owner);
}

INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    Locked lock;
    size_t size = 0;
    const BYTE* data = LoadTemplate(hInstance, lpTemplateName, size);
    if (!data)
        return -1;
    HWND owner = hWndParent;
    if (Window* given = owner ? Peek(owner) : nullptr)
        owner = TopLevelOf(given)->handle;
    HWND dialog = CreateDialogFromTemplate(hInstance, data, size, owner, lpDialogFunc, dwInitParam, true);
    if (!dialog)
        return -1;
    return RunModalDialog(dialog, owner);
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
    Locked lock;
    Window* w = Find(hDlg);
    if (!w)
        return FALSE;
    DialogState* d = w->dialog.get();
    if (!d)
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (d->ended)
        return TRUE;
    d->ended = true;
    d->result = nResult;
    if (!d->modal)
        ShowWindow(hDlg, SW_HIDE);
    PostMessageW(hDlg, WM_NULL, 0, 0);
    return TRUE;
}

BOOL MapDialogRect(HWND hDlg, LPRECT lpRect) {
    if (!lpRect)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    Locked lock;
    DialogState* d = DialogOf(hDlg);
    if (!d)
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    lpRect->left = Scale(lpRect->left, d->baseUnits.cx, 4);
    lpRect->right = Scale(lpRect->right, d->baseUnits.cx, 4);
    lpRect->top = Scale(lpRect->top, d->baseUnits.cy, 8);
    lpRect->bottom = Scale(lpRect->bottom, d->baseUnits.cy, 8);
    return TRUE;
}

LONG GetDialogBaseUnits() {
    Locked lock;
    SIZE units = BaseUnitsOf(SystemFont());
    return MAKELONG(units.cx, units.cy);
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    Locked lock;
    Window* w = Find(hDlg);
    if (!w)
        return nullptr;
    for (Window* child : w->children)
        if (child->id == nIDDlgItem)
            return child->handle;
    return kernel::Fail(ERROR_CONTROL_ID_NOT_FOUND, nullptr);
}

int GetDlgCtrlID(HWND hWnd) {
    Locked lock;
    Window* w = Find(hWnd);
    if (!w || !(w->style & WS_CHILD))
        return 0;
    return static_cast<int>(w->id);
}

LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? SendMessageW(control, Msg, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? SetWindowTextW(control, lpString) : FALSE;
}

UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax) {
    if (lpString && cchMax > 0)
        lpString[0] = 0;
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? static_cast<UINT>(GetWindowTextW(control, lpString, cchMax)) : 0;
}

BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
    std::string digits = bSigned ? std::to_string(static_cast<int>(uValue)) : std::to_string(uValue);
    std::u16string text(digits.begin(), digits.end());
    return SetDlgItemTextW(hDlg, nIDDlgItem, text.c_str());
}

UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
    if (lpTranslated)
        *lpTranslated = FALSE;
    WCHAR buffer[64];
    if (!GetDlgItem(hDlg, nIDDlgItem))
        return 0;
    GetDlgItemTextW(hDlg, nIDDlgItem, buffer, 64);
    const WCHAR* p = buffer;
    while (*p == u' ' || *p == u'\t')
        ++p;
    bool negative = false;
    if (bSigned && (*p == u'-' || *p == u'+')) {
        negative = *p == u'-';
        ++p;
    }
    if (*p < u'0' || *p > u'9')
        return 0;
    unsigned long long value = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - u'0');
        if (value > 0xFFFFFFFFull)
            return 0;
    }
    while (*p == u' ' || *p == u'\t')
        ++p;
    if (*p != 0)
        return 0;
    if (bSigned) {
        if ((!negative && value > 0x7FFFFFFFull) || (negative && value > 0x80000000ull))
            return 0;
        if (lpTranslated)
            *lpTranslated = TRUE;
        long long signedValue = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
        return static_cast<UINT>(static_cast<int>(signedValue));
    }
    if (lpTranslated)
        *lpTranslated = TRUE;
    return static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    HWND control = GetDlgItem(hDlg, nIDButton);
    if (!control)
        return FALSE;
    SendMessageW(control, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    HWND control = GetDlgItem(hDlg, nIDButton);
    return control ? static_cast<UINT>(SendMessageW(control, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    std::vector<std::pair<HWND, LONG_PTR>> buttons;
    {
        Locked lock;
        Window* w = Find(hDlg);
        if (!w)
            return FALSE;
        for (Window* child : w->children)
            if (child->id >= nIDFirstButton && child->id <= nIDLastButton)
                buttons.emplace_back(child->handle, child->id);
    }
    for (auto& [handle, id] : buttons)
        SendMessageW(handle, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}
