// Drives the window of DriverCrate.exe (started without arguments by the test script):
// "check" finds it, checks its look and controls and presses the backup button; "close"
// closes it. Usage: drivercrate_window_driver check|close
#include "wine_test.h"

#include <cstring>

#include "resource.h"

namespace {

const char kTitle[] = "驱动备份还原";

HWND WaitForWindow() {
    HWND window = nullptr;
    WaitUntil([&window] {
        window = FindWindowA(nullptr, kTitle);
        return window && IsWindowVisible(window);
    }, 15000);
    REQUIRE(window && IsWindowVisible(window), "window \"%s\" shown", kTitle);
    return window;
}

SCENARIO(check) {
    HWND window = WaitForWindow();
    char text[64] = {};
    GetDlgItemTextA(window, IDC_BACKUP, text, sizeof text);
    CHECK(std::strcmp(text, "备份驱动") == 0, "backup button \"%s\"", text);
    GetDlgItemTextA(window, IDC_RESTORE, text, sizeof text);
    CHECK(std::strcmp(text, "还原驱动") == 0, "restore button \"%s\"", text);

    // The dialog paints its background in the panel's grey.
    HDC screen = GetDC(nullptr);
    RECT client;
    GetClientRect(window, &client);
    POINT corner = {client.right - 3, client.bottom - 3};
    ClientToScreen(window, &corner);
    COLORREF colour = GetPixel(screen, corner.x, corner.y);
    ReleaseDC(nullptr, screen);
    CHECK(colour == RGB(222, 222, 222), "background RGB(%d,%d,%d)", GetRValue(colour), GetGValue(colour),
          GetBValue(colour));

    SendMessageA(GetDlgItem(window, IDC_BACKUP), BM_CLICK, 0, 0);
    GetDlgItemTextA(window, IDC_STATUS, text, sizeof text);
    CHECK(std::strcmp(text, "驱动备份完成。") == 0, "status after the backup button \"%s\"", text);
}

SCENARIO(close) { PostMessageA(WaitForWindow(), WM_COMMAND, IDCANCEL, 0); }

}  // namespace
