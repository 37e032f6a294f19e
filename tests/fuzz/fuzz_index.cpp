// The index update on arbitrary index files (any slot contents, short files,
// files without NULs), with a snapshot file present for every date the file
// names. The update touches only slots 0 to 31, deletes at most one snapshot
// file, never one whose date the index still lists, and never cuts the file.
#include "fuzz_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzDrive drive;
  std::string index(reinterpret_cast<const char*>(data), size);
  drive.Reset();
  drive.Write("WINDOWS/twsafe/bkinfo.dat", index);
  for (int slot = 1; slot <= 31 && slot * 100 < static_cast<int>(index.size()); ++slot) {
    char line[kSlotBufferSize] = {};
    index.copy(line, kSlotSize, slot * 100);
    TBackupItem item;
    if (!SplitLine(line, '\t', &item)) continue;
    std::string name = SnapshotNameOf(item.Date);
    if (!name.empty() && name.find('/') == std::string::npos) drive.Write("WINDOWS/twsafe/" + name, "x");
  }
  std::set<std::string> before = drive.List("WINDOWS/twsafe");

  HandleBackupInfo("2030-1-1");

  std::string after = drive.Read("WINDOWS/twsafe/bkinfo.dat");
  FUZZ_CHECK(after.size() >= index.size(), "the index is never cut");
  FUZZ_CHECK(after.size() <= std::max<size_t>(index.size(), 3200), "nothing beyond slot 31 is written");
  if (index.size() > 3200) FUZZ_CHECK(after.substr(3200) == index.substr(3200), "bytes beyond slot 31 stay");

  std::set<std::string> now = drive.List("WINDOWS/twsafe");
  size_t deleted = 0;
  for (const std::string& name : before) deleted += now.count(name) ? 0 : 1;
  FUZZ_CHECK(deleted <= 1, "one snapshot file deleted at most");
  for (int slot = 1; slot <= 30; ++slot) {
    char line[kSlotBufferSize] = {};
    if (slot * 100 < static_cast<int>(after.size())) after.copy(line, kSlotSize, slot * 100);
    TBackupItem item;
    if (!SplitLine(line, '\t', &item)) continue;
    std::string name = SnapshotNameOf(item.Date);
    if (before.count(name)) FUZZ_CHECK(now.count(name), "no listed snapshot is deleted");
  }
  return 0;
}
