// The snapshot folder and its index as the snapshot library sees them: every
// index line with its slot and tier and the snapshot file it names, and the
// snapshot files that lie in the folder, read without writing anything.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "index_line.h"
#include "snap_platform.h"

constexpr char kSnapshotFolder[] = "twsafe";
constexpr char kIndexName[] = "bkinfo.dat";
// The file of the snapshot written at installation, from the \repair hives.
constexpr char kInstallationSnapshot[] = "11111111.xff";

struct IndexLine {
  int slot = 0;
  bool readable = false;  // split into three fields
  TBackupItem item = {};
  std::string fileName;   // "YYYYMMDD.xff", empty when the date names no file
};

struct SnapshotIndex {
  int count = 0;
  std::vector<IndexLine> lines;  // top tier up to the count, then the carry tier
};

SnapPath SnapshotFolder();
// A file in the snapshot folder, by name.
SnapPath SnapshotFile(const std::string& name);

// Parses the bytes of an index file. False when its header does not scan as
// a count the engine accepts.
bool ParseSnapshotIndex(const std::string& bytes, SnapshotIndex* index);
// Reads and parses the index of the installation; false when it cannot.
bool ReadSnapshotIndex(SnapshotIndex* index);

// The file name an index date names ("2026-3-5" and "2026-03-05" both give
// "20260305.xff"); empty when it names none.
std::string SnapshotFileName(const char* date);

// The snapshot files (*.xff, in any case) of the snapshot folder, by their
// lower-case names; none when the folder cannot be listed.
using SnapshotFiles = std::map<std::string, FolderFile>;
SnapshotFiles SnapshotFilesInFolder();
std::string LowerCase(std::string text);

// Whether a carry-tier line is a placeholder of the shipped template: Sign
// "0" and no snapshot file of its date.
bool IsPlaceholder(const IndexLine& line, bool fileExists);

// The snapshots the index lists, in index order, each file once: the lines
// that split and name a file, less the template's placeholders.
std::vector<IndexLine> ListedSnapshots(const SnapshotIndex& index, const SnapshotFiles& files);
