// Drives tarwenApp.exe under Wine: the main window's controls, single copy, "/h", "/AddDate",
// the SignRun handshake, the installed state and the post-restore fix-ups. Usage: panel_driver <tarwenApp.exe> <scenario>
#include <windows.h>

#include <commctrl.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "wine_check.h"

namespace {

const char kTitle[] = "Tarwen系统修复";
std::string g_app;

std::string WindowsPath(const std::string& path) {
    std::string out = path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    if (!out.empty() && out[0] == '\\')
        out = "Z:" + out;
    return out;
}

// ------------------------------------------------------------------ settings files

std::string WindowsSettings() {
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\wispdata.dat";
}
const char kDriveSettings[] = "c:\\wispdata.dat";

using Pairs = std::vector<std::pair<std::string, std::string>>;

void WriteProfile(const std::string& path, const Pairs& pairs) {
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

std::string ReadBytes(const std::string& path) {
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

std::map<std::string, std::string> ReadProfile(const std::string& path) {
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

void RemoveSettings() {
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

void Start(App& app, const char* tail) {
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

BOOL CALLBACK FindTitled(HWND hwnd, LPARAM lParam) {
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

Found FindPanels(DWORD pid) {
    Found found = {pid, nullptr, 0};
    EnumWindows(&FindTitled, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The main window of this copy, once it is on screen.
HWND WaitForPanel(const App& app, DWORD ms = 15000) {
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
HWND StartPanel(App& app, const char* tail, const std::string& what) {
    Start(app, tail);
    HWND hwnd = WaitForPanel(app);
    Check(hwnd != nullptr, "%s", what.c_str());
    return hwnd;
}

// Starts a further copy, which must bring the first copy's window back and end.
void StartCopyThatEnds(const char* which) {
    App copy;
    Start(copy, nullptr);
    Check(copy.WaitExit(8000), "%s copy ends by itself", which);
    Pump(500);
}

// Escape ends the program through the dialog's cancel.
void EndWithEscape(App& app, HWND hwnd) {
    PostMessageA(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    Check(app.WaitExit(5000), "Escape ends the program");
}

bool WaitHidden(HWND hwnd, DWORD ms) {
    DWORD end = GetTickCount() + ms;
    while (IsWindowVisible(hwnd) && static_cast<LONG>(end - GetTickCount()) > 0)
        Pump(20);
    return !IsWindowVisible(hwnd);
}

// ------------------------------------------------------------------ screenshot (PNG, stored deflate)

unsigned long Crc(const unsigned char* data, size_t n, unsigned long crc = 0xFFFFFFFFUL) {
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320UL & (0UL - (crc & 1)));
    }
    return crc;
}

void PutBe32(std::string& s, unsigned long v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
    PutBe32(png, data.size());
    std::string body = std::string(type, 4) + data;
    png += body;
    PutBe32(png, Crc(reinterpret_cast<const unsigned char*>(body.data()), body.size()) ^ 0xFFFFFFFFUL);
}

bool SavePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb) {
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
Shot CaptureWindow(HWND hwnd) {
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

void SaveShot(const Shot& shot, const char* name) {
    const char* folder = std::getenv("TW_WINE_SHOTS");
    if (!folder)
        return;
    std::string path = WindowsPath(std::string(folder) + "/" + name);
    Check(SavePng(path, shot.width, shot.height, shot.rgb), "screenshot %s", path.c_str());
}

// ------------------------------------------------------------------ scenarios

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    DWORD styleMask;
    DWORD style;
    int x, y, cx, cy;  // dialog units
};

// Push buttons are owner-drawn once the program has attached its skinned buttons.
const DWORD kButtonType = 0x0F;
const ExpectedControl kControls[] = {
    {1000, "Button", "", kButtonType | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP, 235, 0, 11, 11},
    {1001, "Button", "", kButtonType | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP, 248, 0, 11, 11},
    {1005, "Static", "选择转移或还原路径：", SS_TYPEMASK | SS_NOTIFY, SS_LEFT | SS_NOTIFY, 7, 44, 90, 11},
    {1003, "Edit", "", ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, 13, 56, 112, 12},
    {1004, "Button", "", kButtonType | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP, 131, 51, 25, 21},
    {1006, "Button", "转　移", kButtonType | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP, 181, 39, 53, 21},
    {1007, "Button", "还　原", kButtonType | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP, 181, 63, 53, 21},
    {1013, "msctls_progress32", "", PBS_SMOOTH | WS_BORDER, PBS_SMOOTH, 13, 73, 112, 7},
    {1011, "Button", "安装引导", kButtonType | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP, 12, 121, 53, 23},
    {1014, "Button", "重启进入Tarwen修复", kButtonType | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP, 153, 121, 85, 24},
    {1009, "Button", "卸载引导", kButtonType | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP, 12, 159, 53, 23},
    {1010, "Button", "关于", kButtonType | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP, 80, 158, 56, 24},
    {1012, "Button", "驱动备份还原", kButtonType | WS_TABSTOP, BS_OWNERDRAW | WS_TABSTOP, 152, 158, 79, 24},
};

RECT ChildRect(HWND parent, HWND child) {
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void CheckBootButtons(HWND hwnd, bool installed, const char* why) {
    Check(IsWindowEnabled(GetDlgItem(hwnd, 1011)) == !installed, "%s: 安装引导 %s", why, installed ? "disabled" : "enabled");
    Check(IsWindowEnabled(GetDlgItem(hwnd, 1009)) == installed, "%s: 卸载引导 %s", why, installed ? "enabled" : "disabled");
    Check(IsWindowEnabled(GetDlgItem(hwnd, 1014)) == installed, "%s: 重启进入Tarwen修复 %s", why, installed ? "enabled" : "disabled");
}

void ScenarioWindow() {
    RemoveSettings();
    App app;
    HWND hwnd = StartPanel(app, nullptr, std::string("main window titled ") + kTitle + " appears");
    if (!hwnd)
        return;
    Pump(1500);  // past timer 1, so that a wrong "/h" handling would show

    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    LONG exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
    Check(IsWindowVisible(hwnd), "window stays visible without /h");
    Check((style & WS_CAPTION) == 0, "no caption bar (style %08lx)", style);
    Check((style & (WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS)) ==
              (WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS),
          "pop-up, system menu, minimise box, clip siblings (style %08lx)", style);
    Check((exStyle & WS_EX_APPWINDOW) != 0, "shown in the taskbar (ex style %08lx)", exStyle);
    // Scale from the spread of the controls, then every control must sit where the template puts it.
    RECT edit = ChildRect(hwnd, GetDlgItem(hwnd, 1003));
    RECT label = ChildRect(hwnd, GetDlgItem(hwnd, 1005)), hide = ChildRect(hwnd, GetDlgItem(hwnd, 1001));
    RECT uninstall = ChildRect(hwnd, GetDlgItem(hwnd, 1009));
    double sx = (hide.left - label.left) / 241.0, sy = (uninstall.top - label.top) / 115.0;
    for (const ExpectedControl& expected : kControls) {
        HWND control = GetDlgItem(hwnd, expected.id);
        Check(control != nullptr, "control %d exists", expected.id);
        if (!control)
            continue;
        char className[64] = {}, text[128] = {};
        GetClassNameA(control, className, sizeof className);
        GetWindowTextA(control, text, sizeof text);
        Check(lstrcmpiA(className, expected.className) == 0, "control %d class %s (got %s)", expected.id, expected.className, className);
        Check(std::strcmp(text, expected.text) == 0, "control %d text \"%s\" (got \"%s\")", expected.id, expected.text, text);
        DWORD controlStyle = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
        Check((controlStyle & expected.styleMask) == expected.style && (controlStyle & WS_VISIBLE),
              "control %d style %08lx under mask %08lx (got %08lx)", expected.id, expected.style, expected.styleMask,
              controlStyle & expected.styleMask);
        RECT rc = ChildRect(hwnd, control);
        int ex = static_cast<int>(expected.x * sx + 0.5);
        int ew = static_cast<int>(expected.cx * sx + 0.5), eh = static_cast<int>(expected.cy * sy + 0.5);
        bool placed = std::abs(rc.left - ex) <= 2 && std::abs(rc.right - rc.left - ew) <= 2 &&
                      std::abs(rc.bottom - rc.top - eh) <= 2;
        Check(placed, "control %d at x %ld width %ld height %ld (expected %d %d %d)", expected.id, rc.left,
              rc.right - rc.left, rc.bottom - rc.top, ex, ew, eh);
        // Vertical offsets are relative to the edit box: the caption's removal moves the client origin.
        int dy = static_cast<int>((expected.y - 56) * sy + 0.5);
        Check(std::abs(rc.top - edit.top - dy) <= 2, "control %d row %ld (expected %ld)", expected.id, rc.top - edit.top, static_cast<long>(dy));
        bool expectEnabled = expected.id != 1009 && expected.id != 1014;
        Check((IsWindowEnabled(control) != 0) == expectEnabled, "control %d %s", expected.id, expectEnabled ? "enabled" : "disabled");
    }
    Check(SendDlgItemMessageA(hwnd, 1013, PBM_GETPOS, 0, 0) == 0, "progress bar stays empty");
    char path[300] = "x";
    GetDlgItemTextA(hwnd, 1003, path, sizeof path);
    Check(path[0] == '\0', "path box starts empty");

    // The picture covers the client area: the banner at the top is dark blue, not dialog grey.
    Shot shot = CaptureWindow(hwnd);
    SaveShot(shot, "panel_main.png");
    POINT probe = {380, 45};
    ClientToScreen(hwnd, &probe);
    RECT window;
    GetWindowRect(hwnd, &window);
    COLORREF colour = shot.At(probe.x - window.left, probe.y - window.top);
    Check(colour != CLR_INVALID && GetBValue(colour) > GetRValue(colour) + 40, "background picture painted (pixel %06lx)", colour);

    // Dragging the picture moves the window.
    RECT before;
    GetWindowRect(hwnd, &before);
    // Background between the two groups of controls, at (160, 100) in dialog units.
    POINT grip = {static_cast<LONG>(160 * sx), edit.top + static_cast<LONG>((100 - 56) * sy)};
    Check(ChildWindowFromPoint(hwnd, grip) == hwnd, "grip point (%ld, %ld) lies on no control", grip.x, grip.y);
    ClientToScreen(hwnd, &grip);
    SetForegroundWindow(hwnd);
    SetCursorPos(grip.x, grip.y);
    Pump(200);
    INPUT down = {}, up = {};
    down.type = up.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &down, sizeof down);
    Pump(300);
    for (int step = 1; step <= 8; ++step) {
        SetCursorPos(grip.x + step * 5, grip.y + step * 4);
        Pump(60);
    }
    SendInput(1, &up, sizeof up);
    Pump(500);
    RECT after;
    GetWindowRect(hwnd, &after);
    Check(after.left - before.left == 40 && after.top - before.top == 32, "dragging moves the window by (%ld, %ld)",
          after.left - before.left, after.top - before.top);

    // Minimise button.
    SendDlgItemMessageA(hwnd, 1000, BM_CLICK, 0, 0);
    Pump(500);
    Check(IsIconic(hwnd) != 0, "minimise button minimises the window");
    ShowWindow(hwnd, SW_RESTORE);
    Pump(300);
    EndWithEscape(app, hwnd);
}

void ScenarioSecondStart() {
    RemoveSettings();
    App first;
    HWND hwnd = StartPanel(first, nullptr, "first copy shows its window");
    if (!hwnd)
        return;

    ShowWindow(hwnd, SW_HIDE);  // as the hide button does
    Pump(300);
    StartCopyThatEnds("second");
    Check(IsWindowVisible(hwnd) != 0, "hidden first window is shown again");
    Check(FindPanels(0).count == 1, "only one window titled %s", kTitle);

    SendDlgItemMessageA(hwnd, 1000, BM_CLICK, 0, 0);
    Pump(500);
    StartCopyThatEnds("third");
    Check(IsWindowVisible(hwnd) && !IsIconic(hwnd), "minimised first window is restored");
    Check(first.Running(), "first copy keeps running");
    EndWithEscape(first, hwnd);

    // Two copies started at the same instant: one stays.
    App a, b;
    Start(a, nullptr);
    Start(b, nullptr);
    Pump(4000);
    int running = (a.Running() ? 1 : 0) + (b.Running() ? 1 : 0);
    Check(running == 1, "two copies started together: %d keeps running", running);
    Check(FindPanels(0).count == 1, "two copies started together: one window");
    for (App* app : {&a, &b})
        if (app->Running())
            EndWithEscape(*app, WaitForPanel(*app));
}

void ScenarioHidden() {
    RemoveSettings();
    App app;
    HWND hwnd = StartPanel(app, "/h", "\"/h\": the window shows first");
    if (!hwnd)
        return;
    DWORD shown = GetTickCount();
    bool hidden = WaitHidden(hwnd, 5000);
    DWORD after = GetTickCount() - shown;
    Check(hidden, "\"/h\": the window hides");
    Check(after >= 300 && after <= 2500, "\"/h\": hidden %lu ms after showing (about 800)", after);
    Check(app.Running(), "\"/h\": the program keeps running hidden");
    StartCopyThatEnds("second");
    Check(IsWindowVisible(hwnd) != 0, "a second start shows the hidden window");
    EndWithEscape(app, hwnd);

    for (const char* tail : {"/H", "/h ", "-h"}) {
        App other;
        HWND w = StartPanel(other, tail, std::string("\"") + tail + "\": window shows");
        if (!w)
            continue;
        Check(!WaitHidden(w, 2000), "\"%s\": window is not hidden", tail);
        if (std::strcmp(tail, "-h") != 0) {
            EndWithEscape(other, w);
            continue;
        }
        // With no push button focused, Enter ends the program as well.
        PostMessageA(w, WM_KEYDOWN, VK_RETURN, 0);
        Check(other.WaitExit(5000), "Enter ends the program");
    }
}

const Pairs kTemplate = {{"SignRun", "000"}, {"IsRepair", "000"}, {"Backup0", "1"}};

void ScenarioAddDate() {
    RemoveSettings();
    WriteProfile(WindowsSettings(), kTemplate);
    WriteProfile(kDriveSettings, kTemplate);
    App app;
    HWND hwnd = StartPanel(app, "/AddDate", "\"/AddDate\": window shows");
    if (!hwnd)
        return;
    Pump(1500);
    Check(IsWindowVisible(hwnd) != 0, "\"/AddDate\": window stays visible");
    EndWithEscape(app, hwnd);

    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    auto system = ReadProfile(WindowsSettings());
    auto drive = ReadProfile(kDriveSettings);
    for (auto* values : {&system, &drive}) {
        const char* which = values == &system ? "Windows folder" : "c:";
        Check((*values)["syspath"] == windows, "%s: syspath %s (got %s)", which, windows, (*values)["syspath"].c_str());
        Check((*values)["userpath"].rfind("\\??\\", 0) == 0, "%s: userpath %s", which, (*values)["userpath"].c_str());
        const std::string& sign = (*values)["InsSign"];
        char* end = nullptr;
        long number = std::strtol(sign.c_str(), &end, 10);
        Check(!sign.empty() && *end == '\0' && number >= 0 && number <= 9999, "%s: InsSign %s", which, sign.c_str());
        Check((*values)["Backup0"] == "1", "%s: other keys kept", which);
    }
    Check(system["InsSign"] == drive["InsSign"], "the same InsSign in both files");
    DWORD attributes = GetFileAttributesA(kDriveSettings);
    Check(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN), "c:\\wispdata.dat is hidden");

    // Without the tail nothing is stamped.
    WriteProfile(WindowsSettings(), kTemplate);
    std::string before = ReadBytes(WindowsSettings());
    App plain;
    Start(plain, "/adddate");
    if (HWND w = WaitForPanel(plain)) {
        Pump(300);
        EndWithEscape(plain, w);
    }
    Check(ReadBytes(WindowsSettings()) == before, "\"/adddate\" in other letters writes nothing");
    RemoveSettings();
}

void ScenarioSignRun() {
    for (const char* value : {"222"}) {
        RemoveSettings();
        WriteProfile(WindowsSettings(), {{"SignRun", value}, {"IsRepair", "222"}, {"Backup0", "1"}});
        App app;
        HWND hwnd = StartPanel(app, nullptr, std::string("SignRun ") + value + ": main window opens");
        if (hwnd)
            EndWithEscape(app, hwnd);
        auto values = ReadProfile(WindowsSettings());
        Check(values["SignRun"] == "000", "SignRun %s: SignRun becomes 000 (got %s)", value, values["SignRun"].c_str());
        Check(values["IsRepair"] == "000", "SignRun %s: IsRepair becomes 000 (got %s)", value, values["IsRepair"].c_str());
        Check(values["userpath"].rfind("\\??\\", 0) == 0, "SignRun %s: userpath written (%s)", value, values["userpath"].c_str());
    }
    // "111" runs the fix-ups first: scenario "fixups".
    for (const char* value : {"000", "333"}) {
        RemoveSettings();
        WriteProfile(WindowsSettings(), {{"SignRun", value}, {"IsRepair", "222"}, {"Backup0", "1"}});
        std::string before = ReadBytes(WindowsSettings());
        App app;
        HWND hwnd = StartPanel(app, nullptr, std::string("SignRun ") + value + ": main window opens");
        if (hwnd)
            EndWithEscape(app, hwnd);
        Check(ReadBytes(WindowsSettings()) == before, "SignRun %s: settings file not written", value);
    }
    RemoveSettings();
}

void ScenarioInstalled() {
    struct Case {
        const char* backup0;  // null: key missing
        bool file;
        bool installed;
    };
    const Case cases[] = {{"2", true, true}, {"1", true, false}, {"22", true, false}, {nullptr, true, false},
                          {nullptr, false, false}};
    for (const Case& c : cases) {
        RemoveSettings();
        if (c.file) {
            Pairs pairs = {{"SignRun", "000"}};
            if (c.backup0)
                pairs.push_back({"Backup0", c.backup0});
            WriteProfile(WindowsSettings(), pairs);
        }
        char why[64];
        std::snprintf(why, sizeof why, "Backup0 %s%s", c.backup0 ? c.backup0 : "missing", c.file ? "" : " (no file)");
        App app;
        HWND hwnd = StartPanel(app, nullptr, std::string(why) + ": window opens");
        if (!hwnd)
            continue;
        CheckBootButtons(hwnd, c.installed, why);
        EndWithEscape(app, hwnd);
    }
    RemoveSettings();
}


// ------------------------------------------------------------------ post-restore fix-ups

const char kKest[] = "c:\\sysh\\kest";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";
const char kNetwork[] = "SYSTEM\\CurrentControlSet\\Control\\Network";
const char kNetworkClass[] = "SYSTEM\\CurrentControlSet\\Control\\Network\\{TwFixClass}";
const char kNetworkBare[] = "SYSTEM\\CurrentControlSet\\Control\\Network\\TwFixBare";

void SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data) {
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        Check(false, "create key %s", path.c_str());
        return;
    }
    // The system counts a NUL that follows string data; the sentinel keeps data without one as it is.
    std::string buffer = data + '#';
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(buffer.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

// Text data with its NUL, as the system stores strings.
std::string Sz(const std::string& text) { return std::string(text.c_str(), text.size() + 1); }

void PlaceFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr, "lay out %s", path.c_str());
    if (f)
        std::fclose(f);
}

std::string WindowsFolder() {
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, MAX_PATH);
    return folder;
}

// The programs the autostart values and services below name as present.
void PlaceFixupFiles() {
    CreateDirectoryA("c:\\tw_fixups", nullptr);
    CreateDirectoryA("c:\\tw fixups", nullptr);
    CreateDirectoryA("c:\\Program Files\\TwFix", nullptr);
    PlaceFile("c:\\tw_fixups\\present.exe");
    PlaceFile("c:\\tw fixups\\my app.exe");
    PlaceFile("c:\\Program Files\\TwFix\\app.exe");
    PlaceFile(WindowsFolder() + "\\twfixwin.exe");
    PlaceFile(WindowsFolder() + "\\system32\\twfixsys.exe");
}

struct RunValue {
    const char* name;
    DWORD type;
    std::string data;
    bool stays;
};

std::vector<RunValue> FixupRunValues() {
    std::string present255 = "C:\\tw_fixups\\present.exe ";
    present255 += std::string(255 - present255.size(), 'p');
    std::string gone255 = "C:\\tw_fixups\\gone.exe ";
    gone255 += std::string(255 - gone255.size(), 'g');
    return {
        {"TwFixA_Gone", REG_SZ, Sz("C:\\tw_fixups\\gone.exe"), false},
        {"TwFixB_GoneNext", REG_SZ, Sz("C:\\tw_fixups\\gone2.exe /x"), false},  // moves into A's place
        {"TwFixC_Args", REG_SZ, Sz("C:\\tw_fixups\\present.exe /cfg C:\\tw_fixups\\y.ini"), true},
        {"TwFixD_Quoted", REG_SZ, Sz("\"C:\\tw fixups\\my app.exe\" /x"), true},
        {"TwFixE_ProgramFiles", REG_SZ, Sz("%ProgramFiles%\\TwFix\\app.exe"), true},
        {"TwFixF_BareWindows", REG_SZ, Sz("twfixwin.exe"), true},
        {"TwFixG_BareSystem32", REG_EXPAND_SZ, Sz("twfixsys.exe /s"), true},
        {"TwFixH_BareGone", REG_SZ, Sz("twfixnone.exe"), false},
        {"TwFixI_Empty", REG_SZ, Sz(""), false},
        {"TwFixJ_255Gone", REG_SZ, gone255, false},  // 255 bytes, no NUL
        {"TwFixK_255Present", REG_SZ, present255, true},
        {"TwFixL_TooLong", REG_SZ, Sz("C:\\tw_fixups\\gone.exe " + std::string(290, 'l')), true},
        {"TwFixM_Dword", REG_DWORD, std::string("\x01\0\0\0", 4), true},
        {"TwFixN_Rundll", REG_SZ, Sz(WindowsFolder() + "\\system32\\rundll32.exe " + WindowsFolder() +
                                     "\\system32\\shell32.dll,Control_RunDLL"), true},
    };
}

bool ValueExists(HKEY root, const char* path, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool exists = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}

void DeleteValue(HKEY root, const char* path, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

// Services with present and missing image files, and the network components that name them.
void LayOutServices() {
    struct Service {
        const char* name;
        DWORD type;
        const char* imagePath;
        const char* componentKey;  // under the network class key; null: named by none, or by TwFixBare
        const char* componentId;
        const char* serviceValue;
    } services[] = {
        {"TwFixSvc0Lone", REG_SZ, "system32\\drivers\\twfixlone.sys", nullptr, nullptr, nullptr},
        {"TwFixSvc1Bare", REG_SZ, "system32\\drivers\\twfixbare.sys", nullptr, nullptr, nullptr},
        {"TwFixSvc2Case", REG_SZ, "\\SystemRoot\\System32\\drivers\\twfixcase.sys", "0001", "tw_case", "twfixsvc2case"},
        {"TwFixSvc3Quoted", REG_SZ, "\"C:\\tw fixups\\my app.exe\" -service", "0002", "tw_quoted", "TwFixSvc3Quoted"},
        {"TwFixSvc4Expand", REG_EXPAND_SZ, "%ProgramFiles%\\TwFix\\app.exe", "0003", "tw_expand", "TwFixSvc4Expand"},
        {"TwFixSvc5Gone", REG_SZ, "\\??\\C:\\tw_fixups\\gone.sys", "0004", "tw_gone", "TwFixSvc5Gone"},
        {"TwFixSvc6Later", REG_SZ, "%SystemRoot%\\system32\\drivers\\twfixlater.sys", "0005", "tw_later", "TwFixSvc6Later"},
    };
    for (const Service& service : services) {
        SetValue(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\" + service.name, "ImagePath", service.type,
                 Sz(service.imagePath));
        if (!service.componentKey)
            continue;
        std::string component = std::string(kNetworkClass) + "\\" + service.componentKey;
        SetValue(HKEY_LOCAL_MACHINE, component, "ComponentId", REG_SZ, Sz(service.componentId));
        SetValue(HKEY_LOCAL_MACHINE, component + "\\Ndi", "Service", REG_SZ, Sz(service.serviceValue));
    }
    // A key that names a service but holds no ComponentId, nor does any key above it.
    SetValue(HKEY_LOCAL_MACHINE, std::string(kNetworkBare) + "\\Ndi", "Service", REG_SZ, Sz("TwFixSvc1Bare"));
}

void RemoveFixupLayout() {
    for (const char* service : {"TwFixSvc0Lone", "TwFixSvc1Bare", "TwFixSvc2Case", "TwFixSvc3Quoted",
                                "TwFixSvc4Expand", "TwFixSvc5Gone", "TwFixSvc6Later"})
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kServices) + "\\" + service).c_str());
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kNetworkClass);
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kNetworkBare);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const RunValue& value : FixupRunValues())
            DeleteValue(root, kRunKey, value.name);
    for (const char* file : {"c:\\tw_fixups\\present.exe", "c:\\tw fixups\\my app.exe",
                             "c:\\Program Files\\TwFix\\app.exe"})
        DeleteFileA(file);
    DeleteFileA((WindowsFolder() + "\\twfixwin.exe").c_str());
    DeleteFileA((WindowsFolder() + "\\system32\\twfixsys.exe").c_str());
    for (const char* folder : {"c:\\tw_fixups", "c:\\tw fixups", "c:\\Program Files\\TwFix"})
        RemoveDirectoryA(folder);
}

