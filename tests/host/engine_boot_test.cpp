// The boot passes over a whole installation: the daily snapshot, the index
// through a hundred days, and every state of the restore request.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "engine.h"
#include "hive_builder.h"
#include "host_layer.h"
#include "test_drive.h"

namespace {

const char kUserFolder[] = "Documents and Settings/user1";
const std::string kUserHive = std::string(kUserFolder) + "/NTUSER.DAT";
const std::string kSavedHive = std::string(kUserFolder) + "/BKDATA3.DAT";
const char kHiveToRestore[] = "WINDOWS/temp/TWXT04.XFF";

Bytes Section(const Bytes& data) {
  Bytes header(256, '\0');
  std::string size = std::to_string(data.size());
  header.replace(0, size.size(), size);
  return header + data;
}

struct Day {
  int year, month, day;
};

Day DaysAfter(Day start, int days) {
  struct tm date = {};
  date.tm_year = start.year - 1900;
  date.tm_mon = start.month - 1;
  date.tm_mday = start.day + days;
  time_t when = timegm(&date);
  gmtime_r(&when, &date);
  return {date.tm_year + 1900, date.tm_mon + 1, date.tm_mday};
}

std::string FileName(Day d) {
  char name[32];
  snprintf(name, sizeof name, "%d%02d%02d.xff", d.year, d.month, d.day);
  return name;
}

std::string IndexDate(Day d) {
  return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day);
}

class BootTest : public ::testing::Test {
 protected:
  void SetUp() override { drive.Install(kUserFolder); }
  void BootOn(Day d) {
    drive.Boot(d.year, d.month, d.day);
    RunBootPasses();
    EXPECT_EQ(HostLayerOpenFileCount(), 0u) << "files left open by the boot";
  }
  void SetRequest(const std::string& value) {
    drive.Write("WINDOWS/wispdata.dat",
                ProfileFile(3, {"IsRepair=" + value, "userpath=\\??\\C:\\Documents*and*Settings\\user1", "x=1"}));
  }
  std::string Request() { return SlotText(drive.Read("WINDOWS/wispdata.dat"), 1); }

  TestDrive drive;
};

TEST_F(BootTest, SnapshotHoldsTheFourHivesOncePerDay) {
  BootOn({2026, 3, 5});
  Bytes expected = Section(drive.Read("WINDOWS/system32/config/system")) +
                   Section(drive.Read("WINDOWS/system32/config/software")) +
                   Section(drive.Read("WINDOWS/system32/config/SAM")) + Section(drive.Read(kUserHive));
  EXPECT_EQ(drive.Read("WINDOWS/twsafe/20260305.xff"), expected);
  EXPECT_EQ(SlotText(drive.Read("WINDOWS/twsafe/bkinfo.dat"), 1), "2026-3-5\t0\t1");
  EXPECT_EQ(drive.console, "");

  Bytes index = drive.Read("WINDOWS/twsafe/bkinfo.dat");
  drive.Write(kUserHive, "changed later that day");
  BootOn({2026, 3, 5});
  EXPECT_EQ(drive.Read("WINDOWS/twsafe/20260305.xff"), expected);
  EXPECT_EQ(drive.Read("WINDOWS/twsafe/bkinfo.dat"), index);
}

TEST_F(BootTest, SectionsOfEveryLength) {
  for (size_t size : {0u, 1023u, 1024u, 2048u, 2049u}) {
    drive.Write("WINDOWS/system32/config/SAM", Pattern(size, 'q'));
    Day day = DaysAfter({2026, 1, 1}, static_cast<int>(size));
    BootOn(day);
    Bytes snapshot = drive.Read("WINDOWS/twsafe/" + FileName(day));
    size_t samAt = 2 * 256 + 3000 + 5000;
    EXPECT_EQ(snapshot.substr(samAt, 256 + size), Section(Pattern(size, 'q'))) << size;
    EXPECT_EQ(snapshot.size(), 1024 + 3000 + 5000 + size + 2049) << size;
  }
}

