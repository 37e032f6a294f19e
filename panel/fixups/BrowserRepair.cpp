// RunBrowserRepair: the package's batch file, waited for.
#include "BrowserRepair.h"

#include "PanelUtil.h"

void RunBrowserRepair() {
    WaitForChild(StartProgram("c:\\sysh\\kest\\Repairie.bat", std::string(), SW_SHOWDEFAULT));
}
