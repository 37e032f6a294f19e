// What the commands of twsnap share: finding snapshots and the index,
// printing, saying what a write came to and setting the request flags.
#pragma once

#include <stdint.h>

#include <string>

#include "restore_files.h"
#include "snap_commands.h"
#include "snapshot_check.h"
#include "snapshot_index.h"

// A snapshot named on the command line: a day ("2026-03-05", "2026-3-5",
// "20260305"), a file name in the snapshot folder, or a path.
struct SnapshotTarget {
  std::string shown;  // how messages name it
  SnapPath path;
};
// False (a usage error) when the text is none of those.
bool LocateSnapshot(const std::string& text, SnapshotTarget* target);

// Reads the index; false with a message when it cannot be read.
bool ReadIndex(SnapshotIndex* index);

void PrintLine(const std::string& text);  // standard output
void PrintError(const std::string& text);  // standard error, "twsnap: " first
void PrintProgress(const SnapOptions& options, const std::string& what, uint64_t bytes);

// Opens and checks a snapshot; false with a message when it cannot be opened.
bool OpenAndCheck(const SnapshotTarget& target, SnapFile* file, SnapshotReport* report);

// Says what a write of length bytes to path came to: the progress line,
// with what naming the data, or why nothing was written. True when written.
bool ReportWrite(WriteOutcome outcome, const SnapPath& path, uint64_t length, const SnapOptions& options,
                 const std::string& what);

// Sets IsRepair and SignRun in the settings file with the engine's writer,
// and puts the file on the disk.
bool SetRepairRequest(const char* value);
