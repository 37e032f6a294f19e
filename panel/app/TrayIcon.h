// CTrayIcon: the main window's notification-area icon and its pop-up menu.
#pragma once

#include <windows.h>

#include <shellapi.h>

// Events of the icon reach the owner as this message, the mouse message in lParam.
const UINT kTrayMessage = WM_USER + 1;

class CTrayIcon {
public:
    CTrayIcon() : m_data() {}

    // Adds the icon once; a failure is not detected (the panel then works without it).
    void Add(HWND owner, HICON icon, const char* tip);
    // The tip of the icon that is there, cut to the 63 bytes the record holds.
    void SetTip(const char* tip);
    // A balloon over the icon that is there, with the warning icon.
    void ShowBalloon(const char* title, const char* text);
    // Removes the icon; removing one that is gone does nothing.
    void Remove();
    // Tracks the first pop-up of the tray menu at the cursor; the chosen item arrives at
    // owner as a command.
    static void ShowMenu(HWND owner);

private:
    NOTIFYICONDATAA m_data;
};
