// The control panel's log-on autostart value. Free of panel code: the uninstaller library builds RemoveAutoRun in.
#pragma once

// Under HKEY_LOCAL_MACHINE.
constexpr char kRunKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// The product's display name (Tarwen system repair).
constexpr char kAutoRunValueName[] = "Tarwen系统修复";

// Deletes the autostart value; nothing happens when the Run key cannot be opened.
void RemoveAutoRun();
