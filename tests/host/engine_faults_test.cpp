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
const std::string kConfig = "WINDOWS/system32/config/";
const char kSettings[] = "WINDOWS/wispdata.dat";
const char kIndex[] = "WINDOWS/twsafe/bkinfo.dat";

// A hive request as the checker sees it: its settings key, the files it
// moves between, and the snapshot section that holds its hive. A request for
// another hive joins with a row here and its start states below.
struct HiveRequest {
  const char* key;
  std::string hive, log, saved, savedLog, prepared;
  int section;
};
const HiveRequest kRequests[] = {
    {"IsRepair", kUser + "NTUSER.DAT", kUser + "NTUSER.DAT.LOG", kUser + "BKDATA3.DAT", kUser + "BKDATA3.DAT.LOG",
     "WINDOWS/temp/TWXT04.XFF", 3},
    {"SysRepair", kConfig + "software", kConfig + "software.LOG", kConfig + "software.twb", kConfig + "software.twb.log",
     "WINDOWS/temp/TWSW04.XFF", 1},
};
const HiveRequest& kUserHive = kRequests[0];
const HiveRequest& kSoftwareHive = kRequests[1];

bool Exhaustive() { return getenv("TW_CRASH_EXHAUSTIVE") != nullptr; }

// The start options of the boots on one day: the boot menu entry chosen
// for a boot and again after a cut of it, not on the days after.
const char* g_startOptions = nullptr;
int g_startOptionsDay = 0;

