// RunBrowserRepair: the package's batch file, waited for.
#include "BrowserRepair.h"

#include "Handles.h"

#include <windows.h>

void RunBrowserRepair() {
    char commandLine[] = "c:\\sysh\\kest\\Repairie.bat";  // CreateProcess may write into it
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    tw::UniqueKernelHandle processHandle(process.hProcess);
    tw::UniqueKernelHandle threadHandle(process.hThread);
    ::WaitForSingleObject(processHandle.Get(), INFINITE);
}
