// The values the control panel keeps in its settings files: the install state, the user's profile folder, the installation stamp, the day of the last missing-snapshot warning, and the boot-time restore's record.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

// Whether Backup0 in the Windows folder's settings file reads "2".
bool IsBootInstalled();
// Writes Backup0 = "2" (installed) or "1"; false when the file cannot be opened or written.
bool SetBootInstalled(bool installed);

// Writes userpath, the user's profile folder, into an open settings file.
// False, with nothing written, when the shell names no desktop folder with a parent.
bool WriteUserPath(FILE* settings, HWND owner = nullptr);

// Whether the warning of a missing snapshot is due on day (a UTC date, "%d-%d-%d"): not yet given
// that day. Records day in SnapWarned, so that the warning comes once a day.
bool FirstSnapshotWarningOfDay(const std::string& day);

// Writes syspath, userpath and InsSign = number into an open settings file; nothing without one.
void StampSettings(FILE* settings, int number);

// What the boot-time program recorded of the last boot that restored the registry from a snapshot:
// BootRestoreDay, the day of that boot, and BootRestoreFrom, the snapshot's day, as it wrote them
// ("%d-%d-%d"); both empty unless both keys are there.
struct BootRestoreRecord {
    std::string day, from;
};
BootRestoreRecord ReadBootRestoreRecord();
