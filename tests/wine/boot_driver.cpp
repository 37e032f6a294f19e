// Drives the boot integration of tarwenApp.exe under Wine: install, boot menu, uninstall, restart,
// the pending driver restore, and the uninstaller library ShelfLib.dll after an installation.
// Usage: boot_driver <tarwenApp.exe> <package folder> install|bootmenu|uninstall|restart|restore
//        boot_driver <tarwenApp.exe> <package folder> library|library_panels|library_errors <ShelfLib.dll>
// A copy of this program named DriverCrate.exe records its command line in c:\drivercrate.log;
// one named twsystem.exe waits to be ended; one named twsysh.exe unpacks nothing; one named
// tarwenApp.exe stands in for a panel that ignores the quit message (see RunPanelStandIn).
#include <windows.h>

#include <aclapi.h>
#include <commctrl.h>
#include <shlobj.h>

#include <filesystem>
#include <set>

#include "BootMenu.h"
#include "Handles.h"
#include "Removal.h"
#include "UninstallFiles.h"
#include "panel_session.h"
#include "registry_values.h"
#include "wine_check.h"

using namespace panel_session;
using namespace registry_values;

namespace {

const char kAppFolder[] = "C:\\Program Files\\Tarwen Test";
const char kDriverLog[] = "c:\\drivercrate.log";
const char kBootIni[] = "c:\\boot.ini";
const char kPackage[] = "c:\\sysh";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "Tarwen系统修复";
const std::string kAutocheckOnly = std::string("autocheck autochk *") + '\0' + '\0';
const std::string kRegistered = std::string("autocheck autochk *") + '\0' + "twrepair r" + '\0' + '\0';
const char kOriginalBootIni[] =
    "[boot loader]\r\ntimeout=30\r\ndefault=multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS\r\n"
    "[operating systems]\r\nmulti(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"Microsoft Windows XP\" /fastdetect\r\n";
const char* const kRepairHives[] = {"system", "software", "sam", "NTUSER.DAT"};
const size_t kRepairSizes[] = {5000, 2048, 700, 3333};

std::string g_builtApp;  // tarwenApp.exe where the build put it
std::string g_package;   // the build's package folder: twsysh.exe and kest\ (Windows path)
std::string g_self;
std::string g_library;   // ShelfLib.dll where the build put it

const char kQuitLog[] = "c:\\twquit.log";

// ------------------------------------------------------------------ stand-ins

void WriteBytes(const std::string& path, const std::string& bytes);

// In the installed panel's folder: a window titled as the panel's that notes the quit
// message in c:\twquit.log and keeps running, so that only termination ends it.
// Elsewhere: no window, it just runs.
int RunPanelStandIn() {
    if (lstrcmpiA(std::filesystem::path(g_self).parent_path().string().c_str(), kAppFolder) == 0) {
        CreateWindowA("STATIC", kTitle, WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        WriteBytes(kQuitLog, "quit");
    }
    Sleep(120000);
    return 0;
}

int RunStandIn(const std::string& name) {
    if (lstrcmpiA(name.c_str(), "tarwenApp.exe") == 0)
        return RunPanelStandIn();
    if (lstrcmpiA(name.c_str(), "DriverCrate.exe") == 0) {
        const char* tail = GetCommandLineA();
        tail = std::strchr(tail + 1, tail[0] == '"' ? '"' : ' ');
        std::string arguments = tail ? tail + 1 : "";
        if (arguments.find("/backup") != std::string::npos)
            Sleep(700);  // the installer must wait for this
        if (FILE* log = std::fopen(kDriverLog, "ab")) {
            std::fprintf(log, "%s\n", arguments.c_str() + arguments.find_first_not_of(' '));
            std::fclose(log);
        }
        return 0;
    }
    if (lstrcmpiA(name.c_str(), "twsystem.exe") == 0)
        Sleep(120000);
    return 0;  // twsysh.exe: unpacks nothing
}

// ------------------------------------------------------------------ files and registry

std::string Windows() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return folder;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr, "write %s", path.c_str());
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemovePath(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string Pattern(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 7 + (i >> 8));
    return bytes;
}

std::string Slot(const std::string& file, int slot) {
    if (file.size() < static_cast<size_t>(slot + 1) * 100)
        return "";
    return std::string(file.c_str() + slot * 100, strnlen(file.c_str() + slot * 100, 100));
}

std::string BootExecute() {
    std::string value;
    ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, "BootExecute", &value);
    return value;
}

// Lines of boot.ini whose key (before "=") equals key, without regard to case.
int CountKey(const std::string& ini, const char* key) {
    int count = 0;
    size_t length = std::strlen(key);
    for (size_t at = 0; at < ini.size();) {
        size_t end = ini.find('\n', at);
        std::string line = ini.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.size() > length && line[length] == '=' && lstrcmpiA(line.substr(0, length).c_str(), key) == 0)
            ++count;
        at = end == std::string::npos ? ini.size() : end + 1;
    }
    return count;
}

