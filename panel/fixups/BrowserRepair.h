// The package's browser repair batch file.
#pragma once

// Runs "c:\sysh\kest\Repairie.bat" and waits for it without a time limit; nothing when it
// cannot be started (for instance when the file is missing).
void RunBrowserRepair();
