// Backup and restore of the driver files that the Services key names.
//
// The backup folder mirrors the Windows folder (system32\drivers\x.sys is
// backed up as "c:\sysh\drivers\system32\drivers\x.sys") and holds the
// manifest "drivers.lst" (DriverManifest.h): one line per file of the last
// backup, with its size and checksum.
#pragma once

namespace driver_crate {

// Copies every driver file named by a service's ImagePath under the Windows
// folder into the backup folder, then writes the manifest. True when every
// existing file and the manifest were written.
bool BackupDrivers();

// Copies each file of the manifest back into the Windows folder where its
// content differs (or it is missing); identical files are not touched. A copy
// that does not match its manifest line is refused and its driver left as it
// is; a replaced driver is kept beside itself as "name.sys.twold". True when
// every differing file was restored.
bool RestoreDrivers();

}  // namespace driver_crate
