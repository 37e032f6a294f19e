// The snapshot and hive checks over a file, streamed.
#include "snapshot_check.h"

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

SnapshotCheck::SnapshotCheck(SnapFile* file, HiveCheckMemory* memory)
    : m_memory(memory ? memory : &m_ownMemory), m_stream(file) {
  m_sized = file->Size(&m_report.fileSize) && file->Seek(0);
  m_done = !m_sized;
}

void SnapshotCheck::Finish(HiveFault fault, int section) {
  m_report.fileFault = fault;
  m_report.faultSection = section;
  m_done = true;
}

void SnapshotCheck::CheckNextSection() {
  if (m_done) return;
  int index = m_next++;
  SectionReport& section = m_report.sections[index];
  const uint8_t* header = m_stream.Fetch(kSectionHeaderSize);
  if (!header) return Finish(m_stream.readFailed() ? HiveFault::kReadFailed : HiveFault::kTruncatedFile, index);
  HiveFault fault = ParseSectionHeader(header, &section.length);
  m_position += kSectionHeaderSize;
  if (fault == HiveFault::kNone && section.length > m_report.fileSize - m_position) fault = HiveFault::kSectionOverruns;
  if (fault != HiveFault::kNone) return Finish(fault, index);
  section.present = true;
  section.offset = m_position;
  SnapshotHive hive = static_cast<SnapshotHive>(index);
  if (section.length) section.fault = CheckHive(&m_stream, section.length, &hive, m_memory, &section.dirty);
  m_position += section.length;
  if (m_next < kSnapshotSections) return;
  m_done = true;
  if (m_position != m_report.fileSize) Finish(HiveFault::kTrailingBytes, kSnapshotSections - 1);
}

bool CheckSnapshot(SnapFile* file, SnapshotReport* report, HiveCheckMemory* memory) {
  SnapshotCheck check(file, memory);
  while (!check.Done()) check.CheckNextSection();
  *report = check.report();
  return check.Sized();
}

namespace {

// Reads the headers of the first count sections by seeking from one to the
// next: each section's place and length, or the fault that stops the search.
HiveFault FindSections(SnapFile* file, int count, SnapshotReport* report) {
  uint64_t position = 0;
  for (int index = 0; index < count; ++index) {
    SectionReport& section = report->sections[index];
    uint8_t header[kSectionHeaderSize];
    size_t got = 0;
    HiveFault fault = HiveFault::kNone;
    if (!file->Seek(position) || !file->Read(header, sizeof header, &got)) fault = HiveFault::kReadFailed;
    else if (got != sizeof header) fault = HiveFault::kTruncatedFile;
    else fault = ParseSectionHeader(header, &section.length);
    position += kSectionHeaderSize;
    if (fault == HiveFault::kNone && section.length > report->fileSize - position) fault = HiveFault::kSectionOverruns;
    if (fault != HiveFault::kNone) {
      report->fileFault = fault;
      report->faultSection = index;
      return fault;
    }
    section.present = true;
    section.offset = position;
    position += section.length;
  }
  return HiveFault::kNone;
}

}  // namespace

bool CheckSection(SnapFile* file, int index, SnapshotReport* report, HiveCheckMemory* memory) {
  *report = SnapshotReport();
  if (!file->Size(&report->fileSize)) return false;
  if (FindSections(file, index + 1, report) != HiveFault::kNone) return true;
  SectionReport& section = report->sections[index];
  if (!section.length) return true;
  HiveCheckMemory ownMemory;
  SnapshotHive hive = static_cast<SnapshotHive>(index);
  ByteStream stream(file);
  section.fault = file->Seek(section.offset)
                      ? CheckHive(&stream, section.length, &hive, memory ? memory : &ownMemory, &section.dirty)
                      : HiveFault::kReadFailed;
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
  SnapshotReport report;
  if (!file->Size(&report.fileSize) || FindSections(file, kSnapshotSections, &report) != HiveFault::kNone) return false;
  for (int index = 0; index < kSnapshotSections; ++index) lengths[index] = report.sections[index].length;
  return true;
}
