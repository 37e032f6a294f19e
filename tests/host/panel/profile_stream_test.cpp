// The panel's settings reader and writer over stdio streams: slot rules, count rules and byte identity with the boot-time writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ProfileStream.h"
#include "engine.h"
#include "test_drive.h"

namespace {

// Runs fn on a stream holding content (opened for update) and returns the bytes afterwards.
template <typename Fn>
Bytes WithStream(const Bytes& content, Fn fn) {
    FILE* stream = std::tmpfile();
    EXPECT_NE(stream, nullptr);
    if (!stream)
        return Bytes();
    std::fwrite(content.data(), 1, content.size(), stream);
    std::fflush(stream);
    fn(stream);
    std::fflush(stream);
    std::fseek(stream, 0, SEEK_END);
    Bytes after(static_cast<size_t>(std::ftell(stream)), '\0');
    std::rewind(stream);
    size_t done = std::fread(after.data(), 1, after.size(), stream);
    after.resize(done);
    std::fclose(stream);
    return after;
}

// The same write done by the boot-time program's writer on the same bytes.
Bytes EngineWrite(const Bytes& content, const char* key, const char* value, bool* written) {
    TestDrive drive;
    drive.Boot(2026, 12, 8);
    drive.Write("WINDOWS/wispdata.dat", content);
    TwHandle file;
    *written = false;
    EXPECT_TRUE(OpenFile(u"\\SystemRoot\\wispdata.dat", &file, kDispositionOpenExisting));
    *written = WriteIniFile(file, key, value);
    LayerCloseFile(file);
    return drive.Read("WINDOWS/wispdata.dat");
}

const std::string k46(46, 'k');
const std::string k47(47, 'k');

TEST(ReadIniStream, FollowsTheSlotRules) {
    struct Row {
        Bytes file;
        std::string key;
        const char* expected;  // null: not found
    } rows[] = {
        {ProfileFile(3, {"a=1", "IsRepair=111", "IsRepair=222"}), "IsRepair", "111"},  // first match wins
        {ProfileFile(2, {"isrepair=111", "IsRepairX=1"}), "IsRepair", nullptr},       // case, longer key
        {ProfileFile(1, {"IsRepair=1"}), "isrepair", nullptr},
        {ProfileFile(2, {"IsRepair=", "IsRepair=000"}), "IsRepair", "000"},           // empty value skipped
        {ProfileFile(1, {"IsRepair=   "}), "IsRepair", nullptr},
        {ProfileFile(1, {"userpath=  \\??\\C:\\a*b c"}), "userpath", "\\??\\C:\\a*b"}, // up to white space
        {ProfileFile(1, {"k=a\tb"}), "k", "a"},
        {ProfileFile(1, {"k=v=w"}), "k", "v=w"},
        {ProfileFile(1, {"syspath=C:\\\xd7\xc0\xc3\xe6"}), "syspath", "C:\\\xd7\xc0\xc3\xe6"},  // cp936 kept
        {ProfileFile(0, {"IsRepair=111"}), "IsRepair", nullptr},                      // count 0
        {ProfileFile(-1, {"IsRepair=111"}), "IsRepair", nullptr},
        {ProfileFile(501, {"IsRepair=111"}), "IsRepair", nullptr},                    // count too large
        {ProfileFile(500, {"IsRepair=111"}), "IsRepair", "111"},
        {ProfileFile(1, {"a=1", "IsRepair=111"}), "IsRepair", nullptr},               // beyond the count
        {ProfileFile(9, {"a=1", "IsRepair=111"}), "IsRepair", "111"},                 // count beyond the file
        {Bytes("IndexNum= +2\0", 13) + Bytes(87, '\0') + ProfileFile(0, {"x=1", "k=v"}).substr(100), "k", "v"},
        {Bytes("IndexNum=2junk") + Bytes(86, '\0') + ProfileFile(0, {"x=1", "k=v"}).substr(100), "k", "v"},
        {Bytes("Indexnum=1") + Bytes(90, '\0') + Bytes("k=v") + Bytes(97, '\0'), "k", nullptr},  // header does not scan
        {Bytes(" IndexNum=1") + Bytes(89, '\0') + Bytes("k=v") + Bytes(97, '\0'), "k", nullptr},
        {Bytes("IndexNum=99999999999999999999") + Bytes(71, '\0') + Bytes("k=v") + Bytes(97, '\0'), "k", nullptr},
        {ProfileFile(1, {}) + Bytes("k=v"), "k", nullptr},                            // a slot cut short reads as nothing
        {ProfileFile(2, {"a=1"}) + Bytes("IsRepair=111\0", 13), "IsRepair", "111"},  // unless its text ends in it
        {Bytes("IndexNum=1"), "k", nullptr},                                          // header cut short
        {ProfileFile(1, {k46 + "=v"}), k46, "v"},
        {ProfileFile(1, {k47 + "=v"}), k47, nullptr},                                 // key too long
        {ProfileFile(1, {"a b=v"}), "a b", nullptr},                                  // key with white space
        {ProfileFile(1, {"=v"}), "", nullptr},
    };
    for (const Row& row : rows) {
        WithStream(row.file, [&](FILE* stream) {
            char value[kValueBufferSize] = "untouched";
            bool found = ReadIniStream(stream, row.key.c_str(), value);
            EXPECT_EQ(found, row.expected != nullptr) << row.key << " in " << SlotText(row.file, 1);
            EXPECT_STREQ(value, row.expected ? row.expected : "untouched") << row.key;
        });
    }
}

TEST(ReadIniStream, StartsAtTheTopWhereverTheStreamStands) {
    WithStream(ProfileFile(2, {"a=1", "b=2"}), [](FILE* stream) {
        std::fseek(stream, 0, SEEK_END);
        char value[kValueBufferSize] = {};
        ASSERT_TRUE(ReadIniStream(stream, "b", value));
        EXPECT_STREQ(value, "2");
        ASSERT_TRUE(ReadIniStream(stream, "a", value));  // the previous call left it mid-file
        EXPECT_STREQ(value, "1");
    });
}

TEST(ReadIniStream, NeverRunsPastTheCallersBuffer) {
    // A slot without any NUL: its text ends at byte 100 of the work buffer.
    Bytes slot = "k=" + Bytes(98, 'v');
    WithStream(ProfileFile(1, {}) + slot, [&](FILE* stream) {
        char value[kValueBufferSize + 8];
        std::memset(value, '#', sizeof value);
        ASSERT_TRUE(ReadIniStream(stream, "k", value));
        EXPECT_EQ(std::string(value), Bytes(98, 'v'));
        EXPECT_EQ(value[99], '#');
        char small[8] = "small";  // a buffer too small for the value is left alone
        EXPECT_FALSE(ReadIniStream(stream, "k", small, sizeof small));
        EXPECT_STREQ(small, "small");
    });
}

// Rows of a write: the file before, the write, and the file expected after
// (equal to the file before when nothing may be written).
struct WriteRow {
    const char* what;
    Bytes before;
    std::string key;
    std::string value;
    bool written;
    Bytes after;
};

std::vector<WriteRow> WriteRows() {
    Bytes three = ProfileFile(3, {"a=1", "IsRepair=111", "b=2"});
    Bytes threeBeyond = ProfileFile(3, {"a=1", "b=2", "c=3", "old=4", "keep=5"});
    Bytes full = ProfileFile(500, {"a=1"});
    full.resize(501 * 100, '\0');
    Bytes fullAfter = full;
    fullAfter.replace(100, 3, "a=9");
    std::string pair99value(97, 'v');  // "k=" + 97 bytes: 99 bytes
    return {
        {"rewrite in place", three, "IsRepair", "000", true, ProfileFile(3, {"a=1", "IsRepair=000", "b=2"})},
        {"first match rewritten", ProfileFile(2, {"k=1", "k=2"}), "k", "3", true, ProfileFile(2, {"k=3", "k=2"})},
        {"short last slot rewritten", ProfileFile(2, {"a=1"}) + Bytes("IsRepair=111\0", 13), "IsRepair", "000", true,
         ProfileFile(2, {"a=1", "IsRepair=000"})},
        {"append", three, "syspath", "C:\\WINDOWS", true,
         ProfileFile(4, {"a=1", "IsRepair=111", "b=2", "syspath=C:\\WINDOWS"})},
        {"append over bytes beyond the count", threeBeyond, "new", "x", true,
         ProfileFile(4, {"a=1", "b=2", "c=3", "new=x", "keep=5"})},
        {"count 0", ProfileFile(0, {"k=old"}), "k", "v", true, ProfileFile(1, {"k=v"})},
        {"negative count", ProfileFile(-3, {"k=old"}), "k", "v", true, ProfileFile(1, {"k=v"})},
        {"count 500, key present", full, "a", "9", true, fullAfter},
        {"count 500, new key refused", full, "new", "1", false, full},
        {"count 501", ProfileFile(501, {"a=1"}), "a", "2", false, ProfileFile(501, {"a=1"})},
        {"header does not scan", Bytes("IndexNum=x") + Bytes(190, '\0'), "a", "1", false,
         Bytes("IndexNum=x") + Bytes(190, '\0')},
        {"pair of 99 bytes", ProfileFile(1, {"a=1"}), "k", pair99value, true,
         ProfileFile(2, {"a=1", "k=" + pair99value})},
        {"pair of 100 bytes refused", ProfileFile(1, {"a=1"}), "k", pair99value + "v", false,
         ProfileFile(1, {"a=1"})},
        {"key of 46", ProfileFile(1, {"a=1"}), k46, "v", true, ProfileFile(2, {"a=1", k46 + "=v"})},
        {"key of 47 refused", ProfileFile(1, {"a=1"}), k47, "v", false, ProfileFile(1, {"a=1"})},
        {"key with a blank refused", ProfileFile(1, {"a=1"}), "a b", "v", false, ProfileFile(1, {"a=1"})},
        {"key with = refused", ProfileFile(1, {"a=1"}), "a=b", "v", false, ProfileFile(1, {"a=1"})},
    };
}

TEST(WriteIniStream, ChangesOnlyTheSlotsItMust) {
    for (const WriteRow& row : WriteRows()) {
        bool written = false;
        Bytes after = WithStream(row.before, [&](FILE* stream) {
            std::fseek(stream, 0, SEEK_END);
            written = WriteIniStream(stream, row.key.c_str(), row.value.c_str());
        });
        EXPECT_EQ(written, row.written) << row.what;
        EXPECT_TRUE(after == row.after) << row.what << ": slot 0 \"" << SlotText(after, 0) << "\"";
    }
}

TEST(WriteIniStream, WritesTheSameBytesAsTheBootTimeWriter) {
    for (const WriteRow& row : WriteRows()) {
        bool engineWritten = false;
        Bytes engine = EngineWrite(row.before, row.key.c_str(), row.value.c_str(), &engineWritten);
        bool written = false;
        Bytes panel = WithStream(row.before, [&](FILE* stream) {
            written = WriteIniStream(stream, row.key.c_str(), row.value.c_str());
        });
        EXPECT_EQ(written, engineWritten) << row.what;
        EXPECT_TRUE(panel == engine) << row.what;
    }
}

TEST(WriteIniStream, RefusesWhenASlotCannotBeReadWhole) {
    // The key may stand in the cut-off slot: an appended copy behind it would never be read.
    Bytes before = ProfileFile(2, {"a=1"}) + Bytes("IsRepair=111");
    Bytes after = WithStream(before, [](FILE* stream) { EXPECT_FALSE(WriteIniStream(stream, "IsRepair", "000")); });
    EXPECT_TRUE(after == before);
}

TEST(WriteIniStream, WhatThePanelWritesTheBootTimeProgramReads) {
    Bytes settings = WithStream(ProfileFile(2, {"a=1", "b=2"}), [](FILE* stream) {
        EXPECT_TRUE(WriteIniStream(stream, "userpath", "\\??\\C:\\Documents*and*Settings\\user1"));
        EXPECT_TRUE(WriteIniStream(stream, "IsRepair", "000"));
        EXPECT_TRUE(WriteIniStream(stream, "IsRepair", "111"));
    });
    TestDrive drive;
    drive.Boot(2026, 12, 8);
    drive.Write("WINDOWS/wispdata.dat", settings);
    TwHandle file;
    ASSERT_TRUE(OpenFile(u"\\SystemRoot\\wispdata.dat", &file, kDispositionOpenExisting));
    char value[kValueBufferSize] = {};
    EXPECT_TRUE(ReadIniFile(file, "userpath", value, sizeof value));
    ClearXingHao(value);
    EXPECT_STREQ(value, "\\??\\C:\\Documents and Settings\\user1");
    EXPECT_TRUE(ReadIniFile(file, "IsRepair", value, sizeof value));
    EXPECT_STREQ(value, "111");
    LayerCloseFile(file);
    EXPECT_EQ(SlotText(settings, 0), "IndexNum=4");
}

TEST(ProfileSlotCodec, FormatsZeroFilledSlots) {
    char slot[kSlotBufferSize];
    std::memset(slot, '#', sizeof slot);
    ASSERT_TRUE(FormatIndexNumSlot(slot, -12));
    EXPECT_EQ(Bytes(slot, sizeof slot), "IndexNum=-12" + Bytes(89, '\0'));
    std::memset(slot, '#', sizeof slot);
    EXPECT_FALSE(FormatPairSlot(slot, "k", std::string(98, 'v').c_str()));
    EXPECT_EQ(Bytes(slot, sizeof slot), Bytes(101, '\0'));  // a refused pair leaves no half slot
}

}  // namespace
