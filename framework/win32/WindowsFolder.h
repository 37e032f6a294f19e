// The Windows folder and the files kept in it. Depends on Win32 alone, like Handles.h.
#pragma once

#include <windows.h>

#include <string>

namespace tw {

// Without a trailing separator. Empty when the system does not answer or the name
// would not fit: callers refuse then, as a guessed folder could be another drive's root.
inline std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    UINT length = ::GetWindowsDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return std::string();
    return folder;
}

// name inside the Windows folder; empty when the folder cannot be read.
inline std::string WindowsFolderFile(const char* name) {
    std::string folder = WindowsFolder();
    return folder.empty() ? folder : folder + "\\" + name;
}

}  // namespace tw
