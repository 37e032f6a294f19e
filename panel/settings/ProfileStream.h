// Settings files of the control panel: the profile reader and writer over stdio streams.
#pragma once

#include <cstddef>
#include <cstdio>

#include "profile_slot.h"

// Finds key (first match wins) and copies its value into value. On false the
// buffer is left as it was. Starts at offset 0 whatever the stream's position.
bool ReadIniStream(FILE* stream, const char* key, char* value, std::size_t valueSize = kValueBufferSize);

// Rewrites key's slot in place, or raises the count and appends the pair.
// False, with nothing written, when the header does not scan or allows no
// more entries, the pair does not fit a slot, or the search could not read
// a slot whole (the key might stand in it).
bool WriteIniStream(FILE* stream, const char* key, const char* value);
