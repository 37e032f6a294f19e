// The commands that write: extract (one section as a plain hive file),
// prepare-restore and prepare-undo (the user-hive request that the boot-time
// program carries out), and restore-system (the machine hives put back).
#include <string.h>
#include <strings.h>

#include "messages.h"
#include "snap_common.h"

namespace {

constexpr int kUserSection = 3;
// The machine hives in section order, as the Windows folder names them.
const char* const kMachineHives[] = {"System32\\config\\system", "System32\\config\\software",
                                     "System32\\config\\SAM"};

int SectionByName(const std::string& name) {
  for (int index = 0; index < kSnapshotSections; ++index) {
    if (strcasecmp(name.c_str(), kSectionNames[index]) == 0) return index;
  }
  return -1;
}

// Whether a section can be written out: read whole, not empty, not damaged.
// Says why not; a dirty one is named in a warning and passes.
bool SectionUsable(const SnapshotTarget& target, const SnapshotReport& report, int index, bool force) {
  const SectionReport& section = report.sections[index];
  std::string name = target.shown + " " + kSectionNames[index];
  switch (JudgeSection(report, index)) {
    case SectionUse::kUnreadable:
      PrintError(name + TW_MESSAGE(": cannot be read: ", "：无法读取：") + DescribeFault(report.fileFault));
      return false;
    case SectionUse::kEmpty: PrintError(name + TW_MESSAGE(": the section is empty", "：此节为空")); return false;
    case SectionUse::kDamaged:
      PrintError(name + TW_MESSAGE(": damaged: ", "：已损坏：") + DescribeFault(section.fault));
      return force;
    case SectionUse::kDirty:
      PrintError(name + TW_MESSAGE(": warning: dirty (unclean shutdown); used as it is",
                                   "：警告：未正常关闭，按原样使用"));
      return true;
    case SectionUse::kUsable: return true;
  }
  return false;
}

bool LocateOrComplain(const std::string& text, SnapshotTarget* target) {
  if (LocateSnapshot(text, target)) return true;
  PrintError(TW_MESSAGE("not a day or a snapshot file: ", "不是日期或快照文件：") + text);
  return false;
}

// WriteSectionOver with what it came to said.
bool WriteSectionOver(SnapFile* file, int index, const SectionReport& section, const SnapPath& target,
                      const SnapOptions& options) {
  return ReportWrite(::WriteSectionOver(file, section, target), target, section.length, options, kSectionNames[index]);
}

// The transaction log that Windows keeps beside a hive.
SnapPath LogOf(const SnapPath& hive) { return hive.WithSuffix(".LOG"); }

// Renames a new hive over a machine hive whose kept copy is named kept. The
// hive's log belongs to the hive it replaces: it moves aside first, beside
// the kept copy, so that no boot replays it onto the new hive, and back when
// the hive cannot be replaced. *movedLog says whether there was one.
bool PutHiveInPlace(const SnapPath& fresh, const SnapPath& current, const SnapPath& kept, bool* movedLog) {
  SnapPath log = LogOf(current), keptLog = LogOf(kept);
  *movedLog = PathExists(log);
  if (*movedLog && !RenameOver(log, keptLog)) {
    PrintError(TW_MESSAGE("cannot move aside ", "无法移开 ") + ShowPath(log));
    return false;
  }
  if (RenameOver(fresh, current)) return true;
  if (*movedLog) RenameOver(keptLog, log);
  PrintError(TW_MESSAGE("cannot rename into ", "无法重命名为 ") + ShowPath(current));
  return false;
}

}  // namespace

int ExtractSection(const std::string& text, const std::string& sectionName, const std::string& outText,
                   const SnapOptions& options) {
  SnapPath out = SnapPath::OnHost(outText);
  SnapshotTarget target;
  int index = SectionByName(sectionName);
  if (index < 0) {
    PrintError(TW_MESSAGE("no such section (system, software, sam, user): ", "没有此节（system、software、sam、user）：") +
               sectionName);
    return 2;
  }
  if (!LocateOrComplain(text, &target)) return 2;
  if (PathResolvesInto(out, SnapshotFolder())) {
    PrintError(TW_MESSAGE("refusing an output in the snapshot folder: ", "拒绝输出到快照文件夹：") + outText);
    return 2;
  }
  if (PathExists(out) && !options.force) {
    PrintError(outText + TW_MESSAGE(" exists (--force replaces it)", " 已存在（--force 可覆盖）"));
    return 2;
  }
  SnapFile file;
  SnapshotReport report;
  if (!OpenAndCheck(target, &file, &report)) return 1;
  if (!SectionUsable(target, report, index, options.force)) return 1;
  const SectionReport& section = report.sections[index];
  if (!WriteSectionOver(&file, index, section, out, options)) return 1;
  return section.fault == HiveFault::kNone ? 0 : 1;
}

