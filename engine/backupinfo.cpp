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
  ReadProfileSlot(file, index, line);
  return SplitLine(line, '\t', item);
}

bool SignIs(const TBackupItem& item, const char* sign) { return strcmp(item.Sign, sign) == 0; }

}  // namespace

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
  char slot[kSlotBufferSize];
  bool ok = true;
  for (int index = IndexNum; index >= 1; --index) {
    ReadProfileSlot(hBKInfoFile, index, slot);
    ok = WriteProfileSlot(hBKInfoFile, index + 1, slot) && ok;
  }
  TBackupItem fresh;
  FillItem(&fresh, AddDate, "0", "1");
  return WriteItemSlot(hBKInfoFile, 1, fresh) && ok;
}

void DelFilesFromDate(const char* AddDate) {
  int year = 0, month = 0, day = 0;
  const char* rest = ScanDecimal(AddDate, &year);
  if (!rest || *rest != '-' || !(rest = ScanDecimal(rest + 1, &month))) return;
  if (*rest != '-' || !ScanDecimal(rest + 1, &day)) return;

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

  if (count < kTopTierSlots) {
    bool moved = MakeOrderLines(hBKInfoFile, count, AddDate);
    return WriteIndexNum(hBKInfoFile, count + 1) && moved;
  }

  // Slot 15's line leaves the top tier. Every carry slot the carry will pass
  // is read and split before anything is written, so that an unsplittable
  // slot stops the update with the whole index as it was.
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

  bool ok = true;
  for (int index = kFirstCarrySlot; index <= kLastCarrySlot && index <= stop; ++index) {
    const TBackupItem& current = carryTier[index];
    TBackupItem incoming;
    if (SignIs(current, "0")) {
      DelFilesFromDate(current.Date);
      FillItem(&incoming, carried.Date, "1", carried.IsShow);
      ok = WriteItemSlot(hBKInfoFile, index, incoming) && ok;
    } else if (SignIs(current, "1")) {
      FillItem(&incoming, carried.Date, "0", carried.IsShow);
      ok = WriteItemSlot(hBKInfoFile, index, incoming) && ok;
      carried = current;
    }
  }
  int deepest = stop;
  if (stop > kLastCarrySlot) {
    // Every carry digit was 1: the carried line leaves the index. Its file
    // goes with it (nothing would ever delete it later), and the count stays
    // at the last slot that exists.
    DelFilesFromDate(carried.Date);
    deepest = kLastCarrySlot;
  }

  ok = MakeOrderLines(hBKInfoFile, kTopTierSlots - 1, AddDate) && ok;
  if (deepest > count) ok = WriteIndexNum(hBKInfoFile, deepest) && ok;
  return ok;
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
