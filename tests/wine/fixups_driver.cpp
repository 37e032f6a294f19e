// Drives the post-restore fix-ups of tarwenApp.exe under Wine: a registry of services, network
// components and autostart values laid out here, SignRun "111", the fix-up dialog before the main window.
// Usage: fixups_driver fixups <tarwenApp.exe> <package kest folder>
#include "panel_session.h"

#include <shlwapi.h>

#include "registry_values.h"

namespace {

const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";
const char kNetworkClass[] = "SYSTEM\\CurrentControlSet\\Control\\Network\\{TwFixClass}";
const char kNetworkBare[] = "SYSTEM\\CurrentControlSet\\Control\\Network\\TwFixBare";
const char kNetworkLog[] = "c:\\sysh\\kest\\snetcfg.log";

const std::string& Program() { return Operand(0); }
const std::string& PackageKest() { return Operand(1); }

// Lays out one value of the scenario; a failure is a failed check.
void LayOutValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data) {
    if (!SetValue(root, path, name, type, data))
        CHECK(false, "lay out %s\\%s", path.c_str(), name);
}

// Text data with its NUL, as the system stores strings.
std::string Sz(const std::string& text) { return std::string(text.c_str(), text.size() + 1); }
// Text data of 255 bytes, text filled up with c, without a NUL.
std::string Filled(const std::string& text, char c) { return text + std::string(255 - text.size(), c); }

// The programs the autostart values and services below name as present.
std::vector<std::string> FixupFiles() {
    const std::string windows = tw::WindowsFolder();
    return {"c:\\tw_fixups\\present.exe", "c:\\tw fixups\\my app.exe", "c:\\Program Files\\TwFix\\app.exe",
            windows + "\\twfixwin.exe", windows + "\\system32\\twfixsys.exe"};
}

struct RunValue {
    const char* name;
    DWORD type;
    std::string data;
    bool stays;
};

std::vector<RunValue> FixupRunValues() {
    const std::string windows = tw::WindowsFolder();
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
        {"TwFixJ_255Gone", REG_SZ, Filled("C:\\tw_fixups\\gone.exe ", 'g'), false},
        {"TwFixK_255Present", REG_SZ, Filled("C:\\tw_fixups\\present.exe ", 'p'), true},
        {"TwFixL_TooLong", REG_SZ, Sz("C:\\tw_fixups\\gone.exe " + std::string(290, 'l')), true},
        {"TwFixM_Dword", REG_DWORD, std::string("\x01\0\0\0", 4), true},
        {"TwFixN_Rundll", REG_SZ, Sz(windows + "\\system32\\rundll32.exe " + windows + "\\system32\\shell32.dll,Control_RunDLL"),
         true},
    };
}

struct Service {
    const char* name;
    DWORD type;
    const char* imagePath;
    const char* componentKey;  // under the network class key; null: named by none, or by TwFixBare
    const char* componentId;
    const char* serviceValue;
};

// Services with present and missing image files, and the network components that name them.
const Service kFixupServices[] = {
    {"TwFixSvc0Lone", REG_SZ, "system32\\drivers\\twfixlone.sys", nullptr, nullptr, nullptr},
    {"TwFixSvc1Bare", REG_SZ, "system32\\drivers\\twfixbare.sys", nullptr, nullptr, nullptr},
    {"TwFixSvc2Case", REG_SZ, "\\SystemRoot\\System32\\drivers\\twfixcase.sys", "0001", "tw_case", "twfixsvc2case"},
    {"TwFixSvc3Quoted", REG_SZ, "\"C:\\tw fixups\\my app.exe\" -service", "0002", "tw_quoted", "TwFixSvc3Quoted"},
    {"TwFixSvc4Expand", REG_EXPAND_SZ, "%ProgramFiles%\\TwFix\\app.exe", "0003", "tw_expand", "TwFixSvc4Expand"},
    {"TwFixSvc5Gone", REG_SZ, "\\??\\C:\\tw_fixups\\gone.sys", "0004", "tw_gone", "TwFixSvc5Gone"},
    {"TwFixSvc6Later", REG_SZ, "%SystemRoot%\\system32\\drivers\\twfixlater.sys", "0005", "tw_later", "TwFixSvc6Later"},
};

