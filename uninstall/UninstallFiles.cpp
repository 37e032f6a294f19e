// UninstallFiles: the end of the control panel, then the removal sequence the panel's uninstall runs too.
#include "UninstallFiles.h"

#include "EndControlPanel.h"
#include "Removal.h"

extern "C" LONG __cdecl UninstallFiles(void) {
    try {
        EndControlPanel();  // reads the autostart value, so before the removal deletes it
        return static_cast<LONG>(RemoveInstalledFiles());
    } catch (...) {  // std::bad_alloc of a path; no exception may reach the uninstaller
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}
