// Where "twrepair r" goes into a BootExecute list, and that odd values are never edited beyond their bytes.
#include <gtest/gtest.h>

#include <string>

#include "BootExecuteList.h"

namespace {

using Bytes = std::string;
const Bytes kAutocheck("autocheck autochk *\0", 20);
const Bytes kEntry("twrepair r\0", 11);

// A multi-string: each string with its NUL, then the closing empty string.
Bytes List(std::initializer_list<const char*> strings) {
    Bytes list;
    for (const char* s : strings)
        list += Bytes(s) + '\0';
    return list + '\0';
}

// Shows the NULs of a value.
std::string Show(const Bytes& bytes) {
    std::string shown;
    for (char c : bytes)
        shown += c ? std::string(1, c) : std::string("\\0");
    return shown;
}

// A list of exactly size bytes: the autocheck string, then filler strings.
Bytes ListOfSize(size_t size) {
    Bytes list = kAutocheck;
    size_t room = size - kAutocheck.size() - 1;  // for fillers with their NULs
    while (room > 0) {
        size_t take = room <= 41 ? room : (room - 41 >= 2 ? 41 : 39);
        list += Bytes(take - 1, 'x') + '\0';
        room -= take;
    }
    return list + '\0';
}

TEST(InsertBootEntry, PutsTheEntryAtItsPlaceOnce) {
    struct Row {
        const char* what;
        Bytes value;
        const char* expected;  // null: nothing to write
        Bytes edited;
    } rows[] = {
        {"usual list", List({"autocheck autochk *"}), "insert", List({"autocheck autochk *", "twrepair r"})},
        {"registered already", List({"autocheck autochk *", "twrepair r"}), nullptr, {}},
        {"entry further on", List({"autocheck autochk *", "other.exe", "twrepair r"}), "insert",
         List({"autocheck autochk *", "twrepair r", "other.exe", "twrepair r"})},
        {"no autocheck first", List({"other.exe", "autocheck autochk *"}), "insert",
         List({"twrepair r", "other.exe", "autocheck autochk *"})},
        {"entry first without autocheck", List({"twrepair r", "other.exe"}), nullptr, {}},
        {"entry inside a longer first string", List({"x twrepair r y"}), nullptr, {}},
        {"autocheck is case-sensitive", List({"AutoCheck autochk *"}), "insert",
         List({"twrepair r", "AutoCheck autochk *"})},
        {"entry is case-sensitive", List({"autocheck autochk *", "TwRepair r"}), "insert",
         List({"autocheck autochk *", "twrepair r", "TwRepair r"})},
        {"autocheck anywhere in the first string", List({"x autocheck"}), "insert", List({"x autocheck", "twrepair r"})},
        {"empty list", Bytes(1, '\0'), "insert", List({"twrepair r"})},
        {"no data at all", Bytes(), "insert", List({"twrepair r"})},
        // Values the registry may hand back without their terminators.
        {"no closing empty string", kAutocheck, "insert", List({"autocheck autochk *", "twrepair r"})},
        {"autocheck string without its NUL", Bytes("autocheck autochk *"), "insert",
         List({"autocheck autochk *", "twrepair r"})},
        {"other string without its NUL", Bytes("other.exe"), "insert", List({"twrepair r", "other.exe"})},
        {"two strings, no closing", kAutocheck + Bytes("other.exe", 9), "insert",
         List({"autocheck autochk *", "twrepair r", "other.exe"})},
        {"entry present, no terminators", kAutocheck + Bytes("twrepair r"), nullptr, {}},
        {"bytes after the closing string kept", List({"autocheck autochk *"}) + Bytes("zz\0", 3), "insert",
         List({"autocheck autochk *", "twrepair r"}) + Bytes("zz\0", 3)},
    };
    for (const Row& row : rows) {
        Bytes edited = "untouched";
        bool insert = InsertBootEntry(row.value.data(), row.value.size(), &edited);
        EXPECT_EQ(insert, row.expected != nullptr) << row.what;
        if (insert)
            EXPECT_EQ(Show(edited), Show(row.edited)) << row.what;
        else
            EXPECT_EQ(edited, "untouched") << row.what;
    }
}

TEST(InsertBootEntry, ValuesNearTheReadBufferGrowByElevenBytes) {
    for (size_t size : {369u, 370u, 375u, 379u, 380u}) {
        Bytes value = ListOfSize(size);
        ASSERT_EQ(value.size(), size);
        Bytes edited;
        ASSERT_TRUE(InsertBootEntry(value.data(), value.size(), &edited)) << size;
        EXPECT_EQ(edited.size(), size + 11) << size;
        EXPECT_EQ(Show(edited), Show(kAutocheck + kEntry + value.substr(kAutocheck.size()))) << size;
        // A second registration finds it.
        Bytes again;
        EXPECT_FALSE(InsertBootEntry(edited.data(), edited.size(), &again)) << size;
    }
}

TEST(InsertBootEntry, ReadsNothingBeyondTheGivenSize) {
    // The bytes after the size would say "twrepair r" is there; they must not count.
    Bytes buffer = List({"autocheck autochk *"}) + List({"twrepair r"});
    size_t size = kAutocheck.size();  // the first string and its NUL only
    Bytes edited;
    ASSERT_TRUE(InsertBootEntry(buffer.data(), size, &edited));
    EXPECT_EQ(Show(edited), Show(List({"autocheck autochk *", "twrepair r"})));
}

}  // namespace
