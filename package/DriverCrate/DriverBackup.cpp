// Driver backup and restore over the Services key and the backup folder.
#include "DriverBackup.h"

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "DriverManifest.h"
#include "DriverPath.h"
#include "PlaceFile.h"

namespace driver_crate {

namespace {

const char kBackupFolder[] = "c:\\sysh\\drivers";
const char kManifest[] = "c:\\sysh\\drivers\\drivers.lst";
const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
const char kReplacedSuffix[] = ".twold";

std::string WindowsFolder() {
    char folder[MAX_PATH];
    UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(folder) : std::string();
}

std::string Lowered(std::string text) {
    CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));  // code-page aware
    return text;
}

// The ImagePath of one service, "" when it has none (or none as text).
std::string ImagePathOf(HKEY services, const char* name) {
    HKEY service;
    if (RegOpenKeyExA(services, name, 0, KEY_QUERY_VALUE, &service) != ERROR_SUCCESS)
        return std::string();
    char data[1024];
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(service, "ImagePath", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(service);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    data[size] = '\0';  // the stored value need not end in a NUL
    return data;
}

// Every distinct driver file the Services key names, relative to the Windows folder.
std::vector<std::string> DriverFilesOfServices(const std::string& windowsDir) {
    std::vector<std::string> files;
    HKEY services;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_ENUMERATE_SUB_KEYS, &services) != ERROR_SUCCESS)
        return files;
    std::set<std::string> seen;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        LONG status = RegEnumKeyExA(services, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        std::string relative = DriverPathUnderWindows(ImagePathOf(services, name), windowsDir);
        if (!relative.empty() && seen.insert(Lowered(relative)).second)
            files.push_back(relative);
    }
    RegCloseKey(services);
    return files;
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char buffer[65536];
    DWORD got = 0;
    bool ok;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != FALSE) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return ok;
}

// Puts bytes at path through a temporary file that is flushed before its rename.
bool PlaceBytes(const std::string& path, const std::string& bytes) {
    return package::CreateFolderPath(package::FolderOf(path)) &&
           package::WriteFileInPlace(path, bytes.data(), static_cast<DWORD>(bytes.size()));
}

// Puts one backed-up driver back where it differs from the installed file. A copy that does
// not match its manifest line is refused; the file it would replace is kept first as
// "name.sys.twold", so that the restore can be undone by hand. The driver's own name holds
// either the old or the restored file at every moment.
bool RestoreDriver(const std::string& windowsDir, const ManifestEntry& entry) {
    std::string copy;
    if (!ReadWholeFile(std::string(kBackupFolder) + "\\" + entry.relative, copy) || !IsSoundCopy(entry, copy))
        return false;
    std::string target = windowsDir + "\\" + entry.relative;
    if (FileExists(target)) {
        std::string installed;
        if (!ReadWholeFile(target, installed))
            return false;
        if (installed == copy)
            return true;
        if (!PlaceBytes(target + kReplacedSuffix, installed))
            return false;
    }
    return PlaceBytes(target, copy);
}

}  // namespace

bool BackupDrivers() {
    std::string windowsDir = WindowsFolder();
    if (windowsDir.empty() || !package::CreateFolderPath(kBackupFolder))
        return false;
    bool ok = true;
    std::string manifest;
    for (const std::string& relative : DriverFilesOfServices(windowsDir)) {
        std::string source = windowsDir + "\\" + relative;
        if (!FileExists(source))
            continue;  // a service whose file is gone has nothing to back up
        std::string bytes;
        if (ReadWholeFile(source, bytes) && PlaceBytes(std::string(kBackupFolder) + "\\" + relative, bytes))
            manifest += ManifestLine(relative, bytes) + "\r\n";
        else
            ok = false;
    }
    // Written last, when every copy it names is flushed: it never names a copy that is not complete.
    return PlaceBytes(kManifest, manifest) && ok;
}

bool RestoreDrivers() {
    std::string windowsDir = WindowsFolder();
    std::string manifest;
    if (windowsDir.empty() || !ReadWholeFile(kManifest, manifest))
        return false;  // no backup was made
    bool ok = true;
    for (const std::string& line : ManifestLines(manifest)) {
        ManifestEntry entry;
        ok = ParseManifestLine(line, &entry) && RestoreDriver(windowsDir, entry) && ok;
    }
    return ok;
}

}  // namespace driver_crate
