// Temporary-name writing and renaming for the package tools.
#include "PlaceFile.h"

namespace package {

namespace {

// A fresh, empty, uniquely named file in the target's folder, so that the
// rename never crosses volumes. Empty string when none could be made.
std::string MakeTempFile(const std::string& finalPath) {
    std::string folder = FolderOf(finalPath);
    char temp[MAX_PATH];
    if (GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "tw", 0, temp) == 0)
        return std::string();
    return temp;
}

// Renames temp over finalPath, clearing a read-only target first (and setting
// it again when the rename fails). Deletes temp on failure.
bool RenameOver(const std::string& temp, const std::string& finalPath) {
    DWORD attributes = GetFileAttributesA(finalPath.c_str());
    bool wasReadOnly = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                       (attributes & FILE_ATTRIBUTE_READONLY);
    if (wasReadOnly)
        SetFileAttributesA(finalPath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (MoveFileExA(temp.c_str(), finalPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (wasReadOnly)
        SetFileAttributesA(finalPath.c_str(), attributes);
    SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temp.c_str());
    return false;
}

bool WriteAll(const std::string& path, const void* data, DWORD size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = (size == 0 || WriteFile(file, data, size, &written, nullptr)) && written == size;
    ok = FlushFileBuffers(file) && ok;  // a full disk may only show here
    return CloseHandle(file) && ok;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool CreateFolderPath(const std::string& folder) {
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    std::string parent = FolderOf(folder);
    if (!parent.empty() && parent.back() != ':' && !CreateFolderPath(parent))
        return false;
    return CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteFileInPlace(const std::string& finalPath, const void* data, DWORD size) {
    std::string temp = MakeTempFile(finalPath);
    if (temp.empty())
        return false;
    if (!WriteAll(temp, data, size)) {
        DeleteFileA(temp.c_str());
        return false;
    }
    return RenameOver(temp, finalPath);
}

}  // namespace package
