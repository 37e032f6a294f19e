// Starts of DriverCrate.exe: plain, backup after installation, pending restore.
#include "DriverTool.h"

#include "Handles.h"
#include "ProfileStream.h"
#include "Registration.h"
#include "SettingsPath.h"

#include <cstring>
#include <string>

void StartDriverTool() {
    ::WinExec("DriverCrate.exe", SW_SHOW);
}

bool RunDriverBackup() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    char commandLine[] = "DriverCrate.exe /backup";  // CreateProcessA may write into it
    if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    tw::UniqueKernelHandle processHandle(process.hProcess);
    tw::UniqueKernelHandle threadHandle(process.hThread);
    ::WaitForSingleObject(processHandle.Get(), INFINITE);
    return true;
}

void CheckPendingDriverRestore(HWND owner) {
    tw::UniqueFile settings = OpenSettingsFile(WindowsSettingsPath());
    if (!settings)
        return;
    char request[kValueBufferSize] = {};
    if (!ReadIniStream(settings.Get(), "IsRepair", request) || std::strcmp(request, "333") != 0)
        return;
    ::WinExec("DriverCrate.exe /restore", SW_SHOW);
    // Cleared before the renewals, so that a second start never runs the tool again.
    WriteIniStream(settings.Get(), "IsRepair", "000");
    WriteUserPath(settings.Get(), owner);
    RegisterBootExecute();
    SetAutoRun();
}
