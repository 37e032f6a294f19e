// Ties the panel into Windows: the BootExecute entry and the log-on autostart.
#pragma once

// Inserts "twrepair r" into BootExecute unless it is at its place already.
// False when the Session Manager key cannot be opened with full access, the
// value is missing or longer than 380 bytes, or the write fails.
bool RegisterBootExecute();

// Writes the autostart value: the program folder followed by "tarwenApp.exe /h".
void SetAutoRun();
