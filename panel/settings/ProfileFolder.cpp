// The profile folder behind the desktop folder, the userpath value and the program folder.
#include "ProfileFolder.h"

namespace {

const char kPanelFileName[] = "tarwenApp.exe";

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

}  // namespace

bool IsCp936LeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

bool ProfileFolderFromDesktop(const char* desktop, LeadBytePredicate isLeadByte, std::string* folder) {
    if (!desktop)
        return false;
    // Walk character by character so that a trail byte is never taken for a
    // separator; the cut goes before the separators ahead of the last name.
    std::size_t cut = std::string::npos;
    std::size_t runStart = std::string::npos;
    for (std::size_t i = 0; desktop[i];) {
        if (IsSeparator(desktop[i])) {
            if (runStart == std::string::npos)
                runStart = i;
            ++i;
            continue;
        }
        if (runStart != std::string::npos) {
            cut = runStart;
            runStart = std::string::npos;
        }
        i += isLeadByte(static_cast<unsigned char>(desktop[i])) && desktop[i + 1] ? 2 : 1;
    }
    if (cut == std::string::npos || cut == 0)
        return false;
    folder->assign(desktop, cut);
    return true;
}

std::string UserPathValue(const std::string& folder) {
    std::string value = "\\??\\" + folder;
    for (char& c : value) {
        if (c == ' ')
            c = '*';
    }
    return value;
}

bool FolderOfUserPath(const std::string& value, std::string* folder) {
    const std::string prefix = "\\??\\";
    if (value.size() <= prefix.size() || value.compare(0, prefix.size(), prefix) != 0)
        return false;
    *folder = value.substr(prefix.size());
    for (char& c : *folder) {
        if (c == '*')
            c = ' ';
    }
    return true;
}

std::string ProgramFolderOf(const std::string& modulePath) {
    const std::size_t nameLength = sizeof kPanelFileName - 1;
    if (modulePath.size() < nameLength)
        return std::string();
    return modulePath.substr(0, modulePath.size() - nameLength);
}
