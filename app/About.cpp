#include "About.h"

#include <cstdint>
#include <vector>

#include "ProgramSkin.h"
#include "Resource.h"
#include "kernel/Modules.h"
#include "kernel/Version.h"

IMPLEMENT_DYNAMIC(CAbout, CXDialog)

BEGIN_MESSAGE_MAP(CAbout, CXDialog)
ON_COMMAND(IDC_ABOUT_COUNT, OnCountTap)
ON_WM_LBUTTONDOWN()
ON_WM_TIMER()
END_MESSAGE_MAP()

namespace {

// A tap counts when it falls within this many pixels of the client area's top-left corner.
constexpr int kCornerSize = 20;
// The count goes back to 0 at every tick of this timer, which the first counted corner tap starts.
constexpr UINT_PTR kCornerTimerId = 123;
constexpr UINT kCornerTimerPeriod = 300;
constexpr int kTapsToGrow = 3;
constexpr int kGrownWidth = 200;
constexpr int kGrownHeight = 180;

} // namespace

CAbout::CAbout(CWnd* parent) : CXDialog(IDD_ABOUT, parent) {}

BOOL CAbout::OnInitDialog() {
    CXDialog::OnInitDialog();
    if (!LoadSkin(ProgramSkinPath(u"about.xml")))
        return FALSE;
    ShowLayer(u"about", true);
    return TRUE;
}

CString CAbout::GetFileVersion() {
    WCHAR module[100] = {};
    GetModuleFileNameW(nullptr, module, 100);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(module, &handle);
    if (size == 0)
        return CString();
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(module, handle, size, block.data()))
        return CString();
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), u"\\StringFileInfo\\040904E4\\FileVersion", &value, &length))
        return CString();
    return CString(static_cast<LPCWSTR>(value));
}

void CAbout::OnCountTap() {
    ++m_tapCount;
}

void CAbout::OnLButtonDown(UINT nFlags, CPoint point) {
    EndDialog(IDOK);
    if (point.x < kCornerSize && point.y < kCornerSize) {
        m_timerId = SetTimer(kCornerTimerId, kCornerTimerPeriod, nullptr);
        if (++m_tapCount > kTapsToGrow) {
            SetWindowPos(nullptr, GetSystemMetrics(SM_CXSCREEN) / 2 - kGrownWidth / 2,
                         GetSystemMetrics(SM_CYSCREEN) / 2 - kGrownHeight / 2, kGrownWidth, kGrownHeight, 0);
            if (CWnd* hidden = GetDlgItem(IDC_ABOUT_HIDDEN2))
                hidden->ShowWindow(SW_SHOW);
            if (CWnd* hidden = GetDlgItem(IDC_ABOUT_HIDDEN1))
                hidden->ShowWindow(SW_SHOW);
        }
    }
    CXDialog::OnLButtonDown(nFlags, point);
}

void CAbout::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == m_timerId)
        m_tapCount = 0;
    CXDialog::OnTimer(nIDEvent);
}
