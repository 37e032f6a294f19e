// Command "卸载引导": the confirmation, the removal dialog and the new state.
#pragma once

#include <windows.h>

#include <functional>

// After OK in the confirmation, runs the removal dialog; when the removal ran,
// records the not-installed state and calls showInstalled(false). A dialog
// closed before its first tick removes nothing and changes nothing.
void UninstallBootIntegration(HWND owner, const std::function<void(bool installed)>& showInstalled);
