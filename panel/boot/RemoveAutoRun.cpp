// Removal of the log-on autostart value, shared by the panel's removal step and the uninstaller library.
#include "AutoRun.h"

#include "Handles.h"

void RemoveAutoRun() {
    if (tw::UniqueKey run = tw::OpenMachineKey(kRunKeyPath))
        ::RegDeleteValueA(run.Get(), kAutoRunValueName);
}
