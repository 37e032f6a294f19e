// The checker: a boot recorded through the host layer, the drive as a power
// cut at every point of it may leave it (host_crash.cpp says what a cut
// keeps), and each such drive booted again the same day and the next,
// against what must always hold; then two faults across two boots. The start
// states are those the field produces. Sampled with a fixed seed;
// TW_CRASH_EXHAUSTIVE=1 explores every metadata prefix, every page subset
// (up to 2^10) and every second fault.
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "engine.h"
#include "hive_builder.h"
#include "host_crash.h"
#include "host_layer.h"
#include "test_drive.h"

namespace {

const std::string kUser = "Documents and Settings/user1/";
const char kSettings[] = "WINDOWS/wispdata.dat";
const char kIndex[] = "WINDOWS/twsafe/bkinfo.dat";

// A hive request as the checker sees it: its settings key and the files it
// moves between. A request for another hive joins with a row here and its
// start states below.
struct HiveRequest {
  const char* key;
  std::string hive, log, saved, savedLog, prepared;
};
const HiveRequest kRequests[] = {
    {"IsRepair", kUser + "NTUSER.DAT", kUser + "NTUSER.DAT.LOG", kUser + "BKDATA3.DAT", kUser + "BKDATA3.DAT.LOG",
     "WINDOWS/temp/TWXT04.XFF"},
};
const HiveRequest& kUserHive = kRequests[0];

bool Exhaustive() { return getenv("TW_CRASH_EXHAUSTIVE") != nullptr; }

// Boots the drive on day `day` after 2027-01-01.
void BootOn(TestDrive& drive, int day) {
  time_t when = 1798761600 + static_cast<time_t>(day) * 86400;  // 2027-01-01 UTC
  struct tm date;
  gmtime_r(&when, &date);
  drive.Boot(date.tm_year + 1900, date.tm_mon + 1, date.tm_mday);
  RunBootPasses();
}

std::string SettingValue(const Bytes& settings, const char* key) {
  for (int slot = 1; slot * 100 < static_cast<int>(settings.size()); ++slot) {
    std::string text = SlotText(settings, slot);
    if (text.rfind(std::string(key) + "=", 0) == 0) return text.substr(strlen(key) + 1);
  }
  return "";
}

void Request(const TestDrive& drive, const char* value, bool shortLastSlot = false) {
  Bytes settings = ProfileFile(4, {"Backup0=2", "userpath=\\??\\C:\\Documents*and*Settings\\user1", "SignRun=111",
                                   std::string("IsRepair=") + value});
  if (shortLastSlot) settings.resize(settings.size() - 100 + strlen("IsRepair=") + strlen(value) + 1);
  drive.Write(kSettings, settings);
}

// Start states, each booted on its `day`.
struct Scenario {
  const char* name;
  int day;
  void (*prepare)(TestDrive&);
};

void Installed(TestDrive& drive, int days) {
  drive.Install();
  for (int day = 1; day <= days; ++day) BootOn(drive, day);
}

void RestoreRequested(TestDrive& drive) {
  Installed(drive, 3);
  drive.Write(kUserHive.prepared, BuildHive(3 * 4096));
  Request(drive, "111");
}

void RestoreRequestedWithLog(TestDrive& drive) {
  RestoreRequested(drive);
  drive.Write(kUserHive.log, "log of the user's own hive");
}

const Scenario kScenarios[] = {
    {"first snapshot", 1, [](TestDrive& d) { d.Install(); }},
    {"snapshot that rotates the index", 41, [](TestDrive& d) { Installed(d, 40); }},
    {"restore", 4, RestoreRequestedWithLog},
    {"restore over an earlier restore", 4,
     [](TestDrive& d) {
       RestoreRequestedWithLog(d);
       d.Write(kUserHive.saved, "hive from before an earlier restore");
       d.Write(kUserHive.savedLog, "its log");
     }},
    {"undo", 4,
     [](TestDrive& d) {
       Installed(d, 3);
       d.Write(kUserHive.saved, d.Read(kUserHive.hive));
       d.Write(kUserHive.savedLog, "log of the user's own hive");
       d.Write(kUserHive.hive, BuildHive(2 * 4096));
       d.Write(kUserHive.log, "log of the restored hive");
       Request(d, "222");
     }},
    {"pending record of a day cut off before", 23,
     [](TestDrive& d) {
       Installed(d, 21);
       d.Write("WINDOWS/twsafe/20270123.xff", d.Read("WINDOWS/twsafe/20270122.xff"));
       d.Write("WINDOWS/twsafe/bkinfo.jnl", "2027-1-23" + Bytes(91, '\0'));
     }},
    {"day file cut short", 40,
     [](TestDrive& d) {
       Installed(d, 40);
       Bytes day = d.Read("WINDOWS/twsafe/20270210.xff");
       d.Write("WINDOWS/twsafe/20270210.xff", day.substr(0, day.size() - 100));
     }},
    {"index that cannot record", 15,
     [](TestDrive& d) {
       Installed(d, 14);
       Bytes index = d.Read(kIndex);
       d.Write(kIndex, index.replace(1600, 100, Bytes(100, '\0')));
     }},
    {"settings whose last slot is short", 4,
     [](TestDrive& d) {
       RestoreRequested(d);
       Request(d, "111", true);
     }},
};

std::vector<std::string> IndexLines(const std::map<std::string, Bytes>& files) {
  std::vector<std::string> lines;
  auto index = files.find(kIndex);
  for (int slot = 0; slot <= kLastCarrySlot; ++slot) lines.push_back(SlotText(index == files.end() ? "" : index->second, slot));
  return lines;
}

// The snapshot file an index line names, or "" when it names none.
std::string NamedFile(const std::string& line) {
  char text[kSlotBufferSize] = {};
  line.copy(text, kSlotSize);
  TBackupItem item;
  char name[48];
  if (!SplitLine(text, '\t', &item) || !SnapshotFileName(item.Date, name, sizeof name)) return "";
  return std::string("WINDOWS/twsafe/") + name;
}

// The first difference between two drives, or "".
std::string Difference(const std::map<std::string, Bytes>& actual, const std::map<std::string, Bytes>& expected) {
  for (const auto& [name, bytes] : expected) {
    auto found = actual.find(name);
    if (found == actual.end()) return name + " missing";
    if (found->second != bytes) {
      size_t at = std::mismatch(bytes.begin(), bytes.end(), found->second.begin(), found->second.end()).first - bytes.begin();
      return name + " differs from byte " + std::to_string(at);
    }
  }
  for (const auto& entry : actual) {
    if (!expected.count(entry.first)) return entry.first + " left over";
  }
  return "";
}

class Invariants {
 public:
  Invariants(const TestDrive& start, const std::string& name, int day) : m_before(start.Files()) {
    TestDrive drive;
    drive.CopyFrom(start);
    drive.Boot(2027, 1, 1);
    FinishPendingSnapshots();
    m_indexes = {IndexLines(m_before), IndexLines(drive.Files())};
    BootOn(drive, day);
    m_sameDay = drive.Files();
    m_indexes.push_back(IndexLines(m_sameDay));
    BootOn(drive, day + 1);
    m_nextDay = drive.Files();
    for (const HiveRequest& request : kRequests) {
      Expected expected;
      expected.request = SettingValue(m_before.at(kSettings), request.key);
      expected.start = Get(m_before, request.hive);
      expected.end = Get(m_sameDay, request.hive);
      // The hive to keep whole: the one a clean boot moves aside or keeps in place.
      expected.own = expected.request == "222" || (expected.request == "111" && expected.end != expected.start)
                         ? Get(m_sameDay, request.saved)
                         : expected.start;
      expected.refusable = SettingValue(m_sameDay.at(kSettings), request.key) == "000" && expected.end == expected.start;
      m_expected.push_back(expected);
      for (const auto& [hive, log] : {std::pair(request.hive, request.log), std::pair(request.saved, request.savedLog)}) {
        if (m_before.count(hive) && m_before.count(log)) m_logOf[m_before.at(hive)] = m_before.at(log);
      }
      for (const Bytes& hive : {expected.start, expected.end, expected.own, Get(m_nextDay, request.hive)}) {
        m_userHives.insert(hive);
      }
    }
    CheckClean(drive, name + ", the clean boots themselves");
  }

