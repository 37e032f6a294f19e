// The one include of a Wine driver that runs tarwenApp.exe: the harness, and the program's settings
// files, windows, message boxes and progress dialogs (the removal's and the fix-ups').
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "WindowsFolder.h"
#include "child_process.h"
#include "profile_file.h"
#include "resource.h"
#include "screenshot.h"
#include "test_files.h"
#include "wine_test.h"

inline const char kTitle[] = "Tarwen系统修复";

//--- settings files

inline const char kDriveSettings[] = "c:\\wispdata.dat";
inline std::string WindowsSettings() { return tw::WindowsFolderFile("wispdata.dat"); }

// A settings file of these "key=value" entries, slot 0 counting them.
inline void WriteSettings(const std::string& path, const std::vector<std::string>& entries) {
    WriteBytes(path, ProfileFile(static_cast<int>(entries.size()), entries));
}

inline std::map<std::string, std::string> ReadSettings(const std::string& path) { return ProfileValues(ReadBytes(path)); }

inline void RemoveSettings() {
    RemoveFile(WindowsSettings());
    RemoveFile(kDriveSettings);
}

//--- windows

using WindowSearch = std::pair<DWORD, std::vector<HWND>>;  // a process (any: 0), its windows

inline BOOL CALLBACK AddWindowOf(HWND hwnd, LPARAM search) {
    auto* found = reinterpret_cast<WindowSearch*>(search);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (!found->first || owner == found->first)
        found->second.push_back(hwnd);
    return TRUE;
}

// The process's top-level windows (any process: 0), in Z order.
inline std::vector<HWND> TopLevelWindows(DWORD pid) {
    WindowSearch search = {pid, {}};
    EnumWindows(&AddWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// The first visible top-level window of the process that passes test, once there is one; null
// after ms, or at once for a process that did not start.
inline HWND WaitForWindowOf(DWORD pid, const std::function<bool(HWND)>& test, DWORD ms) {
    HWND found = nullptr;
    if (!pid)
        return found;
    WaitUntil(
        [&] {
            for (HWND hwnd : TopLevelWindows(pid))
                if (IsWindowVisible(hwnd) && test(hwnd))
                    return (found = hwnd) != nullptr;
            return false;
        },
        ms);
    return found;
}

// Titled "Tarwen系统修复": the main window and the progress dialogs.
inline bool IsTitled(HWND hwnd) {
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    return std::strcmp(title, kTitle) == 0;
}

inline int CountTitled(DWORD pid) {
    const std::vector<HWND> windows = TopLevelWindows(pid);
    return static_cast<int>(std::count_if(windows.begin(), windows.end(), IsTitled));
}

inline bool WaitHidden(HWND hwnd, DWORD ms) {
    return WaitUntil([hwnd] { return !IsWindowVisible(hwnd); }, ms);
}

// Of the dialog class: a message box, the folder browser, the panel's own dialogs.
inline bool IsDialogBox(HWND hwnd) {
    char className[16] = {};
    GetClassNameA(hwnd, className, sizeof className);
    return std::strcmp(className, "#32770") == 0;
}

//--- the main window

// The main window of this copy, once it is on screen.
inline HWND WaitForPanel(const ChildProcess& app, DWORD ms = 15000) { return WaitForWindowOf(app.Id(), IsTitled, ms); }

// Starts a copy of program; its main window must show.
inline HWND StartPanel(ChildProcess& app, const std::string& program, const char* tail = "") {
    app.Start(program, tail);
    HWND hwnd = WaitForPanel(app);
    REQUIRE(hwnd != nullptr, "the main window titled %s shows", kTitle);
    return hwnd;
}

// Starts a further copy, which must bring the first copy's window back and end.
inline void StartCopyThatEnds(const std::string& program) {
    ChildProcess copy;
    copy.Start(program);
    CHECK(copy.WaitExit(8000), "a further copy ends by itself");
    Pump(500);
}

// Escape ends the program through the dialog's cancel.
inline void EndWithEscape(const ChildProcess& app, HWND panel) {
    PostMessageA(panel, WM_KEYDOWN, VK_ESCAPE, 0);
    CHECK(app.WaitExit(5000), "Escape ends the program");
}

// Whether the dialog's button id is usable within ms.
inline bool WaitEnabled(HWND dialog, int id, DWORD ms) {
    return WaitUntil([=] { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }, ms);
}

inline void Click(HWND panel, int id) {
    PostMessageA(panel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(panel, id)));
}

// The four boot buttons in the installed or the not-installed state.
inline void CheckBootButtons(HWND panel, bool installed) {
    const char* const state[] = {"disabled", "enabled"};
    CHECK(IsWindowEnabled(GetDlgItem(panel, IDC_INSTALL)) == !installed, "安装引导 %s", state[!installed]);
    CHECK(IsWindowEnabled(GetDlgItem(panel, IDC_UNINSTALL)) == installed, "卸载引导 %s", state[installed]);
    CHECK(IsWindowEnabled(GetDlgItem(panel, IDC_REPAIR)) == installed, "重启进入Tarwen修复 %s", state[installed]);
    CHECK(IsWindowEnabled(GetDlgItem(panel, IDC_SNAPSHOTS)) == installed, "快照还原 %s", state[installed]);
}

//--- message boxes

struct Box {
    std::string text, caption;
};

// Waits for a message box of the program and presses button; empty text when none came. With a
// screenshot name, the screen is saved before the button is pressed.
inline Box AnswerBox(const ChildProcess& app, int button, DWORD ms = 20000, const char* screenshot = nullptr) {
    HWND box = WaitForWindowOf(app.Id(), [](HWND hwnd) { return IsDialogBox(hwnd) && GetDlgItem(hwnd, 0xFFFF); }, ms);
    if (!box)
        return Box();
    char text[512] = {}, caption[128] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    GetWindowTextA(box, caption, sizeof caption);
    if (screenshot) {
        Pump(300);  // drawn
        SaveScreen(screenshot);
    }
    PostMessageA(box, WM_COMMAND, button, 0);
    Pump(300);
    return {text, caption};
}

//--- progress dialogs

// The removal dialog of "卸载引导" and the fix-up dialog: the progress bar without the main
// window's install button.
inline bool IsProgressDialog(HWND hwnd) {
    return IsWindow(hwnd) && GetDlgItem(hwnd, IDC_PROGRESS) && !GetDlgItem(hwnd, IDC_INSTALL);
}

inline HWND WaitForProgressDialog(const ChildProcess& app, DWORD ms = 5000) {
    return WaitForWindowOf(app.Id(), IsProgressDialog, ms);
}

// The dialog goes when its modal run ends, a moment after the command: about two seconds under
// Wine without a window manager (the hide waits). A closed dialog's handle may come back for the
// main window under Wine, so IsWindow alone does not tell.
inline bool WaitProgressDialogGone(HWND dialog) {
    bool gone = WaitUntil([dialog] { return !IsProgressDialog(dialog); }, 6000);
    Pump(200);
    return gone;
}

inline int ProgressPosition(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0));
}

// Confirms the removal and returns its dialog, which must open.
inline HWND StartRemoval(const ChildProcess& app, HWND panel) {
    Click(panel, IDC_UNINSTALL);
    Box box = AnswerBox(app, IDOK);
    CHECK(box.text == "你确定要卸载Tarwen系统修复引导信息吗？" && box.caption == "提示", "confirmation \"%s\"",
          box.text.c_str());
    HWND dialog = WaitForProgressDialog(app);
    REQUIRE(dialog != nullptr, "removal dialog opens");
    return dialog;
}
