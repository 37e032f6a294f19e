// Drives tarwenApp.exe under Wine: the main window's controls, single copy, "/h", "/AddDate",
// the SignRun handshake and the installed state. Usage: panel_driver <tarwenApp.exe> <scenario>
#include <windows.h>

#include <commctrl.h>

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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: panel_driver <tarwenApp.exe> window|second|hidden|adddate|signrun|installed\n");
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
    else
        Check(false, "unknown scenario %s", scenario.c_str());
    return CheckResult();
}