// Failures inside the copy primitives: every one is reported, none leaves a
// handle open, and a source of 2 GiB or more is refused before any copying.
TEST_F(BootTest, CopyPrimitivesReportEveryFailure) {
  drive.Boot(2026, 3, 5);
  const char16_t kSam[] = u"\\SystemRoot\\system32\\config\\SAM";
  const char16_t kTarget[] = u"\\SystemRoot\\copy.bin";
  for (HostFault mode : {HostFault::kFail, HostFault::kDiskFull}) {
    for (long at = 1;; ++at) {
      drive.Remove("WINDOWS/copy.bin");
      TwHandle target;
      ASSERT_TRUE(OpenFile(kTarget, &target, kDispositionCreateNew));
      HostLayerSetFault(mode, at);
      bool copied = MyCopyFile(kSam, target);
      bool reached = HostLayerOperationCount() >= at;
      HostLayerSetFault(HostFault::kNone, 0);
      LayerCloseFile(target);
      if (!reached) break;
      // Success only for a whole section; a failed header write is a failure.
      if (copied) EXPECT_EQ(drive.Read("WINDOWS/copy.bin"), Section(drive.Read("WINDOWS/system32/config/SAM")));
      EXPECT_FALSE(copied && mode == HostFault::kFail) << "section copy, fault at " << at;
      EXPECT_EQ(HostLayerOpenFileCount(), 0u);
    }
  }
  for (long at = 1; at < 12; ++at) {
    drive.Remove("WINDOWS/copy.bin");
    HostLayerSetFault(HostFault::kFail, at);
    bool moved = MyMoveFile(kSam, kTarget);
    HostLayerSetFault(HostFault::kNone, 0);
    if (!moved) EXPECT_EQ(HostLayerOpenFileCount(), 0u) << "move, fault at " << at;
  }
  EXPECT_FALSE(MyMoveFile(kSam, kTarget));  // onto an existing target
  EXPECT_EQ(HostLayerOpenFileCount(), 0u);

  int sam = open((drive.windows() + "/system32/config/SAM").c_str(), O_WRONLY);
  ASSERT_GE(sam, 0);
  ASSERT_EQ(ftruncate(sam, 0x80000000LL), 0);  // sparse: costs no space
  close(sam);
  drive.Remove("WINDOWS/copy.bin");
  EXPECT_FALSE(MyMoveFile(kSam, kTarget));
  EXPECT_EQ(drive.Read("WINDOWS/copy.bin"), "");
  BootOn({2026, 3, 5});
  EXPECT_FALSE(drive.Exists("WINDOWS/twsafe/20260305.xff"));
}

// One snapshot a day: a whole file of the day is kept and recorded if the
// index does not list it; only a file cut short is taken again.
TEST_F(BootTest, OnlyACutShortSnapshotIsRetaken) {
  const std::string day = "WINDOWS/twsafe/20260305.xff";
  BootOn({2026, 3, 5});
  const Bytes whole = drive.Read(day);
  const Bytes index = drive.Read("WINDOWS/twsafe/bkinfo.dat");

  // Unlisted but whole (the index update was cut off): recorded, not retaken.
  drive.Write("WINDOWS/twsafe/bkinfo.dat", TemplateIndex());
  drive.Write(kUserHive, "changed since");
  BootOn({2026, 3, 5});
  EXPECT_EQ(drive.Read(day), whole);
  EXPECT_EQ(drive.Read("WINDOWS/twsafe/bkinfo.dat"), index);

  // An index that cannot take the line: no day is taken that no rule could
  // ever delete, and a whole file of the day left from before stays as it
  // is, boot after boot.
  Bytes refusing = ProfileFile(501, {});
  drive.Write("WINDOWS/twsafe/bkinfo.dat", refusing);
  drive.Remove(day);
  BootOn({2026, 3, 6});
  EXPECT_FALSE(drive.Exists("WINDOWS/twsafe/20260306.xff"));
  drive.Write("WINDOWS/twsafe/20260306.xff", whole);
  drive.Write(kUserHive, "after the restore");
  BootOn({2026, 3, 6});
  EXPECT_EQ(drive.Read("WINDOWS/twsafe/20260306.xff"), whole);
  EXPECT_EQ(drive.Read("WINDOWS/twsafe/bkinfo.dat"), refusing);

  // Cut short: taken again.
  drive.Write("WINDOWS/twsafe/bkinfo.dat", TemplateIndex());
  drive.Write("WINDOWS/twsafe/20260307.xff", whole.substr(0, 1000));
  BootOn({2026, 3, 7});
  Bytes retaken = drive.Read("WINDOWS/twsafe/20260307.xff");
  EXPECT_GT(retaken.size(), 1000u);
  EXPECT_EQ(retaken.substr(retaken.size() - 17), "after the restore");
  EXPECT_EQ(SlotText(drive.Read("WINDOWS/twsafe/bkinfo.dat"), 1), "2026-3-7\t0\t1");
}

