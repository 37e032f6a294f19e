// Small valid registry hives and snapshots for tests.
#include "hive_builder.h"

#include <string.h>

#include "hive_check.h"

namespace {

void PutWord(std::string* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<char>(value >> (8 * i));
}

void PutHalf(std::string* bytes, size_t offset, uint16_t value) {
  (*bytes)[offset] = static_cast<char>(value);
  (*bytes)[offset + 1] = static_cast<char>(value >> 8);
}

// The root key: a named key cell ("nk") with no subkeys, values or class.
constexpr char kRootName[] = "ROOT";
constexpr uint32_t kRootCellSize = 88;  // 80 bytes of fields and the name, rounded to 8
constexpr uint32_t kNone = 0xFFFFFFFFu;

void PutRootKey(std::string* hive, size_t at) {
  PutWord(hive, at, static_cast<uint32_t>(-static_cast<int32_t>(kRootCellSize)));
  memcpy(&(*hive)[at + 4], "nk", 2);
  PutHalf(hive, at + 6, 0x2C);  // hive entry, not deletable, compressed name
  PutWord(hive, at + 20, kNone);  // parent
  PutWord(hive, at + 32, kNone);  // subkey list
  PutWord(hive, at + 36, kNone);  // volatile subkey list
  PutWord(hive, at + 44, kNone);  // value list
  PutWord(hive, at + 48, kNone);  // security cell
  PutWord(hive, at + 52, kNone);  // class name
  PutHalf(hive, at + 76, sizeof kRootName - 1);
  memcpy(&(*hive)[at + 80], kRootName, sizeof kRootName - 1);
}

}  // namespace

std::string BuildHive(size_t size, size_t binSize, bool dirty) {
  std::string hive(size, '\0');
  size_t dataSize = size - kHiveBaseBlockBytes;
  memcpy(&hive[0], "regf", 4);
  PutWord(&hive, 4, 7);
  PutWord(&hive, 8, dirty ? 6 : 7);
  PutWord(&hive, 20, 1);  // major version
  PutWord(&hive, 24, 3);  // minor version
  PutWord(&hive, 32, 1);  // file format: memory image
  PutWord(&hive, 36, kHiveBinHeaderBytes);  // the root key opens the first bin
  PutWord(&hive, 40, static_cast<uint32_t>(dataSize));
  PutWord(&hive, 44, 1);  // clustering factor
  for (size_t offset = 0; offset < dataSize;) {
    size_t bin = dataSize - offset < 2 * binSize ? dataSize - offset : binSize;
    size_t at = kHiveBaseBlockBytes + offset;
    memcpy(&hive[at], "hbin", 4);
    PutWord(&hive, at + 4, static_cast<uint32_t>(offset));
    PutWord(&hive, at + 8, static_cast<uint32_t>(bin));
    size_t cell = at + kHiveBinHeaderBytes;
    if (offset == 0) {
      PutRootKey(&hive, cell);
      cell += kRootCellSize;
    }
    PutWord(&hive, cell, static_cast<uint32_t>(at + bin - cell));  // one free cell for the rest
    offset += bin;
  }
  FixHiveChecksum(&hive);
  return hive;
}

void FixHiveChecksum(std::string* hive) {
  PutWord(hive, kChecksumOffset, BaseBlockChecksum(reinterpret_cast<const uint8_t*>(hive->data())));
}

std::string BuildSnapshot(const std::string& system, const std::string& software, const std::string& sam,
                          const std::string& user) {
  std::string snapshot;
  for (const std::string* section : {&system, &software, &sam, &user}) {
    std::string header = std::to_string(section->size());
    header.resize(kSectionHeaderSize, '\0');
    snapshot += header + *section;
  }
  return snapshot;
}
