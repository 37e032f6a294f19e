// Program paths of service and autostart command lines, over code page 936 text.
//
// Every search walks whole characters: a GBK trail byte can be 0x5C ("\"), which is no
// separator, so positions are only ever compared at character starts.
#include "PathRules.h"

#include "ProfileFolder.h"

namespace {

const int kMaxCountedSeparators = 32;

std::size_t CharLength(const std::string& text, std::size_t i) {
    return IsCp936LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// First position at or after from where the character c stands; npos when none.
std::size_t FindChar(const std::string& text, char c, std::size_t from) {
    for (std::size_t i = from; i < text.size(); i += CharLength(text, i)) {
        if (text[i] == c)
            return i;
    }
    return std::string::npos;
}

bool BeginsWith(const std::string& text, const char* pattern) {
    return text.compare(0, std::char_traits<char>::length(pattern), pattern) == 0;
}

// Every occurrence of pattern (at a character start) replaced; the replacement is not searched.
std::string ReplaceAll(const std::string& text, const std::string& pattern, const std::string& replacement) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, pattern.size(), pattern) == 0) {
            out += replacement;
            i += pattern.size();
            continue;
        }
        std::size_t length = CharLength(text, i);
        out.append(text, i, length);
        i += length;
    }
    return out;
}

std::string RemoveQuotes(const std::string& text) { return ReplaceAll(text, "\"", ""); }

// The old argument cut: behind the last of at most 32 separators, the text ends at the first blank.
std::string CutArguments(const std::string& text) {
    std::size_t nameStart = 0;
    int separators = 0;
    for (std::size_t i = 0; i < text.size() && separators < kMaxCountedSeparators; i += CharLength(text, i)) {
        if (text[i] == '\\') {
            nameStart = i + 1;
            ++separators;
        }
    }
    std::size_t blank = FindChar(text, ' ', nameStart);
    return blank == std::string::npos ? text : text.substr(0, blank);
}

// Where the program of a command line may end: inside a leading pair of quotes, or before
// any blank of an unquoted text, or at its end. Quotes removed; lower-cased text in.
std::vector<std::string> ProgramTexts(const std::string& text) {
    if (!text.empty() && text[0] == '"') {
        std::size_t close = FindChar(text, '"', 1);
        if (close != std::string::npos)
            return {text.substr(1, close - 1)};
    }
    std::string unquoted = RemoveQuotes(text);
    std::vector<std::string> texts;
    for (std::size_t blank = FindChar(unquoted, ' ', 0); blank != std::string::npos;
         blank = FindChar(unquoted, ' ', blank + 1)) {
        if (blank > 0)
            texts.push_back(unquoted.substr(0, blank));
    }
    texts.push_back(unquoted);
    return texts;
}

// The service prefix rules; only the first that applies.
std::string ResolveImagePrefix(const std::string& text, const std::string& windowsFolder) {
    if (BeginsWith(text, "%systemroot%"))
        return ReplaceAll(text, "%systemroot%", windowsFolder);
    if (BeginsWith(text, "\\systemroot"))
        return windowsFolder + text.substr(11);
    if (BeginsWith(text, "\\??\\"))
        return ReplaceAll(text, "\\??\\", "");
    if (BeginsWith(text, "system32"))
        return windowsFolder + "\\" + text;
    return text;
}

void AddPath(ProgramPaths& result, const std::string& path) {
    if (path.empty())
        return;
    if (path.size() > kMaxTestedPath)
        result.tooLong = true;
    for (const std::string& known : result.paths) {
        if (known == path)
            return;
    }
    result.paths.push_back(path);
}

// Whether the last name of a path has a dot, as "x.exe" has and "rundll32" has not.
bool HasExtension(const std::string& path) {
    bool dot = false;
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i)) {
        if (path[i] == '\\')
            dot = false;
        else if (path[i] == '.')
            dot = true;
    }
    return dot;
}

// "c:..." (a letter and a colon) names its drive.
bool HasDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
}

// Whether the last character is a separator (a GBK trail byte 5C is none).
bool EndsWithSeparator(const std::string& path) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i))
        last = i;
    return last != std::string::npos && path[last] == '\\';
}

// resolve turns one program text into a path (identity for autostart commands). With
// addExe, a program text without an extension is also tried with ".exe", as the system
// tries it when it starts "rundll32 x.dll,y".
template <typename Resolve>
ProgramPaths Candidates(const std::string& command, ExpandFunction expand, Resolve resolve, bool addExe) {
    ProgramPaths result;
    if (command.empty())
        return result;
    std::string lower = LowerCp936(command);
    AddPath(result, expand(CutArguments(resolve(RemoveQuotes(lower)))));
    for (const std::string& program : ProgramTexts(lower)) {
        std::string path = expand(resolve(program));
        AddPath(result, path);
        if (addExe && !path.empty() && !HasExtension(path))
            AddPath(result, path + ".exe");
    }
    return result;
}

}  // namespace

std::string LowerCp936(const std::string& text) {
    std::string lower = text;
    for (std::size_t i = 0; i < lower.size(); i += CharLength(lower, i)) {
        if (lower[i] >= 'A' && lower[i] <= 'Z')
            lower[i] = static_cast<char>(lower[i] - 'A' + 'a');
    }
    return lower;
}

ProgramPaths ImagePathCandidates(const std::string& imagePath, const std::string& windowsFolder,
                                 ExpandFunction expand) {
    return Candidates(imagePath, expand,
                      [&](const std::string& text) { return ResolveImagePrefix(text, windowsFolder); }, false);
}

ProgramPaths RunPathCandidates(const std::string& command, ExpandFunction expand) {
    return Candidates(command, expand, [](const std::string& text) { return text; }, true);
}

bool IsRootedRunPath(const std::string& path) { return BeginsWith(path, ":\\") || BeginsWith(path, "\\"); }

std::vector<std::string> ImageSearchPaths(const std::string& candidate, const std::string& windowsFolder,
                                          const std::string& searchPath) {
    if (HasDrive(candidate) || IsRootedRunPath(candidate))
        return {candidate};
    if (FindChar(candidate, '\\', 0) != std::string::npos)
        return {windowsFolder + "\\system32\\" + candidate, windowsFolder + "\\" + candidate};
    std::string name = HasExtension(candidate) ? candidate : candidate + ".exe";
    std::vector<std::string> paths = {windowsFolder + "\\system32\\" + name, windowsFolder + "\\system\\" + name,
                                      windowsFolder + "\\" + name};
    for (std::size_t start = 0; start <= searchPath.size();) {
        std::size_t end = FindChar(searchPath, ';', start);
        if (end == std::string::npos)
            end = searchPath.size();
        std::string folder = RemoveQuotes(searchPath.substr(start, end - start));
        if (!folder.empty())
            paths.push_back(folder + (EndsWithSeparator(folder) ? "" : "\\") + name);
        start = end + 1;
    }
    return paths;
}

bool FailureMeansMissing(unsigned long error, unsigned driveType) {
    return (error == kErrorFileNotFound || error == kErrorPathNotFound) && driveType == kDriveFixed;
}

std::string DriveRootOf(const std::string& path) {
    if (HasDrive(path))
        return path.substr(0, 2) + "\\";
    if (!BeginsWith(path, "\\\\"))
        return std::string();
    std::size_t share = FindChar(path, '\\', 2);
    std::size_t end = share == std::string::npos ? std::string::npos : FindChar(path, '\\', share + 1);
    return (end == std::string::npos ? path : path.substr(0, end)) + "\\";
}
