// Faults and power losses at every file operation of a boot: whatever fails,
// the boot goes on, the user keeps a whole hive, the index stays readable and
// lists no snapshot that is gone, and the settings change only in IsRepair.
#include <filesystem>

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

class Invariants {
 public:
  Invariants(const TestDrive& drive, const Scenario& scenario)
      : m_oldHive(drive.Read(kUserHive)),
        m_settings(drive.Read(kSettings)),
        m_newHive(std::string(scenario.request) == "111"   ? drive.Read(kHiveToRestore)
                  : std::string(scenario.request) == "222" ? drive.Read(kSavedHive)
                                                           : m_oldHive) {}

  void Check(const TestDrive& drive, bool checkUserHive, const std::string& where) const {
    Bytes user = drive.Read(kUserHive);
    if (checkUserHive) {
      EXPECT_TRUE(drive.Exists(kUserHive) && (user == m_oldHive || user == m_newHive)) << where;
      if (user != m_oldHive) {
        EXPECT_TRUE(drive.Exists(kSavedHive)) << where;
      }
    }

    Bytes index = drive.Read(kIndex);
    int count = 0;
    ASSERT_TRUE(ScanIndexNum(SlotText(index, 0).c_str(), &count)) << where;
    ASSERT_TRUE(count >= 1 && count <= kLastCarrySlot) << where << ": count " << count;
    for (int slot = 1; slot <= count; ++slot) {
      char line[kSlotBufferSize] = {};
      SlotText(index, slot).copy(line, kSlotSize);
      TBackupItem item;
      ASSERT_TRUE(SplitLine(line, '\t', &item)) << where << ": slot " << slot;
      int y = 0, m = 0, d = 0;
      ASSERT_EQ(sscanf(item.Date, "%d-%d-%d", &y, &m, &d), 3) << where;
      char name[32];
      snprintf(name, sizeof name, "%d%02d%02d.xff", y, m, d);
      EXPECT_TRUE(drive.Exists(std::string("WINDOWS/twsafe/") + name)) << where << ": slot " << slot << " lists " << name;
    }

    Bytes settings = drive.Read(kSettings);
    ASSERT_EQ(settings.size(), m_settings.size()) << where;
    EXPECT_EQ(settings.substr(0, 300), m_settings.substr(0, 300)) << where;  // all but the IsRepair slot
    EXPECT_EQ(settings.substr(400), m_settings.substr(400)) << where;
  }

 private:
  Bytes m_oldHive;
  Bytes m_settings;
  Bytes m_newHive;
};

TEST(FaultTest, EveryOperationOfEveryBootMayFail) {
  long runs = 0;
  for (const Scenario& scenario : kScenarios) {
    TestDrive prepared;
    Prepare(prepared, scenario);
    const Invariants invariants(prepared, scenario);
    bool undo = std::string(scenario.request) == "222";

    for (HostFault mode : {HostFault::kFail, HostFault::kShortRead, HostFault::kDiskFull, HostFault::kPowerLoss}) {
      for (long at = 1;; ++at) {
        TestDrive drive;
        fs::copy(prepared.drive(), drive.drive(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        drive.Boot(2027, 2, 1);
        HostLayerSetFault(mode, at);
        bool powerLost = false;
        try {
          RunBootPasses();
        } catch (const HostPowerLoss&) {
          powerLost = true;
        }
        bool reached = HostLayerOperationCount() >= at;
        HostLayerSetFault(HostFault::kNone, 0);
        if (!reached) break;
        ++runs;
        std::string where = std::string(scenario.name) + ", " + ModeName(mode) + " at operation " + std::to_string(at);
        // An undo whose copy failed has no old hive left to keep; it is put
        // right by the next boot, which checks the rest again.
        if (!powerLost) invariants.Check(drive, !undo, where);
        drive.Boot(2027, 2, 1);
        RunBootPasses();
        invariants.Check(drive, true, where + ", then a normal boot");
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
