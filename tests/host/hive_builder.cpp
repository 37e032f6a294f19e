// Registry hives and snapshots for tests, laid out cell by cell.
#include "hive_builder.h"

#include <ctype.h>
#include <string.h>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr size_t kBaseBlockBytes = 4096;
constexpr size_t kBinHeaderBytes = 32;
constexpr size_t kChecksumAt = 508;
constexpr uint32_t kNoCell = 0xFFFFFFFFu;
constexpr size_t kBigDataSegment = 16344;
constexpr uint32_t kRegSz = 1, kRegBinary = 3, kRegDword = 4;

void PutWord(std::string* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<char>(value >> (8 * i));
}

void PutHalf(std::string* bytes, size_t offset, uint32_t value) {
  (*bytes)[offset] = static_cast<char>(value);
  (*bytes)[offset + 1] = static_cast<char>(value >> 8);
}

std::string Utf16(const std::string& ascii) {
  std::string units;
  for (char c : ascii) units += std::string{c, '\0'};
  return units;
}

// Hive bins filled with cells in the order they are added. A cell that does
// not fit in what is left of a bin opens a new bin, larger than binSize when
// the cell needs it; the rest of the old bin becomes a free cell.
class CellLayout {
 public:
  explicit CellLayout(size_t binSize) : m_binSize(binSize) {}

  // An allocated cell for bytes of content, zeroed; its offset.
  uint32_t Add(size_t bytes) {
    size_t size = (bytes + 4 + 7) / 8 * 8;
    if (m_next + size > m_binEnd) {
      CloseBin();
      OpenBin(std::max(m_binSize, (size + kBinHeaderBytes + 4095) / 4096 * 4096));
    }
    uint32_t at = static_cast<uint32_t>(m_next);
    PutWord(&m_data, at, static_cast<uint32_t>(-static_cast<int32_t>(size)));
    m_next += size;
    return at;
  }
  // Fields of a cell, counted from the first byte after its size.
  void Word(uint32_t cell, size_t field, uint32_t value) { PutWord(&m_data, cell + 4 + field, value); }
  void Half(uint32_t cell, size_t field, uint32_t value) { PutHalf(&m_data, cell + 4 + field, value); }
  void Bytes(uint32_t cell, size_t field, const std::string& bytes) { m_data.replace(cell + 4 + field, bytes.size(), bytes); }

  // Closes the last bin and adds bins of binSize (the last one takes what is
  // left) up to dataSize bytes, or none when dataSize is 0. False when the
  // cells take more.
  bool Finish(size_t dataSize) {
    CloseBin();
    if (dataSize == 0) return true;
    while (m_data.size() < dataSize) {
      size_t left = dataSize - m_data.size();
      OpenBin(left < 2 * m_binSize ? left : m_binSize);
      CloseBin();
    }
    return m_data.size() == dataSize;
  }
  const std::string& data() const { return m_data; }

 private:
  void OpenBin(size_t size) {
    size_t at = m_data.size();
    m_data.append(size, '\0');
    m_data.replace(at, 4, "hbin");
    PutWord(&m_data, at + 4, static_cast<uint32_t>(at));
    PutWord(&m_data, at + 8, static_cast<uint32_t>(size));
    m_next = at + kBinHeaderBytes;
    m_binEnd = at + size;
  }
  void CloseBin() {
    if (m_next < m_binEnd) PutWord(&m_data, m_next, static_cast<uint32_t>(m_binEnd - m_next));
    m_next = m_binEnd;
  }

  size_t m_binSize;
  std::string m_data;
  size_t m_next = 0, m_binEnd = 0;
};

// The hash of a name in an "lh" list, as Windows computes it.
uint32_t NameHash(const std::string& name) {
  uint32_t hash = 0;
  for (char c : name) hash = hash * 37 + static_cast<uint32_t>(toupper(static_cast<unsigned char>(c)));
  return hash;
}

class TreeLayout {
 public:
  TreeLayout(const HiveSpec& spec, HiveCells* cells) : m_spec(spec), m_cells(cells), m_layout(spec.binSize) {}

  uint32_t Root() {
    uint32_t root = AddKey(m_spec.root, kNoCell);
    for (size_t i = 0; i < m_security.size(); ++i) {
      uint32_t uses = static_cast<uint32_t>((m_keys + m_security.size() - 1 - i) / m_security.size());
      m_layout.Word(m_security[i], 12, uses);
    }
    return root;
  }
  CellLayout& layout() { return m_layout; }

