// CMenu: menus of the resource module and popups, with the temporary objects of submenus.

#include "Internal.h"
#include "classlib/App.h"
#include "classlib/Wnd.h"
#include "kernel/Resources.h"

namespace {

using MenuMap = classlib::detail::HandleMap<HMENU, CMenu, &CMenu::m_hMenu>;

} // namespace

IMPLEMENT_DYNCREATE(CMenu, CObject)

CMenu::~CMenu() {
    DestroyMenu();
}

CMenu* CMenu::FromHandle(HMENU hMenu) {
    return MenuMap::ForThisThread().FromHandle(hMenu);
}

void CMenu::DeleteTempMap() {
    MenuMap::ForThisThread().DeleteTemporary();
}

BOOL CMenu::Attach(HMENU hMenu) {
    if (!hMenu || m_hMenu)
        return FALSE;
    m_hMenu = hMenu;
    MenuMap::ForThisThread().Add(hMenu, this);
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU menu = m_hMenu;
    if (menu)
        MenuMap::ForThisThread().Remove(menu, this);
    m_hMenu = nullptr;
    return menu;
}

BOOL CMenu::CreatePopupMenu() {
    return m_hMenu ? FALSE : Attach(::CreatePopupMenu());
}

BOOL CMenu::LoadMenu(UINT nIDResource) {
    return LoadMenu(MAKEINTRESOURCE(nIDResource));
}

BOOL CMenu::LoadMenu(LPCTSTR lpszResourceName) {
    if (m_hMenu)
        return FALSE;
    return Attach(::LoadMenuW(AfxGetResourceHandle(), lpszResourceName));
}

BOOL CMenu::DestroyMenu() {
    if (!m_hMenu)
        return FALSE;
    return ::DestroyMenu(Detach());
}

CMenu* CMenu::GetSubMenu(int nPos) const {
    return FromHandle(::GetSubMenu(m_hMenu, nPos));
}

UINT CMenu::GetMenuItemCount() const {
    return static_cast<UINT>(::GetMenuItemCount(m_hMenu));
}

UINT CMenu::GetMenuState(UINT nID, UINT nFlags) const {
    return ::GetMenuState(m_hMenu, nID, nFlags);
}

UINT CMenu::CheckMenuItem(UINT nIDCheckItem, UINT nCheck) {
    return ::CheckMenuItem(m_hMenu, nIDCheckItem, nCheck);
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable) {
    return static_cast<UINT>(::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable));
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem) {
    return ::AppendMenuW(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect) {
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd ? pWnd->m_hWnd : nullptr, lpRect);
}
