// Drives the registration helpers under Wine: BootExecute, the autostart value, the install state and the stamps.
// Usage: registration_driver            runs every check, one line each; exit status = failures
//        registration_driver setautorun  (run as tarwenApp.exe by the driver) writes the autostart value
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "AutoRun.h"
#include "ProfileStream.h"
#include "Registration.h"
#include "SettingsValues.h"
#include "registry_values.h"
#include "wine_check.h"

namespace {

using namespace registry_values;
using Bytes = std::string;

const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// Shows bytes with their NULs, for failure lines.
std::string Show(const Bytes& bytes) {
    std::string shown;
    for (char c : bytes)
        shown += c ? std::string(1, c) : std::string("\\0");
    return shown;
}

Bytes List(std::initializer_list<const char*> strings) {
    Bytes list;
    for (const char* s : strings)
        list += Bytes(s) + '\0';
    return list + '\0';
}

// ------------------------------------------------------------------ registry

struct Key {
    HKEY handle = nullptr;
    explicit Key(const char* path) {
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    }
    ~Key() {
        if (handle)
            ::RegCloseKey(handle);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
};

// A list of exactly size bytes: the autocheck string, then filler strings.
Bytes ListOfSize(size_t size) {
    Bytes list = List({"autocheck autochk *"});
    list.pop_back();
    size_t room = size - list.size() - 1;
    while (room > 0) {
        size_t take = room <= 41 ? room : (room - 41 >= 2 ? 41 : 39);
        list += Bytes(take - 1, 'x') + '\0';
        room -= take;
    }
    return list + '\0';
}

void CheckBootExecute() {
    Bytes saved;
    DWORD savedType = 0;
    bool hadValue = ReadValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute", &saved, &savedType);

    const Bytes autocheck = List({"autocheck autochk *"});
    const Bytes registered = List({"autocheck autochk *", "twrepair r"});
    Bytes near370 = ListOfSize(370);
    Bytes near380 = ListOfSize(380);
    Bytes over380 = ListOfSize(381);
    struct Row {
        const char* what;
        Bytes before;  // empty: no value at all
        bool result;
        Bytes after;
    } rows[] = {
        {"usual list", autocheck, true, registered},
        {"registered already", registered, true, registered},
        {"entry behind another program", List({"autocheck autochk *", "other r", "twrepair r"}), true,
         List({"autocheck autochk *", "twrepair r", "other r", "twrepair r"})},
        {"no autocheck first", List({"other r"}), true, List({"twrepair r", "other r"})},
        {"entry first", List({"twrepair r", "autocheck autochk *"}), true, List({"twrepair r", "autocheck autochk *"})},
        {"no closing empty string", Bytes("autocheck autochk *\0", 20), true, registered},
        {"value of 370 bytes", near370, true, autocheck.substr(0, 20) + Bytes("twrepair r\0", 11) + near370.substr(20)},
        {"value of 380 bytes", near380, true, autocheck.substr(0, 20) + Bytes("twrepair r\0", 11) + near380.substr(20)},
        {"value of 381 bytes", over380, false, over380},
        {"value missing", Bytes(), false, Bytes()},
    };
    for (const Row& row : rows) {
        if (row.before.empty())
            DeleteValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute");
        else
            SetValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute", REG_MULTI_SZ, row.before);
        bool result = RegisterBootExecute();
        Bytes after;
        DWORD type = 0;
        bool present = ReadValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute", &after, &type);
        Check(result == row.result, "RegisterBootExecute, %s: returns %d", row.what, result);
        if (row.after.empty()) {
            Check(!present, "RegisterBootExecute, %s: no value created", row.what);
        } else {
            Check(present && after == row.after && type == REG_MULTI_SZ, "RegisterBootExecute, %s: %u bytes [%s]",
                  row.what, static_cast<unsigned>(after.size()), Show(after).c_str());
        }
    }
    if (hadValue)
        SetValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute", savedType, saved);
    else
        DeleteValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "BootExecute");
}

// ------------------------------------------------------------------ autostart

void CheckAutoRun(const char* self) {
    // A program folder with blanks, the program under its real name.
    const char folder[] = "C:\\Program Files\\Tarwen Test\\";
    ::CreateDirectoryA("C:\\Program Files", nullptr);
    ::CreateDirectoryA(folder, nullptr);
    std::string panel = std::string(folder) + "tarwenApp.exe";
    Check(::CopyFileA(self, panel.c_str(), FALSE) != FALSE, "copy the driver to %s", panel.c_str());

    { Key run(kRunKeyPath); }  // Windows has the key; make sure Wine's prefix does too
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKeyPath, kAutoRunValueName);

    std::string command = "\"" + panel + "\" setautorun";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    bool started = ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                    &process) != FALSE;
    Check(started, "start %s", command.c_str());
    if (started) {
        ::WaitForSingleObject(process.hProcess, 30000);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }

    Bytes data;
    DWORD type = 0;
    bool present = ReadValue(HKEY_LOCAL_MACHINE, kRunKeyPath, kAutoRunValueName, &data, &type);
    const Bytes expected = panel + " /h" + '\0';
    Check(present && type == REG_SZ && data == expected, "SetAutoRun: [%s] type %u", Show(data).c_str(),
          static_cast<unsigned>(type));

    // The value's name is the product name in Chinese, not its cp936 bytes widened one by one.
    Key run(kRunKeyPath);
    WCHAR wideData[512];
    DWORD wideSize = sizeof wideData;
    bool wide = ::RegQueryValueExW(run.handle, L"Tarwen\u7cfb\u7edf\u4fee\u590d", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(wideData), &wideSize) == ERROR_SUCCESS;
    Check(wide, "SetAutoRun: the value's name reads as the product name in UTF-16");

    RemoveAutoRun();
    Check(!ReadValue(HKEY_LOCAL_MACHINE, kRunKeyPath, kAutoRunValueName, &data, &type), "RemoveAutoRun: value gone");
    RemoveAutoRun();
    Check(true, "RemoveAutoRun without a value: nothing happens");

    ::DeleteFileA(panel.c_str());
    ::RemoveDirectoryA(folder);
}

