// Faults and power losses at every file operation of a boot: whatever fails,
// the boot goes on, one whole copy of the user's own hive stands at every
// instant, the index is the one before the update or the one after it, the
// next boot leaves every line once and no snapshot file unnamed, and the
// settings change only in IsRepair.
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "engine.h"
#include "host_layer.h"
#include "test_drive.h"

namespace fs = std::filesystem;

namespace {

const char kUserHive[] = "Documents and Settings/user1/NTUSER.DAT";
const char kSavedHive[] = "Documents and Settings/user1/BKDATA3.DAT";
const char kHiveToRestore[] = "WINDOWS/temp/TWXT04.XFF";
const char kSettings[] = "WINDOWS/wispdata.dat";
const char kIndex[] = "WINDOWS/twsafe/bkinfo.dat";

struct Scenario {
  const char* name;
  int daysBefore;       // normal daily boots before the one under test
  const char* request;  // IsRepair at the boot under test
};

const Scenario kScenarios[] = {
    {"first snapshot", 0, "000"},
    {"snapshot that rotates the index", 40, "000"},
    {"restore request", 3, "111"},
    {"undo request", 3, "222"},
};

const char* ModeName(HostFault mode) {
  switch (mode) {
    case HostFault::kFail: return "failure";
    case HostFault::kShortRead: return "short read";
    case HostFault::kDiskFull: return "disk full";
    case HostFault::kPowerLoss: return "power loss";
    default: return "none";
  }
}

void Boot(TestDrive& drive, int day) {
  drive.Boot(2027, 1, 1 + day);
  RunBootPasses();
}

// The state of the machine just before the boot under test.
void Prepare(TestDrive& drive, const Scenario& scenario) {
  drive.Install("Documents and Settings/user1");
  for (int day = 1; day <= scenario.daysBefore; ++day) Boot(drive, day % 28);
  if (std::string(scenario.request) == "222") {
    drive.Write(kSavedHive, Pattern(3000, 'k'));
  }
  drive.Write(kHiveToRestore, Pattern(4100, 'p'));
  Bytes settings = ProfileFile(4, {"Backup0=2", "userpath=\\??\\C:\\Documents*and*Settings\\user1",
                                   std::string("IsRepair=") + scenario.request, "SignRun=111"});
  drive.Write(kSettings, settings);
  HostLayerSetFault(HostFault::kNone, 0);
}

// The index lines (slots 0 to 30) as text.
std::vector<std::string> IndexLines(const TestDrive& drive) {
  Bytes index = drive.Read(kIndex);
  std::vector<std::string> lines;
  for (int slot = 0; slot <= kLastCarrySlot; ++slot) lines.push_back(SlotText(index, slot));
  return lines;
}

// The snapshot file an index line names, or "" when it names none.
std::string NamedFile(const std::string& line) {
  char text[kSlotBufferSize] = {};
  line.copy(text, kSlotSize);
  TBackupItem item;
  char name[48];
  if (!SplitLine(text, '\t', &item) || !SnapshotFileName(item.Date, name, sizeof name)) return "";
  return name;
}

// A drive copied from another, booted once without faults on the given day.
std::vector<std::string> IndexAfterBoot(const TestDrive& from, int year, int month, int day) {
  TestDrive drive;
  fs::copy(from.drive(), drive.drive(), fs::copy_options::recursive);
  drive.Boot(year, month, day);
  RunBootPasses();
  return IndexLines(drive);
}

class Invariants {
 public:
  Invariants(const TestDrive& drive, const Scenario& scenario)
      : m_request(scenario.request),
        m_oldHive(drive.Read(kUserHive)),
        m_settings(drive.Read(kSettings)),
        m_newHive(m_request == "111"   ? drive.Read(kHiveToRestore)
                  : m_request == "222" ? drive.Read(kSavedHive)
                                       : m_oldHive),
        m_ownHive(m_request == "222" ? m_newHive : m_oldHive),
        m_indexBefore(IndexLines(drive)),
        m_indexAfter(IndexAfterBoot(drive, 2027, 2, 1)) {}

  // What must hold after every operation: one whole copy of the user's own
  // hive, a whole user hive once the flag is cleared, the index as it was or
  // as the update makes it, the settings changed in IsRepair alone.
  void CheckAlways(const TestDrive& drive, const std::string& where) const {
    Bytes user = drive.Read(kUserHive);
    bool userWhole = drive.Exists(kUserHive) && (user == m_oldHive || user == m_newHive);
    EXPECT_TRUE((drive.Exists(kUserHive) && user == m_ownHive) ||
                (drive.Exists(kSavedHive) && drive.Read(kSavedHive) == m_ownHive))
        << where << ": no whole copy of the user's own hive";
    if (SlotText(drive.Read(kSettings), 3) == "IsRepair=000") {
      EXPECT_TRUE(userWhole) << where << ": request cleared without a whole user hive";
    }
    std::vector<std::string> index = IndexLines(drive);
    EXPECT_TRUE(index == m_indexBefore || index == m_indexAfter) << where << ": index neither before nor after";

    Bytes settings = drive.Read(kSettings);
    ASSERT_EQ(settings.size(), m_settings.size()) << where;
    EXPECT_EQ(settings.substr(0, 300), m_settings.substr(0, 300)) << where;  // all but the IsRepair slot
    EXPECT_EQ(settings.substr(400), m_settings.substr(400)) << where;
  }

