// Boot menu entries written through the platform's profile writer, each edit guarded by a copy of boot.ini.
#include "BootMenu.h"

#include <windows.h>

#include <cstring>

const char kBootLoaderPath[] = "c:\\WRLDR";
const char kPackageLoaderPath[] = "c:\\sysh\\kest\\WRLDR";
const char kBootIniCopyPath[] = "c:\\boot.ini.tarwen";

namespace {

const char kBootIni[] = "c:\\boot.ini";
const char kLoaderSection[] = "boot loader";
const char kSystemsSection[] = "operating systems";
const char kLoaderKey[] = "c:\\wrldr";
const char kCdKey[] = "c:\\sysh\\kest\\BOOTSECT.cdr";
// A value no entry can hold: what a missing key reads as.
const char kMissing[] = "\x7f";

// One key of boot.ini; a null value deletes it.
struct BootIniEntry {
    const char* section;
    const char* key;
    const char* value;
};

const BootIniEntry kInstalledEntries[] = {
    {kLoaderSection, "timeout", "10"},
    {kSystemsSection, kLoaderKey, "进入Tarwen系统修复"},
    {kSystemsSection, kCdKey, "从光盘启动(先插入系统安装光盘)"},
};
const BootIniEntry kRemovedEntries[] = {
    {kSystemsSection, kLoaderKey, nullptr},
    {kSystemsSection, kCdKey, nullptr},
};

bool Exists(const char* path) {
    return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The copy is taken before every edit, so it always holds the last state that read back.
bool CopyBootIniAside() {
    if (!Exists(kBootIni))
        return true;  // the profile writer will create the file; nothing to lose
    ::SetFileAttributesA(kBootIniCopyPath, FILE_ATTRIBUTE_NORMAL);
    return ::CopyFileA(kBootIni, kBootIniCopyPath, FALSE) != FALSE;
}

bool ReadsBack(const BootIniEntry& entry) {
    char value[256] = {};
    ::GetPrivateProfileStringA(entry.section, entry.key, kMissing, value, sizeof value, kBootIni);
    return std::strcmp(value, entry.value ? entry.value : kMissing) == 0;
}

template <std::size_t N>
bool EditBootIni(const BootIniEntry (&entries)[N]) {
    bool hadFile = Exists(kBootIni);
    if (!CopyBootIniAside())
        return false;
    ::SetFileAttributesA(kBootIni, FILE_ATTRIBUTE_NORMAL);
    for (const BootIniEntry& entry : entries)
        ::WritePrivateProfileStringA(entry.section, entry.key, entry.value, kBootIni);
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, kBootIni);  // flush any cached copy
    bool readBack = true;
    for (const BootIniEntry& entry : entries)
        readBack = readBack && ReadsBack(entry);
    if (!readBack && hadFile)
        ::CopyFileA(kBootIniCopyPath, kBootIni, FALSE);
    // Hidden and read-only, as the loader's own file is kept; the system attribute stays off.
    return ::SetFileAttributesA(kBootIni, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY) != FALSE && readBack;
}

}  // namespace

bool AddBootMenuEntries() {
    return EditBootIni(kInstalledEntries);
}

bool RemoveBootMenuEntries() {
    return EditBootIni(kRemovedEntries);
}
