// The small window of DriverCrate.exe, started without arguments: one button
// for a backup, one for a restore, and a line that tells how it went.
#pragma once

#include <windows.h>

namespace driver_crate {

// Shows the window modally until the user closes it.
void RunDriverCrateDialog(HINSTANCE instance);

}  // namespace driver_crate
