// Backup and restore of the driver files that the Services key names.
//
// The backup folder mirrors the Windows folder ("c:\sysh\drivers\system32\
// drivers\x.sys") and holds the manifest "drivers.lst": one path relative to
// the Windows folder per line, the files of the last backup.
#pragma once

namespace driver_crate {

// Copies every driver file named by a service's ImagePath under the Windows
// folder into the backup folder, then writes the manifest. True when every
// existing file and the manifest were written.
bool BackupDrivers();

// Copies each file of the manifest back into the Windows folder where its
// content differs (or it is missing); identical files are not touched. True
// when every differing file was restored.
bool RestoreDrivers();

}  // namespace driver_crate
