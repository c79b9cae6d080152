#include "TrayIcon.h"

#include <cstring>

#include "user/Foreground.h"
#include "user/Window.h"

CTrayIcon::CTrayIcon() {
    std::memset(&m_data, 0, sizeof m_data);
}

CTrayIcon::~CTrayIcon() {
    Remove();
}

void CTrayIcon::Add(HWND window, UINT callbackMessage, HICON icon) {
    m_icon = icon;
    m_data.cbSize = sizeof m_data;
    m_data.uID = kIconId;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON;
    m_data.hIcon = icon;
    m_data.hWnd = window;
    // The callback message takes effect with the change that follows the add.
    Shell_NotifyIcon(NIM_ADD, &m_data);
    m_data.uFlags = NIF_MESSAGE | NIF_ICON;
    m_data.uCallbackMessage = callbackMessage;
    m_data.hIcon = icon;
    Shell_NotifyIcon(NIM_MODIFY, &m_data);
    SetForegroundWindow(GetDesktopWindow());
}

void CTrayIcon::Remove() {
    if (m_data.hWnd == nullptr)
        return;
    Shell_NotifyIcon(NIM_DELETE, &m_data);
}