// Symbolic links on the drive (ntfs-3g shows junctions as links) lead
// nowhere: a link counts as a missing file or folder, and nothing outside the
// drive is read, created or deleted through one.
TEST_F(BootTest, LinksAreNeverFollowed) {
  TestDrive outside;
  outside.Write("secret", "outside the drive");
  outside.Write("twsafe/bkinfo.dat", TemplateIndex());
  const std::string out = outside.drive();

  // The hive to restore and the saved hive as links: no restore, no undo.
  drive.Write(kHiveToRestore, "");
  drive.Remove(kHiveToRestore);
  ASSERT_EQ(symlink((out + "/secret").c_str(), (drive.drive() + "/" + kHiveToRestore).c_str()), 0);
  SetRequest("111");
  BootOn({2026, 3, 5});
  EXPECT_EQ(Request(), "IsRepair=111");
  EXPECT_NE(drive.Read(kUserHive), "outside the drive");
  ASSERT_EQ(symlink((out + "/secret").c_str(), (drive.drive() + "/" + kSavedHive).c_str()), 0);
  SetRequest("222");
  BootOn({2026, 3, 5});
  EXPECT_EQ(Request(), "IsRepair=222");
  EXPECT_NE(drive.Read(kUserHive), "outside the drive");

  // The snapshot folder as a link: no snapshot is written through it.
  std::string twsafe = drive.windows() + "/twsafe";
  std::filesystem::remove_all(twsafe);
  ASSERT_EQ(symlink((out + "/twsafe").c_str(), twsafe.c_str()), 0);
  BootOn({2026, 3, 6});
  EXPECT_EQ(outside.List("twsafe"), std::vector<std::string>{"bkinfo.dat"});
  EXPECT_EQ(outside.Read("twsafe/bkinfo.dat"), TemplateIndex());

  // A link is neither deleted nor renamed through, and nothing is created
  // where a dangling link stands.
  EXPECT_FALSE(DeleteFile(u"\\SystemRoot\\temp\\TWXT04.XFF"));
  EXPECT_NE(LayerRenameFile(u"\\SystemRoot\\temp\\TWXT04.XFF", u"\\SystemRoot\\temp\\x", RenameMode::kReplace), FileStatus::kOk);
  EXPECT_EQ(outside.Read("secret"), "outside the drive");
  ASSERT_EQ(symlink((out + "/new").c_str(), (drive.windows() + "/temp/new").c_str()), 0);
  TwHandle file;
  EXPECT_FALSE(OpenFile(u"\\SystemRoot\\temp\\new", &file, kDispositionCreateNew));
  EXPECT_FALSE(outside.Exists("new"));
}

TEST_F(BootTest, NoSettingsMeansNoPassesAndOneMessage) {
  drive.Remove("WINDOWS/wispdata.dat");
  Bytes index = drive.Read("WINDOWS/twsafe/bkinfo.dat");
  BootOn({2026, 3, 5});
  EXPECT_EQ(drive.console, "Open IniFile Error\n");
  EXPECT_FALSE(drive.Exists("WINDOWS/twsafe/20260305.xff"));
  EXPECT_EQ(drive.Read("WINDOWS/twsafe/bkinfo.dat"), index);
}

