#pragma once
// Dialog templates as C++ tables. A DialogTemplateBytes object lays a table out in the platform's binary
// DLGTEMPLATE format (header, menu, class, caption, font, then each item DWORD-aligned with its class,
// text and no creation data), so the bytes can be an RT_DIALOG resource of the module or be handed to
// CreateDialogIndirectParamW directly:
//
//     const user::DialogItem kAboutItems[] = {
//         {user::kButtonClass, u"OK", IDOK, 60, 70, 50, 14, WS_TABSTOP | BS_DEFPUSHBUTTON}};
//     const user::DialogTemplateBytes kAbout({WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 0, 127, 97, u"About",
//                                             8, u"MS Shell Dlg"}, kAboutItems);
//     const kernel::ResourceEntry kResources[] = {{RT_DIALOG, MAKEINTRESOURCE(100), kAbout.Data(),
//                                                  kAbout.Size()}};

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crt/Types.h"
#include "user/Dialog.h"
#include "user/Window.h"

namespace user {

// The standard control classes by their template ordinals.
inline const LPCWSTR kButtonClass = MAKEINTRESOURCE(0x0080);
inline const LPCWSTR kEditClass = MAKEINTRESOURCE(0x0081);
inline const LPCWSTR kStaticClass = MAKEINTRESOURCE(0x0082);
inline const LPCWSTR kListBoxClass = MAKEINTRESOURCE(0x0083);
inline const LPCWSTR kScrollBarClass = MAKEINTRESOURCE(0x0084);
inline const LPCWSTR kComboBoxClass = MAKEINTRESOURCE(0x0085);

// One control. The class is a name or one of the ordinals above; WS_CHILD is added to the style, and
// WS_VISIBLE too unless the item is hidden.
struct DialogItem {
    LPCWSTR className;
    LPCWSTR text;
    WORD id;
    short x;
    short y;
    short cx;
    short cy;
    DWORD style = 0;
    DWORD exStyle = 0;
    bool hidden = false;
};

// The dialog. DS_SETFONT is added when a font is named.
struct DialogDescription {
    DWORD style;
    DWORD exStyle;
    short x;
    short y;
    short cx;
    short cy;
    LPCWSTR caption = nullptr;
    WORD pointSize = 0;
    LPCWSTR fontName = nullptr;
    LPCWSTR className = nullptr;
};

class DialogTemplateBytes {
public:
    DialogTemplateBytes(const DialogDescription& dialog, std::span<const DialogItem> items);

    const DLGTEMPLATE* Template() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }
    const void* Data() const { return m_words.data(); }
    size_t Size() const { return m_size; }

private:
    std::vector<uint32_t> m_words; // DWORD storage keeps the required alignment
    size_t m_size = 0;
};

} // namespace user
