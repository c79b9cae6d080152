#include "ProgramSkin.h"

#include "kernel/Files.h"
#include "kernel/Modules.h"
#include "kernel/Scoped.h"
#include "user/System.h"

CString ProgramSkinPath(LPCWSTR fileName) {
    WCHAR module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    const CString path(module);
    return path.ReverseFind(u'\\') <= 0 ? path : SkinBesideProgram(fileName);
}

CString SkinBesideProgram(LPCWSTR fileName) {
    WCHAR module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    CString path(module);
    const int slash = path.ReverseFind(u'\\');
    if (slash < 0)
        return path;
    return path.Left(slash + 1) + u"skin\\" + fileName;
}

void ShowWaitCursor() {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void ShowArrowCursor() {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

bool PathExists(LPCWSTR path) {
    WIN32_FIND_DATAW found{};
    return kernel::ScopedFind(FindFirstFileW(path, &found)).IsOpen();
}

void ReturnToRect(CWnd* window, const RECT& rect) {
    window->SetWindowPos(window->GetParent(), rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top, SWP_FRAMECHANGED);
}
