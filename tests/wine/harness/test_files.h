// Whole files in and out of the prefix's drive, for the Wine drivers. Paths are Windows paths.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "wine_test.h"

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The file's bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void MakeFoldersAbove(const std::string& path) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
}

// Replaces the file, whatever its attributes, making the folders above it; a file that cannot
// be written is a failed check.
inline void WriteBytes(const std::string& path, const std::string& bytes) {
    MakeFoldersAbove(path);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush();
    if (!file)
        CHECK(false, "write %s", path.c_str());
}

// Copies the file from to the path to, making the folders above it; whether it did.
inline bool PlaceCopy(const std::string& from, const std::string& to) {
    MakeFoldersAbove(to);
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

// Deletes the file, read-only, hidden or system; nothing happens when it is missing.
inline void RemoveFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

// Removes a folder of the test's own layout with everything below it; nothing happens when it
// is missing. Not the product's DeleteTree, which the drivers test.
inline void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}