TEST_F(BootTest, AnIncompleteSnapshotIsNotLeftToBlockTheDay) {
  Bytes index = drive.Read("WINDOWS/twsafe/bkinfo.dat");
  drive.Remove("WINDOWS/system32/config/SAM");
  BootOn({2026, 3, 5});
  EXPECT_EQ(drive.console, "Open SourceFile Error\n");
  EXPECT_FALSE(drive.Exists("WINDOWS/twsafe/20260305.xff"));
  EXPECT_EQ(drive.Read("WINDOWS/twsafe/bkinfo.dat"), index);

  // Settings without userpath: no unset path is used, no snapshot is left.
  drive.Write("WINDOWS/system32/config/SAM", "sam");
  drive.Write("WINDOWS/wispdata.dat", ProfileFile(1, {"IsRepair=111"}));
  drive.Write(kHiveToRestore, "prepared");
  BootOn({2026, 3, 5});
  EXPECT_FALSE(drive.Exists("WINDOWS/twsafe/20260305.xff"));
  EXPECT_EQ(SlotText(drive.Read("WINDOWS/wispdata.dat"), 1), "IsRepair=111");

  // The next boot of the day, with the hives back, takes the snapshot.
  drive.Install(kUserFolder);
  BootOn({2026, 3, 5});
  EXPECT_TRUE(drive.Exists("WINDOWS/twsafe/20260305.xff"));
}

TEST_F(BootTest, HiveAndFolderNamesAreFoundInAnyCase) {
  drive.Write("WINDOWS/wispdata.dat",
              ProfileFile(1, {"userpath=\\??\\C:\\DOCUMENTS*AND*SETTINGS\\USER1"}));
  BootOn({2026, 3, 5});
  EXPECT_TRUE(drive.Exists("WINDOWS/twsafe/20260305.xff"));
}

// Installation day is snapshot 0; snapshot k is taken k days later.
TEST_F(BootTest, AHundredDaysThinTheIndexByTheCarryRule) {
  Day start = {2027, 1, 1};
  for (int k = 1; k <= 100; ++k) BootOn(DaysAfter(start, k));

  Bytes index = drive.Read("WINDOWS/twsafe/bkinfo.dat");
  EXPECT_EQ(SlotText(index, 0), "IndexNum=22");
  for (int slot = 1; slot <= 15; ++slot) {
    EXPECT_EQ(SlotText(index, slot), IndexDate(DaysAfter(start, 101 - slot)) + "\t0\t1") << slot;
  }
  const int carried[] = {85, 84, 80, 72, 64, 32, 0};
  const char* signs[] = {"0", "1", "1", "0", "1", "0", "1"};
  for (int i = 0; i < 7; ++i) {
    std::string date = carried[i] ? IndexDate(DaysAfter(start, carried[i])) : "1111-11-11";
    EXPECT_EQ(SlotText(index, 16 + i), date + "\t" + signs[i] + "\t1") << 16 + i;
  }

  std::vector<std::string> kept = {"11111111.xff", "bkinfo.dat"};
  for (int k : {100, 99, 98, 97, 96, 95, 94, 93, 92, 91, 90, 89, 88, 87, 86, 85, 84, 80, 72, 64, 32}) {
    kept.push_back(FileName(DaysAfter(start, k)));
  }
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(drive.List("WINDOWS/twsafe"), kept);
}

