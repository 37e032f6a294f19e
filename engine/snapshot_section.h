// The section format of snapshot files: a 256-byte header that states the
// length of the data in decimal, then the data. A snapshot is four sections.
#pragma once

#include <stdint.h>
#include <string.h>

#include "layer.h"
#include "text.h"

constexpr int kSectionHeaderSize = 256;
constexpr int kSnapshotSections = 4;
// The longest data a header can state as "%d".
constexpr uint32_t kMaxSectionLength = 0x7FFFFFFFu;

// Zero-fills header (kSectionHeaderSize bytes) and prints size into it as "%d".
// Inline, so that the control panel writes the same headers without the layer.
inline void FormatSectionHeader(char* header, uint32_t size) {
  memset(header, 0, kSectionHeaderSize);
  TextBuilder text(header, kSectionHeaderSize);
  text.AppendDecimal(size);
}

// The length a header states: decimal digits without sign or padding, ended
// by a NUL. False for anything else. Inline as well, for the snapshot
// library's checks in the control panel.
inline bool ScanSectionHeader(const char* header, uint32_t* size) {
  uint64_t value = 0;
  int digits = 0;
  for (; digits < kSectionHeaderSize && header[digits] >= '0' && header[digits] <= '9'; ++digits) {
    value = value * 10 + static_cast<uint64_t>(header[digits] - '0');
    if (value > kMaxSectionLength) return false;
  }
  if (digits == 0 || digits == kSectionHeaderSize || header[digits] != '\0') return false;
  *size = static_cast<uint32_t>(value);
  return true;
}

// Where a section's data lies in its snapshot file.
struct SectionPlace {
  uint64_t offset;
  uint32_t length;
};

// Whether an open snapshot file is whole: four sections whose headers scan
// and whose lengths add up to the file's size exactly. places, when given,
// receives the four sections' places.
bool SnapshotIsWhole(TwHandle file, SectionPlace* places = nullptr);
