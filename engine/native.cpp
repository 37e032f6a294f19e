// The boot-time program's frame: console lines, file primitives, the daily
// snapshot pass and the restore pass.
#include <string.h>

#include "engine.h"
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

constexpr uint32_t kChunkSize = 1024;
constexpr size_t kNarrowPathSize = 256;
constexpr size_t kWidePathUnits = 384;  // 768 bytes
constexpr size_t kHeapPathUnits = 128;  // a 256-byte block

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

// Writes the snapshot's four sections. False when any is missing or short.
bool WriteSnapshotSections(TwHandle snapshot) {
  for (const TwChar* hive : kSystemHives) {
    if (!MyCopyFile(hive, snapshot)) return false;
  }
  return CopyUserHive(snapshot);
}

bool DayIsListed(const char* indexDate) {
  TwHandle index;
  if (!OpenFile(kIndexPath, &index, kDispositionOpenExisting)) return false;
  bool listed = IndexListsDate(index, indexDate);
  LayerCloseFile(index);
  return listed;
}

// Writes the day's snapshot file and records it. The pending record names the
// file before it exists, so that an interruption anywhere up to the new index
// is finished by the next boot instead of leaving a file that no line names.
bool TakeSnapshot(const TwChar* path, const char* indexDate) {
  if (!RecordPendingSnapshot(0, indexDate)) return false;
  TwHandle snapshot;
  if (!OpenFile(path, &snapshot, kDispositionCreateNew)) {
    ClearPendingSnapshots();
    return false;
  }
  bool complete = WriteSnapshotSections(snapshot);
  LayerCloseFile(snapshot);
  if (!complete) {
    // An incomplete snapshot would block the day and never be rotated away.
    DeleteFile(path);
    ClearPendingSnapshots();
    return false;
  }
  HandleBackupInfo(indexDate);
  return true;
}

// One snapshot a day. A file of the day that is whole is kept (on a restore
// day it holds the hive from before the restore) and recorded when the index
// does not list it yet; one cut short is taken again.
bool SnapshotDay(const TwChar* path, const char* indexDate) {
  TwHandle existing;
  if (!OpenFile(path, &existing, kDispositionOpenExisting)) return TakeSnapshot(path, indexDate);
  bool whole = SnapshotIsWhole(existing);
  LayerCloseFile(existing);
  if (whole) return !DayIsListed(indexDate) && HandleBackupInfo(indexDate);
  return DeleteFile(path) && TakeSnapshot(path, indexDate);
}

// Whether the file first is a leading part of (or equal to) the file second:
// what a copy from second into first leaves when it was cut off. *equal
// tells whether the two are the same bytes.
bool IsPrefixOf(const TwChar* first, const TwChar* second, bool* equal) {
  *equal = false;
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
  *equal = prefix && sizeA == sizeB;
  return prefix;
}

// The three hive files of the user's folder that a restore moves between.
struct UserHives {
  TwChar user[kWidePathUnits];   // NTUSER.DAT, the hive the log-on loads
  TwChar saved[kWidePathUnits];  // BKDATA3.DAT, the hive from before the last restore
  TwChar copy[kWidePathUnits];   // where a hive is copied before it is renamed into place
};

// Copies source beside the user hive and renames the copy over it: the user
// hive is at every instant either what it was or the whole of source.
bool PutHiveInPlace(const TwChar* source, const UserHives& hives) {
  DeleteFile(hives.copy);  // what an interrupted copy left
  if (MyMoveFile(source, hives.copy) && LayerRenameFile(hives.copy, hives.user)) return true;
  DeleteFile(hives.copy);
  return false;
}

// "111": puts the hive to restore in place of the user hive, keeping the old
// one as the saved hive. Every step is a rename or a copy into a spare file,
// so that one whole copy of the user's own hive stands at every instant, as
// the user hive or as the saved hive; the flag is cleared only when the user
// hive is whole.
bool RestoreUserHive(TwHandle settings, const UserHives& hives) {
  if (!FileExists(kHiveToRestore)) return false;
  bool inPlace = false, sameAsSaved = false;
  bool userHive = FileExists(hives.user);
  bool partOfRestore = userHive && IsPrefixOf(hives.user, kHiveToRestore, &inPlace);
  // Equal to the hive to restore: an earlier boot put it in place and was
  // cut off before it could tidy up.
  if (!inPlace) {
    // A user hive that is the beginning of the hive to restore or of the saved
    // hive is a copy that an interruption cut short, not the user's own: the
    // saved hive holds that, and must not be overwritten.
    bool partOfSaved = userHive && IsPrefixOf(hives.user, hives.saved, &sameAsSaved) && !sameAsSaved;
    bool own = userHive && !partOfRestore && !partOfSaved;
    if (own ? !LayerRenameFile(hives.user, hives.saved) : !FileExists(hives.saved)) return false;
    if (!PutHiveInPlace(kHiveToRestore, hives)) {
      // The user's own hive goes back in place; the hive to restore is kept.
      if (!LayerRenameFile(hives.saved, hives.user)) return false;
      WriteIniFile(settings, "IsRepair", "000");
      return false;
    }
  }
  DeleteFile(kHiveToRestore);
  WriteIniFile(settings, "IsRepair", "000");
  return true;
}

// "222": puts a copy of the saved hive in place of the user hive; the saved
// hive stays, so that a later request still finds it.
bool UndoUserHiveRestore(TwHandle settings, const UserHives& hives) {
  if (!FileExists(hives.saved)) return false;
  bool placed = PutHiveInPlace(hives.saved, hives);
  // A failed copy leaves the user hive as it was: the request is done with
  // as long as there is one.
  if (placed || FileExists(hives.user)) WriteIniFile(settings, "IsRepair", "000");
  return placed;
}

}  // namespace

void DisplayString(const TwChar* pString) { LayerDisplayString(pString); }

bool OpenFile(const TwChar* FileName, TwHandle* FileHandle, uint32_t singed) {
  return LayerCreateFile(FileName, singed, FileHandle);
}

bool DeleteFile(const TwChar* FileName) { return LayerDeleteFile(FileName); }

bool FileExists(const TwChar* name) {
  TwHandle file;
  if (!OpenFile(name, &file, kDispositionOpenExisting)) return false;
  LayerCloseFile(file);
  return true;
}

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
  uint32_t size = 0;
  bool copied = QueryCopySize(source, &size) && CopyFileBytes(source, target, size);
  LayerCloseFile(source);
  LayerCloseFile(target);
  return copied;
}

bool BackupSysFile() {
  if (!IndexIsUsable() || !FileExists(kSettingsPath)) return false;
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
  UserHives hives;
  // Without the user's folder a request cannot be carried out; it stays.
  if (!done && named && BuildUserFilePath(userpath, "NTUSER.DAT", hives.user) &&
      BuildUserFilePath(userpath, "BKDATA3.DAT", hives.saved) &&
      BuildUserFilePath(userpath, "TWHIVE.TMP", hives.copy)) {
    done = restore ? RestoreUserHive(settings, hives) : UndoUserHiveRestore(settings, hives);
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
