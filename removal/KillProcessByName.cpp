// Ends a process by its image: the package's own process by name, and no other program that happens to share the name.
#include "Removal.h"

#include "Handles.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace {

const DWORD kEndWaitMs = 5000;

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether path lies below the package folder. The folder's name is plain
// ASCII, so a byte-wise comparison without case cannot match inside a
// double-byte character.
bool IsInPackageFolder(const char* path) {
    std::size_t length = std::strlen(kPackageFolder);
    for (std::size_t i = 0; i < length; ++i) {
        if (LowerAscii(path[i]) != LowerAscii(kPackageFolder[i]))
            return false;  // also stops at the end of a shorter path
    }
    return path[length] == '\\';
}

// The full path of a process's executable, from its first module.
bool ImagePathOf(DWORD processId, char* path, std::size_t size) {
    tw::UniqueFileHandle modules(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    if (!modules || !::Module32First(modules.Get(), &module))
        return false;
    return std::snprintf(path, size, "%s", module.szExePath) < static_cast<int>(size);
}

// Ends the first process named imageName (case-sensitive) whose full image path
// isWanted accepts, and waits for it to end; later processes of the name are left running.
template <typename ImageTest>
void EndFirstProcess(const char* imageName, ImageTest isWanted) {
    if (!imageName || !*imageName)
        return;
    tw::UniqueFileHandle processes(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!processes)
        return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(processes.Get(), &entry); more; more = ::Process32Next(processes.Get(), &entry)) {
        char image[MAX_PATH] = {};
        if (std::strcmp(entry.szExeFile, imageName) != 0 || !ImagePathOf(entry.th32ProcessID, image, sizeof image) ||
            !isWanted(image))
            continue;
        tw::UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        // Termination is asynchronous; its image file can be deleted only once it has ended.
        if (process && ::TerminateProcess(process.Get(), 0))
            ::WaitForSingleObject(process.Get(), kEndWaitMs);
        return;
    }
}

}  // namespace

void KillProcessByName(const char* imageName) {
    EndFirstProcess(imageName, IsInPackageFolder);
}

void KillProcessByImage(const char* imagePath) {
    if (!imagePath)
        return;
    const char* separator = std::strrchr(imagePath, '\\');
    if (!separator) {
        EndFirstProcess(imagePath, [](const char*) { return true; });
        return;
    }
    // lstrcmpi compares in the system's code page, so double-byte folder names compare whole.
    EndFirstProcess(separator + 1, [imagePath](const char* image) { return ::lstrcmpiA(image, imagePath) == 0; });
}
