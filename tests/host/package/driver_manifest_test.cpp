// Which backed-up driver copies a restore accepts: manifest lines with size and checksum, and
// the older lines without them, whose copy must begin as a sound executable image.
#include <gtest/gtest.h>

#include <string>

#include "DriverManifest.h"

namespace {

using namespace driver_crate;

void Put(std::string& bytes, std::size_t at, std::uint32_t value, int width = 4) {
    for (int i = 0; i < width; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A PE32 image of 0x400 bytes: headers, one section of 0x200 raw bytes at 0x200.
std::string PeImage() {
    std::string image(0x400, '\x90');
    image.replace(0, 2, "MZ");
    Put(image, 0x3C, 0x80);
    image.replace(0x80, 4, std::string("PE\0\0", 4));
    Put(image, 0x84 + 2, 1, 2);      // NumberOfSections
    Put(image, 0x84 + 16, 0xE0, 2);  // SizeOfOptionalHeader
    Put(image, 0x98, 0x10B, 2);      // PE32 magic
    std::size_t section = 0x98 + 0xE0;
    Put(image, section + 16, 0x200);  // SizeOfRawData
    Put(image, section + 20, 0x200);  // PointerToRawData
    return image;
}

TEST(DriverManifest, LinesRecordSizeAndCrc32) {
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);  // the check value of CRC-32
    EXPECT_EQ(ManifestLine("system32\\drivers\\a.sys", "123456789"), "system32\\drivers\\a.sys\t9\tcbf43926");
    std::vector<std::string> lines = {"a.sys\t1\t00000000", "b.sys", "c.sys"};
    EXPECT_EQ(ManifestLines("a.sys\t1\t00000000\r\n\r\nb.sys\nc.sys"), lines);
}

TEST(DriverManifest, RestoreAcceptsOnlyTheCopyItsLineDescribes) {
    const std::string driver = PeImage();
    const std::string described = ManifestLine("system32\\drivers\\a.sys", driver);
    std::string flipped = driver;
    flipped[0x300] ^= 1;
    std::string farHeader = driver;
    Put(farHeader, 0x3C, 0x3FE);
    struct Row {
        const char* what;
        std::string line;
        bool parses;
        std::string copy;
        bool sound;
    } rows[] = {
        {"recorded copy", described, true, driver, true},
        {"zeros of the same size", described, true, std::string(driver.size(), '\0'), false},
        {"cut short", described, true, driver.substr(0, 0x200), false},
        {"one bit flipped", described, true, flipped, false},
        {"checksum in capitals", "a.sys\t9\tCBF43926", true, "123456789", true},
        {"older line, sound image", "system32\\drivers\\a.sys", true, driver, true},
        {"older line, zeros", "system32\\drivers\\a.sys", true, std::string(driver.size(), '\0'), false},
        {"older line, section past the end", "a.sys", true, driver.substr(0, 0x300), false},
        {"older line, header past the end", "a.sys", true, farHeader, false},
        {"older line, no optional header", "a.sys", true, driver.substr(0, 0x9A), false},
        {"size without checksum", "a.sys\t9", false, "", false},
        {"checksum of seven digits", "a.sys\t9\tcbf4392", false, "", false},
        {"checksum not hex", "a.sys\t9\tcbf4392g", false, "", false},
        {"size past 32 bits", "a.sys\t4294967296\tcbf43926", false, "", false},
        {"path leaving the folder", "..\\a.sys\t9\tcbf43926", false, "", false},
        {"empty path", "\t9\tcbf43926", false, "", false},
    };
    for (const Row& row : rows) {
        ManifestEntry entry;
        EXPECT_EQ(ParseManifestLine(row.line, &entry), row.parses) << row.what;
        if (row.parses) {
            EXPECT_EQ(IsSoundCopy(entry, row.copy), row.sound) << row.what;
        }
    }
}

}  // namespace
