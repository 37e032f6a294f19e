// The removal step of the uninstall command.
#include "UninstallBoot.h"

#include "AutoRun.h"
#include "BootMenu.h"
#include "Removal.h"
#include "WindowsFolder.h"

#include <string>

void RemoveInstalledFiles() {
    // The package's process goes first: the image file of a running program cannot be deleted.
    KillProcessByName("twsystem.exe");
    DeleteTree(kPackageFolder);
    // Without the Windows folder, "\twsafe" would name a folder at the root of the current drive.
    const std::string windows = tw::WindowsFolder();
    if (!windows.empty()) {
        DeleteTree((windows + "\\twsafe").c_str());
        ::DeleteFileA((windows + "\\system32\\twrepair.exe").c_str());
    }
    RemoveAutoRun();
    RemoveBootMenuEntries();
}
