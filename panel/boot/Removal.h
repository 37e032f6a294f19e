// Removal helpers of the boot integration. Free of panel code: the uninstaller library builds them in.
#pragma once

// The repair environment package, unpacked by twsysh.exe.
extern const char kPackageFolder[];

// Removes folder (no trailing separator) with everything below it, read-only
// and hidden entries included. A link below it (junction, symbolic link) is
// removed itself, never what it points to. Paths that would not fit MAX_PATH
// are passed over; a drive root or a relative path is refused. Reports nothing:
// what cannot be deleted stays, and so do the folders above it.
void DeleteTree(const char* folder);

// Ends the first running process whose executable file name is exactly
// imageName (case-sensitive) and whose image lies below the package folder,
// and waits a few seconds for it to end.
void KillProcessByName(const char* imageName);
