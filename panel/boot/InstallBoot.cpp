// The install command: every step in order, each checked, the first failure named to the user.
#include "InstallBoot.h"

#include "BootMenu.h"
#include "CommitStream.h"
#include "DriverTool.h"
#include "PanelUtil.h"
#include "ProfileStream.h"
#include "Registration.h"
#include "SettingsPath.h"
#include "SettingsValues.h"
#include "SnapshotSeed.h"
#include "WindowsFolder.h"

#include <string>

namespace {

const char kRegistryError[] = "不能读写注册表，可能你在杀毒软件中禁止本程序读写注册表";
const char kInstalledMessage[] = "引导安装完成!";
const char kNoRestoreEntryNote[] =
    "\n\n启动菜单中没有加入“Tarwen: restore last good registry”一项："
    "c:\\boot.ini 的 default= 没有指向 [operating systems] 中的任何一行。";
const char kFailurePrefix[] = "引导安装未完成：";

const char kUnpackerName[] = "twsysh.exe";
const char kPackageSettings[] = "c:\\sysh\\kest\\data\\wispdata.dat";
const char kPackageIndex[] = "c:\\sysh\\kest\\data\\bkinfo.dat";
const char kPackageBootProgram[] = "c:\\sysh\\kest\\twrepair.exe";
const char kPackageCdBootSector[] = "c:\\sysh\\kest\\BOOTSECT.cdr";

bool Exists(const char* path) {
    return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The first package file that the unpacker did not leave behind; null when all are there.
const char* MissingPackageFile() {
    const char* const required[] = {kPackageLoaderPath, kPackageCdBootSector, kPackageBootProgram, kPackageSettings,
                                    kPackageIndex};
    for (const char* path : required) {
        if (!Exists(path))
            return path;
    }
    return nullptr;
}

// Writes syspath and userpath into the package's settings file before it is
// copied, so that a first installation gets this machine's values.
bool PrepareInstalledSettings(const std::string& windows, HWND owner) {
    tw::UniqueFile settings = OpenSettingsFile(kPackageSettings);
    return settings && WriteIniStream(settings.Get(), "syspath", windows.c_str()) &&
           WriteUserPath(settings.Get(), owner);
}

// The steps between the package check and the recorded state; on failure,
// what failed, in words for the user. The loader is copied first and boot.ini
// edited last: whichever step fails, boot.ini is as it was, and no menu entry
// names a loader that is not there. *entries tells which entries boot.ini got.
bool RunInstallSteps(HWND owner, std::string* failure, BootMenuEntries* entries) {
    // The loader and the boot-time program are on the disk before anything names them.
    if (!::CopyFileA(kPackageLoaderPath, kBootLoaderPath, FALSE) || !CommitFile(kBootLoaderPath)) {
        *failure = std::string("不能复制 ") + kBootLoaderPath;
        return false;
    }
    const std::string windows = tw::WindowsFolder();
    if (windows.empty()) {
        *failure = "不能读取Windows文件夹";
        return false;
    }
    if (!PrepareInstalledSettings(windows, owner)) {
        *failure = std::string("不能写入 ") + kPackageSettings;
        return false;
    }
    // An earlier installation's settings are kept with all their keys.
    for (const std::string& target : {std::string(kDriveSettingsPath), windows + "\\wispdata.dat"}) {
        if (!Exists(target.c_str()) && !::CopyFileA(kPackageSettings, target.c_str(), TRUE)) {
            *failure = "不能复制 " + target;
            return false;
        }
    }
    ::SetFileAttributesA(kDriveSettingsPath, FILE_ATTRIBUTE_HIDDEN);
    const std::string store = windows + "\\twsafe";
    ::CreateDirectoryA(store.c_str(), nullptr);
    const std::string index = store + "\\bkinfo.dat";
    if (!::CopyFileA(kPackageIndex, index.c_str(), FALSE)) {
        *failure = "不能复制 " + index;
        return false;
    }
    const std::string bootProgram = windows + "\\system32\\twrepair.exe";
    if (!::CopyFileA(kPackageBootProgram, bootProgram.c_str(), FALSE) || !CommitFile(bootProgram.c_str())) {
        *failure = "不能复制 " + bootProgram;
        return false;
    }
    SetAutoRun();
    if (!SeedFirstSnapshot()) {
        *failure = "不能写入第一个注册表快照 " + store + "\\11111111.xff";
        return false;
    }
    if (!RunDriverBackup()) {
        *failure = "不能用 DriverCrate.exe 备份全部驱动";
        return false;
    }
    *entries = AddBootMenuEntries();
    if (*entries == BootMenuEntries::kNone) {
        *failure = "不能修改启动菜单 c:\\boot.ini";
        return false;
    }
    return true;
}

}  // namespace

void InstallBootIntegration(HWND owner, const std::function<void(bool installed)>& showInstalled) {
    if (!RegisterBootExecute()) {
        ShowError(owner, kRegistryError);
        return;
    }
    if (!WaitForChild(RunProgramBeside(kUnpackerName, std::string(), SW_SHOWDEFAULT)))
        return;  // no package without its unpacker; only the BootExecute entry is left
    std::string failure;
    BootMenuEntries entries = BootMenuEntries::kNone;
    if (const char* missing = MissingPackageFile()) {
        failure = std::string("修复环境的文件 ") + missing + " 不存在";
    } else if (RunInstallSteps(owner, &failure, &entries)) {
        if (SetBootInstalled(true)) {
            showInstalled(true);
            const bool withRestore = entries == BootMenuEntries::kAll;
            ShowNotice(owner, (kInstalledMessage + std::string(withRestore ? "" : kNoRestoreEntryNote)).c_str());
            return;
        }
        failure = "不能写入设置文件 " + WindowsSettingsPath();
    }
    ShowError(owner, (kFailurePrefix + failure + "!").c_str());
}
