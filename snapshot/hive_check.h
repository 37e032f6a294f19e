// Checks of the snapshot's on-disk structures: section headers and registry
// hives (base block, hive-bin chain, cells; the key tree in hive_tree.h).
// Pure functions over buffers, without allocation or a C runtime beyond what
// ntdll exports, so that the boot-time program can link them; the reader that
// feeds them streams each byte once.
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
  // Cells that the key tree reaches (each names the kind of cell expected
  // where an offset leads): a wrong signature, an offset that is not the
  // start of an allocated cell, or contents that do not fit the cell.
  kBadKeyCell,
  kBadSubkeyList,       // also: list counts that disagree with the key's
  kBadValueList,
  kBadValueCell,
  kBadValueData,        // a data cell, or big data and its segments
  kBadSecurityCell,
  kBadClassName,
  kCellReachedTwice,    // a cell that belongs to two places of the tree
  kKeyTreeTooDeep,      // keys nested deeper than Windows allows
  kAnotherHive,         // the base block names another of the machine's hives
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
  uint32_t minorVersion = 0;  // of the format; big data exists from 4 on
};

// Checks the 4096-byte base block of a hive whose file has sectionSize bytes.
HiveFault CheckBaseBlock(const uint8_t* block, uint64_t sectionSize, BaseBlockInfo* info);

// The size that a bin header at binOffset (from the first bin) declares;
// kBrokenBinChain when the header is not the bin expected there or does not
// fit in the dataSize bytes of bins.
HiveFault ReadBinHeader(const uint8_t* header, uint32_t binOffset, uint32_t dataSize, uint32_t* binSize);

// A map of a hive's cells: one bit for each 8-byte step of the hive data,
// (dataSize + 255) / 256 words.
inline uint32_t CellMapWords(uint32_t dataSize) { return (dataSize + 255) / 256; }
inline bool CellMapHas(const uint32_t* map, uint32_t offset) { return map[offset / 256] >> (offset / 8 % 32) & 1; }
inline void CellMapSet(uint32_t* map, uint32_t offset) { map[offset / 256] |= 1u << (offset / 8 % 32); }

// Checks the cells of a whole bin and sets the offset of each allocated cell
// in allocatedCells, a cleared cell map of the hive.
HiveFault CheckBinCells(const uint8_t* bin, uint32_t binSize, uint32_t binOffset, uint32_t* allocatedCells);

// The bin chain and the cells of hive data that may arrive in pieces, each
// bin checked as soon as it is whole (while its bytes are still in the
// processor's cache). Maps the allocated cells into allocatedCells
// (CellMapWords words, any contents).
class HiveBinCheck {
 public:
  HiveBinCheck(const BaseBlockInfo& info, uint32_t* allocatedCells);
  // Checks the bins that lie whole within the first available bytes of the
  // hive data and were not checked yet; the first fault found stays.
  HiveFault Advance(const uint8_t* data, uint32_t available);

 private:
  uint32_t m_dataSize;
  uint32_t* m_allocatedCells;
  uint32_t m_next = 0;  // the offset of the next bin
  HiveFault m_fault = HiveFault::kNone;
};

// Which hive a section of a snapshot holds, in section order.
enum class SnapshotHive { kSystem, kSoftware, kSam, kUser };

// kAnotherHive when the file name that the base block stores (a path, or its
// last 31 characters) ends in the file of another of the machine's hives: a
// section swapped with another. A name the check does not know passes.
HiveFault CheckHiveName(const uint8_t* block, SnapshotHive expected);
