// Reading the snapshot index for listing and checking.
#include "snapshot_index.h"

#include <string.h>

#include <algorithm>


std::string SnapshotFileName(const char* date) {
  char name[kSlotBufferSize];
  // A negative number names no file a boot could have written.
  return SnapshotFileName(date, name, sizeof name) && !strchr(name, '-') ? name : std::string();
}

bool ParseSnapshotIndex(const std::string& bytes, SnapshotIndex* index) {
  *index = SnapshotIndex();
  char slot[kSlotBufferSize];
  auto copySlot = [&](int number) {
    memset(slot, 0, sizeof slot);
    size_t offset = static_cast<size_t>(number) * kSlotSize;
    if (offset < bytes.size()) memcpy(slot, bytes.data() + offset, std::min<size_t>(kSlotSize, bytes.size() - offset));
  };
  copySlot(0);
  if (!ScanIndexNum(slot, &index->count) || index->count < 0 || index->count > kMaxIndexNum) return false;
  int topEnd = index->count < kTopTierSlots ? index->count : kTopTierSlots;
  for (int number = 1; number <= kLastCarrySlot; ++number) {
    if (number > topEnd && number < kFirstCarrySlot) continue;
    IndexLine line;
    line.slot = number;
    copySlot(number);
    line.readable = SplitLine(slot, '\t', &line.item);
    if (line.readable) line.fileName = SnapshotFileName(line.item.Date);
    index->lines.push_back(line);
  }
  return true;
}

bool IsPlaceholder(const IndexLine& line, bool fileExists) {
  return line.readable && line.slot >= kFirstCarrySlot && !fileExists && strcmp(line.item.Sign, "0") == 0;
}