 private:
  static void Note(uint32_t* first, uint32_t cell) {
    if (*first == 0) *first = cell;
  }

  void AddSecurityRing() {
    const size_t count = static_cast<size_t>(m_spec.securityCells);
    for (size_t i = 0; i < count; ++i) m_security.push_back(m_layout.Add(20 + 20));
    for (size_t i = 0; i < count; ++i) {
      uint32_t cell = m_security[i];
      m_layout.Bytes(cell, 0, "sk");
      m_layout.Word(cell, 4, m_security[(i + 1) % count]);
      m_layout.Word(cell, 8, m_security[(i + count - 1) % count]);
      m_layout.Word(cell, 16, 20);
      m_layout.Half(cell, 20, 1);         // a self-relative descriptor without owner, group or lists
      m_layout.Half(cell, 22, 0x8000);
    }
    Note(&m_cells->security, count ? m_security[0] : 0);
  }

  uint32_t AddValue(const ValueSpec& value) {
    uint32_t cell = m_layout.Add(20 + value.name.size());
    Note(&m_cells->value, cell);
    m_layout.Bytes(cell, 0, "vk");
    m_layout.Half(cell, 2, static_cast<uint32_t>(value.name.size()));
    m_layout.Word(cell, 12, value.type);
    m_layout.Half(cell, 16, value.name.empty() ? 0 : 1);  // the name in 8-bit characters
    m_layout.Bytes(cell, 20, value.name);
    size_t size = value.data.size();
    if (size <= 4) {
      m_layout.Word(cell, 4, static_cast<uint32_t>(size) | 0x80000000u);
      m_layout.Bytes(cell, 8, value.data);
      return cell;
    }
    m_layout.Word(cell, 4, static_cast<uint32_t>(size));
    if (size <= kBigDataSegment || m_spec.minorVersion < 4) {
      uint32_t data = m_layout.Add(size);
      Note(&m_cells->data, data);
      m_layout.Bytes(data, 0, value.data);
      m_layout.Word(cell, 8, data);
      return cell;
    }
    std::vector<uint32_t> segments;
    for (size_t at = 0; at < size; at += kBigDataSegment) {
      std::string piece = value.data.substr(at, kBigDataSegment);
      segments.push_back(m_layout.Add(kBigDataSegment));
      m_layout.Bytes(segments.back(), 0, piece);
    }
    uint32_t list = m_layout.Add(4 * segments.size());
    for (size_t i = 0; i < segments.size(); ++i) m_layout.Word(list, 4 * i, segments[i]);
    uint32_t big = m_layout.Add(8);
    m_layout.Bytes(big, 0, "db");
    m_layout.Half(big, 2, static_cast<uint32_t>(segments.size()));
    m_layout.Word(big, 4, list);
    m_layout.Word(cell, 8, big);
    Note(&m_cells->bigData, big);
    Note(&m_cells->segmentList, list);
    return cell;
  }

  // A list of keys of one kind ("lf", "lh" or "li").
  uint32_t AddKeyList(KeyList kind, const std::vector<uint32_t>& keys, const std::vector<std::string>& names) {
    size_t entry = kind == KeyList::kLi ? 4 : 8;
    uint32_t list = m_layout.Add(4 + entry * keys.size());
    m_layout.Bytes(list, 0, kind == KeyList::kLf ? "lf" : kind == KeyList::kLh ? "lh" : "li");
    m_layout.Half(list, 2, static_cast<uint32_t>(keys.size()));
    for (size_t i = 0; i < keys.size(); ++i) {
      m_layout.Word(list, 4 + entry * i, keys[i]);
      if (kind == KeyList::kLh) m_layout.Word(list, 8 + entry * i, NameHash(names[i]));
      if (kind == KeyList::kLf) m_layout.Bytes(list, 8 + entry * i, names[i].substr(0, 4));
    }
    Note(kind == KeyList::kLf ? &m_cells->lf : kind == KeyList::kLh ? &m_cells->lh : &m_cells->li, list);
    return list;
  }