// ------------------------------------------------------------------ settings files

Bytes ProfileFile(int count, std::initializer_list<std::string> slots) {
    Bytes file(100 * (slots.size() + 1), '\0');
    std::string header = "IndexNum=" + std::to_string(count);
    file.replace(0, header.size(), header);
    size_t i = 1;
    for (const std::string& slot : slots)
        file.replace(100 * i++, slot.size(), slot);
    return file;
}

std::string SlotText(const Bytes& file, int slot) {
    if (file.size() < 100u * slot + 100)
        return "";
    std::string text = file.substr(100 * slot, 100);
    return text.substr(0, text.find('\0'));
}

bool ReadFile(const std::string& path, Bytes* bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes->clear();
    char buffer[4096];
    size_t done;
    while ((done = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->append(buffer, done);
    std::fclose(file);
    return true;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    ::GetWindowsDirectoryA(folder, sizeof folder);
    return folder;
}

void CheckInstallState() {
    const std::string path = WindowsFolder() + "\\wispdata.dat";
    Bytes saved;
    bool hadFile = ReadFile(path, &saved);

    ::DeleteFileA(path.c_str());
    Check(!IsBootInstalled(), "IsBootInstalled without a settings file: false");
    Check(!SetBootInstalled(true), "SetBootInstalled without a settings file: false");
    Check(::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES, "SetBootInstalled creates no file");

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
        WriteFile(path, row.before);
        bool installed = IsBootInstalled();
        Check(installed == row.installedBefore, "IsBootInstalled, %s: %d", row.what, installed);
        if (row.set >= 0) {
            bool result = SetBootInstalled(row.set == 1);
            Check(result == row.result, "SetBootInstalled(%d), %s: returns %d", row.set, row.what, result);
            Check(IsBootInstalled() == (row.result ? row.set == 1 : row.installedBefore),
                  "IsBootInstalled after SetBootInstalled, %s", row.what);
        }
        Bytes after;
        ReadFile(path, &after);
        Check(after == row.after, "settings file, %s: slot 0 [%s] slot 1 [%s] slot 2 [%s]", row.what,
              SlotText(after, 0).c_str(), SlotText(after, 1).c_str(), SlotText(after, 2).c_str());
    }

    if (hadFile)
        WriteFile(path, saved);
    else
        ::DeleteFileA(path.c_str());
}

// userpath as it must come out: the profile folder, blanks as "*".
std::string ExpectedUserPath() {
    char profile[MAX_PATH] = {};
    ::GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
    std::string value = std::string("\\??\\") + profile;
    for (char& c : value)
        if (c == ' ')
            c = '*';
    return value;
}

void CheckStamps() {
    const std::string path = "C:\\registration_stamp.dat";
    char desktop[MAX_PATH] = {};
    ::SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOP, FALSE);
    std::printf("desktop folder: %s\n", desktop);

    WriteFile(path, ProfileFile(2, {"IsRepair=000", "userpath=\\??\\old"}));
    FILE* settings = std::fopen(path.c_str(), "rb+");
    Check(settings != nullptr, "open %s", path.c_str());
    if (settings) {
        StampSettings(settings, 4321);
        std::fclose(settings);
    }
    Bytes after;
    ReadFile(path, &after);
    std::string syspath = "syspath=" + WindowsFolder();
    std::string userpath = "userpath=" + ExpectedUserPath();
    Check(SlotText(after, 0) == "IndexNum=4", "StampSettings: header [%s]", SlotText(after, 0).c_str());
    Check(SlotText(after, 1) == "IsRepair=000", "StampSettings: slot 1 kept [%s]", SlotText(after, 1).c_str());
    Check(SlotText(after, 2) == userpath, "StampSettings: userpath rewritten in place [%s], expected [%s]",
          SlotText(after, 2).c_str(), userpath.c_str());
    Check(SlotText(after, 3) == syspath, "StampSettings: [%s]", SlotText(after, 3).c_str());
    Check(SlotText(after, 4) == "InsSign=4321", "StampSettings: [%s]", SlotText(after, 4).c_str());
    Check(after.size() == 500, "StampSettings: file of %u bytes", static_cast<unsigned>(after.size()));

    // WriteUserPath on a file that takes no more entries writes nothing.
    Bytes locked = ProfileFile(501, {"a=1"});
    WriteFile(path, locked);
    settings = std::fopen(path.c_str(), "rb+");
    bool written = settings && WriteUserPath(settings);
    if (settings)
        std::fclose(settings);
    ReadFile(path, &after);
    Check(!written && after == locked, "WriteUserPath with a count of 501: refused, file unchanged");

    StampSettings(nullptr, 1);
    Check(true, "StampSettings without a file: nothing happens");
    ::DeleteFileA(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "setautorun") == 0) {
        SetAutoRun();
        return 0;
    }
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, sizeof self);
    CheckBootExecute();
    CheckAutoRun(self);
    CheckInstallState();
    CheckStamps();
    return CheckResult();
}
