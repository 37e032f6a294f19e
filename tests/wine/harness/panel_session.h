// Helpers of the Wine drivers that run tarwenApp.exe: settings files, starting copies and
// finding their windows, screenshots. Each driver sets g_app to the program under test.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "wine_check.h"

namespace panel_session {

inline const char kTitle[] = "Tarwen系统修复";
inline std::string g_app;

inline std::string WindowsPath(const std::string& path) {
    std::string out = path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    if (!out.empty() && out[0] == '\\')
        out = "Z:" + out;
    return out;
}

// ------------------------------------------------------------------ settings files

inline std::string WindowsSettings() {
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\wispdata.dat";
}
inline const char kDriveSettings[] = "c:\\wispdata.dat";

using Pairs = std::vector<std::pair<std::string, std::string>>;

inline void WriteProfile(const std::string& path, const Pairs& pairs) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        Check(false, "cannot write %s", path.c_str());
        return;
    }
    char slot[100] = {};
    std::snprintf(slot, sizeof slot, "IndexNum=%d", static_cast<int>(pairs.size()));
    std::fwrite(slot, 1, sizeof slot, f);
    for (const auto& pair : pairs) {
        std::memset(slot, 0, sizeof slot);
        std::snprintf(slot, sizeof slot, "%s=%s", pair.first.c_str(), pair.second.c_str());
        std::fwrite(slot, 1, sizeof slot, f);
    }
    std::fclose(f);
}

