// Screenshots of the Wine drivers: a window as the screen shows it, its pixels, and PNG files
// in $TW_WINE_SHOTS for people to look at.
#pragma once

#include <windows.h>

#include <vector>

struct Shot {
    RECT rect = {};  // on the screen
    std::vector<unsigned char> rgb;

    int Width() const { return rect.right - rect.left; }
    int Height() const { return rect.bottom - rect.top; }
    // The colour at a point of hwnd's client area; CLR_INVALID outside the shot.
    COLORREF AtClient(HWND hwnd, int x, int y) const;
};

// Copies the window as the screen shows it, whatever lies over it.
Shot CaptureWindow(HWND hwnd);
// Saves the shot as $TW_WINE_SHOTS/name; nothing without that folder.
void SaveShot(const Shot& shot, const char* name);
// The whole screen, every window as it shows.
void SaveScreen(const char* name);
