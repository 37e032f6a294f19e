// A driver restore that the repair environment left pending in the settings file.
#pragma once

#include <windows.h>

// IsRepair "333": starts the driver tool with "/restore", clears the flag,
// then renews userpath, the BootExecute entry and the autostart value.
void CheckPendingDriverRestore(HWND owner);
