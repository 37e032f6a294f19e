// Drives the boot integration of tarwenApp.exe under Wine: install, boot menu, uninstall, restart,
// the pending driver restore, the snapshots and their restore, and the uninstaller library
// ShelfLib.dll after an installation.
// Usage: boot_driver <scenario> <tarwenApp.exe> <package folder> <ShelfLib.dll>
// A copy of this program named DriverCrate.exe records its command line in c:\drivercrate.log;
// one named twsystem.exe waits to be ended; one named twsysh.exe unpacks nothing; one named
// tarwenApp.exe stands in for a panel that ignores the quit message.
#include "panel_session.h"

#include <sddl.h>
#include <shlobj.h>

#include <filesystem>
#include <sstream>

#include "BootMenu.h"
#include "ProfileStream.h"
#include "Removal.h"
#include "UninstallFiles.h"
#include "hive_builder.h"
#include "registry_values.h"

namespace {

const char kAppFolder[] = "C:\\Program Files\\Tarwen Test";
const char kDriverLog[] = "c:\\drivercrate.log";
const char kQuitLog[] = "c:\\twquit.log";
const char kBootIni[] = "c:\\boot.ini";
const char kPackage[] = "c:\\sysh";
const char kKest[] = "c:\\sysh\\kest";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "Tarwen系统修复";
const std::string kRunSubkey = std::string(kRunKey) + "\\" + kRunValue;
const std::string kAutocheckOnly = std::string("autocheck autochk *") + '\0' + '\0';
const std::string kRegistered = std::string("autocheck autochk *") + '\0' + "twrepair r" + '\0' + '\0';
const char kOriginalBootIni[] =
    "[boot loader]\r\ntimeout=30\r\ndefault=multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS\r\n"
    "[operating systems]\r\nmulti(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"Microsoft Windows XP\" /fastdetect\r\n";
// What removal leaves of it: the time-out of 10.
const std::string kRemovedBootIni = [] {
    std::string ini = kOriginalBootIni;
    return ini.replace(ini.find("timeout=30"), 10, "timeout=10");
}();
// What installation makes of it: the restore entry below the system it copies, the two entries last.
const std::string kInstalledBootIni = kRemovedBootIni +
    "multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"Tarwen: restore last good registry\" /fastdetect /TWRESTORE\r\n"
    "c:\\wrldr=进入Tarwen系统修复\r\nc:\\sysh\\kest\\BOOTSECT.cdr=从光盘启动(先插入系统安装光盘)\r\n";
const char* const kRepairHives[] = {"system", "software", "sam", "NTUSER.DAT"};
const size_t kRepairSizes[] = {5000, 2048, 700, 3333};
const DWORD kHiddenReadOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;

const std::string& BuiltApp() { return Operand(0); }
const std::string& PackageFolder() { return Operand(1); }  // twsysh.exe and kest\ as the build made them
const std::string& Library() { return Operand(2); }
const std::string kInstalledApp = std::string(kAppFolder) + "\\tarwenApp.exe";
const std::string kAutostart = kInstalledApp + " /h";
const std::string kDriverFails = std::string(kAppFolder) + "\\DriverCrate.fails";  // the stand-in then ends with 1

// ------------------------------------------------------------------ stand-ins

// In the installed panel's folder: a window titled as the panel's that notes the quit
// message in c:\twquit.log and keeps running, so that only termination ends it.
// Elsewhere: no window, it just runs.
STAND_IN("tarwenApp.exe") {
    if (lstrcmpiA(std::filesystem::path(Self()).parent_path().string().c_str(), kAppFolder) == 0) {
        CreateWindowA("STATIC", kTitle, WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        WriteBytes(kQuitLog, "quit");
    }
    Sleep(120000);
}

STAND_IN("DriverCrate.exe") {
    const char* tail = GetCommandLineA();
    tail = std::strchr(tail + 1, tail[0] == '"' ? '"' : ' ');
    std::string arguments = tail ? tail + 1 : "";
    if (arguments.find("/backup") != std::string::npos)
        Sleep(700);  // the installer must wait for this
    if (FILE* log = std::fopen(kDriverLog, "ab")) {
        std::fprintf(log, "%s\n", arguments.c_str() + arguments.find_first_not_of(' '));
        std::fclose(log);
    }
    ExitProcess(Exists(kDriverFails) ? 1 : 0);  // 1: as DriverCrate.exe when a file could not be copied
}

STAND_IN("twsystem.exe") { Sleep(120000); }

STAND_IN("twsysh.exe") {}  // unpacks nothing

// Starts a copy of this driver at path, which plays the stand-in of its file name.
void StartStandIn(ChildProcess& process, const std::string& path) {
    PlaceCopy(Self(), path);
    process.Start(path);
}

// ------------------------------------------------------------------ files and registry

std::string Windows() { return tw::WindowsFolder(); }

std::string Pattern(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 7 + (i >> 8));
    return bytes;
}

std::string BootExecute() {
    std::string value;
    ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, "BootExecute", &value);
    return value;
}

bool RunValueExists() { return ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValue); }

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

// Neither boot menu entry nor the restore entry is left, the time-out of 10 is, every other line
// is as it was before the installation.
bool EntriesGoneTimeoutKept() {
    return ReadBytes(kBootIni) == kRemovedBootIni;
}

// ------------------------------------------------------------------ install

// A clean machine: boot.ini with one system and time-out 30, the \repair hives,
// BootExecute with autocheck alone, the panel with the package's unpacker and
// the driver tool stand-in in a folder with a blank.
void LayOutCleanMachine() {
    RemoveSettings();
    RemoveTree(kPackage);
    RemoveTree(Windows() + "\\twsafe");
    for (const std::string& path :
         {std::string("c:\\WRLDR"), std::string(kBootIniCopyPath), std::string(kDriverLog), Windows() + "\\system32\\twrepair.exe"})
        RemoveFile(path);
    WriteBytes(kBootIni, kOriginalBootIni);
    for (size_t i = 0; i < 4; ++i)
        WriteBytes(Windows() + "\\repair\\" + kRepairHives[i], Pattern(kRepairSizes[i], static_cast<int>(i) * 31));
    SetValue(HKEY_LOCAL_MACHINE, kSessionManager, "BootExecute", REG_MULTI_SZ, kAutocheckOnly);
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
    RemoveTree(kAppFolder);
    PlaceCopy(BuiltApp(), kInstalledApp);
    PlaceCopy(PackageFolder() + "\\twsysh.exe", std::string(kAppFolder) + "\\twsysh.exe");
    PlaceCopy(Self(), std::string(kAppFolder) + "\\DriverCrate.exe");
}

// Everything the scenarios lay out, removed again: the prefix is shared with other tests.
void CleanUp() {
    LayOutCleanMachine();
    RemoveTree(kAppFolder);
    RemoveTree(Windows() + "\\repair");
    RemoveFile(kBootIni);
    DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, "BootExecute");
}

// Starts the installed panel, clicks "安装引导" and answers the box that follows.
Box Install(DWORD boxWait = 60000, const char* screenshot = nullptr) {
    ChildProcess app;
    HWND panel = StartPanel(app, kInstalledApp);
    Click(panel, IDC_INSTALL);
    Box box = AnswerBox(app, IDOK, boxWait, screenshot);
    if (!box.text.empty())
        CheckBootButtons(panel, box.text.rfind("引导安装完成!", 0) == 0);
    EndWithEscape(app, panel);
    return box;
}

