// Checks of section headers and registry hives over buffers.
#include "hive_check.h"

#include <string.h>

#include "messages.h"

namespace {

uint32_t ReadWord(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

constexpr size_t kSequence1Offset = 4;
constexpr size_t kSequence2Offset = 8;
constexpr size_t kMinorVersionOffset = 24;
constexpr size_t kRootOffsetOffset = 36;
constexpr size_t kDataSizeOffset = 40;
constexpr size_t kBinOffsetOffset = 4;
constexpr size_t kBinSizeOffset = 8;
constexpr uint32_t kCellAlignment = 8;
constexpr size_t kFileNameOffset = 48;
constexpr size_t kFileNameUnits = 32;  // UTF-16 units, NUL-terminated when shorter

// The files of the machine's hives: a snapshot's four in section order, then
// the two it does not hold.
const char* const kHiveFiles[] = {"SYSTEM", "SOFTWARE", "SAM", "NTUSER.DAT", "SECURITY", "DEFAULT"};
constexpr size_t kDefaultHive = 5;

// Whether the UTF-16 units from begin to end spell file, in any case.
bool NameSpells(const uint8_t* units, size_t begin, size_t end, const char* file) {
  if (end - begin != strlen(file)) return false;
  for (size_t i = begin; i < end; ++i) {
    unsigned unit = units[2 * i] | units[2 * i + 1] << 8;
    if (unit >= 'a' && unit <= 'z') unit -= 'a' - 'A';
    if (unit != static_cast<unsigned char>(file[i - begin])) return false;
  }
  return true;
}

}  // namespace

const char* DescribeFault(HiveFault fault) {
  switch (fault) {
    case HiveFault::kNone: return TW_MESSAGE("ok", "正常");
    case HiveFault::kHeaderNotDecimal: return TW_MESSAGE("section header is not a decimal size", "节头不是十进制长度");
    case HiveFault::kSectionOverruns: return TW_MESSAGE("section size overruns the file", "节长度超出文件末尾");
    case HiveFault::kTrailingBytes: return TW_MESSAGE("bytes after the fourth section", "第四节之后还有多余数据");
    case HiveFault::kTruncatedFile: return TW_MESSAGE("file truncated inside a section header", "文件在节头处被截断");
    case HiveFault::kTooShortForHive: return TW_MESSAGE("shorter than a hive header", "长度不足一个配置单元头");
    case HiveFault::kNoRegfSignature: return TW_MESSAGE("no regf signature", "缺少 regf 签名");
    case HiveFault::kBadChecksum: return TW_MESSAGE("bad header checksum", "头校验和错误");
    case HiveFault::kBadDataSize: return TW_MESSAGE("bad hive data size", "配置单元数据长度错误");
    case HiveFault::kBrokenBinChain: return TW_MESSAGE("broken hive-bin chain", "hbin 链断裂");
    case HiveFault::kBrokenCells: return TW_MESSAGE("cell sizes do not add up in a bin", "hbin 内单元长度不符");
    case HiveFault::kNoRootKey: return TW_MESSAGE("no root key cell", "缺少根键单元");
    case HiveFault::kBadKeyCell: return TW_MESSAGE("damaged key cell", "键单元损坏");
    case HiveFault::kBadSubkeyList: return TW_MESSAGE("damaged subkey list", "子键列表损坏");
    case HiveFault::kBadValueList: return TW_MESSAGE("damaged value list", "值列表损坏");
    case HiveFault::kBadValueCell: return TW_MESSAGE("damaged value cell", "值单元损坏");
    case HiveFault::kBadValueData: return TW_MESSAGE("damaged value data", "值数据损坏");
    case HiveFault::kBadSecurityCell: return TW_MESSAGE("damaged security cell", "安全描述单元损坏");
    case HiveFault::kBadClassName: return TW_MESSAGE("damaged class name", "类名损坏");
    case HiveFault::kCellReachedTwice: return TW_MESSAGE("a cell reached twice in the key tree", "键树中有单元被引用两次");
    case HiveFault::kKeyTreeTooDeep: return TW_MESSAGE("keys nested deeper than 512 levels", "键的嵌套超过 512 层");
    case HiveFault::kAnotherHive: return TW_MESSAGE("holds another hive (its header names another file)",
                                                    "节内是另一个配置单元（头部记录的文件名不符）");
    case HiveFault::kReadFailed: return TW_MESSAGE("read error", "读取错误");
  }
  return "?";
}

HiveFault ParseSectionHeader(const uint8_t* header, uint64_t* length) {
  const char* text = reinterpret_cast<const char*>(header);
  uint32_t scanned = 0;
  if (!ScanSectionHeader(text, &scanned)) return HiveFault::kHeaderNotDecimal;
  for (size_t i = strlen(text); i < static_cast<size_t>(kSectionHeaderSize); ++i) {
    if (header[i] != 0) return HiveFault::kHeaderNotDecimal;
  }
  *length = scanned;
  return HiveFault::kNone;
}

uint32_t BaseBlockChecksum(const uint8_t* block) {
  uint32_t sum = 0;
  for (size_t i = 0; i < kChecksumOffset; i += 4) sum ^= ReadWord(block + i);
  if (sum == 0) return 1;
  if (sum == 0xFFFFFFFFu) return 0xFFFFFFFEu;
  return sum;
}

HiveFault CheckBaseBlock(const uint8_t* block, uint64_t sectionSize, BaseBlockInfo* info) {
  if (memcmp(block, "regf", 4) != 0) return HiveFault::kNoRegfSignature;
  if (BaseBlockChecksum(block) != ReadWord(block + kChecksumOffset)) return HiveFault::kBadChecksum;
  info->dataSize = ReadWord(block + kDataSizeOffset);
  info->rootOffset = ReadWord(block + kRootOffsetOffset);
  info->dirty = ReadWord(block + kSequence1Offset) != ReadWord(block + kSequence2Offset);
  info->minorVersion = ReadWord(block + kMinorVersionOffset);
  if (info->dataSize == 0 || info->dataSize % kHiveBinAlignment != 0 ||
      info->dataSize > sectionSize - kHiveBaseBlockBytes) {
    return HiveFault::kBadDataSize;
  }
  if (info->rootOffset >= info->dataSize) return HiveFault::kNoRootKey;
  return HiveFault::kNone;
}

HiveFault ReadBinHeader(const uint8_t* header, uint32_t binOffset, uint32_t dataSize, uint32_t* binSize) {
  *binSize = ReadWord(header + kBinSizeOffset);
  if (memcmp(header, "hbin", 4) != 0 || ReadWord(header + kBinOffsetOffset) != binOffset ||
      *binSize == 0 || *binSize % kHiveBinAlignment != 0 || *binSize > dataSize - binOffset) {
    return HiveFault::kBrokenBinChain;
  }
  return HiveFault::kNone;
}

HiveFault CheckBinCells(const uint8_t* bin, uint32_t binSize, uint32_t binOffset, uint32_t* allocatedCells) {
  uint32_t position = kHiveBinHeaderBytes;
  while (position < binSize) {
    if (binSize - position < 4) return HiveFault::kBrokenCells;
    int32_t declared = static_cast<int32_t>(ReadWord(bin + position));
    bool allocated = declared < 0;
    // Negated in 64 bits: INT32_MIN has no 32-bit magnitude.
    int64_t size = allocated ? -static_cast<int64_t>(declared) : declared;
    if (size < static_cast<int64_t>(kCellAlignment) || size % kCellAlignment != 0 || size > binSize - position) {
      return HiveFault::kBrokenCells;
    }
    if (allocated) CellMapSet(allocatedCells, binOffset + position);
    position += static_cast<uint32_t>(size);
  }
  return HiveFault::kNone;
}

HiveBinCheck::HiveBinCheck(const BaseBlockInfo& info, uint32_t* allocatedCells)
    : m_dataSize(info.dataSize), m_allocatedCells(allocatedCells) {
  memset(allocatedCells, 0, CellMapWords(info.dataSize) * sizeof *allocatedCells);
}

HiveFault HiveBinCheck::Advance(const uint8_t* data, uint32_t available) {
  while (m_fault == HiveFault::kNone && m_next < m_dataSize && available - m_next >= kHiveBinHeaderBytes) {
    uint32_t binSize = 0;
    m_fault = ReadBinHeader(data + m_next, m_next, m_dataSize, &binSize);
    if (m_fault != HiveFault::kNone || binSize > available - m_next) break;
    m_fault = CheckBinCells(data + m_next, binSize, m_next, m_allocatedCells);
    m_next += binSize;
  }
  return m_fault;
}

HiveFault CheckHiveName(const uint8_t* block, SnapshotHive expected) {
  const uint8_t* units = block + kFileNameOffset;
  size_t begin = 0, end = 0;
  for (; end < kFileNameUnits && (units[2 * end] || units[2 * end + 1]); ++end) {
    if (units[2 * end] == '\\' && units[2 * end + 1] == 0) begin = end + 1;
  }
  size_t own = static_cast<size_t>(expected);
  for (size_t hive = 0; hive < sizeof kHiveFiles / sizeof kHiveFiles[0]; ++hive) {
    // A profile's hive may begin as a copy of the default user's, name and all.
    bool mayBe = hive == own || (expected == SnapshotHive::kUser && hive == kDefaultHive);
    if (!mayBe && NameSpells(units, begin, end, kHiveFiles[hive])) return HiveFault::kAnotherHive;
  }
  return HiveFault::kNone;
}
