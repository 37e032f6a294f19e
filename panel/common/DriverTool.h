// The driver backup tool DriverCrate.exe, delivered beside the control panel.
#pragma once

// Starts the tool shown, not waited for: without arguments for the button
// "驱动备份还原", with "/restore" for a pending driver restore.
void StartDriverTool(const char* arguments);

// "/backup" right after an installation, waited for without a time limit.
// False when the tool cannot be started.
bool RunDriverBackup();
