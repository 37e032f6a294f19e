// The walk of a hive's key tree. It checks each key whole (its class name,
// security cell, values and subkey lists) when it first reaches it, then takes
// the key's subkeys one by one from a stack of places in subkey lists: no
// recursion, so that no hive can exhaust the stack of the boot-time program.
#include "hive_tree.h"

#include <string.h>

namespace {

uint32_t Word(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

uint32_t Half(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }

bool Signed(const uint8_t* cell, const char* signature) { return cell[0] == signature[0] && cell[1] == signature[1]; }

// Fields of the cells, counted from the first byte after a cell's size.
// Key cell "nk".
constexpr uint32_t kKeySubkeyCount = 20;
constexpr uint32_t kKeySubkeyList = 28;
constexpr uint32_t kKeyValueCount = 36;
constexpr uint32_t kKeyValueList = 40;
constexpr uint32_t kKeySecurity = 44;
constexpr uint32_t kKeyClass = 48;
constexpr uint32_t kKeyNameLength = 72;
constexpr uint32_t kKeyClassLength = 74;
constexpr uint32_t kKeyName = 76;
constexpr uint32_t kNoCell = 0xFFFFFFFFu;
// Subkey lists: "lf" and "lh" hold an offset and a name hash per key, "li"
// an offset per key, "ri" an offset per list of one of those three kinds.
constexpr uint32_t kListCount = 2;
constexpr uint32_t kListEntries = 4;
// Value cell "vk".
constexpr uint32_t kValueNameLength = 2;
constexpr uint32_t kValueDataSize = 4;
constexpr uint32_t kValueData = 8;
constexpr uint32_t kValueName = 20;
constexpr uint32_t kDataInValueCell = 0x80000000u;  // up to 4 bytes held in the data field itself
// Big data "db": data longer than one segment, in segment cells that a cell
// of offsets lists; only from format version 1.4 on.
constexpr uint32_t kBigDataSegments = 2;
constexpr uint32_t kBigDataList = 4;
constexpr uint32_t kBigDataFixed = 8;
constexpr uint32_t kBigDataSegment = 16344;
constexpr uint32_t kFirstBigDataVersion = 4;
// Security cell "sk", one of a ring of all the hive's security cells; keys
// share them.
constexpr uint32_t kSecurityNext = 4;
constexpr uint32_t kSecurityPrevious = 8;
constexpr uint32_t kSecurityDescriptorSize = 16;
constexpr uint32_t kSecurityDescriptor = 20;

class TreeWalk {
 public:
  // memory: the map of allocated cells, then the map of reached cells
  // (cleared), then room for the stack.
  TreeWalk(const uint8_t* data, const BaseBlockInfo& info, uint32_t* memory)
      : m_data(data),
        m_info(info),
        m_allocated(memory),
        m_reached(memory + CellMapWords(info.dataSize)),
        m_lists(m_reached + CellMapWords(info.dataSize)),
        m_leaves(m_lists + kMaxKeyDepth),
        m_positions(m_leaves + kMaxKeyDepth) {}

  HiveFault Run();

 private:
  // The bytes of an allocated cell after its size.
  uint32_t Bytes(uint32_t offset) const {
    return static_cast<uint32_t>(-static_cast<int64_t>(static_cast<int32_t>(Word(m_data + offset)))) - 4;
  }
  const uint8_t* Cell(uint32_t offset) const { return m_data + offset + 4; }
  // Whether offset is where an allocated cell of at least bytes bytes starts.
  bool IsCell(uint32_t offset, uint64_t bytes) const {
    return offset < m_info.dataSize && offset % 8 == 0 && CellMapHas(m_allocated, offset) && bytes <= Bytes(offset);
  }
  bool IsSecurityCell(uint32_t offset) const {
    return IsCell(offset, kSecurityDescriptor) && Signed(Cell(offset), "sk");
  }
  // Marks a cell reached; false when it already was.
  bool Reach(uint32_t offset) {
    if (CellMapHas(m_reached, offset)) return false;
    CellMapSet(m_reached, offset);
    return true;
  }

  HiveFault VisitKey(uint32_t offset, uint32_t* subkeyList);
  HiveFault CheckSecurity(uint32_t offset) const;
  HiveFault CheckValues(uint32_t list, uint32_t count);
  HiveFault CheckValue(uint32_t offset);
  HiveFault CheckBigData(uint32_t offset, uint32_t size);
  HiveFault CheckSubkeyList(uint32_t offset, uint32_t count);
  bool IsKeyList(uint32_t offset, uint32_t* count) const;
  bool NextSubkey(uint32_t level, uint32_t* key);

  const uint8_t* m_data;
  const BaseBlockInfo& m_info;
  const uint32_t* m_allocated;
  uint32_t* m_reached;
  // The stack: per level the subkey list being taken, the leaf of an index
  // root ("ri") and the next entry.
  uint32_t* m_lists;
  uint32_t* m_leaves;
  uint32_t* m_positions;
};

uint32_t EntryBytes(const uint8_t* list) { return Signed(list, "lf") || Signed(list, "lh") ? 8 : 4; }

uint32_t Entry(const uint8_t* list, uint32_t index) { return Word(list + kListEntries + index * EntryBytes(list)); }

HiveFault TreeWalk::Run() {
  uint32_t root = m_info.rootOffset;
  if (!IsCell(root, kKeyName) || !Signed(Cell(root), "nk")) return HiveFault::kNoRootKey;
  uint32_t list = kNoCell;
  HiveFault fault = VisitKey(root, &list);
  uint32_t depth = 0;
  while (fault == HiveFault::kNone) {
    if (list != kNoCell) {
      if (depth == kMaxKeyDepth) return HiveFault::kKeyTreeTooDeep;
      m_lists[depth] = list;
      m_leaves[depth] = m_positions[depth] = 0;
      ++depth;
    }
    uint32_t key = 0;
    while (depth && !NextSubkey(depth - 1, &key)) --depth;
    if (!depth) break;
    fault = VisitKey(key, &list);
  }
  return fault;
}

HiveFault TreeWalk::VisitKey(uint32_t offset, uint32_t* subkeyList) {
  *subkeyList = kNoCell;
  if (!IsCell(offset, kKeyName) || !Signed(Cell(offset), "nk")) return HiveFault::kBadKeyCell;
  const uint8_t* key = Cell(offset);
  if (kKeyName + Half(key + kKeyNameLength) > Bytes(offset)) return HiveFault::kBadKeyCell;
  if (!Reach(offset)) return HiveFault::kCellReachedTwice;

  uint32_t classLength = Half(key + kKeyClassLength);
  if (classLength) {
    uint32_t className = Word(key + kKeyClass);
    if (!IsCell(className, classLength)) return HiveFault::kBadClassName;
    if (!Reach(className)) return HiveFault::kCellReachedTwice;
  }
  HiveFault fault = HiveFault::kNone;
  uint32_t security = Word(key + kKeySecurity);
  if (security != kNoCell) fault = CheckSecurity(security);
  uint32_t values = Word(key + kKeyValueCount);
  if (fault == HiveFault::kNone && values) fault = CheckValues(Word(key + kKeyValueList), values);
  uint32_t subkeys = Word(key + kKeySubkeyCount);
  if (fault == HiveFault::kNone && subkeys) {
    *subkeyList = Word(key + kKeySubkeyList);
    fault = CheckSubkeyList(*subkeyList, subkeys);
  }
  return fault;
}

HiveFault TreeWalk::CheckSecurity(uint32_t offset) const {
  if (!IsSecurityCell(offset)) return HiveFault::kBadSecurityCell;
  const uint8_t* cell = Cell(offset);
  bool sound = kSecurityDescriptor + static_cast<uint64_t>(Word(cell + kSecurityDescriptorSize)) <= Bytes(offset) &&
               IsSecurityCell(Word(cell + kSecurityNext)) && IsSecurityCell(Word(cell + kSecurityPrevious));
  return sound ? HiveFault::kNone : HiveFault::kBadSecurityCell;
}

HiveFault TreeWalk::CheckValues(uint32_t list, uint32_t count) {
  if (!IsCell(list, 4ull * count)) return HiveFault::kBadValueList;
  if (!Reach(list)) return HiveFault::kCellReachedTwice;
  for (uint32_t index = 0; index < count; ++index) {
    HiveFault fault = CheckValue(Word(Cell(list) + 4 * index));
    if (fault != HiveFault::kNone) return fault;
  }
  return HiveFault::kNone;
}

HiveFault TreeWalk::CheckValue(uint32_t offset) {
  if (!IsCell(offset, kValueName) || !Signed(Cell(offset), "vk")) return HiveFault::kBadValueCell;
  const uint8_t* value = Cell(offset);
  if (kValueName + Half(value + kValueNameLength) > Bytes(offset)) return HiveFault::kBadValueCell;
  if (!Reach(offset)) return HiveFault::kCellReachedTwice;

  uint32_t size = Word(value + kValueDataSize);
  if (size & kDataInValueCell) return (size & ~kDataInValueCell) <= 4 ? HiveFault::kNone : HiveFault::kBadValueCell;
  if (size == 0) return HiveFault::kNone;
  uint32_t data = Word(value + kValueData);
  if (!IsCell(data, 0)) return HiveFault::kBadValueData;
  if (!Reach(data)) return HiveFault::kCellReachedTwice;
  if (size <= Bytes(data)) return HiveFault::kNone;
  if (m_info.minorVersion < kFirstBigDataVersion || !Signed(Cell(data), "db")) return HiveFault::kBadValueData;
  return CheckBigData(data, size);
}

HiveFault TreeWalk::CheckBigData(uint32_t offset, uint32_t size) {
  if (Bytes(offset) < kBigDataFixed) return HiveFault::kBadValueData;
  uint32_t segments = Half(Cell(offset) + kBigDataSegments);
  uint32_t list = Word(Cell(offset) + kBigDataList);
  if (!IsCell(list, 4ull * segments)) return HiveFault::kBadValueData;
  if (!Reach(list)) return HiveFault::kCellReachedTwice;
  uint32_t left = size;
  for (uint32_t index = 0; index < segments; ++index) {
    uint32_t share = left < kBigDataSegment ? left : kBigDataSegment;
    uint32_t segment = Word(Cell(list) + 4 * index);
    if (!IsCell(segment, share)) return HiveFault::kBadValueData;
    if (!Reach(segment)) return HiveFault::kCellReachedTwice;
    left -= share;
  }
  return left == 0 ? HiveFault::kNone : HiveFault::kBadValueData;
}

// Whether offset holds a list of keys ("lf", "lh" or "li") whose entries fit
// its cell; *count is their number.
bool TreeWalk::IsKeyList(uint32_t offset, uint32_t* count) const {
  if (!IsCell(offset, kListEntries)) return false;
  const uint8_t* list = Cell(offset);
  if (!Signed(list, "lf") && !Signed(list, "lh") && !Signed(list, "li")) return false;
  *count = Half(list + kListCount);
  return IsCell(offset, kListEntries + static_cast<uint64_t>(*count) * EntryBytes(list));
}

HiveFault TreeWalk::CheckSubkeyList(uint32_t offset, uint32_t count) {
  uint64_t listed = 0;
  uint32_t keys = 0;
  if (IsCell(offset, kListEntries) && Signed(Cell(offset), "ri")) {
    uint32_t leaves = Half(Cell(offset) + kListCount);
    if (!IsCell(offset, kListEntries + 4ull * leaves)) return HiveFault::kBadSubkeyList;
    if (!Reach(offset)) return HiveFault::kCellReachedTwice;
    for (uint32_t index = 0; index < leaves; ++index) {
      uint32_t leaf = Entry(Cell(offset), index);
      if (!IsKeyList(leaf, &keys)) return HiveFault::kBadSubkeyList;
      if (!Reach(leaf)) return HiveFault::kCellReachedTwice;
      listed += keys;
    }
  } else {
    if (!IsKeyList(offset, &keys)) return HiveFault::kBadSubkeyList;
    if (!Reach(offset)) return HiveFault::kCellReachedTwice;
    listed = keys;
  }
  return listed == count ? HiveFault::kNone : HiveFault::kBadSubkeyList;
}

// The next subkey of the list at a level of the stack; false when the list
// is done. The lists were checked when their key was visited.
bool TreeWalk::NextSubkey(uint32_t level, uint32_t* key) {
  const uint8_t* list = Cell(m_lists[level]);
  uint32_t& position = m_positions[level];
  if (!Signed(list, "ri")) {
    if (position == Half(list + kListCount)) return false;
    *key = Entry(list, position++);
    return true;
  }
  for (uint32_t& leaf = m_leaves[level]; leaf < Half(list + kListCount); ++leaf, position = 0) {
    const uint8_t* keys = Cell(Entry(list, leaf));
    if (position < Half(keys + kListCount)) {
      *key = Entry(keys, position++);
      return true;
    }
  }
  return false;
}

}  // namespace

HiveFault CheckKeyTree(const uint8_t* data, const BaseBlockInfo& info, uint32_t* memory) {
  uint32_t* reached = memory + CellMapWords(info.dataSize);
  memset(reached, 0, CellMapWords(info.dataSize) * sizeof *reached);
  return TreeWalk(data, info, memory).Run();
}

HiveFault CheckWholeHive(const uint8_t* hive, uint64_t length, const SnapshotHive* expected, uint32_t* memory,
                         BaseBlockInfo* info) {
  if (length < kHiveBaseBlockBytes) return HiveFault::kTooShortForHive;
  HiveFault fault = CheckBaseBlock(hive, length, info);
  if (fault == HiveFault::kNone && expected) fault = CheckHiveName(hive, *expected);
  if (fault != HiveFault::kNone) return fault;
  const uint8_t* data = hive + kHiveBaseBlockBytes;
  fault = HiveBinCheck(*info, memory).Advance(data, info->dataSize);
  return fault == HiveFault::kNone ? CheckKeyTree(data, *info, memory) : fault;
}
