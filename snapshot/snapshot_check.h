// Checks a snapshot file: its four section headers and sizes, and the
// registry hive in each non-empty section, reading the file once (at once or
// a section at a time), or one section alone.
#pragma once

#include <stdint.h>

#include <memory>
#include <vector>

#include "byte_stream.h"
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

// Checks an open snapshot from its start one section at a time, reading
// each byte once, so that a window can spread the work over its timer ticks.
// The file and the memory (when given) must outlive the check.
class SnapshotCheck {
 public:
  SnapshotCheck(SnapFile* file, HiveCheckMemory* memory = nullptr);
  SnapshotCheck(const SnapshotCheck&) = delete;
  SnapshotCheck& operator=(const SnapshotCheck&) = delete;

  // Checks the next section's header and hive. A header that states no
  // trustworthy size ends the check: nothing after it can be found.
  void CheckNextSection();
  bool Done() const { return m_done; }
  // False when the file could not be sized: then nothing was checked.
  bool Sized() const { return m_sized; }
  const SnapshotReport& report() const { return m_report; }

 private:
  void Finish(HiveFault fault, int section);

  HiveCheckMemory m_ownMemory;
  HiveCheckMemory* m_memory;
  ByteStream m_stream;
  SnapshotReport m_report;
  uint64_t m_position = 0;
  int m_next = 0;
  bool m_sized = false;
  bool m_done = false;
};

// The whole check at once. False only when the file could not be sized;
// every damage found is in the report.
bool CheckSnapshot(SnapFile* file, SnapshotReport* report, HiveCheckMemory* memory = nullptr);

// Checks the hive of one section alone, found through the headers before
// it, without reading the sections before it. The report holds that section
// and those before it (their hives unchecked), or the header fault that
// stopped the search. False only when the file could not be sized.
bool CheckSection(SnapFile* file, int index, SnapshotReport* report, HiveCheckMemory* memory = nullptr);

// Reads only the four section headers, for a listing: their lengths, or
// false when one is missing, not decimal or overruns the file.
bool ReadSectionLengths(SnapFile* file, uint64_t lengths[kSnapshotSections]);

// Checks a plain hive file (an extracted or a replaced hive).
bool CheckHiveFile(SnapFile* file, SectionReport* report, HiveCheckMemory* memory = nullptr);
