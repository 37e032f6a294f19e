// Header checks of an executable image, reading little-endian fields bounds-checked.
#include "PeHeader.h"

#include <cstdint>

namespace driver_crate {

namespace {

const std::size_t kDosHeaderSize = 0x40;
const std::size_t kNewHeaderOffsetField = 0x3C;
const std::size_t kFileHeaderSize = 20;
const std::size_t kSectionHeaderSize = 40;
const std::uint16_t kPe32Magic = 0x10B;
const std::uint16_t kPe32PlusMagic = 0x20B;
const std::uint16_t kMaxSections = 96;  // the loader's own limit

// The field of the given width at offset; false when it does not lie inside bytes.
bool ReadField(const std::string& bytes, std::uint64_t offset, int width, std::uint32_t* value) {
    if (offset + width > bytes.size())
        return false;
    *value = 0;
    for (int i = width - 1; i >= 0; --i)
        *value = (*value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return true;
}

}  // namespace

bool HasSanePeHeader(const std::string& bytes) {
    std::uint32_t pe = 0, sections = 0, optionalSize = 0, magic = 0;
    if (bytes.size() < kDosHeaderSize || bytes.compare(0, 2, "MZ") != 0 ||
        !ReadField(bytes, kNewHeaderOffsetField, 4, &pe) || bytes.size() < std::uint64_t(pe) + 4 + kFileHeaderSize ||
        bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return false;
    std::uint64_t fileHeader = std::uint64_t(pe) + 4;
    if (!ReadField(bytes, fileHeader + 2, 2, &sections) || !ReadField(bytes, fileHeader + 16, 2, &optionalSize) ||
        sections == 0 || sections > kMaxSections)
        return false;
    std::uint64_t optionalHeader = fileHeader + kFileHeaderSize;
    if (!ReadField(bytes, optionalHeader, 2, &magic) || (magic != kPe32Magic && magic != kPe32PlusMagic) ||
        optionalHeader + optionalSize > bytes.size())
        return false;
    std::uint64_t table = optionalHeader + optionalSize;
    for (std::uint32_t k = 0; k < sections; ++k) {
        std::uint32_t rawSize = 0, rawOffset = 0;
        std::uint64_t section = table + std::uint64_t(k) * kSectionHeaderSize;
        if (!ReadField(bytes, section + 16, 4, &rawSize) || !ReadField(bytes, section + 20, 4, &rawOffset))
            return false;  // the section table runs past the file
        if (rawSize > 0 && std::uint64_t(rawOffset) + rawSize > bytes.size())
            return false;
    }
    return true;
}

}  // namespace driver_crate
