// The boot-time program's frame: console lines, file primitives, the daily
// snapshot pass and the restore pass.
#include <string.h>

#include "boot_files.h"
#include "engine.h"
#include "text.h"

namespace {

// The day's snapshot is written here and given its name once it is whole on
// the disk: a day file that exists is never one cut short by a power cut.
const TwChar kSpareSnapshotPath[] = TW_TEXT("\\SystemRoot\\twsafe\\snapshot.tmp");
const char kConfigFolder[] = "\\SystemRoot\\System32\\config";
const TwChar* const kSystemHives[] = {
    TW_TEXT("\\SystemRoot\\System32\\config\\system"),
    TW_TEXT("\\SystemRoot\\System32\\config\\software"),
    TW_TEXT("\\SystemRoot\\System32\\config\\Sam"),
};

// The files of a hive request by their names in the hive's folder. A copy on
// its way into place is TWHIVE.TMP there, with its log TWHIVE.LOG.
struct HiveNames {
  const char* hive;
  const char* log;
  const char* saved;
  const char* savedLog;
};
const HiveNames kUserHiveNames = {"NTUSER.DAT", "NTUSER.DAT.LOG", "BKDATA3.DAT", "BKDATA3.DAT.LOG"};
// Of the machine's hives only the software hive is ever replaced: the system
// hive is loaded by the time the program runs, and the accounts hive would
// undo password changes and has no security hive in a snapshot to match it.
const HiveNames kSoftwareHiveNames = {"software", "software.LOG", "software.twb", "software.twb.log"};

constexpr uint32_t kChunkSize = 1024;
constexpr size_t kNarrowPathSize = 256;

// A drive path as userpath holds it: "\??\", a drive letter and ":", then
// folders, none of them "." or "..", which could lead out of the drive. The
// text is code page 936: a trail byte may look like a backslash.
bool IsPlainDrivePath(const char* path) {
  if (strncmp(path, "\\??\\", 4) != 0) return false;
  char letter = static_cast<char>(path[4] | 0x20);
  if (letter < 'a' || letter > 'z' || path[5] != ':') return false;
  const char* component = path + 6;
  for (const char* c = component;; ++c) {
    if (*c == '\\' || *c == '\0') {
      size_t length = static_cast<size_t>(c - component);
      if ((length == 1 || length == 2) && strncmp(component, "..", length) == 0) return false;
      if (*c == '\0') return true;
      component = c + 1;
    } else if (static_cast<unsigned char>(*c) >= 0x81 && static_cast<unsigned char>(*c) <= 0xFE && c[1]) {
      ++c;  // a lead byte and its trail byte
    }
  }
}

// Reads userpath from the open settings file. False when it is absent.
bool ReadUserPath(TwHandle settings, char* userpath) {
  return ReadIniFile(settings, "userpath", userpath, kNarrowPathSize);
}

// Appends the user hive as the fourth section. False, with nothing appended,
// when the settings do not name the user's folder.
bool CopyUserHive(TwHandle snapshot) {
  TwHandle settings;
  if (!OpenFile(kSettingsPath, &settings, kDispositionOpenExisting)) {
    DisplayString(TW_TEXT("Open IniFile Error\n"));
    return false;
  }
  char userpath[kNarrowPathSize];
  bool named = ReadUserPath(settings, userpath);
  LayerCloseFile(settings);
  TwChar userHive[kWidePathUnits];
  if (!named || !BuildUserFilePath(userpath, "NTUSER.DAT", userHive)) return false;
  return MyCopyFile(userHive, snapshot);
}

// Writes the snapshot's four sections. False when any is missing or short.
bool WriteSnapshotSections(TwHandle snapshot) {
  for (const TwChar* hive : kSystemHives) {
    if (!MyCopyFile(hive, snapshot)) return false;
  }
  return CopyUserHive(snapshot);
}

// Writes the day's file beside its place, makes it durable and gives it the
// day's name, replacing a file cut short. False, with nothing left, when a
// section is missing or short.
bool WriteDayFile(const TwChar* path) {
  if (!RemoveFile(kSpareSnapshotPath)) return false;  // what an interrupted pass left
  TwHandle spare;
  if (!OpenFile(kSpareSnapshotPath, &spare, kDispositionCreateNew)) return false;
  bool written = WriteSnapshotSections(spare) && LayerFlushFile(spare);
  LayerCloseFile(spare);
  if (written && LayerRenameFile(kSpareSnapshotPath, path, RenameMode::kReplace) == FileStatus::kOk) return true;
  RemoveFile(kSpareSnapshotPath);
  return false;
}

// Takes the day's snapshot and records it. The index update is prepared
// first: a day that the index cannot take is not taken, since no rule would
// ever delete its file. The pending record names the file before it can
// exist, so that a cut anywhere up to the new index is finished by the next
// boot instead of leaving a file that no line names.
bool TakeSnapshot(const TwChar* path, const char* indexDate) {
  TBackupItem dropped;
  IndexUpdate update = PrepareIndexUpdate(indexDate, &dropped);
  if (update == IndexUpdate::kListed) return WriteDayFile(path);  // a listed file cut short
  if (update != IndexUpdate::kRecorded) return false;
  if (!RecordPendingSnapshot(indexDate, dropped.Date)) {
    AbandonIndexUpdate();
    return false;
  }
  if (!WriteDayFile(path)) {
    AbandonIndexUpdate();
    ClearPendingSnapshots();
    return false;
  }
  return CommitIndexUpdate();
}

// One snapshot a day. A file of the day that is whole is kept (on a restore
// day it holds the hive from before the restore) and recorded when the index
// does not list it yet; one cut short is taken again. A day file that cannot
// be looked at is left alone.
bool SnapshotDay(const TwChar* path, const char* indexDate) {
  TwHandle existing;
  FileStatus found = LayerCreateFile(path, kDispositionOpenExisting, &existing);
  if (found == FileStatus::kNotFound) return TakeSnapshot(path, indexDate);
  if (found != FileStatus::kOk) return false;
  bool whole = SnapshotIsWhole(existing);
  LayerCloseFile(existing);
  return whole ? HandleBackupInfo(indexDate) : TakeSnapshot(path, indexDate);
}

// Builds the wide path of a file in a folder written as the settings store
// it (spaces as "*"). False when it does not fit.
bool BuildFilePath(const char* folder, const char* fileName, TwChar* out) {
  char narrow[kNarrowPathSize];
  TextBuilder text(narrow, sizeof narrow);
  text.Append(folder).AppendChar('\\').Append(fileName);
  if (!text.ok()) return false;
  ClearXingHao(narrow);
  return LayerWidenText(narrow, out, kWidePathUnits);
}

// The files of a request for the hive names gives in folder. False when a
// path does not fit.
bool BuildHiveFiles(const char* folder, const HiveNames& names, const TwChar* prepared, HiveFiles* files) {
  files->prepared = prepared;
  return BuildFilePath(folder, names.hive, files->hive) && BuildFilePath(folder, names.log, files->log) &&
         BuildFilePath(folder, names.saved, files->saved) && BuildFilePath(folder, names.savedLog, files->savedLog) &&
         BuildFilePath(folder, "TWHIVE.TMP", files->spare) && BuildFilePath(folder, "TWHIVE.LOG", files->spareLog);
}

bool LocateSoftwareHive(TwHandle, HiveFiles* files) {
  return BuildHiveFiles(kConfigFolder, kSoftwareHiveNames, kSoftwareToRestore, files);
}

// Carries out the request that key holds over the files locate finds. A
// request whose files cannot be located stays for a later boot.
bool HandleHiveRequest(const char* key, bool (*locate)(TwHandle settings, HiveFiles* files)) {
  TwHandle settings;
  if (!OpenFile(kSettingsPath, &settings, kDispositionOpenExisting)) return false;
  char request[kValueBufferSize];
  if (!ReadIniFile(settings, key, request, sizeof request)) request[0] = '\0';
  bool done = strcmp(request, "111") != 0 && strcmp(request, "222") != 0;
  HiveFiles files;
  if (!done && locate(settings, &files)) done = CarryOutHiveRequest(settings, key, request, files);
  LayerCloseFile(settings);
  return done;
}

}  // namespace

