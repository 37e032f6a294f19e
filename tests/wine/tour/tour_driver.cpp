// The window steps of the tour of an installation, one per run: what a person does with the
// control panel, driven by messages, each saving a screenshot of the whole screen.
// Usage: tour_driver <step> <tarwenApp.exe> <screenshot.png> [ShelfLib.dll]
//   install    start the panel, press "安装引导", answer the box that follows
//   logon      start the panel as the autostart value does ("/h"): it shows, then hides
//   fixups     start the panel after a restore (SignRun "111"): the fix-up dialog runs first
//   uninstall  start the panel, press "卸载引导", confirm, press "完成" when the removal is done
//   shelflib   the panel running hidden; an uninstaller calls UninstallFiles of the library
#include "panel_session.h"

namespace {

const std::string& Program() { return Operand(0); }
const char* ShotName() { return Operand(1).c_str(); }

// Starts the panel and checks that its boot buttons show the installation state.
HWND OpenPanel(ChildProcess& app, bool installed) {
    HWND panel = StartPanel(app, Program());
    Context context("before");
    CheckBootButtons(panel, installed);
    return panel;
}

SCENARIO(install) {
    ChildProcess app;
    HWND panel = OpenPanel(app, false);
    Click(panel, IDC_INSTALL);
    Box box = AnswerBox(app, IDOK, 60000, ShotName());
    CHECK(box.text == "引导安装完成!" && box.caption == "提示", "安装引导 ends with \"%s\" (%s)", box.text.c_str(),
          box.caption.c_str());
    Context context("after");
    CheckBootButtons(panel, true);
    EndWithEscape(app, panel);
}

// Starts the panel as the autostart value does ("/h"), saves the screen while the window shows and
// checks that it hides and keeps running.
HWND StartAtLogon(ChildProcess& app) {
    Context context("\"/h\"");
    HWND panel = StartPanel(app, Program(), "/h");
    Pump(200);
    SaveScreen(ShotName());
    CHECK(WaitHidden(panel, 5000), "the window hides after a moment");
    CHECK(app.Running(), "the panel keeps running in the notification area");
    return panel;
}

SCENARIO(logon) {
    ChildProcess app;
    HWND panel = StartAtLogon(app);
    StartCopyThatEnds(Program());
    CHECK(IsWindowVisible(panel) != 0, "a second start brings the hidden window back");
    Context context("installed");
    CheckBootButtons(panel, true);
    EndWithEscape(app, panel);
}

// The fix-up dialog: titled like the main window, with the progress bar and no install button,
// as the removal dialog; its button "修复完成" becomes usable when every step has run.
SCENARIO(fixups) {
    ChildProcess app;
    app.Start(Program());
    HWND dialog = WaitForProgressDialog(app);
    REQUIRE(dialog != nullptr, "the fix-up dialog opens");
    CHECK(CountTitled(app.Id()) == 1, "the main window waits for the fix-ups");
    // The browser repair registers components one by one.
    CHECK(WaitEnabled(dialog, IDC_REPAIR, 120000), "the fix-ups finish: 修复完成 usable");
    CHECK(ProgressPosition(dialog) == 10, "the bar is full");
    SaveScreen(ShotName());
    SendDlgItemMessageA(dialog, IDC_REPAIR, BM_CLICK, 0, 0);
    CHECK(WaitProgressDialogGone(dialog), "修复完成 closes the fix-up dialog");
    HWND panel = WaitForPanel(app);
    REQUIRE(panel != nullptr, "then the main window opens");
    EndWithEscape(app, panel);
}

SCENARIO(uninstall) {
    ChildProcess app;
    HWND panel = OpenPanel(app, true);
    HWND dialog = StartRemoval(app, panel);
    CHECK(WaitEnabled(dialog, IDOK, 10000), "the removal is done: 完成 usable");
    CHECK(ProgressPosition(dialog) == 10, "the bar is full");
    SaveScreen(ShotName());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    CHECK(WaitProgressDialogGone(dialog), "完成 closes the removal dialog");
    Context context("after");
    CheckBootButtons(panel, false);
    EndWithEscape(app, panel);
}

SCENARIO(shelflib) {
    ChildProcess app;
    StartAtLogon(app);
    const std::string& library = Operand(2);
    HMODULE module = LoadLibraryA(library.c_str());
    REQUIRE(module != nullptr, "the uninstaller loads %s", library.c_str());
    using UninstallFiles = int(WINAPI*)();
    auto uninstall = reinterpret_cast<UninstallFiles>(reinterpret_cast<void*>(GetProcAddress(module, "UninstallFiles")));
    REQUIRE(uninstall != nullptr, "UninstallFiles is exported");
    int result = uninstall();
    CHECK(result == 0, "UninstallFiles returns %d", result);
    CHECK(app.WaitExit(5000), "the running panel is stopped");
    FreeLibrary(module);
}

}  // namespace
