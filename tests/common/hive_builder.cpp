// Registry hives and snapshots for tests, laid out cell by cell.
#include "hive_builder.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr uint32_t kNoCell = 0xFFFFFFFFu;
constexpr size_t kBigDataSegment = 16344;
constexpr size_t kChecksumAt = 508;

void PutWord(std::string* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<char>(value >> (8 * i));
}

void PutHalf(std::string* bytes, size_t offset, size_t value) {
  (*bytes)[offset] = static_cast<char>(value);
  (*bytes)[offset + 1] = static_cast<char>(value >> 8);
}

std::string Utf16(const std::string& ascii) {
  std::string units;
  for (char c : ascii) units += std::string{c, '\0'};
  return units;
}

// The fixed part of a cell of size bytes, its signature first.
std::string Record(const char* signature, size_t size) { return std::string(signature) + std::string(size - 2, '\0'); }

// Lays a hive's cells out in bins in the order they are added: a cell that
// does not fit in what is left of a bin opens a new bin (larger than binSize
// when the cell needs it), and the rest of the old one becomes a free cell.
class HiveLayout {
 public:
  HiveLayout(const HiveSpec& spec, HiveCells* cells) : m_spec(spec), m_cells(cells) {}

  // Lays out the key tree and bins up to dataSize bytes (0: no more than the
  // cells take); false when the cells take more.
  bool LayOut(size_t dataSize) {
    m_root = AddKey(m_spec.root, kNoCell);
    CloseBin();
    while (dataSize && m_data.size() < dataSize) {
      size_t left = dataSize - m_data.size();
      OpenBin(left < 2 * m_spec.binSize ? left : m_spec.binSize);
      CloseBin();
    }
    return !dataSize || m_data.size() == dataSize;
  }
  uint32_t root() const { return m_root; }
  const std::string& data() const { return m_data; }

 private:
  void OpenBin(size_t size) {
    size_t at = m_data.size();
    m_data += "hbin" + std::string(size - 4, '\0');
    PutWord(&m_data, at + 4, static_cast<uint32_t>(at));
    PutWord(&m_data, at + 8, static_cast<uint32_t>(size));
    m_next = at + 32;
    m_binEnd = at + size;
  }
  void CloseBin() {
    if (m_next < m_binEnd) PutWord(&m_data, m_next, static_cast<uint32_t>(m_binEnd - m_next));
    m_next = m_binEnd;
  }
  // An allocated cell holding content; its offset. first notes the first of a kind.
  uint32_t Add(const std::string& content, uint32_t* first = nullptr) {
    size_t size = (content.size() + 4 + 7) / 8 * 8;
    if (m_next + size > m_binEnd) {
      CloseBin();
      OpenBin(std::max(m_spec.binSize, (size + 32 + 4095) / 4096 * 4096));
    }
    uint32_t at = static_cast<uint32_t>(m_next);
    PutWord(&m_data, at, static_cast<uint32_t>(-static_cast<int32_t>(size)));
    m_data.replace(at + 4, content.size(), content);
    m_next += size;
    if (first && !*first) *first = at;
    return at;
  }
  // A field of a cell laid out already, counted from after its size.
  void Set(uint32_t cell, size_t field, uint32_t value) { PutWord(&m_data, cell + 4 + field, value); }

  void AddSecurityRing() {
    size_t count = static_cast<size_t>(m_spec.securityCells);
    std::string sk = Record("sk", 40);
    PutWord(&sk, 16, 20);      // a self-relative descriptor with no owner, group or lists
    PutHalf(&sk, 20, 1);
    PutHalf(&sk, 22, 0x8000);
    for (size_t i = 0; i < count; ++i) m_security.push_back(Add(sk, &m_cells->security));
    for (size_t i = 0; i < count; ++i) {
      Set(m_security[i], 4, m_security[(i + 1) % count]);
      Set(m_security[i], 8, m_security[(i + count - 1) % count]);
      Set(m_security[i], 12, 1);
    }
  }

  uint32_t AddValue(const ValueSpec& value) {
    std::string vk = Record("vk", 20) + value.name;
    PutHalf(&vk, 2, value.name.size());
    PutWord(&vk, 4, static_cast<uint32_t>(value.data.size()));
    PutWord(&vk, 12, value.type);
    PutHalf(&vk, 16, value.name.empty() ? 0 : 1);  // the name in 8-bit characters
    if (value.data.size() <= 4) {
      PutWord(&vk, 4, static_cast<uint32_t>(value.data.size()) | 0x80000000u);
      vk.replace(8, value.data.size(), value.data);
    } else if (value.data.size() <= kBigDataSegment || m_spec.minorVersion < 4) {
      PutWord(&vk, 8, Add(value.data, &m_cells->data));
    } else {
      std::string segments;
      for (size_t at = 0; at < value.data.size(); at += kBigDataSegment) {
        segments += std::string(4, '\0');
        PutWord(&segments, segments.size() - 4, Add(value.data.substr(at, kBigDataSegment)));
      }
      std::string db = Record("db", 8);
      PutHalf(&db, 2, segments.size() / 4);
      PutWord(&db, 4, Add(segments, &m_cells->segmentList));
      PutWord(&vk, 8, Add(db));
    }
    return Add(vk, &m_cells->value);
  }

  // A list of keys: "lf" and "lh" with a (zero) hash after each offset.
  uint32_t AddKeyList(KeyList kind, const std::vector<uint32_t>& keys) {
    size_t entry = kind == KeyList::kLi ? 4 : 8;
    const char* signature = kind == KeyList::kLf ? "lf" : kind == KeyList::kLh ? "lh" : "li";
    std::string list = Record(signature, 4 + entry * keys.size());
    PutHalf(&list, 2, keys.size());
    for (size_t i = 0; i < keys.size(); ++i) PutWord(&list, 4 + entry * i, keys[i]);
    return Add(list, kind == KeyList::kLf ? &m_cells->lf : kind == KeyList::kLh ? &m_cells->lh : &m_cells->li);
  }

