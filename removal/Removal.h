// The removal of the boot integration and its helpers. Free of panel code: the uninstaller library builds them in.
#pragma once

#include <windows.h>

// The repair environment package, unpacked by twsysh.exe.
extern const char kPackageFolder[];

// Keeps the first error of a removal that left something in place: a file or
// folder that is not there (any more) is no error.
class FirstError {
public:
    void Note(DWORD error) {
        if (m_error == ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            m_error = error;
    }
    void NoteLastErrorUnless(BOOL succeeded) {
        if (!succeeded)
            Note(::GetLastError());
    }
    DWORD Get() const { return m_error; }

private:
    DWORD m_error = ERROR_SUCCESS;
};

// Removes what the install command deployed, in this order: the package's
// process twsystem.exe (its image could not be deleted while it runs), the
// package folder, the snapshot store, system32\twrepair.exe, the autostart
// value, the boot menu entries and a Run subkey of the autostart value's
// name. BootExecute, c:\WRLDR, the time-out and both settings files stay.
// Every step runs; returns 0, or the first error of a step that left
// something in place.
DWORD RemoveInstalledFiles();

// Removes folder (no trailing separator) with everything below it, read-only
// and hidden entries included. A link below it (junction, symbolic link) is
// removed itself, never what it points to. Paths that would not fit MAX_PATH
// are passed over; a drive root, a relative or an empty path is refused
// (ERROR_INVALID_NAME). Whatever cannot be deleted stays, and so do the
// folders above it. Returns 0 when the folder is gone afterwards (or was never
// there), otherwise the first error that kept something in place.
DWORD DeleteTree(const char* folder);

// Ends the first running process whose executable file name is exactly
// imageName (case-sensitive) and whose image lies below the package folder,
// and waits a few seconds for it to end.
void KillProcessByName(const char* imageName);

// Ends the first running process whose image is imagePath (a full path,
// compared without regard to case; the file name must match exactly), and
// waits a few seconds for it to end. A bare file name matches the first
// process of that name wherever its image lies.
void KillProcessByImage(const char* imagePath);
