// Hive requests of the restore pass: a prepared hive put in place of a hive
// the system loads, or the saved one put back. Every step is a copy into a
// spare file made durable, a rename, or a delete, in an order that keeps one
// whole copy of the replaced hive on the disk at every instant and never
// lets a log lie beside a hive it does not belong to; the request is cleared
// only once its outcome is on the disk.
#include <string.h>

#include "engine.h"
#include "hive_check.h"

namespace {

constexpr uint32_t kCompareChunk = 1024;

// How the file in place stands to another file.
enum class Likeness {
  kEqual,
  kBeginning,  // a strict leading part: what a copy of the other, cut short, leaves
  kOther,      // neither, or there is no other file
  kUnknown,    // one of them could not be read
};

Likeness Compare(const TwChar* first, const TwChar* second) {
  TwHandle a, b;
  if (LayerCreateFile(first, kDispositionOpenExisting, &a) != FileStatus::kOk) return Likeness::kUnknown;
  FileStatus opened = LayerCreateFile(second, kDispositionOpenExisting, &b);
  if (opened != FileStatus::kOk) {
    LayerCloseFile(a);
    return opened == FileStatus::kNotFound ? Likeness::kOther : Likeness::kUnknown;
  }
  uint64_t sizeA = 0, sizeB = 0;
  Likeness likeness = Likeness::kUnknown;
  if (LayerQueryFileSize(a, &sizeA) && LayerQueryFileSize(b, &sizeB)) {
    likeness = sizeA > sizeB ? Likeness::kOther : sizeA == sizeB ? Likeness::kEqual : Likeness::kBeginning;
  }
  char chunkA[kCompareChunk], chunkB[kCompareChunk];
  for (uint64_t left = sizeA; likeness != Likeness::kOther && likeness != Likeness::kUnknown && left;) {
    uint32_t piece = left < kCompareChunk ? static_cast<uint32_t>(left) : kCompareChunk;
    uint32_t readA = 0, readB = 0;
    if (!LayerReadFile(a, chunkA, piece, nullptr, &readA) || readA != piece ||
        !LayerReadFile(b, chunkB, piece, nullptr, &readB) || readB != piece) {
      likeness = Likeness::kUnknown;
    } else if (memcmp(chunkA, chunkB, piece) != 0) {
      likeness = Likeness::kOther;
    }
    left -= piece;
  }
  LayerCloseFile(a);
  LayerCloseFile(b);
  return likeness;
}

void RemoveSpares(const HiveFiles& files) {
  RemoveFile(files.spare);
  RemoveFile(files.spareLog);
}

// Copies source, and its log when it has one, into the spare files, durably.
bool CopyIntoSpare(const TwChar* source, const TwChar* sourceLog, const HiveFiles& files) {
  if (!RemoveFile(files.spare) || !RemoveFile(files.spareLog)) return false;  // what an interrupted request left
  if (!MyMoveFile(source, files.spare)) return false;
  FileStatus log = sourceLog ? FindFile(sourceLog) : FileStatus::kNotFound;
  return log == FileStatus::kNotFound || (log == FileStatus::kOk && MyMoveFile(sourceLog, files.spareLog));
}

// A log lying beside no hive belongs to the hive moved aside.
bool MoveLogAside(const HiveFiles& files) {
  return LayerRenameFile(files.log, files.savedLog, RenameMode::kReplace) != FileStatus::kFailed;
}

// The saved hive and its log go back in place. Should the rename fail, a
// copy stands in, so that the system never finds the hive missing and makes
// a fresh one that a later request would take for the machine's own.
void PutBack(const HiveFiles& files) {
  if (LayerRenameFile(files.saved, files.hive, RenameMode::kNoReplace) != FileStatus::kOk) {
    MyMoveFile(files.saved, files.hive);
    return;
  }
  LayerRenameFile(files.savedLog, files.log, RenameMode::kNoReplace);
}

// The hive in place, with its log, becomes the saved hive. The saved hive's
// own log goes first: it must not lie beside the hive that takes its place.
bool MoveAside(const HiveFiles& files) {
  if (!RemoveFile(files.savedLog)) return false;
  if (LayerRenameFile(files.hive, files.saved, RenameMode::kReplace) != FileStatus::kOk) return false;
  if (MoveLogAside(files)) return true;
  PutBack(files);  // never a hive without its log
  return false;
}

// Sets the request's key to "000" and makes that durable.
bool ClearRequest(TwHandle settings, const char* key) {
  return WriteIniFile(settings, key, "000") && LayerFlushFile(settings);
}

// The renames made are on the disk before the cleared request can be: a flush
// of any file writes the volume's log up to that point.
bool FinishRequest(TwHandle settings, const char* key) {
  return LayerFlushFile(settings) && ClearRequest(settings, key);
}

// "111". The hive to restore is copied beside the hive first, so that a
// failed copy changes nothing; then the hive in place moves aside and the
// copy is renamed into the free place, never over a file.
bool PutPreparedHiveInPlace(TwHandle settings, const char* key, const HiveFiles& files) {
  switch (CheckHiveFile(files.prepared)) {
    case HiveSoundness::kUnknown: return false;  // absent, or not to be read now: the request waits
    case HiveSoundness::kUnsound: ClearRequest(settings, key); return false;  // refused: it would never be fit
    case HiveSoundness::kSound: break;
  }
  FileStatus hive = FindFile(files.hive);
  if (hive == FileStatus::kFailed) return false;
  bool ownInPlace = false;
  if (hive == FileStatus::kOk) {
    Likeness toPrepared = Compare(files.hive, files.prepared);
    if (toPrepared == Likeness::kUnknown) return false;
    if (toPrepared == Likeness::kEqual) {
      // An earlier boot put it in place and was cut off before it could finish.
      if (!FinishRequest(settings, key)) return false;
      RemoveFile(files.prepared);
      return true;
    }
    Likeness toSaved = Compare(files.hive, files.saved);
    if (toSaved == Likeness::kUnknown) return false;
    // The beginning of the hive to restore or of the saved hive is a copy
    // that an interruption cut short, not the machine's own: the saved hive
    // holds that.
    ownInPlace = toPrepared != Likeness::kBeginning && toSaved != Likeness::kBeginning;
  }
  // Without the machine's own hive in place, the saved hive must hold it.
  if (!ownInPlace && FindFile(files.saved) != FileStatus::kOk) return false;
  if (!CopyIntoSpare(files.prepared, nullptr, files)) {
    RemoveSpares(files);
    return false;
  }
  bool aside = ownInPlace ? MoveAside(files)
                          : (hive == FileStatus::kNotFound || RemoveFile(files.hive)) && MoveLogAside(files);
  if (aside && LayerRenameFile(files.spare, files.hive, RenameMode::kNoReplace) == FileStatus::kOk) {
    if (!FinishRequest(settings, key)) return false;
    // Only now: a cut before this leaves a leftover file, not a request that
    // can never be met.
    RemoveFile(files.prepared);
    return true;
  }
  if (aside) PutBack(files);
  RemoveSpares(files);
  return false;
}

// "222". A copy of the saved hive, with a copy of its log, replaces the hive
// in place; the saved hive stays, so that a later request still finds it.
bool PutSavedHiveBack(TwHandle settings, const char* key, const HiveFiles& files) {
  if (FindFile(files.saved) != FileStatus::kOk) return false;  // the request waits
  FileStatus hive = FindFile(files.hive);
  if (hive == FileStatus::kFailed) return false;
  if (!CopyIntoSpare(files.saved, files.savedLog, files)) {
    RemoveSpares(files);
    // A failed copy leaves the hive in place as it was: the request is done
    // with as long as there is one.
    if (hive == FileStatus::kOk) ClearRequest(settings, key);
    return false;
  }
  // The replaced hive's log goes first: it must never lie beside the copy.
  if (!RemoveFile(files.log) || LayerRenameFile(files.spare, files.hive, RenameMode::kReplace) != FileStatus::kOk) {
    RemoveSpares(files);
    return false;
  }
  LayerRenameFile(files.spareLog, files.log, RenameMode::kNoReplace);  // not found when the saved hive has no log
  return FinishRequest(settings, key);
}

}  // namespace

