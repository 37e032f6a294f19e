// CTrayIcon: Shell_NotifyIconA with the first, shortest form of the record (the balloon alone needs
// the second), and the tray menu.
#include "TrayIcon.h"

#include "Handles.h"
#include "WinApp.h"
#include "resource.h"

namespace {
const UINT kTrayIconId = 1026;
}  // namespace

void CTrayIcon::Add(HWND owner, HICON icon, const char* tip) {
    m_data = NOTIFYICONDATAA();
    m_data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    m_data.hWnd = owner;
    m_data.uID = kTrayIconId;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_data.uCallbackMessage = kTrayMessage;
    m_data.hIcon = icon;
    ::lstrcpynA(m_data.szTip, tip, 64);
    ::Shell_NotifyIconA(NIM_ADD, &m_data);
}

void CTrayIcon::SetTip(const char* tip) {
    if (!m_data.hWnd)
        return;
    m_data.uFlags = NIF_TIP;
    ::lstrcpynA(m_data.szTip, tip, 64);
    ::Shell_NotifyIconA(NIM_MODIFY, &m_data);
}

void CTrayIcon::ShowBalloon(const char* title, const char* text) {
    if (!m_data.hWnd)
        return;
    // The balloon's fields lie beyond the first form of the record: this call alone gives the
    // size of the second, which every shell since Windows 2000 reads.
    NOTIFYICONDATAA balloon = m_data;
    balloon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    balloon.uFlags = NIF_INFO;
    ::lstrcpynA(balloon.szInfo, text, sizeof balloon.szInfo);
    ::lstrcpynA(balloon.szInfoTitle, title, sizeof balloon.szInfoTitle);
    balloon.dwInfoFlags = NIIF_WARNING;
    ::Shell_NotifyIconA(NIM_MODIFY, &balloon);
}

void CTrayIcon::Remove() {
    if (m_data.hWnd)
        ::Shell_NotifyIconA(NIM_DELETE, &m_data);
}

void CTrayIcon::ShowMenu(HWND owner) {
    // The owner must be in front, or the menu would not close when the user clicks elsewhere.
    ::SetActiveWindow(owner);
    ::SetForegroundWindow(owner);
    tw::UniqueMenu menu(::LoadMenuA(tw::AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup)
        return;
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0, owner, nullptr);
    ::PostMessageA(owner, WM_NULL, 0, 0);
}
