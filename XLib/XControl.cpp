#include "XControl.h"

#include <cstdio>

#include "classlib/App.h"

IMPLEMENT_DYNAMIC(CXControl, CWnd)

BEGIN_MESSAGE_MAP(CXControl, CWnd)
ON_WM_ENABLE()
ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

namespace {

// One record for every registration; only the user-interface thread constructs controls.
WNDCLASS g_windowClass;

} // namespace

CXControl::CXControl(LPCWSTR className, UINT classStyle, HCURSOR cursor, HBRUSH background) {
    const HINSTANCE instance = AfxGetInstanceHandle();
    if (GetClassInfoW(instance, className, &g_windowClass))
        return;
    g_windowClass = WNDCLASS{};
    g_windowClass.style = classStyle;
    g_windowClass.lpfnWndProc = DefWindowProcW;
    g_windowClass.hInstance = instance;
    g_windowClass.hCursor = cursor;
    g_windowClass.hbrBackground = background;
    g_windowClass.lpszClassName = className;
    // A failure is only traced: the control's window creation fails later.
    if (!AfxRegisterClass(&g_windowClass))
        std::fprintf(stderr, "%s(%d): Class Registration Failed\n", __FILE__, __LINE__);
}

bool CXControl::LoadFromXml(CXmlElement*, CXDialog*, LPCWSTR) {
    return false;
}

void CXControl::ReleaseResources() {}

void CXControl::OnEnable(BOOL bEnable) {
    CWnd::OnEnable(bEnable);
    InvalidateRect(nullptr, FALSE);
}

// A hidden control leaves its place to the parent's background; the parent repaints it.
void CXControl::OnShowWindow(BOOL bShow, UINT) {
    if (bShow)
        return;
    CWnd* parent = GetParent();
    if (parent == nullptr)
        return;
    CRect rect;
    GetWindowRect(&rect);
    parent->ScreenToClient(&rect);
    parent->InvalidateRect(&rect, FALSE);
}