// ------------------------------------------------------------------ install

// A clean machine: boot.ini with one system and time-out 30, the \repair hives,
// BootExecute with autocheck alone, the panel with the package's unpacker and
// the driver tool stand-in in a folder with a blank.
void LayOutCleanMachine() {
    RemoveSettings();
    RemovePath(kPackage);
    RemovePath(Windows() + "\\twsafe");
    for (const std::string& path : {std::string("c:\\WRLDR"), std::string(kBootIniCopyPath), std::string(kDriverLog),
                                    Windows() + "\\system32\\twrepair.exe"}) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    WriteBytes(kBootIni, kOriginalBootIni);
    for (size_t i = 0; i < 4; ++i)
        WriteBytes(Windows() + "\\repair\\" + kRepairHives[i], Pattern(kRepairSizes[i], static_cast<int>(i) * 31));
    SetValue(HKEY_LOCAL_MACHINE, kSessionManager, "BootExecute", REG_MULTI_SZ, kAutocheckOnly);
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
    RemovePath(kAppFolder);
    std::filesystem::create_directories(kAppFolder);
    CopyFileA(g_builtApp.c_str(), (std::string(kAppFolder) + "\\tarwenApp.exe").c_str(), FALSE);
    CopyFileA((g_package + "\\twsysh.exe").c_str(), (std::string(kAppFolder) + "\\twsysh.exe").c_str(), FALSE);
    CopyFileA(g_self.c_str(), (std::string(kAppFolder) + "\\DriverCrate.exe").c_str(), FALSE);
}

// Starts the installed panel, clicks "安装引导" and answers the box that follows.
Box Install(const char* why, DWORD boxWait = 60000) {
    App app;
    HWND panel = StartPanel(app, nullptr, std::string(why) + ": panel opens");
    if (!panel)
        return Box();
    Click(panel, 1011);
    Box box = AnswerBox(app, IDOK, boxWait);
    if (!box.text.empty())
        CheckBootButtons(panel, box.text == "引导安装完成!", why);
    EndWithEscape(app, panel);
    return box;
}

void CheckFirstInstallation() {
    const std::string windows = Windows();
    const std::string kest = "c:\\sysh\\kest";
    Check(BootExecute() == kRegistered, "BootExecute: twrepair r after the autocheck entry");
    std::string ini = ReadBytes(kBootIni);
    Check(ini.find("timeout=10") != std::string::npos && ini.find("timeout=30") == std::string::npos, "boot.ini: time-out 10");
    const std::string entries = "c:\\wrldr=进入Tarwen系统修复\r\nc:\\sysh\\kest\\BOOTSECT.cdr=从光盘启动(先插入系统安装光盘)\r\n";
    Check(ini.size() >= entries.size() && ini.compare(ini.size() - entries.size(), entries.size(), entries) == 0,
          "boot.ini: the two entries end the systems section:\n%s", ini.c_str());
    DWORD attributes = GetFileAttributesA(kBootIni);
    Check((attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY)) == (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY) &&
              !(attributes & FILE_ATTRIBUTE_SYSTEM),
          "boot.ini hidden and read-only (attributes %lx)", attributes);
    Check(ReadBytes(kBootIniCopyPath) == kOriginalBootIni, "boot.ini kept as it was beside it");
    Check(ReadBytes("c:\\WRLDR") == ReadBytes(kest + "\\WRLDR") && !ReadBytes("c:\\WRLDR").empty(), "c:\\WRLDR is the loader");
    Check(ReadBytes(windows + "\\system32\\twrepair.exe") == ReadBytes(kest + "\\twrepair.exe"), "system32\\twrepair.exe deployed");
    auto system = ReadProfile(WindowsSettings());
    auto drive = ReadProfile(kDriveSettings);
    Check(system["Backup0"] == "2", "Backup0 = 2 (got %s)", system["Backup0"].c_str());
    for (auto* values : {&system, &drive}) {
        Check((*values)["syspath"] == windows, "settings: syspath %s", (*values)["syspath"].c_str());
        Check((*values)["userpath"].rfind("\\??\\C:\\", 0) == 0, "settings: userpath %s", (*values)["userpath"].c_str());
    }
    Check((GetFileAttributesA(kDriveSettings) & FILE_ATTRIBUTE_HIDDEN) != 0, "c:\\wispdata.dat hidden");
    std::string run;
    Check(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &run) && run == std::string(kAppFolder) + "\\tarwenApp.exe /h" + '\0',
          "Run value %s", run.c_str());
    std::string expected;
    for (size_t i = 0; i < 4; ++i) {
        std::string hive = ReadBytes(windows + "\\repair\\" + kRepairHives[i]);
        std::string header(256, '\0');
        header.replace(0, std::to_string(hive.size()).size(), std::to_string(hive.size()));
        expected += header + hive;
    }
    Check(ReadBytes(windows + "\\twsafe\\11111111.xff") == expected, "11111111.xff holds the four \\repair hives as sections");
    std::string index = ReadBytes(windows + "\\twsafe\\bkinfo.dat");
    Check(index.size() == 3100 && Slot(index, 0) == "IndexNum=1" && Slot(index, 1) == "1111-11-11\t0\t1",
          "index: the installation line alone (%s / %s)", Slot(index, 0).c_str(), Slot(index, 1).c_str());
    Check(ReadBytes(kDriverLog) == "/backup\n", "driver tool ran with /backup (log: %s)", ReadBytes(kDriverLog).c_str());
}

