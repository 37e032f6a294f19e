// Settings file locations.
#include "SettingsPath.h"

#include <windows.h>

const char kDriveSettingsPath[] = "c:\\wispdata.dat";

std::string WindowsSettingsPath() {
    char folder[256] = {};
    UINT length = ::GetWindowsDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        folder[0] = '\0';  // a relative name is better than a truncated folder
    return std::string(folder) + "\\wispdata.dat";
}