  uint32_t AddIndexRoot(const KeySpec& key, const std::vector<uint32_t>& keys, const std::vector<std::string>& names) {
    std::vector<uint32_t> leaves;
    for (size_t at = 0; at < keys.size(); at += key.keysPerLeaf) {
      size_t end = std::min(keys.size(), at + key.keysPerLeaf);
      leaves.push_back(AddKeyList(key.leaves, std::vector<uint32_t>(keys.begin() + at, keys.begin() + end),
                                  std::vector<std::string>(names.begin() + at, names.begin() + end)));
    }
    if (key.emptyLists) leaves.push_back(AddKeyList(key.leaves, {}, {}));
    uint32_t root = m_layout.Add(4 + 4 * leaves.size());
    m_layout.Bytes(root, 0, "ri");
    m_layout.Half(root, 2, static_cast<uint32_t>(leaves.size()));
    for (size_t i = 0; i < leaves.size(); ++i) m_layout.Word(root, 4 + 4 * i, leaves[i]);
    Note(&m_cells->ri, root);
    return root;
  }

  uint32_t AddKey(const KeySpec& key, uint32_t parent) {
    uint32_t cell = m_layout.Add(76 + key.name.size());
    if (parent == kNoCell) {
      m_cells->root = cell;
      AddSecurityRing();
    } else {
      Note(&m_cells->key, cell);
    }
    m_layout.Bytes(cell, 0, "nk");
    m_layout.Half(cell, 2, parent == kNoCell ? 0x2C : 0x20);  // root: hive entry, not deletable; 8-bit name
    m_layout.Word(cell, 16, parent);
    m_layout.Half(cell, 72, static_cast<uint32_t>(key.name.size()));
    m_layout.Bytes(cell, 76, key.name);
    m_layout.Word(cell, 44, m_security.empty() ? kNoCell : m_security[m_keys % m_security.size()]);
    ++m_keys;
    m_layout.Word(cell, 48, kNoCell);
    if (!key.className.empty()) {
      std::string units = Utf16(key.className);
      uint32_t className = m_layout.Add(units.size());
      m_layout.Bytes(className, 0, units);
      m_layout.Word(cell, 48, className);
      m_layout.Half(cell, 74, static_cast<uint32_t>(units.size()));
      Note(&m_cells->className, className);
    }

    std::vector<uint32_t> values;
    size_t longestValueName = 0, longestData = 0;
    for (const ValueSpec& value : key.values) {
      values.push_back(AddValue(value));
      longestValueName = std::max(longestValueName, 2 * value.name.size());
      longestData = std::max(longestData, value.data.size());
    }
    m_layout.Word(cell, 36, static_cast<uint32_t>(values.size()));
    m_layout.Word(cell, 40, kNoCell);
    if (!values.empty() || key.emptyLists) {
      uint32_t list = m_layout.Add(4 * values.size());
      for (size_t i = 0; i < values.size(); ++i) m_layout.Word(list, 4 * i, values[i]);
      m_layout.Word(cell, 40, list);
      Note(&m_cells->valueList, list);
    }
    m_layout.Word(cell, 60, static_cast<uint32_t>(longestValueName));
    m_layout.Word(cell, 64, static_cast<uint32_t>(longestData));

    std::vector<uint32_t> subkeys;
    std::vector<std::string> names;
    size_t longestName = 0, longestClass = 0;
    for (const KeySpec& subkey : key.subkeys) {
      subkeys.push_back(AddKey(subkey, cell));
      names.push_back(subkey.name);
      longestName = std::max(longestName, 2 * subkey.name.size());
      longestClass = std::max(longestClass, 2 * subkey.className.size());
    }
    m_layout.Word(cell, 20, static_cast<uint32_t>(subkeys.size()));
    m_layout.Word(cell, 28, kNoCell);
    m_layout.Word(cell, 32, kNoCell);  // volatile subkeys live only in memory
    if (!subkeys.empty() || key.emptyLists) {
      m_layout.Word(cell, 28, key.list == KeyList::kRi ? AddIndexRoot(key, subkeys, names)
                                                       : AddKeyList(key.list, subkeys, names));
    }
    m_layout.Word(cell, 52, static_cast<uint32_t>(longestName));
    m_layout.Word(cell, 56, static_cast<uint32_t>(longestClass));
    return cell;
  }

  const HiveSpec& m_spec;
  HiveCells* m_cells;
  CellLayout m_layout;
  std::vector<uint32_t> m_security;
  size_t m_keys = 0;
};