// The package's network tool and, when asked, its browser repair batch in c:\sysh\kest; no logs.
void LayOutKest(const std::string& packageKest, bool withBrowserRepair) {
    CreateDirectoryA("c:\\sysh", nullptr);
    CreateDirectoryA(kKest, nullptr);
    CopyFileA((packageKest + "\\snetcfg.exe").c_str(), "c:\\sysh\\kest\\snetcfg.exe", FALSE);
    if (withBrowserRepair)
        CopyFileA((packageKest + "\\Repairie.bat").c_str(), "c:\\sysh\\kest\\Repairie.bat", FALSE);
    else
        DeleteFileA("c:\\sysh\\kest\\Repairie.bat");
    DeleteFileA("c:\\sysh\\kest\\snetcfg.log");
    DeleteFileA("c:\\sysh\\kest\\Repairie.log");
}

// Titled like the main window, without its install button. (A closed dialog's handle may come
// back for the main window under Wine, so IsWindow alone does not tell.)
bool IsFixupDialog(HWND hwnd) { return IsWindow(hwnd) && GetDlgItem(hwnd, 1013) && !GetDlgItem(hwnd, 1011); }

// Under Wine without a window manager, a window that had a caption goes about 2 s after it hides.
bool WaitFixupDialogGone(HWND dialog) {
    DWORD end = GetTickCount() + 5000;
    while (IsFixupDialog(dialog) && static_cast<LONG>(end - GetTickCount()) > 0)
        Pump(50);
    return !IsFixupDialog(dialog);
}