// The installed boot-time program takes the day's snapshot above the installation line.
void BootOnce() {
    char desktop[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOP, FALSE);
    std::string profile = std::filesystem::path(desktop).parent_path().string();
    std::string userHive = profile + "\\NTUSER.DAT";
    bool ownHive = !Exists(userHive);
    if (ownHive)
        WriteBytes(userHive, Pattern(1500, 9));
    const std::string config = Windows() + "\\system32\\config\\";
    bool ownConfig = !Exists(config);
    if (ownConfig) {
        for (const char* hive : {"system", "software", "Sam"})
            WriteBytes(config + hive, Pattern(2000, hive[1]));
    }
    std::string program = Windows() + "\\system32\\twrepair.exe";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(program.begin(), program.end());
    line.push_back('\0');
    bool started = CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    Check(started, "installed twrepair.exe starts (error %lu)", GetLastError());
    if (started) {
        WaitForSingleObject(pi.hProcess, 60000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    SYSTEMTIME now;
    GetSystemTime(&now);
    char date[32], file[64];
    std::snprintf(date, sizeof date, "%d-%d-%d\t0\t1", now.wYear, now.wMonth, now.wDay);
    std::snprintf(file, sizeof file, "\\twsafe\\%d%02d%02d.xff", now.wYear, now.wMonth, now.wDay);
    std::string index = ReadBytes(Windows() + "\\twsafe\\bkinfo.dat");
    Check(Slot(index, 0) == "IndexNum=2" && Slot(index, 1) == date && Slot(index, 2) == "1111-11-11\t0\t1",
          "boot: the day's line in slot 1, the installation line in slot 2 (%s / %s / %s)", Slot(index, 0).c_str(),
          Slot(index, 1).c_str(), Slot(index, 2).c_str());
    Check(Exists(Windows() + file), "boot: the day's snapshot %s", file);
    if (ownHive)
        DeleteFileA(userHive.c_str());
    if (ownConfig)
        RemovePath(config);
}

void SetBackup0(const char* value) {
    WriteProfile(WindowsSettings(), {{"Backup0", value}, {"Marker", "kept"}, {"IsRepair", "000"}});
}

void ScenarioInstall() {
    LayOutCleanMachine();
    Box box = Install("first installation");
    Check(box.text == "引导安装完成!" && box.caption == "提示", "first installation: \"%s\" (%s)", box.text.c_str(), box.caption.c_str());
    CheckFirstInstallation();
    BootOnce();

    // Again over an earlier installation: settings kept, one line per key, the index starts over.
    SetBackup0("1");
    box = Install("second installation");
    Check(box.text == "引导安装完成!", "second installation: \"%s\"", box.text.c_str());
    std::string ini = ReadBytes(kBootIni);
    Check(CountKey(ini, "c:\\wrldr") == 1 && CountKey(ini, "c:\\sysh\\kest\\BOOTSECT.cdr") == 1 && CountKey(ini, "timeout") == 1,
          "second installation: one line per key");
    auto settings = ReadProfile(WindowsSettings());
    Check(settings["Marker"] == "kept" && settings["Backup0"] == "2", "second installation: settings kept, Backup0 2");
    Check(Slot(ReadBytes(Windows() + "\\twsafe\\bkinfo.dat"), 0) == "IndexNum=1", "second installation: the index starts over");

    // Seeding fails without a user hive copy: said so, no backup, state unchanged, no partial snapshot.
    SetBackup0("1");
    DeleteFileA(kDriverLog);
    DeleteFileA((Windows() + "\\repair\\NTUSER.DAT").c_str());
    box = Install("seeding fails");
    Check(box.text.find("引导安装未完成") == 0 && box.text.find("11111111.xff") != std::string::npos && box.caption == "错误提示",
          "seeding fails: \"%s\"", box.text.c_str());
    Check(ReadProfile(WindowsSettings())["Backup0"] == "1", "seeding fails: Backup0 stays 1");
    Check(!Exists(kDriverLog), "seeding fails: the driver tool does not run");
    Check(!Exists(Windows() + "\\twsafe\\11111111.xff"), "seeding fails: no partial snapshot");

    // BootExecute unreadable: the registry message alone, nothing touched.
    LayOutCleanMachine();
    DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, "BootExecute");
    box = Install("BootExecute missing");
    Check(box.text == "不能读写注册表，可能你在杀毒软件中禁止本程序读写注册表" && box.caption == "错误提示",
          "BootExecute missing: \"%s\" (%s)", box.text.c_str(), box.caption.c_str());
    Check(!Exists(kPackage) && ReadBytes(kBootIni) == kOriginalBootIni && !Exists(kDriveSettings),
          "BootExecute missing: no file touched");

    // No unpacker: silence, only the BootExecute entry.
    LayOutCleanMachine();
    DeleteFileA((std::string(kAppFolder) + "\\twsysh.exe").c_str());
    box = Install("twsysh.exe missing", 4000);
    Check(box.text.empty(), "twsysh.exe missing: no message (got \"%s\")", box.text.c_str());
    Check(BootExecute() == kRegistered && ReadBytes(kBootIni) == kOriginalBootIni && !Exists(kDriveSettings),
          "twsysh.exe missing: only the BootExecute entry");

    // An unpacker that leaves nothing: boot.ini is not touched and the failure is named.
    LayOutCleanMachine();
    CopyFileA(g_self.c_str(), (std::string(kAppFolder) + "\\twsysh.exe").c_str(), FALSE);
    box = Install("empty package");
    Check(box.text.find("c:\\sysh\\kest\\WRLDR") != std::string::npos && box.caption == "错误提示",
          "empty package: \"%s\"", box.text.c_str());
    Check(ReadBytes(kBootIni) == kOriginalBootIni && !Exists("c:\\WRLDR"), "empty package: boot.ini untouched");
}

// Everything the scenarios lay out, removed again: the prefix is shared with other tests.
void CleanUp() {
    LayOutCleanMachine();
    RemovePath(kAppFolder);
    RemovePath(Windows() + "\\repair");
    for (const char* path : {kBootIni, kBootIniCopyPath, kDriverLog}) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
    RemoveSettings();
    DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, "BootExecute");
}

