// Screenshots of the Wine drivers: a window as the screen shows it, its pixels, and PNG files in
// $TW_WINE_SHOTS for people to look at.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include <cstdlib>
#include <string>

#include "Handles.h"
#include "wine_test.h"

struct Shot {
    RECT rect = {};           // on the screen
    tw::UniqueBitmap bitmap;  // top-down, 24 bits a pixel
    const unsigned char* bits = nullptr;

    // The colour at a point of hwnd's client area; CLR_INVALID outside the shot.
    COLORREF AtClient(HWND hwnd, int x, int y) const {
        POINT point = {x, y};
        ClientToScreen(hwnd, &point);
        const int width = rect.right - rect.left, column = point.x - rect.left, row = point.y - rect.top;
        if (!bits || column < 0 || row < 0 || column >= width || row >= rect.bottom - rect.top)
            return CLR_INVALID;
        const unsigned char* bgr = bits + row * ((width * 3 + 3) & ~3) + column * 3;
        return RGB(bgr[2], bgr[1], bgr[0]);
    }
};

// Copies the window as the screen shows it, whatever lies over it.
inline Shot CaptureWindow(HWND hwnd) {
    Shot shot;
    GetWindowRect(hwnd, &shot.rect);
    const int width = shot.rect.right - shot.rect.left, height = shot.rect.bottom - shot.rect.top;
    tw::ScopedGetDC screen(nullptr);
    tw::UniqueMemoryDc memory(CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    shot.bitmap.Reset(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (shot.bitmap) {
        tw::ScopedSelectObject selected(memory.Get(), shot.bitmap.Get());
        BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), shot.rect.left, shot.rect.top, SRCCOPY);
        GdiFlush();
        shot.bits = static_cast<const unsigned char*>(bits);
    }
    return shot;
}

// Saves the shot as $TW_WINE_SHOTS/name (a check); nothing without that folder.
inline void SaveShot(const Shot& shot, const char* name) {
    const char* folder = std::getenv("TW_WINE_SHOTS");
    if (!folder)
        return;
    static ULONG_PTR gdiplus = 0;  // started once, for the life of the driver
    if (!gdiplus) {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr);
    }
    const std::string path = WindowsPath(std::string(folder) + "/" + name);
    wchar_t widePath[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    const CLSID kPngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    Gdiplus::GpBitmap* image = nullptr;
    bool saved = Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(shot.bitmap.Get(), nullptr, &image) == Gdiplus::Ok &&
                 Gdiplus::DllExports::GdipSaveImageToFile(image, widePath, &kPngEncoder, nullptr) == Gdiplus::Ok;
    if (image)
        Gdiplus::DllExports::GdipDisposeImage(image);
    CHECK(saved, "screenshot %s", path.c_str());
}

// The whole screen, every window as it shows.
inline void SaveScreen(const char* name) { SaveShot(CaptureWindow(GetDesktopWindow()), name); }