void CheckFirstInstallation() {
    const std::string windows = Windows();
    const std::string kest = kKest;
    CHECK(BootExecute() == kRegistered, "BootExecute: twrepair r after the autocheck entry");
    std::string ini = ReadBytes(kBootIni);
    CHECK(ini.find("timeout=10") != std::string::npos && ini.find("timeout=30") == std::string::npos, "boot.ini: time-out 10");
    const std::string entries = "c:\\wrldr=进入Tarwen系统修复\r\nc:\\sysh\\kest\\BOOTSECT.cdr=从光盘启动(先插入系统安装光盘)\r\n";
    CHECK(ini.size() >= entries.size() && ini.compare(ini.size() - entries.size(), entries.size(), entries) == 0,
          "boot.ini: the two entries end the systems section:\n%s", ini.c_str());
    CHECK(ini == kInstalledBootIni, "boot.ini: the restore entry below the default system, the other lines untouched");
    DWORD attributes = GetFileAttributesA(kBootIni);
    CHECK((attributes & (kHiddenReadOnly | FILE_ATTRIBUTE_SYSTEM)) == kHiddenReadOnly,
          "boot.ini hidden and read-only (attributes %lx)", attributes);
    CHECK(ReadBytes(kBootIniCopyPath) == kOriginalBootIni && !Exists("c:\\boot.ini.new"),
          "boot.ini kept as it was beside it; the new one renamed into place");
    CHECK(ReadBytes("c:\\WRLDR") == ReadBytes(kest + "\\WRLDR") && !ReadBytes("c:\\WRLDR").empty(), "c:\\WRLDR is the loader");
    CHECK(ReadBytes(windows + "\\system32\\twrepair.exe") == ReadBytes(kest + "\\twrepair.exe"), "system32\\twrepair.exe deployed");
    auto system = ReadSettings(WindowsSettings());
    auto drive = ReadSettings(kDriveSettings);
    CHECK(system["Backup0"] == "2", "Backup0 = 2 (got %s)", system["Backup0"].c_str());
    for (auto* values : {&system, &drive}) {
        CHECK((*values)["syspath"] == windows, "settings: syspath %s", (*values)["syspath"].c_str());
        CHECK((*values)["userpath"].rfind("\\??\\C:\\", 0) == 0, "settings: userpath %s", (*values)["userpath"].c_str());
    }
    CHECK((GetFileAttributesA(kDriveSettings) & FILE_ATTRIBUTE_HIDDEN) != 0, "c:\\wispdata.dat hidden");
    std::string run;
    CHECK(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &run) && run == kAutostart + '\0', "Run value %s", run.c_str());
    std::string expected;
    for (size_t i = 0; i < 4; ++i) {
        std::string hive = ReadBytes(windows + "\\repair\\" + kRepairHives[i]);
        std::string header(256, '\0');
        header.replace(0, std::to_string(hive.size()).size(), std::to_string(hive.size()));
        expected += header + hive;
    }
    CHECK(ReadBytes(windows + "\\twsafe\\11111111.xff") == expected, "11111111.xff holds the four \\repair hives as sections");
    std::string index = ReadBytes(windows + "\\twsafe\\bkinfo.dat");
    CHECK(index.size() == 3100 && SlotText(index, 0) == "IndexNum=1" && SlotText(index, 1) == "1111-11-11\t0\t1",
          "index: the installation line alone (%s / %s)", SlotText(index, 0).c_str(), SlotText(index, 1).c_str());
    CHECK(ReadBytes(kDriverLog) == "/backup\n", "driver tool ran with /backup (log: %s)", ReadBytes(kDriverLog).c_str());
}

// The installed boot-time program takes the day's snapshot above the installation line.
void BootOnce() {
    char desktop[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOP, FALSE);
    std::string userHive = std::filesystem::path(desktop).parent_path().string() + "\\NTUSER.DAT";
    bool ownHive = !Exists(userHive);
    if (ownHive)
        WriteBytes(userHive, Pattern(1500, 9));
    const std::string config = Windows() + "\\system32\\config\\";
    bool ownConfig = !Exists(config);
    if (ownConfig) {
        for (const char* hive : {"system", "software", "Sam"})
            WriteBytes(config + hive, Pattern(2000, hive[1]));
    }
    {
        ChildProcess boot;
        if (boot.Start(Windows() + "\\system32\\twrepair.exe"))
            boot.WaitExit(60000);
    }
    SYSTEMTIME now;
    GetSystemTime(&now);
    char date[32], file[64];
    std::snprintf(date, sizeof date, "%d-%d-%d\t0\t1", now.wYear, now.wMonth, now.wDay);
    std::snprintf(file, sizeof file, "\\twsafe\\%d%02d%02d.xff", now.wYear, now.wMonth, now.wDay);
    std::string index = ReadBytes(Windows() + "\\twsafe\\bkinfo.dat");
    CHECK(SlotText(index, 0) == "IndexNum=2" && SlotText(index, 1) == date && SlotText(index, 2) == "1111-11-11\t0\t1",
          "boot: the day's line in slot 1, the installation line in slot 2 (%s / %s / %s)", SlotText(index, 0).c_str(),
          SlotText(index, 1).c_str(), SlotText(index, 2).c_str());
    CHECK(Exists(Windows() + file), "boot: the day's snapshot %s", file);
    if (ownHive)
        RemoveFile(userHive);
    if (ownConfig)
        RemoveTree(config);
}

// The settings of an installation that was removed, with a key of its own.
const std::vector<std::string> kRemovedInstallation = {"Backup0=1", "Marker=kept", "IsRepair=000"};

