// Folder tree removal that never leaves the tree: links are removed, not followed.
#include "Removal.h"

#include "Handles.h"

#include <cstring>
#include <string>

const char kPackageFolder[] = "c:\\sysh\\kest";

namespace {

bool IsDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// "c:\x" and longer absolute paths; never "c:", "c:\", "\" or a relative name.
bool IsRemovableFolder(const std::string& folder) {
    bool drivePath = folder.size() > 3 && folder[1] == ':' && folder[2] == '\\';
    bool uncPath = folder.size() > 2 && folder[0] == '\\' && folder[1] == '\\';
    return (drivePath || uncPath) && folder.size() < MAX_PATH;
}

void RemoveBelow(const std::string& folder, FirstError& error) {
    const std::string pattern = folder + "\\*";
    if (pattern.size() >= MAX_PATH) {
        error.Note(ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    WIN32_FIND_DATAA entry;
    tw::UniqueFindHandle search(::FindFirstFileA(pattern.c_str(), &entry));
    if (!search) {
        error.Note(::GetLastError());
        return;
    }
    do {
        if (IsDotEntry(entry.cFileName))
            continue;
        const std::string path = folder + "\\" + entry.cFileName;
        if (path.size() >= MAX_PATH) {
            error.Note(ERROR_FILENAME_EXCED_RANGE);
            continue;  // cannot be named through the A functions; it stays
        }
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (isFolder && !isLink)
            RemoveBelow(path, error);
        if (isFolder)
            error.NoteLastErrorUnless(::RemoveDirectoryA(path.c_str()));  // for a junction: the link alone
        else
            error.NoteLastErrorUnless(::DeleteFileA(path.c_str()));
    } while (::FindNextFileA(search.Get(), &entry));
}

}  // namespace

DWORD DeleteTree(const char* folder) {
    if (!folder || !IsRemovableFolder(folder))
        return ERROR_INVALID_NAME;
    FirstError error;
    DWORD attributes = ::GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        RemoveBelow(folder, error);
    if (::RemoveDirectoryA(folder))
        return ERROR_SUCCESS;
    error.Note(::GetLastError());
    return error.Get();
}
