// Checks a whole snapshot file: its four section headers and sizes, and the
// registry hive in each non-empty section, reading the file once.
#pragma once

#include <stdint.h>

#include <memory>
#include <vector>

#include "hive_check.h"
#include "snap_platform.h"

// The sections in file order, by the names the command line uses.
extern const char* const kSectionNames[kSnapshotSections];

struct SectionReport {
  bool present = false;     // its header was read
  uint64_t offset = 0;      // of the hive's first byte in the file
  uint64_t length = 0;
  HiveFault fault = HiveFault::kNone;
  bool dirty = false;
};

struct SnapshotReport {
  uint64_t fileSize = 0;
  HiveFault fileFault = HiveFault::kNone;  // of the file as a whole
  int faultSection = -1;                   // the section the file fault lies in
  SectionReport sections[kSnapshotSections];

  bool Damaged() const;
  bool Dirty() const;
};

// What the checks of several files may share, so that a hive is not given
// fresh memory each time: the hive data, held whole for the walk of its key
// tree, and the walk's working memory.
struct HiveCheckMemory {
  std::unique_ptr<uint8_t[]> data;
  size_t dataBytes = 0;
  std::vector<uint32_t> work;
};

// Checks the open snapshot from its start. False only when the file could
// not be sized; every damage found is in the report.
bool CheckSnapshot(SnapFile* file, SnapshotReport* report, HiveCheckMemory* memory = nullptr);

// Reads only the four section headers, for a listing: their lengths, or
// false when one is missing, not decimal or overruns the file.
bool ReadSectionLengths(SnapFile* file, uint64_t lengths[kSnapshotSections]);

// Checks a plain hive file (an extracted or a replaced hive).
bool CheckHiveFile(SnapFile* file, SectionReport* report, HiveCheckMemory* memory = nullptr);
