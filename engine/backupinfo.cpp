// The snapshot index: records each new snapshot, keeps the 15 newest in the
// top tier and thins older ones by the binary carry rule of the carry tier.
#include <string.h>

#include "engine.h"
#include "text.h"

namespace {

const TwChar kIndexPath[] = TW_TEXT("\\SystemRoot\\twsafe\\bkinfo.dat");
// The new index is written here and renamed over the index when whole.
const TwChar kNewIndexPath[] = TW_TEXT("\\SystemRoot\\twsafe\\bkinfo.tmp");
const TwChar kPendingPath[] = TW_TEXT("\\SystemRoot\\twsafe\\bkinfo.jnl");

bool WriteItemSlot(TwHandle file, int index, const TBackupItem& item) {
  char line[kSlotBufferSize];
  CombindLine(line, item);
  return WriteProfileSlot(file, index, line);
}

// Reads and splits one index line: kFailed when the slot cannot be read,
// kRefused when it does not split.
IndexUpdate ReadItemSlot(TwHandle file, int index, TBackupItem* item) {
  char line[kSlotBufferSize];
  if (ReadProfileSlot(file, index, line) != SlotRead::kWhole) return IndexUpdate::kFailed;
  return SplitLine(line, '\t', item) ? IndexUpdate::kRecorded : IndexUpdate::kRefused;
}

bool SignIs(const TBackupItem& item, const char* sign) { return strcmp(item.Sign, sign) == 0; }

// The slots of the top tier that move one slot further, as raw slots.
struct TopTier {
  int count;
  char slots[kTopTierSlots][kSlotBufferSize];
};

// Reads slots 1 to count (at most 14). False when one cannot be read: a line
// that was not read must not be written anywhere.
bool ReadTopTier(TwHandle file, int count, TopTier* lines) {
  lines->count = count < 0 ? 0 : count > kTopTierSlots - 1 ? kTopTierSlots - 1 : count;
  for (int index = 1; index <= lines->count; ++index) {
    if (ReadProfileSlot(file, index, lines->slots[index]) != SlotRead::kWhole) return false;
  }
  return true;
}

// Moves the lines read one slot further, from the last to the first, and
// writes slot 1 with the new line. A failed write stops the move, so that no
// line is overwritten before it has been copied on.
bool WriteTopTier(TwHandle file, const TopTier& lines, const char* AddDate) {
  for (int index = lines.count; index >= 1; --index) {
    if (!WriteProfileSlot(file, index + 1, lines.slots[index])) return false;
  }
  TBackupItem fresh;
  FillItem(&fresh, AddDate, "0", "1");
  return WriteItemSlot(file, 1, fresh);
}

}  // namespace

bool WriteIndexNum(TwHandle hFile, int Num) {
  char slot[kSlotBufferSize];
  FormatIndexNumSlot(slot, Num);
  return WriteProfileSlot(hFile, 0, slot);
}

bool SnapshotPath(const char* date, TwChar* path) {
  char fileName[48], name[64];
  if (!SnapshotFileName(date, fileName, sizeof fileName)) return false;
  TextBuilder text(name, sizeof name);
  text.Append("\\SystemRoot\\twsafe\\").Append(fileName);
  return text.ok() && LayerWidenText(name, path, kHeapPathUnits);
}

int ReadListedItems(TBackupItem* items) {
  TwHandle index;
  if (!OpenFile(kIndexPath, &index, kDispositionOpenExisting)) return 0;
  char slot[kSlotBufferSize];
  int count = 0, listed = 0;
  if (ReadProfileSlot(index, 0, slot) == SlotRead::kWhole && ScanIndexNum(slot, &count)) {
    for (int slotIndex = 1; slotIndex <= count && slotIndex <= kLastCarrySlot; ++slotIndex) {
      if (ReadItemSlot(index, slotIndex, &items[listed]) == IndexUpdate::kRecorded) ++listed;
    }
  }
  LayerCloseFile(index);
  return listed;
}

