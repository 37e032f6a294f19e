// DriverCrate.exe: the driver backup tool delivered beside the control panel.
//   DriverCrate.exe /backup    backs the driver files up and ends (exit 0 when all went well)
//   DriverCrate.exe /restore   restores changed or missing driver files and ends
//   DriverCrate.exe            shows a small window offering both
// Any other argument: exit status 2, nothing done.
#include <windows.h>

#include "DriverBackup.h"
#include "DriverCrateDlg.h"

namespace {

// The command tail without surrounding blanks equals word (ASCII, any case).
bool TailIs(const char* tail, const char* word) {
    while (*tail == ' ' || *tail == '\t')
        ++tail;
    for (; *word; ++tail, ++word) {
        char c = (*tail >= 'A' && *tail <= 'Z') ? static_cast<char>(*tail - 'A' + 'a') : *tail;
        if (c != *word)
            return false;
    }
    while (*tail == ' ' || *tail == '\t')
        ++tail;
    return *tail == '\0';
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int) {
    if (TailIs(commandTail, "/backup"))
        return driver_crate::BackupDrivers() ? 0 : 1;
    if (TailIs(commandTail, "/restore"))
        return driver_crate::RestoreDrivers() ? 0 : 1;
    if (!TailIs(commandTail, ""))
        return 2;
    driver_crate::RunDriverCrateDialog(instance);
    return 0;
}
