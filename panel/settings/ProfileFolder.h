// Folders the panel derives from paths: the user's profile folder behind the desktop, and its own program folder.
#pragma once

#include <string>

// Whether a byte opens a double-byte character of the system's code page;
// a trail byte may look like a backslash.
using LeadBytePredicate = bool (*)(unsigned char);
bool IsCp936LeadByte(unsigned char byte);

// The parent of the desktop folder, without a trailing separator: the
// profile folder for a desktop in its usual place, whatever the desktop's
// name in the system's language. False when the path names no parent.
bool ProfileFolderFromDesktop(const char* desktop, LeadBytePredicate isLeadByte, std::string* folder);

// The userpath value: "\??\" and the folder, each blank stored as "*".
std::string UserPathValue(const std::string& folder);
// The folder a userpath value names, as the boot-time program reads it;
// false for a value without "\??\" and a folder.
bool FolderOfUserPath(const std::string& value, std::string* folder);

// The module path less the 13 characters of "tarwenApp.exe", backslash kept;
// empty when the path is shorter than that name.
std::string ProgramFolderOf(const std::string& modulePath);
