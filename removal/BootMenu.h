// The repair environment's two entries in the boot menu "c:\boot.ini". Free of panel code: the uninstaller library builds it in.
#pragma once

// The loader file that the first entry names, and the package's copy of it.
extern const char kBootLoaderPath[];
extern const char kPackageLoaderPath[];
// Where boot.ini is copied before each edit.
extern const char kBootIniCopyPath[];

// Sets the time-out to 10 and writes both entries. False, with boot.ini as it
// was, when it cannot be copied aside first or the values do not read back.
bool AddBootMenuEntries();

// Deletes both entries; the time-out stays. False, with boot.ini as it was,
// when it cannot be copied aside first or an entry still reads back.
bool RemoveBootMenuEntries();
