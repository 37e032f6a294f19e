// The driver backup tool DriverCrate.exe, delivered beside the control panel.
#pragma once

// Starts the tool shown, not waited for: without arguments for the button
// "驱动备份还原", with "/restore" for a pending driver restore.
void StartDriverTool(const char* arguments);

// "/backup" right after an installation, waited for without a time limit.
// True only when the tool ran and ended with status 0, which it gives when
// every driver file was copied.
bool RunDriverBackup();