bool LocateUserHive(TwHandle settings, HiveFiles* files) {
  char userpath[kNarrowPathSize];
  return ReadUserPath(settings, userpath) && IsPlainDrivePath(userpath) &&
         BuildHiveFiles(userpath, kUserHiveNames, kHiveToRestore, files);
}

bool BuildUserFilePath(const char* userpath, const char* fileName, TwChar* out) {
  return IsPlainDrivePath(userpath) && BuildFilePath(userpath, fileName, out);
}

void DisplayString(const TwChar* pString) { LayerDisplayString(pString); }

bool OpenFile(const TwChar* FileName, TwHandle* FileHandle, uint32_t disposition) {
  return LayerCreateFile(FileName, disposition, FileHandle) == FileStatus::kOk;
}

bool DeleteFile(const TwChar* FileName) { return LayerDeleteFile(FileName) == FileStatus::kOk; }

FileStatus FindFile(const TwChar* name) {
  TwHandle file;
  FileStatus found = LayerCreateFile(name, kDispositionOpenExisting, &file);
  if (found == FileStatus::kOk) LayerCloseFile(file);
  return found;
}

bool RemoveFile(const TwChar* name) { return LayerDeleteFile(name) != FileStatus::kFailed; }

// A snapshot with stale bytes in it is worse than none: a short piece ends the copy.
bool CopyFileBytes(TwHandle source, TwHandle target, uint32_t size) {
  char chunk[kChunkSize];
  while (size) {
    uint32_t piece = size < kChunkSize ? size : kChunkSize;
    uint32_t read = 0, written = 0;
    if (!LayerReadFile(source, chunk, piece, nullptr, &read) || read != piece) return false;
    if (!LayerWriteFile(target, chunk, piece, nullptr, &written) || written != piece) return false;
    size -= piece;
  }
  return true;
}

