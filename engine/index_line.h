// Lines of the snapshot index and the snapshot file names their dates give:
// pure functions over buffers, shared by the boot-time program, the snapshot
// library and the control panel.
#pragma once

#include <stddef.h>

struct TBackupItem {
  char Date[20];
  char Sign[5];
  char IsShow[5];
};

constexpr int kTopTierSlots = 15;
constexpr int kFirstCarrySlot = 16;
constexpr int kLastCarrySlot = 30;

// Fills the three fields, each cut to its width.
void FillItem(TBackupItem* item, const char* date, const char* sign, const char* isShow);

// Cuts line at each delimiter (in place); exactly three fields fill item,
// each cut to its field width. False for any other number of fields.
bool SplitLine(char* line, char delimiter, TBackupItem* item);

// Formats "%s\t%s\t%s" into a zero-filled line of kSlotBufferSize bytes.
void CombindLine(char* line, TBackupItem item);

// Scans an index date as "%d-%d-%d" does. Dates that differ as text may
// still name one snapshot file ("029-1-1" and "29-1-1"); their numbers do not.
bool ScanIndexDate(const char* date, int* year, int* month, int* day);

// The snapshot file name ("%d%02d%02d.xff") an index date names; false when
// the date does not scan as "%d-%d-%d" or the name does not fit in size.
bool SnapshotFileName(const char* Date, char* name, size_t size);
