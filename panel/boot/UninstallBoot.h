// Command "卸载引导": the confirmation, the removal dialog and the new state.
#pragma once

#include <windows.h>

#include <functional>

// What the install command deployed, removed in order: the package's process,
// the package, the snapshot store, the boot-time program, the autostart value
// and the boot menu entries. BootExecute, c:\WRLDR, the time-out and
// both settings files stay.
void RemoveInstalledFiles();

// After OK in the confirmation, runs the removal dialog; when the removal ran,
// records the not-installed state and calls showInstalled(false). A dialog
// closed before its first tick removes nothing and changes nothing.
void UninstallBootIntegration(HWND owner, const std::function<void(bool installed)>& showInstalled);
