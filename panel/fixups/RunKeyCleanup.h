// Removal of log-on autostart values whose programs are missing.
#pragma once

#include <windows.h>

// Deletes the values of root's "SOFTWARE\Microsoft\Windows\CurrentVersion\Run" key whose
// string data names a missing program (CheckRunPath). Nothing when the key cannot be opened.
void CleanRunKey(HKEY root);
