// The snapshots of this installation as the control panel reads them, through the snapshot library:
// the index and the snapshot folder's listing, never the snapshots themselves.
#pragma once

#include <string>
#include <vector>

#include "SnapshotRows.h"

struct SnapshotListing {
    bool indexRead = false;
    SnapshotFiles files;
    std::vector<SnapshotRow> rows;
};

// Points the snapshot library at this Windows installation; false when its folder is unknown.
bool UseThisInstallation();

SnapshotListing ReadSnapshotListing(const SnapshotVerdicts& verdicts);

// Today as the boot-time program reckons it (UTC, without a time zone), "%d-%d-%d".
std::string TodayAsBootReckons();
bool TodaysSnapshotMissing(const SnapshotFiles& files);

// The index file as messages name it.
std::string IndexPathShown();
