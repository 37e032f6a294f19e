// The snapshot dialog's rows: which index lines show, in what order, of what kind and state, and the
// lines that sum them up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SnapshotRows.h"
#include "profile_file.h"

namespace {

FolderFile File(const char* name, uint64_t size, uint64_t written) { return FolderFile{name, size, written}; }

TEST(SnapshotRows, NewestFirstWithKindsAndStates) {
    std::vector<std::string> slots(30, "1000-1-1\t0\t0");  // carry placeholders: not shown
    slots[0] = "2026-3-2\t0\t1";    // recorded last, after the clock was set back
    slots[1] = "2026-3-5\t0\t1";    // its file is gone
    slots[2] = "2026-3-4\t0\t1";    // checked before its file was written again
    slots[3] = "1111-11-11\t0\t1";  // the installation snapshot
    slots[15] = "2026-1-1\t1\t1";   // the carry tier: damaged when checked
    slots[16] = "2026-03-02\t1\t1"; // the same file as slot 1: shown once
    SnapshotIndex index;
    ASSERT_TRUE(ParseSnapshotIndex(ProfileFile(4, slots), &index));
    SnapshotFiles files = {{"20260302.xff", File("20260302.XFF", 3 << 19, 7)},
                           {"20260304.xff", File("20260304.xff", 1 << 20, 9)},
                           {"20260101.xff", File("20260101.xff", 1 << 20, 5)},
                           {"11111111.xff", File("11111111.xff", 1 << 20, 1)}};
    SnapshotVerdicts verdicts;
    verdicts["20260302.xff"] = {3 << 19, 7, {}};
    verdicts["20260302.xff"].report.sections[3].dirty = true;
    verdicts["20260304.xff"] = {1 << 20, 8, {}};
    verdicts["20260101.xff"] = {1 << 20, 5, {}};
    verdicts["20260101.xff"].report.sections[1].fault = HiveFault::kBadKeyCell;

    std::vector<std::string> shown;
    std::vector<SnapshotRow> rows = BuildSnapshotRows(index, files, verdicts);
    for (const SnapshotRow& row : rows)
        shown.push_back(row.date + "|" + KindText(row.kind) + "|" + SizeText(row) + "|" + StateText(row.state));
    const std::vector<std::string> expected = {"2026-03-05|最近||缺失", "2026-03-04|最近|1.0 MB|未检查",
                                               "2026-03-02|最近|1.5 MB|有警告", "2026-01-01|较早|1.0 MB|已损坏",
                                               "|安装时|1.0 MB|未检查"};
    EXPECT_EQ(expected, shown);
    EXPECT_EQ("最近快照：2026-03-04", SnapshotStatusText(rows, false));
    EXPECT_EQ(std::string("最近快照：2026-03-04\n") + kTodayMissingWarning, SnapshotStatusText(rows, true));
    EXPECT_EQ("Tarwen系统修复 - 最近快照 2026-03-04", SnapshotTipText("Tarwen系统修复", rows));
    EXPECT_EQ("最近快照：无", SnapshotStatusText({}, false));
    EXPECT_EQ("Tarwen系统修复", SnapshotTipText("Tarwen系统修复", {}));
    EXPECT_FALSE(SnapshotOfDayMissing(files, "2026-3-4"));
    EXPECT_TRUE(SnapshotOfDayMissing(files, "2026-3-5"));
}

// The boot-time restore's line: both days must be whole dates, shown as the list shows dates.
TEST(SnapshotRows, BootRestoreLine) {
    const struct {
        const char *day, *from, *expected;
    } cases[] = {
        {"2027-2-12", "2027-2-11", "上次开机还原：2027-02-12，来自 2027-02-11 的快照"},
        {"2027-12-31", "2026-01-05", "上次开机还原：2027-12-31，来自 2026-01-05 的快照"},
        {"", "2027-2-11", ""},          {"2027-2-12", "", ""},         {"000", "000", ""},
        {"2027-2-12x", "2027-2-11", ""}, {"2027-2", "2027-2-11", ""},   {"2027-13-1", "2027-2-11", ""},
        {"2027-2-0", "2027-2-11", ""},  {" 2027-2-12", "2027-2-11", ""}, {"2027--2-12", "2027-2-11", ""},
        {"2027-2-12", "99999-1-1", ""},
    };
    for (const auto& row : cases)
        EXPECT_EQ(row.expected, BootRestoreText(row.day, row.from)) << row.day << " / " << row.from;
    EXPECT_EQ("最近快照：无\n上次开机还原：2027-02-12，来自 2027-02-11 的快照\n" + std::string(kTodayMissingWarning),
              SnapshotStatusText({}, true, BootRestoreText("2027-2-12", "2027-2-11")));
}

}  // namespace