// ------------------------------------------------------------------ boot menu and tree removal

void ScenarioBootMenu() {
    std::string original = kOriginalBootIni;
    std::string timeout10 = original;
    timeout10.replace(timeout10.find("timeout=30"), 10, "timeout=10");
    const DWORD hiddenReadOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;

    WriteBytes(kBootIni, original);
    SetFileAttributesA(kBootIni, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    Check(AddBootMenuEntries(), "entries added to a hidden, system, read-only boot.ini");
    Check(RemoveBootMenuEntries(), "entries removed");
    Check(ReadBytes(kBootIni) == timeout10, "after removal boot.ini is as before but for the time-out:\n%s",
          ReadBytes(kBootIni).c_str());
    Check((GetFileAttributesA(kBootIni) & (hiddenReadOnly | FILE_ATTRIBUTE_SYSTEM)) == hiddenReadOnly,
          "boot.ini hidden and read-only, not system (%lx)", GetFileAttributesA(kBootIni));

    // A hand-written entry with the key in capitals and a quoted description is the same key.
    WriteBytes(kBootIni, original + "C:\\WRLDR=\"Old repair\"\r\n");
    Check(AddBootMenuEntries(), "entries added over a hand-written one");
    std::string ini = ReadBytes(kBootIni);
    Check(CountKey(ini, "c:\\wrldr") == 1 && ini.find("Old repair") == std::string::npos &&
              ini.find("=进入Tarwen系统修复") != std::string::npos,
          "the hand-written entry is replaced:\n%s", ini.c_str());
    Check(RemoveBootMenuEntries(), "entries removed again");
    ini = ReadBytes(kBootIni);
    Check(CountKey(ini, "c:\\wrldr") == 0 && CountKey(ini, "c:\\sysh\\kest\\BOOTSECT.cdr") == 0 && ini == timeout10,
          "the hand-written entry is removed:\n%s", ini.c_str());
    Check(ReadBytes(kBootIniCopyPath).find("Old repair") == std::string::npos, "the copy beside it is the state before the edit");

    // Tree removal: read-only and hidden entries go, a link goes without what it points to.
    const std::string tree = "c:\\twtree", outside = "c:\\twkeep";
    RemovePath(tree);
    WriteBytes(tree + "\\a\\b\\deep.txt", "deep");
    WriteBytes(tree + "\\top.txt", "top");
    WriteBytes(outside + "\\keep.txt", "keep");
    SetFileAttributesA((tree + "\\a\\b\\deep.txt").c_str(), hiddenReadOnly);
    SetFileAttributesA((tree + "\\a").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    SetFileAttributesA((tree + "\\top.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    using CreateLink = BOOLEAN(WINAPI*)(const char*, const char*, DWORD);
    auto createLink = reinterpret_cast<CreateLink>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
    bool linked = createLink && createLink((tree + "\\link").c_str(), outside.c_str(), 1);
    std::printf("note: directory link %s\n", linked ? "made" : "not available here");
    Check(DeleteTree(tree.c_str()) == ERROR_SUCCESS && !Exists(tree), "the tree is gone, 0");
    Check(DeleteTree(tree.c_str()) == ERROR_SUCCESS, "a tree that is not there: 0");
    Check(ReadBytes(outside + "\\keep.txt") == "keep", "what a link pointed to stays");
    SetCurrentDirectoryA("c:\\");
    Check(DeleteTree("twkeep") == ERROR_INVALID_NAME && DeleteTree("") == ERROR_INVALID_NAME, "refused paths");
    Check(Exists(outside + "\\keep.txt"), "a relative or empty path removes nothing");
    RemovePath(outside);
    CleanUp();
}

// ------------------------------------------------------------------ uninstall

struct Process {
    PROCESS_INFORMATION pi = {};
    bool Running() const { return pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
    void Start(const std::string& path) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        CopyFileA(g_self.c_str(), path.c_str(), FALSE);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::vector<char> line(path.begin(), path.end());
        line.push_back('\0');
        Check(CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0,
              "start %s", path.c_str());
    }
    ~Process() {
        if (Running())
            TerminateProcess(pi.hProcess, 1);
        if (pi.hProcess) {
            WaitForSingleObject(pi.hProcess, 5000);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

void ScenarioUninstall() {
    LayOutCleanMachine();
    Check(Install("installation to remove").text == "引导安装完成!", "installed");
    const std::string windows = Windows();
    WriteBytes("c:\\sysh\\kest\\deep\\er\\locked.txt", "x");
    SetFileAttributesA("c:\\sysh\\kest\\deep\\er\\locked.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    WriteBytes(windows + "\\twsafe\\2020101.xff", "old");
    SetFileAttributesA((windows + "\\twsafe\\2020101.xff").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    std::string settingsBefore = ReadBytes(WindowsSettings());

    App app;
    HWND panel = StartPanel(app, nullptr, "uninstall: panel opens");
    if (!panel)
        return;
    Click(panel, 1009);
    Box box = AnswerBox(app, IDCANCEL);
    Check(box.text == "你确定要卸载Tarwen系统修复引导信息吗？", "cancel: confirmation \"%s\"", box.text.c_str());
    Check(Exists("c:\\sysh\\kest\\WRLDR") && ReadBytes(WindowsSettings()) == settingsBefore, "cancel: nothing changes");
    CheckBootButtons(panel, true, "cancel");

    HWND dialog = StartRemoval(app, panel, "closed at once");
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    Check(WaitGone(dialog), "closed at once: the dialog is gone");
    Check(Exists("c:\\sysh\\kest\\WRLDR") && ReadBytes(WindowsSettings()) == settingsBefore,
          "closed at once: nothing removed, Backup0 stays");
    CheckBootButtons(panel, true, "closed at once");

    Process first, second, elsewhere, otherCase;
    first.Start("c:\\sysh\\kest\\twsystem.exe");
    second.Start("c:\\sysh\\kest\\tools\\twsystem.exe");
    elsewhere.Start("c:\\twother\\twsystem.exe");
    otherCase.Start("c:\\sysh\\kest\\other\\TwSystem.exe");
    Pump(1000);

    dialog = StartRemoval(app, panel, "removal");
    if (!dialog)
        return;
    DWORD opened = GetTickCount();
    Check(!IsWindowEnabled(GetDlgItem(dialog, IDOK)), "removal: 完成 disabled at first");
    Pump(2200);
    SaveShot(CaptureWindow(dialog), "uninstall_progress.png");
    LRESULT position = SendDlgItemMessageA(dialog, 1013, PBM_GETPOS, 0, 0);
    Check(position >= 1 && position < 10, "removal: the bar moves after the work (position %ld)", static_cast<long>(position));
    while (!IsWindowEnabled(GetDlgItem(dialog, IDOK)) && GetTickCount() - opened < 10000)
        Pump(50);
    DWORD enabledAfter = GetTickCount() - opened;
    Check(enabledAfter >= 3800 && enabledAfter <= 6000, "removal: 完成 usable after %lu ms (about 4300)", enabledAfter);
    Check(SendDlgItemMessageA(dialog, 1013, PBM_GETPOS, 0, 0) == 10, "removal: the bar is full");
    SaveShot(CaptureWindow(dialog), "uninstall_done.png");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    Check(WaitGone(dialog), "removal: 完成 closes the dialog");
    CheckBootButtons(panel, false, "removal");
    EndWithEscape(app, panel);

    // What stays of the package is the images of the processes that keep running.
    Check(!Exists("c:\\sysh\\kest\\WRLDR") && !Exists("c:\\sysh\\kest\\data") && !Exists("c:\\sysh\\kest\\deep"),
          "removal: the package's files are gone, read-only and hidden ones too");
    Check(!Exists(first.Running() ? "c:\\sysh\\kest\\tools\\twsystem.exe" : "c:\\sysh\\kest\\twsystem.exe"),
          "removal: the ended twsystem.exe is deleted as well");
    Check(!Exists(windows + "\\twsafe"), "removal: the snapshot store is gone");
    Check(!Exists(windows + "\\system32\\twrepair.exe"), "removal: system32\\twrepair.exe is gone");
    std::string run;
    Check(!ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &run), "removal: the Run value is gone");
    std::string ini = ReadBytes(kBootIni);
    Check(CountKey(ini, "c:\\wrldr") == 0 && CountKey(ini, "c:\\sysh\\kest\\BOOTSECT.cdr") == 0 &&
              ini.find("timeout=10") != std::string::npos,
          "removal: the entries are gone, the time-out stays 10");
    Check(Exists("c:\\WRLDR") && BootExecute() == kRegistered && Exists(kDriveSettings), "removal: c:\\WRLDR, BootExecute and c:\\wispdata.dat stay");
    auto settings = ReadProfile(WindowsSettings());
    Check(settings["Backup0"] == "1" && !settings["syspath"].empty(), "removal: Backup0 1, the other keys stay");
    Check(first.Running() != second.Running(), "removal: one of the package's two twsystem.exe ends");
    Check(elsewhere.Running(), "removal: a twsystem.exe outside the package keeps running");
    Check(otherCase.Running(), "removal: TwSystem.exe keeps running");
    CleanUp();
    RemovePath("c:\\twother");
}

// ------------------------------------------------------------------ restart and pending driver restore

void ScenarioRestart() {
    LayOutCleanMachine();
    SetBackup0("2");
    const std::string autostart = std::string(kAppFolder) + "\\tarwenApp.exe /h";
    SetValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, REG_SZ, autostart + '\0');
    App app;
    HWND panel = StartPanel(app, nullptr, "restart: panel opens");
    if (!panel)
        return;
    Click(panel, 1014);
    Box box = AnswerBox(app, IDCANCEL);
    Check(box.text == "按确定后，电脑将重启，请从系统启动菜单中选择进入Tarwen系统修复！" && box.caption == "提示",
          "restart: question \"%s\" (%s)", box.text.c_str(), box.caption.c_str());
    Pump(1000);
    Check(app.Running() && IsWindowVisible(panel), "restart cancelled: the panel stays");
    Click(panel, 1014);
    AnswerBox(app, IDOK);
    Check(app.WaitExit(20000), "restart confirmed: the panel ends");
    // Wine ends the prefix's session and then runs its Run keys: the autostart brings the panel back.
    HWND again = nullptr;
    for (DWORD end = GetTickCount() + 20000; !again && static_cast<LONG>(end - GetTickCount()) > 0; Pump(200))
        again = FindPanels(0).hwnd;
    Check(again != nullptr, "restart confirmed: the autostart value starts the panel again");
    if (again) {
        DWORD pid = 0;
        GetWindowThreadProcessId(again, &pid);
        PostMessageA(again, WM_KEYDOWN, VK_ESCAPE, 0);
        tw::UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
        Check(process && WaitForSingleObject(process.Get(), 10000) == WAIT_OBJECT_0, "the restarted panel ends with Escape");
    }
    CleanUp();
}

void ScenarioRestore() {
    struct Case {
        const char* isRepair;
        bool restores;
    };
    for (const Case& c : {Case{"333", true}, Case{"111", false}, Case{"000", false}}) {
        LayOutCleanMachine();
        WriteProfile(WindowsSettings(), {{"Backup0", "2"}, {"IsRepair", c.isRepair}, {"userpath", "old"}});
        std::string before = ReadBytes(WindowsSettings());
        App app;
        HWND panel = StartPanel(app, nullptr, std::string("IsRepair ") + c.isRepair + ": panel opens");
        if (!panel)
            continue;
        Pump(3000);
        EndWithEscape(app, panel);
        auto settings = ReadProfile(WindowsSettings());
        std::string run;
        bool hasRun = ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &run);
        if (c.restores) {
            Check(ReadBytes(kDriverLog) == "/restore\n", "IsRepair 333: the driver tool restores (log %s)", ReadBytes(kDriverLog).c_str());
            Check(settings["IsRepair"] == "000" && settings["userpath"].rfind("\\??\\C:\\", 0) == 0,
                  "IsRepair 333: IsRepair 000, userpath %s", settings["userpath"].c_str());
            Check(BootExecute() == kRegistered && hasRun, "IsRepair 333: BootExecute entry and Run value exist again");
        } else {
            Check(!Exists(kDriverLog) && ReadBytes(WindowsSettings()) == before && BootExecute() == kAutocheckOnly && !hasRun,
                  "IsRepair %s: nothing happens", c.isRepair);
        }
    }
    CleanUp();
}

// ------------------------------------------------------------------ the uninstaller library

// Loads the library afresh and calls its export by name, as the product's uninstaller does.
LONG CallUninstallFiles() {
    HMODULE library = LoadLibraryA(g_library.c_str());
    Check(library != nullptr, "ShelfLib.dll loads (error %lu)", GetLastError());
    if (!library)
        return -1;
    FARPROC byName = GetProcAddress(library, "UninstallFiles");
    Check(byName && byName == GetProcAddress(library, MAKEINTRESOURCEA(1)), "UninstallFiles is export 1");
    LONG result = byName ? reinterpret_cast<decltype(&UninstallFiles)>(reinterpret_cast<void*>(byName))() : -1;
    FreeLibrary(library);
    return result;
}

const std::string kRunSubkey = std::string(kRunKey) + "\\" + kRunValue;

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    bool exists = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    tw::UniqueKey owned(key);
    return exists;
}

void InstallForLibrary() {
    LayOutCleanMachine();
    Check(Install("installation to remove").text == "引导安装完成!", "installed by the panel");
}

void ScenarioLibrary() {
    InstallForLibrary();
    const std::string windows = Windows();
    WriteBytes("c:\\sysh\\kest\\deep\\er\\locked.txt", "x");
    SetFileAttributesA("c:\\sysh\\kest\\deep\\er\\locked.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    HKEY subkey = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunSubkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &subkey, nullptr);
    tw::UniqueKey ownedSubkey(subkey);
    ownedSubkey.Reset();
    const std::string settings = ReadBytes(WindowsSettings()), driveSettings = ReadBytes(kDriveSettings);

    LONG result = CallUninstallFiles();
    Check(result == 0, "first call returns 0 (got %ld)", result);
    Check(!Exists("c:\\sysh\\kest") && !Exists(windows + "\\twsafe") && !Exists(windows + "\\system32\\twrepair.exe"),
          "the package, the snapshot store and system32\\twrepair.exe are gone");
    std::string run;
    Check(!ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &run) && !KeyExists(kRunSubkey), "the Run value and the subkey of its name are gone");
    std::string ini = ReadBytes(kBootIni);
    Check(CountKey(ini, "c:\\wrldr") == 0 && CountKey(ini, "c:\\sysh\\kest\\BOOTSECT.cdr") == 0 &&
              ini.find("timeout=10") != std::string::npos,
          "boot.ini: the entries are gone, the time-out stays 10:\n%s", ini.c_str());
    Check((GetFileAttributesA(kBootIni) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY)) ==
              (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
          "boot.ini hidden and read-only");
    Check(Exists("c:\\WRLDR") && BootExecute() == kRegistered, "c:\\WRLDR and the BootExecute entry stay");
    Check(ReadBytes(WindowsSettings()) == settings && ReadBytes(kDriveSettings) == driveSettings,
          "both settings files are untouched (Backup0 stays 2)");
    result = CallUninstallFiles();
    Check(result == 0, "a second call finds nothing and returns 0 (got %ld)", result);
    CleanUp();
}

void ScenarioLibraryPanels() {
    InstallForLibrary();
    const std::string autostart = std::string(kAppFolder) + "\\tarwenApp.exe /h";

    App hidden;
    Start(hidden, "/h");
    HWND window = WaitForPanel(hidden);
    Check(window && WaitHidden(window, 5000), "a panel started with /h hides in the notification area");
    LONG result = CallUninstallFiles();
    Check(result == 0, "hidden panel: the call returns 0 (got %ld)", result);
    Check(hidden.WaitExit(3000) && !IsWindow(window), "hidden panel: it has ended");

    // Under another file name only the quit message can reach it.
    const std::string renamed = "c:\\twother\\TarwenRepair.exe";
    std::filesystem::create_directories("c:\\twother");
    CopyFileA(g_builtApp.c_str(), renamed.c_str(), FALSE);
    g_app = renamed;
    App other;
    Check(StartPanel(other, nullptr, "renamed panel opens") != nullptr, "renamed panel shows its window");
    g_app = std::string(kAppFolder) + "\\tarwenApp.exe";
    result = CallUninstallFiles();
    Check(result == 0, "renamed panel: the call returns 0 (got %ld)", result);
    Check(other.WaitExit(3000), "renamed panel: the quit message ends it");

    // A panel that ignores the quit message is terminated after it, by the autostart value's
    // image; a program of the same file name elsewhere keeps running.
    SetValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, REG_SZ, autostart + '\0');
    DeleteFileA(kQuitLog);
    Process stubborn, elsewhere;
    stubborn.Start(std::string(kAppFolder) + "\\tarwenApp.exe");
    elsewhere.Start("c:\\twother\\tarwenApp.exe");
    Pump(1000);
    DWORD started = GetTickCount();
    result = CallUninstallFiles();
    DWORD took = GetTickCount() - started;
    Check(result == 0, "stand-ins: the call returns 0 (got %ld)", result);
    Check(ReadBytes(kQuitLog) == "quit", "stand-ins: the quit message came first");
    Pump(200);
    Check(!stubborn.Running() && took >= 900, "stand-ins: terminated after about a second's wait (%lu ms)", took);
    Check(elsewhere.Running(), "stand-ins: tarwenApp.exe of another folder keeps running");
    DeleteFileA(kQuitLog);
    CleanUp();
    RemovePath("c:\\twother");
}

// Adds (deny) or takes back (restore) an entry that denies everyone KEY_SET_VALUE on the Run key.
class RunKeyDenial {
public:
    RunKeyDenial() {
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, READ_CONTROL | WRITE_DAC, &key);
        m_key.Reset(key);
        PACL dacl = nullptr;
        if (!m_key || GetSecurityInfo(m_key.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                      nullptr, &m_original) != ERROR_SUCCESS)
            return;
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        EXPLICIT_ACCESSA deny = {};
        deny.grfAccessPermissions = KEY_SET_VALUE;
        deny.grfAccessMode = DENY_ACCESS;
        deny.grfInheritance = NO_INHERITANCE;
        deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        deny.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        deny.Trustee.ptstrName = static_cast<LPSTR>(everyone);
        PACL denied = nullptr;
        m_applied = SetEntriesInAclA(1, &deny, dacl, &denied) == ERROR_SUCCESS &&
                    SetSecurityInfo(m_key.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, denied,
                                    nullptr) == ERROR_SUCCESS;
        m_originalDacl = dacl;
        LocalFree(denied);
        FreeSid(everyone);
    }
    ~RunKeyDenial() {
        if (m_applied)
            SetSecurityInfo(m_key.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, m_originalDacl, nullptr);
        LocalFree(m_original);
    }
    RunKeyDenial(const RunKeyDenial&) = delete;
    RunKeyDenial& operator=(const RunKeyDenial&) = delete;
    bool Applied() const { return m_applied; }

private:
    tw::UniqueKey m_key;
    PSECURITY_DESCRIPTOR m_original = nullptr;  // holds m_originalDacl
    PACL m_originalDacl = nullptr;
    bool m_applied = false;
};

void ScenarioLibraryErrors() {
    InstallForLibrary();
    const std::string windows = Windows();
    const std::string autostart = std::string(kAppFolder) + "\\tarwenApp.exe /h";

    // A file in use below the package: its error comes back, every other step still runs.
    HANDLE held = CreateFileA("c:\\sysh\\kest\\WRLDR", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Check(held != INVALID_HANDLE_VALUE, "c:\\sysh\\kest\\WRLDR held open without sharing");
    LONG result = CallUninstallFiles();
    Check(result == ERROR_SHARING_VIOLATION, "file in use: the sharing violation comes back (got %ld)", result);
    std::string run;
    Check(Exists("c:\\sysh\\kest\\WRLDR") && !Exists(windows + "\\twsafe") && !ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &run) &&
              CountKey(ReadBytes(kBootIni), "c:\\wrldr") == 0,
          "file in use: it stays, the other steps ran");
    CloseHandle(held);
    result = CallUninstallFiles();
    Check(result == 0 && !Exists("c:\\sysh\\kest"), "file released: the next call removes it and returns 0 (got %ld)", result);

    // No right to set values in the Run key: the access error, the value stays.
    SetValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, REG_SZ, autostart + '\0');
    {
        RunKeyDenial denial;
        HKEY probe = nullptr;
        LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &probe);
        tw::UniqueKey ownedProbe(probe);
        Check(denial.Applied() && opened == ERROR_ACCESS_DENIED, "the Run key denies KEY_SET_VALUE (open: %ld)", opened);
        result = CallUninstallFiles();
        Check(result == ERROR_ACCESS_DENIED, "denied: the access error comes back (got %ld)", result);
        Check(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &run), "denied: the Run value stays");
    }
    result = CallUninstallFiles();
    Check(result == 0 && !ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &run), "rights back: the value goes, 0 (got %ld)", result);
    CleanUp();
}

}  // namespace

