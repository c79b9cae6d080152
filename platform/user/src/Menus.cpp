// Menus and menu templates.
//
// Format notes (menu template): a MENUITEMTEMPLATEHEADER (version 0, then the offset from the end of the
// header to the first item), then items: a WORD of flags; a WORD id unless MF_POPUP is set; the text,
// NUL-terminated UTF-16. The items of a popup follow it directly; MF_END marks the last item of a level.
// An item with no text, id 0 and no MF_POPUP is a separator.

#include "Menus.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "Internal.h"
#include "kernel/Errors.h"
#include "kernel/Resources.h"
#include "user/Menu.h"

namespace user::detail {

namespace {

constexpr UINT kStateFlags = MF_GRAYED | MF_DISABLED | MF_CHECKED;
constexpr int kMaxMenuDepth = 16;

struct MenuTable {
    std::unordered_map<uintptr_t, std::shared_ptr<Menu>> menus;
    uintptr_t next = 0x10000;
};

MenuTable& Menus() {
    static MenuTable* table = new MenuTable;
    return *table;
}

HMENU NewMenu(bool popup) {
    auto menu = std::make_shared<Menu>();
    menu->popup = popup;
    MenuTable& table = Menus();
    table.next += 4;
    menu->handle = reinterpret_cast<HMENU>(table.next);
    table.menus[table.next] = menu;
    return menu->handle;
}

void Destroy(HMENU handle) {
    MenuTable& table = Menus();
    auto it = table.menus.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.menus.end())
        return;
    auto menu = it->second;
    table.menus.erase(it);
    for (const MenuItem& item : menu->items)
        if (item.submenu)
            Destroy(item.submenu);
}

// Finds an item by position or (searching submenus too) by command id.
MenuItem* FindItem(Menu* menu, UINT position, UINT flags, Menu** owner, int depth = 0) {
    if (flags & MF_BYPOSITION) {
        if (position >= menu->items.size())
            return nullptr;
        if (owner)
            *owner = menu;
        return &menu->items[position];
    }
    if (depth > kMaxMenuDepth)
        return nullptr;
    for (MenuItem& item : menu->items) {
        if (!item.submenu && item.id == position && !(item.flags & MF_SEPARATOR)) {
            if (owner)
                *owner = menu;
            return &item;
        }
    }
    for (MenuItem& item : menu->items) {
        if (Menu* sub = FindMenu(item.submenu))
            if (MenuItem* found = FindItem(sub, position, flags, owner, depth + 1))
                return found;
    }
    return nullptr;
}

bool Insert(HMENU hMenu, size_t index, UINT flags, UINT_PTR id, LPCWSTR text) {
    Menu* menu = FindMenu(hMenu);
    if (!menu)
        return kernel::Fail(ERROR_INVALID_MENU_HANDLE, false);
    MenuItem item;
    item.flags = flags & (kStateFlags | MF_SEPARATOR | MF_POPUP);
    if (flags & MF_POPUP) {
        if (!FindMenu(reinterpret_cast<HMENU>(id)))
            return kernel::Fail(ERROR_INVALID_MENU_HANDLE, false);
        item.submenu = reinterpret_cast<HMENU>(id);
    } else {
        item.id = id;
    }
    if (!(flags & MF_SEPARATOR) && text && !(flags & MF_OWNERDRAW))
        item.text = text;
    menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(std::min(index, menu->items.size())),
                       std::move(item));
    return true;
}

// Reads the items of one level; false for a malformed template.
bool ParseLevel(const BYTE* data, size_t size, size_t& pos, HMENU menu, int depth) {
    if (depth > kMaxMenuDepth)
        return false;
    for (;;) {
        auto word = [&](WORD& value) {
            if (size - pos < 2)
                return false;
            std::memcpy(&value, data + pos, 2);
            pos += 2;
            return true;
        };
        WORD flags = 0;
        WORD id = 0;
        if (!word(flags))
            return false;
        if (!(flags & MF_POPUP) && !word(id))
            return false;
        std::u16string text;
        for (;;) {
            WORD unit = 0;
            if (!word(unit))
                return false;
            if (unit == 0)
                break;
            text.push_back(static_cast<char16_t>(unit));
        }
        UINT itemFlags = flags & kStateFlags;
        if (flags & MF_POPUP) {
            HMENU sub = NewMenu(true);
            if (!ParseLevel(data, size, pos, sub, depth + 1)) {
                Destroy(sub);
                return false;
            }
            Insert(menu, SIZE_MAX, itemFlags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), text.c_str());
        } else if (text.empty() && id == 0) {
            Insert(menu, SIZE_MAX, MF_SEPARATOR, 0, nullptr);
        } else {
            Insert(menu, SIZE_MAX, itemFlags | (flags & MF_SEPARATOR), id, text.c_str());
        }
        if (flags & MF_END)
            return true;
    }
}

