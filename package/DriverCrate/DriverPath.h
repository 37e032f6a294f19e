// Which service image paths name a driver file under the Windows folder, and
// the path of that file relative to the Windows folder. Pure text rules, so
// that backup and restore agree on them and a host test can hold them.
#pragma once

#include <string>

namespace driver_crate {

// The driver file that a service's ImagePath names, relative to windowsDir
// ("system32\drivers\x.sys"), or "" when it is no ".sys" file under it.
// Accepted forms: relative to the Windows folder ("system32\drivers\x.sys"),
// "\SystemRoot\...", "%SystemRoot%\..." or "%windir%\...", and full paths
// ("C:\WINDOWS\...", "\??\C:\WINDOWS\...") that lie under windowsDir.
// Prefixes compare without regard to case; quotes around the path are dropped.
std::string DriverPathUnderWindows(const std::string& imagePath, const std::string& windowsDir);

// True when relative names a file below a folder and cannot leave it: not
// empty, no drive, no leading backslash, no "." or ".." component. Restore
// checks the names of its manifest with it.
bool IsContainedRelativePath(const std::string& relative);

}  // namespace driver_crate
