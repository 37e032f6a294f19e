// The commands that only read: list (the index as a table) and verify (each
// snapshot checked section by section, and files the index does not name).
#include <string.h>

#include <set>

#include "messages.h"
#include "snap_common.h"

namespace {

std::string Column(const std::string& text, size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

std::string RightColumn(const std::string& text, size_t width) {
  return text.size() >= width ? text + " " : std::string(width - text.size(), ' ') + text + " ";
}

std::string TierName(int slot) {
  return slot <= kTopTierSlots ? TW_MESSAGE("top", "顶层") : TW_MESSAGE("carry", "进位");
}

// One snapshot's verdict as lines: "NAME: ok" or "NAME: DAMAGED: ...", and
// warnings for dirty and empty sections.
void PrintVerdict(const std::string& shown, const SnapshotReport& report) {
  std::vector<std::string> faults;
  if (report.fileFault != HiveFault::kNone) {
    faults.push_back(std::string(kSectionNames[report.faultSection]) + ": " + DescribeFault(report.fileFault));
  }
  for (int index = 0; index < kSnapshotSections; ++index) {
    HiveFault fault = report.sections[index].fault;
    if (fault != HiveFault::kNone) faults.push_back(std::string(kSectionNames[index]) + ": " + DescribeFault(fault));
  }
  std::string verdict = shown + ": " + (faults.empty() ? TW_MESSAGE("ok", "正常") : TW_MESSAGE("DAMAGED", "已损坏"));
  for (size_t i = 0; i < faults.size(); ++i) verdict += (i ? "; " : ": ") + faults[i];
  PrintLine(verdict);
  for (int index = 0; index < kSnapshotSections; ++index) {
    const SectionReport& section = report.sections[index];
    if (section.dirty) {
      PrintLine(shown + TW_MESSAGE(": warning: section ", "：警告：节 ") + kSectionNames[index] +
                TW_MESSAGE(" is dirty (unclean shutdown; its log is not in the snapshot)",
                           " 未正常关闭（日志未包含在快照中）"));
    }
    if (section.present && section.length == 0) {
      PrintLine(shown + TW_MESSAGE(": section ", "：节 ") + kSectionNames[index] + TW_MESSAGE(" is empty", " 为空"));
    }
  }
}

// A file given on the command line may be a plain hive as well.
bool IsPlainHive(SnapFile* file) {
  char magic[4];
  size_t got = 0;
  return file->Seek(0) && file->Read(magic, sizeof magic, &got) && got == sizeof magic &&
         memcmp(magic, "regf", 4) == 0;
}

struct VerifyTally {
  int checked = 0, damaged = 0, dirty = 0, missing = 0, unlisted = 0;
  HiveCheckMemory memory;  // shared by the checks of all the files
};

void VerifyOne(const SnapshotTarget& target, VerifyTally* tally) {
  SnapFile file;
  if (!file.OpenForReading(target.path)) {
    PrintLine(target.shown + TW_MESSAGE(": MISSING", "：缺失"));
    ++tally->missing;
    return;
  }
  ++tally->checked;
  SnapshotReport report;
  if (IsPlainHive(&file)) {
    CheckHiveFile(&file, &report.sections[0], &tally->memory);
    report.sections[0].present = false;  // not a section: never "empty"
  } else if (!CheckSnapshot(&file, &report, &tally->memory)) {
    report.fileFault = HiveFault::kReadFailed;
    report.faultSection = 0;
  }
  PrintVerdict(target.shown, report);
  if (report.Damaged()) ++tally->damaged;
  if (report.Dirty()) ++tally->dirty;
}

}  // namespace

int ListSnapshots() {
  SnapshotIndex index;
  if (!ReadIndex(&index)) return 1;
  SnapshotFiles files = SnapshotFilesInFolder();
  PrintLine(TW_MESSAGE("index count ", "索引数 ") + std::to_string(index.count));
  PrintLine(Column(TW_MESSAGE("slot", "槽"), 5) + Column(TW_MESSAGE("tier", "层"), 6) +
            Column(TW_MESSAGE("date", "日期"), 12) + Column("Sign", 5) + Column("IsShow", 7) +
            Column(TW_MESSAGE("file", "文件"), 14) + RightColumn(TW_MESSAGE("size", "大小"), 10) +
            RightColumn("system", 10) + RightColumn("software", 10) + RightColumn("sam", 9) +
            RightColumn("user", 9));
  for (const IndexLine& line : index.lines) {
    std::string row = RightColumn(std::to_string(line.slot), 4) + Column(TierName(line.slot), 6);
    if (!line.readable) {
      PrintLine(row + TW_MESSAGE("(unreadable line)", "（无法解析的行）"));
      continue;
    }
    row += Column(line.item.Date, 12) + Column(line.item.Sign, 5) + Column(line.item.IsShow, 7);
    bool present = !line.fileName.empty() && files.count(LowerCase(line.fileName));
    if (IsPlaceholder(line, present)) {
      PrintLine(row + TW_MESSAGE("(template placeholder)", "（模板占位）"));
      continue;
    }
    if (!present) {
      PrintLine(row + Column(line.fileName.empty() ? "-" : line.fileName, 14) + TW_MESSAGE("MISSING", "缺失"));
      continue;
    }
    row += Column(line.fileName, 14);
    SnapFile file;
    uint64_t size = 0, lengths[kSnapshotSections];
    if (!file.OpenForReading(SnapshotFile(line.fileName)) || !file.Size(&size)) {
      PrintLine(row + TW_MESSAGE("(cannot open)", "（无法打开）"));
      continue;
    }
    row += RightColumn(std::to_string(size), 10);
    if (!ReadSectionLengths(&file, lengths)) {
      PrintLine(row + TW_MESSAGE("(bad section headers)", "（节头错误）"));
      continue;
    }
    for (int section = 0; section < kSnapshotSections; ++section) {
      row += RightColumn(std::to_string(lengths[section]), section < 2 ? 10 : 9);
    }
    PrintLine(row);
  }
  return 0;
}

int VerifySnapshots(const std::vector<std::string>& targets, const SnapOptions& options) {
  VerifyTally tally;
  if (!targets.empty() && !options.all) {
    for (const std::string& text : targets) {
      SnapshotTarget target;
      if (!LocateSnapshot(text, &target)) {
        PrintError(TW_MESSAGE("not a day or a snapshot file: ", "不是日期或快照文件：") + text);
        return 2;
      }
      VerifyOne(target, &tally);
    }
    return tally.damaged || tally.missing ? 1 : 0;
  }

  SnapshotIndex index;
  if (!ReadIndex(&index)) return 1;
  SnapshotFiles files = SnapshotFilesInFolder();
  std::set<std::string> named;
  for (const IndexLine& line : ListedSnapshots(index, files)) {
    named.insert(LowerCase(line.fileName));
    SnapshotTarget target;
    target.shown = line.fileName;
    target.path = SnapshotFile(line.fileName);
    VerifyOne(target, &tally);
  }
  for (const auto& file : files) {
    const std::string& name = file.first;
    if (named.count(name)) continue;
    SnapshotTarget target;
    target.shown = name;
    target.path = SnapshotFile(name);
    PrintLine(name + TW_MESSAGE(": not named by the index", "：索引中没有此文件"));
    ++tally.unlisted;
    VerifyOne(target, &tally);
  }
  PrintLine(TW_MESSAGE("checked ", "已检查 ") + std::to_string(tally.checked) +
            TW_MESSAGE(" snapshots: ", " 个快照：") + std::to_string(tally.checked - tally.damaged) +
            TW_MESSAGE(" sound, ", " 个完好，") + std::to_string(tally.damaged) + TW_MESSAGE(" damaged, ", " 个损坏，") +
            std::to_string(tally.dirty) + TW_MESSAGE(" dirty, ", " 个未正常关闭，") + std::to_string(tally.missing) +
            TW_MESSAGE(" missing, ", " 个缺失，") + std::to_string(tally.unlisted) +
            TW_MESSAGE(" not in the index", " 个不在索引中"));
  return tally.damaged || tally.missing ? 1 : 0;
}
