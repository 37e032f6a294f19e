// Index lines: splitting, joining, and the file names their dates give.
#include "index_line.h"

#include <string.h>

#include "profile_slot.h"
#include "text.h"

namespace {

void CopyField(char* field, size_t width, const char* text) {
  size_t length = strlen(text);
  if (length >= width) length = width - 1;
  memcpy(field, text, length);
  field[length] = '\0';
}

}  // namespace

void FillItem(TBackupItem* item, const char* date, const char* sign, const char* isShow) {
  CopyField(item->Date, sizeof item->Date, date);
  CopyField(item->Sign, sizeof item->Sign, sign);
  CopyField(item->IsShow, sizeof item->IsShow, isShow);
}

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

bool SnapshotFileName(const char* Date, char* name, size_t size) {
  int year = 0, month = 0, day = 0;
  if (!ScanIndexDate(Date, &year, &month, &day)) return false;
  TextBuilder text(name, size);
  text.AppendDecimal(year).AppendDecimal(month, 2).AppendDecimal(day, 2).Append(".xff");
  return text.ok();
}