void LayOutServices() {
    for (const Service& service : kFixupServices) {
        LayOutValue(HKEY_LOCAL_MACHINE, std::string(kServices) + "\\" + service.name, "ImagePath", service.type,
                    Sz(service.imagePath));
        if (!service.componentKey)
            continue;
        std::string component = std::string(kNetworkClass) + "\\" + service.componentKey;
        LayOutValue(HKEY_LOCAL_MACHINE, component, "ComponentId", REG_SZ, Sz(service.componentId));
        LayOutValue(HKEY_LOCAL_MACHINE, component + "\\Ndi", "Service", REG_SZ, Sz(service.serviceValue));
    }
    // A key that names a service but holds no ComponentId, nor does any key above it.
    LayOutValue(HKEY_LOCAL_MACHINE, std::string(kNetworkBare) + "\\Ndi", "Service", REG_SZ, Sz("TwFixSvc1Bare"));
}

void RemoveFixupLayout() {
    for (const Service& service : kFixupServices)
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kServices) + "\\" + service.name).c_str());
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kNetworkClass);
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kNetworkBare);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const RunValue& value : FixupRunValues())
            DeleteValue(root, kRunKey, value.name);
    for (const std::string& file : FixupFiles())
        RemoveFile(file);
    for (const char* folder : {"c:\\tw_fixups", "c:\\tw fixups", "c:\\Program Files\\TwFix"})
        RemoveDirectoryA(folder);
}

// The package's network tool and, when asked, its browser repair batch in c:\sysh\kest; no logs.
void LayOutKest(bool withBrowserRepair) {
    PlaceCopy(PackageKest() + "\\snetcfg.exe", "c:\\sysh\\kest\\snetcfg.exe");
    if (withBrowserRepair)
        CopyFileA((PackageKest() + "\\Repairie.bat").c_str(), "c:\\sysh\\kest\\Repairie.bat", FALSE);
    else
        RemoveFile("c:\\sysh\\kest\\Repairie.bat");
    RemoveFile(kNetworkLog);
    RemoveFile("c:\\sysh\\kest\\Repairie.log");
}

// After the dialog: the main window follows and the handshake is finished in the settings file.
void CheckMainWindowAndHandshake(ChildProcess& app) {
    HWND main = WaitForPanel(app);
    REQUIRE(main && GetDlgItem(main, IDC_INSTALL), "the main window follows");
    EndWithEscape(app, main);
    auto values = ReadSettings(WindowsSettings());
    CHECK(values["SignRun"] == "000" && values["IsRepair"] == "000", "SignRun %s, IsRepair %s (000 both)",
          values["SignRun"].c_str(), values["IsRepair"].c_str());
    CHECK(values["userpath"].rfind("\\??\\", 0) == 0, "userpath written (%s)", values["userpath"].c_str());
}

// Waits until the network tool has finished writing its log.
std::string WaitForNetworkLog() {
    std::string log;
    WaitUntil([&] {
        log = ReadBytes(kNetworkLog);
        return log.find("removed") != std::string::npos || log.find("no such") != std::string::npos;
    }, 10000);
    return log;
}

// Starts the panel over settings with SignRun "111"; returns the fix-up dialog, which must appear.
HWND StartWithFixups(ChildProcess& app, const std::vector<std::string>& settings) {
    WriteSettings(WindowsSettings(), settings);
    app.Start(Program());
    HWND dialog = WaitForProgressDialog(app, 15000);
    REQUIRE(dialog != nullptr, "SignRun 111: the fix-up dialog appears");
    return dialog;
}

// One missing autostart value in HKCU and SignRun "111"; returns the fix-up dialog.
HWND StartAgainWithMissingAutostart(ChildProcess& app, bool withBrowserRepair, const RunValue& gone) {
    LayOutValue(HKEY_CURRENT_USER, kRunKey, gone.name, gone.type, gone.data);
    LayOutKest(withBrowserRepair);
    return StartWithFixups(app, {"SignRun=111", "IsRepair=000"});
}

