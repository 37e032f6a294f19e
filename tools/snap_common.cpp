// Finding snapshots, printing, saying what a write came to and setting the
// request flags: what the commands of twsnap share.
#include "snap_common.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <vector>

#include "engine.h"
#include "messages.h"

namespace {

const char kSettingsName[] = "wispdata.dat";

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool EndsWithXff(const std::string& text) {
  return text.size() > 4 && strcasecmp(text.c_str() + text.size() - 4, ".xff") == 0;
}

// A whole "%d-%d-%d" date and nothing after it.
bool IsIndexDate(const std::string& text) {
  int year = 0, month = 0, day = 0;
  if (!ScanIndexDate(text.c_str(), &year, &month, &day)) return false;
  size_t dashes = 0;
  for (char c : text) {
    if (c == '-') ++dashes;
    else if (c < '0' || c > '9') return false;
  }
  return dashes == 2 && text[0] != '-';
}

bool NameSnapshot(const std::string& name, SnapshotTarget* target) {
  target->shown = name;
  target->path = SnapshotFile(name);
  return true;
}

bool NameHostFile(const std::string& path, SnapshotTarget* target) {
  target->shown = path;
  target->path = SnapPath::OnHost(path);
  return true;
}

}  // namespace

bool LocateSnapshot(const std::string& text, SnapshotTarget* target) {
  if (text.find('/') != std::string::npos || text.find('\\') != std::string::npos) return NameHostFile(text, target);
  if (IsIndexDate(text)) {
    std::string name = SnapshotFileName(text.c_str());
    return !name.empty() && NameSnapshot(name, target);
  }
  if (AllDigits(text) && text.size() == 8) return NameSnapshot(text + ".xff", target);
  if (EndsWithXff(text)) return NameSnapshot(text, target);
  return PathExists(SnapPath::OnHost(text)) && NameHostFile(text, target);
}

bool ReadIndex(SnapshotIndex* index) {
  if (ReadSnapshotIndex(index)) return true;
  PrintError(TW_MESSAGE("cannot read the index ", "无法读取索引 ") + ShowPath(SnapshotFile(kIndexName)));
  return false;
}

void PrintLine(const std::string& text) {
  fputs(text.c_str(), stdout);
  fputc('\n', stdout);
}

void PrintError(const std::string& text) {
  fflush(stdout);
  fprintf(stderr, "twsnap: %s\n", text.c_str());
}

void PrintProgress(const SnapOptions& options, const std::string& what, uint64_t bytes) {
  if (options.quiet) return;
  fprintf(stderr, "%s: %s %s\n", what.c_str(), std::to_string(bytes).c_str(),
          TW_MESSAGE("bytes done", "字节已完成"));
}

bool OpenAndCheck(const SnapshotTarget& target, SnapFile* file, SnapshotReport* report) {
  if (!file->OpenForReading(target.path) || !CheckSnapshot(file, report)) {
    PrintError(target.shown + TW_MESSAGE(": cannot open", "：无法打开"));
    return false;
  }
  return true;
}

bool ReportWrite(WriteOutcome outcome, const SnapPath& path, uint64_t length, const SnapOptions& options,
                 const std::string& what) {
  switch (outcome) {
    case WriteOutcome::kWritten: PrintProgress(options, what, length); return true;
    case WriteOutcome::kRefused:
      PrintError(TW_MESSAGE("refusing to write into the snapshot folder: ", "拒绝写入快照文件夹：") + ShowPath(path));
      return false;
    case WriteOutcome::kCannotCreate: PrintError(TW_MESSAGE("cannot create ", "无法创建 ") + ShowPath(path)); return false;
    case WriteOutcome::kCannotWrite: PrintError(TW_MESSAGE("cannot write ", "无法写入 ") + ShowPath(path)); return false;
    case WriteOutcome::kCannotRename:
      PrintError(TW_MESSAGE("cannot rename into ", "无法重命名为 ") + ShowPath(path));
      return false;
  }
  return false;
}

bool SetRepairRequest(const char* value) {
  std::vector<TwChar> name;
  TwHandle settings;
  if (!EngineNameInWindows(kSettingsName, &name) || !OpenFile(name.data(), &settings, kDispositionOpenExisting)) {
    PrintError(TW_MESSAGE("cannot open the settings file ", "无法打开设置文件 ") + std::string(kSettingsName));
    return false;
  }
  bool written = WriteIniFile(settings, kUserHiveRequest.key, value) && WriteIniFile(settings, kSignRunKey, value);
  LayerCloseFile(settings);
  written = written && SyncFile(SnapPath::InWindows(kSettingsName));
  if (!written) PrintError(TW_MESSAGE("cannot write the settings file", "无法写入设置文件"));
  return written;
}
