#include "XSplashScreen.h"

#include "user/System.h"

IMPLEMENT_DYNAMIC(CXSplashScreen, CXDialog)

CXSplashScreen* CXSplashScreen::s_instance = nullptr;

CXSplashScreen* CXSplashScreen::GetInstance() {
    if (s_instance == nullptr)
        s_instance = new CXSplashScreen(nullptr);
    return s_instance;
}

void CXSplashScreen::DestroyInstance() {
    delete s_instance;
    s_instance = nullptr;
}

CXSplashScreen::CXSplashScreen(CWnd* parent) : CXDialog(static_cast<UINT>(-1), parent) {}

CXSplashScreen::~CXSplashScreen() {
    DestroyLabels();
}

void CXSplashScreen::DoDataExchange(CDataExchange* pDX) {
    CXDialog::DoDataExchange(pDX);
}

bool CXSplashScreen::Create(UINT templateId, LPCWSTR imagePath) {
    if (!CDialog::Create(templateId, nullptr))
        return false;
    ShowWindow(SW_HIDE);
    AddBackgroundBitmap(imagePath);
    SelectBackgroundBitmap(0);
    ResizeToSkin();
    ModifyStyleEx(0, WS_EX_TOPMOST);
    ModifyStyle(0, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER);
    CenterOnScreen();
    return true;
}

void CXSplashScreen::ShowSplash(bool show) {
    if (m_hWnd == nullptr)
        return;
    ShowWindow(show ? SW_SHOW : SW_HIDE);
    ResizeToSkin();
    CenterOnScreen();
    if (show)
        UpdateWindow();
}

void CXSplashScreen::CenterOnScreen() {
    CRect window;
    GetWindowRect(&window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    // Halved rounding down (an arithmetic shift); a third rounded towards zero.
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) >> 1;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 3;
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CXSplashScreen::MakeLabel(CXStatic** label, UINT id, int x, int y, int width, int height) {
    DestroyLabel(label);
    if (m_hWnd == nullptr)
        return;
    auto* made = new CXStatic;
    if (!made->Create(u"", x, y, width, height, this, id)) {
        delete made;
        return;
    }
    made->SetStyle(RGB(255, 255, 255), RGB(0, 0, 0), DT_VCENTER, true, 0, RGB(0, 0, 0));
    *label = made;
}

void CXSplashScreen::DestroyLabel(CXStatic** label) {
    if (*label == nullptr)
        return;
    if ((*label)->m_hWnd != nullptr)
        (*label)->DestroyWindow();
    delete *label;
    *label = nullptr;
}

void CXSplashScreen::CreateStatusLabel(int leftMargin, int rightMargin, int offset, int height,
                                       bool fromTop) {
    if (m_hWnd == nullptr) {
        DestroyLabel(&m_statusLabel);
        return;
    }
    CRect client;
    GetClientRect(&client);
    const int y = fromTop ? offset : client.bottom - height - offset;
    MakeLabel(&m_statusLabel, kStatusLabelId, leftMargin, y, client.right - leftMargin - rightMargin, height);
}

void CXSplashScreen::SetStatusFont(LPCWSTR faceName, int size, bool bold, bool italic) {
    if (m_statusLabel != nullptr)
        m_statusLabel->SetFont(faceName, size, bold, italic);
}

void CXSplashScreen::SetStatusText(LPCWSTR text) {
    if (m_statusLabel == nullptr)
        return;
    m_statusLabel->SetWindowText(text);
    m_statusLabel->UpdateWindow();
}

void CXSplashScreen::SetStatusStyle(COLORREF textColor, COLORREF backgroundColor, UINT textFormat,
                                    bool transparent, int outlineWidth, COLORREF outlineColor) {
    if (m_statusLabel != nullptr)
        m_statusLabel->SetStyle(textColor, backgroundColor, textFormat, transparent, outlineWidth,
                                outlineColor);
}

void CXSplashScreen::CreateExtraLabel(int x, int y, int width, int height) {
    MakeLabel(&m_extraLabel, kExtraLabelId, x, y, width, height);
}

void CXSplashScreen::SetExtraFont(LPCWSTR faceName, int size, bool bold, bool italic) {
    if (m_extraLabel == nullptr)
        return;
    m_extraLabel->SetFont(faceName, size, bold, italic);
    m_extraLabel->UpdateWindow();
}

void CXSplashScreen::SetExtraText(LPCWSTR text) {
    if (m_extraLabel != nullptr)
        m_extraLabel->SetWindowText(text);
}

void CXSplashScreen::DestroyLabels() {
    DestroyLabel(&m_statusLabel);
    DestroyLabel(&m_extraLabel);
    if (m_hWnd != nullptr)
        DestroyWindow();
}