bool CarryOutHiveRequest(TwHandle settings, const char* key, const char* request, const HiveFiles& files) {
  if (strcmp(request, "111") == 0) return PutPreparedHiveInPlace(settings, key, files);
  if (strcmp(request, "222") == 0) return PutSavedHiveBack(settings, key, files);
  return true;
}

HiveSoundness CheckHiveFile(const TwChar* name) {
  TwHandle file;
  if (!OpenFile(name, &file, kDispositionOpenExisting)) return HiveSoundness::kUnknown;
  HiveSoundness soundness = HiveSoundness::kUnknown;
  uint64_t size = 0;
  if (LayerQueryFileSize(file, &size)) {
    uint8_t block[kHiveBaseBlockBytes];
    const uint64_t start = 0;
    uint32_t done = 0;
    // A base block and at least one bin, all of whole 4 KiB bins.
    if (size < kHiveBaseBlockBytes + kHiveBinAlignment || size % kHiveBinAlignment != 0) {
      soundness = HiveSoundness::kUnsound;
    } else if (LayerReadFile(file, block, sizeof block, &start, &done) && done == sizeof block) {
      BaseBlockInfo info;
      soundness = CheckBaseBlock(block, size, &info) == HiveFault::kNone ? HiveSoundness::kSound : HiveSoundness::kUnsound;
    }
  }
  LayerCloseFile(file);
  return soundness;
}
