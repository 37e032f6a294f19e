// The boot-time program's frame: console lines, file primitives, the daily
// snapshot pass and the restore pass.
#include <string.h>

#include "engine.h"
#include "snapshot_section.h"
#include "text.h"

namespace {

const TwChar kSettingsPath[] = TW_TEXT("\\SystemRoot\\wispdata.dat");
const TwChar kIndexPath[] = TW_TEXT("\\SystemRoot\\twsafe\\bkinfo.dat");
const TwChar kHiveToRestore[] = TW_TEXT("\\SystemRoot\\temp\\TWXT04.XFF");
const TwChar* const kSystemHives[] = {
    TW_TEXT("\\SystemRoot\\System32\\config\\system"),
    TW_TEXT("\\SystemRoot\\System32\\config\\software"),
    TW_TEXT("\\SystemRoot\\System32\\config\\Sam"),
};

constexpr uint32_t kChunkSize = kSectionChunkSize;
constexpr size_t kNarrowPathSize = 256;
constexpr size_t kWidePathUnits = 384;  // 768 bytes
constexpr size_t kHeapPathUnits = 128;  // a 256-byte block

// Copies size bytes from source's position to target's position in pieces of
// at most kChunkSize. False at the first read or write that falls short: a
// snapshot with stale bytes in it is worse than none.
bool CopyBytes(TwHandle source, TwHandle target, uint32_t size) {
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

// The size of an open file, when a section header can state it as "%d".
bool QueryCopySize(TwHandle file, uint32_t* size) {
  uint64_t endOfFile = 0;
  if (!LayerQueryFileSize(file, &endOfFile) || endOfFile > kMaxSectionLength) return false;
  *size = static_cast<uint32_t>(endOfFile);
  return true;
}

bool FileExists(const TwChar* name) {
  TwHandle file;
  if (!OpenFile(name, &file, kDispositionOpenExisting)) return false;
  LayerCloseFile(file);
  return true;
}

// The index must open and its header must scan as a count.
bool IndexIsUsable() {
  TwHandle index;
  if (!OpenFile(kIndexPath, &index, kDispositionOpenExisting)) return false;
  char slot[kSlotBufferSize];
  ReadProfileSlot(index, 0, slot);
  LayerCloseFile(index);
  int count = 0;
  return ScanIndexNum(slot, &count);
}

// Builds the wide path of a file in the user's profile folder from the
// userpath value (spaces stored as "*"). False when it does not fit.
bool BuildUserFilePath(const char* userpath, const char* fileName, TwChar* out) {
  char narrow[kNarrowPathSize];
  TextBuilder text(narrow, sizeof narrow);
  text.Append(userpath).AppendChar('\\').Append(fileName);
  if (!text.ok()) return false;
  ClearXingHao(narrow);
  return LayerWidenText(narrow, out, kWidePathUnits);
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

// Creates the day's snapshot file. Creating a new file only is what limits the
// snapshots to one a day; but a file of the day that the index does not list
// is what an interrupted boot left behind, and is taken again.
bool CreateSnapshotFile(const TwChar* path, const char* indexDate, TwHandle* snapshot) {
  if (OpenFile(path, snapshot, kDispositionCreateNew)) return true;
  TwHandle index;
  if (!OpenFile(kIndexPath, &index, kDispositionOpenExisting)) return false;
  bool listed = IndexListsDate(index, indexDate);
  LayerCloseFile(index);
  return !listed && DeleteFile(path) && OpenFile(path, snapshot, kDispositionCreateNew);
}

// Writes the snapshot's four sections. False when any is missing or short.
bool WriteSnapshotSections(TwHandle snapshot) {
  for (const TwChar* hive : kSystemHives) {
    if (!MyCopyFile(hive, snapshot)) return false;
  }
  return CopyUserHive(snapshot);
}

// Whether the file first is a prefix of (or equal to) the file second: what a
// copy from second into first leaves when it was cut off.
bool IsPrefixOf(const TwChar* first, const TwChar* second) {
  TwHandle a, b;
  if (!OpenFile(first, &a, kDispositionOpenExisting)) return false;
  if (!OpenFile(second, &b, kDispositionOpenExisting)) {
    LayerCloseFile(a);
    return false;
  }
  uint64_t sizeA = 0, sizeB = 0;
  bool prefix = LayerQueryFileSize(a, &sizeA) && LayerQueryFileSize(b, &sizeB) && sizeA <= sizeB;
  char chunkA[kChunkSize], chunkB[kChunkSize];
  for (uint64_t left = sizeA; prefix && left;) {
    uint32_t piece = left < kChunkSize ? static_cast<uint32_t>(left) : kChunkSize;
    uint32_t readA = 0, readB = 0;
    prefix = LayerReadFile(a, chunkA, piece, nullptr, &readA) && readA == piece &&
             LayerReadFile(b, chunkB, piece, nullptr, &readB) && readB == piece &&
             memcmp(chunkA, chunkB, piece) == 0;
    left -= piece;
  }
  LayerCloseFile(a);
  LayerCloseFile(b);
  return prefix;
}

// "111": puts the hive to restore in place of the user hive, keeping the old
// one as the saved hive.
bool RestoreUserHive(TwHandle settings, const TwChar* userHive, const TwChar* savedHive) {
  if (!FileExists(kHiveToRestore)) return false;
  // A user hive that is missing, or that is the beginning of the hive to
  // restore, is what an interrupted restore left: the saved hive already holds
  // the user's own hive then, and must not be overwritten.
  bool interrupted = FileExists(savedHive) &&
                     (!FileExists(userHive) || IsPrefixOf(userHive, kHiveToRestore));
  if (!interrupted) {
    DeleteFile(savedHive);
    if (!MyMoveFile(userHive, savedHive)) return false;
  }
  DeleteFile(userHive);
  bool replaced = MyMoveFile(kHiveToRestore, userHive);
  if (!replaced) {
    // Never leave the user without a hive: the saved copy is the old one.
    DeleteFile(userHive);
    MyMoveFile(savedHive, userHive);
  } else {
    DeleteFile(kHiveToRestore);
  }
  WriteIniFile(settings, "IsRepair", "000");
  return replaced;
}

// "222": puts the saved hive back in place of the user hive.
bool UndoUserHiveRestore(TwHandle settings, const TwChar* userHive, const TwChar* savedHive) {
  if (!FileExists(savedHive)) return false;
  DeleteFile(userHive);
  if (!MyMoveFile(savedHive, userHive)) {
    // The user hive is gone: keep the request, so that the next boot puts the
    // saved hive in place instead of leaving the user without one.
    DeleteFile(userHive);
    return false;
  }
  WriteIniFile(settings, "IsRepair", "000");
  return true;
}

}  // namespace

void DisplayString(const TwChar* pString) { LayerDisplayString(pString); }

bool OpenFile(const TwChar* FileName, TwHandle* FileHandle, uint32_t singed) {
  return LayerCreateFile(FileName, singed, FileHandle);
}

bool DeleteFile(const TwChar* FileName) { return LayerDeleteFile(FileName); }

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
             written == sizeof header && CopyBytes(source, hFileTarget, size);
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
  uint32_t size = 0;
  bool copied = QueryCopySize(source, &size) && CopyBytes(source, target, size);
  LayerCloseFile(source);
  LayerCloseFile(target);
  return copied;
}

bool BackupSysFile() {
  if (!IndexIsUsable() || !FileExists(kSettingsPath)) return false;

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

    TwHandle snapshot;
    if (name.ok() && LayerWidenText(narrow, snapshotPath, kHeapPathUnits) &&
        CreateSnapshotFile(snapshotPath, indexDate, &snapshot)) {
      bool complete = WriteSnapshotSections(snapshot);
      if (complete) {
        HandleBackupInfo(indexDate);
        recorded = true;
      }
      LayerCloseFile(snapshot);
      // An incomplete snapshot would block the day and never be rotated away.
      if (!complete) DeleteFile(snapshotPath);
    }
    LayerFreeHeap(heap, snapshotPath);
  }
  LayerDestroyHeap(heap);
  return recorded;
}

