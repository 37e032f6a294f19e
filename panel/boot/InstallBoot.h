// Command "安装引导": the whole boot integration in one pass.
#pragma once

#include <windows.h>

#include <functional>

// Registers the boot-time program, has twsysh.exe unpack the package, deploys
// the files, turns on the autostart, seeds the first snapshot, has
// DriverCrate.exe back the drivers up and adds the boot menu entries last.
// Each step that fails ends the command with a message naming it, leaving the
// installed state as it was; only a whole installation records itself and
// calls showInstalled(true). owner owns the message boxes.
void InstallBootIntegration(HWND owner, const std::function<void(bool installed)>& showInstalled);
