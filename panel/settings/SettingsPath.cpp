// Settings file locations.
#include "SettingsPath.h"

#include "WindowsFolder.h"

const char kDriveSettingsPath[] = "c:\\wispdata.dat";

std::string WindowsSettingsPath() { return tw::WindowsFolderFile("wispdata.dat"); }

tw::UniqueFile OpenSettingsFile(const std::string& path) {
    return tw::UniqueFile(path.empty() ? nullptr : std::fopen(path.c_str(), "rb+"));
}
