// The settings reader and writer over real files: byte-exact slots.
#include <gtest/gtest.h>

#include "engine.h"
#include "host_layer.h"
#include "test_drive.h"

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { drive.Boot(2026, 12, 8); }

  // Runs fn on the settings file opened as the boot-time program opens it.
  template <typename Fn>
  void WithSettings(const Bytes& content, Fn fn) {
    drive.Write("WINDOWS/wispdata.dat", content);
    TwHandle file;
    ASSERT_TRUE(OpenFile(u"\\SystemRoot\\WISPDATA.DAT", &file, kDispositionOpenExisting));
    fn(file);
    LayerCloseFile(file);
  }
  Bytes Settings() { return drive.Read("WINDOWS/wispdata.dat"); }

  TestDrive drive;
};

TEST_F(ProfileTest, ReaderFollowsTheSlotRules) {
  struct Row {
    Bytes file;
    const char* key;
    const char* expected;  // null: not found
  } rows[] = {
      {ProfileFile(3, {"a=1", "IsRepair=111", "IsRepair=222"}), "IsRepair", "111"},  // first match wins
      {ProfileFile(2, {"isrepair=111", "IsRepairX=1"}), "IsRepair", nullptr},       // case, longer key
      {ProfileFile(2, {"IsRepair=", "IsRepair=000"}), "IsRepair", "000"},           // empty value skipped
      {ProfileFile(1, {"userpath=  \\??\\C:\\a*b c"}), "userpath", "\\??\\C:\\a*b"}, // up to white space
      {ProfileFile(0, {"IsRepair=111"}), "IsRepair", nullptr},                      // count 0
      {ProfileFile(501, {"IsRepair=111"}), "IsRepair", nullptr},                    // count too large
      {ProfileFile(-1, {"IsRepair=111"}), "IsRepair", nullptr},
      {ProfileFile(1, {"a=1", "IsRepair=111"}), "IsRepair", nullptr},               // beyond the count
      {ProfileFile(9, {"a=1", "IsRepair=111"}), "IsRepair", "111"},                 // count beyond the file
      {Bytes("IndexNum= +2\0", 13) + Bytes(87, '\0') + ProfileFile(0, {"k=v"}).substr(100), "k", "v"},
      {Bytes("Indexnum=1") + Bytes(90, '\0') + Bytes("k=v"), "k", nullptr},           // header does not scan
      {Bytes(100, 'x') + Bytes("k=v"), "k", nullptr},
      // A last slot cut short after its text's NUL is a slot like any other.
      {ProfileFile(2, {"a=1"}) + Bytes("IsRepair=111\0", 13), "IsRepair", "111"},
      {ProfileFile(2, {"a=1"}) + Bytes("IsRepair=111", 12), "IsRepair", nullptr},
  };
  for (const Row& row : rows) {
    WithSettings(row.file, [&](TwHandle file) {
      char value[kValueBufferSize] = "untouched";
      bool found = ReadIniFile(file, row.key, value, sizeof value);
      EXPECT_EQ(found, row.expected != nullptr) << row.key << " in " << SlotText(row.file, 1);
      EXPECT_STREQ(value, row.expected ? row.expected : "untouched");
    });
  }
}

TEST_F(ProfileTest, ReaderNeverOverrunsTheCallersBuffer) {
  std::string longValue(90, 'v');
  WithSettings(ProfileFile(1, {"k=" + longValue}), [&](TwHandle file) {
    char small[30] = "untouched";
    EXPECT_FALSE(ReadIniFile(file, "k", small, sizeof small));
    EXPECT_STREQ(small, "untouched");
    char value[kValueBufferSize];
    EXPECT_TRUE(ReadIniFile(file, "k", value, sizeof value));
    EXPECT_EQ(value, longValue);
  });
}

// A read that delivers part of a slot without its NUL must not yield the
// beginning of a longer value.
TEST_F(ProfileTest, AShortReadNeverYieldsPartOfAValue) {
  std::string path = "\\??\\C:\\" + std::string(70, 'p');
  for (long at = 1; at <= 3; ++at) {
    WithSettings(ProfileFile(2, {"a=1", "userpath=" + path}), [&](TwHandle file) {
      HostLayerSetFault(HostFault::kShortRead, at);
      char value[kValueBufferSize] = "untouched";
      bool found = ReadIniFile(file, "userpath", value, sizeof value);
      HostLayerSetFault(HostFault::kNone, 0);
      EXPECT_TRUE(found ? value == path : std::string(value) == "untouched") << "short read " << at;
    });
  }
}

