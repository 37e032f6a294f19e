// Drives the post-restore fix-ups of tarwenApp.exe under Wine: a registry of services, network
// components and autostart values laid out here, SignRun "111", the fix-up dialog before the main window.
// Usage: fixups_driver <tarwenApp.exe> <package kest folder>
#include <windows.h>

#include <commctrl.h>
#include <shlwapi.h>

#include "panel_session.h"
#include "registry_values.h"
#include "wine_check.h"

using namespace panel_session;
using namespace registry_values;

namespace {

const char kKest[] = "c:\\sysh\\kest";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";
const char kNetwork[] = "SYSTEM\\CurrentControlSet\\Control\\Network";
const char kNetworkClass[] = "SYSTEM\\CurrentControlSet\\Control\\Network\\{TwFixClass}";
const char kNetworkBare[] = "SYSTEM\\CurrentControlSet\\Control\\Network\\TwFixBare";

// Lays out one value of the scenario; a failure is a failed check.
void LayOutValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data) {
    if (!SetValue(root, path, name, type, data))
        Check(false, "lay out %s\\%s", path.c_str(), name);
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
    LayOutValue(HKEY_CURRENT_USER, kRunKey, gone.name, gone.type, gone.data);
    LayOutKest(packageKest, withBrowserRepair);
    WriteProfile(WindowsSettings(), {{"SignRun", "111"}, {"IsRepair", "000"}});
    Start(app, nullptr);
    return WaitForProgressDialog(app, 15000);
}

void ScenarioFixups(const std::string& packageKest) {
    RemoveSettings();
    PlaceFixupFiles();
    LayOutServices();
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const RunValue& value : FixupRunValues())
            LayOutValue(root, kRunKey, value.name, value.type, value.data);
    LayOutKest(packageKest, true);
    WriteProfile(WindowsSettings(), {{"SignRun", "111"}, {"IsRepair", "000"}, {"Backup0", "1"}});

    App app;
    Start(app, nullptr);
    HWND dialog = WaitForProgressDialog(app, 15000);
    Check(dialog != nullptr, "SignRun 111: the fix-up dialog appears");
    if (!dialog)
        return;
    Check(FindPanels(app.pi.dwProcessId).count == 1, "the fix-up dialog comes before the main window");
    Check(GetWindow(dialog, GW_OWNER) == nullptr, "the fix-up dialog has no owner");
    Check(!(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU), "no system menu, no close box");
    Check(!IsWindowEnabled(GetDlgItem(dialog, 1014)), "修复完成 starts disabled");
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    Pump(300);
    Check(IsProgressDialog(dialog) && IsWindowVisible(dialog), "WM_CLOSE before the first step does nothing");
    StartCopyThatEnds("second");
    Check(IsProgressDialog(dialog) && IsWindowVisible(dialog), "a second start finds the fix-up dialog and leaves it");

    int lastPos = 0;
    for (DWORD end = GetTickCount() + 20000; IsWindow(dialog) && ProgressPos(dialog) < 5 &&
                                             static_cast<LONG>(end - GetTickCount()) > 0;)
        Pump(50);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    Pump(300);
    Check(IsProgressDialog(dialog) && IsWindowVisible(dialog), "WM_CLOSE while the steps run does nothing");
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
    Check(WaitProgressDialogGone(dialog), "修复完成 closes the dialog");
    CheckMainWindowAndHandshake(app, "after the fix-ups");

    // Without Repairie.bat the sequence goes on to the autostart cleanup; WM_CLOSE now closes.
    const RunValue gone = FixupRunValues()[0];
    App noBatch;
    dialog = StartAgainWithMissingAutostart(noBatch, packageKest, false, gone);
    Check(dialog && WaitForDoneButton(dialog, 20000, &lastPos), "no Repairie.bat: the button is enabled");
    Check(!ValueExists(HKEY_CURRENT_USER, kRunKey, gone.name), "no Repairie.bat: the missing autostart is deleted");
    if (dialog)
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    Check(WaitProgressDialogGone(dialog), "WM_CLOSE closes the finished dialog");
    CheckMainWindowAndHandshake(noBatch, "no Repairie.bat");
    WaitForNetworkLog();

    // Escape before the first step: nothing runs, the handshake still finishes.
    App escaped;
    dialog = StartAgainWithMissingAutostart(escaped, packageKest, true, gone);
    if (dialog)
        PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    Check(dialog && WaitProgressDialogGone(dialog), "Escape ends the fix-up dialog");
    CheckMainWindowAndHandshake(escaped, "Escape");
    Check(ValueExists(HKEY_CURRENT_USER, kRunKey, gone.name), "Escape: the autostart cleanup is skipped");
    Check(GetFileAttributesA("c:\\sysh\\kest\\snetcfg.log") == INVALID_FILE_ATTRIBUTES, "Escape: no network command");

    RemoveFixupLayout();
    RemoveSettings();
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: fixups_driver <tarwenApp.exe> <package kest folder>\n");
        return 2;
    }
    g_app = WindowsPath(argv[1]);
    ScenarioFixups(WindowsPath(argv[2]));
    return CheckResult();
}
