#include "ProgramSkin.h"

#include "kernel/Modules.h"

CString ProgramSkinPath(LPCWSTR fileName) {
    WCHAR module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    CString path(module);
    const int slash = path.ReverseFind(u'\\');
    if (slash <= 0)
        return path;
    return path.Left(slash + 1) + u"skin\\" + fileName;
}

void ReturnToRect(CWnd* window, const RECT& rect) {
    window->SetWindowPos(window->GetParent(), rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top, SWP_FRAMECHANGED);
}
