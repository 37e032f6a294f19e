// The snapshot index as the tool sees it: every line with its slot and tier,
// and the snapshot file it names, read without writing anything.
#pragma once

#include <string>
#include <vector>

#include "engine.h"

constexpr char kSnapshotFolder[] = "twsafe";
constexpr char kIndexName[] = "bkinfo.dat";

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

// Parses the bytes of an index file. False when its header does not scan as
// a count the engine accepts.
bool ParseSnapshotIndex(const std::string& bytes, SnapshotIndex* index);

// The file name an index date names ("2026-3-5" and "2026-03-05" both give
// "20260305.xff"); empty when it names none.
std::string SnapshotFileName(const char* date);

// Whether a carry-tier line is a placeholder of the shipped template: Sign
// "0" and no snapshot file of its date.
bool IsPlaceholder(const IndexLine& line, bool fileExists);
