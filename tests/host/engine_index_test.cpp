// The snapshot index: line splitting, the top tier and the carry rule.
#include <gtest/gtest.h>

#include "engine.h"
#include "test_drive.h"

namespace {

TEST(SplitLineTest, AcceptsExactlyThreeFields) {
  struct Row {
    std::string line;
    bool splits;
    const char* date;
    const char* sign;
    const char* isShow;
  } rows[] = {
      {"2026-12-8\t0\t1", true, "2026-12-8", "0", "1"},
      {"a\t\tc", true, "a", "", "c"},
      {"2026-12-8\t0", false, "", "", ""},
      {"2026-12-8\t0\t1\tx", false, "", "", ""},
      {"", false, "", "", ""},
      {std::string(30, 'd') + "\t123456\t7777777", true, "ddddddddddddddddddd", "1234", "7777"},
  };
  for (const Row& row : rows) {
    char line[kSlotBufferSize] = {};
    row.line.copy(line, kSlotSize);
    TBackupItem item = {};
    EXPECT_EQ(SplitLine(line, '\t', &item), row.splits) << row.line;
    if (!row.splits) continue;
    EXPECT_STREQ(item.Date, row.date);
    EXPECT_STREQ(item.Sign, row.sign);
    EXPECT_STREQ(item.IsShow, row.isShow);
  }
}

class IndexTest : public ::testing::Test {
 protected:
  void SetUp() override { drive.Boot(2026, 12, 8); }

  // Runs one index update on the given index file.
  bool Update(const Bytes& index, const char* date) {
    drive.Write("WINDOWS/twsafe/bkinfo.dat", index);
    return HandleBackupInfo(date);
  }
  Bytes Index() { return drive.Read("WINDOWS/twsafe/bkinfo.dat"); }
  // An index holding count and the given slot texts from slot 1 on.
  static Bytes IndexWith(int count, std::vector<std::string> slots) {
    slots.resize(30);
    return ProfileFile(count, slots);
  }