TEST_F(ProfileTest, RewritingAKeyChangesOnlyItsSlot) {
  Bytes before = ProfileFile(3, {"Backup0=2", "IsRepair=111", "SignRun=111"});
  before[250] = 'z';  // bytes after a slot's NUL carry no meaning but must stay
  WithSettings(before, [&](TwHandle file) { EXPECT_TRUE(WriteIniFile(file, "IsRepair", "000")); });
  Bytes expected = before;
  expected.replace(200, 100, ProfileFile(1, {"IsRepair=000"}).substr(100));
  EXPECT_EQ(Settings(), expected);
}

TEST_F(ProfileTest, AppendingRaisesTheCountAndWritesOneSlot) {
  Bytes before = ProfileFile(3, {"a=1", "b=2", "c=3", "old=4", "keep=5"});
  WithSettings(before, [&](TwHandle file) { EXPECT_TRUE(WriteIniFile(file, "userpath", "\\??\\C:\\x")); });
  Bytes expected = ProfileFile(4, {"a=1", "b=2", "c=3", "userpath=\\??\\C:\\x", "keep=5"});
  EXPECT_EQ(Settings(), expected);

  WithSettings(ProfileFile(0, {}), [&](TwHandle file) { EXPECT_TRUE(WriteIniFile(file, "k", "v")); });
  EXPECT_EQ(Settings(), ProfileFile(1, {"k=v"}));
  // A count below zero must not send the pair to a negative offset.
  WithSettings(ProfileFile(-7, {}), [&](TwHandle file) { EXPECT_TRUE(WriteIniFile(file, "k", "v")); });
  EXPECT_EQ(Settings(), ProfileFile(1, {"k=v"}));
}

TEST_F(ProfileTest, WriterRefusesWhatWouldSpoilTheFile) {
  struct Row {
    Bytes file;
    const char* key;
    std::string value;
  } rows[] = {
      {ProfileFile(501, {"k=v"}), "k", "w"},                 // count too large
      {Bytes(100, 'x'), "k", "v"},                           // header does not scan
      {ProfileFile(500, {"a=1"}), "new", "v"},               // a count of 501 would lock the file
      {ProfileFile(1, {"a=1"}), "a", std::string(98, 'v')},  // pair longer than a slot
      {ProfileFile(1, {"a=1"}), "a=b", "v"},                 // not a key
      {ProfileFile(1, {"a=1"}), "", "v"},
  };
  for (const Row& row : rows) {
    WithSettings(row.file, [&](TwHandle file) { EXPECT_FALSE(WriteIniFile(file, row.key, row.value.c_str())); });
    EXPECT_EQ(Settings(), row.file) << row.key;
  }
  // At the limit an existing key is still rewritten in place.
  Bytes full = ProfileFile(500, {"a=1"});
  WithSettings(full, [&](TwHandle file) { EXPECT_TRUE(WriteIniFile(file, "a", "2")); });
  EXPECT_EQ(SlotText(Settings(), 1), "a=2");
  EXPECT_EQ(SlotText(Settings(), 0), "IndexNum=500");
}

TEST_F(ProfileTest, WrittenValuesReadBackAndStarsBecomeSpaces) {
  WithSettings(ProfileFile(1, {"a=1"}), [&](TwHandle file) {
    ASSERT_TRUE(WriteIniFile(file, "userpath", "\\??\\C:\\Documents*and*Settings\\user1"));
    char value[kValueBufferSize];
    ASSERT_TRUE(ReadIniFile(file, "userpath", value, sizeof value));
    EXPECT_STREQ(value, "\\??\\C:\\Documents*and*Settings\\user1");
    ClearXingHao(value);
    EXPECT_STREQ(value, "\\??\\C:\\Documents and Settings\\user1");
  });
}

}  // namespace
