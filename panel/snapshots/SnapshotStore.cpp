// The snapshot library over this installation's Windows folder.
#include "SnapshotStore.h"

#include "WindowsFolder.h"

#include <cstdio>

bool UseThisInstallation() {
    static bool used = false;
    std::string windows = tw::WindowsFolder(), why;
    if (!used && !windows.empty())
        used = SetInstallation(windows.substr(0, 3), windows, &why);
    return used;
}

SnapshotListing ReadSnapshotListing(const SnapshotVerdicts& verdicts) {
    SnapshotListing listing;
    SnapshotIndex index;
    if (!UseThisInstallation())
        return listing;
    listing.indexRead = ReadSnapshotIndex(&index);
    listing.files = SnapshotFilesInFolder();
    listing.rows = BuildSnapshotRows(index, listing.files, verdicts);
    return listing;
}

std::string TodayAsBootReckons() {
    SYSTEMTIME now = {};
    ::GetSystemTime(&now);
    char date[32];
    std::snprintf(date, sizeof date, "%d-%d-%d", now.wYear, now.wMonth, now.wDay);
    return date;
}

bool TodaysSnapshotMissing(const SnapshotFiles& files) { return SnapshotOfDayMissing(files, TodayAsBootReckons()); }

std::string IndexPathShown() { return ShowPath(SnapshotFile(kIndexName)); }
