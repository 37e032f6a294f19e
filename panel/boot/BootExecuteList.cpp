// Insertion of "twrepair r" into a BootExecute multi-string, bounded by the value's size.
#include "BootExecuteList.h"

#include <algorithm>
#include <cstring>

const char kBootEntry[] = "twrepair r";

namespace {

// The string starting at offset ends at its NUL or at the end of the value.
std::size_t StringEnd(const char* value, std::size_t size, std::size_t offset) {
    const void* nul = offset < size ? std::memchr(value + offset, '\0', size - offset) : nullptr;
    return nul ? static_cast<const char*>(nul) - value : size;
}

bool StringContains(const char* value, std::size_t begin, std::size_t end, const char* needle) {
    const char* first = value + begin;
    const char* last = value + end;
    std::size_t length = std::strlen(needle);
    return std::search(first, last, needle, needle + length) != last;
}

}  // namespace

bool InsertBootEntry(const char* value, std::size_t size, std::string* edited) {
    std::size_t firstEnd = StringEnd(value, size, 0);
    std::size_t position = 0;
    if (StringContains(value, 0, firstEnd, "autocheck"))
        position = firstEnd + 1;
    std::size_t start = std::min(position, size);
    if (StringContains(value, start, StringEnd(value, size, start), kBootEntry))
        return false;

    // Where the list really ends: the closing empty string, or the end of the
    // data when the registry gave the value without it.
    std::size_t offset = 0;
    bool closed = false;
    bool lastTerminated = true;
    while (offset < size) {
        std::size_t end = StringEnd(value, size, offset);
        if (end == offset) {
            closed = true;
            break;
        }
        lastTerminated = end < size;
        offset = end + 1;
    }

    std::string out;
    if (position <= size) {
        out.assign(value, position);
    } else {
        // The "autocheck" string ran to the end of the data without its NUL.
        out.assign(value, size);
        out.push_back('\0');
        lastTerminated = true;
    }
    out.append(kBootEntry, sizeof kBootEntry);  // with its NUL
    if (position < size)
        out.append(value + position, size - position);
    if (!closed) {
        if (!lastTerminated)
            out.push_back('\0');
        out.push_back('\0');
    }
    *edited = out;
    return true;
}
