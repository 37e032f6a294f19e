// The panel's notice: a message box captioned "提示" with the information icon.
#pragma once

#include <windows.h>

inline void ShowNotice(HWND owner, const char* text) {
    ::MessageBoxA(owner, text, "提示", MB_OK | MB_ICONINFORMATION);
}
