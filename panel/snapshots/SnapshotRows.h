// The rows of the snapshot dialog's list, built from the index and the snapshot folder's listing:
// which snapshots, in what order, of what kind and in what state, and the lines that sum them up.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "snapshot_check.h"
#include "snapshot_index.h"

enum class SnapshotKind { kRecent, kEarlier, kInstallation };
enum class SnapshotState { kUnchecked, kSound, kWarning, kDamaged, kMissing };

struct SnapshotRow {
    std::string fileName;  // as the index names it
    std::string date;      // "2026-03-05"; empty for the installation snapshot
    SnapshotKind kind = SnapshotKind::kRecent;
    FolderFile file;       // its listing; a missing file has none
    SnapshotState state = SnapshotState::kUnchecked;
};

// What a check found in a snapshot file, and the file's size and write time then: a file written
// since is checked again.
struct SnapshotVerdict {
    uint64_t size = 0;
    uint64_t written = 0;
    SnapshotReport report;
};
// By lower-case file name; kept by the main window for the life of the panel.
using SnapshotVerdicts = std::map<std::string, SnapshotVerdict>;

// The state a check's report gives: damaged, sound but dirty (a warning), or sound.
SnapshotState StateOfReport(const SnapshotReport& report);

// The snapshots the index lists, newest first by date, the installation snapshot last; a present
// file's state is its verdict while the file is as it was checked.
std::vector<SnapshotRow> BuildSnapshotRows(const SnapshotIndex& index, const SnapshotFiles& files,
                                           const SnapshotVerdicts& verdicts);

const char* KindText(SnapshotKind kind);
const char* StateText(SnapshotState state);
// The file size in MB with one decimal, "37.5 MB"; empty for a missing file.
std::string SizeText(const SnapshotRow& row);
// How messages name a row's snapshot: "2026-03-05 的快照" or "安装时保存的快照".
std::string SnapshotTitle(const SnapshotRow& row);

// The date of the newest snapshot on the disk, "安装时" when only the installation snapshot is,
// empty when none is.
std::string NewestSnapshotDate(const std::vector<SnapshotRow>& rows);

// Whether the snapshot folder lacks the file of a day ("%d-%d-%d", as the index dates it).
bool SnapshotOfDayMissing(const SnapshotFiles& files, const std::string& day);

// The line of the last boot that restored the registry, from the days the boot-time program
// recorded ("%d-%d-%d"): "上次开机还原：<day>，来自 <from> 的快照", the days as the list shows
// them; empty unless both are dates.
std::string BootRestoreText(const std::string& day, const std::string& from);

// The status line: "最近快照：<date>" (or "无"), the boot restore's line when there is one, and
// the warning of a log-on start that found today's snapshot missing.
std::string SnapshotStatusText(const std::vector<SnapshotRow>& rows, bool todayMissingAtLogon,
                               const std::string& bootRestore = std::string());
extern const char kTodayMissingWarning[];

// The notification-area tip: the program's title, and the newest snapshot's date when there is one.
std::string SnapshotTipText(const char* title, const std::vector<SnapshotRow>& rows);
