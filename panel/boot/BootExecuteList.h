// Where the boot-time program's entry goes into the Session Manager's BootExecute list.
#pragma once

#include <cstddef>
#include <string>

// The entry: program name, a blank and the argument "r".
extern const char kBootEntry[];

// value holds size bytes as the registry returned them: NUL-terminated
// strings and a closing empty string, though either terminator may be
// missing. The entry belongs second after an "autocheck" first string, else
// first. True with the list to write in *edited when the entry is not at its
// place yet; false when it is there already and nothing needs writing.
// The edited list always ends with its closing empty string.
bool InsertBootEntry(const char* value, std::size_t size, std::string* edited);
