// Where the control panel's settings files lie, and how they are opened.
#pragma once

#include "Handles.h"

#include <string>

// "\wispdata.dat" in the Windows folder, the copy the boot-time program reads;
// empty when the Windows folder cannot be read.
std::string WindowsSettingsPath();

// The hidden second copy on drive C:.
extern const char kDriveSettingsPath[];

// Opens a settings file for update; never creates one. No file for an empty path.
tw::UniqueFile OpenSettingsFile(const std::string& path);