bool HandleRepairNtuser() {
  TwHandle settings;
  if (!OpenFile(kSettingsPath, &settings, kDispositionOpenExisting)) return false;

  char userpath[kNarrowPathSize];
  char request[kValueBufferSize];
  bool named = ReadUserPath(settings, userpath);
  if (!ReadIniFile(settings, "IsRepair", request, sizeof request)) request[0] = '\0';
  bool restore = strcmp(request, "111") == 0;
  bool undo = strcmp(request, "222") == 0;

  bool done = !restore && !undo;
  TwChar userHive[kWidePathUnits];
  TwChar savedHive[kWidePathUnits];
  // Without the user's folder a request cannot be carried out; it stays.
  if (!done && named && BuildUserFilePath(userpath, "NTUSER.DAT", userHive) &&
      BuildUserFilePath(userpath, "BKDATA3.DAT", savedHive)) {
    done = restore ? RestoreUserHive(settings, userHive, savedHive)
                   : UndoUserHiveRestore(settings, userHive, savedHive);
  }
  LayerCloseFile(settings);
  return done;
}

void RunBootPasses() {
  TwHandle settings;
  if (OpenFile(kSettingsPath, &settings, kDispositionOpenExisting)) LayerCloseFile(settings);
  else DisplayString(TW_TEXT("Open IniFile Error\n"));
  BackupSysFile();
  HandleRepairNtuser();
}
