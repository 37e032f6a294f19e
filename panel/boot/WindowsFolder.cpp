// The Windows folder, with one failure rule for every caller.
#include "WindowsFolder.h"

#include <windows.h>

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    UINT length = ::GetWindowsDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return std::string();
    return folder;
}
