#include <algorithm>

#include "Internal.h"
#include "gdi/Gdi.h"
#include "kernel/Errors.h"

namespace user::detail {

namespace {

struct ClassTable {
    std::vector<std::shared_ptr<WindowClass>> classes;
    ATOM nextAtom = 0xC000;
    bool builtIn = false;
};

ClassTable& Classes() {
    static ClassTable* table = new ClassTable;
    return *table;
}

std::shared_ptr<WindowClass> FindIn(ClassTable& table, LPCWSTR name) {
    if (name == nullptr)
        return nullptr;
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
        for (auto& c : table.classes)
            if (c->atom == atom)
                return c;
        return nullptr;
    }
    std::u16string_view wanted(name);
    for (auto& c : table.classes)
        if (EqualNoCase(c->name, wanted))
            return c;
    return nullptr;
}

ATOM AddClass(ClassTable& table, const WNDCLASSW& info, bool system, ATOM atom) {
    auto c = std::make_shared<WindowClass>();
    c->name = info.lpszClassName;
    c->info = info;
    c->info.lpszClassName = c->name.c_str();
    c->info.cbWndExtra = std::max(0, info.cbWndExtra);
    c->info.cbClsExtra = std::max(0, info.cbClsExtra);
    c->system = system;
    c->atom = atom ? atom : table.nextAtom++;
    table.classes.push_back(c);
    return c->atom;
}

} // namespace

std::shared_ptr<WindowClass> FindClass(LPCWSTR name) {
    RegisterBuiltInClasses();
    return FindIn(Classes(), name);
}

void RegisterBuiltInClasses() {
    ClassTable& table = Classes();
    if (table.builtIn)
        return;
    table.builtIn = true;
    WNDCLASSW desktop{};
    desktop.lpfnWndProc = DefWindowProcW;
    desktop.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BACKGROUND + 1);
    desktop.lpszClassName = u"#32769";
    AddClass(table, desktop, true, 0x8001);
    WNDCLASSW dialog{};
    dialog.style = CS_DBLCLKS;
    dialog.lpfnWndProc = DialogWindowProc;
    dialog.cbWndExtra = DLGWINDOWEXTRA;
    dialog.lpszClassName = u"#32770";
    AddClass(table, dialog, true, 0x8002);
    WNDCLASSW menu{};
    menu.style = CS_SAVEBITS;
    menu.lpfnWndProc = PopupMenuProc;
    menu.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_MENU + 1);
    menu.lpszClassName = u"#32768";
    AddClass(table, menu, true, 0x8000);
    WNDCLASSW button{};
    button.lpfnWndProc = PushButtonProc;
    button.lpszClassName = u"PlatformPushButton";
    AddClass(table, button, true, 0);
}

} // namespace user::detail

using namespace user::detail;

namespace user {

SystemClass::SystemClass(const WNDCLASSW& windowClass) {
    if (windowClass.lpszClassName == nullptr || IS_INTRESOURCE(windowClass.lpszClassName))
        return;
    Locked lock;
    auto& table = Classes();
    if (FindIn(table, windowClass.lpszClassName))
        return;
    AddClass(table, windowClass, true, 0);
}

} // namespace user

ATOM RegisterClassW(const WNDCLASSW* lpWndClass) {
    if (!lpWndClass || !lpWndClass->lpszClassName || IS_INTRESOURCE(lpWndClass->lpszClassName) ||
        !lpWndClass->lpfnWndProc || lpWndClass->lpszClassName[0] == 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, ATOM{0});
    Locked lock;
    RegisterBuiltInClasses();
    auto& table = Classes();
    if (FindIn(table, lpWndClass->lpszClassName))
        return kernel::Fail(ERROR_CLASS_ALREADY_EXISTS, ATOM{0});
    return AddClass(table, *lpWndClass, false, 0);
}

BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE) {
    Locked lock;
    RegisterBuiltInClasses();
    auto& table = Classes();
    auto c = FindIn(table, lpClassName);
    if (!c || c->system)
        return kernel::Fail(ERROR_CLASS_DOES_NOT_EXIST, FALSE);
    if (c->windows > 0)
        return kernel::Fail(ERROR_CLASS_HAS_WINDOWS, FALSE);
    std::erase(table.classes, c);
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR lpClassName, LPWNDCLASSW lpWndClass) {
    Locked lock;
    auto c = FindClass(lpClassName);
    if (!c)
        return kernel::Fail(ERROR_CLASS_DOES_NOT_EXIST, FALSE);
    if (lpWndClass)
        *lpWndClass = c->info;
    return TRUE;
}

int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount) {
    if (!lpClassName || nMaxCount <= 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    std::u16string name;
    if (IsForeignHandle(hWnd)) {
        auto remote = RemoteWindowInfo(hWnd);
        if (!remote)
            return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
        name = remote->className;
    } else {
        Locked lock;
        Window* w = Find(hWnd);
        if (!w)
            return 0;
        name = w->windowClass->name;
    }
    size_t count = std::min(name.size(), static_cast<size_t>(nMaxCount - 1));
    std::copy_n(name.data(), count, lpClassName);
    lpClassName[count] = 0;
    return static_cast<int>(count);
}
