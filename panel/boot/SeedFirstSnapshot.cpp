// The installation snapshot in the Windows folder that the platform reports.
#include "SnapshotSeed.h"

#include "WindowsFolder.h"

bool SeedFirstSnapshot() {
    return SeedSnapshotIn(tw::WindowsFolder(), '\\');
}