HWND WaitForFixupDialog(const App& app, DWORD ms = 15000) {
    DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        HWND hwnd = WaitForPanel(app, 100);
        if (IsFixupDialog(hwnd))
            return hwnd;
        Pump(50);
    }
    return nullptr;
}

int ProgressPos(HWND dialog) { return static_cast<int>(SendDlgItemMessageA(dialog, 1013, PBM_GETPOS, 0, 0)); }

// Polls until the button is enabled; checks meanwhile that it stays disabled below 10.
bool WaitForDoneButton(HWND dialog, DWORD ms, int* lastPos) {
    DWORD end = GetTickCount() + ms;
    while (IsWindow(dialog) && static_cast<LONG>(end - GetTickCount()) > 0) {
        int pos = ProgressPos(dialog);
        bool enabled = IsWindowEnabled(GetDlgItem(dialog, 1014)) != 0;
        if (enabled)
            return true;
        *lastPos = pos;
        Pump(50);
    }
    return false;
}

// After the dialog: the main window follows and the handshake is finished in the settings file.
void CheckMainWindowAndHandshake(App& app, const char* why) {
    HWND main = WaitForPanel(app);
    Check(main && GetDlgItem(main, 1011), "%s: the main window follows", why);
    if (main)
        EndWithEscape(app, main);
    auto values = ReadProfile(WindowsSettings());
    Check(values["SignRun"] == "000" && values["IsRepair"] == "000", "%s: SignRun %s, IsRepair %s (000 both)", why,
          values["SignRun"].c_str(), values["IsRepair"].c_str());
    Check(values["userpath"].rfind("\\??\\", 0) == 0, "%s: userpath written (%s)", why, values["userpath"].c_str());
}