// Every row of the restore request's state table.
TEST_F(BootTest, RestoreRequestStates) {
  const Bytes oldHive = drive.Read(kUserHive);
  const Bytes prepared = BuildHive(2 * 4096), secondPrepared = BuildHive(3 * 4096);
  const Day day = {2026, 3, 5};

  // "111" with everything present.
  SetRequest("111");
  drive.Write(kHiveToRestore, prepared);
  BootOn(day);
  EXPECT_EQ(drive.Read(kUserHive), prepared);
  EXPECT_EQ(drive.Read(kSavedHive), oldHive);
  EXPECT_FALSE(drive.Exists(kHiveToRestore));
  EXPECT_EQ(Request(), "IsRepair=000");
  // The day's snapshot was taken before the hive was replaced.
  Bytes snapshot = drive.Read("WINDOWS/twsafe/20260305.xff");
  EXPECT_EQ(snapshot.substr(snapshot.size() - oldHive.size()), oldHive);

  // "111" again: the saved hive now holds what the first restore put in place.
  SetRequest("111");
  drive.Write(kHiveToRestore, secondPrepared);
  BootOn(day);
  EXPECT_EQ(drive.Read(kUserHive), secondPrepared);
  EXPECT_EQ(drive.Read(kSavedHive), prepared);

  // "222" puts the saved hive back and keeps it.
  SetRequest("222");
  BootOn(day);
  EXPECT_EQ(drive.Read(kUserHive), prepared);
  EXPECT_EQ(drive.Read(kSavedHive), prepared);
  EXPECT_EQ(Request(), "IsRepair=000");

  // "111" without a hive to restore, "222" without a saved hive: nothing, flag stays.
  SetRequest("111");
  BootOn(day);
  EXPECT_EQ(Request(), "IsRepair=111");
  EXPECT_EQ(drive.Read(kUserHive), prepared);
  drive.Remove(kSavedHive);
  SetRequest("222");
  BootOn(day);
  EXPECT_EQ(Request(), "IsRepair=222");
  EXPECT_EQ(drive.Read(kUserHive), prepared);

  // "333" and other values are left for others.
  for (const char* other : {"333", "000", "11"}) {
    SetRequest(other);
    drive.Write(kHiveToRestore, secondPrepared);
    BootOn(day);
    EXPECT_EQ(Request(), std::string("IsRepair=") + other);
    EXPECT_EQ(drive.Read(kUserHive), prepared);
  }
}

// A restore whose last copy fails must not leave the user without a hive.
TEST_F(BootTest, AFailedRestoreCopyPutsTheOldHiveBack) {
  const Bytes oldHive = drive.Read(kUserHive), prepared = BuildHive(2 * 4096);
  int failuresSeen = 0;
  for (long at = 1; at < 200; ++at) {
    SetRequest("111");
    drive.Write(kHiveToRestore, prepared);
    drive.Write(kUserHive, oldHive);
    drive.Remove(kSavedHive);
    drive.Boot(2026, 3, 5);
    HostLayerSetFault(HostFault::kFail, at);
    bool done = HandleRepairNtuser();
    if (HostLayerOperationCount() < at) break;
    HostLayerSetFault(HostFault::kNone, 0);
    Bytes now = drive.Read(kUserHive);
    // The old hive stays with the request kept, or the prepared one stands.
    EXPECT_TRUE(now == oldHive ? Request() == "IsRepair=111" : now == prepared) << "operation " << at;
    if (!done) ++failuresSeen;
  }
  EXPECT_GT(failuresSeen, 0);
}

