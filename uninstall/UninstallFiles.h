// The one export of ShelfLib.dll, for the product's uninstaller.
#pragma once

#include <windows.h>

// Takes the boot integration and the running control panel off the machine.
// No arguments, so callers may bind it as cdecl or stdcall alike. Returns 0,
// or the Win32 error code of the first step that left something in place.
extern "C" LONG __cdecl UninstallFiles(void);