// Waits until the network tool has finished writing its log.
std::string WaitForNetworkLog() {
    std::string log;
    for (int i = 0; i < 100; ++i) {
        log = ReadBytes("c:\\sysh\\kest\\snetcfg.log");
        if (log.find("removed") != std::string::npos || log.find("no such") != std::string::npos)
            break;
        Pump(100);
    }
    return log;
}

// One missing autostart value in HKCU and SignRun "111"; returns the fix-up dialog.
HWND StartAgainWithMissingAutostart(App& app, const std::string& packageKest, bool withBrowserRepair,
                                    const RunValue& gone) {
    SetValue(HKEY_CURRENT_USER, kRunKey, gone.name, gone.type, gone.data);
    LayOutKest(packageKest, withBrowserRepair);
    WriteProfile(WindowsSettings(), {{"SignRun", "111"}, {"IsRepair", "000"}});
    Start(app, nullptr);
    return WaitForFixupDialog(app);
}

void ScenarioFixups(const std::string& packageKest) {
    RemoveSettings();
    PlaceFixupFiles();
    LayOutServices();
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const RunValue& value : FixupRunValues())
            SetValue(root, kRunKey, value.name, value.type, value.data);
    LayOutKest(packageKest, true);
    WriteProfile(WindowsSettings(), {{"SignRun", "111"}, {"IsRepair", "000"}, {"Backup0", "1"}});

    App app;
    Start(app, nullptr);
    HWND dialog = WaitForFixupDialog(app);
    Check(dialog != nullptr, "SignRun 111: the fix-up dialog appears");
    if (!dialog)
        return;
    Check(FindPanels(app.pi.dwProcessId).count == 1, "the fix-up dialog comes before the main window");
    Check(GetWindow(dialog, GW_OWNER) == nullptr, "the fix-up dialog has no owner");
    Check(!(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU), "no system menu, no close box");
    Check(!IsWindowEnabled(GetDlgItem(dialog, 1014)), "修复完成 starts disabled");
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    Pump(300);
    Check(IsFixupDialog(dialog) && IsWindowVisible(dialog), "WM_CLOSE before the first step does nothing");
    StartCopyThatEnds("second");
    Check(IsFixupDialog(dialog) && IsWindowVisible(dialog), "a second start finds the fix-up dialog and leaves it");

    int lastPos = 0;
    for (DWORD end = GetTickCount() + 20000; IsWindow(dialog) && ProgressPos(dialog) < 5 &&
                                             static_cast<LONG>(end - GetTickCount()) > 0;)
        Pump(50);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    Pump(300);
    Check(IsFixupDialog(dialog) && IsWindowVisible(dialog), "WM_CLOSE while the steps run does nothing");
    bool enabled = WaitForDoneButton(dialog, 120000, &lastPos);
    Check(enabled, "修复完成 is enabled at the end (disabled up to progress %d)", lastPos);
    Check(ProgressPos(dialog) == 10, "progress at 10 at the end (got %d)", ProgressPos(dialog));
    Pump(300);
    Shot shot = CaptureWindow(dialog);
    SaveShot(shot, "fixup_dialog.png");
    RECT client;
    GetClientRect(dialog, &client);
    POINT corner = {3, client.bottom - 3};
    ClientToScreen(dialog, &corner);
    RECT window;
    GetWindowRect(dialog, &window);
    COLORREF colour = shot.At(corner.x - window.left, corner.y - window.top);
    Check(colour == RGB(222, 222, 222), "the dialog is grey (pixel %06lx)", colour);

    std::string log = WaitForNetworkLog();
    std::size_t first = log.find("-u ");
    Check(first != std::string::npos && log.find("-u ", first + 1) == std::string::npos &&
              log.compare(first, 11, "-u tw_gone\r") == 0,
          "snetcfg asked once, for tw_gone: %s", log.c_str());
    Check(!ReadBytes("c:\\sysh\\kest\\Repairie.log").empty(), "Repairie.bat ran");
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const RunValue& value : FixupRunValues())
            Check(ValueExists(root, kRunKey, value.name) == value.stays, "%s Run value %s %s",
                  root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU", value.name, value.stays ? "stays" : "is deleted");
    SendDlgItemMessageA(dialog, 1014, BM_CLICK, 0, 0);
    Check(WaitFixupDialogGone(dialog), "修复完成 closes the dialog");
    CheckMainWindowAndHandshake(app, "after the fix-ups");

    // Without Repairie.bat the sequence goes on to the autostart cleanup; WM_CLOSE now closes.
    const RunValue gone = FixupRunValues()[0];
    App noBatch;
    dialog = StartAgainWithMissingAutostart(noBatch, packageKest, false, gone);
    Check(dialog && WaitForDoneButton(dialog, 20000, &lastPos), "no Repairie.bat: the button is enabled");
    Check(!ValueExists(HKEY_CURRENT_USER, kRunKey, gone.name), "no Repairie.bat: the missing autostart is deleted");
    if (dialog)
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    Check(WaitFixupDialogGone(dialog), "WM_CLOSE closes the finished dialog");
    CheckMainWindowAndHandshake(noBatch, "no Repairie.bat");
    WaitForNetworkLog();

    // Escape before the first step: nothing runs, the handshake still finishes.
    App escaped;
    dialog = StartAgainWithMissingAutostart(escaped, packageKest, true, gone);
    if (dialog)
        PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    Check(dialog && WaitFixupDialogGone(dialog), "Escape ends the fix-up dialog");
    CheckMainWindowAndHandshake(escaped, "Escape");
    Check(ValueExists(HKEY_CURRENT_USER, kRunKey, gone.name), "Escape: the autostart cleanup is skipped");
    Check(GetFileAttributesA("c:\\sysh\\kest\\snetcfg.log") == INVALID_FILE_ATTRIBUTES, "Escape: no network command");

    RemoveFixupLayout();
    RemoveSettings();
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: panel_driver <tarwenApp.exe> window|second|hidden|adddate|signrun|installed|fixups <package kest folder>\n");
        return 2;
    }
    g_app = WindowsPath(argv[1]);
    std::string scenario = argv[2];
    if (scenario == "window")
        ScenarioWindow();
    else if (scenario == "second")
        ScenarioSecondStart();
    else if (scenario == "hidden")
        ScenarioHidden();
    else if (scenario == "adddate")
        ScenarioAddDate();
    else if (scenario == "signrun")
        ScenarioSignRun();
    else if (scenario == "installed")
        ScenarioInstalled();
    else if (scenario == "fixups" && argc > 3)
        ScenarioFixups(WindowsPath(argv[3]));
    else
        Check(false, "unknown scenario %s", scenario.c_str());
    return CheckResult();
}
