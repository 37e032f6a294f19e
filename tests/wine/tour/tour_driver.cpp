// The window steps of the tour of an installation, one per run: what a person does with the
// control panel, driven by messages, each saving a screenshot of the whole screen.
// Usage: tour_driver <step> <tarwenApp.exe> <screenshot.png> [ShelfLib.dll]
//   install    start the panel, press "安装引导", answer the box that follows
//   logon      start the panel as the autostart value does ("/h"): it shows, then hides
//   fixups     start the panel after a restore (SignRun "111"): the fix-up dialog runs first
//   uninstall  start the panel, press "卸载引导", confirm, press "完成" when the removal is done
//   shelflib   the panel running hidden; an uninstaller calls UninstallFiles of the library
// Prints one "ok:"/"FAIL:" line per check; exit status 1 when a check failed.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "panel_session.h"
#include "wine_check.h"

using namespace panel_session;

namespace {

const char* g_shot = nullptr;

// Starts the panel and checks that its boot buttons show the installation state.
HWND OpenPanel(App& app, bool installed) {
    HWND panel = StartPanel(app, nullptr, "the panel opens");
    if (panel)
        CheckBootButtons(panel, installed, "before");
    return panel;
}

// Waits until a button of the dialog is usable; whether it became so.
bool WaitEnabled(HWND dialog, int id, DWORD ms) {
    DWORD end = GetTickCount() + ms;
    while (!IsWindowEnabled(GetDlgItem(dialog, id)) && static_cast<LONG>(end - GetTickCount()) > 0)
        Pump(50);
    return IsWindowEnabled(GetDlgItem(dialog, id)) != 0;
}

void StepInstall() {
    App app;
    HWND panel = OpenPanel(app, false);
    if (!panel)
        return;
    Click(panel, 1011);
    Box box = AnswerBox(app, IDOK, 60000, g_shot);
    Check(box.text == "引导安装完成!" && box.caption == "提示", "安装引导 ends with \"%s\" (%s)", box.text.c_str(),
          box.caption.c_str());
    CheckBootButtons(panel, true, "after");
    EndWithEscape(app, panel);
}

// Starts the panel as the autostart value does ("/h"), saves the screen while the window shows and
// checks that it hides and keeps running.
HWND StartAtLogon(App& app) {
    HWND panel = StartPanel(app, "/h", "\"/h\": the window shows first");
    if (!panel)
        return nullptr;
    Pump(200);
    SaveScreen(g_shot);
    Check(WaitHidden(panel, 5000), "\"/h\": the window hides after a moment");
    Check(app.Running(), "\"/h\": the panel keeps running in the notification area");
    return panel;
}

void StepLogon() {
    App app;
    HWND panel = StartAtLogon(app);
    if (!panel)
        return;
    StartCopyThatEnds("a second start");
    Check(IsWindowVisible(panel) != 0, "a second start brings the hidden window back");
    CheckBootButtons(panel, true, "installed");
    EndWithEscape(app, panel);
}

// The fix-up dialog: titled like the main window, with the progress bar 1013 and no install button,
// as the removal dialog; its button "修复完成" (1014) becomes usable when every step has run.
void StepFixups() {
    const int kDone = 1014;
    App app;
    Start(app, nullptr);
    HWND dialog = WaitForProgressDialog(app);
    Check(dialog != nullptr, "the fix-up dialog opens");
    if (!dialog)
        return;
    Check(FindPanels(app.pi.dwProcessId).count == 1, "the main window waits for the fix-ups");
    // The browser repair registers components one by one.
    Check(WaitEnabled(dialog, kDone, 120000), "the fix-ups finish: 修复完成 usable");
    Check(SendDlgItemMessageA(dialog, 1013, PBM_GETPOS, 0, 0) == 10, "the bar is full");
    SaveScreen(g_shot);
    SendDlgItemMessageA(dialog, kDone, BM_CLICK, 0, 0);
    Check(WaitGone(dialog), "修复完成 closes the fix-up dialog");
    HWND panel = WaitForPanel(app);
    Check(panel != nullptr, "then the main window opens");
    if (panel)
        EndWithEscape(app, panel);
}

void StepUninstall() {
    App app;
    HWND panel = OpenPanel(app, true);
    if (!panel)
        return;
    HWND dialog = StartRemoval(app, panel, "卸载引导");
    if (!dialog)
        return;
    Check(WaitEnabled(dialog, IDOK, 10000), "the removal is done: 完成 usable");
    Check(SendDlgItemMessageA(dialog, 1013, PBM_GETPOS, 0, 0) == 10, "the bar is full");
    SaveScreen(g_shot);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    Check(WaitGone(dialog), "完成 closes the removal dialog");
    CheckBootButtons(panel, false, "after");
    EndWithEscape(app, panel);
}

void StepShelfLib(const char* library) {
    App app;
    if (!StartAtLogon(app))
        return;
    HMODULE module = LoadLibraryA(WindowsPath(library).c_str());
    Check(module != nullptr, "the uninstaller loads %s", library);
    if (!module)
        return;
    using UninstallFiles = int(WINAPI*)();
    auto uninstall = reinterpret_cast<UninstallFiles>(reinterpret_cast<void*>(GetProcAddress(module, "UninstallFiles")));
    Check(uninstall != nullptr, "UninstallFiles is exported");
    if (uninstall) {
        int result = uninstall();
        Check(result == 0, "UninstallFiles returns %d", result);
    }
    Check(app.WaitExit(5000), "the running panel is stopped");
    FreeLibrary(module);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::printf("usage: tour_driver install|logon|fixups|uninstall|shelflib <tarwenApp.exe> <shot.png> [ShelfLib.dll]\n");
        return 2;
    }
    std::string step = argv[1];
    g_app = WindowsPath(argv[2]);
    g_shot = argv[3];
    if (step == "install")
        StepInstall();
    else if (step == "logon")
        StepLogon();
    else if (step == "fixups")
        StepFixups();
    else if (step == "uninstall")
        StepUninstall();
    else if (step == "shelflib" && argc > 4)
        StepShelfLib(argv[4]);
    else
        Check(false, "unknown step %s", step.c_str());
    return CheckResult();
}