// A restore at boot: four days of sound hives, the software hive damaged
// from a given day, then a boot on day 5 with the start options given.
TEST(RestoreAtBootTest, PutsBackTheNewestSoundSnapshotFromBeforeToday) {
  const std::string kSoftware = "WINDOWS/system32/config/software";
  auto software = [](int day) { return BuildFilledHive((4 + day) * 4096, false, "software"); };
  auto user = [](int day, bool dirty) { return BuildHive((1 + day) * 4096, 4096, dirty); };
  const std::string tooLong = std::string(600, 'X') + " TWRESTORE";
  struct Row {
    const char* what;
    const char* options;
    int damagedFrom;  // the day from which the software hive is damaged
    int dirtyUserOn;  // the day whose user hive is dirty (0: none)
    int restoredDay;  // 0: nothing is restored
  } rows[] = {
      {"the day before", "NOEXECUTE=OPTIN FASTDETECT TWRESTORE", 5, 0, 4},
      {"past a damaged snapshot", "TWRESTORE", 4, 0, 3},
      {"past a dirty user hive", "FASTDETECT TWRESTORE", 5, 4, 3},
      {"no sound snapshot", "TWRESTORE", 1, 0, 0},
      {"another switch", "FASTDETECT TWRESTORED", 5, 0, 0},
      {"no start options", nullptr, 5, 0, 0},
      {"start options too long", tooLong.c_str(), 5, 0, 0},
  };
  for (const Row& row : rows) {
    TestDrive drive;
    drive.Install(kUserFolder);
    SetStartOptions(nullptr);
    for (int day = 1; day <= 5; ++day) {
      drive.Write(kSoftware, day >= row.damagedFrom ? Pattern(5000, 'd') : software(day));
      drive.Write(kUserHive, user(day, day == row.dirtyUserOn));
      if (day == 5) SetStartOptions(row.options);
      drive.Boot(2026, 3, day);
      RunBootPasses();
    }
    SetStartOptions(nullptr);
    Bytes settings = drive.Read("WINDOWS/wispdata.dat");
    auto has = [&](const std::string& pair) { return settings.find(pair + '\0') != Bytes::npos; };
    if (!row.restoredDay) {
      EXPECT_TRUE(drive.Read(kSoftware) == Pattern(5000, 'd')) << row.what << "\n" << drive.console;
      EXPECT_TRUE(drive.Read(kUserHive) == user(5, false)) << row.what << "\n" << drive.console;
      EXPECT_FALSE(has("SysRepair=111") || has("IsRepair=111") || has("SignRun=111")) << row.what;
      continue;
    }
    std::string from = "2026-3-" + std::to_string(row.restoredDay);
    EXPECT_TRUE(drive.Read(kSoftware) == software(row.restoredDay)) << row.what << "\n" << drive.console;
    EXPECT_TRUE(drive.Read(kUserHive) == user(row.restoredDay, false)) << row.what << "\n" << drive.console;
    EXPECT_TRUE(drive.Read(kSoftware.substr(0, kSoftware.size() - 8) + "software.twb") == Pattern(5000, 'd')) << row.what << "\n" << drive.console;
    EXPECT_TRUE(drive.Read(kSavedHive) == user(5, false)) << row.what << "\n" << drive.console;
    EXPECT_TRUE(has("SysRepair=000") && has("IsRepair=000") && has("SignRun=111")) << row.what;
    EXPECT_TRUE(has("BootRestoreDay=2026-3-5") && has("BootRestoreFrom=" + from)) << row.what;
    EXPECT_NE(drive.console.find("of the snapshot of " + from + "\n"), std::string::npos) << drive.console;
    EXPECT_EQ(HostLayerOpenFileCount(), 0u) << row.what;
  }
}

}  // namespace

// userpath leads only into folders of a drive; a cp936 trail byte that looks
// like a backslash separates nothing.
TEST(UserPathTest, OnlyPlainDrivePathsAreFollowed) {
  struct Row {
    const char* userpath;
    bool followed;
  } rows[] = {
      {"\\??\\C:\\Documents*and*Settings\\user1", true}, {"\\??\\d:\\profiles\\...\\x", true},
      {"\\??\\C:\\Documents*and*Settings\\..\\..", false}, {"\\??\\C:\\.\\user1", false},
      {"\\SystemRoot\\..\\user1", false},                  {"\\??\\UNC\\server\\share", false},
      {"\\??\\C:\\\x81\\..\\user1", true},                 {"\\??\\C:\\\x81\\\\..", false},
  };
  TestDrive drive;
  drive.Boot(2026, 3, 5);
  for (const Row& row : rows) {
    TwChar path[384];
    EXPECT_EQ(BuildUserFilePath(row.userpath, "NTUSER.DAT", path), row.followed) << row.userpath;
  }
}
