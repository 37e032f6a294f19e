// Checks for the Wine test drivers: one "ok:" or "FAIL:" line per check,
// message pumping while waiting, and the exit status from the failures.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace wine_check {

inline int& Failures() {
    static int failures = 0;
    return failures;
}

}  // namespace wine_check

// Messages are formatted in the ANSI code page (936) and printed as UTF-8 for the test log.
inline void Check(bool ok, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    wchar_t wide[1024];
    char utf8[3072];
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 1024);
    if (n <= 0 || WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0)
        std::snprintf(utf8, sizeof utf8, "%s", text);
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", utf8);
    std::fflush(stdout);
    if (!ok)
        ++wine_check::Failures();
}

// Lets X events reach the windows of this desktop while waiting.
inline void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    for (;;) {
        DWORD now = GetTickCount();
        if (static_cast<LONG>(end - now) <= 0)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// Prints the count of failures; the exit status of the driver.
inline int CheckResult() {
    std::printf("%d failure(s)\n", wine_check::Failures());
    return wine_check::Failures() == 0 ? 0 : 1;
}
