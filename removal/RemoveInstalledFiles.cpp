// The one removal sequence of the boot integration, run by the panel's uninstall dialog and by ShelfLib.dll.
#include "Removal.h"

#include "AutoRun.h"
#include "BootMenu.h"
#include "Handles.h"
#include "WindowsFolder.h"

#include <string>

namespace {

// The package's own process, which runs from the package folder.
const char kPackageProcessName[] = "twsystem.exe";

// Deletes a subkey of the autostart value's name below the Run key, which needs
// the Run key with full access: the error of opening it, else of closing it.
LONG RemoveAutoRunSubkey() {
    HKEY key = nullptr;
    LONG opened = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKeyPath, 0, KEY_ALL_ACCESS, &key);
    if (opened != ERROR_SUCCESS)
        return opened;
    tw::UniqueKey run(key);
    ::RegDeleteKeyA(run.Get(), kAutoRunValueName);
    return ::RegCloseKey(run.Release());
}

}  // namespace

DWORD RemoveInstalledFiles() {
    FirstError error;
    // The package's process goes first: the image file of a running program cannot be deleted.
    KillProcessByName(kPackageProcessName);
    error.Note(DeleteTree(kPackageFolder));
    // Without the Windows folder, "\twsafe" would name a folder at the root of the current drive.
    const std::string windows = tw::WindowsFolder();
    if (windows.empty()) {
        error.Note(ERROR_BAD_PATHNAME);
    } else {
        error.Note(DeleteTree((windows + "\\twsafe").c_str()));
        error.NoteLastErrorUnless(::DeleteFileA((windows + "\\system32\\twrepair.exe").c_str()));
    }
    error.Note(RemoveAutoRun());
    // Its answer is not counted: it is false also on a machine without boot.ini, where no entry is left.
    RemoveBootMenuEntries();
    error.Note(RemoveAutoRunSubkey());
    return error.Get();
}