namespace {

// Deletes the snapshot file of an index date. True when no such file is left
// (deleted, or not there); a date that names no file leaves nothing to delete.
bool DeleteSnapshotOfDate(const char* date) {
  char fileName[48];
  if (!SnapshotFileName(date, fileName, sizeof fileName)) return true;
  TwHeap heap = LayerCreateHeap();
  if (!heap) return false;
  TwChar* path = static_cast<TwChar*>(LayerAllocateHeap(heap, kHeapPathUnits * sizeof(TwChar)));
  bool gone = path && SnapshotPath(date, path) && RemoveFile(path);
  if (path) LayerFreeHeap(heap, path);
  LayerDestroyHeap(heap);
  return gone;
}

}  // namespace

void DelFilesFromDate(const char* AddDate) { DeleteSnapshotOfDate(AddDate); }

IndexUpdate UpdateIndexFile(TwHandle hBKInfoFile, const char* AddDate, TBackupItem* dropped) {
  memset(dropped, 0, sizeof *dropped);
  char slot[kSlotBufferSize];
  if (ReadProfileSlot(hBKInfoFile, 0, slot) != SlotRead::kWhole) return IndexUpdate::kFailed;
  int count = 0;
  if (!ScanIndexNum(slot, &count) || count > kMaxIndexNum) return IndexUpdate::kRefused;
  if (count < 0) count = 0;

  // Everything the update moves is read, and every carry slot the carry will
  // pass is split, before anything is written.
  TopTier lines;
  if (!ReadTopTier(hBKInfoFile, count, &lines)) return IndexUpdate::kFailed;
  if (count < kTopTierSlots) {
    bool written = WriteTopTier(hBKInfoFile, lines, AddDate) && WriteIndexNum(hBKInfoFile, count + 1);
    return written ? IndexUpdate::kRecorded : IndexUpdate::kFailed;
  }

  // Slot 15's line leaves the top tier.
  TBackupItem carried;
  IndexUpdate read = ReadItemSlot(hBKInfoFile, kTopTierSlots, &carried);
  if (read != IndexUpdate::kRecorded) return read;
  TBackupItem carryTier[kLastCarrySlot + 1];
  int stop = kLastCarrySlot + 1;
  for (int index = kFirstCarrySlot; index <= kLastCarrySlot; ++index) {
    read = ReadItemSlot(hBKInfoFile, index, &carryTier[index]);
    if (read != IndexUpdate::kRecorded) return read;
    if (SignIs(carryTier[index], "0")) {
      stop = index;
      break;
    }
  }

  for (int index = kFirstCarrySlot; index <= kLastCarrySlot && index <= stop; ++index) {
    const TBackupItem& current = carryTier[index];
    TBackupItem incoming;
    if (SignIs(current, "0")) {
      *dropped = current;
      FillItem(&incoming, carried.Date, "1", carried.IsShow);
      if (!WriteItemSlot(hBKInfoFile, index, incoming)) return IndexUpdate::kFailed;
    } else if (SignIs(current, "1")) {
      FillItem(&incoming, carried.Date, "0", carried.IsShow);
      if (!WriteItemSlot(hBKInfoFile, index, incoming)) return IndexUpdate::kFailed;
      carried = current;
    }
  }
  // Every carry digit was 1: the carried line itself leaves the index, and the
  // count stays at the last slot that exists.
  int deepest = stop;
  if (stop > kLastCarrySlot) {
    *dropped = carried;
    deepest = kLastCarrySlot;
  }

  if (!WriteTopTier(hBKInfoFile, lines, AddDate)) return IndexUpdate::kFailed;
  if (deepest > count && !WriteIndexNum(hBKInfoFile, deepest)) return IndexUpdate::kFailed;
  return IndexUpdate::kRecorded;
}