SCENARIO(fixups) {
    RemoveSettings();
    for (const std::string& file : FixupFiles())
        WriteBytes(file, "");
    LayOutServices();
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const RunValue& value : FixupRunValues())
            LayOutValue(root, kRunKey, value.name, value.type, value.data);
    LayOutKest(true);
    ChildProcess app;
    HWND dialog = StartWithFixups(app, {"SignRun=111", "IsRepair=000", "Backup0=1"});
    CHECK(CountTitled(app.Id()) == 1, "the fix-up dialog comes before the main window");
    CHECK(GetWindow(dialog, GW_OWNER) == nullptr, "the fix-up dialog has no owner");
    CHECK(!(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU), "no system menu, no close box");
    CHECK(!IsWindowEnabled(GetDlgItem(dialog, IDC_REPAIR)), "修复完成 starts disabled");
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    Pump(300);
    CHECK(IsProgressDialog(dialog) && IsWindowVisible(dialog), "WM_CLOSE before the first step does nothing");
    StartCopyThatEnds(Program());
    CHECK(IsProgressDialog(dialog) && IsWindowVisible(dialog), "a second start finds the fix-up dialog and leaves it");

    WaitUntil([dialog] { return !IsWindow(dialog) || ProgressPosition(dialog) >= 5; }, 20000);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    Pump(300);
    CHECK(IsProgressDialog(dialog) && IsWindowVisible(dialog), "WM_CLOSE while the steps run does nothing");
    bool enabled = WaitEnabled(dialog, IDC_REPAIR, 120000);
    CHECK(enabled, "修复完成 is enabled at the end (progress %d)", ProgressPosition(dialog));
    CHECK(ProgressPosition(dialog) == 10, "progress at 10 at the end (got %d)", ProgressPosition(dialog));
    Pump(300);
    Shot shot = CaptureWindow(dialog);
    SaveShot(shot, "fixup_dialog.png");
    RECT client;
    GetClientRect(dialog, &client);
    COLORREF colour = shot.AtClient(dialog, 3, client.bottom - 3);
    CHECK(colour == RGB(222, 222, 222), "the dialog is grey (pixel %06lx)", colour);

    std::string log = WaitForNetworkLog();
    std::size_t first = log.find("-u ");
    CHECK(first != std::string::npos && log.find("-u ", first + 1) == std::string::npos &&
              log.compare(first, 11, "-u tw_gone\r") == 0,
          "snetcfg asked once, for tw_gone: %s", log.c_str());
    CHECK(!ReadBytes("c:\\sysh\\kest\\Repairie.log").empty(), "Repairie.bat ran");
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const RunValue& value : FixupRunValues())
            CHECK(ValueExists(root, kRunKey, value.name) == value.stays, "%s Run value %s %s",
                  root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU", value.name, value.stays ? "stays" : "is deleted");
    SendDlgItemMessageA(dialog, IDC_REPAIR, BM_CLICK, 0, 0);
    CHECK(WaitProgressDialogGone(dialog), "修复完成 closes the dialog");
    {
        Context context("after the fix-ups");
        CheckMainWindowAndHandshake(app);
    }

    // Without Repairie.bat the sequence goes on to the autostart cleanup; WM_CLOSE now closes.
    const RunValue gone = FixupRunValues()[0];
    {
        Context context("no Repairie.bat");
        ChildProcess noBatch;
        dialog = StartAgainWithMissingAutostart(noBatch, false, gone);
        CHECK(WaitEnabled(dialog, IDC_REPAIR, 20000), "the button is enabled");
        CHECK(!ValueExists(HKEY_CURRENT_USER, kRunKey, gone.name), "the missing autostart is deleted");
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        CHECK(WaitProgressDialogGone(dialog), "WM_CLOSE closes the finished dialog");
        CheckMainWindowAndHandshake(noBatch);
        WaitForNetworkLog();
    }
    {
        // Escape before the first step: nothing runs, the handshake still finishes.
        Context context("Escape before the first step");
        ChildProcess escaped;
        dialog = StartAgainWithMissingAutostart(escaped, true, gone);
        PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        CHECK(WaitProgressDialogGone(dialog), "it ends the fix-up dialog");
        CheckMainWindowAndHandshake(escaped);
        CHECK(ValueExists(HKEY_CURRENT_USER, kRunKey, gone.name), "the autostart cleanup is skipped");
        CHECK(!Exists(kNetworkLog), "no network command");
    }
    RemoveFixupLayout();
    RemoveSettings();
}

}  // namespace