SCENARIO(install) {
    LayOutCleanMachine();
    {
        Context context("first installation");
        Box box = Install();
        CHECK(box.text == "引导安装完成!" && box.caption == "提示", "\"%s\" (%s)", box.text.c_str(), box.caption.c_str());
    }
    CheckFirstInstallation();
    BootOnce();
    {
        // Again over an earlier installation: settings kept, one line per key, the index starts over.
        Context context("second installation");
        WriteSettings(WindowsSettings(), kRemovedInstallation);
        Box box = Install();
        CHECK(box.text == "引导安装完成!", "\"%s\"", box.text.c_str());
        std::string ini = ReadBytes(kBootIni);
        CHECK(CountKey(ini, "c:\\wrldr") == 1 && CountKey(ini, "c:\\sysh\\kest\\BOOTSECT.cdr") == 1 && CountKey(ini, "timeout") == 1,
              "one line per key");
        CHECK(ini == kInstalledBootIni, "one restore entry:\n%s", ini.c_str());
        auto settings = ReadSettings(WindowsSettings());
        CHECK(settings["Marker"] == "kept" && settings["Backup0"] == "2", "settings kept, Backup0 2");
        CHECK(SlotText(ReadBytes(Windows() + "\\twsafe\\bkinfo.dat"), 0) == "IndexNum=1", "the index starts over");
    }
    {
        // Seeding fails without a user hive copy: said so, no backup, state unchanged, no partial snapshot.
        Context context("seeding fails");
        WriteSettings(WindowsSettings(), kRemovedInstallation);
        RemoveFile(kDriverLog);
        RemoveFile(Windows() + "\\repair\\NTUSER.DAT");
        Box box = Install();
        CHECK(box.text.find("引导安装未完成") == 0 && box.text.find("11111111.xff") != std::string::npos && box.caption == "错误提示",
              "\"%s\"", box.text.c_str());
        CHECK(ReadSettings(WindowsSettings())["Backup0"] == "1", "Backup0 stays 1");
        CHECK(!Exists(kDriverLog), "the driver tool does not run");
        CHECK(!Exists(Windows() + "\\twsafe\\11111111.xff"), "no partial snapshot");
    }
    {
        // BootExecute unreadable: the registry message alone, nothing touched.
        Context context("BootExecute missing");
        LayOutCleanMachine();
        DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, "BootExecute");
        Box box = Install();
        CHECK(box.text == "不能读写注册表，可能你在杀毒软件中禁止本程序读写注册表" && box.caption == "错误提示", "\"%s\" (%s)",
              box.text.c_str(), box.caption.c_str());
        CHECK(!Exists(kPackage) && ReadBytes(kBootIni) == kOriginalBootIni && !Exists(kDriveSettings), "no file touched");
    }
    {
        // No unpacker: silence, only the BootExecute entry.
        Context context("twsysh.exe missing");
        LayOutCleanMachine();
        RemoveFile(std::string(kAppFolder) + "\\twsysh.exe");
        Box box = Install(4000);
        CHECK(box.text.empty(), "no message (got \"%s\")", box.text.c_str());
        CHECK(BootExecute() == kRegistered && ReadBytes(kBootIni) == kOriginalBootIni && !Exists(kDriveSettings),
              "only the BootExecute entry");
    }
    {
        // An unpacker that leaves nothing: boot.ini is not touched and the failure is named.
        Context context("empty package");
        LayOutCleanMachine();
        PlaceCopy(Self(), std::string(kAppFolder) + "\\twsysh.exe");
        Box box = Install();
        CHECK(box.text.find("c:\\sysh\\kest\\WRLDR") != std::string::npos && box.caption == "错误提示", "\"%s\"", box.text.c_str());
        CHECK(ReadBytes(kBootIni) == kOriginalBootIni && !Exists("c:\\WRLDR"), "boot.ini untouched");
    }
    {
        // c:\WRLDR held open: the loader copy fails and no menu entry names it.
        Context context("loader copy fails");
        LayOutCleanMachine();
        tw::UniqueFileHandle held(CreateFileA("c:\\WRLDR", GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
        Box box = Install();
        CHECK(box.text.find("c:\\WRLDR") != std::string::npos && ReadBytes(kBootIni) == kOriginalBootIni,
              "\"%s\", boot.ini untouched", box.text.c_str());
    }
    {
        // default= names no system: installed all the same, without the restore entry, and said so.
        Context context("no default system");
        LayOutCleanMachine();
        std::string ini = kOriginalBootIni;
        ini.erase(ini.find("default="), ini.find("[operating") - ini.find("default="));
        WriteBytes(kBootIni, ini);
        Box box = Install(60000, "install_without_restore_entry.png");
        CHECK(box.text.rfind("引导安装完成!\n\n启动菜单中没有加入“Tarwen: restore last good registry”", 0) == 0, "\"%s\"", box.text.c_str());
        CHECK(ReadBytes(kBootIni).find("/TWRESTORE") == std::string::npos && ReadSettings(WindowsSettings())["Backup0"] == "2",
              "installed without the restore entry:\n%s", ReadBytes(kBootIni).c_str());
    }
    {
        Context context("driver backup fails");
        LayOutCleanMachine();
        WriteSettings(WindowsSettings(), kRemovedInstallation);
        WriteBytes(kDriverFails, "");
        Box box = Install(60000, "install_driver_backup_failed.png");
        CHECK(box.text == "引导安装未完成：不能用 DriverCrate.exe 备份全部驱动!" && box.caption == "错误提示" &&
                  ReadSettings(WindowsSettings())["Backup0"] == "1" && ReadBytes(kBootIni) == kOriginalBootIni,
              "\"%s\" (%s), Backup0 stays 1, boot.ini untouched", box.text.c_str(), box.caption.c_str());
    }
    CleanUp();
}

// A clean machine that the panel has installed on.
void InstallToRemove() {
    LayOutCleanMachine();
    Context context("installation to remove");
    CHECK(Install().text == "引导安装完成!" && ReadBytes(kBootIni) == kInstalledBootIni,
          "installed by the panel, the restore entry with the others");
}

// ------------------------------------------------------------------ boot menu and tree removal

SCENARIO(bootmenu) {
    std::string original = kOriginalBootIni;
    const std::string& timeout10 = kRemovedBootIni;

    WriteBytes(kBootIni, original);
    SetFileAttributesA(kBootIni, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    CHECK(AddBootMenuEntries() == BootMenuEntries::kAll, "entries added to a hidden, system, read-only boot.ini");
    CHECK(AddBootMenuEntries() == BootMenuEntries::kAll && ReadBytes(kBootIni) == kInstalledBootIni,
          "added again: one line per key, one restore entry:\n%s", ReadBytes(kBootIni).c_str());
    CHECK(RemoveBootMenuEntries(), "entries removed");
    CHECK(ReadBytes(kBootIni) == timeout10, "after removal boot.ini is as before but for the time-out:\n%s",
          ReadBytes(kBootIni).c_str());
    CHECK((GetFileAttributesA(kBootIni) & (kHiddenReadOnly | FILE_ATTRIBUTE_SYSTEM)) == kHiddenReadOnly,
          "boot.ini hidden and read-only, not system (%lx)", GetFileAttributesA(kBootIni));

    // A hand-written entry with the key in capitals and a quoted description is the same key.
    WriteBytes(kBootIni, original + "C:\\WRLDR=\"Old repair\"\r\n");
    CHECK(AddBootMenuEntries() == BootMenuEntries::kAll, "entries added over a hand-written one");
    std::string ini = ReadBytes(kBootIni);
    CHECK(CountKey(ini, "c:\\wrldr") == 1 && ini.find("Old repair") == std::string::npos &&
              ini.find("=进入Tarwen系统修复") != std::string::npos,
          "the hand-written entry is replaced:\n%s", ini.c_str());
    CHECK(RemoveBootMenuEntries(), "entries removed again");
    ini = ReadBytes(kBootIni);
    CHECK(CountKey(ini, "c:\\wrldr") == 0 && CountKey(ini, "c:\\sysh\\kest\\BOOTSECT.cdr") == 0 && ini == timeout10,
          "the hand-written entry is removed:\n%s", ini.c_str());
    CHECK(ReadBytes(kBootIniCopyPath).find("Old repair") == std::string::npos, "the copy beside it is the state before the edit");
    {
        // Held open against writing: neither the keys nor the restore entry get in, no line is lost.
        tw::UniqueFileHandle held(CreateFileA(kBootIni, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        CHECK(AddBootMenuEntries() == BootMenuEntries::kNone, "boot.ini held open: nothing added");
        held.Reset();
        CHECK(ReadBytes(kBootIni) == timeout10, "boot.ini as it was:\n%s", ReadBytes(kBootIni).c_str());
    }

    // Tree removal: read-only and hidden entries go, a link goes without what it points to.
    const std::string tree = "c:\\twtree", outside = "c:\\twkeep";
    RemoveTree(tree);
    WriteBytes(tree + "\\a\\b\\deep.txt", "deep");
    WriteBytes(tree + "\\top.txt", "top");
    WriteBytes(outside + "\\keep.txt", "keep");
    SetFileAttributesA((tree + "\\a\\b\\deep.txt").c_str(), kHiddenReadOnly);
    SetFileAttributesA((tree + "\\a").c_str(), kHiddenReadOnly | FILE_ATTRIBUTE_DIRECTORY);
    SetFileAttributesA((tree + "\\top.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    using CreateLink = BOOLEAN(WINAPI*)(const char*, const char*, DWORD);
    auto createLink = reinterpret_cast<CreateLink>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
    bool linked = createLink && createLink((tree + "\\link").c_str(), outside.c_str(), 1);
    std::printf("note: directory link %s\n", linked ? "made" : "not available here");
    CHECK(DeleteTree(tree.c_str()) == ERROR_SUCCESS && !Exists(tree), "the tree is gone, 0");
    CHECK(DeleteTree(tree.c_str()) == ERROR_SUCCESS, "a tree that is not there: 0");
    CHECK(ReadBytes(outside + "\\keep.txt") == "keep", "what a link pointed to stays");
    SetCurrentDirectoryA("c:\\");
    CHECK(DeleteTree("twkeep") == ERROR_INVALID_NAME && DeleteTree("") == ERROR_INVALID_NAME, "refused paths");
    CHECK(Exists(outside + "\\keep.txt"), "a relative or empty path removes nothing");
    RemoveTree(outside);
    CleanUp();
}

// ------------------------------------------------------------------ uninstall

SCENARIO(uninstall) {
    InstallToRemove();
    const std::string windows = Windows();
    WriteBytes("c:\\sysh\\kest\\deep\\er\\locked.txt", "x");
    SetFileAttributesA("c:\\sysh\\kest\\deep\\er\\locked.txt", kHiddenReadOnly);
    WriteBytes(windows + "\\twsafe\\2020101.xff", "old");
    SetFileAttributesA((windows + "\\twsafe\\2020101.xff").c_str(), kHiddenReadOnly);
    std::string settingsBefore = ReadBytes(WindowsSettings());

    ChildProcess app;
    HWND panel = StartPanel(app, kInstalledApp);
    {
        Context context("cancel");
        Click(panel, IDC_UNINSTALL);
        Box box = AnswerBox(app, IDCANCEL);
        CHECK(box.text == "你确定要卸载Tarwen系统修复引导信息吗？", "confirmation \"%s\"", box.text.c_str());
        CHECK(Exists("c:\\sysh\\kest\\WRLDR") && ReadBytes(WindowsSettings()) == settingsBefore, "nothing changes");
        CheckBootButtons(panel, true);
    }
    {
        Context context("closed at once");
        HWND dialog = StartRemoval(app, panel);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        CHECK(WaitProgressDialogGone(dialog), "the dialog is gone");
        CHECK(Exists("c:\\sysh\\kest\\WRLDR") && ReadBytes(WindowsSettings()) == settingsBefore, "nothing removed, Backup0 stays");
        CheckBootButtons(panel, true);
    }
    ChildProcess first, second, elsewhere, otherCase;
    StartStandIn(first, "c:\\sysh\\kest\\twsystem.exe");
    StartStandIn(second, "c:\\sysh\\kest\\tools\\twsystem.exe");
    StartStandIn(elsewhere, "c:\\twother\\twsystem.exe");
    StartStandIn(otherCase, "c:\\sysh\\kest\\other\\TwSystem.exe");
    Pump(1000);

    Context context("removal");
    HWND dialog = StartRemoval(app, panel);
    DWORD opened = GetTickCount();
    CHECK(!IsWindowEnabled(GetDlgItem(dialog, IDOK)), "完成 disabled at first");
    Pump(2200);
    SaveShot(CaptureWindow(dialog), "uninstall_progress.png");
    int position = ProgressPosition(dialog);
    CHECK(position >= 1 && position < 10, "the bar moves after the work (position %d)", position);
    WaitEnabled(dialog, IDOK, 10000 - (GetTickCount() - opened));
    DWORD enabledAfter = GetTickCount() - opened;
    CHECK(enabledAfter >= 3800 && enabledAfter <= 6000, "完成 usable after %lu ms (about 4300)", enabledAfter);
    CHECK(ProgressPosition(dialog) == 10, "the bar is full");
    SaveShot(CaptureWindow(dialog), "uninstall_done.png");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    CHECK(WaitProgressDialogGone(dialog), "完成 closes the dialog");
    CheckBootButtons(panel, false);
    EndWithEscape(app, panel);

    // What stays of the package is the images of the processes that keep running.
    CHECK(!Exists("c:\\sysh\\kest\\WRLDR") && !Exists("c:\\sysh\\kest\\data") && !Exists("c:\\sysh\\kest\\deep"),
          "the package's files are gone, read-only and hidden ones too");
    CHECK(!Exists(first.Running() ? "c:\\sysh\\kest\\tools\\twsystem.exe" : "c:\\sysh\\kest\\twsystem.exe"),
          "the ended twsystem.exe is deleted as well");
    CHECK(!Exists(windows + "\\twsafe"), "the snapshot store is gone");
    CHECK(!Exists(windows + "\\system32\\twrepair.exe"), "system32\\twrepair.exe is gone");
    CHECK(!RunValueExists(), "the Run value is gone");
    CHECK(EntriesGoneTimeoutKept(), "the entries are gone, the time-out stays 10");
    CHECK(Exists("c:\\WRLDR") && BootExecute() == kRegistered && Exists(kDriveSettings), "c:\\WRLDR, BootExecute and c:\\wispdata.dat stay");
    auto settings = ReadSettings(WindowsSettings());
    CHECK(settings["Backup0"] == "1" && !settings["syspath"].empty(), "Backup0 1, the other keys stay");
    CHECK(first.Running() != second.Running(), "one of the package's two twsystem.exe ends");
    CHECK(elsewhere.Running(), "a twsystem.exe outside the package keeps running");
    CHECK(otherCase.Running(), "TwSystem.exe keeps running");
    CleanUp();
    RemoveTree("c:\\twother");
}

// ------------------------------------------------------------------ restart and pending driver restore

SCENARIO(restart) {
    LayOutCleanMachine();
    WriteSettings(WindowsSettings(), {"Backup0=2", "Marker=kept", "IsRepair=000"});
    SetValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, REG_SZ, kAutostart + '\0');
    ChildProcess app;
    HWND panel = StartPanel(app, kInstalledApp);
    Click(panel, IDC_REPAIR);
    Box box = AnswerBox(app, IDCANCEL);
    CHECK(box.text == "按确定后，电脑将重启，请从系统启动菜单中选择进入Tarwen系统修复！" && box.caption == "提示",
          "restart: question \"%s\" (%s)", box.text.c_str(), box.caption.c_str());
    Pump(1000);
    CHECK(app.Running() && IsWindowVisible(panel), "restart cancelled: the panel stays");
    Click(panel, IDC_REPAIR);
    AnswerBox(app, IDOK);
    CHECK(app.WaitExit(20000), "restart confirmed: the panel ends");
    // Wine ends the prefix's session and then runs its Run keys: the autostart brings the panel back.
    HWND again = nullptr;
    WaitUntil([&again] { return (again = FindWindowA(nullptr, kTitle)) != nullptr; }, 20000);
    CHECK(again != nullptr, "restart confirmed: the autostart value starts the panel again");
    if (again) {
        DWORD pid = 0;
        GetWindowThreadProcessId(again, &pid);
        PostMessageA(again, WM_KEYDOWN, VK_ESCAPE, 0);
        tw::UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
        CHECK(process && WaitForSingleObject(process.Get(), 10000) == WAIT_OBJECT_0, "the restarted panel ends with Escape");
    }
    CleanUp();
}

SCENARIO(restore) {
    struct Case {
        const char* isRepair;
        bool restores;
    };
    for (const Case& c : {Case{"333", true}, Case{"111", false}, Case{"000", false}}) {
        Context context("IsRepair %s", c.isRepair);
        LayOutCleanMachine();
        WriteSettings(WindowsSettings(), {"Backup0=2", std::string("IsRepair=") + c.isRepair, "userpath=old"});
        std::string before = ReadBytes(WindowsSettings());
        ChildProcess app;
        HWND panel = StartPanel(app, kInstalledApp);
        Pump(3000);
        EndWithEscape(app, panel);
        auto settings = ReadSettings(WindowsSettings());
        if (c.restores) {
            CHECK(ReadBytes(kDriverLog) == "/restore\n", "the driver tool restores (log %s)", ReadBytes(kDriverLog).c_str());
            CHECK(settings["IsRepair"] == "000" && settings["userpath"].rfind("\\??\\C:\\", 0) == 0, "IsRepair 000, userpath %s",
                  settings["userpath"].c_str());
            CHECK(BootExecute() == kRegistered && RunValueExists(), "BootExecute entry and Run value exist again");
        } else {
            CHECK(!Exists(kDriverLog) && ReadBytes(WindowsSettings()) == before && BootExecute() == kAutocheckOnly && !RunValueExists(),
                  "nothing happens");
        }
    }
    CleanUp();
}

// ------------------------------------------------------------------ snapshots and their restore

const char kSnapshotsTitle[] = "快照还原";
const char kRestartQuestion[] = "需要重新启动计算机才能完成还原。现在重新启动吗？";
enum { kDateColumn, kKindColumn, kSizeColumn, kStateColumn };

// The list view of the panel's dialog, read and selected through memory in the panel's process.
class RemoteList {
public:
    explicit RemoteList(HWND list) : m_list(list) {
        DWORD pid = 0;
        GetWindowThreadProcessId(list, &pid);
        m_process.Reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
        if (m_process)
            m_memory = static_cast<char*>(VirtualAllocEx(m_process.Get(), nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteList() {
        if (m_memory)
            VirtualFreeEx(m_process.Get(), m_memory, 0, MEM_RELEASE);
    }
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    int Count() const { return static_cast<int>(SendMessageA(m_list, LVM_GETITEMCOUNT, 0, 0)); }
    std::string Text(int row, int column) const {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = m_memory + sizeof item;
        item.cchTextMax = 256;
        char text[256] = {};
        if (Send(LVM_GETITEMTEXTA, row, item))
            ReadProcessMemory(m_process.Get(), item.pszText, text, sizeof text - 1, nullptr);
        return text;
    }
    // "date kind state; " a row.
    std::string Rows() const {
        std::string rows;
        for (int row = 0; row < Count(); ++row)
            rows += Text(row, kDateColumn) + " " + Text(row, kKindColumn) + " " + Text(row, kStateColumn) + "; ";
        return rows;
    }
    int Find(const std::string& date) const {
        for (int row = 0; row < Count(); ++row)
            if (Text(row, kDateColumn) == date)
                return row;
        return -1;
    }
    void Select(int row) const {
        LVITEMA item = {};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        Send(LVM_SETITEMSTATE, row, item);
        Pump(100);
    }

private:
    bool Send(UINT msg, int row, const LVITEMA& item) const {
        if (!m_memory || !WriteProcessMemory(m_process.Get(), m_memory, &item, sizeof item, nullptr))
            return false;
        SendMessageA(m_list, msg, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(m_memory));
        return true;
    }

    HWND m_list;
    tw::UniqueKernelHandle m_process;
    char* m_memory = nullptr;
};

// A day of the installation's life: its dates and the user and software hives it saw.
struct Day {
    std::string date;       // "2026-03-05", as the list shows it
    std::string indexDate;  // "2026-3-5", as the index names it
    std::string file;       // "20260305.xff"
    std::string user, software;
};

Day DayBefore(int days) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks = {{now.dwLowDateTime, now.dwHighDateTime}};
    ticks.QuadPart -= static_cast<ULONGLONG>(days) * 24 * 3600 * 10000000ULL;
    FILETIME then = {ticks.LowPart, ticks.HighPart};
    SYSTEMTIME date;
    FileTimeToSystemTime(&then, &date);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %d-%d-%d %04d%02d%02d.xff", date.wYear, date.wMonth, date.wDay,
                  date.wYear, date.wMonth, date.wDay, date.wYear, date.wMonth, date.wDay);
    std::istringstream words(text);
    Day day;
    words >> day.date >> day.indexDate >> day.file;
    return day;
}

std::string ProfileFolder() {
    char desktop[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOP, FALSE);
    return std::filesystem::path(desktop).parent_path().string();
}

std::string Config() { return Windows() + "\\system32\\config\\"; }
std::string SnapshotPath(const std::string& file) { return Windows() + "\\twsafe\\" + file; }
std::string UserHive() { return ProfileFolder() + "\\NTUSER.DAT"; }

// The installed boot-time program's run.
void Boot() {
    ChildProcess boot;
    if (boot.Start(Windows() + "\\system32\\twrepair.exe"))
        CHECK(boot.WaitExit(60000), "the boot-time program ends");
}

// A boot on an earlier day: a boot today whose snapshot then takes the day's name, in the folder
// and in the index's first line.
void BootOn(const Day& day) {
    WriteBytes(UserHive(), day.user);
    WriteBytes(Config() + "software", day.software);
    Boot();
    const Day today = DayBefore(0);
    CHECK(MoveFileA(SnapshotPath(today.file).c_str(), SnapshotPath(day.file).c_str()) != 0, "the snapshot of %s",
          day.date.c_str());
    std::string index = ReadBytes(SnapshotPath("bkinfo.dat"));
    std::string line = day.indexDate + "\t0\t1";
    index.replace(100, 100, line + std::string(100 - line.size(), '\0'));
    WriteBytes(SnapshotPath("bkinfo.dat"), index);
}

// The panel's snapshot dialog, opened from its main window.
HWND OpenSnapshots(const ChildProcess& app, HWND panel) {
    Click(panel, IDC_SNAPSHOTS);
    HWND dialog = WaitForWindowOf(app.Id(), [](HWND hwnd) {
        char title[64] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        return std::strcmp(title, kSnapshotsTitle) == 0;
    }, 10000);
    REQUIRE(dialog != nullptr, "the dialog %s opens", kSnapshotsTitle);
    Pump(300);
    return dialog;
}

std::string DialogText(HWND dialog, int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

bool ButtonEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

// Presses a restore button of the dialog for the row of date.
void PressFor(HWND dialog, const std::string& date, int button) {
    RemoteList list(GetDlgItem(dialog, IDC_SNAPSHOT_LIST));
    list.Select(list.Find(date));
    Click(dialog, button);
}

// PressFor, and the answer to the box that follows.
Box RequestFor(const ChildProcess& app, HWND dialog, const std::string& date, int button, int answer,
               const char* screenshot = nullptr) {
    PressFor(dialog, date, button);
    return AnswerBox(app, answer, 20000, screenshot);
}

std::string Setting(const char* key) { return ReadSettings(WindowsSettings())[key]; }
void SetSetting(const char* key, const std::string& value) {
    tw::UniqueFile settings(std::fopen(WindowsSettings().c_str(), "rb+"));
    CHECK(WriteIniStream(settings.Get(), key, value.c_str()), "%s=%s written", key, value.c_str());
}

// Presses the button for date; while the restart question waits, file holds day's hive and key
// and SignRun ask for it.
void CheckRequestWaits(HWND dialog, const std::string& date, int button, const std::string& file,
                       const std::string& hive, const char* key) {
    PressFor(dialog, date, button);
    Pump(500);
    CHECK(ReadBytes(file) == hive && Setting(key) == "111" && Setting("SignRun") == "111",
          "%s holds the day's hive; %s and SignRun 111", file.c_str(), key);
}

// The panel's next start after a restore: the fix-up dialog first (cancelled), then the main
// window; the handshake clears the request keys.
void StartAfterRestore(bool fixups) {
    ChildProcess app;
    app.Start(kInstalledApp);
    HWND dialog = WaitForProgressDialog(app, 15000);
    CHECK((dialog != nullptr) == fixups, "the fix-ups %s at the next start", fixups ? "run" : "do not run");
    if (dialog) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        WaitProgressDialogGone(dialog);
    }
    HWND panel = WaitForPanel(app);
    REQUIRE(panel != nullptr, "then the main window opens");
    CHECK(Setting("SignRun") == "000" && Setting("IsRepair") == "000" && Setting("SysRepair") == "000",
          "SignRun, IsRepair and SysRepair 000");
    EndWithEscape(app, panel);
}

// The user has the panel restart the computer; the restart is Wine's end of the session, whose
// Run keys are cleared first so that no panel starts before the boot.
void ConfirmRestart(ChildProcess& app, const char* screenshot = nullptr) {
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
    Box box = AnswerBox(app, IDOK, 20000, screenshot);
    CHECK(box.text == kRestartQuestion && box.caption == "提示", "the restart question \"%s\"", box.text.c_str());
    CHECK(app.WaitExit(20000), "OK restarts: the panel ends");
}

SCENARIO(snapshots) {
    LayOutCleanMachine();
    // Sound \repair hives, so that the installation snapshot is a sound one.
    const char* const hiveNames[] = {"SYSTEM", "SOFTWARE", "SAM", "NTUSER.DAT"};
    for (size_t i = 0; i < 4; ++i)
        WriteBytes(Windows() + "\\repair\\" + kRepairHives[i], BuildFilledHive(16384, false, hiveNames[i]));
    REQUIRE(Install().text == "引导安装完成!", "installed by the panel");
    const std::string userHive = UserHive(), software = Config() + "software";
    const bool ownHive = !Exists(userHive), ownConfig = !Exists(Config());
    WriteBytes(Config() + "system", BuildFilledHive(40960, false, "\\SystemRoot\\System32\\Config\\SYSTEM"));
    WriteBytes(Config() + "SAM", BuildFilledHive(16384, false, "\\SystemRoot\\System32\\Config\\SAM"));
    // Four days, each with its own user and software hives; day 1's user hive was left dirty.
    std::vector<Day> days;
    for (int k = 1; k <= 4; ++k) {
        Day day = DayBefore(5 - k);
        day.user = BuildFilledHive(24576 + 8192 * k, k == 1, "\\??\\C:\\users\\NTUSER.DAT");
        day.software = BuildFilledHive(32768 + 8192 * k, false, "\\SystemRoot\\System32\\Config\\SOFTWARE");
        BootOn(day);
        days.push_back(day);
    }
    // Day 3's copy is damaged: its user hive lost the signature.
    std::string third = ReadBytes(SnapshotPath(days[2].file));
    third[third.size() - days[2].user.size()] = 'x';
    WriteBytes(SnapshotPath(days[2].file), third);

    ChildProcess app;
    HWND panel = StartPanel(app, kInstalledApp);
    CheckBootButtons(panel, true);
    Pump(300);  // drawn
    SaveShot(CaptureWindow(panel), "snapshots_main.png");
    HWND dialog = OpenSnapshots(app, panel);
    {
        Context context("the list");
        RemoteList list(GetDlgItem(dialog, IDC_SNAPSHOT_LIST));
        std::string expected;
        for (int k = 3; k >= 0; --k)
            expected += days[k].date + " 最近 未检查; ";
        CHECK(list.Rows() == expected + "— 安装时 未检查; ", "newest first: %s", list.Rows().c_str());
        CHECK(DialogText(dialog, IDC_SNAPSHOT_STATUS) == "最近快照：" + days[3].date, "status \"%s\"",
              DialogText(dialog, IDC_SNAPSHOT_STATUS).c_str());
        CHECK(ButtonEnabled(dialog, IDC_RESTORE_USER) && !ButtonEnabled(dialog, IDC_UNDO_RESTORE),
              "restore usable, nothing to undo yet");
        SaveShot(CaptureWindow(dialog), "snapshots_list.png");
    }
    {
        Context context("检查");
        Click(dialog, IDC_CHECK);
        bool ended = WaitUntil([dialog] { return DialogText(dialog, IDC_CHECK_STATUS).rfind("检查完毕", 0) == 0; }, 30000);
        CHECK(ended, "the check ends: \"%s\"", DialogText(dialog, IDC_CHECK_STATUS).c_str());
        RemoteList list(GetDlgItem(dialog, IDC_SNAPSHOT_LIST));
        const std::vector<std::string> states = {"完好", "已损坏", "完好", "有警告", "完好"};
        for (int row = 0; row < 5; ++row)
            CHECK(list.Text(row, kStateColumn) == states[row], "row %d: %s", row, list.Text(row, kStateColumn).c_str());
        CHECK(SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0) == 20, "the bar is full");
        SaveShot(CaptureWindow(dialog), "snapshots_checked.png");
        list.Select(1);
        CHECK(!ButtonEnabled(dialog, IDC_RESTORE_USER) && !ButtonEnabled(dialog, IDC_RESTORE_SYSTEM),
              "the damaged day cannot be restored");
    }
    const std::string temp = Windows() + "\\temp\\";
    {
        Context context("a dirty day");
        Box box = RequestFor(app, dialog, days[0].date, IDC_RESTORE_USER, IDCANCEL, "snapshots_dirty_question.png");
        CHECK(box.text.find("没有正常关闭") != std::string::npos && box.caption == "提示", "the question says so: \"%s\"",
              box.text.c_str());
        CHECK(!Exists(temp + "TWXT04.XFF") && Setting("IsRepair") == "000", "nothing written");
    }
    {
        Context context("还原用户设置, Cancel");
        Box box = RequestFor(app, dialog, days[1].date, IDC_RESTORE_USER, IDCANCEL, "snapshots_restart_question.png");
        CHECK(box.text == kRestartQuestion, "the restart question \"%s\"", box.text.c_str());
        CHECK(!Exists(temp + "TWXT04.XFF") && Setting("IsRepair") == "000" && Setting("SignRun") == "000",
              "withdrawn: no file, IsRepair and SignRun 000");
    }
    {
        Context context("faults");
        const std::string index = SnapshotPath("bkinfo.dat"), indexBytes = ReadBytes(index);
        const std::string before = ReadBytes(WindowsSettings());
        MoveFileA(SnapshotPath(days[0].file).c_str(), (SnapshotPath(days[0].file) + ".away").c_str());
        Box box = RequestFor(app, dialog, days[0].date, IDC_RESTORE_USER, IDOK, "snapshots_missing_file.png");
        CHECK(box.text.find("找不到") == 0 && box.caption == "错误提示", "a missing snapshot file: \"%s\"", box.text.c_str());
        MoveFileA((SnapshotPath(days[0].file) + ".away").c_str(), SnapshotPath(days[0].file).c_str());
        MoveFileA((Windows() + "\\temp").c_str(), (Windows() + "\\temp.away").c_str());
        WriteBytes(Windows() + "\\temp", "a file, not a folder");
        box = RequestFor(app, dialog, days[1].date, IDC_RESTORE_USER, IDOK);
        CHECK(box.text.find("无法创建") == 0 && box.caption == "错误提示", "no temp folder: \"%s\"", box.text.c_str());
        RemoveFile(Windows() + "\\temp");
        MoveFileA((Windows() + "\\temp.away").c_str(), (Windows() + "\\temp").c_str());
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        Pump(500);
        WriteBytes(index, "not an index");
        dialog = OpenSnapshots(app, panel);
        box = AnswerBox(app, IDOK, 5000, "snapshots_index_unreadable.png");
        CHECK(box.text.find("无法读取快照索引") == 0 && box.caption == "错误提示", "an unreadable index: \"%s\"",
              box.text.c_str());
        CHECK(SendDlgItemMessageA(dialog, IDC_SNAPSHOT_LIST, LVM_GETITEMCOUNT, 0, 0) == 0, "and an empty list");
        WriteBytes(index, indexBytes);
        CHECK(ReadBytes(WindowsSettings()) == before && !Exists(temp + "TWXT04.XFF"), "settings and files as they were");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        Pump(500);
        dialog = OpenSnapshots(app, panel);
    }
    {
        Context context("还原用户设置, OK, a boot");
        CheckRequestWaits(dialog, days[1].date, IDC_RESTORE_USER, temp + "TWXT04.XFF", days[1].user, "IsRepair");
        ConfirmRestart(app);
        Boot();
        CHECK(ReadBytes(userHive) == days[1].user, "NTUSER.DAT is day 2's user section");
        CHECK(ReadBytes(ProfileFolder() + "\\BKDATA3.DAT") == days[3].user, "BKDATA3.DAT is the former hive");
        StartAfterRestore(true);
    }
    // The boot-time program puts the software hive in place once it knows SysRepair.
    const bool bootRestoresSoftware =
        ReadBytes(Windows() + "\\system32\\twrepair.exe").find("SysRepair") != std::string::npos;
    {
        Context context("还原系统设置");
        ChildProcess again;
        panel = StartPanel(again, kInstalledApp);
        dialog = OpenSnapshots(again, panel);
        CHECK(ButtonEnabled(dialog, IDC_UNDO_RESTORE), "撤销上次还原 usable: BKDATA3.DAT exists");
        RequestFor(again, dialog, days[1].date, IDC_RESTORE_SYSTEM, IDCANCEL);
        CHECK(!Exists(temp + "TWSW04.XFF") && Setting("SysRepair") == "000", "Cancel withdraws it");
        CheckRequestWaits(dialog, days[1].date, IDC_RESTORE_SYSTEM, temp + "TWSW04.XFF", days[1].software, "SysRepair");
        ConfirmRestart(again);
        WriteBytes(software + ".LOG", "the software hive's log");
        Boot();
        if (bootRestoresSoftware) {
            CHECK(ReadBytes(software) == days[1].software, "software is day 2's section");
            CHECK(ReadBytes(software + ".twb") == days[3].software && ReadBytes(software + ".twb.log") == "the software hive's log",
                  "software.twb and its log are the former ones");
        } else {
            std::printf("skipped: the installed boot-time program does not carry out SysRepair yet (its side is "
                        "built apart); the boot and the undo of the software hive wait for it\n");
            RemoveFile(temp + "TWSW04.XFF");
        }
        StartAfterRestore(true);
    }
    {
        Context context("撤销上次还原");
        // The saved hives with nothing requested are also what a restore at boot leaves, with its record.
        SetSetting("BootRestoreDay", DayBefore(0).indexDate);
        SetSetting("BootRestoreFrom", days[1].indexDate);
        ChildProcess again;
        panel = StartPanel(again, kInstalledApp);
        dialog = OpenSnapshots(again, panel);
        const std::string line = "\n上次开机还原：" + DayBefore(0).date + "，来自 " + days[1].date + " 的快照";
        CHECK(DialogText(dialog, IDC_SNAPSHOT_STATUS).find(line) != std::string::npos &&
                  ButtonEnabled(dialog, IDC_UNDO_RESTORE),
              "the restore at boot shown, its undo usable: \"%s\"", DialogText(dialog, IDC_SNAPSHOT_STATUS).c_str());
        SaveShot(CaptureWindow(dialog), "snapshots_boot_restore.png");
        Click(dialog, IDC_UNDO_RESTORE);
        Box box = AnswerBox(again, IDCANCEL);
        CHECK(box.text == kRestartQuestion && Setting("IsRepair") == "000" && Setting("SignRun") == "000",
              "Cancel withdraws the undo");
        Click(dialog, IDC_UNDO_RESTORE);
        Pump(300);
        CHECK(Setting("IsRepair") == "222" && Setting("SignRun") == "222" &&
                  Setting("SysRepair") == (bootRestoresSoftware ? "222" : "000"),
              "222 for what can be undone (IsRepair %s, SysRepair %s)", Setting("IsRepair").c_str(),
              Setting("SysRepair").c_str());
        ConfirmRestart(again);
        Boot();
        CHECK(ReadBytes(userHive) == days[3].user, "NTUSER.DAT is the hive from before the restore");
        if (bootRestoresSoftware)
            CHECK(ReadBytes(software) == days[3].software, "software is the hive from before the restore");
        StartAfterRestore(false);
    }
    {
        // Chosen from the boot menu's restore entry: the kernel keeps the switch among the start
        // options, and the boot-time program puts back the newest sound snapshot from before today.
        Context context("a restore at boot");
        const char* const control = "System\\CurrentControlSet\\Control";
        std::string oldOptions;
        const bool hadOptions = ReadValue(HKEY_LOCAL_MACHINE, control, "SystemStartOptions", &oldOptions);
        WriteBytes(software, "a damaged software hive");
        WriteBytes(userHive, days[0].user);
        SetValue(HKEY_LOCAL_MACHINE, control, "SystemStartOptions", REG_MULTI_SZ, std::string("TWRESTORE") + '\0' + '\0');
        Boot();
        CHECK(ReadBytes(software) == "a damaged software hive" && Setting("SysRepair") == "000",
              "start options that are no string: nothing restored");
        SetValue(HKEY_LOCAL_MACHINE, control, "SystemStartOptions", REG_SZ, std::string("NOEXECUTE=OPTIN FASTDETECT TWRESTORE") + '\0');
        Boot();
        CHECK(ReadBytes(software) == days[3].software && ReadBytes(software + ".twb") == "a damaged software hive",
              "software is day 4's section, the damaged hive kept as software.twb");
        CHECK(ReadBytes(userHive) == days[3].user && ReadBytes(ProfileFolder() + "\\BKDATA3.DAT") == days[0].user,
              "NTUSER.DAT is day 4's section, the replaced hive kept as BKDATA3.DAT");
        CHECK(Setting("SignRun") == "111" && Setting("BootRestoreFrom") == days[3].indexDate &&
                  Setting("BootRestoreDay") == DayBefore(0).indexDate,
              "SignRun 111, the restore recorded (from %s)", Setting("BootRestoreFrom").c_str());
        if (hadOptions)
            SetValue(HKEY_LOCAL_MACHINE, control, "SystemStartOptions", REG_SZ, oldOptions);
        else
            DeleteValue(HKEY_LOCAL_MACHINE, control, "SystemStartOptions");
        StartAfterRestore(true);
    }
    {
        Context context("a log-on start without today's snapshot");
        const std::string today = SnapshotPath(DayBefore(0).file);
        MoveFileA(today.c_str(), (today + ".away").c_str());
        ChildProcess again;
        panel = StartPanel(again, kInstalledApp, "/h");
        Pump(1500);
        SaveScreen("snapshots_logon_balloon.png");
        CHECK(Setting("SnapWarned") == DayBefore(0).indexDate, "the warning of the day is given (SnapWarned %s)",
              Setting("SnapWarned").c_str());
        dialog = OpenSnapshots(again, panel);
        const std::string status = DialogText(dialog, IDC_SNAPSHOT_STATUS);
        CHECK(status.find("\n今天开机时没有保存快照，开机快照程序可能没有运行。") != std::string::npos,
              "the status line says so: \"%s\"", status.c_str());
        SaveShot(CaptureWindow(dialog), "snapshots_logon_warning.png");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        Pump(500);
        EndWithEscape(again, panel);
        MoveFileA((today + ".away").c_str(), today.c_str());
    }
    {
        // Thirty listed snapshots: the list is there within 100 ms of the click.
        Context context("thirty snapshots");
        std::vector<std::string> lines;
        for (int k = 1; k <= 30; ++k) {
            Day day = DayBefore(40 + k);
            lines.push_back(day.indexDate + "\t" + (k > 15 ? "1" : "0") + "\t1");
            WriteBytes(SnapshotPath(day.file), Pattern(4096, k));
        }
        WriteBytes(SnapshotPath("bkinfo.dat"), ProfileFile(15, lines));
        ChildProcess again;
        panel = StartPanel(again, kInstalledApp);
        Pump(1000);
        LARGE_INTEGER frequency, start, now;
        QueryPerformanceFrequency(&frequency);
        std::vector<double> times;
        for (int run = 0; run < 5; ++run) {
            QueryPerformanceCounter(&start);
            Click(panel, IDC_SNAPSHOTS);
            HWND shown = nullptr;
            double ms = 0;
            for (; ms < 5000; Sleep(1)) {
                QueryPerformanceCounter(&now);
                ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
                shown = FindWindowA(nullptr, kSnapshotsTitle);
                if (shown && IsWindowVisible(shown) && SendDlgItemMessageA(shown, IDC_SNAPSHOT_LIST, LVM_GETITEMCOUNT, 0, 0) == 30)
                    break;
            }
            times.push_back(ms);
            Pump(300);
            PostMessageA(shown, WM_COMMAND, IDCANCEL, 0);
            Pump(500);
        }
        std::sort(times.begin(), times.end());
        CHECK(times[2] < 100, "the list of 30 within 100 ms of the click: median %.1f ms (%.1f to %.1f)", times[2],
              times[0], times[4]);
        EndWithEscape(again, panel);
    }
    if (ownHive)
        RemoveFile(userHive);
    RemoveFile(ProfileFolder() + "\\BKDATA3.DAT");
    if (ownConfig)
        RemoveTree(Config());
    CleanUp();
}

// ------------------------------------------------------------------ the uninstaller library

// Loads the library afresh and calls its export by name, as the product's uninstaller does.
LONG CallUninstallFiles() {
    HMODULE library = LoadLibraryA(Library().c_str());
    REQUIRE(library != nullptr, "ShelfLib.dll loads (error %lu)", library ? 0 : GetLastError());
    FARPROC byName = GetProcAddress(library, "UninstallFiles");
    CHECK(byName && byName == GetProcAddress(library, MAKEINTRESOURCEA(1)), "UninstallFiles is export 1");
    LONG result = byName ? reinterpret_cast<decltype(&UninstallFiles)>(reinterpret_cast<void*>(byName))() : -1;
    FreeLibrary(library);
    return result;
}

SCENARIO(library) {
    InstallToRemove();
    const std::string windows = Windows();
    WriteBytes("c:\\sysh\\kest\\deep\\er\\locked.txt", "x");
    SetFileAttributesA("c:\\sysh\\kest\\deep\\er\\locked.txt", kHiddenReadOnly);
    SetValue(HKEY_LOCAL_MACHINE, kRunSubkey, nullptr, REG_SZ, "");  // the subkey of the value's name
    const std::string settings = ReadBytes(WindowsSettings()), driveSettings = ReadBytes(kDriveSettings);

    LONG result = CallUninstallFiles();
    CHECK(result == 0, "first call returns 0 (got %ld)", result);
    CHECK(!Exists(kKest) && !Exists(windows + "\\twsafe") && !Exists(windows + "\\system32\\twrepair.exe"),
          "the package, the snapshot store and system32\\twrepair.exe are gone");
    CHECK(!RunValueExists() && !OpenKey(HKEY_LOCAL_MACHINE, kRunSubkey, KEY_READ), "the Run value and the subkey of its name are gone");
    CHECK(EntriesGoneTimeoutKept(), "boot.ini: the entries are gone, the time-out stays 10:\n%s", ReadBytes(kBootIni).c_str());
    CHECK((GetFileAttributesA(kBootIni) & kHiddenReadOnly) == kHiddenReadOnly, "boot.ini hidden and read-only");
    CHECK(Exists("c:\\WRLDR") && BootExecute() == kRegistered, "c:\\WRLDR and the BootExecute entry stay");
    CHECK(ReadBytes(WindowsSettings()) == settings && ReadBytes(kDriveSettings) == driveSettings,
          "both settings files are untouched (Backup0 stays 2)");
    result = CallUninstallFiles();
    CHECK(result == 0, "a second call finds nothing and returns 0 (got %ld)", result);
    CleanUp();
}

// The package's own process holds its image open, as the panel's removal knows: the library
// ends it too, or c:\sysh\kest stays behind.
SCENARIO(library_package_process) {
    InstallToRemove();
    ChildProcess package, elsewhere;
    StartStandIn(package, "c:\\sysh\\kest\\twsystem.exe");
    StartStandIn(elsewhere, "c:\\twother\\twsystem.exe");
    Pump(1000);
    LONG result = CallUninstallFiles();
    CHECK(result == 0, "the call returns 0 (got %ld)", result);
    CHECK(package.WaitExit(5000), "the package's twsystem.exe has ended");
    CHECK(!Exists(kKest), "c:\\sysh\\kest is gone (c:\\sysh\\kest\\twsystem.exe %s)",
          Exists("c:\\sysh\\kest\\twsystem.exe") ? "left behind" : "gone");
    CHECK(elsewhere.Running(), "a twsystem.exe outside the package keeps running");
    CleanUp();
    RemoveTree("c:\\twother");
}

SCENARIO(library_panels) {
    InstallToRemove();
    {
        Context context("hidden panel");
        ChildProcess hidden;
        HWND window = StartPanel(hidden, kInstalledApp, "/h");
        CHECK(window && WaitHidden(window, 5000), "a panel started with /h hides in the notification area");
        LONG result = CallUninstallFiles();
        CHECK(result == 0, "the call returns 0 (got %ld)", result);
        CHECK(hidden.WaitExit(3000) && !IsWindow(window), "it has ended");
    }
    {
        // Under another file name only the quit message can reach it.
        Context context("renamed panel");
        const std::string renamed = "c:\\twother\\TarwenRepair.exe";
        PlaceCopy(BuiltApp(), renamed);
        ChildProcess other;
        StartPanel(other, renamed);
        LONG result = CallUninstallFiles();
        CHECK(result == 0, "the call returns 0 (got %ld)", result);
        CHECK(other.WaitExit(3000), "the quit message ends it");
    }
    // A panel that ignores the quit message is terminated after it, by the autostart value's
    // image; a program of the same file name elsewhere keeps running.
    Context context("stand-ins");
    SetValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, REG_SZ, kAutostart + '\0');
    RemoveFile(kQuitLog);
    ChildProcess stubborn, elsewhere;
    StartStandIn(stubborn, kInstalledApp);
    StartStandIn(elsewhere, "c:\\twother\\tarwenApp.exe");
    Pump(1000);
    DWORD started = GetTickCount();
    LONG result = CallUninstallFiles();
    DWORD took = GetTickCount() - started;
    CHECK(result == 0, "the call returns 0 (got %ld)", result);
    CHECK(ReadBytes(kQuitLog) == "quit", "the quit message came first");
    Pump(200);
    CHECK(!stubborn.Running() && took >= 900, "terminated after about a second's wait (%lu ms)", took);
    CHECK(elsewhere.Running(), "tarwenApp.exe of another folder keeps running");
    RemoveFile(kQuitLog);
    CleanUp();
    RemoveTree("c:\\twother");
}

// Denies everyone the setting of values in the Run key (everything else is allowed) until it goes.
class RunKeyDenial {
public:
    RunKeyDenial() : m_key(OpenKey(HKEY_LOCAL_MACHINE, kRunKey, READ_CONTROL | WRITE_DAC)), m_original(4096) {
        DWORD size = static_cast<DWORD>(m_original.size());
        PSECURITY_DESCRIPTOR denied = nullptr;
        m_applied = m_key &&
                    RegGetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, m_original.data(), &size) == ERROR_SUCCESS &&
                    ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x2;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                         &denied, nullptr) &&
                    RegSetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, denied) == ERROR_SUCCESS;
        LocalFree(denied);
    }
    ~RunKeyDenial() {
        if (m_applied)
            RegSetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, m_original.data());
    }
    RunKeyDenial(const RunKeyDenial&) = delete;
    RunKeyDenial& operator=(const RunKeyDenial&) = delete;
    bool Applied() const { return m_applied; }

private:
    tw::UniqueKey m_key;
    std::vector<char> m_original;  // the key's security descriptor as it was
    bool m_applied = false;
};

