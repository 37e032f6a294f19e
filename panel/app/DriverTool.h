// The driver backup tool DriverCrate.exe, started by its bare name so the system's program search finds it.
#pragma once

#include <windows.h>

// "驱动备份还原": the tool shown, not waited for.
void StartDriverTool();

// "/backup" right after an installation, waited for without a time limit.
// False when the tool cannot be started.
bool RunDriverBackup();

// A driver restore that the repair environment left pending (IsRepair "333"):
// starts the tool with "/restore", clears the flag, then renews userpath,
// the BootExecute entry and the autostart value.
void CheckPendingDriverRestore(HWND owner);
