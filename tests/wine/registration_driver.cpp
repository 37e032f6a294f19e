// Drives the registration helpers under Wine: BootExecute, the autostart value, the install state and the stamps.
// Usage: registration_driver bootexecute|autorun|installstate|stamps
//        registration_driver setautorun  (run as tarwenApp.exe by the autorun scenario) writes the autostart value
#include "wine_test.h"

#include <shlobj.h>

#include <cstdio>

#include "AutoRun.h"
#include "Handles.h"
#include "ProfileStream.h"
#include "Registration.h"
#include "SettingsValues.h"
#include "WindowsFolder.h"
#include "child_process.h"
#include "profile_file.h"
#include "registry_values.h"
#include "test_files.h"

namespace {

const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// Shows bytes with their NULs, for failure lines.
std::string Show(const Bytes& bytes) {
    std::string shown;
    for (char c : bytes)
        shown += c ? std::string(1, c) : std::string("\\0");
    return shown;
}

Bytes List(std::initializer_list<std::string> strings) {
    Bytes list;
    for (const std::string& s : strings)
        list += s + '\0';
    return list + '\0';
}

// ------------------------------------------------------------------ registry

// The insertion itself is the host table's (InsertBootEntry); here, what reaches the registry:
// the written type, the nothing-to-write answer, the read buffer of 380 bytes, a missing value.
SCENARIO(bootexecute) {
    Bytes saved;
    DWORD savedType = 0;
    bool hadValue = ReadValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute", &saved, &savedType);

    const Bytes autocheck = List({"autocheck autochk *"});
    const Bytes registered = List({"autocheck autochk *", "twrepair r"});
    // 20 bytes of autocheck, the filler with its NUL, the closing NUL.
    const Bytes near380 = List({"autocheck autochk *", std::string(358, 'x')});
    const Bytes over380 = List({"autocheck autochk *", std::string(359, 'x')});
    struct Row {
        const char* what;
        Bytes before;  // empty: no value at all
        bool result;
        Bytes after;
    } rows[] = {
        {"usual list", autocheck, true, registered},
        {"registered already", registered, true, registered},
        {"value of 380 bytes", near380, true, autocheck.substr(0, 20) + Bytes("twrepair r\0", 11) + near380.substr(20)},
        {"value of 381 bytes", over380, false, over380},
        {"value missing", Bytes(), false, Bytes()},
    };
    for (const Row& row : rows) {
        Context context("RegisterBootExecute, %s", row.what);
        if (row.before.empty())
            DeleteValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute");
        else
            SetValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute", REG_MULTI_SZ, row.before);
        bool result = RegisterBootExecute();
        Bytes after;
        DWORD type = 0;
        bool present = ReadValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute", &after, &type);
        CHECK(result == row.result, "returns %d", result);
        if (row.after.empty())
            CHECK(!present, "no value created");
        else
            CHECK(present && after == row.after && type == REG_MULTI_SZ, "%u bytes [%s]",
                  static_cast<unsigned>(after.size()), Show(after).c_str());
    }
    if (hadValue)
        SetValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute", savedType, saved);
    else
        DeleteValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute");
}

// ------------------------------------------------------------------ autostart

SCENARIO(setautorun) { SetAutoRun(); }

SCENARIO(autorun) {
    // A program folder with blanks, the program under its real name.
    const std::string panel = "C:\\Program Files\\Tarwen Test\\tarwenApp.exe";
    CHECK(PlaceCopy(Self(), panel), "copy the driver to %s", panel.c_str());

    // Windows has the Run key; make sure Wine's prefix does too, without the value.
    SetValue(HKEY_LOCAL_MACHINE, kRunKeyPath, kAutoRunValueName, REG_SZ, "");
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKeyPath, kAutoRunValueName);
    {
        ChildProcess program;
        if (program.Start(panel, "setautorun"))
            program.WaitExit(30000);
    }
    Bytes data;
    DWORD type = 0;
    bool present = ReadValue(HKEY_LOCAL_MACHINE, kRunKeyPath, kAutoRunValueName, &data, &type);
    const Bytes expected = panel + " /h" + '\0';
    CHECK(present && type == REG_SZ && data == expected, "SetAutoRun: [%s] type %u", Show(data).c_str(),
          static_cast<unsigned>(type));

