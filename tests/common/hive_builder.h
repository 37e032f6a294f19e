// Builds registry hives for tests: keys, their subkey lists of each kind,
// values with their data (big data included), class names and security
// cells, laid out in hive bins as Windows lays them out, under a base block
// whose checksum is computed here, apart from the checks under test.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

enum class KeyList { kLf, kLh, kLi, kRi };

struct ValueSpec {
  std::string name;
  uint32_t type;
  std::string data;  // held in the value cell up to 4 bytes; big data past 16344 from version 1.4 on
};

struct KeySpec {
  explicit KeySpec(const std::string& keyName = "") : name(keyName) {}
  std::string name;
  std::vector<KeySpec> subkeys;
  std::vector<ValueSpec> values;
  KeyList list = KeyList::kLh;
  KeyList leaves = KeyList::kLh;  // kRi: an index root over leaves of this kind
  size_t keysPerLeaf = 2;
  std::string className;
  bool emptyLists = false;  // empty lists where there is nothing to list, an empty leaf after an index root's
};

struct HiveSpec {
  KeySpec root;
  size_t size = 0;  // of the file, a multiple of 4096; 0: as small as the tree allows
  size_t binSize = 4096;
  bool dirty = false;  // unequal sequence numbers
  uint32_t minorVersion = 5;
  std::string fileName;    // as the base block stores it: its last 31 characters
  int securityCells = 2;   // in one ring, shared by the keys in turn; 0: keys have none
};

// Where the builder put the first cell of each kind (offsets from the first
// bin; the root key's own come first), for tests that damage one.
struct HiveCells {
  uint32_t key = 0, lf = 0, lh = 0, li = 0, ri = 0, valueList = 0, value = 0, data = 0, segmentList = 0, security = 0,
           className = 0;
};

std::string BuildHive(const HiveSpec& spec, HiveCells* cells = nullptr);

// A hive of exactly size bytes (a multiple of 4096, at least 8192): base
// block, bins of binSize bytes (the last one takes what is left), the root
// key "ROOT" in the first bin and free cells filling the rest.
std::string BuildHive(size_t size, size_t binSize = 4096, bool dirty = false);

// A hive of exactly size bytes whose key tree fills it as a real hive's does:
// groups of keys with values of every kind, an index root over the groups,
// class names, shared security cells, and big data once the hive is large.
std::string BuildFilledHive(size_t size, bool dirty, const std::string& fileName);

// The XOR of the base block's first 127 words, and the checksum that Windows
// stores for it (0 stored as 1, 0xFFFFFFFF as 0xFFFFFFFE), rewritten after a
// test has changed the block.
uint32_t HeaderWordsXor(const std::string& hive);
void FixHiveChecksum(std::string* hive);

// A snapshot file from four section contents.
std::string BuildSnapshot(const std::string& system, const std::string& software, const std::string& sam,
                          const std::string& user);
