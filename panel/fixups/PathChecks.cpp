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

// An empty text names no file; one that cannot be tested counts as present.
template <typename MakeCandidates, typename Exists>
bool AnyCandidateExists(const char* text, MakeCandidates makeCandidates, Exists exists) {
    if (!text || !*text)
        return false;
    std::string windows = tw::WindowsFolder();
    if (windows.empty())
        return true;
    ProgramPaths candidates = makeCandidates(windows);
    if (candidates.tooLong)
        return true;
    for (const std::string& path : candidates.paths) {
        if (exists(windows, path))
            return true;
    }
    return false;
}

}  // namespace

bool CheckImagePath(const char* imagePath) {
    return AnyCandidateExists(
        imagePath,
        [&](const std::string& windows) { return ImagePathCandidates(imagePath, windows, &ExpandEnvironment); },
        [](const std::string&, const std::string& path) { return FileExists(path); });
}

bool CheckRunPath(const char* command) {
    return AnyCandidateExists(
        command, [&](const std::string&) { return RunPathCandidates(command, &ExpandEnvironment); },
        [](const std::string& windows, const std::string& path) {
            if (IsRootedRunPath(path))
                return FileExists(path);
            return FileExistsFrom(windows, path) || FileExistsFrom(windows + "\\system32", path);
        });
}