// Lays the hive out; false when its cells do not fit in spec.size bytes.
bool LayOut(const HiveSpec& spec, HiveCells* cells, std::string* hive) {
  HiveCells ignored;
  TreeLayout tree(spec, cells ? cells : &ignored);
  uint32_t root = tree.Root();
  if (!tree.layout().Finish(spec.size ? spec.size - kBaseBlockBytes : 0)) return false;

  *hive = std::string(kBaseBlockBytes, '\0') + tree.layout().data();
  hive->replace(0, 4, "regf");
  PutWord(hive, 4, 7);
  PutWord(hive, 8, spec.dirty ? 6 : 7);
  PutWord(hive, 20, 1);  // major version
  PutWord(hive, 24, spec.minorVersion);
  PutWord(hive, 32, 1);  // file format: memory image
  PutWord(hive, 36, root);
  PutWord(hive, 40, static_cast<uint32_t>(hive->size() - kBaseBlockBytes));
  PutWord(hive, 44, 1);  // clustering factor
  std::string name = spec.fileName.size() > 31 ? spec.fileName.substr(spec.fileName.size() - 31) : spec.fileName;
  hive->replace(48, 2 * name.size(), Utf16(name));
  FixHiveChecksum(hive);
  return true;
}

// keys keys in groups of 20 under the root, with values of each kind.
KeySpec FilledTree(size_t keys, bool bigData) {
  KeySpec root("ROOT");
  root.className = "Tarwen";
  for (size_t group = 0; group * 20 < keys; ++group) {
    KeySpec folder("Group" + std::to_string(group));
    folder.list = group % 3 ? KeyList::kLh : KeyList::kLf;
    for (size_t index = 0; index < 20 && group * 20 + index < keys; ++index) {
      KeySpec key("Key" + std::to_string(index));
      key.values = {{"Count", kRegDword, std::string(4, static_cast<char>(index))},
                    {"Path", kRegSz, Utf16("C:\\Program Files\\Tarwen\\tool" + std::to_string(index) + ".exe") + std::string(2, '\0')},
                    {"Blob", kRegBinary, std::string(120, static_cast<char>(group))},
                    {"", kRegSz, ""}};
      if (index % 7 == 0) key.className = "Class";
      if (bigData && index == 0 && group % 100 == 0) key.values.push_back({"Large", kRegBinary, std::string(40000, 'x')});
      folder.subkeys.push_back(key);
    }
    root.subkeys.push_back(folder);
  }
  root.list = root.subkeys.size() > 64 ? KeyList::kRi : KeyList::kLh;
  root.keysPerLeaf = 512;
  return root;
}

}  // namespace

std::string BuildHive(const HiveSpec& spec, HiveCells* cells) {
  std::string hive;
  if (!LayOut(spec, cells, &hive)) throw std::length_error("the key tree does not fit in the hive size");
  return hive;
}

std::string BuildHive(size_t size, size_t binSize, bool dirty) {
  HiveSpec spec;
  spec.root.name = "ROOT";
  spec.size = size;
  spec.binSize = binSize;
  spec.dirty = dirty;
  spec.securityCells = 0;
  return BuildHive(spec);
}

std::string BuildFilledHive(size_t size, bool dirty, const std::string& fileName) {
  HiveSpec spec;
  spec.size = size;
  spec.dirty = dirty;
  spec.fileName = fileName;
  spec.securityCells = 4;
  // About 470 bytes of cells a key; fewer keys until they fit.
  std::string hive;
  for (size_t keys = size / 470; keys > 0; keys = keys * 19 / 20) {
    spec.root = FilledTree(keys, size >= (1 << 20));
    if (LayOut(spec, nullptr, &hive)) return hive;
  }
  spec.root = KeySpec("ROOT");
  return BuildHive(spec);
}

uint32_t HeaderWordsXor(const std::string& hive) {
  // Byte lanes rather than words: the same sum, reached another way.
  uint8_t lanes[4] = {};
  for (size_t i = 0; i < kChecksumAt; ++i) lanes[i % 4] ^= static_cast<uint8_t>(hive[i]);
  return lanes[0] | lanes[1] << 8 | lanes[2] << 16 | static_cast<uint32_t>(lanes[3]) << 24;
}

void FixHiveChecksum(std::string* hive) {
  uint32_t sum = HeaderWordsXor(*hive);
  PutWord(hive, kChecksumAt, sum == 0 ? 1 : sum == 0xFFFFFFFFu ? 0xFFFFFFFEu : sum);
}

std::string BuildSnapshot(const std::string& system, const std::string& software, const std::string& sam,
                          const std::string& user) {
  std::string snapshot;
  for (const std::string* section : {&system, &software, &sam, &user}) {
    std::string header = std::to_string(section->size());
    header.resize(256, '\0');
    snapshot += header + *section;
  }
  return snapshot;
}
