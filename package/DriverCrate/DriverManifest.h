// The manifest "drivers.lst" of a driver backup, and whether a backed-up copy is the file
// its line describes. Pure text rules, so that backup and restore agree and a host test can
// hold them.
//
// One line per file: its path relative to the Windows folder, a tab, its size in decimal, a
// tab, its CRC-32 in eight hex digits ("system32\drivers\x.sys\t12345\t89abcdef"). Lines
// written by older builds hold the path alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace driver_crate {

struct ManifestEntry {
    std::string relative;
    bool described = false;  // size and checksum were recorded
    std::uint32_t size = 0;
    std::uint32_t checksum = 0;
};

// CRC-32 (the zip and Ethernet polynomial, reflected) of bytes.
std::uint32_t Crc32(const std::string& bytes);

// The manifest line, without its line end, of a file at relative holding bytes.
std::string ManifestLine(const std::string& relative, const std::string& bytes);

// The non-empty lines of a manifest, CR LF or LF ended.
std::vector<std::string> ManifestLines(const std::string& text);

// Reads one line. False for a malformed line or one whose path could leave the folder.
bool ParseManifestLine(const std::string& line, ManifestEntry* entry);

// Whether bytes may be restored for entry: the recorded size and checksum, or for a line
// without them a file that begins as a sound executable image.
bool IsSoundCopy(const ManifestEntry& entry, const std::string& bytes);

}  // namespace driver_crate