  // What must hold once a normal boot of the same day has followed.
  void CheckAfterNextBoot(const TestDrive& drive, const std::string& where) const {
    CheckAlways(drive, where);
    EXPECT_TRUE(IndexLines(drive) == m_indexAfter) << where << ": the day is not recorded";
    Bytes user = drive.Read(kUserHive);
    EXPECT_TRUE(user == m_oldHive || user == m_newHive) << where;
    if (user != m_oldHive) {
      EXPECT_TRUE(drive.Exists(kSavedHive)) << where;
    }
    CheckSnapshotFiles(drive, where);
  }

  // Every line once, every listed file present, no snapshot file unnamed,
  // nothing open.
  static void CheckSnapshotFiles(const TestDrive& drive, const std::string& where) {
    std::vector<std::string> index = IndexLines(drive);
    int count = 0;
    ASSERT_TRUE(ScanIndexNum(index[0].c_str(), &count)) << where;
    ASSERT_TRUE(count >= 1 && count <= kLastCarrySlot) << where << ": count " << count;
    std::set<std::string> named;
    for (int slot = 1; slot <= count; ++slot) {
      std::string name = NamedFile(index[slot]);
      ASSERT_FALSE(name.empty()) << where << ": slot " << slot;
      EXPECT_TRUE(named.insert(name).second) << where << ": " << name << " listed twice";
      EXPECT_TRUE(drive.Exists("WINDOWS/twsafe/" + name)) << where << ": slot " << slot << " lists " << name;
    }
    for (const std::string& file : drive.List("WINDOWS/twsafe")) {
      if (file.size() > 4 && file.substr(file.size() - 4) == ".xff") {
        EXPECT_TRUE(named.count(file)) << where << ": " << file << " is named by no line";
      }
    }
    EXPECT_EQ(HostLayerOpenFileCount(), 0u) << where << ": files left open";
  }

 private:
  std::string m_request;
  Bytes m_oldHive;
  Bytes m_settings;
  Bytes m_newHive;
  Bytes m_ownHive;
  std::vector<std::string> m_indexBefore;
  std::vector<std::string> m_indexAfter;
};

TEST(FaultTest, EveryOperationOfEveryBootMayFail) {
  long runs = 0;
  for (const Scenario& scenario : kScenarios) {
    TestDrive prepared;
    Prepare(prepared, scenario);
    const Invariants invariants(prepared, scenario);

    for (HostFault mode : {HostFault::kFail, HostFault::kShortRead, HostFault::kDiskFull, HostFault::kPowerLoss}) {
      for (long at = 1;; ++at) {
        TestDrive drive;
        fs::copy(prepared.drive(), drive.drive(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        drive.Boot(2027, 2, 1);
        HostLayerSetFault(mode, at);
        try {
          RunBootPasses();
        } catch (const HostPowerLoss&) {
        }
        bool reached = HostLayerOperationCount() >= at;
        HostLayerSetFault(HostFault::kNone, 0);
        if (!reached) break;
        ++runs;
        std::string where = std::string(scenario.name) + ", " + ModeName(mode) + " at operation " + std::to_string(at);
        invariants.CheckAlways(drive, where);

        // The next boot is on a later day: nothing of the cut-off day may be
        // left unnamed.
        TestDrive later;
        fs::copy(drive.drive(), later.drive(), fs::copy_options::recursive);
        later.Boot(2027, 2, 2);
        RunBootPasses();
        Invariants::CheckSnapshotFiles(later, where + ", then a boot the next day");

        drive.Boot(2027, 2, 1);
        RunBootPasses();
        invariants.CheckAfterNextBoot(drive, where + ", then a normal boot");
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  RecordProperty("runs", static_cast<int>(runs));
  EXPECT_GT(runs, 1000);
}

// A restore cut off at any point and finished by the next boot keeps the
// user's own hive as the saved hive.
TEST(FaultTest, AnInterruptedRestoreKeepsTheUsersOwnHive) {
  TestDrive prepared;
  Prepare(prepared, kScenarios[2]);
  const Bytes own = prepared.Read(kUserHive);
  const Bytes prepared_hive = prepared.Read(kHiveToRestore);
  for (long at = 1;; ++at) {
    TestDrive drive;
    fs::copy(prepared.drive(), drive.drive(), fs::copy_options::recursive);
    drive.Boot(2027, 2, 1);
    HostLayerSetFault(HostFault::kPowerLoss, at);
    try {
      RunBootPasses();
    } catch (const HostPowerLoss&) {
    }
    bool reached = HostLayerOperationCount() >= at;
    HostLayerSetFault(HostFault::kNone, 0);
    if (!reached) break;
    RunBootPasses();
    EXPECT_EQ(drive.Read(kUserHive), prepared_hive) << "power loss at operation " << at;
    EXPECT_EQ(drive.Read(kSavedHive), own) << "power loss at operation " << at;
  }
}

}  // namespace
