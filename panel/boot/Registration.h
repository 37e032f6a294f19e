// Ties the panel into Windows: the BootExecute entry, the log-on autostart and the install records in the settings file.
#pragma once

#include "AutoRun.h"

#include <windows.h>

#include <cstdio>
#include <string>

// Inserts "twrepair r" into BootExecute unless it is at its place already.
// False when the Session Manager key cannot be opened with full access, the
// value is missing or longer than 380 bytes, or the write fails.
bool RegisterBootExecute();

// Writes the autostart value: the program folder followed by "tarwenApp.exe /h".
void SetAutoRun();

// Whether Backup0 in the Windows folder's settings file reads "2".
bool IsBootInstalled();
// Writes Backup0 = "2" (installed) or "1"; false when the file cannot be opened or written.
bool SetBootInstalled(bool installed);

// Writes userpath, the user's profile folder, into an open settings file.
// False, with nothing written, when the shell names no desktop folder with a parent.
bool WriteUserPath(FILE* settings, HWND owner = nullptr);

// Writes syspath, userpath and InsSign = number into an open settings file; nothing without one.
void StampSettings(FILE* settings, int number);

// The folder of the running program, trailing backslash kept.
std::string ProgramFolder();
