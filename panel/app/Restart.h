// Restart into the repair environment, which the user then picks from the boot menu.
#pragma once

#include <windows.h>

// Asks first; after OK requests a reboot (on the NT family only with the
// shutdown privilege) and posts the quit message, whether or not the system
// agreed to restart.
void RestartIntoRepair(HWND owner);
