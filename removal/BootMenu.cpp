// Boot menu entries written through the platform's profile writer and the restore entry as text, on
// a new boot.ini renamed over the old one, each edit guarded by one copy of boot.ini.
#include "BootMenu.h"

#include "BootIniText.h"
#include "Handles.h"

#include <windows.h>

#include <cstring>
#include <string>

const char kBootLoaderPath[] = "c:\\WRLDR";
const char kPackageLoaderPath[] = "c:\\sysh\\kest\\WRLDR";
const char kBootIniCopyPath[] = "c:\\boot.ini.tarwen";

namespace {

const char kBootIni[] = "c:\\boot.ini";
// The new boot.ini is made here and renamed over it.
const char kBootIniNewPath[] = "c:\\boot.ini.new";
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

// The whole of a file, empty when there is none; false when it cannot be read.
bool ReadWholeFile(const char* path, std::string* text) {
    text->clear();
    tw::UniqueFileHandle file(
        ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    DWORD high = 0;
    DWORD size = ::GetFileSize(file.Get(), &high);
    if (size == INVALID_FILE_SIZE || high != 0)
        return false;
    text->resize(size);
    DWORD read = 0;
    return size == 0 || (::ReadFile(file.Get(), &(*text)[0], size, &read, nullptr) && read == size);
}

// Replaces the bytes of a file and has them reach the disk.
bool WriteWholeFile(const char* path, const std::string& text) {
    tw::UniqueFileHandle file(
        ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && ::SetEndOfFile(file.Get()) && ::FlushFileBuffers(file.Get());
}

// Makes the new boot.ini beside the old one: a copy of it (or nothing), the keys written
// through the profile writer, the text that results edited with editText and put on the
// disk. True, with that text in *text, when all of it was done.
template <std::size_t N>
bool MakeNewBootIni(bool hadFile, const BootIniEntry (&entries)[N], std::string (*editText)(const std::string&),
                    std::string* text) {
    ::SetFileAttributesA(kBootIniNewPath, FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileA(kBootIniNewPath) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    if (hadFile && !::CopyFileA(kBootIni, kBootIniNewPath, TRUE))
        return false;
    ::SetFileAttributesA(kBootIniNewPath, FILE_ATTRIBUTE_NORMAL);  // the copy took boot.ini's
    for (const BootIniEntry& entry : entries)
        ::WritePrivateProfileStringA(entry.section, entry.key, entry.value, kBootIniNewPath);
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, kBootIniNewPath);  // flush any cached copy
    std::string written;
    if (!ReadWholeFile(kBootIniNewPath, &written) || !Exists(kBootIniNewPath))
        return false;
    *text = editText(written);
    return WriteWholeFile(kBootIniNewPath, *text);
}

// Makes the new boot.ini beside the old one and renames it over boot.ini, so that a power
// cut leaves the whole old file or the whole new one (the profile writer alone rewrites a
// file in place), then reads everything back; when something does not read back, the copy
// taken before goes back in place. True, with the text of boot.ini in *result, when all of
// it read back.
template <std::size_t N>
bool EditBootIni(const BootIniEntry (&entries)[N], std::string (*editText)(const std::string&), std::string* result) {
    bool hadFile = Exists(kBootIni);
    if (!CopyBootIniAside())
        return false;
    std::string edited;
    bool replaced = MakeNewBootIni(hadFile, entries, editText, &edited);
    if (replaced && hadFile)
        replaced = ::SetFileAttributesA(kBootIni, FILE_ATTRIBUTE_NORMAL) != FALSE;  // a read-only file is not replaced
    replaced = replaced && ::MoveFileExA(kBootIniNewPath, kBootIni, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced)
        ::DeleteFileA(kBootIniNewPath);
    std::string written;
    bool readBack = replaced && ReadWholeFile(kBootIni, &written) && written == edited;
    for (const BootIniEntry& entry : entries)
        readBack = readBack && ReadsBack(entry);
    if (!readBack && hadFile) {
        ::SetFileAttributesA(kBootIni, FILE_ATTRIBUTE_NORMAL);
        ::CopyFileA(kBootIniCopyPath, kBootIni, FALSE);
    }
    *result = written;
    // Hidden and read-only, as the loader's own file is kept; the system attribute stays off.
    return ::SetFileAttributesA(kBootIni, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY) != FALSE && readBack;
}

}  // namespace

BootMenuEntries AddBootMenuEntries() {
    std::string result;
    if (!EditBootIni(kInstalledEntries, WithRestoreEntry, &result))
        return BootMenuEntries::kNone;
    return HasRestoreEntry(result) ? BootMenuEntries::kAll : BootMenuEntries::kAllButRestore;
}

bool RemoveBootMenuEntries() {
    std::string result;
    return EditBootIni(kRemovedEntries, WithoutRestoreEntries, &result);
}
