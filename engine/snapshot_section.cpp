// Snapshot sections: formatting and scanning their headers, and telling a
// whole snapshot file from one that an interruption cut short.
#include "snapshot_section.h"

#include <string.h>

#include "text.h"

bool ScanSectionHeader(const char* header, uint32_t* size) {
  uint64_t value = 0;
  int digits = 0;
  for (; digits < kSectionHeaderSize && header[digits] >= '0' && header[digits] <= '9'; ++digits) {
    value = value * 10 + static_cast<uint64_t>(header[digits] - '0');
    if (value > 0x7FFFFFFFu) return false;
  }
  if (digits == 0 || digits == kSectionHeaderSize || header[digits] != '\0') return false;
  *size = static_cast<uint32_t>(value);
  return true;
}

bool SnapshotIsWhole(TwHandle file) {
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
    offset += kSectionHeaderSize + static_cast<uint64_t>(length);
    if (offset > fileSize) return false;
  }
  return offset == fileSize;
}
