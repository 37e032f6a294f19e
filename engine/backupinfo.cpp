// The snapshot index: records each new snapshot, keeps the 15 newest in the
// top tier and thins older ones by the binary carry rule of the carry tier.
#include <string.h>

#include "engine.h"
#include "text.h"

namespace {

const TwChar kIndexPath[] = TW_TEXT("\\SystemRoot\\twsafe\\bkinfo.dat");
constexpr size_t kHeapPathUnits = 128;  // a 256-byte path block

void CopyField(char* field, size_t width, const char* text) {
  size_t length = strlen(text);
  if (length >= width) length = width - 1;
  memcpy(field, text, length);
  field[length] = '\0';
}

void FillItem(TBackupItem* item, const char* date, const char* sign, const char* isShow) {
  CopyField(item->Date, sizeof item->Date, date);
  CopyField(item->Sign, sizeof item->Sign, sign);
  CopyField(item->IsShow, sizeof item->IsShow, isShow);
}

bool WriteItemSlot(TwHandle file, int index, const TBackupItem& item) {
  char line[kSlotBufferSize];
  CombindLine(line, item);
  return WriteProfileSlot(file, index, line);
}

bool ReadItemSlot(TwHandle file, int index, TBackupItem* item) {
  char line[kSlotBufferSize];
  return ReadProfileSlot(file, index, line) == SlotRead::kWhole && SplitLine(line, '\t', item);
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

bool ScanIndexDate(const char* date, int* year, int* month, int* day) {
  const char* rest = ScanDecimal(date, year);
  if (!rest || *rest != '-' || !(rest = ScanDecimal(rest + 1, month))) return false;
  return *rest == '-' && ScanDecimal(rest + 1, day);
}

bool SplitLine(char* line, char delimiter, TBackupItem* item) {
  const char* pItems[3];
  int fields = 0;
  char* piece = line;
  for (;;) {
    char* cut = strchr(piece, delimiter);
    if (fields < 3) pItems[fields] = piece;
    ++fields;
    if (!cut) break;
    *cut = '\0';
    piece = cut + 1;
  }
  if (fields != 3) return false;
  FillItem(item, pItems[0], pItems[1], pItems[2]);
  return true;
}

void CombindLine(char* line, TBackupItem item) {
  memset(line, 0, kSlotBufferSize);
  TextBuilder text(line, kSlotSize);
  text.Append(item.Date).AppendChar('\t').Append(item.Sign).AppendChar('\t').Append(item.IsShow);
}

bool WriteIndexNum(TwHandle hFile, int Num) {
  char slot[kSlotBufferSize];
  FormatIndexNumSlot(slot, Num);
  return WriteProfileSlot(hFile, 0, slot);
}

bool MakeOrderLines(TwHandle hBKInfoFile, int IndexNum, const char* AddDate) {
  TopTier lines;
  return ReadTopTier(hBKInfoFile, IndexNum, &lines) && WriteTopTier(hBKInfoFile, lines, AddDate);
}

void DelFilesFromDate(const char* AddDate) {
  int year = 0, month = 0, day = 0;
  if (!ScanIndexDate(AddDate, &year, &month, &day)) return;

  char name[64];
  TextBuilder text(name, sizeof name);
  text.Append("\\SystemRoot\\twsafe\\").AppendDecimal(year).AppendDecimal(month, 2)
      .AppendDecimal(day, 2).Append(".xff");

  TwHeap heap = LayerCreateHeap();
  if (!heap) return;
  TwChar* path = static_cast<TwChar*>(LayerAllocateHeap(heap, kHeapPathUnits * sizeof(TwChar)));
  if (path && text.ok() && LayerWidenText(name, path, kHeapPathUnits)) DeleteFile(path);
  if (path) LayerFreeHeap(heap, path);
  LayerDestroyHeap(heap);
}

bool UpdateIndexFile(TwHandle hBKInfoFile, const char* AddDate) {
  char slot[kSlotBufferSize];
  ReadProfileSlot(hBKInfoFile, 0, slot);
  int count = 0;
  if (!ScanIndexNum(slot, &count) || count > kMaxIndexNum) return false;
  if (count < 0) count = 0;

  // Everything the update moves is read, and every carry slot the carry will
  // pass is split, before anything is written: an unreadable or unsplittable
  // slot stops the update with the whole index as it was.
  TopTier lines;
  if (!ReadTopTier(hBKInfoFile, count, &lines)) return false;
  if (count < kTopTierSlots) {
    return WriteTopTier(hBKInfoFile, lines, AddDate) && WriteIndexNum(hBKInfoFile, count + 1);
  }

  // Slot 15's line leaves the top tier.
  TBackupItem carried;
  if (!ReadItemSlot(hBKInfoFile, kTopTierSlots, &carried)) return false;
  TBackupItem carryTier[kLastCarrySlot + 1];
  int stop = kLastCarrySlot + 1;
  for (int index = kFirstCarrySlot; index <= kLastCarrySlot; ++index) {
    if (!ReadItemSlot(hBKInfoFile, index, &carryTier[index])) return false;
    if (SignIs(carryTier[index], "0")) {
      stop = index;
      break;
    }
  }

  // The line that leaves the index: its snapshot file is deleted last, after
  // every slot is written, and only when no slot names that date any more, so
  // that an interrupted update never leaves a line whose file is gone. Each
  // write that fails stops the update where it is.
  TBackupItem dropped = {};
  for (int index = kFirstCarrySlot; index <= kLastCarrySlot && index <= stop; ++index) {
    const TBackupItem& current = carryTier[index];
    TBackupItem incoming;
    if (SignIs(current, "0")) {
      dropped = current;
      FillItem(&incoming, carried.Date, "1", carried.IsShow);
      if (!WriteItemSlot(hBKInfoFile, index, incoming)) return false;
    } else if (SignIs(current, "1")) {
      FillItem(&incoming, carried.Date, "0", carried.IsShow);
      if (!WriteItemSlot(hBKInfoFile, index, incoming)) return false;
      carried = current;
    }
  }
  // Every carry digit was 1: the carried line itself leaves the index, and the
  // count stays at the last slot that exists.
  int deepest = stop;
  if (stop > kLastCarrySlot) {
    dropped = carried;
    deepest = kLastCarrySlot;
  }

  if (!WriteTopTier(hBKInfoFile, lines, AddDate)) return false;
  if (deepest > count && !WriteIndexNum(hBKInfoFile, deepest)) return false;
  if (!IndexListsDate(hBKInfoFile, dropped.Date)) DelFilesFromDate(dropped.Date);
  return true;
}

bool IndexListsDate(TwHandle hBKInfoFile, const char* Date) {
  int year = 0, month = 0, day = 0;
  if (!ScanIndexDate(Date, &year, &month, &day)) return false;
  for (int index = 1; index <= kLastCarrySlot; ++index) {
    char line[kSlotBufferSize];
    // A slot read only in part might name it: keep the file then.
    if (ReadProfileSlot(hBKInfoFile, index, line) == SlotRead::kBroken) return true;
    TBackupItem item;
    int y = 0, m = 0, d = 0;
    if (SplitLine(line, '\t', &item) && ScanIndexDate(item.Date, &y, &m, &d) &&
        y == year && m == month && d == day) {
      return true;
    }
  }
  return false;
}

bool HandleBackupInfo(const char* AddDate) {
  TwHandle index;
  if (!OpenFile(kIndexPath, &index, kDispositionOpenExisting)) {
    DisplayString(TW_TEXT("Open backupinfo Error\n"));
    return false;
  }
  bool updated = UpdateIndexFile(index, AddDate);
  LayerCloseFile(index);
  return updated;
}
