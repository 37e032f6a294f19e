// UninstallFiles: the removal steps of the boot integration, without a user interface, and the end of the control panel.
#include "UninstallFiles.h"

#include "AutoRun.h"
#include "BootMenu.h"
#include "EndControlPanel.h"
#include "Handles.h"
#include "Removal.h"
#include "WindowsFolder.h"

#include <string>

namespace {

// Deletes a subkey of the autostart value's name below the Run key, which needs
// the Run key with full access. The result of closing the key is the answer,
// so the owner hands the key back for that close.
LONG RemoveAutoRunSubkey() {
    HKEY key = nullptr;
    LONG opened = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKeyPath, 0, KEY_ALL_ACCESS, &key);
    if (opened != ERROR_SUCCESS)
        return opened;
    tw::UniqueKey run(key);
    ::RegDeleteKeyA(run.Get(), kAutoRunValueName);
    return ::RegCloseKey(run.Release());
}

// Every step runs; the first removal that left something in place is what the
// uninstaller hears about, else the answer of the Run key's last edit.
LONG RemoveEverything() {
    FirstError error;
    error.Note(DeleteTree(kPackageFolder));
    // Without the Windows folder, "\twsafe" would name a folder at the root of the current drive.
    const std::string windows = tw::WindowsFolder();
    if (windows.empty()) {
        error.Note(ERROR_BAD_PATHNAME);
    } else {
        error.Note(DeleteTree((windows + "\\twsafe").c_str()));
        error.NoteLastErrorUnless(::DeleteFileA((windows + "\\system32\\twrepair.exe").c_str()));
    }
    EndControlPanel();  // reads the autostart value, so before it goes
    error.Note(RemoveAutoRun());
    // Its answer is not counted: it is false also on a machine without boot.ini, where no entry is left.
    RemoveBootMenuEntries();
    LONG closed = RemoveAutoRunSubkey();
    return error.Get() != ERROR_SUCCESS ? static_cast<LONG>(error.Get()) : closed;
}

}  // namespace

extern "C" LONG __cdecl UninstallFiles(void) {
    try {
        return RemoveEverything();
    } catch (...) {  // std::bad_alloc of a path; no exception may reach the uninstaller
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}
