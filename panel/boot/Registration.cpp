// BootExecute registration and the log-on autostart.
#include "Registration.h"

#include "AutoRun.h"
#include "BootExecuteList.h"
#include "Handles.h"
#include "PanelUtil.h"

#include <string>

namespace {

constexpr char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char kBootExecuteName[] = "BootExecute";
constexpr DWORD kBootExecuteReadSize = 380;

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
