// The device contexts of windows: the paint DC and the client-area and whole-window DCs.

#include "classlib/Wnd.h"

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    if (m_hWnd)
        Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
    if (m_hWnd)
        ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    if (m_hWnd)
        Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC() {
    if (HDC hdc = Detach())
        ::ReleaseDC(m_hWnd, hdc);
}

CWindowDC::CWindowDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    if (m_hWnd)
        Attach(::GetWindowDC(m_hWnd));
}

CWindowDC::~CWindowDC() {
    if (HDC hdc = Detach())
        ::ReleaseDC(m_hWnd, hdc);
}
