// The Windows folder as the platform reports it. Free of panel code: the uninstaller library builds it in.
#pragma once

#include <string>

// Empty when the platform does not answer or the folder would not fit a path:
// callers must then leave alone whatever lies below it, since "\twsafe" alone
// names a folder at the root of the current drive.
std::string WindowsFolder();
