// One section of a snapshot file: a 256-byte header with the data length in
// decimal, then the data. Shared by the boot-time program and the control
// panel's installation snapshot, so that both write the same bytes.
#pragma once

#include <stdint.h>
#include <string.h>

#include "text.h"

constexpr int kSectionHeaderSize = 256;
// Sources are copied through a buffer of this size.
constexpr uint32_t kSectionChunkSize = 1024;
// The longest data a header can state as "%d".
constexpr uint32_t kMaxSectionLength = 0x7FFFFFFFu;

// Zero-fills header (kSectionHeaderSize bytes) and puts length in it as "%d".
inline void FormatSectionHeader(char* header, uint32_t length) {
  memset(header, 0, kSectionHeaderSize);
  TextBuilder text(header, kSectionHeaderSize);
  text.AppendDecimal(length);
}