// Boots the drive on day `day` after 2027-01-01.
void BootOn(TestDrive& drive, int day) {
  SetStartOptions(day == g_startOptionsDay ? g_startOptions : nullptr);
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

std::string Setting(const TestDrive& drive, const char* key) { return SettingValue(drive.Read(kSettings), key); }

// Settings with IsRepair, and SysRepair when software is given, last.
void Request(const TestDrive& drive, const char* value, bool shortLastSlot = false, const char* software = nullptr) {
  std::vector<std::string> slots = {"Backup0=2", "userpath=\\??\\C:\\Documents*and*Settings\\user1", "SignRun=111",
                                    std::string("IsRepair=") + value};
  if (software) slots.push_back(std::string("SysRepair=") + software);
  Bytes settings = ProfileFile(static_cast<int>(slots.size()), slots);
  if (shortLastSlot) settings.resize(settings.size() - 100 + slots.back().size() + 1);
  drive.Write(kSettings, settings);
}

// Start states the field produces, each booted on its `day`, and what a boot
// without faults makes of it (all the rest is derived from that outcome).
using Drive = const TestDrive&;
struct Scenario {
  const char* name;
  int day;
  std::function<void(TestDrive&)> prepare;
  std::function<void(Drive start, Drive after, const std::string& where)> check;
  const char* startOptions = nullptr;  // of the boots on `day`
};

void Installed(TestDrive& drive, int days) {
  drive.Install();
  for (int day = 1; day <= days; ++day) BootOn(drive, day);
}

const Bytes kPrepared = BuildHive(3 * 4096);
const Bytes kPreparedSoftware = BuildHive(2 * 4096);
const char kOwnHive[] = "the user's own hive";

void RestoreRequested(TestDrive& drive) {
  Installed(drive, 3);
  drive.Write(kUserHive.prepared, kPrepared);
  Request(drive, "111");
}

// A restore request over a user hive in place and the user's own hive saved.
std::function<void(TestDrive&)> RestoreOver(const Bytes& hive) {
  return [hive](TestDrive& d) {
    RestoreRequested(d);
    d.Write(kUserHive.hive, hive);
    d.Write(kUserHive.saved, kOwnHive);
  };
}

// Four days of sound hives, then the software hive damaged.
void DamagedAfterFourDays(TestDrive& drive) {
  drive.Install();
  for (int day = 1; day <= 4; ++day) {
    drive.Write(kSoftwareHive.hive, BuildHive((1 + day) * 4096));
    drive.Write(kUserHive.hive, BuildHive((5 + day) * 4096));
    BootOn(drive, day);
  }
  drive.Write(kSoftwareHive.hive, "a damaged software hive");
}

#define EXPECT_FILE(drive, name, bytes) EXPECT_EQ((drive).Read(name), bytes) << where << ": " << (name)
#define EXPECT_SAME(name) EXPECT_EQ(after.Read(name), start.Read(name)) << where << ": " << (name)

// The prepared hive in place and the flag cleared; the saved hive as expected.
auto Restored(const Bytes& saved, const HiveRequest& request = kUserHive, const Bytes& prepared = kPrepared) {
  return [saved, &request, prepared](Drive, Drive after, const std::string& where) {
    EXPECT_FILE(after, request.hive, prepared);
    EXPECT_FILE(after, request.saved, saved);
    EXPECT_EQ(Setting(after, request.key), "000") << where;
  };
}

// Nothing of the user's hives changed; the flag as given.
auto Untouched(const char* request) {
  return [request](Drive start, Drive after, const std::string& where) {
    EXPECT_SAME(kUserHive.hive);
    EXPECT_SAME(kUserHive.saved);
    EXPECT_EQ(Setting(after, "IsRepair"), request) << where;
  };
}

// The index as it was, and the same snapshot files.
void IndexKept(Drive start, Drive after, const std::string& where) {
  EXPECT_SAME(kIndex);
  EXPECT_EQ(after.List("WINDOWS/twsafe"), start.List("WINDOWS/twsafe")) << where;
}

const Scenario kScenarios[] = {
    {"first snapshot", 1, [](TestDrive& d) { d.Install(); }, nullptr},
    {"snapshot that rotates the index", 41, [](TestDrive& d) { Installed(d, 40); }, nullptr},
    {"restore of a hive with its log", 4,
     [](TestDrive& d) {
       RestoreRequested(d);
       d.Write(kUserHive.log, "log of the user's own hive");
     },
     [](Drive start, Drive after, const std::string& where) {
       Restored(start.Read(kUserHive.hive))(start, after, where);
       EXPECT_FILE(after, kUserHive.savedLog, start.Read(kUserHive.log));
       EXPECT_FALSE(after.Exists(kUserHive.log) || after.Exists(kUserHive.prepared)) << where;
     }},
    {"restore over an earlier restore", 4,
     [](TestDrive& d) {
       RestoreOver(kOwnHive)(d);
       d.Write(kUserHive.hive, "the newer hive of the user");
       d.Write(kUserHive.log, "its log");
     },
     [](Drive start, Drive after, const std::string& where) {
       Restored("the newer hive of the user")(start, after, where);
       EXPECT_FILE(after, kUserHive.savedLog, "its log");
     }},
    {"undo of a restore", 4,
     [](TestDrive& d) {
       Installed(d, 3);
       d.Write(kUserHive.saved, kOwnHive);
       d.Write(kUserHive.savedLog, "log of the user's own hive");
       d.Write(kUserHive.hive, BuildHive(2 * 4096));
       d.Write(kUserHive.log, "log of the restored hive");
       Request(d, "222");
     },
     [](Drive start, Drive after, const std::string& where) {
       EXPECT_FILE(after, kUserHive.hive, kOwnHive);
       EXPECT_FILE(after, kUserHive.log, "log of the user's own hive");
       EXPECT_SAME(kUserHive.saved);
       EXPECT_EQ(Setting(after, "IsRepair"), "000") << where;
     }},
    {"an undo whose copy fails (a folder where the copy goes)", 4,
     [](TestDrive& d) {
       Installed(d, 3);
       d.Write(kUserHive.saved, kOwnHive);
       d.Write(kUser + "TWHIVE.TMP/x", "");
       Request(d, "222");
     },
     Untouched("000")},
    {"restore of the user and the software hive at once", 4,
     [](TestDrive& d) {
       RestoreRequested(d);
       d.Write(kSoftwareHive.prepared, kPreparedSoftware);
       d.Write(kSoftwareHive.log, "log of the machine's software hive");
       Request(d, "111", false, "111");
     },
     [](Drive start, Drive after, const std::string& where) {
       Restored(start.Read(kUserHive.hive))(start, after, where);
       Restored(start.Read(kSoftwareHive.hive), kSoftwareHive, kPreparedSoftware)(start, after, where);
       EXPECT_FILE(after, kSoftwareHive.savedLog, start.Read(kSoftwareHive.log));
       EXPECT_FALSE(after.Exists(kSoftwareHive.log) || after.Exists(kSoftwareHive.prepared)) << where;
       EXPECT_NE(after.Read("WINDOWS/twsafe/20270105.xff").find(start.Read(kSoftwareHive.hive)), Bytes::npos)
           << where << ": the day's snapshot holds the software hive from before the restore";
     }},
    {"undo of a software restore beside a user request that waits", 4,
     [](TestDrive& d) {
       Installed(d, 3);
       d.Write(kSoftwareHive.saved, "the machine's own software hive");
       d.Write(kSoftwareHive.savedLog, "its log");
       d.Write(kSoftwareHive.log, "log of the restored software hive");
       Request(d, "111", false, "222");  // and no hive to restore for the user
     },
     [](Drive start, Drive after, const std::string& where) {
       EXPECT_FILE(after, kSoftwareHive.hive, "the machine's own software hive");
       EXPECT_FILE(after, kSoftwareHive.log, "its log");
       EXPECT_SAME(kSoftwareHive.saved);
       EXPECT_EQ(Setting(after, "SysRepair"), "000") << where;
       Untouched("111")(start, after, where);
     }},
    {"a pending record of a day cut off before", 23,
     [](TestDrive& d) {
       Installed(d, 21);
       d.Write("WINDOWS/twsafe/20270123.xff", d.Read("WINDOWS/twsafe/20270122.xff"));
       d.Write("WINDOWS/twsafe/bkinfo.jnl", "2027-1-23" + Bytes(91, '\0'));
     },
     [](Drive, Drive after, const std::string& where) {
       EXPECT_EQ(SlotText(after.Read(kIndex), 2), "2027-1-23\t0\t1") << where << ": the cut off day listed";
     }},
    {"a pending record of a snapshot that left the index", 22,
     [](TestDrive& d) {
       Installed(d, 21);
       d.Write("WINDOWS/twsafe/20261231.xff", "a snapshot that left the index");
       d.Write("WINDOWS/twsafe/bkinfo.jnl", Bytes(100, '\0') + "2026-12-31" + Bytes(90, '\0'));
     },
     [](Drive, Drive after, const std::string& where) {
       EXPECT_FALSE(after.Exists("WINDOWS/twsafe/20261231.xff")) << where;
     }},
    {"a listed day file cut short", 40,
     [](TestDrive& d) {
       Installed(d, 40);
       Bytes day = d.Read("WINDOWS/twsafe/20270210.xff");
       d.Write("WINDOWS/twsafe/20270210.xff", day.substr(0, day.size() - 100));
     },
     IndexKept},
    {"a day file with bytes after its four sections", 3,
     [](TestDrive& d) {
       Installed(d, 3);
       d.Write("WINDOWS/twsafe/20270104.xff", d.Read("WINDOWS/twsafe/20270104.xff") + "trailing");
     },
     [](Drive start, Drive after, const std::string& where) {
       IndexKept(start, after, where);
       Bytes day = start.Read("WINDOWS/twsafe/20270104.xff");
       EXPECT_FILE(after, "WINDOWS/twsafe/20270104.xff", day.substr(0, day.size() - 8));
     }},
    {"an index that cannot record", 15,
     [](TestDrive& d) {
       Installed(d, 14);
       Bytes index = d.Read(kIndex);
       d.Write(kIndex, index.replace(1600, 100, Bytes(100, '\0')));
     },
     IndexKept},
    {"settings whose last slot is short", 4,
     [](TestDrive& d) {
       RestoreRequested(d);
       Request(d, "111", true);
     },
     [](Drive start, Drive after, const std::string& where) { Restored(start.Read(kUserHive.hive))(start, after, where); }},
    {"a hive to restore that is no sound hive", 4,
     [](TestDrive& d) {
       RestoreOver("the newer hive of the user")(d);
       d.Write(kUserHive.prepared, kPrepared.substr(0, 2 * 4096));
     },
     Untouched("000")},
    {"a user hive cut short from the hive to restore", 4, RestoreOver(kPrepared.substr(0, 5000)), Restored(kOwnHive)},
    {"a user hive cut short from the saved hive", 4, RestoreOver("the user's own"), Restored(kOwnHive)},
    {"a user hive equal to the saved hive", 4, RestoreOver(kOwnHive), Restored(kOwnHive)},
    {"a user hive equal to the hive to restore", 4, RestoreOver(kPrepared), Restored(kOwnHive)},
    {"a restore at boot", 5, DamagedAfterFourDays,
     [](Drive start, Drive after, const std::string& where) {
       EXPECT_FILE(after, kSoftwareHive.hive, BuildHive(5 * 4096));
       EXPECT_FILE(after, kSoftwareHive.saved, "a damaged software hive");
       EXPECT_FILE(after, kUserHive.hive, BuildHive(9 * 4096));
       EXPECT_EQ(Setting(after, "SignRun"), "111") << where;
     },
     "FASTDETECT TWRESTORE"},
    {"a userpath that leads out of the drive", 4,
     [](TestDrive& d) {
       RestoreRequested(d);
       d.Write("outside/user1/NTUSER.DAT", "a hive outside the drive");
       std::string drive = d.drive().substr(d.drive().rfind('/') + 1);
       d.Write(kSettings, ProfileFile(2, {"userpath=\\??\\C:\\..\\" + drive + "\\outside\\user1", "IsRepair=111"}));
     },
     [](Drive start, Drive after, const std::string& where) {
       EXPECT_EQ(after.List("outside/user1"), start.List("outside/user1")) << where;
       EXPECT_EQ(after.List("WINDOWS/twsafe"), start.List("WINDOWS/twsafe")) << where << ": a snapshot read outside";
       EXPECT_EQ(Setting(after, "IsRepair"), "111") << where;
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

// The files in which two drives differ.
std::string Difference(const std::map<std::string, Bytes>& actual, const std::map<std::string, Bytes>& expected) {
  std::set<std::string> names;
  for (const auto* drive : {&actual, &expected}) {
    for (const auto& entry : *drive) names.insert(entry.first);
  }
  std::string different;
  for (const std::string& name : names) {
    if (!actual.count(name) || !expected.count(name) || actual.at(name) != expected.at(name)) different += name + " ";
  }
  return different;
}

class Invariants {
 public:
  Invariants(const TestDrive& start, const Scenario& scenario) : m_before(start.Files()) {
    TestDrive drive;
    drive.CopyFrom(start);
    drive.Boot(2027, 1, 1);
    FinishPendingSnapshots();
    m_indexes = {IndexLines(m_before), IndexLines(drive.Files())};
    BootOn(drive, scenario.day);
    if (scenario.check) scenario.check(start, drive, std::string(scenario.name) + ", a boot without faults");
    m_sameDay = drive.Files();
    m_indexes.push_back(IndexLines(m_sameDay));
    BootOn(drive, scenario.day + 1);
    m_nextDay = drive.Files();
    // No request ever replaces the system hive or the accounts hive.
    m_sectionHives[0] = {m_before.at(kConfig + "system")};
    m_sectionHives[2] = {m_before.at(kConfig + "SAM")};
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
        m_sectionHives[request.section].insert(hive);
      }
    }
    CheckClean(drive, std::string(scenario.name) + ", the boots without faults");
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
    // Until a pending record is settled no newer snapshot is taken.
    auto record = files.find("WINDOWS/twsafe/bkinfo.jnl");
    std::string pending = record == files.end() ? "" : NamedFile(SlotText(record->second, 0) + "\t0\t1");
    for (const auto& entry : files) {
      const std::string& name = entry.first;
      bool snapshot = name.size() > 4 && name.compare(name.size() - 4, 4, ".xff") == 0;
      EXPECT_FALSE(!pending.empty() && snapshot && name > pending) << where << ": " << name << " beside a pending record";
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
      // A restore at boot also asks for the fix-ups and records itself.
      for (const char* key : {"SignRun=", "BootRestoreDay=", "BootRestoreFrom="}) request = request || text.rfind(key, 0) == 0;
      bool countOfAppended = slot == 0 && settings.size() > before.size();
      if (!request && !countOfAppended) EXPECT_EQ(text, SlotText(before, slot)) << where << ": settings slot " << slot;
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

  // As it was before the boot, or four sections: the machine's system and
  // accounts hives, and one of its software hives and of its user hives.
  bool IsWholeSnapshot(const std::map<std::string, Bytes>& files, const std::string& name) const {
    auto found = files.find(name);
    if (found == files.end()) return false;
    if (m_before.count(name) && m_before.at(name) == found->second) return true;
    const Bytes& bytes = found->second;
    size_t at = 0;
    for (int section = 0; section < 4; ++section) {
      if (at + 256 > bytes.size()) return false;
      size_t size = strtoul(bytes.c_str() + at, nullptr, 10);
      Bytes data = bytes.substr(at + 256, size);
      if (!m_sectionHives[section].count(data)) return false;
      at += 256 + size;
    }
    return at == bytes.size();
  }

  std::map<std::string, Bytes> m_before, m_sameDay, m_nextDay;
  std::vector<std::vector<std::string>> m_indexes;  // every index a clean boot writes whole
  std::vector<Expected> m_expected;                 // by request
  std::map<Bytes, Bytes> m_logOf;                   // the log of each hive of the start state
  std::set<Bytes> m_sectionHives[4];  // what each section of a whole snapshot may hold
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

// Lays out the scenario's start state; its start options hold from then on.
void Prepare(const Scenario& scenario, TestDrive& start) {
  g_startOptions = nullptr;
  scenario.prepare(start);
  g_startOptions = scenario.startOptions;
  g_startOptionsDay = scenario.day;
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
    Prepare(scenario, start);
    const Invariants invariants(start, scenario);
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
  g_startOptions = nullptr;
  SetStartOptions(nullptr);
  printf("crash states explored: %ld; flushes of a daily boot: %ld\n", states, flushes);
  RecordProperty("crash states", static_cast<int>(states));
  // A flush costs a disk round trip at boot: the new index, the pending
  // record and the day's file are all that need one.
  EXPECT_EQ(flushes, 3);
}

// A power cut on the first boot, then a fault of any kind on the next day's
// boot, then two clean boots.
TEST(FaultTest, TwoFaultsAcrossTwoBoots) {
  long runs = 0;
  for (const Scenario& scenario : kScenarios) {
    TestDrive start;
    Prepare(scenario, start);
    const Invariants invariants(start, scenario);
    HostBootRecord record = RecordBoot(start, scenario.day);
    std::mt19937 random(23);
    for (long at = 0; at <= record.Operations(); ++at) {
      std::vector<HostCrash> crashes = CrashStates(record, at, random);
      TestDrive cut;
      record.Build(crashes[random() % crashes.size()], cut.drive());
      HostBootRecord second = RecordBoot(cut, scenario.day + 1);
      TestDrive counted;
      counted.CopyFrom(cut);
      HostLayerSetFault(HostFault::kNone, 0);
      BootOn(counted, scenario.day + 1);
      const long operations = HostLayerOperationCount();
      // The start state itself meets a failure, and two in a row, at every
      // operation; each state a cut leaves meets one fault and one cut.
      struct SecondFault {
        HostFault mode;  // kNone: a power cut
        long at, count;
      };
      std::vector<SecondFault> faults;
      const HostFault kModes[] = {HostFault::kFail, HostFault::kShortRead, HostFault::kDiskFull};
      for (long op = 1; op <= operations; ++op) {
        for (HostFault mode : kModes) {
          if (Exhaustive() || (at == 0 && mode == HostFault::kFail)) faults.push_back({mode, op, 1});
        }
        if (Exhaustive() || at == 0) faults.push_back({HostFault::kFail, op, 2});
      }
      for (long op = 0; Exhaustive() && op <= second.Operations(); ++op) faults.push_back({HostFault::kNone, op, 0});
      if (!Exhaustive()) {
        faults.push_back({kModes[random() % 3], 1 + static_cast<long>(random() % operations), 1});
        faults.push_back({HostFault::kNone, static_cast<long>(random() % (second.Operations() + 1)), 0});
      }
      for (const auto& [mode, op, count] : faults) {
        ++runs;
        std::string where = std::string(scenario.name) + ", cut after operation " + std::to_string(at) +
                            ", then on the next day " + (mode == HostFault::kNone ? "a cut" : "a fault") +
                            " at operation " + std::to_string(op) + (count == 2 ? " and the next" : "");
        TestDrive drive;
        if (mode == HostFault::kNone) {
          std::vector<HostCrash> again = CrashStates(second, op, random);
          second.Build(again[random() % again.size()], drive.drive());
        } else {
          drive.CopyFrom(cut);
          drive.Boot(2027, 1, 1);
          HostLayerSetFault(mode, op, count);
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
  g_startOptions = nullptr;
  SetStartOptions(nullptr);
  printf("runs of two faults: %ld\n", runs);
  RecordProperty("runs", static_cast<int>(runs));
}

}  // namespace
