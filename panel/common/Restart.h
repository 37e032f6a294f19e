// Restarting the computer: into the repair environment, which the user then picks from the boot
// menu, or to finish a restore that the boot-time program carries out.
#pragma once

#include <windows.h>

// Requests a reboot (on the NT family only with the shutdown privilege) and posts the quit
// message, whether or not the system agreed to restart.
void RestartComputer();

// Asks first; after OK restarts as RestartComputer does.
void RestartIntoRepair(HWND owner);
