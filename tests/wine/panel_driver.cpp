// Drives tarwenApp.exe under Wine: the main window's controls, single copy, "/h", "/AddDate",
// the SignRun handshake, the installed state, the Favorites transfer, the notification-area
// icon with the close choice, and the about box. Usage: panel_driver <tarwenApp.exe> <scenario>
// ("panel_driver record <argument>" is the help viewer's stand-in: it records its argument.)
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "panel_session.h"
#include "wine_check.h"

using namespace panel_session;

namespace {

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
    // "111" runs the fix-ups first: fixups_driver.cpp.
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

// ------------------------------------------------------------------ dialogs of the panel

struct OtherDialogSearch {
    DWORD pid;
    HWND exclude;
    HWND found;
};

BOOL CALLBACK FindDialogOf(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<OtherDialogSearch*>(lParam);
    char className[32] = {};
    GetClassNameA(hwnd, className, sizeof className);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && hwnd != search->exclude && IsWindowVisible(hwnd) && std::strcmp(className, "#32770") == 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog of the panel's process other than its main window (a message box, the
// folder browser, the close choice, the about box), or null after ms.
HWND WaitForDialog(const App& app, HWND mainWindow, DWORD ms = 8000) {
    DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        OtherDialogSearch search = {app.pi.dwProcessId, mainWindow, nullptr};
        EnumWindows(&FindDialogOf, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Pump(50);
    }
    return nullptr;
}

BOOL CALLBACK CollectStaticText(HWND hwnd, LPARAM lParam) {
    char className[32] = {}, text[512] = {};
    GetClassNameA(hwnd, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0 && GetWindowTextA(hwnd, text, sizeof text) > 0)
        *reinterpret_cast<std::string*>(lParam) += text;
    return TRUE;
}

std::string StaticText(HWND dialog) {
    std::string text;
    EnumChildWindows(dialog, &CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

// Waits for a message box of the panel, checks its text and answers OK.
void ExpectNotice(const App& app, HWND mainWindow, const char* expected, const char* why) {
    HWND box = WaitForDialog(app, mainWindow, 20000);
    std::string text = box ? StaticText(box) : std::string("(none)");
    Check(text == expected, "%s: notice \"%s\" (got \"%s\")", why, expected, text.c_str());
    if (box) {
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        Check(WaitHidden(box, 5000), "%s: notice closes", why);
    }
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void DeleteTree(const std::string& path) {
    std::vector<char> list(path.begin(), path.end());
    list.push_back('\0');
    list.push_back('\0');
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list.data();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    SHFileOperationA(&operation);
}

void WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

// ------------------------------------------------------------------ Favorites

// Clicks browse, hands the folder browser a selection (a path, or an item list when
// wParam is FALSE) written into the panel's memory, and presses OK.
void BrowseTo(const App& app, HWND hwnd, const void* selection, size_t size, BOOL isPath, const char* why) {
    PostMessageA(GetDlgItem(hwnd, 1004), BM_CLICK, 0, 0);
    HWND browser = WaitForDialog(app, hwnd);
    Check(browser != nullptr, "%s: the folder browser opens", why);
    if (!browser)
        return;
    void* remote = VirtualAllocEx(app.pi.hProcess, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    Check(remote && WriteProcessMemory(app.pi.hProcess, remote, selection, size, nullptr), "%s: selection written", why);
    SendMessageA(browser, BFFM_SETSELECTIONA, isPath, reinterpret_cast<LPARAM>(remote));
    Pump(300);
    PostMessageA(browser, WM_COMMAND, IDOK, 0);
    Check(WaitHidden(browser, 5000), "%s: the folder browser closes", why);
    Pump(300);
    VirtualFreeEx(app.pi.hProcess, remote, 0, MEM_RELEASE);
}

std::string PathBox(HWND hwnd) {
    char text[300] = {};
    GetDlgItemTextA(hwnd, 1003, text, sizeof text);
    return text;
}

void ScenarioFavorites() {
    RemoveSettings();
    char favorites[MAX_PATH] = {};
    Check(SHGetSpecialFolderPathA(nullptr, favorites, CSIDL_FAVORITES, TRUE) != FALSE, "the prefix has a Favorites folder");
    std::string own = std::string(favorites).substr(std::string(favorites).find_last_of('\\') + 1);
    const std::string target = "C:\\tw_fav_backup";
    DeleteTree(target);
    CreateDirectoryA(target.c_str(), nullptr);
    CreateDirectoryA((std::string(favorites) + "\\tw_folder").c_str(), nullptr);
    WriteText(std::string(favorites) + "\\tw_site.url", "[InternetShortcut]\r\nURL=http://example.com/\r\n");
    WriteText(std::string(favorites) + "\\tw_folder\\tw_inner.url", "[InternetShortcut]\r\nURL=http://example.org/\r\n");

    App app;
    HWND hwnd = StartPanel(app, nullptr, "Favorites: window opens");
    if (!hwnd)
        return;
    PostMessageA(GetDlgItem(hwnd, 1006), BM_CLICK, 0, 0);
    ExpectNotice(app, hwnd, "请选择转移路径！", "transfer before browsing");
    PostMessageA(GetDlgItem(hwnd, 1007), BM_CLICK, 0, 0);
    ExpectNotice(app, hwnd, "请选择还原路径！", "restore before browsing");
    Check(!FileExists(target + "\\" + own), "nothing copied before browsing");

    BrowseTo(app, hwnd, target.c_str(), target.size() + 1, TRUE, "browse to a folder");
    Check(lstrcmpiA(PathBox(hwnd).c_str(), target.c_str()) == 0, "path box shows %s (got %s)", target.c_str(), PathBox(hwnd).c_str());

    PostMessageA(GetDlgItem(hwnd, 1006), BM_CLICK, 0, 0);
    ExpectNotice(app, hwnd, "转移完成", "transfer");
    Check(FileExists(target + "\\" + own + "\\tw_site.url") && FileExists(target + "\\" + own + "\\tw_folder\\tw_inner.url"),
          "transfer: the Favorites tree lies in %s\\%s", target.c_str(), own.c_str());

    PostMessageA(GetDlgItem(hwnd, 1007), BM_CLICK, 0, 0);
    ExpectNotice(app, hwnd, "还原完成", "restore");
    std::string restored = std::string(favorites) + "\\tw_fav_backup\\" + own + "\\tw_folder\\tw_inner.url";
    Check(FileExists(restored), "restore: the chosen folder lies in the Favorites folder (%s)", restored.c_str());

    // The root of the drives has no file-system path: the chosen path stays.
    LPITEMIDLIST drives = nullptr;
    SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives);
    if (drives) {
        BrowseTo(app, hwnd, drives, ILGetSize(drives), FALSE, "browse to the root of the drives");
        CoTaskMemFree(drives);
    }
    Check(lstrcmpiA(PathBox(hwnd).c_str(), target.c_str()) == 0, "a virtual item leaves the path (got %s)", PathBox(hwnd).c_str());

    // A copy that fails is reported as such: the chosen folder is gone.
    DeleteTree(target);
    PostMessageA(GetDlgItem(hwnd, 1007), BM_CLICK, 0, 0);
    ExpectNotice(app, hwnd, "还原未完成：复制失败或已取消。", "restore from a folder that is gone");
    EndWithEscape(app, hwnd);

    DeleteTree(std::string(favorites) + "\\tw_fav_backup");
    DeleteTree(std::string(favorites) + "\\tw_folder");
    DeleteFileA((std::string(favorites) + "\\tw_site.url").c_str());
}

// ------------------------------------------------------------------ tray icon and close choice

const UINT kTrayMessage = WM_USER + 1;

bool TrayIconExists(HWND hwnd) {
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = hwnd;
    data.uID = 1026;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// The icon is added once the window has painted: it may come a moment after the window.
bool WaitTrayIcon(HWND hwnd) {
    for (int i = 0; i < 40; ++i) {
        if (TrayIconExists(hwnd))
            return true;
        Pump(50);
    }
    return false;
}

// Opens the icon's menu and picks an item with the keyboard (down: the first, up: the last).
void PickTrayMenuItem(HWND hwnd, WPARAM key) {
    PostMessageA(hwnd, kTrayMessage, 1026, WM_RBUTTONDOWN);
    HWND menu = nullptr;
    for (int i = 0; i < 100 && !menu; ++i) {
        Pump(50);
        HWND candidate = FindWindowA("#32768", nullptr);
        if (candidate && IsWindowVisible(candidate))
            menu = candidate;
    }
    Check(menu != nullptr, "the icon's menu opens");
    if (!menu)
        return;
    PostMessageA(menu, WM_KEYDOWN, key, 0);
    Pump(200);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
}

bool IsCloseChoice(HWND dialog) { return dialog && GetDlgItem(dialog, 1019) && GetDlgItem(dialog, 1020); }
bool IsAboutBox(HWND dialog) { return dialog && StaticText(dialog).find("Tarwen系统修复 3.2 版") != std::string::npos; }

void CloseAboutWithOk(HWND about, const char* why) {
    if (!about)
        return;
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    Check(WaitHidden(about, 5000), "%s: OK closes the about box", why);
}

void ScenarioTray() {
    RemoveSettings();
    App app;
    HWND hwnd = StartPanel(app, nullptr, "tray: window opens");
    if (!hwnd)
        return;
    Check(WaitTrayIcon(hwnd), "the notification-area icon exists");
    NOTIFYICONDATAA other = {};
    other.cbSize = NOTIFYICONDATAA_V1_SIZE;
    other.hWnd = hwnd;
    other.uID = 1027;
    Check(!Shell_NotifyIconA(NIM_MODIFY, &other), "no icon under another id");

    SendDlgItemMessageA(hwnd, 1001, BM_CLICK, 0, 0);
    Check(WaitHidden(hwnd, 2000) && TrayIconExists(hwnd), "hide button: window hidden, icon stays");
    SendMessageA(hwnd, kTrayMessage, 1026, WM_LBUTTONDOWN);
    Pump(300);
    Check(IsWindowVisible(hwnd) != 0, "left click on the icon shows the window");

    PickTrayMenuItem(hwnd, VK_DOWN);
    HWND about = WaitForDialog(app, hwnd);
    Check(IsAboutBox(about), "menu \"关于\" opens the about box");
    CloseAboutWithOk(about, "menu");

    PickTrayMenuItem(hwnd, VK_UP);
    HWND choice = WaitForDialog(app, hwnd);
    Check(IsCloseChoice(choice), "menu \"退出\" opens the close choice");
    if (choice) {
        Check(IsDlgButtonChecked(choice, 1019) == BST_CHECKED, "\"后台运行（建议选择此项）\" is checked");
        PostMessageA(choice, WM_KEYDOWN, VK_ESCAPE, 0);
        Check(WaitHidden(choice, 5000), "Escape closes the close choice");
        Check(IsWindowVisible(hwnd) && app.Running(), "Escape keeps the window as it was");
    }

    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    choice = WaitForDialog(app, hwnd);
    Check(IsCloseChoice(choice), "closing the window opens the close choice");
    if (choice) {
        Pump(300);
        SaveShot(CaptureWindow(choice), "panel_close_choice.png");
        PostMessageA(choice, WM_COMMAND, IDOK, 0);
        Check(WaitHidden(choice, 5000) && WaitHidden(hwnd, 2000), "OK with background hides the window");
        Check(app.Running() && TrayIconExists(hwnd), "in the background: running, icon stays");
    }

    SendMessageA(hwnd, kTrayMessage, 1026, WM_LBUTTONDOWN);
    Pump(300);
    PostMessageA(hwnd, WM_SYSCOMMAND, 16, 0);
    about = WaitForDialog(app, hwnd);
    Check(IsAboutBox(about), "system menu item 16 opens the about box");
    CloseAboutWithOk(about, "system menu");

    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    choice = WaitForDialog(app, hwnd);
    Check(IsCloseChoice(choice), "the close choice opens again");
    if (choice) {
        SendDlgItemMessageA(choice, 1020, BM_CLICK, 0, 0);
        PostMessageA(choice, WM_COMMAND, IDOK, 0);
        Check(app.WaitExit(5000), "\"退出程序\" and OK end the program");
        DWORD code = 0;
        GetExitCodeProcess(app.pi.hProcess, &code);
        Check(code == 1, "exit code 1 (got %lu)", code);
        Check(!TrayIconExists(hwnd), "the icon is gone");
    }
}

// ------------------------------------------------------------------ about box and help

const char kHelpRecord[] = "C:\\tw_help_opened.txt";

void ScenarioAbout(const std::string& driver) {
    RemoveSettings();
    // A program folder whose name holds blanks; the help viewer is a stand-in that records its argument.
    const std::string folder = "C:\\Program Files\\Tarwen Test Folder\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    Check(CopyFileA(g_app.c_str(), (folder + "tarwenApp.exe").c_str(), FALSE) != FALSE, "program copied into %s", folder.c_str());
    std::string built = g_app.substr(0, g_app.size() - 13) + "使用帮助.chm";
    Check(CopyFileA(built.c_str(), (folder + "使用帮助.chm").c_str(), FALSE) != FALSE, "help file built beside the program");
    DeleteFileA(kHelpRecord);
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CLASSES_ROOT, "chm.file\\shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    char saved[512] = {};
    DWORD savedSize = sizeof saved;
    bool hadValue = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(saved), &savedSize) == ERROR_SUCCESS;
    std::string command = "\"" + driver + "\" record \"%1\"";
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()), static_cast<DWORD>(command.size() + 1));
    HKEY extension = nullptr;
    RegCreateKeyExA(HKEY_CLASSES_ROOT, ".chm", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &extension, nullptr);
    RegSetValueExA(extension, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("chm.file"), 9);
    RegCloseKey(extension);

    std::string original = g_app;
    g_app = folder + "tarwenApp.exe";
    App app;
    HWND hwnd = StartPanel(app, nullptr, "about: window opens from a folder with blanks");
    g_app = original;
    if (hwnd) {
        PostMessageA(GetDlgItem(hwnd, 1010), BM_CLICK, 0, 0);
        HWND about = WaitForDialog(app, hwnd);
        Check(IsAboutBox(about), "\"关于\" opens the about box");
        if (about) {
            Pump(300);
            Shot shot = CaptureWindow(about);
            SaveShot(shot, "panel_about.png");
            RECT client;
            GetClientRect(about, &client);
            POINT inside = {client.right - 8, client.bottom / 2};
            ClientToScreen(about, &inside);
            RECT window;
            GetWindowRect(about, &window);
            COLORREF colour = shot.At(inside.x - window.left, inside.y - window.top);
            Check(colour == RGB(222, 222, 222), "the about box is grey (pixel %06lx)", colour);

            PostMessageA(about, WM_KEYDOWN, VK_ESCAPE, 0);
            DWORD end = GetTickCount() + 8000;
            while (!FileExists(kHelpRecord) && static_cast<LONG>(end - GetTickCount()) > 0)
                Pump(100);
            Pump(300);
            std::string opened = ReadBytes(kHelpRecord);
            while (!opened.empty() && (opened.back() == '\r' || opened.back() == '\n'))
                opened.pop_back();
            std::string expected = folder + "使用帮助.chm";
            Check(lstrcmpiA(opened.c_str(), expected.c_str()) == 0, "Escape opens %s (got \"%s\")", expected.c_str(), opened.c_str());
            Check(IsWindowVisible(about) != 0, "the about box stays open after the help");
            CloseAboutWithOk(about, "about");
        }
        EndWithEscape(app, hwnd);
    }

    if (hadValue)
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved), savedSize);
    else
        RegDeleteValueA(key, nullptr);
    RegCloseKey(key);
    DeleteFileA(kHelpRecord);
    DeleteTree(folder.substr(0, folder.size() - 1));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "record") == 0) {
        WriteText(kHelpRecord, argv[2]);
        return 0;
    }
    if (argc < 3) {
        std::printf("usage: panel_driver <tarwenApp.exe> window|second|hidden|adddate|signrun|installed|favorites|tray|about\n");
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
    else if (scenario == "favorites")
        ScenarioFavorites();
    else if (scenario == "tray")
        ScenarioTray();
    else if (scenario == "about") {
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        ScenarioAbout(self);
    }
    else
        Check(false, "unknown scenario %s", scenario.c_str());
    return CheckResult();
}
