// The snapshot and hive checks over a file, streamed.
#include "snapshot_check.h"

#include "byte_stream.h"
#include "hive_tree.h"

const char* const kSectionNames[kSnapshotSections] = {"system", "software", "sam", "user"};

namespace {

// The hive data is read in pieces small enough for the processor's cache,
// and each bin is checked while its bytes are still there.
constexpr uint32_t kPieceBytes = 256 * 1024;

// Checks the hive of length bytes at the stream's position and leaves the
// stream after it (when the file holds that many bytes). expected names the
// hive of a snapshot's section; a plain hive file has none.
HiveFault CheckHive(ByteStream* stream, uint64_t length, const SnapshotHive* expected, HiveCheckMemory* memory,
                    bool* dirty) {
  if (length < kHiveBaseBlockBytes) return stream->Skip(length) ? HiveFault::kTooShortForHive : HiveFault::kReadFailed;
  const uint8_t* block = stream->Fetch(kHiveBaseBlockBytes);
  if (!block) return HiveFault::kReadFailed;
  BaseBlockInfo info;
  HiveFault fault = CheckBaseBlock(block, length, &info);
  *dirty = info.dirty;
  if (fault == HiveFault::kNone && expected) fault = CheckHiveName(block, *expected);
  uint64_t consumed = kHiveBaseBlockBytes;
  if (fault == HiveFault::kNone) {
    if (memory->dataBytes < info.dataSize) {
      memory->data.reset(new uint8_t[info.dataSize]);
      memory->dataBytes = info.dataSize;
    }
    size_t words = HiveCheckMemoryWords(info.dataSize);
    if (memory->work.size() < words) memory->work.resize(words);
    uint8_t* data = memory->data.get();
    HiveBinCheck bins(info, memory->work.data());
    for (uint32_t held = 0; fault == HiveFault::kNone && held < info.dataSize;) {
      uint32_t piece = info.dataSize - held < kPieceBytes ? info.dataSize - held : kPieceBytes;
      if (!stream->ReadInto(data + held, piece)) return HiveFault::kReadFailed;
      held += piece;
      consumed += piece;
      fault = bins.Advance(data, held);
    }
    if (fault == HiveFault::kNone) fault = CheckKeyTree(data, info, memory->work.data());
  }
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

bool CheckSnapshot(SnapFile* file, SnapshotReport* report, HiveCheckMemory* memory) {
  *report = SnapshotReport();
  if (!file->Size(&report->fileSize) || !file->Seek(0)) return false;
  ByteStream stream(file);
  HiveCheckMemory ownMemory;
  if (!memory) memory = &ownMemory;
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
    SnapshotHive hive = static_cast<SnapshotHive>(index);
    if (section.length) section.fault = CheckHive(&stream, section.length, &hive, memory, &section.dirty);
    position += section.length;
  }
  if (position != report->fileSize) {
    report->fileFault = HiveFault::kTrailingBytes;
    report->faultSection = kSnapshotSections - 1;
  }
  return true;
}

bool CheckHiveFile(SnapFile* file, SectionReport* report, HiveCheckMemory* memory) {
  *report = SectionReport();
  if (!file->Size(&report->length) || !file->Seek(0)) return false;
  report->present = true;
  ByteStream stream(file);
  HiveCheckMemory ownMemory;
  report->fault = CheckHive(&stream, report->length, nullptr, memory ? memory : &ownMemory, &report->dirty);
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
