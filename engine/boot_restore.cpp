// A restore at boot: chosen from the boot menu's restore entry, whose extra
// switch the kernel keeps among this boot's start options. The newest listed
// snapshot from before today whose software and user hives are sound and
// clean is written out as the two prepared hives, and both requests are set:
// the restore pass that follows carries them out by the same steps as a
// restore asked for from the control panel, so that a power cut at any point
// leaves each hive whole, as it was or as restored.
#include <string.h>

#include "boot_files.h"
#include "engine.h"
#include "hive_tree.h"
#include "text.h"

namespace {

const TwChar kControlKey[] = TW_TEXT("\\Registry\\Machine\\System\\CurrentControlSet\\Control");
const TwChar kStartOptionsValue[] = TW_TEXT("SystemStartOptions");
constexpr size_t kStartOptionsUnits = 512;
const char kRestoreWord[] = "TWRESTORE";

// A prepared hive is written here first and renamed into place when whole.
const TwChar kSpareHiveToRestore[] = TW_TEXT("\\SystemRoot\\temp\\TWXT04.TMP");
const TwChar kSpareSoftwareToRestore[] = TW_TEXT("\\SystemRoot\\temp\\TWSW04.TMP");

// Which request a snapshot section serves.
struct RestoredHive {
  SnapshotHive section;
  const char* key;
  const TwChar* prepared;
  const TwChar* spare;
};
const RestoredHive kRestoredHives[] = {
    {SnapshotHive::kSoftware, "SysRepair", kSoftwareToRestore, kSpareSoftwareToRestore},
    {SnapshotHive::kUser, "IsRepair", kHiveToRestore, kSpareHiveToRestore},
};
constexpr int kRestoredCount = sizeof kRestoredHives / sizeof kRestoredHives[0];

constexpr uint32_t kReadPiece = 1024 * 1024;

void Say(const char* first, const char* date = "", const char* rest = "") {
  char line[160];
  TextBuilder text(line, sizeof line);
  text.Append("Restore at boot: ").Append(first).Append(date).Append(rest).AppendChar('\n');
  TwChar wide[160];
  if (LayerWidenText(line, wide, sizeof wide / sizeof wide[0])) DisplayString(wide);
}

// year * 10000 + month * 100 + day, which orders dates; -1 when date does not scan.
long DayNumber(const char* date) {
  int year = 0, month = 0, day = 0;
  if (!ScanIndexDate(date, &year, &month, &day)) return -1;
  return static_cast<long>(year) * 10000 + month * 100 + day;
}

// A hive of a snapshot read into memory and found fit to be put in place.
struct HeldHive {
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
};

// Reads a section whole and checks it. Sound means what the snapshot
// library calls usable (no fault, not dirty: a dirty hive copied without its
// log may be half-written), and a size that the restore pass accepts.
bool HoldSoundHive(TwHandle file, const SectionPlace& place, SnapshotHive section, TwHeap heap, HeldHive* hive) {
  if (place.length < kHiveBaseBlockBytes + kHiveBinAlignment || place.length % kHiveBinAlignment != 0) return false;
  uint8_t* bytes = static_cast<uint8_t*>(LayerAllocateHeap(heap, place.length));
  size_t words = HiveCheckMemoryWords(place.length - kHiveBaseBlockBytes);
  uint32_t* memory = static_cast<uint32_t*>(LayerAllocateHeap(heap, words * sizeof(uint32_t)));
  bool sound = bytes && memory;
  for (uint32_t held = 0; sound && held < place.length;) {
    uint32_t piece = place.length - held < kReadPiece ? place.length - held : kReadPiece;
    uint64_t offset = place.offset + held;
    uint32_t done = 0;
    sound = LayerReadFile(file, bytes + held, piece, &offset, &done) && done == piece;
    held += piece;
  }
  BaseBlockInfo info;
  sound = sound && CheckWholeHive(bytes, place.length, &section, memory, &info) == HiveFault::kNone && !info.dirty;
  if (memory) LayerFreeHeap(heap, memory);
  if (!sound) {
    if (bytes) LayerFreeHeap(heap, bytes);
    return false;
  }
  *hive = {bytes, place.length};
  return true;
}

// Holds every restored hive of the snapshot of date, or none.
bool HoldSnapshotHives(const char* date, TwHeap heap, HeldHive* hives) {
  TwChar path[kHeapPathUnits];
  TwHandle file;
  if (!SnapshotPath(date, path) || !OpenFile(path, &file, kDispositionOpenExisting)) return false;
  SectionPlace places[kSnapshotSections];
  int held = 0;
  if (SnapshotIsWhole(file, places)) {
    while (held < kRestoredCount) {
      SnapshotHive section = kRestoredHives[held].section;
      if (!HoldSoundHive(file, places[static_cast<int>(section)], section, heap, &hives[held])) break;
      ++held;
    }
  }
  LayerCloseFile(file);
  if (held == kRestoredCount) return true;
  while (held) LayerFreeHeap(heap, hives[--held].bytes);
  return false;
}

// Writes a held hive under its spare name, makes it durable and renames it
// over the prepared hive. False, with the spare removed, on any failure.
bool WritePreparedHive(const RestoredHive& target, const HeldHive& hive) {
  if (!RemoveFile(target.spare)) return false;
  TwHandle spare;
  if (!OpenFile(target.spare, &spare, kDispositionCreateNew)) return false;
  uint32_t done = 0;
  bool written = LayerWriteFile(spare, hive.bytes, hive.length, nullptr, &done) && done == hive.length &&
                 LayerFlushFile(spare);
  LayerCloseFile(spare);
  if (written && LayerRenameFile(target.spare, target.prepared, RenameMode::kReplace) == FileStatus::kOk) return true;
  RemoveFile(target.spare);
  return false;
}

// Sets the requests, and SignRun so that the control panel runs its
// fix-ups at its next start, and makes them durable. Only then the record of
// this restore that the snapshot dialog shows, which nothing depends on.
bool RequestRestore(TwHandle settings, const char* today, const char* from) {
  for (const RestoredHive& hive : kRestoredHives) {
    if (!WriteIniFile(settings, hive.key, "111")) return false;
  }
  if (!WriteIniFile(settings, "SignRun", "111") || !LayerFlushFile(settings)) return false;
  if (WriteIniFile(settings, "BootRestoreDay", today) && WriteIniFile(settings, "BootRestoreFrom", from)) {
    LayerFlushFile(settings);
  }
  return true;
}

// Index lines from newest to oldest by their dates.
void SortNewestFirst(TBackupItem* items, int count) {
  for (int i = 1; i < count; ++i) {
    TBackupItem item = items[i];
    int j = i;
    for (; j > 0 && DayNumber(items[j - 1].Date) < DayNumber(item.Date); --j) items[j] = items[j - 1];
    items[j] = item;
  }
}

}  // namespace

