// Ends the running control panel on behalf of the uninstaller.
#pragma once

// Posts the quit message to the window titled "Tarwen系统修复" and gives its
// process a second to end, so that it finishes a settings write and takes its
// notification-area icon away; then terminates a process of the autostart
// value's image that still runs (of the name tarwenApp.exe anywhere, when
// there is no such value). Call it before the autostart value is removed.
void EndControlPanel();
