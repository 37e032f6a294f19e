// Finding and answering the windows of tarwenApp.exe, and its settings files.
#include "panel_session.h"

#include <commctrl.h>

#include <cstring>

#include "WindowsFolder.h"

//--- settings files

std::string WindowsSettings() { return tw::WindowsFolderFile("wispdata.dat"); }

void WriteSettings(const std::string& path, const std::vector<std::string>& entries) {
    WriteBytes(path, ProfileFile(static_cast<int>(entries.size()), entries));
}

std::map<std::string, std::string> ReadSettings(const std::string& path) { return ProfileValues(ReadBytes(path)); }

void RemoveSettings() {
    RemoveFile(WindowsSettings());
    RemoveFile(kDriveSettings);
}

//--- windows

namespace {

struct WindowList {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK AddWindow(HWND hwnd, LPARAM lParam) {
    auto* list = reinterpret_cast<WindowList*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (!list->pid || pid == list->pid)
        list->windows.push_back(hwnd);
    return TRUE;
}

bool IsMessageBox(HWND hwnd) {
    char className[16] = {};
    GetClassNameA(hwnd, className, sizeof className);
    return std::strcmp(className, "#32770") == 0 && GetDlgItem(hwnd, 0xFFFF);
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid) {
    WindowList list = {pid, {}};
    EnumWindows(&AddWindow, reinterpret_cast<LPARAM>(&list));
    return list.windows;
}

HWND WaitForWindowOf(DWORD pid, const std::function<bool(HWND)>& test, DWORD ms) {
    HWND found = nullptr;
    if (!pid)  // a program that did not start has no windows
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

bool IsTitled(HWND hwnd) {
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    return std::strcmp(title, kTitle) == 0;
}

int CountTitled(DWORD pid) {
    int count = 0;
    for (HWND hwnd : TopLevelWindows(pid))
        count += IsTitled(hwnd) ? 1 : 0;
    return count;
}

bool WaitHidden(HWND hwnd, DWORD ms) {
    return WaitUntil([hwnd] { return !IsWindowVisible(hwnd); }, ms);
}

bool WaitGone(HWND dialog) {
    bool gone = WaitUntil([dialog] { return !IsWindow(dialog); }, 6000);
    Pump(200);
    return gone;
}

//--- the main window

HWND WaitForPanel(const ChildProcess& app, DWORD ms) { return WaitForWindowOf(app.Id(), IsTitled, ms); }

HWND StartPanel(ChildProcess& app, const std::string& program, const char* tail) {
    app.Start(program, tail ? tail : "");
    HWND hwnd = WaitForPanel(app);
    CHECK(hwnd != nullptr, "the main window titled %s shows", kTitle);
    return hwnd;
}

void StartCopyThatEnds(const std::string& program) {
    ChildProcess copy;
    copy.Start(program);
    CHECK(copy.WaitExit(8000), "a further copy ends by itself");
    Pump(500);
}

void EndWithEscape(const ChildProcess& app, HWND panel) {
    PostMessageA(panel, WM_KEYDOWN, VK_ESCAPE, 0);
    CHECK(app.WaitExit(5000), "Escape ends the program");
}

void Click(HWND panel, int id) {
    PostMessageA(panel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(panel, id)));
}

void CheckBootButtons(HWND panel, bool installed) {
    const char* enabled = installed ? "disabled" : "enabled";
    const char* disabled = installed ? "enabled" : "disabled";
    CHECK(IsWindowEnabled(GetDlgItem(panel, IDC_INSTALL)) == !installed, "安装引导 %s", enabled);
    CHECK(IsWindowEnabled(GetDlgItem(panel, IDC_UNINSTALL)) == installed, "卸载引导 %s", disabled);
    CHECK(IsWindowEnabled(GetDlgItem(panel, IDC_REPAIR)) == installed, "重启进入Tarwen修复 %s", disabled);
}

//--- message boxes

Box AnswerBox(const ChildProcess& app, int button, DWORD ms, const char* screenshot) {
    HWND found = WaitForWindowOf(app.Id(), IsMessageBox, ms);
    if (!found)
        return Box();
    char text[512] = {}, caption[128] = {};
    GetDlgItemTextA(found, 0xFFFF, text, sizeof text);
    GetWindowTextA(found, caption, sizeof caption);
    if (screenshot) {
        Pump(300);  // drawn
        SaveScreen(screenshot);
    }
    PostMessageA(found, WM_COMMAND, button, 0);
    Pump(300);
    return {text, caption};
}

//--- progress dialogs

bool IsProgressDialog(HWND hwnd) {
    return IsWindow(hwnd) && GetDlgItem(hwnd, IDC_PROGRESS) && !GetDlgItem(hwnd, IDC_INSTALL);
}

HWND WaitForProgressDialog(const ChildProcess& app, DWORD ms) {
    return WaitForWindowOf(app.Id(), IsProgressDialog, ms);
}

bool WaitProgressDialogGone(HWND dialog) {
    return WaitUntil([dialog] { return !IsProgressDialog(dialog); }, 5000);
}

int ProgressPosition(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0));
}

HWND StartRemoval(const ChildProcess& app, HWND panel) {
    Click(panel, IDC_UNINSTALL);
    Box box = AnswerBox(app, IDOK);
    CHECK(box.text == "你确定要卸载Tarwen系统修复引导信息吗？" && box.caption == "提示", "confirmation \"%s\"",
          box.text.c_str());
    HWND dialog = WaitForProgressDialog(app);
    CHECK(dialog != nullptr, "removal dialog opens");
    return dialog;
}