  // In every state, cut off or faulted: one whole copy of the replaced hive
  // stands as the hive or as the saved hive; a cleared request is done (or
  // refused, or an undo whose copy failed); no log lies beside a hive it does
  // not belong to; the index is one the boot wrote whole; the settings
  // change in the requests' slots alone.
  void CheckAlways(const TestDrive& drive, const std::string& where, bool faulted) const {
    std::map<std::string, Bytes> files = drive.Files();
    for (size_t i = 0; i < std::size(kRequests); ++i) {
      const HiveRequest& request = kRequests[i];
      const Expected& expected = m_expected[i];
      EXPECT_TRUE(Get(files, request.hive) == expected.own || Get(files, request.saved) == expected.own)
          << where << ": no whole copy of the replaced hive";
      bool cleared = SettingValue(files.at(kSettings), request.key) == "000";
      if (cleared && expected.request != "000") {
        Bytes hive = Get(files, request.hive);
        EXPECT_TRUE(hive == expected.end ||
                    (hive == expected.start && (expected.refusable || (faulted && expected.request == "222"))))
            << where << ": " << request.key << " cleared before the request was done";
      }
      for (const auto& [hive, log] : {std::pair(request.hive, request.log), std::pair(request.saved, request.savedLog)}) {
        if (files.count(hive) && files.count(log)) {
          auto owner = m_logOf.find(files.at(hive));
          EXPECT_TRUE(owner != m_logOf.end() && owner->second == files.at(log)) << where << ": a foreign log beside " << hive;
        }
      }
    }
    if (!faulted) {
      std::vector<std::string> index = IndexLines(files);
      EXPECT_TRUE(std::find(m_indexes.begin(), m_indexes.end(), index) != m_indexes.end())
          << where << ": an index the boot never wrote whole";
    }
    const Bytes& settings = files.at(kSettings);
    const Bytes& before = m_before.at(kSettings);
    for (int slot = 0; slot * 100 < static_cast<int>(std::max(settings.size(), before.size())); ++slot) {
      std::string text = SlotText(settings, slot);
      bool request = std::any_of(std::begin(kRequests), std::end(kRequests),
                                 [&](const HiveRequest& r) { return text.rfind(std::string(r.key) + "=", 0) == 0; });
      if (!request) EXPECT_EQ(text, SlotText(before, slot)) << where << ": settings slot " << slot;
    }
  }