int PrepareRestore(const std::string& day, const SnapOptions& options) {
  SnapshotTarget target;
  if (!LocateOrComplain(day, &target)) return 2;
  SnapFile file;
  SnapshotReport report;
  if (!OpenAndCheck(target, &file, &report)) return 1;
  if (!SectionUsable(target, report, kUserHiveRequest.section, false)) return 1;

  SnapPath prepared = SnapPath::InWindows(kUserHiveRequest.prepared);
  int section = kUserHiveRequest.section;
  if (!WriteSectionOver(&file, section, report.sections[section], prepared, options)) return 1;
  if (!SetRepairRequest(kRequestRestore)) return 1;
  PrintLine(TW_MESSAGE("the user hive of ", "已将 ") + target.shown +
            TW_MESSAGE(" is ready in ", " 的用户配置单元放入 ") + ShowPath(prepared) +
            TW_MESSAGE("; IsRepair and SignRun are 111: the next boot puts it in place",
                       "；IsRepair 和 SignRun 已设为 111，下次启动时生效"));
  return 0;
}

int PrepareUndo() {
  if (!SetRepairRequest(kRequestUndo)) return 1;
  PrintLine(TW_MESSAGE("IsRepair and SignRun are 222: the next boot puts the saved user hive back",
                       "IsRepair 和 SignRun 已设为 222，下次启动时恢复保存的用户配置单元"));
  return 0;
}

int RestoreSystem(const std::string& day, const SnapOptions& options) {
  SnapshotTarget target;
  if (!LocateOrComplain(day, &target)) return 2;
  SnapFile file;
  SnapshotReport report;
  if (!OpenAndCheck(target, &file, &report)) return 1;
  bool usable = true;
  for (int index = 0; index < kUserSection; ++index) usable = SectionUsable(target, report, index, false) && usable;
  if (!usable) {
    PrintError(TW_MESSAGE("nothing was changed", "未做任何更改"));
    return 1;
  }

  // Everything is written beside the hives first: the kept copies of the
  // current hives and the new hives under temporary names, each flushed.
  // Only then is each new one renamed into place, its hive's log moved aside
  // just before.
  std::string stamp = LocalTimeStamp();
  SnapPath current[kUserSection], kept[kUserSection], fresh[kUserSection];
  bool hasKept[kUserSection] = {};
  bool written = true;
  for (int index = 0; index < kUserSection && written; ++index) {
    current[index] = SnapPath::InWindows(kMachineHives[index]);
    kept[index] = current[index].WithSuffix(".twsnap-" + stamp);
    SnapFile hive;
    uint64_t size = 0;
    if (hive.OpenForReading(current[index]) && hive.Size(&size)) {
      std::string keptName = kept[index].name.substr(kept[index].name.find_last_of('\\') + 1);
      hasKept[index] = written =
          ReportWrite(CopyToNewFile(&hive, 0, size, kept[index]), kept[index], size, options, keptName);
    }
    fresh[index] = NewNameBeside(current[index]);
    RemoveFile(fresh[index]);
    const SectionReport& section = report.sections[index];
    written = written && ReportWrite(CopyToNewFile(&file, section.offset, section.length, fresh[index]), fresh[index],
                                     section.length, options, kSectionNames[index]);
  }
  if (!written) {
    for (int index = 0; index < kUserSection; ++index) {
      if (!fresh[index].name.empty()) RemoveFile(fresh[index]);
      if (hasKept[index]) RemoveFile(kept[index]);
    }
    PrintError(TW_MESSAGE("nothing was replaced", "未替换任何文件"));
    return 1;
  }

  int replaced = 0;
  bool movedLog[kUserSection] = {};
  for (int index = 0; index < kUserSection; ++index) {
    if (!PutHiveInPlace(fresh[index], current[index], kept[index], &movedLog[index])) break;
    ++replaced;
    PrintLine(TW_MESSAGE("replaced ", "已替换 ") + ShowPath(current[index]) + TW_MESSAGE(" with the ", "，来源：") +
              kSectionNames[index] + TW_MESSAGE(" hive of ", " 配置单元，快照 ") + target.shown);
    if (movedLog[index]) {
      PrintLine(TW_MESSAGE("moved its log aside to ", "其日志已移到 ") + ShowPath(LogOf(kept[index])));
    }
  }
  for (int index = replaced; index < kUserSection; ++index) RemoveFile(fresh[index]);
  if (replaced) PrintLine(TW_MESSAGE("to undo, rename each kept copy back over its hive:",
                                     "如需撤销，请将保留的副本改回原名："));
  for (int index = 0; index < replaced; ++index) {
    if (!hasKept[index]) {
      PrintLine("  " + ShowPath(current[index]) + TW_MESSAGE(" had no former hive", " 原先不存在"));
    } else {
      PrintLine("  " + ShowPath(kept[index]) + "  ->  " + ShowPath(current[index]));
    }
    if (movedLog[index]) {
      PrintLine("  " + ShowPath(LogOf(kept[index])) + "  ->  " + ShowPath(LogOf(current[index])));
    }
  }
  return replaced == kUserSection ? 0 : 1;
}
