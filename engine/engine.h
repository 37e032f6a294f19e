// The boot-time engine's modules and their functions: inifile (profile files),
// backupinfo (the snapshot index), native (file primitives and the passes),
// boot_restore (a restore chosen from the boot menu), hive_request (putting a
// hive in place).
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

// The snapshot file that an index date names, as a native path of
// kHeapPathUnits. False when the date names no file.
bool SnapshotPath(const char* date, TwChar* path);

// Reads the lines the index lists (slots 1 to its count) that split, in slot
// order, into items (room for kLastCarrySlot). Their number: 0 when the index
// cannot be read.
int ReadListedItems(TBackupItem* items);

// Deletes the snapshot file that an index date ("%d-%d-%d") names.
void DelFilesFromDate(const char* AddDate);

// Whether the index opens and its header scans as a count.
bool IndexIsUsable();

// Whether any slot of the index (1 to 30) holds a line naming the same
// snapshot file as Date; also true when a slot cannot be read, since it
// might. Files are deleted only when this is false.
bool IndexListsDate(TwHandle hBKInfoFile, const char* Date);

// What an index update did, or would do.
enum class IndexUpdate {
  kRecorded,  // the new line is in the index
  kListed,    // a line names the snapshot already: nothing to add
  kRefused,   // the index cannot take it (header, count, a line that will not split)
  kFailed,    // a read or a write failed
};

// The index update on an open index file: the new line in slot 1, the top
// tier moved, the carry rule applied. *dropped receives the line that leaves
// the index (an empty Date when none does); its file is not deleted here.
// Unless kRecorded, what was written is to be thrown away.
IndexUpdate UpdateIndexFile(TwHandle hBKInfoFile, const char* AddDate, TBackupItem* dropped);

// Records a snapshot in the index, unless a line names it already, and
// deletes the snapshot that drops out. True when the index lists it.
bool HandleBackupInfo(const char* AddDate);

// An update in steps, for a snapshot that is still to be written: the new
// index is prepared beside the old one and made durable, the pending record
// names the files whose fate it decides, and only then (the new snapshot
// durable too) the new index is put in place and the dropped file deleted.
// A cut at any point leaves the old index or the new one, and a record by
// which the next boot finishes the update.
IndexUpdate PrepareIndexUpdate(const char* AddDate, TBackupItem* dropped);
bool CommitIndexUpdate();
void AbandonIndexUpdate();

// The pending record beside the index: the new day's snapshot (slot 0) and
// the snapshot of the line that leaves the index (slot 1), written durably
// before anything that depends on it.
bool RecordPendingSnapshot(const char* day, const char* dropped);
// True when no record is left.
bool ClearPendingSnapshots();

// Finishes what an interrupted update left: the file of a line that left the
// index and is named nowhere is deleted; a whole new-day file that the index
// does not list is recorded now, an incomplete one deleted. True when nothing
// is pending any more: until then no new update starts.
bool FinishPendingSnapshots();

// ---- native: console, file primitives, the boot passes ---------------------

constexpr size_t kHeapPathUnits = 128;  // a path block of 256 bytes
constexpr size_t kWidePathUnits = 384;  // a widened path of 768 bytes

void DisplayString(const TwChar* pString);
bool OpenFile(const TwChar* FileName, TwHandle* FileHandle, uint32_t disposition);
bool MyCopyFile(const TwChar* SourceFile, TwHandle hFileTarget);
// Copies the source into a new target and makes the copy durable.
bool MyMoveFile(const TwChar* SourceFile, const TwChar* TargetFile);
// Copies size bytes from source's position to target's position in pieces of
// 1024 bytes. False at the first read or write that falls short.
bool CopyFileBytes(TwHandle source, TwHandle target, uint32_t size);
// The size of an open file, when a section header can state it as "%d"
// (below 2 GiB).
bool QueryCopySize(TwHandle file, uint32_t* size);
bool DeleteFile(const TwChar* FileName);
// Whether a file of that name opens (and is closed again at once): kOk,
// kNotFound when there is none, kFailed when that is not known.
FileStatus FindFile(const TwChar* name);
// True when no file of that name is left: deleted, or there was none.
bool RemoveFile(const TwChar* name);

// The daily snapshot: one file of the four hives per day, recorded in the index.
bool BackupSysFile();

// The restore pass: the user-hive request that IsRepair holds, and the
// software-hive request that SysRepair holds ("111" puts temp\TWSW04.XFF in
// place of config\software, keeping it as software.twb; "222" puts that
// back), each carried out or kept on its own.
bool HandleRepairNtuser();
bool HandleRepairSoftware();

// Builds the wide path of a file in the user's profile folder from the
// userpath value (spaces stored as "*"). False when it does not fit, or when
// userpath is no plain drive path ("\??\", a drive, folders none of which is
// "." or ".."), which could lead out of the drive.
bool BuildUserFilePath(const char* userpath, const char* fileName, TwChar* out);

struct HiveFiles;

// The files of the user hive's request, in the folder userpath names. False
// when the settings name no plain drive path or a path does not fit.
bool LocateUserHive(TwHandle settings, HiveFiles* files);

// What the entry does before it terminates: the settings presence test, the
// snapshot pass, a restore at boot when this boot's start options ask for
// one, and the restore pass's two requests.
void RunBootPasses();

// ---- boot_restore: a restore at boot from the boot menu's restore entry ----

// Whether this boot's start options hold the word TWRESTORE.
bool BootAsksForRestore();

// Prepares both hive requests from the newest listed snapshot dated before
// today whose software and user hives pass the whole-hive checks and are
// clean, and records the day and the snapshot's date in the settings; prints
// one line with that date or why nothing was prepared. True when prepared.
bool PrepareRestoreAtBoot();

// ---- hive_request: putting a hive in place ---------------------------------

// The files one hive request moves between. Only the hive the system loads
// and its log are ever in use; the rest lie beside them on the same volume.
struct HiveFiles {
  TwChar hive[kWidePathUnits];      // the hive the system loads (NTUSER.DAT, software)
  TwChar log[kWidePathUnits];       // its transaction log (NTUSER.DAT.LOG, software.LOG)
  TwChar saved[kWidePathUnits];     // the hive from before the last restore (BKDATA3.DAT, software.twb)
  TwChar savedLog[kWidePathUnits];  // the saved hive's log
  TwChar spare[kWidePathUnits];     // a copy on its way into place
  TwChar spareLog[kWidePathUnits];  // the copy of a log on its way into place
  const TwChar* prepared;           // the hive to restore, a plain hive file
};

// Carries out request ("111": the prepared hive in place, the hive it
// replaces kept as the saved hive, each hive with its log; "222": a copy of
// the saved hive back in place; anything else: nothing), and sets the
// settings key to "000" once it is done, refused as unsafe, or an undo whose
// copy failed left the hive in place as it was. At every
// instant, power cuts included, one whole copy of the hive the request
// replaces stands as the hive or as the saved hive, and no log lies beside a
// hive it does not belong to. True when nothing was asked or it was done.
bool CarryOutHiveRequest(TwHandle settings, const char* key, const char* request, const HiveFiles& files);

// Whether a file is a hive that can be put in place: "regf", a base block
// whose checksum and data size hold, and a size of whole 4 KiB bins.
enum class HiveSoundness { kSound, kUnsound, kUnknown };
HiveSoundness CheckHiveFile(const TwChar* name);
