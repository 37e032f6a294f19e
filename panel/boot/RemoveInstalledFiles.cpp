// The removal step of the uninstall command.
#include "UninstallBoot.h"

#include "AutoRun.h"
#include "BootMenu.h"
#include "Removal.h"
#include "WindowsFolder.h"

#include <string>

void RemoveInstalledFiles() {
    DeleteTree(kPackageFolder);
    // Without the Windows folder, "\twsafe" would name a folder at the root of the current drive.
    const std::string windows = WindowsFolder();
    if (!windows.empty()) {
        DeleteTree((windows + "\\twsafe").c_str());
        ::DeleteFileA((windows + "\\system32\\twrepair.exe").c_str());
    }
    KillProcessByName("twsystem.exe");
    RemoveAutoRun();
    RemoveBootMenuEntries();
}
