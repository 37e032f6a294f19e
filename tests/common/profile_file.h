// The profile file format as the tests build and read it, host and Wine alike: 100-byte slots,
// slot 0 "IndexNum=<count>", then one NUL-terminated text per slot.
#pragma once

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using Bytes = std::string;

// Slot 0 "IndexNum=<count>", then one slot per text.
inline Bytes ProfileFile(int count, const std::vector<std::string>& slots) {
    Bytes file(100 * (slots.size() + 1), '\0');
    std::string header = "IndexNum=" + std::to_string(count);
    file.replace(0, header.size(), header);
    for (size_t i = 0; i < slots.size(); ++i)
        file.replace(100 * (i + 1), slots[i].size(), slots[i]);
    return file;
}

// Text of one slot (up to its NUL); a short last slot gives what it holds.
inline std::string SlotText(const Bytes& file, int slot) {
    if (file.size() < 100u * slot)
        return "";
    std::string text = file.substr(100 * slot, 100);
    return text.substr(0, text.find('\0'));
}

// The "key=value" entries of slots 1 to the count, the first of a key winning.
inline std::map<std::string, std::string> ProfileValues(const Bytes& file) {
    std::map<std::string, std::string> values;
    std::string header = SlotText(file, 0);
    if (header.compare(0, 9, "IndexNum=") != 0)
        return values;
    int count = std::atoi(header.c_str() + 9);
    for (int i = 1; i <= count && 100u * (i + 1) <= file.size(); ++i) {
        std::string slot = SlotText(file, i);
        size_t eq = slot.find('=');
        if (eq != std::string::npos)
            values.emplace(slot.substr(0, eq), slot.substr(eq + 1));
    }
    return values;
}
