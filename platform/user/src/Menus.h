#pragma once
// The menu objects behind HMENU handles.

#include <memory>
#include <string>
#include <vector>

#include "crt/Types.h"

namespace user::detail {

struct MenuItem {
    UINT flags = 0; // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_SEPARATOR, MF_POPUP
    UINT_PTR id = 0;
    std::u16string text;
    HMENU submenu = nullptr;
};

struct Menu {
    HMENU handle = nullptr;
    bool popup = false;
    std::vector<MenuItem> items;
};

Menu* FindMenu(HMENU handle);
std::shared_ptr<Menu> FindMenuShared(HMENU handle);

} // namespace user::detail