bool QueryCopySize(TwHandle file, uint32_t* size) {
  uint64_t endOfFile = 0;
  if (!LayerQueryFileSize(file, &endOfFile) || endOfFile > kMaxSectionLength) return false;
  *size = static_cast<uint32_t>(endOfFile);
  return true;
}

bool MyCopyFile(const TwChar* SourceFile, TwHandle hFileTarget) {
  TwHandle source;
  if (!OpenFile(SourceFile, &source, kDispositionOpenExisting)) {
    DisplayString(TW_TEXT("Open SourceFile Error\n"));
    return false;
  }
  uint32_t size = 0;
  bool copied = QueryCopySize(source, &size);
  if (copied) {
    char header[kSectionHeaderSize];
    FormatSectionHeader(header, size);
    uint32_t written = 0;
    copied = LayerWriteFile(hFileTarget, header, sizeof header, nullptr, &written) &&
             written == sizeof header && CopyFileBytes(source, hFileTarget, size);
  }
  LayerCloseFile(source);
  return copied;
}

bool MyMoveFile(const TwChar* SourceFile, const TwChar* TargetFile) {
  TwHandle source, target;
  if (!OpenFile(SourceFile, &source, kDispositionOpenExisting)) {
    DisplayString(TW_TEXT("Open SourceFile Error\n"));
    return false;
  }
  if (!OpenFile(TargetFile, &target, kDispositionCreateNew)) {
    DisplayString(TW_TEXT("OpenFile TargetFile Error\n"));
    LayerCloseFile(source);
    return false;
  }
  // The copy is made durable: it stands in for a hive once it is renamed.
  uint32_t size = 0;
  bool copied = QueryCopySize(source, &size) && CopyFileBytes(source, target, size) && LayerFlushFile(target);
  LayerCloseFile(source);
  LayerCloseFile(target);
  return copied;
}

bool BackupSysFile() {
  TwHandle settings;
  if (!IndexIsUsable() || !OpenFile(kSettingsPath, &settings, kDispositionOpenExisting)) return false;
  LayerCloseFile(settings);
  // An update left unfinished is finished first; when it cannot be, no new
  // one is started on top of it.
  if (!FinishPendingSnapshots()) return false;

  TwHeap heap = LayerCreateHeap();
  if (!heap) return false;
  TwChar* snapshotPath = static_cast<TwChar*>(LayerAllocateHeap(heap, kHeapPathUnits * sizeof(TwChar)));
  bool recorded = false;
  if (snapshotPath) {
    int year = 0, month = 0, day = 0;
    LayerQueryDate(&year, &month, &day);
    char narrow[kNarrowPathSize];
    TextBuilder name(narrow, sizeof narrow);
    name.Append("\\SystemRoot\\twsafe\\").AppendDecimal(year).AppendDecimal(month, 2)
        .AppendDecimal(day, 2).Append(".xff");
    char indexDate[kSlotBufferSize];
    TextBuilder date(indexDate, sizeof indexDate);
    date.AppendDecimal(year).AppendChar('-').AppendDecimal(month).AppendChar('-').AppendDecimal(day);

    recorded = name.ok() && date.ok() && LayerWidenText(narrow, snapshotPath, kHeapPathUnits) &&
               SnapshotDay(snapshotPath, indexDate);
    LayerFreeHeap(heap, snapshotPath);
  }
  LayerDestroyHeap(heap);
  return recorded;
}

bool HandleRepairNtuser() { return HandleHiveRequest("IsRepair", LocateUserHive); }

bool HandleRepairSoftware() { return HandleHiveRequest("SysRepair", LocateSoftwareHive); }

void RunBootPasses() {
  TwHandle settings;
  if (OpenFile(kSettingsPath, &settings, kDispositionOpenExisting)) LayerCloseFile(settings);
  else DisplayString(TW_TEXT("Open IniFile Error\n"));
  // No result changes what follows: the day's snapshot comes first, so that
  // it holds the hives from before a restore; a restore at boot only
  // prepares the two requests; each request is carried out whatever the
  // other did, and the boot goes on whatever all did.
  BackupSysFile();
  if (BootAsksForRestore()) PrepareRestoreAtBoot();
  HandleRepairNtuser();
  HandleRepairSoftware();
}
