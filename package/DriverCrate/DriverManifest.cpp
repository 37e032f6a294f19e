// Manifest lines of the driver backup and the check of a copy against its line.
#include "DriverManifest.h"

#include <cstdio>
#include <cstdlib>

#include "DriverPath.h"
#include "PeHeader.h"

namespace driver_crate {

namespace {

const char kSeparator = '\t';  // no Windows file name holds a tab
const std::size_t kChecksumDigits = 8;

bool IsDecimal(const std::string& text) {
    return !text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string::npos;
}

bool IsHex(const std::string& text) {
    return text.size() == kChecksumDigits && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

}  // namespace

std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string ManifestLine(const std::string& relative, const std::string& bytes) {
    char fields[32];
    std::snprintf(fields, sizeof fields, "%c%lu%c%08lx", kSeparator, static_cast<unsigned long>(bytes.size()),
                  kSeparator, static_cast<unsigned long>(Crc32(bytes)));
    return relative + fields;
}

std::vector<std::string> ManifestLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool ParseManifestLine(const std::string& line, ManifestEntry* entry) {
    *entry = ManifestEntry();
    std::size_t first = line.find(kSeparator);
    entry->relative = line.substr(0, first);
    if (!IsContainedRelativePath(entry->relative))
        return false;
    if (first == std::string::npos)
        return true;  // an older build's line: the path alone
    std::size_t second = line.find(kSeparator, first + 1);
    if (second == std::string::npos)
        return false;
    std::string size = line.substr(first + 1, second - first - 1);
    std::string checksum = line.substr(second + 1);
    if (!IsDecimal(size) || !IsHex(checksum))
        return false;
    unsigned long long value = std::strtoull(size.c_str(), nullptr, 10);
    if (value > 0xFFFFFFFFull)
        return false;
    entry->described = true;
    entry->size = static_cast<std::uint32_t>(value);
    entry->checksum = static_cast<std::uint32_t>(std::strtoul(checksum.c_str(), nullptr, 16));
    return true;
}

bool IsSoundCopy(const ManifestEntry& entry, const std::string& bytes) {
    if (!entry.described)
        return HasSanePeHeader(bytes);
    return bytes.size() == entry.size && Crc32(bytes) == entry.checksum;
}

}  // namespace driver_crate
