// The installation snapshot: "11111111.xff" from the Windows folder's "\repair" hive copies, and the first index line.
#pragma once

#include <cstdio>
#include <string>

// Appends source as one snapshot section at output's position. False when the
// source cannot be opened or sized, or any read or write falls short.
bool AppendFileSection(const char* source, FILE* output);

// Writes the snapshot and then slots 0 and 1 of the index, in a Windows folder
// whose names are joined with separator. A snapshot that could not be written
// whole is deleted; the index is written only after a whole snapshot has reached
// the disk, and is on the disk itself when this returns true.
bool SeedSnapshotIn(const std::string& windowsFolder, char separator);

// SeedSnapshotIn on the Windows folder; false when the folder cannot be read.
bool SeedFirstSnapshot();