inline std::string ReadBytes(const std::string& path) {
    std::string bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

inline std::map<std::string, std::string> ReadProfile(const std::string& path) {
    std::map<std::string, std::string> values;
    std::string bytes = ReadBytes(path);
    int count = 0;
    if (bytes.size() < 100 || std::sscanf(bytes.c_str(), "IndexNum=%d", &count) != 1)
        return values;
    for (int i = 1; i <= count && (i + 1) * 100 <= static_cast<int>(bytes.size()); ++i) {
        std::string slot(bytes.c_str() + i * 100, strnlen(bytes.c_str() + i * 100, 100));
        size_t eq = slot.find('=');
        if (eq != std::string::npos && !values.count(slot.substr(0, eq)))
            values[slot.substr(0, eq)] = slot.substr(eq + 1);
    }
    return values;
}

inline void RemoveSettings() {
    for (const std::string& path : {WindowsSettings(), std::string(kDriveSettings)}) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

// ------------------------------------------------------------------ the program under test

struct App {
    PROCESS_INFORMATION pi = {};
    bool started = false;
    ~App() {
        if (started) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(pi.hProcess, 99);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    bool Running() const { return started && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
    bool WaitExit(DWORD ms) const {
        DWORD end = GetTickCount() + ms;
        while (Running() && static_cast<LONG>(end - GetTickCount()) > 0)
            Pump(50);
        return !Running();
    }
};

inline void Start(App& app, const char* tail) {
    std::string command = "\"" + g_app + "\"";
    if (tail)
        command += std::string(" ") + tail;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    app.started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &app.pi) != 0;
    Check(app.started, "start tarwenApp %s", tail ? tail : "");
}

struct Found {
    DWORD pid;
    HWND hwnd;
    int count;
};

inline BOOL CALLBACK FindTitled(HWND hwnd, LPARAM lParam) {
    auto* found = reinterpret_cast<Found*>(lParam);
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (std::strcmp(title, kTitle) == 0 && (!found->pid || pid == found->pid)) {
        if (!found->hwnd)
            found->hwnd = hwnd;
        ++found->count;
    }
    return TRUE;
}

inline Found FindPanels(DWORD pid) {
    Found found = {pid, nullptr, 0};
    EnumWindows(&FindTitled, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The main window of this copy, once it is on screen.
inline HWND WaitForPanel(const App& app, DWORD ms = 15000) {
    DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        HWND hwnd = FindPanels(app.pi.dwProcessId).hwnd;
        if (hwnd && IsWindowVisible(hwnd))
            return hwnd;
        Pump(50);
    }
    return nullptr;
}

// Starts a copy and waits for its main window; checks that it appears.
inline HWND StartPanel(App& app, const char* tail, const std::string& what) {
    Start(app, tail);
    HWND hwnd = WaitForPanel(app);
    Check(hwnd != nullptr, "%s", what.c_str());
    return hwnd;
}

// Starts a further copy, which must bring the first copy's window back and end.
inline void StartCopyThatEnds(const char* which) {
    App copy;
    Start(copy, nullptr);
    Check(copy.WaitExit(8000), "%s copy ends by itself", which);
    Pump(500);
}

// Escape ends the program through the dialog's cancel.
inline void EndWithEscape(App& app, HWND hwnd) {
    PostMessageA(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    Check(app.WaitExit(5000), "Escape ends the program");
}

inline bool WaitHidden(HWND hwnd, DWORD ms) {
    DWORD end = GetTickCount() + ms;
    while (IsWindowVisible(hwnd) && static_cast<LONG>(end - GetTickCount()) > 0)
        Pump(20);
    return !IsWindowVisible(hwnd);
}

// ------------------------------------------------------------------ message boxes and clicks

// A message box of the app: its text, caption and a button pressed; empty text when none came.
// With a name, the screen is saved (SaveScreen) before the button is pressed.
struct Box {
    std::string text, caption;
};

inline BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
    auto* found = reinterpret_cast<std::pair<DWORD, HWND>*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char className[16] = {};
    GetClassNameA(hwnd, className, sizeof className);
    if (pid == found->first && std::strcmp(className, "#32770") == 0 && GetDlgItem(hwnd, 0xFFFF) && IsWindowVisible(hwnd)) {
        found->second = hwnd;
        return FALSE;
    }
    return TRUE;
}

inline void SaveScreen(const char* name);

inline Box AnswerBox(const App& app, int button, DWORD ms = 20000, const char* screenshot = nullptr) {
    std::pair<DWORD, HWND> found = {app.pi.dwProcessId, nullptr};
    for (DWORD end = GetTickCount() + ms; !found.second && static_cast<LONG>(end - GetTickCount()) > 0;) {
        EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&found));
        if (!found.second)
            Pump(100);
    }
    Box box;
    if (!found.second)
        return box;
    char text[512] = {}, caption[128] = {};
    GetDlgItemTextA(found.second, 0xFFFF, text, sizeof text);
    GetWindowTextA(found.second, caption, sizeof caption);
    box = {text, caption};
    if (screenshot) {
        Pump(300);  // drawn
        SaveScreen(screenshot);
    }
    PostMessageA(found.second, WM_COMMAND, button, 0);
    Pump(300);
    return box;
}

inline void Click(HWND panel, int id) {
    PostMessageA(panel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(panel, id)));
}

// The removal dialog of "卸载引导" and the fix-up dialog: the progress bar 1013 without the
// main window's install button 1011.
inline bool IsProgressDialog(HWND hwnd) {
    return IsWindow(hwnd) && GetDlgItem(hwnd, 1013) && !GetDlgItem(hwnd, 1011);
}

struct DialogSearch {
    DWORD pid;
    HWND found;
};

inline BOOL CALLBACK FindProgressDialog(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<DialogSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && IsProgressDialog(hwnd) && IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The dialog goes when its modal run ends, a moment after the command. A closed dialog's handle
// may come back for the main window under Wine, so IsWindow alone does not tell.
inline bool WaitProgressDialogGone(HWND dialog) {
    for (DWORD end = GetTickCount() + 5000; IsProgressDialog(dialog) && static_cast<LONG>(end - GetTickCount()) > 0;)
        Pump(50);
    return !IsProgressDialog(dialog);
}

inline HWND WaitForProgressDialog(const App& app, DWORD ms = 5000) {
    DialogSearch search = {app.pi.dwProcessId, nullptr};
    for (DWORD end = GetTickCount() + ms; !search.found && static_cast<LONG>(end - GetTickCount()) > 0; Pump(20))
        EnumWindows(&FindProgressDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A modal dialog's end takes about two seconds under Wine without a window manager (the hide waits).
inline bool WaitGone(HWND dialog) {
    for (DWORD end = GetTickCount() + 6000; IsWindow(dialog) && static_cast<LONG>(end - GetTickCount()) > 0;)
        Pump(50);
    Pump(200);
    return !IsWindow(dialog);
}

// Confirms the removal and returns its dialog.
inline HWND StartRemoval(const App& app, HWND panel, const char* why) {
    Click(panel, 1009);
    Box box = AnswerBox(app, IDOK);
    Check(box.text == "你确定要卸载Tarwen系统修复引导信息吗？" && box.caption == "提示", "%s: confirmation \"%s\"", why,
          box.text.c_str());
    HWND dialog = WaitForProgressDialog(app);
    Check(dialog != nullptr, "%s: removal dialog opens", why);
    return dialog;
}

// ------------------------------------------------------------------ screenshot (PNG, stored deflate)

inline unsigned long Crc(const unsigned char* data, size_t n, unsigned long crc = 0xFFFFFFFFUL) {
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320UL & (0UL - (crc & 1)));
    }
    return crc;
}

inline void PutBe32(std::string& s, unsigned long v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(static_cast<char>((v >> shift) & 0xFF));
}

inline void PutChunk(std::string& png, const char* type, const std::string& data) {
    PutBe32(png, data.size());
    std::string body = std::string(type, 4) + data;
    png += body;
    PutBe32(png, Crc(reinterpret_cast<const unsigned char*>(body.data()), body.size()) ^ 0xFFFFFFFFUL);
}

inline bool SavePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back('\0');
        raw.append(reinterpret_cast<const char*>(&rgb[static_cast<size_t>(y) * width * 3]), static_cast<size_t>(width) * 3);
    }
    std::string z = "\x78\x01";
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<char>(n & 0xFF));
        z.push_back(static_cast<char>(n >> 8));
        z.push_back(static_cast<char>(~n & 0xFF));
        z.push_back(static_cast<char>((~n >> 8) & 0xFF));
        z.append(raw, pos, n);
        pos += n;
        if (n == 0)
            break;
    }
    unsigned long a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(z, (b << 16) | a);
    std::string header;
    PutBe32(header, width);
    PutBe32(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", "");
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
    return true;
}