  TestDrive drive;
};

TEST_F(IndexTest, TopTierTakesTheNewLineFirst) {
  ASSERT_TRUE(Update(TemplateIndex(), "2026-12-8"));
  EXPECT_EQ(SlotText(Index(), 0), "IndexNum=2");
  EXPECT_EQ(SlotText(Index(), 1), "2026-12-8\t0\t1");
  EXPECT_EQ(SlotText(Index(), 2), "1111-11-11\t0\t1");

  // Count 14: the carry tier is not even read (here it is all zeros).
  std::vector<std::string> lines;
  for (int k = 14; k >= 1; --k) lines.push_back("2000-1-" + std::to_string(k) + "\t0\t1");
  ASSERT_TRUE(Update(IndexWith(14, lines), "2000-2-1"));
  EXPECT_EQ(SlotText(Index(), 0), "IndexNum=15");
  EXPECT_EQ(SlotText(Index(), 1), "2000-2-1\t0\t1");
  for (int slot = 2; slot <= 15; ++slot) EXPECT_EQ(SlotText(Index(), slot), lines[slot - 2]);
  EXPECT_EQ(SlotText(Index(), 16), "");
}

// The carry cases, each from a full top tier (slot k holds "2000-1-k").
TEST_F(IndexTest, CarryRuleMovesAndDeletesOneSnapshot) {
  struct Row {
    const char* name;
    int count;
    std::vector<std::string> carry;  // slots 16 on
    std::vector<std::string> expected;
    int expectedCount;
    const char* deleted;  // snapshot file that must be gone
  } rows[] = {
      {"first carry", 15, {"1000-1-16\t0\t0"}, {"2000-1-15\t1\t1"}, 16, "10000116.xff"},
      {"carry passes a one", 16, {"2000-1-99\t1\t1", "1000-1-17\t0\t0"},
       {"2000-1-15\t0\t1", "2000-1-99\t1\t1"}, 17, "10000117.xff"},
      {"other signs are skipped", 17, {"x\t7\t1", "2000-1-98\t1\t1", "1000-1-18\t0\t0"},
       {"x\t7\t1", "2000-1-15\t0\t1", "2000-1-98\t1\t1"}, 18, "10000118.xff"},
      {"count stays when not deeper", 22, {"1000-1-16\t0\t0"}, {"2000-1-15\t1\t1"}, 22, "10000116.xff"},
      {"a Sign of 10 is not 1", 17, {"x\t10\t1", "1000-1-17\t0\t0"}, {"x\t10\t1", "2000-1-15\t1\t1"}, 17,
       "10000117.xff"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> slots;
    for (int k = 1; k <= 15; ++k) slots.push_back("2000-1-" + std::to_string(k) + "\t0\t1");
    slots.insert(slots.end(), row.carry.begin(), row.carry.end());
    drive.Write(std::string("WINDOWS/twsafe/") + row.deleted, "old");
    drive.Write("WINDOWS/twsafe/20000115.xff", "kept");
    ASSERT_TRUE(Update(IndexWith(row.count, slots), "2000-2-1")) << row.name;
    Bytes index = Index();
    EXPECT_EQ(SlotText(index, 0), "IndexNum=" + std::to_string(row.expectedCount)) << row.name;
    EXPECT_EQ(SlotText(index, 1), "2000-2-1\t0\t1") << row.name;
    EXPECT_EQ(SlotText(index, 15), "2000-1-14\t0\t1") << row.name;
    for (size_t i = 0; i < row.expected.size(); ++i) EXPECT_EQ(SlotText(index, 16 + i), row.expected[i]) << row.name;
    EXPECT_FALSE(drive.Exists(std::string("WINDOWS/twsafe/") + row.deleted)) << row.name;
    EXPECT_TRUE(drive.Exists("WINDOWS/twsafe/20000115.xff")) << row.name;
  }
}

TEST_F(IndexTest, AnUnsplittableSlotLeavesTheWholeIndexAsItWas) {
  std::vector<std::string> slots;
  for (int k = 1; k <= 15; ++k) slots.push_back("2000-1-" + std::to_string(k) + "\t0\t1");
  std::vector<std::vector<std::string>> carries = {
      {""},                                                  // zero-filled carry slot
      {"2000-1-99\t1\t1", "2000-1-98\t1\t1", "no tabs here"},  // after slots that would be rewritten
  };
  for (const auto& carry : carries) {
    std::vector<std::string> all = slots;
    all.insert(all.end(), carry.begin(), carry.end());
    Bytes before = IndexWith(18, all);
    EXPECT_FALSE(Update(before, "2000-2-1"));
    EXPECT_EQ(Index(), before);
  }
  slots[14] = "slot 15 without tabs";
  Bytes before = IndexWith(15, slots);
  EXPECT_FALSE(Update(before, "2000-2-1"));
  EXPECT_EQ(Index(), before);
  // A header that does not scan, or an index that is missing, writes nothing.
  EXPECT_FALSE(Update(ProfileFile(501, {}), "2000-2-1"));
  EXPECT_EQ(Index(), ProfileFile(501, {}));
  EXPECT_TRUE(drive.List("WINDOWS/twsafe") == std::vector<std::string>{"bkinfo.dat"});
  drive.Remove("WINDOWS/twsafe/bkinfo.dat");
  EXPECT_FALSE(HandleBackupInfo("2000-2-1"));
  EXPECT_EQ(drive.console, "Open backupinfo Error\n");
}

// A carry slot whose line names a snapshot that another line still names (the
// same date, spelt differently) loses its line but not the file.
TEST_F(IndexTest, ASnapshotStillListedIsNeverDeleted) {
  std::vector<std::string> slots;
  for (int k = 1; k <= 15; ++k) slots.push_back("2000-1-" + std::to_string(k) + "\t0\t1");
  slots[4] = "1990-01-16\t0\t1";
  slots.push_back("1990-1-16\t0\t1");
  drive.Write("WINDOWS/twsafe/19900116.xff", "still listed in slot 5");
  ASSERT_TRUE(Update(IndexWith(16, slots), "2000-2-1"));
  EXPECT_EQ(SlotText(Index(), 16), "2000-1-15\t1\t1");
  EXPECT_EQ(SlotText(Index(), 6), "1990-01-16\t0\t1");
  EXPECT_TRUE(drive.Exists("WINDOWS/twsafe/19900116.xff"));
}

// A negative count reads as an empty index: the new line goes to slot 1.
TEST_F(IndexTest, ANegativeCountStartsAFreshTopTier) {
  ASSERT_TRUE(Update(IndexWith(-3, {"2000-1-1\t0\t1"}), "2000-2-1"));
  EXPECT_EQ(SlotText(Index(), 0), "IndexNum=1");
  EXPECT_EQ(SlotText(Index(), 1), "2000-2-1\t0\t1");
}

// Index dates and the snapshot files they name; lookups cover every slot up
// to 30 and compare file names, not the dates' text.
TEST_F(IndexTest, DatesNameFilesAndEverySlotIsLookedAt) {
  struct Row {
    const char* date;
    const char* file;  // null: names no file
  } rows[] = {
      {"2026-1-11", "20260111.xff"}, {"202-60-111", "20260111.xff"}, {"2026-03-05", "20260305.xff"},
      {"2026-111", nullptr},         {"2026-1-", nullptr},           {"", nullptr},
  };
  for (const Row& row : rows) {
    char name[48] = "";
    EXPECT_EQ(SnapshotFileName(row.date, name, sizeof name), row.file != nullptr) << row.date;
    if (row.file) EXPECT_STREQ(name, row.file) << row.date;
  }
  drive.Write("WINDOWS/twsafe/20260111.xff", "x");
  DelFilesFromDate("2026-111");
  EXPECT_TRUE(drive.Exists("WINDOWS/twsafe/20260111.xff"));

  std::vector<std::string> slots(30);
  slots[29] = "202-60-111\t0\t1";
  drive.Write("WINDOWS/twsafe/bkinfo.dat", IndexWith(30, slots));
  TwHandle index;
  ASSERT_TRUE(OpenFile(u"\\SystemRoot\\twsafe\\bkinfo.dat", &index, kDispositionOpenExisting));
  EXPECT_TRUE(IndexListsDate(index, "2026-1-11"));
  EXPECT_FALSE(IndexListsDate(index, "2026-1-12"));
  LayerCloseFile(index);
}

TEST_F(IndexTest, AFullCarryTierWrapsAroundWithoutLosingTrack) {
  std::vector<std::string> slots;
  for (int k = 1; k <= 15; ++k) slots.push_back("2000-1-" + std::to_string(k) + "\t0\t1");
  for (int k = 16; k <= 30; ++k) slots.push_back("1990-1-" + std::to_string(k) + "\t1\t1");
  drive.Write("WINDOWS/twsafe/19900130.xff", "oldest");
  drive.Write("WINDOWS/twsafe/19900129.xff", "kept");
  ASSERT_TRUE(Update(IndexWith(30, slots), "2000-2-1"));
  Bytes index = Index();
  EXPECT_EQ(SlotText(index, 0), "IndexNum=30");
  EXPECT_EQ(SlotText(index, 16), "2000-1-15\t0\t1");
  for (int slot = 17; slot <= 30; ++slot) {
    EXPECT_EQ(SlotText(index, slot), "1990-1-" + std::to_string(slot - 1) + "\t0\t1");
  }
  EXPECT_FALSE(drive.Exists("WINDOWS/twsafe/19900130.xff"));  // left the index with its line
  EXPECT_TRUE(drive.Exists("WINDOWS/twsafe/19900129.xff"));
}

}  // namespace
