// The file tests behind the path rules: Windows folder, environment and current folder.
#include "PathChecks.h"

#include "PathRules.h"
#include "WindowsFolder.h"

#include <windows.h>

namespace {

std::string ExpandEnvironment(const std::string& text) {
    if (text.find('%') == std::string::npos)
        return text;
    char expanded[1024];
    DWORD length = ::ExpandEnvironmentStringsA(text.c_str(), expanded, sizeof expanded);
    if (length == 0 || length > sizeof expanded)
        return text;
    return expanded;
}

// A file, not a folder: a cut at a blank may name the folder a program lies in.
bool FileExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExistsFrom(const std::string& folder, const std::string& path) {
    return ::SetCurrentDirectoryA(folder.c_str()) && FileExists(path);
}

}  // namespace

bool CheckImagePath(const char* imagePath) {
    if (!imagePath || !*imagePath)
        return false;
    std::string windows = tw::WindowsFolder();
    if (windows.empty())
        return true;
    ProgramPaths candidates = ImagePathCandidates(imagePath, windows, &ExpandEnvironment);
    if (candidates.tooLong)
        return true;
    for (const std::string& path : candidates.paths) {
        if (FileExists(path))
            return true;
    }
    return false;
}

bool CheckRunPath(const char* command) {
    if (!command || !*command)
        return false;
    std::string windows = tw::WindowsFolder();
    if (windows.empty())
        return true;
    ProgramPaths candidates = RunPathCandidates(command, &ExpandEnvironment);
    if (candidates.tooLong)
        return true;
    for (const std::string& path : candidates.paths) {
        if (IsRootedRunPath(path) ? FileExists(path)
                                  : FileExistsFrom(windows, path) || FileExistsFrom(windows + "\\system32", path))
            return true;
    }
    return false;
}
