// Drives the window of DriverCrate.exe (started without arguments by the
// test script): "check" finds it, checks its look and controls and presses
// the backup button; "close" closes it. Usage: drivercrate_window_driver check|close
#include <windows.h>

#include <cstring>

#include "wine_check.h"

namespace {

const char kTitle[] = "驱动备份还原";
const int kBackup = 1001, kRestore = 1002, kStatus = 1003;

HWND WaitForWindow(DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 100) {
        HWND window = FindWindowA(nullptr, kTitle);
        if (window && IsWindowVisible(window))
            return window;
        Pump(100);
    }
    return nullptr;
}

void CheckWindow(HWND window) {
    char text[64] = {};
    GetDlgItemTextA(window, kBackup, text, sizeof text);
    Check(std::strcmp(text, "备份驱动") == 0, "backup button \"%s\"", text);
    GetDlgItemTextA(window, kRestore, text, sizeof text);
    Check(std::strcmp(text, "还原驱动") == 0, "restore button \"%s\"", text);

    // The dialog paints its background in the panel's grey.
    HDC screen = GetDC(nullptr);
    RECT client;
    GetClientRect(window, &client);
    POINT corner = {client.right - 3, client.bottom - 3};
    ClientToScreen(window, &corner);
    COLORREF colour = GetPixel(screen, corner.x, corner.y);
    ReleaseDC(nullptr, screen);
    Check(colour == RGB(222, 222, 222), "background RGB(%d,%d,%d)", GetRValue(colour), GetGValue(colour),
          GetBValue(colour));

    SendMessageA(GetDlgItem(window, kBackup), BM_CLICK, 0, 0);
    GetDlgItemTextA(window, kStatus, text, sizeof text);
    Check(std::strcmp(text, "驱动备份完成。") == 0, "status after the backup button \"%s\"", text);
}

}  // namespace

int main(int argc, char** argv) {
    HWND window = WaitForWindow(15000);
    Check(window != nullptr, "window \"%s\" shown", kTitle);
    if (window && argc == 2 && std::strcmp(argv[1], "check") == 0)
        CheckWindow(window);
    else if (window)
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return CheckResult();
}