SCENARIO(library_errors) {
    InstallToRemove();
    const std::string windows = Windows();
    {
        // A file in use below the package: its error comes back, every other step still runs.
        Context context("file in use");
        tw::UniqueFileHandle held(CreateFileA("c:\\sysh\\kest\\WRLDR", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        CHECK(static_cast<bool>(held), "c:\\sysh\\kest\\WRLDR held open without sharing");
        LONG result = CallUninstallFiles();
        CHECK(result == ERROR_SHARING_VIOLATION, "the sharing violation comes back (got %ld)", result);
        CHECK(Exists("c:\\sysh\\kest\\WRLDR") && !Exists(windows + "\\twsafe") && !RunValueExists() &&
                  CountKey(ReadBytes(kBootIni), "c:\\wrldr") == 0,
              "it stays, the other steps ran");
    }
    LONG result = CallUninstallFiles();
    CHECK(result == 0 && !Exists(kKest), "file released: the next call removes it and returns 0 (got %ld)", result);

    // No right to set values in the Run key: the access error, the value stays.
    SetValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, REG_SZ, kAutostart + '\0');
    {
        Context context("denied");
        RunKeyDenial denial;
        HKEY probe = nullptr;
        LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &probe);
        tw::UniqueKey ownedProbe(probe);
        CHECK(denial.Applied() && opened == ERROR_ACCESS_DENIED, "the Run key denies KEY_SET_VALUE (open: %ld)", opened);
        result = CallUninstallFiles();
        CHECK(result == ERROR_ACCESS_DENIED, "the access error comes back (got %ld)", result);
        CHECK(RunValueExists(), "the Run value stays");
    }
    result = CallUninstallFiles();
    CHECK(result == 0 && !RunValueExists(), "rights back: the value goes, 0 (got %ld)", result);
    CleanUp();
}

}  // namespace