HMENU LoadTemplate(const BYTE* data, size_t size) {
    if (!data || size < sizeof(MENUITEMTEMPLATEHEADER))
        return kernel::Fail(ERROR_INVALID_PARAMETER, HMENU{});
    MENUITEMTEMPLATEHEADER header;
    std::memcpy(&header, data, sizeof header);
    if (header.versionNumber != 0 || size - sizeof header < header.offset)
        return kernel::Fail(ERROR_INVALID_PARAMETER, HMENU{});
    size_t pos = sizeof header + header.offset;
    HMENU menu = NewMenu(false);
    if (pos < size && !ParseLevel(data, size, pos, menu, 0)) {
        Destroy(menu);
        return kernel::Fail(ERROR_INVALID_PARAMETER, HMENU{});
    }
    return menu;
}

} // namespace

Menu* FindMenu(HMENU handle) {
    if (!handle)
        return nullptr;
    MenuTable& table = Menus();
    auto it = table.menus.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.menus.end() ? nullptr : it->second.get();
}

std::shared_ptr<Menu> FindMenuShared(HMENU handle) {
    MenuTable& table = Menus();
    auto it = table.menus.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.menus.end() ? nullptr : it->second;
}

} // namespace user::detail

using namespace user::detail;

HMENU CreateMenu() {
    Locked lock;
    return NewMenu(false);
}

HMENU CreatePopupMenu() {
    Locked lock;
    return NewMenu(true);
}

BOOL DestroyMenu(HMENU hMenu) {
    Locked lock;
    if (!FindMenu(hMenu))
        return kernel::Fail(ERROR_INVALID_MENU_HANDLE, FALSE);
    Destroy(hMenu);
    return TRUE;
}

BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem) {
    Locked lock;
    return Insert(hMenu, SIZE_MAX, uFlags, uIDNewItem, lpNewItem) ? TRUE : FALSE;
}

BOOL InsertMenuW(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem) {
    Locked lock;
    Menu* menu = FindMenu(hMenu);
    if (!menu)
        return kernel::Fail(ERROR_INVALID_MENU_HANDLE, FALSE);
    size_t index = menu->items.size();
    if (uFlags & MF_BYPOSITION) {
        index = uPosition == 0xFFFFFFFF ? menu->items.size() : uPosition;
    } else {
        for (size_t i = 0; i < menu->items.size(); ++i)
            if (!menu->items[i].submenu && menu->items[i].id == uPosition)
                index = i;
    }
    return Insert(hMenu, index, uFlags & ~MF_BYPOSITION, uIDNewItem, lpNewItem) ? TRUE : FALSE;
}

namespace {

BOOL Remove(HMENU hMenu, UINT uPosition, UINT uFlags, bool destroySubmenu) {
    Locked lock;
    Menu* menu = FindMenu(hMenu);
    if (!menu)
        return kernel::Fail(ERROR_INVALID_MENU_HANDLE, FALSE);
    Menu* owner = nullptr;
    MenuItem* item = FindItem(menu, uPosition, uFlags, &owner);
    if (!item)
        return kernel::Fail(ERROR_MENU_ITEM_NOT_FOUND, FALSE);
    HMENU sub = item->submenu;
    owner->items.erase(owner->items.begin() + (item - owner->items.data()));
    if (destroySubmenu && sub)
        Destroy(sub);
    return TRUE;
}

} // namespace

BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags) {
    return Remove(hMenu, uPosition, uFlags, true);
}

BOOL RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags) {
    return Remove(hMenu, uPosition, uFlags, false);
}

DWORD CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck) {
    Locked lock;
    Menu* menu = FindMenu(hMenu);
    if (!menu)
        return kernel::Fail(ERROR_INVALID_MENU_HANDLE, static_cast<DWORD>(-1));
    MenuItem* item = FindItem(menu, uIDCheckItem, uCheck, nullptr);
    if (!item)
        return static_cast<DWORD>(-1);
    DWORD previous = item->flags & MF_CHECKED;
    item->flags = (item->flags & ~MF_CHECKED) | (uCheck & MF_CHECKED);
    return previous;
}

BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    Locked lock;
    Menu* menu = FindMenu(hMenu);
    if (!menu)
        return kernel::Fail(ERROR_INVALID_MENU_HANDLE, -1);
    MenuItem* item = FindItem(menu, uIDEnableItem, uEnable, nullptr);
    if (!item)
        return -1;
    BOOL previous = static_cast<BOOL>(item->flags & (MF_GRAYED | MF_DISABLED));
    item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
    return previous;
}

UINT GetMenuState(HMENU hMenu, UINT uId, UINT uFlags) {
    Locked lock;
    Menu* menu = FindMenu(hMenu);
    if (!menu)
        return kernel::Fail(ERROR_INVALID_MENU_HANDLE, 0xFFFFFFFFu);
    MenuItem* item = FindItem(menu, uId, uFlags, nullptr);
    if (!item)
        return 0xFFFFFFFFu;
    UINT state = item->flags & (kStateFlags | MF_SEPARATOR);
    if (Menu* sub = FindMenu(item->submenu))
        state |= MF_POPUP | (static_cast<UINT>(std::min<size_t>(sub->items.size(), 0xFF)) << 8);
    return state;
}

int GetMenuItemCount(HMENU hMenu) {
    Locked lock;
    Menu* menu = FindMenu(hMenu);
    if (!menu)
        return kernel::Fail(ERROR_INVALID_MENU_HANDLE, -1);
    return static_cast<int>(menu->items.size());
}

UINT GetMenuItemID(HMENU hMenu, int nPos) {
    Locked lock;
    Menu* menu = FindMenu(hMenu);
    if (!menu || nPos < 0 || static_cast<size_t>(nPos) >= menu->items.size())
        return 0xFFFFFFFFu;
    const MenuItem& item = menu->items[static_cast<size_t>(nPos)];
    return item.submenu ? 0xFFFFFFFFu : static_cast<UINT>(item.id);
}

HMENU GetSubMenu(HMENU hMenu, int nPos) {
    Locked lock;
    Menu* menu = FindMenu(hMenu);
    if (!menu || nPos < 0 || static_cast<size_t>(nPos) >= menu->items.size())
        return nullptr;
    return menu->items[static_cast<size_t>(nPos)].submenu;
}

int GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags) {
    Locked lock;
    Menu* menu = FindMenu(hMenu);
    if (!menu)
        return kernel::Fail(ERROR_INVALID_MENU_HANDLE, 0);
    MenuItem* item = FindItem(menu, uIDItem, flags, nullptr);
    if (!item)
        return 0;
    if (!lpString || cchMax <= 0)
        return static_cast<int>(item->text.size());
    size_t count = std::min(item->text.size(), static_cast<size_t>(cchMax - 1));
    std::copy_n(item->text.data(), count, lpString);
    lpString[count] = 0;
    return static_cast<int>(count);
}

HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName) {
    Locked lock;
    HRSRC resource = FindResourceW(hInstance, lpMenuName, RT_MENU);
    if (!resource)
        return nullptr;
    HGLOBAL loaded = LoadResource(hInstance, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return LoadTemplate(static_cast<const BYTE*>(data), SizeofResource(hInstance, resource));
}

HMENU LoadMenuIndirectW(const void* lpMenuTemplate) {
    Locked lock;
    return LoadTemplate(static_cast<const BYTE*>(lpMenuTemplate), 65536);
}

namespace user {

MenuTemplateBytes::MenuTemplateBytes(std::span<const MenuEntry> entries) {
    m_words = {0, 0}; // version 0, items right after the header
    for (size_t i = 0; i < entries.size(); ++i) {
        const MenuEntry& entry = entries[i];
        bool popup = i + 1 < entries.size() && entries[i + 1].depth > entry.depth;
        bool last = true;
        for (size_t j = i + 1; j < entries.size(); ++j) {
            if (entries[j].depth < entry.depth)
                break;
            if (entries[j].depth == entry.depth) {
                last = false;
                break;
            }
        }
        bool separator = (entry.flags & MF_SEPARATOR) != 0;
        WORD flags = static_cast<WORD>((entry.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED)) |
                                       (popup ? MF_POPUP : 0) | (last ? MF_END : 0));
        m_words.push_back(flags);
        if (!popup)
            m_words.push_back(separator ? 0 : entry.id);
        if (!separator && entry.text)
            for (const WCHAR* p = entry.text; *p; ++p)
                m_words.push_back(*p);
        m_words.push_back(0);
    }
    m_size = m_words.size() * sizeof(uint16_t);
}

} // namespace user