  uint32_t AddSubkeyList(const KeySpec& key, const std::vector<uint32_t>& keys) {
    if (key.list != KeyList::kRi) return AddKeyList(key.list, keys);
    std::vector<uint32_t> leaves;
    for (size_t at = 0; at < keys.size(); at += key.keysPerLeaf) {
      auto end = keys.begin() + static_cast<ptrdiff_t>(std::min(keys.size(), at + key.keysPerLeaf));
      leaves.push_back(AddKeyList(key.leaves, std::vector<uint32_t>(keys.begin() + static_cast<ptrdiff_t>(at), end)));
    }
    if (key.emptyLists) leaves.push_back(AddKeyList(key.leaves, {}));
    std::string ri = Record("ri", 4 + 4 * leaves.size());
    PutHalf(&ri, 2, leaves.size());
    for (size_t i = 0; i < leaves.size(); ++i) PutWord(&ri, 4 + 4 * i, leaves[i]);
    return Add(ri, &m_cells->ri);
  }

  uint32_t AddKey(const KeySpec& key, uint32_t parent) {
    std::string nk = Record("nk", 76) + key.name;
    PutHalf(&nk, 2, parent == kNoCell ? 0x2C : 0x20);  // the root: hive entry, not deletable; 8-bit name
    PutWord(&nk, 16, parent);
    PutHalf(&nk, 72, key.name.size());
    for (size_t field : {28, 32, 40, 44, 48}) PutWord(&nk, field, kNoCell);  // no lists, security or class yet
    uint32_t cell = Add(nk, parent == kNoCell ? nullptr : &m_cells->key);
    if (parent == kNoCell) AddSecurityRing();
    if (!m_security.empty()) Set(cell, 44, m_security[m_keys++ % m_security.size()]);
    if (!key.className.empty()) {
      Set(cell, 48, Add(Utf16(key.className), &m_cells->className));
      PutHalf(&m_data, cell + 4 + 74, 2 * key.className.size());
    }
    std::string values;
    for (const ValueSpec& value : key.values) {
      values += std::string(4, '\0');
      PutWord(&values, values.size() - 4, AddValue(value));
    }
    Set(cell, 36, static_cast<uint32_t>(key.values.size()));
    if (!values.empty() || key.emptyLists) Set(cell, 40, Add(values, &m_cells->valueList));
    std::vector<uint32_t> subkeys;
    for (const KeySpec& subkey : key.subkeys) subkeys.push_back(AddKey(subkey, cell));
    Set(cell, 20, static_cast<uint32_t>(subkeys.size()));
    if (!subkeys.empty() || key.emptyLists) Set(cell, 28, AddSubkeyList(key, subkeys));
    return cell;
  }

  const HiveSpec& m_spec;
  HiveCells* m_cells;
  std::string m_data;
  size_t m_next = 0, m_binEnd = 0;
  uint32_t m_root = 0;
  std::vector<uint32_t> m_security;
  size_t m_keys = 0;
};

bool LayOut(const HiveSpec& spec, HiveCells* cells, std::string* hive) {
  HiveCells ignored;
  HiveLayout layout(spec, cells ? cells : &ignored);
  if (!layout.LayOut(spec.size ? spec.size - 4096 : 0)) return false;
  *hive = "regf" + std::string(4092, '\0') + layout.data();
  PutWord(hive, 4, 7);
  PutWord(hive, 8, spec.dirty ? 6 : 7);
  PutWord(hive, 20, 1);  // major version
  PutWord(hive, 24, spec.minorVersion);
  PutWord(hive, 32, 1);  // file format: memory image
  PutWord(hive, 36, layout.root());
  PutWord(hive, 40, static_cast<uint32_t>(layout.data().size()));
  PutWord(hive, 44, 1);  // clustering factor
  std::string name = Utf16(spec.fileName.substr(spec.fileName.size() - std::min<size_t>(31, spec.fileName.size())));
  hive->replace(48, name.size(), name);
  FixHiveChecksum(hive);
  return true;
}

// keys keys in groups of 20 below the root, each with values of each kind.
KeySpec FilledTree(size_t keys, bool bigData) {
  KeySpec root("ROOT");
  root.className = "Tarwen";
  for (size_t group = 0; group * 20 < keys; ++group) {
    KeySpec folder("Group" + std::to_string(group));
    folder.list = group % 3 ? KeyList::kLh : KeyList::kLf;
    for (size_t index = 0; index < 20 && group * 20 + index < keys; ++index) {
      KeySpec key("Key" + std::to_string(index));
      key.values = {{"Count", 4, std::string(4, static_cast<char>(index))},
                    {"Path", 1, Utf16("C:\\Tarwen\\tool" + std::to_string(index) + ".exe") + '\0' + '\0'},
                    {"Blob", 3, std::string(120, static_cast<char>(group))},
                    {"", 1, ""}};
      if (bigData && index == 0 && group % 100 == 0) key.values.push_back({"Large", 3, std::string(40000, 'x')});
      if (index % 7 == 0) key.className = "Class";
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
  std::string hive;
  // About 470 bytes of cells a key; fewer keys until they fit.
  for (size_t keys = size / 470; keys > 0; keys = keys * 19 / 20) {
    spec.root = FilledTree(keys, size >= (1 << 20));
    if (LayOut(spec, nullptr, &hive)) return hive;
  }
  return BuildHive(size, 4096, dirty);
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
