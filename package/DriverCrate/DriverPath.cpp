// Service image path rules of the driver backup tool.
#include "DriverPath.h"

namespace driver_crate {

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (AsciiLower(text[i]) != AsciiLower(prefix[i]))
            return false;
    return true;
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && StartsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string Unquoted(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\"");
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(" \t\"");
    return text.substr(first, last - first + 1);
}

bool IsFullPath(const std::string& path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

// The part of imagePath below the Windows folder, "" when it is not below it.
std::string BelowWindows(std::string path, const std::string& windowsDir) {
    for (const char* prefix : {"\\SystemRoot\\", "%SystemRoot%\\", "%windir%\\"})
        if (StartsWithNoCase(path, prefix))
            return path.substr(std::string(prefix).size());
    if (StartsWithNoCase(path, "\\??\\"))
        path = path.substr(4);
    if (IsFullPath(path)) {
        std::string folder = windowsDir;
        if (!folder.empty() && folder.back() == '\\')
            folder.pop_back();
        return StartsWithNoCase(path, folder + "\\") ? path.substr(folder.size() + 1) : std::string();
    }
    return path.empty() || path[0] == '\\' ? std::string() : path;  // relative: to the Windows folder
}

}  // namespace

bool IsContainedRelativePath(const std::string& relative) {
    if (relative.empty() || relative[0] == '\\' || relative[0] == '/' ||
        relative.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = relative.size();
        std::string part = relative.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

std::string DriverPathUnderWindows(const std::string& imagePath, const std::string& windowsDir) {
    std::string relative = BelowWindows(Unquoted(imagePath), windowsDir);
    if (!EndsWithNoCase(relative, ".sys") || !IsContainedRelativePath(relative))
        return std::string();
    return relative;
}

}  // namespace driver_crate
