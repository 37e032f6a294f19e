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
constexpr size_t kRootOffsetOffset = 36;
constexpr size_t kDataSizeOffset = 40;
constexpr size_t kBinOffsetOffset = 4;
constexpr size_t kBinSizeOffset = 8;
constexpr uint32_t kCellAlignment = 8;

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

HiveFault CheckBinCells(const uint8_t* bin, uint32_t binSize, uint32_t binOffset, uint32_t rootOffset,
                        bool* rootSeen) {
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
    if (binOffset + position == rootOffset) {
      *rootSeen = allocated && size >= 6 && memcmp(bin + position + 4, "nk", 2) == 0;
    }
    position += static_cast<uint32_t>(size);
  }
  return HiveFault::kNone;
}
