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

// The process's search path, "" when there is none.
std::string ProcessSearchPath() {
    DWORD size = ::GetEnvironmentVariableA("PATH", nullptr, 0);
    std::string path(size, '\0');
    DWORD length = size ? ::GetEnvironmentVariableA("PATH", &path[0], size) : 0;
    path.resize(length < size ? length : 0);
    return path;
}

// Whether the program may lie at path: a file is there, or the test could not tell (only
// "not found" on a local fixed drive says missing). A folder is no program: a cut at a
// blank may name the folder a program lies in.
bool FileMayExist(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    DWORD error = ::GetLastError();
    std::string root = DriveRootOf(path);
    return !FailureMeansMissing(error, ::GetDriveTypeA(root.empty() ? nullptr : root.c_str()));
}

// A folder that cannot be made current leaves the test undecided: the file may be there.
bool FileMayExistFrom(const std::string& folder, const std::string& path) {
    return !::SetCurrentDirectoryA(folder.c_str()) || FileMayExist(path);
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
    std::string searchPath = ProcessSearchPath();
    return AnyCandidateExists(
        imagePath,
        [&](const std::string& windows) { return ImagePathCandidates(imagePath, windows, &ExpandEnvironment); },
        [&](const std::string& windows, const std::string& path) {
            for (const std::string& searched : ImageSearchPaths(path, windows, searchPath)) {
                if (FileMayExist(searched))
                    return true;
            }
            return false;
        });
}

bool CheckRunPath(const char* command) {
    return AnyCandidateExists(
        command, [&](const std::string&) { return RunPathCandidates(command, &ExpandEnvironment); },
        [](const std::string& windows, const std::string& path) {
            if (IsRootedRunPath(path))
                return FileMayExist(path);
            return FileMayExistFrom(windows, path) || FileMayExistFrom(windows + "\\system32", path);
        });
}

static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
                  kDriveFixed == DRIVE_FIXED,
              "the path rules read the Win32 values");
