// BootExecute registration, the log-on autostart and the install records of the settings file.
#include "Registration.h"

#include "BootExecuteList.h"
#include "ProfileFolder.h"
#include "ProfileStream.h"
#include "SettingsPath.h"
#include "WindowsFolder.h"

#include <shlobj.h>

namespace {

constexpr char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char kBootExecuteName[] = "BootExecute";
constexpr DWORD kBootExecuteReadSize = 380;
constexpr DWORD kModulePathSize = 380;

bool IsSystemLeadByte(unsigned char byte) {
    return ::IsDBCSLeadByte(byte) != FALSE;
}

}  // namespace

bool RegisterBootExecute() {
    tw::UniqueKey sessionManager = tw::OpenMachineKey(kSessionManagerKey);
    if (!sessionManager)
        return false;
    char value[kBootExecuteReadSize];
    DWORD size = sizeof value;
    // The type is not looked at: whatever the value holds is read as a list.
    if (::RegQueryValueExA(sessionManager.Get(), kBootExecuteName, nullptr, nullptr,
                           reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        size > sizeof value)
        return false;
    // Built in a buffer of its own, so a value near 380 bytes grows past the read buffer safely.
    std::string edited;
    if (!InsertBootEntry(value, size, &edited))
        return true;
    return ::RegSetValueExA(sessionManager.Get(), kBootExecuteName, 0, REG_MULTI_SZ,
                            reinterpret_cast<const BYTE*>(edited.data()),
                            static_cast<DWORD>(edited.size())) == ERROR_SUCCESS;
}

std::string ProgramFolder() {
    char path[kModulePathSize] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return std::string();  // a cut-off path would name the wrong folder
    return ProgramFolderOf(path);
}

void SetAutoRun() {
    std::string folder = ProgramFolder();
    if (folder.empty())
        return;
    // Stored unquoted, in the form the Run value has always had.
    std::string command = folder + kPanelImageName + kAutoRunArgument;
    tw::UniqueKey run = tw::OpenMachineKey(kRunKeyPath);
    if (!run)
        return;
    ::RegSetValueExA(run.Get(), kAutoRunValueName, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(command.c_str()), static_cast<DWORD>(command.size() + 1));
}

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

void StampSettings(FILE* settings, int number) {
    if (!settings)
        return;
    std::string windows = tw::WindowsFolder();
    if (!windows.empty())
        WriteIniStream(settings, "syspath", windows.c_str());
    WriteUserPath(settings);
    WriteIniStream(settings, "InsSign", std::to_string(number).c_str());
}
