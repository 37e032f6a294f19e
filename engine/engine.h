// The boot-time engine's modules and their functions: inifile (profile files),
// backupinfo (the snapshot index), native (file primitives and the two passes).
#pragma once

#include "layer.h"
#include "profile_slot.h"

// ---- inifile: the settings file through the native layer -------------------

// Reads slot index (100 bytes) into a kSlotBufferSize buffer; anything but a
// whole slot leaves the buffer all zeros.
SlotRead ReadProfileSlot(TwHandle file, int index, char* slot);
// Writes the first 100 bytes of slot at slot index; true when all were written.
bool WriteProfileSlot(TwHandle file, int index, const char* slot);

// Finds QueryWord (first match wins) and copies its value into value.
// On false the buffer is left exactly as it was.
bool ReadIniFile(TwHandle hIniFile, const char* QueryWord, char* value, size_t valueSize);

// Rewrites QueryWord's slot in place, or appends a slot and raises the count.
// False, with nothing written, when the header forbids it, the count is
// already at its limit, or the pair does not fit in a slot.
bool WriteIniFile(TwHandle hIniFile, const char* QueryWord, const char* Value);

// Turns every "*" back into the space it stands for.
void ClearXingHao(char* buffer);

// ---- backupinfo: the snapshot index ----------------------------------------

struct TBackupItem {
  char Date[20];
  char Sign[5];
  char IsShow[5];
};

constexpr int kTopTierSlots = 15;
constexpr int kFirstCarrySlot = 16;
constexpr int kLastCarrySlot = 30;

// Cuts line at each delimiter (in place); exactly three fields fill item,
// each cut to its field width. False for any other number of fields.
bool SplitLine(char* line, char delimiter, TBackupItem* item);

// Formats "%s\t%s\t%s" into a zero-filled line of kSlotBufferSize bytes.
void CombindLine(char* line, TBackupItem item);

bool WriteIndexNum(TwHandle hFile, int Num);

// Moves slots IndexNum down to 1 one slot further, then writes slot 1 with the
// new line (AddDate, "0", "1"). The header is left alone.
bool MakeOrderLines(TwHandle hBKInfoFile, int IndexNum, const char* AddDate);

// Scans an index date as "%d-%d-%d" does. Dates that differ as text may
// still name one snapshot file ("029-1-1" and "29-1-1"); their numbers do not.
bool ScanIndexDate(const char* date, int* year, int* month, int* day);

// Deletes the snapshot file that an index date ("%d-%d-%d") names.
void DelFilesFromDate(const char* AddDate);

// Records a new snapshot in the index, carries older lines into the carry tier
// and deletes the snapshot that drops out. True when the index was updated.
bool HandleBackupInfo(const char* AddDate);

// Whether any slot of the index (1 to 30) holds a line naming the same
// snapshot file as Date; also true when a slot cannot be read, since it
// might. Files are deleted only when this is false.
bool IndexListsDate(TwHandle hBKInfoFile, const char* Date);

// The index update on an open index file (HandleBackupInfo without the open).
bool UpdateIndexFile(TwHandle hBKInfoFile, const char* AddDate);

// ---- native: console, file primitives, the boot passes ---------------------

void DisplayString(const TwChar* pString);
bool OpenFile(const TwChar* FileName, TwHandle* FileHandle, uint32_t singed);
bool MyCopyFile(const TwChar* SourceFile, TwHandle hFileTarget);
bool MyMoveFile(const TwChar* SourceFile, const TwChar* TargetFile);
bool DeleteFile(const TwChar* FileName);

// The daily snapshot: one file of the four hives per day, recorded in the index.
bool BackupSysFile();

// Carries out the user-hive request that IsRepair holds.
bool HandleRepairNtuser();

// What the entry does between creating its heap and terminating: the settings
// presence test, the snapshot pass and the restore pass.
void RunBootPasses();
