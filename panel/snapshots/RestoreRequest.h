// The restore requests of the snapshot dialog: a hive of a snapshot made ready for the boot-time
// program, or the hives it replaced put back, each followed by the question to restart.
#pragma once

#include <windows.h>

#include "SnapshotRows.h"
#include "restore_files.h"

enum class RequestOutcome {
    kRestarting,  // requested; the computer restarts and the panel ends
    kWithdrawn,   // the user said no: nothing waits for the next boot
    kRefused,     // the section cannot be used; the user was told
    kFailed,      // a file or the settings could not be written; the user was told
};

// Checks the request's section of the row's snapshot (a dirty one only after a question that
// says so), writes it whole and flushed to the request's file, sets the request and SignRun to
// "111" and asks to restart: OK restarts, Cancel withdraws the request (the file deleted, both
// keys "000"). Each refusal and failure is one message box, every file and key left as it was.
// *checked receives the section's check.
RequestOutcome RequestHiveRestore(HWND owner, const SnapshotRow& row, const HiveRequest& request,
                                  SnapshotReport* checked);

// The hives the last restores replaced and kept: the user's BKDATA3.DAT, software.twb.
struct SavedHives {
    bool user = false;
    bool software = false;
    bool Any() const { return user || software; }
};
SavedHives FindSavedHives();

// Sets "222" for each saved hive and SignRun, and asks to restart as RequestHiveRestore does.
RequestOutcome RequestUndo(HWND owner, const SavedHives& saved);
