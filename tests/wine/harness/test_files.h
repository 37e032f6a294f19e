// Whole files in and out of the prefix's drive, for the Wine drivers. Paths are Windows paths.
#pragma once

#include <string>

// The file's bytes; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
// Makes the folders above path and replaces the file, whatever its attributes; a file that
// cannot be written is a failed check.
void WriteBytes(const std::string& path, const std::string& bytes);
// Copies the file from to the path to, making the folders above it; whether it worked.
bool PlaceCopy(const std::string& from, const std::string& to);
bool Exists(const std::string& path);
// Deletes the file, read-only, hidden or system; nothing happens when it is missing.
void RemoveFile(const std::string& path);
// Removes a folder of the test's layout with everything below it; nothing happens when it is
// missing. Not the product's DeleteTree, which the drivers test.
void RemoveTree(const std::string& path);
