// Preparing the files of a restore: which sections may be put in place, a
// section written whole and flushed under a new name and renamed over its
// target, and the requests the boot-time program carries out at the next
// boot.
#pragma once

#include <stdint.h>

#include "snap_platform.h"
#include "snapshot_check.h"

// A request of the boot-time program: put a prepared hive in place of one of
// the machine's at the next boot ("111"), put back the hive that it replaced
// ("222"), or nothing ("000"). The boot-time program clears the key when done.
struct HiveRequest {
  int section;           // the snapshot section the hive comes from
  const char* prepared;  // where the prepared hive waits, in the Windows folder
  const char* key;       // the settings key that asks for it
};
extern const HiveRequest kUserHiveRequest;      // the user's NTUSER.DAT: temp\TWXT04.XFF, IsRepair
extern const HiveRequest kSoftwareHiveRequest;  // system32\config\software: temp\TWSW04.XFF, SysRepair

// The settings key that tells the control panel, at its next start, that a
// restore was asked for ("111": run the fix-ups) or an undo ("222").
constexpr char kSignRunKey[] = "SignRun";
constexpr char kRequestRestore[] = "111";
constexpr char kRequestUndo[] = "222";
constexpr char kRequestNone[] = "000";

// Whether a checked section may be put in place.
enum class SectionUse {
  kUsable,
  kDirty,       // sound, but copied without its log: possibly half-written
  kUnreadable,  // its header, or the file before it, cannot be trusted or read
  kEmpty,
  kDamaged,
};
SectionUse JudgeSection(const SnapshotReport& report, int index);

enum class WriteOutcome {
  kWritten,
  kRefused,       // the target lies in the snapshot folder
  kCannotCreate,  // no new file there (a missing or read-only folder)
  kCannotWrite,   // a read, write or flush failed (a full disk)
  kCannotRename,
};

// Copies length bytes of file at offset into a new file at path (which must
// not exist) and puts them on the disk; the new file is removed on failure.
WriteOutcome CopyToNewFile(SnapFile* file, uint64_t offset, uint64_t length, const SnapPath& path);

// The name a new file is written under before it is renamed over path.
SnapPath NewNameBeside(const SnapPath& path);

// Writes a section under a new name beside target, then renames it over
// target: target holds its old file or the whole new one at every instant.
WriteOutcome WriteSectionOver(SnapFile* file, const SectionReport& section, const SnapPath& target);
