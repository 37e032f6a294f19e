// The repair environment's two entries and the restore entry in the boot menu "c:\boot.ini". Free of panel code: the uninstaller library builds it in.
#pragma once

// The loader file that the first entry names, and the package's copy of it.
extern const char kBootLoaderPath[];
extern const char kPackageLoaderPath[];
// Where boot.ini is copied before each edit.
extern const char kBootIniCopyPath[];

// What AddBootMenuEntries left in boot.ini.
enum class BootMenuEntries {
    kNone,           // boot.ini as it was
    kAll,            // the time-out, both entries and the restore entry
    kAllButRestore,  // the same without the restore entry: default= names no system
};

// Sets the time-out to 10, writes both entries and puts one restore entry
// below the system that default= names. kNone, with boot.ini as it was, when
// it cannot be copied aside first or an edit does not read back.
BootMenuEntries AddBootMenuEntries();

// Deletes both entries and every restore entry; the time-out stays. False,
// with boot.ini as it was, when it cannot be copied aside first or an entry
// still reads back.
bool RemoveBootMenuEntries();
