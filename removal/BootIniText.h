// The restore entry of boot.ini, edited as text: the profile writer cannot hold a second key of one ARC path.
#pragma once

#include <string>

// The sections of boot.ini that the boot integration edits.
extern const char kLoaderSection[];   // "boot loader"
extern const char kSystemsSection[];  // "operating systems"

// What the loader's text-mode menu shows for the entry, and the switch that
// asks the boot-time program for a restore (the kernel ignores it and records
// it in SystemStartOptions).
extern const char kRestoreDescription[];
extern const char kRestoreSwitch[];

// A restore entry is a line of [operating systems] whose switches (what
// follows the description) hold kRestoreSwitch, in any letter case.

// ini with every restore entry taken out, line end and all; every other byte
// stays. A restore entry on the last line without a line end takes the line
// end before it along, so that a text WithRestoreEntry edited comes back whole.
std::string WithoutRestoreEntries(const std::string& ini);

// ini with exactly one restore entry: the other ones taken out, and right below
// the first line of [operating systems] whose ARC path the first default= of
// [boot loader] names, a copy of that line with kRestoreDescription and
// kRestoreSwitch added to its switches, ending as that line ends. Below it,
// so that the loader still picks the original as the default. When default=
// is missing or names no line: ini without restore entries.
std::string WithRestoreEntry(const std::string& ini);

// Whether ini holds a restore entry.
bool HasRestoreEntry(const std::string& ini);
