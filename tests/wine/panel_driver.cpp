// Drives tarwenApp.exe under Wine: the main window's controls, single copy, "/h", "/AddDate",
// the SignRun handshake, the installed state, the Favorites transfer, the notification-area
// icon with the close choice, and the about box. Usage: panel_driver <scenario> <tarwenApp.exe>
// ("panel_driver record <argument>" is the help viewer's stand-in: it records its argument.)
#include "panel_session.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>

#include "registry_values.h"

namespace {

const std::string& Program() { return Operand(0); }

// ------------------------------------------------------------------ the main window

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
const DWORD kSkinned = BS_OWNERDRAW | WS_TABSTOP;
const ExpectedControl kControls[] = {
    {IDC_MINIMIZE, "Button", "", kButtonType | WS_TABSTOP, kSkinned, 235, 0, 11, 11},
    {IDC_HIDE, "Button", "", kButtonType | WS_TABSTOP, kSkinned, 248, 0, 11, 11},
    {IDC_PATH_LABEL, "Static", "选择转移或还原路径：", SS_TYPEMASK | SS_NOTIFY, SS_LEFT | SS_NOTIFY, 7, 44, 90, 11},
    {IDC_PATH, "Edit", "", ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, 13, 56, 112, 12},
    {IDC_BROWSE, "Button", "", kButtonType | WS_TABSTOP, kSkinned, 131, 51, 25, 21},
    {IDC_TRANSFER, "Button", "转　移", kButtonType | WS_TABSTOP, kSkinned, 181, 39, 53, 21},
    {IDC_RESTORE, "Button", "还　原", kButtonType | WS_TABSTOP, kSkinned, 181, 63, 53, 21},
    {IDC_PROGRESS, "msctls_progress32", "", PBS_SMOOTH | WS_BORDER, PBS_SMOOTH, 13, 73, 112, 7},
    {IDC_INSTALL, "Button", "安装引导", kButtonType | WS_TABSTOP, kSkinned, 12, 121, 53, 23},
    {IDC_REPAIR, "Button", "重启进入Tarwen修复", kButtonType | WS_TABSTOP, kSkinned, 153, 121, 85, 24},
    {IDC_UNINSTALL, "Button", "卸载引导", kButtonType | WS_TABSTOP, kSkinned, 12, 159, 53, 23},
    {IDC_ABOUT, "Button", "关于", kButtonType | WS_TABSTOP, kSkinned, 80, 158, 56, 24},
    {IDC_DRIVER, "Button", "驱动备份还原", kButtonType | WS_TABSTOP, kSkinned, 152, 158, 79, 24},
};

RECT ChildRect(HWND parent, int id) {
    RECT rc;
    GetWindowRect(GetDlgItem(parent, id), &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::string PathBox(HWND hwnd) {
    char text[300] = {};
    GetDlgItemTextA(hwnd, IDC_PATH, text, sizeof text);
    return text;
}

// Every control where the template puts it, scaled by the spread of the controls. Vertical
// offsets are relative to the edit box: the caption's removal moves the client origin.
void CheckControls(HWND hwnd, double sx, double sy) {
    const RECT edit = ChildRect(hwnd, IDC_PATH);
    for (const ExpectedControl& expected : kControls) {
        Context context("control %d", expected.id);
        HWND control = GetDlgItem(hwnd, expected.id);
        CHECK(control != nullptr, "exists");
        if (!control)
            continue;
        char className[64] = {}, text[128] = {};
        GetClassNameA(control, className, sizeof className);
        GetWindowTextA(control, text, sizeof text);
        CHECK(lstrcmpiA(className, expected.className) == 0, "class %s (got %s)", expected.className, className);
        CHECK(std::strcmp(text, expected.text) == 0, "text \"%s\" (got \"%s\")", expected.text, text);
        DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
        CHECK((style & expected.styleMask) == expected.style && (style & WS_VISIBLE), "style %08lx under mask %08lx (got %08lx)",
              expected.style, expected.styleMask, style & expected.styleMask);
        RECT rc = ChildRect(hwnd, expected.id);
        int ex = static_cast<int>(expected.x * sx + 0.5);
        int ew = static_cast<int>(expected.cx * sx + 0.5), eh = static_cast<int>(expected.cy * sy + 0.5);
        bool placed = std::abs(rc.left - ex) <= 2 && std::abs(rc.right - rc.left - ew) <= 2 &&
                      std::abs(rc.bottom - rc.top - eh) <= 2;
        CHECK(placed, "at x %ld width %ld height %ld (expected %d %d %d)", rc.left, rc.right - rc.left, rc.bottom - rc.top,
              ex, ew, eh);
        int dy = static_cast<int>((expected.y - 56) * sy + 0.5);
        CHECK(std::abs(rc.top - edit.top - dy) <= 2, "row %ld (expected %d)", rc.top - edit.top, dy);
        bool expectEnabled = expected.id != IDC_UNINSTALL && expected.id != IDC_REPAIR;
        CHECK((IsWindowEnabled(control) != 0) == expectEnabled, "%s", expectEnabled ? "enabled" : "disabled");
    }
}

// Presses the left button at grip (client coordinates), moves by (40, 32) and lets go.
void Drag(HWND hwnd, POINT grip) {
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
}

SCENARIO(window) {
    RemoveSettings();
    ChildProcess app;
    HWND hwnd = StartPanel(app, Program());
    Pump(1500);  // past timer 1, so that a wrong "/h" handling would show

    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    LONG exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
    CHECK(IsWindowVisible(hwnd), "window stays visible without /h");
    CHECK((style & WS_CAPTION) == 0, "no caption bar (style %08lx)", style);
    const LONG popup = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS;
    CHECK((style & popup) == popup, "pop-up, system menu, minimise box, clip siblings (style %08lx)", style);
    CHECK((exStyle & WS_EX_APPWINDOW) != 0, "shown in the taskbar (ex style %08lx)", exStyle);
    const RECT label = ChildRect(hwnd, IDC_PATH_LABEL), edit = ChildRect(hwnd, IDC_PATH);
    const double sx = (ChildRect(hwnd, IDC_HIDE).left - label.left) / 241.0;
    const double sy = (ChildRect(hwnd, IDC_UNINSTALL).top - label.top) / 115.0;
    CheckControls(hwnd, sx, sy);
    CHECK(SendDlgItemMessageA(hwnd, IDC_PROGRESS, PBM_GETPOS, 0, 0) == 0, "progress bar stays empty");
    CHECK(PathBox(hwnd).empty(), "path box starts empty");

    // The picture covers the client area: the banner at the top is dark blue, not dialog grey.
    Shot shot = CaptureWindow(hwnd);
    SaveShot(shot, "panel_main.png");
    COLORREF colour = shot.AtClient(hwnd, 380, 45);
    CHECK(colour != CLR_INVALID && GetBValue(colour) > GetRValue(colour) + 40, "background picture painted (pixel %06lx)", colour);

    // Dragging the picture moves the window: background between the two groups of controls,
    // at (160, 100) in dialog units.
    RECT before, after;
    GetWindowRect(hwnd, &before);
    POINT grip = {static_cast<LONG>(160 * sx), edit.top + static_cast<LONG>((100 - 56) * sy)};
    CHECK(ChildWindowFromPoint(hwnd, grip) == hwnd, "grip point (%ld, %ld) lies on no control", grip.x, grip.y);
    Drag(hwnd, grip);
    GetWindowRect(hwnd, &after);
    CHECK(after.left - before.left == 40 && after.top - before.top == 32, "dragging moves the window by (%ld, %ld)",
          after.left - before.left, after.top - before.top);

    SendDlgItemMessageA(hwnd, IDC_MINIMIZE, BM_CLICK, 0, 0);
    Pump(500);
    CHECK(IsIconic(hwnd) != 0, "minimise button minimises the window");
    ShowWindow(hwnd, SW_RESTORE);
    Pump(300);
    EndWithEscape(app, hwnd);
}

SCENARIO(second) {
    RemoveSettings();
    ChildProcess first;
    HWND hwnd = StartPanel(first, Program());

    ShowWindow(hwnd, SW_HIDE);  // as the hide button does
    Pump(300);
    StartCopyThatEnds(Program());
    CHECK(IsWindowVisible(hwnd) != 0, "hidden first window is shown again");
    CHECK(CountTitled(0) == 1, "only one window titled %s", kTitle);
    SendDlgItemMessageA(hwnd, IDC_MINIMIZE, BM_CLICK, 0, 0);
    Pump(500);
    StartCopyThatEnds(Program());
    CHECK(IsWindowVisible(hwnd) && !IsIconic(hwnd), "minimised first window is restored");
    CHECK(first.Running(), "first copy keeps running");
    EndWithEscape(first, hwnd);

    Context context("two copies started together");
    ChildProcess a, b;
    a.Start(Program());
    b.Start(Program());
    Pump(4000);
    int running = (a.Running() ? 1 : 0) + (b.Running() ? 1 : 0);
    CHECK(running == 1, "%d keeps running", running);
    CHECK(CountTitled(0) == 1, "one window");
    for (ChildProcess* app : {&a, &b})
        if (app->Running())
            EndWithEscape(*app, WaitForPanel(*app));
}

SCENARIO(hidden) {
    RemoveSettings();
    {
        Context context("\"/h\"");
        ChildProcess app;
        HWND hwnd = StartPanel(app, Program(), "/h");
        DWORD shown = GetTickCount();
        bool hidden = WaitHidden(hwnd, 5000);
        DWORD after = GetTickCount() - shown;
        CHECK(hidden, "the window hides");
        CHECK(after >= 300 && after <= 2500, "hidden %lu ms after showing (about 800)", after);
        CHECK(app.Running(), "the program keeps running hidden");
        StartCopyThatEnds(Program());
        CHECK(IsWindowVisible(hwnd) != 0, "a second start shows the hidden window");
        EndWithEscape(app, hwnd);
    }
    for (const char* tail : {"/H", "/h ", "-h"}) {
        Context context("\"%s\"", tail);
        ChildProcess other;
        HWND w = StartPanel(other, Program(), tail);
        CHECK(!WaitHidden(w, 2000), "window is not hidden");
        if (std::strcmp(tail, "-h") != 0) {
            EndWithEscape(other, w);
        } else {  // with no push button focused, Enter ends the program as well
            PostMessageA(w, WM_KEYDOWN, VK_RETURN, 0);
            CHECK(other.WaitExit(5000), "Enter ends the program");
        }
    }
}

const std::vector<std::string> kTemplate = {"SignRun=000", "IsRepair=000", "Backup0=1"};

SCENARIO(adddate) {
    RemoveSettings();
    WriteSettings(WindowsSettings(), kTemplate);
    WriteSettings(kDriveSettings, kTemplate);
    {
        Context context("\"/AddDate\"");
        ChildProcess app;
        HWND hwnd = StartPanel(app, Program(), "/AddDate");
        Pump(1500);
        CHECK(IsWindowVisible(hwnd) != 0, "window stays visible");
        EndWithEscape(app, hwnd);
    }
    const std::string windows = tw::WindowsFolder();
    auto system = ReadSettings(WindowsSettings());
    auto drive = ReadSettings(kDriveSettings);
    for (auto* values : {&system, &drive}) {
        Context context("%s", values == &system ? "Windows folder" : "c:");
        CHECK((*values)["syspath"] == windows, "syspath %s (got %s)", windows.c_str(), (*values)["syspath"].c_str());
        CHECK((*values)["userpath"].rfind("\\??\\", 0) == 0, "userpath %s", (*values)["userpath"].c_str());
        const std::string& sign = (*values)["InsSign"];
        char* end = nullptr;
        long number = std::strtol(sign.c_str(), &end, 10);
        CHECK(!sign.empty() && *end == '\0' && number >= 0 && number <= 9999, "InsSign %s", sign.c_str());
        CHECK((*values)["Backup0"] == "1", "other keys kept");
    }
    CHECK(system["InsSign"] == drive["InsSign"], "the same InsSign in both files");
    DWORD attributes = GetFileAttributesA(kDriveSettings);
    CHECK(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN), "c:\\wispdata.dat is hidden");

    // Without the tail nothing is stamped.
    WriteSettings(WindowsSettings(), kTemplate);
    std::string before = ReadBytes(WindowsSettings());
    ChildProcess plain;
    plain.Start(Program(), "/adddate");
    if (HWND w = WaitForPanel(plain)) {
        Pump(300);
        EndWithEscape(plain, w);
    }
    CHECK(ReadBytes(WindowsSettings()) == before, "\"/adddate\" in other letters writes nothing");
    RemoveSettings();
}

// Starts the panel over a settings file of these entries and ends it again.
void OpenAndClose(const std::vector<std::string>& settings) {
    RemoveSettings();
    WriteSettings(WindowsSettings(), settings);
    ChildProcess app;
    if (HWND hwnd = StartPanel(app, Program()))
        EndWithEscape(app, hwnd);
}

SCENARIO(signrun) {
    {
        Context context("SignRun 222");
        OpenAndClose({"SignRun=222", "IsRepair=222", "Backup0=1"});
        auto values = ReadSettings(WindowsSettings());
        CHECK(values["SignRun"] == "000", "SignRun becomes 000 (got %s)", values["SignRun"].c_str());
        CHECK(values["IsRepair"] == "000", "IsRepair becomes 000 (got %s)", values["IsRepair"].c_str());
        CHECK(values["userpath"].rfind("\\??\\", 0) == 0, "userpath written (%s)", values["userpath"].c_str());
    }
    // "111" runs the fix-ups first: fixups_driver.cpp.
    for (const char* value : {"000", "333"}) {
        Context context("SignRun %s", value);
        const std::vector<std::string> settings = {std::string("SignRun=") + value, "IsRepair=222", "Backup0=1"};
        OpenAndClose(settings);
        CHECK(ReadBytes(WindowsSettings()) == ProfileFile(3, settings), "settings file not written");
    }
    RemoveSettings();
}

SCENARIO(installed) {
    struct Case {
        const char* what;
        std::vector<std::string> settings;  // empty: no file
        bool installed;
    };
    const Case cases[] = {{"Backup0 2", {"SignRun=000", "Backup0=2"}, true},
                          {"Backup0 1", {"SignRun=000", "Backup0=1"}, false},
                          {"Backup0 22", {"SignRun=000", "Backup0=22"}, false},
                          {"Backup0 missing", {"SignRun=000"}, false},
                          {"Backup0 missing (no file)", {}, false}};
    for (const Case& c : cases) {
        Context context("%s", c.what);
        RemoveSettings();
        if (!c.settings.empty())
            WriteSettings(WindowsSettings(), c.settings);
        ChildProcess app;
        HWND hwnd = StartPanel(app, Program());
        CheckBootButtons(hwnd, c.installed);
        EndWithEscape(app, hwnd);
    }
    RemoveSettings();
}

// ------------------------------------------------------------------ dialogs of the panel

// A visible dialog of the panel's process other than its main window (a message box, the
// folder browser, the close choice, the about box), or null after ms.
HWND WaitForDialog(const ChildProcess& app, HWND mainWindow, DWORD ms = 8000) {
    return WaitForWindowOf(app.Id(), [mainWindow](HWND hwnd) { return hwnd != mainWindow && IsDialogBox(hwnd); }, ms);
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

// Presses a button of the main window, waits for the message box that follows, checks its
// text and answers OK.
void ExpectNotice(const ChildProcess& app, HWND mainWindow, int button, const char* expected) {
    PostMessageA(GetDlgItem(mainWindow, button), BM_CLICK, 0, 0);
    HWND box = WaitForDialog(app, mainWindow, 20000);
    REQUIRE(box != nullptr, "a notice comes");
    CHECK(StaticText(box) == expected, "notice \"%s\" (got \"%s\")", expected, StaticText(box).c_str());
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    CHECK(WaitHidden(box, 5000), "notice \"%s\" closes", expected);
}

// ------------------------------------------------------------------ Favorites

// Clicks browse, hands the folder browser a selection (a path, or an item list when
// isPath is FALSE) written into the panel's memory, and presses OK.
void BrowseTo(const ChildProcess& app, HWND hwnd, const void* selection, size_t size, BOOL isPath) {
    PostMessageA(GetDlgItem(hwnd, IDC_BROWSE), BM_CLICK, 0, 0);
    HWND browser = WaitForDialog(app, hwnd);
    REQUIRE(browser != nullptr, "the folder browser opens");
    void* remote = VirtualAllocEx(app.Handle(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    CHECK(remote && WriteProcessMemory(app.Handle(), remote, selection, size, nullptr), "selection written");
    SendMessageA(browser, BFFM_SETSELECTIONA, isPath, reinterpret_cast<LPARAM>(remote));
    Pump(300);
    PostMessageA(browser, WM_COMMAND, IDOK, 0);
    CHECK(WaitHidden(browser, 5000), "the folder browser closes");
    Pump(300);
    VirtualFreeEx(app.Handle(), remote, 0, MEM_RELEASE);
}

SCENARIO(favorites) {
    RemoveSettings();
    char folder[MAX_PATH] = {};
    CHECK(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_FAVORITES, TRUE) != FALSE, "the prefix has a Favorites folder");
    const std::string favorites = folder;
    const std::string own = favorites.substr(favorites.find_last_of('\\') + 1);
    const std::string target = "C:\\tw_fav_backup";
    RemoveTree(target);
    CreateDirectoryA(target.c_str(), nullptr);
    WriteBytes(favorites + "\\tw_site.url", "[InternetShortcut]\r\nURL=http://example.com/\r\n");
    WriteBytes(favorites + "\\tw_folder\\tw_inner.url", "[InternetShortcut]\r\nURL=http://example.org/\r\n");

    ChildProcess app;
    HWND hwnd = StartPanel(app, Program());
    ExpectNotice(app, hwnd, IDC_TRANSFER, "请选择转移路径！");
    ExpectNotice(app, hwnd, IDC_RESTORE, "请选择还原路径！");
    CHECK(!Exists(target + "\\" + own), "nothing copied before browsing");
    {
        Context context("browse to a folder");
        BrowseTo(app, hwnd, target.c_str(), target.size() + 1, TRUE);
        CHECK(lstrcmpiA(PathBox(hwnd).c_str(), target.c_str()) == 0, "path box shows %s (got %s)", target.c_str(),
              PathBox(hwnd).c_str());
    }
    ExpectNotice(app, hwnd, IDC_TRANSFER, "转移完成");
    CHECK(Exists(target + "\\" + own + "\\tw_site.url") && Exists(target + "\\" + own + "\\tw_folder\\tw_inner.url"),
          "transfer: the Favorites tree lies in %s\\%s", target.c_str(), own.c_str());
    ExpectNotice(app, hwnd, IDC_RESTORE, "还原完成");
    std::string restored = favorites + "\\tw_fav_backup\\" + own + "\\tw_folder\\tw_inner.url";
    CHECK(Exists(restored), "restore: the chosen folder lies in the Favorites folder (%s)", restored.c_str());
    {
        // The root of the drives has no file-system path: the chosen path stays.
        Context context("browse to the root of the drives");
        LPITEMIDLIST drives = nullptr;
        SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives);
        if (drives) {
            BrowseTo(app, hwnd, drives, ILGetSize(drives), FALSE);
            CoTaskMemFree(drives);
        }
        CHECK(lstrcmpiA(PathBox(hwnd).c_str(), target.c_str()) == 0, "a virtual item leaves the path (got %s)",
              PathBox(hwnd).c_str());
    }
    // A copy that fails is reported as such: the chosen folder is gone.
    RemoveTree(target);
    ExpectNotice(app, hwnd, IDC_RESTORE, "还原未完成：复制失败或已取消。");
    EndWithEscape(app, hwnd);

    RemoveTree(favorites + "\\tw_fav_backup");
    RemoveTree(favorites + "\\tw_folder");
    RemoveFile(favorites + "\\tw_site.url");
}

// ------------------------------------------------------------------ tray icon and close choice

const UINT kTrayMessage = WM_USER + 1;
const UINT kTrayIcon = 1026;

bool TrayIconExists(HWND hwnd, UINT id = kTrayIcon) {
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = hwnd;
    data.uID = id;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// Opens the icon's menu and picks an item with the keyboard (down: the first, up: the last).
void PickTrayMenuItem(HWND hwnd, WPARAM key) {
    PostMessageA(hwnd, kTrayMessage, kTrayIcon, WM_RBUTTONDOWN);
    HWND menu = nullptr;
    WaitUntil([&] {
        menu = FindWindowA("#32768", nullptr);
        return menu && IsWindowVisible(menu);
    }, 5000);
    REQUIRE(menu && IsWindowVisible(menu), "the icon's menu opens");
    Pump(100);  // keys that come before the menu's own loop runs are lost
    PostMessageA(menu, WM_KEYDOWN, key, 0);
    Pump(200);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
}

bool IsCloseChoice(HWND dialog) { return dialog && GetDlgItem(dialog, IDC_RUN_BACKGROUND) && GetDlgItem(dialog, IDC_EXIT_PROGRAM); }
bool IsAboutBox(HWND dialog) { return dialog && StaticText(dialog).find("Tarwen系统修复 3.2 版") != std::string::npos; }

void CloseAboutWithOk(HWND about) {
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    CHECK(WaitHidden(about, 5000), "OK closes the about box");
}

SCENARIO(tray) {
    RemoveSettings();
    ChildProcess app;
    HWND hwnd = StartPanel(app, Program());
    // The icon is added once the window has painted: it may come a moment after the window.
    CHECK(WaitUntil([hwnd] { return TrayIconExists(hwnd); }, 2000), "the notification-area icon exists");
    CHECK(!TrayIconExists(hwnd, kTrayIcon + 1), "no icon under another id");

    SendDlgItemMessageA(hwnd, IDC_HIDE, BM_CLICK, 0, 0);
    CHECK(WaitHidden(hwnd, 2000) && TrayIconExists(hwnd), "hide button: window hidden, icon stays");
    SendMessageA(hwnd, kTrayMessage, kTrayIcon, WM_LBUTTONDOWN);
    Pump(300);
    CHECK(IsWindowVisible(hwnd) != 0, "left click on the icon shows the window");
    {
        Context context("menu");
        PickTrayMenuItem(hwnd, VK_DOWN);
        HWND about = WaitForDialog(app, hwnd);
        REQUIRE(IsAboutBox(about), "\"关于\" opens the about box");
        CloseAboutWithOk(about);

        PickTrayMenuItem(hwnd, VK_UP);
        HWND choice = WaitForDialog(app, hwnd);
        REQUIRE(IsCloseChoice(choice), "\"退出\" opens the close choice");
        CHECK(IsDlgButtonChecked(choice, IDC_RUN_BACKGROUND) == BST_CHECKED, "\"后台运行（建议选择此项）\" is checked");
        PostMessageA(choice, WM_KEYDOWN, VK_ESCAPE, 0);
        CHECK(WaitHidden(choice, 5000), "Escape closes the close choice");
        CHECK(IsWindowVisible(hwnd) && app.Running(), "Escape keeps the window as it was");
    }

    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    HWND choice = WaitForDialog(app, hwnd);
    REQUIRE(IsCloseChoice(choice), "closing the window opens the close choice");
    Pump(300);
    SaveShot(CaptureWindow(choice), "panel_close_choice.png");
    PostMessageA(choice, WM_COMMAND, IDOK, 0);
    CHECK(WaitHidden(choice, 5000) && WaitHidden(hwnd, 2000), "OK with background hides the window");
    CHECK(app.Running() && TrayIconExists(hwnd), "in the background: running, icon stays");

    SendMessageA(hwnd, kTrayMessage, kTrayIcon, WM_LBUTTONDOWN);
    Pump(300);
    {
        Context context("system menu");
        PostMessageA(hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND about = WaitForDialog(app, hwnd);
        REQUIRE(IsAboutBox(about), "item 16 opens the about box");
        CloseAboutWithOk(about);
    }

    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    choice = WaitForDialog(app, hwnd);
    REQUIRE(IsCloseChoice(choice), "the close choice opens again");
    SendDlgItemMessageA(choice, IDC_EXIT_PROGRAM, BM_CLICK, 0, 0);
    PostMessageA(choice, WM_COMMAND, IDOK, 0);
    CHECK(app.WaitExit(5000), "\"退出程序\" and OK end the program");
    CHECK(app.ExitCode() == 1, "exit code 1 (got %lu)", app.ExitCode());
    CHECK(!TrayIconExists(hwnd), "the icon is gone");
}

// ------------------------------------------------------------------ about box and help

const char kHelpRecord[] = "C:\\tw_help_opened.txt";
const char kHelpCommandKey[] = "chm.file\\shell\\open\\command";

// The help viewer's stand-in, which the about box's Escape starts with the help file.
SCENARIO(record) { WriteBytes(kHelpRecord, Operand(0)); }

// Opens help files with the stand-in while it lives.
class HelpViewerStandIn {
public:
    HelpViewerStandIn() : m_had(ReadValue(HKEY_CLASSES_ROOT, kHelpCommandKey, nullptr, &m_saved)) {
        SetValue(HKEY_CLASSES_ROOT, kHelpCommandKey, nullptr, REG_SZ, "\"" + Self() + "\" record \"%1\"" + '\0');
        SetValue(HKEY_CLASSES_ROOT, ".chm", nullptr, REG_SZ, std::string("chm.file") + '\0');
    }
    ~HelpViewerStandIn() {
        if (m_had)
            SetValue(HKEY_CLASSES_ROOT, kHelpCommandKey, nullptr, REG_SZ, m_saved);
        else
            DeleteValue(HKEY_CLASSES_ROOT, kHelpCommandKey, nullptr);
    }

private:
    std::string m_saved;  // the command as it was
    bool m_had;
};

SCENARIO(about) {
    RemoveSettings();
    // A program folder whose name holds blanks; the help viewer is a stand-in that records its argument.
    const std::string folder = "C:\\Program Files\\Tarwen Test Folder";
    const std::string program = folder + "\\tarwenApp.exe";
    CHECK(PlaceCopy(Program(), program), "program copied into %s", folder.c_str());
    std::string built = Program().substr(0, Program().size() - 13) + "使用帮助.chm";
    CHECK(CopyFileA(built.c_str(), (folder + "\\使用帮助.chm").c_str(), FALSE) != FALSE, "help file built beside the program");
    RemoveFile(kHelpRecord);
    HelpViewerStandIn viewer;

    ChildProcess app;
    HWND hwnd = StartPanel(app, program);
    PostMessageA(GetDlgItem(hwnd, IDC_ABOUT), BM_CLICK, 0, 0);
    HWND about = WaitForDialog(app, hwnd);
    REQUIRE(IsAboutBox(about), "\"关于\" opens the about box");
    Pump(300);
    Shot shot = CaptureWindow(about);
    SaveShot(shot, "panel_about.png");
    RECT client;
    GetClientRect(about, &client);
    COLORREF colour = shot.AtClient(about, client.right - 8, client.bottom / 2);
    CHECK(colour == RGB(222, 222, 222), "the about box is grey (pixel %06lx)", colour);

    PostMessageA(about, WM_KEYDOWN, VK_ESCAPE, 0);
    WaitUntil([] { return Exists(kHelpRecord); }, 8000);
    Pump(300);
    std::string opened = ReadBytes(kHelpRecord);
    std::string expected = folder + "\\使用帮助.chm";
    CHECK(lstrcmpiA(opened.c_str(), expected.c_str()) == 0, "Escape opens %s (got \"%s\")", expected.c_str(), opened.c_str());
    CHECK(IsWindowVisible(about) != 0, "the about box stays open after the help");
    CloseAboutWithOk(about);
    EndWithEscape(app, hwnd);
    RemoveFile(kHelpRecord);
    RemoveTree(folder);
}

}  // namespace