namespace {

enum class Listing { kListed, kUnlisted, kUnknown };

// Whether a line of the index names the same snapshot file as Date. Dates
// that differ as text may name one file ("2026-1-11", "202-60-111"): what
// counts is the file name. kUnknown when a slot could be read only in part.
Listing FindDate(TwHandle index, const char* Date) {
  char wanted[48];
  if (!SnapshotFileName(Date, wanted, sizeof wanted)) return Listing::kUnlisted;
  for (int slot = 1; slot <= kLastCarrySlot; ++slot) {
    char line[kSlotBufferSize];
    if (ReadProfileSlot(index, slot, line) == SlotRead::kBroken) return Listing::kUnknown;
    TBackupItem item;
    char named[48];
    if (SplitLine(line, '\t', &item) && SnapshotFileName(item.Date, named, sizeof named) &&
        strcmp(named, wanted) == 0) {
      return Listing::kListed;
    }
  }
  return Listing::kUnlisted;
}

}  // namespace

bool IndexListsDate(TwHandle hBKInfoFile, const char* Date) {
  return FindDate(hBKInfoFile, Date) != Listing::kUnlisted;
}

bool IndexIsUsable() {
  TwHandle index;
  if (!OpenFile(kIndexPath, &index, kDispositionOpenExisting)) return false;
  char slot[kSlotBufferSize];
  ReadProfileSlot(index, 0, slot);
  LayerCloseFile(index);
  int count = 0;
  return ScanIndexNum(slot, &count);
}

namespace {

// Writes a copy of the freshly opened index, updated, as the new index, and
// makes it durable. The copy keeps every byte of the index that the update
// does not rewrite.
IndexUpdate WriteNewIndex(TwHandle index, const char* AddDate, TBackupItem* dropped) {
  if (!RemoveFile(kNewIndexPath)) return IndexUpdate::kFailed;  // what an interrupted update left
  TwHandle copy;
  if (!OpenFile(kNewIndexPath, &copy, kDispositionCreateNew)) return IndexUpdate::kFailed;
  uint32_t size = 0;
  // The index was just opened: its position is at its start.
  IndexUpdate update = QueryCopySize(index, &size) && CopyFileBytes(index, copy, size)
                           ? UpdateIndexFile(copy, AddDate, dropped)
                           : IndexUpdate::kFailed;
  if (update == IndexUpdate::kRecorded && !LayerFlushFile(copy)) update = IndexUpdate::kFailed;
  LayerCloseFile(copy);
  return update;
}

// The whole update for a snapshot that is already whole on the disk.
IndexUpdate RecordSnapshot(const char* AddDate) {
  TBackupItem dropped;
  IndexUpdate update = PrepareIndexUpdate(AddDate, &dropped);
  if (update != IndexUpdate::kRecorded) return update;
  if (!RecordPendingSnapshot(AddDate, dropped.Date)) {
    AbandonIndexUpdate();
    return IndexUpdate::kFailed;
  }
  return CommitIndexUpdate() ? IndexUpdate::kRecorded : IndexUpdate::kFailed;
}

// Settles a pending day that an interrupted update left: when its file is
// whole it is recorded now (a day file stands only once it is whole on the
// disk); when it is cut short, or the index will never take it, it goes.
bool SettlePendingDay(const char* day) {
  TwChar path[kHeapPathUnits];
  if (!SnapshotPath(day, path)) return ClearPendingSnapshots();
  TwHandle snapshot;
  FileStatus found = LayerCreateFile(path, kDispositionOpenExisting, &snapshot);
  if (found == FileStatus::kFailed) return false;
  bool whole = false;
  if (found == FileStatus::kOk) {
    whole = SnapshotIsWhole(snapshot);
    LayerCloseFile(snapshot);
  }
  switch (whole ? RecordSnapshot(day) : IndexUpdate::kRefused) {
    case IndexUpdate::kListed: return ClearPendingSnapshots();
    case IndexUpdate::kRecorded: return FindFile(kPendingPath) == FileStatus::kNotFound;
    case IndexUpdate::kRefused: return RemoveFile(path) && ClearPendingSnapshots();  // no line would ever name it
    case IndexUpdate::kFailed: return false;
  }
  return false;
}

// Settles the pending record against the index as it stands: the file of the
// line that left is deleted when no line names it; the new day's file, when
// the index does not list it, is recorded now (recordDay) if whole, else
// deleted. The record goes when nothing is left to settle. True then.
bool SettlePendingSnapshots(bool recordDay) {
  TwHandle record;
  FileStatus found = LayerCreateFile(kPendingPath, kDispositionOpenExisting, &record);
  if (found != FileStatus::kOk) return found == FileStatus::kNotFound;
  char day[kSlotBufferSize], leaving[kSlotBufferSize];
  SlotRead dayRead = ReadProfileSlot(record, 0, day);
  SlotRead leavingRead = ReadProfileSlot(record, 1, leaving);
  LayerCloseFile(record);
  if (dayRead == SlotRead::kBroken || leavingRead == SlotRead::kBroken) return false;

  TwHandle index;
  if (!OpenFile(kIndexPath, &index, kDispositionOpenExisting)) return false;
  Listing dayListing = FindDate(index, day);
  Listing leavingListing = FindDate(index, leaving);
  LayerCloseFile(index);
  if (dayListing == Listing::kUnknown || leavingListing == Listing::kUnknown) return false;
  if (leavingListing == Listing::kUnlisted && !DeleteSnapshotOfDate(leaving)) return false;
  if (dayListing == Listing::kListed || !recordDay) return ClearPendingSnapshots();
  return SettlePendingDay(day);
}

}  // namespace