  // After a cut and the boots that follow it: the drive as the same boots
  // leave it without a cut (a prepared hive left over aside, and a short
  // last settings slot that may stay short).
  void CheckRecovered(const TestDrive& drive, const std::string& where, bool nextDay) const {
    std::map<std::string, Bytes> files = drive.Files();
    std::map<std::string, Bytes> expected = nextDay ? m_nextDay : m_sameDay;
    for (auto* drive : {&files, &expected}) {
      for (const HiveRequest& request : kRequests) drive->erase(request.prepared);
      Bytes& settings = (*drive)[kSettings];
      settings.resize((settings.size() + 99) / 100 * 100, '\0');
    }
    EXPECT_EQ(Difference(files, expected), "") << where;
    EXPECT_EQ(HostLayerOpenFileCount(), 0u) << where << ": files left open";
  }

  // After clean boots: every line once with the installation line kept,
  // every listed snapshot whole, no snapshot file that no line names, nothing
  // left open or half done.
  void CheckClean(const TestDrive& drive, const std::string& where) const {
    std::map<std::string, Bytes> files = drive.Files();
    std::vector<std::string> index = IndexLines(files);
    int count = 0;
    ASSERT_TRUE(ScanIndexNum(index[0].c_str(), &count) && count >= 1 && count <= kLastCarrySlot) << where;
    std::set<std::string> named;
    for (int slot = 1; slot <= count; ++slot) {
      std::string name = NamedFile(index[slot]);
      EXPECT_TRUE(named.insert(name).second) << where << ": " << name << " listed twice";
      EXPECT_TRUE(IsWholeSnapshot(files, name)) << where << ": slot " << slot << " lists " << name << ", not whole";
    }
    EXPECT_TRUE(named.count("WINDOWS/twsafe/11111111.xff")) << where << ": the installation line is gone";
    for (const auto& entry : files) {
      const std::string& name = entry.first;
      if (name.rfind("WINDOWS/twsafe/", 0) != 0 || name == kIndex) continue;
      EXPECT_TRUE(named.count(name)) << where << ": " << name << " is named by no line";
    }
    EXPECT_EQ(HostLayerOpenFileCount(), 0u) << where << ": files left open";
  }

