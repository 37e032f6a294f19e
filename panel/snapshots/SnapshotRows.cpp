// Snapshot rows: listed snapshots in date order, their kinds and states, and the texts of the
// status line and the notification-area tip.
#include "SnapshotRows.h"

#include <algorithm>
#include <cstdio>

const char kTodayMissingWarning[] = "今天开机时没有保存快照，开机快照程序可能没有运行。";

namespace {

struct DatedRow {
    SnapshotRow row;
    int year = 0, month = 0, day = 0;
};

// Newest first; the installation snapshot, whatever its slot, last.
bool ComesBefore(const DatedRow& a, const DatedRow& b) {
    bool aInstallation = a.row.kind == SnapshotKind::kInstallation;
    bool bInstallation = b.row.kind == SnapshotKind::kInstallation;
    if (aInstallation != bInstallation)
        return bInstallation;
    if (a.year != b.year)
        return a.year > b.year;
    if (a.month != b.month)
        return a.month > b.month;
    return a.day > b.day;
}

SnapshotState StateOfFile(const SnapshotFiles& files, const SnapshotVerdicts& verdicts, const std::string& name,
                          FolderFile* file) {
    auto listed = files.find(name);
    if (listed == files.end())
        return SnapshotState::kMissing;
    *file = listed->second;
    auto verdict = verdicts.find(name);
    if (verdict == verdicts.end() || verdict->second.size != file->size || verdict->second.written != file->written)
        return SnapshotState::kUnchecked;
    return StateOfReport(verdict->second.report);
}

std::string DateText(int year, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

// A day as the index and the boot-time program write it, "%d-%d-%d" and nothing else, shown as the
// list shows dates; false for anything else, and for a month or day out of range.
bool ShowDay(const std::string& day, std::string* shown) {
    int parts[3] = {};
    size_t at = 0;
    for (int part = 0; part < 3; ++part) {
        int digits = 0;
        for (; at < day.size() && day[at] >= '0' && day[at] <= '9' && digits <= 4; ++at, ++digits)
            parts[part] = parts[part] * 10 + (day[at] - '0');
        if (digits == 0 || digits > 4)
            return false;
        if (part < 2 && (at == day.size() || day[at++] != '-'))
            return false;
    }
    if (at != day.size() || parts[0] < 1 || parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > 31)
        return false;
    *shown = DateText(parts[0], parts[1], parts[2]);
    return true;
}

}  // namespace

SnapshotState StateOfReport(const SnapshotReport& report) {
    if (report.Damaged())
        return SnapshotState::kDamaged;
    return report.Dirty() ? SnapshotState::kWarning : SnapshotState::kSound;
}

std::vector<SnapshotRow> BuildSnapshotRows(const SnapshotIndex& index, const SnapshotFiles& files,
                                           const SnapshotVerdicts& verdicts) {
    std::vector<DatedRow> dated;
    for (const IndexLine& line : ListedSnapshots(index, files)) {
        DatedRow entry;
        SnapshotRow& row = entry.row;
        std::string name = LowerCase(line.fileName);
        row.fileName = line.fileName;
        ScanIndexDate(line.item.Date, &entry.year, &entry.month, &entry.day);
        if (name == kInstallationSnapshot)
            row.kind = SnapshotKind::kInstallation;
        else
            row.kind = line.slot <= kTopTierSlots ? SnapshotKind::kRecent : SnapshotKind::kEarlier;
        if (row.kind != SnapshotKind::kInstallation)
            row.date = DateText(entry.year, entry.month, entry.day);
        row.state = StateOfFile(files, verdicts, name, &row.file);
        dated.push_back(entry);
    }
    std::stable_sort(dated.begin(), dated.end(), ComesBefore);
    std::vector<SnapshotRow> rows;
    for (const DatedRow& entry : dated)
        rows.push_back(entry.row);
    return rows;
}

const char* KindText(SnapshotKind kind) {
    switch (kind) {
    case SnapshotKind::kRecent: return "最近";
    case SnapshotKind::kEarlier: return "较早";
    case SnapshotKind::kInstallation: return "安装时";
    }
    return "";
}

const char* StateText(SnapshotState state) {
    switch (state) {
    case SnapshotState::kUnchecked: return "未检查";
    case SnapshotState::kSound: return "完好";
    case SnapshotState::kWarning: return "有警告";
    case SnapshotState::kDamaged: return "已损坏";
    case SnapshotState::kMissing: return "缺失";
    }
    return "";
}

std::string SizeText(const SnapshotRow& row) {
    if (row.state == SnapshotState::kMissing)
        return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(row.file.size) / (1024.0 * 1024.0));
    return text;
}

std::string SnapshotTitle(const SnapshotRow& row) {
    return row.kind == SnapshotKind::kInstallation ? "安装时保存的快照" : row.date + " 的快照";
}

std::string NewestSnapshotDate(const std::vector<SnapshotRow>& rows) {
    for (const SnapshotRow& row : rows) {
        if (row.state != SnapshotState::kMissing)
            return row.kind == SnapshotKind::kInstallation ? KindText(row.kind) : row.date;
    }
    return std::string();
}

bool SnapshotOfDayMissing(const SnapshotFiles& files, const std::string& day) {
    return files.count(LowerCase(SnapshotFileName(day.c_str()))) == 0;
}

std::string BootRestoreText(const std::string& day, const std::string& from) {
    std::string shownDay, shownFrom;
    if (!ShowDay(day, &shownDay) || !ShowDay(from, &shownFrom))
        return std::string();
    return "上次开机还原：" + shownDay + "，来自 " + shownFrom + " 的快照";
}

std::string SnapshotStatusText(const std::vector<SnapshotRow>& rows, bool todayMissingAtLogon,
                               const std::string& bootRestore) {
    std::string newest = NewestSnapshotDate(rows);
    std::string text = "最近快照：" + (newest.empty() ? std::string("无") : newest);
    if (!bootRestore.empty())
        text += "\n" + bootRestore;
    if (todayMissingAtLogon)
        text += std::string("\n") + kTodayMissingWarning;
    return text;
}

std::string SnapshotTipText(const char* title, const std::vector<SnapshotRow>& rows) {
    std::string newest = NewestSnapshotDate(rows);
    return newest.empty() ? std::string(title) : std::string(title) + " - 最近快照 " + newest;
}
