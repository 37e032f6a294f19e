// Starts of DriverCrate.exe from the control panel's folder.
#include "DriverTool.h"

#include "PanelUtil.h"

namespace {
const char kDriverTool[] = "DriverCrate.exe";
}  // namespace

void StartDriverTool(const char* arguments) {
    RunProgramBeside(kDriverTool, arguments, SW_SHOW);
}

bool RunDriverBackup() {
    tw::UniqueKernelHandle tool = RunProgramBeside(kDriverTool, "/backup", SW_SHOWDEFAULT);
    DWORD status = 1;
    return WaitForChild(tool) && ::GetExitCodeProcess(tool.Get(), &status) && status == 0;
}
