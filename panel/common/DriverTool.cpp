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
    return WaitForChild(RunProgramBeside(kDriverTool, "/backup", SW_SHOWDEFAULT));
}
