// The snapshot library's checks: one table of damaged copies, each failing
// for its own reason, and one of sound layouts that must pass.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "hive_builder.h"
#include "restore_files.h"
#include "snapshot_check.h"
#include "snapshot_index.h"

namespace {

constexpr uint32_t kRegSz = 1, kRegBinary = 3, kRegDword = 4;
constexpr SnapshotHive kSystem = SnapshotHive::kSystem, kSoftware = SnapshotHive::kSoftware, kSam = SnapshotHive::kSam,
                       kUser = SnapshotHive::kUser;
constexpr size_t kFirstBin = 4096;  // of each hive
constexpr size_t kRootCell = kFirstBin + 32;
constexpr size_t kFreeCellAfterRoot = kRootCell + 88;
constexpr size_t kDataSizeField = 40;
constexpr size_t kChecksumField = 508;
constexpr size_t kSpareWord = 112;  // reserved, after the file name

void PutWord(std::string* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<char>(value >> (8 * i));
}

uint32_t Word(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
  return value;
}

// Where the content of the cell at offset (from the first bin) lies in its hive.
size_t Content(uint32_t offset) { return kFirstBin + offset + 4; }

void FreeCell(std::string* hive, uint32_t offset) {
  PutWord(hive, kFirstBin + offset, -Word(*hive, kFirstBin + offset));
}

// A hive with a cell of every kind: subkey lists "lf", "lh", "li", and an
// index root over "li" leaves that ends in an empty one; values in the value
// cell, in a data cell and as big data; class names; a ring of security
// cells; a key that names empty lists.
HiveSpec EveryKindOfCell() {
  HiveSpec spec;
  spec.binSize = 8192;
  spec.fileName = "\\SystemRoot\\System32\\Config\\SOFTWARE";
  spec.root = KeySpec("ROOT");
  spec.root.className = "Tarwen";
  KeySpec values("Values"), byLf("ByLf"), byLh("ByLh"), byLi("ByLi"), byRi("ByRi"), empty("Empty");
  values.className = "Class";
  values.values = {{"Small", kRegDword, std::string("\x01\0\0\0", 4)},
                   {"Text", kRegSz, std::string("o\0k\0\0\0", 6)},
                   {"Large", kRegBinary, std::string(40000, 'x')},
                   {"", kRegSz, ""}};
  byLf.subkeys = byLh.subkeys = byLi.subkeys = {KeySpec("a"), KeySpec("b")};
  byRi.subkeys = {KeySpec("a"), KeySpec("b"), KeySpec("c")};
  byLf.list = KeyList::kLf;
  byLi.list = byRi.leaves = KeyList::kLi;
  byRi.list = KeyList::kRi;
  byRi.emptyLists = empty.emptyLists = true;
  spec.root.subkeys = {values, byLf, byLh, byLi, byRi, empty};
  return spec;
}

std::string EveryKindOfCellBut(void (*change)(HiveSpec*)) {
  HiveSpec spec = EveryKindOfCell();
  change(&spec);
  return BuildHive(spec);
}

// levels keys, each the only subkey of the one before, below the root.
HiveSpec Nested(int levels) {
  HiveSpec spec;
  KeySpec key("k");
  for (int level = levels; level > 0; --level) {
    KeySpec parent(level == 1 ? "ROOT" : "k");
    parent.subkeys.push_back(std::move(key));
    key = std::move(parent);
  }
  spec.root = std::move(key);
  return spec;
}

std::string HiveNamed(const std::string& fileName) {
  HiveSpec spec;
  spec.root = KeySpec("ROOT");
  spec.fileName = fileName;
  return BuildHive(spec);
}

// A hive whose base block words before the checksum XOR to sum.
std::string HeaderWordsXoringTo(uint32_t sum) {
  std::string hive = BuildHive(2 * 4096);
  PutWord(&hive, kSpareWord, 0);
  PutWord(&hive, kSpareWord, HeaderWordsXor(hive) ^ sum);
  FixHiveChecksum(&hive);
  return hive;
}

struct Sections {
  HiveCells cells;  // of the software hive
  std::string system = BuildHive(3 * 4096);
  std::string software = BuildHive(EveryKindOfCell(), &cells);
  std::string sam = BuildHive(2 * 4096);
  std::string user = BuildHive(4 * 4096);
  std::string Snapshot() const { return BuildSnapshot(system, software, sam, user); }
};

std::string WriteTemporary(const std::string& bytes) {
  char path[] = "/tmp/snapcheckXXXXXX";
  int fd = mkstemp(path);
  EXPECT_EQ(static_cast<ssize_t>(bytes.size()), write(fd, bytes.data(), bytes.size()));
  close(fd);
  return path;
}

// Whether hivexml, a reader we did not write, reads the hive whole.
bool HivexmlReads(const std::string& hive) {
  std::string path = WriteTemporary(hive);
  int status = system(("hivexml " + path + " >/dev/null 2>&1").c_str());
  unlink(path.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The whole check; and the check of each section alone, as a restore runs it, must judge that
// section as the whole check does (bytes after the last section concern no section).
SnapshotReport CheckBytes(const std::string& bytes) {
  std::string path = WriteTemporary(bytes);
  SnapFile file;
  SnapshotReport report;
  EXPECT_TRUE(file.OpenForReading(SnapPath::OnHost(path)));
  EXPECT_TRUE(CheckSnapshot(&file, &report));
  for (int index = 0; index < kSnapshotSections && report.fileFault != HiveFault::kTrailingBytes; ++index) {
    SnapshotReport alone;
    EXPECT_TRUE(CheckSection(&file, index, &alone));
    EXPECT_EQ(JudgeSection(report, index), JudgeSection(alone, index)) << kSectionNames[index];
  }
  unlink(path.c_str());
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
      {"bin size past the data",
       [](Sections* s) { PutWord(&s->software, kFirstBin + 8, Word(s->software, kDataSizeField) + 4096); }, nullptr,
       "software: broken hive-bin chain"},
      {"a later bin past the data, under its total size",
       [](Sections* s) {
         size_t second = kFirstBin + Word(s->software, kFirstBin + 8);
         PutWord(&s->software, second + 8, Word(s->software, kDataSizeField) - (second - kFirstBin) + 4096);
       },
       nullptr, "software: broken hive-bin chain"},
      {"bin size not whole blocks", [](Sections* s) { PutWord(&s->software, kFirstBin + 8, 4096 + 512); }, nullptr,
       "software: broken hive-bin chain"},
      {"cell sizes overrun the bin", [](Sections* s) { PutWord(&s->sam, kFreeCellAfterRoot, 4096); }, nullptr,
       "sam: cell sizes do not add up in a bin"},
      {"cell size not a multiple of 8", [](Sections* s) { PutWord(&s->sam, kFreeCellAfterRoot, 4096 - 32 - 88 - 4); },
       nullptr, "sam: cell sizes do not add up in a bin"},
      {"root key cell freed", [](Sections* s) { PutWord(&s->sam, kRootCell, 88); }, nullptr, "sam: no root key cell"},
      {"checksum 0 for header words that XOR to 0",
       [](Sections* s) {
         s->user = HeaderWordsXoringTo(0);
         PutWord(&s->user, kChecksumField, 0);
       },
       nullptr, "user: bad header checksum"},
      {"key cell signature", [](Sections* s) { s->software[Content(s->cells.key)] = 'x'; }, nullptr,
       "software: damaged key cell"},
      {"lf list signature", [](Sections* s) { s->software[Content(s->cells.lf) + 1] = 'x'; }, nullptr,
       "software: damaged subkey list"},
      {"lh list counting a key more than its key does", [](Sections* s) { s->software[Content(s->cells.lh) + 2] = 1; },
       nullptr, "software: damaged subkey list"},
      {"li entry into the middle of a key cell",
       [](Sections* s) { PutWord(&s->software, Content(s->cells.li) + 4, s->cells.key + 8); }, nullptr,
       "software: damaged key cell"},
      {"index root leaf that is a key cell",
       [](Sections* s) { PutWord(&s->software, Content(s->cells.ri) + 4, s->cells.key); }, nullptr,
       "software: damaged subkey list"},
      {"value list cell freed", [](Sections* s) { FreeCell(&s->software, s->cells.valueList); }, nullptr,
       "software: damaged value list"},
      {"value cell signature", [](Sections* s) { s->software[Content(s->cells.value) + 1] = 'x'; }, nullptr,
       "software: damaged value cell"},
      {"value data cell freed", [](Sections* s) { FreeCell(&s->software, s->cells.data); }, nullptr,
       "software: damaged value data"},
      {"big data segment outside the hive data",
       [](Sections* s) { PutWord(&s->software, Content(s->cells.segmentList), 0x7FFFF000); }, nullptr,
       "software: damaged value data"},
      {"security cell ring leading to a key cell",
       [](Sections* s) { PutWord(&s->software, Content(s->cells.security) + 4, s->cells.key); }, nullptr,
       "software: damaged security cell"},
      {"class name cell freed", [](Sections* s) { FreeCell(&s->software, s->cells.className); }, nullptr,
       "software: damaged class name"},
      {"one key listed twice",
       [](Sections* s) {
         PutWord(&s->software, Content(s->cells.lh) + 12, Word(s->software, Content(s->cells.lh) + 4));
       },
       nullptr, "software: a cell reached twice in the key tree"},
      {"keys nested 513 levels deep", [](Sections* s) { s->sam = BuildHive(Nested(513)); }, nullptr,
       "sam: keys nested deeper than 512 levels"},
      {"system and software sections swapped", [](Sections* s) { std::swap(s->system, s->software); }, nullptr,
       "system: holds another hive (its header names another file)"},
  };
  for (const DamageCase& test : cases) {
    Sections sections;
    if (test.sectionDamage) test.sectionDamage(&sections);
    std::string file = sections.Snapshot();
    if (test.fileDamage) test.fileDamage(sections, &file);
    EXPECT_EQ(test.expected, Verdict(CheckBytes(file))) << test.what;
  }
}

TEST(SnapCheck, SoundLayoutsPass) {
  const struct {
    const char* what;
    std::function<std::string()> hive;
    SnapshotHive section;
    bool hivexmlReads;  // false where hivex departs from Windows' checksum rule
  } cases[] = {
      {"a cell of every kind", [] { return BuildHive(EveryKindOfCell()); }, kSoftware, true},
      {"format 1.3: 40000 bytes of data in one cell",
       [] { return EveryKindOfCellBut([](HiveSpec* spec) { spec->minorVersion = 3; }); }, kSoftware, true},
      {"16344 bytes in one cell, 16345 as big data",
       [] {
         return EveryKindOfCellBut([](HiveSpec* spec) {
           spec->root.values = {{"Cell", kRegBinary, std::string(16344, 'c')},
                                {"Big", kRegBinary, std::string(16345, 'b')}};
         });
       },
       kSoftware, true},
      {"keys nested 512 levels deep", [] { return BuildHive(Nested(512)); }, kSam, true},
      {"header words that XOR to 0, checksum 1", [] { return HeaderWordsXoringTo(0); }, kUser, false},
      {"header words that XOR to 0xFFFFFFFF, checksum 0xFFFFFFFE", [] { return HeaderWordsXoringTo(0xFFFFFFFFu); },
       kUser, false},
      {"a file name the checks do not know", [] { return HiveNamed("\\SystemRoot\\System32\\Config\\system.sav"); },
       kSystem, true},
      {"a user hive named as the default user's", [] { return HiveNamed("\\SystemRoot\\System32\\Config\\DEFAULT"); },
       kUser, true},
  };
  for (const auto& test : cases) {
    Sections sections;
    std::string* hives[] = {&sections.system, &sections.software, &sections.sam, &sections.user};
    *hives[static_cast<int>(test.section)] = test.hive();
    EXPECT_EQ("ok", Verdict(CheckBytes(sections.Snapshot()))) << test.what;
    EXPECT_EQ(test.hivexmlReads, HivexmlReads(test.hive())) << test.what;
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
