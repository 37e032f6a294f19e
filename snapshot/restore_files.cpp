// Restore files: the judgement of a section, and its copy put in place whole.
#include "restore_files.h"

#include <vector>

#include "snapshot_index.h"

namespace {

constexpr size_t kCopyChunkBytes = 1 << 20;
constexpr int kSoftwareSection = 1;
constexpr int kUserSection = 3;

}  // namespace

const HiveRequest kUserHiveRequest = {kUserSection, "temp\\TWXT04.XFF", "IsRepair"};
const HiveRequest kSoftwareHiveRequest = {kSoftwareSection, "temp\\TWSW04.XFF", "SysRepair"};

SectionUse JudgeSection(const SnapshotReport& report, int index) {
  const SectionReport& section = report.sections[index];
  if (!section.present || (report.fileFault != HiveFault::kNone && report.faultSection <= index)) {
    return SectionUse::kUnreadable;
  }
  if (section.length == 0) return SectionUse::kEmpty;
  if (section.fault != HiveFault::kNone) return SectionUse::kDamaged;
  return section.dirty ? SectionUse::kDirty : SectionUse::kUsable;
}

WriteOutcome CopyToNewFile(SnapFile* file, uint64_t offset, uint64_t length, const SnapPath& path) {
  if (PathResolvesInto(path, SnapshotFolder())) return WriteOutcome::kRefused;
  SnapFile out;
  if (!out.CreateNew(path)) return WriteOutcome::kCannotCreate;
  std::vector<char> chunk(kCopyChunkBytes);
  bool copied = file->Seek(offset);
  for (uint64_t left = length; copied && left;) {
    size_t piece = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
    size_t got = 0;
    copied = file->Read(chunk.data(), piece, &got) && got == piece && out.Write(chunk.data(), piece);
    left -= piece;
  }
  copied = copied && out.Flush();
  out.Close();
  if (copied) return WriteOutcome::kWritten;
  RemoveFile(path);
  return WriteOutcome::kCannotWrite;
}

SnapPath NewNameBeside(const SnapPath& path) { return path.WithSuffix(".twsnap-new"); }

WriteOutcome WriteSectionOver(SnapFile* file, const SectionReport& section, const SnapPath& target) {
  SnapPath fresh = NewNameBeside(target);
  RemoveFile(fresh);
  WriteOutcome outcome = CopyToNewFile(file, section.offset, section.length, fresh);
  if (outcome != WriteOutcome::kWritten) return outcome;
  if (RenameOver(fresh, target)) return WriteOutcome::kWritten;
  RemoveFile(fresh);
  return WriteOutcome::kCannotRename;
}
