// twsysh.exe: unpacks the repair environment package that it carries into
// "c:\sysh\kest". No window and no question: the install waits for it.
//
// Each packaged file is one RCDATA resource; the string with the same id
// names where it goes, relative to the package folder (ids 1, 2, ... without
// gaps). Exit status 0 only when every file is in place, 1 otherwise.
#include <windows.h>

#include <string>

#include "PlaceFile.h"

namespace {

const char kPackageFolder[] = "c:\\sysh\\kest";

// Puts the packaged file with this id in place. False when it is missing
// from the program or could not be written.
bool UnpackFile(HINSTANCE instance, UINT id, const std::string& relativeName) {
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    std::string path = std::string(kPackageFolder) + "\\" + relativeName;
    return package::CreateFolderPath(package::FolderOf(path)) &&
           package::WriteFileInPlace(path, data, SizeofResource(instance, found));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // A failed file does not stop the others: the more of the package is
    // current, the better; the exit status still tells of the failure.
    bool allPlaced = package::CreateFolderPath(kPackageFolder);
    UINT count = 0;
    char relativeName[MAX_PATH];
    while (LoadStringA(instance, count + 1, relativeName, sizeof relativeName) > 0) {
        ++count;
        allPlaced = UnpackFile(instance, count, relativeName) && allPlaced;
    }
    return allPlaced && count > 0 ? 0 : 1;
}
