// The section format of snapshot files: a 256-byte header that states the
// length of the data in decimal, then the data. A snapshot is four sections.
#pragma once

#include <stdint.h>

#include "layer.h"

constexpr int kSectionHeaderSize = 256;
constexpr int kSnapshotSections = 4;

// Zero-fills header (kSectionHeaderSize bytes) and prints size into it as "%d".
void FormatSectionHeader(char* header, uint32_t size);

// The length a header states: decimal digits without sign or padding, ended
// by a NUL. False for anything else.
bool ScanSectionHeader(const char* header, uint32_t* size);

// Whether an open snapshot file is whole: four sections whose headers scan
// and whose lengths add up to the file's size exactly.
bool SnapshotIsWhole(TwHandle file);