IndexUpdate PrepareIndexUpdate(const char* AddDate, TBackupItem* dropped) {
  memset(dropped, 0, sizeof *dropped);
  TwHandle index;
  if (!OpenFile(kIndexPath, &index, kDispositionOpenExisting)) {
    DisplayString(TW_TEXT("Open backupinfo Error\n"));
    return IndexUpdate::kFailed;
  }
  // One line per snapshot: a day listed already (its file retaken, say) is
  // not recorded again.
  Listing listing = FindDate(index, AddDate);
  LayerCloseFile(index);
  if (listing != Listing::kUnlisted) return listing == Listing::kListed ? IndexUpdate::kListed : IndexUpdate::kFailed;
  // Opened again: the copy reads from the file position, which the search moved.
  if (!OpenFile(kIndexPath, &index, kDispositionOpenExisting)) return IndexUpdate::kFailed;
  IndexUpdate update = WriteNewIndex(index, AddDate, dropped);
  LayerCloseFile(index);
  if (update != IndexUpdate::kRecorded) AbandonIndexUpdate();
  return update;
}

bool CommitIndexUpdate() {
  if (LayerRenameFile(kNewIndexPath, kIndexPath, RenameMode::kReplace) != FileStatus::kOk) {
    AbandonIndexUpdate();
    return false;
  }
  // The dropped line's file goes now that the new index shows that no line
  // names it. Whatever is left undone here the pending record keeps, and the
  // next boot finishes it before it starts another update.
  SettlePendingSnapshots(false);
  return true;
}

void AbandonIndexUpdate() { RemoveFile(kNewIndexPath); }

bool HandleBackupInfo(const char* AddDate) {
  IndexUpdate update = RecordSnapshot(AddDate);
  return update == IndexUpdate::kRecorded || update == IndexUpdate::kListed;
}

bool RecordPendingSnapshot(const char* day, const char* dropped) {
  TwHandle record;
  FileStatus opened = LayerCreateFile(kPendingPath, kDispositionOpenExisting, &record);
  if (opened == FileStatus::kNotFound) opened = LayerCreateFile(kPendingPath, kDispositionCreateNew, &record);
  if (opened != FileStatus::kOk) return false;
  char dayLine[kSlotBufferSize], droppedLine[kSlotBufferSize];
  memset(dayLine, 0, sizeof dayLine);
  memset(droppedLine, 0, sizeof droppedLine);
  TextBuilder dayText(dayLine, kSlotSize), droppedText(droppedLine, kSlotSize);
  dayText.Append(day);
  droppedText.Append(dropped);
  bool written = dayText.ok() && droppedText.ok() && WriteProfileSlot(record, 0, dayLine) &&
                 WriteProfileSlot(record, 1, droppedLine) && LayerFlushFile(record);
  LayerCloseFile(record);
  return written;
}

bool ClearPendingSnapshots() { return RemoveFile(kPendingPath); }

bool FinishPendingSnapshots() { return SettlePendingSnapshots(true); }
