// The installation snapshot: sections byte-identical with the boot-time program's, the index
// written only after a whole snapshot, and the first boot after installation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SnapshotSeed.h"
#include "engine.h"
#include "test_drive.h"

namespace {

const char* const kRepairHives[] = {"system", "software", "sam", "NTUSER.DAT"};
const char kSnapshot[] = "WINDOWS/twsafe/11111111.xff";
const char kIndex[] = "WINDOWS/twsafe/bkinfo.dat";

// The section the boot-time program writes for a file of these bytes.
Bytes EngineSection(const Bytes& data) {
  TestDrive drive;
  drive.Write("source", data);
  drive.Write("target", "");
  drive.Boot(2026, 12, 8);
  TwHandle target;
  EXPECT_TRUE(OpenFile(Wide("\\??\\C:\\target").c_str(), &target, kDispositionOpenExisting));
  EXPECT_TRUE(MyCopyFile(Wide("\\??\\C:\\source").c_str(), target));
  LayerCloseFile(target);
  return drive.Read("target");
}

void LayOutRepairHives(TestDrive& drive, const std::vector<size_t>& sizes) {
  for (size_t i = 0; i < sizes.size(); ++i)
    drive.Write(std::string("WINDOWS/repair/") + kRepairHives[i], Pattern(sizes[i], static_cast<char>('a' + i)));
}

bool Seed(TestDrive& drive) { return SeedSnapshotIn(drive.windows(), '/'); }

TEST(SnapshotSeed, SectionsMatchTheBootTimeProgram) {
  // Sizes around the 1024-byte chunk, and an empty hive whose header reads 0.
  const std::vector<std::vector<size_t>> cases = {
      {5000, 2048, 700, 3333}, {0, 1, 1023, 1025}, {1024, 0, 4096, 17}};
  for (const auto& sizes : cases) {
    TestDrive drive;
    drive.Install();
    LayOutRepairHives(drive, sizes);
    drive.Write(kSnapshot, Pattern(20000, 'z'));  // an earlier, longer snapshot is replaced whole
    ASSERT_TRUE(Seed(drive));
    Bytes expected;
    size_t total = 1024;
    for (size_t i = 0; i < sizes.size(); ++i) {
      expected += EngineSection(drive.Read(std::string("WINDOWS/repair/") + kRepairHives[i]));
      total += sizes[i];
    }
    Bytes snapshot = drive.Read(kSnapshot);
    EXPECT_EQ(snapshot.size(), total);
    EXPECT_TRUE(snapshot == expected) << "sizes " << sizes[0] << " " << sizes[1] << " " << sizes[2];
  }
}

TEST(SnapshotSeed, IndexTakesTheInstallationLineAndKeepsTheRest) {
  TestDrive drive;
  drive.Install();
  LayOutRepairHives(drive, {10, 20, 30, 40});
  Bytes index = TemplateIndex();
  index.replace(0, 100, ProfileFile(7, {}).substr(0, 100));
  index.replace(100, 100, ProfileFile(0, {"2020-1-1\t1\t1"}).substr(100, 100));
  drive.Write(kIndex, index);
  ASSERT_TRUE(Seed(drive));
  Bytes after = drive.Read(kIndex);
  ASSERT_EQ(after.size(), index.size());
  EXPECT_EQ(after.substr(0, 200), ProfileFile(1, {"1111-11-11\t0\t1"}));
  EXPECT_TRUE(after.substr(200) == index.substr(200)) << "slots 2 to 30 unchanged";
}

TEST(SnapshotSeed, FailuresLeaveNoPartialSnapshotAndNoIndexLine) {
  struct Case {
    const char* name;
    const char* missing;  // relative to the drive
    bool snapshotKept;
  };
  const Case cases[] = {
      {"first hive missing", "WINDOWS/repair/system", false},
      {"user hive missing", "WINDOWS/repair/NTUSER.DAT", false},
      {"index missing", kIndex, true},
  };
  for (const Case& c : cases) {
    TestDrive drive;
    drive.Install();
    LayOutRepairHives(drive, {3000, 2000, 1000, 500});
    Bytes index = drive.Read(kIndex);
    drive.Remove(c.missing);
    EXPECT_FALSE(Seed(drive)) << c.name;
    EXPECT_EQ(drive.Exists(kSnapshot), c.snapshotKept) << c.name;
    if (c.snapshotKept)
      EXPECT_EQ(drive.Read(kSnapshot).size(), 1024u + 6500u) << c.name;
    else
      EXPECT_TRUE(drive.Read(kIndex) == index) << c.name << ": index untouched";
  }
  TestDrive noStore;
  LayOutRepairHives(noStore, {1, 2, 3, 4});
  EXPECT_FALSE(Seed(noStore)) << "snapshot folder missing";
  EXPECT_FALSE(SeedSnapshotIn("", '/')) << "Windows folder unknown";
}

TEST(SnapshotSeed, FirstBootAfterInstallationMovesTheInstallationLineDown) {
  TestDrive drive;
  drive.Install();
  LayOutRepairHives(drive, {100, 200, 300, 400});
  ASSERT_TRUE(Seed(drive));
  drive.Boot(2026, 12, 8);
  RunBootPasses();
  Bytes index = drive.Read(kIndex);
  EXPECT_EQ(SlotText(index, 0), "IndexNum=2");
  EXPECT_EQ(SlotText(index, 1), "2026-12-8\t0\t1");
  EXPECT_EQ(SlotText(index, 2), "1111-11-11\t0\t1");
  EXPECT_TRUE(drive.Exists("WINDOWS/twsafe/20261208.xff"));
  EXPECT_TRUE(drive.Exists(kSnapshot));
}

}  // namespace
