// Checks of the snapshot's on-disk structures: section headers and registry
// hives (base block, hive-bin chain, cells). Pure functions over buffers; the
// reader that feeds them streams each byte once.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "snapshot_section.h"

constexpr size_t kHiveBaseBlockBytes = 4096;
constexpr size_t kHiveBinHeaderBytes = 32;
constexpr uint32_t kHiveBinAlignment = 4096;
constexpr size_t kChecksumOffset = 508;

// What is wrong with a section or a hive; kNone when nothing is.
enum class HiveFault {
  kNone,
  kHeaderNotDecimal,    // a section header that is not digits followed by NULs
  kSectionOverruns,     // a section size that reaches past the end of the file
  kTrailingBytes,       // bytes after the fourth section
  kTruncatedFile,       // the file ends inside a section header
  kTooShortForHive,     // shorter than a hive's base block
  kNoRegfSignature,
  kBadChecksum,
  kBadDataSize,         // the base block's data size: not whole bins, or beyond the section
  kBrokenBinChain,      // a bin missing, misplaced or of an impossible size
  kBrokenCells,         // cell sizes in a bin that do not add up to the bin
  kNoRootKey,           // the root cell offset names no allocated key cell
  kReadFailed,
};

// The English and the Chinese wording of a fault, chosen by the flavour.
const char* DescribeFault(HiveFault fault);

// Parses a section header as the engine scans it (decimal digits, at most
// 2^31 - 1), and requires NULs after the digits up to its end.
HiveFault ParseSectionHeader(const uint8_t* header, uint64_t* length);

// The header checksum as Windows computes it: XOR of the first 127
// little-endian words, 0 stored as 1 and 0xFFFFFFFF as 0xFFFFFFFE.
uint32_t BaseBlockChecksum(const uint8_t* block);

struct BaseBlockInfo {
  uint32_t dataSize = 0;    // bytes of hive bins after the base block
  uint32_t rootOffset = 0;  // of the root key cell, from the first bin
  bool dirty = false;       // sequence numbers differ: a log was not replayed
};

// Checks the 4096-byte base block of a hive whose file has sectionSize bytes.
HiveFault CheckBaseBlock(const uint8_t* block, uint64_t sectionSize, BaseBlockInfo* info);

// The size that a bin header at binOffset (from the first bin) declares;
// kBrokenBinChain when the header is not the bin expected there or does not
// fit in the dataSize bytes of bins.
HiveFault ReadBinHeader(const uint8_t* header, uint32_t binOffset, uint32_t dataSize, uint32_t* binSize);

// Checks the cells of a whole bin. *rootSeen is set when the bin holds the
// allocated key cell at rootOffset.
HiveFault CheckBinCells(const uint8_t* bin, uint32_t binSize, uint32_t binOffset, uint32_t rootOffset,
                        bool* rootSeen);
