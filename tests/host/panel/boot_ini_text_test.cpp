// The restore entry of boot.ini: where it goes, what it copies, and that taking it out gives every other byte back.
#include <gtest/gtest.h>

#include <string>

#include "BootIniText.h"

namespace {

const std::string kXp = "multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS";
const std::string kLoader = "[boot loader]\r\ntimeout=30\r\ndefault=" + kXp + "\r\n[operating systems]\r\n";
const std::string kSystem = kXp + "=\"Microsoft Windows XP Professional\" /noexecute=optin /fastdetect";
const std::string kRestore = kXp + "=\"Tarwen: restore last good registry\" /noexecute=optin /fastdetect /TWRESTORE";
const std::string kRepair = "c:\\wrldr=进入Tarwen系统修复";

TEST(BootIniText, AddsOneRestoreEntryBelowTheDefaultSystemAndTakesItOutAgain) {
    const std::string lf = "[boot loader]\ndefault=C:\\\n[operating systems]\nC:\\=\"Recovery\" /cmdcons\n";
    const std::string noDefault = "[boot loader]\r\ntimeout=30\r\n[operating systems]\r\n" + kSystem + "\r\n";
    const std::string namesNone = "[boot loader]\r\ndefault=multi(0)disk(0)rdisk(0)partition(2)\\WINNT\r\n"
                                  "[operating systems]\r\n" + kSystem;
    const std::string twoDefaults = "[boot loader]\r\ndefault=C:\\\r\ndefault=" + kXp + "\r\n[operating systems]\r\n" +
                                    kSystem + "\r\nC:\\=\"Console\"\r\n";
    const std::string blanks = "[Boot Loader]\r\n DEFAULT = " + kXp + "\r\n[Operating Systems]\r\n; a comment\r\n" + kXp +
                               " = \"XP / SP3 a=b\"  /fastdetect \r\n";
    const std::string safe = kXp + "=\"Safe\" /safeboot:minimal\r\n";
    const std::string usual = kLoader + kSystem + "\r\n" + kRepair + "\r\n";
    struct Row {
        const char* what;
        std::string ini;
        std::string with;   // WithRestoreEntry
        std::string plain;  // WithoutRestoreEntries, of ini and of with: ini unless it holds restore entries
    } rows[] = {
        {"default present, CRLF", usual, kLoader + kSystem + "\r\n" + kRestore + "\r\n" + kRepair + "\r\n", usual},
        {"LF", lf, lf + "C:\\=\"Tarwen: restore last good registry\" /cmdcons /TWRESTORE\n", lf},
        {"last line without its line end", kLoader + kSystem, kLoader + kSystem + "\r\n" + kRestore, kLoader + kSystem},
        {"no default line", noDefault, noDefault, noDefault},
        {"default names no line", namesNone, namesNone, namesNone},
        {"default system twice: the first is copied", kLoader + kSystem + "\r\n" + safe,
         kLoader + kSystem + "\r\n" + kRestore + "\r\n" + safe, kLoader + kSystem + "\r\n" + safe},
        {"default line twice: the first counts", twoDefaults,
         twoDefaults + "C:\\=\"Tarwen: restore last good registry\" /TWRESTORE\r\n", twoDefaults},
        {"quoted description with / and =, letter case, blanks", blanks,
         blanks + kXp + "=\"Tarwen: restore last good registry\" /fastdetect /TWRESTORE\r\n", blanks},
        {"unquoted description", kLoader + kXp + "=Windows XP /fastdetect\r\n",
         kLoader + kXp + "=Windows XP /fastdetect\r\n" + kXp + "=\"Tarwen: restore last good registry\" /fastdetect /TWRESTORE\r\n",
         kLoader + kXp + "=Windows XP /fastdetect\r\n"},
        {"no switches, /TWRESTORE inside a description", kLoader + kXp + "=\"Test /TWRESTORE\"\r\n",
         kLoader + kXp + "=\"Test /TWRESTORE\"\r\n" + kXp + "=\"Tarwen: restore last good registry\" /TWRESTORE\r\n",
         kLoader + kXp + "=\"Test /TWRESTORE\"\r\n"},
        {"entry present already", kLoader + kSystem + "\r\n" + kRestore + "\r\n" + kRepair + "\r\n",
         kLoader + kSystem + "\r\n" + kRestore + "\r\n" + kRepair + "\r\n", usual},
        {"stale entries above the system and elsewhere, any case",
         kLoader + kXp + "=\"Old\" /twrestore\r\n" + kSystem + "\r\n" + kRepair + "\r\nC:\\=\"x\" /TwRestore /y",
         kLoader + kSystem + "\r\n" + kRestore + "\r\n" + kRepair, kLoader + kSystem + "\r\n" + kRepair},
        {"default names only a restore entry", kLoader + kRestore + "\r\n" + kRepair + "\r\n", kLoader + kRepair + "\r\n",
         kLoader + kRepair + "\r\n"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(WithRestoreEntry(row.ini), row.with) << row.what;
        EXPECT_EQ(WithRestoreEntry(row.with), row.with) << row.what << ": a second edit";
        EXPECT_EQ(WithoutRestoreEntries(row.with), row.plain) << row.what;
        EXPECT_EQ(WithoutRestoreEntries(row.ini), row.plain) << row.what;
        EXPECT_EQ(HasRestoreEntry(row.with), row.with != row.plain) << row.what;
    }
}

}  // namespace