    // The value's name is the product name in Chinese, not its cp936 bytes widened one by one.
    tw::UniqueKey run = OpenKey(HKEY_LOCAL_MACHINE, kRunKeyPath, KEY_QUERY_VALUE);
    bool wide = run && RegQueryValueExW(run.Get(), L"Tarwen\u7cfb\u7edf\u4fee\u590d", nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
    CHECK(wide, "SetAutoRun: the value's name reads as the product name in UTF-16");

    RemoveAutoRun();
    CHECK(!ValueExists(HKEY_LOCAL_MACHINE, kRunKeyPath, kAutoRunValueName), "RemoveAutoRun: value gone");
    RemoveAutoRun();
    CHECK(true, "RemoveAutoRun without a value: nothing happens");
    RemoveTree("C:\\Program Files\\Tarwen Test");
}

// ------------------------------------------------------------------ settings files

SCENARIO(installstate) {
    const std::string path = tw::WindowsFolderFile("wispdata.dat");
    const bool hadFile = Exists(path);
    const Bytes saved = ReadBytes(path);

    RemoveFile(path);
    CHECK(!IsBootInstalled(), "IsBootInstalled without a settings file: false");
    CHECK(!SetBootInstalled(true), "SetBootInstalled without a settings file: false");
    CHECK(!Exists(path), "SetBootInstalled creates no file");

    struct Row {
        const char* what;
        Bytes before;
        bool installedBefore;
        int set;  // -1: not set
        bool result;
        Bytes after;
    } rows[] = {
        {"not installed, then installed", ProfileFile(2, {"a=1", "Backup0=1"}), false, 1, true,
         ProfileFile(2, {"a=1", "Backup0=2"})},
        {"installed, then removed", ProfileFile(2, {"Backup0=2", "b=1"}), true, 0, true,
         ProfileFile(2, {"Backup0=1", "b=1"})},
        {"key missing", ProfileFile(1, {"a=1"}), false, 1, true, ProfileFile(2, {"a=1", "Backup0=2"})},
        {"another value", ProfileFile(1, {"Backup0=22"}), false, -1, false, ProfileFile(1, {"Backup0=22"})},
        {"count above 500", ProfileFile(501, {"Backup0=2"}), false, 1, false, ProfileFile(501, {"Backup0=2"})},
    };
    for (const Row& row : rows) {
        Context context("%s", row.what);
        WriteBytes(path, row.before);
        bool installed = IsBootInstalled();
        CHECK(installed == row.installedBefore, "IsBootInstalled: %d", installed);
        if (row.set >= 0) {
            bool result = SetBootInstalled(row.set == 1);
            CHECK(result == row.result, "SetBootInstalled(%d) returns %d", row.set, result);
            CHECK(IsBootInstalled() == (row.result ? row.set == 1 : row.installedBefore), "IsBootInstalled after SetBootInstalled");
        }
        Bytes after = ReadBytes(path);
        CHECK(after == row.after, "settings file: slot 0 [%s] slot 1 [%s] slot 2 [%s]", SlotText(after, 0).c_str(),
              SlotText(after, 1).c_str(), SlotText(after, 2).c_str());
    }
    if (hadFile)
        WriteBytes(path, saved);
    else
        RemoveFile(path);
}

// userpath as it must come out: the profile folder, blanks as "*".
std::string ExpectedUserPath() {
    char profile[MAX_PATH] = {};
    GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
    std::string value = std::string("\\??\\") + profile;
    for (char& c : value)
        if (c == ' ')
            c = '*';
    return value;
}

SCENARIO(stamps) {
    const std::string path = "C:\\registration_stamp.dat";
    char desktop[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOP, FALSE);
    std::printf("desktop folder: %s\n", desktop);

    WriteBytes(path, ProfileFile(2, {"IsRepair=000", "userpath=\\??\\old"}));
    {
        tw::UniqueFile settings(std::fopen(path.c_str(), "rb+"));
        REQUIRE(static_cast<bool>(settings), "open %s", path.c_str());
        StampSettings(settings.Get(), 4321);
    }
    Bytes after = ReadBytes(path);
    std::string syspath = "syspath=" + tw::WindowsFolder();
    std::string userpath = "userpath=" + ExpectedUserPath();
    {
        Context context("StampSettings");
        CHECK(SlotText(after, 0) == "IndexNum=4", "header [%s]", SlotText(after, 0).c_str());
        CHECK(SlotText(after, 1) == "IsRepair=000", "slot 1 kept [%s]", SlotText(after, 1).c_str());
        CHECK(SlotText(after, 2) == userpath, "userpath rewritten in place [%s], expected [%s]", SlotText(after, 2).c_str(),
              userpath.c_str());
        CHECK(SlotText(after, 3) == syspath, "[%s]", SlotText(after, 3).c_str());
        CHECK(SlotText(after, 4) == "InsSign=4321", "[%s]", SlotText(after, 4).c_str());
        CHECK(after.size() == 500, "file of %u bytes", static_cast<unsigned>(after.size()));
    }

    // WriteUserPath on a file that takes no more entries writes nothing.
    const Bytes locked = ProfileFile(501, {"a=1"});
    WriteBytes(path, locked);
    bool written = false;
    if (tw::UniqueFile settings{std::fopen(path.c_str(), "rb+")})
        written = WriteUserPath(settings.Get());
    CHECK(!written && ReadBytes(path) == locked, "WriteUserPath with a count of 501: refused, file unchanged");

    StampSettings(nullptr, 1);
    CHECK(true, "StampSettings without a file: nothing happens");
    RemoveFile(path);
}

}  // namespace
