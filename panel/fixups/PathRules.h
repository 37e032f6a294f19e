// Text rules that turn a service's ImagePath or an autostart command into the program paths to test.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Expands %name% environment variables; returns the text unchanged when it cannot.
using ExpandFunction = std::string (*)(const std::string&);

// Longest path the ANSI file functions take (MAX_PATH less its NUL); a longer one counts
// as present, as it cannot be tested.
const std::size_t kMaxTestedPath = 259;

// The paths a command line may name as its program: the file is present when any exists.
struct ProgramPaths {
    std::vector<std::string> paths;
    bool tooLong = false;  // a path grew past kMaxTestedPath: count the file as present
};

// ASCII letters lower-cased; double-byte characters of code page 936 left whole, so
// that a trail byte in 'A'..'Z' is never changed, whatever the thread's code page.
std::string LowerCp936(const std::string& text);

// The old rule's single guess, kept as the first path, then the program a leading quote
// closes, or (unquoted) each prefix ending before a blank and the whole text. ImagePath
// prefixes "%systemroot%", "\systemroot", "\??\" and "system32" are resolved against the
// Windows folder. No paths for an empty text.
ProgramPaths ImagePathCandidates(const std::string& imagePath, const std::string& windowsFolder,
                                 ExpandFunction expand);
// The same for an autostart command, without the prefix rules, and with ".exe" added to a
// program text that has no extension; relative paths are left relative (looked up in the
// Windows folder and then in system32).
ProgramPaths RunPathCandidates(const std::string& command, ExpandFunction expand);

// An autostart path tested as written: one beginning with ":\" or "\".
bool IsRootedRunPath(const std::string& path);

// The full paths at which a service's program may lie, for one candidate path: a path with a
// drive or a leading backslash as written; a bare name where CreateProcess looks for it (the
// system32 and system folders, the Windows folder, each folder of searchPath, ".exe" added
// when it has no extension); any other relative path in system32 and in the Windows folder.
std::vector<std::string> ImageSearchPaths(const std::string& candidate, const std::string& windowsFolder,
                                          const std::string& searchPath);

// Win32 values that FailureMeansMissing reads (winerror.h, GetDriveType).
const unsigned long kErrorFileNotFound = 2;
const unsigned long kErrorPathNotFound = 3;
const unsigned kDriveFixed = 3;

// Whether a failed existence test says the file is missing: only "file not found" or "path
// not found" on a local fixed drive. A network path before the network is up, a reader
// without media, a drive that is not there or access denied say nothing about the file.
bool FailureMeansMissing(unsigned long error, unsigned driveType);

// The root whose drive type decides FailureMeansMissing for path: "c:\" for a drive path,
// "\\server\share\" for a network path, "" for a path on the current folder's drive.
std::string DriveRootOf(const std::string& path);
