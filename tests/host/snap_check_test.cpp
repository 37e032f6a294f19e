// The snapshot checks of twsnap: one table of damaged copies, each failing
// for its own reason, and the copies that must pass.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <functional>

#include "hive_builder.h"
#include "snapshot_check.h"
#include "snapshot_index.h"

namespace {

void PutWord(std::string* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<char>(value >> (8 * i));
}

struct Sections {
  std::string system = BuildHive(3 * 4096);
  std::string software = BuildHive(9 * 4096, 8192);  // bins of two sizes
  std::string sam = BuildHive(2 * 4096);
  std::string user = BuildHive(4 * 4096);
  std::string Snapshot() const { return BuildSnapshot(system, software, sam, user); }
};

SnapshotReport CheckBytes(const std::string& bytes) {
  char path[] = "/tmp/snapcheckXXXXXX";
  int fd = mkstemp(path);
  EXPECT_EQ(static_cast<ssize_t>(bytes.size()), write(fd, bytes.data(), bytes.size()));
  close(fd);
  SnapFile file;
  SnapshotReport report;
  EXPECT_TRUE(file.OpenForReading(SnapPath::OnHost(path)));
  EXPECT_TRUE(CheckSnapshot(&file, &report));
  unlink(path);
  return report;
}

// The fault found first, as "section: fault", or "ok".
std::string Verdict(const SnapshotReport& report) {
  if (report.fileFault != HiveFault::kNone) {
    return std::string(kSectionNames[report.faultSection]) + ": " + DescribeFault(report.fileFault);
  }
  for (int index = 0; index < kSnapshotSections; ++index) {
    if (report.sections[index].fault != HiveFault::kNone) {
      return std::string(kSectionNames[index]) + ": " + DescribeFault(report.sections[index].fault);
    }
  }
  return "ok";
}

using SectionDamage = std::function<void(Sections*)>;
using FileDamage = std::function<void(const Sections&, std::string*)>;

struct DamageCase {
  const char* what;
  SectionDamage sectionDamage;  // on the hives before they are assembled
  FileDamage fileDamage;        // on the assembled file
  const char* expected;
};

// The offset of section index's header in the file.
size_t HeaderOffset(const Sections& s, int index) {
  const std::string* hives[] = {&s.system, &s.software, &s.sam, &s.user};
  size_t offset = 0;
  for (int i = 0; i < index; ++i) offset += kSectionHeaderSize + hives[i]->size();
  return offset;
}

constexpr size_t kFirstBin = 4096;  // of each hive
constexpr size_t kRootCell = kFirstBin + 32;
constexpr size_t kFreeCellAfterRoot = kRootCell + 88;

TEST(SnapCheck, EachDamageFailsForItsReason) {
  const DamageCase cases[] = {
      {"sound", nullptr, nullptr, "ok"},
      {"empty user section is legal", [](Sections* s) { s->user.clear(); }, nullptr, "ok"},
      {"truncated inside the last header", nullptr,
       [](const Sections& s, std::string* f) { f->resize(HeaderOffset(s, 3) + 100); },
       "user: file truncated inside a section header"},
      {"truncated inside the last hive", nullptr, [](const Sections&, std::string* f) { f->resize(f->size() - 4096); },
       "user: section size overruns the file"},
      {"section size overruns", nullptr,
       [](const Sections& s, std::string* f) { f->replace(HeaderOffset(s, 2), 6, "999999"); },
       "sam: section size overruns the file"},
      {"non-digit header", nullptr, [](const Sections&, std::string* f) { (*f)[1] = 'x'; },
       "system: section header is not a decimal size"},
      {"sign before the digits", nullptr, [](const Sections&, std::string* f) { f->replace(0, 6, "+12288"); },
       "system: section header is not a decimal size"},
      {"junk after the digits", nullptr, [](const Sections&, std::string* f) { (*f)[200] = '1'; },
       "system: section header is not a decimal size"},
      {"bytes after the fourth section", nullptr, [](const Sections&, std::string* f) { *f += "x"; },
       "user: bytes after the fourth section"},
      {"no regf", [](Sections* s) { s->sam[0] = 'R'; }, nullptr, "sam: no regf signature"},
      {"bad checksum", [](Sections* s) { s->software[100] ^= 1; }, nullptr, "software: bad header checksum"},
      {"data size not whole bins", [](Sections* s) { PutWord(&s->system, 40, 4096 + 8); FixHiveChecksum(&s->system); },
       nullptr, "system: bad hive data size"},
      {"data size beyond the section",
       [](Sections* s) { PutWord(&s->system, 40, 3 * 4096); FixHiveChecksum(&s->system); }, nullptr,
       "system: bad hive data size"},
      {"bin signature gone", [](Sections* s) { s->user[kFirstBin + 2 * 4096] = 'X'; }, nullptr,
       "user: broken hive-bin chain"},
      {"bin at a wrong offset", [](Sections* s) { PutWord(&s->user, kFirstBin + 4096 + 4, 0); }, nullptr,
       "user: broken hive-bin chain"},
      {"bin size past the data", [](Sections* s) { PutWord(&s->software, kFirstBin + 8, 10 * 4096); }, nullptr,
       "software: broken hive-bin chain"},
      {"bin size not whole blocks", [](Sections* s) { PutWord(&s->software, kFirstBin + 8, 4096 + 512); }, nullptr,
       "software: broken hive-bin chain"},
      {"cell sizes overrun the bin", [](Sections* s) { PutWord(&s->sam, kFreeCellAfterRoot, 4096); }, nullptr,
       "sam: cell sizes do not add up in a bin"},
      {"cell size not a multiple of 8", [](Sections* s) { PutWord(&s->sam, kFreeCellAfterRoot, 4096 - 32 - 88 - 4); },
       nullptr, "sam: cell sizes do not add up in a bin"},
      {"root key cell freed", [](Sections* s) { PutWord(&s->sam, kRootCell, 88); }, nullptr, "sam: no root key cell"},
  };
  for (const DamageCase& test : cases) {
    Sections sections;
    if (test.sectionDamage) test.sectionDamage(&sections);
    std::string file = sections.Snapshot();
    if (test.fileDamage) test.fileDamage(sections, &file);
    EXPECT_EQ(test.expected, Verdict(CheckBytes(file))) << test.what;
  }
}

TEST(SnapCheck, DirtyHiveIsReportedAndPasses) {
  Sections sections;
  sections.software = BuildHive(9 * 4096, 4096, true);
  SnapshotReport report = CheckBytes(sections.Snapshot());
  EXPECT_FALSE(report.Damaged());
  EXPECT_TRUE(report.Dirty());
  EXPECT_TRUE(report.sections[1].dirty);
  EXPECT_FALSE(report.sections[0].dirty);
}

TEST(SnapCheck, SectionHeaderSizesAddUpInSixtyFourBits) {
  // 2^64 + 10 would wrap to 10 in 64 bits: it is refused outright.
  std::string header = "18446744073709551626";
  header.resize(kSectionHeaderSize, '\0');
  uint64_t length = 0;
  EXPECT_EQ(HiveFault::kHeaderNotDecimal, ParseSectionHeader(reinterpret_cast<const uint8_t*>(header.data()), &length));
  std::string huge = "2147483647";  // the largest a header may state
  huge.resize(kSectionHeaderSize, '\0');
  Sections sections;
  std::string file = sections.Snapshot();
  file.replace(0, kSectionHeaderSize, huge);
  EXPECT_EQ("system: section size overruns the file", Verdict(CheckBytes(file)));
}

TEST(SnapIndex, DatesSpelledDifferentlyNameOneFile) {
  const struct {
    const char* date;
    const char* file;
  } rows[] = {
      {"2026-3-5", "20260305.xff"}, {"2026-03-05", "20260305.xff"}, {"02026-3-05", "20260305.xff"},
      {"1111-11-11", "11111111.xff"}, {"2026-3", ""}, {"x", ""}, {"2026--3-5", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(row.file, SnapshotFileName(row.date)) << row.date;
}

}  // namespace
