// Where the control panel's settings files lie.
#pragma once

#include <string>

// "\wispdata.dat" in the Windows folder, the copy the boot-time program reads.
std::string WindowsSettingsPath();

// The hidden second copy on drive C:.
extern const char kDriveSettingsPath[];
