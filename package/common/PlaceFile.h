// Puts package and backup files in place so that a final name never holds a
// half-written file: each file is written beside its target under a
// temporary name, then renamed over the target in one step.
#pragma once

#include <windows.h>

#include <string>

namespace package {

// Writes size bytes of data to finalPath by way of a temporary file in the
// same folder, flushed to the disk before it is renamed over the target (a
// rename within a volume flushes nothing). A read-only target is replaced. On
// failure the target is as it was and no temporary file is left.
bool WriteFileInPlace(const std::string& finalPath, const void* data, DWORD size);

// Creates folder and every missing folder above it. True when it exists afterwards.
bool CreateFolderPath(const std::string& folder);

// The folder part of path, without the trailing backslash ("" when there is none).
std::string FolderOf(const std::string& path);

}  // namespace package