 private:
  struct Expected {
    std::string request;
    Bytes start, end, own;  // the hive before and after a clean boot; the one to keep whole
    bool refusable;         // a clean boot clears the request without a change
  };

  static Bytes Get(const std::map<std::string, Bytes>& files, const std::string& name) {
    auto found = files.find(name);
    return found == files.end() ? "(none)" : found->second;
  }

  // As it was before the boot, or four sections: the machine's three system
  // hives and one of its user hives.
  bool IsWholeSnapshot(const std::map<std::string, Bytes>& files, const std::string& name) const {
    auto found = files.find(name);
    if (found == files.end()) return false;
    if (m_before.count(name) && m_before.at(name) == found->second) return true;
    const Bytes& bytes = found->second;
    const char* hives[] = {"WINDOWS/system32/config/system", "WINDOWS/system32/config/software",
                           "WINDOWS/system32/config/SAM"};
    size_t at = 0;
    for (int section = 0; section < 4; ++section) {
      if (at + 256 > bytes.size()) return false;
      size_t size = strtoul(bytes.c_str() + at, nullptr, 10);
      Bytes data = bytes.substr(at + 256, size);
      if (section < 3 ? data != m_before.at(hives[section]) : !m_userHives.count(data)) return false;
      at += 256 + size;
    }
    return at == bytes.size();
  }

