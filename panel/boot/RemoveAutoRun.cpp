// Removal of the log-on autostart value, shared by the panel's removal step and the uninstaller library.
#include "AutoRun.h"

void RemoveAutoRun() {
    tw::ScopedKey run;
    if (run.OpenMachineKey(tw::kRunKeyPath))
        ::RegDeleteValueA(run.Get(), tw::kAutoRunValueName);
}
