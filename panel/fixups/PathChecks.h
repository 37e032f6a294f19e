// Whether the program named by a service's ImagePath or by an autostart command exists.
#pragma once

// True when the file the ImagePath names exists; false for an empty text. A bare name is
// searched as CreateProcess searches it. A path that cannot be tested (too long, no Windows
// folder to resolve against, or a test that fails for another reason than "not found" on a
// local fixed drive) counts as present.
bool CheckImagePath(const char* imagePath);

// The same for an autostart command. Relative paths are looked up with the current folder
// set to the Windows folder and then to its system32 folder, where it is left.
bool CheckRunPath(const char* command);
