// The pending driver restore, checked once at each start of the panel.
#include "DriverRestore.h"

#include "DriverTool.h"
#include "ProfileStream.h"
#include "Registration.h"
#include "SettingsPath.h"
#include "SettingsValues.h"

#include <cstring>

void CheckPendingDriverRestore(HWND owner) {
    tw::UniqueFile settings = OpenSettingsFile(WindowsSettingsPath());
    if (!settings)
        return;
    char request[kValueBufferSize] = {};
    if (!ReadIniStream(settings.Get(), "IsRepair", request) || std::strcmp(request, "333") != 0)
        return;
    StartDriverTool("/restore");
    // Cleared before the renewals, so that a second start never runs the tool again.
    WriteIniStream(settings.Get(), "IsRepair", "000");
    WriteUserPath(settings.Get(), owner);
    RegisterBootExecute();
    SetAutoRun();
}
