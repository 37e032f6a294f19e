// The profile folder behind the desktop folder, the userpath value and the program folder.
#include <gtest/gtest.h>

#include <string>

#include "ProfileFolder.h"

namespace {

bool NoLeadBytes(unsigned char) {
    return false;
}

TEST(ProfileFolderFromDesktop, TakesTheParentOfTheDesktop) {
    struct Row {
        const char* what;
        const char* desktop;
        LeadBytePredicate isLeadByte;
        const char* expected;  // null: no folder
    } rows[] = {
        // 桌面 in cp936: the 5-byte cut of old gave the same folder here.
        {"Chinese desktop", "C:\\Documents and Settings\\user1\\\xd7\xc0\xc3\xe6", IsCp936LeadByte,
         "C:\\Documents and Settings\\user1"},
        {"English desktop", "C:\\Documents and Settings\\user1\\Desktop", IsCp936LeadByte,
         "C:\\Documents and Settings\\user1"},
        {"Chinese user name", "C:\\Documents and Settings\\\xd3\xc3\xbb\xa7\\\xd7\xc0\xc3\xe6", IsCp936LeadByte,
         "C:\\Documents and Settings\\\xd3\xc3\xbb\xa7"},
        // 昞 is 95 5C: its trail byte is a backslash that is no separator.
        {"trail byte 5C", "C:\\Documents and Settings\\\x95\x5c\\Desktop", IsCp936LeadByte,
         "C:\\Documents and Settings\\\x95\x5c"},
        {"trail byte 5C ends the name", "C:\\Documents and Settings\\u\\\x95\x5c", IsCp936LeadByte,
         "C:\\Documents and Settings\\u"},
        {"single-byte code page", "C:\\Documents and Settings\\Ren\xe9\\Desktop", NoLeadBytes,
         "C:\\Documents and Settings\\Ren\xe9"},
        {"moved desktop", "D:\\My Data\\\xce\xd2\xb5\xc4\xd7\xc0\xc3\xe6", IsCp936LeadByte, "D:\\My Data"},
        {"desktop below a drive root", "D:\\Desktop", IsCp936LeadByte, "D:"},
        {"trailing separator", "C:\\Documents and Settings\\user1\\Desktop\\", IsCp936LeadByte,
         "C:\\Documents and Settings\\user1"},
        {"doubled separator", "C:\\Documents and Settings\\user1\\\\Desktop", IsCp936LeadByte,
         "C:\\Documents and Settings\\user1"},
        {"network share", "\\\\server\\home\\Desktop", IsCp936LeadByte, "\\\\server\\home"},
        {"empty", "", IsCp936LeadByte, nullptr},
        {"no separator", "Desktop", IsCp936LeadByte, nullptr},
        {"drive root", "C:\\", IsCp936LeadByte, nullptr},
        {"rooted name only", "\\Desktop", IsCp936LeadByte, nullptr},
        {"lead byte at the end", "C:\\u\\\x95", IsCp936LeadByte, "C:\\u"},
    };
    for (const Row& row : rows) {
        std::string folder = "untouched";
        bool named = ProfileFolderFromDesktop(row.desktop, row.isLeadByte, &folder);
        EXPECT_EQ(named, row.expected != nullptr) << row.what;
        EXPECT_EQ(folder, row.expected ? row.expected : "untouched") << row.what;
    }
}

TEST(UserPathValue, StoresBlanksAsAsterisks) {
    EXPECT_EQ(UserPathValue("C:\\Documents and Settings\\user 1"), "\\??\\C:\\Documents*and*Settings\\user*1");
    EXPECT_EQ(UserPathValue("D:"), "\\??\\D:");
    std::string folder;
    EXPECT_TRUE(FolderOfUserPath(UserPathValue("C:\\Documents and Settings\\user 1"), &folder));
    EXPECT_EQ(folder, "C:\\Documents and Settings\\user 1");
    EXPECT_FALSE(FolderOfUserPath("C:\\Documents*and*Settings", &folder));
    EXPECT_FALSE(FolderOfUserPath("\\??\\", &folder));
}

TEST(ProgramFolderOf, DropsTheProgramFileName) {
    EXPECT_EQ(ProgramFolderOf("C:\\Tools\\tarwenApp.exe"), "C:\\Tools\\");
    EXPECT_EQ(ProgramFolderOf("C:\\Program Files\\Tarwen\\tarwenApp.exe"), "C:\\Program Files\\Tarwen\\");
    EXPECT_EQ(ProgramFolderOf("tarwenApp.exe"), "");
    EXPECT_EQ(ProgramFolderOf("a.exe"), "");  // shorter than the name: no folder at all
}

}  // namespace