int main(int argc, char** argv) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    g_self = self;
    std::string name = std::filesystem::path(g_self).filename().string();
    if (lstrcmpiA(name.c_str(), "boot_driver.exe") != 0)
        return RunStandIn(name);
    if (argc < 4) {
        std::printf("usage: boot_driver <tarwenApp.exe> <package folder> install|bootmenu|uninstall|restart|restore\n"
                    "       boot_driver <tarwenApp.exe> <package folder> library|library_panels|library_errors <ShelfLib.dll>\n");
        return 2;
    }
    if (argc > 4)
        g_library = WindowsPath(argv[4]);
    g_builtApp = WindowsPath(argv[1]);
    g_package = WindowsPath(argv[2]);
    g_app = std::string(kAppFolder) + "\\tarwenApp.exe";
    const std::string scenario = argv[3];
    struct Scenario {
        const char* name;
        void (*run)();
    };
    static const Scenario kScenarios[] = {
        {"install",
         [] {
             ScenarioInstall();
             CleanUp();
         }},
        {"bootmenu", ScenarioBootMenu},
        {"uninstall", ScenarioUninstall},
        {"restart", ScenarioRestart},
        {"restore", ScenarioRestore},
        {"library", ScenarioLibrary},
        {"library_panels", ScenarioLibraryPanels},
        {"library_errors", ScenarioLibraryErrors},
    };
    const Scenario* chosen = nullptr;
    for (const Scenario& candidate : kScenarios)
        if (scenario == candidate.name)
            chosen = &candidate;
    if (chosen)
        chosen->run();
    else
        Check(false, "unknown scenario %s", scenario.c_str());
    return CheckResult();
}