struct Shot {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    COLORREF At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return CLR_INVALID;
        const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return RGB(p[0], p[1], p[2]);
    }
};

// Copies the window as the screen shows it.
inline Shot CaptureWindow(HWND hwnd) {
    Shot shot;
    RECT rc;
    GetWindowRect(hwnd, &rc);
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    int stride = (width * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = static_cast<unsigned char*>(bits) + y * stride + x * 3;
            unsigned char* q = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            q[0] = p[2], q[1] = p[1], q[2] = p[0];
        }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    shot.width = width;
    shot.height = height;
    shot.rgb.swap(rgb);
    return shot;
}

inline void SaveShot(const Shot& shot, const char* name) {
    const char* folder = std::getenv("TW_WINE_SHOTS");
    if (!folder)
        return;
    std::string path = WindowsPath(std::string(folder) + "/" + name);
    Check(SavePng(path, shot.width, shot.height, shot.rgb), "screenshot %s", path.c_str());
}

// The whole screen, every window as it shows.
inline void SaveScreen(const char* name) {
    SaveShot(CaptureWindow(GetDesktopWindow()), name);
}

// The three boot buttons of the main window in the installed or the not-installed state.
inline void CheckBootButtons(HWND hwnd, bool installed, const char* why) {
    Check(IsWindowEnabled(GetDlgItem(hwnd, 1011)) == !installed, "%s: 安装引导 %s", why, installed ? "disabled" : "enabled");
    Check(IsWindowEnabled(GetDlgItem(hwnd, 1009)) == installed, "%s: 卸载引导 %s", why, installed ? "enabled" : "disabled");
    Check(IsWindowEnabled(GetDlgItem(hwnd, 1014)) == installed, "%s: 重启进入Tarwen修复 %s", why, installed ? "enabled" : "disabled");
}

}  // namespace panel_session
