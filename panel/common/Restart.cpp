// The shutdown privilege, the reboot request and the panel's end; the question of "重启进入Tarwen修复".
#include "Restart.h"

#include "Handles.h"
#include "PanelUtil.h"

namespace {

const char kRestartQuestion[] = "按确定后，电脑将重启，请从系统启动菜单中选择进入Tarwen系统修复！";
const int kQuitAfterRestart = 1;

bool IsNtFamily() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return ::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The privilege counts as granted only when the adjustment leaves no error,
// ERROR_NOT_ALL_ASSIGNED included.
bool EnableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    tw::UniqueKernelHandle ownedToken(token);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
        return false;
    ::SetLastError(ERROR_SUCCESS);
    ::AdjustTokenPrivileges(ownedToken.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    return ::GetLastError() == ERROR_SUCCESS;
}

}  // namespace

void RestartComputer() {
    if (!IsNtFamily() || EnableShutdownPrivilege())
        ::ExitWindowsEx(EWX_REBOOT, 0);
    ::PostQuitMessage(kQuitAfterRestart);
}

void RestartIntoRepair(HWND owner) {
    if (AskOkCancel(owner, kRestartQuestion))
        RestartComputer();
}