  std::map<std::string, Bytes> m_before, m_sameDay, m_nextDay;
  std::vector<std::vector<std::string>> m_indexes;  // every index a clean boot writes whole
  std::vector<Expected> m_expected;                 // by request
  std::map<Bytes, Bytes> m_logOf;                   // the log of each hive of the start state
  std::set<Bytes> m_userHives;
};

// The crash states explored at one point: the metadata kept in full, the
// least a flush allows, and one between; the unflushed pages all kept, none,
// and three random subsets (exhaustive: every prefix and subset).
std::vector<HostCrash> CrashStates(const HostBootRecord& record, long operations, std::mt19937& random) {
  long made = record.MetadataMade(operations), forced = record.MetadataForced(operations);
  std::set<long> prefixes = {made, forced, forced + static_cast<long>(random() % (made - forced + 1))};
  if (Exhaustive()) {
    for (long j = forced; j <= made; ++j) prefixes.insert(j);
  }
  std::vector<HostPage> pages = record.UnflushedPages(operations);
  std::set<std::set<HostPage>> subsets = {{}, std::set<HostPage>(pages.begin(), pages.end())};
  size_t samples = Exhaustive() ? (pages.size() <= 10 ? (size_t{1} << pages.size()) : 1024) : 3;
  for (size_t i = 0; i < samples; ++i) {
    std::set<HostPage> subset;
    for (size_t p = 0; p < pages.size(); ++p) {
      if (Exhaustive() && pages.size() <= 10 ? (i >> p) & 1 : random() & 1) subset.insert(pages[p]);
    }
    subsets.insert(subset);
  }
  std::vector<HostCrash> crashes;
  for (long prefix : prefixes) {
    for (const std::set<HostPage>& subset : subsets) crashes.push_back({operations, prefix, subset});
  }
  return crashes;
}

HostBootRecord RecordBoot(const TestDrive& start, int day) {
  TestDrive drive;
  drive.CopyFrom(start);
  drive.Boot(2027, 1, 1);
  HostLayerStartRecording();
  BootOn(drive, day);
  return HostLayerStopRecording();
}

TEST(FaultTest, EveryCrashStateOfEveryBootRecovers) {
  long states = 0, flushes = 0;
  for (const Scenario& scenario : kScenarios) {
    TestDrive start;
    scenario.prepare(start);
    const Invariants invariants(start, scenario.name, scenario.day);
    HostBootRecord record = RecordBoot(start, scenario.day);
    if (std::string(scenario.name) == "snapshot that rotates the index") flushes = record.Flushes();
    std::mt19937 random(19);
    for (long at = 0; at <= record.Operations(); ++at) {
      for (const HostCrash& crash : CrashStates(record, at, random)) {
        ++states;
        std::string where = std::string(scenario.name) + ", cut after operation " + std::to_string(at) +
                            " keeping " + std::to_string(crash.metadata) + " metadata operations and " +
                            std::to_string(crash.pages.size()) + " pages";
        TestDrive drive;
        record.Build(crash, drive.drive());
        invariants.CheckAlways(drive, where, false);
        BootOn(drive, scenario.day);
        invariants.CheckAlways(drive, where + ", then a boot the same day", false);
        invariants.CheckRecovered(drive, where + ", then a boot the same day", false);
        BootOn(drive, scenario.day + 1);
        invariants.CheckRecovered(drive, where + ", then a boot the next day", true);
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  printf("crash states explored: %ld; flushes of a daily boot: %ld\n", states, flushes);
  RecordProperty("crash states", static_cast<int>(states));
  EXPECT_EQ(flushes, 3);
}

// A power cut on the first boot, then a fault of any kind on the next day's
// boot, then two clean boots.
TEST(FaultTest, TwoFaultsAcrossTwoBoots) {
  long runs = 0;
  for (const Scenario& scenario : kScenarios) {
    TestDrive start;
    scenario.prepare(start);
    const Invariants invariants(start, scenario.name, scenario.day);
    HostBootRecord record = RecordBoot(start, scenario.day);
    std::mt19937 random(23);
    for (long at = 0; at <= record.Operations(); ++at) {
      std::vector<HostCrash> crashes = CrashStates(record, at, random);
      TestDrive cut;
      record.Build(crashes[random() % crashes.size()], cut.drive());
      long operations = 0;
      HostBootRecord second = RecordBoot(cut, scenario.day + 1);
      {
        TestDrive counted;
        counted.CopyFrom(cut);
        HostLayerSetFault(HostFault::kNone, 0);
        BootOn(counted, scenario.day + 1);
        operations = HostLayerOperationCount();
      }
      std::vector<std::pair<HostFault, long>> faults;
      for (HostFault mode : {HostFault::kFail, HostFault::kShortRead, HostFault::kDiskFull}) {
        for (long op = 1; op <= operations; ++op) {
          if (Exhaustive() || random() % operations < 3) faults.push_back({mode, op});
        }
      }
      for (long op = 0; op <= second.Operations(); ++op) {
        if (Exhaustive() || random() % (second.Operations() + 1) < 2) faults.push_back({HostFault::kNone, op});
      }
      for (const auto& [mode, op] : faults) {
        ++runs;
        std::string where = std::string(scenario.name) + ", cut after operation " + std::to_string(at) +
                            ", then on the next day " + (mode == HostFault::kNone ? "a cut" : "a fault") +
                            " at operation " + std::to_string(op);
        TestDrive drive;
        if (mode == HostFault::kNone) {
          std::vector<HostCrash> again = CrashStates(second, op, random);
          second.Build(again[random() % again.size()], drive.drive());
        } else {
          drive.CopyFrom(cut);
          drive.Boot(2027, 1, 1);
          HostLayerSetFault(mode, op);
          BootOn(drive, scenario.day + 1);
          HostLayerSetFault(HostFault::kNone, 0);
        }
        invariants.CheckAlways(drive, where, true);
        BootOn(drive, scenario.day + 1);
        BootOn(drive, scenario.day + 2);
        invariants.CheckAlways(drive, where + ", then two clean boots", true);
        invariants.CheckClean(drive, where + ", then two clean boots");
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  printf("runs of two faults: %ld\n", runs);
  RecordProperty("runs", static_cast<int>(runs));
}

// The faults found in the field and by hand, each with the start state that
// shows it and what must hold right after the boot; the checker's
// invariants are checked after two clean boots that follow.
enum class Fault {
  kNone,
  kEachFailure,         // every operation of the boot fails in turn
  kEachPairOfFailures,  // every two operations in a row fail in turn
  kCutAtTheEnd,         // a power cut after the boot, each extreme of what it keeps
};

struct FieldFault {
  const char* name;
  int day;
  std::function<void(TestDrive&)> prepare;
  Fault fault;
  std::function<void(const TestDrive& start, const TestDrive& after, std::string where)> check;
};

void ExpectUnchanged(const TestDrive& start, const TestDrive& after, const std::string& name, const std::string& where) {
  EXPECT_EQ(after.Exists(name), start.Exists(name)) << where << ": " << name;
  EXPECT_EQ(after.Read(name), start.Read(name)) << where << ": " << name;
}

std::string Setting(const TestDrive& drive, const char* key) { return SettingValue(drive.Read(kSettings), key); }

// A slot of the pending record: it names a day (0) and a dropped snapshot (1).
std::string PendingSlot(const TestDrive& drive, int slot) {
  return SlotText(drive.Read("WINDOWS/twsafe/bkinfo.jnl"), slot);
}

void RestoreOverSaved(TestDrive& d, const Bytes& hive) {
  RestoreRequested(d);
  d.Write(kUserHive.saved, "the user's own hive");
  d.Write(kUserHive.hive, hive);
}

const Bytes kPrepared = BuildHive(3 * 4096);

const FieldFault kFieldFaults[] = {
    {"one failed open of the user hive beside an earlier restore's saved hive", 4,
     [](TestDrive& d) {
       RestoreRequested(d);
       d.Write(kUserHive.saved, "hive of an earlier restore");
     },
     Fault::kEachFailure,
     [](const TestDrive& start, const TestDrive& after, std::string where) {
       Bytes own = start.Read(kUserHive.hive);
       EXPECT_TRUE(after.Read(kUserHive.hive) == own || after.Read(kUserHive.saved) == own) << where;
     }},
    {"a listed day file cut short", 40,
     [](TestDrive& d) {
       Installed(d, 40);
       Bytes day = d.Read("WINDOWS/twsafe/20270210.xff");
       d.Write("WINDOWS/twsafe/20270210.xff", day.substr(0, day.size() - 100));
     },
     Fault::kNone,
     [](const TestDrive& start, const TestDrive& after, std::string where) {
       ExpectUnchanged(start, after, kIndex, where);
       EXPECT_EQ(after.List("WINDOWS/twsafe"), start.List("WINDOWS/twsafe")) << where;
     }},
    {"a power cut after a snapshot that rotates the index", 41, [](TestDrive& d) { Installed(d, 40); },
     Fault::kCutAtTheEnd, nullptr},
    {"a power cut after a restore", 4, RestoreRequested, Fault::kCutAtTheEnd,
     [](const TestDrive&, const TestDrive& after, std::string where) {
       if (Setting(after, "IsRepair") == "000") EXPECT_EQ(after.Read(kUserHive.hive), kPrepared) << where;
     }},
    {"a pending record that fails to open, or to settle", 22,
     [](TestDrive& d) {
       Installed(d, 21);
       d.Write("WINDOWS/twsafe/20261231.xff", "a snapshot that left the index");
       d.Write("WINDOWS/twsafe/bkinfo.jnl", Bytes(100, '\0') + "2026-12-31" + Bytes(90, '\0'));
     },
     Fault::kEachFailure,
     [](const TestDrive&, const TestDrive& after, std::string where) {
       if (PendingSlot(after, 1) == "2026-12-31") EXPECT_FALSE(after.Exists("WINDOWS/twsafe/20270123.xff")) << where;
     }},
    {"a leftover pending record of a day cut off before", 23, kScenarios[5].prepare, Fault::kEachFailure,
     [](const TestDrive&, const TestDrive& after, std::string where) {
       if (PendingSlot(after, 0) == "2027-1-23") EXPECT_FALSE(after.Exists("WINDOWS/twsafe/20270124.xff")) << where;
     }},
    {"a log beside the user hive", 4, RestoreRequestedWithLog, Fault::kNone,
     [](const TestDrive& start, const TestDrive& after, std::string where) {
       EXPECT_FALSE(after.Exists(kUserHive.log)) << where;
       EXPECT_EQ(after.Read(kUserHive.savedLog), start.Read(kUserHive.log)) << where;
     }},
    {"two failures in a row in a restore", 4, RestoreRequested, Fault::kEachPairOfFailures,
     [](const TestDrive&, const TestDrive& after, std::string where) {
       EXPECT_TRUE(after.Exists(kUserHive.hive)) << where << ": the user hive is missing";
       if (after.Read(kUserHive.hive) != kPrepared) EXPECT_EQ(Setting(after, "IsRepair"), "111") << where;
     }},
    {"a user hive cut short from the hive to restore", 4,
     [](TestDrive& d) { RestoreOverSaved(d, kPrepared.substr(0, 5000)); }, Fault::kNone,
     [](const TestDrive&, const TestDrive& after, std::string where) {
       EXPECT_EQ(after.Read(kUserHive.saved), "the user's own hive") << where;
       EXPECT_EQ(after.Read(kUserHive.hive), kPrepared) << where;
     }},
    {"a user hive cut short from the saved hive", 4,
     [](TestDrive& d) { RestoreOverSaved(d, "the user's own"); }, Fault::kNone,
     [](const TestDrive&, const TestDrive& after, std::string where) {
       EXPECT_EQ(after.Read(kUserHive.saved), "the user's own hive") << where;
     }},
    {"a user hive equal to the saved hive", 4,
     [](TestDrive& d) { RestoreOverSaved(d, "the user's own hive"); }, Fault::kNone,
     [](const TestDrive&, const TestDrive& after, std::string where) {
       EXPECT_EQ(after.Read(kUserHive.saved), "the user's own hive") << where;
       EXPECT_EQ(after.Read(kUserHive.hive), kPrepared) << where;
     }},
    {"a user hive equal to the hive to restore", 4, [](TestDrive& d) { RestoreOverSaved(d, kPrepared); },
     Fault::kNone,
     [](const TestDrive&, const TestDrive& after, std::string where) {
       EXPECT_EQ(after.Read(kUserHive.saved), "the user's own hive") << where;
       EXPECT_EQ(Setting(after, "IsRepair"), "000") << where;
     }},
    {"a hive to restore that is no sound hive", 4,
     [](TestDrive& d) {
       RestoreRequested(d);
       d.Write(kUserHive.prepared, kPrepared.substr(0, 2 * 4096));
     },
     Fault::kNone,
     [](const TestDrive& start, const TestDrive& after, std::string where) {
       ExpectUnchanged(start, after, kUserHive.hive, where);
       ExpectUnchanged(start, after, kUserHive.saved, where);
       EXPECT_EQ(Setting(after, "IsRepair"), "000") << where << ": refused";
     }},
    {"a day file with bytes after its four sections", 3,
     [](TestDrive& d) {
       Installed(d, 3);
       d.Write("WINDOWS/twsafe/20270104.xff", d.Read("WINDOWS/twsafe/20270104.xff") + "trailing");
     },
     Fault::kNone,
     [](const TestDrive& start, const TestDrive& after, std::string where) {
       Bytes day = start.Read("WINDOWS/twsafe/20270104.xff");
       EXPECT_EQ(after.Read("WINDOWS/twsafe/20270104.xff"), day.substr(0, day.size() - 8)) << where;
       ExpectUnchanged(start, after, kIndex, where);
     }},
    {"an undo whose copy fails (a folder where the copy goes)", 4,
     [](TestDrive& d) {
       kScenarios[4].prepare(d);
       d.Write(kUser + "TWHIVE.TMP/x", "");
     },
     Fault::kNone,
     [](const TestDrive& start, const TestDrive& after, std::string where) {
       ExpectUnchanged(start, after, kUserHive.hive, where);
       EXPECT_EQ(Setting(after, "IsRepair"), "000") << where;
     }},
    {"a userpath that leads out of the drive", 4,
     [](TestDrive& d) {
       RestoreRequested(d);
       d.Write("outside/user1/NTUSER.DAT", "a hive outside the drive");
       std::string drive = d.drive().substr(d.drive().rfind('/') + 1);
       d.Write(kSettings, ProfileFile(2, {"userpath=\\??\\C:\\..\\" + drive + "\\outside\\user1", "IsRepair=111"}));
     },
     Fault::kNone,
     [](const TestDrive& start, const TestDrive& after, std::string where) {
       EXPECT_EQ(after.List("outside/user1"), start.List("outside/user1")) << where;
       EXPECT_EQ(after.List("WINDOWS/twsafe"), start.List("WINDOWS/twsafe")) << where << ": a snapshot read outside";
       EXPECT_EQ(Setting(after, "IsRepair"), "111") << where;
     }},
};

TEST(FaultTest, FaultsFoundInTheField) {
  for (const FieldFault& row : kFieldFaults) {
    TestDrive start;
    row.prepare(start);
    const Invariants invariants(start, row.name, row.day);
    std::vector<std::pair<std::string, std::function<void(TestDrive&)>>> runs;
    if (row.fault == Fault::kNone) {
      runs.push_back({"", [&](TestDrive& d) {
                        d.CopyFrom(start);
                        BootOn(d, row.day);
                      }});
    }
    if (row.fault == Fault::kEachFailure || row.fault == Fault::kEachPairOfFailures) {
      TestDrive counted;
      counted.CopyFrom(start);
      HostLayerSetFault(HostFault::kNone, 0);
      BootOn(counted, row.day);
      for (long at = 1, operations = HostLayerOperationCount(); at <= operations; ++at) {
        runs.push_back({", failing at operation " + std::to_string(at), [&row, &start, at](TestDrive& d) {
                          d.CopyFrom(start);
                          d.Boot(2027, 1, 1);
                          HostLayerSetFault(HostFault::kFail, at, row.fault == Fault::kEachPairOfFailures ? 2 : 1);
                          BootOn(d, row.day);
                          HostLayerSetFault(HostFault::kNone, 0);
                        }});
      }
    }
    if (row.fault == Fault::kCutAtTheEnd) {
      auto record = std::make_shared<HostBootRecord>(RecordBoot(start, row.day));
      long end = record->Operations();
      for (long metadata : {record->MetadataForced(end), record->MetadataMade(end)}) {
        for (bool pages : {false, true}) {
          std::vector<HostPage> unflushed = pages ? record->UnflushedPages(end) : std::vector<HostPage>();
          HostCrash crash{end, metadata, std::set<HostPage>(unflushed.begin(), unflushed.end())};
          runs.push_back({", cut keeping " + std::to_string(metadata) + " metadata operations and " +
                              std::to_string(crash.pages.size()) + " pages",
                          [record, crash](TestDrive& d) { record->Build(crash, d.drive()); }});
        }
      }
    }
    for (const auto& [how, boot] : runs) {
      std::string where = row.name + how;
      TestDrive drive;
      boot(drive);
      if (row.check) row.check(start, drive, where);
      invariants.CheckAlways(drive, where, true);
      BootOn(drive, row.day);
      BootOn(drive, row.day + 1);
      invariants.CheckAlways(drive, where + ", then two clean boots", true);
      invariants.CheckClean(drive, where + ", then two clean boots");
      if (::testing::Test::HasFailure()) return;
    }
  }
}

}  // namespace
