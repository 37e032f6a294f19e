// Snapshot sections: telling a whole snapshot file from one that an
// interruption cut short.
#include "snapshot_section.h"

bool SnapshotIsWhole(TwHandle file, SectionPlace* places) {
  uint64_t fileSize = 0;
  if (!LayerQueryFileSize(file, &fileSize)) return false;
  uint64_t offset = 0;
  for (int section = 0; section < kSnapshotSections; ++section) {
    char header[kSectionHeaderSize];
    uint32_t done = 0;
    uint32_t length = 0;
    if (!LayerReadFile(file, header, kSectionHeaderSize, &offset, &done) || done != kSectionHeaderSize ||
        !ScanSectionHeader(header, &length)) {
      return false;
    }
    offset += kSectionHeaderSize;
    if (places) places[section] = {offset, length};
    offset += length;
    if (offset > fileSize) return false;
  }
  return offset == fileSize;
}