bool BootAsksForRestore() {
  TwChar options[kStartOptionsUnits];
  if (LayerQueryRegistryString(kControlKey, kStartOptionsValue, options, kStartOptionsUnits) != FileStatus::kOk) {
    return false;
  }
  // Switches without their slashes, separated by spaces.
  const size_t wordLength = sizeof kRestoreWord - 1;
  for (const TwChar* word = options; *word;) {
    while (*word == ' ') ++word;
    const TwChar* end = word;
    while (*end && *end != ' ') ++end;
    bool same = static_cast<size_t>(end - word) == wordLength;
    for (size_t i = 0; same && i < wordLength; ++i) same = (word[i] & ~0x20) == kRestoreWord[i];
    if (same) return true;
    word = end;
  }
  return false;
}

bool PrepareRestoreAtBoot() {
  TwHandle settings;
  HiveFiles userHive;
  if (!OpenFile(kSettingsPath, &settings, kDispositionOpenExisting)) {
    Say("no settings, nothing restored");
    return false;
  }
  if (!LocateUserHive(settings, &userHive)) {
    LayerCloseFile(settings);
    Say("the settings name no user folder, nothing restored");
    return false;
  }
  int year = 0, month = 0, day = 0;
  LayerQueryDate(&year, &month, &day);
  char today[kSlotBufferSize];
  TextBuilder date(today, sizeof today);
  date.AppendDecimal(year).AppendChar('-').AppendDecimal(month).AppendChar('-').AppendDecimal(day);
  const long todayNumber = DayNumber(today);

  TBackupItem items[kLastCarrySlot];
  int count = ReadListedItems(items);
  SortNewestFirst(items, count);
  TwHeap heap = LayerCreateHeap();
  const char* from = nullptr;
  bool prepared = false;
  for (int i = 0; heap && !from && i < count; ++i) {
    long number = DayNumber(items[i].Date);
    HeldHive hives[kRestoredCount];
    if (number < 0 || number >= todayNumber || !HoldSnapshotHives(items[i].Date, heap, hives)) continue;
    from = items[i].Date;
    prepared = true;
    for (int h = 0; h < kRestoredCount; ++h) {
      prepared = prepared && WritePreparedHive(kRestoredHives[h], hives[h]);
      LayerFreeHeap(heap, hives[h].bytes);
    }
  }
  if (heap) LayerDestroyHeap(heap);
  prepared = prepared && RequestRestore(settings, today, from);
  LayerCloseFile(settings);
  if (!from) Say("no sound snapshot from before today, nothing restored");
  else if (!prepared) Say("the hives of the snapshot of ", from, " could not be prepared in full");
  else Say("putting back the software and user hives of the snapshot of ", from);
  return prepared;
}
