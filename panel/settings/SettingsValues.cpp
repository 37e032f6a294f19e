// Settings values written and read through the settings streams.
#include "SettingsValues.h"

#include "ProfileFolder.h"
#include "ProfileStream.h"
#include "SettingsPath.h"
#include "WindowsFolder.h"

#include <shlobj.h>

#include <string>

namespace {

bool IsSystemLeadByte(unsigned char byte) {
    return ::IsDBCSLeadByte(byte) != FALSE;
}

}  // namespace

bool IsBootInstalled() {
    tw::UniqueFile settings = OpenSettingsFile(WindowsSettingsPath());
    char value[kValueBufferSize] = {};
    return settings && ReadIniStream(settings.Get(), "Backup0", value) && std::string(value) == "2";
}

bool SetBootInstalled(bool installed) {
    tw::UniqueFile settings = OpenSettingsFile(WindowsSettingsPath());
    return settings && WriteIniStream(settings.Get(), "Backup0", installed ? "2" : "1");
}

bool WriteUserPath(FILE* settings, HWND owner) {
    if (!settings)
        return false;
    char desktop[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathA(owner, desktop, CSIDL_DESKTOP, FALSE))
        return false;
    // The parent of the desktop, not a fixed cut: the desktop's name differs between languages.
    std::string folder;
    if (!ProfileFolderFromDesktop(desktop, IsSystemLeadByte, &folder))
        return false;
    return WriteIniStream(settings, "userpath", UserPathValue(folder).c_str());
}

bool FirstSnapshotWarningOfDay(const std::string& day) {
    tw::UniqueFile settings = OpenSettingsFile(WindowsSettingsPath());
    char value[kValueBufferSize] = {};
    if (!settings || (ReadIniStream(settings.Get(), "SnapWarned", value) && day == value))
        return false;
    WriteIniStream(settings.Get(), "SnapWarned", day.c_str());
    return true;
}

void StampSettings(FILE* settings, int number) {
    if (!settings)
        return;
    std::string windows = tw::WindowsFolder();
    if (!windows.empty())
        WriteIniStream(settings, "syspath", windows.c_str());
    WriteUserPath(settings);
    WriteIniStream(settings, "InsSign", std::to_string(number).c_str());
}

BootRestoreRecord ReadBootRestoreRecord() {
    BootRestoreRecord record;
    tw::UniqueFile settings = OpenSettingsFile(WindowsSettingsPath());
    char day[kValueBufferSize] = {}, from[kValueBufferSize] = {};
    if (settings && ReadIniStream(settings.Get(), "BootRestoreDay", day) &&
        ReadIniStream(settings.Get(), "BootRestoreFrom", from)) {
        record.day = day;
        record.from = from;
    }
    return record;
}
