// The snapshot and hive checks over a file, streamed.
#include "snapshot_check.h"

#include "byte_stream.h"

const char* const kSectionNames[kSnapshotSections] = {"system", "software", "sam", "user"};

namespace {

// Checks the hive of length bytes at the stream's position and leaves the
// stream after it (when the file holds that many bytes).
HiveFault CheckHive(ByteStream* stream, uint64_t length, bool* dirty) {
  if (length < kHiveBaseBlockBytes) return stream->Skip(length) ? HiveFault::kTooShortForHive : HiveFault::kReadFailed;
  const uint8_t* block = stream->Fetch(kHiveBaseBlockBytes);
  if (!block) return HiveFault::kReadFailed;
  BaseBlockInfo info;
  HiveFault fault = CheckBaseBlock(block, length, &info);
  *dirty = info.dirty;
  uint64_t consumed = kHiveBaseBlockBytes;
  bool rootSeen = false;
  for (uint32_t binOffset = 0; fault == HiveFault::kNone && binOffset < info.dataSize;) {
    const uint8_t* header = stream->Peek(kHiveBinHeaderBytes);
    if (!header) return HiveFault::kReadFailed;
    uint32_t binSize = 0;
    fault = ReadBinHeader(header, binOffset, info.dataSize, &binSize);
    if (fault != HiveFault::kNone) break;
    const uint8_t* bin = stream->Fetch(binSize);
    if (!bin) return HiveFault::kReadFailed;
    consumed += binSize;
    fault = CheckBinCells(bin, binSize, binOffset, info.rootOffset, &rootSeen);
    binOffset += binSize;
  }
  if (fault == HiveFault::kNone && !rootSeen) fault = HiveFault::kNoRootKey;
  if (!stream->Skip(length - consumed)) return HiveFault::kReadFailed;
  return fault;
}

}  // namespace

bool SnapshotReport::Damaged() const {
  if (fileFault != HiveFault::kNone) return true;
  for (const SectionReport& section : sections) {
    if (section.fault != HiveFault::kNone) return true;
  }
  return false;
}

bool SnapshotReport::Dirty() const {
  for (const SectionReport& section : sections) {
    if (section.dirty) return true;
  }
  return false;
}

bool CheckSnapshot(SnapFile* file, SnapshotReport* report) {
  *report = SnapshotReport();
  if (!file->Size(&report->fileSize) || !file->Seek(0)) return false;
  ByteStream stream(file);
  uint64_t position = 0;
  for (int index = 0; index < kSnapshotSections; ++index) {
    SectionReport& section = report->sections[index];
    const uint8_t* header = stream.Fetch(kSectionHeaderSize);
    if (!header) {
      report->fileFault = stream.readFailed() ? HiveFault::kReadFailed : HiveFault::kTruncatedFile;
      report->faultSection = index;
      return true;
    }
    HiveFault fault = ParseSectionHeader(header, &section.length);
    position += kSectionHeaderSize;
    if (fault == HiveFault::kNone && section.length > report->fileSize - position) {
      fault = HiveFault::kSectionOverruns;
    }
    if (fault != HiveFault::kNone) {
      // Without a trustworthy size nothing after this header can be found.
      report->fileFault = fault;
      report->faultSection = index;
      return true;
    }
    section.present = true;
    section.offset = position;
    if (section.length) section.fault = CheckHive(&stream, section.length, &section.dirty);
    position += section.length;
  }
  if (position != report->fileSize) {
    report->fileFault = HiveFault::kTrailingBytes;
    report->faultSection = kSnapshotSections - 1;
  }
  return true;
}

bool CheckHiveFile(SnapFile* file, SectionReport* report) {
  *report = SectionReport();
  if (!file->Size(&report->length) || !file->Seek(0)) return false;
  report->present = true;
  ByteStream stream(file);
  report->fault = CheckHive(&stream, report->length, &report->dirty);
  return true;
}

bool ReadSectionLengths(SnapFile* file, uint64_t lengths[kSnapshotSections]) {
  uint64_t fileSize = 0, position = 0;
  if (!file->Size(&fileSize)) return false;
  for (int index = 0; index < kSnapshotSections; ++index) {
    uint8_t header[kSectionHeaderSize];
    size_t got = 0;
    if (!file->Seek(position) || !file->Read(header, sizeof header, &got) || got != sizeof header ||
        ParseSectionHeader(header, &lengths[index]) != HiveFault::kNone) {
      return false;
    }
    position += kSectionHeaderSize;
    if (lengths[index] > fileSize - position) return false;
    position += lengths[index];
  }
  return true;
}
