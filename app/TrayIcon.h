#pragma once
// CTrayIcon: the main program's icon in the shell's tray, through which a hidden main window comes back.
// The icon is known by its window and the id 200 in every call; failures go unreported and the program
// runs without the icon.

#include "crt/Types.h"
#include "shell/Tray.h"

class CTrayIcon {
public:
    static constexpr UINT kIconId = 200;

    CTrayIcon();
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Shows the icon for the window; a tap on it sends the callback message to the window. The desktop
    // becomes the foreground window.
    void Add(HWND window, UINT callbackMessage, HICON icon);
    // Takes the icon away; nothing when it is not shown.
    void Remove();

private:
    NOTIFYICONDATA m_data;
    HICON m_icon = nullptr;
};
