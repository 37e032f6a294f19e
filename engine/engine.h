// The boot-time engine's modules and their functions: inifile (profile files),
// backupinfo (the snapshot index), native (file primitives and the two passes).
#pragma once

#include "index_line.h"
#include "layer.h"
#include "profile_slot.h"
#include "snapshot_section.h"

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

// The index lines themselves (TBackupItem, SplitLine, CombindLine,
// ScanIndexDate, SnapshotFileName) are in index_line.h.

bool WriteIndexNum(TwHandle hFile, int Num);

// Moves slots IndexNum down to 1 one slot further, then writes slot 1 with the
// new line (AddDate, "0", "1"). The header is left alone.
bool MakeOrderLines(TwHandle hBKInfoFile, int IndexNum, const char* AddDate);

// Deletes the snapshot file that an index date ("%d-%d-%d") names.
void DelFilesFromDate(const char* AddDate);

// Records a new snapshot in the index, carries older lines into the carry tier
// and deletes the snapshot that drops out. True when the index was updated.
// All or nothing: the new index is written beside the old one and renamed
// over it, so that a cut at any point leaves the old index or the new one.
bool HandleBackupInfo(const char* AddDate);

// Whether any slot of the index (1 to 30) holds a line naming the same
// snapshot file as Date; also true when a slot cannot be read, since it
// might. Files are deleted only when this is false.
bool IndexListsDate(TwHandle hBKInfoFile, const char* Date);

// What an index update did.
enum class IndexUpdate {
  kRecorded,  // the new line is in the index
  kRefused,   // the index cannot take it (header, count, a line that will not split)
  kFailed,    // a read or a write failed
};

// The index update on an open index file: the new line in slot 1, the top
// tier moved, the carry rule applied. *dropped receives the line that leaves
// the index (an empty Date when none does); its file is not deleted here.
// Unless kRecorded, what was written is to be thrown away.
IndexUpdate UpdateIndexFile(TwHandle hBKInfoFile, const char* AddDate, TBackupItem* dropped);

// The pending record beside the index names the snapshot files whose fate an
// index update decides until it is finished: the new day's file (slot 0,
// written before that file is created) and the file of the line that leaves
// the index (slot 1). An update that ends, recorded or refused, removes it.
bool RecordPendingSnapshot(int slot, const char* Date);
// True when no record is left.
bool ClearPendingSnapshots();

// Finishes what an interrupted update left: the file of a line that left the
// index and is named nowhere is deleted; a whole new-day file that the index
// does not list is recorded now, an incomplete one deleted. True when nothing
// is pending any more.
bool FinishPendingSnapshots();

// ---- native: console, file primitives, the boot passes ---------------------

void DisplayString(const TwChar* pString);
bool OpenFile(const TwChar* FileName, TwHandle* FileHandle, uint32_t singed);
bool MyCopyFile(const TwChar* SourceFile, TwHandle hFileTarget);
bool MyMoveFile(const TwChar* SourceFile, const TwChar* TargetFile);
// Copies size bytes from source's position to target's position in pieces of
// 1024 bytes. False at the first read or write that falls short.
bool CopyFileBytes(TwHandle source, TwHandle target, uint32_t size);
// The size of an open file, when a section header can state it as "%d"
// (below 2 GiB).
bool QueryCopySize(TwHandle file, uint32_t* size);
bool DeleteFile(const TwChar* FileName);
// Whether a file of that name opens (and is closed again at once).
bool FileExists(const TwChar* name);

// The daily snapshot: one file of the four hives per day, recorded in the index.
bool BackupSysFile();

// Carries out the user-hive request that IsRepair holds.
bool HandleRepairNtuser();

// What the entry does between creating its heap and terminating: the settings
// presence test, the snapshot pass and the restore pass.
void RunBootPasses();
