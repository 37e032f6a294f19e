// Builds small valid registry hives for tests: a base block, one or more
// hive bins, a root key cell and free cells filling the rest.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// A hive of exactly size bytes (a multiple of 4096, at least 8192): base
// block, bins of binSize bytes (the last one takes what is left), the root
// key "ROOT" in the first bin. dirty gives unequal sequence numbers.
std::string BuildHive(size_t size, size_t binSize = 4096, bool dirty = false);

// Rewrites the base block's checksum after a test has changed the block.
void FixHiveChecksum(std::string* hive);

// A snapshot file from four section contents.
std::string BuildSnapshot(const std::string& system, const std::string& software, const std::string& sam,
                          const std::string& user);
