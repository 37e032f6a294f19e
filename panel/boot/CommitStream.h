// Committing what a C stream wrote to the disk, so that it survives a power cut.
#pragma once

#include <cstdio>

// Flushes stream's buffer and has the system write the file's data to the disk
// before returning; false when either fails.
bool CommitStream(FILE* stream);

// Has the system write the data of the file at path to the disk; false when it
// cannot be opened or flushed. For a file copied by the system's copy call.
bool CommitFile(const char* path);
