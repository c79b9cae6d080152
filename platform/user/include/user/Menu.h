#pragma once
// Menus: popup menus made in code or loaded from RT_MENU resources, and TrackPopupMenu.
//
// What a caller may rely on:
// - Menu handles are never reused; a destroyed menu's handle fails with ERROR_INVALID_MENU_HANDLE.
//   DestroyMenu destroys the menu's submenus too.
// - RT_MENU resources hold the platform's binary menu template (a MENUITEMTEMPLATEHEADER of version 0,
//   then items: a WORD of flags, a WORD id for items that are not popups, the NUL-terminated text;
//   MF_POPUP items are followed by their own items, MF_END marks the last item of a level). A program
//   declares them as C++ tables with user::MenuTemplateBytes.
// - TrackPopupMenu shows the menu as a modal popup on top of every window, kept on the screen, and runs a
//   loop until an item is chosen or the menu is dismissed. A stylus press and release on an enabled item
//   chooses it (a release without a press inside the loop does nothing); a press outside the menu
//   dismisses it. Up and Down move the highlight over enabled items, Enter chooses, Escape dismisses. The
//   chosen item's id is posted to the owner as WM_COMMAND (wParam = id), unless TPM_RETURNCMD asks for it
//   as the result. Items with a submenu are shown but are not chosen.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crt/Types.h"

#ifndef ERROR_MENU_ITEM_NOT_FOUND
#define ERROR_MENU_ITEM_NOT_FOUND 1456L
#endif

#define MF_INSERT 0x00000000L
#define MF_CHANGE 0x00000080L
#define MF_APPEND 0x00000100L
#define MF_DELETE 0x00000200L
#define MF_REMOVE 0x00001000L
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L
#define MF_SEPARATOR 0x00000800L
#define MF_ENABLED 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_UNCHECKED 0x00000000L
#define MF_CHECKED 0x00000008L
#define MF_STRING 0x00000000L
#define MF_POPUP 0x00000010L
#define MF_END 0x00000080L
#define MF_HILITE 0x00000080L
#define MF_OWNERDRAW 0x00000100L

#define TPM_LEFTBUTTON 0x0000L
#define TPM_RIGHTBUTTON 0x0002L
#define TPM_LEFTALIGN 0x0000L
#define TPM_CENTERALIGN 0x0004L
#define TPM_RIGHTALIGN 0x0008L
#define TPM_TOPALIGN 0x0000L
#define TPM_VCENTERALIGN 0x0010L
#define TPM_BOTTOMALIGN 0x0020L
#define TPM_NONOTIFY 0x0080L
#define TPM_RETURNCMD 0x0100L

struct MENUITEMTEMPLATEHEADER {
    WORD versionNumber;
    WORD offset;
};

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU hMenu);
// Accepts MF_STRING, MF_SEPARATOR, MF_POPUP (uIDNewItem is then the submenu, which the menu takes over),
// MF_GRAYED, MF_DISABLED and MF_CHECKED.
BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
BOOL InsertMenuW(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
BOOL RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
// The previous check state (MF_CHECKED or MF_UNCHECKED), or -1 when there is no such item.
DWORD CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck);
// The previous state (MF_ENABLED, MF_GRAYED, MF_DISABLED), or -1 when there is no such item.
BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable);
// The item's flags; for an item with a submenu, also the submenu's item count in the high byte of the low
// word. 0xFFFFFFFF when there is no such item.
UINT GetMenuState(HMENU hMenu, UINT uId, UINT uFlags);
int GetMenuItemCount(HMENU hMenu);
UINT GetMenuItemID(HMENU hMenu, int nPos);
HMENU GetSubMenu(HMENU hMenu, int nPos);
int GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags);
// Finds and reads an RT_MENU resource of the module (NULL is the program).
HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName);
HMENU LoadMenuIndirectW(const void* lpMenuTemplate);
// (x, y) are screen coordinates. The result is the chosen id with TPM_RETURNCMD (0 when none), else
// nonzero when an item was chosen.
BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd, const RECT* prcRect);

namespace user {

// One item of a menu table; depth 0 items are the menu's own, an item followed by deeper items is a
// popup holding them. flags: MF_SEPARATOR, MF_GRAYED, MF_DISABLED, MF_CHECKED.
struct MenuEntry {
    int depth;
    UINT flags;
    WORD id;
    LPCWSTR text;
};

class MenuTemplateBytes {
public:
    explicit MenuTemplateBytes(std::span<const MenuEntry> entries);

    const void* Data() const { return m_words.data(); }
    size_t Size() const { return m_size; }

private:
    std::vector<uint16_t> m_words;
    size_t m_size = 0;
};

} // namespace user
